/* SineOscillator: sin(pi x phase) x Amplitude, from an odd polynomial instead of a library
 * sine or a table. */
#include "vx_group.h"
#include "vx_phase.h"

namespace {
struct SineOscillatorUnit {
    VexaUnit unit;
    InputPort frequency;
    InputPort amplitude;
    VariablePort phase;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_FREQUENCY, .defaultValue = 440.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_FREQUENCY, .numParts = 1,
     .offset = VX_OFFSET(SineOscillatorUnit, frequency)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(SineOscillatorUnit, amplitude)},
    {.portID = PORTID_PHASE, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_VARIABLE,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(SineOscillatorUnit, phase)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(SineOscillatorUnit, output)},
};

/* pi rounded to float, then used in double. */
constexpr double kPiF = static_cast<double>(VX_PI_F);
/* Odd Taylor coefficients of the sine; the last one is stored negative and added. */
constexpr double kK3 = 0.16666666666666666;
constexpr double kK5 = 0.008333333333333333;
constexpr double kK7 = 0.0001984126984126984;
constexpr double kK9 = 2.7557319223985893e-06;
constexpr double kK11 = -2.505210838544172e-08;

/* sin(pi x p) for the phases p in [-1, +1) of a block: fold into [-0.5, +0.5], where the
 * polynomial's truncation error stays below 6e-8 (p > 0.5 gives 1 - p, p < -0.5 gives -1 - p,
 * otherwise p). Over that range the fold equals max(min(p, 1 - p), -1 - p), both differences
 * being exact where they are chosen; written as selects of computed values, the eight frames
 * are computed side by side. */
VX_ALWAYS_INLINE VxBlockD SinePi(const VxBlockD &p) {
    const VxBlockD upper = 1.0 - p;
    const VxBlockD lower = -1.0 - p;
    const VxBlockD m = (p < upper) ? p : upper;
    const VxBlockD x = (m > lower) ? m : lower;
    const VxBlockD y = x * kPiF;
    const VxBlockD z = y * y;
    return y * (((((z * kK11 + kK9) * z - kK7) * z + kK5) * z - kK3) * z + 1.0);
}

template <int Level> VX_ALWAYS_INLINE void SineBlock(VexaContext *context, VexaUnit *unit) {
    SineOscillatorUnit *self = vx_self<SineOscillatorUnit>(unit);
    const float *frequency = vx_in(self->frequency);
    const float *amplitude = vx_in(self->amplitude);
    /* The phases of the block first (a serial chain), then the eight independent
     * polynomials side by side. */
    double phase;
    VxBlockD p;
    VX_ADVANCE_PHASES(Level, p, context, vx_phase_begin(self->phase),
                      frequency, &phase);
    vx_store_block(self->output.values, vx_round(SinePi(p) * vx_widen(vx_load_block(amplitude))));
    vx_phase_end(self->phase, phase);
}

VX_UNIT_FUNCTION_BUILDS(SineBlock)

/* Up to 8 sines side by side, one per lane: per frame and lane the accumulator's steps (the
 * limited increment, the sum, one wrap) and the same polynomial. */
template <int Level>
VX_ALWAYS_INLINE void SineGroup(VexaContext *context, VexaUnit *const *units, int32_t count) {
    const VxLanes<SineOscillatorUnit> lanes(units, count);
    VxBlockF frequency[8], amplitude[8], out[8];
    vx_lanes_in(lanes, &SineOscillatorUnit::frequency, frequency);
    vx_lanes_in(lanes, &SineOscillatorUnit::amplitude, amplitude);
    VxBlockD phase;
    for (int k = 0; k < 8; k++) phase[k] = vx_phase_begin(lanes[k]->phase);
    const double freqScale = context->vxb_FreqScale;
    VX_GROUP_UNROLL
    for (int i = 0; i < 8; i++) {
        VxBlockD increment = vx_widen(frequency[i]) * freqScale;
        increment = increment < -1.0 ? -1.0 : increment;
        increment = increment > 1.0 ? 1.0 : increment;
        phase += increment;
        phase = phase >= 1.0 ? phase - 2.0 : (phase < -1.0 ? phase + 2.0 : phase);
        out[i] = vx_round(SinePi(phase) * vx_widen(amplitude[i]));
    }
    vx_lanes_out(lanes, &SineOscillatorUnit::output, out);
    for (int k = 0; k < count; k++) vx_phase_end(lanes[k]->phase, phase[k]);
}

VX_GROUP_FUNCTION_BUILDS(SineGroup)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01f28b71,
                  .name = "SineOscillator",
                  .instanceSize = sizeof(SineOscillatorUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadSineOscillator() {
    kInfo.unitFunc = PickUnitFunction();
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
