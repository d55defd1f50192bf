/*
 * vx_jni_engine.cpp - the native half of the package-private class com.quorbit.velto.Native,
 * the calls that the object API (Engine, Unit, the ports) needs beside those of Vexa.
 *
 * The conventions of vx_jni.cpp: context handles go through the handle table (an unknown
 * handle gives -63), and array arguments are checked (a null array where one is required gives
 * -84, a length other than the one the call needs gives -79) before the context is looked at.
 *
 * Offline rendering: the engine writes 64 * numTicks frames of the channel counts the context
 * was started with, counts this file cannot read through velto.h. So the Java arrays are never
 * handed to the engine: each tick is computed into a scratch block large enough for any channel
 * count the engine accepts, and the frames of the channel counts the caller declared are copied
 * between the block and the arrays. A caller that declares other counts than the start's gets
 * wrongly laid out frames, but no write outside an array. A null input array renders silence
 * (the engine's null input would leave LineIn and ChannelIn units holding their last frames).
 */
#include <jni.h>

#include <cstdint>
#include <vector>

#include "com_quorbit_velto_Native.h"
#include "velto.h"
#include "vx_jni_handles.h"

namespace {
using vxjni::OnContext;

constexpr jint kFramesPerTick = 64;
constexpr size_t kScratchValues = static_cast<size_t>(kFramesPerTick) * VX_MAX_CHANNELS;

/* The scratch blocks of the calling thread, one tick of the most channels each way. */
float *ScratchInput() {
    thread_local std::vector<float> block(kScratchValues, 0.0f);
    return block.data();
}
float *ScratchOutput() {
    thread_local std::vector<float> block(kScratchValues, 0.0f);
    return block.data();
}

/* What a null input array stands for: silence, for any channel count. */
const float kSilence[kScratchValues] = {};

/* Checks an optional frame array against the length numTicks ticks of `channels` need. */
jint CheckFrames(JNIEnv *env, jfloatArray array, jint channels, jint numTicks) {
    if (channels < 0 || channels > VX_MAX_CHANNELS) return VXERR_OUT_OF_RANGE;
    if (array == nullptr) return 0;
    const int64_t needed =
        static_cast<int64_t>(numTicks > 0 ? numTicks : 0) * kFramesPerTick * channels;
    return env->GetArrayLength(array) == needed ? 0 : VXERR_INTERNAL_1;
}

} // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Native_renderTicks(JNIEnv *env, jclass, jint handle,
                                                                 jfloatArray input,
                                                                 jint inputChannels,
                                                                 jfloatArray output,
                                                                 jint outputChannels,
                                                                 jint numTicks) {
    jint checked = CheckFrames(env, input, inputChannels, numTicks);
    if (checked == 0) checked = CheckFrames(env, output, outputChannels, numTicks);
    if (checked != 0) return checked;
    return OnContext(handle, [&](VexaContext *c) {
        /* Nothing to compute: the engine still answers for the context's state. */
        if (numTicks <= 0) return Vexa_RenderTicks(c, nullptr, nullptr, numTicks);
        float *in = input != nullptr ? ScratchInput() : nullptr;
        const float *source = in != nullptr ? in : kSilence;
        float *out = output != nullptr ? ScratchOutput() : nullptr;
        const jsize inStep = kFramesPerTick * inputChannels;
        const jsize outStep = kFramesPerTick * outputChannels;
        for (jint tick = 0; tick < numTicks; tick++) {
            if (in != nullptr) env->GetFloatArrayRegion(input, tick * inStep, inStep, in);
            const int32_t result = Vexa_RenderTicks(c, source, out, 1);
            if (result < 0) return result;
            if (out != nullptr) env->SetFloatArrayRegion(output, tick * outStep, outStep, out);
        }
        return 0;
    });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Native_sleepForTicks(JNIEnv *, jclass, jint handle,
                                                                   jint numTicks) {
    return OnContext(handle, [&](VexaContext *c) { return Vexa_SleepForTicks(c, numTicks); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Native_readPort(JNIEnv *env, jclass, jint handle,
                                                              jint unit, jint portID,
                                                              jint partNum, jdoubleArray value) {
    if (value == nullptr) return VXERR_OUT_OF_RANGE;
    if (env->GetArrayLength(value) != 1) return VXERR_INTERNAL_1;
    return OnContext(handle, [&](VexaContext *c) {
        double read = 0.0;
        const int32_t result =
            Vexa_ReadPort(c, unit, static_cast<uint32_t>(portID), partNum, &read);
        if (result >= 0) env->SetDoubleArrayRegion(value, 0, 1, &read);
        return result;
    });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Native_readPortFrames(JNIEnv *env, jclass,
                                                                    jint handle, jint unit,
                                                                    jint portID, jint partNum,
                                                                    jintArray frames) {
    if (frames == nullptr) return VXERR_OUT_OF_RANGE;
    if (env->GetArrayLength(frames) != 1) return VXERR_INTERNAL_1;
    return OnContext(handle, [&](VexaContext *c) {
        int32_t read = 0;
        const int32_t result =
            Vexa_ReadPortFrames(c, unit, static_cast<uint32_t>(portID), partNum, &read);
        if (result >= 0) {
            const jint value = read;
            env->SetIntArrayRegion(frames, 0, 1, &value);
        }
        return result;
    });
}

} // extern "C"
