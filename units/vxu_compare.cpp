/* Compare: outputs 1.0 where InputA is greater than InputB, otherwise 0.0. */
#include "vx_unit.h"

namespace {
struct CompareUnit {
    VexaUnit unit;
    InputPort inputA;
    InputPort inputB;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT_A, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(CompareUnit, inputA)},
    {.portID = PORTID_INPUT_B, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(CompareUnit, inputB)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(CompareUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    CompareUnit *self = vx_self<CompareUnit>(unit);
    const float *a = vx_in(self->inputA);
    const float *b = vx_in(self->inputB);
    float *out = self->output.values;
    for (int i = 0; i < 8; i++) {
        out[i] = (a[i] > b[i]) ? 1.0f : 0.0f;
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01b7a332,
                  .name = "Compare",
                  .instanceSize = sizeof(CompareUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadCompare() { return &kInfo; }
