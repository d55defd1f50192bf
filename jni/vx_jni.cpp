/*
 * vx_jni.cpp - the native half of the Java class com.quorbit.velto.Vexa.
 *
 * One exported function per native method, each a direct forward to the engine's C call.
 * Beside forwarding, the binding does three things:
 *  - it turns the 32-bit context handles the Java side carries back into contexts, through a
 *    process-wide handle table (a handle is a table slot plus a serial, so that a stale handle
 *    never names a newer context; an unknown handle gives -63);
 *  - it exposes Java arrays to the array-taking variants of the data calls, after checking
 *    the declared length against the array's real length (-79 before anything is touched);
 *  - it keeps a context alive while a call on it is in flight: deleteContext takes the handle
 *    out of the table at once and waits until the calls already using it have returned.
 * The handle table (vx_jni_handles.cpp) is client-side state only; the audio thread never
 * touches it. The binding is a plain client of velto.h.
 */
#include <jni.h>

#include <cstdint>

#include "com_quorbit_velto_Vexa.h"
#include "velto.h"
#include "vx_jni_handles.h"

namespace {
using vxjni::OnContext;
using vxjni::OnContextDouble;

/* ---- Java arrays ---------------------------------------------------------------------- */
template <typename JArray> struct ArrayAccess;

template <> struct ArrayAccess<jshortArray> {
    static jshort *Get(JNIEnv *env, jshortArray a) { return env->GetShortArrayElements(a, nullptr); }
    static void Release(JNIEnv *env, jshortArray a, jshort *p) {
        env->ReleaseShortArrayElements(a, p, 0);
    }
};
template <> struct ArrayAccess<jdoubleArray> {
    static jdouble *Get(JNIEnv *env, jdoubleArray a) {
        return env->GetDoubleArrayElements(a, nullptr);
    }
    static void Release(JNIEnv *env, jdoubleArray a, jdouble *p) {
        env->ReleaseDoubleArrayElements(a, p, 0);
    }
};
template <> struct ArrayAccess<jintArray> {
    static jint *Get(JNIEnv *env, jintArray a) { return env->GetIntArrayElements(a, nullptr); }
    static void Release(JNIEnv *env, jintArray a, jint *p) { env->ReleaseIntArrayElements(a, p, 0); }
};
template <> struct ArrayAccess<jbyteArray> {
    static jbyte *Get(JNIEnv *env, jbyteArray a) { return env->GetByteArrayElements(a, nullptr); }
    static void Release(JNIEnv *env, jbyteArray a, jbyte *p) {
        env->ReleaseByteArrayElements(a, p, 0);
    }
};

/* Exposes an array's elements to call(elements) and releases them with mode 0 (copied back
 * when the virtual machine made a copy). When the VM cannot provide them, the engine is not
 * called: its pending OutOfMemoryError is cleared and -89 is the result, so that the Java
 * caller sees the failure as a result code like every other. */
template <typename JArray, typename Call> jint WithElements(JNIEnv *env, JArray array, Call &&call) {
    auto *elements = ArrayAccess<JArray>::Get(env, array);
    if (elements == nullptr) {
        if (env->ExceptionCheck()) env->ExceptionClear();
        return VXERR_NO_MEMORY;
    }
    jint result = call(elements);
    ArrayAccess<JArray>::Release(env, array, elements);
    return result;
}

/* The frame-array methods: a null array gives -84 and a declared length other than the
 * array's own gives -79, both before anything is read or written; then the context is
 * resolved (-63), the elements are exposed and call(context, elements, n) runs. The text
 * methods below do the same without a context. */
template <typename JArray, typename Call>
jint FrameArrayCall(JNIEnv *env, jint handle, JArray array, jint declaredLength, Call &&call) {
    if (array == nullptr) return VXERR_OUT_OF_RANGE;
    jsize n = env->GetArrayLength(array);
    if (n != declaredLength) return VXERR_INTERNAL_1;
    return OnContext(handle, [&](VexaContext *context) {
        return WithElements(env, array, [&](auto *elements) { return call(context, elements, n); });
    });
}

template <typename Call>
jint TextArrayCall(JNIEnv *env, jbyteArray array, jint declaredLength, Call &&call) {
    if (array == nullptr) return VXERR_OUT_OF_RANGE;
    jsize n = env->GetArrayLength(array);
    if (n != declaredLength) return VXERR_INTERNAL_1;
    return WithElements(env, array, [&](jbyte *elements) {
        return call(reinterpret_cast<char *>(elements), static_cast<int32_t>(n));
    });
}

inline uint32_t U32(jint value) { return static_cast<uint32_t>(value); }

} // namespace

extern "C" {

/* ---- Contexts and lifecycle ----------------------------------------------------------- */
JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_createContext(JNIEnv *, jclass) {
    VexaContext *context = Vexa_CreateContext();
    if (context == nullptr) return 0;
    jint handle = vxjni::RegisterContext(context);
    if (handle == 0) Vexa_DeleteContext(context); /* no handle left for it */
    return handle;
}

JNIEXPORT void JNICALL Java_com_quorbit_velto_Vexa_deleteContext(JNIEnv *, jclass, jint handle) {
    VexaContext *context = vxjni::UnregisterContext(handle);
    if (context != nullptr) Vexa_DeleteContext(context);
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_initialize(JNIEnv *, jclass, jint handle) {
    return OnContext(handle, [](VexaContext *c) { return Vexa_Initialize(c); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_terminate(JNIEnv *, jclass, jint handle) {
    return OnContext(handle, [](VexaContext *c) { return Vexa_Terminate(c); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_startEngine(JNIEnv *, jclass, jint handle,
                                                               jint flags, jdouble frameRate) {
    return OnContext(handle, [&](VexaContext *c) { return Vexa_StartEngine(c, flags, frameRate); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_stopEngine(JNIEnv *, jclass, jint handle) {
    return OnContext(handle, [](VexaContext *c) { return Vexa_StopEngine(c); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_start(JNIEnv *, jclass, jint handle, jint flags,
                                                         jdouble frameRate) {
    return OnContext(handle, [&](VexaContext *c) { return Vexa_Start(c, flags, frameRate); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_startDevices(
    JNIEnv *, jclass, jint handle, jint flags, jdouble frameRate, jint inputDeviceID,
    jint numInputChannels, jint outputDeviceID, jint numOutputChannels) {
    return OnContext(handle, [&](VexaContext *c) {
        return Vexa_StartDevices(c, flags, frameRate, inputDeviceID, numInputChannels,
                                 outputDeviceID, numOutputChannels);
    });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_stop(JNIEnv *, jclass, jint handle) {
    return OnContext(handle, [](VexaContext *c) { return Vexa_Stop(c); });
}

/* ---- Things, units and time ----------------------------------------------------------- */
JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_delete(JNIEnv *, jclass, jint handle,
                                                          jint token) {
    return OnContext(handle, [&](VexaContext *c) { return Vexa_Delete(c, token); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_startUnit(JNIEnv *, jclass, jint handle,
                                                             jint unit) {
    return OnContext(handle, [&](VexaContext *c) { return Vexa_StartUnit(c, unit); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_stopUnit(JNIEnv *, jclass, jint handle,
                                                            jint unit) {
    return OnContext(handle, [&](VexaContext *c) { return Vexa_StopUnit(c, unit); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_startUnitAt(JNIEnv *, jclass, jint handle,
                                                               jint tick, jint unit) {
    return OnContext(handle, [&](VexaContext *c) { return Vexa_StartUnitAt(c, tick, unit); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_stopUnitAt(JNIEnv *, jclass, jint handle,
                                                              jint tick, jint unit) {
    return OnContext(handle, [&](VexaContext *c) { return Vexa_StopUnitAt(c, tick, unit); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_getObjectCount(JNIEnv *, jclass, jint handle) {
    return OnContext(handle, [](VexaContext *c) { return Vexa_GetObjectCount(c); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_getFrameCount(JNIEnv *, jclass, jint handle) {
    return OnContext(handle, [](VexaContext *c) { return Vexa_GetFrameCount(c); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_getTickCount(JNIEnv *, jclass, jint handle) {
    return OnContext(handle, [](VexaContext *c) { return Vexa_GetTickCount(c); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_sleepUntilTick(JNIEnv *, jclass, jint handle,
                                                                  jint tick) {
    return OnContext(handle, [&](VexaContext *c) { return Vexa_SleepUntilTick(c, tick); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_checkEngineErrors(JNIEnv *, jclass,
                                                                     jint handle) {
    return OnContext(handle, [](VexaContext *c) { return Vexa_CheckEngineErrors(c); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_getFramesPerTick(JNIEnv *, jclass,
                                                                    jint handle) {
    return OnContext(handle, [](VexaContext *c) { return Vexa_GetFramesPerTick(c); });
}

JNIEXPORT jdouble JNICALL Java_com_quorbit_velto_Vexa_getFrameRate(JNIEnv *, jclass,
                                                                   jint handle) {
    return OnContextDouble(handle, VXERR_INVALID_CONTEXT,
                           [](VexaContext *c) { return Vexa_GetFrameRate(c); });
}

JNIEXPORT jdouble JNICALL Java_com_quorbit_velto_Vexa_getTickRate(JNIEnv *, jclass, jint handle) {
    return OnContextDouble(handle, VXERR_INVALID_CONTEXT,
                           [](VexaContext *c) { return Vexa_GetTickRate(c); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_getVersion(JNIEnv *, jclass) {
    return Vexa_GetVersion();
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_setPriority(JNIEnv *, jclass, jint handle,
                                                               jint unit, jint priority) {
    return OnContext(handle, [&](VexaContext *c) { return Vexa_SetPriority(c, unit, priority); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_getPriority(JNIEnv *, jclass, jint handle,
                                                               jint unit) {
    return OnContext(handle, [&](VexaContext *c) { return Vexa_GetPriority(c, unit); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_createUnit(JNIEnv *, jclass, jint handle,
                                                              jint typeID, jint rate,
                                                              jint initArgument) {
    return OnContext(handle, [&](VexaContext *c) {
        return Vexa_CreateUnit(c, U32(typeID), rate, initArgument);
    });
}

/* The member count is checked against the array before the context is looked at: a negative
 * count, or more members than the array holds, gives -84. */
JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_createCircuit(JNIEnv *env, jclass, jint handle,
                                                                 jintArray units, jint count,
                                                                 jint flags) {
    if (count < 0 || units == nullptr) return VXERR_OUT_OF_RANGE;
    if (count > env->GetArrayLength(units)) return VXERR_OUT_OF_RANGE;
    return OnContext(handle, [&](VexaContext *c) {
        return WithElements(env, units, [&](jint *elements) {
            return Vexa_CreateCircuit(c, elements, count, flags);
        });
    });
}

/* ---- Ports and connections ------------------------------------------------------------ */
JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_setPort(JNIEnv *, jclass, jint handle,
                                                           jint unit, jint portID, jint partNum,
                                                           jdouble value) {
    return OnContext(handle, [&](VexaContext *c) {
        return Vexa_SetPort(c, unit, U32(portID), partNum, value);
    });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_setPortAt(JNIEnv *, jclass, jint handle,
                                                             jint tick, jint unit, jint portID,
                                                             jint partNum, jdouble value) {
    return OnContext(handle, [&](VexaContext *c) {
        return Vexa_SetPortAt(c, tick, unit, U32(portID), partNum, value);
    });
}

/* An unknown handle gives what the C call gives for an invalid context: -63 - 1000000.0,
 * since a port value of -63.0 is a value like any other. */
JNIEXPORT jdouble JNICALL Java_com_quorbit_velto_Vexa_getPort(JNIEnv *, jclass, jint handle,
                                                              jint unit, jint portID,
                                                              jint partNum) {
    return OnContextDouble(handle, VXERR_INVALID_CONTEXT - 1000000.0, [&](VexaContext *c) {
        return Vexa_GetPort(c, unit, U32(portID), partNum);
    });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_getPortFrames(JNIEnv *, jclass, jint handle,
                                                                 jint unit, jint portID,
                                                                 jint partNum) {
    return OnContext(handle, [&](VexaContext *c) {
        return Vexa_GetPortFrames(c, unit, U32(portID), partNum);
    });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_getNumParts(JNIEnv *, jclass, jint handle,
                                                               jint unit, jint portID) {
    return OnContext(handle, [&](VexaContext *c) { return Vexa_GetNumParts(c, unit, U32(portID)); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_setPortSignalType(JNIEnv *, jclass,
                                                                     jint handle, jint unit,
                                                                     jint portID, jint partNum,
                                                                     jint signalType) {
    return OnContext(handle, [&](VexaContext *c) {
        return Vexa_SetPortSignalType(c, unit, U32(portID), partNum, signalType);
    });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_getPortSignalType(JNIEnv *, jclass,
                                                                     jint handle, jint unit,
                                                                     jint portID, jint partNum) {
    return OnContext(handle, [&](VexaContext *c) {
        return Vexa_GetPortSignalType(c, unit, U32(portID), partNum);
    });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_connectUnits(JNIEnv *, jclass, jint handle,
                                                                jint sourceUnit,
                                                                jint sourcePortID,
                                                                jint sourcePart, jint targetUnit,
                                                                jint targetPortID,
                                                                jint targetPart) {
    return OnContext(handle, [&](VexaContext *c) {
        return Vexa_ConnectUnits(c, sourceUnit, U32(sourcePortID), sourcePart, targetUnit,
                                 U32(targetPortID), targetPart);
    });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_disconnectUnits(JNIEnv *, jclass, jint handle,
                                                                   jint unit, jint portID,
                                                                   jint partNum) {
    return OnContext(handle, [&](VexaContext *c) {
        return Vexa_DisconnectUnits(c, unit, U32(portID), partNum);
    });
}

/* ---- Samples, envelopes, queues and tables -------------------------------------------- */
JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_createSample(JNIEnv *, jclass, jint handle,
                                                                jint numFrames,
                                                                jint channelsPerFrame) {
    return OnContext(handle, [&](VexaContext *c) {
        return Vexa_CreateSample(c, U32(numFrames), channelsPerFrame);
    });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_readSample(JNIEnv *env, jclass, jint handle,
                                                              jint sample, jint startFrame,
                                                              jint numFrames, jshortArray data,
                                                              jint offset, jint length) {
    return FrameArrayCall(env, handle, data, length,
                          [&](VexaContext *c, jshort *elements, jsize n) {
                              return Vexa_ReadSampleJava(c, sample, U32(startFrame),
                                                         U32(numFrames), elements, U32(offset),
                                                         U32(n));
                          });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_writeSample(JNIEnv *env, jclass, jint handle,
                                                               jint sample, jint startFrame,
                                                               jint numFrames, jshortArray data,
                                                               jint offset, jint length) {
    return FrameArrayCall(env, handle, data, length,
                          [&](VexaContext *c, jshort *elements, jsize n) {
                              return Vexa_WriteSampleJava(c, sample, U32(startFrame),
                                                          U32(numFrames), elements, U32(offset),
                                                          U32(n));
                          });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_createEnvelope(JNIEnv *, jclass, jint handle,
                                                                  jint numFrames) {
    return OnContext(handle, [&](VexaContext *c) { return Vexa_CreateEnvelope(c, U32(numFrames)); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_readEnvelope(JNIEnv *env, jclass, jint handle,
                                                                jint envelope, jint startFrame,
                                                                jint numFrames,
                                                                jdoubleArray data, jint offset,
                                                                jint length) {
    return FrameArrayCall(env, handle, data, length,
                          [&](VexaContext *c, jdouble *elements, jsize n) {
                              return Vexa_ReadEnvelopeJava(c, envelope, U32(startFrame),
                                                           U32(numFrames), elements, U32(offset),
                                                           U32(n));
                          });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_writeEnvelope(JNIEnv *env, jclass,
                                                                 jint handle, jint envelope,
                                                                 jint startFrame, jint numFrames,
                                                                 jdoubleArray data, jint offset,
                                                                 jint length) {
    return FrameArrayCall(env, handle, data, length,
                          [&](VexaContext *c, jdouble *elements, jsize n) {
                              return Vexa_WriteEnvelopeJava(c, envelope, U32(startFrame),
                                                            U32(numFrames), elements,
                                                            U32(offset), U32(n));
                          });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_queueData(JNIEnv *, jclass, jint handle,
                                                             jint unit, jint portID, jint data,
                                                             jint startFrame, jint numFrames,
                                                             jint flags) {
    return OnContext(handle, [&](VexaContext *c) {
        return Vexa_QueueData(c, unit, U32(portID), data, U32(startFrame), U32(numFrames),
                              U32(flags));
    });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_queueDataAt(JNIEnv *, jclass, jint handle,
                                                               jint tick, jint unit, jint portID,
                                                               jint data, jint startFrame,
                                                               jint numFrames, jint flags) {
    return OnContext(handle, [&](VexaContext *c) {
        return Vexa_QueueDataAt(c, tick, unit, U32(portID), data, U32(startFrame),
                                U32(numFrames), U32(flags));
    });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_clearDataQueue(JNIEnv *, jclass, jint handle,
                                                                  jint unit, jint portID) {
    return OnContext(handle,
                     [&](VexaContext *c) { return Vexa_ClearDataQueue(c, unit, U32(portID)); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_clearDataQueueAt(JNIEnv *, jclass,
                                                                    jint handle, jint tick,
                                                                    jint unit, jint portID) {
    return OnContext(handle, [&](VexaContext *c) {
        return Vexa_ClearDataQueueAt(c, tick, unit, U32(portID));
    });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_createTable(JNIEnv *, jclass, jint handle,
                                                               jint numFrames) {
    return OnContext(handle, [&](VexaContext *c) { return Vexa_CreateTable(c, U32(numFrames)); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_writeTable(JNIEnv *env, jclass, jint handle,
                                                              jint table, jint startFrame,
                                                              jint numFrames, jshortArray data,
                                                              jint offset, jint length) {
    return FrameArrayCall(env, handle, data, length,
                          [&](VexaContext *c, jshort *elements, jsize n) {
                              return Vexa_WriteTableJava(c, table, U32(startFrame),
                                                         U32(numFrames), elements, U32(offset),
                                                         U32(n));
                          });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_writeTableDoubles(JNIEnv *env, jclass,
                                                                     jint handle, jint table,
                                                                     jint startFrame,
                                                                     jint numFrames,
                                                                     jdoubleArray data,
                                                                     jint offset, jint length) {
    return FrameArrayCall(env, handle, data, length,
                          [&](VexaContext *c, jdouble *elements, jsize n) {
                              return Vexa_WriteTableDoublesJava(c, table, U32(startFrame),
                                                                U32(numFrames), elements,
                                                                U32(offset), U32(n));
                          });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_useTable(JNIEnv *, jclass, jint handle,
                                                            jint unit, jint portID, jint partNum,
                                                            jint table) {
    return OnContext(handle, [&](VexaContext *c) {
        return Vexa_UseTable(c, unit, U32(portID), partNum, table);
    });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_setRenderThreads(JNIEnv *, jclass, jint handle,
                                                                    jint count) {
    return OnContext(handle, [&](VexaContext *c) { return Vexa_SetRenderThreads(c, count); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_getRenderThreads(JNIEnv *, jclass, jint handle) {
    return OnContext(handle, [](VexaContext *c) { return Vexa_GetRenderThreads(c); });
}

/* ---- Devices, texts and debugging ----------------------------------------------------- */
JNIEXPORT jdouble JNICALL Java_com_quorbit_velto_Vexa_getUsage(JNIEnv *, jclass, jint handle) {
    return OnContextDouble(handle, VXERR_INVALID_CONTEXT,
                           [](VexaContext *c) { return Vexa_GetUsage(c); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_errorCodeToText(JNIEnv *env, jclass, jint code,
                                                                   jbyteArray text, jint length) {
    return TextArrayCall(env, text, length, [&](char *buffer, int32_t size) {
        return Vexa_ErrorCodeToTextJava(code, buffer, size);
    });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_debug(JNIEnv *, jclass, jint handle, jint code,
                                                         jint argument) {
    return OnContext(handle, [&](VexaContext *c) { return Vexa_Debug(c, code, argument); });
}

/* Vexa_SetTrace gives no result; the method answers 0 once the level is set. */
JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_setTrace(JNIEnv *, jclass, jint handle,
                                                            jint level) {
    return OnContext(handle, [&](VexaContext *c) {
        Vexa_SetTrace(c, level);
        return 0;
    });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_getTrace(JNIEnv *, jclass, jint handle) {
    return OnContext(handle, [](VexaContext *c) { return Vexa_GetTrace(c); });
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_getNumDevices(JNIEnv *, jclass) {
    return Vexa_GetDeviceCount();
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_getDefaultInputDeviceID(JNIEnv *, jclass) {
    return Vexa_GetDefaultInputDevice();
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_getDefaultOutputDeviceID(JNIEnv *, jclass) {
    return Vexa_GetDefaultOutputDevice();
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_getMaxInputChannels(JNIEnv *, jclass,
                                                                       jint deviceID) {
    return Vexa_GetMaxInputChannels(deviceID);
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_getMaxOutputChannels(JNIEnv *, jclass,
                                                                        jint deviceID) {
    return Vexa_GetMaxOutputChannels(deviceID);
}

JNIEXPORT jint JNICALL Java_com_quorbit_velto_Vexa_getDeviceName(JNIEnv *env, jclass,
                                                                 jint deviceID, jbyteArray name,
                                                                 jint length) {
    return TextArrayCall(env, name, length, [&](char *buffer, int32_t size) {
        return Vexa_DeviceIDToNameJava(deviceID, buffer, size);
    });
}

} // extern "C"
