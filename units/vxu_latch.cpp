/* Latch: takes its input into the held value on every frame whose Gate is above 0, and
 * outputs the held value. The held value survives stop and restart. */
#include "vx_unit.h"

namespace {
struct LatchUnit {
    VexaUnit unit;
    InputPort input;
    InputPort gate;
    OutputPort output;
    float held;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(LatchUnit, input)},
    {.portID = PORTID_GATE, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(LatchUnit, gate)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(LatchUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    LatchUnit *self = vx_self<LatchUnit>(unit);
    const float *in = vx_in(self->input);
    const float *gate = vx_in(self->gate);
    float *out = self->output.values;
    float held = self->held;
    for (int i = 0; i < 8; i++) {
        if (gate[i] > 0.0f) held = in[i];
        out[i] = held;
    }
    self->held = held;
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01687906,
                  .name = "Latch",
                  .instanceSize = sizeof(LatchUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadLatch() { return &kInfo; }
