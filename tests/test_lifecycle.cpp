/*
 * Engine lifecycle: counted initialisation and start, shared starts, frame-rate rules,
 * waiting for ticks without a device, offline rendering, unit start calls, priorities,
 * collected back-end errors and termination with and without leftovers.
 */
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "velto_units.h"
#include "vx_test_support.h"
#include "vx_internal.h"
#include "vx_unit.h"

namespace {

using vxtest::EngineTest;

/* A context that is created and initialised, but started only by the test. */
class LifecycleTest : public ::testing::Test {
  protected:
    VexaContext *ctx = nullptr;
    void SetUp() override {
        ctx = Vexa_CreateContext();
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(Vexa_Initialize(ctx), 0);
    }
    void TearDown() override {
        if (ctx == nullptr) return;
        while (ctx->vxf_StartCount > 1) Vexa_Stop(ctx);
        EXPECT_EQ(Vexa_Terminate(ctx), 0);
        Vexa_DeleteContext(ctx);
    }
    int32_t StartNoDevice(double rate = 44100.0, int32_t inputs = 0, int32_t outputs = 2) {
        return Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, rate, -1, inputs, 0, outputs);
    }
};

TEST(BannerTest, PrintedAtEveryInitialisationWhenTracing) {
    VexaContext *ctx = Vexa_CreateContext();
    testing::internal::CaptureStdout();
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    Vexa_SetTrace(ctx, 1);
    testing::internal::CaptureStdout();
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Vexa V14.2 R-NoCapture (c) Velto\nVexa V14.2 R-NoCapture (c) Velto\n");
    EXPECT_EQ(ctx->vxf_InitCount, 3);
    for (int i = 0; i < 3; i++) EXPECT_EQ(Vexa_Terminate(ctx), 0);
    EXPECT_EQ(ctx->vxf_InitCount, 0);
    EXPECT_EQ(Vexa_Terminate(ctx), vxtest::NO_HOST_RECORD) << "no longer initialised";
    Vexa_DeleteContext(ctx);
}

TEST_F(LifecycleTest, FrameRateRules) {
    EXPECT_EQ(Vexa_GetFrameRate(ctx), 0.0) << "before the first start";
    struct Case {
        double requested;
        double used;
    };
    const Case cases[] = {{0.0, 44100.0},
                          {1.0, 44100.0},
                          {std::numeric_limits<double>::quiet_NaN(), 44100.0},
                          {-48000.0, 44100.0},
                          {1.5, 1.5},
                          {48000.0, 48000.0}};
    for (const Case &c : cases) {
        ASSERT_EQ(StartNoDevice(c.requested), 0);
        EXPECT_EQ(Vexa_GetFrameRate(ctx), c.used) << c.requested;
        EXPECT_EQ(Vexa_GetTickRate(ctx), c.used * 0.015625);
        EXPECT_EQ(ctx->vxb_FramePeriod, 1.0 / c.used);
        EXPECT_EQ(ctx->vxb_FreqScale, static_cast<float>(2.0 / c.used));
        ASSERT_EQ(Vexa_Stop(ctx), 0);
    }
    ASSERT_EQ(StartNoDevice(44100.0), 0);
    EXPECT_EQ(Vexa_GetTickRate(ctx), 689.0625);
    EXPECT_EQ(Vexa_GetFramesPerTick(ctx), 64);
    EXPECT_EQ(Vexa_GetVersion(), 142);
}

TEST_F(LifecycleTest, SharedStartsMustMatchAndAreCounted) {
    ASSERT_EQ(StartNoDevice(44100.0), 0);
    struct Case {
        const char *name;
        int32_t flags, input, inputs, output, outputs;
    };
    const Case refused[] = {
        {"print output added", VX_FLAG_PRINT_OUTPUT, -1, 0, 0, 2},
        {"other output channels", VX_FLAG_NO_DEVICE, -1, 0, 0, 1},
        {"other output device", VX_FLAG_NO_DEVICE, -1, 0, 1, 2},
        {"an input device", VX_FLAG_NO_DEVICE, 0, 0, 0, 2},
        {"an extra flag bit", VX_FLAG_NO_DEVICE | 0x100, -1, 0, 0, 2},
    };
    for (const Case &c : refused) {
        EXPECT_EQ(Vexa_StartDevices(ctx, c.flags, 44100.0, c.input, c.inputs, c.output, c.outputs),
                  VXERR_DOUBLE_START)
            << c.name;
        EXPECT_EQ(ctx->vxf_StartCount, 1) << c.name;
    }
    /* Only the frame rate may differ; the first one stays. The shared-mode line needs
     * trace level 2. */
    Vexa_SetTrace(ctx, 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(StartNoDevice(22050.0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    Vexa_SetTrace(ctx, 2);
    testing::internal::CaptureStdout();
    EXPECT_EQ(StartNoDevice(44100.0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Vexa open in shared mode. syncon->front.vxf_StartCount = 3\n");
    Vexa_SetTrace(ctx, 0);
    EXPECT_EQ(Vexa_GetFrameRate(ctx), 44100.0);

    float out[128];
    ASSERT_EQ(Vexa_Stop(ctx), 0);
    ASSERT_EQ(Vexa_Stop(ctx), 0);
    EXPECT_EQ(Vexa_RenderTicks(ctx, nullptr, out, 1), 0) << "one start is still counted";
    ASSERT_EQ(Vexa_Stop(ctx), 0);
    EXPECT_EQ(ctx->vxf_StartCount, 0);
    EXPECT_EQ(Vexa_RenderTicks(ctx, nullptr, out, 1), VXERR_NOT_STARTED);
    EXPECT_EQ(Vexa_SleepForTicks(ctx, 1), VXERR_NOT_STARTED);
    EXPECT_EQ(Vexa_Stop(ctx), 0) << "stopping a stopped engine does nothing";
}

TEST_F(LifecycleTest, StartDerivesFlagsFromTheDevices) {
    struct Case {
        const char *name;
        int32_t flags, input, inputs, output, outputs;
        uint32_t stored;
    };
    const Case cases[] = {
        {"input device and no output", VX_FLAG_NO_DEVICE, 3, 2, -1, 0,
         VX_FLAG_NO_DEVICE | VX_FLAG_INPUT | VX_FLAG_NO_OUTPUT},
        {"print output implies no device", VX_FLAG_PRINT_OUTPUT, -1, 0, 0, 2,
         VX_FLAG_PRINT_OUTPUT | VX_FLAG_NO_DEVICE},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(Vexa_StartDevices(ctx, c.flags, 0.0, c.input, c.inputs, c.output, c.outputs), 0)
            << c.name;
        EXPECT_EQ(ctx->vxf_Flags, c.stored) << c.name;
        EXPECT_EQ(ctx->vxf_InputDevice, c.input);
        EXPECT_EQ(ctx->vxf_OutputChannels, c.outputs);
        EXPECT_EQ(ctx->vxf_OfflineBuffer != nullptr, (c.flags & VX_FLAG_PRINT_OUTPUT) != 0);
        ASSERT_EQ(Vexa_Stop(ctx), 0);
        EXPECT_EQ(ctx->vxf_OfflineBuffer, nullptr);
    }
    EXPECT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 0.0, -1, 0, 0, -2), VXERR_OUT_OF_RANGE);
    EXPECT_EQ(ctx->vxf_StartCount, 0);

    /* Vexa_Start takes the default devices: two output channels unless 0x40. */
    ASSERT_EQ(Vexa_Start(ctx, VX_FLAG_NO_DEVICE, 0.0), 0);
    EXPECT_EQ(ctx->vxf_OutputChannels, 2);
    EXPECT_EQ(ctx->vxf_InputChannels, 0);
    EXPECT_EQ(ctx->vxf_InputDevice, -1);
    ASSERT_EQ(Vexa_Stop(ctx), 0);
    ASSERT_EQ(Vexa_Start(ctx, VX_FLAG_NO_DEVICE | VX_FLAG_NO_OUTPUT | VX_FLAG_INPUT, 0.0), 0);
    EXPECT_EQ(ctx->vxf_OutputChannels, 0);
    EXPECT_EQ(ctx->vxf_OutputDevice, -1);
    EXPECT_EQ(ctx->vxf_InputChannels, 2);
    ASSERT_EQ(Vexa_Stop(ctx), 0);
}

TEST_F(LifecycleTest, WaitingWithoutDeviceComputesTheMissingTicks) {
    EXPECT_EQ(Vexa_SleepUntilTick(ctx, 0), VXERR_NOT_STARTED) << "initialised, not started";
    ASSERT_EQ(StartNoDevice(), 0);
    const int32_t ticks = Vexa_GetTickCount(ctx);
    const int32_t frames = Vexa_GetFrameCount(ctx);
    EXPECT_EQ(Vexa_SleepForTicks(ctx, 3), 0);
    EXPECT_EQ(Vexa_GetTickCount(ctx), ticks + 3);
    EXPECT_EQ(Vexa_GetFrameCount(ctx), frames + 192);
    EXPECT_EQ(Vexa_SleepUntilTick(ctx, ticks + 1), 0) << "already reached";
    EXPECT_EQ(Vexa_GetTickCount(ctx), ticks + 3);
    EXPECT_EQ(VexaS_CalcUntilTick(ctx, ticks + 3), 0);
    EXPECT_EQ(Vexa_SleepUntilTick(ctx, ticks + 5), 0);
    EXPECT_EQ(Vexa_GetTickCount(ctx), ticks + 5);
    EXPECT_EQ(Vexa_SleepForTicks(ctx, 0), 0);
    EXPECT_EQ(Vexa_GetTickCount(ctx), ticks + 5);
}

TEST_F(LifecycleTest, RenderTicksReadsAndWritesTheCallersBuffers) {
    EXPECT_EQ(Vexa_RenderTicks(nullptr, nullptr, nullptr, 1), VXERR_INVALID_CONTEXT);
    EXPECT_EQ(Vexa_RenderTicks(ctx, nullptr, nullptr, 1), VXERR_NOT_STARTED);
    ASSERT_EQ(StartNoDevice(44100.0, 2, 2), 0);
    const int32_t in = Vexa_CreateUnit(ctx, VEXA_UNIT_LINE_IN, 0, 0);
    const int32_t out = Vexa_CreateUnit(ctx, VEXA_UNIT_LINE_OUT, 0, 0);
    for (int32_t part : {0, 1})
        ASSERT_EQ(Vexa_ConnectUnits(ctx, in, PORTID_OUTPUT, part, out, PORTID_INPUT, part), 0);
    ASSERT_EQ(Vexa_StartUnit(ctx, in), 0);
    ASSERT_EQ(Vexa_StartUnit(ctx, out), 0);

    constexpr int kTicks = 3;
    std::vector<float> input(kTicks * 64 * 2), output(kTicks * 64 * 2, -99.0f);
    for (size_t i = 0; i < input.size(); i++) input[i] = static_cast<float>(i) / 1024.0f;
    const int32_t before = Vexa_GetTickCount(ctx);
    ASSERT_EQ(Vexa_RenderTicks(ctx, input.data(), output.data(), kTicks), 0);
    EXPECT_EQ(Vexa_GetTickCount(ctx), before + kTicks);
    EXPECT_EQ(output, input);

    /* Without an output buffer the units run and nothing is written. */
    ASSERT_EQ(Vexa_RenderTicks(ctx, input.data(), nullptr, 1), 0);
    EXPECT_EQ(Vexa_RenderTicks(ctx, nullptr, output.data(), 0), 0);
    EXPECT_EQ(Vexa_GetTickCount(ctx), before + kTicks + 1);
}

TEST_F(LifecycleTest, UnitStartCallsAndPriorities) {
    ASSERT_EQ(StartNoDevice(), 0);
    const int32_t a = Vexa_CreateUnit(ctx, VEXA_UNIT_ADD, 0, 0);
    const int32_t b = Vexa_CreateUnit(ctx, VEXA_UNIT_ADD, 0, 0);
    const int32_t members[] = {a};
    ASSERT_GT(Vexa_CreateCircuit(ctx, members, 1, 0), 0);
    const uint32_t written = ctx->vxs_FrontToBack.writeIndex;
    EXPECT_EQ(Vexa_StartUnitAt(ctx, 5, a), 0);
    EXPECT_EQ(ctx->vxs_FrontToBack.writeIndex, written) << "nothing sent for a member";

    const int32_t sample = Vexa_CreateSample(ctx, 4, 1);
    ASSERT_GT(sample, 0);
    for (auto call : {Vexa_StartUnit, Vexa_StopUnit, Vexa_GetPriority})
        EXPECT_EQ(call(ctx, sample), VXERR_INVALID_TOKEN_TYPE);
    EXPECT_EQ(Vexa_StartUnit(ctx, 0), VXERR_INVALID_TOKEN);
    EXPECT_EQ(Vexa_StartUnit(nullptr, b), VXERR_INVALID_CONTEXT);

    for (int32_t bad : {3, -1, 256}) EXPECT_EQ(Vexa_SetPriority(ctx, b, bad), VXERR_INVALID_PRIORITY);
    EXPECT_EQ(Vexa_GetPriority(ctx, b), 1);
    for (int32_t good : {0, 2}) {
        EXPECT_EQ(Vexa_SetPriority(ctx, b, good), 0);
        EXPECT_EQ(Vexa_GetPriority(ctx, b), good);
    }
    EXPECT_EQ(Vexa_SetPriority(ctx, sample, 0), VXERR_INVALID_TOKEN_TYPE);
}

TEST_F(LifecycleTest, PostedBackEndErrorIsCollectedOnce) {
    ASSERT_EQ(StartNoDevice(), 0);
    ctx->vxs_BackError = VXERR_F2B_INTERNAL;
    EXPECT_EQ(Vexa_CheckEngineErrors(ctx), VXERR_F2B_INTERNAL);
    EXPECT_EQ(Vexa_CheckEngineErrors(ctx), 0);
    EXPECT_EQ(Vexa_CheckEngineErrors(nullptr), VXERR_INVALID_CONTEXT);
}

TEST_F(LifecycleTest, CountersAndTimerRefuseAnInvalidContext) {
    EXPECT_EQ(Vexa_GetFrameCount(nullptr), VXERR_INVALID_CONTEXT);
    EXPECT_EQ(Vexa_GetTickCount(nullptr), VXERR_INVALID_CONTEXT);
    EXPECT_EQ(Vexa_GetFramesPerTick(nullptr), VXERR_INVALID_CONTEXT);
    EXPECT_EQ(Vexa_GetFrameRate(nullptr), -63.0);
    EXPECT_EQ(Vexa_GetTickRate(nullptr), -63.0);
    EXPECT_EQ(Vexa_StartBenchTimer(nullptr), VXERR_INVALID_CONTEXT);
    EXPECT_EQ(Vexa_GetBenchTimer(nullptr), -63.0);
    EXPECT_EQ(Vexa_StartBenchTimer(ctx), 0);
    EXPECT_EQ(Vexa_StopBenchTimer(ctx), 0);
    EXPECT_EQ(Vexa_GetBenchTimer(ctx), 0.0);
    EXPECT_EQ(Vexa_Initialize(nullptr), VXERR_INVALID_CONTEXT);
    EXPECT_EQ(Vexa_Terminate(nullptr), VXERR_INVALID_CONTEXT);
    EXPECT_EQ(Vexa_SleepForTicks(nullptr, 1), VXERR_INVALID_CONTEXT);
}

TEST(TerminateTest, ReportsAllocationsStillOutstanding) {
    VexaContext *ctx = Vexa_CreateContext();
    ASSERT_EQ(Vexa_StartEngine(ctx, VX_FLAG_NO_DEVICE, 44100.0), 0);
    void *leak = VexaF_AllocateMemory(ctx, 32, "test");
    ASSERT_NE(leak, nullptr);
    EXPECT_EQ(Vexa_StopEngine(ctx), 1);
    VexaF_FreeMemory(ctx, leak);
    Vexa_DeleteContext(ctx);
}

TEST(TerminateTest, LastTerminationStopsAnEngineStartedSeveralTimes) {
    VexaContext *ctx = Vexa_CreateContext();
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(Vexa_StartDevices(ctx, VX_FLAG_PRINT_OUTPUT, 0.0, -1, 0, 0, 2), 0);
    EXPECT_EQ(Vexa_Terminate(ctx), 0);
    EXPECT_EQ(ctx->vxf_StartCount, 0);
    EXPECT_EQ(ctx->vxf_OfflineBuffer, nullptr);
    /* A fresh start is a first start again, with new parameters. */
    ASSERT_EQ(Vexa_StartEngine(ctx, VX_FLAG_NO_DEVICE, 22050.0), 0);
    EXPECT_EQ(Vexa_GetFrameRate(ctx), 22050.0);
    EXPECT_EQ(Vexa_StopEngine(ctx), 0);
    Vexa_DeleteContext(ctx);
}

TEST(TerminateTest, RestartAfterTerminationKeepsTheClockAndRetiresOldTokens) {
    VexaContext *ctx = Vexa_CreateContext();
    ASSERT_EQ(Vexa_StartEngine(ctx, VX_FLAG_NO_DEVICE, 44100.0), 0);
    const int32_t old = Vexa_CreateUnit(ctx, VEXA_UNIT_ADD, 0, 0);
    ASSERT_GT(old, 0);
    ASSERT_EQ(Vexa_StartUnit(ctx, old), 0);
    ASSERT_EQ(Vexa_SleepForTicks(ctx, 4), 0);
    EXPECT_EQ(Vexa_StopEngine(ctx), 0) << "a running unit is freed by termination";
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 0);
    EXPECT_EQ(Vexa_StartUnit(ctx, old), vxtest::NO_HOST_RECORD);

    ASSERT_EQ(Vexa_StartEngine(ctx, VX_FLAG_NO_DEVICE, 44100.0), 0);
    EXPECT_EQ(Vexa_GetTickCount(ctx), 4) << "the clock is never reset";
    EXPECT_EQ(Vexa_StartUnit(ctx, old), VXERR_INVALID_TOKEN);
    const int32_t unit = Vexa_CreateUnit(ctx, VEXA_UNIT_ADD, 0, 0);
    ASSERT_GT(unit, 0);
    EXPECT_NE(unit, old) << "same slot, new serial";
    EXPECT_EQ(unit & 0x7ff, old & 0x7ff);
    ASSERT_EQ(Vexa_SetPortAt(ctx, 6, unit, PORTID_INPUT_A, 0, 0.5), 0);
    ASSERT_EQ(Vexa_StartUnit(ctx, unit), 0);
    ASSERT_EQ(Vexa_SleepForTicks(ctx, 1), 0);
    EXPECT_EQ(Vexa_GetPort(ctx, unit, PORTID_OUTPUT, 0), 0.0);
    ASSERT_EQ(Vexa_SleepForTicks(ctx, 2), 0);
    EXPECT_EQ(Vexa_GetPort(ctx, unit, PORTID_OUTPUT, 0), 0.5) << "scheduled at tick 6";
    ASSERT_EQ(Vexa_Delete(ctx, unit), 0);
    ASSERT_EQ(Vexa_SleepForTicks(ctx, 1), 0);
    EXPECT_EQ(Vexa_StopEngine(ctx), 0);
    Vexa_DeleteContext(ctx);
}

} // namespace
