/* FilterLowShelf: a second-order low shelf: gain Gain (linear) below the corner frequency,
 * unity above it, with the shelf's steepness set by Slope. */
#include <cmath>

#include "vx_biquad.h"

void VexaRecalculateLowShelf(VexaContext *context, VexaUnit *unit) {
    BiquadUnit *self = vx_self<BiquadUnit>(unit);
    const float frequency = VexaBiquadDesignInput(self->frequency);
    const float gain = VexaBiquadDesignInput(self->gain);
    const float slope = VexaBiquadDesignInput(self->slope);
    if (frequency == self->designFrequency && gain == self->designGain &&
        slope == self->designSlope)
        return;
    self->designFrequency = frequency;
    self->designGain = gain;
    self->designSlope = slope;
    float csf, snf;
    VexaBiquadCosSin(VexaBiquadRatio(context, frequency), &csf, &snf);
    const double cs = csf;
    const double a = static_cast<float>(std::sqrt(static_cast<double>(gain)));
    /* A slope too steep for the gain gives a negative discriminant: beta is then 0. */
    const double beta2 = (static_cast<double>(gain) + 1.0) / slope - (a - 1.0) * (a - 1.0);
    const double beta = beta2 >= 0.0 ? static_cast<float>(std::sqrt(beta2)) : 0.0f;
    const double k = snf * beta;
    VexaBiquadStore(self, (a + 1.0) + (a - 1.0) * cs + k, a * ((a + 1.0) - (a - 1.0) * cs + k),
                    2.0 * a * ((a - 1.0) - (a + 1.0) * cs), a * ((a + 1.0) - (a - 1.0) * cs - k),
                    -2.0 * ((a - 1.0) + (a + 1.0) * cs), (a + 1.0) + (a - 1.0) * cs - k);
}

namespace {
const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(BiquadUnit, input)},
    {.portID = PORTID_FREQUENCY, .defaultValue = 400.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BiquadUnit, frequency)},
    {.portID = PORTID_GAIN, .defaultValue = 1.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BiquadUnit, gain)},
    {.portID = PORTID_SLOPE, .defaultValue = 1.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BiquadUnit, slope)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = 1.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BiquadUnit, amplitude)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(BiquadUnit, output)},
};

/* Designs the coefficients from the defaults, so that they exist before the first block. */
int32_t VXU_InitUnit(VexaContext *context, VexaUnit *unit, int32_t) {
    VexaRecalculateLowShelf(context, unit);
    return 0;
}

/* The design follows its inputs once per block, sampled at the block's first frame. */
void UnitFunction(VexaContext *context, VexaUnit *unit) {
    VexaRecalculateLowShelf(context, unit);
    VexaBiquadFilter(context, unit);
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x058fe72e,
                  .instanceSize = sizeof(BiquadUnit),
                  .numPorts = 6,
                  .ports = kPorts,
                  .initFunc = VXU_InitUnit,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadFilterLowShelf() { return &kInfo; }
