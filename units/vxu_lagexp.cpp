/* LagExp: an exponential approach to its input. Every frame Current moves by the fraction
 * HalfLife (a half-life set in seconds becomes that per-frame coefficient) of the distance
 * left. */
#include <cmath>

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
     .signalType = SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(LagExpUnit, input)},
    {.portID = PORTID_HALF_LIFE, .defaultValue = 0.1f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_VARIABLE, .signalType = SIGNAL_HALF_LIFE, .numParts = 1,
     .offset = VX_OFFSET(LagExpUnit, halfLife)},
    {.portID = PORTID_CURRENT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_VARIABLE,
     .signalType = SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(LagExpUnit, current)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(LagExpUnit, output)},
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

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x05829f02,
                  .instanceSize = sizeof(LagExpUnit),
                  .numPorts = 4,
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadLagExp() { return &kInfo; }
