/*
 * Envelopes: creation and copies (plain and array variants), the linear envelope's glides,
 * rate, hold and clearing, and the parabolic envelope's humps. The engine runs at 32768
 * frames per second, where the durations used here give increments that are exact in binary.
 */
#include <gtest/gtest.h>

#include <vector>

#include "velto_units.h"
#include "vx_test_support.h"
#include "vx_unit.h"

namespace {

using vxtest::EngineTest;

constexpr double kSegment = 1.0 / 256; /* 128 frames at 32768 frames per second */

class EnvelopeTest : public EngineTest {
  protected:
    EnvelopeTest() {
        frameRate = 32768.0;
        outputChannels = 3;
    }

    /* An envelope of (duration, value) pairs. */
    int32_t MakeEnvelope(const std::vector<double> &pairs) {
        const uint32_t frames = static_cast<uint32_t>(pairs.size() / 2);
        const int32_t envelope = Vexa_CreateEnvelope(ctx, frames);
        EXPECT_GT(envelope, 0);
        EXPECT_EQ(Vexa_WriteEnvelope(ctx, envelope, 0, pairs.data(), frames), 0);
        return envelope;
    }

    int32_t Linear() {
        const int32_t unit = Unit(VEXA_UNIT_ENVELOPE_LINEAR);
        Set(unit, PORTID_AMPLITUDE, 1.0);
        return unit;
    }

    /* Channel 0 of the next numTicks ticks. */
    std::vector<float> RenderChannel0(int32_t numTicks) {
        const std::vector<float> out = Render(numTicks);
        std::vector<float> channel0;
        for (size_t i = 0; i < out.size(); i += outputChannels) channel0.push_back(out[i]);
        return channel0;
    }
};

/* ---- Creation and copies ------------------------------------------------------------- */

TEST_F(EnvelopeTest, CreateRefusesEmptyAndOversizedEnvelopes) {
    EXPECT_EQ(Vexa_CreateEnvelope(ctx, 0), VXERR_OUT_OF_RANGE);
    EXPECT_EQ(Vexa_CreateEnvelope(ctx, 0x08000000u), VXERR_OUT_OF_RANGE); /* 2^31 bytes */
    EXPECT_EQ(Vexa_CreateEnvelope(ctx, 0xFFFFFFFFu), VXERR_OUT_OF_RANGE);
    EXPECT_EQ(Vexa_CreateEnvelope(nullptr, 4), VXERR_INVALID_CONTEXT);
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 0);
}

TEST_F(EnvelopeTest, CopiesStayInsideTheEnvelopeAndTheBuffer) {
    const int32_t envelope = MakeEnvelope({0.5, 1.0, 0.25, -1.0, 2.0, 0.125, 8.0, 3.5});
    std::vector<double> buffer(16, -9.0);
    struct Case {
        uint32_t start;
        uint32_t frames;
        uint32_t maxBytes;
        int32_t expected;
    };
    const Case cases[] = {
        {4, 0, 0x7FFFFFFF, 0},  {5, 0, 0x7FFFFFFF, VXERR_OUT_OF_RANGE},
        {3, 2, 0x7FFFFFFF, VXERR_OUT_OF_RANGE}, {0, 5, 0x7FFFFFFF, VXERR_OUT_OF_RANGE},
        {1, 0xFFFFFFFFu, 0x7FFFFFFF, VXERR_OUT_OF_RANGE},
        {1, 2, 31, VXERR_OUT_OF_RANGE}, /* two frames need 32 bytes */
        {1, 2, 32, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << "+" << c.frames << " in " << c.maxBytes);
        EXPECT_EQ(Vexa_ReadWriteEnvelope(ctx, envelope, c.start, c.frames, buffer.data(),
                                         c.maxBytes, 0),
                  c.expected);
    }
    EXPECT_EQ((std::vector<double>(buffer.begin(), buffer.begin() + 5)),
              (std::vector<double>{0.25, -1.0, 2.0, 0.125, -9.0}));

    const int32_t sample = Vexa_CreateSample(ctx, 4, 1);
    EXPECT_EQ(Vexa_ReadEnvelope(ctx, sample, 0, buffer.data(), 1), VXERR_INVALID_TOKEN_TYPE);
    EXPECT_EQ(Vexa_WriteEnvelope(ctx, 0, 0, buffer.data(), 1), VXERR_INVALID_TOKEN);
}

TEST_F(EnvelopeTest, ArrayVariantsCountTheOffsetInFrames) {
    const int32_t envelope = Vexa_CreateEnvelope(ctx, 3);
    const std::vector<double> array = {9, 9, 0.5, 1.0, 0.25, -1.0};
    /* Offset 1 skips one (duration, value) pair. */
    EXPECT_EQ(Vexa_WriteEnvelopeJava(ctx, envelope, 1, 2, array.data(), 1, 6), 0);
    EXPECT_EQ(Vexa_WriteEnvelopeJava(ctx, envelope, 0, 3, array.data(), 1, 6),
              VXERR_OUT_OF_RANGE);
    std::vector<double> read(6, 0.0);
    ASSERT_EQ(Vexa_ReadEnvelope(ctx, envelope, 0, read.data(), 3), 0);
    EXPECT_EQ(read, (std::vector<double>{0, 0, 0.5, 1.0, 0.25, -1.0}));

    std::vector<double> four(4, 7.0);
    EXPECT_EQ(Vexa_ReadEnvelopeJava(ctx, envelope, 0, 1, four.data(), 2, 4), VXERR_OUT_OF_RANGE);
    EXPECT_EQ(Vexa_ReadEnvelopeJava(ctx, envelope, 0, 0, four.data(), 2, 4), 0);
    EXPECT_EQ(Vexa_ReadEnvelopeJava(ctx, envelope, 0, 0, four.data(), 3, 4), VXERR_OUT_OF_RANGE);
    EXPECT_EQ(Vexa_ReadEnvelopeJava(ctx, envelope, 1, 1, four.data(), 1, 4), 0);
    EXPECT_EQ(four, (std::vector<double>{7.0, 7.0, 0.5, 1.0}));
}

/* ---- EnvelopeLinear ------------------------------------------------------------------ */

TEST_F(EnvelopeTest, LinearEnvelopeRisesAndFallsThenHoldsTheLastValue) {
    /* Half a second up to 1, half a second back to 0: 16384 frames each. */
    const int32_t unit = Linear();
    ASSERT_EQ(Vexa_QueueData(ctx, unit, PORTID_DATA, MakeEnvelope({0.5, 1.0, 0.5, 0.0}), 0, 2,
                             0),
              0);
    const std::vector<float> out = Record(unit, PORTID_OUTPUT, 520);
    for (int n = 0; n <= 16384; n++) ASSERT_EQ(out[n], n / 16384.0f) << n;
    for (int n = 16384; n <= 32768; n++) ASSERT_EQ(out[n], 1.0f - (n - 16384) / 16384.0f) << n;
    for (size_t n = 32768; n < out.size(); n++) ASSERT_EQ(out[n], 0.0f) << n;
}

TEST_F(EnvelopeTest, ShortDurationsTakeOneFrame) {
    for (double duration : {0.0, 1.0 / 32768, 1.9 / 32768}) {
        SCOPED_TRACE(duration);
        const int32_t unit = Linear();
        ASSERT_EQ(Vexa_QueueData(ctx, unit, PORTID_DATA, MakeEnvelope({duration, 0.75}), 0, 1,
                                 0),
                  0);
        const std::vector<float> out = Record(unit, PORTID_OUTPUT, 1);
        EXPECT_EQ(out[0], 0.0f);
        EXPECT_EQ(out[1], 0.75f);
        EXPECT_EQ(out[63], 0.75f);
        ASSERT_EQ(Vexa_DisconnectUnits(ctx, unit, PORTID_OUTPUT, 0), 0);
    }
}

TEST_F(EnvelopeTest, DataPortSignalTypeConvertsTheValuesPlayed) {
    const int32_t unit = Linear();
    ASSERT_EQ(Vexa_SetPortSignalType(ctx, unit, PORTID_DATA, 0, VEXA_SIGNAL_SIGNED), 0);
    ASSERT_EQ(Vexa_QueueData(ctx, unit, PORTID_DATA, MakeEnvelope({0.0, 3.0, 0.0, -0.5}), 0, 2,
                             0),
              0);
    const std::vector<float> out = Record(unit, PORTID_OUTPUT, 1);
    EXPECT_EQ(out[1], 1.0f) << "3 is clipped to the signed range";
    EXPECT_EQ(out[2], -0.5f);
}

TEST_F(EnvelopeTest, RateScalesTheSpeedAndIsLimitedToTwo) {
    struct Case {
        double rate;
        float stored;
        float atFrame64;
    };
    const Case cases[] = {{2.0, 2.0f, 1.0f}, {0.5, 0.5f, 0.25f}, {3.0, 2.0f, 1.0f},
                          {0.0, 0.0f, 0.0f}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rate);
        const int32_t unit = Linear();
        Set(unit, PORTID_RATE, c.rate);
        ASSERT_EQ(Vexa_QueueData(ctx, unit, PORTID_DATA, MakeEnvelope({kSegment, 1.0}), 0, 1,
                                 0),
                  0);
        const std::vector<float> out = Record(unit, PORTID_OUTPUT, 2);
        EXPECT_EQ(Get(unit, PORTID_RATE), c.stored);
        EXPECT_EQ(out[64], c.atFrame64);
        ASSERT_EQ(Vexa_DisconnectUnits(ctx, unit, PORTID_OUTPUT, 0), 0);
    }
}

TEST_F(EnvelopeTest, OvershootCarriesIntoTheNextSegment) {
    /* One-frame segments at Rate 2 grow the phase by 2 per frame: one envelope frame is
     * consumed per output frame, and the carried phase puts the level beyond the target on
     * the line through the segment. */
    const int32_t unit = Linear();
    Set(unit, PORTID_RATE, 2.0);
    ASSERT_EQ(Vexa_QueueData(ctx, unit, PORTID_DATA,
                             MakeEnvelope({0.0, 0.5, 0.0, 1.0, 0.0, 0.25}), 0, 3, 0),
              0);
    const std::vector<float> out = Record(unit, PORTID_OUTPUT, 1);
    EXPECT_EQ((std::vector<float>(out.begin(), out.begin() + 6)),
              (std::vector<float>{0.0f, 1.0f, -0.5f, 0.25f, 0.25f, 0.25f}));
}

TEST_F(EnvelopeTest, RateZeroFreezesLevelAndPosition) {
    const int32_t unit = Linear();
    ASSERT_EQ(Vexa_QueueData(ctx, unit, PORTID_DATA, MakeEnvelope({kSegment, 1.0}), 0, 1, 0),
              0);
    ASSERT_EQ(Vexa_SetPortAt(ctx, 1, unit, PORTID_RATE, 0, 0.0), 0);
    ASSERT_EQ(Vexa_SetPortAt(ctx, 3, unit, PORTID_RATE, 0, 1.0), 0);
    const std::vector<float> out = Record(unit, PORTID_OUTPUT, 5);
    EXPECT_EQ(out[63], 63 / 128.0f);
    for (int n = 64; n <= 192; n++) ASSERT_EQ(out[n], 0.5f) << n;
    EXPECT_EQ(out[193], 65 / 128.0f) << "continues where it stopped";
    EXPECT_EQ(out[256], 1.0f);
}

TEST_F(EnvelopeTest, DryQueueHoldsAndNewDataGlidesOnFromTheHeldLevel) {
    const int32_t unit = Linear();
    ASSERT_EQ(Vexa_QueueData(ctx, unit, PORTID_DATA, MakeEnvelope({kSegment, 0.5}), 0, 1, 0),
              0);
    ASSERT_EQ(Vexa_QueueDataAt(ctx, 4, unit, PORTID_DATA, MakeEnvelope({kSegment, 0.0}), 0, 1,
                               0),
              0);
    const std::vector<float> out = Record(unit, PORTID_OUTPUT, 8);
    EXPECT_EQ(out[64], 0.25f);
    for (int n = 128; n <= 256; n++) ASSERT_EQ(out[n], 0.5f) << n;
    for (int m = 0; m <= 128; m++) ASSERT_EQ(out[256 + m], 0.5f - m / 256.0f) << m;
    for (size_t n = 384; n < out.size(); n++) ASSERT_EQ(out[n], 0.0f) << n;
}

TEST_F(EnvelopeTest, LoopGlidesFromTheLastValueBackToTheFirst) {
    const int32_t unit = Linear();
    ASSERT_EQ(Vexa_QueueData(ctx, unit, PORTID_DATA,
                             MakeEnvelope({kSegment, 1.0, kSegment, 0.0}), 0, 2, VEXA_QUEUE_LOOP),
              0);
    const std::vector<float> out = Record(unit, PORTID_OUTPUT, 12);
    for (size_t n = 0; n + 256 < out.size(); n++) ASSERT_EQ(out[n + 256], out[n]) << n;
    EXPECT_EQ(out[256 + 64], 0.5f);
    EXPECT_EQ(out[256 + 128], 1.0f);
}

TEST_F(EnvelopeTest, ClearingMidSegmentHoldsTheLevelReached) {
    const int32_t unit = Linear();
    ASSERT_EQ(Vexa_QueueData(ctx, unit, PORTID_DATA, MakeEnvelope({4 * kSegment, 1.0}), 0, 1,
                             0),
              0);
    ASSERT_EQ(Vexa_ClearDataQueueAt(ctx, 2, unit, PORTID_DATA), 0);
    const std::vector<float> out = Record(unit, PORTID_OUTPUT, 4);
    EXPECT_EQ(out[127], 127 / 512.0f);
    for (size_t n = 128; n < out.size(); n++) ASSERT_EQ(out[n], 127 / 512.0f) << n;
}

TEST_F(EnvelopeTest, AutoStopRunsOneFlatSegmentThenStops) {
    const int32_t unit = Linear();
    ASSERT_EQ(Vexa_QueueData(ctx, unit, PORTID_DATA, MakeEnvelope({kSegment, 1.0}), 0, 1,
                             VEXA_QUEUE_AUTO_STOP),
              0);
    const std::vector<float> out = Record(unit, PORTID_OUTPUT, 3);
    for (int n = 128; n < 192; n++) ASSERT_EQ(out[n], 1.0f) << n;
    /* Stopped at the end of tick 2: newly queued data is not played. */
    ASSERT_EQ(Vexa_QueueData(ctx, unit, PORTID_DATA, MakeEnvelope({kSegment, 0.0}), 0, 1, 0),
              0);
    const std::vector<float> later = RenderChannel0(4);
    for (float v : later) ASSERT_EQ(v, 1.0f);
}

/* ---- EnvelopeParabolic ---------------------------------------------------------------- */

class ParabolicTest : public EnvelopeTest {
  protected:
    /* Output, StartPulse and BusyInput on channels 0, 1 and 2, for one tick. */
    void RecordHumps(int32_t unit, std::vector<float> &output, std::vector<float> &pulse,
                     std::vector<float> &busy) {
        const uint32_t ports[3] = {PORTID_OUTPUT, PORTID_START_PULSE, PORTID_BUSY_INPUT};
        std::vector<int32_t> probes;
        for (int32_t k = 0; k < 3; k++) {
            const int32_t probe = Unit(VEXA_UNIT_CHANNEL_OUT, k);
            EXPECT_EQ(Vexa_ConnectUnits(ctx, unit, ports[k], 0, probe, PORTID_INPUT, 0), 0);
            probes.push_back(probe);
        }
        Start(unit);
        for (int32_t probe : probes) Start(probe);
        const std::vector<float> out = Render(1);
        for (int f = 0; f < 64; f++) {
            output.push_back(out[3 * f]);
            pulse.push_back(out[3 * f + 1]);
            busy.push_back(out[3 * f + 2]);
        }
    }
};

TEST_F(ParabolicTest, HumpAtAQuarterOfTheFrameRate) {
    const int32_t unit = Unit(VEXA_UNIT_ENVELOPE_PARABOLIC);
    Set(unit, PORTID_FREQUENCY, 4096.0); /* r = 0.25 */
    Set(unit, PORTID_AMPLITUDE, 1.0);
    Set(unit, PORTID_INPUT, 1.0); /* a held trigger: retriggers as soon as a hump ends */
    std::vector<float> output, pulse, busy;
    RecordHumps(unit, output, pulse, busy);
    /* A hump of five frames, then the next trigger on frame 5. */
    const float hump[5] = {0.0f, 0.75f, 1.0f, 0.75f, 0.0f};
    for (int f = 0; f < 60; f++) {
        SCOPED_TRACE(f);
        ASSERT_EQ(output[f], hump[f % 5]);
        ASSERT_EQ(pulse[f], f % 5 == 0 ? 1.0f : 0.0f);
        ASSERT_EQ(busy[f], f % 5 == 0 ? 0.0f : 1.0f) << "triggers during a hump are passed on";
    }
}

TEST_F(ParabolicTest, DegenerateHumpsEndOnTheirFirstRunningFrame) {
    struct Case {
        double frequency;
        double amplitude;
    };
    const Case cases[] = {{16384.0, 1.0}, {30000.0, 1.0}, {-4096.0, 1.0}, {4096.0, -1.0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.frequency << " Hz, A " << c.amplitude);
        const int32_t unit = Unit(VEXA_UNIT_ENVELOPE_PARABOLIC);
        Set(unit, PORTID_FREQUENCY, c.frequency);
        Set(unit, PORTID_AMPLITUDE, c.amplitude);
        Set(unit, PORTID_INPUT, 1.0);
        std::vector<float> output, pulse, busy;
        RecordHumps(unit, output, pulse, busy);
        for (int f = 0; f < 64; f++) {
            ASSERT_EQ(output[f], 0.0f) << f;
            ASSERT_EQ(pulse[f], f % 2 == 0 ? 1.0f : 0.0f) << f;
        }
        for (uint32_t port : {PORTID_OUTPUT, PORTID_START_PULSE, PORTID_BUSY_INPUT})
            ASSERT_EQ(Vexa_DisconnectUnits(ctx, unit, port, 0), 0);
    }
}

TEST_F(ParabolicTest, NoTriggerNoHump) {
    const int32_t unit = Unit(VEXA_UNIT_ENVELOPE_PARABOLIC);
    Set(unit, PORTID_INPUT, -0.5);
    std::vector<float> output, pulse, busy;
    RecordHumps(unit, output, pulse, busy);
    for (int f = 0; f < 64; f++) {
        ASSERT_EQ(output[f], 0.0f);
        ASSERT_EQ(pulse[f], 0.0f);
        ASSERT_EQ(busy[f], 0.0f);
    }
}

} // namespace
