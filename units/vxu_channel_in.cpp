/* ChannelIn: copies one channel of the device input to its output. */
#include "vx_unit.h"

namespace {
struct ChannelInUnit {
    VexaUnit unit;
    OutputPort output;
    int32_t channelIndex;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(ChannelInUnit, output)},
};

int32_t VXU_InitUnit(VexaContext *, VexaUnit *unit, int32_t argument) {
    if (static_cast<uint32_t>(argument) > 16) return VXERR_CHANNELS_MISMATCH;
    vx_self<ChannelInUnit>(unit)->channelIndex = argument;
    return 0;
}

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    const float *cursor = context->vxb_InputCursor;
    if (cursor == nullptr) return;
    ChannelInUnit *self = vx_self<ChannelInUnit>(unit);
    const int32_t channels = context->vxf_InputChannels;
    const int32_t channel = self->channelIndex;
    if (channel >= channels) return; /* never read outside a frame */
    float *out = self->output.values;
    /* Client threads may read the output while the audio thread writes it. */
    for (int i = 0; i < 8; i++) vx_store_float(out[i], cursor[i * channels + channel]);
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01ea9411,
                  .name = "ChannelIn",
                  .initArgument = "device channel of part 0 (0..16)",
                  .instanceSize = sizeof(ChannelInUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = VXU_InitUnit,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction,
                  .sharing = VX_SHARES_DEVICE};
} // namespace

UnitInfo *VXU_LoadChannelIn() { return &kInfo; }
