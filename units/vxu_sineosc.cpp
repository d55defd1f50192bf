/* SineOscillator: sin(pi x phase) x Amplitude, from an odd polynomial instead of a library
 * sine or a table. */
#include "vx_phase.h"

namespace {
struct SineOscillatorUnit {
    VexaUnit unit;
    InputPort frequency;
    InputPort amplitude;
    VariablePort phase;
    OutputPort output;
    VxCarriedPhase carriedPhase;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_FREQUENCY, .defaultValue = 440.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = SIGNAL_FREQUENCY, .numParts = 1,
     .offset = VX_OFFSET(SineOscillatorUnit, frequency)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(SineOscillatorUnit, amplitude)},
    {.portID = PORTID_PHASE, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_VARIABLE,
     .signalType = SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(SineOscillatorUnit, phase)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(SineOscillatorUnit, output)},
};

/* pi rounded to float, then used in double. */
constexpr double kPiF = static_cast<double>(3.14159265358979323846f);
/* Odd Taylor coefficients of the sine; the last one is stored negative and added. */
constexpr double kK3 = 0.16666666666666666;
constexpr double kK5 = 0.008333333333333333;
constexpr double kK7 = 0.0001984126984126984;
constexpr double kK9 = 2.7557319223985893e-06;
constexpr double kK11 = -2.505210838544172e-08;

/* sin(pi x p) for a phase p in [-1, +1): fold into [-0.5, +0.5], where the polynomial's
 * truncation error stays below 6e-8 (p > 0.5 gives 1 - p, p < -0.5 gives -1 - p, otherwise
 * p). Over that range the fold equals max(min(p, 1 - p), -1 - p), both differences being
 * exact where they are chosen; written as selects of computed values it leaves the loop
 * free of branches, so the compiler can evaluate several frames at once. */
inline double SinePi(double p) {
    const double upper = 1.0 - p;
    const double lower = -1.0 - p;
    const double m = (p < upper) ? p : upper;
    const double x = (m > lower) ? m : lower;
    const double y = x * kPiF;
    const double z = y * y;
    return y * (((((z * kK11 + kK9) * z - kK7) * z + kK5) * z - kK3) * z + 1.0);
}

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    SineOscillatorUnit *self = vx_self<SineOscillatorUnit>(unit);
    const float *frequency = vx_in(self->frequency);
    const float *amplitude = vx_in(self->amplitude);
    float *out = self->output.values;
    /* The phases of the block first (a serial chain), then the eight independent
     * polynomials, which the compiler is free to compute side by side. */
    VxPhaseBlock block;
    const double phase =
        vx_advance_phase(context, vx_phase_begin(self->phase, self->carriedPhase), frequency, block);
    double sine[8];
    for (int i = 0; i < 8; i++) sine[i] = SinePi(block.phase[i]);
    for (int i = 0; i < 8; i++) out[i] = static_cast<float>(sine[i] * amplitude[i]);
    vx_phase_end(self->phase, self->carriedPhase, phase);
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01f28b71,
                  .instanceSize = sizeof(SineOscillatorUnit),
                  .numPorts = 4,
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadSineOscillator() { return &kInfo; }
