/* Filter2o2p: a two-pole resonator, y = A0 x - B1 y1 - B2 y2, with its coefficients read once
 * per block. */
#include "vx_group.h"
#include "vx_unit.h"

namespace {
struct Filter2o2pUnit {
    VexaUnit unit;
    InputPort input;
    VariablePort a0;
    VariablePort b1;
    VariablePort b2;
    OutputPort output;
    float y1, y2;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(Filter2o2pUnit, input)},
    {.portID = PORTID_A0, .defaultValue = 0.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_VARIABLE, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(Filter2o2pUnit, a0)},
    {.portID = PORTID_B1, .defaultValue = 0.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_VARIABLE, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(Filter2o2pUnit, b1)},
    {.portID = PORTID_B2, .defaultValue = 0.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_VARIABLE, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(Filter2o2pUnit, b2)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(Filter2o2pUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    Filter2o2pUnit *self = vx_self<Filter2o2pUnit>(unit);
    const float *in = vx_in(self->input);
    float *out = self->output.values;
    const double a0 = self->a0.value, b1 = self->b1.value, b2 = self->b2.value;
    double y1 = self->y1, y2 = self->y2;
    for (int i = 0; i < 8; i++) {
        const double y = a0 * in[i] - b1 * y1 - b2 * y2;
        out[i] = static_cast<float>(y);
        y2 = y1;
        y1 = y;
    }
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
                  .typeID = 0x01be36e2,
                  .name = "Filter2o2p",
                  .instanceSize = sizeof(Filter2o2pUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadFilter2o2p() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
