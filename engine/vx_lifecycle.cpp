/*
 * vx_lifecycle.cpp - bringing an engine up and down (initialise/terminate and start/stop,
 * both counted so that several clients can share one engine), waiting for ticks and offline
 * rendering, where the client's thread runs the batches.
 */
#include <cstdio>
#include <cstdlib>

#include "vx_bridge.h"
#include "vx_host.h"
#include "vx_model.h"
#include "vx_synth.h"
#include "vx_things.h"

namespace {
constexpr int32_t kFramesPerTick = VX_FRAMES_PER_TICK;
constexpr double kDefaultFrameRate = 44100.0;

/* The no-device path: the engine has been started with 0x04 and not stopped since. */
inline bool RunsWithoutDevice(const VexaContext *context) {
    /* Read by waits that hold no lock while another thread may start or stop. */
    return vx_load(context->vxf_StartCount) > 0 &&
           (vx_load(context->vxf_Flags) & VX_FLAG_NO_DEVICE) != 0;
}
} // namespace

int32_t Vexa_Initialize(VexaContext *context) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    VexaLifecycleLock lifecycle(context);
    if (context->vxf_TraceLevel != 0) {
        printf("Vexa V%s %s%s%s", VX_VERSION_TEXT, "R", "", "-NoCapture");
        printf(" (c) Velto\n");
        fflush(stdout);
    }
    if (context->vxf_InitCount == 0) {
        context->vxb_MaxUsage = 0.9f;
        int32_t result = VexaS_InitBridge(context);
        if (result < 0) return result;
        for (VexaThing *&slot : context->vxf_Things) slot = nullptr;
        context->vxf_ThingCount = 0;
        DLL_InitList(&context->vxf_FreeQueueNodes);
        DLL_InitList(&context->vxf_FreeCommandNodes);
        VexaF_LoadUnits(context);
        result = VexaS_Init(context);
        if (result < 0) {
            VexaS_TermBridge(context);
            return result;
        }
        result = VXHost_Initialize(context);
        if (result < 0) {
            VexaS_Term(context);
            VexaS_TermBridge(context);
            return result;
        }
        /* From here on the public calls may enter. */
        VexaF_OpenGate(context);
    }
    context->vxf_InitCount++;
    return 0;
}

namespace {
/* Closes the device stream (if any) and forgets every start; the caller holds the lifecycle
 * lock and either the peer lock or the only way into the engine. */
void CloseStream(VexaContext *context) {
    vx_store(context->vxf_StartCount, 0);
    VexaF_StopAudio(context);
    free(context->vxf_OfflineBuffer);
    context->vxf_OfflineBuffer = nullptr;
}
} // namespace

int32_t Vexa_Terminate(VexaContext *context) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    VexaLifecycleLock lifecycle(context);
    if (context->vxf_InitCount == 0) return VXERR_HOST_INIT;
    {
        /* A posted back-end error surfaces here once; the next call terminates. */
        VexaCall call(context, VX_CALL_DRAIN_LOCK);
        if (call.status() < 0) return call.status();
        if (context->vxf_InitCount > 1) {
            context->vxf_InitCount--;
            return 0;
        }
    }

    /* Last termination. New calls are turned away; the device stream closes, which ends
     * every wait for one of its ticks; then the calls still in flight finish. A started
     * engine is stopped for good, however many starts were not balanced. */
    VexaF_ShutGate(context);
    if (VXHost_ForbidPeers(context) == 0) { /* no call reads the stream's load meanwhile */
        VexaF_StopAudio(context);
        VXHost_PermitPeers(context);
    }
    VexaF_WaitForCallsToLeave(context);
    CloseStream(context);

    int32_t result = VXHost_ForbidPeers(context);
    if (result < 0) return result;
    for (int32_t slot = 0; slot < VX_MAX_THINGS; slot++) {
        VexaThing *thing = context->vxf_Things[slot];
        if (thing != nullptr) VexaF_DeleteThing(context, thing);
    }
    VexaS_Term(context);
    VXHost_PermitPeers(context);
    VXHost_Terminate(context);

    /* Free everything that came back. A posted back-end error is collected on the way and
     * does not stop the freeing; each call takes the error or at least one node. */
    for (int32_t pass = 0; pass < 4 * VX_MAX_THINGS; pass++)
        if (VexaF_ProcessCommandsFromBack(context) == 0) break;
    VexaS_TermBridge(context);
    VexaF_FreeFreeNodes(context);
    context->vxf_InitCount = 0;
    return context->vxf_AllocCount;
}

int32_t Vexa_StartDevices(VexaContext *context, int32_t flags, double frameRate,
                          int32_t inputDeviceID, int32_t numInputChannels,
                          int32_t outputDeviceID, int32_t numOutputChannels) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    if (!(frameRate > 1.0)) frameRate = kDefaultFrameRate;
    /* Negative channel counts would move the batch's cursors backwards, and counts beyond the
     * limit would overflow the offsets of a tick's frames. */
    if (numInputChannels < 0 || numOutputChannels < 0 || numInputChannels > VX_MAX_CHANNELS ||
        numOutputChannels > VX_MAX_CHANNELS)
        return VXERR_OUT_OF_RANGE;
    VexaLifecycleLock lifecycle(context);
    /* Nothing opens on an engine that is not initialised: there is no bridge to compute. */
    if (context->vxf_InitCount == 0) return VXERR_HOST_INIT;

    uint32_t derived = static_cast<uint32_t>(flags);
    if (inputDeviceID != -1) derived |= VX_FLAG_INPUT;
    if (outputDeviceID == -1) derived |= VX_FLAG_NO_OUTPUT;
    if (derived & VX_FLAG_PRINT_OUTPUT) derived |= VX_FLAG_NO_DEVICE;

    if (context->vxf_StartCount > 0) {
        if (derived != context->vxf_Flags || inputDeviceID != context->vxf_InputDevice ||
            numInputChannels != context->vxf_InputChannels ||
            outputDeviceID != context->vxf_OutputDevice ||
            numOutputChannels != context->vxf_OutputChannels)
            return VXERR_DOUBLE_START;
        vx_store(context->vxf_StartCount, context->vxf_StartCount + 1);
        if (context->vxf_TraceLevel > 1) {
            printf("Vexa open in shared mode. syncon->front.vxf_StartCount = %d\n",
                   context->vxf_StartCount);
            fflush(stdout);
        }
        return 0;
    }

    /* The counts, flags and rates are read by waits on other threads that take no lock. */
    vx_store(context->vxf_StartCount, context->vxf_StartCount + 1);
    vx_store(context->vxf_Flags, derived);
    context->vxf_InputDevice = inputDeviceID;
    context->vxf_InputChannels = numInputChannels;
    context->vxf_OutputDevice = outputDeviceID;
    context->vxf_OutputChannels = numOutputChannels;
    if (derived & VX_FLAG_PRINT_OUTPUT) {
        size_t count = static_cast<size_t>(kFramesPerTick) * static_cast<size_t>(numOutputChannels);
        context->vxf_OfflineBuffer =
            static_cast<float *>(calloc(count > 0 ? count : 1, sizeof(float)));
        if (context->vxf_OfflineBuffer == nullptr) {
            vx_store(context->vxf_StartCount, context->vxf_StartCount - 1);
            return VXERR_NO_MEMORY;
        }
    }
    vx_store(context->vxb_FrameRate, frameRate);
    vx_store(context->vxb_FramePeriod, 1.0 / frameRate);
    vx_store(context->vxb_FreqScale, static_cast<float>(2.0 / frameRate));
    int32_t result = VexaF_StartAudio(context, derived, &frameRate);
    if (result < 0) {
        vx_store(context->vxf_StartCount, context->vxf_StartCount - 1);
        free(context->vxf_OfflineBuffer);
        context->vxf_OfflineBuffer = nullptr;
        return result;
    }
    return 0;
}

int32_t Vexa_Start(VexaContext *context, int32_t flags, double frameRate) {
    if (VexaF_ValidateContext(context) == nullptr) return VXERR_INVALID_CONTEXT;
    /* Checked again under the lifecycle lock; here it spares the device query. */
    if (!VexaF_GateOpen(context)) return VXERR_HOST_INIT;
    int32_t inputDevice = -1, inputChannels = 0;
    int32_t outputDevice = -1, outputChannels = 0;
    if (flags & VX_FLAG_INPUT) {
        inputDevice = VexaF_DefaultInputDevice();
        inputChannels = 2;
    }
    if ((flags & VX_FLAG_NO_OUTPUT) == 0) {
        /* Without an audio server the default device may be -1; the two channels stay. */
        outputDevice = VexaF_DefaultOutputDevice();
        outputChannels = 2;
    }
    return Vexa_StartDevices(context, flags, frameRate, inputDevice, inputChannels, outputDevice,
                             outputChannels);
}

int32_t Vexa_Stop(VexaContext *context) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    VexaLifecycleLock lifecycle(context);
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    if (context->vxf_StartCount == 1) {
        CloseStream(context);
    } else if (context->vxf_StartCount > 1) {
        vx_store(context->vxf_StartCount, context->vxf_StartCount - 1);
    }
    return 0;
}

int32_t Vexa_StartEngine(VexaContext *context, int32_t flags, double frameRate) {
    int32_t result = Vexa_Initialize(context);
    if (result < 0) return result;
    return Vexa_Start(context, flags, frameRate);
}

int32_t Vexa_StopEngine(VexaContext *context) { return Vexa_Terminate(context); }

/* ---- Time ------------------------------------------------------------------------- */

namespace {
/* Frees what the audio thread handed back while a client waits or renders (a deleted unit
 * that still feeds an input is disconnected then, instead of holding its last value there); a
 * posted back-end error stays for the next call. Cheap when nothing came back. */
void TakeBackWhileWaiting(VexaContext *context) {
    if (vx_load(context->vxs_BackError) != 0) return;
    if (vx_load(context->vxs_BackToFront.head) == vx_load_acquire(context->vxs_BackToFront.tail))
        return;
    const int32_t result = VexaF_ProcessCommandsFromBack(context);
    if (result < 0) {
        int32_t none = 0;
        __atomic_compare_exchange_n(&context->vxs_BackError, &none, result, false,
                                    __ATOMIC_ACQ_REL, __ATOMIC_RELAXED);
    }
}

/* One batch on this thread (no device, so no load to hand it), then the text trace of the
 * print-output mode. */
int32_t RunBatch(VexaContext *context, const float *input, float *output) {
    const int32_t result = VexaB_SynthesizeBatch(context, input, output, 0.0);
    if (output != nullptr && (context->vxf_Flags & VX_FLAG_PRINT_OUTPUT))
        VexaB_PrintTrace(context, output);
    return result;
}

/* Computes batches on this thread up to the tick; the caller holds the peer lock. */
int32_t CalcUntilTick(VexaContext *context, int32_t tick, bool takeBack) {
    int32_t result = 0;
    while (result >= 0 &&
           static_cast<int32_t>(static_cast<uint32_t>(tick) -
                                static_cast<uint32_t>(context->vxb_TickCount)) > 0) {
        result = RunBatch(context, nullptr, context->vxf_OfflineBuffer);
        if (takeBack) TakeBackWhileWaiting(context);
    }
    return result;
}
} // namespace

int32_t VexaS_CalcUntilTick(VexaContext *context, int32_t tick) {
    return CalcUntilTick(context, tick, false);
}

int32_t VexaF_SleepUntilTick(VexaContext *context, int32_t tick, bool takeBack) {
    if (!RunsWithoutDevice(context))
        return VXAudio_SleepUntilTick(context, tick, takeBack ? TakeBackWhileWaiting : nullptr);
    int32_t result = VXHost_ForbidPeers(context);
    if (result < 0) return result;
    result = CalcUntilTick(context, tick, takeBack);
    VXHost_PermitPeers(context);
    return result;
}

int32_t Vexa_SleepUntilTick(VexaContext *context, int32_t tick) {
    VexaCall call(context, VX_CALL_GATE);
    if (call.status() < 0) return call.status();
    return VexaF_SleepUntilTick(call.context(), tick, true);
}

int32_t Vexa_SleepForTicks(VexaContext *context, int32_t numTicks) {
    VexaCall call(context, VX_CALL_GATE);
    if (call.status() < 0) return call.status();
    const uint32_t now = static_cast<uint32_t>(vx_load(call.context()->vxb_TickCount));
    return VexaF_SleepUntilTick(call.context(),
                                static_cast<int32_t>(now + static_cast<uint32_t>(numTicks)), true);
}

int32_t Vexa_RenderTicks(VexaContext *context, const float *input, float *output,
                         int32_t numTicks) {
    VexaCall call(context, VX_CALL_LOCK);
    if (call.status() < 0) return call.status();
    context = call.context();
    if (!RunsWithoutDevice(context)) return VXERR_NOT_STARTED;
    int32_t result = 0;
    const size_t inputStep = static_cast<size_t>(kFramesPerTick) * context->vxf_InputChannels;
    const size_t outputStep = static_cast<size_t>(kFramesPerTick) * context->vxf_OutputChannels;
    for (int32_t i = 0; i < numTicks && result >= 0; i++) {
        result = RunBatch(context, input, output);
        TakeBackWhileWaiting(context);
        if (input != nullptr) input += inputStep;
        if (output != nullptr) output += outputStep;
    }
    return result < 0 ? result : 0;
}

int32_t Vexa_CheckEngineErrors(VexaContext *context) {
    VexaCall call(context, VX_CALL_LOCK_DRAIN);
    return call.status();
}
