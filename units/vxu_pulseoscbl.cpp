/* PulseOscillatorBL: the difference of two band-limited ramps, the second one offset by the
 * pulse width, with the width subtracted again so that the output carries no DC. */
#include <cmath>

#include "vx_group.h"
#include "vx_bandlimited.h"

namespace {
struct PulseBLUnit {
    VexaUnit unit;
    InputPort frequency;
    InputPort amplitude;
    VariablePort phase;
    InputPort width;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_FREQUENCY, .defaultValue = 440.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_FREQUENCY, .numParts = 1,
     .offset = VX_OFFSET(PulseBLUnit, frequency)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(PulseBLUnit, amplitude)},
    {.portID = PORTID_PHASE, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_VARIABLE,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(PulseBLUnit, phase)},
    {.portID = PORTID_WIDTH, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(PulseBLUnit, width)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(PulseBLUnit, output)},
};

/* The second ramp's phase p + 1 - width, brought into [-1, +1). A width within [-1, +1]
 * needs at most the one downward wrap; a connected width signal may lie further out, and is
 * then wrapped as often as needed so that the table read stays within the cycle. */
inline double SecondPhase(double p, double width) {
    double q = p + 1.0 - width;
    if (q >= 1.0) q -= 2.0;
    if (q >= 1.0 || q < -1.0) {
        q -= 2.0 * std::floor((q + 1.0) * 0.5);
        if (q >= 1.0) q -= 2.0; /* rounding may land exactly on +1 */
    }
    return q;
}

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    PulseBLUnit *self = vx_self<PulseBLUnit>(unit);
    const float *frequency = vx_in(self->frequency);
    const float *amplitude = vx_in(self->amplitude);
    const float *width = vx_in(self->width);
    float *out = self->output.values;
    const SawMultiTables *set = &context->vxb_SawTables;

    VxBandLimitedBlock block;
    double phase = vx_phase_begin(self->phase);
    phase = vx_bl_advance_phase(context, phase, frequency, block);
    for (int i = 0; i < 8; i++) {
        const double p = block.phase[i];
        const double w = width[i];
        const double q = SecondPhase(p, w);
        const float x = block.increment[i];
        const float level = block.level[i];
        const float a = VX_SawBL_CalculateSawtooth(set, static_cast<float>(p), x, level);
        const float b = VX_SawBL_CalculateSawtooth(set, static_cast<float>(q), x, level);
        const float gain = static_cast<float>(1.0 - std::fabs(x));
        out[i] = static_cast<float>(((static_cast<double>(a) - b) - w) * gain * amplitude[i]);
    }
    vx_phase_end(self->phase, phase);
}

/* Up to 8 oscillators side by side, one per lane: per frame and lane the accumulator's
 * steps and the table function for the lane's own table pair (vx_bl_saw_lanes), with the
 * operations of the unit function. */
template <int Level>
VX_ALWAYS_INLINE void BandLimitedGroup(VexaContext *context, VexaUnit *const *units,
                                       int32_t count) {
    if (context->vxb_SawFlat == nullptr) { /* not the standard table set */
        for (int32_t k = 0; k < count; k++) UnitFunction(context, units[k]);
        return;
    }
    const VxLanes<PulseBLUnit> lanes(units, count);
    VxBlockF frequency[8], amplitude[8], out[8];
    vx_lanes_in(lanes, &PulseBLUnit::frequency, frequency);
    vx_lanes_in(lanes, &PulseBLUnit::amplitude, amplitude);
    VxBlockF width[8];
    vx_lanes_in(lanes, &PulseBLUnit::width, width);
    VxBlockD phase;
    for (int k = 0; k < 8; k++) phase[k] = vx_phase_begin(lanes[k]->phase);
    const VxBlLanes tables = vx_bl_lanes(context);
    VX_GROUP_UNROLL
    for (int i = 0; i < 8; i++) {
        VxBlockF x, level;
        vx_bl_lanes_step(tables, frequency[i], &phase, &x, &level);
        VxBlockD q;
        for (int k = 0; k < 8; k++) q[k] = SecondPhase(phase[k], width[i][k]);
        const VxBlockF a = vx_bl_saw_lanes<Level>(tables, vx_round(phase), x, level);
        const VxBlockF b = vx_bl_saw_lanes<Level>(tables, vx_round(q), x, level);
        VxBlockI magnitudeBits;
        __builtin_memcpy(&magnitudeBits, &x, sizeof magnitudeBits);
        magnitudeBits &= 0x7fffffff;
        VxBlockF magnitude;
        __builtin_memcpy(&magnitude, &magnitudeBits, sizeof magnitude);
        const VxBlockF gain = vx_round(1.0 - vx_widen(magnitude));
        out[i] = vx_round(((vx_widen(a) - vx_widen(b)) - vx_widen(width[i])) * vx_widen(gain) *
                          vx_widen(amplitude[i]));
    }
    vx_lanes_out(lanes, &PulseBLUnit::output, out);
    for (int k = 0; k < count; k++) vx_phase_end(lanes[k]->phase, phase[k]);
}

VX_GROUP_FUNCTION_BUILDS(BandLimitedGroup)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01f1b2dd,
                  .name = "PulseOscillatorBL",
                  .instanceSize = sizeof(PulseBLUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadPulseOscillatorBL() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
