/* Filter1o1z: a one-zero filter with per-frame coefficients, y = A0 x + A1 x1. */
#include "vx_group.h"
#include "vx_unit.h"

namespace {
struct Filter1o1zUnit {
    VexaUnit unit;
    InputPort input;
    InputPort a0;
    InputPort a1;
    OutputPort output;
    float x1;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(Filter1o1zUnit, input)},
    {.portID = PORTID_A0, .defaultValue = 0.5f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(Filter1o1zUnit, a0)},
    {.portID = PORTID_A1, .defaultValue = 0.5f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(Filter1o1zUnit, a1)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(Filter1o1zUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    Filter1o1zUnit *self = vx_self<Filter1o1zUnit>(unit);
    const float *in = vx_in(self->input);
    const float *a0 = vx_in(self->a0);
    const float *a1 = vx_in(self->a1);
    float *out = self->output.values;
    float x1 = self->x1;
    for (int i = 0; i < 8; i++) {
        const float x = in[i];
        out[i] = static_cast<float>(static_cast<double>(a0[i]) * x +
                                    static_cast<double>(a1[i]) * x1);
        x1 = x;
    }
    self->x1 = x1;
}

/* Groups run the block of each unit in turn, in one call. */
template <int Level> VX_ALWAYS_INLINE void GroupBlock(VexaContext *context, VexaUnit *unit) {
    UnitFunction(context, unit);
}
VX_GROUP_OF_BLOCKS(GroupBlock)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01be5e60,
                  .name = "Filter1o1z",
                  .instanceSize = sizeof(Filter1o1zUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadFilter1o1z() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
