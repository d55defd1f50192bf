/* SampleWrite16F2: records its two-part input into a queued stereo sample region. */
#include "vx_unit.h"

namespace {
struct SampleWrite16F2Unit {
    VexaUnit unit;
    InputPort input[2];
    QueuePort data;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 2, .offset = VX_OFFSET(SampleWrite16F2Unit, input)},
    {.portID = PORTID_DATA, .defaultValue = 2.0f, .defaultMask = 0, .portKind = PORT_QUEUE,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(SampleWrite16F2Unit, data),
     .queueData = VXT_SAMPLE},
};

/* As SampleWrite16F1; part 0 of Input goes into the left value, part 1 into the right. */
void UnitFunction(VexaContext *context, VexaUnit *unit) {
    SampleWrite16F2Unit *self = vx_self<SampleWrite16F2Unit>(unit);
    const float *left = vx_in(self->input[0]);
    const float *right = vx_in(self->input[1]);
    for (int i = 0; i < 8; i++) {
        int16_t *frame = reinterpret_cast<int16_t *>(self->data.currentFrame);
        if (frame != nullptr) {
            vx_store(frame[0], static_cast<int16_t>(VexaS_ConvertFP_16_ClipS(left[i])));
            vx_store(frame[1], static_cast<int16_t>(VexaS_ConvertFP_16_ClipS(right[i])));
        }
        if (VXLL_NextChannelFrame(context, &self->data, 4) < 0) VXLL_AutoStopUnit(unit);
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x03a5f241,
                  .name = "SampleWrite16F2",
                  .instanceSize = sizeof(SampleWrite16F2Unit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction,
                  .sharing = VX_WRITES_SAMPLES};
} // namespace

UnitInfo *VXU_LoadSampleWrite16F2() { return &kInfo; }
