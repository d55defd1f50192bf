/* PanControl: the two linear pan gains for Pan as signals: part 0 of Output is 1 - f and
 * part 1 is f, where f = Pan * 0.5 + 0.5. */
#include "vx_unit.h"

namespace {
struct PanControlUnit {
    VexaUnit unit;
    InputPort pan;
    OutputPort output[2];
};

const PortInfo kPorts[] = {
    {.portID = PORTID_PAN, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(PanControlUnit, pan)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 2, .offset = VX_OFFSET(PanControlUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    PanControlUnit *self = vx_self<PanControlUnit>(unit);
    const float *pan = vx_in(self->pan);
    float *out0 = self->output[0].values;
    float *out1 = self->output[1].values;
    for (int i = 0; i < 8; i++) {
        const double f = static_cast<double>(pan[i]) * 0.5 + 0.5;
        out0[i] = static_cast<float>(1.0 - f);
        out1[i] = static_cast<float>(f);
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x05ad5691,
                  .name = "PanControl",
                  .instanceSize = sizeof(PanControlUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadPanControl() { return &kInfo; }
