/* Schmidt: a trigger with hysteresis. It sets when Input rises above SetLevel and resets when
 * Input falls to ResetLevel or below; Output is 1.0 while set and 0.0 while reset, and
 * SetTrigger carries a single 1.0 on each frame at which it sets. The state lives in Output:
 * a block starts set when the previous block ended with Output above 0. Output is cleared at
 * every start, so a started trigger begins reset. */
#include "vx_unit.h"

namespace {
struct SchmidtUnit {
    VexaUnit unit;
    InputPort input;
    InputPort setLevel;
    InputPort resetLevel;
    OutputPort setTrigger;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(SchmidtUnit, input)},
    {.portID = PORTID_SET_LEVEL, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(SchmidtUnit, setLevel)},
    {.portID = PORTID_RESET_LEVEL, .defaultValue = 0.0f, .defaultMask = 0,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(SchmidtUnit, resetLevel)},
    {.portID = PORTID_SET_TRIGGER, .defaultValue = 0.0f, .defaultMask = 0,
     .portKind = PORT_OUTPUT, .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1,
     .offset = VX_OFFSET(SchmidtUnit, setTrigger)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = DEFAULT_AT_START,
     .portKind = PORT_OUTPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(SchmidtUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    SchmidtUnit *self = vx_self<SchmidtUnit>(unit);
    const float *in = vx_in(self->input);
    const float *setLevel = vx_in(self->setLevel);
    const float *resetLevel = vx_in(self->resetLevel);
    float *trigger = self->setTrigger.values;
    float *out = self->output.values;
    bool isSet = out[7] > 0.0f;
    for (int i = 0; i < 8; i++) {
        float fired = 0.0f;
        if (isSet) {
            if (in[i] <= resetLevel[i]) isSet = false;
        } else if (in[i] > setLevel[i]) {
            isSet = true;
            fired = 1.0f;
        }
        trigger[i] = fired;
        out[i] = isSet ? 1.0f : 0.0f;
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x05a5ef32,
                  .name = "Schmidt",
                  .instanceSize = sizeof(SchmidtUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadSchmidt() { return &kInfo; }
