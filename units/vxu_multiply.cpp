/* Multiply: outputs the product of its two inputs. */
#include "vx_group.h"
#include "vx_unit.h"

namespace {
struct MultiplyUnit {
    VexaUnit unit;
    InputPort inputA;
    InputPort inputB;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT_A, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(MultiplyUnit, inputA)},
    {.portID = PORTID_INPUT_B, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(MultiplyUnit, inputB)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(MultiplyUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    MultiplyUnit *self = vx_self<MultiplyUnit>(unit);
    const float *a = vx_in(self->inputA);
    const float *b = vx_in(self->inputB);
    float *out = self->output.values;
    for (int i = 0; i < 8; i++) {
        out[i] = static_cast<float>(static_cast<double>(a[i]) * b[i]);
    }
}

/* Groups run the block of each unit in turn, in one call. */
template <int Level> VX_ALWAYS_INLINE void GroupBlock(VexaContext *context, VexaUnit *unit) {
    UnitFunction(context, unit);
}
VX_GROUP_OF_BLOCKS(GroupBlock)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x0289dced,
                  .name = "Multiply",
                  .instanceSize = sizeof(MultiplyUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadMultiply() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
