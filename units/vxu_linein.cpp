/* LineIn: copies two adjacent channels of the device input to its two-part output. */
#include "vx_unit.h"

namespace {
struct LineInUnit {
    VexaUnit unit;
    OutputPort output[2];
    int32_t channelIndex;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 2, .offset = VX_OFFSET(LineInUnit, output)},
};

int32_t VXU_InitLineIn(VexaContext *, VexaUnit *unit, int32_t argument) {
    if (static_cast<uint32_t>(argument) > 16) return VXERR_CHANNELS_MISMATCH;
    vx_self<LineInUnit>(unit)->channelIndex = argument;
    return 0;
}

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    const float *cursor = context->vxb_InputCursor;
    if (cursor == nullptr) return;
    LineInUnit *self = vx_self<LineInUnit>(unit);
    const int32_t channels = context->vxf_InputChannels;
    for (int32_t part = 0; part < 2; part++) {
        const int32_t channel = self->channelIndex + part;
        if (channel >= channels) break; /* never read outside a frame */
        float *out = self->output[part].values;
        /* Client threads may read the output while the audio thread writes it. */
        for (int i = 0; i < 8; i++) vx_store_float(out[i], cursor[i * channels + channel]);
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01e35914,
                  .name = "LineIn",
                  .initArgument = "device channel of part 0 (0..16)",
                  .instanceSize = sizeof(LineInUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = VXU_InitLineIn,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction,
                  .sharing = VX_SHARES_DEVICE};
} // namespace

UnitInfo *VXU_LoadLineIn() { return &kInfo; }
