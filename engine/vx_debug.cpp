/*
 * vx_debug.cpp - the trace level, the debug entry point and its reports, and the text
 * display of output samples used by the print-output mode.
 */
#include <cmath>
#include <cstdio>

#include "vx_bridge.h"
#include "vx_host.h"
#include "vx_things.h"

namespace {
/* Line number of the output display, shared by every context of the process. Claimed with
 * an atomic increment so that two threads printing at once never number a line twice. */
int32_t lineCount = 0;

void Flush() { std::fflush(stdout); }
} // namespace

extern "C" VEXA_API void Vexa_SetTrace(VexaContext *context, int32_t level) {
    if (VexaF_ValidateContext(context) == nullptr) return;
    vx_store(context->vxf_TraceLevel, static_cast<uint32_t>(level));
    VexaF_SetAudioLibraryTrace(level);
}

extern "C" VEXA_API int32_t Vexa_GetTrace(VexaContext *context) {
    if (VexaF_ValidateContext(context) == nullptr) return VXERR_INVALID_CONTEXT;
    return static_cast<int32_t>(vx_load(context->vxf_TraceLevel));
}

void VexaF_ReportThings(VexaContext *context) {
    VexaF_FreeFreeNodes(context);

    int32_t counts[4] = {0, 0, 0, 0};
    VexaF_LockThings(context);
    for (VexaThing *thing : context->vxf_Things) {
        if (thing == nullptr) continue;
        if (thing->vxt_Type <= VXT_TABLE) {
            counts[thing->vxt_Type]++;
        } else {
            std::printf("Bogus vxt_Type = 0x%x\n", static_cast<unsigned>(thing->vxt_Type));
            Flush();
        }
    }
    int32_t thingCount = vx_load(context->vxf_ThingCount);
    VexaF_UnlockThings(context);

    std::printf("    Current time = %d, Num Allocs = %d", vx_load(context->vxb_TickCount),
                vx_load(context->vxf_AllocCount));
    Flush();
    std::printf("   Things    = %d,\n", thingCount);
    Flush();
    static const char *const kLines[4] = {"   Units     = %d,\n", "   Samples   = %d,\n",
                                          "   Envelopes = %d,\n", "   Tables    = %d,\n"};
    for (int kind = 0; kind < 4; kind++) {
        if (counts[kind] > 0) {
            std::printf(kLines[kind], counts[kind]);
            Flush();
        }
    }
    int32_t freeQueueNodes = context->vxf_FreeQueueNodes.next == nullptr
                                 ? 0 /* never initialised */
                                 : DLL_CountNodes(&context->vxf_FreeQueueNodes);
    if (freeQueueNodes > 0) {
        std::printf("    Number of FreeSampleQueue Nodes = %d\n", freeQueueNodes);
        Flush();
    }
    std::printf("\n");
    Flush();
}

extern "C" VEXA_API int32_t Vexa_Debug(VexaContext *context, int32_t code, int32_t arg) {
    if (VexaF_ValidateContext(context) == nullptr) return VXERR_INVALID_CONTEXT;
    switch (code) {
    case VEXA_DEBUG_REPORT: {
        /* The report frees the node pools and the request goes through the FIFO: both
         * belong to the peer lock's holder. On an engine that is not initialised there is no
         * back end to ask, and the report alone is printed. */
        VexaCall call(context, VX_CALL_LOCK);
        if (call.status() == VXERR_HOST_INIT) {
            VexaLifecycleLock lifecycle(context);
            VexaF_ReportThings(context);
            return 0;
        }
        if (call.status() < 0) return call.status();
        VexaF_ReportThings(context);
        const int32_t result = VexaF_SendToBack(context, F2B_DEBUG, nullptr);
        return result < 0 ? result : 0;
    }
    case VEXA_DEBUG_ALLOCATIONS:
        return vx_load(context->vxf_AllocCount);
    case VEXA_DEBUG_SCRATCH:
        /* A scratch print for instrumenting code; not flushed. */
        std::printf("INTERNAL DEBUG, i = %d, f = %g\n", context->vxf_DebugInt,
                    static_cast<double>(context->vxf_DebugFloat));
        return 0;
    default:
        return VXHost_Debug(context, code, arg);
    }
}

void VexaS_DisplaySignal(float value) {
    double v = value;
    if (std::isnan(v)) v = 0.0; /* a NaN sample is shown as silence, not converted */
    if (v < -1.0) v = -1.0;
    if (v > 1.0) v = 1.0;
    int32_t s = static_cast<int32_t>(v * 32768.0);
    if (s > 32767) s = 32767;
    if (s < -32768) s = -32768;
    int32_t n = (s >> 11) + 16;
    char bar[33];
    for (int32_t i = 0; i < 32; i++) bar[i] = i < n ? '*' : '.';
    bar[32] = '\0';
    std::printf(" 0x%8x : %s", static_cast<uint32_t>(s), bar);
    Flush();
}

void VexaB_PrintTrace(VexaContext *context, const float *outputBuffer) {
    if (outputBuffer == nullptr) return;
    int32_t channels = context->vxf_OutputChannels;
    for (int32_t frame = 0; frame < 64; frame++) {
        std::printf("%8d: ", __atomic_fetch_add(&lineCount, 1, __ATOMIC_RELAXED));
        Flush();
        const float *samples = outputBuffer + static_cast<size_t>(frame) * channels;
        if (channels >= 1) VexaS_DisplaySignal(samples[0]);
        if (channels >= 2) VexaS_DisplaySignal(samples[1]);
        std::printf("\n");
        Flush();
    }
}
