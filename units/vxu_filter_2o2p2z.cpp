/* Filter2o2p2z: a general second-order section. Its coefficients are signed values (within
 * [-1, +1]) that stand for half of the actual ones: the sum is doubled, and the doubled value is
 * both the output and the value fed back, so feedback terms up to 2 can be expressed. */
#include "vx_group.h"
#include "vx_unit.h"

namespace {
struct Filter2o2p2zUnit {
    VexaUnit unit;
    InputPort input;
    VariablePort a0;
    VariablePort a1;
    VariablePort a2;
    VariablePort b1;
    VariablePort b2;
    OutputPort output;
    float x1, x2, y1, y2;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(Filter2o2p2zUnit, input)},
    {.portID = PORTID_A0, .defaultValue = 0.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_VARIABLE, .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1,
     .offset = VX_OFFSET(Filter2o2p2zUnit, a0)},
    {.portID = PORTID_A1, .defaultValue = 0.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_VARIABLE, .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1,
     .offset = VX_OFFSET(Filter2o2p2zUnit, a1)},
    {.portID = PORTID_A2, .defaultValue = 0.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_VARIABLE, .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1,
     .offset = VX_OFFSET(Filter2o2p2zUnit, a2)},
    {.portID = PORTID_B1, .defaultValue = 0.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_VARIABLE, .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1,
     .offset = VX_OFFSET(Filter2o2p2zUnit, b1)},
    {.portID = PORTID_B2, .defaultValue = 0.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_VARIABLE, .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1,
     .offset = VX_OFFSET(Filter2o2p2zUnit, b2)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(Filter2o2p2zUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    Filter2o2p2zUnit *self = vx_self<Filter2o2p2zUnit>(unit);
    const float *in = vx_in(self->input);
    float *out = self->output.values;
    const double a0 = self->a0.value, a1 = self->a1.value, a2 = self->a2.value;
    const double b1 = self->b1.value, b2 = self->b2.value;
    double x1 = self->x1, x2 = self->x2, y1 = self->y1, y2 = self->y2;
    for (int i = 0; i < 8; i++) {
        const double x = in[i];
        const double y = 2.0 * (a0 * x + a1 * x1 + a2 * x2 - b1 * y1 - b2 * y2);
        out[i] = static_cast<float>(y);
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
    }
    self->x1 = static_cast<float>(x1);
    self->x2 = static_cast<float>(x2);
    /* The offsets keep silence out of denormal numbers. */
    self->y1 = static_cast<float>(y1 + 1.0e-26);
    self->y2 = static_cast<float>(y2 - 1.0e-26);
}

/* Groups run the block of each unit in turn, in one call. */
template <int Level> VX_ALWAYS_INLINE void GroupBlock(VexaContext *context, VexaUnit *unit) {
    UnitFunction(context, unit);
}
VX_GROUP_OF_BLOCKS(GroupBlock)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x023e76e2,
                  .name = "Filter2o2p2z",
                  .instanceSize = sizeof(Filter2o2p2zUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadFilter2o2p2z() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
