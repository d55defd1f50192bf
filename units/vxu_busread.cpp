/* BusRead: outputs the sum its bus writers added this block, scaled, and clears the sums. */
#include "vx_unit.h"

namespace {
struct BusReadUnit {
    VexaUnit unit;
    BusInputPort busInput;
    InputPort amplitude;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_BUS_INPUT, .defaultValue = 0.0f, .defaultMask = 0,
     .portKind = PORT_BUS_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BusReadUnit, busInput)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(BusReadUnit, amplitude)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(BusReadUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    BusReadUnit *self = vx_self<BusReadUnit>(unit);
    const float *amplitude = vx_in(self->amplitude);
    float *sums = self->busInput.sums;
    float *out = self->output.values;
    for (int i = 0; i < 8; i++) {
        vx_store_float(out[i], static_cast<float>(static_cast<double>(sums[i]) * amplitude[i]));
        sums[i] = 0.0f;
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01bc7f72,
                  .name = "BusRead",
                  .instanceSize = sizeof(BusReadUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadBusRead() { return &kInfo; }
