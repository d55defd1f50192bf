/* CrossFade: a linear fade between the two parts of Input; Fade -1 gives part 0, +1 part 1
 * and 0 their mean. */
#include "vx_unit.h"

namespace {
struct CrossFadeUnit {
    VexaUnit unit;
    InputPort input[2];
    InputPort fade;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 2, .offset = VX_OFFSET(CrossFadeUnit, input)},
    {.portID = PORTID_FADE, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(CrossFadeUnit, fade)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(CrossFadeUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    CrossFadeUnit *self = vx_self<CrossFadeUnit>(unit);
    const float *in0 = vx_in(self->input[0]);
    const float *in1 = vx_in(self->input[1]);
    const float *fade = vx_in(self->fade);
    float *out = self->output.values;
    for (int i = 0; i < 8; i++) {
        const double f = static_cast<double>(fade[i]) * 0.5 + 0.5;
        out[i] = static_cast<float>((1.0 - f) * in0[i] + f * in1[i]);
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x0589d9e3,
                  .name = "CrossFade",
                  .instanceSize = sizeof(CrossFadeUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadCrossFade() { return &kInfo; }
