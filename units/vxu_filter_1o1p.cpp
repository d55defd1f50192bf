/* Filter1o1p: a one-pole filter with per-frame coefficients, y = A0 x - B1 y1. */
#include "vx_group.h"
#include "vx_unit.h"

namespace {
struct Filter1o1pUnit {
    VexaUnit unit;
    InputPort input;
    InputPort a0;
    InputPort b1;
    OutputPort output;
    float y1;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(Filter1o1pUnit, input)},
    {.portID = PORTID_A0, .defaultValue = 0.6f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(Filter1o1pUnit, a0)},
    {.portID = PORTID_B1, .defaultValue = -0.3f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(Filter1o1pUnit, b1)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(Filter1o1pUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    Filter1o1pUnit *self = vx_self<Filter1o1pUnit>(unit);
    const float *in = vx_in(self->input);
    const float *a0 = vx_in(self->a0);
    const float *b1 = vx_in(self->b1);
    float *out = self->output.values;
    double y1 = self->y1;
    for (int i = 0; i < 8; i++) {
        const double y = static_cast<double>(a0[i]) * in[i] - static_cast<double>(b1[i]) * y1;
        out[i] = static_cast<float>(y);
        y1 = y;
    }
    self->y1 = static_cast<float>(y1 + 1.0e-26); /* keeps silence out of denormal numbers */
}

/* Up to 8 filters side by side, one per lane, with the unit function's operations per lane. */
template <int Level>
VX_ALWAYS_INLINE void FilterGroup(VexaContext *, VexaUnit *const *units, int32_t count) {
    const VxLanes<Filter1o1pUnit> lanes(units, count);
    VxBlockF in[8], a0[8], b1[8], out[8];
    vx_lanes_in(lanes, &Filter1o1pUnit::input, in);
    vx_lanes_in(lanes, &Filter1o1pUnit::a0, a0);
    vx_lanes_in(lanes, &Filter1o1pUnit::b1, b1);
    VxBlockD y1 = vx_lanes_field(lanes, &Filter1o1pUnit::y1);
    VX_GROUP_UNROLL
    for (int i = 0; i < 8; i++) {
        const VxBlockD y = vx_widen(a0[i]) * vx_widen(in[i]) - vx_widen(b1[i]) * y1;
        out[i] = vx_round(y);
        y1 = y;
    }
    vx_lanes_out(lanes, &Filter1o1pUnit::output, out);
    for (int k = 0; k < count; k++) lanes[k]->y1 = static_cast<float>(y1[k] + 1.0e-26);
}

VX_GROUP_FUNCTION_BUILDS(FilterGroup)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01be3660,
                  .name = "Filter1o1p",
                  .instanceSize = sizeof(Filter1o1pUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadFilter1o1p() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
