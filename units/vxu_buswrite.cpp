/* BusWrite: adds its input into the bus input its bus output is connected to. */
#include "vx_unit.h"

namespace {
struct BusWriteUnit {
    VexaUnit unit;
    InputPort input;
    BusOutputPort busOutput;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(BusWriteUnit, input)},
    {.portID = PORTID_BUS_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0,
     .portKind = PORT_BUS_OUTPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BusWriteUnit, busOutput)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    BusWriteUnit *self = vx_self<BusWriteUnit>(unit);
    const float *in = vx_in(self->input);
    float *target = vx_load(self->busOutput.sumTarget);
    for (int i = 0; i < 8; i++) target[i] += in[i];
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01e355e2,
                  .name = "BusWrite",
                  .instanceSize = sizeof(BusWriteUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadBusWrite() { return &kInfo; }
