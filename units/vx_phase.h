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

#endif /* VX_PHASE_H */
