/* PeakFollower: rises at once to the magnitude of its input and falls exponentially with the
 * per-frame coefficient HalfLife (set in seconds as a half-life). */
#include <cmath>

#include "vx_unit.h"

namespace {
/* A decayed value below this snaps to 0 at the end of the block (no denormal tail). */
constexpr double kSnapLevel = 1.0e-26;

struct PeakFollowerUnit {
    VexaUnit unit;
    InputPort input;
    VariablePort halfLife;
    VariablePort current;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(PeakFollowerUnit, input)},
    {.portID = PORTID_HALF_LIFE, .defaultValue = 0.1f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_VARIABLE, .signalType = VEXA_SIGNAL_HALF_LIFE, .numParts = 1,
     .offset = VX_OFFSET(PeakFollowerUnit, halfLife)},
    {.portID = PORTID_CURRENT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_VARIABLE,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(PeakFollowerUnit, current)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(PeakFollowerUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    PeakFollowerUnit *self = vx_self<PeakFollowerUnit>(unit);
    const float *in = vx_in(self->input);
    float *out = self->output.values;
    const double decay = 1.0 - static_cast<double>(self->halfLife.value);
    double current = self->current.value;
    for (int i = 0; i < 8; i++) {
        const double x = std::fabs(static_cast<double>(in[i]));
        if (x >= current)
            current = x;
        else
            current = current * decay;
        out[i] = static_cast<float>(current);
    }
    if (current < kSnapLevel) current = 0.0;
    vx_store_float(self->current.value, static_cast<float>(current));
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x05f2d79e,
                  .name = "PeakFollower",
                  .instanceSize = sizeof(PeakFollowerUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadPeakFollower() { return &kInfo; }
