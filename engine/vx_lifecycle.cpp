/*
 * vx_lifecycle.cpp - bringing an engine up and down (initialise/terminate and start/stop,
 * both counted so that several clients can share one engine), waiting for ticks, offline
 * rendering, starting and stopping units, priorities and the bench timer.
 */
#include <cstdio>
#include <cstdlib>

#include "vx_engine.h"

namespace {
constexpr int32_t kFramesPerTick = 64;
constexpr double kDefaultFrameRate = 44100.0;

/* The no-device path: the engine has been started with 0x04 and not stopped since. */
inline bool RunsWithoutDevice(const VexaContext *context) {
    return context->vxf_StartCount > 0 && (context->vxf_Flags & VX_FLAG_NO_DEVICE) != 0;
}
} // namespace

int32_t Vexa_Initialize(VexaContext *context) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    if (context->vxf_TraceLevel != 0) {
        printf("Vexa V%s %s%s%s", "14.2", "R", "", "-NoCapture");
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
        if (result < 0) return result;
        result = VXHost_Initialize(context);
        if (result < 0) return result;
    }
    context->vxf_InitCount++;
    return 0;
}

int32_t Vexa_Terminate(VexaContext *context) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    int32_t result = VexaF_ProcessCommandsFromBack(context);
    if (result < 0) return result;
    result = VXHost_ForbidPeers(context);
    if (result < 0) return result;
    if (context->vxf_InitCount != 1) {
        if (context->vxf_InitCount > 1) context->vxf_InitCount--;
        VXHost_PermitPeers(context);
        return 0;
    }

    /* Last termination. */
    VXHost_PermitPeers(context);
    result = Vexa_Stop(context);
    if (result < 0) return result;
    /* Starts that were never stopped would leave the device running (and its callback
     * consuming the bridge) while the bridge is torn down: the last termination stops the
     * engine for good. */
    if (context->vxf_StartCount > 0) {
        context->vxf_StartCount = 1;
        result = Vexa_Stop(context);
        if (result < 0) return result;
    }
    result = VXHost_ForbidPeers(context);
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
    /* Negative channel counts would move the batch's cursors backwards. */
    if (numInputChannels < 0 || numOutputChannels < 0) return VXERR_OUT_OF_RANGE;

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
        context->vxf_StartCount++;
        if (context->vxf_TraceLevel > 1) {
            printf("Vexa open in shared mode. syncon->front.vxf_StartCount = %d\n",
                   context->vxf_StartCount);
            fflush(stdout);
        }
        return 0;
    }

    context->vxf_StartCount++;
    context->vxf_Flags = derived;
    context->vxf_InputDevice = inputDeviceID;
    context->vxf_InputChannels = numInputChannels;
    context->vxf_OutputDevice = outputDeviceID;
    context->vxf_OutputChannels = numOutputChannels;
    if (derived & VX_FLAG_PRINT_OUTPUT) {
        size_t count = static_cast<size_t>(kFramesPerTick) * static_cast<size_t>(numOutputChannels);
        context->vxf_OfflineBuffer =
            static_cast<float *>(calloc(count > 0 ? count : 1, sizeof(float)));
        if (context->vxf_OfflineBuffer == nullptr) {
            context->vxf_StartCount--;
            return VXERR_NO_MEMORY;
        }
    }
    context->vxb_FrameRate = frameRate;
    context->vxb_FramePeriod = 1.0 / frameRate;
    context->vxb_FreqScale = static_cast<float>(2.0 / frameRate);
    int32_t result = VexaF_StartAudio(context, derived, &frameRate);
    if (result < 0) {
        context->vxf_StartCount--;
        free(context->vxf_OfflineBuffer);
        context->vxf_OfflineBuffer = nullptr;
        return result;
    }
    return 0;
}

int32_t Vexa_Start(VexaContext *context, int32_t flags, double frameRate) {
    if (VexaF_ValidateContext(context) == nullptr) return VXERR_INVALID_CONTEXT;
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
    int32_t result = VexaF_ProcessCommandsFromBack(context);
    if (result < 0) return result;
    result = VXHost_ForbidPeers(context);
    if (result < 0) return result;
    if (context->vxf_StartCount == 1) {
        context->vxf_StartCount = 0;
        VexaF_StopAudio(context);
        free(context->vxf_OfflineBuffer);
        context->vxf_OfflineBuffer = nullptr;
    } else if (context->vxf_StartCount > 1) {
        context->vxf_StartCount--;
    }
    VXHost_PermitPeers(context);
    return 0;
}

int32_t Vexa_StartEngine(VexaContext *context, int32_t flags, double frameRate) {
    int32_t result = Vexa_Initialize(context);
    if (result < 0) return result;
    return Vexa_Start(context, flags, frameRate);
}

int32_t Vexa_StopEngine(VexaContext *context) { return Vexa_Terminate(context); }

/* ---- Time ------------------------------------------------------------------------- */

int32_t VexaS_CalcUntilTick(VexaContext *context, int32_t tick) {
    int32_t result = 0;
    while (result >= 0 &&
           static_cast<int32_t>(static_cast<uint32_t>(tick) -
                                static_cast<uint32_t>(context->vxb_TickCount)) > 0)
        result = VexaB_SynthesizeBatch(context, nullptr, context->vxf_OfflineBuffer);
    return result;
}

int32_t VexaF_SleepUntilTick(VexaContext *context, int32_t tick) {
    if (!RunsWithoutDevice(context)) return VXAudio_SleepUntilTick(context, tick);
    int32_t result = VXHost_ForbidPeers(context);
    if (result < 0) return result;
    result = VexaS_CalcUntilTick(context, tick);
    VXHost_PermitPeers(context);
    return result;
}

int32_t Vexa_SleepUntilTick(VexaContext *context, int32_t tick) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    return VexaF_SleepUntilTick(context, tick);
}

int32_t Vexa_SleepForTicks(VexaContext *context, int32_t numTicks) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    const uint32_t now = static_cast<uint32_t>(vx_load(context->vxb_TickCount));
    return VexaF_SleepUntilTick(context,
                                static_cast<int32_t>(now + static_cast<uint32_t>(numTicks)));
}

int32_t Vexa_RenderTicks(VexaContext *context, const float *input, float *output,
                         int32_t numTicks) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    if (!RunsWithoutDevice(context)) return VXERR_NOT_STARTED;
    int32_t result = VXHost_ForbidPeers(context);
    if (result < 0) return result;
    const size_t inputStep = static_cast<size_t>(kFramesPerTick) * context->vxf_InputChannels;
    const size_t outputStep = static_cast<size_t>(kFramesPerTick) * context->vxf_OutputChannels;
    for (int32_t i = 0; i < numTicks && result >= 0; i++) {
        result = VexaB_SynthesizeBatch(context, input, output);
        if (input != nullptr) input += inputStep;
        if (output != nullptr) output += outputStep;
    }
    VXHost_PermitPeers(context);
    return result < 0 ? result : 0;
}

int32_t Vexa_CheckEngineErrors(VexaContext *context) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    int32_t result = VXHost_ForbidPeers(context);
    if (result < 0) return result;
    result = VexaF_ProcessCommandsFromBack(context);
    VXHost_PermitPeers(context);
    return result;
}

/* ---- Units ------------------------------------------------------------------------ */

int32_t VexaF_RequestUnitStop(VexaContext *context, int32_t tick, VexaUnit *unit) {
    return VexaF_SendCommand(context, CMD_STOP_UNIT, tick, unit, nullptr, 0, 0.0f, nullptr);
}

namespace {
/* Common entry of the unit calls that send a command: context checked by the caller. */
int32_t EnterUnitCall(VexaContext *context, int32_t token, VexaUnit **outUnit) {
    int32_t result = VexaF_ProcessCommandsFromBack(context);
    if (result < 0) return result;
    result = VXHost_ForbidPeers(context);
    if (result < 0) return result;
    VexaThing *thing = nullptr;
    result = VexaF_ValidateThing(context, token, VXT_UNIT, &thing);
    if (result < 0) {
        VXHost_PermitPeers(context);
        return result;
    }
    *outUnit = reinterpret_cast<VexaUnit *>(thing);
    return 0;
}
} // namespace

int32_t Vexa_StartUnitAt(VexaContext *context, int32_t tick, int32_t unitToken) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    VexaUnit *unit = nullptr;
    int32_t result = EnterUnitCall(context, unitToken, &unit);
    if (result < 0) return result;
    /* Members run as part of their circuit. */
    if (unit->parent == nullptr)
        result = VexaF_SendCommand(context, CMD_START_UNIT, tick, unit, nullptr, 0, 0.0f, nullptr);
    VXHost_PermitPeers(context);
    return result;
}

int32_t Vexa_StartUnit(VexaContext *context, int32_t unitToken) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    return Vexa_StartUnitAt(context, vx_load(context->vxb_TickCount), unitToken);
}

int32_t Vexa_StopUnitAt(VexaContext *context, int32_t tick, int32_t unitToken) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    VexaUnit *unit = nullptr;
    int32_t result = EnterUnitCall(context, unitToken, &unit);
    if (result < 0) return result;
    result = VexaF_RequestUnitStop(context, tick, unit);
    VXHost_PermitPeers(context);
    return result;
}

int32_t Vexa_StopUnit(VexaContext *context, int32_t unitToken) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    return Vexa_StopUnitAt(context, vx_load(context->vxb_TickCount), unitToken);
}

int32_t Vexa_SetPriority(VexaContext *context, int32_t unitToken, int32_t priority) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    int32_t result = VexaF_ProcessCommandsFromBack(context);
    if (result < 0) return result;
    /* The peer lock only keeps the unit from being freed by another client thread while it is
     * used; no command is sent, and the back end reads the priority at the unit's next start. */
    result = VXHost_ForbidPeers(context);
    if (result < 0) return result;
    VexaThing *thing = nullptr;
    result = VexaF_ValidateThing(context, unitToken, VXT_UNIT, &thing);
    if (result >= 0 && static_cast<uint32_t>(priority) > 2) result = VXERR_INVALID_PRIORITY;
    if (result >= 0)
        vx_store(reinterpret_cast<VexaUnit *>(thing)->priority, static_cast<uint8_t>(priority));
    VXHost_PermitPeers(context);
    return result;
}

int32_t Vexa_GetPriority(VexaContext *context, int32_t unitToken) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    int32_t result = VexaF_ProcessCommandsFromBack(context);
    if (result < 0) return result;
    result = VXHost_ForbidPeers(context);
    if (result < 0) return result;
    VexaThing *thing = nullptr;
    result = VexaF_ValidateThing(context, unitToken, VXT_UNIT, &thing);
    if (result >= 0) result = vx_load(reinterpret_cast<VexaUnit *>(thing)->priority);
    VXHost_PermitPeers(context);
    return result;
}

/* ---- Bench timer ------------------------------------------------------------------ */

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
