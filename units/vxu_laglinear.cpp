/* LagLinear: a straight-line glide from wherever the output is to a new target. The target is
 * the Input variable; Time is the per-frame advance of the glide fraction (a ramp time set in
 * seconds becomes 1 / frames). */
#include "vx_group.h"
#include "vx_unit.h"

namespace {
struct LagLinearUnit {
    VexaUnit unit;
    VariablePort input;
    VariablePort time;
    OutputPort output;
    float fraction; /* 0 ... 1 along the glide */
    float current;  /* last output value */
    float target;
    float startValue;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_VARIABLE,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(LagLinearUnit, input)},
    {.portID = PORTID_TIME, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_VARIABLE,
     .signalType = VEXA_SIGNAL_TIME, .numParts = 1, .offset = VX_OFFSET(LagLinearUnit, time)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(LagLinearUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    LagLinearUnit *self = vx_self<LagLinearUnit>(unit);
    float *out = self->output.values;
    const float input = self->input.value;
    /* A new target starts a new glide from the current output, even in mid-glide. */
    if (input != self->target) {
        self->startValue = self->current;
        self->target = input;
        self->fraction = 0.0f;
    }
    const double start = self->startValue;
    const double span = static_cast<double>(self->target) - start;
    const double step = self->time.value;
    double fraction = self->fraction;
    for (int i = 0; i < 8; i++) {
        /* The output comes before the advance: the first frame of a glide is the start. */
        out[i] = static_cast<float>(start + fraction * span);
        fraction += step;
        if (fraction > 1) fraction = 1;
    }
    self->fraction = static_cast<float>(fraction);
    self->current = out[7];
}

/* Groups run the block of each unit in turn, in one call. */
template <int Level> VX_ALWAYS_INLINE void GroupBlock(VexaContext *context, VexaUnit *unit) {
    UnitFunction(context, unit);
}
VX_GROUP_OF_BLOCKS(GroupBlock)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01f25aee,
                  .name = "LagLinear",
                  .instanceSize = sizeof(LagLinearUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadLagLinear() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
