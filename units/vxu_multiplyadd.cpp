/* MultiplyAdd: outputs InputA times InputB plus InputC. */
#include "vx_group.h"
#include "vx_unit.h"

namespace {
struct MultiplyAddUnit {
    VexaUnit unit;
    InputPort inputA;
    InputPort inputB;
    InputPort inputC;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT_A, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(MultiplyAddUnit, inputA)},
    {.portID = PORTID_INPUT_B, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(MultiplyAddUnit, inputB)},
    {.portID = PORTID_INPUT_C, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(MultiplyAddUnit, inputC)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(MultiplyAddUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    MultiplyAddUnit *self = vx_self<MultiplyAddUnit>(unit);
    const float *a = vx_in(self->inputA);
    const float *b = vx_in(self->inputB);
    const float *c = vx_in(self->inputC);
    float *out = self->output.values;
    for (int i = 0; i < 8; i++) {
        /* The product is exact in double; only the sum is rounded before the store. */
        out[i] = static_cast<float>(static_cast<double>(a[i]) * b[i] + c[i]);
    }
}

/* Groups run the block of each unit in turn, in one call. */
template <int Level> VX_ALWAYS_INLINE void GroupBlock(VexaContext *context, VexaUnit *unit) {
    UnitFunction(context, unit);
}
VX_GROUP_OF_BLOCKS(GroupBlock)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x0491eafd,
                  .name = "MultiplyAdd",
                  .instanceSize = sizeof(MultiplyAddUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadMultiplyAdd() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
