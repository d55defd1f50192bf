/* ImpulseOscillatorBL: the negated slope of the band-limited ramp, about +1 once per cycle
 * where the ramp drops and a small negative value elsewhere. */
#include "vx_group.h"
#include "vx_bandlimited.h"

namespace {
struct ImpulseBLUnit {
    VexaUnit unit;
    InputPort frequency;
    InputPort amplitude;
    VariablePort phase;
    OutputPort output;
    float previous; /* the ramp value of the last frame */
};

const PortInfo kPorts[] = {
    {.portID = PORTID_FREQUENCY, .defaultValue = 440.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_FREQUENCY, .numParts = 1,
     .offset = VX_OFFSET(ImpulseBLUnit, frequency)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(ImpulseBLUnit, amplitude)},
    {.portID = PORTID_PHASE, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_VARIABLE,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(ImpulseBLUnit, phase)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(ImpulseBLUnit, output)},
};

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    ImpulseBLUnit *self = vx_self<ImpulseBLUnit>(unit);
    const float *frequency = vx_in(self->frequency);
    const float *amplitude = vx_in(self->amplitude);
    float *out = self->output.values;
    const SawMultiTables *set = &context->vxb_SawTables;

    VxBandLimitedBlock block;
    double phase = vx_phase_begin(self->phase);
    phase = vx_bl_advance_phase(context, phase, frequency, block);
    float previous = self->previous;
    for (int i = 0; i < 8; i++) {
        const float current = VX_SawBL_CalculateSawtooth(
            set, static_cast<float>(block.phase[i]), block.increment[i], block.level[i]);
        out[i] = static_cast<float>((static_cast<double>(previous) - current) * 0.5 * amplitude[i]);
        previous = current;
    }
    self->previous = previous;
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
    const VxLanes<ImpulseBLUnit> lanes(units, count);
    VxBlockF frequency[8], amplitude[8], out[8];
    vx_lanes_in(lanes, &ImpulseBLUnit::frequency, frequency);
    vx_lanes_in(lanes, &ImpulseBLUnit::amplitude, amplitude);
    VxBlockD phase;
    for (int k = 0; k < 8; k++) phase[k] = vx_phase_begin(lanes[k]->phase);
    VxBlockF previous;
    for (int k = 0; k < 8; k++) previous[k] = lanes[k]->previous;
    const VxBlLanes tables = vx_bl_lanes(context);
    VX_GROUP_UNROLL
    for (int i = 0; i < 8; i++) {
        VxBlockF x, level;
        vx_bl_lanes_step(tables, frequency[i], &phase, &x, &level);
        const VxBlockF current = vx_bl_saw_lanes<Level>(tables, vx_round(phase), x, level);
        out[i] = vx_round((vx_widen(previous) - vx_widen(current)) * 0.5 * vx_widen(amplitude[i]));
        previous = current;
    }
    vx_lanes_out(lanes, &ImpulseBLUnit::output, out);
    for (int k = 0; k < count; k++) lanes[k]->previous = previous[k];
    for (int k = 0; k < count; k++) vx_phase_end(lanes[k]->phase, phase[k]);
}

VX_GROUP_FUNCTION_BUILDS(BandLimitedGroup)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x0251ffd1,
                  .name = "ImpulseOscillatorBL",
                  .instanceSize = sizeof(ImpulseBLUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadImpulseOscillatorBL() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
