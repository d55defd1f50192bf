/* SampleWrite16F1: records its input into a queued mono sample region. */
#include "vx_unit.h"

namespace {
struct SampleWrite16F1Unit {
    VexaUnit unit;
    InputPort input;
    QueuePort data;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(SampleWrite16F1Unit, input)},
    {.portID = PORTID_DATA, .defaultValue = 1.0f, .defaultMask = 0, .portKind = PORT_QUEUE,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(SampleWrite16F1Unit, data),
     .queueData = VXT_SAMPLE},
};

/* The writer stores before it steps: a region's first frame receives the input of the frame
 * after the one on which the region started. */
void UnitFunction(VexaContext *context, VexaUnit *unit) {
    SampleWrite16F1Unit *self = vx_self<SampleWrite16F1Unit>(unit);
    const float *in = vx_in(self->input);
    for (int i = 0; i < 8; i++) {
        uint8_t *frame = self->data.currentFrame;
        if (frame != nullptr) {
            vx_store(*reinterpret_cast<int16_t *>(frame),
                     static_cast<int16_t>(VexaS_ConvertFP_16_ClipS(in[i])));
        }
        if (VXLL_NextChannelFrame(context, &self->data, 2) < 0) VXLL_AutoStopUnit(unit);
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x03a5f221,
                  .name = "SampleWrite16F1",
                  .instanceSize = sizeof(SampleWrite16F1Unit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction,
                  .sharing = VX_WRITES_SAMPLES};
} // namespace

UnitInfo *VXU_LoadSampleWrite16F1() { return &kInfo; }
