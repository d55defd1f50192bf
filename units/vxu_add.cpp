/* Add: outputs the sum of its two inputs. */
#include "vx_unit.h"

namespace {
struct AddUnit {
    VexaUnit unit;
    InputPort inputA;
    InputPort inputB;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT_A, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(AddUnit, inputA)},
    {.portID = PORTID_INPUT_B, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(AddUnit, inputB)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(AddUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    AddUnit *self = vx_self<AddUnit>(unit);
    const float *a = vx_in(self->inputA);
    const float *b = vx_in(self->inputB);
    float *out = self->output.values;
    for (int i = 0; i < 8; i++) {
        out[i] = static_cast<float>(static_cast<double>(a[i]) + b[i]);
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01b7611d,
                  .instanceSize = sizeof(AddUnit),
                  .numPorts = 3,
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadAdd() { return &kInfo; }
