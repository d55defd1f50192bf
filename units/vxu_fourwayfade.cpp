/* FourWayFade: a bilinear fade across four inputs placed on the corners of the square of its
 * two Fade parts (x = part 0, y = part 1): (-1, +1) gives Input part 0, (+1, +1) part 1,
 * (+1, -1) part 2 and (-1, -1) part 3. */
#include "vx_unit.h"

namespace {
struct FourWayFadeUnit {
    VexaUnit unit;
    InputPort input[4];
    InputPort fade[2];
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 4, .offset = VX_OFFSET(FourWayFadeUnit, input)},
    {.portID = PORTID_FADE, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 2, .offset = VX_OFFSET(FourWayFadeUnit, fade)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(FourWayFadeUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    FourWayFadeUnit *self = vx_self<FourWayFadeUnit>(unit);
    const float *in0 = vx_in(self->input[0]);
    const float *in1 = vx_in(self->input[1]);
    const float *in2 = vx_in(self->input[2]);
    const float *in3 = vx_in(self->input[3]);
    const float *fadeX = vx_in(self->fade[0]);
    const float *fadeY = vx_in(self->fade[1]);
    float *out = self->output.values;
    for (int i = 0; i < 8; i++) {
        const double fx = static_cast<double>(fadeX[i]) * 0.5 + 0.5;
        const double fy = static_cast<double>(fadeY[i]) * 0.5 + 0.5;
        const double top = (1.0 - fx) * in0[i] + fx * in1[i];
        const double bottom = (1.0 - fx) * in3[i] + fx * in2[i];
        out[i] = static_cast<float>(fy * top + (1.0 - fy) * bottom);
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x0544c60f,
                  .name = "FourWayFade",
                  .instanceSize = sizeof(FourWayFadeUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadFourWayFade() { return &kInfo; }
