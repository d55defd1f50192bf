/*
 * Samples: creation and copies (plain and array variants), the fixed-rate and variable-rate
 * readers and the writers, rendered offline frame by frame.
 */
#include <gtest/gtest.h>

#include <vector>

#include "velto_units.h"
#include "vx_test_support.h"
#include "vx_internal.h"
#include "vx_unit.h"

namespace {

using vxtest::EngineTest;

class SampleTest : public EngineTest {
  protected:
    /* A sample holding `values` (interleaved when stereo). */
    int32_t MakeSample(const std::vector<int16_t> &values, int32_t channels) {
        const uint32_t frames = static_cast<uint32_t>(values.size()) / channels;
        const int32_t sample = Vexa_CreateSample(ctx, frames, channels);
        EXPECT_GT(sample, 0);
        EXPECT_EQ(Vexa_WriteSample(ctx, sample, 0, values.data(), frames), 0);
        return sample;
    }

    std::vector<int16_t> ReadAll(int32_t sample, uint32_t frames, int32_t channels) {
        std::vector<int16_t> values(static_cast<size_t>(frames) * channels, -1);
        EXPECT_EQ(Vexa_ReadSample(ctx, sample, 0, values.data(), frames), 0);
        return values;
    }

    /* Connects each (unit, Output part) to a ChannelOut on channel 0, 1, ..., starts the
     * units (the probes last, so they read this block's values) and renders. Returns one
     * vector per probe. */
    std::vector<std::vector<float>> RecordParts(int32_t unit, const std::vector<int32_t> &parts,
                                                int32_t ticks) {
        std::vector<int32_t> probes;
        for (size_t k = 0; k < parts.size(); k++) {
            const int32_t probe = Unit(VEXA_UNIT_CHANNEL_OUT, static_cast<int32_t>(k));
            EXPECT_EQ(Vexa_ConnectUnits(ctx, unit, PORTID_OUTPUT, parts[k], probe,
                                        PORTID_INPUT, 0),
                      0);
            probes.push_back(probe);
        }
        Start(unit);
        for (int32_t probe : probes) Start(probe);
        const std::vector<float> out = Render(ticks);
        std::vector<std::vector<float>> channels(parts.size());
        for (size_t frame = 0; frame < out.size() / outputChannels; frame++)
            for (size_t k = 0; k < parts.size(); k++)
                channels[k].push_back(out[frame * outputChannels + k]);
        return channels;
    }
};

/* ---- Creation and copies -------------------------------------------------------------- */

TEST_F(SampleTest, CreateRefusesBadSizesBeforeAllocating) {
    struct Case {
        uint32_t frames;
        int32_t channels;
    };
    const Case cases[] = {
        {100, 3}, {0, 1}, {10, 0}, {10, -1},
        {0x40000000u, 1},  /* 2^31 bytes: no longer a signed 32-bit count */
        {0x20000000u, 2},  /* the same with two channels */
        {0xFFFFFFFFu, 2},  /* the 32-bit product would wrap to a small size */
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.frames << " x " << c.channels);
        EXPECT_EQ(Vexa_CreateSample(ctx, c.frames, c.channels), VXERR_OUT_OF_RANGE);
    }
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 0);
    EXPECT_EQ(Vexa_CreateSample(nullptr, 10, 1), VXERR_INVALID_CONTEXT);
}

TEST_F(SampleTest, CopiesStayInsideTheSample) {
    const int32_t sample = Vexa_CreateSample(ctx, 100, 2);
    ASSERT_GT(sample, 0);
    std::vector<int16_t> buffer(2 * 200, 7);
    struct Case {
        bool write;
        uint32_t start;
        uint32_t frames;
        int32_t expected;
    };
    const Case cases[] = {
        {true, 95, 10, VXERR_OUT_OF_RANGE}, {true, 90, 10, 0},
        {false, 100, 0, 0},                 {false, 101, 0, VXERR_OUT_OF_RANGE},
        {true, 0, 101, VXERR_OUT_OF_RANGE}, {true, 0xFFFFFFFFu, 2, VXERR_OUT_OF_RANGE},
        {false, 1, 0xFFFFFFFFu, VXERR_OUT_OF_RANGE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << (c.write ? "write " : "read ") << c.start << "+"
                                        << c.frames);
        const int32_t result =
            c.write ? Vexa_WriteSample(ctx, sample, c.start, buffer.data(), c.frames)
                    : Vexa_ReadSample(ctx, sample, c.start, buffer.data(), c.frames);
        EXPECT_EQ(result, c.expected);
    }
    /* Only the accepted write (frames 90..99) changed the sample. */
    const std::vector<int16_t> stored = ReadAll(sample, 100, 2);
    for (size_t k = 0; k < stored.size(); k++) EXPECT_EQ(stored[k], k >= 180 ? 7 : 0) << k;
}

TEST_F(SampleTest, FramesRoundTripUnchanged) {
    const std::vector<int16_t> values = {-32768, 32767, 0, -1, 1, 12345, -12345, 2};
    const int32_t sample = MakeSample(values, 2);
    EXPECT_EQ(ReadAll(sample, 4, 2), values);
    std::vector<int16_t> middle(4, 0);
    EXPECT_EQ(Vexa_ReadSample(ctx, sample, 1, middle.data(), 2), 0);
    EXPECT_EQ(middle, (std::vector<int16_t>{0, -1, 1, 12345}));
}

TEST_F(SampleTest, TokensOfOtherKindsAreRefused) {
    const int32_t envelope = Vexa_CreateEnvelope(ctx, 4);
    const int32_t sample = Vexa_CreateSample(ctx, 4, 1);
    ASSERT_EQ(Vexa_Delete(ctx, sample), 0);
    int16_t buffer[4] = {};
    EXPECT_EQ(Vexa_WriteSample(ctx, envelope, 0, buffer, 1), VXERR_INVALID_TOKEN_TYPE);
    EXPECT_EQ(Vexa_ReadSample(ctx, 0, 0, buffer, 1), VXERR_INVALID_TOKEN);
    EXPECT_EQ(Vexa_ReadSample(ctx, sample, 0, buffer, 1), VXERR_INVALID_TOKEN);
    EXPECT_EQ(Vexa_ReadSample(nullptr, sample, 0, buffer, 1), VXERR_INVALID_CONTEXT);
}

TEST_F(SampleTest, OnlySixteenBitFramesAreSupported) {
    const int32_t sample = Vexa_CreateSample(ctx, 10, 1);
    int16_t buffer[10] = {};
    struct Case {
        int32_t dataType;
        uint32_t frames;
        int32_t expected;
    };
    const Case cases[] = {{0, 10, 0},
                          {1, 10, VXERR_NOT_SUPPORTED},
                          {3, 10, VXERR_NOT_SUPPORTED},
                          {4, 10, VXERR_INVALID_DATA_TYPE},
                          {100, 10, VXERR_INVALID_DATA_TYPE},
                          {1, 11, VXERR_OUT_OF_RANGE}}; /* the range is checked first */
    for (const Case &c : cases) {
        SCOPED_TRACE(c.dataType);
        EXPECT_EQ(VexaF_ReadWriteSample(ctx, sample, 0, c.frames, buffer, 0x7FFFFFFF,
                                        c.dataType, 0),
                  c.expected);
    }
}

TEST_F(SampleTest, ArrayVariantsHonourOffsetAndLength) {
    const int32_t mono = Vexa_CreateSample(ctx, 8, 1);
    std::vector<int16_t> array(12);
    for (size_t k = 0; k < array.size(); k++) array[k] = static_cast<int16_t>(100 + k);

    /* 4 frames need 4 values: after offset 10 only 2 are left. */
    EXPECT_EQ(Vexa_WriteSampleJava(ctx, mono, 0, 4, array.data(), 10, 12), VXERR_OUT_OF_RANGE);
    EXPECT_EQ(Vexa_WriteSampleJava(ctx, mono, 0, 0, array.data(), 13, 12), VXERR_OUT_OF_RANGE);
    EXPECT_EQ(Vexa_WriteSampleJava(ctx, mono, 0, 0, array.data(), 12, 12), 0);
    EXPECT_EQ(Vexa_WriteSampleJava(ctx, mono, 2, 4, array.data(), 8, 12), 0);
    EXPECT_EQ(ReadAll(mono, 8, 1), (std::vector<int16_t>{0, 0, 108, 109, 110, 111, 0, 0}));

    /* Reading back into the middle of an array leaves the rest alone. */
    std::vector<int16_t> into(6, -5);
    EXPECT_EQ(Vexa_ReadSampleJava(ctx, mono, 2, 3, into.data(), 4, 6), VXERR_OUT_OF_RANGE);
    EXPECT_EQ(Vexa_ReadSampleJava(ctx, mono, 2, 3, into.data(), 3, 6), 0);
    EXPECT_EQ(into, (std::vector<int16_t>{-5, -5, -5, 108, 109, 110}));

    /* A stereo offset counts values, so offset 3 starts in the middle of a frame. */
    const int32_t stereo = Vexa_CreateSample(ctx, 2, 2);
    const std::vector<int16_t> values = {0, 1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(Vexa_WriteSampleJava(ctx, stereo, 0, 2, values.data(), 3, 8), 0);
    EXPECT_EQ(ReadAll(stereo, 2, 2), (std::vector<int16_t>{3, 4, 5, 6}));
}

/* ---- Fixed-rate readers --------------------------------------------------------------- */

TEST_F(SampleTest, FixedRateReaderPlaysRegionThenHoldsForTheBlockThenFallsSilent) {
    const int32_t sample = MakeSample({16384, -16384, 32767, -32768}, 1);
    const int32_t reader = Unit(VEXA_UNIT_SAMPLE_READ16_F1);
    Set(reader, PORTID_AMPLITUDE, 1.0);
    ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, sample, 0, 4, 0), 0);

    const std::vector<float> out = Record(reader, PORTID_OUTPUT, 2);
    const float expected[4] = {0.5f, -0.5f, 0.999969482421875f, -1.0f};
    for (int i = 0; i < 4; i++) EXPECT_EQ(out[i], expected[i]) << i;
    for (int i = 4; i < 8; i++) EXPECT_EQ(out[i], -1.0f) << i;
    for (size_t i = 8; i < out.size(); i++) ASSERT_EQ(out[i], 0.0f) << i;
}

TEST_F(SampleTest, StereoReaderScalesBothChannelsByOneAmplitude) {
    const int32_t sample = MakeSample({16384, -8192, 4096, 32767}, 2);
    const int32_t reader = Unit(VEXA_UNIT_SAMPLE_READ16_F2);
    Set(reader, PORTID_AMPLITUDE, 0.5);
    ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, sample, 0, 2, 0), 0);

    const auto out = RecordParts(reader, {0, 1}, 1);
    EXPECT_EQ(out[0][0], 0.25f);
    EXPECT_EQ(out[1][0], -0.125f);
    EXPECT_EQ(out[0][1], 0.0625f);
    EXPECT_EQ(out[1][1], 0.4999847412109375f);
    EXPECT_EQ(out[0][2], 0.0625f); /* held for the rest of the block */
    EXPECT_EQ(out[1][7], 0.4999847412109375f);
    EXPECT_EQ(out[0][8], 0.0f);
    EXPECT_EQ(out[1][8], 0.0f);
}

/* ---- Variable-rate reader ------------------------------------------------------------- */

TEST_F(SampleTest, VariableRateReaderAtHalfAndQuadrupleSpeed) {
    /* s[k] = (k + 1) / 32, exact in float, so interpolated values are exact as well. */
    std::vector<int16_t> values;
    for (int k = 0; k < 8; k++) values.push_back(static_cast<int16_t>((k + 1) * 1024));
    auto s = [](int k) { return k < 0 ? 0.0f : k > 7 ? 0.25f : (k + 1) / 32.0f; };

    struct Case {
        double rate;
        std::vector<float> expected; /* first 12 output frames */
    };
    const Case cases[] = {
        /* Half speed: each sample frame over two output frames, the second half-way,
         * one sample frame behind the step position. */
        {22050.0,
         {0.0f, s(0) / 2, s(0), (s(0) + s(1)) / 2, s(1), (s(1) + s(2)) / 2, s(2),
          (s(2) + s(3)) / 2, s(3), (s(3) + s(4)) / 2, s(4), (s(4) + s(5)) / 2}},
        /* Four times the frame rate is limited to two sample frames per output frame; once
         * the region has run dry the output holds the last value. */
        {4 * 44100.0,
         {0.0f, s(1), s(3), s(5), s(7), s(7), s(7), s(7), s(7), s(7), s(7), s(7)}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rate);
        const int32_t sample = MakeSample(values, 1);
        const int32_t reader = Unit(VEXA_UNIT_SAMPLE_READ16_V1);
        Set(reader, PORTID_AMPLITUDE, 1.0);
        Set(reader, PORTID_RATE, c.rate);
        ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, sample, 0, 8, 0), 0);
        const std::vector<float> out = Record(reader, PORTID_OUTPUT, 1);
        for (size_t i = 0; i < c.expected.size(); i++) EXPECT_EQ(out[i], c.expected[i]) << i;
        EXPECT_EQ(out[63], c.rate > 44100.0 ? s(7) : (s(7) + s(7)) / 2) << "held when dry";
        /* Silence this case's probe for the next one. */
        ASSERT_EQ(Vexa_DisconnectUnits(ctx, reader, PORTID_OUTPUT, 0), 0);
    }
}

TEST_F(SampleTest, VariableRateReaderGlidesIntoANewRegionFromTheValueItHeld) {
    /* s[k] = (k + 1) / 128, played at half speed; at tick 1 the queue is cleared and a
     * region of -0.25 takes over. */
    std::vector<int16_t> values;
    for (int k = 0; k < 100; k++) values.push_back(static_cast<int16_t>((k + 1) * 256));
    const int32_t reader = Unit(VEXA_UNIT_SAMPLE_READ16_V1);
    Set(reader, PORTID_AMPLITUDE, 1.0);
    Set(reader, PORTID_RATE, 22050.0);
    ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, MakeSample(values, 1), 0, 100, 0), 0);
    ASSERT_EQ(Vexa_ClearDataQueueAt(ctx, 1, reader, PORTID_DATA), 0);
    ASSERT_EQ(Vexa_QueueDataAt(ctx, 1, reader, PORTID_DATA,
                               MakeSample({-8192, -8192, -8192, -8192}, 1), 0, 4, 0),
              0);
    const std::vector<float> out = Record(reader, PORTID_OUTPUT, 2);
    /* By frame 63 the reader has stepped onto s[32]; the new region starts from there. */
    EXPECT_EQ(out[63], (31 + 32) / 256.0f);
    EXPECT_EQ(out[64], 33 / 128.0f);
    EXPECT_EQ(out[65], (33 / 128.0f - 0.25f) / 2);
    EXPECT_EQ(out[66], -0.25f);
}

TEST_F(SampleTest, VariableRateReaderFreezesAtRateZero) {
    const int32_t sample = MakeSample({8192, 16384, 24576}, 1);
    const int32_t reader = Unit(VEXA_UNIT_SAMPLE_READ16_V1);
    Set(reader, PORTID_AMPLITUDE, 1.0);
    Set(reader, PORTID_RATE, 0.0);
    ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, sample, 0, 3, 0), 0);
    const std::vector<float> out = Record(reader, PORTID_OUTPUT, 2);
    /* The first step takes s0 as the current value; with no advance the output stays on
     * the previous value (0). */
    for (size_t i = 0; i < out.size(); i++) ASSERT_EQ(out[i], 0.0f) << i;
    EXPECT_EQ(Vexa_GetPortFrames(ctx, reader, PORTID_DATA, 0), 0);
}

/* ---- Writers -------------------------------------------------------------------------- */

TEST_F(SampleTest, WriterRoundsAndRecordsOneFrameLate) {
    /* Input values by tick, with the 16-bit values they are stored as. */
    struct Case {
        double input;
        int16_t stored;
    };
    const Case cases[] = {{1.0, 32767},          {-1.0, -32767},
                          {0.5, 16384},          {-3.2 / 32768, -2},
                          {2.0, 32767} /* clipped to 1 by the signed input */};
    const int32_t numTicks = 5;
    const int32_t sample = Vexa_CreateSample(ctx, numTicks * 64, 1);
    const int32_t writer = Unit(VEXA_UNIT_SAMPLE_WRITE16_F1);
    for (int32_t t = 0; t < numTicks; t++)
        ASSERT_EQ(Vexa_SetPortAt(ctx, t, writer, PORTID_INPUT, 0, cases[t].input), 0);
    ASSERT_EQ(Vexa_QueueData(ctx, writer, PORTID_DATA, sample, 0, numTicks * 64, 0), 0);
    Start(writer);
    Render(numTicks);

    /* Sample frame j holds the input of engine frame j + 1. */
    const std::vector<int16_t> stored = ReadAll(sample, numTicks * 64, 1);
    for (int32_t t = 0; t < numTicks; t++) {
        SCOPED_TRACE(t);
        EXPECT_EQ(stored[64 * t + 10], cases[t].stored);
        if (t > 0) {
            EXPECT_EQ(stored[64 * t - 2], cases[t - 1].stored);
            EXPECT_EQ(stored[64 * t - 1], cases[t].stored);
        }
    }
    EXPECT_EQ(stored[64 * numTicks - 1], 0) << "the last frame's input comes after the run";
}

TEST_F(SampleTest, StereoWriterInterleavesItsTwoInputs) {
    const int32_t sample = Vexa_CreateSample(ctx, 4, 2);
    const int32_t writer = Unit(VEXA_UNIT_SAMPLE_WRITE16_F2);
    Set(writer, PORTID_INPUT, 0.25, 0);
    Set(writer, PORTID_INPUT, -0.5, 1);
    ASSERT_EQ(Vexa_QueueData(ctx, writer, PORTID_DATA, sample, 1, 3, 0), 0);
    Start(writer);
    Render(1);
    EXPECT_EQ(ReadAll(sample, 4, 2),
              (std::vector<int16_t>{0, 0, 8192, -16383, 8192, -16383, 8192, -16383}));
}

TEST_F(SampleTest, AutoStopWriterRecordsTheFollowingFrameIntoTheLastOneAndStops) {
    /* A reader plays a ramp (100 + engine frame) into the writer, so every recorded value
     * names the engine frame it came from. */
    std::vector<int16_t> ramp;
    for (int f = 0; f < 128; f++) ramp.push_back(static_cast<int16_t>(100 + f));
    const int32_t source = MakeSample(ramp, 1);
    const int32_t reader = Unit(VEXA_UNIT_SAMPLE_READ16_F1);
    Set(reader, PORTID_AMPLITUDE, 1.0);
    const int32_t target = Vexa_CreateSample(ctx, 12, 1);
    const int32_t writer = Unit(VEXA_UNIT_SAMPLE_WRITE16_F1);
    ASSERT_EQ(Vexa_ConnectUnits(ctx, reader, PORTID_OUTPUT, 0, writer, PORTID_INPUT, 0), 0);
    ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, source, 0, 128, 0), 0);
    ASSERT_EQ(Vexa_QueueData(ctx, writer, PORTID_DATA, target, 0, 10, VEXA_QUEUE_AUTO_STOP), 0);
    Start(reader);
    Start(writer);
    Render(1);

    /* Frame j records engine frame j + 1; the last frame (9) first records engine frame 10,
     * then, while the -1 step keeps it current, engine frame 11. */
    const std::vector<int16_t> stored = ReadAll(target, 12, 1);
    for (int j = 0; j < 9; j++) EXPECT_EQ(stored[j], 101 + j) << j;
    EXPECT_EQ(stored[9], 111);
    EXPECT_EQ(stored[10], 0);

    /* The writer stopped at the end of tick 0: a region queued now is not recorded. */
    ASSERT_EQ(Vexa_QueueData(ctx, writer, PORTID_DATA, target, 0, 12, 0), 0);
    Render(2);
    EXPECT_EQ(ReadAll(target, 12, 1), stored);
}

/* ---- Lifetime ------------------------------------------------------------------------- */

TEST_F(SampleTest, DeletedSampleKeepsPlayingUntilItsRegionEnds) {
    std::vector<int16_t> values(100, 4096);
    const int32_t sample = MakeSample(values, 1);
    const int32_t reader = Unit(VEXA_UNIT_SAMPLE_READ16_F1);
    Set(reader, PORTID_AMPLITUDE, 1.0);
    ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, sample, 0, 100, 0), 0);
    ASSERT_EQ(Vexa_Delete(ctx, sample), 0);
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 2);

    const std::vector<float> out = Record(reader, PORTID_OUTPUT, 3); /* adds a probe */
    EXPECT_EQ(out[0], 0.125f);
    EXPECT_EQ(out[99], 0.125f);
    EXPECT_EQ(out[104], 0.0f);
    /* The released sample is handed back once a later node follows it. */
    Set(reader, PORTID_AMPLITUDE, 1.0);
    Render(1);
    ASSERT_EQ(Vexa_CheckEngineErrors(ctx), 0);
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 2) << "reader and probe remain, the sample is freed";
}

} // namespace
