/*
 * The period detector: the PeriodDetector unit through the engine, and the detector state
 * driven frame by frame where the test needs to see its candidates and counters.
 */
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "velto_units.h"
#include "vx_pitchdet.h"
#include "vx_test_support.h"
#include "vx_unit.h"

namespace {

using vxtest::EngineTest;

constexpr double kPi = 3.14159265358979323846;

/* amplitude x sin(2 pi f t) sampled at 44100 frames per second. */
std::vector<float> Sine(double frequency, double amplitude, size_t numFrames) {
    std::vector<float> x(numFrames);
    for (size_t i = 0; i < numFrames; i++)
        x[i] = static_cast<float>(amplitude * std::sin(2 * kPi * frequency * i / 44100.0));
    return x;
}

/* ---- Through the engine --------------------------------------------------------------- */

class PeriodDetectorUnitTest : public EngineTest {
  protected:
    void SetUp() override {
        ctx = Vexa_CreateContext();
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(Vexa_Initialize(ctx), 0);
        ASSERT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, 0, 1, 0, 2), 0);
    }

    /* Feeds `input` to a new detector; returns Period on channel 0 and Confidence on
     * channel 1, one pair per frame. */
    void Run(const std::vector<float> &input, std::vector<float> *period,
             std::vector<float> *confidence) {
        const int32_t source = Unit(VEXA_UNIT_CHANNEL_IN, 0);
        const int32_t detector = Unit(VEXA_UNIT_PERIOD_DETECTOR);
        const int32_t left = Unit(VEXA_UNIT_CHANNEL_OUT, 0);
        const int32_t right = Unit(VEXA_UNIT_CHANNEL_OUT, 1);
        ASSERT_EQ(Vexa_ConnectUnits(ctx, source, PORTID_OUTPUT, 0, detector, PORTID_INPUT, 0), 0);
        ASSERT_EQ(Vexa_ConnectUnits(ctx, detector, PORTID_PERIOD, 0, left, PORTID_INPUT, 0), 0);
        ASSERT_EQ(Vexa_ConnectUnits(ctx, detector, PORTID_CONFIDENCE, 0, right, PORTID_INPUT, 0),
                  0);
        for (int32_t unit : {source, detector, left, right}) Start(unit);
        ASSERT_EQ(input.size() % 64, 0u);
        const int32_t ticks = static_cast<int32_t>(input.size() / 64);
        std::vector<float> out(input.size() * 2);
        ASSERT_EQ(Vexa_RenderTicks(ctx, input.data(), out.data(), ticks), 0);
        for (size_t i = 0; i < input.size(); i++) {
            period->push_back(out[i * 2]);
            confidence->push_back(out[i * 2 + 1]);
        }
    }
};

TEST_F(PeriodDetectorUnitTest, Sine441HzIsFoundAt100Frames) {
    std::vector<float> period, confidence;
    Run(Sine(441.0, 0.5, 64 * 200), &period, &confidence);
    EXPECT_EQ(period[0], 100.0f);
    EXPECT_EQ(confidence[0], 0.0f);
    /* Accepted within the first few cycles... */
    size_t accepted = 0;
    while (accepted < period.size() && confidence[accepted] == 0.0f) accepted++;
    EXPECT_LT(accepted, 500u);
    /* ...and the estimate stays about 100 frames from then on, never a multiple. */
    for (size_t i = accepted; i < period.size(); i++) {
        ASSERT_NEAR(period[i], 100.0, 0.5) << "frame " << i;
        ASSERT_GT(confidence[i], 0.0f) << "frame " << i;
    }
}

TEST_F(PeriodDetectorUnitTest, InputWithinHysteresisNeverChangesPeriod) {
    /* 0.01 x sine and a 0.01 square: at most equal to the hysteresis, never beyond it. */
    std::vector<float> input = Sine(441.0, 0.01, 64 * 100);
    for (size_t i = 0; i < 64 * 100; i++) input.push_back((i / 50) % 2 ? 0.01f : -0.01f);
    std::vector<float> period, confidence;
    Run(input, &period, &confidence);
    for (size_t i = 0; i < period.size(); i++) {
        ASSERT_EQ(period[i], 100.0f) << "frame " << i;
        ASSERT_EQ(confidence[i], 0.0f) << "frame " << i;
    }
}

/* ---- The detector state ------------------------------------------------------------- */

class DetectorStateTest : public ::testing::Test {
  protected:
    PeriodDetectorState state;
    int32_t frame = 0;

    void SetUp() override { PeriodDetectorInit(&state, 44100.0f); }

    /* Feeds one frame; returns true when it made a zero-crossing record (and so a search). */
    bool Feed(float x) {
        const int32_t crossings = state.crossingState;
        DetectPeriod(&state, x);
        frame++;
        return state.crossingState != crossings;
    }

    void FeedAll(const std::vector<float> &x) {
        for (float v : x) Feed(v);
    }
};

TEST_F(DetectorStateTest, InitialisationSetsLimitsFromTheFrameRate) {
    EXPECT_EQ(state.period, 100.0f);
    EXPECT_EQ(state.lastCandidatePeriod, 100.0f);
    EXPECT_EQ(state.maximumPeriod, 882.0f);
    EXPECT_EQ(state.minimumPeriod, 18.375f);
    EXPECT_EQ(state.hysteresis, 0.01f);
    EXPECT_EQ(state.confidence, 0.0f);
    EXPECT_EQ(state.recordCount, 0);
}

TEST_F(DetectorStateTest, SineMakesFourRecordsPerCycleAndIsAccepted) {
    FeedAll(Sine(441.0, 0.5, 1000)); /* ten cycles */
    EXPECT_EQ(state.recordCount, 40);
    /* Up crossing, maximum, down crossing, minimum, in that order, one cycle apart. */
    const uint32_t order[4] = {FEATURE_UP_CROSSING, FEATURE_MAXIMUM, FEATURE_DOWN_CROSSING,
                               FEATURE_MINIMUM};
    for (int r = 0; r < 40; r++) {
        ASSERT_EQ(state.records[r].type, order[r % 4]) << "record " << r;
        if (r >= 4) {
            const double spacing = (state.records[r].time - state.records[r - 4].time) +
                                   (state.records[r].fraction - state.records[r - 4].fraction);
            ASSERT_NEAR(spacing, 100.0, 0.6) << "record " << r;
        }
    }
    EXPECT_NEAR(state.period, 100.0, 0.5);
    EXPECT_GT(state.confidence, 0.0f);
    /* Confidence as reported is the accepted score times the period. */
    EXPECT_FLOAT_EQ(state.weightedConfidence,
                    static_cast<float>(static_cast<double>(state.confidence) * state.period));

    /* The ring keeps counting: 255 at most, and the write index wraps. */
    FeedAll(Sine(441.0, 0.5, 10000));
    EXPECT_EQ(state.recordCount, 255);
    EXPECT_EQ(state.writeIndex, (40 + 400) % 256);
}

TEST_F(DetectorStateTest, FarCandidateIsRejectedOnceThenAccepted) {
    /* A 150-frame sine against the initial estimate of 100: the first search that finds a
     * candidate only records it as the last candidate; the next one accepts it. */
    const std::vector<float> x = Sine(294.0, 0.5, 3000);
    int searchesWithCandidate = 0;
    for (float v : x) {
        const float lastBefore = state.lastCandidatePeriod;
        const float periodBefore = state.period;
        if (!Feed(v)) continue;
        if (state.lastCandidatePeriod == lastBefore && state.period == periodBefore) continue;
        searchesWithCandidate++;
        if (searchesWithCandidate == 1) {
            EXPECT_NEAR(state.lastCandidatePeriod, 150.0, 1.0);
            EXPECT_EQ(state.period, 100.0f) << "accepted a candidate 50 % away";
            EXPECT_EQ(state.confidence, 0.0f);
        } else if (searchesWithCandidate == 2) {
            EXPECT_NEAR(state.period, 150.0, 1.0);
            EXPECT_GT(state.confidence, 0.0f);
            break;
        }
    }
    EXPECT_EQ(searchesWithCandidate, 2);
}

TEST_F(DetectorStateTest, ConfidenceIsHeldForOnePeriodThenDecays) {
    FeedAll(Sine(441.0, 0.5, 2000));
    ASSERT_NEAR(state.period, 100.0, 0.5);
    /* Silence makes no crossing, so the last acceptance stands. Find it going forward: the
     * hold counter counts down from the truncated period. */
    const int32_t held = state.holdCounter;
    const float confidence = state.confidence;
    const int32_t holdFrames = static_cast<int32_t>(state.period);
    ASSERT_GT(held, 0);
    ASSERT_LT(held, holdFrames);
    for (int32_t i = 0; i < held; i++) {
        Feed(0.0f);
        ASSERT_EQ(state.confidence, confidence) << "frame " << i;
    }
    EXPECT_EQ(state.holdCounter, 0);
    float previous = confidence;
    for (int i = 0; i < 1000; i++) {
        Feed(0.0f);
        const float expected =
            static_cast<float>(static_cast<double>(previous) * static_cast<double>(0.999f));
        ASSERT_EQ(state.confidence, expected) << "decay frame " << i;
        ASSERT_EQ(state.weightedConfidence,
                  static_cast<float>(static_cast<double>(expected) * state.period));
        previous = expected;
    }
    /* Down to 0 exactly once below 1e-20, never through denormal numbers. */
    for (int i = 0; i < 100000 && state.confidence != 0.0f; i++) {
        Feed(0.0f);
        ASSERT_TRUE(state.confidence == 0.0f || state.confidence >= 1.0e-20f);
    }
    EXPECT_EQ(state.confidence, 0.0f);
    EXPECT_EQ(state.weightedConfidence, 0.0f);
}

TEST_F(DetectorStateTest, HoldStartsAtTheTruncatedPeriodOnTheAcceptingFrame) {
    /* The accepting frame itself counts: a period of 100.x is held on that frame and the 99
     * after it. Between acceptances the counter only runs down. */
    int acceptances = 0;
    for (float v : Sine(441.0, 0.5, 2000)) {
        const int32_t holdBefore = state.holdCounter;
        Feed(v);
        if (state.holdCounter == (holdBefore > 0 ? holdBefore - 1 : 0)) continue;
        acceptances++;
        ASSERT_EQ(state.holdCounter, static_cast<int32_t>(state.period) - 1) << "frame " << frame;
    }
    EXPECT_GT(acceptances, 0);
}

TEST_F(DetectorStateTest, FewerThanFourRecordsMakeNoSearch) {
    /* Up crossing, maximum, down crossing: the down crossing's search sees three records. */
    FeedAll({0.0f, 0.3f, 0.6f, 0.3f, -0.3f});
    EXPECT_EQ(state.recordCount, 3);
    EXPECT_EQ(state.records[0].type, FEATURE_UP_CROSSING);
    EXPECT_EQ(state.records[1].type, FEATURE_MAXIMUM);
    EXPECT_EQ(state.records[2].type, FEATURE_DOWN_CROSSING);
    EXPECT_EQ(state.period, 100.0f);
    EXPECT_EQ(state.lastCandidatePeriod, 100.0f);
    EXPECT_EQ(state.confidence, 0.0f);
}

TEST_F(DetectorStateTest, CrossingRecordsLocateTheThreshold) {
    /* From 0 to 0.05: the threshold 0.01 is passed at a fifth of the step; the record is
     * stamped with the frame before, and its value is the step times 10. */
    FeedAll({0.0f, 0.0f, 0.0f, 0.05f});
    ASSERT_EQ(state.recordCount, 1);
    const FeatureRecord &up = state.records[0];
    EXPECT_EQ(up.type, FEATURE_UP_CROSSING);
    EXPECT_EQ(up.time, 2);
    EXPECT_NEAR(up.fraction, 0.2, 1e-6);
    EXPECT_FLOAT_EQ(up.value, 0.5f);
    EXPECT_EQ(state.crossingState, 1);
}

TEST_F(DetectorStateTest, ExtremumOnZeroKeepsAFiniteRecord) {
    /* A 120-frame cycle whose positive lobe ends in a small dip that turns back up exactly
     * on 0, inside the hysteresis. That minimum's fraction, 1 - step / 0, would be infinite
     * and every distance measured across it too, hiding the previous cycle from the search;
     * the record keeps a finite fraction and the period is found. */
    std::vector<float> x;
    for (int cycle = 0; cycle < 30; cycle++)
        for (int i = 0; i < 120; i++) {
            float v = 0.0f;
            if (i < 50)
                v = static_cast<float>(0.5 * std::sin(kPi * i / 50.0));
            else if (i == 50)
                v = -0.005f;
            else if (i > 51 && i < 112)
                v = static_cast<float>(-0.5 * std::sin(kPi * (i - 51) / 61.0));
            x.push_back(v);
        }
    FeedAll(x);
    for (int r = 0; r < PD_NUM_RECORDS; r++)
        ASSERT_TRUE(std::isfinite(state.records[r].fraction)) << "record " << r;
    EXPECT_NEAR(state.period, 120.0, 1.0);
    EXPECT_GT(state.confidence, 0.0f);
}

TEST_F(DetectorStateTest, TimeStampWrapDoesNotDisturbTheEstimate) {
    /* The 16-bit time stamps turn negative at frame 32768 and wrap at 65536; searches across
     * those points must not pull the estimate away. */
    FeedAll(Sine(441.0, 0.5, 32000));
    ASSERT_NEAR(state.period, 100.0, 0.5);
    for (float v : Sine(441.0, 0.5, 70000)) {
        Feed(v);
        ASSERT_NEAR(state.period, 100.0, 0.5) << "frame " << frame;
    }
}

TEST_F(DetectorStateTest, PairsAcrossTheTimeStampWrapMatchNothing) {
    /* Four upward crossings 110 frames apart, the time stamps turning negative between the
     * second and the third. The candidate 110 (newest against the one before) must be scored
     * from that pair alone: the older two lie across the wrap, at negative distances. */
    const int32_t frames[4] = {32580, 32690, 32800, 32910};
    for (int r = 0; r < 4; r++) {
        FeatureRecord *record = GetNextFeatureRecord(&state);
        record->type = FEATURE_UP_CROSSING;
        record->time = static_cast<int16_t>(static_cast<uint16_t>(frames[r]));
        record->fraction = 0.0f;
        record->value = 1.0f;
    }
    ASSERT_LT(state.records[2].time, 0);
    MatchFeatures(&state);
    EXPECT_FLOAT_EQ(state.lastCandidatePeriod, 110.0f);
    EXPECT_FLOAT_EQ(state.period, 110.0f);
    EXPECT_EQ(state.holdCounter, 110);
    /* One pair over one cycle at 110 frames: 1 / 110, nothing from similarity yet. */
    EXPECT_FLOAT_EQ(state.confidence, 1.0f / 110.0f);
    EXPECT_FLOAT_EQ(state.weightedConfidence, 1.0f);
}

} // namespace
