/*
 * Render threads: the count's limits and errors, and the workers' lifetime (created by the
 * start or by a later count, ended by a smaller count and by the stop), seen as threads of the
 * process. That they compute the same bits is shown by the grouping equivalence test.
 */
#include <gtest/gtest.h>
#include <dirent.h>

#include <chrono>
#include <thread>
#include <vector>

#include "velto_units.h"
#include "vx_internal.h"

namespace {

int32_t ProcessThreads() {
    DIR *tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return -1;
    int32_t count = 0;
    while (const dirent *entry = readdir(tasks))
        if (entry->d_name[0] != '.') count++;
    closedir(tasks);
    return count;
}

/* The process's threads once they number `expected`, or after a second: a joined thread may
 * stay listed for a moment after its join returns. */
int32_t ThreadsSettlingAt(int32_t expected) {
    int32_t count = ProcessThreads();
    for (int i = 0; i < 1000 && count != expected; i++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        count = ProcessThreads();
    }
    return count;
}

TEST(RenderThreads, CountsOutsideOneToSixtyFourAndUninitialisedContextsAreRefused) {
    EXPECT_EQ(Vexa_SetRenderThreads(nullptr, 2), VXERR_INVALID_CONTEXT);
    EXPECT_EQ(Vexa_GetRenderThreads(nullptr), VXERR_INVALID_CONTEXT);
    VexaContext *ctx = Vexa_CreateContext();
    EXPECT_EQ(Vexa_SetRenderThreads(ctx, 2), VXERR_HOST_INIT);
    EXPECT_EQ(Vexa_GetRenderThreads(ctx), VXERR_HOST_INIT);
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    EXPECT_EQ(Vexa_GetRenderThreads(ctx), 1) << "the default";
    for (int32_t bad : {0, -1, VEXA_MAX_RENDER_THREADS + 1, 1000}) {
        EXPECT_EQ(Vexa_SetRenderThreads(ctx, bad), VXERR_OUT_OF_RANGE) << bad;
        EXPECT_EQ(Vexa_GetRenderThreads(ctx), 1) << "a refused count changes nothing";
    }
    for (int32_t good : {VEXA_MAX_RENDER_THREADS, 1, 3}) {
        EXPECT_EQ(Vexa_SetRenderThreads(ctx, good), 0);
        EXPECT_EQ(Vexa_GetRenderThreads(ctx), good);
    }
    EXPECT_EQ(Vexa_Terminate(ctx), 0);
    EXPECT_EQ(Vexa_SetRenderThreads(ctx, 2), VXERR_HOST_INIT) << "after the last termination";
    Vexa_DeleteContext(ctx);
}

TEST(RenderThreads, WorkersLiveWhileTheEngineIsStartedAndComputeParts) {
    VexaContext *ctx = Vexa_CreateContext();
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    /* A sanitizer starts a thread of its own with the process's second thread. */
    std::thread([] {}).join();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int32_t base = ProcessThreads();
    if (base < 0) GTEST_SKIP() << "no /proc/self/task to count threads in";
    ASSERT_EQ(Vexa_SetRenderThreads(ctx, 3), 0);
    EXPECT_EQ(ThreadsSettlingAt(base), base) << "no worker before the start";
    ASSERT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, -1, 0, -1, 1), 0);
    EXPECT_EQ(ThreadsSettlingAt(base + 2), base + 2) << "the start creates count - 1 workers";

    /* 256 sines, each into its own output unit: enough units for several parts a block. */
    for (int32_t i = 0; i < 256; i++) {
        const int32_t sine = Vexa_CreateUnit(ctx, VEXA_UNIT_SINE_OSCILLATOR, 0, 0);
        ASSERT_GT(sine, 0);
        ASSERT_EQ(Vexa_SetPort(ctx, sine, VEXA_PORT_FREQUENCY, 0, 100.0 + i), 0);
        ASSERT_EQ(Vexa_StartUnit(ctx, sine), 0);
    }
    std::vector<float> out(64 * 100);
    ASSERT_EQ(Vexa_RenderTicks(ctx, nullptr, out.data(), 100), 0);
    EXPECT_GT(VexaS_PlannedParts(ctx), 1);

    ASSERT_EQ(Vexa_SetRenderThreads(ctx, 5), 0);
    EXPECT_EQ(ThreadsSettlingAt(base + 4), base + 4) << "a larger count while started adds workers";
    ASSERT_EQ(Vexa_RenderTicks(ctx, nullptr, out.data(), 100), 0);
    ASSERT_EQ(Vexa_SetRenderThreads(ctx, 1), 0);
    EXPECT_EQ(ThreadsSettlingAt(base), base) << "a count of 1 ends every worker";
    ASSERT_EQ(Vexa_RenderTicks(ctx, nullptr, out.data(), 10), 0);
    EXPECT_EQ(VexaS_PlannedParts(ctx), 0) << "one thread computes the plan uncut";
    ASSERT_EQ(Vexa_SetRenderThreads(ctx, 2), 0);
    EXPECT_EQ(ThreadsSettlingAt(base + 1), base + 1);
    ASSERT_EQ(Vexa_Stop(ctx), 0);
    EXPECT_EQ(ThreadsSettlingAt(base), base) << "the stop ends the workers";
    EXPECT_EQ(Vexa_GetRenderThreads(ctx), 2) << "the count stays for the next start";
    ASSERT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, -1, 0, -1, 1), 0);
    EXPECT_EQ(ThreadsSettlingAt(base + 1), base + 1);
    EXPECT_EQ(Vexa_Terminate(ctx), 0) << "the termination ends the workers and frees all";
    EXPECT_EQ(ThreadsSettlingAt(base), base);
    Vexa_DeleteContext(ctx);
}

/* While the batch's thread renders, workers take parts: with 2 threads and a network cut into
 * many parts, a worker computes some of them within a few hundred ticks. */
TEST(RenderThreads, AWorkerTakesParts) {
    VexaContext *ctx = Vexa_CreateContext();
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    ASSERT_EQ(Vexa_SetRenderThreads(ctx, 2), 0);
    ASSERT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, -1, 0, -1, 1), 0);
    for (int32_t i = 0; i < 512; i++) {
        const int32_t saw = Vexa_CreateUnit(ctx, VEXA_UNIT_SAWTOOTH_OSCILLATOR_BL, 0, 0);
        ASSERT_GT(saw, 0);
        ASSERT_EQ(Vexa_StartUnit(ctx, saw), 0);
    }
    std::vector<float> out(64 * 50);
    for (int32_t round = 0; round < 40 && VexaS_WorkerParts(ctx) == 0; round++)
        ASSERT_EQ(Vexa_RenderTicks(ctx, nullptr, out.data(), 50), 0);
    EXPECT_GT(VexaS_WorkerParts(ctx), 0u);
    EXPECT_EQ(Vexa_Terminate(ctx), 0);
    Vexa_DeleteContext(ctx);
}

} // namespace
