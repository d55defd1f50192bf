/* MultiplyAddUnsigned: outputs InputA times InputB plus InputC, limited to [0, 2]. */
#include "vx_unit.h"

namespace {
struct MultiplyAddUnsignedUnit {
    VexaUnit unit;
    InputPort inputA;
    InputPort inputB;
    InputPort inputC;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT_A, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1,
     .offset = VX_OFFSET(MultiplyAddUnsignedUnit, inputA)},
    {.portID = PORTID_INPUT_B, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1,
     .offset = VX_OFFSET(MultiplyAddUnsignedUnit, inputB)},
    {.portID = PORTID_INPUT_C, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_UNSIGNED, .numParts = 1,
     .offset = VX_OFFSET(MultiplyAddUnsignedUnit, inputC)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_UNSIGNED, .numParts = 1,
     .offset = VX_OFFSET(MultiplyAddUnsignedUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    MultiplyAddUnsignedUnit *self = vx_self<MultiplyAddUnsignedUnit>(unit);
    const float *a = vx_in(self->inputA);
    const float *b = vx_in(self->inputB);
    const float *c = vx_in(self->inputC);
    float *out = self->output.values;
    for (int i = 0; i < 8; i++) {
        double sum = static_cast<double>(a[i]) * b[i] + c[i];
        if (sum < 0.0) {
            sum = 0.0;
        } else if (sum > 2.0) {
            sum = 2.0;
        }
        out[i] = static_cast<float>(sum);
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x05855514,
                  .name = "MultiplyAddUnsigned",
                  .instanceSize = sizeof(MultiplyAddUnsignedUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadMultiplyAddUnsigned() { return &kInfo; }
