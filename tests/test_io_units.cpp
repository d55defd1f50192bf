/*
 * The units that meet the device buffers and the buses: LineOut, ChannelOut, LineIn,
 * ChannelIn, BusWrite and BusRead, rendered offline without a device.
 */
#include <gtest/gtest.h>

#include <vector>

#include "velto_units.h"
#include "vx_test_support.h"
#include "vx_unit.h"

namespace {

using vxtest::EngineTest;

float Sample(const std::vector<float> &out, int channels, int frame, int channel) {
    return out[static_cast<size_t>(frame) * channels + channel];
}

/* ---- Output units ------------------------------------------------------------------- */

using IoOutputTest = EngineTest;

TEST_F(IoOutputTest, OutputUnitsOnOneChannelMixByAddition) {
    const int32_t a = Unit(VEXA_UNIT_LINE_OUT, 0);
    const int32_t b = Unit(VEXA_UNIT_LINE_OUT, 0);
    const int32_t c = Unit(VEXA_UNIT_CHANNEL_OUT, 1);
    for (int32_t unit : {a, b})
        for (int32_t part : {0, 1}) Set(unit, PORTID_INPUT, 0.75, part);
    Set(c, PORTID_INPUT, 0.125);
    for (int32_t unit : {a, b, c}) Start(unit);

    const std::vector<float> out = Render(3);
    ASSERT_EQ(out.size(), 3u * 64 * 2);
    for (int frame = 0; frame < 3 * 64; frame++) {
        ASSERT_EQ(Sample(out, 2, frame, 0), 1.5f) << "frame " << frame;
        ASSERT_EQ(Sample(out, 2, frame, 1), 1.625f) << "frame " << frame;
    }
}

TEST_F(IoOutputTest, ChannelOutWritesOnlyItsChannel) {
    struct Case {
        int32_t channel;
        float expected[2];
    };
    for (const Case &c : {Case{0, {0.5f, 0.0f}}, Case{1, {0.0f, 0.5f}}}) {
        SCOPED_TRACE(c.channel);
        const int32_t unit = Unit(VEXA_UNIT_CHANNEL_OUT, c.channel);
        Set(unit, PORTID_INPUT, 0.5);
        Start(unit);
        const std::vector<float> out = Render(2);
        for (int frame = 0; frame < 2 * 64; frame++)
            for (int ch = 0; ch < 2; ch++)
                ASSERT_EQ(Sample(out, 2, frame, ch), c.expected[ch]) << "frame " << frame;
        ASSERT_EQ(Vexa_StopUnit(ctx, unit), 0);
        ASSERT_EQ(Vexa_Delete(ctx, unit), 0);
    }
}

TEST_F(IoOutputTest, ConnectedSignalsAreNotClipped) {
    /* Only set values are limited by the signed type; a connected signal passes as it is. */
    const int32_t bus = Unit(VEXA_UNIT_BUS_READ);
    const int32_t writer = Unit(VEXA_UNIT_BUS_WRITE);
    const int32_t out = Unit(VEXA_UNIT_LINE_OUT, 0);
    Set(writer, PORTID_INPUT, 3.0);
    Set(bus, PORTID_AMPLITUDE, 1.0);
    ASSERT_EQ(Vexa_ConnectUnits(ctx, writer, PORTID_BUS_OUTPUT, 0, bus, PORTID_BUS_INPUT, 0), 0);
    ASSERT_EQ(Vexa_ConnectUnits(ctx, bus, PORTID_OUTPUT, 0, out, PORTID_INPUT, 0), 0);
    Set(out, PORTID_INPUT, 5.0, 1); /* a set value is limited to +1 */
    for (int32_t unit : {writer, bus, out}) Start(unit);
    const std::vector<float> rendered = Render(1);
    EXPECT_EQ(Sample(rendered, 2, 10, 0), 3.0f);
    EXPECT_EQ(Sample(rendered, 2, 10, 1), 1.0f);
}

TEST_F(IoOutputTest, ChannelIndexAbove16IsRefusedAnd16Accepted) {
    struct Case {
        uint32_t type;
        int32_t argument;
        bool accepted;
    };
    const Case cases[] = {
        {VEXA_UNIT_LINE_OUT, 16, true},     {VEXA_UNIT_LINE_OUT, 17, false},
        {VEXA_UNIT_CHANNEL_OUT, 16, true},  {VEXA_UNIT_CHANNEL_OUT, 17, false},
        {VEXA_UNIT_LINE_IN, 16, true},      {VEXA_UNIT_LINE_IN, 17, false},
        {VEXA_UNIT_CHANNEL_IN, 16, true},   {VEXA_UNIT_CHANNEL_IN, 17, false},
        {VEXA_UNIT_CHANNEL_OUT, -1, false}, /* compared unsigned: negative is above 16 */
        {VEXA_UNIT_LINE_IN, INT32_MIN, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.type << std::dec << " arg " << c.argument);
        const int32_t before = Vexa_GetObjectCount(ctx);
        const int32_t token = Vexa_CreateUnit(ctx, c.type, 0, c.argument);
        if (c.accepted) {
            EXPECT_GT(token, 0);
            if (token > 0) {
                EXPECT_EQ(Vexa_Delete(ctx, token), 0);
            }
        } else {
            EXPECT_EQ(token, VXERR_CHANNELS_MISMATCH);
            EXPECT_EQ(Vexa_GetObjectCount(ctx), before) << "a refused unit must not be kept";
        }
    }
}

/* A unit whose channels lie (partly) outside the frame writes only the channels inside it.
 * The render buffer is exactly as large as the frames, so a write past it is caught by the
 * address sanitizer build. */
TEST_F(IoOutputTest, PartsOutsideTheFrameAreSkipped) {
    const int32_t straddling = Unit(VEXA_UNIT_LINE_OUT, 1); /* part 1 would be channel 2 */
    const int32_t outside = Unit(VEXA_UNIT_LINE_OUT, 16);
    const int32_t single = Unit(VEXA_UNIT_CHANNEL_OUT, 2);
    Set(straddling, PORTID_INPUT, 0.25, 0);
    Set(straddling, PORTID_INPUT, 0.5, 1);
    for (int32_t part : {0, 1}) Set(outside, PORTID_INPUT, 0.75, part);
    Set(single, PORTID_INPUT, 0.875);
    for (int32_t unit : {straddling, outside, single}) Start(unit);
    const std::vector<float> out = Render(2);
    ASSERT_EQ(out.size(), 2u * 64 * 2);
    for (int frame = 0; frame < 2 * 64; frame++) {
        ASSERT_EQ(Sample(out, 2, frame, 0), 0.0f) << "frame " << frame;
        ASSERT_EQ(Sample(out, 2, frame, 1), 0.25f) << "frame " << frame;
    }
}

TEST_F(IoOutputTest, NoOutputBufferMeansNoWork) {
    const int32_t unit = Unit(VEXA_UNIT_LINE_OUT, 0);
    for (int32_t part : {0, 1}) Set(unit, PORTID_INPUT, 0.5, part);
    Start(unit);
    const int32_t tick = Vexa_GetTickCount(ctx);
    /* Without a print flag the no-device engine has no buffer of its own. */
    ASSERT_EQ(Vexa_SleepForTicks(ctx, 3), 0);
    ASSERT_EQ(Vexa_RenderTicks(ctx, nullptr, nullptr, 2), 0);
    EXPECT_EQ(Vexa_GetTickCount(ctx), tick + 5);
    const std::vector<float> out = Render(1); /* the unit is still there and still mixing */
    EXPECT_EQ(Sample(out, 2, 63, 0), 0.5f);
    EXPECT_EQ(Sample(out, 2, 63, 1), 0.5f);
}

/* ---- Input units -------------------------------------------------------------------- */

/* A no-device engine with two input and two output channels. */
class IoInputTest : public EngineTest {
  protected:
    void SetUp() override {
        ctx = Vexa_CreateContext();
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(Vexa_Initialize(ctx), 0);
        ASSERT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, 0, 2, 0, 2), 0);
    }

    /* Input frames whose value tells the frame and the channel. */
    static std::vector<float> Ramp(int32_t numTicks) {
        std::vector<float> in(static_cast<size_t>(numTicks) * 64 * 2);
        for (size_t i = 0; i < in.size(); i++)
            in[i] = static_cast<float>(i / 2) / 1024.0f * (i % 2 == 0 ? 1.0f : -1.0f);
        return in;
    }

    std::vector<float> RenderWith(const std::vector<float> *in, int32_t numTicks) {
        std::vector<float> out(static_cast<size_t>(numTicks) * 64 * 2, -99.0f);
        EXPECT_EQ(Vexa_RenderTicks(ctx, in ? in->data() : nullptr, out.data(), numTicks), 0);
        return out;
    }

    /* Two ChannelOut probes on channels 0 and 1, fed by `source`'s output parts. */
    void Probe(int32_t source, int32_t part0, int32_t part1) {
        const int32_t left = Unit(VEXA_UNIT_CHANNEL_OUT, 0);
        const int32_t right = Unit(VEXA_UNIT_CHANNEL_OUT, 1);
        ASSERT_EQ(Vexa_ConnectUnits(ctx, source, PORTID_OUTPUT, part0, left, PORTID_INPUT, 0), 0);
        ASSERT_EQ(Vexa_ConnectUnits(ctx, source, PORTID_OUTPUT, part1, right, PORTID_INPUT, 0),
                  0);
        Start(source);
        Start(left);
        Start(right);
    }
};

TEST_F(IoInputTest, LineInCopiesTwoAdjacentChannels) {
    const int32_t in = Unit(VEXA_UNIT_LINE_IN, 0);
    Probe(in, 0, 1);
    const std::vector<float> input = Ramp(3);
    const std::vector<float> out = RenderWith(&input, 3);
    EXPECT_EQ(out, input);
}

TEST_F(IoInputTest, ChannelInCopiesItsChannel) {
    const int32_t in = Unit(VEXA_UNIT_CHANNEL_IN, 1);
    Probe(in, 0, 0); /* the right input channel on both outputs */
    const std::vector<float> input = Ramp(2);
    const std::vector<float> out = RenderWith(&input, 2);
    for (int frame = 0; frame < 2 * 64; frame++) {
        ASSERT_EQ(Sample(out, 2, frame, 0), Sample(input, 2, frame, 1)) << "frame " << frame;
        ASSERT_EQ(Sample(out, 2, frame, 1), Sample(input, 2, frame, 1)) << "frame " << frame;
    }
}

/* Without an input buffer the outputs keep the values of the last block they read. */
TEST_F(IoInputTest, NoInputBufferHoldsTheLastBlock) {
    const int32_t in = Unit(VEXA_UNIT_LINE_IN, 0);
    Probe(in, 0, 1);
    const std::vector<float> input = Ramp(1);
    RenderWith(&input, 1);
    const std::vector<float> out = RenderWith(nullptr, 2);
    for (int frame = 0; frame < 2 * 64; frame++)
        for (int ch = 0; ch < 2; ch++)
            ASSERT_EQ(Sample(out, 2, frame, ch), Sample(input, 2, 56 + frame % 8, ch))
                << "frame " << frame << " channel " << ch;
}

/* A part whose channel is outside the input frame reads nothing and keeps its value (0);
 * the input buffer is exactly as large as its frames. */
TEST_F(IoInputTest, PartsOutsideTheFrameAreSkipped) {
    const int32_t straddling = Unit(VEXA_UNIT_LINE_IN, 1);
    Probe(straddling, 0, 1);
    const int32_t outside = Unit(VEXA_UNIT_CHANNEL_IN, 16);
    const int32_t probe = Unit(VEXA_UNIT_CHANNEL_OUT, 0);
    ASSERT_EQ(Vexa_ConnectUnits(ctx, outside, PORTID_OUTPUT, 0, probe, PORTID_INPUT, 0), 0);
    Start(outside);
    Start(probe);
    const std::vector<float> input = Ramp(2);
    const std::vector<float> out = RenderWith(&input, 2);
    for (int frame = 0; frame < 2 * 64; frame++) {
        ASSERT_EQ(Sample(out, 2, frame, 0), Sample(input, 2, frame, 1)) << "frame " << frame;
        ASSERT_EQ(Sample(out, 2, frame, 1), 0.0f) << "frame " << frame;
    }
}

/* ---- Buses -------------------------------------------------------------------------- */

class BusTest : public EngineTest {
  protected:
    int32_t reader = 0, writerA = 0, writerB = 0, probe = 0;

    void SetUp() override {
        EngineTest::SetUp();
        reader = Unit(VEXA_UNIT_BUS_READ);
        writerA = Unit(VEXA_UNIT_BUS_WRITE);
        writerB = Unit(VEXA_UNIT_BUS_WRITE);
        probe = Unit(VEXA_UNIT_CHANNEL_OUT, 0);
        Set(reader, PORTID_AMPLITUDE, 0.5);
        Set(writerA, PORTID_INPUT, 0.2);
        Set(writerB, PORTID_INPUT, 0.4);
        for (int32_t writer : {writerA, writerB})
            ASSERT_EQ(Vexa_ConnectUnits(ctx, writer, PORTID_BUS_OUTPUT, 0, reader,
                                        PORTID_BUS_INPUT, 0),
                      0);
        ASSERT_EQ(Vexa_ConnectUnits(ctx, reader, PORTID_OUTPUT, 0, probe, PORTID_INPUT, 0), 0);
    }

    std::vector<float> Channel0(int32_t numTicks) {
        const std::vector<float> out = Render(numTicks);
        std::vector<float> channel;
        for (size_t i = 0; i < out.size(); i += 2) channel.push_back(out[i]);
        return channel;
    }

    const float sum = (0.2f + 0.4f) * 0.5f;
};

TEST_F(BusTest, ReaderAfterWritersReadsThisBlocksSum) {
    for (int32_t unit : {writerA, writerB, reader, probe}) Start(unit);
    for (float value : Channel0(2)) ASSERT_EQ(value, sum);
}

TEST_F(BusTest, ReaderBeforeWritersReadsThePreviousBlock) {
    for (int32_t unit : {reader, writerA, writerB, probe}) Start(unit);
    const std::vector<float> out = Channel0(2);
    for (int frame = 0; frame < 8; frame++) ASSERT_EQ(out[frame], 0.0f) << "frame " << frame;
    for (int frame = 8; frame < 2 * 64; frame++) ASSERT_EQ(out[frame], sum) << "frame " << frame;
}

/* Every block's contribution is read once: the reader clears the sums, so when the writers
 * stop, the bus falls silent instead of repeating its last sum. */
TEST_F(BusTest, ReadingClearsTheSums) {
    for (int32_t unit : {writerA, writerB, reader, probe}) Start(unit);
    Channel0(1);
    ASSERT_EQ(Vexa_StopUnit(ctx, writerA), 0);
    ASSERT_EQ(Vexa_StopUnit(ctx, writerB), 0);
    for (float value : Channel0(2)) ASSERT_EQ(value, 0.0f);
}

TEST_F(BusTest, UnconnectedWriterChangesNothing) {
    ASSERT_EQ(Vexa_DisconnectUnits(ctx, writerB, PORTID_BUS_OUTPUT, 0), 0);
    for (int32_t unit : {writerA, writerB, reader, probe}) Start(unit);
    const float onlyA = 0.2f * 0.5f;
    for (float value : Channel0(2)) ASSERT_EQ(value, onlyA);
}

} // namespace
