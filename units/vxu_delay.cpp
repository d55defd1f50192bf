/* Delay: outputs its input of exactly N frames earlier, N being the length of its delay line
 * (the init argument given at creation); zeros until N frames have been written. */
#include "vx_delayline.h"
#include "vx_unit.h"

namespace {
struct DelayUnit {
    VexaUnit unit;
    InputPort input;
    OutputPort output;
    VexaDelayLine line;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(DelayUnit, input)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(DelayUnit, output)},
};

int32_t VXU_InitDelay(VexaContext *context, VexaUnit *unit, int32_t initArgument) {
    return VXU_InitDelayLine(context, &vx_self<DelayUnit>(unit)->line, initArgument);
}

int32_t VXU_TermDelay(VexaContext *context, VexaUnit *unit) {
    return VXU_TermDelayLine(context, &vx_self<DelayUnit>(unit)->line);
}

void UnitFunction(VexaContext *, VexaUnit *unit) {
    DelayUnit *self = vx_self<DelayUnit>(unit);
    const float *in = vx_in(self->input);
    float *out = self->output.values;
    float *buffer = self->line.buffer;
    const int32_t length = self->line.length;
    int32_t writeIndex = self->line.writeIndex;
    for (int i = 0; i < 8; i++) {
        out[i] = buffer[writeIndex];
        buffer[writeIndex] = in[i];
        if (++writeIndex >= length) writeIndex = 0;
    }
    self->line.writeIndex = writeIndex;
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x0141b8de,
                  .name = "Delay",
                  .initArgument = "delay line length in frames (>= 1)",
                  .instanceSize = sizeof(DelayUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = VXU_InitDelay,
                  .termFunc = VXU_TermDelay,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadDelay() { return &kInfo; }
