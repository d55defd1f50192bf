/*
 * Data queues: what a queue port accepts, how regions follow each other (plain, looping,
 * stop-at-end, replaceable), clearing, and the references that regions hold on their data.
 * Regions are played on a SampleRead16F1 whose samples hold 1, 2, 3, ... so that every
 * output frame names the sample frame it came from.
 */
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "velto_units.h"
#include "vx_test_support.h"
#include "vx_unit.h"

namespace {

using vxtest::EngineTest;

class QueueTest : public EngineTest {
  protected:
    int32_t ticker = 0;

    void SetUp() override {
        EngineTest::SetUp();
        ticker = Unit(VEXA_UNIT_CHANNEL_OUT); /* never started; only receives commands */
    }

    /* A mono sample whose frames hold first, first + 1, ... */
    int32_t Ramp(uint32_t frames, int16_t first = 1) {
        const int32_t sample = Vexa_CreateSample(ctx, frames, 1);
        EXPECT_GT(sample, 0);
        std::vector<int16_t> values;
        for (uint32_t k = 0; k < frames; k++) values.push_back(static_cast<int16_t>(first + k));
        EXPECT_EQ(Vexa_WriteSample(ctx, sample, 0, values.data(), frames), 0);
        return sample;
    }

    int32_t Reader() {
        const int32_t reader = Unit(VEXA_UNIT_SAMPLE_READ16_F1);
        Set(reader, PORTID_AMPLITUDE, 1.0);
        return reader;
    }

    /* Output values back as the 16-bit values they came from. */
    static std::vector<int> AsValues(const std::vector<float> &out) {
        std::vector<int> values;
        for (float v : out) values.push_back(static_cast<int>(std::lround(v * 32768.0)));
        return values;
    }

    /* Channel 0 of the next numTicks ticks, as 16-bit values. */
    std::vector<int> RenderValues(int32_t numTicks) {
        const std::vector<float> out = Render(numTicks);
        std::vector<float> channel0;
        for (size_t i = 0; i < out.size(); i += outputChannels) channel0.push_back(out[i]);
        return AsValues(channel0);
    }

    /* Lets the back end return what it released, and the front end free it: a command on
     * the ticker follows every earlier returned node through the back-to-front list. */
    void Collect() {
        Set(ticker, PORTID_INPUT, 0.0);
        Render(1);
        ASSERT_EQ(Vexa_CheckEngineErrors(ctx), 0);
    }
};

/* ---- What a queue port accepts --------------------------------------------------------- */

TEST_F(QueueTest, QueueCallsCheckUnitPortAndDataInOrder) {
    const int32_t monoReader = Unit(VEXA_UNIT_SAMPLE_READ16_F1);
    const int32_t stereoReader = Unit(VEXA_UNIT_SAMPLE_READ16_F2);
    const int32_t writer = Unit(VEXA_UNIT_SAMPLE_WRITE16_F1);
    const int32_t envelopeUnit = Unit(VEXA_UNIT_ENVELOPE_LINEAR);
    const int32_t mono = Vexa_CreateSample(ctx, 10, 1);
    const int32_t stereo = Vexa_CreateSample(ctx, 10, 2);
    const int32_t envelope = Vexa_CreateEnvelope(ctx, 10);
    const int32_t table = Vexa_CreateTable(ctx, 10);

    struct Case {
        const char *what;
        int32_t unit;
        uint32_t port;
        int32_t data;
        uint32_t start;
        uint32_t frames;
        int32_t expected;
    };
    const Case cases[] = {
        {"no unit", 0, PORTID_DATA, mono, 0, 1, VXERR_INVALID_TOKEN},
        {"unit is a sample", mono, PORTID_DATA, mono, 0, 1, VXERR_INVALID_TOKEN_TYPE},
        {"port not on unit", monoReader, 0x1234, mono, 0, 1, VXERR_NOT_FOUND},
        {"not a queue port", monoReader, PORTID_AMPLITUDE, mono, 0, 1, VXERR_INVALID_PORT_TYPE},
        {"no data", monoReader, PORTID_DATA, 0, 0, 1, VXERR_INVALID_TOKEN},
        {"data is a table", monoReader, PORTID_DATA, table, 0, 1, VXERR_INVALID_TOKEN_TYPE},
        {"data is a unit", monoReader, PORTID_DATA, writer, 0, 1, VXERR_INVALID_TOKEN_TYPE},
        /* Each unit plays only its own kind of data; the kind is checked before the
         * channels and the range. */
        {"envelope on reader", monoReader, PORTID_DATA, envelope, 0, 1, VXERR_INVALID_DATA_TYPE},
        {"envelope on stereo reader", stereoReader, PORTID_DATA, envelope, 0, 1,
         VXERR_INVALID_DATA_TYPE},
        {"envelope on writer", writer, PORTID_DATA, envelope, 0, 1, VXERR_INVALID_DATA_TYPE},
        {"sample on envelope", envelopeUnit, PORTID_DATA, mono, 0, 1, VXERR_INVALID_DATA_TYPE},
        {"stereo on envelope", envelopeUnit, PORTID_DATA, stereo, 0, 1,
         VXERR_INVALID_DATA_TYPE},
        {"envelope on reader, bad range", monoReader, PORTID_DATA, envelope, 10, 1,
         VXERR_INVALID_DATA_TYPE},
        /* Channels, then range. */
        {"stereo on mono reader", monoReader, PORTID_DATA, stereo, 0, 1,
         VXERR_CHANNELS_MISMATCH},
        {"mono on stereo reader", stereoReader, PORTID_DATA, mono, 0, 1,
         VXERR_CHANNELS_MISMATCH},
        {"stereo on mono writer, bad range", writer, PORTID_DATA, stereo, 10, 0,
         VXERR_CHANNELS_MISMATCH},
        {"start at the end", monoReader, PORTID_DATA, mono, 10, 1, VXERR_OUT_OF_RANGE},
        {"no frames", monoReader, PORTID_DATA, mono, 0, 0, VXERR_OUT_OF_RANGE},
        {"one past the end", monoReader, PORTID_DATA, mono, 5, 6, VXERR_OUT_OF_RANGE},
        {"more than the sample", monoReader, PORTID_DATA, mono, 0, 11, VXERR_OUT_OF_RANGE},
        {"end wraps 32 bits", monoReader, PORTID_DATA, mono, 1, 0xFFFFFFFFu,
         VXERR_OUT_OF_RANGE},
        {"last frame", monoReader, PORTID_DATA, mono, 9, 1, 0},
        {"stereo", stereoReader, PORTID_DATA, stereo, 0, 10, 0},
        {"recording", writer, PORTID_DATA, mono, 0, 10, 0},
        {"envelope", envelopeUnit, PORTID_DATA, envelope, 3, 7, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Vexa_QueueData(ctx, c.unit, c.port, c.data, c.start, c.frames, 0),
                  c.expected);
    }
    EXPECT_EQ(Vexa_QueueData(nullptr, monoReader, PORTID_DATA, mono, 0, 1, 0),
              VXERR_INVALID_CONTEXT);
    EXPECT_EQ(Vexa_QueueDataAt(nullptr, 0, monoReader, PORTID_DATA, mono, 0, 1, 0),
              VXERR_INVALID_CONTEXT);
}

TEST_F(QueueTest, ClearCallsCheckUnitAndPort) {
    const int32_t reader = Unit(VEXA_UNIT_SAMPLE_READ16_F1);
    EXPECT_EQ(Vexa_ClearDataQueue(ctx, 0, PORTID_DATA), VXERR_INVALID_TOKEN);
    EXPECT_EQ(Vexa_ClearDataQueue(ctx, reader, 0x1234), VXERR_NOT_FOUND);
    EXPECT_EQ(Vexa_ClearDataQueue(ctx, reader, PORTID_OUTPUT), VXERR_INVALID_PORT_TYPE);
    EXPECT_EQ(Vexa_ClearDataQueue(nullptr, reader, PORTID_DATA), VXERR_INVALID_CONTEXT);
    EXPECT_EQ(Vexa_ClearDataQueueAt(nullptr, 0, reader, PORTID_DATA), VXERR_INVALID_CONTEXT);
    EXPECT_EQ(Vexa_ClearDataQueue(ctx, reader, PORTID_DATA), 0);
}

TEST_F(QueueTest, RefusedRegionQueuesNothingAndKeepsNoReference) {
    const int32_t reader = Reader();
    const int32_t envelope = Vexa_CreateEnvelope(ctx, 4);
    const double frames[8] = {0.0, 0.5, 0.0, 0.5, 0.0, 0.5, 0.0, 0.5};
    ASSERT_EQ(Vexa_WriteEnvelope(ctx, envelope, 0, frames, 4), 0);
    const int32_t stereo = Vexa_CreateSample(ctx, 4, 2);
    ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, envelope, 0, 4, 0),
              VXERR_INVALID_DATA_TYPE);
    ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, stereo, 0, 4, 0),
              VXERR_CHANNELS_MISMATCH);

    const std::vector<float> out = Record(reader, PORTID_OUTPUT, 1);
    for (float v : out) ASSERT_EQ(v, 0.0f);
    EXPECT_EQ(Vexa_GetPortFrames(ctx, reader, PORTID_DATA, 0), 0);

    /* With the client's hold gone, nothing else holds the two objects. */
    ASSERT_EQ(Vexa_Delete(ctx, envelope), 0);
    ASSERT_EQ(Vexa_Delete(ctx, stereo), 0);
    Collect();
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 3) << "ticker, reader and probe only";
}

/* ---- Playing regions ----------------------------------------------------------------- */

TEST_F(QueueTest, RegionPlaysOnceThenThePortIsIdle) {
    const int32_t reader = Reader();
    ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, Ramp(100), 0, 100, 0), 0);
    const std::vector<int> out = AsValues(Record(reader, PORTID_OUTPUT, 3));
    for (int f = 0; f < 100; f++) ASSERT_EQ(out[f], f + 1) << f;
    for (int f = 100; f < 104; f++) EXPECT_EQ(out[f], 100) << "rest of the block " << f;
    for (size_t f = 104; f < out.size(); f++) ASSERT_EQ(out[f], 0) << f;
    EXPECT_EQ(Vexa_GetPortFrames(ctx, reader, PORTID_DATA, 0), 99);
}

TEST_F(QueueTest, RegionQueuedAtALaterTickStartsOnItsFirstFrame) {
    const int32_t reader = Reader();
    ASSERT_EQ(Vexa_QueueDataAt(ctx, 2, reader, PORTID_DATA, Ramp(10), 3, 4, 0), 0);
    const std::vector<int> out = AsValues(Record(reader, PORTID_OUTPUT, 3));
    for (int f = 0; f < 128; f++) ASSERT_EQ(out[f], 0) << f;
    EXPECT_EQ((std::vector<int>(out.begin() + 128, out.begin() + 136)),
              (std::vector<int>{4, 5, 6, 7, 7, 7, 7, 7}));
}

TEST_F(QueueTest, LoopingRegionRepeatsWithoutGapUntilAnotherIsQueued) {
    const int32_t reader = Reader();
    ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, Ramp(10), 0, 10, VEXA_QUEUE_LOOP), 0);
    const std::vector<int> first = AsValues(Record(reader, PORTID_OUTPUT, 1));
    for (int f = 0; f < 64; f++) ASSERT_EQ(first[f], f % 10 + 1) << f;

    /* Queued during the pass that starts at frame 60: that pass still ends at frame 69. */
    ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, Ramp(5, 1000), 0, 5, 0), 0);
    const std::vector<int> second = RenderValues(1); /* frames 64 .. 127 */
    EXPECT_EQ((std::vector<int>(second.begin(), second.begin() + 16)),
              (std::vector<int>{5, 6, 7, 8, 9, 10, 1000, 1001, 1002, 1003, 1004, 1004, 1004,
                                1004, 1004, 1004}));
    EXPECT_EQ(second[16], 0);
    /* 9 counted steps per pass of 10 frames: seven passes (frames 0 .. 69), then four in
     * the second region. */
    EXPECT_EQ(Vexa_GetPortFrames(ctx, reader, PORTID_DATA, 0), 7 * 9 + 4);
}

TEST_F(QueueTest, AutoStopHoldsTheLastFrameOnceAndStopsTheUnit) {
    const int32_t reader = Reader();
    ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, Ramp(8), 0, 8, VEXA_QUEUE_AUTO_STOP), 0);
    ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, Ramp(4, 50), 0, 4, 0), 0);
    const std::vector<int> out = AsValues(Record(reader, PORTID_OUTPUT, 1));
    /* Frame 8 opens a new block, so without the hold it would read nothing (0). */
    EXPECT_EQ((std::vector<int>(out.begin(), out.begin() + 16)),
              (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 8, 50, 51, 52, 53, 53, 53, 53}));

    /* Stopped at the end of that tick: a new region is not played. */
    ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, Ramp(8, 70), 0, 8, 0), 0);
    const std::vector<int> later = RenderValues(1);
    for (int v : later) ASSERT_EQ(v, 0);
}

TEST_F(QueueTest, ReplaceableRegionGivesWayOnlyWhileItWaitsLastInLine) {
    struct Case {
        const char *what;
        uint32_t bFrames;
        int32_t cTick; /* -1: no third region */
        std::vector<int> expected; /* frames 0..7 and 64..71 */
    };
    const Case cases[] = {
        {"replaced", 3, 0, {1, 2, 3, 201, 202, 203, 203, 203, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"last one plays", 3, -1, {1, 2, 3, 101, 102, 103, 103, 103, 0, 0, 0, 0, 0, 0, 0, 0}},
        /* B has started before C arrives at tick 1, so C plays after it. */
        {"already started", 64, 1,
         {1, 2, 3, 101, 102, 103, 104, 105, 162, 163, 164, 201, 202, 203, 203, 203}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const int32_t reader = Reader();
        const int32_t a = Ramp(3, 1), b = Ramp(c.bFrames, 101), cs = Ramp(3, 201);
        ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, a, 0, 3, 0), 0);
        ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, b, 0, c.bFrames, VEXA_QUEUE_REPLACEABLE),
                  0);
        if (c.cTick == 0) {
            ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, cs, 0, 3, 0), 0);
        }
        const std::vector<int> out = AsValues(Record(reader, PORTID_OUTPUT, 1));
        if (c.cTick == 1) {
            ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, cs, 0, 3, 0), 0);
        }
        const std::vector<int> more = RenderValues(1);
        std::vector<int> seen(out.begin(), out.begin() + 8);
        seen.insert(seen.end(), more.begin(), more.begin() + 8);
        EXPECT_EQ(seen, c.expected);

        /* Every region let its sample go: played, or dropped when it was replaced. */
        for (int32_t token : {a, b, cs}) ASSERT_EQ(Vexa_Delete(ctx, token), 0);
        ASSERT_EQ(Vexa_DisconnectUnits(ctx, reader, PORTID_OUTPUT, 0), 0);
        ASSERT_EQ(Vexa_Delete(ctx, reader), 0);
        Collect();
    }
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 4) << "ticker and the three probes";
}

/* ---- Clearing and teardown ------------------------------------------------------------ */

TEST_F(QueueTest, ClearEndsALoopAndDiscardsPendingRegionsAtItsTick) {
    const int32_t reader = Reader();
    const int32_t a = Ramp(10, 1), b = Ramp(10, 101), c = Ramp(4, 201);
    ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, a, 0, 10, VEXA_QUEUE_LOOP), 0);
    ASSERT_EQ(Vexa_QueueDataAt(ctx, 1, reader, PORTID_DATA, b, 0, 10, 0), 0);
    ASSERT_EQ(Vexa_ClearDataQueueAt(ctx, 1, reader, PORTID_DATA), 0);
    ASSERT_EQ(Vexa_QueueDataAt(ctx, 2, reader, PORTID_DATA, c, 0, 4, 0), 0);
    for (int32_t token : {a, b, c}) ASSERT_EQ(Vexa_Delete(ctx, token), 0);

    const std::vector<int> out = AsValues(Record(reader, PORTID_OUTPUT, 3));
    EXPECT_EQ(out[63], 4) << "still looping at the end of tick 0";
    for (int f = 64; f < 128; f++) ASSERT_EQ(out[f], 0) << "cleared at tick 1, frame " << f;
    EXPECT_EQ((std::vector<int>(out.begin() + 128, out.begin() + 132)),
              (std::vector<int>{201, 202, 203, 204}));

    /* The playing loop, the discarded region and the played one all let go. */
    Collect();
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 3) << "ticker, reader and probe only";
}

TEST_F(QueueTest, FreeingAUnitReleasesItsPendingAndPlayingRegions) {
    const int32_t sample = Ramp(10);
    const int32_t reader = Reader();
    ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, sample, 0, 10, VEXA_QUEUE_LOOP), 0);
    Start(reader);
    Render(1); /* the loop plays and holds the sample */
    for (int k = 0; k < 3; k++)
        ASSERT_EQ(Vexa_QueueData(ctx, reader, PORTID_DATA, sample, k, 2, 0), 0);
    ASSERT_EQ(Vexa_StopUnit(ctx, reader), 0);
    Render(1); /* the three regions wait on the stopped unit */

    ASSERT_EQ(Vexa_Delete(ctx, reader), 0);
    Collect();
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 2) << "ticker and sample";
    ASSERT_EQ(Vexa_Delete(ctx, sample), 0);
    Collect();
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 1) << "the regions held no reference any more";
}

} // namespace
