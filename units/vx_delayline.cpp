/* Delay lines for the Delay and DelayInterp units: allocated at unit creation, freed when the
 * unit is freed, never touched by the front end while the unit can run. */
#include "vx_delayline.h"

#include <cstddef>
#include <cstdint>

int32_t VXU_InitDelayLine(VexaContext *context, VexaDelayLine *line, int32_t numberOfFrames) {
    if (numberOfFrames < 1) return VXERR_OUT_OF_RANGE;
    /* numberOfFrames slots and the guard entry; a count the address space cannot hold is a
     * failed allocation, never a wrapped size. */
    const size_t slots = static_cast<size_t>(numberOfFrames) + 1;
    if (slots > SIZE_MAX / sizeof(float)) return VXERR_NO_MEMORY;
    void *block = VexaF_AllocateMemory(context, slots * sizeof(float), "VXU_InitDelayLine");
    if (block == nullptr) return VXERR_NO_MEMORY;
    line->buffer = static_cast<float *>(block);
    line->length = numberOfFrames;
    line->writeIndex = 0;
    return 0;
}

int32_t VXU_TermDelayLine(VexaContext *context, VexaDelayLine *line) {
    if (line->buffer != nullptr) {
        VexaF_FreeMemory(context, line->buffer);
        line->buffer = nullptr;
    }
    return 0;
}
