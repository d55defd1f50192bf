/*
 * Misuse found from outside, on a real stream (a JACK server with its dummy driver, started by
 * tools/with-jackd.sh): circuits built from units whose start is still on its way to the audio
 * thread, waits for ticks while another thread closes the stream, and termination while other
 * threads call in. Without a reachable server the tests are skipped, unless
 * VELTO_REQUIRE_DEVICE is set, in which case they fail.
 */
#include <gtest/gtest.h>
#include <portaudio.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "velto_units.h"
#include "vx_internal.h"
#include "vx_unit.h"

namespace {

using Clock = std::chrono::steady_clock;

bool DeviceReachable() { return VexaF_DefaultOutputDevice() != paNoDevice; }


/* A context started on the default output device. */
class DeviceMisuse : public ::testing::Test {
  protected:
    VexaContext *ctx = nullptr;
    void SetUp() override {
        if (!DeviceReachable()) {
            if (std::getenv("VELTO_REQUIRE_DEVICE") != nullptr) {
                FAIL() << "no audio server reachable, and VELTO_REQUIRE_DEVICE is set";
            }
            GTEST_SKIP() << "no audio server reachable";
        }
        ctx = Vexa_CreateContext();
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(Vexa_Initialize(ctx), 0);
        ASSERT_EQ(Vexa_Start(ctx, 0, 44100.0), 0);
        ASSERT_EQ(Vexa_SleepForTicks(ctx, 2), 0);
    }
    void TearDown() override {
        if (ctx == nullptr) return;
        EXPECT_EQ(Vexa_Terminate(ctx), 0) << "engine allocations left";
        Vexa_DeleteContext(ctx);
        EXPECT_EQ(Pa_Terminate(), paNotInitialized) << "PortAudio initialisation not balanced";
    }

    /* Runs `wait` on another thread, closes the stream with `close` after 100 ms, and
     * expects the wait to end with -65 within two seconds (it would otherwise have slept out
     * its whole nominal time). */
    void ExpectWaitEndsWhenClosed(const std::function<int32_t()> &wait,
                                  const std::function<void()> &close) {
        std::packaged_task<int32_t()> task(wait);
        std::future<int32_t> result = task.get_future();
        std::thread waiter(std::move(task));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const Clock::time_point closed = Clock::now();
        close();
        if (result.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
            std::fprintf(stderr, "the wait for a tick did not end when the stream closed\n");
            std::_Exit(1); /* the waiter would outlive the context */
        }
        waiter.join();
        EXPECT_EQ(result.get(), VXERR_NOT_STARTED);
        EXPECT_LT(std::chrono::duration<double>(Clock::now() - closed).count(), 0.5);
    }
};

/* Vexa_StartUnit executes at the next batch, on the audio thread; a circuit made at once from
 * the unit was accepted, and the audio thread then linked the unit into a run list while the
 * client linked it into the circuit's member list: within seconds the audio thread overflowed
 * its stack, read past a circuit or stopped the clock, or the client freed a list node twice.
 * A unit whose start is in flight now counts as started, and the circuit is refused. */
TEST_F(DeviceMisuse, CircuitsOfUnitsWhoseStartIsInFlightAreRefused) {
    const Clock::time_point end = Clock::now() + std::chrono::seconds(3);
    int refused = 0, made = 0;
    for (int round = 0; Clock::now() < end; round++) {
        const int32_t a = Vexa_CreateUnit(ctx, VEXA_UNIT_SINE_OSCILLATOR, 0, 0);
        const int32_t b = Vexa_CreateUnit(ctx, VEXA_UNIT_ADD, 0, 0);
        ASSERT_GT(a, 0);
        ASSERT_GT(b, 0);
        const int32_t now = Vexa_GetTickCount(ctx);
        ASSERT_EQ(Vexa_StartUnitAt(ctx, now + round % 3 - 1, a), 0);
        /* The timing is swept over a tick (a tick is 1451 us). */
        std::this_thread::sleep_for(std::chrono::microseconds((round * 97) % 1600));
        const int32_t members[] = {b, a};
        const int32_t circuit = Vexa_CreateCircuit(ctx, members, 2, 0);
        ASSERT_EQ(circuit, VXERR_ALREADY_STARTED) << "round " << round;
        refused++;
        /* A stopped unit can join once its stop has run (at the tick of the latest start,
         * behind it). */
        ASSERT_EQ(Vexa_StopUnitAt(ctx, now + 1, a), 0);
        ASSERT_EQ(Vexa_SleepForTicks(ctx, 3), 0); /* past the stop's tick, however late it came */
        const int32_t joined = Vexa_CreateCircuit(ctx, members, 2, 0);
        ASSERT_GT(joined, 0) << "round " << round;
        made++;
        if (round % 2 == 0) {
            ASSERT_EQ(Vexa_StartUnit(ctx, joined), 0);
        }
        ASSERT_EQ(Vexa_StartUnit(ctx, a), 0) << "a member's start is ignored";
        ASSERT_EQ(Vexa_SleepForTicks(ctx, 2), 0);
        for (int32_t token : {joined, a, b}) ASSERT_EQ(Vexa_Delete(ctx, token), 0);
    }
    const int32_t tick = Vexa_GetTickCount(ctx);
    ASSERT_EQ(Vexa_SleepForTicks(ctx, 3), 0);
    EXPECT_GE(Vexa_GetTickCount(ctx) - tick, 3) << "the clock stopped";
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 0);
    std::printf("%d circuits refused, %d made\n", refused, made);
}

/* A Vexa_SleepUntilTick waiter was not woken when another thread closed the stream: the tick
 * could never come, yet it slept out the whole nominal wait (now + 10^6 ticks is 24 minutes)
 * and only then returned -65. */
TEST_F(DeviceMisuse, WaitsForATickEndWhenTheStreamCloses) {
    auto far = [this] { return Vexa_SleepUntilTick(ctx, Vexa_GetTickCount(ctx) + 1000000); };
    ExpectWaitEndsWhenClosed(far, [this] { EXPECT_EQ(Vexa_Stop(ctx), 0); });
    /* Started again, stopped by Vexa_StopEngine (the last termination). */
    ASSERT_EQ(Vexa_Start(ctx, 0, 44100.0), 0);
    ExpectWaitEndsWhenClosed([this] { return Vexa_SleepForTicks(ctx, 1000000); },
                             [this] { EXPECT_EQ(Vexa_StopEngine(ctx), 0); });
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    ASSERT_EQ(Vexa_Start(ctx, 0, 44100.0), 0);
    /* A wait that started on one stream also ends when that stream is replaced. */
    ExpectWaitEndsWhenClosed(far, [this] {
        EXPECT_EQ(Vexa_Stop(ctx), 0);
        EXPECT_EQ(Vexa_Start(ctx, 0, 44100.0), 0);
    });
    /* The last termination while a wait runs: the wait answers -65 (it was in flight); the
     * termination completes. */
    ExpectWaitEndsWhenClosed(far, [this] { EXPECT_EQ(Vexa_Terminate(ctx), 0); });
    EXPECT_EQ(Vexa_SleepForTicks(ctx, 1), VXERR_HOST_INIT);
    ASSERT_EQ(Vexa_Initialize(ctx), 0); /* for TearDown */
}

/* The last Vexa_Terminate while other threads set ports, sleep until ticks, and create and
 * delete units on a running stream: every call completes before it or answers -83 after it
 * (-65 for a wait that the closing stream ended). */
TEST_F(DeviceMisuse, TerminateWhileOtherThreadsCallIn) {
    for (int round = 0; round < 6; round++) {
        SCOPED_TRACE(round);
        const int32_t sine = Vexa_CreateUnit(ctx, VEXA_UNIT_SINE_OSCILLATOR, 0, 0);
        ASSERT_GT(sine, 0);
        ASSERT_EQ(Vexa_StartUnit(ctx, sine), 0);
        std::atomic<bool> terminated{false};
        std::atomic<int> unexpected{0};
        auto client = [&](const std::function<int32_t()> &call, int32_t alsoAllowed) {
            return std::thread([&, call, alsoAllowed] {
                for (;;) {
                    const bool after = terminated.load();
                    const int32_t result = call();
                    if (result == VXERR_HOST_INIT) {
                        if (after) return;
                        continue;
                    }
                    if ((result < 0 && result != alsoAllowed) || after) unexpected++;
                    if (after) return;
                }
            });
        };
        std::vector<std::thread> threads;
        threads.push_back(client([&] { return Vexa_SetPort(ctx, sine, PORTID_FREQUENCY, 0, 550.0); }, 0));
        threads.push_back(client([&] { return Vexa_SleepForTicks(ctx, 2); }, VXERR_NOT_STARTED));
        threads.push_back(client([&] {
            const int32_t unit = Vexa_CreateUnit(ctx, VEXA_UNIT_ADD, 0, 0);
            return unit < 0 ? unit : Vexa_Delete(ctx, unit);
        }, 0));
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 7 * round));
        EXPECT_EQ(Vexa_Terminate(ctx), 0) << "engine allocations left";
        terminated = true;
        for (std::thread &thread : threads) thread.join();
        EXPECT_EQ(unexpected.load(), 0);
        ASSERT_EQ(Vexa_Initialize(ctx), 0);
        ASSERT_EQ(Vexa_Start(ctx, 0, 44100.0), 0);
    }
}

} // namespace
