/*
 * vx_misc.cpp - the engine clock and version getters. They take no lock: the counts are
 * single words written only by the thread that computes batches.
 */
#include "vx_things.h"

namespace {
constexpr int32_t kVersion = VX_VERSION_NUMBER;
constexpr int32_t kFramesPerTick = VX_FRAMES_PER_TICK;
} // namespace

int32_t Vexa_GetFrameCount(VexaContext *context) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    return static_cast<int32_t>(vx_load(context->vxb_FrameCount));
}

int32_t Vexa_GetTickCount(VexaContext *context) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    return vx_load(context->vxb_TickCount);
}

int32_t Vexa_GetFramesPerTick(VexaContext *context) {
    if (VexaF_ValidateContext(context) == nullptr) return VXERR_INVALID_CONTEXT;
    return kFramesPerTick;
}

double Vexa_GetFrameRate(VexaContext *context) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    return vx_load(context->vxb_FrameRate);
}

double Vexa_GetTickRate(VexaContext *context) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    return vx_load(context->vxb_FrameRate) * 0.015625;
}

int32_t Vexa_GetVersion(void) { return kVersion; }
