/* EnvelopeLinear: glides linearly through the frames of a queued envelope region, each glide
 * taking its frame's duration, and scales the curve by Amplitude. */
#include <cstring>

#include "vx_group.h"
#include "vx_unit.h"

namespace {
struct EnvelopeLinearUnit {
    VexaUnit unit;
    QueuePort data;
    InputPort rate;
    InputPort amplitude;
    OutputPort output;
    float phase;       /* position in the current segment, normally 0 to 1 */
    float increment;   /* phase added per frame at Rate 1 */
    float level;       /* the last level computed, before Amplitude */
    float startLevel;  /* the ends of the current segment */
    float targetLevel;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_DATA, .defaultValue = 1.0f, .defaultMask = 0, .portKind = PORT_QUEUE,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(EnvelopeLinearUnit, data),
     .queueData = VXT_ENVELOPE},
    {.portID = PORTID_RATE, .defaultValue = 1.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_UNSIGNED, .numParts = 1,
     .offset = VX_OFFSET(EnvelopeLinearUnit, rate)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(EnvelopeLinearUnit, amplitude)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(EnvelopeLinearUnit, output)},
};

/* Reads one of the two doubles of an envelope frame as a whole word; the client may be
 * rewriting the frame at the same moment. */
inline double ReadFrameWord(const uint8_t *frame, size_t offset) {
    uint64_t word = vx_load(*reinterpret_cast<const uint64_t *>(frame + offset));
    double value;
    std::memcpy(&value, &word, sizeof(value));
    return value;
}

/* Steps onto the next envelope frame and takes its value and duration as the new segment's
 * target and speed; with nothing to play the level holds. */
inline void StepSegment(VexaContext *context, VexaUnit *unit, QueuePort *data,
                        double &targetLevel, double &increment) {
    if (VXLL_NextChannelFrame(context, data, sizeof(EnvelopeFrame)) < 0) {
        VXLL_AutoStopUnit(unit);
    }
    const uint8_t *frame = data->currentFrame;
    if (frame == nullptr) {
        increment = 0.0;
        return;
    }
    const float value = static_cast<float>(ReadFrameWord(frame, offsetof(EnvelopeFrame, value)));
    const float duration =
        static_cast<float>(ReadFrameWord(frame, offsetof(EnvelopeFrame, duration)));
    float native;
    if (VexaS_ConvertSignalToNative(context, vx_load(data->signalType), RATE_AUDIO, value,
                                    &native) == 0) {
        targetLevel = native;
    }
    if (VexaS_ConvertSignalToNative(context, VEXA_SIGNAL_TIME, unit->rate, duration, &native) == 0) {
        increment = native;
    }
}

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    EnvelopeLinearUnit *self = vx_self<EnvelopeLinearUnit>(unit);
    const float *rate = vx_in(self->rate);
    const float *amplitude = vx_in(self->amplitude);
    float *out = self->output.values;
    double phase = self->phase;
    double increment = self->increment;
    double level = self->level;
    double startLevel = self->startLevel;
    double targetLevel = self->targetLevel;
    for (int i = 0; i < 8; i++) {
        if (phase >= 1.0) {
            /* Segment complete: the overshoot carries into the next one. */
            phase -= 1.0;
            startLevel = targetLevel;
            StepSegment(context, unit, &self->data, targetLevel, increment);
        } else if (i == 0 && self->data.currentFrame == nullptr) {
            /* Idle: look for newly queued data once per block, starting from the held level. */
            startLevel = targetLevel = level;
            phase = 0.0;
            increment = 0.0;
            StepSegment(context, unit, &self->data, targetLevel, increment);
        }
        level = startLevel + (targetLevel - startLevel) * phase;
        out[i] = static_cast<float>(level * amplitude[i]);
        phase += increment * rate[i];
    }
    self->phase = static_cast<float>(phase);
    self->increment = static_cast<float>(increment);
    self->level = static_cast<float>(level);
    self->startLevel = static_cast<float>(startLevel);
    self->targetLevel = static_cast<float>(targetLevel);
}

/* Groups run the block of each unit in turn, in one call. */
template <int Level> VX_ALWAYS_INLINE void GroupBlock(VexaContext *context, VexaUnit *unit) {
    UnitFunction(context, unit);
}
VX_GROUP_OF_BLOCKS(GroupBlock)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x057bbdb7,
                  .name = "EnvelopeLinear",
                  .instanceSize = sizeof(EnvelopeLinearUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadEnvelopeLinear() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
