/* SampleRead16F2: plays a queued stereo sample region at one sample frame per output frame. */
#include "vx_group.h"
#include "vx_unit.h"

namespace {
struct SampleRead16F2Unit {
    VexaUnit unit;
    QueuePort data;
    InputPort amplitude;
    OutputPort output[2];
};

const PortInfo kPorts[] = {
    {.portID = PORTID_DATA, .defaultValue = 2.0f, .defaultMask = 0, .portKind = PORT_QUEUE,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(SampleRead16F2Unit, data),
     .queueData = VXT_SAMPLE},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(SampleRead16F2Unit, amplitude)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 2, .offset = VX_OFFSET(SampleRead16F2Unit, output)},
};

constexpr double kShortToSignal = 1.0 / 32768.0;

/* As SampleRead16F1, with a left and a right value per frame; one Amplitude scales both. */
void UnitFunction(VexaContext *context, VexaUnit *unit) {
    SampleRead16F2Unit *self = vx_self<SampleRead16F2Unit>(unit);
    const float *amplitude = vx_in(self->amplitude);
    float *left = self->output[0].values;
    float *right = self->output[1].values;
    double heldLeft = 0.0;
    double heldRight = 0.0;
    for (int i = 0; i < 8; i++) {
        if (VXLL_NextChannelFrame(context, &self->data, 4) < 0) VXLL_AutoStopUnit(unit);
        const int16_t *frame = reinterpret_cast<const int16_t *>(self->data.currentFrame);
        if (frame != nullptr) {
            heldLeft = vx_load(frame[0]) * kShortToSignal;
            heldRight = vx_load(frame[1]) * kShortToSignal;
        }
        left[i] = static_cast<float>(heldLeft * amplitude[i]);
        right[i] = static_cast<float>(heldRight * amplitude[i]);
    }
}

/* Groups run the block of each unit in turn, in one call. */
template <int Level> VX_ALWAYS_INLINE void GroupBlock(VexaContext *context, VexaUnit *unit) {
    UnitFunction(context, unit);
}
VX_GROUP_OF_BLOCKS(GroupBlock)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x042426d7,
                  .name = "SampleRead16F2",
                  .instanceSize = sizeof(SampleRead16F2Unit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadSampleRead16F2() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
