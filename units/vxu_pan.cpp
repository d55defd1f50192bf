/* Pan: a linear pan of Input across the two parts of Output; Pan -1 sends all of it to
 * part 0, +1 all to part 1. */
#include "vx_unit.h"

namespace {
struct PanUnit {
    VexaUnit unit;
    InputPort input;
    InputPort pan;
    OutputPort output[2];
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(PanUnit, input)},
    {.portID = PORTID_PAN, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(PanUnit, pan)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 2, .offset = VX_OFFSET(PanUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    PanUnit *self = vx_self<PanUnit>(unit);
    const float *in = vx_in(self->input);
    const float *pan = vx_in(self->pan);
    float *out0 = self->output[0].values;
    float *out1 = self->output[1].values;
    for (int i = 0; i < 8; i++) {
        const double f = static_cast<double>(pan[i]) * 0.5 + 0.5;
        const double x = in[i];
        out0[i] = static_cast<float>(x * (1.0 - f));
        out1[i] = static_cast<float>(x * f);
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01b2e131,
                  .name = "Pan",
                  .instanceSize = sizeof(PanUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadPan() { return &kInfo; }
