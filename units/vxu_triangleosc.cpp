/* TriangleOscillator: a triangle wave peaking at +Amplitude at phase 0 and
 * reaching -Amplitude at phase -1. Its phase starts at -0.5, so the first frames rise from 0. */
#include "vx_phase.h"

namespace {
struct TriangleOscillatorUnit {
    VexaUnit unit;
    InputPort frequency;
    InputPort amplitude;
    VariablePort phase;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_FREQUENCY, .defaultValue = 440.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_FREQUENCY, .numParts = 1,
     .offset = VX_OFFSET(TriangleOscillatorUnit, frequency)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(TriangleOscillatorUnit, amplitude)},
    {.portID = PORTID_PHASE, .defaultValue = -0.5f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_VARIABLE, .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1,
     .offset = VX_OFFSET(TriangleOscillatorUnit, phase)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(TriangleOscillatorUnit, output)},
};

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    TriangleOscillatorUnit *self = vx_self<TriangleOscillatorUnit>(unit);
    const float *frequency = vx_in(self->frequency);
    const float *amplitude = vx_in(self->amplitude);
    float *out = self->output.values;
    VxPhaseBlock block;
    const double phase =
        vx_advance_phase(context, vx_phase_begin(self->phase), frequency, block);
    for (int i = 0; i < 8; i++) {
        const double p = block.phase[i];
        const double shape = (p < 0.0) ? 2.0 * (p + 0.5) : 2.0 * (0.5 - p);
        out[i] = static_cast<float>(shape * amplitude[i]);
    }
    vx_phase_end(self->phase, phase);
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01f1a5c9,
                  .name = "TriangleOscillator",
                  .instanceSize = sizeof(TriangleOscillatorUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadTriangleOscillator() { return &kInfo; }
