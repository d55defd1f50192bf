/*
 * The JNI entry points called through a scripted JNI environment: it counts every element
 * access and release and can refuse to provide an array's elements, which a real virtual
 * machine does only when it runs out of memory. The Java tests (java/test) drive the same
 * entry points from a real VM.
 */
#include <gtest/gtest.h>
#include <jni.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "com_quorbit_velto_Vexa.h"
#include "velto.h"
#include "velto_units.h"

namespace {

constexpr jint kDeadToken = 0x7fff0000; /* a token no context hands out */

/* A Java array as the scripted environment sees it. */
struct FakeArray {
    jsize length = 0;
    void *elements = nullptr; /* what Get<Type>ArrayElements hands out; null: refuse */
    int gets = 0;
    int releases = 0;
    jint releaseMode = -1;
    void *released = nullptr;
};

bool sExceptionPending = false;

FakeArray *Fake(jarray array) { return reinterpret_cast<FakeArray *>(array); }

template <typename T> T *GetElements(jarray array) {
    FakeArray *fake = Fake(array);
    fake->gets++;
    if (fake->elements == nullptr) sExceptionPending = true; /* the VM's OutOfMemoryError */
    return static_cast<T *>(fake->elements);
}

void ReleaseElements(jarray array, void *elements, jint mode) {
    FakeArray *fake = Fake(array);
    fake->releases++;
    fake->releaseMode = mode;
    fake->released = elements;
}

class JniTest : public ::testing::Test {
  protected:
    JNINativeInterface_ table{};
    JNIEnv vm{};
    JNIEnv *env = &vm;

    void SetUp() override {
        sExceptionPending = false;
        table.GetArrayLength = [](JNIEnv *, jarray a) { return Fake(a)->length; };
        table.GetShortArrayElements = [](JNIEnv *, jshortArray a, jboolean *) {
            return GetElements<jshort>(a);
        };
        table.GetDoubleArrayElements = [](JNIEnv *, jdoubleArray a, jboolean *) {
            return GetElements<jdouble>(a);
        };
        table.GetIntArrayElements = [](JNIEnv *, jintArray a, jboolean *) {
            return GetElements<jint>(a);
        };
        table.GetByteArrayElements = [](JNIEnv *, jbyteArray a, jboolean *) {
            return GetElements<jbyte>(a);
        };
        table.ReleaseShortArrayElements = [](JNIEnv *, jshortArray a, jshort *p, jint mode) {
            ReleaseElements(a, p, mode);
        };
        table.ReleaseDoubleArrayElements = [](JNIEnv *, jdoubleArray a, jdouble *p, jint mode) {
            ReleaseElements(a, p, mode);
        };
        table.ReleaseIntArrayElements = [](JNIEnv *, jintArray a, jint *p, jint mode) {
            ReleaseElements(a, p, mode);
        };
        table.ReleaseByteArrayElements = [](JNIEnv *, jbyteArray a, jbyte *p, jint mode) {
            ReleaseElements(a, p, mode);
        };
        table.ExceptionCheck = [](JNIEnv *) -> jboolean { return sExceptionPending; };
        table.ExceptionClear = [](JNIEnv *) { sExceptionPending = false; };
        vm.functions = &table;
    }

    /* A context created, initialised and started in no-device mode through the entry points. */
    jint StartContext() {
        jint handle = Java_com_quorbit_velto_Vexa_createContext(env, nullptr);
        EXPECT_GT(handle, 0);
        EXPECT_EQ(Java_com_quorbit_velto_Vexa_initialize(env, nullptr, handle), 0);
        EXPECT_EQ(Java_com_quorbit_velto_Vexa_start(env, nullptr, handle, VX_FLAG_NO_DEVICE,
                                                    44100.0),
                  0);
        return handle;
    }

    void EndContext(jint handle) {
        EXPECT_EQ(Java_com_quorbit_velto_Vexa_stop(env, nullptr, handle), 0);
        EXPECT_EQ(Java_com_quorbit_velto_Vexa_terminate(env, nullptr, handle), 0);
        Java_com_quorbit_velto_Vexa_deleteContext(env, nullptr, handle);
    }
};

/* Every array-taking method, called on one array with the given declared length. */
struct ArrayMethod {
    const char *name;
    std::function<jint(JNIEnv *, jint handle, jarray array, jint length)> call;
};

std::vector<ArrayMethod> ArrayMethods() {
    auto s = [](jarray a) { return static_cast<jshortArray>(a); };
    auto d = [](jarray a) { return static_cast<jdoubleArray>(a); };
    return {
        {"readSample",
         [=](JNIEnv *e, jint h, jarray a, jint n) {
             return Java_com_quorbit_velto_Vexa_readSample(e, nullptr, h, kDeadToken, 0, 1, s(a),
                                                           0, n);
         }},
        {"writeSample",
         [=](JNIEnv *e, jint h, jarray a, jint n) {
             return Java_com_quorbit_velto_Vexa_writeSample(e, nullptr, h, kDeadToken, 0, 1,
                                                            s(a), 0, n);
         }},
        {"readEnvelope",
         [=](JNIEnv *e, jint h, jarray a, jint n) {
             return Java_com_quorbit_velto_Vexa_readEnvelope(e, nullptr, h, kDeadToken, 0, 1,
                                                             d(a), 0, n);
         }},
        {"writeEnvelope",
         [=](JNIEnv *e, jint h, jarray a, jint n) {
             return Java_com_quorbit_velto_Vexa_writeEnvelope(e, nullptr, h, kDeadToken, 0, 1,
                                                              d(a), 0, n);
         }},
        {"writeTable",
         [=](JNIEnv *e, jint h, jarray a, jint n) {
             return Java_com_quorbit_velto_Vexa_writeTable(e, nullptr, h, kDeadToken, 0, 1, s(a),
                                                           0, n);
         }},
        {"writeTableDoubles",
         [=](JNIEnv *e, jint h, jarray a, jint n) {
             return Java_com_quorbit_velto_Vexa_writeTableDoubles(e, nullptr, h, kDeadToken, 0,
                                                                  1, d(a), 0, n);
         }},
        {"createCircuit",
         [=](JNIEnv *e, jint h, jarray a, jint n) {
             return Java_com_quorbit_velto_Vexa_createCircuit(
                 e, nullptr, h, static_cast<jintArray>(a), n, 0);
         }},
        {"errorCodeToText",
         [=](JNIEnv *e, jint, jarray a, jint n) {
             return Java_com_quorbit_velto_Vexa_errorCodeToText(e, nullptr, VXERR_OUT_OF_RANGE,
                                                                static_cast<jbyteArray>(a), n);
         }},
        {"getDeviceName",
         [=](JNIEnv *e, jint, jarray a, jint n) {
             return Java_com_quorbit_velto_Vexa_getDeviceName(e, nullptr, -5,
                                                              static_cast<jbyteArray>(a), n);
         }},
    };
}

/* When the VM cannot provide the elements, the engine is not called (it would have answered
 * the dead token with -98, or the device ID with -61): the result is -89, nothing is
 * released and the VM's pending exception is cleared, so Java sees the result code. */
TEST_F(JniTest, ElementsTheVmCannotProvideGiveNoMemory) {
    jint handle = StartContext();
    for (const ArrayMethod &method : ArrayMethods()) {
        SCOPED_TRACE(method.name);
        FakeArray array;
        array.length = 4;
        sExceptionPending = false;
        EXPECT_EQ(method.call(env, handle, reinterpret_cast<jarray>(&array), 4), VXERR_NO_MEMORY);
        EXPECT_EQ(array.gets, 1);
        EXPECT_EQ(array.releases, 0);
        EXPECT_FALSE(sExceptionPending);
    }
    EndContext(handle);
}

/* A declared length other than the array's: -79 before the elements are taken (createCircuit:
 * more members than the array holds, or a negative count, is -84), whatever the handle. */
TEST_F(JniTest, LengthMismatchTouchesNothing) {
    jint handle = StartContext();
    for (jint anyHandle : {handle, jint{0}}) {
        for (const ArrayMethod &method : ArrayMethods()) {
            SCOPED_TRACE(method.name);
            bool circuit = std::strcmp(method.name, "createCircuit") == 0;
            for (jint declared : {3, 5, -4}) {
                if (circuit && declared == 3) continue; /* fewer members than the array holds */
                int16_t storage[8] = {};
                FakeArray array;
                array.length = 4;
                array.elements = storage;
                jint expected = circuit ? VXERR_OUT_OF_RANGE : VXERR_INTERNAL_1;
                EXPECT_EQ(method.call(env, anyHandle, reinterpret_cast<jarray>(&array), declared),
                          expected)
                    << "declared " << declared;
                EXPECT_EQ(array.gets, 0);
                EXPECT_EQ(array.releases, 0);
            }
        }
    }
    EndContext(handle);
}

/* Whatever the engine answers, the elements taken are released exactly once, with mode 0. */
TEST_F(JniTest, ElementsReleasedOnceWithModeZero) {
    jint handle = StartContext();
    for (const ArrayMethod &method : ArrayMethods()) {
        SCOPED_TRACE(method.name);
        double storage[4] = {};
        FakeArray array;
        array.length = 4;
        array.elements = storage;
        jint result = method.call(env, handle, reinterpret_cast<jarray>(&array), 4);
        EXPECT_NE(result, VXERR_INTERNAL_1);
        EXPECT_NE(result, VXERR_NO_MEMORY);
        EXPECT_EQ(array.gets, 1);
        EXPECT_EQ(array.releases, 1);
        EXPECT_EQ(array.releaseMode, 0);
        EXPECT_EQ(array.released, static_cast<void *>(storage));
    }
    EndContext(handle);
}

/* A write and a read through the entry points reach the sample, and the text copy fills the
 * caller's bytes without a terminator. */
TEST_F(JniTest, ArraysReachTheEngine) {
    jint handle = StartContext();
    jint sample = Java_com_quorbit_velto_Vexa_createSample(env, nullptr, handle, 4, 2);
    ASSERT_GT(sample, 0);
    jshort written[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    FakeArray in;
    in.length = 8;
    in.elements = written;
    EXPECT_EQ(Java_com_quorbit_velto_Vexa_writeSample(env, nullptr, handle, sample, 0, 4,
                                                      reinterpret_cast<jshortArray>(&in), 0, 8),
              0);
    jshort read[10];
    std::fill(std::begin(read), std::end(read), jshort{-1});
    FakeArray out;
    out.length = 10;
    out.elements = read;
    EXPECT_EQ(Java_com_quorbit_velto_Vexa_readSample(env, nullptr, handle, sample, 1, 2,
                                                     reinterpret_cast<jshortArray>(&out), 5, 10),
              0);
    const jshort expected[10] = {-1, -1, -1, -1, -1, 3, 4, 5, 6, -1};
    EXPECT_EQ(std::memcmp(read, expected, sizeof read), 0);
    /* Four values left after offset 6: two stereo frames fit, three do not. */
    EXPECT_EQ(Java_com_quorbit_velto_Vexa_readSample(env, nullptr, handle, sample, 0, 3,
                                                     reinterpret_cast<jshortArray>(&out), 6, 10),
              VXERR_OUT_OF_RANGE);

    char text[12];
    std::memset(text, '#', sizeof text);
    FakeArray bytes;
    bytes.length = sizeof text;
    bytes.elements = text;
    EXPECT_EQ(Java_com_quorbit_velto_Vexa_errorCodeToText(env, nullptr, VXERR_INVALID_TOKEN,
                                                          reinterpret_cast<jbyteArray>(&bytes),
                                                          sizeof text),
              11);
    EXPECT_EQ(std::string(text, sizeof text), "Invalid tok#");
    EndContext(handle);
}

/* Handles: 0 and unknown values are refused, a deleted handle stays refused even when its
 * slot holds a new context, and the double-valued methods answer in their own convention. */
TEST_F(JniTest, HandlesNameOnlyLiveContexts) {
    jint first = Java_com_quorbit_velto_Vexa_createContext(env, nullptr);
    ASSERT_GT(first, 0);
    EXPECT_EQ(Java_com_quorbit_velto_Vexa_getObjectCount(env, nullptr, first), 0);
    Java_com_quorbit_velto_Vexa_deleteContext(env, nullptr, first);
    jint second = Java_com_quorbit_velto_Vexa_createContext(env, nullptr);
    ASSERT_GT(second, 0);
    EXPECT_NE(second, first);
    for (jint handle : {first, jint{0}, jint{-1}, second + 1, second ^ 0x40000000}) {
        SCOPED_TRACE(handle);
        EXPECT_EQ(Java_com_quorbit_velto_Vexa_getObjectCount(env, nullptr, handle),
                  VXERR_INVALID_CONTEXT);
        EXPECT_EQ(Java_com_quorbit_velto_Vexa_setTrace(env, nullptr, handle, 1),
                  VXERR_INVALID_CONTEXT);
        EXPECT_EQ(Java_com_quorbit_velto_Vexa_getFrameRate(env, nullptr, handle), -63.0);
        EXPECT_EQ(Java_com_quorbit_velto_Vexa_getTickRate(env, nullptr, handle), -63.0);
        EXPECT_EQ(Java_com_quorbit_velto_Vexa_getUsage(env, nullptr, handle), -63.0);
        EXPECT_EQ(Java_com_quorbit_velto_Vexa_getPort(env, nullptr, handle, 0x10000, 1, 0),
                  -1000063.0);
        Java_com_quorbit_velto_Vexa_deleteContext(env, nullptr, handle); /* ignored */
    }
    EXPECT_EQ(Java_com_quorbit_velto_Vexa_setTrace(env, nullptr, second, 1), 0);
    EXPECT_EQ(Java_com_quorbit_velto_Vexa_getTrace(env, nullptr, second), 1);
    Java_com_quorbit_velto_Vexa_deleteContext(env, nullptr, second);
    EXPECT_EQ(Java_com_quorbit_velto_Vexa_getTrace(env, nullptr, second), VXERR_INVALID_CONTEXT);
}

/* Threads computing ticks on a context while another thread deletes it: each call either
 * completes on the live context or is refused with -63, never runs on a context being torn
 * down (a sanitizer build reports any use of the freed context). The race is run a few times,
 * since each run hits the deletion at a different point of the calls in flight. */
TEST_F(JniTest, DeletionWaitsForCallsInFlight) {
    for (int round = 0; round < 5; round++) {
        SCOPED_TRACE(round);
        jint handle = StartContext();
        jint sine = Java_com_quorbit_velto_Vexa_createUnit(env, nullptr, handle,
                                                           VEXA_UNIT_SINE_OSCILLATOR, 0, 0);
        ASSERT_GT(sine, 0);
        ASSERT_EQ(Java_com_quorbit_velto_Vexa_startUnit(env, nullptr, handle, sine), 0);
        std::atomic<int> started{0};
        std::atomic<bool> wrong{false};
        std::vector<std::thread> threads;
        for (int t = 0; t < 3; t++) {
            threads.emplace_back([&] {
                started++;
                auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
                while (std::chrono::steady_clock::now() < deadline) {
                    /* Entry points that take no array never use the environment. */
                    jint tick = Java_com_quorbit_velto_Vexa_getTickCount(nullptr, nullptr, handle);
                    if (tick == VXERR_INVALID_CONTEXT) return;
                    jint slept = Java_com_quorbit_velto_Vexa_sleepUntilTick(nullptr, nullptr,
                                                                            handle, tick + 1);
                    jdouble phase = Java_com_quorbit_velto_Vexa_getPort(nullptr, nullptr, handle,
                                                                        sine, VEXA_PORT_PHASE, 0);
                    if ((slept != 0 && slept != VXERR_INVALID_CONTEXT) ||
                        (phase < -1.0 && phase != -1000063.0)) {
                        wrong = true;
                        return;
                    }
                }
                wrong = true; /* never saw the deletion */
            });
        }
        while (started < 3) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(10 + 5 * round));
        Java_com_quorbit_velto_Vexa_deleteContext(env, nullptr, handle);
        for (std::thread &thread : threads) thread.join();
        EXPECT_FALSE(wrong);
        EXPECT_EQ(Java_com_quorbit_velto_Vexa_getTickCount(env, nullptr, handle),
                  VXERR_INVALID_CONTEXT);
    }
}

} // namespace
