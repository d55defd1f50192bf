/*
 * vx_delayline.h - the delay line shared by the Delay and DelayInterp units: a ring of
 * `length` floats plus one guard entry that repeats slot 0 for interpolation.
 */
#ifndef VX_DELAYLINE_H
#define VX_DELAYLINE_H

#include <cstdint>

#include "vx_unit.h"

struct VexaDelayLine {
    float *buffer;      /* length + 1 floats; buffer[length] is the guard entry */
    int32_t length;     /* number of slots N, at least 1 once allocated */
    int32_t writeIndex; /* 0 ... N - 1 */
};

/* Allocates a zero-filled line of numberOfFrames slots (plus the guard entry). Returns 0,
 * VXERR_OUT_OF_RANGE when numberOfFrames < 1, or VXERR_NO_MEMORY; on failure the line stays
 * empty. Front end only. */
int32_t VXU_InitDelayLine(VexaContext *context, VexaDelayLine *line, int32_t numberOfFrames);

/* Frees the line's buffer, if it has one, and clears the pointer. Returns 0. Front end only. */
int32_t VXU_TermDelayLine(VexaContext *context, VexaDelayLine *line);

#endif /* VX_DELAYLINE_H */
