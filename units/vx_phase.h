/*
 * vx_phase.h - the phase accumulator of the simple oscillators.
 *
 * A phase lies in [-1, +1); one cycle is 2.0. Each frame the frequency becomes an increment
 * by one multiplication with the context's frequency scale, limited to [-1, +1] so that a
 * single correction brings the phase back into range. The phase is carried in double
 * precision through the block; the caller rounds it to float when it stores it back.
 */
#ifndef VX_PHASE_H
#define VX_PHASE_H

#include "vx_unit.h"

#if VX_X86_VECTOR_BUILDS
#include <immintrin.h>
#endif

/* The phases of one block, and which frames wrapped (in either direction). */
struct VxPhaseBlock {
    double phase[8];
    bool wrapped[8];
};

/* Advances `phase` over one block at the given per-frame frequencies (hertz) and returns the
 * phase after the last frame. */
inline double vx_advance_phase(const VexaContext *context, double phase, const float *frequency,
                               VxPhaseBlock &block) {
    const double freqScale = context->vxb_FreqScale;
    for (int i = 0; i < 8; i++) {
        double increment = static_cast<double>(frequency[i]) * freqScale;
        if (increment < -1.0) {
            increment = -1.0;
        } else if (increment > 1.0) {
            increment = 1.0;
        }
        phase += increment;
        bool wrapped = false;
        if (phase >= 1.0) {
            phase -= 2.0;
            wrapped = true;
        } else if (phase < -1.0) {
            phase += 2.0;
            wrapped = true;
        }
        block.phase[i] = phase;
        block.wrapped[i] = wrapped;
    }
    return phase;
}

/* The limited increments of a block: inc = Frequency x scale, -1 below -1, +1 above +1 (a NaN
 * stays NaN, as with the two tests one after the other). */
VX_ALWAYS_INLINE VxBlockD vx_phase_increments(const VexaContext *context, const float *frequency) {
    const double freqScale = context->vxb_FreqScale;
    VxBlockD increment = vx_widen(vx_load_block(frequency)) * freqScale;
    increment = increment < -1.0 ? -1.0 : increment;
    increment = increment > 1.0 ? 1.0 : increment;
    return increment;
}

/* The phases of a block without the wrapped flags. Most blocks do not wrap: the running sums
 * are formed first, and only when one of them leaves [-1, +1) is the block run again frame by
 * frame with its wrap. Without a wrap both ways add the same increments to the same sums, so
 * the phases are the same bits. `last` receives the phase after the last frame. */
VX_ALWAYS_INLINE VxBlockD vx_phases_with_wraps(const VxBlockD &increment, double phase,
                                               double *last) {
    double phases[8];
    for (int i = 0; i < 8; i++) {
        phase += increment[i];
        if (phase >= 1.0) {
            phase -= 2.0;
        } else if (phase < -1.0) {
            phase += 2.0;
        }
        phases[i] = phase;
    }
    *last = phase;
    VxBlockD sums;
    __builtin_memcpy(&sums, phases, sizeof sums);
    return sums;
}

VX_ALWAYS_INLINE VxBlockD vx_advance_phases(const VexaContext *context, double phase,
                                            const float *frequency, double *last) {
    const VxBlockD increment = vx_phase_increments(context, frequency);
    const double s0 = phase + increment[0], s1 = s0 + increment[1], s2 = s1 + increment[2];
    const double s3 = s2 + increment[3], s4 = s3 + increment[4], s5 = s4 + increment[5];
    const double s6 = s5 + increment[6], s7 = s6 + increment[7];
    const VxBlockD sums = {s0, s1, s2, s3, s4, s5, s6, s7};
    bool outside = false;
    for (int i = 0; i < 8; i++) outside |= (sums[i] >= 1.0) | (sums[i] < -1.0);
    if (outside) return vx_phases_with_wraps(increment, phase, last);
    *last = s7;
    return sums;
}

#if VX_X86_VECTOR_BUILDS
/* The same for the AVX-512 builds, with the sums in one register: step i adds increment i to
 * lanes i to 7, so lane j holds ((phase + inc 0) + inc 1) + ... + inc j, added in frame
 * order. */
VX_TARGET_AVX512 inline VxBlockD vx_advance_phases_avx512(const VexaContext *context,
                                                           double phase, const float *frequency,
                                                           double *last) {
    const __m512d increment = vx_phase_increments(context, frequency);
    double steps[8];
    _mm512_storeu_pd(steps, increment);
    __m512d sums = _mm512_set1_pd(phase);
    for (int i = 0; i < 8; i++) {
        sums = _mm512_mask_add_pd(sums, static_cast<__mmask8>(0xffu << i), sums,
                                  _mm512_set1_pd(steps[i]));
    }
    const __mmask8 outside = _mm512_cmp_pd_mask(sums, _mm512_set1_pd(1.0), _CMP_GE_OQ) |
                             _mm512_cmp_pd_mask(sums, _mm512_set1_pd(-1.0), _CMP_LT_OQ);
    if (outside != 0) return vx_phases_with_wraps(increment, phase, last);
    *last = sums[7];
    return sums;
}
#endif

/* The phases of a block in the build's best way (a macro, so that the AVX-512 routine is
 * named only inside the AVX-512 build). Clang refuses a 64-byte vector returned into code not
 * itself built for AVX-512 (the unit bodies are inlined into their builds only later), so clang
 * builds (the fuzzer's) take the portable routine, which gives the same bits. */
#if VX_X86_VECTOR_BUILDS && !defined(__clang__)
#define VX_ADVANCE_PHASES(Level, phases, ...)                                               \
    do {                                                                                   \
        if constexpr ((Level) == VX_SIMD_AVX512)                                           \
            phases = vx_advance_phases_avx512(__VA_ARGS__);                                \
        else                                                                               \
            phases = vx_advance_phases(__VA_ARGS__);                                       \
    } while (0)
#else
#define VX_ADVANCE_PHASES(Level, phases, ...) phases = vx_advance_phases(__VA_ARGS__)
#endif

#endif /* VX_PHASE_H */
