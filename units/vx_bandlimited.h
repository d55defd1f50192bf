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

#include "vx_unit.h"

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

#endif /* VX_BANDLIMITED_H */
