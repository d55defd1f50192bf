/* ChannelOut: adds its input into one channel of the device output. */
#include "vx_unit.h"

namespace {
struct ChannelOutUnit {
    VexaUnit unit;
    InputPort input;
    int32_t channelIndex;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(ChannelOutUnit, input)},
};

int32_t VXU_InitUnit(VexaContext *, VexaUnit *unit, int32_t argument) {
    if (static_cast<uint32_t>(argument) > 16) return VXERR_CHANNELS_MISMATCH;
    vx_self<ChannelOutUnit>(unit)->channelIndex = argument;
    return 0;
}

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    float *cursor = context->vxb_OutputCursor;
    if (cursor == nullptr) return;
    ChannelOutUnit *self = vx_self<ChannelOutUnit>(unit);
    const int32_t channels = context->vxf_OutputChannels;
    const int32_t channel = self->channelIndex;
    if (channel >= channels) return; /* never write outside a frame */
    const float *in = vx_in(self->input);
    for (int i = 0; i < 8; i++) cursor[i * channels + channel] += in[i];
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01ec67f1,
                  .name = "ChannelOut",
                  .initArgument = "device channel of part 0 (0..16)",
                  .instanceSize = sizeof(ChannelOutUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = VXU_InitUnit,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction,
                  .sharing = VX_SHARES_DEVICE};
} // namespace

UnitInfo *VXU_LoadChannelOut() { return &kInfo; }
