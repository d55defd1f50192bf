/* vx_biquad.cpp - the design helpers and the filter routine of the biquad filters. */
#include "vx_biquad.h"

#include <cmath>

namespace {
constexpr double kTwoPiF = 6.2831854820251465; /* 2 pi rounded to a 32-bit float */
constexpr double kMaxRatio = 0.499f;            /* just below the Nyquist frequency */
constexpr double kDenormalOffset = 1.0e-26;
} // namespace

void VexaBiquadCosSin(double frequencyRatio, float *cs, float *sn) {
    double ratio = frequencyRatio;
    if (ratio >= kMaxRatio) ratio = kMaxRatio;
    const double w = ratio * kTwoPiF;
    *cs = static_cast<float>(std::cos(w));
    *sn = static_cast<float>(std::sin(w));
}

void VexaBiquadCalcCommon(float *out, double frequencyRatio, float q) {
    float cs, sn;
    VexaBiquadCosSin(frequencyRatio, &cs, &sn);
    out[0] = cs;
    out[1] = sn;
    out[2] = static_cast<float>(sn / (2.0 * q));
}

bool VexaBiquadShelfDesign(VexaContext *context, BiquadUnit *self, double *cs, double *a,
                           double *k) {
    const float frequency = VexaBiquadDesignInput(self->frequency);
    const float gain = VexaBiquadDesignInput(self->gain);
    const float slope = VexaBiquadDesignInput(self->slope);
    if (frequency == self->designFrequency && gain == self->designGain &&
        slope == self->designSlope)
        return false;
    self->designFrequency = frequency;
    self->designGain = gain;
    self->designSlope = slope;
    float csf, snf;
    VexaBiquadCosSin(VexaBiquadRatio(context, frequency), &csf, &snf);
    *cs = csf;
    *a = static_cast<float>(std::sqrt(static_cast<double>(gain)));
    /* A slope too steep for the gain gives a negative discriminant: beta is then 0. */
    const double beta2 = (static_cast<double>(gain) + 1.0) / slope - (*a - 1.0) * (*a - 1.0);
    const double beta = beta2 >= 0.0 ? static_cast<float>(std::sqrt(beta2)) : 0.0f;
    *k = snf * beta;
    return true;
}

void VexaBiquadStore(BiquadUnit *self, double n, double a0, double a1, double a2, double b1,
                     double b2) {
    self->a0 = static_cast<float>(a0 / n);
    self->a1 = static_cast<float>(a1 / n);
    self->a2 = static_cast<float>(a2 / n);
    self->b1 = static_cast<float>(b1 / n);
    self->b2 = static_cast<float>(b2 / n);
}

void VexaBiquadFilter(VexaContext *, VexaUnit *unit) {
    BiquadUnit *self = vx_self<BiquadUnit>(unit);
    const float *in = vx_in(self->input);
    const float *amplitude = vx_in(self->amplitude);
    float *out = self->output.values;
    const double a0 = self->a0, a1 = self->a1, a2 = self->a2;
    const double b1 = self->b1, b2 = self->b2;
    double x1 = self->x1, x2 = self->x2, y1 = self->y1, y2 = self->y2;
    for (int i = 0; i < 8; i++) {
        const double x = in[i];
        const double y = a0 * x + a1 * x1 + a2 * x2 - b1 * y1 - b2 * y2;
        out[i] = static_cast<float>(amplitude[i] * y);
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
    }
    /* The offsets keep the recursion away from denormal numbers once the input falls silent. */
    self->x1 = static_cast<float>(x1);
    self->x2 = static_cast<float>(x2);
    self->y1 = static_cast<float>(y1 + kDenormalOffset);
    self->y2 = static_cast<float>(y2 - kDenormalOffset);
}

const PortInfo kVexaBiquadQPorts[5] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(BiquadUnit, input)},
    {.portID = PORTID_FREQUENCY, .defaultValue = 400.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BiquadUnit, frequency)},
    {.portID = PORTID_Q, .defaultValue = 1.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BiquadUnit, q)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = 1.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BiquadUnit, amplitude)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(BiquadUnit, output)},
};

const PortInfo kVexaBiquadShelfPorts[6] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(BiquadUnit, input)},
    {.portID = PORTID_FREQUENCY, .defaultValue = 400.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BiquadUnit, frequency)},
    {.portID = PORTID_GAIN, .defaultValue = 1.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BiquadUnit, gain)},
    {.portID = PORTID_SLOPE, .defaultValue = 1.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BiquadUnit, slope)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = 1.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BiquadUnit, amplitude)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(BiquadUnit, output)},
};
