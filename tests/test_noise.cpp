/*
 * Noise generators: WhiteNoise, RedNoise and PinkNoise against the context's random
 * sequence, rendered offline and recorded frame by frame.
 */
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "velto_units.h"
#include "vx_test_support.h"
#include "vx_unit.h"

namespace {

using vxtest::EngineTest;

/* The context's generator, written out independently: seed x 196314165 + 907633515. */
class RandomSequence {
  public:
    int32_t Next() {
        seed_ = seed_ * 196314165u + 907633515u;
        return static_cast<int32_t>(seed_);
    }
    float NextUniform() { return static_cast<float>(Next() * 4.656612873077393e-10); }

  private:
    uint32_t seed_ = 0;
};

using NoiseTest = EngineTest;

TEST_F(NoiseTest, WhiteNoiseFollowsTheRandomSequence) {
    const int32_t noise = Unit(VEXA_UNIT_WHITE_NOISE);
    Set(noise, PORTID_AMPLITUDE, 1.0);
    const std::vector<float> out = Record(noise, PORTID_OUTPUT, 4);

    /* The first two draws of a new context, as documented values. */
    EXPECT_EQ(out[0], static_cast<float>(907633515 * 4.656612873077393e-10));
    EXPECT_NEAR(out[0], 0.4226498, 1e-7);
    EXPECT_NEAR(out[1], -0.7700457, 1e-7);

    RandomSequence random;
    for (size_t i = 0; i < out.size(); i++)
        ASSERT_EQ(out[i], random.NextUniform()) << "frame " << i;
}

TEST_F(NoiseTest, WhiteNoiseScalesByAmplitudeEveryFrame) {
    /* The default amplitude is 32767/32768; a value that is not exact in float shows a
     * missing or doubled rounding. */
    const int32_t noise = Unit(VEXA_UNIT_WHITE_NOISE);
    const std::vector<float> first = Record(noise, PORTID_OUTPUT, 1);
    Set(noise, PORTID_AMPLITUDE, 0.3);
    const std::vector<float> out = Render(1);

    RandomSequence random;
    for (size_t i = 0; i < first.size(); i++) {
        const double expected = static_cast<double>(random.NextUniform()) * (32767.0 / 32768.0);
        ASSERT_EQ(first[i], static_cast<float>(expected)) << "frame " << i;
    }
    for (size_t i = 0; i < 64; i++) {
        const double expected = static_cast<double>(random.NextUniform()) * 0.3f;
        ASSERT_EQ(out[i * 2], static_cast<float>(expected)) << "frame " << 64 + i;
    }
}

TEST_F(NoiseTest, RedNoiseAtFullRateTakesANewValueEveryFrameFromTheSecond) {
    /* Above the frame rate the increment is limited to 1: the first frame reaches phase 1.0
     * exactly, which is not above 1, and outputs the zero next value. */
    const int32_t noise = Unit(VEXA_UNIT_RED_NOISE);
    Set(noise, PORTID_FREQUENCY, 50000.0);
    Set(noise, PORTID_AMPLITUDE, 1.0);
    const std::vector<float> out = Record(noise, PORTID_OUTPUT, 3);

    EXPECT_EQ(out[0], 0.0f);
    RandomSequence random;
    for (size_t i = 1; i < out.size(); i++)
        ASSERT_EQ(out[i], random.NextUniform()) << "frame " << i;
    EXPECT_EQ(Get(noise, PORTID_PHASE), 1.0);
}

TEST_F(NoiseTest, RedNoiseRampsBetweenValuesAndHoldsAtFrequencyZero) {
    const int32_t noise = Unit(VEXA_UNIT_RED_NOISE);
    Set(noise, PORTID_FREQUENCY, 441.0); /* a new value about every 100 frames */
    Set(noise, PORTID_AMPLITUDE, 1.0);
    const std::vector<float> out = Record(noise, PORTID_OUTPUT, 3);

    RandomSequence random;
    const double first = random.NextUniform();
    const double inc = 441.0 * static_cast<float>(1.0 / 44100.0);
    /* From zero state the line heads for the zero next value until the first draw. */
    size_t drawFrame = 0;
    while (drawFrame < out.size() && out[drawFrame] == 0.0f) drawFrame++;
    ASSERT_GE(drawFrame, 99u);
    ASSERT_LE(drawFrame, 100u);
    /* Then it is a straight line from 0 towards the first value. */
    const double startPhase = out[drawFrame] / first;
    EXPECT_GT(startPhase, 0.0);
    EXPECT_LT(startPhase, inc + 1e-6);
    for (size_t i = drawFrame; i < drawFrame + 90; i++)
        ASSERT_NEAR(out[i], first * (startPhase + (i - drawFrame) * inc), 1e-6) << "frame " << i;

    /* Frequency 0 freezes the line where it is. */
    const float held = out.back();
    const double phase = Get(noise, PORTID_PHASE);
    Set(noise, PORTID_FREQUENCY, 0.0);
    const std::vector<float> later = Render(4);
    for (size_t i = 0; i < later.size(); i += 2) ASSERT_EQ(later[i], held) << "frame " << i / 2;
    EXPECT_EQ(Get(noise, PORTID_PHASE), phase);
}

/* A negative frequency acts as its magnitude. */
TEST_F(NoiseTest, RedNoiseNegativeFrequencyActsAsItsMagnitude) {
    std::vector<float> outputs[2];
    const double frequencies[2] = {-3000.0, 3000.0};
    for (int run = 0; run < 2; run++) {
        if (run > 0) {
            StopEngine();
            StartEngine();
        }
        const int32_t noise = Unit(VEXA_UNIT_RED_NOISE);
        Set(noise, PORTID_FREQUENCY, frequencies[run]);
        outputs[run] = Record(noise, PORTID_OUTPUT, 4);
    }
    EXPECT_EQ(outputs[0], outputs[1]);
    EXPECT_NE(outputs[0][255], 0.0f);
}

/* Voss-McCartney pink noise written the slow way: every frame the 16 rows are summed anew,
 * and row k is due when frame number (counted from 1, modulo 65536) is an odd multiple of
 * 2^k. */
class PinkReference {
  public:
    float Next() {
        frame_ = (frame_ + 1) % 65536;
        for (int k = 0; k < 16; k++) {
            const uint32_t period = 1u << k;
            if (frame_ != 0 && frame_ % period == 0 && (frame_ / period) % 2 == 1) {
                rows_[k] = random_.Next() >> 8;
                break;
            }
        }
        int64_t sum = random_.Next() >> 8; /* the white value of this frame */
        for (int64_t row : rows_) sum += row;
        const float scale = static_cast<float>(1.0 / (17.0 * 8388608.0));
        return static_cast<float>(scale * static_cast<double>(static_cast<float>(sum)));
    }

  private:
    RandomSequence random_;
    int64_t rows_[16] = {};
    uint32_t frame_ = 0;
};

TEST_F(NoiseTest, PinkNoiseMatchesTheAlgorithmAcrossTheIndexWrap) {
    /* 1026 ticks cover the frame whose index wraps to 0 (frame 65535 from 0), which replaces
     * no row: a draw too many there shifts every later frame. */
    const int32_t noise = Unit(VEXA_UNIT_PINK_NOISE);
    Set(noise, PORTID_AMPLITUDE, 1.0);
    const std::vector<float> out = Record(noise, PORTID_OUTPUT, 1026);
    ASSERT_GT(out.size(), 65536u + 64);

    PinkReference reference;
    for (size_t i = 0; i < out.size(); i++) {
        ASSERT_EQ(out[i], reference.Next()) << "frame " << i;
        ASSERT_GE(out[i], -1.0f) << "frame " << i;
        ASSERT_LT(out[i], 1.0f) << "frame " << i;
    }
}

TEST_F(NoiseTest, NoiseUnitsShareTheContextSequenceInExecutionOrder) {
    /* Pink first, then white: pink's frame draws two values when a row is replaced, one
     * otherwise, and white takes the next one. */
    const int32_t pink = Unit(VEXA_UNIT_PINK_NOISE);
    const int32_t white = Unit(VEXA_UNIT_WHITE_NOISE);
    Set(pink, PORTID_AMPLITUDE, 1.0);
    Set(white, PORTID_AMPLITUDE, 1.0);
    Start(pink);
    const std::vector<float> out = Record(white, PORTID_OUTPUT, 1);

    /* Blocks run unit by unit: 8 pink frames, then 8 white frames. Every pink frame but the
     * one whose index wraps to 0 replaces a row, so each draws two values here. */
    RandomSequence random;
    for (int block = 0; block < 8; block++) {
        for (int i = 0; i < 16; i++) random.Next(); /* pink: 8 frames x 2 draws */
        for (int i = 0; i < 8; i++)
            ASSERT_EQ(out[block * 8 + i], random.NextUniform()) << "frame " << block * 8 + i;
    }
}

} // namespace
