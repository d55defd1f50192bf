/*
 * Timed commands: slot hashing and sorted insertion in the event buffer, late commands,
 * commands of one tick, ticks that wrap, and commands that keep a deleted unit alive.
 */
#include <gtest/gtest.h>

#include <vector>

#include "velto_units.h"
#include "vx_test_support.h"
#include "vx_internal.h"
#include "vx_unit.h"

namespace {

using vxtest::EngineTest;

/* ---- The schedule on its own ------------------------------------------------------- */

class ScheduleTest : public ::testing::Test {
  protected:
    EventBuffer buffer{};
    CommandNode nodes[8]{};

    void SetUp() override {
        EB_Init(&buffer, 0, nullptr);
        for (CommandNode &node : nodes) DLL_InitNode(&node.node);
    }

    /* Times of the nodes in slot `slot`, front to back, with each node's index. */
    std::vector<std::pair<int32_t, int>> SlotContents(int slot) {
        std::vector<std::pair<int32_t, int>> contents;
        DLLNode *head = &buffer.slots[slot];
        for (DLLNode *n = head->next; n != head; n = n->next) {
            CommandNode *node = reinterpret_cast<CommandNode *>(n);
            contents.push_back({node->time, static_cast<int>(node - nodes)});
        }
        return contents;
    }
};

TEST_F(ScheduleTest, TicksHashIntoSlotsByXorOfTheirHighBits) {
    struct Case {
        int32_t time;
        int slot;
    };
    const Case cases[] = {{0, 0}, {1, 1}, {255, 255}, {256, 1}, {257, 0}, {0x1234, 0x26}};
    int i = 0;
    for (const Case &c : cases) {
        EB_Init(&buffer, 0, nullptr);
        EB_ScheduleNode(&buffer, c.time, &nodes[i]);
        EXPECT_EQ(SlotContents(c.slot), (std::vector<std::pair<int32_t, int>>{{c.time, i}}))
            << "tick " << c.time;
        i = (i + 1) % 8;
    }
}

TEST_F(ScheduleTest, SlotKeepsTimeOrderAndArrivalOrderForEqualTimes) {
    EB_ScheduleNode(&buffer, 257, &nodes[0]);
    EB_ScheduleNode(&buffer, 0, &nodes[1]);
    EB_ScheduleNode(&buffer, 257, &nodes[2]);
    EB_ScheduleNode(&buffer, 0, &nodes[3]);
    EXPECT_EQ(SlotContents(0),
              (std::vector<std::pair<int32_t, int>>{{0, 1}, {0, 3}, {257, 0}, {257, 2}}));
}

TEST_F(ScheduleTest, LateNodeIsDueNowAfterThoseAlreadyDue) {
    EB_Init(&buffer, 10, nullptr);
    const int slot10 = (10 ^ (10 >> 8)) & 255;
    EB_ScheduleNode(&buffer, 10, &nodes[0]);
    EB_ScheduleNode(&buffer, 3, &nodes[1]);
    EXPECT_EQ(SlotContents(slot10), (std::vector<std::pair<int32_t, int>>{{10, 0}, {10, 1}}));
}

TEST_F(ScheduleTest, TimesAcrossTheWrapKeepTheirOrder) {
    EB_Init(&buffer, 0x7fffff00, nullptr);
    /* Both hash to slot 0x80 ^ 0xff; the later one lies past 2^31 - 1. */
    const int32_t early = 0x7fffff80;
    const int32_t late = static_cast<int32_t>(0x8000ff80u);
    EB_ScheduleNode(&buffer, late, &nodes[0]);
    EB_ScheduleNode(&buffer, early, &nodes[1]);
    const int slot = (0x80 ^ 0xff) & 255;
    EXPECT_EQ(SlotContents(slot), (std::vector<std::pair<int32_t, int>>{{early, 1}, {late, 0}}));
}

/* ---- Commands through the engine ---------------------------------------------------- */

class EventsTest : public EngineTest {
  protected:
    /* An Add whose output goes to a probe on channel 0 that runs after it. */
    int32_t ProbedAdd() {
        const int32_t add = Unit(VEXA_UNIT_ADD);
        const int32_t probe = Unit(VEXA_UNIT_CHANNEL_OUT, 0);
        EXPECT_EQ(Vexa_ConnectUnits(ctx, add, PORTID_OUTPUT, 0, probe, PORTID_INPUT, 0), 0);
        EXPECT_EQ(Vexa_SetPriority(ctx, probe, 0), 0);
        Start(add);
        Start(probe);
        return add;
    }

    /* Channel 0, one value per tick (first frame), checking that each tick is constant. */
    std::vector<float> PerTick(int32_t ticks) {
        const std::vector<float> out = Render(ticks);
        std::vector<float> values;
        for (int32_t tick = 0; tick < ticks; tick++) {
            const float first = out[static_cast<size_t>(tick) * 64 * outputChannels];
            for (int frame = 0; frame < 64; frame++)
                EXPECT_EQ(out[(static_cast<size_t>(tick) * 64 + frame) * outputChannels], first)
                    << "tick " << tick << " frame " << frame;
            values.push_back(first);
        }
        return values;
    }
};

TEST_F(EventsTest, CommandsSharingASlotRunAtTheirOwnTicks) {
    const int32_t add = ProbedAdd();
    ASSERT_EQ(Vexa_SetPortAt(ctx, 257, add, PORTID_INPUT_A, 0, 3.0), 0);
    ASSERT_EQ(Vexa_SetPortAt(ctx, 1, add, PORTID_INPUT_A, 0, 2.0), 0);
    ASSERT_EQ(Vexa_SetPortAt(ctx, 0, add, PORTID_INPUT_A, 0, 1.0), 0);
    const std::vector<float> values = PerTick(259);
    EXPECT_EQ(values[0], 1.0f);
    for (int tick = 1; tick < 257; tick++) ASSERT_EQ(values[tick], 2.0f) << "tick " << tick;
    EXPECT_EQ(values[257], 3.0f);
    EXPECT_EQ(values[258], 3.0f);
}

TEST_F(EventsTest, LastOfTwoSetsForOneTickWins) {
    const int32_t add = ProbedAdd();
    ASSERT_EQ(Vexa_SetPortAt(ctx, 2, add, PORTID_INPUT_A, 0, 0.25), 0);
    ASSERT_EQ(Vexa_SetPortAt(ctx, 2, add, PORTID_INPUT_A, 0, 0.75), 0);
    EXPECT_EQ(PerTick(3), (std::vector<float>{0.0f, 0.0f, 0.75f}));
}

TEST_F(EventsTest, LateCommandRunsNextBatchAfterThoseAlreadyDue) {
    const int32_t add = ProbedAdd();
    Render(5);
    /* Sent in this order: the one for tick 5 reaches the back end first, the late one
     * (tick 2) is due at tick 5 as well and runs after it. */
    ASSERT_EQ(Vexa_SetPortAt(ctx, 5, add, PORTID_INPUT_A, 0, 0.5), 0);
    ASSERT_EQ(Vexa_SetPortAt(ctx, 2, add, PORTID_INPUT_A, 0, 0.25), 0);
    EXPECT_EQ(PerTick(1), (std::vector<float>{0.25f}));
}

TEST_F(EventsTest, StopBeforeStartAtLaterTickLeavesUnitRunning) {
    const int32_t add = Unit(VEXA_UNIT_ADD);
    ASSERT_EQ(Vexa_StartUnitAt(ctx, 100, add), 0);
    ASSERT_EQ(Vexa_StopUnitAt(ctx, 99, add), 0);
    VexaUnit *unit = reinterpret_cast<VexaUnit *>(VexaF_ThingFromToken(ctx, add));
    Render(100);
    EXPECT_EQ(unit->state, UNIT_STOPPED);
    Render(1);
    EXPECT_EQ(unit->state, UNIT_RUNNING);
}

TEST_F(EventsTest, TicksKeepTheirOrderAcrossTheWrap) {
    /* Move the clock just before 2^31 - 1 (no batch has run yet). */
    const int32_t start = 0x7ffffffe;
    ctx->vxb_TickCount = start;
    ctx->vxb_EventBuffer.nextTime = start;
    const int32_t add = ProbedAdd();
    const int32_t wrapped = static_cast<int32_t>(static_cast<uint32_t>(start) + 3u);
    ASSERT_EQ(Vexa_SetPortAt(ctx, wrapped, add, PORTID_INPUT_A, 0, 0.5), 0);
    ASSERT_EQ(Vexa_SetPortAt(ctx, start + 1, add, PORTID_INPUT_A, 0, 0.25), 0);
    EXPECT_EQ(PerTick(5), (std::vector<float>{0.0f, 0.25f, 0.25f, 0.5f, 0.5f}));
    EXPECT_EQ(Vexa_GetTickCount(ctx), static_cast<int32_t>(static_cast<uint32_t>(start) + 5u));
}

TEST_F(EventsTest, DeletedUnitLivesUntilItsLastCommandHasRun) {
    const int32_t add = Unit(VEXA_UNIT_ADD);
    const int32_t probe = Unit(VEXA_UNIT_CHANNEL_OUT, 0);
    ASSERT_EQ(Vexa_ConnectUnits(ctx, add, PORTID_OUTPUT, 0, probe, PORTID_INPUT, 0), 0);
    ASSERT_EQ(Vexa_SetPriority(ctx, probe, 0), 0);
    Start(probe);
    Set(add, PORTID_INPUT_A, 0.25);
    ASSERT_EQ(Vexa_StartUnitAt(ctx, 2, add), 0);
    ASSERT_EQ(Vexa_SetPortAt(ctx, 4, add, PORTID_INPUT_A, 0, 0.75), 0);
    ASSERT_EQ(Vexa_Delete(ctx, add), 0);
    EXPECT_EQ(Vexa_StartUnit(ctx, add), VXERR_INVALID_TOKEN);
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 2);

    /* It starts at 2 and runs; the set at 4 is its last hold, so it stops there, holding
     * its last output, and is freed by the next call that collects returned nodes. */
    EXPECT_EQ(PerTick(5), (std::vector<float>{0.0f, 0.0f, 0.25f, 0.25f, 0.25f}));
    EXPECT_EQ(Vexa_CheckEngineErrors(ctx), 0);
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 1);
    /* The probe's input no longer points into the freed unit. */
    EXPECT_EQ(PerTick(1), (std::vector<float>{0.0f}));
}

TEST(TerminateEventsTest, PendingStartRunsDuringTerminationAndEverythingIsFreed) {
    VexaContext *ctx = Vexa_CreateContext();
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    ASSERT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, -1, 0, 0, 2), 0);
    const int32_t add = Vexa_CreateUnit(ctx, VEXA_UNIT_ADD, 0, 0);
    ASSERT_GT(add, 0);
    ASSERT_EQ(Vexa_StartUnitAt(ctx, 10000, add), 0);
    ASSERT_EQ(Vexa_SetPortAt(ctx, 20000, add, PORTID_INPUT_A, 0, 1.0), 0);
    ASSERT_EQ(Vexa_SleepForTicks(ctx, 2), 0);
    EXPECT_EQ(Vexa_Terminate(ctx), 0) << "allocations left after termination";
    Vexa_DeleteContext(ctx);
}

} // namespace
