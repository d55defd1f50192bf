/* PulseOscillator: +Amplitude where the phase is at or above Width, otherwise -Amplitude
 * (not band-limited). Width 0 gives a square wave; Width -0.5 gives +Amplitude for three
 * quarters of the cycle. */
#include "vx_phase.h"

namespace {
struct PulseOscillatorUnit {
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
     .offset = VX_OFFSET(PulseOscillatorUnit, frequency)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(PulseOscillatorUnit, amplitude)},
    {.portID = PORTID_PHASE, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_VARIABLE,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1,
     .offset = VX_OFFSET(PulseOscillatorUnit, phase)},
    {.portID = PORTID_WIDTH, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1,
     .offset = VX_OFFSET(PulseOscillatorUnit, width)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(PulseOscillatorUnit, output)},
};

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    PulseOscillatorUnit *self = vx_self<PulseOscillatorUnit>(unit);
    const float *frequency = vx_in(self->frequency);
    const float *amplitude = vx_in(self->amplitude);
    const float *width = vx_in(self->width);
    float *out = self->output.values;
    VxPhaseBlock block;
    const double phase =
        vx_advance_phase(context, vx_phase_begin(self->phase), frequency, block);
    for (int i = 0; i < 8; i++) {
        out[i] = (block.phase[i] >= static_cast<double>(width[i])) ? amplitude[i] : -amplitude[i];
    }
    vx_phase_end(self->phase, phase);
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01f061dd,
                  .name = "PulseOscillator",
                  .instanceSize = sizeof(PulseOscillatorUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadPulseOscillator() { return &kInfo; }
