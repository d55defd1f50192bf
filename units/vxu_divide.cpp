/* Divide: outputs InputA divided by InputB; an exact zero divisor (either sign)
 * is replaced by 1.0e-7, so the result stays finite for a finite numerator. */
#include "vx_unit.h"

namespace {
struct DivideUnit {
    VexaUnit unit;
    InputPort inputA;
    InputPort inputB;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT_A, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(DivideUnit, inputA)},
    {.portID = PORTID_INPUT_B, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(DivideUnit, inputB)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(DivideUnit, output)},
};

/* Stands in for a divisor of exactly zero: the float nearest 1.0e-7 (0x33d6bf95). */
constexpr float kZeroDivisor = 1.0e-7f;

void UnitFunction(VexaContext *, VexaUnit *unit) {
    DivideUnit *self = vx_self<DivideUnit>(unit);
    const float *a = vx_in(self->inputA);
    const float *b = vx_in(self->inputB);
    float *out = self->output.values;
    for (int i = 0; i < 8; i++) {
        const double divisor = (b[i] == 0.0f) ? kZeroDivisor : static_cast<double>(b[i]);
        out[i] = static_cast<float>(static_cast<double>(a[i]) / divisor);
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01ceadd1,
                  .name = "Divide",
                  .instanceSize = sizeof(DivideUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadDivide() { return &kInfo; }
