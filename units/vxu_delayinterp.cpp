/* DelayInterp: a delay of Delay seconds, modulable at audio rate, read with linear
 * interpolation between the two neighbouring inputs. The delay is limited to between 1 frame
 * and just under N frames, N being the length of the delay line (the init argument). */
#include "vx_delayline.h"
#include "vx_unit.h"

namespace {
struct DelayInterpUnit {
    VexaUnit unit;
    InputPort input;
    InputPort delay;
    OutputPort output;
    VexaDelayLine line;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(DelayInterpUnit, input)},
    {.portID = PORTID_DELAY, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(DelayInterpUnit, delay)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(DelayInterpUnit, output)},
};

int32_t VXU_InitDelayInterp(VexaContext *context, VexaUnit *unit, int32_t initArgument) {
    return VXU_InitDelayLine(context, &vx_self<DelayInterpUnit>(unit)->line, initArgument);
}

int32_t VXU_TermDelayInterp(VexaContext *context, VexaUnit *unit) {
    return VXU_TermDelayLine(context, &vx_self<DelayInterpUnit>(unit)->line);
}

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    DelayInterpUnit *self = vx_self<DelayInterpUnit>(unit);
    const float *in = vx_in(self->input);
    const float *delay = vx_in(self->delay);
    float *out = self->output.values;
    float *buffer = self->line.buffer;
    const int32_t length = self->line.length;
    const double longest = length - 1;
    const double frameRate = static_cast<float>(context->vxb_FrameRate);
    int32_t writeIndex = self->line.writeIndex;
    for (int i = 0; i < 8; i++) {
        /* The delay in frames. A delay that is not a number reads like the shortest one. */
        double d = delay[i] * frameRate;
        if (d >= length)
            d = longest;
        else if (!(d >= 1))
            d = 1;
        /* Read between the inputs n + 1 and n frames ago. Only a one-frame line can ask for
         * an input older than the line holds (d = 1); it then reads the input exactly one
         * frame ago, with weight 1 on the older neighbour. */
        int32_t n = static_cast<int32_t>(d);
        if (n > length - 1) n = length - 1;
        int32_t j = writeIndex - (n + 1);
        if (j < 0) j += length;
        const double older = buffer[j];
        const double newer = buffer[j + 1]; /* buffer[length] is the guard copy of slot 0 */
        out[i] = static_cast<float>(older + (newer - older) * ((n + 1) - d));

        buffer[writeIndex] = in[i];
        if (writeIndex == 0) buffer[length] = in[i];
        if (++writeIndex >= length) writeIndex = 0;
    }
    self->line.writeIndex = writeIndex;
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x053e880c,
                  .name = "DelayInterp",
                  .initArgument = "delay line length in frames (>= 1)",
                  .instanceSize = sizeof(DelayInterpUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = VXU_InitDelayInterp,
                  .termFunc = VXU_TermDelayInterp,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadDelayInterp() { return &kInfo; }
