/*
 * filtersweep.cpp - a plain SawtoothOscillator and then a band-limited SawtoothOscillatorBL
 * play the same bass line through a resonant FilterLowPass (Q 8) whose corner frequency is
 * swept up and down with timed Vexa_SetPortAt calls, one every tick. The plain sawtooth
 * folds its harmonics above 22050 Hz back into the audible range; listen for the faint
 * whistles under its bright sweep, absent from the band-limited half.
 *
 *   filtersweep [--wav FILE] [--device]
 */
#include "example_support.h"

using namespace example;

namespace {

constexpr double kSectionSeconds = 4.0;
constexpr double kGapSeconds = 0.25;
constexpr double kNoteSeconds = 0.25;
constexpr double kLine[] = {110.0, 110.0, 220.0, 110.0, 164.81, 110.0, 246.94, 196.0};
constexpr double kLowCorner = 150.0, kHighCorner = 6000.0;

/* The corner frequency at fraction x of a section: up and down once, evenly in pitch. */
double Corner(double x) {
    const double shape = x < 0.5 ? 2.0 * x : 2.0 - 2.0 * x;
    return kLowCorner * std::pow(kHighCorner / kLowCorner, shape);
}

/* One section: the oscillator type through its own filter into its own LineOut. */
bool Section(VexaContext *ctx, uint32_t oscillatorType, int32_t start) {
    const int32_t osc = Unit(ctx, oscillatorType);
    const int32_t filter = Unit(ctx, VEXA_UNIT_FILTER_LOW_PASS);
    const int32_t out = Unit(ctx, VEXA_UNIT_LINE_OUT);
    if (osc < 0 || filter < 0 || out < 0) return false;
    const int32_t length = SecondsToTicks(kSectionSeconds);
    bool ok = Check(Vexa_SetPort(ctx, osc, VEXA_PORT_AMPLITUDE, 0, 0.3), "Vexa_SetPort") &&
              Check(Vexa_SetPort(ctx, filter, VEXA_PORT_Q, 0, 8.0), "Vexa_SetPort") &&
              Check(Vexa_SetPort(ctx, filter, VEXA_PORT_AMPLITUDE, 0, 0.5), "Vexa_SetPort") &&
              Check(Vexa_ConnectUnits(ctx, osc, VEXA_PORT_OUTPUT, 0, filter, VEXA_PORT_INPUT, 0),
                    "connect") &&
              Check(Vexa_ConnectUnits(ctx, filter, VEXA_PORT_OUTPUT, 0, out, VEXA_PORT_INPUT, 0),
                    "connect") &&
              Check(Vexa_ConnectUnits(ctx, filter, VEXA_PORT_OUTPUT, 0, out, VEXA_PORT_INPUT, 1),
                    "connect");
    /* The bass line, one note every quarter second. */
    const int notes = static_cast<int>(kSectionSeconds / kNoteSeconds);
    for (int n = 0; ok && n < notes; n++)
        ok = Check(Vexa_SetPortAt(ctx, start + SecondsToTicks(n * kNoteSeconds), osc,
                                  VEXA_PORT_FREQUENCY, 0, kLine[n % std::size(kLine)]),
                   "Vexa_SetPortAt");
    /* The sweep: a new corner frequency on every tick. */
    for (int32_t t = 0; ok && t < length; t++)
        ok = Check(Vexa_SetPortAt(ctx, start + t, filter, VEXA_PORT_FREQUENCY, 0,
                                  Corner(static_cast<double>(t) / length)),
                   "Vexa_SetPortAt");
    /* A short fade at the end, so that the stop does not click. */
    const int32_t fade = SecondsToTicks(0.05);
    for (int32_t t = 0; ok && t < fade; t++)
        ok = Check(Vexa_SetPortAt(ctx, start + length - fade + t, filter, VEXA_PORT_AMPLITUDE, 0,
                                  0.5 * (fade - 1 - t) / fade),
                   "Vexa_SetPortAt");
    /* Sources before the filter before the output, so each block flows through at once. */
    for (int32_t unit : {osc, filter, out})
        ok = ok && Check(Vexa_StartUnitAt(ctx, start, unit), "Vexa_StartUnitAt") &&
             Check(Vexa_StopUnitAt(ctx, start + length, unit), "Vexa_StopUnitAt");
    return ok;
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) return 2;
    Piece piece;
    piece.name = "filtersweep";
    piece.ticks = SecondsToTicks(2 * kSectionSeconds + 2 * kGapSeconds);
    piece.schedule = [](VexaContext *ctx, int32_t origin) {
        printf("First the plain sawtooth, then the band-limited one.\n");
        return Section(ctx, VEXA_UNIT_SAWTOOTH_OSCILLATOR, origin) &&
               Section(ctx, VEXA_UNIT_SAWTOOTH_OSCILLATOR_BL,
                       origin + SecondsToTicks(kSectionSeconds + kGapSeconds));
    };
    return Run(piece, options);
}
