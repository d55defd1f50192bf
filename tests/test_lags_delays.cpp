/*
 * Lags, delays and the peak follower: LagLinear, LagExp, PeakFollower, Delay and
 * DelayInterp, fed frame by frame through a ChannelIn and recorded through a ChannelOut.
 */
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <vector>

#include "velto_units.h"
#include "vx_test_support.h"
#include "vx_unit.h"

namespace {

using vxtest::EngineTest;

bool IsDenormal(float x) { return x != 0.0f && std::fabs(x) < FLT_MIN; }

/* A no-device engine with one input channel, so that a test can feed any signal. */
class SignalTest : public EngineTest {
  protected:
    void SetUp() override {
        ctx = Vexa_CreateContext();
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(Vexa_Initialize(ctx), 0);
        ASSERT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, 0, 1, 0, 2), 0);
    }

    /* Feeds `input` (padded with zeros to whole ticks) into `inputPort` of `unit` and
     * returns its Output, one value per input frame. */
    std::vector<float> Process(int32_t unit, uint32_t inputPort, const std::vector<float> &input) {
        const int32_t source = Unit(VEXA_UNIT_CHANNEL_IN, 0);
        const int32_t probe = Unit(VEXA_UNIT_CHANNEL_OUT, 0);
        EXPECT_EQ(Vexa_ConnectUnits(ctx, source, PORTID_OUTPUT, 0, unit, inputPort, 0), 0);
        EXPECT_EQ(Vexa_ConnectUnits(ctx, unit, PORTID_OUTPUT, 0, probe, PORTID_INPUT, 0), 0);
        Start(source);
        Start(unit);
        Start(probe);
        const int32_t ticks = static_cast<int32_t>((input.size() + 63) / 64);
        std::vector<float> padded(input);
        padded.resize(static_cast<size_t>(ticks) * 64, 0.0f);
        std::vector<float> out(padded.size() * 2, -99.0f);
        EXPECT_EQ(Vexa_RenderTicks(ctx, padded.data(), out.data(), ticks), 0);
        std::vector<float> channel0(input.size());
        for (size_t i = 0; i < input.size(); i++) channel0[i] = out[i * 2];
        return channel0;
    }

    /* Channel 0 of the next numTicks ticks. */
    std::vector<float> Next(int32_t numTicks) {
        const std::vector<float> out = Render(numTicks);
        std::vector<float> channel0;
        for (size_t i = 0; i < out.size(); i += 2) channel0.push_back(out[i]);
        return channel0;
    }
};

/* Distinct, smoothly varying input values. */
std::vector<float> Wave(size_t numFrames) {
    std::vector<float> in(numFrames);
    for (size_t i = 0; i < numFrames; i++) in[i] = static_cast<float>(0.5 * std::sin(0.37 * i));
    return in;
}

/* ---- LagLinear ----------------------------------------------------------------------- */

using LagLinearTest = SignalTest;

TEST_F(LagLinearTest, NeverSetTimeNeverLeavesTheStartValue) {
    const int32_t lag = Unit(VEXA_UNIT_LAG_LINEAR);
    Set(lag, PORTID_INPUT, 0.5);
    const std::vector<float> out = Record(lag, PORTID_OUTPUT, 8);
    for (size_t i = 0; i < out.size(); i++) ASSERT_EQ(out[i], 0.0f) << "frame " << i;
}

TEST_F(LagLinearTest, ZeroTimeReachesTheTargetOneFrameAfterItIsSeen) {
    const int32_t lag = Unit(VEXA_UNIT_LAG_LINEAR);
    Set(lag, PORTID_TIME, 0.0);
    Set(lag, PORTID_INPUT, 0.5);
    const std::vector<float> out = Record(lag, PORTID_OUTPUT, 1);
    EXPECT_EQ(Get(lag, PORTID_TIME), 1.0);
    EXPECT_EQ(out[0], 0.0f);
    for (size_t i = 1; i < out.size(); i++) ASSERT_EQ(out[i], 0.5f) << "frame " << i;

    /* A new target starts from the output where it is. */
    Set(lag, PORTID_INPUT, -0.25);
    const std::vector<float> next = Next(1);
    EXPECT_EQ(next[0], 0.5f);
    for (size_t i = 1; i < next.size(); i++) ASSERT_EQ(next[i], -0.25f) << "frame " << i;
}

TEST_F(LagLinearTest, HalfSecondGlideTakes22050Frames) {
    const int32_t lag = Unit(VEXA_UNIT_LAG_LINEAR);
    Set(lag, PORTID_TIME, 0.5);
    Set(lag, PORTID_INPUT, 1.0);
    const std::vector<float> out = Record(lag, PORTID_OUTPUT, 350);
    EXPECT_FLOAT_EQ(static_cast<float>(Get(lag, PORTID_TIME)), 1.0f / 22050.0f);

    EXPECT_EQ(out[0], 0.0f); /* the frame that sees the target still outputs the start */
    size_t reached = 0;
    while (reached < out.size() && out[reached] != 1.0f) reached++;
    EXPECT_GE(reached, 22049u);
    EXPECT_LE(reached, 22051u);
    for (size_t i = 1; i < reached; i++) {
        ASSERT_GT(out[i], out[i - 1]) << "frame " << i;
        ASSERT_NEAR(out[i], i / 22050.0, 2e-5) << "frame " << i;
    }
    for (size_t i = reached; i < out.size(); i++) ASSERT_EQ(out[i], 1.0f) << "frame " << i;
}

TEST_F(LagLinearTest, NewTargetInMidGlideStartsFromTheCurrentOutput) {
    const int32_t lag = Unit(VEXA_UNIT_LAG_LINEAR);
    Set(lag, PORTID_TIME, 128.0 / 44100.0); /* 1/128 per frame */
    Set(lag, PORTID_INPUT, 1.0);
    const std::vector<float> first = Record(lag, PORTID_OUTPUT, 1); /* halfway after 64 */
    const float from = first.back();
    EXPECT_NEAR(from, 63.0 / 128.0, 1e-6);
    Set(lag, PORTID_INPUT, -1.0);
    const std::vector<float> out = Next(3);
    EXPECT_EQ(out[0], from);
    for (size_t i = 0; i < out.size(); i++) {
        const double expected = i >= 128 ? -1.0 : from + (i / 128.0) * (-1.0 - from);
        ASSERT_NEAR(out[i], expected, 1e-6) << "frame " << i;
    }
}

/* ---- LagExp ------------------------------------------------------------------------- */

using LagExpTest = SignalTest;

TEST_F(LagExpTest, DefaultHalfLifeHalvesTheDistanceEvery4410Frames) {
    const int32_t lag = Unit(VEXA_UNIT_LAG_EXP);
    EXPECT_FLOAT_EQ(static_cast<float>(Get(lag, PORTID_HALF_LIFE)),
                    static_cast<float>(1.0 - std::pow(0.5, 1.0 / 4410.0)));
    Set(lag, PORTID_INPUT, 1.0);
    const std::vector<float> out = Record(lag, PORTID_OUTPUT, 3 * 4410 / 64 + 2);
    /* After n frames the distance left is 0.5^(n / 4410). */
    EXPECT_NEAR(out[4410 - 1], 0.5, 1e-5);
    EXPECT_NEAR(out[2 * 4410 - 1], 0.75, 1e-5);
    EXPECT_NEAR(out[3 * 4410 - 1], 0.875, 1e-5);
    EXPECT_NEAR(out[0], 1.0 - std::pow(0.5, 1.0 / 4410.0), 1e-9);
    EXPECT_EQ(static_cast<float>(Get(lag, PORTID_CURRENT)), out.back());
}

TEST_F(LagExpTest, SettlesOnItsInputWithoutDenormals) {
    const int32_t lag = Unit(VEXA_UNIT_LAG_EXP);
    Set(lag, PORTID_HALF_LIFE, 0.001); /* about 44 frames */
    Set(lag, PORTID_CURRENT, 1.0);
    const std::vector<float> out = Record(lag, PORTID_OUTPUT, 100); /* input 0 */
    size_t zero = 0;
    while (zero < out.size() && out[zero] != 0.0f) zero++;
    ASSERT_LT(zero, out.size()) << "never settled";
    EXPECT_EQ(zero % 8, 0u) << "the settling happens at a block end";
    for (size_t i = 0; i < out.size(); i++) {
        ASSERT_FALSE(IsDenormal(out[i])) << "frame " << i;
        if (i >= zero) {
            ASSERT_EQ(out[i], 0.0f) << "frame " << i;
        }
    }
    EXPECT_EQ(Get(lag, PORTID_CURRENT), 0.0);
}

TEST_F(LagExpTest, FollowsAConnectedSignalFrameByFrame) {
    /* Half-life below two frames converts to 1.0: the output is the input. */
    const int32_t lag = Unit(VEXA_UNIT_LAG_EXP);
    Set(lag, PORTID_HALF_LIFE, 0.0);
    const std::vector<float> in = Wave(256);
    EXPECT_EQ(Process(lag, PORTID_INPUT, in), in);
}

/* ---- PeakFollower -------------------------------------------------------------------- */

using PeakFollowerTest = SignalTest;

TEST_F(PeakFollowerTest, RisesAtOnceToTheMagnitudeAndDecays) {
    const int32_t peak = Unit(VEXA_UNIT_PEAK_FOLLOWER);
    const double c = 1.0 - std::pow(0.5, 1.0 / 4410.0); /* default half-life 0.1 s */
    std::vector<float> in(1024, 0.0f);
    in[0] = 1.0f;
    in[300] = -0.5f;  /* below the decayed value: ignored */
    in[500] = -0.99f; /* above it: taken, by magnitude */
    const std::vector<float> out = Process(peak, PORTID_INPUT, in);

    EXPECT_EQ(out[0], 1.0f);
    for (size_t i = 1; i < 500; i++)
        ASSERT_NEAR(out[i], std::pow(1.0 - c, static_cast<double>(i)), 1e-6) << "frame " << i;
    EXPECT_EQ(out[500], 0.99f);
    for (size_t i = 501; i < out.size(); i++)
        ASSERT_NEAR(out[i], 0.99 * std::pow(1.0 - c, i - 500.0), 1e-6) << "frame " << i;
}

TEST_F(PeakFollowerTest, SnapsToZeroAtTheEndOfABlock) {
    const int32_t peak = Unit(VEXA_UNIT_PEAK_FOLLOWER);
    Set(peak, PORTID_HALF_LIFE, 0.001);
    std::vector<float> in(64 * 100, 0.0f);
    in[0] = 1.0f;
    const std::vector<float> out = Process(peak, PORTID_INPUT, in);
    size_t zero = 0;
    while (zero < out.size() && out[zero] != 0.0f) zero++;
    ASSERT_LT(zero, out.size()) << "never snapped";
    EXPECT_EQ(zero % 8, 0u);
    EXPECT_LT(out[zero - 1], 1.0e-26f); /* the block that ended below the snap level */
    EXPECT_GT(out[zero - 8], 0.0f);
    for (size_t i = 0; i < out.size(); i++) {
        ASSERT_FALSE(IsDenormal(out[i])) << "frame " << i;
        if (i >= zero) {
            ASSERT_EQ(out[i], 0.0f) << "frame " << i;
        }
    }
    EXPECT_EQ(Get(peak, PORTID_CURRENT), 0.0);
}

/* ---- Delay -------------------------------------------------------------------------- */

using DelayTest = SignalTest;

TEST_F(DelayTest, DelaysByTheLengthOfItsLine) {
    const std::vector<float> in = Wave(512);
    for (int32_t length : {1, 7, 64, 100}) {
        SCOPED_TRACE(length);
        const int32_t delay = Unit(VEXA_UNIT_DELAY, length);
        const std::vector<float> out = Process(delay, PORTID_INPUT, in);
        for (size_t i = 0; i < out.size(); i++)
            ASSERT_EQ(out[i], i < static_cast<size_t>(length) ? 0.0f : in[i - length])
                << "frame " << i;
        StopEngine();
        SetUp();
    }
}

TEST_F(DelayTest, LineLengthBelowOneIsRefused) {
    for (uint32_t type : {VEXA_UNIT_DELAY, VEXA_UNIT_DELAY_INTERP})
        for (int32_t length : {0, -1, -100000}) {
            EXPECT_EQ(Vexa_CreateUnit(ctx, type, 0, length), VXERR_OUT_OF_RANGE)
                << std::hex << type << std::dec << " length " << length;
        }
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 0);
    /* Lines that were made are freed with their units (TearDown checks the count). */
    const int32_t a = Unit(VEXA_UNIT_DELAY, 44100);
    Unit(VEXA_UNIT_DELAY_INTERP, 44100);
    EXPECT_EQ(Vexa_Delete(ctx, a), 0);
}

/* ---- DelayInterp -------------------------------------------------------------------- */

using DelayInterpTest = SignalTest;

/* The input `frames` frames before frame i, linearly interpolated (zeros before frame 0). */
double Past(const std::vector<float> &in, size_t i, double frames) {
    const double t = static_cast<double>(i) - frames;
    const double base = std::floor(t);
    auto at = [&](double k) {
        return k < 0 ? 0.0 : static_cast<double>(in[static_cast<size_t>(k)]);
    };
    return at(base) + (at(base + 1) - at(base)) * (t - base);
}

TEST_F(DelayInterpTest, ReadsTheInputDelayFramesAgoWithinTheLine) {
    struct Case {
        int32_t length;
        double delaySeconds;
        double expectedFrames; /* the delay after limiting */
        const char *what;
    };
    const double frame = 1.0 / 44100.0;
    const Case cases[] = {
        {100, 0.0, 1.0, "0 s is the shortest delay, one frame"},
        {100, -1.0, 1.0, "a negative delay is the shortest one"},
        {100, 10.0, 99.0, "a delay beyond the line is N - 1 frames"},
        {100, 2.5 * frame, 2.5, "2.5 frames is the mean of the inputs 2 and 3 frames ago"},
        {8, 2.5 * frame, 2.5, "reads across the end of the line through the guard entry"},
        {8, 7.5 * frame, 7.5, "between N - 1 and N frames stays unchanged"},
        {2, 10.0, 1.0, "a two-frame line delays by one frame"},
        {1, 0.0, 1.0, "a one-frame line delays by one frame (shortest delay)"},
        {1, 0.5 * frame, 1.0, "a one-frame line delays by one frame (half a frame)"},
        {1, 10.0, 1.0, "a one-frame line delays by one frame (longest delay)"},
    };
    const std::vector<float> in = Wave(300);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const int32_t delay = Unit(VEXA_UNIT_DELAY_INTERP, c.length);
        Set(delay, PORTID_DELAY, c.delaySeconds);
        const std::vector<float> out = Process(delay, PORTID_INPUT, in);
        for (size_t i = 0; i < out.size(); i++)
            ASSERT_NEAR(out[i], Past(in, i, c.expectedFrames), 2e-7) << "frame " << i;
        StopEngine();
        SetUp();
    }
}

TEST_F(DelayInterpTest, WholeFrameDelaysAreExact) {
    const std::vector<float> in = Wave(300);
    const int32_t delay = Unit(VEXA_UNIT_DELAY_INTERP, 100);
    Set(delay, PORTID_DELAY, 10.0);
    const std::vector<float> out = Process(delay, PORTID_INPUT, in);
    for (size_t i = 0; i < out.size(); i++)
        ASSERT_EQ(out[i], i < 99 ? 0.0f : in[i - 99]) << "frame " << i;
}

TEST_F(DelayInterpTest, WildDelaySignalsStayInsideTheLine) {
    /* A Delay signal swinging far beyond both limits, and not a number, frame by frame: a
     * constant input then comes out unchanged once the line is full, whatever is read. */
    std::vector<float> modulation(256);
    for (size_t i = 0; i < modulation.size(); i++)
        modulation[i] = i % 3 == 0 ? NAN : static_cast<float>((static_cast<int>(i % 7) - 3) * 1e6);
    for (int32_t length : {1, 3}) {
        SCOPED_TRACE(length);
        const int32_t delay = Unit(VEXA_UNIT_DELAY_INTERP, length);
        Set(delay, PORTID_INPUT, 0.25);
        const std::vector<float> out = Process(delay, PORTID_DELAY, modulation);
        for (size_t i = 0; i < out.size(); i++) {
            ASSERT_GE(out[i], 0.0f) << "frame " << i;
            ASSERT_LE(out[i], 0.25f) << "frame " << i;
            if (i >= static_cast<size_t>(length)) {
                ASSERT_EQ(out[i], 0.25f) << "frame " << i;
            }
        }
        StopEngine();
        SetUp();
    }
}

} // namespace
