/*
 * Ports: signal conversions of set values, the float to 16-bit conversion, signal types,
 * reading values, connecting and disconnecting outputs, inputs and buses, and the errors
 * and warnings of the port calls.
 */
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "velto_units.h"
#include "vx_test_support.h"
#include "vx_internal.h"
#include "vx_unit.h"

namespace {

using vxtest::EngineTest;

constexpr double kRate = 44100.0;
const double kPi = static_cast<double>(3.1415927f);

using PortsTest = EngineTest;

/* ---- Conversions ------------------------------------------------------------------ */

TEST_F(PortsTest, SignalConversionsAt44100) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        uint8_t type;
        uint8_t rate;
        float value;
        double expected;
    };
    const Case cases[] = {
        {VEXA_SIGNAL_SIGNED, 0, 2.5f, 1.0},
        {VEXA_SIGNAL_SIGNED, 0, -3.0f, -1.0},
        {VEXA_SIGNAL_SIGNED, 0, -0.25f, -0.25},
        {VEXA_SIGNAL_UNSIGNED, 0, -0.5f, 0.0},
        {VEXA_SIGNAL_UNSIGNED, 0, 2.5f, 2.0},
        {VEXA_SIGNAL_UNSIGNED, 0, 1.5f, 1.5},
        {VEXA_SIGNAL_FREQUENCY, 0, 12345.5f, 12345.5},
        {VEXA_SIGNAL_SAMPLE_RATE, 0, 22050.0f, 22050.0},
        {VEXA_SIGNAL_RAW, 0, -7.5f, -7.5},
        {VEXA_SIGNAL_HALF_LIFE, 0, 0.1f, 1.0 - std::pow(0.5, 1.0 / (double(0.1f) * kRate))},
        {VEXA_SIGNAL_HALF_LIFE, 0, 0.0f, 1.0},
        {VEXA_SIGNAL_HALF_LIFE, 0, 1.9f / 44100.0f, 1.0},
        {VEXA_SIGNAL_HALF_LIFE, 0, -1.0f, 1.0},
        {VEXA_SIGNAL_TIME, 0, 1.0f, 1.0 / kRate},
        {VEXA_SIGNAL_TIME, 1, 1.0f, 8.0 / kRate},
        {VEXA_SIGNAL_TIME, 0, 1.0f / 44100.0f, 1.0},
        {VEXA_SIGNAL_SVF_FREQUENCY, 0, 1000.0f, 2.0 * std::sin(kPi * 1000.0 * (1.0 / kRate))},
        {VEXA_SIGNAL_SVF_FREQUENCY, 1, 1000.0f, 2.0 * std::sin(8.0 * kPi * 1000.0 * (1.0 / kRate))},
    };
    for (const Case &c : cases) {
        float native = -42.0f;
        ASSERT_EQ(VexaS_ConvertSignalToNative(ctx, c.type, c.rate, c.value, &native), 0);
        EXPECT_EQ(native, static_cast<float>(c.expected))
            << "type " << int(c.type) << " rate " << int(c.rate) << " value " << c.value;
    }
    /* The half-life coefficient halves the distance in v seconds, as its definition says. */
    EXPECT_NEAR(std::pow(1.0 - (1.0 - std::pow(0.5, 1.0 / 4410.0)), 4410.0), 0.5, 1e-12);

    /* Limits are comparisons: a value that is not a number passes unchanged. */
    float native = 0.0f;
    ASSERT_EQ(VexaS_ConvertSignalToNative(ctx, VEXA_SIGNAL_SIGNED, 0, nan, &native), 0);
    EXPECT_TRUE(std::isnan(native));
    ASSERT_EQ(VexaS_ConvertSignalToNative(ctx, VEXA_SIGNAL_UNSIGNED, 0, nan, &native), 0);
    EXPECT_TRUE(std::isnan(native));
    native = 5.0f;
    EXPECT_EQ(VexaS_ConvertSignalToNative(ctx, 8, 0, 1.0f, &native), VXERR_INVALID_SIGNAL_TYPE);
    EXPECT_EQ(native, 5.0f) << "nothing stored on error";
}

TEST_F(PortsTest, SetValuesAreConvertedByThePortsType) {
    const int32_t sine = Unit(VEXA_UNIT_SINE_OSCILLATOR), line = Unit(VEXA_UNIT_LINE_OUT),
                  lag = Unit(VEXA_UNIT_LAG_EXP), ramp = Unit(VEXA_UNIT_LAG_LINEAR),
                  svf = Unit(VEXA_UNIT_FILTER_OLD_SVF);
    struct Case {
        int32_t unit;
        uint32_t port;
        int32_t part;
        double value;
        float expected;
    };
    const Case cases[] = {
        {sine, PORTID_AMPLITUDE, 0, 2.5, 2.5f},
        {line, PORTID_INPUT, 0, 2.5, 1.0f},
        {line, PORTID_INPUT, 1, -3.0, -1.0f},
        {lag, PORTID_HALF_LIFE, 0, 0.1,
         static_cast<float>(1.0 - std::pow(0.5, 1.0 / (double(0.1f) * kRate)))},
        {ramp, PORTID_TIME, 0, 1.0, static_cast<float>(1.0 / kRate)},
        {svf, PORTID_FREQUENCY, 0, 1000.0,
         static_cast<float>(2.0 * std::sin(kPi * 1000.0 * (1.0 / kRate)))},
    };
    for (const Case &c : cases) Set(c.unit, c.port, c.value, c.part);
    Render(1);
    for (const Case &c : cases)
        EXPECT_EQ(Get(c.unit, c.port, c.part), c.expected) << "port 0x" << std::hex << c.port;
}

TEST_F(PortsTest, ChangedSignalTypeGovernsLaterSetsOnly) {
    const int32_t line = Unit(VEXA_UNIT_LINE_OUT);
    Set(line, PORTID_INPUT, -0.5);
    Render(1);
    ASSERT_EQ(Vexa_SetPortSignalType(ctx, line, PORTID_INPUT, 0, VEXA_SIGNAL_UNSIGNED), 0);
    EXPECT_EQ(Vexa_GetPortSignalType(ctx, line, PORTID_INPUT, 0), VEXA_SIGNAL_UNSIGNED);
    EXPECT_EQ(Vexa_GetPortSignalType(ctx, line, PORTID_INPUT, 1), VEXA_SIGNAL_SIGNED);
    EXPECT_EQ(Get(line, PORTID_INPUT), -0.5) << "the stored value is not converted again";
    Set(line, PORTID_INPUT, -0.5);
    Render(1);
    EXPECT_EQ(Get(line, PORTID_INPUT), 0.0);

    EXPECT_EQ(Vexa_SetPortSignalType(ctx, line, PORTID_INPUT, 0, 8), VXERR_INVALID_SIGNAL_TYPE);
    EXPECT_EQ(Vexa_SetPortSignalType(ctx, line, PORTID_INPUT, 0, -1), VXERR_INVALID_SIGNAL_TYPE);
    EXPECT_EQ(Vexa_SetPortSignalType(ctx, line, PORTID_INPUT, 2, 0), VXERR_INVALID_PARTNUM);
    const int32_t sine = Unit(VEXA_UNIT_SINE_OSCILLATOR);
    EXPECT_EQ(Vexa_SetPortSignalType(ctx, sine, PORTID_OUTPUT, 0, 0), VXERR_INVALID_PORT_TYPE);
    EXPECT_EQ(Vexa_GetPortSignalType(ctx, sine, PORTID_OUTPUT, 0), VXERR_INVALID_PORT_TYPE);
    EXPECT_EQ(Vexa_GetPortSignalType(ctx, sine, PORTID_PHASE, 0), VEXA_SIGNAL_SIGNED);
    const int32_t reader = Unit(VEXA_UNIT_SAMPLE_READ16_F1);
    ASSERT_EQ(Vexa_SetPortSignalType(ctx, reader, PORTID_DATA, 0, VEXA_SIGNAL_RAW), 0);
    EXPECT_EQ(Vexa_GetPortSignalType(ctx, reader, PORTID_DATA, 0), VEXA_SIGNAL_RAW);
}

TEST(FloatTo16Test, ScalesRoundsAndLimits) {
    struct Case {
        float value;
        int32_t expected;
    };
    const Case cases[] = {
        {1.0f, 32767},     {0.5f, 16384},       {-1.0f, -32767},  {-2.0f, -32768},
        {-0.00002f, 0},    {0.00002f, 1},       {0.0f, 0},        {1.0e10f, 32767},
        {-1.0e10f, -32768}, {std::numeric_limits<float>::quiet_NaN(), 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(VexaS_ConvertFP_16_ClipS(c.value), c.expected) << c.value;
}

/* ---- Reading ---------------------------------------------------------------------- */

TEST_F(PortsTest, ReadingErrors) {
    const int32_t sine = Unit(VEXA_UNIT_SINE_OSCILLATOR);
    EXPECT_EQ(Vexa_GetPort(ctx, sine, 0x0badf00d, 0), -1000087.0);
    EXPECT_EQ(Vexa_GetPort(ctx, sine, PORTID_FREQUENCY, 1), -1000096.0);
    EXPECT_EQ(Vexa_GetPort(nullptr, sine, PORTID_FREQUENCY, 0), -1000063.0);
    EXPECT_EQ(Vexa_ReadPort(ctx, sine, PORTID_FREQUENCY, 0, nullptr), VXERR_OUT_OF_RANGE);
    EXPECT_EQ(Vexa_GetNumParts(ctx, sine, PORTID_OUTPUT), 1);
    EXPECT_EQ(Vexa_GetNumParts(ctx, Unit(VEXA_UNIT_LINE_OUT), PORTID_INPUT), 2);
    EXPECT_EQ(Vexa_GetNumParts(ctx, sine, 0x0badf00d), VXERR_NOT_FOUND);

    const int32_t reader = Unit(VEXA_UNIT_SAMPLE_READ16_F1);
    EXPECT_EQ(Vexa_GetPortFrames(ctx, reader, PORTID_DATA, 0), 0);
    EXPECT_EQ(Vexa_GetPortFrames(ctx, 12345, PORTID_DATA, 0), -1);
    EXPECT_EQ(Vexa_GetPortFrames(ctx, reader, PORTID_OUTPUT, 0), -1);
    int32_t frames = -5;
    EXPECT_EQ(Vexa_ReadPortFrames(ctx, sine, PORTID_OUTPUT, 0, &frames), VXERR_INVALID_PORT_TYPE);
    EXPECT_EQ(frames, -5);
}

/* ---- Connections ------------------------------------------------------------------ */

TEST_F(PortsTest, InputFollowsItsLatestSourceAndFallsBackToItsOwnValue) {
    const int32_t first = Unit(VEXA_UNIT_ADD), second = Unit(VEXA_UNIT_ADD),
                  reader = Unit(VEXA_UNIT_ADD);
    Set(first, PORTID_INPUT_A, 0.25);
    Set(second, PORTID_INPUT_A, 0.5);
    Set(reader, PORTID_INPUT_A, 0.125);
    ASSERT_EQ(Vexa_ConnectUnits(ctx, first, PORTID_OUTPUT, 0, reader, PORTID_INPUT_A, 0), 0);
    EXPECT_EQ(Vexa_ConnectUnits(ctx, second, PORTID_OUTPUT, 0, reader, PORTID_INPUT_A, 0),
              VXWARN_ALREADY_CONNECTED);
    EXPECT_EQ(Vexa_ConnectUnits(ctx, second, PORTID_OUTPUT, 0, reader, PORTID_INPUT_A, 0),
              VXWARN_ALREADY_CONNECTED) << "the same output again";
    EXPECT_EQ(Vexa_SetPort(ctx, reader, PORTID_INPUT_A, 0, 0.375), VXWARN_ALREADY_CONNECTED);
    for (int32_t unit : {first, second, reader}) Start(unit);
    Render(1);
    EXPECT_EQ(Get(reader, PORTID_INPUT_A), 0.5);
    EXPECT_EQ(Get(reader, PORTID_OUTPUT), 0.5);

    /* The first output lost its listener when the input moved. */
    EXPECT_EQ(Vexa_DisconnectUnits(ctx, first, PORTID_OUTPUT, 0), 0);
    EXPECT_EQ(Get(reader, PORTID_INPUT_A), 0.5);
    EXPECT_EQ(Vexa_DisconnectUnits(ctx, reader, PORTID_INPUT_A, 0), 0);
    EXPECT_EQ(Get(reader, PORTID_INPUT_A), 0.375) << "the value set while connected";
    EXPECT_EQ(Vexa_DisconnectUnits(ctx, reader, PORTID_INPUT_A, 0), VXWARN_NOT_CONNECTED);
}

TEST_F(PortsTest, DisconnectingAnOutputReleasesAllItsListeners) {
    const int32_t source = Unit(VEXA_UNIT_ADD);
    Set(source, PORTID_INPUT_A, 0.75);
    std::vector<int32_t> listeners;
    for (int i = 0; i < 3; i++) {
        const int32_t listener = Unit(VEXA_UNIT_ADD);
        Set(listener, PORTID_INPUT_B, 0.125 * (i + 1));
        ASSERT_EQ(Vexa_ConnectUnits(ctx, source, PORTID_OUTPUT, 0, listener, PORTID_INPUT_B, 0),
                  0);
        listeners.push_back(listener);
    }
    Start(source);
    Render(1);
    for (int32_t listener : listeners) EXPECT_EQ(Get(listener, PORTID_INPUT_B), 0.75);
    EXPECT_EQ(Vexa_DisconnectUnits(ctx, source, PORTID_OUTPUT, 0), 0);
    for (int i = 0; i < 3; i++) EXPECT_EQ(Get(listeners[i], PORTID_INPUT_B), 0.125 * (i + 1));
    EXPECT_EQ(Vexa_DisconnectUnits(ctx, source, PORTID_OUTPUT, 0), 0);
}

TEST_F(PortsTest, ConnectionErrors) {
    const int32_t add = Unit(VEXA_UNIT_ADD), lag = Unit(VEXA_UNIT_LAG_EXP),
                  line = Unit(VEXA_UNIT_LINE_OUT);
    const int32_t writer = Unit(VEXA_UNIT_BUS_WRITE), bus = Unit(VEXA_UNIT_BUS_READ);
    struct Case {
        const char *name;
        int32_t source;
        uint32_t sourcePort;
        int32_t sourcePart;
        int32_t dest;
        uint32_t destPort;
        int32_t destPart;
        int32_t expected;
    };
    const Case cases[] = {
        {"bus output to input", writer, PORTID_BUS_OUTPUT, 0, add, PORTID_INPUT_A, 0,
         VXERR_INCOMPATIBLE_PORTS},
        {"output to bus input", add, PORTID_OUTPUT, 0, bus, PORTID_BUS_INPUT, 0,
         VXERR_INCOMPATIBLE_PORTS},
        {"output to variable", add, PORTID_OUTPUT, 0, lag, PORTID_HALF_LIFE, 0,
         VXERR_INVALID_PORT_TYPE},
        {"input as source", add, PORTID_INPUT_A, 0, line, PORTID_INPUT, 0,
         VXERR_INVALID_PORT_TYPE},
        {"part beyond the input's parts", add, PORTID_OUTPUT, 0, line, PORTID_INPUT, 2,
         VXERR_INVALID_PARTNUM},
        {"negative source part", add, PORTID_OUTPUT, -1, line, PORTID_INPUT, 0,
         VXERR_INVALID_PARTNUM},
        {"unknown port", add, 0x0badf00d, 0, line, PORTID_INPUT, 0, VXERR_NOT_FOUND},
        {"dead destination", add, PORTID_OUTPUT, 0, 0x7f000000, PORTID_INPUT, 0,
         VXERR_INVALID_TOKEN},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Vexa_ConnectUnits(ctx, c.source, c.sourcePort, c.sourcePart, c.dest, c.destPort,
                                    c.destPart),
                  c.expected)
            << c.name;
    EXPECT_EQ(Vexa_DisconnectUnits(ctx, lag, PORTID_HALF_LIFE, 0), VXERR_INVALID_PORT_TYPE);
    EXPECT_EQ(Vexa_DisconnectUnits(ctx, writer, PORTID_BUS_OUTPUT, 0), VXWARN_NOT_CONNECTED);
    EXPECT_EQ(Vexa_DisconnectUnits(ctx, bus, PORTID_BUS_INPUT, 0), 0);
    /* Nothing was connected by the failed calls. */
    EXPECT_EQ(Vexa_DisconnectUnits(ctx, add, PORTID_OUTPUT, 0), 0);
    EXPECT_EQ(Vexa_DisconnectUnits(ctx, line, PORTID_INPUT, 0), VXWARN_NOT_CONNECTED);
}

TEST_F(PortsTest, BusWritersSumIntoTheirReader) {
    struct Case {
        const char *name;
        bool readerFirst;
        int32_t lateFrames;
    };
    for (const Case &c : {Case{"writers run first", false, 0}, Case{"reader runs first", true, 8}}) {
        SCOPED_TRACE(c.name);
        const int32_t reader = Unit(VEXA_UNIT_BUS_READ);
        Set(reader, PORTID_AMPLITUDE, 1.0);
        std::vector<int32_t> writers;
        for (double value : {0.25, 0.5}) {
            const int32_t writer = Unit(VEXA_UNIT_BUS_WRITE);
            Set(writer, PORTID_INPUT, value);
            ASSERT_EQ(Vexa_ConnectUnits(ctx, writer, PORTID_BUS_OUTPUT, 0, reader,
                                        PORTID_BUS_INPUT, 0),
                      0);
            writers.push_back(writer);
        }
        if (c.readerFirst) Start(reader);
        for (int32_t writer : writers) Start(writer);
        const std::vector<float> out = Record(reader, PORTID_OUTPUT, 1);
        for (int frame = 0; frame < 64; frame++)
            ASSERT_EQ(out[frame], frame < c.lateFrames ? 0.0f : 0.75f) << "frame " << frame;

        /* A writer moved to another bus leaves this one; reconnecting warns. */
        const int32_t other = Unit(VEXA_UNIT_BUS_READ);
        EXPECT_EQ(Vexa_ConnectUnits(ctx, writers[0], PORTID_BUS_OUTPUT, 0, other,
                                    PORTID_BUS_INPUT, 0),
                  VXWARN_ALREADY_CONNECTED);
        EXPECT_EQ(Vexa_DisconnectUnits(ctx, writers[1], PORTID_BUS_OUTPUT, 0), 0);
        const std::vector<float> after = Render(1);
        for (int frame = 8; frame < 64; frame++) ASSERT_EQ(after[frame * 2], 0.0f);
        EXPECT_EQ(Vexa_DisconnectUnits(ctx, other, PORTID_BUS_INPUT, 0), 0);
        EXPECT_EQ(Vexa_DisconnectUnits(ctx, writers[0], PORTID_BUS_OUTPUT, 0),
                  VXWARN_NOT_CONNECTED);
        for (int32_t unit : {reader, other, writers[0], writers[1]})
            ASSERT_EQ(Vexa_Delete(ctx, unit), 0);
        Render(1);
        ASSERT_EQ(Vexa_CheckEngineErrors(ctx), 0);
    }
}

TEST_F(PortsTest, FreedSourceLeavesListenersOnTheirOwnValues) {
    const int32_t sine = Unit(VEXA_UNIT_SINE_OSCILLATOR), reader = Unit(VEXA_UNIT_ADD);
    const int32_t writer = Unit(VEXA_UNIT_BUS_WRITE), bus = Unit(VEXA_UNIT_BUS_READ);
    ASSERT_EQ(Vexa_ConnectUnits(ctx, sine, PORTID_OUTPUT, 0, reader, PORTID_INPUT_A, 0), 0);
    ASSERT_EQ(Vexa_ConnectUnits(ctx, writer, PORTID_BUS_OUTPUT, 0, bus, PORTID_BUS_INPUT, 0), 0);
    EXPECT_EQ(Vexa_SetPort(ctx, reader, PORTID_INPUT_A, 0, 0.125), VXWARN_ALREADY_CONNECTED);
    for (int32_t unit : {sine, reader, writer, bus}) Start(unit);
    Render(2);
    EXPECT_NE(Get(reader, PORTID_INPUT_A), 0.125);
    ASSERT_EQ(Vexa_Delete(ctx, sine), 0);
    ASSERT_EQ(Vexa_Delete(ctx, bus), 0);
    Render(1);
    /* The back end keeps the last node it returned until another follows: a command
     * pushes the released units through. */
    Set(writer, PORTID_INPUT, 0.0);
    Render(1);
    ASSERT_EQ(Vexa_CheckEngineErrors(ctx), 0);
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 2);
    EXPECT_EQ(Get(reader, PORTID_INPUT_A), 0.125);
    EXPECT_EQ(Vexa_DisconnectUnits(ctx, reader, PORTID_INPUT_A, 0), VXWARN_NOT_CONNECTED);
    EXPECT_EQ(Vexa_DisconnectUnits(ctx, writer, PORTID_BUS_OUTPUT, 0), VXWARN_NOT_CONNECTED);
    Render(1); /* the writer now adds into the bucket nobody reads */
}

/* ---- Commands that cannot be sent -------------------------------------------------- */

TEST_F(PortsTest, UnsentCommandReturnsItsNodeAndReference) {
    const int32_t add = Unit(VEXA_UNIT_ADD);
    VexaUnit *unit = reinterpret_cast<VexaUnit *>(VexaF_ThingFromToken(ctx, add));
    Render(1);
    ASSERT_EQ(Vexa_CheckEngineErrors(ctx), 0);
    /* A queue without room: the sender drains it, still finds no room and gives up. */
    ASSERT_EQ(AFIFO_Init(&ctx->vxs_FrontToBack, 0, sizeof(FrontToBackEntry),
                         ctx->vxs_FrontToBackEntries),
              0);
    EXPECT_EQ(Vexa_SetPort(ctx, add, PORTID_INPUT_A, 0, 1.0), VXERR_F2B_FULL);
    const int32_t allocations = ctx->vxf_AllocCount;
    const int32_t pooled = DLL_CountNodes(&ctx->vxf_FreeCommandNodes);
    EXPECT_GE(pooled, 1);
    EXPECT_EQ(Vexa_StartUnit(ctx, add), VXERR_F2B_FULL);
    EXPECT_EQ(Vexa_StopUnit(ctx, add), VXERR_F2B_FULL);
    EXPECT_EQ(Vexa_SetPortAt(ctx, 9, add, PORTID_INPUT_B, 0, 1.0), VXERR_F2B_FULL);
    EXPECT_EQ(ctx->vxf_AllocCount, allocations) << "the pooled node was reused";
    EXPECT_EQ(DLL_CountNodes(&ctx->vxf_FreeCommandNodes), pooled);
    EXPECT_EQ(unit->header.vxt_RefCount - unit->header.vxt_ReleaseCount, 1);
    ASSERT_EQ(AFIFO_Init(&ctx->vxs_FrontToBack, VX_F2B_ENTRIES, sizeof(FrontToBackEntry),
                         ctx->vxs_FrontToBackEntries),
              0);

    /* Deleting the unit now frees it: no command holds it. */
    const int32_t other = Unit(VEXA_UNIT_ADD);
    ASSERT_EQ(Vexa_Delete(ctx, add), 0);
    Render(1);
    Set(other, PORTID_INPUT_A, 0.0); /* a node to follow the released unit back */
    Render(1);
    ASSERT_EQ(Vexa_CheckEngineErrors(ctx), 0);
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 1);
}

} // namespace
