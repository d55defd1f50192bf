/* LagExp: an exponential approach to its input. Every frame Current moves by the fraction
 * HalfLife (a half-life set in seconds becomes that per-frame coefficient) of the distance
 * left. */
#include <cmath>

#include "vx_group.h"
#include "vx_unit.h"

namespace {
/* Closer than this to the input, the lag settles on it instead of creeping through
 * denormal numbers. */
constexpr double kSettleDistance = 1.0e-26;

struct LagExpUnit {
    VexaUnit unit;
    InputPort input;
    VariablePort halfLife;
    VariablePort current;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(LagExpUnit, input)},
    {.portID = PORTID_HALF_LIFE, .defaultValue = 0.1f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_VARIABLE, .signalType = VEXA_SIGNAL_HALF_LIFE, .numParts = 1,
     .offset = VX_OFFSET(LagExpUnit, halfLife)},
    {.portID = PORTID_CURRENT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_VARIABLE,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(LagExpUnit, current)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(LagExpUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    LagExpUnit *self = vx_self<LagExpUnit>(unit);
    const float *in = vx_in(self->input);
    float *out = self->output.values;
    const double coefficient = self->halfLife.value;
    double current = self->current.value;
    for (int i = 0; i < 8; i++) {
        current = current + (in[i] - current) * coefficient;
        out[i] = static_cast<float>(current);
    }
    if (std::fabs(in[7] - current) < kSettleDistance) current = in[7];
    vx_store_float(self->current.value, static_cast<float>(current));
}

/* Up to 8 lags side by side, one per lane, with the unit function's operations per lane. */
template <int Level>
VX_ALWAYS_INLINE void LagGroup(VexaContext *, VexaUnit *const *units, int32_t count) {
    const VxLanes<LagExpUnit> lanes(units, count);
    VxBlockF in[8], out[8];
    vx_lanes_in(lanes, &LagExpUnit::input, in);
    VxBlockD coefficient, current;
    for (int k = 0; k < 8; k++) {
        coefficient[k] = lanes[k]->halfLife.value;
        current[k] = lanes[k]->current.value;
    }
    VX_GROUP_UNROLL
    for (int i = 0; i < 8; i++) {
        current = current + (vx_widen(in[i]) - current) * coefficient;
        out[i] = vx_round(current);
    }
    vx_lanes_out(lanes, &LagExpUnit::output, out);
    for (int k = 0; k < count; k++) {
        /* Read again after the outputs: a lag that reads its own output sees the new value,
         * as the unit function does. */
        const float last = vx_in(lanes[k]->input)[7];
        double settled = current[k];
        if (std::fabs(last - settled) < kSettleDistance) settled = last;
        vx_store_float(lanes[k]->current.value, static_cast<float>(settled));
    }
}

VX_GROUP_FUNCTION_BUILDS(LagGroup)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x05829f02,
                  .name = "LagExp",
                  .instanceSize = sizeof(LagExpUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadLagExp() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
