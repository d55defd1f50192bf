/*
 * Regression tests for faults found by the concurrency stress runs (under ThreadSanitizer and
 * AddressSanitizer), the API fuzzer and the numeric checks. Each test names what went wrong.
 */
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "velto_units.h"
#include "vx_internal.h"
#include "vx_test_support.h"
#include "vx_unit.h"

namespace {

using vxtest::EngineTest;
class RegressionEngineTest : public EngineTest {};

/* Fuzzer: a unit created after the last Vexa_Terminate was accepted into the terminated
 * context (the catalogue pointer survives termination and creation took no lock), and its
 * memory was never released: termination had already reported 0, the next initialisation
 * emptied the table, and the allocation leaked. */
TEST(Regression, CreateUnitAfterTerminateIsRefused) {
    VexaContext *ctx = Vexa_CreateContext();
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    ASSERT_EQ(Vexa_Terminate(ctx), 0);
    EXPECT_EQ(Vexa_CreateUnit(ctx, VEXA_UNIT_SINE_OSCILLATOR, 0, 0), vxtest::NO_HOST_RECORD);
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 0);
    EXPECT_EQ(ctx->vxf_AllocCount, 0);
    /* After a new initialisation creation works again and everything is released. */
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    EXPECT_GT(Vexa_CreateUnit(ctx, VEXA_UNIT_SINE_OSCILLATOR, 0, 0), 0);
    EXPECT_EQ(Vexa_Terminate(ctx), 0);
    Vexa_DeleteContext(ctx);
}

/* ThreadSanitizer (stress): calls that validated a token and then used the unit without the
 * peer lock raced with another client thread freeing that unit (the free runs under the
 * lock): reads and writes of freed memory. Unit creation, likewise, let a stale token whose
 * serial had come round again reach a unit whose ports were still being laid out. Each of
 * these calls now waits while another client thread holds the peer lock. */
class PeerLockTest : public EngineTest {
  protected:
    /* Runs `call` on a second thread while this thread holds the peer lock; the call must not
     * finish before the lock is released, and must then return `expected`. */
    void ExpectSerialised(const char *name, const std::function<int32_t()> &call, int32_t expected) {
        ASSERT_EQ(VXHost_ForbidPeers(ctx), 0);
        std::atomic<bool> finished{false};
        std::atomic<int32_t> result{0};
        std::thread other([&] {
            result = call();
            finished = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const bool finishedWhileLocked = finished.load();
        ASSERT_EQ(VXHost_PermitPeers(ctx), 0);
        other.join();
        EXPECT_FALSE(finishedWhileLocked) << name << " ran while another thread held the peer lock";
        if (expected >= 0)
            EXPECT_EQ(result.load(), expected) << name;
        else
            EXPECT_GT(result.load(), 0) << name;
    }
};

TEST_F(PeerLockTest, CallsThatUseAUnitTakeThePeerLock) {
    const int32_t sine = Unit(VEXA_UNIT_SINE_OSCILLATOR);
    const int32_t reader = Unit(VEXA_UNIT_SAMPLE_READ16_F1);
    double value = 0.0;
    int32_t frames = 0;
    ExpectSerialised("Vexa_ReadPort",
                     [&] { return Vexa_ReadPort(ctx, sine, PORTID_FREQUENCY, 0, &value); }, 0);
    ExpectSerialised("Vexa_GetNumParts", [&] { return Vexa_GetNumParts(ctx, sine, PORTID_OUTPUT); }, 1);
    ExpectSerialised("Vexa_SetPortSignalType",
                     [&] { return Vexa_SetPortSignalType(ctx, sine, PORTID_AMPLITUDE, 0, VEXA_SIGNAL_RAW); }, 0);
    ExpectSerialised("Vexa_GetPortSignalType",
                     [&] { return Vexa_GetPortSignalType(ctx, sine, PORTID_AMPLITUDE, 0); }, VEXA_SIGNAL_RAW);
    ExpectSerialised("Vexa_ReadPortFrames",
                     [&] { return Vexa_ReadPortFrames(ctx, reader, PORTID_DATA, 0, &frames); }, 0);
    ExpectSerialised("Vexa_SetPriority", [&] { return Vexa_SetPriority(ctx, sine, 2); }, 0);
    ExpectSerialised("Vexa_GetPriority", [&] { return Vexa_GetPriority(ctx, sine); }, 2);
    ExpectSerialised(
        "Vexa_CreateUnit", [&] { return Vexa_CreateUnit(ctx, VEXA_UNIT_ADD, 0, 0); }, -1);
}

/* The port calls still answer as before on a context whose host services are gone. */
TEST(Regression, PortCallsOnATerminatedContext) {
    VexaContext *ctx = Vexa_CreateContext();
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    ASSERT_EQ(Vexa_Terminate(ctx), 0);
    double value = 0.0;
    EXPECT_EQ(Vexa_ReadPort(ctx, 0x00010000, PORTID_OUTPUT, 0, &value), vxtest::NO_HOST_RECORD);
    EXPECT_EQ(Vexa_GetPriority(ctx, 0x00010000), vxtest::NO_HOST_RECORD);
    Vexa_DeleteContext(ctx);
}

/* ThreadSanitizer (two contexts stressed at once): every unconnected bus output of every
 * context added into one process-wide bucket, so two audio threads wrote the same memory.
 * Each context now has a bucket of its own. */
TEST(Regression, UnconnectedBusOutputsWriteIntoTheirOwnContext) {
    VexaContext *contexts[2];
    const float *targets[2];
    for (int i = 0; i < 2; i++) {
        contexts[i] = Vexa_CreateContext();
        ASSERT_EQ(Vexa_Initialize(contexts[i]), 0);
        const int32_t writer = Vexa_CreateUnit(contexts[i], VEXA_UNIT_BUS_WRITE, 0, 0);
        VexaThing *thing = nullptr;
        ASSERT_EQ(VexaF_ValidateThing(contexts[i], writer, VXT_UNIT, &thing), 0);
        VexaUnit *unit = reinterpret_cast<VexaUnit *>(thing);
        targets[i] = VexaS_GetBusOutput(unit, &unit->descriptor->ports[1], 0)->sumTarget;
        const auto *begin = reinterpret_cast<const uint8_t *>(contexts[i]);
        const auto *target = reinterpret_cast<const uint8_t *>(targets[i]);
        EXPECT_TRUE(target >= begin && target < begin + sizeof(VexaContext))
            << "the bucket of context " << i << " lies outside it";
    }
    EXPECT_NE(targets[0], targets[1]);
    for (VexaContext *ctx : contexts) {
        EXPECT_EQ(Vexa_Terminate(ctx), 0);
        Vexa_DeleteContext(ctx);
    }
}

/* ThreadSanitizer and AddressSanitizer (stress on a JACK stream): a unit was freed while the
 * audio thread, in the middle of a block, still read its output (or wrote its bus sums)
 * through a pointer it had loaded before the front end disconnected it. The front end now
 * waits, after disconnecting and before freeing, until a batch in progress has finished. */
TEST_F(RegressionEngineTest, FreeingAUnitWaitsForTheBatchInProgress) {
    const int32_t source = Unit(VEXA_UNIT_SINE_OSCILLATOR);
    const int32_t reader = Unit(VEXA_UNIT_ADD);
    ASSERT_EQ(Vexa_ConnectUnits(ctx, source, PORTID_OUTPUT, 0, reader, PORTID_INPUT_A, 0), 0);
    Start(source);
    Start(reader);
    Render(2);
    /* The free is left to the check below: no call in between may take back what the back
     * end returns. */
    ASSERT_EQ(Vexa_Delete(ctx, source), 0);
    ASSERT_EQ(VexaB_SynthesizeBatch(ctx, nullptr, nullptr, 0.0), 0); /* the back end lets it go */

    /* Pretend that the audio thread is inside a batch: the next call that frees the source
     * must wait until the batch ends. */
    const uint32_t serial = ctx->vxb_BatchSerial;
    ASSERT_EQ(serial % 2, 0u);
    __atomic_store_n(&ctx->vxb_BatchSerial, serial + 1, __ATOMIC_RELEASE);
    std::atomic<bool> batchEnded{false};
    std::thread audio([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        batchEnded = true;
        __atomic_store_n(&ctx->vxb_BatchSerial, serial + 2, __ATOMIC_RELEASE);
    });
    const int32_t before = vx_load(ctx->vxf_ThingCount); /* without taking anything back */
    EXPECT_EQ(Vexa_CheckEngineErrors(ctx), 0); /* frees the source */
    EXPECT_TRUE(batchEnded.load()) << "the unit was freed while a batch was running";
    EXPECT_EQ(Vexa_GetObjectCount(ctx), before - 1);
    audio.join();
    double value = 0.0;
    EXPECT_EQ(Vexa_ReadPort(ctx, reader, PORTID_INPUT_A, 0, &value), 0); /* reads its own values */
}

/* The batch marks itself: the serial is odd while a batch runs and even between batches. */
TEST_F(RegressionEngineTest, BatchSerialCountsBatches) {
    const uint32_t before = ctx->vxb_BatchSerial;
    Render(3);
    EXPECT_EQ(ctx->vxb_BatchSerial - before, 6u);
}

/* ---- Found from outside: misuse through the public interface --------------------------- */

/* Vexa_Terminate while other threads called into the same context: a thread blocked forever
 * in the peer lock after the host services were gone, or used things that termination had
 * already freed (glibc: "corrupted double-linked list"). A call that overlaps the last
 * termination now completes before it or returns -83 after it. */
TEST(Regression, TerminateWhileOtherThreadsCallIn) {
    for (int round = 0; round < 12; round++) {
        SCOPED_TRACE(round);
        VexaContext *ctx = Vexa_CreateContext();
        ASSERT_EQ(Vexa_Initialize(ctx), 0);
        ASSERT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, -1, 0, -1, 2), 0);
        const int32_t sine = Vexa_CreateUnit(ctx, VEXA_UNIT_SINE_OSCILLATOR, 0, 0);
        ASSERT_GT(sine, 0);
        ASSERT_EQ(Vexa_StartUnit(ctx, sine), 0);

        std::atomic<int> unexpected{0};
        std::atomic<bool> terminated{false};
        /* Runs `call` until it has answered -83 after the termination; any other negative
         * result, or a success after the termination, is a fault. */
        auto client = [&](const std::function<int32_t()> &call) {
            return std::thread([&, call] {
                for (;;) {
                    const bool after = terminated.load();
                    const int32_t result = call();
                    if (result == VXERR_HOST_INIT) {
                        if (after) return;
                        continue;
                    }
                    if (result < 0 || after) unexpected++;
                    if (after) return;
                }
            });
        };
        std::vector<std::thread> threads;
        threads.push_back(client([&] { return Vexa_SetPort(ctx, sine, PORTID_FREQUENCY, 0, 330.0); }));
        threads.push_back(client([&] {
            const int32_t sample = Vexa_CreateSample(ctx, 256, 1);
            if (sample < 0) return sample;
            const std::vector<int16_t> frames(256, 1000);
            const int32_t written = Vexa_WriteSample(ctx, sample, 0, frames.data(), 256);
            if (written < 0) return written;
            return Vexa_Delete(ctx, sample);
        }));
        threads.push_back(client([&] {
            std::vector<float> out(64 * 2);
            return Vexa_RenderTicks(ctx, nullptr, out.data(), 1);
        }));
        threads.push_back(client([&] {
            const int32_t unit = Vexa_CreateUnit(ctx, VEXA_UNIT_ADD, 0, 0);
            return unit < 0 ? unit : Vexa_Delete(ctx, unit);
        }));
        std::this_thread::sleep_for(std::chrono::microseconds(500 * (round % 5)));
        EXPECT_EQ(Vexa_Terminate(ctx), 0) << "allocations left";
        terminated = true;
        for (std::thread &thread : threads) thread.join();
        EXPECT_EQ(unexpected.load(), 0);
        EXPECT_EQ(ctx->vxf_AllocCount, 0);
        Vexa_DeleteContext(ctx);
    }
}

/* Two threads initialising a fresh context both set the engine up: the second set-up leaked
 * (the last termination returned 11) and two peer locks existed for a while. An
 * initialisation racing a termination sometimes left the count at 1 with the engine not
 * initialised. Initialisation and termination of a context now run one at a time. */
TEST(Regression, InitialiseAndTerminateRacesAreSerialised) {
    auto together = [](const std::function<void()> &a, const std::function<void()> &b) {
        std::atomic<int> ready{0};
        std::thread other([&] {
            ready++;
            while (ready.load() < 2) std::this_thread::yield();
            b();
        });
        ready++;
        while (ready.load() < 2) std::this_thread::yield();
        a();
        other.join();
    };
    for (int round = 0; round < 200; round++) {
        VexaContext *ctx = Vexa_CreateContext();
        std::atomic<int32_t> first{1}, second{1};
        together([&] { first = Vexa_Initialize(ctx); }, [&] { second = Vexa_Initialize(ctx); });
        ASSERT_EQ(first.load(), 0);
        ASSERT_EQ(second.load(), 0);
        ASSERT_EQ(ctx->vxf_InitCount, 2);
        ASSERT_EQ(Vexa_Terminate(ctx), 0);
        ASSERT_EQ(Vexa_Terminate(ctx), 0) << "round " << round << ": allocations left";

        /* Initialised once: a termination and an initialisation at once leave it initialised
         * once, whichever comes first, and usable. */
        ASSERT_EQ(Vexa_Initialize(ctx), 0);
        together([&] { first = Vexa_Terminate(ctx); }, [&] { second = Vexa_Initialize(ctx); });
        ASSERT_EQ(first.load(), 0);
        ASSERT_EQ(second.load(), 0);
        ASSERT_EQ(ctx->vxf_InitCount, 1) << "round " << round;
        const int32_t unit = Vexa_CreateUnit(ctx, VEXA_UNIT_ADD, 0, 0);
        ASSERT_GT(unit, 0) << "round " << round << ": the engine is not initialised";
        ASSERT_EQ(Vexa_Terminate(ctx), 0) << "round " << round << ": allocations left";
        Vexa_DeleteContext(ctx);
    }
}

/* The back-to-front list keeps its most recent node, and a thing handed back last stayed
 * unfreed until something else came back: a deleted unit that fed a LineOut left its last
 * value on the output (a constant 0.659), a deleted sample stayed in memory, a deleted
 * circuit's members were refused by a new circuit (-76), and the object count stayed 1. */
TEST_F(RegressionEngineTest, DeletedThingsAreFreedAfterTheNextBatch) {
    const int32_t source = Unit(VEXA_UNIT_ADD);
    Set(source, PORTID_INPUT_A, 0.659);
    const int32_t out = Unit(VEXA_UNIT_LINE_OUT);
    ASSERT_EQ(Vexa_ConnectUnits(ctx, source, PORTID_OUTPUT, 0, out, PORTID_INPUT, 0), 0);
    ASSERT_EQ(Vexa_ConnectUnits(ctx, source, PORTID_OUTPUT, 0, out, PORTID_INPUT, 1), 0);
    Start(source);
    Start(out);
    EXPECT_EQ(Render(2).back(), 0.659f);
    ASSERT_EQ(Vexa_Delete(ctx, source), 0);
    const std::vector<float> after = Render(3);
    for (size_t i = 2 * 64 * 2; i < after.size(); i++)
        ASSERT_EQ(after[i], 0.0f) << "frame " << i / 2 << ": the deleted unit still plays";
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 1);

    /* A 10 MB sample is released by the next batch and call. */
    const int32_t allocs = Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0);
    const int32_t sample = Vexa_CreateSample(ctx, 5u << 20, 1);
    ASSERT_GT(sample, 0);
    ASSERT_EQ(Vexa_Delete(ctx, sample), 0);
    Render(1);
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 1);
    EXPECT_EQ(Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0), allocs);

    /* A deleted circuit lets its members go. */
    const int32_t members[] = {Unit(VEXA_UNIT_ADD), Unit(VEXA_UNIT_SINE_OSCILLATOR)};
    const int32_t circuit = Vexa_CreateCircuit(ctx, members, 2, 0);
    ASSERT_GT(circuit, 0);
    ASSERT_EQ(Vexa_Delete(ctx, circuit), 0);
    Render(1);
    const int32_t again = Vexa_CreateCircuit(ctx, members, 2, 0);
    EXPECT_GT(again, 0) << "the members are still held by the deleted circuit";
}

/* A channel count of 2^28 or more was accepted in no-device mode, and every batch then
 * overflowed a signed int computing its buffer step. Counts beyond VX_MAX_CHANNELS are
 * refused. */
TEST(Regression, ChannelCountsBeyondTheLimitAreRefused) {
    VexaContext *ctx = Vexa_CreateContext();
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    for (int32_t count : {1 << 28, INT32_MAX, VX_MAX_CHANNELS + 1}) {
        EXPECT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, -1, 0, -1, count),
                  VXERR_OUT_OF_RANGE);
        EXPECT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, -1, count, -1, 2),
                  VXERR_OUT_OF_RANGE);
    }
    EXPECT_EQ(ctx->vxf_StartCount, 0);
    ASSERT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, -1, VX_MAX_CHANNELS, -1,
                                VX_MAX_CHANNELS),
              0);
    std::vector<float> in(64 * VX_MAX_CHANNELS, 0.5f), out(64 * VX_MAX_CHANNELS, -1.0f);
    EXPECT_EQ(Vexa_RenderTicks(ctx, in.data(), out.data(), 1), 0);
    EXPECT_EQ(out.back(), 0.0f);
    EXPECT_EQ(Vexa_Terminate(ctx), 0);
    Vexa_DeleteContext(ctx);
}

/* Token + 2048 (bits 11-15 are never set in an issued token) acted on the thing in the same
 * slot: a delete through it deleted the real unit. */
TEST_F(RegressionEngineTest, TokensWithBitsElevenToFifteenAreRefused) {
    const int32_t unit = Unit(VEXA_UNIT_SINE_OSCILLATOR);
    for (int32_t bit = 11; bit <= 15; bit++) {
        const int32_t forged = unit | (1 << bit);
        EXPECT_EQ(Vexa_SetPort(ctx, forged, PORTID_FREQUENCY, 0, 220.0), VXERR_INVALID_TOKEN);
        EXPECT_EQ(Vexa_Delete(ctx, forged), VXERR_INVALID_TOKEN);
    }
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 1);
    EXPECT_EQ(Get(unit, PORTID_FREQUENCY), 440.0);
}

} // namespace
