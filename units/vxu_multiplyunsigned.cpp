/* MultiplyUnsigned: outputs the product of its two inputs, limited to [0, 2]. */
#include "vx_unit.h"

namespace {
struct MultiplyUnsignedUnit {
    VexaUnit unit;
    InputPort inputA;
    InputPort inputB;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT_A, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_UNSIGNED, .numParts = 1,
     .offset = VX_OFFSET(MultiplyUnsignedUnit, inputA)},
    {.portID = PORTID_INPUT_B, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_UNSIGNED, .numParts = 1,
     .offset = VX_OFFSET(MultiplyUnsignedUnit, inputB)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1,
     .offset = VX_OFFSET(MultiplyUnsignedUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    MultiplyUnsignedUnit *self = vx_self<MultiplyUnsignedUnit>(unit);
    const float *a = vx_in(self->inputA);
    const float *b = vx_in(self->inputB);
    float *out = self->output.values;
    for (int i = 0; i < 8; i++) {
        double product = static_cast<double>(a[i]) * b[i];
        if (product < 0.0) {
            product = 0.0;
        } else if (product > 2.0) {
            product = 2.0;
        }
        out[i] = static_cast<float>(product);
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x061b0e69,
                  .name = "MultiplyUnsigned",
                  .instanceSize = sizeof(MultiplyUnsignedUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadMultiplyUnsigned() { return &kInfo; }
