/*
 * vx_biquad.h - what the seven biquad filter types share: the instance layout, the design
 * helpers and the filter routine.
 *
 * Every biquad unit has the same record; each type's port table names only the inputs it
 * has (the low-pass has no Gain, the shelves no Q, ...), and its coefficient routine reads
 * only those. Feedback coefficients b1, b2 are subtracted.
 */
#ifndef VX_BIQUAD_H
#define VX_BIQUAD_H

#include "vx_unit.h"

struct BiquadUnit {
    VexaUnit unit;
    InputPort input;
    InputPort frequency;
    InputPort q;
    InputPort gain;
    InputPort slope;
    InputPort amplitude;
    OutputPort output;
    /* Histories: last and second-last input and output. */
    float x1, x2, y1, y2;
    /* Coefficients. */
    float a0, a1, a2, b1, b2;
    /* The design inputs the coefficients were made from. */
    float designFrequency, designQ, designGain, designSlope;
};

/* Design inputs below this are raised to it. */
constexpr float VX_BIQUAD_MIN_INPUT = 1.0e-5f;

/* Value 0 of a design input, raised to at least VX_BIQUAD_MIN_INPUT. */
inline float VexaBiquadDesignInput(const InputPort &port) {
    const float value = vx_in(port)[0];
    return value < VX_BIQUAD_MIN_INPUT ? VX_BIQUAD_MIN_INPUT : value;
}

/* frequency / frame rate, from the frame period rounded to a float. */
inline double VexaBiquadRatio(const VexaContext *context, float frequency) {
    return static_cast<double>(frequency) * static_cast<float>(context->vxb_FramePeriod);
}

/* cos w and sin w for a frequency ratio, kept below the Nyquist frequency. */
void VexaBiquadCosSin(double frequencyRatio, float *cs, float *sn);

/* Writes cos w, sin w and alpha = sin w / (2 q) as floats. */
void VexaBiquadCalcCommon(float *out, double frequencyRatio, float q);

/* Stores a0 ... b2, each divided by the normaliser n, as floats. */
void VexaBiquadStore(BiquadUnit *self, double n, double a0, double a1, double a2, double b1,
                     double b2);

/* Filters one block with the stored coefficients. */
void VexaBiquadFilter(VexaContext *context, VexaUnit *unit);

/* Each type's coefficient routine: redesigns when a design input changed. */
void VexaRecalculateLowPass(VexaContext *context, VexaUnit *unit);
void VexaRecalculateHighPass(VexaContext *context, VexaUnit *unit);
void VexaRecalculateBandPass(VexaContext *context, VexaUnit *unit);
void VexaRecalculateBandStop(VexaContext *context, VexaUnit *unit);
void VexaRecalculatePeakingEQ(VexaContext *context, VexaUnit *unit);
void VexaRecalculateLowShelf(VexaContext *context, VexaUnit *unit);
void VexaRecalculateHighShelf(VexaContext *context, VexaUnit *unit);

#endif /* VX_BIQUAD_H */
