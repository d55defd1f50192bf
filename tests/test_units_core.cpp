/*
 * Unit and circuit creation: lookup of types, rates, creation defaults and init failures,
 * queue ports' channels, start defaults, circuits and their members, and creation from
 * several client threads at once.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>
#include <vector>

#include "velto_units.h"
#include "vx_test_support.h"
#include "vx_internal.h"
#include "vx_unit.h"

namespace {

using vxtest::EngineTest;

class UnitsCoreTest : public EngineTest {
  protected:
    VexaUnit *Record(int32_t token) {
        return reinterpret_cast<VexaUnit *>(VexaF_ThingFromToken(ctx, token));
    }
};

/* ---- Units ------------------------------------------------------------------------ */

TEST_F(UnitsCoreTest, CreationErrorsLeaveNothingBehind) {
    const int32_t things = Vexa_GetObjectCount(ctx);
    const int32_t allocations = ctx->vxf_AllocCount;
    struct Case {
        const char *name;
        uint32_t type;
        int32_t rate;
        int32_t argument;
        int32_t expected;
    };
    const Case cases[] = {
        {"type 0 is the circuit descriptor, not on the list", 0, 0, 0, VXERR_NOT_FOUND},
        {"unknown type", 0x12345678, 0, 0, VXERR_NOT_FOUND},
        {"control rate", VEXA_UNIT_ADD, 1, 0, VXERR_INVALID_RATE},
        {"negative rate", VEXA_UNIT_ADD, -1, 0, VXERR_INVALID_RATE},
        {"init function refuses the channel", VEXA_UNIT_CHANNEL_OUT, 0, 17,
         VXERR_CHANNELS_MISMATCH},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Vexa_CreateUnit(ctx, c.type, c.rate, c.argument), c.expected) << c.name;
        EXPECT_EQ(Vexa_GetObjectCount(ctx), things) << c.name;
        EXPECT_EQ(ctx->vxf_AllocCount, allocations) << c.name;
    }
    EXPECT_EQ(Vexa_CreateUnit(nullptr, VEXA_UNIT_ADD, 0, 0), VXERR_INVALID_CONTEXT);
    /* The slot left by the failed creation is taken by the next unit. */
    const int32_t unit = Unit(VEXA_UNIT_ADD);
    EXPECT_EQ(unit & 0x7ff, things);
}

TEST_F(UnitsCoreTest, NewUnitHasItsCreationDefaults) {
    const int32_t sine = Unit(VEXA_UNIT_SINE_OSCILLATOR);
    EXPECT_EQ(Get(sine, PORTID_FREQUENCY), 440.0);
    EXPECT_EQ(Get(sine, PORTID_AMPLITUDE), 0.999969482421875);
    EXPECT_EQ(Get(sine, PORTID_PHASE), 0.0);
    EXPECT_EQ(Get(sine, PORTID_OUTPUT), 0.0);
    VexaUnit *unit = Record(sine);
    EXPECT_EQ(unit->state, UNIT_STOPPED);
    EXPECT_EQ(unit->priority, 1);
    EXPECT_EQ(unit->rate, RATE_AUDIO);
    EXPECT_EQ(unit->parent, nullptr);
    EXPECT_EQ(Vexa_GetPriority(ctx, sine), 1);
}

TEST_F(UnitsCoreTest, QueuePortTakesItsChannelsFromTheDefault) {
    for (auto [type, channels] :
         {std::pair{VEXA_UNIT_SAMPLE_READ16_F1, 1}, {VEXA_UNIT_SAMPLE_READ16_F2, 2}}) {
        const int32_t reader = Unit(type);
        const PortInfo *port = nullptr;
        ASSERT_EQ(VexaF_FindHashedPortInfo(ctx, reader, PORTID_DATA, PORT_QUEUE, nullptr, &port), 0);
        QueuePort *queue = VexaS_GetQueue(Record(reader), port);
        EXPECT_EQ(queue->channelsPerFrame, channels);
        EXPECT_TRUE(DLL_IsEmpty(&queue->pending));
        EXPECT_EQ(Vexa_GetPortFrames(ctx, reader, PORTID_DATA, 0), 0);
    }
}

TEST_F(UnitsCoreTest, PortLookupErrors) {
    const int32_t sine = Unit(VEXA_UNIT_SINE_OSCILLATOR);
    EXPECT_EQ(Vexa_SetPort(ctx, sine, 0x0badf00d, 0, 1.0), VXERR_NOT_FOUND);
    EXPECT_EQ(Vexa_SetPort(ctx, sine, PORTID_OUTPUT, 0, 1.0), VXERR_INVALID_PORT_TYPE);
    EXPECT_EQ(Vexa_SetPort(ctx, sine, PORTID_FREQUENCY, 1, 1.0), VXERR_INVALID_PARTNUM);
    EXPECT_EQ(Vexa_SetPort(ctx, 0, PORTID_FREQUENCY, 0, 1.0), VXERR_INVALID_TOKEN);
    const int32_t sample = Vexa_CreateSample(ctx, 16, 1);
    ASSERT_GT(sample, 0);
    EXPECT_EQ(Vexa_SetPort(ctx, sample, PORTID_FREQUENCY, 0, 1.0), VXERR_INVALID_TOKEN_TYPE);
}

TEST_F(UnitsCoreTest, StartDefaultsResetOnlyTheirPorts) {
    /* Schmidt: Output (start default 0) latches high above SetLevel and holds between the
     * levels. Restarting resets the output; the inputs keep their set values. */
    const int32_t schmidt = Unit(VEXA_UNIT_SCHMIDT);
    Set(schmidt, PORTID_SET_LEVEL, 0.5);
    Set(schmidt, PORTID_RESET_LEVEL, -0.5);
    Set(schmidt, PORTID_INPUT, 1.0);
    Start(schmidt);
    Render(1);
    EXPECT_EQ(Get(schmidt, PORTID_OUTPUT), 1.0);
    ASSERT_EQ(Vexa_StopUnit(ctx, schmidt), 0);
    Set(schmidt, PORTID_INPUT, 0.0);
    Render(1);
    EXPECT_EQ(Get(schmidt, PORTID_OUTPUT), 1.0) << "stopped: holds its output";
    Start(schmidt);
    Render(1);
    EXPECT_EQ(Get(schmidt, PORTID_OUTPUT), 0.0) << "reset by the start default";
    EXPECT_EQ(Get(schmidt, PORTID_SET_LEVEL), 0.5);
    EXPECT_EQ(Get(schmidt, PORTID_RESET_LEVEL), -0.5);
}

TEST_F(UnitsCoreTest, ClientThreadsCreateUnitsAtTheSameTime) {
    constexpr int kThreads = 4, kPerThread = 150;
    std::vector<std::vector<int32_t>> tokens(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++)
        threads.emplace_back([this, t, &tokens] {
            for (int i = 0; i < kPerThread; i++)
                tokens[t].push_back(
                    Vexa_CreateUnit(ctx, t % 2 ? VEXA_UNIT_SINE_OSCILLATOR : VEXA_UNIT_ADD, 0, 0));
        });
    for (std::thread &thread : threads) thread.join();
    std::set<int32_t> distinct;
    for (const auto &list : tokens)
        for (int32_t token : list) {
            ASSERT_GT(token, 0);
            distinct.insert(token);
        }
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kThreads * kPerThread));
    EXPECT_EQ(Vexa_GetObjectCount(ctx), kThreads * kPerThread);
    for (int t = 0; t < kThreads; t++)
        for (int32_t token : tokens[t])
            EXPECT_EQ(Vexa_GetPort(ctx, token, PORTID_OUTPUT, 0), 0.0);
}

/* ---- Circuits --------------------------------------------------------------------- */

std::vector<VexaUnit *> gRunLog;
VexaUnitFunc gAddFunction;
void LoggingFunction(VexaContext *context, VexaUnit *unit) {
    gRunLog.push_back(unit);
    gAddFunction(context, unit);
}

TEST_F(UnitsCoreTest, CircuitRunsItsMembersInArrayOrder) {
    const int32_t a = Unit(VEXA_UNIT_ADD), b = Unit(VEXA_UNIT_ADD), c = Unit(VEXA_UNIT_ADD);
    const int32_t members[] = {c, a, b};
    const int32_t circuit = Vexa_CreateCircuit(ctx, members, 3, 0);
    ASSERT_GT(circuit, 0);
    gRunLog.clear();
    gAddFunction = Record(a)->unitFunc;
    for (int32_t m : members) Record(m)->unitFunc = LoggingFunction;

    EXPECT_EQ(Vexa_StartUnit(ctx, a), 0) << "refused quietly";
    Render(1);
    EXPECT_TRUE(gRunLog.empty());
    Start(circuit);
    Render(1);
    ASSERT_EQ(gRunLog.size(), 24u);
    for (size_t i = 0; i < gRunLog.size(); i++)
        EXPECT_EQ(gRunLog[i], Record(members[i % 3])) << "call " << i;
    for (int32_t m : members) {
        EXPECT_EQ(Record(m)->state, UNIT_STOPPED);
        EXPECT_EQ(Record(m)->parent, Record(circuit));
    }
    /* Circuits have no ports. */
    EXPECT_EQ(Vexa_GetNumParts(ctx, circuit, PORTID_OUTPUT), VXERR_NOT_FOUND);
}

TEST_F(UnitsCoreTest, RefusedCircuitChangesNothing) {
    const int32_t a = Unit(VEXA_UNIT_ADD), b = Unit(VEXA_UNIT_ADD), running = Unit(VEXA_UNIT_ADD);
    const int32_t sample = Vexa_CreateSample(ctx, 8, 1);
    ASSERT_GT(sample, 0);
    Start(running);
    Render(1);
    const int32_t inOther[] = {b};
    const int32_t other = Vexa_CreateCircuit(ctx, inOther, 1, 0);
    ASSERT_GT(other, 0);
    const int32_t things = Vexa_GetObjectCount(ctx);

    struct Case {
        const char *name;
        std::vector<int32_t> tokens;
        int32_t flags;
        int32_t expected;
    };
    const Case cases[] = {
        {"running unit after a good one", {a, running}, 0, VXERR_ALREADY_STARTED},
        {"unit of another circuit", {a, b}, 0, VXERR_IN_CIRCUIT},
        {"token given twice", {a, a}, 0, VXERR_IN_CIRCUIT},
        {"not a unit", {a, sample}, 0, VXERR_INVALID_TOKEN_TYPE},
        {"dead token", {a, 0x00ff0000 | 5}, 0, VXERR_INVALID_TOKEN},
        {"no members", {}, 0, VXERR_EMPTY_CIRCUIT},
        {"flags", {a}, 1, VXERR_INVALID_FLAG},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Vexa_CreateCircuit(ctx, c.tokens.data(), static_cast<int32_t>(c.tokens.size()),
                                     c.flags),
                  c.expected)
            << c.name;
        EXPECT_EQ(Vexa_GetObjectCount(ctx), things) << c.name;
        EXPECT_EQ(Record(a)->parent, nullptr) << c.name;
        EXPECT_EQ(Record(a)->header.vxt_RefCount, 1) << c.name;
        EXPECT_EQ(Record(a)->header.vxt_Node.next, &Record(a)->header.vxt_Node) << c.name;
    }
    EXPECT_EQ(Record(running)->parent, nullptr);
    EXPECT_EQ(Record(running)->state, UNIT_RUNNING);
}

TEST_F(UnitsCoreTest, DeletingACircuitReleasesItsMembers) {
    const int32_t kept = Unit(VEXA_UNIT_ADD), dropped = Unit(VEXA_UNIT_ADD);
    const int32_t members[] = {kept, dropped};
    const int32_t circuit = Vexa_CreateCircuit(ctx, members, 2, 0);
    ASSERT_GT(circuit, 0);
    Start(circuit);
    Render(1);
    VexaUnit *keptUnit = Record(kept);
    ASSERT_EQ(Vexa_Delete(ctx, dropped), 0); /* only the circuit holds it now */
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 3);

    ASSERT_EQ(Vexa_Delete(ctx, circuit), 0);
    Render(1);
    EXPECT_EQ(Vexa_StopUnit(ctx, kept), 0); /* a node to follow the released circuit back */
    Render(1);
    ASSERT_EQ(Vexa_CheckEngineErrors(ctx), 0);
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 1);
    EXPECT_EQ(keptUnit->parent, nullptr);
    EXPECT_EQ(keptUnit->header.vxt_RefCount - keptUnit->header.vxt_ReleaseCount, 1);

    /* The survivor is independent again. */
    Set(kept, PORTID_INPUT_A, 0.5);
    const std::vector<float> out = EngineTest::Record(kept, PORTID_OUTPUT, 1);
    for (float v : out) ASSERT_EQ(v, 0.5f);
}

} // namespace
