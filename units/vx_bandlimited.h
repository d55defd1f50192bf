/*
 * vx_bandlimited.h - the phase accumulator of the band-limited oscillators.
 *
 * The same accumulator as the simple oscillators (increment limited to [-1, +1], one wrap per
 * frame, phase in double through the block), which also keeps each frame's limited increment
 * and the table level made from it, since the band-limited shapes read the multiwave tables
 * at that level.
 */
#ifndef VX_BANDLIMITED_H
#define VX_BANDLIMITED_H

#include <cstring>

#include "vx_unit.h"

#if VX_X86_VECTOR_BUILDS
#include <immintrin.h>
#endif

struct VxBandLimitedBlock {
    double phase[8];     /* phase after the frame's wrap */
    float increment[8];  /* the limited increment */
    float level[8];      /* VX_SawBL_PhaseIncToLevel of the increment */
};

/* Advances `phase` over one block at the given per-frame frequencies (hertz) and returns the
 * phase after the last frame. */
inline double vx_bl_advance_phase(const VexaContext *context, double phase,
                                  const float *frequency, VxBandLimitedBlock &block) {
    const double freqScale = context->vxb_FreqScale;
    for (int i = 0; i < 8; i++) {
        double increment = static_cast<double>(frequency[i]) * freqScale;
        if (increment < -1.0) {
            increment = -1.0;
        } else if (increment > 1.0) {
            increment = 1.0;
        }
        phase += increment;
        if (phase >= 1.0) {
            phase -= 2.0;
        } else if (phase < -1.0) {
            phase += 2.0;
        }
        block.phase[i] = phase;
        block.increment[i] = static_cast<float>(increment);
    }
    for (int i = 0; i < 8; i++) block.level[i] = VX_SawBL_PhaseIncToLevel(block.increment[i]);
    return phase;
}

/* ---- Eight lanes at once (the group functions) ---------------------------------------- */

#if VX_X86_VECTOR_BUILDS
/* The result goes through a pointer: a 32-byte vector returned by value from a function built
 * for AVX2 to one that is not changes the calling convention. */
VX_TARGET_AVX2 inline void vx_bl_gather_avx2(const float *base, const VxBlockI &index,
                                             VxBlockF *out) {
    __m256i i;
    std::memcpy(&i, &index, sizeof i);
    const __m256 v = _mm256_i32gather_ps(base, i, 4);
    std::memcpy(out, &v, sizeof *out);
}
#endif

/* base[index[k]] for every lane. */
template <int Level>
VX_ALWAYS_INLINE VxBlockF vx_bl_gather(const float *base, const VxBlockI &index) {
    VxBlockF v;
#if VX_X86_VECTOR_BUILDS
    if constexpr (Level != VX_SIMD_BASE) {
        vx_bl_gather_avx2(base, index, &v);
        return v;
    }
#endif
    for (int k = 0; k < 8; k++) v[k] = base[index[k]];
    return v;
}

/* VX_SawBL_PhaseIncToLevel of every lane: 126 - (mantissa x K + exponent) from the bits. */
VX_ALWAYS_INLINE VxBlockF vx_bl_levels(const VxBlockF &increment) {
    constexpr double kMantissaScale = 1.1920930376163766e-07;
    VxBlockI bits;
    __builtin_memcpy(&bits, &increment, sizeof bits);
    const VxBlockD exponent = __builtin_convertvector((bits >> 23) & 0xff, VxBlockD);
    const VxBlockD mantissa = __builtin_convertvector(bits & 0x7fffff, VxBlockD);
    return vx_round(126.0 - (mantissa * kMantissaScale + exponent));
}

/* What the lanes of a group of band-limited oscillators read at every frame, made once per
 * block: the frequency scale, the table copy and the table geometry, as vectors. */
struct VxBlLanes {
    const float *flat;
    int32_t stride;
    VxBlockD freqScale, half, n, last, zero, one, two, minusOne;
};
VX_ALWAYS_INLINE VxBlLanes vx_bl_lanes(const VexaContext *context) {
    const SawMultiTables *set = &context->vxb_SawTables;
    VxBlLanes lanes;
    lanes.flat = context->vxb_SawFlat;
    lanes.stride = set->cycleLength + 1;
    lanes.zero = VxBlockD{0, 0, 0, 0, 0, 0, 0, 0};
    lanes.freqScale = lanes.zero + static_cast<double>(context->vxb_FreqScale);
    lanes.half = lanes.zero + static_cast<double>(set->halfLength);
    lanes.n = lanes.zero + static_cast<double>(set->cycleLength);
    lanes.last = lanes.n - 1.0;
    lanes.one = lanes.zero + 1.0;
    lanes.two = lanes.zero + 2.0;
    lanes.minusOne = lanes.zero - 1.0;
    return lanes;
}

/* One frame of the band-limited oscillators' accumulator in every lane: the limited increment,
 * the sum and its one wrap, as vx_bl_advance_phase computes them; `increment` and `level` get
 * the frame's float increment and its table level. */
VX_ALWAYS_INLINE void vx_bl_lanes_step(const VxBlLanes &c, const VxBlockF &frequency,
                                       VxBlockD *phase, VxBlockF *increment, VxBlockF *level) {
    VxBlockD inc = vx_widen(frequency) * c.freqScale;
    inc = inc < c.minusOne ? c.minusOne : inc;
    inc = inc > c.one ? c.one : inc;
    const VxBlockD sum = *phase + inc;
    /* One wrap down or up (a sum is never both), each a single compare and select. */
    VxBlockD p = sum >= c.one ? sum - c.two : sum;
    p = sum < c.minusOne ? sum + c.two : p;
    *phase = p;
    *increment = vx_round(inc);
    *level = vx_bl_levels(*increment);
}

/* VX_SawBL_CalculateSawtooth of every lane, each lane with its own phase, increment and level,
 * from the context's contiguous copy of the tables (vxb_SawFlat, which must be there). Every
 * branch of the function is computed with its operations for every lane and the lane's own
 * branch is kept: the same bits as the function, frame by frame. Every operand of a select is
 * a vector, so that the compiler keeps the lanes together. */
template <int Level>
VX_ALWAYS_INLINE VxBlockF vx_bl_saw_lanes(const VxBlLanes &c, const VxBlockF &phase,
                                          const VxBlockF &increment, const VxBlockF &level) {
    const VxBlockD p = vx_widen(phase);
    const VxBlockD pos = c.half * p + c.half;
    /* pos within the table; beyond its end the last interval; below it, or a NaN, the first
     * (a NaN fails the second compare). */
    VxBlockD clipped = pos >= c.n ? c.last : pos;
    clipped = clipped >= c.zero ? clipped : c.zero;
    const VxBlockI i = __builtin_convertvector(clipped, VxBlockI);
    const VxBlockD f = pos - __builtin_convertvector(i, VxBlockD);
    /* The level's whole part (levels lie within -130 ... 126; compared as floats, which hold
     * them exactly) and its fraction. */
    VxBlockI whole = __builtin_convertvector(level, VxBlockI);
    whole += __builtin_convertvector(whole, VxBlockF) > level;
    const VxBlockD lf = vx_widen(level) - __builtin_convertvector(whole, VxBlockD);
    /* The tables each lane reads: table 7 above level 6, table 0 at -1, L and L + 1 between. */
    const VxBlockI zeroI = {0, 0, 0, 0, 0, 0, 0, 0};
    const VxBlockI sixI = zeroI + 6, sevenI = zeroI + 7, minusOneI = zeroI - 1;
    VxBlockI ta = whole < zeroI ? zeroI : whole;
    ta = whole > sixI ? sevenI : ta;
    const VxBlockI tb = ta < sevenI ? ta + 1 : ta;
    const VxBlockI ia = ta * c.stride + i, ib = tb * c.stride + i;
    const VxBlockD a0 = vx_widen(vx_bl_gather<Level>(c.flat, ia));
    const VxBlockD a1 = vx_widen(vx_bl_gather<Level>(c.flat, ia + 1));
    const VxBlockD b0 = vx_widen(vx_bl_gather<Level>(c.flat, ib));
    const VxBlockD b1 = vx_widen(vx_bl_gather<Level>(c.flat, ib + 1));
    const VxBlockD ra = a0 + (a1 - a0) * f;
    const VxBlockD rb = b0 + (b1 - b0) * f;
    /* fabs of the float increment: its sign bit cleared. */
    VxBlockI magnitudeBits;
    __builtin_memcpy(&magnitudeBits, &increment, sizeof magnitudeBits);
    magnitudeBits &= 0x7fffffff;
    VxBlockF magnitude;
    __builtin_memcpy(&magnitude, &magnitudeBits, sizeof magnitude);
    const VxBlockF low = vx_round(p + (ra - p) * 256.0 * vx_widen(magnitude));
    const VxBlockF top = vx_round(ra * lf);
    const VxBlockF blend = vx_round(ra + (rb - ra) * lf);
    const VxBlockF zero = {0, 0, 0, 0, 0, 0, 0, 0};
    VxBlockF saw = whole == minusOneI ? top : blend;
    saw = whole < minusOneI ? zero : saw;
    return whole > sixI ? low : saw;
}

#endif /* VX_BANDLIMITED_H */
