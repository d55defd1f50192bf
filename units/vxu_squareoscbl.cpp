/* SquareOscillatorBL: the difference of two band-limited ramps half a cycle apart. */
#include <cmath>

#include "vx_group.h"
#include "vx_bandlimited.h"

namespace {
struct SquareBLUnit {
    VexaUnit unit;
    InputPort frequency;
    InputPort amplitude;
    VariablePort phase;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_FREQUENCY, .defaultValue = 440.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_FREQUENCY, .numParts = 1,
     .offset = VX_OFFSET(SquareBLUnit, frequency)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(SquareBLUnit, amplitude)},
    {.portID = PORTID_PHASE, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_VARIABLE,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(SquareBLUnit, phase)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(SquareBLUnit, output)},
};

/* The gain falls with the increment, lowering the level of high notes. */
constexpr double kGainTop = 0.92f;

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    SquareBLUnit *self = vx_self<SquareBLUnit>(unit);
    const float *frequency = vx_in(self->frequency);
    const float *amplitude = vx_in(self->amplitude);
    float *out = self->output.values;
    const SawMultiTables *set = &context->vxb_SawTables;

    VxBandLimitedBlock block;
    double phase = vx_phase_begin(self->phase);
    phase = vx_bl_advance_phase(context, phase, frequency, block);
    for (int i = 0; i < 8; i++) {
        const double p = block.phase[i];
        double q = p + 1.0; /* half a cycle on; p = 0 reads q = -1, never +1 */
        if (q >= 1.0) q -= 2.0;
        const float x = block.increment[i];
        const float level = block.level[i];
        const float a = VX_SawBL_CalculateSawtooth(set, static_cast<float>(p), x, level);
        const float b = VX_SawBL_CalculateSawtooth(set, static_cast<float>(q), x, level);
        const double gain = kGainTop - std::fabs(x);
        out[i] = static_cast<float>((static_cast<double>(a) - b) * gain * amplitude[i]);
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
    const VxLanes<SquareBLUnit> lanes(units, count);
    VxBlockF frequency[8], amplitude[8], out[8];
    vx_lanes_in(lanes, &SquareBLUnit::frequency, frequency);
    vx_lanes_in(lanes, &SquareBLUnit::amplitude, amplitude);
    VxBlockD phase;
    for (int k = 0; k < 8; k++) phase[k] = vx_phase_begin(lanes[k]->phase);
    const VxBlLanes tables = vx_bl_lanes(context);
    VX_GROUP_UNROLL
    for (int i = 0; i < 8; i++) {
        VxBlockF x, level;
        vx_bl_lanes_step(tables, frequency[i], &phase, &x, &level);
        VxBlockD q = phase + 1.0; /* half a cycle on */
        q = q >= 1.0 ? q - 2.0 : q;
        const VxBlockF a = vx_bl_saw_lanes<Level>(tables, vx_round(phase), x, level);
        const VxBlockF b = vx_bl_saw_lanes<Level>(tables, vx_round(q), x, level);
        VxBlockI magnitudeBits;
        __builtin_memcpy(&magnitudeBits, &x, sizeof magnitudeBits);
        magnitudeBits &= 0x7fffffff;
        VxBlockF magnitude;
        __builtin_memcpy(&magnitude, &magnitudeBits, sizeof magnitude);
        const VxBlockD gain = kGainTop - vx_widen(magnitude);
        out[i] = vx_round((vx_widen(a) - vx_widen(b)) * gain * vx_widen(amplitude[i]));
    }
    vx_lanes_out(lanes, &SquareBLUnit::output, out);
    for (int k = 0; k < count; k++) vx_phase_end(lanes[k]->phase, phase[k]);
}

VX_GROUP_FUNCTION_BUILDS(BandLimitedGroup)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x021d4d09,
                  .name = "SquareOscillatorBL",
                  .instanceSize = sizeof(SquareBLUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadSquareOscillatorBL() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
