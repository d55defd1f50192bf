/* The context's one pseudo-random sequence, shared by every unit that draws from it. */
#include "vx_unit.h"

/* A linear congruential step modulo 2^32. The seed starts at 0 with the context and is never
 * reseeded, so every context produces the same sequence; units draw from it in the order
 * they run. Audio thread only. */
uint32_t VXU_CalcRandom(VexaContext *context) {
    const uint32_t seed = context->vxb_RandomSeed * 196314165u + 907633515u;
    context->vxb_RandomSeed = seed;
    return seed;
}
