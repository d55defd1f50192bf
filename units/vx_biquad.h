/*
 * vx_biquad.h - what the seven biquad filter types share: the instance layout, the design
 * helpers, the port tables, the initialisation and unit function, and the filter routine.
 *
 * Every biquad unit has the same record; each type's port table names only the inputs it
 * has (the low-pass has no Gain, the shelves no Q, ...), and its coefficient routine reads
 * only those. Feedback coefficients b1, b2 are subtracted.
 */
#ifndef VX_BIQUAD_H
#define VX_BIQUAD_H

#include "vx_group.h"
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

typedef void (*VexaBiquadDesign)(VexaContext *context, VexaUnit *unit);

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

/* The block of VexaBiquadFilter, for the unit functions' builds. The feed-forward part
 * (a0 x + a1 x1) + a2 x2 of the eight frames is formed side by side; the feedback then runs
 * frame by frame, y = (ff - b1 y1) - b2 y2, the same operations in the same order as the
 * whole sum written out per frame. */
VX_ALWAYS_INLINE void VexaBiquadFilterBlock(VexaUnit *unit) {
    BiquadUnit *self = vx_self<BiquadUnit>(unit);
    const VxBlockD x = vx_widen(vx_load_block(vx_in(self->input)));
    const VxBlockD amplitude = vx_widen(vx_load_block(vx_in(self->amplitude)));
    const VxBlockD history = {self->x1, self->x2, 0, 0, 0, 0, 0, 0};
#if defined(__clang__)
    /* Clang's form of the same two shuffles (the fuzzer's build). */
    const VxBlockD xm1 = __builtin_shufflevector(x, history, 8, 0, 1, 2, 3, 4, 5, 6);
    const VxBlockD xm2 = __builtin_shufflevector(x, history, 9, 8, 0, 1, 2, 3, 4, 5);
#else
    const VxBlockL back1 = {8, 0, 1, 2, 3, 4, 5, 6}, back2 = {9, 8, 0, 1, 2, 3, 4, 5};
    const VxBlockD xm1 = __builtin_shuffle(x, history, back1);
    const VxBlockD xm2 = __builtin_shuffle(x, history, back2);
#endif
    const double a0 = self->a0, a1 = self->a1, a2 = self->a2;
    const double b1 = self->b1, b2 = self->b2;
    const VxBlockD ff = (a0 * x + a1 * xm1) + a2 * xm2;
    const double y0 = (ff[0] - b1 * self->y1) - b2 * self->y2;
    const double y1 = (ff[1] - b1 * y0) - b2 * self->y1;
    const double y2 = (ff[2] - b1 * y1) - b2 * y0;
    const double y3 = (ff[3] - b1 * y2) - b2 * y1;
    const double y4 = (ff[4] - b1 * y3) - b2 * y2;
    const double y5 = (ff[5] - b1 * y4) - b2 * y3;
    const double y6 = (ff[6] - b1 * y5) - b2 * y4;
    const double y7 = (ff[7] - b1 * y6) - b2 * y5;
    const VxBlockD y = {y0, y1, y2, y3, y4, y5, y6, y7};
    vx_store_block(self->output.values, vx_round(amplitude * y));
    /* The offsets keep the recursion away from denormal numbers once the input falls
     * silent. */
    self->x1 = static_cast<float>(x[7]);
    self->x2 = static_cast<float>(x[6]);
    self->y1 = static_cast<float>(y7 + 1.0e-26);
    self->y2 = static_cast<float>(y6 - 1.0e-26);
}

/* The same filter for a group of up to 8 biquads, one per lane: per frame and lane the
 * operations of VexaBiquadFilterBlock, ((a0 x + a1 x1) + a2 x2 - b1 y1) - b2 y2, and the same
 * stores of the histories. */
VX_ALWAYS_INLINE void VexaBiquadGroupBlock(VexaUnit *const *units, int32_t count) {
    const VxLanes<BiquadUnit> lanes(units, count);
    VxBlockF x[8], amplitude[8], out[8];
    vx_lanes_in(lanes, &BiquadUnit::input, x);
    vx_lanes_in(lanes, &BiquadUnit::amplitude, amplitude);
    const VxBlockD a0 = vx_lanes_field(lanes, &BiquadUnit::a0);
    const VxBlockD a1 = vx_lanes_field(lanes, &BiquadUnit::a1);
    const VxBlockD a2 = vx_lanes_field(lanes, &BiquadUnit::a2);
    const VxBlockD b1 = vx_lanes_field(lanes, &BiquadUnit::b1);
    const VxBlockD b2 = vx_lanes_field(lanes, &BiquadUnit::b2);
    VxBlockD xm1 = vx_lanes_field(lanes, &BiquadUnit::x1);
    VxBlockD xm2 = vx_lanes_field(lanes, &BiquadUnit::x2);
    VxBlockD ym1 = vx_lanes_field(lanes, &BiquadUnit::y1);
    VxBlockD ym2 = vx_lanes_field(lanes, &BiquadUnit::y2);
    VX_GROUP_UNROLL
    for (int i = 0; i < 8; i++) {
        const VxBlockD xi = vx_widen(x[i]);
        const VxBlockD ff = (a0 * xi + a1 * xm1) + a2 * xm2;
        const VxBlockD y = (ff - b1 * ym1) - b2 * ym2;
        out[i] = vx_round(vx_widen(amplitude[i]) * y);
        xm2 = xm1;
        xm1 = xi;
        ym2 = ym1;
        ym1 = y;
    }
    vx_lanes_out(lanes, &BiquadUnit::output, out);
    for (int k = 0; k < count; k++) {
        BiquadUnit *self = lanes[k];
        self->x1 = static_cast<float>(xm1[k]);
        self->x2 = static_cast<float>(xm2[k]);
        self->y1 = static_cast<float>(ym1[k] + 1.0e-26);
        self->y2 = static_cast<float>(ym2[k] - 1.0e-26);
    }
}

/* A biquad type's group body: every unit's design first (each reads only its own inputs),
 * then the filters side by side. */
template <VexaBiquadDesign Design>
VX_ALWAYS_INLINE void VexaBiquadGroup(VexaContext *context, VexaUnit *const *units,
                                      int32_t count) {
    for (int32_t k = 0; k < count; k++) Design(context, units[k]);
    VexaBiquadGroupBlock(units, count);
}

/* Defines a biquad type's group function builds (GroupFunction ... PickGroupFunction) from its
 * coefficient routine. */
#define VX_BIQUAD_GROUP_BUILDS(Design)                                                      \
    template <int Level>                                                                   \
    VX_ALWAYS_INLINE void BiquadGroupBody(VexaContext *context, VexaUnit *const *units,    \
                                          int32_t count) {                                 \
        VexaBiquadGroup<Design>(context, units, count);                                    \
    }                                                                                      \
    VX_GROUP_FUNCTION_BUILDS(BiquadGroupBody)

/* The first part of the Q-based designs (low-pass, high-pass, band-pass, band-stop): reads
 * Frequency and Q; when either changed since the last design, records them, writes cos w and
 * alpha and returns true. Inline: the check runs at every block. */
inline bool VexaBiquadQDesign(VexaContext *context, BiquadUnit *self, double *cs,
                              double *alpha) {
    const float frequency = VexaBiquadDesignInput(self->frequency);
    const float q = VexaBiquadDesignInput(self->q);
    if (frequency == self->designFrequency && q == self->designQ) return false;
    self->designFrequency = frequency;
    self->designQ = q;
    float common[3];
    VexaBiquadCalcCommon(common, VexaBiquadRatio(context, frequency), q);
    *cs = common[0];
    *alpha = common[2];
    return true;
}

/* The first part of the shelf designs: reads Frequency, Gain and Slope; when one of them
 * changed since the last design, records them, writes cos w, A = sqrt(Gain) and
 * k = sin w * beta and returns true. */
bool VexaBiquadShelfDesign(VexaContext *context, BiquadUnit *self, double *cs, double *a,
                           double *k);

/* The port tables the biquad types share: Input, Frequency, Q, Amplitude, Output for the
 * Q-based types; Input, Frequency, Gain, Slope, Amplitude, Output for the shelves. */
extern const PortInfo kVexaBiquadQPorts[5];
extern const PortInfo kVexaBiquadShelfPorts[6];

/* A biquad type's initialisation: designs the coefficients from the defaults, so that they
 * exist before the first block. */
template <VexaBiquadDesign Design>
int32_t VexaBiquadInit(VexaContext *context, VexaUnit *unit, int32_t) {
    Design(context, unit);
    return 0;
}

/* A biquad type's unit function: the design follows its inputs once per block, sampled at the
 * block's first frame. */
template <VexaBiquadDesign Design>
void VexaBiquadUnitFunction(VexaContext *context, VexaUnit *unit) {
    Design(context, unit);
    VexaBiquadFilter(context, unit);
}

/* Each type's coefficient routine: redesigns when a design input changed. */
void VexaRecalculateLowPass(VexaContext *context, VexaUnit *unit);
void VexaRecalculateHighPass(VexaContext *context, VexaUnit *unit);
void VexaRecalculateBandPass(VexaContext *context, VexaUnit *unit);
void VexaRecalculateBandStop(VexaContext *context, VexaUnit *unit);
void VexaRecalculatePeakingEQ(VexaContext *context, VexaUnit *unit);
void VexaRecalculateLowShelf(VexaContext *context, VexaUnit *unit);
void VexaRecalculateHighShelf(VexaContext *context, VexaUnit *unit);

#endif /* VX_BIQUAD_H */
