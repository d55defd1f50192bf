/*
 * wavetable.cpp - two uses of tables. First a WaveOscillator plays a melody from a one-cycle
 * table of five harmonics, its Amplitude shaped note by note by an EnvelopeLinear. Then a
 * SineOscillator drives a TableLookup waveshaper (a soft, slightly asymmetric saturation
 * curve) harder and harder: as its amplitude rises, the curve bends the sine and harmonics
 * appear; as it falls, the tone turns pure again.
 *
 *   wavetable [--wav FILE] [--device]
 */
#include "example_support.h"

using namespace example;

namespace {

constexpr double kNoteSeconds = 0.3;
constexpr double kMelody[] = {261.63, 329.63, 392.00, 523.25, 392.00, 329.63, 293.66, 392.00,
                              349.23, 440.00, 523.25, 440.00, 349.23, 293.66, 261.63, 0.0};
constexpr double kMelodySeconds = kNoteSeconds * std::size(kMelody);
constexpr double kShaperSeconds = 4.0;

/* One cycle of 1024 intervals (1025 values, the last equal to the first). */
constexpr uint32_t kCycleValues = 1025;
/* The transfer curve of the waveshaper, from input -1 to +1. */
constexpr uint32_t kCurveValues = 513;

int32_t MakeWaveTable(VexaContext *ctx) {
    const double weights[] = {1.0, 0.5, 0.33, 0.0, 0.2, 0.0, 0.1}; /* harmonics 1 to 7 */
    std::vector<double> values(kCycleValues);
    double peak = 0.0;
    for (uint32_t j = 0; j < kCycleValues; j++) {
        const double x = 2.0 * M_PI * j / (kCycleValues - 1);
        double v = 0.0;
        for (size_t h = 0; h < std::size(weights); h++) v += weights[h] * std::sin((h + 1) * x);
        values[j] = v;
        peak = std::max(peak, std::fabs(v));
    }
    for (double &v : values) v /= peak;
    values.back() = values.front();
    const int32_t table = Vexa_CreateTable(ctx, kCycleValues);
    if (!Check(table, "Vexa_CreateTable") ||
        !Check(Vexa_WriteTableDoubles(ctx, table, 0, values.data(), kCycleValues),
               "Vexa_WriteTableDoubles"))
        return -1;
    return table;
}

int32_t MakeShaperTable(VexaContext *ctx) {
    std::vector<double> curve(kCurveValues);
    const double bias = 0.1, drive = 3.0;
    double peak = 0.0;
    for (uint32_t j = 0; j < kCurveValues; j++) {
        const double x = -1.0 + 2.0 * j / (kCurveValues - 1);
        curve[j] = std::tanh(drive * (x + bias)) - std::tanh(drive * bias); /* 0 stays 0 */
        peak = std::max(peak, std::fabs(curve[j]));
    }
    for (double &v : curve) v /= peak;
    const int32_t table = Vexa_CreateTable(ctx, kCurveValues);
    if (!Check(table, "Vexa_CreateTable") ||
        !Check(Vexa_WriteTableDoubles(ctx, table, 0, curve.data(), kCurveValues),
               "Vexa_WriteTableDoubles"))
        return -1;
    return table;
}

/* An envelope from frames of (seconds, level). */
int32_t MakeEnvelope(VexaContext *ctx, const std::vector<double> &frames) {
    const uint32_t count = static_cast<uint32_t>(frames.size() / 2);
    const int32_t envelope = Vexa_CreateEnvelope(ctx, count);
    if (!Check(envelope, "Vexa_CreateEnvelope") ||
        !Check(Vexa_WriteEnvelope(ctx, envelope, 0, frames.data(), count), "Vexa_WriteEnvelope"))
        return -1;
    return envelope;
}

bool Melody(VexaContext *ctx, int32_t start) {
    const int32_t table = MakeWaveTable(ctx);
    /* attack, decay, hold, release: 0.27 s of the 0.3 s note */
    const int32_t note = MakeEnvelope(ctx, {0.008, 0.5, 0.08, 0.28, 0.1, 0.22, 0.08, 0.0});
    const int32_t osc = Unit(ctx, VEXA_UNIT_WAVE_OSCILLATOR);
    const int32_t env = Unit(ctx, VEXA_UNIT_ENVELOPE_LINEAR);
    const int32_t out = Unit(ctx, VEXA_UNIT_LINE_OUT);
    if (table < 0 || note < 0 || osc < 0 || env < 0 || out < 0) return false;
    bool ok = Check(Vexa_UseTable(ctx, osc, VEXA_PORT_TABLE, 0, table), "Vexa_UseTable") &&
              Check(Vexa_ConnectUnits(ctx, env, VEXA_PORT_OUTPUT, 0, osc, VEXA_PORT_AMPLITUDE, 0),
                    "connect") &&
              Check(Vexa_ConnectUnits(ctx, osc, VEXA_PORT_OUTPUT, 0, out, VEXA_PORT_INPUT, 0),
                    "connect") &&
              Check(Vexa_ConnectUnits(ctx, osc, VEXA_PORT_OUTPUT, 0, out, VEXA_PORT_INPUT, 1),
                    "connect") &&
              /* The units hold their references: the client's tokens can go now. */
              Check(Vexa_Delete(ctx, table), "Vexa_Delete");
    for (size_t n = 0; ok && n < std::size(kMelody); n++) {
        if (kMelody[n] <= 0.0) continue; /* a rest */
        const int32_t at = start + SecondsToTicks(n * kNoteSeconds);
        ok = Check(Vexa_SetPortAt(ctx, at, osc, VEXA_PORT_FREQUENCY, 0, kMelody[n]),
                   "Vexa_SetPortAt") &&
             Check(Vexa_QueueDataAt(ctx, at, env, VEXA_PORT_DATA, note, 0, 4, 0),
                   "Vexa_QueueDataAt");
    }
    ok = ok && Check(Vexa_Delete(ctx, note), "Vexa_Delete");
    const int32_t stop = start + SecondsToTicks(kMelodySeconds);
    for (int32_t unit : {env, osc, out})
        ok = ok && Check(Vexa_StartUnitAt(ctx, start, unit), "Vexa_StartUnitAt") &&
             Check(Vexa_StopUnitAt(ctx, stop, unit), "Vexa_StopUnitAt");
    return ok;
}

bool Shaper(VexaContext *ctx, int32_t start) {
    const int32_t curve = MakeShaperTable(ctx);
    /* The drive: up to full scale in 2 s, a moment there, back down. */
    const int32_t drive = MakeEnvelope(ctx, {0.05, 0.05, 1.9, 1.0, 0.3, 1.0, 1.6, 0.05, 0.1, 0.0});
    const int32_t sine = Unit(ctx, VEXA_UNIT_SINE_OSCILLATOR);
    const int32_t env = Unit(ctx, VEXA_UNIT_ENVELOPE_LINEAR);
    const int32_t shaper = Unit(ctx, VEXA_UNIT_TABLE_LOOKUP);
    const int32_t out = Unit(ctx, VEXA_UNIT_LINE_OUT);
    if (curve < 0 || drive < 0 || sine < 0 || env < 0 || shaper < 0 || out < 0) return false;
    bool ok = Check(Vexa_UseTable(ctx, shaper, VEXA_PORT_TABLE, 0, curve), "Vexa_UseTable") &&
              Check(Vexa_SetPort(ctx, sine, VEXA_PORT_FREQUENCY, 0, 110.0), "Vexa_SetPort") &&
              Check(Vexa_SetPort(ctx, shaper, VEXA_PORT_AMPLITUDE, 0, 0.4), "Vexa_SetPort") &&
              Check(Vexa_ConnectUnits(ctx, env, VEXA_PORT_OUTPUT, 0, sine, VEXA_PORT_AMPLITUDE, 0),
                    "connect") &&
              Check(Vexa_ConnectUnits(ctx, sine, VEXA_PORT_OUTPUT, 0, shaper, VEXA_PORT_INPUT, 0),
                    "connect") &&
              Check(Vexa_ConnectUnits(ctx, shaper, VEXA_PORT_OUTPUT, 0, out, VEXA_PORT_INPUT, 0),
                    "connect") &&
              Check(Vexa_ConnectUnits(ctx, shaper, VEXA_PORT_OUTPUT, 0, out, VEXA_PORT_INPUT, 1),
                    "connect") &&
              Check(Vexa_QueueDataAt(ctx, start, env, VEXA_PORT_DATA, drive, 0, 5, 0),
                    "Vexa_QueueDataAt") &&
              Check(Vexa_Delete(ctx, curve), "Vexa_Delete") &&
              Check(Vexa_Delete(ctx, drive), "Vexa_Delete");
    const int32_t stop = start + SecondsToTicks(kShaperSeconds);
    for (int32_t unit : {env, sine, shaper, out})
        ok = ok && Check(Vexa_StartUnitAt(ctx, start, unit), "Vexa_StartUnitAt") &&
             Check(Vexa_StopUnitAt(ctx, stop, unit), "Vexa_StopUnitAt");
    return ok;
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) return 2;
    Piece piece;
    piece.name = "wavetable";
    piece.ticks = SecondsToTicks(kMelodySeconds + kShaperSeconds);
    piece.schedule = [](VexaContext *ctx, int32_t origin) {
        printf("A wavetable melody, then a sine through a waveshaper.\n");
        return Melody(ctx, origin) && Shaper(ctx, origin + SecondsToTicks(kMelodySeconds));
    };
    return Run(piece, options);
}
