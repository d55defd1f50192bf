/*
 * vx_paudio.cpp - the PortAudio stream: opening, starting, stopping and closing it, the
 * device callback that drives the synthesis back end, waiting for ticks against the running
 * stream, and the stream's CPU load.
 */
#include <chrono>
#include <cstdio>
#include <cstring>

#include "vx_host.h"
#include "vx_pa.h"
#include "vx_synth.h"
#include "vx_things.h"

namespace {
double VexaS_GetUsage(VexaContext *context);
} // namespace

namespace {

constexpr unsigned long kFramesPerTick = VX_FRAMES_PER_TICK;

/* PortAudio v19 hands the callback a time record and status flags; the engine's callback
 * takes the stream time as a plain double. Its result maps directly: 0 is paContinue and
 * 1 is paComplete (stop calling, finish the stream). */
int StreamCallback(const void *input, void *output, unsigned long frameCount,
                   const PaStreamCallbackTimeInfo *timeInfo, PaStreamCallbackFlags,
                   void *userData) {
    const double outTime = timeInfo != nullptr ? timeInfo->outputBufferDacTime : 0.0;
    VexaContext *context = static_cast<VexaContext *>(userData);
    __atomic_add_fetch(&context->vxf_CallbacksInside, 1u, __ATOMIC_ACQ_REL);
    const int result = VexaCallback(input, output, frameCount, outTime, userData);
    __atomic_sub_fetch(&context->vxf_CallbacksInside, 1u, __ATOMIC_RELEASE);
    return result;
}

/* "0 buffers, let PortAudio choose": ask for the device's own default low latency. */
PaTime DefaultLatency(PaDeviceIndex device, bool input) {
    const PaDeviceInfo *info = Pa_GetDeviceInfo(device);
    if (info == nullptr) return 0.0;
    return input ? info->defaultLowInputLatency : info->defaultLowOutputLatency;
}

void StopStream(void *stream) {
    const PaError result = Pa_StopStream(static_cast<PaStream *>(stream));
    if (result != paNoError) {
        printf("Pa_StopStream error: %s\n", Pa_GetErrorText(result));
        fflush(stdout);
    }
}

/* Whether the stream's audio server has gone away: no callback for a while, and either a JACK
 * server died since the stream opened or the stream stalled. (A JACK death concerns only the
 * streams on JACK; one on another host goes on calling back.) */
bool ServerGone(VexaContext *context) {
    const bool died = VexaF_AudioServerDeaths() != vx_load(context->vxf_StreamDeaths);
    if (!died && vx_load(context->vxf_StreamStalled) == 0) return false;
    const uint32_t callbacks = vx_load(context->vxf_CallbackCount);
    Pa_Sleep(50); /* a live stream calls back every 1.5 ms at 64 frames and 44100 Hz */
    return vx_load(context->vxf_CallbackCount) == callbacks;
}

/* Stops and closes the open stream and gives back the PortAudio initialisation that opened
 * it. The caller holds the PortAudio lock. */
void StopStreamLocked(VexaContext *context) {
    PaStream *stream = static_cast<PaStream *>(vx_load(context->vxf_Stream));
    if (stream == nullptr) return;
    if (ServerGone(context))
        VexaF_StopDeadStream(StopStream, stream);
    else
        StopStream(stream);
    /* A stop normally returns after the last callback; when the server died, PortAudio's own
     * wait is cut short, and a callback that was running then may still be finishing its
     * batch in the buffers that the close frees. It never blocks: wait for it to leave. */
    for (int i = 0; i < 1000 && __atomic_load_n(&context->vxf_CallbacksInside, __ATOMIC_ACQUIRE) != 0;
         i++)
        Pa_Sleep(1);
    const PaError result = Pa_CloseStream(stream);
    if (result != paNoError) {
        printf("Pa_CloseStream error: %s\n", Pa_GetErrorText(result));
        fflush(stdout);
    }
    vx_store(context->vxf_Stream, static_cast<void *>(nullptr));
    __atomic_add_fetch(&context->vxf_StreamSerial, 1u, __ATOMIC_RELEASE);
    Pa_Terminate();
}

} // namespace

/* Runs on PortAudio's audio thread. Each whole tick of the buffer is one batch; PortAudio is
 * asked for 64 frames per call, but should it hand a different count, only whole ticks are
 * computed, the rest of the output is left silent and the rest of the input unread, so
 * nothing outside the given buffers is ever touched. */
int VexaCallback(const void *inputBuffer, void *outputBuffer, unsigned long framesPerBuffer,
                 double, void *userData) {
    VexaContext *context = static_cast<VexaContext *>(userData);
    vx_store(context->vxf_CallbackCount, vx_load(context->vxf_CallbackCount) + 1u);
    if (vx_load(context->vxf_StreamStalled) != 0)
        vx_store(context->vxf_StreamStalled, static_cast<int32_t>(0)); /* the stream is back */
    vx_store(context->vxf_FramesInCallback,
             static_cast<int32_t>(framesPerBuffer > 0x7fffffffUL ? 0x7fffffffUL
                                                                 : framesPerBuffer));

    const float *input = static_cast<const float *>(inputBuffer);
    float *output = static_cast<float *>(outputBuffer);
    const int32_t inputChannels = context->vxf_InputChannels > 0 ? context->vxf_InputChannels : 0;
    const int32_t outputChannels =
        context->vxf_OutputChannels > 0 ? context->vxf_OutputChannels : 0;
    const size_t inputStep = kFramesPerTick * static_cast<size_t>(inputChannels);
    const size_t outputStep = kFramesPerTick * static_cast<size_t>(outputChannels);

    int status = 0;
    unsigned long framesLeft = framesPerBuffer;
    while (framesLeft >= kFramesPerTick) {
        /* The batch is handed the stream's load (PortAudio measures it between callbacks). */
        const int32_t result =
            VexaB_SynthesizeBatch(context, input, output, VexaS_GetUsage(context));
        framesLeft -= kFramesPerTick;
        if (input != nullptr) input += inputStep;
        if (output != nullptr) output += outputStep;
        if (result < 0) {
            status = 1; /* the batch posted its error; PortAudio stops calling */
            break;
        }
    }
    if (output != nullptr && framesLeft > 0)
        memset(output, 0, framesLeft * static_cast<size_t>(outputChannels) * sizeof(float));
    if (status != 0) vx_store(context->vxf_StreamEnded, static_cast<int32_t>(1));
    return status;
}

int32_t VexaF_StartAudio(VexaContext *context, uint32_t flags, double *frameRate) {
    if ((flags & VX_FLAG_NO_DEVICE) != 0) return 0;

    std::lock_guard<std::mutex> guard(VexaF_PortAudioLock());
    /* The initialisation's result is not examined: if it failed, opening fails and says so. */
    const bool initialized = Pa_Initialize() == paNoError;

    PaStreamParameters inputParameters = {};
    inputParameters.device = context->vxf_InputDevice;
    inputParameters.channelCount = context->vxf_InputChannels;
    inputParameters.sampleFormat = paFloat32;
    inputParameters.suggestedLatency = DefaultLatency(context->vxf_InputDevice, true);
    inputParameters.hostApiSpecificStreamInfo = nullptr;

    PaStreamParameters outputParameters = {};
    outputParameters.device = context->vxf_OutputDevice;
    outputParameters.channelCount = context->vxf_OutputChannels;
    outputParameters.sampleFormat = paFloat32;
    outputParameters.suggestedLatency = DefaultLatency(context->vxf_OutputDevice, false);
    outputParameters.hostApiSpecificStreamInfo = nullptr;

    const double rate = frameRate != nullptr ? *frameRate : context->vxb_FrameRate;
    vx_store(context->vxf_StreamEnded, static_cast<int32_t>(0));
    vx_store(context->vxf_StreamStalled, static_cast<int32_t>(0));
    vx_store(context->vxf_StreamDeaths, VexaF_AudioServerDeaths());

    PaStream *stream = nullptr;
    PaError result = Pa_OpenStream(
        &stream, context->vxf_InputDevice == paNoDevice ? nullptr : &inputParameters,
        context->vxf_OutputDevice == paNoDevice ? nullptr : &outputParameters, rate,
        kFramesPerTick, paNoFlag, StreamCallback, context);
    if (result != paNoError) {
        printf("Pa_OpenStream error: %s\n", Pa_GetErrorText(result));
        if (initialized) Pa_Terminate(); /* no stream holds this initialisation */
    } else {
        vx_store(context->vxf_Stream, static_cast<void *>(stream));
        __atomic_add_fetch(&context->vxf_StreamSerial, 1u, __ATOMIC_RELEASE);
        result = Pa_StartStream(stream);
        if (result == paNoError) return 0;
        printf("Pa_StartStream error: %s\n", Pa_GetErrorText(result));
    }
    fflush(stdout);
    printf("VexaF_StartAudio failed!\n");
    fflush(stdout);
    StopStreamLocked(context);
    return VXERR_HOST_INIT;
}

int32_t VexaF_StopAudio(VexaContext *context) {
    if (vx_load(context->vxf_Stream) == nullptr) return 0;
    std::lock_guard<std::mutex> guard(VexaF_PortAudioLock());
    StopStreamLocked(context);
    return 0;
}

int32_t VexaF_IsEngineRunning(VexaContext *context) {
    return vx_load(context->vxf_Stream) != nullptr ? 1 : 0;
}

/* Polls the tick count the audio thread writes; takes no lock. Returns -65 when no stream is
 * open, or when the stream it found was closed meanwhile (even if another has been opened
 * since), and -73 when the callback has stopped the stream after a failed batch, or when the
 * stream has stalled: no callback for VX_STREAM_STALL_MS while it is open (its audio server
 * died or hangs), since the count will then never reach the tick. A stall is remembered until
 * the next callback, so that later waits return at once. It sleeps in slices of at most
 * kSleepSliceMs, so that a closing stream ends the wait promptly, and runs onWake (when given)
 * after each slice. */
int32_t VXAudio_SleepUntilTick(VexaContext *context, int32_t tick,
                               void (*onWake)(VexaContext *context)) {
    constexpr double kSleepSliceMs = 10.0;
    const uint32_t serial = __atomic_load_n(&context->vxf_StreamSerial, __ATOMIC_ACQUIRE);
    if (vx_load(context->vxf_Stream) == nullptr) return VXERR_NOT_STARTED;
    uint32_t callbacks = vx_load(context->vxf_CallbackCount);
    auto lastCallback = std::chrono::steady_clock::now();
    for (;;) {
        const int32_t missing = static_cast<int32_t>(
            static_cast<uint32_t>(tick) - static_cast<uint32_t>(vx_load(context->vxb_TickCount)));
        if (missing <= 0) return 0;
        if (vx_load(context->vxf_Stream) == nullptr ||
            __atomic_load_n(&context->vxf_StreamSerial, __ATOMIC_ACQUIRE) != serial)
            return VXERR_NOT_STARTED;
        if (vx_load(context->vxf_StreamEnded) != 0 || vx_load(context->vxf_StreamStalled) != 0)
            return VXERR_NOT_RUNNING;
        /* A JACK server died since the stream opened, and the stream has not called back
         * since this wait began: the stream was on it. */
        const bool died = VexaF_AudioServerDeaths() != vx_load(context->vxf_StreamDeaths);
        /* The missing ticks plus one more, in whole milliseconds, at most one slice. */
        const double frames = static_cast<double>(missing) * 64.0 + 64.0;
        double ms = frames * 1000.0 * vx_load(context->vxb_FramePeriod);
        if (ms > kSleepSliceMs) ms = kSleepSliceMs;
        Pa_Sleep(static_cast<long>(ms));
        if (onWake != nullptr) onWake(context);

        const uint32_t count = vx_load(context->vxf_CallbackCount);
        const auto now = std::chrono::steady_clock::now();
        if (count != callbacks) {
            callbacks = count;
            lastCallback = now;
        } else if (now - lastCallback >=
                   std::chrono::milliseconds(died ? VX_STREAM_DEATH_MS : VX_STREAM_STALL_MS)) {
            vx_store(context->vxf_StreamStalled, static_cast<int32_t>(1));
            return VXERR_NOT_RUNNING;
        }
    }
}

namespace {
double VexaS_GetUsage(VexaContext *context) {
    PaStream *stream = static_cast<PaStream *>(vx_load(context->vxf_Stream));
    if (stream == nullptr) return 0.0;
    return Pa_GetStreamCpuLoad(stream);
}
} // namespace

double Vexa_GetUsage(VexaContext *context) {
    /* Under the peer lock, so that no stop closes the stream while its load is read. */
    VexaCall call(context, VX_CALL_LOCK);
    if (call.status() == VXERR_INVALID_CONTEXT) return static_cast<double>(VXERR_INVALID_CONTEXT);
    if (call.status() < 0) return 0.0;
    return VexaS_GetUsage(call.context());
}
