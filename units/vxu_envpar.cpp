/* EnvelopeParabolic: each positive trigger on Input starts one parabolic hump whose height
 * (Amplitude) and length (half a period of Frequency) are taken at the trigger frame. */
#include "vx_group.h"
#include "vx_unit.h"

namespace {
struct EnvelopeParabolicUnit {
    VexaUnit unit;
    InputPort input;
    InputPort frequency;
    InputPort amplitude;
    OutputPort busyInput;
    OutputPort startPulse;
    OutputPort output;
    float level;
    float slope;     /* level change per frame */
    float curve;     /* change of slope per frame */
    uint32_t active; /* nonzero while a hump runs */
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1,
     .offset = VX_OFFSET(EnvelopeParabolicUnit, input)},
    {.portID = PORTID_FREQUENCY, .defaultValue = 440.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_FREQUENCY, .numParts = 1,
     .offset = VX_OFFSET(EnvelopeParabolicUnit, frequency)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(EnvelopeParabolicUnit, amplitude)},
    {.portID = PORTID_BUSY_INPUT, .defaultValue = 0.0f, .defaultMask = 0,
     .portKind = PORT_OUTPUT, .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1,
     .offset = VX_OFFSET(EnvelopeParabolicUnit, busyInput)},
    {.portID = PORTID_START_PULSE, .defaultValue = 0.0f, .defaultMask = 0,
     .portKind = PORT_OUTPUT, .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1,
     .offset = VX_OFFSET(EnvelopeParabolicUnit, startPulse)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(EnvelopeParabolicUnit, output)},
};

/* The hump is computed by forward differences: after a trigger with r = F x FreqScale, frame
 * n has level 4·A·(r·n)·(1 − r·n). While it runs, triggers are ignored and the input is
 * passed to BusyInput instead. */
void UnitFunction(VexaContext *context, VexaUnit *unit) {
    EnvelopeParabolicUnit *self = vx_self<EnvelopeParabolicUnit>(unit);
    const float *input = vx_in(self->input);
    const float *frequency = vx_in(self->frequency);
    const float *amplitude = vx_in(self->amplitude);
    float *busy = self->busyInput.values;
    float *pulse = self->startPulse.values;
    float *out = self->output.values;
    const double freqScale = context->vxb_FreqScale;
    double level = self->level;
    double slope = self->slope;
    double curve = self->curve;
    uint32_t active = self->active;
    for (int i = 0; i < 8; i++) {
        if (active == 0) {
            if (input[i] > 0.0f) {
                double r = frequency[i] * freqScale;
                if (r < -1.0) {
                    r = -1.0;
                } else if (r > 1.0) {
                    r = 1.0;
                }
                const double a = amplitude[i];
                level = 0.0;
                slope = 4.0 * a * (r - r * r);
                curve = -8.0 * a * (r * r);
                active = 1;
                out[i] = 0.0f;
                pulse[i] = 1.0f;
            } else {
                out[i] = static_cast<float>(level);
                pulse[i] = 0.0f;
            }
            busy[i] = 0.0f;
        } else {
            const double v = level + slope;
            slope += curve;
            if (!(v <= 0.0)) { /* positive, or NaN */
                level = v;
            } else {
                level = 0.0;
                active = 0;
            }
            out[i] = static_cast<float>(level);
            pulse[i] = 0.0f;
            busy[i] = input[i];
        }
    }
    self->level = static_cast<float>(level);
    self->slope = static_cast<float>(slope);
    self->curve = static_cast<float>(curve);
    self->active = active;
}

/* Groups run the block of each unit in turn, in one call. */
template <int Level> VX_ALWAYS_INLINE void GroupBlock(VexaContext *context, VexaUnit *unit) {
    UnitFunction(context, unit);
}
VX_GROUP_OF_BLOCKS(GroupBlock)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x0583ae2b,
                  .name = "EnvelopeParabolic",
                  .instanceSize = sizeof(EnvelopeParabolicUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadEnvelopeParabolic() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
