/* RedNoise: new random values at Frequency per second, joined by straight lines. Phase is the
 * position between the previous and the next value, 0 to 1. */
#include "vx_unit.h"

namespace {
constexpr double kRandomScale = 4.656612873077393e-10; /* 2^-31 */

struct RedNoiseUnit {
    VexaUnit unit;
    InputPort frequency;
    InputPort amplitude;
    VariablePort phase;
    OutputPort output;
    float previous; /* the value the line leaves */
    float next;     /* the value the line heads for */
};

const PortInfo kPorts[] = {
    {.portID = PORTID_FREQUENCY, .defaultValue = 440.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_FREQUENCY, .numParts = 1,
     .offset = VX_OFFSET(RedNoiseUnit, frequency)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(RedNoiseUnit, amplitude)},
    {.portID = PORTID_PHASE, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_VARIABLE,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(RedNoiseUnit, phase)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(RedNoiseUnit, output)},
};

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    RedNoiseUnit *self = vx_self<RedNoiseUnit>(unit);
    const float *frequency = vx_in(self->frequency);
    const float *amplitude = vx_in(self->amplitude);
    float *out = self->output.values;
    const double period = static_cast<float>(context->vxb_FramePeriod);
    double phase = self->phase.value;
    float previous = self->previous;
    float next = self->next;
    for (int i = 0; i < 8; i++) {
        double inc = frequency[i] * period;
        if (inc < 0) inc = -inc;
        if (inc > 1) inc = 1;
        phase += inc;
        if (phase > 1) {
            previous = next;
            const int32_t r = static_cast<int32_t>(VXU_CalcRandom(context));
            next = static_cast<float>(r * kRandomScale);
            phase = static_cast<float>(phase - 1);
        }
        const double level = (static_cast<double>(next) - previous) * phase + previous;
        out[i] = static_cast<float>(level * amplitude[i]);
    }
    self->previous = previous;
    self->next = next;
    vx_store_float(self->phase.value, static_cast<float>(phase));
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x017edb10,
                  .name = "RedNoise",
                  .instanceSize = sizeof(RedNoiseUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction,
                  .sharing = VX_SHARES_RANDOM};
} // namespace

UnitInfo *VXU_LoadRedNoise() { return &kInfo; }
