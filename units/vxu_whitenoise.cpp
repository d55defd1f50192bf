/* WhiteNoise: a new uniform random value every frame, scaled by Amplitude. */
#include "vx_unit.h"

namespace {
/* A random draw taken as a signed integer, times 2^-31: a value in [-1, +1). */
constexpr double kRandomScale = 4.656612873077393e-10;

struct WhiteNoiseUnit {
    VexaUnit unit;
    InputPort amplitude;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(WhiteNoiseUnit, amplitude)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(WhiteNoiseUnit, output)},
};

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    WhiteNoiseUnit *self = vx_self<WhiteNoiseUnit>(unit);
    const float *amplitude = vx_in(self->amplitude);
    float *out = self->output.values;
    for (int i = 0; i < 8; i++) {
        const int32_t r = static_cast<int32_t>(VXU_CalcRandom(context));
        const float uniform = static_cast<float>(r * kRandomScale);
        out[i] = static_cast<float>(static_cast<double>(uniform) * amplitude[i]);
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x0194a966,
                  .name = "WhiteNoise",
                  .instanceSize = sizeof(WhiteNoiseUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction,
                  .sharing = VX_SHARES_RANDOM};
} // namespace

UnitInfo *VXU_LoadWhiteNoise() { return &kInfo; }
