/* Integrate: a running sum of Input held between LowerLimit and UpperLimit. The limits are
 * read once per block (from their first frame); the upper limit is tested first, so with
 * crossed limits a sum above UpperLimit gives UpperLimit and any other sum LowerLimit. */
#include "vx_unit.h"

namespace {
struct IntegrateUnit {
    VexaUnit unit;
    InputPort input;
    InputPort lowerLimit;
    InputPort upperLimit;
    OutputPort output;
    float accumulator;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(IntegrateUnit, input)},
    {.portID = PORTID_LOWER_LIMIT, .defaultValue = -1.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(IntegrateUnit, lowerLimit)},
    {.portID = PORTID_UPPER_LIMIT, .defaultValue = 1.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(IntegrateUnit, upperLimit)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(IntegrateUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    IntegrateUnit *self = vx_self<IntegrateUnit>(unit);
    const float *in = vx_in(self->input);
    const double lower = vx_in(self->lowerLimit)[0];
    const double upper = vx_in(self->upperLimit)[0];
    float *out = self->output.values;
    /* The sum is carried in double through the block and rounded when stored. */
    double sum = self->accumulator;
    for (int i = 0; i < 8; i++) {
        sum += in[i];
        if (sum > upper) {
            sum = upper;
        } else if (sum < lower) {
            sum = lower;
        }
        out[i] = static_cast<float>(sum);
    }
    self->accumulator = static_cast<float>(sum);
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x058d830d,
                  .name = "Integrate",
                  .instanceSize = sizeof(IntegrateUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadIntegrate() { return &kInfo; }
