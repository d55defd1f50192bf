/* Select: outputs InputB where Select is above 0, otherwise InputA. */
#include "vx_unit.h"

namespace {
struct SelectUnit {
    VexaUnit unit;
    InputPort inputA;
    InputPort inputB;
    InputPort select;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT_A, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(SelectUnit, inputA)},
    {.portID = PORTID_INPUT_B, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(SelectUnit, inputB)},
    {.portID = PORTID_SELECT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(SelectUnit, select)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(SelectUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    SelectUnit *self = vx_self<SelectUnit>(unit);
    const float *a = vx_in(self->inputA);
    const float *b = vx_in(self->inputB);
    const float *select = vx_in(self->select);
    float *out = self->output.values;
    for (int i = 0; i < 8; i++) out[i] = (select[i] > 0.0f) ? b[i] : a[i];
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x0192e58e,
                  .name = "Select",
                  .instanceSize = sizeof(SelectUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadSelect() { return &kInfo; }
