/* SampleRead16V1: plays a queued mono sample region at a variable rate, interpolating
 * linearly between the last two sample values read. */
#include "vx_group.h"
#include "vx_unit.h"

namespace {
struct SampleRead16V1Unit {
    VexaUnit unit;
    QueuePort data;
    InputPort rate;
    InputPort amplitude;
    OutputPort output;
    float phase;    /* 0 <= phase < 1 between previous and current */
    float previous; /* the two sample values, as signals */
    float current;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_DATA, .defaultValue = 1.0f, .defaultMask = 0, .portKind = PORT_QUEUE,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(SampleRead16V1Unit, data),
     .queueData = VXT_SAMPLE},
    {.portID = PORTID_RATE, .defaultValue = 44100.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_SAMPLE_RATE, .numParts = 1,
     .offset = VX_OFFSET(SampleRead16V1Unit, rate)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(SampleRead16V1Unit, amplitude)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(SampleRead16V1Unit, output)},
};

constexpr double kShortToSignal = 1.0 / 32768.0;

/* Steps one sample frame and takes the new frame's value as `current` (kept when the queue
 * has run dry). */
inline void StepFrame(VexaContext *context, VexaUnit *unit, QueuePort *data, double &current) {
    if (VXLL_NextChannelFrame(context, data, 2) < 0) VXLL_AutoStopUnit(unit);
    const uint8_t *frame = data->currentFrame;
    if (frame != nullptr) {
        current = vx_load(*reinterpret_cast<const int16_t *>(frame)) * kShortToSignal;
    }
}

/* Rate is in sample frames per second, limited to two sample frames per output frame. The
 * output runs one sample frame behind the step position and holds the last value when the
 * queue runs dry. */
void UnitFunction(VexaContext *context, VexaUnit *unit) {
    SampleRead16V1Unit *self = vx_self<SampleRead16V1Unit>(unit);
    const float *rate = vx_in(self->rate);
    const float *amplitude = vx_in(self->amplitude);
    float *out = self->output.values;
    const double framePeriod = context->vxb_FramePeriod;
    double previous = self->previous;
    double current = self->current;
    double phase;
    if (self->data.currentFrame == nullptr) {
        previous = current;
        StepFrame(context, unit, &self->data, current);
        phase = 0.0;
    } else {
        phase = self->phase;
    }
    for (int i = 0; i < 8; i++) {
        out[i] = static_cast<float>((previous + (current - previous) * phase) * amplitude[i]);
        float increment = static_cast<float>(rate[i] * framePeriod);
        if (increment < 0.0f) {
            increment = 0.0f;
        } else if (increment > 2.0f) {
            increment = 2.0f;
        }
        phase += increment;
        /* phase < 3 here; whole sample frames to step (none for a NaN phase). */
        int steps = 0;
        if (phase >= 2.0) {
            steps = 2;
        } else if (phase >= 1.0) {
            steps = 1;
        }
        phase -= steps;
        for (int k = 0; k < steps; k++) {
            previous = current;
            StepFrame(context, unit, &self->data, current);
        }
    }
    self->phase = static_cast<float>(phase);
    self->previous = static_cast<float>(previous);
    self->current = static_cast<float>(current);
}

/* Groups run the block of each unit in turn, in one call. */
template <int Level> VX_ALWAYS_INLINE void GroupBlock(VexaContext *context, VexaUnit *unit) {
    UnitFunction(context, unit);
}
VX_GROUP_OF_BLOCKS(GroupBlock)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x04a426d3,
                  .name = "SampleRead16V1",
                  .instanceSize = sizeof(SampleRead16V1Unit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadSampleRead16V1() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
