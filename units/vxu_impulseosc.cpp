/* ImpulseOscillator: outputs Amplitude on each frame at which the phase
 * wraps (in either direction) and 0 on all others. Its Frequency is a raw signal. */
#include "vx_phase.h"

namespace {
struct ImpulseOscillatorUnit {
    VexaUnit unit;
    InputPort frequency;
    InputPort amplitude;
    VariablePort phase;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_FREQUENCY, .defaultValue = 440.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(ImpulseOscillatorUnit, frequency)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(ImpulseOscillatorUnit, amplitude)},
    {.portID = PORTID_PHASE, .defaultValue = 0.0f, .defaultMask = 0,
     .portKind = PORT_VARIABLE, .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1,
     .offset = VX_OFFSET(ImpulseOscillatorUnit, phase)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(ImpulseOscillatorUnit, output)},
};

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    ImpulseOscillatorUnit *self = vx_self<ImpulseOscillatorUnit>(unit);
    const float *frequency = vx_in(self->frequency);
    const float *amplitude = vx_in(self->amplitude);
    float *out = self->output.values;
    VxPhaseBlock block;
    const double phase =
        vx_advance_phase(context, vx_phase_begin(self->phase), frequency, block);
    for (int i = 0; i < 8; i++) {
        out[i] = block.wrapped[i] ? amplitude[i] : 0.0f;
    }
    vx_phase_end(self->phase, phase);
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01fdbfd1,
                  .name = "ImpulseOscillator",
                  .instanceSize = sizeof(ImpulseOscillatorUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadImpulseOscillator() { return &kInfo; }
