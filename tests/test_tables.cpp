/*
 * Tables: creation and writes (plain and array variants), attaching and detaching with
 * Vexa_UseTable, and the TableLookup and WaveOscillator units that read them.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "velto_units.h"
#include "vx_test_support.h"
#include "vx_internal.h"
#include "vx_unit.h"

namespace {

using vxtest::EngineTest;

class TableTest : public EngineTest {
  protected:
    int32_t ticker = 0;

    void SetUp() override {
        EngineTest::SetUp();
        ticker = Unit(VEXA_UNIT_CHANNEL_OUT); /* never started; only receives commands */
    }

    int32_t MakeTable(const std::vector<double> &values) {
        const uint32_t frames = static_cast<uint32_t>(values.size());
        const int32_t table = Vexa_CreateTable(ctx, frames);
        EXPECT_GT(table, 0);
        EXPECT_EQ(Vexa_WriteTableDoubles(ctx, table, 0, values.data(), frames), 0);
        return table;
    }

    /* A running TableLookup with Amplitude 1. */
    int32_t Lookup(int32_t table) {
        const int32_t unit = Unit(VEXA_UNIT_TABLE_LOOKUP);
        Set(unit, PORTID_AMPLITUDE, 1.0);
        if (table != 0) {
            EXPECT_EQ(Vexa_UseTable(ctx, unit, PORTID_TABLE, 0, table), 0);
        }
        Start(unit);
        return unit;
    }

    /* The lookup's output for input x, one tick later. */
    double At(int32_t unit, double x) {
        Set(unit, PORTID_INPUT, x);
        Render(1);
        return Get(unit, PORTID_OUTPUT);
    }

    /* Lets the back end return what it released, and the front end free it. */
    void Collect() {
        Set(ticker, PORTID_INPUT, 0.0);
        Render(1);
        ASSERT_EQ(Vexa_CheckEngineErrors(ctx), 0);
    }
};

/* ---- Creation and writes ------------------------------------------------------------- */

TEST_F(TableTest, CreateRefusesEmptyAndOversizedTables) {
    EXPECT_EQ(Vexa_CreateTable(ctx, 0), VXERR_OUT_OF_RANGE);
    EXPECT_EQ(Vexa_CreateTable(ctx, 0x20000000u), VXERR_OUT_OF_RANGE); /* 2^31 bytes */
    EXPECT_EQ(Vexa_CreateTable(ctx, 0xFFFFFFFFu), VXERR_OUT_OF_RANGE);
    EXPECT_EQ(Vexa_CreateTable(nullptr, 4), VXERR_INVALID_CONTEXT);
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 1) << "the ticker only";
}

TEST_F(TableTest, WritesStayInsideTheTableAndTheBuffer) {
    const int32_t table = Vexa_CreateTable(ctx, 4);
    const int16_t shorts[8] = {};
    const double doubles[8] = {};
    struct Case {
        uint32_t start;
        uint32_t frames;
        uint32_t maxBytes;
        int32_t doubles;
        int32_t expected;
    };
    const Case cases[] = {
        {4, 0, 0x7FFFFFFF, 0, 0},
        {5, 0, 0x7FFFFFFF, 0, VXERR_OUT_OF_RANGE},
        {3, 2, 0x7FFFFFFF, 1, VXERR_OUT_OF_RANGE},
        {0, 5, 0x7FFFFFFF, 0, VXERR_OUT_OF_RANGE},
        {2, 0xFFFFFFFFu, 0x7FFFFFFF, 0, VXERR_OUT_OF_RANGE},
        {0, 2, 3, 0, VXERR_OUT_OF_RANGE},   /* two 16-bit values need 4 bytes */
        {0, 2, 4, 0, 0},
        {0, 2, 15, 1, VXERR_OUT_OF_RANGE},  /* two doubles need 16 */
        {0, 2, 16, 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << "+" << c.frames << " in " << c.maxBytes
                                        << (c.doubles ? " doubles" : " shorts"));
        EXPECT_EQ(VexaF_WriteTable(ctx, table, c.start, c.frames,
                                   c.doubles ? static_cast<const void *>(doubles) : shorts,
                                   c.maxBytes, c.doubles),
                  c.expected);
    }
    const int32_t sample = Vexa_CreateSample(ctx, 4, 1);
    EXPECT_EQ(Vexa_WriteTable(ctx, sample, 0, shorts, 1), VXERR_INVALID_TOKEN_TYPE);
    EXPECT_EQ(Vexa_WriteTableDoubles(ctx, 0, 0, doubles, 1), VXERR_INVALID_TOKEN);
}

TEST_F(TableTest, StoredValuesAsSeenThroughALookup) {
    /* Two-value tables: input -1 reads the first value, +1 the second, 0 their mean. */
    const int32_t fromShorts = Vexa_CreateTable(ctx, 2);
    const int16_t extremes[2] = {-32768, 32767};
    ASSERT_EQ(Vexa_WriteTable(ctx, fromShorts, 0, extremes, 2), 0);
    const int32_t a = Lookup(fromShorts);
    EXPECT_EQ(At(a, -1.0), -1.0);
    EXPECT_EQ(At(a, 1.0), 0.999969482421875);
    EXPECT_EQ(At(a, 0.0), static_cast<float>((-1.0 + 0.999969482421875) / 2));

    /* Doubles are stored as floats, without clipping (the Windows build clips them to
     * [-1, +1] first). */
#if defined(_WIN32)
    const double high = 1.0, low = -1.0;
#else
    const double high = 1.5, low = -2.5;
#endif
    const int32_t b = Lookup(MakeTable({1.5, -2.5}));
    EXPECT_EQ(At(b, -1.0), high);
    EXPECT_EQ(At(b, 1.0), low);
    EXPECT_EQ(At(b, 0.0), (high + low) / 2);
    const int32_t c = Lookup(MakeTable({0.1}));
    EXPECT_EQ(At(c, 0.3), static_cast<float>(0.1)) << "a one-value table is constant";
}

TEST_F(TableTest, ArrayVariantsCountOffsetAndLengthInValues) {
    const int32_t table = Vexa_CreateTable(ctx, 2);
    const int16_t shorts[4] = {0, 0, 16384, -16384};
    const double doubles[3] = {9.0, 0.25, 0.75};
    EXPECT_EQ(Vexa_WriteTableJava(ctx, table, 0, 2, shorts, 3, 4), VXERR_OUT_OF_RANGE);
    EXPECT_EQ(Vexa_WriteTableJava(ctx, table, 0, 0, shorts, 5, 4), VXERR_OUT_OF_RANGE);
    EXPECT_EQ(Vexa_WriteTableJava(ctx, table, 0, 2, shorts, 2, 4), 0);
    const int32_t unit = Lookup(table);
    EXPECT_EQ(At(unit, -1.0), 0.5);
    EXPECT_EQ(At(unit, 1.0), -0.5);

    EXPECT_EQ(Vexa_WriteTableDoublesJava(ctx, table, 0, 2, doubles, 2, 3), VXERR_OUT_OF_RANGE);
    EXPECT_EQ(Vexa_WriteTableDoublesJava(ctx, table, 0, 2, doubles, 1, 3), 0);
    EXPECT_EQ(At(unit, -1.0), 0.25);
    EXPECT_EQ(At(unit, 1.0), 0.75);
}

/* ---- TableLookup ----------------------------------------------------------------------- */

TEST_F(TableTest, ThreeValueRampIsTheIdentityClippedToPlusMinusOne) {
    const int32_t unit = Lookup(MakeTable({-1.0, 0.0, 1.0}));
    struct Case {
        double input; /* set on the signed Input, which clips it already */
        double expected;
    };
    for (const Case &c : {Case{0.5, 0.5}, Case{-0.25, -0.25}, Case{2.0, 1.0}, Case{-7.0, -1.0},
                          Case{1.0, 1.0}, Case{-1.0, -1.0}}) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(At(unit, c.input), c.expected);
    }
    /* A connected signal is not clipped by the port: the unit clips it. */
    const int32_t add = Unit(VEXA_UNIT_ADD);
    Start(add);
    ASSERT_EQ(Vexa_ConnectUnits(ctx, add, PORTID_OUTPUT, 0, unit, PORTID_INPUT, 0), 0);
    ASSERT_EQ(Vexa_StopUnit(ctx, unit), 0);
    Start(unit); /* now after the Add in the running order */
    for (const Case &c : {Case{3.0, 1.0}, Case{-7.0, -1.0}}) {
        SCOPED_TRACE(c.input);
        Set(add, PORTID_INPUT_A, c.input);
        Render(1);
        EXPECT_EQ(Get(unit, PORTID_OUTPUT), c.expected);
    }
}

TEST_F(TableTest, UseTableChecksItsArguments) {
    const int32_t unit = Unit(VEXA_UNIT_TABLE_LOOKUP);
    const int32_t table = Vexa_CreateTable(ctx, 4);
    const int32_t sample = Vexa_CreateSample(ctx, 4, 1);
    const int32_t gone = Vexa_CreateTable(ctx, 4);
    ASSERT_EQ(Vexa_Delete(ctx, gone), 0);
    struct Case {
        const char *what;
        int32_t unit;
        uint32_t port;
        int32_t part;
        int32_t table;
        int32_t expected;
    };
    const Case cases[] = {
        {"part 1", unit, PORTID_TABLE, 1, table, VXERR_OUT_OF_RANGE},
        {"no unit", 0, PORTID_TABLE, 0, table, VXERR_INVALID_TOKEN},
        {"unit is a table", table, PORTID_TABLE, 0, table, VXERR_INVALID_TOKEN_TYPE},
        {"port not on unit", unit, 0x1234, 0, table, VXERR_NOT_FOUND},
        {"not a table port", unit, PORTID_INPUT, 0, table, VXERR_INVALID_PORT_TYPE},
        {"a sample", unit, PORTID_TABLE, 0, sample, VXERR_INVALID_TOKEN_TYPE},
        {"a deleted table", unit, PORTID_TABLE, 0, gone, VXERR_INVALID_TOKEN},
        {"detach an empty port", unit, PORTID_TABLE, 0, 0, 0},
        {"attach", unit, PORTID_TABLE, 0, table, 0},
        {"attach again", unit, PORTID_TABLE, 0, table, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Vexa_UseTable(ctx, c.unit, c.port, c.part, c.table), c.expected);
    }
    EXPECT_EQ(Vexa_UseTable(nullptr, unit, PORTID_TABLE, 0, table), VXERR_INVALID_CONTEXT);
}

TEST_F(TableTest, SwapTakesEffectAtTheNextBatchWithItsOwnRange) {
    const int32_t two = MakeTable({0.0, 1.0});
    const int32_t three = MakeTable({0.0, 0.0, 1.0});
    const int32_t unit = Lookup(0);
    Set(unit, PORTID_INPUT, 0.5);
    ASSERT_EQ(Vexa_UseTable(ctx, unit, PORTID_TABLE, 0, two), 0);
    std::vector<float> out = Record(unit, PORTID_OUTPUT, 1);
    for (float v : out) ASSERT_EQ(v, 0.75f) << "from the first frame of the batch";

    /* Read with the two-value table's halfRange, the three-value table would give 0. */
    ASSERT_EQ(Vexa_UseTable(ctx, unit, PORTID_TABLE, 0, three), 0);
    Render(1);
    EXPECT_EQ(Get(unit, PORTID_OUTPUT), 0.5);

    /* Without a table the unit leaves its output alone. */
    ASSERT_EQ(Vexa_UseTable(ctx, unit, PORTID_TABLE, 0, 0), 0);
    Set(unit, PORTID_INPUT, -1.0);
    Render(1);
    EXPECT_EQ(Get(unit, PORTID_OUTPUT), 0.5);
}

TEST_F(TableTest, DeletedTableLivesWhileAttached) {
    const int32_t table = MakeTable({0.25, 0.25});
    const int32_t other = MakeTable({-0.5, -0.5});
    const int32_t unit = Lookup(table);
    ASSERT_EQ(Vexa_Delete(ctx, table), 0);
    Render(1);
    EXPECT_EQ(Get(unit, PORTID_OUTPUT), 0.25) << "still playing the deleted table";
    Collect();
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 4) << "ticker, unit and both tables";

    /* Replacing it lets it go. */
    ASSERT_EQ(Vexa_UseTable(ctx, unit, PORTID_TABLE, 0, other), 0);
    Collect();
    EXPECT_EQ(Get(unit, PORTID_OUTPUT), -0.5);
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 3);

    /* Detaching a deleted table frees it as well. */
    ASSERT_EQ(Vexa_Delete(ctx, other), 0);
    ASSERT_EQ(Vexa_UseTable(ctx, unit, PORTID_TABLE, 0, 0), 0);
    Collect();
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 2);
}

TEST_F(TableTest, FreeingAUnitLetsItsTableGo) {
    const int32_t table = MakeTable({0.0, 1.0});
    const int32_t unit = Lookup(table);
    Render(1);
    ASSERT_EQ(Vexa_Delete(ctx, table), 0);
    ASSERT_EQ(Vexa_Delete(ctx, unit), 0);
    Collect();
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 1) << "the ticker only";
}

/* ---- WaveOscillator ------------------------------------------------------------------ */

TEST_F(TableTest, WaveOscillatorPlaysOneTableCyclePerPeriod) {
    /* One sine cycle over 256 intervals; value 256 repeats value 0. */
    std::vector<double> sine;
    for (int k = 0; k <= 256; k++) sine.push_back(std::sin(2.0 * std::numbers::pi * k / 256.0));
    const int32_t unit = Unit(VEXA_UNIT_WAVE_OSCILLATOR);
    Set(unit, PORTID_AMPLITUDE, 1.0);
    ASSERT_EQ(Vexa_UseTable(ctx, unit, PORTID_TABLE, 0, MakeTable(sine)), 0);
    const int32_t ticks = 20;
    const std::vector<float> out = Record(unit, PORTID_OUTPUT, ticks);

    /* Position u in [-1, +1) reads sin(pi (u + 1)) = -sin(pi u); the phase advances by
     * 440 Hz x (2 / frame rate) per frame. */
    const double increment = 440.0 * static_cast<double>(static_cast<float>(2.0 / 44100.0));
    double phase = 0.0;
    double maxError = 0.0;
    for (int f = 0; f < ticks * 64; f++) {
        phase += increment;
        if (phase >= 1.0) phase -= 2.0;
        maxError = std::max(maxError, std::fabs(out[f] + std::sin(std::numbers::pi * phase)));
    }
    EXPECT_LT(maxError, 1e-4) << "linear interpolation over 256 intervals";
    EXPECT_NEAR(Get(unit, PORTID_PHASE), phase, 1e-4);
}

TEST_F(TableTest, WaveOscillatorWithoutATableIsFrozen) {
    const int32_t unit = Unit(VEXA_UNIT_WAVE_OSCILLATOR);
    Set(unit, PORTID_PHASE, 0.25);
    const std::vector<float> out = Record(unit, PORTID_OUTPUT, 2);
    for (float v : out) ASSERT_EQ(v, 0.0f);
    EXPECT_EQ(Get(unit, PORTID_PHASE), 0.25);

    /* Attached, it starts from that phase: a two-value ramp (-1, 1) reads the phase back. */
    ASSERT_EQ(Vexa_UseTable(ctx, unit, PORTID_TABLE, 0, MakeTable({-1.0, 1.0})), 0);
    Set(unit, PORTID_FREQUENCY, 100.0);
    Set(unit, PORTID_AMPLITUDE, 1.0);
    Render(1);
    const double increment = 100.0 * static_cast<double>(static_cast<float>(2.0 / 44100.0));
    EXPECT_NEAR(Get(unit, PORTID_OUTPUT), 0.25 + 57 * increment, 1e-6)
        << "first frame of the last block";
}

} // namespace
