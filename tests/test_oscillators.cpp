/*
 * The six simple oscillators: descriptors, the shared phase accumulator (increment limit,
 * wraps in both directions, phase stored as float at the end of each block) and each output
 * shape, checked frame by frame against a plain computation from the recorded inputs.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "velto_units.h"
#include "vx_test_support.h"
#include "vx_unit.h"

namespace {

constexpr float kAmplitudeDefault = 0.999969482421875f; /* 32767/32768 */

using Signals = std::vector<std::vector<float>>;

float F(double x) { return static_cast<float>(x); }

/* ---- A plain computation of the oscillators ------------------------------------------ */

/* 2 / 44100 as the engine keeps it: a float. */
const double kFreqScale = static_cast<float>(2.0 / 44100.0);

/* The phase after each frame, from a starting phase and the frequency of every frame; the
 * phase is held in double within a block and stored as float at the end of it. */
struct PhaseTrack {
    std::vector<double> phase;
    std::vector<bool> wrapped;
    float stored = 0.0f; /* the phase as stored after the last block */
};

PhaseTrack TrackPhase(double start, const std::vector<float> &frequency) {
    PhaseTrack track;
    double p = start;
    for (size_t n = 0; n < frequency.size(); n++) {
        double increment = frequency[n] * kFreqScale;
        increment = std::fmax(-1.0, std::fmin(1.0, increment));
        p += increment;
        bool wrapped = true;
        if (p >= 1.0) {
            p -= 2.0;
        } else if (p < -1.0) {
            p += 2.0;
        } else {
            wrapped = false;
        }
        track.phase.push_back(p);
        track.wrapped.push_back(wrapped);
        if (n % 8 == 7) p = F(p); /* the end of a block stores the phase as float */
    }
    track.stored = F(p);
    return track;
}

double PolySinePi(double p) {
    double x = p;
    if (p > 0.5) {
        x = 1.0 - p;
    } else if (p < -0.5) {
        x = -1.0 - p;
    }
    const double y = x * static_cast<double>(3.1415927410125732f);
    const double z = y * y;
    const double k3 = 0.16666666666666666, k5 = 0.008333333333333333,
                 k7 = 0.0001984126984126984, k9 = 2.7557319223985893e-06,
                 k11 = -2.505210838544172e-08;
    return y * (((((z * k11 + k9) * z - k7) * z + k5) * z - k3) * z + 1.0);
}

/* Output of frame n of each type, from its phase, wrap, amplitude and width. */
float Shape(uint32_t type, double p, bool wrapped, float a, float width) {
    switch (type) {
    case VEXA_UNIT_SAWTOOTH_OSCILLATOR: return F(p * a);
    case VEXA_UNIT_SQUARE_OSCILLATOR: return p >= 0.0 ? a : -a;
    case VEXA_UNIT_PULSE_OSCILLATOR: return p >= width ? a : -a;
    case VEXA_UNIT_TRIANGLE_OSCILLATOR:
        return p < 0.0 ? F(2.0 * (p + 0.5) * a) : F(2.0 * (0.5 - p) * a);
    case VEXA_UNIT_IMPULSE_OSCILLATOR: return wrapped ? a : 0.0f;
    case VEXA_UNIT_SINE_OSCILLATOR: return F(PolySinePi(p) * a);
    }
    ADD_FAILURE() << "unknown type";
    return 0.0f;
}

struct OscType {
    const char *name;
    uint32_t type;
};

const OscType kTypes[] = {
    {"Sine", VEXA_UNIT_SINE_OSCILLATOR},     {"Sawtooth", VEXA_UNIT_SAWTOOTH_OSCILLATOR},
    {"Square", VEXA_UNIT_SQUARE_OSCILLATOR}, {"Triangle", VEXA_UNIT_TRIANGLE_OSCILLATOR},
    {"Pulse", VEXA_UNIT_PULSE_OSCILLATOR},   {"Impulse", VEXA_UNIT_IMPULSE_OSCILLATOR}};

class OscillatorTest : public vxtest::EngineTest {
  protected:
    OscillatorTest() { outputChannels = 8; }

    struct Tap {
        int32_t unit;
        uint32_t port;
    };

    /* Starts `sources` (first), then `units`, then one probe per tap (last), renders and
     * returns one signal per tap. */
    Signals Run(const std::vector<int32_t> &sources, const std::vector<int32_t> &units,
                const std::vector<Tap> &taps, int32_t numTicks) {
        for (int32_t source : sources) {
            EXPECT_EQ(Vexa_SetPriority(ctx, source, 2), 0);
            Start(source);
        }
        for (int32_t unit : units) Start(unit);
        for (size_t i = 0; i < taps.size(); i++) {
            int32_t probe = Unit(VEXA_UNIT_CHANNEL_OUT, static_cast<int32_t>(i));
            EXPECT_EQ(
                Vexa_ConnectUnits(ctx, taps[i].unit, taps[i].port, 0, probe, VEXA_PORT_INPUT, 0),
                0);
            EXPECT_EQ(Vexa_SetPriority(ctx, probe, 0), 0);
            Start(probe);
        }
        return RenderChannels(numTicks, taps.size());
    }

    Signals RenderChannels(int32_t numTicks, size_t count) {
        std::vector<float> out = Render(numTicks);
        Signals result(count);
        for (size_t frame = 0; frame < out.size() / outputChannels; frame++) {
            for (size_t i = 0; i < count; i++) {
                result[i].push_back(out[frame * outputChannels + i]);
            }
        }
        return result;
    }

    int32_t Osc(uint32_t type, double frequency, double amplitude, double phase) {
        int32_t osc = Unit(type);
        Set(osc, VEXA_PORT_FREQUENCY, frequency);
        Set(osc, VEXA_PORT_AMPLITUDE, amplitude);
        Set(osc, VEXA_PORT_PHASE, phase);
        return osc;
    }

    void Restart() {
        StopEngine();
        StartEngine();
    }
};

/* ---- Descriptors -------------------------------------------------------------------- */

TEST_F(OscillatorTest, DescriptorsGiveSignalTypesAndCreationDefaults) {
    for (const OscType &t : kTypes) {
        SCOPED_TRACE(t.name);
        int32_t osc = Unit(t.type);
        const int32_t frequencyType =
            t.type == VEXA_UNIT_IMPULSE_OSCILLATOR ? VEXA_SIGNAL_RAW : VEXA_SIGNAL_FREQUENCY;
        EXPECT_EQ(Vexa_GetPortSignalType(ctx, osc, VEXA_PORT_FREQUENCY, 0), frequencyType);
        EXPECT_EQ(Vexa_GetPortSignalType(ctx, osc, VEXA_PORT_AMPLITUDE, 0), VEXA_SIGNAL_RAW);
        EXPECT_EQ(Vexa_GetPortSignalType(ctx, osc, VEXA_PORT_PHASE, 0), VEXA_SIGNAL_SIGNED);
        EXPECT_EQ(Vexa_GetPortSignalType(ctx, osc, VEXA_PORT_OUTPUT, 0), VXERR_INVALID_PORT_TYPE);
        EXPECT_EQ(Get(osc, VEXA_PORT_FREQUENCY), 440.0);
        EXPECT_EQ(Get(osc, VEXA_PORT_AMPLITUDE), static_cast<double>(kAmplitudeDefault));
        EXPECT_EQ(Get(osc, VEXA_PORT_PHASE), t.type == VEXA_UNIT_TRIANGLE_OSCILLATOR ? -0.5 : 0.0);
        EXPECT_EQ(Get(osc, VEXA_PORT_OUTPUT), 0.0);
        for (uint32_t port :
             {VEXA_PORT_FREQUENCY, VEXA_PORT_AMPLITUDE, VEXA_PORT_PHASE, VEXA_PORT_OUTPUT}) {
            EXPECT_EQ(Vexa_GetNumParts(ctx, osc, port), 1);
        }
        /* The phase is a variable: it cannot be connected to. */
        int32_t other = Unit(VEXA_UNIT_SAWTOOTH_OSCILLATOR);
        EXPECT_EQ(Vexa_ConnectUnits(ctx, other, VEXA_PORT_OUTPUT, 0, osc, VEXA_PORT_PHASE, 0),
                  VXERR_INVALID_PORT_TYPE);
        if (t.type == VEXA_UNIT_PULSE_OSCILLATOR) {
            EXPECT_EQ(Vexa_GetPortSignalType(ctx, osc, VEXA_PORT_WIDTH, 0), VEXA_SIGNAL_SIGNED);
            EXPECT_EQ(Get(osc, VEXA_PORT_WIDTH), 0.0);
        } else {
            EXPECT_EQ(Vexa_GetNumParts(ctx, osc, VEXA_PORT_WIDTH), VXERR_NOT_FOUND);
        }
    }
}

/* ---- Every shape against the plain computation, with audio-rate inputs ---------------- */

/* The frequency sweeps from 0 up past the Nyquist limit (30000 Hz) and wraps to -30000 Hz,
 * so one recording holds ordinary cycles, limited increments and a phase running down;
 * amplitude and width change every frame as well. */
TEST_F(OscillatorTest, EveryShapeMatchesAPlainComputationFrameByFrame) {
    constexpr int32_t kTicks = 8;
    for (const OscType &t : kTypes) {
        SCOPED_TRACE(t.name);
        Restart();
        const float start = 0.25f;
        int32_t osc = Osc(t.type, 0.0, 0.0, start);
        int32_t frequency = Osc(VEXA_UNIT_SAWTOOTH_OSCILLATOR, 50.0, 30000.0, 0.0);
        int32_t amplitude = Osc(VEXA_UNIT_SAWTOOTH_OSCILLATOR, 333.3, 1.5, 0.0);
        int32_t width = Osc(VEXA_UNIT_SAWTOOTH_OSCILLATOR, 123.4, 0.9, 0.0);
        ASSERT_EQ(
            Vexa_ConnectUnits(ctx, frequency, VEXA_PORT_OUTPUT, 0, osc, VEXA_PORT_FREQUENCY, 0), 0);
        ASSERT_EQ(
            Vexa_ConnectUnits(ctx, amplitude, VEXA_PORT_OUTPUT, 0, osc, VEXA_PORT_AMPLITUDE, 0), 0);
        const bool pulse = t.type == VEXA_UNIT_PULSE_OSCILLATOR;
        if (pulse) {
            ASSERT_EQ(Vexa_ConnectUnits(ctx, width, VEXA_PORT_OUTPUT, 0, osc, VEXA_PORT_WIDTH, 0),
                      0);
        }
        Signals rec = Run({frequency, amplitude, width}, {osc},
                          {{frequency, VEXA_PORT_OUTPUT},
                           {amplitude, VEXA_PORT_OUTPUT},
                           {width, VEXA_PORT_OUTPUT},
                           {osc, VEXA_PORT_OUTPUT}},
                          kTicks);
        const std::vector<float> &f = rec[0], &a = rec[1], &w = rec[2], &out = rec[3];
        /* The sweep reaches both limits and negative frequencies. */
        ASSERT_GT(*std::max_element(f.begin(), f.end()), 22050.0f);
        ASSERT_LT(*std::min_element(f.begin(), f.end()), -22050.0f);

        PhaseTrack track = TrackPhase(start, f);
        int mismatches = 0;
        for (size_t n = 0; n < out.size() && mismatches < 5; n++) {
            float expected =
                Shape(t.type, track.phase[n], track.wrapped[n], a[n], pulse ? w[n] : 0.0f);
            if (out[n] != expected) {
                ADD_FAILURE() << "frame " << n << ": got " << out[n] << ", expected " << expected
                              << " (phase " << track.phase[n] << ")";
                mismatches++;
            }
        }
        EXPECT_EQ(Get(osc, VEXA_PORT_PHASE), static_cast<double>(track.stored));
    }
}

/* ---- Long runs in every vector build -------------------------------------------------- */

/* 100,032 frames of each shape against the plain accumulator, once at a steady 1234.5 Hz and
 * once with the frequency swept at audio rate (a 97 Hz sawtooth of +-3000 Hz, so the phase
 * also runs down), in every build of the unit functions the processor runs: the phase read
 * from Phase, summed in double inside each block and stored as float at its end, never drifts
 * from the model. */
TEST_F(OscillatorTest, LongRunsMatchThePlainAccumulatorInEveryBuild) {
    constexpr int32_t kTicks = 1563;
    for (int build = VX_SIMD_BASE; build <= vxtest::MaxBuild(); build++) {
        vxtest::UseBuild(build);
        for (const OscType &t : kTypes) {
            for (const bool modulated : {false, true}) {
                SCOPED_TRACE(::testing::Message() << t.name << ", build " << build
                                                  << (modulated ? ", modulated" : ", steady"));
                Restart();
                const float start = 0.25f, width = 0.3f;
                const int32_t osc = Osc(t.type, 1234.5, 0.5, start);
                if (t.type == VEXA_UNIT_PULSE_OSCILLATOR) Set(osc, VEXA_PORT_WIDTH, width);
                std::vector<float> f;
                std::vector<float> out;
                if (modulated) {
                    const int32_t sweep = Osc(VEXA_UNIT_SAWTOOTH_OSCILLATOR, 97.0, 3000.0, 0.0);
                    ASSERT_EQ(Vexa_ConnectUnits(ctx, sweep, VEXA_PORT_OUTPUT, 0, osc,
                                                VEXA_PORT_FREQUENCY, 0),
                              0);
                    Signals rec = Run({sweep}, {osc},
                                      {{sweep, VEXA_PORT_OUTPUT}, {osc, VEXA_PORT_OUTPUT}}, kTicks);
                    f = rec[0];
                    out = rec[1];
                    ASSERT_LT(*std::min_element(f.begin(), f.end()), -2900.0f);
                } else {
                    out = Run({}, {osc}, {{osc, VEXA_PORT_OUTPUT}}, kTicks)[0];
                    f.assign(out.size(), 1234.5f);
                }
                ASSERT_GE(out.size(), 100000u);
                const PhaseTrack track = TrackPhase(start, f);
                int mismatches = 0;
                for (size_t n = 0; n < out.size() && mismatches < 3; n++) {
                    const float expected =
                        Shape(t.type, track.phase[n], track.wrapped[n], 0.5f, width);
                    if (out[n] != expected) {
                        ADD_FAILURE() << "frame " << n << ": got " << out[n] << ", expected "
                                      << expected;
                        mismatches++;
                    }
                }
                EXPECT_EQ(Get(osc, VEXA_PORT_PHASE), static_cast<double>(track.stored));
            }
        }
    }
    vxtest::UseBuild(VX_SIMD_AVX512);
}

/* ---- The phase accumulator ------------------------------------------------------------ */

/* 441 Hz steps the phase by 441 x (2/44100 as a float), just under 0.02, and the sawtooth
 * rises by about 0.02 a frame. The phase is stored as float at the end of every block, and
 * those roundings carry it past 1 on the 50th frame, which wraps (with the sums held in
 * double from block to block, fifty steps would stay just below 1). */
TEST_F(OscillatorTest, SawtoothAt441HzRisesBy002AndWrapsOnTheFiftiethFrame) {
    int32_t saw = Osc(VEXA_UNIT_SAWTOOTH_OSCILLATOR, 441.0, 1.0, 0.0);
    std::vector<float> out = Record(saw, VEXA_PORT_OUTPUT, 2);
    for (int n = 0; n < 49; n++) {
        ASSERT_NEAR(out[n], 0.02 * (n + 1), 1e-6) << "frame " << n;
        if (n > 0) {
            ASSERT_GT(out[n], out[n - 1]) << "frame " << n;
        }
    }
    EXPECT_GT(out[48], 0.979f);        /* the 49th frame has not wrapped */
    EXPECT_LT(out[49], -0.999f);       /* the 50th frame wraps, from just above +1 */
    EXPECT_NEAR(out[50], -0.98, 1e-6);
    for (int n = 50; n < 100; n++) ASSERT_GT(out[n], out[n - 1]) << "frame " << n;

    PhaseTrack track = TrackPhase(0.0f, std::vector<float>(out.size(), 441.0f));
    EXPECT_TRUE(track.wrapped[49]);
    for (int n = 0; n < 49; n++) EXPECT_FALSE(track.wrapped[n]) << n;
    for (size_t n = 0; n < out.size(); n++) ASSERT_EQ(out[n], F(track.phase[n])) << n;
}

/* 30000 Hz at 44100 frames per second is limited to an increment of 1.0. */
TEST_F(OscillatorTest, FrequenciesAboveNyquistAreLimited) {
    int32_t saw = Osc(VEXA_UNIT_SAWTOOTH_OSCILLATOR, 30000.0, 1.0, 0.0);
    int32_t impulse = Osc(VEXA_UNIT_IMPULSE_OSCILLATOR, 30000.0, 1.0, 0.0);
    int32_t sine = Osc(VEXA_UNIT_SINE_OSCILLATOR, 30000.0, 1.0, 0.0);
    int32_t fasterSaw = Osc(VEXA_UNIT_SAWTOOTH_OSCILLATOR, 1.0e9, 1.0, 0.0);
    Signals rec = Run({}, {saw, impulse, sine, fasterSaw},
                      {{saw, VEXA_PORT_OUTPUT},
                       {impulse, VEXA_PORT_OUTPUT},
                       {sine, VEXA_PORT_OUTPUT},
                       {fasterSaw, VEXA_PORT_OUTPUT}},
                      2);
    for (size_t n = 0; n < rec[0].size(); n++) {
        const bool even = n % 2 == 0;
        /* From phase 0: +1 wraps to -1, then 0, then -1 again, ... */
        ASSERT_EQ(rec[0][n], even ? -1.0f : 0.0f) << "frame " << n;
        ASSERT_EQ(rec[1][n], even ? 1.0f : 0.0f) << "frame " << n;
        ASSERT_EQ(rec[2][n], 0.0f) << "frame " << n;
        ASSERT_EQ(rec[3][n], rec[0][n]) << "frame " << n;
    }
}

/* A negative frequency runs the phase down; the impulse fires on the upward wraps. */
TEST_F(OscillatorTest, NegativeFrequencyRunsDownAndImpulsesFireOnUpwardWraps) {
    int32_t saw = Osc(VEXA_UNIT_SAWTOOTH_OSCILLATOR, -10000.0, 1.0, 0.0);
    int32_t impulse = Osc(VEXA_UNIT_IMPULSE_OSCILLATOR, -10000.0, 0.5, 0.0);
    int32_t rising = Osc(VEXA_UNIT_IMPULSE_OSCILLATOR, 10000.0, 0.5, 0.0);
    Signals rec =
        Run({}, {saw, impulse, rising},
            {{saw, VEXA_PORT_OUTPUT}, {impulse, VEXA_PORT_OUTPUT}, {rising, VEXA_PORT_OUTPUT}}, 4);
    PhaseTrack track = TrackPhase(0.0f, std::vector<float>(rec[0].size(), -10000.0f));
    int fired = 0, firedRising = 0;
    for (size_t n = 0; n < rec[0].size(); n++) {
        ASSERT_EQ(rec[0][n], F(track.phase[n])) << "frame " << n;
        if (n > 0 && !track.wrapped[n]) {
            ASSERT_LT(rec[0][n], rec[0][n - 1]) << "frame " << n;
        }
        ASSERT_EQ(rec[1][n], track.wrapped[n] ? 0.5f : 0.0f) << "frame " << n;
        fired += rec[1][n] != 0.0f;
        firedRising += rec[2][n] != 0.0f;
    }
    /* 256 frames at 10000 Hz hold 58 cycles, whichever way the phase runs. */
    EXPECT_EQ(fired, 58);
    EXPECT_EQ(firedRising, 58);
    EXPECT_EQ(rec[1][2], 0.5f); /* 0 - 3 x 0.4535 falls below -1 on the third frame */
}

TEST_F(OscillatorTest, PhaseSetTo2IsClippedTo1AndWrapsOnTheNextFrame) {
    int32_t saw = Osc(VEXA_UNIT_SAWTOOTH_OSCILLATOR, 0.0, 1.0, 2.0);
    Render(1);
    EXPECT_EQ(Get(saw, VEXA_PORT_PHASE), 1.0);
    std::vector<float> out = Record(saw, VEXA_PORT_OUTPUT, 1);
    for (float value : out) ASSERT_EQ(value, -1.0f);
    EXPECT_EQ(Get(saw, VEXA_PORT_PHASE), -1.0);
}

/* The phase is stored at the end of every block; stop and start leave it alone, and the
 * restarted unit carries on from the stored float phase. */
TEST_F(OscillatorTest, RestartContinuesFromTheStoredPhase) {
    int32_t sine = Osc(VEXA_UNIT_SINE_OSCILLATOR, 1000.0, 1.0, 0.0);
    Signals first = Run({}, {sine}, {{sine, VEXA_PORT_OUTPUT}}, 3);
    PhaseTrack track = TrackPhase(0.0f, std::vector<float>(3 * 64, 1000.0f));
    EXPECT_EQ(Get(sine, VEXA_PORT_PHASE), static_cast<double>(track.stored));

    EXPECT_EQ(Vexa_StopUnit(ctx, sine), 0);
    Render(2);
    EXPECT_EQ(Get(sine, VEXA_PORT_PHASE), static_cast<double>(track.stored));
    Start(sine);
    std::vector<float> after = RenderChannels(1, 1)[0];
    PhaseTrack resumed = TrackPhase(track.stored, std::vector<float>(64, 1000.0f));
    for (size_t n = 0; n < after.size(); n++) {
        ASSERT_EQ(after[n], F(PolySinePi(resumed.phase[n]))) << "frame " << n;
    }
}

/* ---- Shapes at chosen phases (frequency 0 holds the phase) ----------------------------- */

struct PhaseCase {
    const char *name;
    uint32_t type;
    double phase;
    double width;
    float expected; /* with amplitude 0.75 */
};

const double kPiF = 3.1415927410125732;

const PhaseCase kPhaseCases[] = {
    {"square at 0 is +A", VEXA_UNIT_SQUARE_OSCILLATOR, 0.0, 0, 0.75f},
    {"square just below 0 is -A", VEXA_UNIT_SQUARE_OSCILLATOR, -1.0e-7, 0, -0.75f},
    {"square at -1 is -A", VEXA_UNIT_SQUARE_OSCILLATOR, -1.0, 0, -0.75f},
    {"pulse at its width is +A", VEXA_UNIT_PULSE_OSCILLATOR, 0.25, 0.25, 0.75f},
    {"pulse just below its width is -A", VEXA_UNIT_PULSE_OSCILLATOR, 0.2499999, 0.25, -0.75f},
    {"pulse of width -0.5 at -0.5", VEXA_UNIT_PULSE_OSCILLATOR, -0.5, -0.5, 0.75f},
    {"triangle at -0.5 is 0", VEXA_UNIT_TRIANGLE_OSCILLATOR, -0.5, 0, 0.0f},
    {"triangle at +0.5 is 0", VEXA_UNIT_TRIANGLE_OSCILLATOR, 0.5, 0, 0.0f},
    {"triangle at 0 is +A", VEXA_UNIT_TRIANGLE_OSCILLATOR, 0.0, 0, 0.75f},
    {"triangle at -1 is -A", VEXA_UNIT_TRIANGLE_OSCILLATOR, -1.0, 0, -0.75f},
    {"sine at +0.5", VEXA_UNIT_SINE_OSCILLATOR, 0.5, 0, F(PolySinePi(0.5) * 0.75)},
    {"sine at -0.5", VEXA_UNIT_SINE_OSCILLATOR, -0.5, 0, F(PolySinePi(-0.5) * 0.75)},
    {"sine at 1.0 wraps to -1 and folds to 0", VEXA_UNIT_SINE_OSCILLATOR, 1.0, 0, 0.0f},
    {"sine at 0.25", VEXA_UNIT_SINE_OSCILLATOR, 0.25, 0, F(PolySinePi(0.25) * 0.75)},
    {"sawtooth at -0.5", VEXA_UNIT_SAWTOOTH_OSCILLATOR, -0.5, 0, -0.375f},
    {"impulse without a wrap", VEXA_UNIT_IMPULSE_OSCILLATOR, 0.5, 0, 0.0f},
};

TEST_F(OscillatorTest, ShapesAtChosenPhases) {
    for (const PhaseCase &c : kPhaseCases) {
        SCOPED_TRACE(c.name);
        Restart();
        int32_t osc = Osc(c.type, 0.0, 0.75, c.phase);
        if (c.type == VEXA_UNIT_PULSE_OSCILLATOR) Set(osc, VEXA_PORT_WIDTH, c.width);
        std::vector<float> out = Record(osc, VEXA_PORT_OUTPUT, 1);
        for (float value : out) ASSERT_EQ(value, c.expected);
    }
    /* The values the polynomial must give at the quarter phases. */
    EXPECT_NEAR(PolySinePi(0.5), 1.0, 1e-7);
    EXPECT_EQ(PolySinePi(-0.5), -PolySinePi(0.5));
    EXPECT_EQ(kPiF, static_cast<double>(static_cast<float>(std::numbers::pi)));
}

TEST_F(OscillatorTest, SineAtPhaseHalfIsWithin1e7OfTheDefaultAmplitude) {
    int32_t sine = Unit(VEXA_UNIT_SINE_OSCILLATOR);
    Set(sine, VEXA_PORT_FREQUENCY, 0.0);
    Set(sine, VEXA_PORT_PHASE, 0.5);
    std::vector<float> out = Record(sine, VEXA_PORT_OUTPUT, 1);
    EXPECT_NEAR(out[0], kAmplitudeDefault, 1e-7);
    EXPECT_EQ(out[0], F(PolySinePi(0.5) * kAmplitudeDefault));
}

/* The polynomial against the library sine over a whole cycle. */
TEST_F(OscillatorTest, SineFollowsTheLibrarySine) {
    int32_t sine = Osc(VEXA_UNIT_SINE_OSCILLATOR, 100.0, 1.0, 0.0);
    int32_t saw =
        Osc(VEXA_UNIT_SAWTOOTH_OSCILLATOR, 100.0, 1.0, 0.0); /* the same phase, as a signal */
    Signals rec = Run({}, {sine, saw}, {{sine, VEXA_PORT_OUTPUT}, {saw, VEXA_PORT_OUTPUT}}, 8);
    double worst = 0.0;
    for (size_t n = 0; n < rec[0].size(); n++) {
        worst = std::max(worst, std::fabs(rec[0][n] - std::sin(std::numbers::pi * rec[1][n])));
    }
    EXPECT_LT(worst, 5e-7);
}

/* The triangle's phase starts at -0.5, so it rises from 0 towards +A. */
TEST_F(OscillatorTest, TriangleRisesFromZeroAtCreation) {
    int32_t triangle = Unit(VEXA_UNIT_TRIANGLE_OSCILLATOR);
    Set(triangle, VEXA_PORT_FREQUENCY, 441.0);
    Set(triangle, VEXA_PORT_AMPLITUDE, 1.0);
    std::vector<float> out = Record(triangle, VEXA_PORT_OUTPUT, 1);
    EXPECT_NEAR(out[0], 0.04, 1e-5);
    EXPECT_NEAR(out[1], 0.08, 1e-5);
    PhaseTrack track = TrackPhase(-0.5f, std::vector<float>(64, 441.0f));
    for (size_t n = 0; n < out.size(); n++) {
        ASSERT_EQ(out[n], Shape(VEXA_UNIT_TRIANGLE_OSCILLATOR, track.phase[n], false, 1.0f, 0.0f))
            << n;
    }
}

} // namespace
