/*
 * The filter units: the seven biquads (design, first-frame sampling of design inputs, DC
 * gains, bounds, redesign only on change), the direct-coefficient filters and the two
 * state-variable filters, each checked frame by frame against a model that runs on the very
 * signals the unit saw (recorded through extra output channels).
 */
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "velto_units.h"
#include "vx_biquad.h"
#include "vx_test_support.h"
#include "vx_internal.h"
#include "vx_unit.h"

namespace {

using vxtest::EngineTest;

constexpr double kPiF = 3.1415927410125732;
constexpr double kTwoPiF = 6.2831854820251465;

using Channels = std::vector<std::vector<float>>;

class FilterTest : public EngineTest {
  protected:
    FilterTest() { outputChannels = 8; }

    void Restart() {
        StopEngine();
        StartEngine();
    }

    /* A ChannelOut on `channel` reading output `portID` of `unit`; started by StartAll. */
    int32_t Probe(int32_t unit, uint32_t portID, int32_t channel) {
        const int32_t probe = Unit(VEXA_UNIT_CHANNEL_OUT, channel);
        EXPECT_EQ(Vexa_ConnectUnits(ctx, unit, portID, 0, probe, PORTID_INPUT, 0), 0);
        return probe;
    }

    void Connect(int32_t from, int32_t to, uint32_t toPort) {
        ASSERT_EQ(Vexa_ConnectUnits(ctx, from, PORTID_OUTPUT, 0, to, toPort, 0), 0);
    }

    /* Units start in the order given, so sources run before the units that read them. */
    void StartAll(std::initializer_list<int32_t> units) {
        for (int32_t unit : units) Start(unit);
    }

    int32_t Noise(double amplitude) {
        const int32_t unit = Unit(VEXA_UNIT_WHITE_NOISE);
        Set(unit, PORTID_AMPLITUDE, amplitude);
        return unit;
    }

    /* A band-limited sawtooth mapped to offset + scale x saw(frequency). */
    int32_t Ramp(double frequency, double scale, double offset, int32_t *saw) {
        *saw = Unit(VEXA_UNIT_SAWTOOTH_OSCILLATOR_BL);
        Set(*saw, PORTID_FREQUENCY, frequency);
        Set(*saw, PORTID_AMPLITUDE, 1.0);
        const int32_t mapped = Unit(VEXA_UNIT_MULTIPLY_ADD);
        EXPECT_EQ(Vexa_ConnectUnits(ctx, *saw, PORTID_OUTPUT, 0, mapped, PORTID_INPUT_A, 0), 0);
        Set(mapped, PORTID_INPUT_B, scale);
        Set(mapped, PORTID_INPUT_C, offset);
        return mapped;
    }

    Channels RenderChannels(int32_t ticks) {
        const std::vector<float> out = Render(ticks);
        Channels channels(outputChannels);
        for (size_t i = 0; i < out.size(); i++) channels[i % outputChannels].push_back(out[i]);
        return channels;
    }

    template <typename T> T *UnitRecord(int32_t token) {
        return reinterpret_cast<T *>(VexaF_ThingFromToken(ctx, token));
    }
};

void ExpectSameFrames(const std::vector<float> &got, const std::vector<float> &want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); i++) ASSERT_EQ(got[i], want[i]) << "frame " << i;
}

/* ---- Biquad model --------------------------------------------------------------------- */

enum class Kind { LowPass, HighPass, BandPass, BandStop, PeakingEQ, LowShelf, HighShelf };

struct Coefficients {
    float a0, a1, a2, b1, b2;
};

float AtLeastMin(float v) { return v < 1.0e-5f ? 1.0e-5f : v; }

/* The standard second-order audio-equaliser designs, with the roundings the engine makes:
 * cos w, sin w, alpha, A and beta as floats, every coefficient stored as a float. */
Coefficients Design(Kind kind, float frequency, float q, float gain, float slope, double period) {
    frequency = AtLeastMin(frequency);
    q = AtLeastMin(q);
    gain = AtLeastMin(gain);
    slope = AtLeastMin(slope);
    double ratio = static_cast<double>(frequency) * static_cast<float>(period);
    if (ratio >= 0.499f) ratio = 0.499f;
    const double w = ratio * kTwoPiF;
    const double cs = static_cast<float>(std::cos(w));
    const double sn = static_cast<float>(std::sin(w));
    const double alpha = static_cast<float>(sn / (2.0 * q));
    const double A = static_cast<float>(std::sqrt(static_cast<double>(gain)));
    const double beta2 = (gain + 1.0) / slope - (A - 1) * (A - 1);
    const double beta = beta2 >= 0 ? static_cast<float>(std::sqrt(beta2)) : 0.0f;
    const double k = sn * beta;
    double n = 0, c[5] = {};
    switch (kind) {
    case Kind::LowPass:
        n = 1 + alpha, c[0] = (1 - cs) / 2, c[1] = 1 - cs, c[2] = (1 - cs) / 2;
        c[3] = -2 * cs, c[4] = 1 - alpha;
        break;
    case Kind::HighPass:
        n = 1 + alpha, c[0] = (1 + cs) / 2, c[1] = -(1 + cs), c[2] = (1 + cs) / 2;
        c[3] = -2 * cs, c[4] = 1 - alpha;
        break;
    case Kind::BandPass:
        n = 1 + alpha, c[0] = alpha, c[1] = 0, c[2] = -alpha, c[3] = -2 * cs, c[4] = 1 - alpha;
        break;
    case Kind::BandStop:
        n = 1 + alpha, c[0] = 1, c[1] = -2 * cs, c[2] = 1, c[3] = -2 * cs, c[4] = 1 - alpha;
        break;
    case Kind::PeakingEQ:
        n = 1 + alpha / A, c[0] = 1 + alpha * A, c[1] = -2 * cs, c[2] = 1 - alpha * A;
        c[3] = -2 * cs, c[4] = 1 - alpha / A;
        break;
    case Kind::LowShelf:
        n = (A + 1) + (A - 1) * cs + k;
        c[0] = A * ((A + 1) - (A - 1) * cs + k);
        c[1] = 2 * A * ((A - 1) - (A + 1) * cs);
        c[2] = A * ((A + 1) - (A - 1) * cs - k);
        c[3] = -2 * ((A - 1) + (A + 1) * cs);
        c[4] = (A + 1) + (A - 1) * cs - k;
        break;
    case Kind::HighShelf:
        n = (A + 1) - (A - 1) * cs + k;
        c[0] = A * ((A + 1) + (A - 1) * cs + k);
        c[1] = -2 * A * ((A - 1) + (A + 1) * cs);
        c[2] = A * ((A + 1) + (A - 1) * cs - k);
        c[3] = 2 * ((A - 1) - (A + 1) * cs);
        c[4] = (A + 1) - (A - 1) * cs - k;
        break;
    }
    return {static_cast<float>(c[0] / n), static_cast<float>(c[1] / n),
            static_cast<float>(c[2] / n), static_cast<float>(c[3] / n),
            static_cast<float>(c[4] / n)};
}

/* Design inputs of one block (value 0 of each) and the filter recursion. */
struct BiquadModel {
    Kind kind;
    double period;
    float x1 = 0, x2 = 0, y1 = 0, y2 = 0;

    /* design(block) gives the design inputs {frequency, q, gain, slope} of a block. */
    std::vector<float> Run(const std::vector<float> &in, const std::vector<float> &amplitude,
                           const std::function<std::array<float, 4>(size_t)> &design) {
        std::vector<float> out(in.size());
        for (size_t block = 0; block * 8 < in.size(); block++) {
            const std::array<float, 4> d = design(block);
            const Coefficients c = Design(kind, d[0], d[1], d[2], d[3], period);
            double dx1 = x1, dx2 = x2, dy1 = y1, dy2 = y2;
            for (size_t i = block * 8; i < block * 8 + 8; i++) {
                const double x = in[i];
                const double y = c.a0 * x + c.a1 * dx1 + c.a2 * dx2 - c.b1 * dy1 - c.b2 * dy2;
                out[i] = static_cast<float>(amplitude[i] * y);
                dx2 = dx1, dx1 = x, dy2 = dy1, dy1 = y;
            }
            x1 = static_cast<float>(dx1), x2 = static_cast<float>(dx2);
            y1 = static_cast<float>(dy1 + 1.0e-26), y2 = static_cast<float>(dy2 - 1.0e-26);
        }
        return out;
    }
};

struct BiquadCase {
    Kind kind;
    uint32_t type;
    float frequency, q, gain, slope;
    bool hasQ, hasGain, hasSlope;
};

const BiquadCase kBiquads[] = {
    {Kind::LowPass, VEXA_UNIT_FILTER_LOW_PASS, 1000, 0.7f, 1, 1, true, false, false},
    {Kind::HighPass, VEXA_UNIT_FILTER_HIGH_PASS, 2000, 2, 1, 1, true, false, false},
    {Kind::BandPass, VEXA_UNIT_FILTER_BAND_PASS, 800, 5, 1, 1, true, false, false},
    {Kind::BandStop, VEXA_UNIT_FILTER_BAND_STOP, 3000, 1, 1, 1, true, false, false},
    {Kind::PeakingEQ, VEXA_UNIT_FILTER_PEAKING_EQ, 1500, 1, 4, 1, true, true, false},
    {Kind::LowShelf, VEXA_UNIT_FILTER_LOW_SHELF, 500, 1, 0.25f, 1, false, true, true},
    {Kind::HighShelf, VEXA_UNIT_FILTER_HIGH_SHELF, 4000, 1, 3, 0.5f, false, true, true},
    /* A slope too steep for the gain: negative discriminant, beta 0. */
    {Kind::LowShelf, VEXA_UNIT_FILTER_LOW_SHELF, 700, 1, 9, 4, false, true, true},
};

using BiquadTest = FilterTest;

TEST_F(BiquadTest, FrameExactWithPerFrameAmplitude) {
    /* Noise in, a sawtooth on Amplitude, so that every frame (odd ones too) is scaled by its
     * own amplitude value. Silent input too: then only the history offsets move the output. */
    for (const BiquadCase &c : kBiquads)
        for (double level : {0.8, 0.0}) {
            SCOPED_TRACE(testing::Message()
                         << "type 0x" << std::hex << c.type << " level " << level);
            Restart();
            const int32_t noise = Noise(level);
            const int32_t amplitude = Unit(VEXA_UNIT_SAWTOOTH_OSCILLATOR_BL);
            Set(amplitude, PORTID_FREQUENCY, 3000.0);
            const int32_t filter = Unit(c.type);
            Set(filter, PORTID_FREQUENCY, c.frequency);
            if (c.hasQ) Set(filter, PORTID_Q, c.q);
            if (c.hasGain) Set(filter, PORTID_GAIN, c.gain);
            if (c.hasSlope) Set(filter, PORTID_SLOPE, c.slope);
            Connect(noise, filter, PORTID_INPUT);
            Connect(amplitude, filter, PORTID_AMPLITUDE);
            StartAll({noise, amplitude, filter, Probe(filter, PORTID_OUTPUT, 0),
                      Probe(noise, PORTID_OUTPUT, 1), Probe(amplitude, PORTID_OUTPUT, 2)});
            const Channels ch = RenderChannels(8);

            BiquadModel model{c.kind, ctx->vxb_FramePeriod};
            const float q = c.hasQ ? c.q : 1, gain = c.hasGain ? c.gain : 1;
            const float slope = c.hasSlope ? c.slope : 1;
            ExpectSameFrames(ch[0], model.Run(ch[1], ch[2], [&](size_t) {
                return std::array<float, 4>{c.frequency, q, gain, slope};
            }));
            const BiquadUnit *record = UnitRecord<BiquadUnit>(filter);
            EXPECT_EQ(record->y1, model.y1);
            EXPECT_EQ(record->y2, model.y2);
        }
}

TEST_F(BiquadTest, DesignInputsAreSampledAtTheFirstFrameOfEachBlock) {
    struct Case {
        Kind kind;
        uint32_t type;
        uint32_t port;
        double scale, offset; /* the modulating signal: offset + scale x saw */
        float gain;           /* a shelf at gain 1 passes everything whatever its slope */
    };
    const Case cases[] = {
        {Kind::LowPass, VEXA_UNIT_FILTER_LOW_PASS, PORTID_FREQUENCY, 1500, 2000, 1},
        {Kind::BandPass, VEXA_UNIT_FILTER_BAND_PASS, PORTID_Q, 3, 3.5, 1},
        {Kind::LowShelf, VEXA_UNIT_FILTER_LOW_SHELF, PORTID_GAIN, 1.5, 2, 1},
        {Kind::HighShelf, VEXA_UNIT_FILTER_HIGH_SHELF, PORTID_SLOPE, 0.4, 0.6, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "type 0x" << std::hex << c.type);
        Restart();
        const int32_t noise = Noise(0.8);
        int32_t saw = 0;
        const int32_t modulator = Ramp(1100.0, c.scale, c.offset, &saw);
        const int32_t filter = Unit(c.type);
        Set(filter, PORTID_FREQUENCY, 900.0);
        if (c.port != PORTID_GAIN && c.kind != Kind::LowPass && c.kind != Kind::BandPass)
            Set(filter, PORTID_GAIN, c.gain);
        Connect(noise, filter, PORTID_INPUT);
        Connect(modulator, filter, c.port);
        StartAll({noise, saw, modulator, filter, Probe(filter, PORTID_OUTPUT, 0),
                  Probe(noise, PORTID_OUTPUT, 1), Probe(modulator, PORTID_OUTPUT, 2)});
        const Channels ch = RenderChannels(8);

        const std::vector<float> ones(ch[1].size(), 1.0f);
        auto design = [&](size_t frame) {
            std::array<float, 4> d{900, 1, c.gain, 1};
            const float v = ch[2][frame];
            if (c.port == PORTID_FREQUENCY) d[0] = v;
            if (c.port == PORTID_Q) d[1] = v;
            if (c.port == PORTID_GAIN) d[2] = v;
            if (c.port == PORTID_SLOPE) d[3] = v;
            return d;
        };
        BiquadModel model{c.kind, ctx->vxb_FramePeriod};
        ExpectSameFrames(ch[0], model.Run(ch[1], ones, [&](size_t b) { return design(b * 8); }));
        /* Designing from another frame of the block would have given other output. */
        BiquadModel late{c.kind, ctx->vxb_FramePeriod};
        EXPECT_NE(ch[0], late.Run(ch[1], ones, [&](size_t b) { return design(b * 8 + 7); }));
    }
}

TEST_F(BiquadTest, DcGains) {
    struct Case {
        uint32_t type;
        double gain;
        double expected;
    };
    /* Defaults: 400 Hz, Q 1, slope 1; Gain where the type has it. */
    const Case cases[] = {
        {VEXA_UNIT_FILTER_LOW_PASS, 1, 1.0},   {VEXA_UNIT_FILTER_HIGH_PASS, 1, 0.0},
        {VEXA_UNIT_FILTER_BAND_PASS, 1, 0.0},  {VEXA_UNIT_FILTER_BAND_STOP, 1, 1.0},
        {VEXA_UNIT_FILTER_PEAKING_EQ, 4, 1.0}, {VEXA_UNIT_FILTER_LOW_SHELF, 4, 4.0},
        {VEXA_UNIT_FILTER_HIGH_SHELF, 4, 1.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "type 0x" << std::hex << c.type);
        Restart();
        const int32_t filter = Unit(c.type);
        Set(filter, PORTID_INPUT, 1.0);
        if (c.type == VEXA_UNIT_FILTER_PEAKING_EQ || c.type == VEXA_UNIT_FILTER_LOW_SHELF ||
            c.type == VEXA_UNIT_FILTER_HIGH_SHELF)
            Set(filter, PORTID_GAIN, c.gain);
        StartAll({filter, Probe(filter, PORTID_OUTPUT, 0)});
        const Channels ch = RenderChannels(60);
        EXPECT_NEAR(ch[0].back(), c.expected, 1e-4);
    }
}

TEST_F(BiquadTest, DesignInputsAreBounded) {
    /* Above 0.499 of the frame rate the design stays at 0.499; frequency, Q, gain and slope
     * below 1e-5 design at 1e-5. Each case runs beside a twin set to the bound itself. */
    struct Case {
        uint32_t type;
        uint32_t port;
        double value, twin;
    };
    const Case cases[] = {
        {VEXA_UNIT_FILTER_LOW_PASS, PORTID_FREQUENCY, 30000, 25000},
        {VEXA_UNIT_FILTER_LOW_PASS, PORTID_FREQUENCY, 0, 1e-5},
        {VEXA_UNIT_FILTER_HIGH_PASS, PORTID_FREQUENCY, -200, 1e-5},
        {VEXA_UNIT_FILTER_BAND_PASS, PORTID_Q, 0, 1e-5},
        {VEXA_UNIT_FILTER_PEAKING_EQ, PORTID_GAIN, -3, 1e-5},
        {VEXA_UNIT_FILTER_LOW_SHELF, PORTID_SLOPE, 0, 1e-5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "value " << c.value);
        Restart();
        const int32_t noise = Noise(0.5);
        const int32_t a = Unit(c.type);
        const int32_t b = Unit(c.type);
        Set(a, c.port, c.value);
        Set(b, c.port, c.twin);
        Connect(noise, a, PORTID_INPUT);
        Connect(noise, b, PORTID_INPUT);
        StartAll({noise, a, b, Probe(a, PORTID_OUTPUT, 0), Probe(b, PORTID_OUTPUT, 1)});
        const Channels ch = RenderChannels(4);
        ExpectSameFrames(ch[0], ch[1]);
        const BiquadUnit *record = UnitRecord<BiquadUnit>(a);
        if (c.value > 1) {
            /* The ratio is limited to the float 0.499 itself. */
            const Coefficients want = Design(Kind::LowPass, 30000, 1, 1, 1, ctx->vxb_FramePeriod);
            EXPECT_EQ(record->a0, want.a0);
            EXPECT_EQ(record->b1, want.b1);
        } else {
            const float stored[] = {record->designFrequency, record->designQ, record->designGain,
                                    record->designSlope};
            const int index = c.port == PORTID_FREQUENCY ? 0
                              : c.port == PORTID_Q       ? 1
                              : c.port == PORTID_GAIN    ? 2
                                                         : 3;
            EXPECT_EQ(stored[index], 1.0e-5f);
        }
    }
}

TEST_F(BiquadTest, RedesignsOnlyWhenADesignInputChanges) {
    const int32_t filter = Unit(VEXA_UNIT_FILTER_LOW_PASS);
    Start(filter);
    Render(1);
    BiquadUnit *record = UnitRecord<BiquadUnit>(filter);
    const Coefficients q1 = Design(Kind::LowPass, 400, 1, 1, 1, ctx->vxb_FramePeriod);
    EXPECT_EQ(record->a0, q1.a0);

    /* Mark the coefficient: an unchanged Q must leave it alone. */
    record->a0 = 123.0f;
    Set(filter, PORTID_Q, 1.0);
    Render(2);
    EXPECT_EQ(record->a0, 123.0f);

    Set(filter, PORTID_Q, 2.0);
    Render(1);
    const Coefficients q2 = Design(Kind::LowPass, 400, 2, 1, 1, ctx->vxb_FramePeriod);
    EXPECT_EQ(record->a0, q2.a0);
    EXPECT_EQ(record->b2, q2.b2);
    EXPECT_EQ(record->designQ, 2.0f);
}

TEST_F(BiquadTest, CoefficientsExistBeforeTheFirstBlock) {
    /* The init function designs from the defaults: 400 Hz, Q 1, gain 1, slope 1. */
    for (const BiquadCase &c : kBiquads) {
        SCOPED_TRACE(testing::Message() << "type 0x" << std::hex << c.type);
        const BiquadUnit *record = UnitRecord<BiquadUnit>(Unit(c.type));
        const Coefficients want = Design(c.kind, 400, 1, 1, 1, ctx->vxb_FramePeriod);
        EXPECT_EQ(record->a0, want.a0);
        EXPECT_EQ(record->a1, want.a1);
        EXPECT_EQ(record->a2, want.a2);
        EXPECT_EQ(record->b1, want.b1);
        EXPECT_EQ(record->b2, want.b2);
        EXPECT_EQ(record->designFrequency, 400.0f);
    }
}

TEST_F(BiquadTest, PeakingEQAtUnityGainPassesItsInput) {
    const int32_t noise = Noise(0.9);
    const int32_t filter = Unit(VEXA_UNIT_FILTER_PEAKING_EQ);
    Set(filter, PORTID_FREQUENCY, 2500.0);
    Set(filter, PORTID_Q, 3.0);
    Connect(noise, filter, PORTID_INPUT);
    StartAll({noise, filter, Probe(filter, PORTID_OUTPUT, 0), Probe(noise, PORTID_OUTPUT, 1)});
    const Channels ch = RenderChannels(4);
    const BiquadUnit *record = UnitRecord<BiquadUnit>(filter);
    EXPECT_EQ(record->a0, 1.0f);
    EXPECT_EQ(record->a1, record->b1);
    EXPECT_EQ(record->a2, record->b2);
    for (size_t i = 0; i < ch[0].size(); i++) ASSERT_NEAR(ch[0][i], ch[1][i], 1e-6) << i;
}

/* ---- Direct-coefficient filters -------------------------------------------------------------- */

using DirectFilterTest = FilterTest;

TEST_F(DirectFilterTest, FrameExact) {
    /* in: the input frames; k: a per-frame coefficient signal (channel 2). */
    using Model = std::function<std::vector<float>(const std::vector<float> &in,
                                                   const std::vector<float> &k)>;
    struct Case {
        const char *name;
        uint32_t type;
        std::vector<std::pair<uint32_t, double>> settings;
        uint32_t signalPort; /* 0: none */
        Model model;
    };
    const Case cases[] = {
        {"1o1p, A0 per frame",
         VEXA_UNIT_FILTER1O1P,
         {{PORTID_B1, -0.6}},
         PORTID_A0,
         [](const std::vector<float> &in, const std::vector<float> &k) {
             std::vector<float> out(in.size());
             const double b1 = -0.6f;
             double y1 = 0;
             for (size_t i = 0; i < in.size(); i++) {
                 const double y = static_cast<double>(k[i]) * in[i] - b1 * y1;
                 out[i] = static_cast<float>(y);
                 y1 = y;
                 if (i % 8 == 7) y1 = static_cast<float>(y1 + 1.0e-26);
             }
             return out;
         }},
        {"1o1z, A1 per frame",
         VEXA_UNIT_FILTER1O1Z,
         {{PORTID_A0, 0.5}},
         PORTID_A1,
         [](const std::vector<float> &in, const std::vector<float> &k) {
             std::vector<float> out(in.size());
             float x1 = 0;
             for (size_t i = 0; i < in.size(); i++) {
                 out[i] = static_cast<float>(0.5 * in[i] + static_cast<double>(k[i]) * x1);
                 x1 = in[i];
             }
             return out;
         }},
        {"1o1p1z",
         VEXA_UNIT_FILTER1O1P1Z,
         {{PORTID_A0, 0.4}, {PORTID_A1, 0.3}, {PORTID_B1, -0.5}},
         0,
         [](const std::vector<float> &in, const std::vector<float> &) {
             std::vector<float> out(in.size());
             const double a0 = 0.4f, a1 = 0.3f, b1 = -0.5f;
             double x1 = 0, y1 = 0;
             for (size_t i = 0; i < in.size(); i++) {
                 const double y = a0 * in[i] + a1 * x1 - b1 * y1;
                 out[i] = static_cast<float>(y);
                 x1 = in[i], y1 = y;
                 if (i % 8 == 7) {
                     x1 = static_cast<float>(x1 + 1.0e-26);
                     y1 = static_cast<float>(y1 + 1.0e-26);
                 }
             }
             return out;
         }},
        {"2o2p",
         VEXA_UNIT_FILTER2O2P,
         {{PORTID_A0, 0.1}, {PORTID_B1, -1.6}, {PORTID_B2, 0.8}},
         0,
         [](const std::vector<float> &in, const std::vector<float> &) {
             std::vector<float> out(in.size());
             const double a0 = 0.1f, b1 = -1.6f, b2 = 0.8f;
             double y1 = 0, y2 = 0;
             for (size_t i = 0; i < in.size(); i++) {
                 const double y = a0 * in[i] - b1 * y1 - b2 * y2;
                 out[i] = static_cast<float>(y);
                 y2 = y1, y1 = y;
                 if (i % 8 == 7) {
                     y1 = static_cast<float>(y1 + 1.0e-26);
                     y2 = static_cast<float>(y2 - 1.0e-26);
                 }
             }
             return out;
         }},
        /* Half coefficients: actual a = 0.1, 0.2, 0.1 and b = -1.6, 0.8. */
        {"2o2p2z",
         VEXA_UNIT_FILTER2O2P2Z,
         {{PORTID_A0, 0.05},
          {PORTID_A1, 0.1},
          {PORTID_A2, 0.05},
          {PORTID_B1, -0.8},
          {PORTID_B2, 0.4}},
         0,
         [](const std::vector<float> &in, const std::vector<float> &) {
             std::vector<float> out(in.size());
             const double a0 = 0.05f, a1 = 0.1f, a2 = 0.05f, b1 = -0.8f, b2 = 0.4f;
             double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
             for (size_t i = 0; i < in.size(); i++) {
                 const double x = in[i];
                 const double y = 2.0 * (a0 * x + a1 * x1 + a2 * x2 - b1 * y1 - b2 * y2);
                 out[i] = static_cast<float>(y);
                 x2 = x1, x1 = x, y2 = y1, y1 = y;
                 if (i % 8 == 7) {
                     x1 = static_cast<float>(x1), x2 = static_cast<float>(x2);
                     y1 = static_cast<float>(y1 + 1.0e-26);
                     y2 = static_cast<float>(y2 - 1.0e-26);
                 }
             }
             return out;
         }},
    };
    for (const Case &c : cases)
        for (double level : {0.7, 0.0}) { /* silent input: only the history offsets act */
            SCOPED_TRACE(testing::Message() << c.name << " level " << level);
            Restart();
            const int32_t noise = Noise(level);
            int32_t saw = 0;
            const int32_t signal = Ramp(2300.0, 0.3, 0.5, &saw);
            const int32_t filter = Unit(c.type);
            for (const auto &[port, value] : c.settings) Set(filter, port, value);
            Connect(noise, filter, PORTID_INPUT);
            if (c.signalPort != 0) Connect(signal, filter, c.signalPort);
            StartAll({noise, saw, signal, filter, Probe(filter, PORTID_OUTPUT, 0),
                      Probe(noise, PORTID_OUTPUT, 1), Probe(signal, PORTID_OUTPUT, 2)});
            const Channels ch = RenderChannels(8);
            ExpectSameFrames(ch[0], c.model(ch[1], ch[2]));
        }
}

TEST_F(DirectFilterTest, Filter2o2p2zWithHalfOfUnityPassesItsInput) {
    const int32_t noise = Noise(0.9);
    const int32_t filter = Unit(VEXA_UNIT_FILTER2O2P2Z);
    Set(filter, PORTID_A0, 0.5);
    Connect(noise, filter, PORTID_INPUT);
    StartAll({noise, filter, Probe(filter, PORTID_OUTPUT, 0), Probe(noise, PORTID_OUTPUT, 1)});
    const Channels ch = RenderChannels(4);
    ExpectSameFrames(ch[0], ch[1]);
}

TEST_F(DirectFilterTest, Filter2o2p2zCoefficientsAreClippedSignedValues) {
    const int32_t filter = Unit(VEXA_UNIT_FILTER2O2P2Z);
    Set(filter, PORTID_B1, -1.9);
    Set(filter, PORTID_A0, 3.0);
    Render(1);
    EXPECT_EQ(Get(filter, PORTID_B1), -1.0);
    EXPECT_EQ(Get(filter, PORTID_A0), 1.0);
}

/* ---- Silence after a signal: no denormal numbers ------------------------------------------ */

TEST_F(FilterTest, SilenceNeverDecaysIntoDenormals) {
    struct Case {
        uint32_t type;
        std::vector<std::pair<uint32_t, double>> settings;
    };
    const Case cases[] = {
        {VEXA_UNIT_FILTER_LOW_PASS, {}},
        {VEXA_UNIT_FILTER_HIGH_PASS, {}},
        {VEXA_UNIT_FILTER_BAND_PASS, {{PORTID_Q, 4}}},
        {VEXA_UNIT_FILTER_LOW_SHELF, {{PORTID_GAIN, 3}}},
        {VEXA_UNIT_FILTER1O1P, {}},
        {VEXA_UNIT_FILTER1O1P1Z, {{PORTID_A0, 0.5}, {PORTID_A1, 0.2}, {PORTID_B1, -0.7}}},
        {VEXA_UNIT_FILTER2O2P, {{PORTID_A0, 0.1}, {PORTID_B1, -1.6}, {PORTID_B2, 0.8}}},
        {VEXA_UNIT_FILTER2O2P2Z, {{PORTID_A0, 0.05}, {PORTID_B1, -0.8}, {PORTID_B2, 0.4}}},
        {VEXA_UNIT_FILTER_SVF, {{PORTID_FREQUENCY, 300}}},
        {VEXA_UNIT_FILTER_OLD_SVF, {{PORTID_FREQUENCY, 300}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "type 0x" << std::hex << c.type);
        Restart();
        const int32_t filter = Unit(c.type);
        for (const auto &[port, value] : c.settings) Set(filter, port, value);
        Set(filter, PORTID_INPUT, 0.9);
        const uint32_t out = (c.type == VEXA_UNIT_FILTER_SVF || c.type == VEXA_UNIT_FILTER_OLD_SVF)
                                 ? PORTID_BAND_PASS
                                 : PORTID_OUTPUT;
        StartAll({filter, Probe(filter, out, 0)});
        Render(2);
        Set(filter, PORTID_INPUT, 0.0);
        const Channels ch = RenderChannels(400); /* 25600 frames of silence */
        for (size_t i = 0; i < ch[0].size(); i++) {
            ASSERT_NE(std::fpclassify(ch[0][i]), FP_SUBNORMAL) << "frame " << i;
        }
        EXPECT_NE(ch[0].back(), 0.0f); /* the offset keeps a tiny normal value alive */
        if (c.type == VEXA_UNIT_FILTER_LOW_PASS) {
            const BiquadUnit *record = UnitRecord<BiquadUnit>(filter);
            EXPECT_EQ(std::fpclassify(record->y1), FP_NORMAL);
            EXPECT_EQ(std::fpclassify(record->y2), FP_NORMAL);
        }
    }
}

/* ---- State-variable filters ------------------------------------------------------------------ */

struct SvfModel {
    double low = 0, band = 0;
    float lastFrequency = 0, f = 0;
    /* in, f per frame (already the coefficient), resonance, amplitude; outputs low, band,
     * high, out. */
    void Block(const float *in, const double *f, const float *res, const float *amp, float *lp,
               float *bp, float *hp, float *out) {
        for (int i = 0; i < 8; i++) {
            low = low + f[i] * band;
            low = low < -1 ? -1 : (low > 1 ? 1 : low);
            lp[i] = static_cast<float>(low);
            out[i] = static_cast<float>(low * amp[i]);
            const double high = in[i] - res[i] * band - low;
            hp[i] = static_cast<float>(high);
            band = band + f[i] * high;
            bp[i] = static_cast<float>(band);
        }
        low = static_cast<float>(low + 1.0e-26);
        band = static_cast<float>(band - 1.0e-26);
    }
};

using SvfTest = FilterTest;

TEST_F(SvfTest, FrameExactForBothForms) {
    /* FilterSVF takes its frequency (Hz) at the first frame of each block; FilterOldSVF takes
     * a coefficient signal per frame. Resonance and Amplitude are signals as well. */
    for (uint32_t type : {VEXA_UNIT_FILTER_SVF, VEXA_UNIT_FILTER_OLD_SVF})
        for (double level : {0.9, 0.0}) { /* silent input: only the state offsets act */
            SCOPED_TRACE(testing::Message() << "type 0x" << std::hex << type << " level " << level);
            Restart();
            const int32_t noise = Noise(level);
            int32_t saw1 = 0, saw2 = 0;
            const int32_t frequency = type == VEXA_UNIT_FILTER_SVF ? Ramp(700.0, 1500, 2000, &saw1)
                                                                   : Ramp(700.0, 0.1, 0.35, &saw1);
            const int32_t resonance = Ramp(90.0, 0.1, 0.2, &saw2);
            const int32_t amplitude = Unit(VEXA_UNIT_SAWTOOTH_OSCILLATOR_BL);
            Set(amplitude, PORTID_FREQUENCY, 1300.0);
            const int32_t filter = Unit(type);
            Connect(noise, filter, PORTID_INPUT);
            Connect(frequency, filter, PORTID_FREQUENCY);
            Connect(resonance, filter, PORTID_RESONANCE);
            Connect(amplitude, filter, PORTID_AMPLITUDE);
            StartAll({noise, saw1, frequency, saw2, resonance, amplitude, filter,
                      Probe(filter, PORTID_LOW_PASS, 0), Probe(filter, PORTID_BAND_PASS, 1),
                      Probe(filter, PORTID_HIGH_PASS, 2), Probe(filter, PORTID_OUTPUT, 3),
                      Probe(noise, PORTID_OUTPUT, 4), Probe(frequency, PORTID_OUTPUT, 5),
                      Probe(resonance, PORTID_OUTPUT, 6), Probe(amplitude, PORTID_OUTPUT, 7)});
            const Channels ch = RenderChannels(8);

            SvfModel model;
            Channels want(4, std::vector<float>(ch[0].size()));
            for (size_t b = 0; b * 8 < ch[0].size(); b++) {
                const size_t s = b * 8;
                double f[8];
                if (type == VEXA_UNIT_FILTER_SVF) {
                    const float F = ch[5][s];
                    if (F != model.lastFrequency) {
                        model.lastFrequency = F;
                        model.f =
                            static_cast<float>(2.0 * std::sin(F * kPiF * ctx->vxb_FramePeriod));
                    }
                    for (double &v : f) v = model.f;
                } else {
                    for (int i = 0; i < 8; i++) f[i] = ch[5][s + i];
                }
                model.Block(&ch[4][s], f, &ch[6][s], &ch[7][s], &want[0][s], &want[1][s],
                            &want[2][s], &want[3][s]);
            }
            for (int k = 0; k < 4; k++) {
                SCOPED_TRACE(k);
                ExpectSameFrames(ch[k], want[k]);
            }
        }
}

TEST_F(SvfTest, LowPassStateIsLimited) {
    /* A full-scale square: with Resonance 0.2 the low-pass output stays within [-1, +1];
     * undamped at its own resonance the state is held at the limits. */
    struct Case {
        double resonance, squareFrequency;
        bool expectLimit;
    };
    for (const Case &c : {Case{0.2, 100, false}, Case{0.0, 2000, true}}) {
        SCOPED_TRACE(c.resonance);
        Restart();
        const int32_t square = Unit(VEXA_UNIT_SQUARE_OSCILLATOR_BL);
        Set(square, PORTID_FREQUENCY, c.squareFrequency);
        Set(square, PORTID_AMPLITUDE, 1.0);
        const int32_t filter = Unit(VEXA_UNIT_FILTER_SVF);
        Set(filter, PORTID_FREQUENCY, 2000.0);
        Set(filter, PORTID_RESONANCE, c.resonance);
        Connect(square, filter, PORTID_INPUT);
        StartAll({square, filter, Probe(filter, PORTID_LOW_PASS, 0)});
        const Channels ch = RenderChannels(40);
        int atLimit = 0;
        for (float v : ch[0]) {
            ASSERT_LE(std::fabs(v), 1.0f);
            if (std::fabs(v) == 1.0f) atLimit++;
        }
        if (c.expectLimit) {
            EXPECT_GT(atLimit, 0);
        }
    }
}

TEST_F(SvfTest, ZeroFrequencyLeavesTheIntegratorsIdle) {
    const int32_t filter = Unit(VEXA_UNIT_FILTER_SVF);
    Set(filter, PORTID_FREQUENCY, 0.0);
    Set(filter, PORTID_INPUT, 0.5);
    StartAll({filter, Probe(filter, PORTID_LOW_PASS, 0), Probe(filter, PORTID_HIGH_PASS, 1)});
    const Channels ch = RenderChannels(4);
    for (size_t i = 0; i < ch[0].size(); i++) {
        ASSERT_LT(std::fabs(ch[0][i]), 1e-20f) << i;
        ASSERT_NEAR(ch[1][i], 0.5f, 1e-6f) << i;
    }
}

TEST_F(SvfTest, OldFormWithAFrequencySetInHertzMatchesTheNewForm) {
    /* The old form's Frequency converts hertz to the coefficient when it is set. */
    const int32_t noise = Noise(0.9);
    const int32_t svf = Unit(VEXA_UNIT_FILTER_SVF);
    const int32_t old = Unit(VEXA_UNIT_FILTER_OLD_SVF);
    Set(svf, PORTID_FREQUENCY, 1000.0);
    Set(old, PORTID_FREQUENCY, 1000.0);
    Connect(noise, svf, PORTID_INPUT);
    Connect(noise, old, PORTID_INPUT);
    StartAll({noise, svf, old, Probe(svf, PORTID_BAND_PASS, 0), Probe(old, PORTID_BAND_PASS, 1)});
    const Channels ch = RenderChannels(8);
    for (size_t i = 0; i < ch[0].size(); i++) ASSERT_NEAR(ch[0][i], ch[1][i], 1e-5) << i;
}

} // namespace
