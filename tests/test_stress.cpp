/*
 * Concurrency stress without a device: four client threads create, connect, set, queue,
 * rewrite, attach, start, stop and delete things of one context while a fifth thread computes
 * batches with Vexa_RenderTicks (which takes the peer lock, so the client threads serialise
 * with it). Meant to run under ThreadSanitizer and AddressSanitizer as well; the run lasts
 * VELTO_STRESS_SECONDS (10 s by default).
 */
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "vx_internal.h"
#include "vx_stress_workload.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kClients = 4;

/* Renders until `stop`, checking every batch result; returns the ticks computed. */
int64_t BatchThread(VexaContext *ctx, const std::atomic<bool> &stop, std::atomic<int> &failures) {
    std::vector<float> output(4 * 64 * 2);
    std::vector<float> input(4 * 64 * 2, 0.25f);
    int64_t ticks = 0;
    while (!stop.load(std::memory_order_relaxed)) {
        const int32_t result = Vexa_RenderTicks(ctx, input.data(), output.data(), 4);
        if (result != 0) failures.fetch_add(1);
        ticks += 4;
    }
    return ticks;
}

/* Leaves the context empty and checks that everything comes back: deleted things are freed
 * once the back end has let them go, and termination reports no engine allocation left. */
void DrainAndTerminate(VexaContext *ctx, vxstress::Workload &workload) {
    workload.DeleteAll();
    /* Pending commands lie at most a few dozen ticks ahead; let them all execute. */
    ASSERT_EQ(Vexa_RenderTicks(ctx, nullptr, nullptr, 64), 0);
    EXPECT_EQ(Vexa_CheckEngineErrors(ctx), 0);
    /* The bridge keeps the most recently returned node until another follows it, so one
     * released thing may still wait to be freed. */
    EXPECT_LE(Vexa_GetObjectCount(ctx), 1);
    EXPECT_EQ(Vexa_Terminate(ctx), 0) << "engine allocations left after the stress run";
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 0);
    Vexa_DeleteContext(ctx);
}

TEST(Stress, ClientThreadsAgainstABatchThread) {
    VexaContext *ctx = Vexa_CreateContext();
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    ASSERT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, 0, 2, 0, 2), 0);

    vxstress::Workload workload(ctx, true);
    ASSERT_GT(workload.Types().size(), 60u);
    std::atomic<bool> stop{false};
    std::atomic<int> batchFailures{0};
    int64_t ticks = 0;

    std::thread batches([&] { ticks = BatchThread(ctx, stop, batchFailures); });
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; i++)
        clients.emplace_back([&, i] { workload.Client(0x5eed0000u + i, stop); });

    const double seconds = vxstress::DurationSeconds(10.0);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop = true;
    for (auto &client : clients) client.join();
    batches.join();

    vxstress::Results &results = workload.Outcome();
    std::printf("stress: %d client threads, %.1f s, %llu calls (%llu refused as expected), "
                "%lld ticks rendered\n",
                kClients, seconds, static_cast<unsigned long long>(results.calls.load()),
                static_cast<unsigned long long>(results.failures.load()),
                static_cast<long long>(ticks));
    EXPECT_EQ(batchFailures.load(), 0);
    EXPECT_GT(ticks, 0);
    EXPECT_GT(results.calls.load(), 1000u);
    EXPECT_EQ(results.unexpected.load(), 0u);
    for (const std::string &example : results.examples) ADD_FAILURE() << example;

    DrainAndTerminate(ctx, workload);
}

/* Two contexts stressed at once: tokens and clocks of one never disturb the other. */
TEST(Stress, TwoContextsSideBySide) {
    VexaContext *contexts[2];
    for (VexaContext *&ctx : contexts) {
        ctx = Vexa_CreateContext();
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(Vexa_Initialize(ctx), 0);
        ASSERT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, -1, 0, 0, 2), 0);
    }
    vxstress::Workload first(contexts[0], true), second(contexts[1], false);
    std::atomic<bool> stop{false};
    std::atomic<int> batchFailures{0};
    std::vector<std::thread> threads;
    for (VexaContext *ctx : contexts)
        threads.emplace_back([&, ctx] { BatchThread(ctx, stop, batchFailures); });
    threads.emplace_back([&] { first.Client(11, stop); });
    threads.emplace_back([&] { first.Client(12, stop); });
    threads.emplace_back([&] { second.Client(21, stop); });
    threads.emplace_back([&] { second.Client(22, stop); });

    std::this_thread::sleep_for(std::chrono::duration<double>(vxstress::DurationSeconds(10.0) / 4));
    stop = true;
    for (auto &thread : threads) thread.join();

    EXPECT_EQ(batchFailures.load(), 0);
    for (vxstress::Workload *w : {&first, &second}) {
        EXPECT_EQ(w->Outcome().unexpected.load(), 0u);
        for (const std::string &example : w->Outcome().examples) ADD_FAILURE() << example;
    }
    DrainAndTerminate(contexts[0], first);
    DrainAndTerminate(contexts[1], second);
}

} // namespace
