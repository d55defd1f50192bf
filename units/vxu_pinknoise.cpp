/* PinkNoise: the Voss-McCartney method with a running sum. Sixteen rows of random values are
 * replaced at octave-spaced rates (row k every 2^(k+1) frames), and a fresh white value is
 * added every frame; the spectrum falls by about 3 dB per octave. */
#include "vx_unit.h"

namespace {
constexpr int32_t kMaxRows = 16;

struct PinkNoiseUnit {
    VexaUnit unit;
    InputPort amplitude;
    OutputPort output;
    int32_t rows[kMaxRows];
    int32_t runningSum; /* sum of the rows */
    int32_t index;
    int32_t indexMask;
    float scale; /* 1 / the largest magnitude of the rows plus the white value */
};

const PortInfo kPorts[] = {
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(PinkNoiseUnit, amplitude)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(PinkNoiseUnit, output)},
};

/* A random draw as a row value: the signed draw shifted right by 8, in [-2^23, 2^23). */
int32_t DrawRowValue(VexaContext *context) {
    return static_cast<int32_t>(VXU_CalcRandom(context)) >> 8;
}

void InitializePinkNoise(PinkNoiseUnit *self, int32_t numberOfRows) {
    self->indexMask = (1 << numberOfRows) - 1;
    self->index = 0;
    /* (n + 1) x 2^23 is the largest magnitude n rows and the white value can sum to. */
    self->scale = static_cast<float>(1.0 / ((numberOfRows + 1) * 8388608.0));
    for (int32_t k = 0; k < numberOfRows; k++) self->rows[k] = 0;
    self->runningSum = 0;
}

float GeneratePinkNoise(VexaContext *context, PinkNoiseUnit *self) {
    const int32_t index = (self->index + 1) & self->indexMask;
    self->index = index;
    /* When the index wraps to 0 no row changes. */
    if (index != 0) {
        const int k = __builtin_ctz(static_cast<uint32_t>(index));
        const int32_t value = DrawRowValue(context);
        self->runningSum = self->runningSum - self->rows[k] + value;
        self->rows[k] = value;
    }
    const int32_t white = DrawRowValue(context);
    const float sum = static_cast<float>(self->runningSum + white);
    return static_cast<float>(static_cast<double>(self->scale) * sum);
}

int32_t UnitInitialization(VexaContext *, VexaUnit *unit, int32_t) {
    InitializePinkNoise(vx_self<PinkNoiseUnit>(unit), kMaxRows);
    return 0;
}

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    PinkNoiseUnit *self = vx_self<PinkNoiseUnit>(unit);
    const float *amplitude = vx_in(self->amplitude);
    float *out = self->output.values;
    for (int i = 0; i < 8; i++) {
        const float pink = GeneratePinkNoise(context, self);
        out[i] = static_cast<float>(static_cast<double>(pink) * amplitude[i]);
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01771138,
                  .name = "PinkNoise",
                  .instanceSize = sizeof(PinkNoiseUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = UnitInitialization,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction,
                  .sharing = VX_SHARES_RANDOM};
} // namespace

UnitInfo *VXU_LoadPinkNoise() { return &kInfo; }
