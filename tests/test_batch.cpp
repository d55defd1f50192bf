/*
 * The synthesis batch: running order by priority and start order, the one-block delay of a
 * connection against that order, start and stop timing, flattening of stopped outputs,
 * auto-stop, the empty batch and the text trace of the print-output mode.
 */
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "velto_units.h"
#include "vx_test_support.h"
#include "vx_internal.h"
#include "vx_unit.h"

namespace {

using vxtest::EngineTest;

/* Test hook: replaces a unit's block function by one that logs the call, optionally asks
 * for auto-stop in a chosen block, then runs the type's own function. */
struct Hook {
    VexaUnit *unit;
    VexaUnitFunc original;
    int32_t autoStopAtCall; /* -1: never */
    int32_t calls;
};
std::vector<Hook> gHooks;
std::vector<VexaUnit *> gRunLog;

void HookedFunction(VexaContext *context, VexaUnit *unit) {
    for (Hook &hook : gHooks) {
        if (hook.unit != unit) continue;
        gRunLog.push_back(unit);
        if (hook.calls++ == hook.autoStopAtCall) VXLL_AutoStopUnit(unit);
        hook.original(context, unit);
        return;
    }
}

class BatchTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        gHooks.clear();
        gRunLog.clear();
    }

    VexaUnit *UnitRecord(int32_t token) {
        return reinterpret_cast<VexaUnit *>(VexaF_ThingFromToken(ctx, token));
    }

    VexaUnit *HookUnit(int32_t token, int32_t autoStopAtCall = -1) {
        VexaUnit *unit = UnitRecord(token);
        gHooks.push_back({unit, unit->unitFunc, autoStopAtCall, 0});
        unit->unitFunc = HookedFunction;
        return unit;
    }

    /* The units in the order they ran in the first block of the last render. */
    std::vector<VexaUnit *> FirstBlockOrder(size_t count) {
        return std::vector<VexaUnit *>(gRunLog.begin(), gRunLog.begin() + count);
    }

    int32_t Probe(int32_t unit, uint32_t portID = PORTID_OUTPUT) {
        int32_t probe = Unit(VEXA_UNIT_CHANNEL_OUT, 0);
        EXPECT_EQ(Vexa_ConnectUnits(ctx, unit, portID, 0, probe, PORTID_INPUT, 0), 0);
        return probe;
    }

    std::vector<float> Channel0(int32_t ticks) {
        std::vector<float> out = Render(ticks);
        std::vector<float> channel;
        for (size_t i = 0; i < out.size(); i += outputChannels) channel.push_back(out[i]);
        return channel;
    }
};

TEST_F(BatchTest, EmptyBatchWritesSilenceAndAdvancesTheClock) {
    const int32_t frames = Vexa_GetFrameCount(ctx);
    const int32_t ticks = Vexa_GetTickCount(ctx);
    const std::vector<float> out = Render(1); /* filled with -99 before the render */
    ASSERT_EQ(out.size(), 128u);
    for (float v : out) ASSERT_EQ(v, 0.0f);
    EXPECT_EQ(Vexa_GetFrameCount(ctx), frames + 64);
    EXPECT_EQ(Vexa_GetTickCount(ctx), ticks + 1);
}

TEST_F(BatchTest, UnitsRunByPriorityThenByLastStart) {
    const int32_t p0 = Unit(VEXA_UNIT_ADD), p1a = Unit(VEXA_UNIT_ADD), p2 = Unit(VEXA_UNIT_ADD),
                  p1b = Unit(VEXA_UNIT_ADD);
    ASSERT_EQ(Vexa_SetPriority(ctx, p0, 0), 0);
    ASSERT_EQ(Vexa_SetPriority(ctx, p2, 2), 0);
    VexaUnit *u0 = HookUnit(p0), *u1a = HookUnit(p1a), *u2 = HookUnit(p2), *u1b = HookUnit(p1b);
    for (int32_t unit : {p0, p1a, p2, p1b}) Start(unit);
    Render(1);
    ASSERT_EQ(gRunLog.size(), 4u * 8);
    EXPECT_EQ(FirstBlockOrder(4), (std::vector<VexaUnit *>{u2, u1a, u1b, u0}));
    /* Every block runs the same order. */
    for (size_t i = 4; i < gRunLog.size(); i++) EXPECT_EQ(gRunLog[i], gRunLog[i % 4]);

    /* Restarting a running unit keeps its place; a stopped and restarted one goes last. */
    gRunLog.clear();
    Start(p1a);
    Render(1);
    EXPECT_EQ(FirstBlockOrder(4), (std::vector<VexaUnit *>{u2, u1a, u1b, u0}));
    gRunLog.clear();
    ASSERT_EQ(Vexa_StopUnit(ctx, p1a), 0);
    Start(p1a);
    Render(1);
    EXPECT_EQ(FirstBlockOrder(4), (std::vector<VexaUnit *>{u2, u1b, u1a, u0}));

    /* A new priority counts from the next start out of the stopped state. */
    ASSERT_EQ(Vexa_SetPriority(ctx, p1b, 0), 0);
    gRunLog.clear();
    Render(1);
    EXPECT_EQ(FirstBlockOrder(4), (std::vector<VexaUnit *>{u2, u1b, u1a, u0}));
    ASSERT_EQ(Vexa_StopUnit(ctx, p1b), 0);
    Start(p1b);
    gRunLog.clear();
    Render(1);
    EXPECT_EQ(FirstBlockOrder(4), (std::vector<VexaUnit *>{u2, u1a, u0, u1b}));
}

TEST_F(BatchTest, ConnectionAgainstRunningOrderCostsOneBlock) {
    struct Case {
        const char *name;
        bool sourceFirst;
        int32_t readerPriority;
        int32_t delayedFrames;
    };
    const Case cases[] = {
        {"source started first", true, 1, 0},
        {"reader started first", false, 1, 8},
        {"reader at higher priority", true, 2, 8},
        {"reader at lower priority", false, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int32_t source = Unit(VEXA_UNIT_ADD), reader = Unit(VEXA_UNIT_ADD);
        Set(source, PORTID_INPUT_A, 0.5);
        ASSERT_EQ(Vexa_ConnectUnits(ctx, source, PORTID_OUTPUT, 0, reader, PORTID_INPUT_A, 0), 0);
        ASSERT_EQ(Vexa_SetPriority(ctx, reader, c.readerPriority), 0);
        const int32_t probe = Probe(reader);
        ASSERT_EQ(Vexa_SetPriority(ctx, probe, 0), 0); /* runs after both */
        if (c.sourceFirst) Start(source);
        Start(reader);
        if (!c.sourceFirst) Start(source);
        Start(probe);
        const std::vector<float> out = Channel0(1);
        for (int frame = 0; frame < 64; frame++)
            ASSERT_EQ(out[frame], frame < c.delayedFrames ? 0.0f : 0.5f) << "frame " << frame;
        for (int32_t unit : {source, reader, probe}) ASSERT_EQ(Vexa_Delete(ctx, unit), 0);
    }
}

TEST_F(BatchTest, FeedbackLoopReadsThePreviousBlock) {
    /* out = in + 1 with in = out: each block adds one, so the loop counts blocks. */
    const int32_t add = Unit(VEXA_UNIT_ADD);
    Set(add, PORTID_INPUT_B, 1.0);
    ASSERT_EQ(Vexa_ConnectUnits(ctx, add, PORTID_OUTPUT, 0, add, PORTID_INPUT_A, 0), 0);
    const std::vector<float> out = Record(add, PORTID_OUTPUT, 1);
    for (int frame = 0; frame < 64; frame++)
        ASSERT_EQ(out[frame], static_cast<float>(frame / 8 + 1)) << "frame " << frame;
}

TEST_F(BatchTest, StartTakesEffectAtTheFirstFrameOfItsTick) {
    const int32_t add = Unit(VEXA_UNIT_ADD);
    Set(add, PORTID_INPUT_A, 0.25);
    const int32_t probe = Probe(add);
    ASSERT_EQ(Vexa_SetPriority(ctx, probe, 0), 0); /* reads the unit's block in place */
    Start(probe);
    ASSERT_EQ(Vexa_StartUnitAt(ctx, 3, add), 0);
    const std::vector<float> out = Channel0(5);
    for (int frame = 0; frame < 5 * 64; frame++)
        ASSERT_EQ(out[frame], frame < 3 * 64 ? 0.0f : 0.25f) << "frame " << frame;

    /* A start stamped with a tick already computed runs at the next batch. */
    const int32_t late = Unit(VEXA_UNIT_ADD);
    Set(late, PORTID_INPUT_A, 0.5);
    const int32_t lateProbe = Unit(VEXA_UNIT_CHANNEL_OUT, 1);
    ASSERT_EQ(Vexa_ConnectUnits(ctx, late, PORTID_OUTPUT, 0, lateProbe, PORTID_INPUT, 0), 0);
    ASSERT_EQ(Vexa_SetPriority(ctx, lateProbe, 0), 0);
    Start(lateProbe);
    ASSERT_EQ(Vexa_StartUnitAt(ctx, 1, late), 0);
    const std::vector<float> next = Render(1);
    for (int frame = 0; frame < 64; frame++) ASSERT_EQ(next[frame * 2 + 1], 0.5f);
}

TEST_F(BatchTest, StartAndStopAtOneTickRunInSendingOrder) {
    const int32_t a = Unit(VEXA_UNIT_ADD), b = Unit(VEXA_UNIT_ADD);
    ASSERT_EQ(Vexa_StartUnitAt(ctx, 2, a), 0);
    ASSERT_EQ(Vexa_StopUnitAt(ctx, 2, a), 0);
    ASSERT_EQ(Vexa_StopUnitAt(ctx, 2, b), 0);
    ASSERT_EQ(Vexa_StartUnitAt(ctx, 2, b), 0);
    Render(3);
    EXPECT_EQ(UnitRecord(a)->state, UNIT_STOPPED);
    EXPECT_EQ(UnitRecord(b)->state, UNIT_RUNNING);
}

TEST_F(BatchTest, StoppedUnitHoldsItsLastOutputValue) {
    const int32_t sine = Unit(VEXA_UNIT_SINE_OSCILLATOR);
    Set(sine, PORTID_FREQUENCY, 1000.0);
    ASSERT_EQ(Vexa_StopUnitAt(ctx, 1, sine), 0);
    const int32_t probe = Probe(sine);
    ASSERT_EQ(Vexa_SetPriority(ctx, probe, 0), 0);
    Start(sine);
    Start(probe);
    const std::vector<float> out = Channel0(3);
    EXPECT_NE(out[62], out[63]);
    for (int frame = 64; frame < 3 * 64; frame++)
        ASSERT_EQ(out[frame], out[63]) << "frame " << frame;
    EXPECT_EQ(Get(sine, PORTID_OUTPUT), out[63]);

    /* Started again, it continues from where it stopped: its next tick equals the second
     * tick of a sine that never stopped. */
    const int32_t reference = Unit(VEXA_UNIT_SINE_OSCILLATOR);
    Set(reference, PORTID_FREQUENCY, 1000.0);
    const int32_t referenceProbe = Unit(VEXA_UNIT_CHANNEL_OUT, 1);
    ASSERT_EQ(Vexa_ConnectUnits(ctx, reference, PORTID_OUTPUT, 0, referenceProbe, PORTID_INPUT, 0), 0);
    ASSERT_EQ(Vexa_SetPriority(ctx, referenceProbe, 0), 0);
    Start(reference);
    Start(referenceProbe);
    ASSERT_EQ(Vexa_StartUnitAt(ctx, Vexa_GetTickCount(ctx) + 1, sine), 0);
    const std::vector<float> both = Render(2);
    for (int frame = 64; frame < 128; frame++)
        ASSERT_EQ(both[frame * 2], both[frame * 2 + 1]) << "frame " << frame;
}

TEST_F(BatchTest, AutoStopEndsTheBatchInWhichItWasAsked) {
    const int32_t sine = Unit(VEXA_UNIT_SINE_OSCILLATOR);
    Set(sine, PORTID_FREQUENCY, 700.0);
    VexaUnit *unit = HookUnit(sine, 8 + 3); /* block 3 of the second batch */
    const std::vector<float> out = Record(sine, PORTID_OUTPUT, 3);
    EXPECT_EQ(gHooks[0].calls, 16) << "the unit runs blocks 4 to 7 after asking";
    EXPECT_EQ(unit->state, UNIT_STOPPED);
    EXPECT_EQ(unit->autoStop, 0);
    EXPECT_NE(out[126], out[127]);
    for (int frame = 128; frame < 192; frame++) ASSERT_EQ(out[frame], out[127]);
}

TEST_F(BatchTest, CircuitMemberAutoStopStopsTheOutermostCircuit) {
    const int32_t a = Unit(VEXA_UNIT_ADD), b = Unit(VEXA_UNIT_ADD), c = Unit(VEXA_UNIT_ADD);
    const int32_t inner[] = {a, b};
    const int32_t innerCircuit = Vexa_CreateCircuit(ctx, inner, 2, 0);
    ASSERT_GT(innerCircuit, 0);
    const int32_t outer[] = {c, innerCircuit};
    const int32_t outerCircuit = Vexa_CreateCircuit(ctx, outer, 2, 0);
    ASSERT_GT(outerCircuit, 0);
    HookUnit(a);
    HookUnit(b, 0);
    VexaUnit *cu = HookUnit(c);
    Start(outerCircuit);
    Render(2);
    EXPECT_EQ(UnitRecord(outerCircuit)->state, UNIT_STOPPED);
    EXPECT_EQ(UnitRecord(innerCircuit)->autoStop, 0);
    for (const Hook &hook : gHooks) EXPECT_EQ(hook.calls, 8);
    /* Members ran in array order, the nested circuit's members at its place. */
    EXPECT_EQ(FirstBlockOrder(3), (std::vector<VexaUnit *>{cu, UnitRecord(a), UnitRecord(b)}));
}

TEST_F(BatchTest, OverloadGuardSilencesBlocksButStillExecutesCommands) {
    const int32_t add = Unit(VEXA_UNIT_ADD);
    VexaUnit *unit = HookUnit(add);
    Set(add, PORTID_INPUT_A, 0.5);
    const int32_t probe = Probe(add);
    Start(add);
    Start(probe);
    /* No stream: the load reads 0.0. A threshold of 0 (or NaN) counts as overloaded. */
    for (float threshold : {0.0f, std::numeric_limits<float>::quiet_NaN()}) {
        SCOPED_TRACE(threshold);
        ctx->vxb_MaxUsage = threshold;
        const int32_t frames = Vexa_GetFrameCount(ctx);
        const std::vector<float> out = Render(1);
        for (float v : out) ASSERT_EQ(v, 0.0f);
        EXPECT_EQ(gHooks[0].calls, 0);
        EXPECT_EQ(Vexa_GetFrameCount(ctx), frames + 64);
    }
    EXPECT_EQ(unit->state, UNIT_RUNNING) << "the start command was executed";
    EXPECT_EQ(Get(add, PORTID_INPUT_A), 0.5);
    EXPECT_EQ(Get(add, PORTID_OUTPUT), 0.0);
    ctx->vxb_MaxUsage = 0.9f;
    const std::vector<float> out = Channel0(1);
    for (float v : out) ASSERT_EQ(v, 0.5f);
}

TEST(PrintOutputTest, PrintsOneLinePerFrameOfBothChannels) {
    VexaContext *ctx = Vexa_CreateContext();
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    ASSERT_EQ(Vexa_StartDevices(ctx, VX_FLAG_PRINT_OUTPUT, 44100.0, -1, 0, -1, 2), 0);
    const int32_t out = Vexa_CreateUnit(ctx, VEXA_UNIT_CHANNEL_OUT, 0, 0);
    ASSERT_GT(out, 0);
    ASSERT_EQ(Vexa_SetPort(ctx, out, PORTID_INPUT, 0, 0.5), 0);
    ASSERT_EQ(Vexa_StartUnit(ctx, out), 0);
    testing::internal::CaptureStdout();
    ASSERT_EQ(Vexa_SleepForTicks(ctx, 1), 0);
    const std::string text = testing::internal::GetCapturedStdout();

    const std::string half = " 0x    4000 : " + std::string(24, '*') + std::string(8, '.');
    const std::string zero = " 0x       0 : " + std::string(16, '*') + std::string(16, '.');
    size_t lines = 0, start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = text.substr(start, end - start);
        ASSERT_GE(line.size(), 10u);
        EXPECT_EQ(line.substr(8, 2), ": ");
        EXPECT_EQ(line.substr(10), half + zero) << line;
        lines++;
    }
    EXPECT_EQ(lines, 64u);
    EXPECT_EQ(Vexa_Terminate(ctx), 0);
    Vexa_DeleteContext(ctx);
}

} // namespace
