/* LineOut: adds its two-part input into two adjacent channels of the device output. */
#include "vx_unit.h"

namespace {
struct LineOutUnit {
    VexaUnit unit;
    InputPort input[2];
    int32_t channelIndex;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 2, .offset = VX_OFFSET(LineOutUnit, input)},
};

int32_t VXU_InitUnit(VexaContext *, VexaUnit *unit, int32_t argument) {
    if (static_cast<uint32_t>(argument) > 16) return VXERR_CHANNELS_MISMATCH;
    vx_self<LineOutUnit>(unit)->channelIndex = argument;
    return 0;
}

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    float *cursor = context->vxb_OutputCursor;
    if (cursor == nullptr) return;
    LineOutUnit *self = vx_self<LineOutUnit>(unit);
    const int32_t channels = context->vxf_OutputChannels;
    for (int32_t part = 0; part < 2; part++) {
        const int32_t channel = self->channelIndex + part;
        if (channel >= channels) break; /* never write outside a frame */
        const float *in = vx_in(self->input[part]);
        for (int i = 0; i < 8; i++) cursor[i * channels + channel] += in[i];
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x020259fc,
                  .name = "LineOut",
                  .initArgument = "device channel of part 0 (0..16)",
                  .instanceSize = sizeof(LineOutUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = VXU_InitUnit,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction,
                  .sharing = VX_SHARES_DEVICE};
} // namespace

UnitInfo *VXU_LoadLineOut() { return &kInfo; }
