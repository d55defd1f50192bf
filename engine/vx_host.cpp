/*
 * vx_host.cpp - the public calls of the host services that both platforms share: the bench
 * timer (engine/vx_linux.cpp and engine/vx_win32.cpp give the timer itself).
 */
#include "vx_host.h"
#include "vx_things.h"

int32_t Vexa_StartBenchTimer(VexaContext *context) {
    if (VexaF_ValidateContext(context) == nullptr) return VXERR_INVALID_CONTEXT;
    return VXHost_StartBenchTimer();
}

int32_t Vexa_StopBenchTimer(VexaContext *context) {
    if (VexaF_ValidateContext(context) == nullptr) return VXERR_INVALID_CONTEXT;
    return VXHost_StopBenchTimer();
}

double Vexa_GetBenchTimer(VexaContext *context) {
    if (VexaF_ValidateContext(context) == nullptr) return VXERR_INVALID_CONTEXT;
    return VXHost_GetBenchTimer();
}
