/* Filter1o1p1z: a one-pole one-zero filter, y = A0 x + A1 x1 - B1 y1, with its coefficients
 * read once per block. */
#include "vx_group.h"
#include "vx_unit.h"

namespace {
struct Filter1o1p1zUnit {
    VexaUnit unit;
    InputPort input;
    VariablePort a0;
    VariablePort a1;
    VariablePort b1;
    OutputPort output;
    float x1, y1;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(Filter1o1p1zUnit, input)},
    {.portID = PORTID_A0, .defaultValue = 0.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_VARIABLE, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(Filter1o1p1zUnit, a0)},
    {.portID = PORTID_A1, .defaultValue = 0.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_VARIABLE, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(Filter1o1p1zUnit, a1)},
    {.portID = PORTID_B1, .defaultValue = 0.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_VARIABLE, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(Filter1o1p1zUnit, b1)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(Filter1o1p1zUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    Filter1o1p1zUnit *self = vx_self<Filter1o1p1zUnit>(unit);
    const float *in = vx_in(self->input);
    float *out = self->output.values;
    const double a0 = self->a0.value, a1 = self->a1.value, b1 = self->b1.value;
    double x1 = self->x1, y1 = self->y1;
    for (int i = 0; i < 8; i++) {
        const double x = in[i];
        const double y = a0 * x + a1 * x1 - b1 * y1;
        out[i] = static_cast<float>(y);
        x1 = x;
        y1 = y;
    }
    /* The offsets keep silence out of denormal numbers. */
    self->x1 = static_cast<float>(x1 + 1.0e-26);
    self->y1 = static_cast<float>(y1 + 1.0e-26);
}

/* Groups run the block of each unit in turn, in one call. */
template <int Level> VX_ALWAYS_INLINE void GroupBlock(VexaContext *context, VexaUnit *unit) {
    UnitFunction(context, unit);
}
VX_GROUP_OF_BLOCKS(GroupBlock)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x023e5660,
                  .name = "Filter1o1p1z",
                  .instanceSize = sizeof(Filter1o1p1zUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadFilter1o1p1z() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
