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
     .portKind = PORT_INPUT, .signalType = SIGNAL_FREQUENCY, .numParts = 1,
     .offset = VX_OFFSET(ImpulseBLUnit, frequency)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(ImpulseBLUnit, amplitude)},
    {.portID = PORTID_PHASE, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_VARIABLE,
     .signalType = SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(ImpulseBLUnit, phase)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(ImpulseBLUnit, output)},
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

/* Groups run the block of each unit in turn, in one call. */
template <int Level> VX_ALWAYS_INLINE void GroupBlock(VexaContext *context, VexaUnit *unit) {
    UnitFunction(context, unit);
}
VX_GROUP_OF_BLOCKS(GroupBlock)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x0251ffd1,
                  .instanceSize = sizeof(ImpulseBLUnit),
                  .numPorts = 4,
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadImpulseOscillatorBL() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
