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
    VexaF_SetRenderWorkers(context, 0);
    VexaF_FreeMemory(context, context->vxf_OfflineBuffer);
    context->vxf_OfflineBuffer = nullptr;
}

int32_t RenderThreads(const VexaContext *context) {
    const int32_t threads = vx_load(context->vxf_RenderThreads);
    return threads < 1 ? 1 : threads;
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

namespace {

/* The devices and channel counts of a start. `deferred`: a start without a device on the
 * default devices, which are looked up only if a later shared start needs them. */
struct StartDevicesAsked {
    int32_t input, inputChannels, output, outputChannels;
    bool deferred;
};

/* The flags a start stores: those given, with the input and no-output flags the devices imply
 * (none yet for deferred devices) and print output implying no device. */
uint32_t DeriveFlags(int32_t flags, const StartDevicesAsked &devices) {
    uint32_t derived = static_cast<uint32_t>(flags);
    if (!devices.deferred) {
        if (devices.input != -1) derived |= VX_FLAG_INPUT;
        if (devices.output == -1) derived |= VX_FLAG_NO_OUTPUT;
    }
    if (derived & VX_FLAG_PRINT_OUTPUT) derived |= VX_FLAG_NO_DEVICE;
    return derived;
}

/* Looks up the default devices that a start on them asked for, as Vexa_Start does. */
void LookUpDefaults(int32_t flags, StartDevicesAsked *devices) {
    devices->input = (flags & VX_FLAG_INPUT) ? VexaF_DefaultInputDevice() : -1;
    devices->output = (flags & VX_FLAG_NO_OUTPUT) == 0 ? VexaF_DefaultOutputDevice() : -1;
    devices->deferred = false;
}

int32_t StartDevices(VexaContext *context, int32_t flags, double frameRate,
                     StartDevicesAsked devices) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    if (!(frameRate > 1.0)) frameRate = kDefaultFrameRate;
    /* Negative channel counts would move the batch's cursors backwards, and counts beyond the
     * limit would overflow the offsets of a tick's frames. */
    if (devices.inputChannels < 0 || devices.outputChannels < 0 ||
        devices.inputChannels > VX_MAX_CHANNELS || devices.outputChannels > VX_MAX_CHANNELS)
        return VXERR_OUT_OF_RANGE;
    VexaLifecycleLock lifecycle(context);
    /* Nothing opens on an engine that is not initialised: there is no bridge to compute. */
    if (context->vxf_InitCount == 0) return VXERR_HOST_INIT;

    if (context->vxf_StartCount > 0) {
        bool same;
        if (devices.deferred && context->vxf_DevicesDeferred) {
            /* Both on the same default devices: the same flags give the same start. */
            same = static_cast<uint32_t>(flags) == context->vxf_StartAsked &&
                   devices.inputChannels == context->vxf_InputChannels &&
                   devices.outputChannels == context->vxf_OutputChannels;
        } else {
            if (context->vxf_DevicesDeferred) {
                /* The running start's devices are needed now: look them up as its start
                 * would have. */
                StartDevicesAsked running = {};
                LookUpDefaults(static_cast<int32_t>(context->vxf_StartAsked), &running);
                context->vxf_InputDevice = running.input;
                context->vxf_OutputDevice = running.output;
                vx_store(context->vxf_Flags,
                         DeriveFlags(static_cast<int32_t>(context->vxf_StartAsked), running));
                context->vxf_DevicesDeferred = false;
            }
            if (devices.deferred) LookUpDefaults(flags, &devices);
            same = DeriveFlags(flags, devices) == context->vxf_Flags &&
                   devices.input == context->vxf_InputDevice &&
                   devices.inputChannels == context->vxf_InputChannels &&
                   devices.output == context->vxf_OutputDevice &&
                   devices.outputChannels == context->vxf_OutputChannels;
        }
        if (!same) return VXERR_DOUBLE_START;
        vx_store(context->vxf_StartCount, context->vxf_StartCount + 1);
        if (context->vxf_TraceLevel > 1) {
            printf("Vexa open in shared mode. syncon->front.vxf_StartCount = %d\n",
                   context->vxf_StartCount);
            fflush(stdout);
        }
        return 0;
    }

    const uint32_t derived = DeriveFlags(flags, devices);
    /* The counts, flags and rates are read by waits on other threads that take no lock. */
    vx_store(context->vxf_StartCount, context->vxf_StartCount + 1);
    vx_store(context->vxf_Flags, derived);
    context->vxf_DevicesDeferred = devices.deferred;
    context->vxf_StartAsked = devices.deferred ? static_cast<uint32_t>(flags) : 0u;
    context->vxf_InputDevice = devices.deferred ? -1 : devices.input;
    context->vxf_InputChannels = devices.inputChannels;
    context->vxf_OutputDevice = devices.deferred ? -1 : devices.output;
    context->vxf_OutputChannels = devices.outputChannels;
    if (derived & VX_FLAG_PRINT_OUTPUT) {
        size_t count = static_cast<size_t>(kFramesPerTick) *
                       static_cast<size_t>(devices.outputChannels);
        context->vxf_OfflineBuffer = static_cast<float *>(VexaF_AllocateMemory(
            context, (count > 0 ? count : 1) * sizeof(float), "Vexa_Start print output"));
        if (context->vxf_OfflineBuffer == nullptr) {
            vx_store(context->vxf_StartCount, context->vxf_StartCount - 1);
            return VXERR_NO_MEMORY;
        }
    }
    vx_store(context->vxb_FrameRate, frameRate);
    vx_store(context->vxb_FramePeriod, 1.0 / frameRate);
    vx_store(context->vxb_FreqScale, static_cast<float>(2.0 / frameRate));
    /* The render workers run while the engine is started. */
    int32_t result = VexaF_SetRenderWorkers(context, RenderThreads(context) - 1);
    if (result >= 0) result = VexaF_StartAudio(context, derived, &frameRate);
    if (result < 0) {
        VexaF_SetRenderWorkers(context, 0);
        vx_store(context->vxf_StartCount, context->vxf_StartCount - 1);
        VexaF_FreeMemory(context, context->vxf_OfflineBuffer);
        context->vxf_OfflineBuffer = nullptr;
        return result;
    }
    return 0;
}

} // namespace

int32_t Vexa_StartDevices(VexaContext *context, int32_t flags, double frameRate,
                          int32_t inputDeviceID, int32_t numInputChannels,
                          int32_t outputDeviceID, int32_t numOutputChannels) {
    return StartDevices(context, flags, frameRate,
                        {inputDeviceID, numInputChannels, outputDeviceID, numOutputChannels, false});
}

int32_t Vexa_Start(VexaContext *context, int32_t flags, double frameRate) {
    if (VexaF_ValidateContext(context) == nullptr) return VXERR_INVALID_CONTEXT;
    /* Checked again under the lifecycle lock; here it spares the device query. */
    if (!VexaF_GateOpen(context)) return VXERR_HOST_INIT;
    StartDevicesAsked devices = {-1, (flags & VX_FLAG_INPUT) ? 2 : 0, -1,
                                 (flags & VX_FLAG_NO_OUTPUT) == 0 ? 2 : 0, true};
    /* A start without a device opens nothing, so the default devices (whose lookup brings the
     * audio libraries up, some milliseconds) are looked up only when a stream is opened, or
     * when a later shared start names devices to compare with. Without an audio server the
     * default output may be -1; the two channels stay. */
    const bool noDevice = (flags & (VX_FLAG_NO_DEVICE | VX_FLAG_PRINT_OUTPUT)) != 0;
    if (!noDevice) LookUpDefaults(flags, &devices);
    return StartDevices(context, flags, frameRate, devices);
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

int32_t Vexa_SetRenderThreads(VexaContext *context, int32_t count) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    if (count < 1 || count > VEXA_MAX_RENDER_THREADS) return VXERR_OUT_OF_RANGE;
    VexaLifecycleLock lifecycle(context);
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    if (context->vxf_StartCount > 0) {
        const int32_t result = VexaF_SetRenderWorkers(context, count - 1);
        if (result < 0) {
            VexaF_SetRenderWorkers(context, RenderThreads(context) - 1);
            return result;
        }
    }
    vx_store(context->vxf_RenderThreads, count); /* the next batch plans for it */
    return 0;
}

int32_t Vexa_GetRenderThreads(VexaContext *context) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    VexaCall call(context, VX_CALL_GATE);
    if (call.status() < 0) return call.status();
    return RenderThreads(context);
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
