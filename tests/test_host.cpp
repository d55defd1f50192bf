/* Host services of the Linux build: the peer lock with real exclusion between client
 * threads, its -80 cases, the missing-record errors, the bench timer and host queries. */
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "vx_internal.h"
#include "vx_test_support.h"

namespace {

class HostTest : public ::testing::Test {
  protected:
    VexaContext *ctx = nullptr;
    void SetUp() override {
        ctx = Vexa_CreateContext();
        ASSERT_NE(ctx, nullptr);
    }
    void TearDown() override { Vexa_DeleteContext(ctx); }
};

TEST_F(HostTest, WithoutHostRecordEveryLockCallFails) {
    EXPECT_EQ(VXHost_ForbidPeers(ctx), vxtest::NO_HOST_RECORD);
    EXPECT_EQ(VXHost_PermitPeers(ctx), vxtest::NO_HOST_RECORD);
    EXPECT_EQ(VXHost_Terminate(ctx), vxtest::NO_HOST_RECORD);
    EXPECT_EQ(Vexa_Stop(ctx), vxtest::NO_HOST_RECORD) << "created but never initialised";
    EXPECT_EQ(Vexa_Delete(ctx, 0x00010000), vxtest::NO_HOST_RECORD);
}

TEST_F(HostTest, RecordIsACountedAllocation) {
    ASSERT_EQ(VXHost_Initialize(ctx), 0);
    EXPECT_NE(ctx->vxf_Host, nullptr);
    EXPECT_EQ(ctx->vxf_AllocCount, 1);
    EXPECT_EQ(VXHost_Terminate(ctx), 0);
    EXPECT_EQ(ctx->vxf_Host, nullptr);
    EXPECT_EQ(ctx->vxf_AllocCount, 0);
    EXPECT_EQ(VXHost_Terminate(ctx), vxtest::NO_HOST_RECORD);
}

TEST_F(HostTest, LockIsNotReEntrantAndOnlyTheHolderReleasesIt) {
    ASSERT_EQ(VXHost_Initialize(ctx), 0);
    EXPECT_EQ(VXHost_PermitPeers(ctx), VXERR_HOST_MUTEX) << "nobody holds it";
    ASSERT_EQ(VXHost_ForbidPeers(ctx), 0);
    EXPECT_EQ(VXHost_ForbidPeers(ctx), VXERR_HOST_MUTEX) << "second take by the holder";

    /* Another thread can neither release it nor take it while it is held. */
    std::atomic<int> stage{0};
    int32_t foreignPermit = 0, foreignForbid = -1;
    std::thread other([&] {
        foreignPermit = VXHost_PermitPeers(ctx);
        stage = 1;
        foreignForbid = VXHost_ForbidPeers(ctx); /* waits for the holder */
        stage = 2;
        VXHost_PermitPeers(ctx);
    });
    while (stage.load() < 1) std::this_thread::yield();
    EXPECT_EQ(foreignPermit, VXERR_HOST_MUTEX);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(stage.load(), 1) << "the other thread got in while the lock was held";

    /* The nested take left the lock held once: one release lets the other thread in. */
    EXPECT_EQ(VXHost_PermitPeers(ctx), 0);
    other.join();
    EXPECT_EQ(foreignForbid, 0);
    EXPECT_EQ(VXHost_PermitPeers(ctx), VXERR_HOST_MUTEX) << "released by the other thread";
    EXPECT_EQ(VXHost_ForbidPeers(ctx), 0);
    EXPECT_EQ(VXHost_PermitPeers(ctx), 0);
    EXPECT_EQ(VXHost_Terminate(ctx), 0);
}

TEST_F(HostTest, TwoThreadsExcludeEachOther) {
    ASSERT_EQ(VXHost_Initialize(ctx), 0);
    constexpr int kRounds = 20000;
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::atomic<int> failures{0};
    long counter = 0; /* plain: only ever changed under the lock */
    auto work = [&] {
        for (int i = 0; i < kRounds; i++) {
            if (VXHost_ForbidPeers(ctx) != 0) {
                failures++;
                continue;
            }
            if (inside.fetch_add(1) != 0) overlaps++;
            counter = counter + 1;
            inside.fetch_sub(1);
            if (VXHost_PermitPeers(ctx) != 0) failures++;
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(counter, 2L * kRounds);
    EXPECT_EQ(VXHost_Terminate(ctx), 0);
}

TEST_F(HostTest, BenchTimerAndDebugQueries) {
    EXPECT_EQ(VXHost_StartBenchTimer(), 0);
    EXPECT_EQ(VXHost_StopBenchTimer(), 0);
    EXPECT_EQ(VXHost_GetBenchTimer(), 0.0);
    EXPECT_EQ(VXHost_Debug(ctx, 2, 0), 0);
    EXPECT_EQ(VXHost_Debug(ctx, 3, 0), -1);
    EXPECT_EQ(VXHost_Debug(ctx, 0, 7), -1);
    EXPECT_EQ(Vexa_StartBenchTimer(ctx), 0);
    EXPECT_EQ(Vexa_StopBenchTimer(ctx), 0);
    EXPECT_EQ(Vexa_GetBenchTimer(ctx), 0.0);
    EXPECT_EQ(Vexa_StartBenchTimer(nullptr), VXERR_INVALID_CONTEXT);
    EXPECT_EQ(Vexa_GetBenchTimer(nullptr), -63.0);
}

/* Draining returned nodes (the first step of most public calls, before they take the peer
 * lock) waits for the lock's holder instead of consuming the list at the same time. */
TEST_F(HostTest, DrainingWaitsForThePeerLockHolder) {
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    ASSERT_EQ(VXHost_ForbidPeers(ctx), 0);
    std::atomic<int> done{0};
    std::thread other([&] {
        EXPECT_EQ(VexaF_ProcessCommandsFromBack(ctx), 0);
        done = 1;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(done.load(), 0);
    EXPECT_EQ(VexaF_ProcessCommandsFromBack(ctx), 0) << "the holder drains without waiting";
    EXPECT_EQ(VXHost_PermitPeers(ctx), 0);
    other.join();
    EXPECT_EQ(done.load(), 1);
    EXPECT_EQ(Vexa_Terminate(ctx), 0);
}

} // namespace
