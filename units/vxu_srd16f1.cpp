/* SampleRead16F1: plays a queued mono sample region at one sample frame per output frame. */
#include "vx_group.h"
#include "vx_unit.h"

namespace {
struct SampleRead16F1Unit {
    VexaUnit unit;
    QueuePort data;
    InputPort amplitude;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_DATA, .defaultValue = 1.0f, .defaultMask = 0, .portKind = PORT_QUEUE,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(SampleRead16F1Unit, data),
     .queueData = VXT_SAMPLE},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(SampleRead16F1Unit, amplitude)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(SampleRead16F1Unit, output)},
};

constexpr double kShortToSignal = 1.0 / 32768.0;

/* The reader steps before it reads, so the step that starts a region sounds its first frame
 * at once. The held value starts at 0 in every block: once the queue has run dry, the rest of
 * the block repeats the last value and later blocks are silent. */
void UnitFunction(VexaContext *context, VexaUnit *unit) {
    SampleRead16F1Unit *self = vx_self<SampleRead16F1Unit>(unit);
    const float *amplitude = vx_in(self->amplitude);
    float *out = self->output.values;
    double held = 0.0;
    for (int i = 0; i < 8; i++) {
        if (VXLL_NextChannelFrame(context, &self->data, 2) < 0) VXLL_AutoStopUnit(unit);
        const uint8_t *frame = self->data.currentFrame;
        if (frame != nullptr) {
            held = vx_load(*reinterpret_cast<const int16_t *>(frame)) * kShortToSignal;
        }
        out[i] = static_cast<float>(held * amplitude[i]);
    }
}

/* Groups run the block of each unit in turn, in one call. */
template <int Level> VX_ALWAYS_INLINE void GroupBlock(VexaContext *context, VexaUnit *unit) {
    UnitFunction(context, unit);
}
VX_GROUP_OF_BLOCKS(GroupBlock)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x042426d3,
                  .name = "SampleRead16F1",
                  .instanceSize = sizeof(SampleRead16F1Unit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadSampleRead16F1() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
