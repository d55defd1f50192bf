/* SawtoothOscillatorBL: a band-limited rising ramp read from the multiwave tables. */
#include "vx_bandlimited.h"

namespace {
struct SawtoothBLUnit {
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
     .offset = VX_OFFSET(SawtoothBLUnit, frequency)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(SawtoothBLUnit, amplitude)},
    {.portID = PORTID_PHASE, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_VARIABLE,
     .signalType = SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(SawtoothBLUnit, phase)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(SawtoothBLUnit, output)},
};

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    SawtoothBLUnit *self = vx_self<SawtoothBLUnit>(unit);
    const float *frequency = vx_in(self->frequency);
    const float *amplitude = vx_in(self->amplitude);
    float *out = self->output.values;
    const SawMultiTables *set = &context->vxb_SawTables;

    VxBandLimitedBlock block;
    double phase = vx_phase_begin(self->phase, self->carriedPhase);
    phase = vx_bl_advance_phase(context, phase, frequency, block);
    for (int i = 0; i < 8; i++) {
        const float saw = VX_SawBL_CalculateSawtooth(set, static_cast<float>(block.phase[i]),
                                                     block.increment[i], block.level[i]);
        out[i] = static_cast<float>(static_cast<double>(saw) * amplitude[i]);
    }
    vx_phase_end(self->phase, self->carriedPhase, phase);
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x04c399ff,
                  .instanceSize = sizeof(SawtoothBLUnit),
                  .numPorts = 4,
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadSawtoothOscillatorBL() { return &kInfo; }
