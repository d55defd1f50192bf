/*
 * What the Windows build does differently: the critical-section peer lock (nested take by the
 * holder, release for other threads), -73 without a host record, debug code 2 giving the
 * thread id, table doubles clipped to [-1, +1], and the PortAudio calls that VeltoV142.dll
 * exports beside the Vexa_* interface.
 */
#include <windows.h>

#include <gtest/gtest.h>
#include <portaudio.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "velto_units.h"
#include "vx_internal.h"
#include "vx_test_support.h"
#include "vx_unit.h"

extern "C" {
int Pa_CountDevices(void);
int Pa_GetDefaultInputDeviceID(void);
int Pa_GetDefaultOutputDeviceID(void);
}

namespace {

class WindowsHostTest : public ::testing::Test {
  protected:
    VexaContext *ctx = nullptr;
    void SetUp() override {
        ctx = Vexa_CreateContext();
        ASSERT_NE(ctx, nullptr);
    }
    void TearDown() override { Vexa_DeleteContext(ctx); }
};

TEST_F(WindowsHostTest, WithoutHostRecordCallsReportNotRunning) {
    EXPECT_EQ(VXHost_ForbidPeers(ctx), VXERR_NOT_RUNNING);
    EXPECT_EQ(VXHost_PermitPeers(ctx), VXERR_NOT_RUNNING);
    EXPECT_EQ(VXHost_Terminate(ctx), VXERR_NOT_RUNNING);
    EXPECT_EQ(Vexa_Stop(ctx), VXERR_NOT_RUNNING) << "created but never initialised";
    EXPECT_EQ(Vexa_Delete(ctx, 0x00010000), VXERR_NOT_RUNNING);
    EXPECT_EQ(Vexa_Terminate(ctx), VXERR_NOT_RUNNING);

    /* Initialised and terminated again: the record is gone once more. */
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    ASSERT_EQ(Vexa_Terminate(ctx), 0);
    EXPECT_EQ(VXHost_ForbidPeers(ctx), VXERR_NOT_RUNNING);
    EXPECT_EQ(Vexa_Terminate(ctx), VXERR_NOT_RUNNING);
}

TEST_F(WindowsHostTest, NestedTakeFailsAndOuterReleaseLetsOthersIn) {
    ASSERT_EQ(VXHost_Initialize(ctx), 0);
    EXPECT_EQ(VXHost_PermitPeers(ctx), VXERR_HOST_MUTEX) << "nobody holds it";
    ASSERT_EQ(VXHost_ForbidPeers(ctx), 0);
    EXPECT_EQ(VXHost_ForbidPeers(ctx), VXERR_HOST_MUTEX) << "second take by the holder";
    EXPECT_EQ(VXHost_ForbidPeers(ctx), VXERR_HOST_MUTEX) << "third take by the holder";

    std::atomic<int> stage{0};
    int32_t foreignPermit = 0, foreignForbid = -1, foreignRelease = -1;
    std::thread other([&] {
        foreignPermit = VXHost_PermitPeers(ctx); /* not the holder: changes nothing */
        stage = 1;
        foreignForbid = VXHost_ForbidPeers(ctx); /* waits for the holder */
        stage = 2;
        foreignRelease = VXHost_PermitPeers(ctx);
    });
    while (stage.load() < 1) std::this_thread::yield();
    EXPECT_EQ(foreignPermit, VXERR_HOST_MUTEX);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(stage.load(), 1) << "the other thread got in while the lock was held";

    /* The failed nested takes left the critical section entered once: a single release by
     * the outer holder lets the other thread in. */
    EXPECT_EQ(VXHost_PermitPeers(ctx), 0);
    other.join();
    EXPECT_EQ(foreignForbid, 0);
    EXPECT_EQ(foreignRelease, 0);
    EXPECT_EQ(VXHost_PermitPeers(ctx), VXERR_HOST_MUTEX) << "already released";
    EXPECT_EQ(VXHost_ForbidPeers(ctx), 0);
    EXPECT_EQ(VXHost_PermitPeers(ctx), 0);
    EXPECT_EQ(VXHost_Terminate(ctx), 0);
    EXPECT_EQ(ctx->vxf_AllocCount, 0);
}

TEST_F(WindowsHostTest, DebugCodeTwoGivesTheCallingThreadsId) {
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    const int32_t mine = static_cast<int32_t>(GetCurrentThreadId());
    EXPECT_NE(mine, 0);
    EXPECT_EQ(VXHost_Debug(ctx, 2, 0), mine);
    EXPECT_EQ(Vexa_Debug(ctx, VEXA_DEBUG_HOST, 0), mine);
    EXPECT_EQ(VXHost_Debug(ctx, 3, 0), -1);

    int32_t theirs = 0, theirsExpected = -1;
    std::thread other([&] {
        theirsExpected = static_cast<int32_t>(GetCurrentThreadId());
        theirs = Vexa_Debug(ctx, VEXA_DEBUG_HOST, 0);
    });
    other.join();
    EXPECT_EQ(theirs, theirsExpected);
    EXPECT_NE(theirs, mine);
    EXPECT_EQ(Vexa_Terminate(ctx), 0);
}

TEST_F(WindowsHostTest, NoBenchTimer) {
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    EXPECT_EQ(Vexa_StartBenchTimer(ctx), 0);
    Sleep(5);
    EXPECT_EQ(Vexa_StopBenchTimer(ctx), 0);
    EXPECT_EQ(Vexa_GetBenchTimer(ctx), 0.0);
    EXPECT_EQ(Vexa_Terminate(ctx), 0);
}

/* ---- Table doubles ----------------------------------------------------------------------- */

class WindowsTableTest : public vxtest::EngineTest {
  protected:
    const float *Entries(int32_t table) {
        VexaThing *thing = nullptr;
        EXPECT_EQ(VexaF_ValidateThing(ctx, table, VXT_TABLE, &thing), 0);
        return static_cast<const float *>(reinterpret_cast<VexaDataThing *>(thing)->vxt_Data);
    }
};

TEST_F(WindowsTableTest, DoublesAreClippedToPlusMinusOne) {
    struct Case {
        double written;
        float stored;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {2.0, 1.0f},   {-3.5, -1.0f},  {1.0, 1.0f},         {-1.0, -1.0f},
        {0.25, 0.25f}, {-0.75, -0.75f}, {1.0000001, 1.0f}, {-1.0000001, -1.0f},
        {inf, 1.0f},   {-inf, -1.0f},   {1e300, 1.0f},     {0.1, 0.1f},
    };
    constexpr uint32_t kCount = sizeof(cases) / sizeof(cases[0]);
    std::vector<double> values;
    for (const Case &c : cases) values.push_back(c.written);
    const int32_t table = Vexa_CreateTable(ctx, kCount);
    ASSERT_GT(table, 0);
    ASSERT_EQ(Vexa_WriteTableDoubles(ctx, table, 0, values.data(), kCount), 0);
    const float *stored = Entries(table);
    for (uint32_t k = 0; k < kCount; k++) {
        EXPECT_EQ(stored[k], cases[k].stored) << "entry " << k << " written as " << cases[k].written;
    }

    /* The Java variant clips the same way; 16-bit writes are in range already. */
    const double java[2] = {-7.0, 9.0};
    ASSERT_EQ(Vexa_WriteTableDoublesJava(ctx, table, 3, 2, java, 0, 2), 0);
    EXPECT_EQ(stored[3], -1.0f);
    EXPECT_EQ(stored[4], 1.0f);
    const int16_t shorts[2] = {-32768, 32767};
    ASSERT_EQ(Vexa_WriteTable(ctx, table, 5, shorts, 2), 0);
    EXPECT_EQ(stored[5], -1.0f);
    EXPECT_EQ(stored[6], 32767.0f / 32768.0f);
}

TEST_F(WindowsTableTest, ClippedTableDrivesTheLookup) {
    /* A ramp from -3 to +3 reads as -1 ... +1 through TableLookup. */
    const double ramp[3] = {-3.0, 0.0, 3.0};
    const int32_t table = Vexa_CreateTable(ctx, 3);
    ASSERT_GT(table, 0);
    ASSERT_EQ(Vexa_WriteTableDoubles(ctx, table, 0, ramp, 3), 0);
    const int32_t unit = Unit(VEXA_UNIT_TABLE_LOOKUP);
    Set(unit, PORTID_AMPLITUDE, 1.0);
    ASSERT_EQ(Vexa_UseTable(ctx, unit, PORTID_TABLE, 0, table), 0);
    Start(unit);
    for (double x : {-1.0, 0.0, 0.999}) {
        Set(unit, PORTID_INPUT, x);
        Render(1);
        const double y = Get(unit, PORTID_OUTPUT);
        EXPECT_LE(std::fabs(y), 1.0) << "input " << x;
    }
    Set(unit, PORTID_INPUT, -1.0);
    Render(1);
    EXPECT_EQ(Get(unit, PORTID_OUTPUT), -1.0);
}

/* ---- Exports of VeltoV142.dll ------------------------------------------------------------ */

TEST(WindowsExports, PortAudioCallsForwardToV19) {
    ASSERT_EQ(Pa_Initialize(), paNoError);
    EXPECT_EQ(Pa_CountDevices(), Pa_GetDeviceCount());
    EXPECT_EQ(Pa_GetDefaultInputDeviceID(), Pa_GetDefaultInputDevice());
    EXPECT_EQ(Pa_GetDefaultOutputDeviceID(), Pa_GetDefaultOutputDevice());
    EXPECT_GE(Pa_CountDevices(), 0);
    EXPECT_EQ(Pa_Terminate(), paNoError);
}

TEST(WindowsExports, LibraryExportsPaCallsBesideTheInterface) {
    /* The build copies VeltoV142.dll beside this program. */
    HMODULE dll = LoadLibraryA("VeltoV142.dll");
    ASSERT_NE(dll, nullptr) << "VeltoV142.dll not found beside the test";
    for (const char *name : {"Pa_Initialize", "Pa_Terminate", "Pa_CountDevices",
                             "Pa_GetDefaultInputDeviceID", "Pa_GetDefaultOutputDeviceID",
                             "Vexa_CreateContext", "Vexa_WriteTableDoubles", "Vexa_Debug"}) {
        EXPECT_NE(GetProcAddress(dll, name), nullptr) << name;
    }
    /* Engine internals stay inside. */
    for (const char *name : {"VXHost_ForbidPeers", "VexaS_SendToBack", "Pa_GetDeviceCount"}) {
        EXPECT_EQ(GetProcAddress(dll, name), nullptr) << name;
    }

    /* The exported calls work through the DLL's own PortAudio. */
    using IntCall = int (*)(void);
    auto find = [dll](const char *name) {
        using AnyCall = void (*)(void);
        return reinterpret_cast<IntCall>(reinterpret_cast<AnyCall>(GetProcAddress(dll, name)));
    };
    const IntCall paInitialize = find("Pa_Initialize");
    const IntCall paTerminate = find("Pa_Terminate");
    const IntCall countDevices = find("Pa_CountDevices");
    const IntCall defaultOutput = find("Pa_GetDefaultOutputDeviceID");
    ASSERT_TRUE(paInitialize && paTerminate && countDevices && defaultOutput);
    ASSERT_EQ(paInitialize(), paNoError);
    const int count = countDevices();
    EXPECT_GE(count, 0);
    const int output = defaultOutput();
    EXPECT_TRUE(output == paNoDevice || (output >= 0 && output < count)) << output;
    EXPECT_EQ(paTerminate(), paNoError);
    FreeLibrary(dll);
}

} // namespace
