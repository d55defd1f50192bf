/*
 * A start without a device and the audio libraries' own messages: a start without a device
 * looks no device up (the lookup brings PortAudio and its host libraries up), yet a later
 * shared start compares devices as it always did; and the messages ALSA and JACK print by
 * themselves reach standard error only at the audio-library trace level.
 */
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>

#include "vx_internal.h"

namespace {

class QuietStartTest : public ::testing::Test {
  protected:
    VexaContext *ctx = nullptr;
    void SetUp() override {
        ctx = Vexa_CreateContext();
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(Vexa_Initialize(ctx), 0);
    }
    void TearDown() override {
        while (ctx->vxf_StartCount > 0) Vexa_Stop(ctx);
        EXPECT_EQ(Vexa_Terminate(ctx), 0);
        Vexa_DeleteContext(ctx);
    }
};

TEST_F(QuietStartTest, NoDeviceStartDefersTheDefaultDevicesUntilASharedStartNamesOne) {
    ASSERT_EQ(Vexa_Start(ctx, VX_FLAG_NO_DEVICE, 0.0), 0);
    EXPECT_TRUE(ctx->vxf_DevicesDeferred);
    EXPECT_EQ(ctx->vxf_OutputChannels, 2);

    /* Shared starts on the defaults compare without a lookup. */
    EXPECT_EQ(Vexa_Start(ctx, VX_FLAG_NO_DEVICE, 0.0), 0);
    EXPECT_EQ(Vexa_Start(ctx, VX_FLAG_NO_DEVICE | VX_FLAG_INPUT, 0.0), VXERR_DOUBLE_START);
    EXPECT_EQ(Vexa_Start(ctx, VX_FLAG_PRINT_OUTPUT, 0.0), VXERR_DOUBLE_START);
    EXPECT_TRUE(ctx->vxf_DevicesDeferred);

    /* A shared start naming the default output device is the same start, as when the
     * devices were looked up at the first start; any other device is not. */
    const int32_t output = Vexa_GetDefaultOutputDevice();
    EXPECT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 0.0, -1, 0, output + 1, 2),
              VXERR_DOUBLE_START);
    EXPECT_FALSE(ctx->vxf_DevicesDeferred);
    EXPECT_EQ(ctx->vxf_OutputDevice, output);
    EXPECT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 0.0, -1, 0, output, 2), 0);
    EXPECT_EQ(Vexa_Start(ctx, VX_FLAG_NO_DEVICE, 0.0), 0) << "a start on the defaults, looked up";
    EXPECT_EQ(ctx->vxf_StartCount, 4);
}

TEST_F(QuietStartTest, DeviceStartsStillLookTheDevicesUp) {
    /* Without an output device the stream may fail to open here; either way the devices were
     * looked up, not deferred. */
    const int32_t result = Vexa_Start(ctx, 0, 0.0);
    EXPECT_FALSE(ctx->vxf_DevicesDeferred);
    if (result == 0) {
        EXPECT_EQ(ctx->vxf_OutputDevice, Vexa_GetDefaultOutputDevice());
    }
}

/* Asks ALSA for a PCM that does not exist, which it reports through its error handler, and
 * JACK for a server that does not run (what JACK says then depends on what else runs, so only
 * its silence below the level is checked); returns what reached standard error. */
std::string ProvokeAudioLibraries() {
    using PcmOpen = int (*)(void **, const char *, int, int);
    using PcmClose = int (*)(void *);
    using ClientOpen = void *(*)(const char *, int, int *, ...);
    testing::internal::CaptureStderr();
    if (void *open = dlsym(RTLD_DEFAULT, "snd_pcm_open")) {
        void *pcm = nullptr;
        if (reinterpret_cast<PcmOpen>(open)(&pcm, "velto_no_such_pcm", 0, 0) == 0) {
            if (void *close = dlsym(RTLD_DEFAULT, "snd_pcm_close"))
                reinterpret_cast<PcmClose>(close)(pcm);
        }
    }
    if (void *open = dlsym(RTLD_DEFAULT, "jack_client_open")) {
        int status = 0;
        /* JackNoStartServer | JackServerName */
        void *client = reinterpret_cast<ClientOpen>(open)("velto-test", 0x01 | 0x04, &status,
                                                           "velto_no_such_server");
        EXPECT_EQ(client, nullptr);
    }
    return testing::internal::GetCapturedStderr();
}

TEST_F(QuietStartTest, AudioLibraryMessagesOnlyAtTheirTraceLevel) {
    if (dlsym(RTLD_DEFAULT, "snd_pcm_open") == nullptr)
        GTEST_SKIP() << "PortAudio is built without ALSA here";
    Vexa_GetDeviceCount(); /* the engine takes the messages over at its first device query */

    Vexa_SetTrace(ctx, VEXA_TRACE_AUDIO_LIBRARIES - 1);
    EXPECT_EQ(ProvokeAudioLibraries(), "");

    Vexa_SetTrace(ctx, VEXA_TRACE_AUDIO_LIBRARIES);
    const std::string shown = ProvokeAudioLibraries();
    Vexa_SetTrace(ctx, 0);
    EXPECT_NE(shown.find("ALSA lib"), std::string::npos) << shown;
    EXPECT_NE(shown.find("velto_no_such_pcm"), std::string::npos) << shown;
}

} // namespace
