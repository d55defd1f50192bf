/* Debug reports, the output display, the memory dump and the process-wide event log:
 * exact printed texts. */
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "velto_units.h"
#include "vx_internal.h"

namespace {

std::string Captured(void (*print)()) {
    testing::internal::CaptureStdout();
    print();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

template <typename F> std::string Capture(F print) {
    testing::internal::CaptureStdout();
    print();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

std::string Bar(int stars) { return std::string(stars, '*') + std::string(32 - stars, '.'); }

class DebugTest : public ::testing::Test {
  protected:
    VexaContext *ctx = nullptr;
    void SetUp() override {
        ctx = Vexa_CreateContext();
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(Vexa_Initialize(ctx), 0);
    }
    void TearDown() override {
        EXPECT_EQ(Vexa_Terminate(ctx), 0) << "engine allocations still outstanding";
        Vexa_DeleteContext(ctx);
    }
};

TEST_F(DebugTest, TraceLevelAndSimpleCodes) {
    EXPECT_EQ(Vexa_GetTrace(ctx), 0);
    Vexa_SetTrace(ctx, 2);
    EXPECT_EQ(Vexa_GetTrace(ctx), 2);
    Vexa_SetTrace(nullptr, 3); /* ignored */
    EXPECT_EQ(Vexa_GetTrace(nullptr), VXERR_INVALID_CONTEXT);
    EXPECT_EQ(Vexa_Debug(nullptr, VEXA_DEBUG_ALLOCATIONS, 0), VXERR_INVALID_CONTEXT);

    /* A freshly initialised engine holds at least the bridge sentinel and the host record. */
    EXPECT_GE(Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0), 2);
    EXPECT_EQ(Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0), ctx->vxf_AllocCount);
    EXPECT_EQ(Vexa_Debug(ctx, VEXA_DEBUG_HOST, 0), 0);
    EXPECT_EQ(Vexa_Debug(ctx, 3, 0), -1);
    EXPECT_EQ(Vexa_Debug(ctx, 0, 0), -1);

    ctx->vxf_DebugInt = -17;
    ctx->vxf_DebugFloat = 0.25f;
    int32_t result = 1;
    EXPECT_EQ(Capture([&] { result = Vexa_Debug(ctx, VEXA_DEBUG_SCRATCH, 0); }),
              "INTERNAL DEBUG, i = -17, f = 0.25\n");
    EXPECT_EQ(result, 0);
}

TEST_F(DebugTest, ThingsReportWithOnlyUnitsAndTheBackEndReport) {
    int32_t a = Vexa_CreateUnit(ctx, VEXA_UNIT_CHANNEL_OUT, 0, 0);
    int32_t b = Vexa_CreateUnit(ctx, VEXA_UNIT_CHANNEL_OUT, 0, 0);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    ctx->vxb_TickCount = 42;
    int32_t result = 1;
    std::string text = Capture([&] { result = Vexa_Debug(ctx, VEXA_DEBUG_REPORT, 0); });
    EXPECT_EQ(result, 0);
    char expected[256];
    std::snprintf(expected, sizeof(expected),
                  "    Current time = 42, Num Allocs = %d   Things    = 2,\n"
                  "   Units     = 2,\n"
                  "\n",
                  ctx->vxf_AllocCount);
    EXPECT_EQ(text, expected);

    /* The back end prints its own report when it runs the request. */
    EXPECT_EQ(Capture([&] { VexaB_ProcessCommandsFromFront(ctx); }),
              "    Number of Audio   Units running = 0\n");
    DLL_InsertBefore(&ctx->vxb_AudioLists[1], &VexaF_ThingFromToken(ctx, a)->vxt_Node);
    DLL_InsertBefore(&ctx->vxb_AudioLists[2], &VexaF_ThingFromToken(ctx, b)->vxt_Node);
    EXPECT_EQ(Capture([&] { VexaB_Debug(ctx); }), "    Number of Audio   Units running = 2\n");
    DLL_Remove(&VexaF_ThingFromToken(ctx, a)->vxt_Node);
    DLL_Remove(&VexaF_ThingFromToken(ctx, b)->vxt_Node);
    ctx->vxb_TickCount = 0;
}

TEST_F(DebugTest, ThingsReportListsEachKindInOrderAndBogusTypes) {
    VexaF_CreateThing(ctx, sizeof(VexaDataThing), VXT_TABLE);
    VexaF_CreateThing(ctx, sizeof(VexaDataThing), VXT_SAMPLE);
    VexaF_CreateThing(ctx, sizeof(VexaDataThing), VXT_SAMPLE);
    VexaF_CreateThing(ctx, sizeof(VexaDataThing), VXT_ENVELOPE);
    int32_t bogus = VexaF_CreateThing(ctx, sizeof(VexaDataThing), 9);
    /* The report frees the node pools first. */
    DLLNode *node = static_cast<DLLNode *>(
        VexaF_AllocateQueuedNode(ctx, &ctx->vxf_FreeQueueNodes, sizeof(QueueNode)));
    DLL_InsertBefore(&ctx->vxf_FreeQueueNodes, node);
    std::string text = Capture([&] { VexaF_ReportThings(ctx); });
    EXPECT_EQ(DLL_IsEmpty(&ctx->vxf_FreeQueueNodes), 1);
    char expected[512];
    std::snprintf(expected, sizeof(expected),
                  "Bogus vxt_Type = 0x9\n"
                  "    Current time = 0, Num Allocs = %d   Things    = 5,\n"
                  "   Samples   = 2,\n"
                  "   Envelopes = 1,\n"
                  "   Tables    = 1,\n"
                  "\n",
                  ctx->vxf_AllocCount);
    EXPECT_EQ(text, expected);
    VexaF_FreeThing(ctx, VexaF_ThingFromToken(ctx, bogus));
}

TEST(DebugReportTest, ThingsReportOfAnUninitialisedContextHasNoBackEndToAsk) {
    VexaContext *ctx = Vexa_CreateContext();
    ASSERT_NE(ctx, nullptr);
    int32_t result = 1;
    EXPECT_EQ(Capture([&] { result = Vexa_Debug(ctx, VEXA_DEBUG_REPORT, 0); }),
              "    Current time = 0, Num Allocs = 0   Things    = 0,\n\n");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(AFIFO_IsEmpty(&ctx->vxs_FrontToBack), 1) << "nothing sent";
    Vexa_DeleteContext(ctx);
}

TEST(DisplayTest, SignalBarsAndHexField) {
    struct Case {
        float value;
        const char *hex;
        int stars;
    } cases[] = {
        {0.0f, "       0", 16},  {-1.0f, "ffff8000", 0}, {1.0f, "    7fff", 31},
        {2.0f, "    7fff", 31},  {-7.5f, "ffff8000", 0}, {0.5f, "    4000", 24},
        {-0.5f, "ffffc000", 8},  {0.00003f, "       0", 16},
        {-0.00003f, "       0", 16}, /* truncation toward zero */
        {-0.0001f, "fffffffd", 15},
        {std::nanf(""), "       0", 16}, /* a NaN sample is shown as silence */
    };
    for (const Case &c : cases) {
        std::string text = Capture([&] { VexaS_DisplaySignal(c.value); });
        EXPECT_EQ(text, std::string(" 0x") + c.hex + " : " + Bar(c.stars)) << c.value;
    }
}

TEST(DisplayTest, BatchTracePrintsSixtyFourNumberedLines) {
    VexaContext *ctx = Vexa_CreateContext();
    ASSERT_NE(ctx, nullptr);
    std::vector<float> buffer(64 * 2);
    for (int frame = 0; frame < 64; frame++) {
        buffer[frame * 2] = frame == 0 ? 0.5f : 0.0f;
        buffer[frame * 2 + 1] = -1.0f;
    }
    for (int32_t channels : {2, 1}) {
        ctx->vxf_OutputChannels = channels;
        std::vector<std::string> lines =
            Lines(Capture([&] { VexaB_PrintTrace(ctx, buffer.data()); }));
        ASSERT_EQ(lines.size(), 64u);
        int first = std::atoi(lines[0].c_str());
        for (int frame = 0; frame < 64; frame++) {
            float left = buffer[frame * channels];
            char number[16];
            std::snprintf(number, sizeof(number), "%8d: ", first + frame);
            std::string expected = number + Capture([&] { VexaS_DisplaySignal(left); });
            if (channels == 2) expected += " 0xffff8000 : " + Bar(0);
            EXPECT_EQ(lines[frame], expected) << "channels " << channels << " frame " << frame;
        }
        /* The line counter is process-wide and never reset. */
        std::vector<std::string> next = Lines(Capture([&] { VexaB_PrintTrace(ctx, buffer.data()); }));
        EXPECT_EQ(std::atoi(next[0].c_str()), first + 64);
    }
    Vexa_DeleteContext(ctx);
}

TEST(DumpTest, MemoryDumpInLinesOfSixteen) {
    uint8_t bytes[20];
    for (int i = 0; i < 20; i++) bytes[i] = static_cast<uint8_t>(i * 13);
    std::string text = Capture([&] { VexaF_DumpMemory(bytes, 20); });
    EXPECT_EQ(text,
              "     0  d 1a 27 34 41 4e 5b 68 75 82 8f 9c a9 b6 c3 \n"
              "    d0 dd ea f7 \n");
    EXPECT_EQ(Capture([&] { VexaF_DumpMemory(bytes, 16); }),
              "     0  d 1a 27 34 41 4e 5b 68 75 82 8f 9c a9 b6 c3 \n");
    EXPECT_EQ(Capture([&] { VexaF_DumpMemory(bytes, 0); }), "");
    EXPECT_EQ(Capture([&] { VexaF_DumpMemory(nullptr, 4); }),
              "VexaF_DumpMemory: attempt to dump NULL pointer.\n");
}

/* ---- Event log -------------------------------------------------------------------- */

TEST(EventLogTest, StoppingLogKeepsTheFirst1024) {
    VXLL_ClearEventLog(0);
    EXPECT_EQ(Captured(VexaS_DumpEventLog), "Dump Logged Events\ngWatchCount = 0\n");
    for (int i = 0; i < 1025; i++) VexaS_LogEvent(i, -i, 7, 0.5f * static_cast<float>(i));
    std::vector<std::string> lines = Lines(Captured(VexaS_DumpEventLog));
    ASSERT_EQ(lines.size(), 1026u);
    EXPECT_EQ(lines[0], "Dump Logged Events");
    EXPECT_EQ(lines[1], "Event: 0 : v1 =    0, v2 =    0, v3 =    7, v4 = 0");
    EXPECT_EQ(lines[4], "Event: 3 : v1 =    3, v2 =   -3, v3 =    7, v4 = 1.5");
    EXPECT_EQ(lines[1024], "Event: 1023 : v1 = 1023, v2 = -1023, v3 =    7, v4 = 511.5");
    EXPECT_EQ(lines[1025], "gWatchCount = 1025");
}

TEST(EventLogTest, CircularLogOverwritesRecordZero) {
    VXLL_ClearEventLog(1);
    for (int i = 0; i < 1025; i++) VexaS_LogEvent(i, 0, 0, 0.0f);
    std::vector<std::string> lines = Lines(Captured(VexaS_DumpEventLog));
    ASSERT_EQ(lines.size(), 1026u);
    /* Storage order: record 0 holds the newest event. */
    EXPECT_EQ(lines[1], "Event: 1024 : v1 = 1024, v2 =    0, v3 =    0, v4 = 0");
    EXPECT_EQ(lines[2], "Event: 1 : v1 =    1, v2 =    0, v3 =    0, v4 = 0");
    EXPECT_EQ(lines[1025], "gWatchCount = 1025");

    VXLL_ClearEventLog(0);
    VexaS_LogEvent(5, 6, 7, -2.25f);
    EXPECT_EQ(Captured(VexaS_DumpEventLog),
              "Dump Logged Events\n"
              "Event: 0 : v1 =    5, v2 =    6, v3 =    7, v4 = -2.25\n"
              "gWatchCount = 1\n");
}

/* Two threads log while a third dumps: no record is ever printed half-written (each one's
 * values keep the relation their writer gave them) and every event is counted. */
TEST(EventLogTest, ConcurrentLoggingAndDumpingNeverShowTornRecords) {
    VXLL_ClearEventLog(1);
    constexpr int kEvents = 20000;
    std::atomic<bool> stop{false};
    auto logger = [](int base) {
        for (int i = 0; i < kEvents; i++) {
            int v = base + i;
            VexaS_LogEvent(v, 2 * v, -v, static_cast<float>(v & 1023));
        }
    };
    std::string dumps;
    testing::internal::CaptureStdout();
    std::thread dumper([&] {
        while (!stop.load()) VexaS_DumpEventLog();
    });
    std::thread a(logger, 0), b(logger, 1000000);
    a.join();
    b.join();
    stop = true;
    dumper.join();
    VexaS_DumpEventLog();
    std::fflush(stdout);
    dumps = testing::internal::GetCapturedStdout();
    int torn = 0, events = 0;
    std::string last;
    for (const std::string &line : Lines(dumps)) {
        int sequence, v1, v2, v3;
        double v4;
        if (std::sscanf(line.c_str(), "Event: %d : v1 = %d, v2 = %d, v3 = %d, v4 = %lf",
                        &sequence, &v1, &v2, &v3, &v4) == 5) {
            events++;
            if (v2 != 2 * v1 || v3 != -v1 || v4 != static_cast<double>(v1 & 1023))
                torn++;
        } else if (line.rfind("gWatchCount", 0) == 0) {
            last = line;
        }
    }
    EXPECT_GT(events, 0);
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(last, "gWatchCount = " + std::to_string(2 * kEvents));
}

} // namespace
