/*
 * The device glue without an audio server: the callback's handling of the frame counts
 * PortAudio hands it, a device that cannot be opened, the device queries' answers for unknown
 * devices, and the balance of PortAudio's initialisation.
 */
#include <gtest/gtest.h>
#include <portaudio.h>

#include <string>
#include <vector>

#include "velto_units.h"
#include "vx_internal.h"
#include "vx_test_support.h"
#include "vx_unit.h"

namespace {

/* PortAudio keeps a process-wide initialisation count; when every Pa_Initialize made by the
 * engine was balanced, the count is back at 0 and a further Pa_Terminate is refused. */
void ExpectPortAudioReleased() { EXPECT_EQ(Pa_Terminate(), paNotInitialized); }

/* A no-device engine with two input and two output channels whose callback the tests drive
 * by hand, as PortAudio would. */
class CallbackTest : public vxtest::EngineTest {
  protected:
    void SetUp() override {
        ctx = Vexa_CreateContext();
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(Vexa_Initialize(ctx), 0);
        ASSERT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, 0, 2, 0, 2), 0);
    }
};

/* Only whole 64-frame ticks are computed; the rest of the output is silent. The buffers are
 * exactly as large as the frames PortAudio announces, so reading or writing past them is
 * caught by the address sanitizer build. */
TEST_F(CallbackTest, ComputesWholeTicksAndSilencesTheRest) {
    const int32_t in = Unit(VEXA_UNIT_CHANNEL_IN, 0);
    const int32_t copy = Unit(VEXA_UNIT_CHANNEL_OUT, 0);
    const int32_t constant = Unit(VEXA_UNIT_CHANNEL_OUT, 1);
    ASSERT_EQ(Vexa_ConnectUnits(ctx, in, PORTID_OUTPUT, 0, copy, PORTID_INPUT, 0), 0);
    Set(constant, PORTID_INPUT, 0.5);
    for (int32_t unit : {in, copy, constant}) Start(unit);

    for (unsigned long frames : {64ul, 100ul, 32ul, 192ul, 0ul, 130ul}) {
        SCOPED_TRACE(testing::Message() << frames << " frames");
        std::vector<float> input(frames * 2);
        for (size_t i = 0; i < input.size(); i++) input[i] = 1.0f + static_cast<float>(i);
        std::vector<float> output(frames * 2, 9.0f);
        const int32_t tick = Vexa_GetTickCount(ctx);

        EXPECT_EQ(VexaCallback(frames ? input.data() : nullptr, frames ? output.data() : nullptr,
                               frames, 0.0, ctx),
                  0);

        const unsigned long computed = frames / 64 * 64;
        EXPECT_EQ(Vexa_GetTickCount(ctx), tick + static_cast<int32_t>(frames / 64));
        EXPECT_EQ(ctx->vxf_FramesInCallback, static_cast<int32_t>(frames));
        for (unsigned long f = 0; f < frames; f++) {
            if (f < computed) {
                ASSERT_EQ(output[f * 2], input[f * 2]) << "frame " << f;
                ASSERT_EQ(output[f * 2 + 1], 0.5f) << "frame " << f;
            } else {
                ASSERT_EQ(output[f * 2], 0.0f) << "frame " << f;
                ASSERT_EQ(output[f * 2 + 1], 0.0f) << "frame " << f;
            }
        }
    }
}

TEST_F(CallbackTest, CountsItsCalls) {
    std::vector<float> output(64 * 2);
    const uint32_t before = ctx->vxf_CallbackCount;
    for (int i = 0; i < 3; i++) EXPECT_EQ(VexaCallback(nullptr, output.data(), 64, 0.0, ctx), 0);
    EXPECT_EQ(ctx->vxf_CallbackCount, before + 3);
}

TEST_F(CallbackTest, NoStreamMeansNoUsageAndNoDeviceWait) {
    EXPECT_EQ(VexaF_IsEngineRunning(ctx), 0);
    EXPECT_EQ(Vexa_GetUsage(ctx), 0.0);
    EXPECT_EQ(Vexa_GetUsage(nullptr), -63.0);
    EXPECT_EQ(VXAudio_SleepUntilTick(ctx, Vexa_GetTickCount(ctx)), VXERR_NOT_STARTED);
}

/* When the callback has told PortAudio to stop after a failed batch, the tick count will never
 * reach the target: the wait gives up instead of sleeping forever. (A stand-in stream pointer
 * is enough, the wait never hands it to PortAudio.) */
TEST_F(CallbackTest, WaitEndsWhenTheCallbackStoppedTheStream) {
    int standIn = 0;
    ctx->vxf_Stream = &standIn;
    ctx->vxf_StreamEnded = 1;
    EXPECT_EQ(VXAudio_SleepUntilTick(ctx, Vexa_GetTickCount(ctx) + 1000), VXERR_NOT_RUNNING);
    EXPECT_EQ(VXAudio_SleepUntilTick(ctx, Vexa_GetTickCount(ctx)), 0);
    ctx->vxf_Stream = nullptr;
    ctx->vxf_StreamEnded = 0;
}

/* ---- Opening a device that cannot be opened ----------------------------------------- */

class DeviceOpenTest : public ::testing::Test {
  protected:
    VexaContext *ctx = nullptr;
    void SetUp() override {
        ctx = Vexa_CreateContext();
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(Vexa_Initialize(ctx), 0);
    }
    void TearDown() override {
        EXPECT_EQ(Vexa_Terminate(ctx), 0);
        Vexa_DeleteContext(ctx);
    }
};

TEST_F(DeviceOpenTest, UnknownDeviceFailsWithTwoLinesAndKeepsNoStream) {
    const int32_t unknown = VexaF_CountDevices() + 1000;
    testing::internal::CaptureStdout();
    const int32_t result = Vexa_StartDevices(ctx, 0, 44100.0, -1, 0, unknown, 2);
    const std::string printed = testing::internal::GetCapturedStdout();

    EXPECT_EQ(result, VXERR_HOST_INIT);
    EXPECT_EQ(printed, std::string("Pa_OpenStream error: ") + Pa_GetErrorText(paInvalidDevice) +
                           "\nVexaF_StartAudio failed!\n");
    EXPECT_EQ(ctx->vxf_Stream, nullptr);
    EXPECT_EQ(VexaF_IsEngineRunning(ctx), 0);
    EXPECT_EQ(Vexa_GetUsage(ctx), 0.0);
    ExpectPortAudioReleased();

    /* The start count was given back: a later start may try again, and it may differ. */
    EXPECT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, -1, 0, 0, 2), 0);
    EXPECT_EQ(Vexa_Stop(ctx), 0);
}

/* ---- Device queries ----------------------------------------------------------------- */

TEST(DeviceQueryTest, UnknownDevicesAreRefused) {
    const int32_t count = VexaF_CountDevices();
    ASSERT_GE(count, 0);
    char name[16] = "untouched";
    for (int32_t id : {-1, -2, count + 1000, INT32_MIN, INT32_MAX}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(Vexa_GetMaxInputChannels(id), VXERR_INVALID_DEVICE);
        EXPECT_EQ(Vexa_GetMaxOutputChannels(id), VXERR_INVALID_DEVICE);
        EXPECT_EQ(Vexa_DeviceIDToNameJava(id, name, sizeof name), VXERR_INVALID_DEVICE);
    }
    EXPECT_STREQ(name, "untouched");
    ExpectPortAudioReleased();
}

TEST(DeviceQueryTest, DefaultDevicesAreListedDevicesOrNone) {
    const int32_t count = VexaF_CountDevices();
    for (int32_t id : {VexaF_DefaultInputDevice(), VexaF_DefaultOutputDevice()}) {
        SCOPED_TRACE(id);
        if (id == paNoDevice) continue;
        EXPECT_GE(id, 0);
        EXPECT_LT(id, count);
    }
    ExpectPortAudioReleased();
}

} // namespace
