/*
 * The band-limited multiwave tables and the four band-limited oscillators: the level
 * function, the table set recomputed independently, the table reader at the levels that
 * matter, the oscillators frame by frame, and a measurement of their aliasing.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "velto_units.h"
#include "vx_test_support.h"
#include "vx_internal.h"
#include "vx_unit.h"

/* ---- Allocation failure injection ----------------------------------------------------
 * The engine allocates through calloc. While sFailAllocation is positive, the allocation
 * with that number (counting from 1) fails. Not used under the sanitizers, whose own
 * allocators must not be bypassed. */
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(_WIN32)
/* (Windows build: its C library has no __libc_calloc to forward to.) */
#define VX_NO_ALLOCATION_HOOK 1
#else
static int sFailAllocation = 0;
static int sAllocationsSeen = 0;
extern "C" void *__libc_calloc(size_t count, size_t size);
extern "C" void *calloc(size_t count, size_t size) {
    if (sFailAllocation > 0 && ++sAllocationsSeen == sFailAllocation) return nullptr;
    return __libc_calloc(count, size);
}
#endif

namespace {

using vxtest::EngineTest;

constexpr double kPiF = 3.1415927410125732;
constexpr int kN = 1024;

float Bits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

/* ---- The level function ----------------------------------------------------------------- */

TEST(SawBLLevel, ListedIncrements) {
    struct Case {
        float increment;
        float level;
    };
    const Case cases[] = {
        {1.0f, -1.0f}, {0.5f, 0.0f},   {0.25f, 1.0f},  {1.0f / 256, 7.0f},
        {-0.5f, 0.0f}, {0.0f, 126.0f}, {-1.0f, -1.0f}, {2.0f, -2.0f},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(VX_SawBL_PhaseIncToLevel(c.increment), c.level) << "increment " << c.increment;
    }
}

TEST(SawBLLevel, LinearBetweenPowersOfTwo) {
    /* 0.75 lies halfway in mantissa between 0.5 and 1: level -0.5 up to the mantissa scale
     * 1 / (2^23 - 1). */
    EXPECT_EQ(VX_SawBL_PhaseIncToLevel(0.75f),
              static_cast<float>(126.0 - (4194304 * 1.1920930376163766e-07 + 126)));
    EXPECT_NEAR(VX_SawBL_PhaseIncToLevel(0.75f), -0.5f, 1e-6);
    /* The largest mantissa reaches the next power of two's level. */
    EXPECT_EQ(VX_SawBL_PhaseIncToLevel(Bits(0x3f7fffff)), -1.0f); /* just below 1.0 */
    /* The smallest denormal still has exponent 0. */
    EXPECT_EQ(VX_SawBL_PhaseIncToLevel(Bits(1)),
              static_cast<float>(126.0 - 1.1920930376163766e-07));
}

/* ---- NormalizeArray ----------------------------------------------------------------------- */

TEST(SawBLNormalize, ScalesLargestMagnitudeToOne) {
    float values[] = {0.5f, -2.0f, 1.0f};
    EXPECT_EQ(NormalizeArray(values, 3), 0.5f);
    EXPECT_EQ(values[0], 0.25f);
    EXPECT_EQ(values[1], -1.0f);
    EXPECT_EQ(values[2], 0.5f);
}

TEST(SawBLNormalize, SilentAndEmptyArraysUseTheFloor) {
    float zeros[] = {0.0f, 0.0f};
    const float floorScale = static_cast<float>(1.0 / 1.0e-7f);
    EXPECT_EQ(NormalizeArray(zeros, 2), floorScale);
    EXPECT_EQ(zeros[0], 0.0f);
    EXPECT_EQ(zeros[1], 0.0f);
    EXPECT_EQ(NormalizeArray(nullptr, 0), floorScale);
}

/* ---- The table set -------------------------------------------------------------------------- */

/* Tables recomputed here from their definition: sine entries, then for each entry the sum of
 * weighted harmonics (index taken modulo N directly), then normalisation. */
std::vector<std::vector<float>> ReferenceTables() {
    std::vector<std::vector<float>> tables(8, std::vector<float>(kN + 1, 0.0f));
    for (int j = 0; j <= kN; j++)
        tables[0][j] = static_cast<float>(std::sin(2.0 * kPiF * j / kN - kPiF));
    for (int t = 1; t < 8; t++) {
        const int h = 1 << t;
        std::vector<float> weights(h);
        for (int k = 0; k < h; k++) {
            const double c = std::cos(k * kPiF / (2.0 * h));
            weights[k] = static_cast<float>(c * c / (k + 1));
        }
        for (int j = 0; j <= kN; j++) {
            float sum = 0.0f;
            for (int k = 0; k < h; k++) {
                sum =
                    static_cast<float>(sum + static_cast<double>(weights[k]) *
                                                 tables[0][(static_cast<long>(j) * (k + 1)) % kN]);
            }
            tables[t][j] = sum;
        }
        float largest = 0.0f;
        for (float v : tables[t]) largest = std::max(largest, std::fabs(v));
        const float scale = static_cast<float>(1.0 / largest);
        for (float &v : tables[t]) v = static_cast<float>(static_cast<double>(v) * scale);
    }
    return tables;
}

using SawBLTableTest = EngineTest;

TEST_F(SawBLTableTest, SetMatchesIndependentComputationBitForBit) {
    const SawMultiTables &set = ctx->vxb_SawTables;
    ASSERT_EQ(set.numTables, 8);
    ASSERT_EQ(set.cycleLength, kN);
    ASSERT_EQ(set.halfLength, 512.0f);
    ASSERT_NE(set.tables, nullptr);
    const std::vector<std::vector<float>> reference = ReferenceTables();
    for (int t = 0; t < 8; t++) {
        SCOPED_TRACE(t);
        ASSERT_EQ(std::memcmp(set.tables[t], reference[t].data(), sizeof(float) * (kN + 1)), 0);
    }
}

TEST_F(SawBLTableTest, ShapesOfTheTables) {
    const SawMultiTables &set = ctx->vxb_SawTables;
    /* Table 0 keeps its sine values. */
    EXPECT_EQ(set.tables[0][kN / 4], -1.0f);
    EXPECT_EQ(set.tables[0][3 * kN / 4], 1.0f);
    for (int t = 1; t < 8; t++) {
        SCOPED_TRACE(t);
        float largest = 0.0f;
        for (int j = 0; j <= kN; j++) largest = std::max(largest, std::fabs(set.tables[t][j]));
        EXPECT_NEAR(largest, 1.0f, 1e-7f);
        /* A rising band-limited ramp: about -p... +p through the cycle, 0 at mid-cycle. */
        EXPECT_NEAR(set.tables[t][kN / 2], 0.0f, 1e-6f);
        EXPECT_LT(set.tables[t][kN / 4], -0.2f);
        EXPECT_GT(set.tables[t][3 * kN / 4], 0.2f);
        /* The guard entry closes the cycle. */
        EXPECT_NEAR(set.tables[t][kN], set.tables[t][0], 1e-6f);
    }
}

TEST_F(SawBLTableTest, TermEmptiesTheSetAndReleasesItsMemory) {
    SawMultiTables set{};
    const int32_t before = ctx->vxf_AllocCount;
    ASSERT_EQ(CreateMultiWaveSawtooth(ctx, &set, 8, kN), 0);
    EXPECT_EQ(ctx->vxf_AllocCount, before + 9); /* sine, pointer array, seven tables */
    EXPECT_EQ(VX_SawBL_Term(ctx, &set), 0);
    EXPECT_EQ(ctx->vxf_AllocCount, before);
    EXPECT_EQ(set.tables, nullptr);
    EXPECT_EQ(set.numTables, 0);
    /* An empty set reads as silence instead of touching missing tables. */
    EXPECT_EQ(VX_SawBL_CalculateSawtooth(&set, 0.5f, 0.01f, VX_SawBL_PhaseIncToLevel(0.01f)), 0.0f);
}

TEST_F(SawBLTableTest, SizesOutsideTheSupportedRangeAreRefused) {
    struct Case {
        int32_t tables, length;
    };
    for (const Case &c : {Case{0, kN}, Case{25, kN}, Case{8, 1}, Case{8, -5}, Case{8, 1 << 25}}) {
        SCOPED_TRACE(testing::Message() << c.tables << " x " << c.length);
        SawMultiTables set{};
        const int32_t before = ctx->vxf_AllocCount;
        EXPECT_EQ(CreateMultiWaveSawtooth(ctx, &set, c.tables, c.length), VXERR_OUT_OF_RANGE);
        EXPECT_EQ(set.tables, nullptr);
        EXPECT_EQ(ctx->vxf_AllocCount, before);
    }
}

TEST_F(SawBLTableTest, EveryFailedAllocationLeavesTheSetEmpty) {
#ifdef VX_NO_ALLOCATION_HOOK
    GTEST_SKIP() << "allocation failures are not injected under the sanitizers or on Windows";
#else
    for (int failing = 1; failing <= 9; failing++) {
        SCOPED_TRACE(failing);
        SawMultiTables set{};
        const int32_t before = ctx->vxf_AllocCount;
        sAllocationsSeen = 0;
        sFailAllocation = failing;
        const int32_t result = CreateMultiWaveSawtooth(ctx, &set, 8, kN);
        sFailAllocation = 0;
        EXPECT_EQ(result, -89);
        EXPECT_EQ(set.tables, nullptr);
        EXPECT_EQ(set.numTables, 0);
        EXPECT_EQ(ctx->vxf_AllocCount, before);
    }
#endif
}

/* ---- Reading the tables ---------------------------------------------------------------------- */

double ReadAt(const float *table, float p) {
    const double pos = 512.0 * p + 512.0;
    const int i = static_cast<int>(pos);
    const double f = pos - i;
    return table[i] + (table[i + 1] - static_cast<double>(table[i])) * f;
}

TEST_F(SawBLTableTest, NyquistIncrementGivesSilence) {
    const SawMultiTables *set = &ctx->vxb_SawTables;
    const float level = VX_SawBL_PhaseIncToLevel(1.0f);
    for (float p : {-1.0f, -0.5f, 0.0f, 0.3f, 0.999f}) {
        EXPECT_EQ(VX_SawBL_CalculateSawtooth(set, p, 1.0f, level), 0.0f) << p;
    }
    /* Above the Nyquist frequency (level below -1) also silence. */
    EXPECT_EQ(VX_SawBL_CalculateSawtooth(set, 0.5f, 2.0f, VX_SawBL_PhaseIncToLevel(2.0f)), 0.0f);
}

TEST_F(SawBLTableTest, TopOctaveIsAScaledSine) {
    /* Increment 0.75: level -0.5, table 0 scaled by 0.5 - a sine at half level. */
    const SawMultiTables *set = &ctx->vxb_SawTables;
    const float level = VX_SawBL_PhaseIncToLevel(0.75f);
    const double lf = level - std::floor(level);
    for (float p : {-0.75f, -0.5f, 0.1f, 0.5f, 0.8125f}) {
        const float value = VX_SawBL_CalculateSawtooth(set, p, 0.75f, level);
        EXPECT_EQ(value, static_cast<float>(ReadAt(set->tables[0], p) * lf)) << p;
        EXPECT_NEAR(value, 0.5 * std::sin(kPiF * p), 1e-4) << p;
    }
}

TEST_F(SawBLTableTest, At441HzBlendsTables4And5) {
    /* 441 Hz at 44100: increment near 0.02, level near 4.72: 72 percent of the way from the
     * 16-harmonic table to the 32-harmonic one. */
    const SawMultiTables *set = &ctx->vxb_SawTables;
    const float x = static_cast<float>(441.0 * ctx->vxb_FreqScale);
    const float level = VX_SawBL_PhaseIncToLevel(x);
    EXPECT_EQ(std::floor(level), 4.0f);
    const double lf = level - 4.0;
    EXPECT_NEAR(lf, 0.72, 0.005);
    for (float p : {-0.99f, -0.5f, 0.0f, 0.25f, 0.97f}) {
        const double a = ReadAt(set->tables[4], p);
        const double b = ReadAt(set->tables[5], p);
        EXPECT_EQ(VX_SawBL_CalculateSawtooth(set, p, x, level),
                  static_cast<float>(a + (b - a) * lf))
            << p;
    }
}

TEST_F(SawBLTableTest, At20HzFadesTowardsThePlainRamp) {
    /* 20 Hz: increment near 0.000907, level near 9.14: p + (T7(p) - p) x 0.232. */
    const SawMultiTables *set = &ctx->vxb_SawTables;
    const float x = static_cast<float>(20.0 * ctx->vxb_FreqScale);
    const float level = VX_SawBL_PhaseIncToLevel(x);
    EXPECT_NEAR(level, 9.14, 0.01);
    EXPECT_NEAR(256.0 * x, 0.232, 0.001);
    for (float p : {-0.999f, -0.4f, 0.0f, 0.6f, 0.998f}) {
        const double v = ReadAt(set->tables[7], p);
        EXPECT_EQ(VX_SawBL_CalculateSawtooth(set, p, x, level),
                  static_cast<float>(p + (v - p) * 256.0 * std::fabs(x)))
            << p;
    }
    /* At exactly 2^-8 the fade weight is 1: table 7 itself. */
    const float edge = 1.0f / 256;
    EXPECT_EQ(VX_SawBL_CalculateSawtooth(set, 0.3f, edge, VX_SawBL_PhaseIncToLevel(edge)),
              static_cast<float>(ReadAt(set->tables[7], 0.3f)));
}

TEST_F(SawBLTableTest, PhaseRoundedUpToOneReadsTheGuardEntry) {
    /* A double phase just below +1 becomes +1.0f when passed as a float; the read must stay
     * within the table and give the value one full cycle on (the guard entry). */
    const SawMultiTables *set = &ctx->vxb_SawTables;
    const float x = 0.01f;
    const float level = VX_SawBL_PhaseIncToLevel(x);
    const double lf = level - std::floor(level);
    const int l = static_cast<int>(std::floor(level));
    const double a = set->tables[l][kN], b = set->tables[l + 1][kN];
    EXPECT_EQ(VX_SawBL_CalculateSawtooth(set, 1.0f, x, level),
              static_cast<float>(a + (b - a) * lf));
}

/* ---- The oscillators, frame by frame ------------------------------------------------------- */

enum class Shape { Saw, Square, Pulse, Impulse };

/* The unit computation over whole blocks: the phase accumulator of the oscillators (double
 * within a block, stored as float at its end), the shape from the table reader. */
struct OscillatorModel {
    const VexaContext *ctx;
    Shape shape;
    float width = 0.0f;
    double phase = 0.0;
    float previous = 0.0f;

    static double WrapAll(double q) {
        while (q >= 1.0) q -= 2.0;
        while (q < -1.0) q += 2.0;
        return q;
    }

    std::vector<float> Run(float frequency, float amplitude, int frames) {
        return Run(std::vector<float>(frames, frequency), amplitude);
    }

    /* The same with a frequency for every frame. */
    std::vector<float> Run(const std::vector<float> &frequency, float amplitude) {
        std::vector<float> out;
        for (size_t frame = 0; frame < frequency.size(); frame++) {
            double inc = static_cast<double>(frequency[frame]) * ctx->vxb_FreqScale;
            inc = std::clamp(inc, -1.0, 1.0);
            phase += inc;
            if (phase >= 1.0) {
                phase -= 2.0;
            } else if (phase < -1.0) {
                phase += 2.0;
            }
            const float x = static_cast<float>(inc);
            const float level = VX_SawBL_PhaseIncToLevel(x);
            const SawMultiTables *set = &ctx->vxb_SawTables;
            const float s = VX_SawBL_CalculateSawtooth(set, static_cast<float>(phase), x, level);
            double value = 0.0;
            switch (shape) {
            case Shape::Saw:
                value = static_cast<double>(s) * amplitude;
                break;
            case Shape::Square: {
                const double q = WrapAll(phase + 1.0);
                const float s2 = VX_SawBL_CalculateSawtooth(set, static_cast<float>(q), x, level);
                value = (static_cast<double>(s) - s2) *
                        (0.92f - std::fabs(static_cast<double>(x))) * amplitude;
                break;
            }
            case Shape::Pulse: {
                const double q = WrapAll(phase + 1.0 - width);
                const float s2 = VX_SawBL_CalculateSawtooth(set, static_cast<float>(q), x, level);
                const float g = static_cast<float>(1.0 - std::fabs(static_cast<double>(x)));
                value = ((static_cast<double>(s) - s2) - width) * g * amplitude;
                break;
            }
            case Shape::Impulse:
                value = (static_cast<double>(previous) - s) * 0.5 * amplitude;
                previous = s;
                break;
            }
            out.push_back(static_cast<float>(value));
            if (frame % 8 == 7) phase = static_cast<float>(phase); /* stored at the block end */
        }
        return out;
    }
};

class BandLimitedOscillatorTest : public EngineTest {
  protected:
    /* A fresh engine, so that probes of an earlier recording no longer add into channel 0. */
    void Restart() {
        StopEngine();
        StartEngine();
    }
};

TEST_F(BandLimitedOscillatorTest, FrameExactAcrossShapesAndFrequencies) {
    struct ShapeCase {
        Shape shape;
        uint32_t type;
        float width;
    };
    const ShapeCase shapes[] = {
        {Shape::Saw, VEXA_UNIT_SAWTOOTH_OSCILLATOR_BL, 0.0f},
        {Shape::Square, VEXA_UNIT_SQUARE_OSCILLATOR_BL, 0.0f},
        {Shape::Pulse, VEXA_UNIT_PULSE_OSCILLATOR_BL, 0.3f},
        {Shape::Pulse, VEXA_UNIT_PULSE_OSCILLATOR_BL, -0.75f},
        {Shape::Impulse, VEXA_UNIT_IMPULSE_OSCILLATOR_BL, 0.0f},
    };
    const float frequencies[] = {20.0f, 441.0f, 5000.0f, 16537.5f, 30000.0f, -3000.0f, 0.0f};
    for (const ShapeCase &s : shapes) {
        for (float frequency : frequencies) {
            SCOPED_TRACE(testing::Message() << "type 0x" << std::hex << s.type << std::dec
                                            << " width " << s.width << " frequency " << frequency);
            Restart();
            const int32_t unit = Unit(s.type);
            Set(unit, PORTID_FREQUENCY, frequency);
            Set(unit, PORTID_AMPLITUDE, 0.5);
            if (s.shape == Shape::Pulse) Set(unit, PORTID_WIDTH, s.width);
            const std::vector<float> got = Record(unit, PORTID_OUTPUT, 4);

            OscillatorModel model{ctx, s.shape, s.width};
            const std::vector<float> want = model.Run(frequency, 0.5f, 4 * 64);
            ASSERT_EQ(got.size(), want.size());
            for (size_t i = 0; i < got.size(); i++) ASSERT_EQ(got[i], want[i]) << "frame " << i;
            EXPECT_EQ(static_cast<float>(Get(unit, PORTID_PHASE)), static_cast<float>(model.phase));
        }
    }
}

/* 100,032 frames of each shape against the model, once at a steady 1234.5 Hz and once with
 * the frequency swept at audio rate (a 97 Hz sawtooth of +-3000 Hz, so the phase also runs
 * down), in every build of the unit functions the processor runs. */
TEST_F(BandLimitedOscillatorTest, LongRunsMatchTheModelInEveryBuild) {
    constexpr int32_t kTicks = 1563;
    struct ShapeCase {
        Shape shape;
        uint32_t type;
    };
    const ShapeCase shapes[] = {{Shape::Saw, VEXA_UNIT_SAWTOOTH_OSCILLATOR_BL},
                                {Shape::Square, VEXA_UNIT_SQUARE_OSCILLATOR_BL},
                                {Shape::Pulse, VEXA_UNIT_PULSE_OSCILLATOR_BL},
                                {Shape::Impulse, VEXA_UNIT_IMPULSE_OSCILLATOR_BL}};
    outputChannels = 2;
    for (int build = VX_SIMD_BASE; build <= vxtest::MaxBuild(); build++) {
        vxtest::UseBuild(build);
        for (const ShapeCase &s : shapes) {
            for (const bool modulated : {false, true}) {
                SCOPED_TRACE(testing::Message() << "type 0x" << std::hex << s.type << std::dec
                                                << ", build " << build
                                                << (modulated ? ", modulated" : ", steady"));
                Restart();
                const int32_t unit = Unit(s.type);
                Set(unit, PORTID_FREQUENCY, 1234.5);
                Set(unit, PORTID_AMPLITUDE, 0.5);
                Set(unit, PORTID_PHASE, 0.25);
                if (s.shape == Shape::Pulse) Set(unit, PORTID_WIDTH, 0.3);
                const int32_t sweep = Unit(VEXA_UNIT_SAWTOOTH_OSCILLATOR);
                Set(sweep, PORTID_FREQUENCY, 97.0);
                Set(sweep, PORTID_AMPLITUDE, 3000.0);
                if (modulated) {
                    ASSERT_EQ(Vexa_ConnectUnits(ctx, sweep, PORTID_OUTPUT, 0, unit,
                                                PORTID_FREQUENCY, 0),
                              0);
                }
                /* The sweep on channel 1 (first), the oscillator on channel 0. */
                const int32_t sweepProbe = Unit(VEXA_UNIT_CHANNEL_OUT, 1);
                ASSERT_EQ(Vexa_ConnectUnits(ctx, sweep, PORTID_OUTPUT, 0, sweepProbe,
                                            PORTID_INPUT, 0),
                          0);
                Start(sweep);
                Start(sweepProbe);
                const int32_t probe = Unit(VEXA_UNIT_CHANNEL_OUT, 0);
                ASSERT_EQ(Vexa_ConnectUnits(ctx, unit, PORTID_OUTPUT, 0, probe, PORTID_INPUT, 0),
                          0);
                Start(unit);
                Start(probe);
                const std::vector<float> rendered = Render(kTicks);
                std::vector<float> got, frequency;
                for (size_t i = 0; i < rendered.size(); i += 2) {
                    got.push_back(rendered[i]);
                    frequency.push_back(modulated ? rendered[i + 1] : 1234.5f);
                }
                ASSERT_GE(got.size(), 100000u);
                OscillatorModel model{ctx, s.shape, s.shape == Shape::Pulse ? 0.3f : 0.0f,
                                      static_cast<double>(0.25f)};
                const std::vector<float> want = model.Run(frequency, 0.5f);
                int mismatches = 0;
                for (size_t i = 0; i < got.size() && mismatches < 3; i++) {
                    if (got[i] != want[i]) {
                        ADD_FAILURE() << "frame " << i << ": " << got[i] << " != " << want[i];
                        mismatches++;
                    }
                }
                EXPECT_EQ(Get(unit, PORTID_PHASE), static_cast<double>(static_cast<float>(model.phase)));
            }
        }
    }
    vxtest::UseBuild(VX_SIMD_AVX512);
}

TEST_F(BandLimitedOscillatorTest, NyquistGivesSilenceForEveryShape) {
    for (uint32_t type : {VEXA_UNIT_SAWTOOTH_OSCILLATOR_BL, VEXA_UNIT_SQUARE_OSCILLATOR_BL,
                          VEXA_UNIT_PULSE_OSCILLATOR_BL, VEXA_UNIT_IMPULSE_OSCILLATOR_BL}) {
        SCOPED_TRACE(type);
        Restart();
        const int32_t unit = Unit(type);
        Set(unit, PORTID_FREQUENCY, 30000.0); /* increment limited to 1.0 */
        if (type == VEXA_UNIT_PULSE_OSCILLATOR_BL) Set(unit, PORTID_WIDTH, 0.0);
        for (float v : Record(unit, PORTID_OUTPUT, 2)) ASSERT_EQ(v, 0.0f);
    }
}

TEST_F(BandLimitedOscillatorTest, ThreeQuarterNyquistIsAHalfLevelSine) {
    const int32_t unit = Unit(VEXA_UNIT_SAWTOOTH_OSCILLATOR_BL);
    Set(unit, PORTID_FREQUENCY, 0.75 * 22050.0);
    Set(unit, PORTID_AMPLITUDE, 1.0);
    const std::vector<float> got = Record(unit, PORTID_OUTPUT, 1);
    double phase = 0.0;
    const double inc = static_cast<double>(static_cast<float>(0.75 * 22050.0)) * ctx->vxb_FreqScale;
    for (int i = 0; i < 64; i++) {
        phase += inc;
        if (phase >= 1.0) phase -= 2.0;
        EXPECT_NEAR(got[i], 0.5 * std::sin(M_PI * phase), 2e-4) << "frame " << i;
    }
}

TEST_F(BandLimitedOscillatorTest, SquareAtPhaseZeroReadsTheSecondRampAtMinusOne) {
    /* Frequency 0 holds the phase at 0 and the table reader returns the plain ramp, so the
     * second ramp read at q = -1 gives (0 - (-1)) x 0.92; read at q = +1 it would be negated. */
    const int32_t unit = Unit(VEXA_UNIT_SQUARE_OSCILLATOR_BL);
    Set(unit, PORTID_FREQUENCY, 0.0);
    Set(unit, PORTID_AMPLITUDE, 1.0);
    for (float v : Record(unit, PORTID_OUTPUT, 1)) ASSERT_EQ(v, 0.92f);
}

TEST_F(BandLimitedOscillatorTest, ImpulseFirstFrameAndPulseTrain) {
    const int32_t unit = Unit(VEXA_UNIT_IMPULSE_OSCILLATOR_BL);
    Set(unit, PORTID_FREQUENCY, 441.0);
    Set(unit, PORTID_AMPLITUDE, 1.0);
    const std::vector<float> got = Record(unit, PORTID_OUTPUT, 4);
    /* The first frame starts from a previous value of 0: -S(p) / 2. */
    const float x = static_cast<float>(441.0 * ctx->vxb_FreqScale);
    const float first = VX_SawBL_CalculateSawtooth(&ctx->vxb_SawTables, static_cast<float>(x), x,
                                                   VX_SawBL_PhaseIncToLevel(x));
    EXPECT_EQ(got[0], static_cast<float>(-0.5 * first));
    /* A positive pulse where the ramp drops (twice in 256 frames at 100 frames per cycle),
     * a small negative value elsewhere. */
    int pulses = 0;
    for (size_t i = 1; i < got.size(); i++) {
        if (got[i] > 0.2f && got[i - 1] <= 0.2f) pulses++;
        EXPECT_LT(got[i], 1.0f);
        EXPECT_GT(got[i], -0.1f);
    }
    EXPECT_EQ(pulses, 3); /* wraps near frames 50, 150 and 250 */
}

TEST_F(BandLimitedOscillatorTest, PulseWidthSignalBeyondRangeStaysInTheCycle) {
    /* A connected Width signal is not clipped; the second ramp's phase is wrapped as often as
     * needed, so the output stays finite and follows the wrapped phase. */
    for (float width : {1.7f, -2.5f, 5.25f, -9.0f}) {
        SCOPED_TRACE(width);
        Restart();
        const int32_t source = Unit(VEXA_UNIT_ADD);
        Set(source, PORTID_INPUT_A, width);
        const int32_t unit = Unit(VEXA_UNIT_PULSE_OSCILLATOR_BL);
        Set(unit, PORTID_FREQUENCY, 441.0);
        Set(unit, PORTID_AMPLITUDE, 1.0);
        ASSERT_EQ(Vexa_ConnectUnits(ctx, source, PORTID_OUTPUT, 0, unit, PORTID_WIDTH, 0), 0);
        Start(source);
        const std::vector<float> got = Record(unit, PORTID_OUTPUT, 2);
        OscillatorModel model{ctx, Shape::Pulse, width};
        const std::vector<float> want = model.Run(441.0f, 1.0f, 2 * 64);
        for (size_t i = 0; i < got.size(); i++) {
            ASSERT_TRUE(std::isfinite(got[i]));
            ASSERT_NEAR(got[i], want[i], 1e-6) << "frame " << i;
        }
    }
}

TEST_F(BandLimitedOscillatorTest, StoppedOscillatorKeepsItsPhase) {
    const int32_t unit = Unit(VEXA_UNIT_SAWTOOTH_OSCILLATOR_BL);
    Set(unit, PORTID_FREQUENCY, 441.0);
    Record(unit, PORTID_OUTPUT, 1);
    const double phase = Get(unit, PORTID_PHASE);
    ASSERT_EQ(Vexa_StopUnit(ctx, unit), 0);
    Render(3);
    EXPECT_EQ(Get(unit, PORTID_PHASE), phase);
}

/* ---- Aliasing ------------------------------------------------------------------------------- */

/* Fraction of the windowed spectrum's energy that lies away from the harmonics of the
 * fundamental (and DC), in dB. */
double NonHarmonicEnergyDb(const std::vector<float> &signal, double fundamental, double rate) {
    const size_t n = signal.size();
    std::vector<double> windowed(n);
    for (size_t i = 0; i < n; i++) {
        const double t = 2.0 * M_PI * i / (n - 1);
        const double w = 0.35875 - 0.48829 * std::cos(t) + 0.14128 * std::cos(2 * t) -
                         0.01168 * std::cos(3 * t); /* Blackman-Harris */
        windowed[i] = signal[i] * w;
    }
    std::vector<double> cosines(n), sines(n);
    for (size_t k = 0; k < n; k++) {
        cosines[k] = std::cos(2.0 * M_PI * k / n);
        sines[k] = std::sin(2.0 * M_PI * k / n);
    }
    double total = 0, away = 0;
    for (size_t bin = 0; bin <= n / 2; bin++) {
        double re = 0, im = 0;
        for (size_t i = 0; i < n; i++) {
            re += windowed[i] * cosines[(bin * i) % n];
            im -= windowed[i] * sines[(bin * i) % n];
        }
        const double energy = re * re + im * im;
        total += energy;
        const double frequency = bin * rate / n;
        const double harmonic = std::round(frequency / fundamental) * fundamental;
        const bool nearHarmonic = std::fabs(frequency - harmonic) <= 8 * rate / n;
        if (!nearHarmonic) away += energy;
    }
    return 10.0 * std::log10(away / total);
}

TEST_F(BandLimitedOscillatorTest, SawtoothBLAliasesFarLessThanThePlainSawtooth) {
    const double fundamental = 5000.0;
    const int32_t bl = Unit(VEXA_UNIT_SAWTOOTH_OSCILLATOR_BL);
    Set(bl, PORTID_FREQUENCY, fundamental);
    const std::vector<float> blOut = Record(bl, PORTID_OUTPUT, 64); /* 4096 frames */
    ASSERT_EQ(Vexa_StopUnit(ctx, bl), 0);
    const int32_t plain = Unit(VEXA_UNIT_SAWTOOTH_OSCILLATOR);
    Set(plain, PORTID_FREQUENCY, fundamental);
    const std::vector<float> plainOut = Record(plain, PORTID_OUTPUT, 64);
    ASSERT_EQ(blOut.size(), 4096u);
    ASSERT_EQ(plainOut.size(), 4096u);

    const double blDb = NonHarmonicEnergyDb(blOut, fundamental, frameRate);
    const double plainDb = NonHarmonicEnergyDb(plainOut, fundamental, frameRate);
    std::printf("aliasing energy at 5 kHz (4096 frames, outside the harmonics): "
                "SawtoothOscillatorBL %.1f dB, SawtoothOscillator %.1f dB\n",
                blDb, plainDb);
    EXPECT_LT(blDb, -60.0);
    EXPECT_LT(blDb, plainDb - 40.0);
}

} // namespace
