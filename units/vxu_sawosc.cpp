/* SawtoothOscillator: a naive rising ramp from -Amplitude to +Amplitude,
 * the phase itself scaled by Amplitude (not band-limited). */
#include "vx_phase.h"

namespace {
struct SawtoothOscillatorUnit {
    VexaUnit unit;
    InputPort frequency;
    InputPort amplitude;
    VariablePort phase;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_FREQUENCY, .defaultValue = 440.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_FREQUENCY, .numParts = 1,
     .offset = VX_OFFSET(SawtoothOscillatorUnit, frequency)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(SawtoothOscillatorUnit, amplitude)},
    {.portID = PORTID_PHASE, .defaultValue = 0.0f, .defaultMask = 0,
     .portKind = PORT_VARIABLE, .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1,
     .offset = VX_OFFSET(SawtoothOscillatorUnit, phase)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(SawtoothOscillatorUnit, output)},
};

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    SawtoothOscillatorUnit *self = vx_self<SawtoothOscillatorUnit>(unit);
    const float *frequency = vx_in(self->frequency);
    const float *amplitude = vx_in(self->amplitude);
    float *out = self->output.values;
    VxPhaseBlock block;
    const double phase =
        vx_advance_phase(context, vx_phase_begin(self->phase), frequency, block);
    for (int i = 0; i < 8; i++) {
        out[i] = static_cast<float>(block.phase[i] * amplitude[i]);
    }
    vx_phase_end(self->phase, phase);
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x022199ff,
                  .name = "SawtoothOscillator",
                  .instanceSize = sizeof(SawtoothOscillatorUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadSawtoothOscillator() { return &kInfo; }
