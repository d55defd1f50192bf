/* AddUnsigned: outputs the sum of its two inputs, limited to the unsigned range [0, 2]. */
#include "vx_unit.h"

namespace {
struct AddUnsignedUnit {
    VexaUnit unit;
    InputPort inputA;
    InputPort inputB;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT_A, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_UNSIGNED, .numParts = 1, .offset = VX_OFFSET(AddUnsignedUnit, inputA)},
    {.portID = PORTID_INPUT_B, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_UNSIGNED, .numParts = 1, .offset = VX_OFFSET(AddUnsignedUnit, inputB)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_UNSIGNED, .numParts = 1, .offset = VX_OFFSET(AddUnsignedUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    AddUnsignedUnit *self = vx_self<AddUnsignedUnit>(unit);
    const float *a = vx_in(self->inputA);
    const float *b = vx_in(self->inputB);
    float *out = self->output.values;
    for (int i = 0; i < 8; i++) {
        double sum = static_cast<double>(a[i]) + b[i];
        if (sum < 0.0) {
            sum = 0.0;
        } else if (sum > 2.0) {
            sum = 2.0;
        }
        out[i] = static_cast<float>(sum);
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x059d9781,
                  .name = "AddUnsigned",
                  .instanceSize = sizeof(AddUnsignedUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadAddUnsigned() { return &kInfo; }
