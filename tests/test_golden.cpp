/*
 * Golden output: every unit type of the catalogue is rendered for 96 ticks in a small network
 * that drives all of its ports (sine waves on the signal inputs, a frequency-modulated sine
 * on frequency inputs, values on the others that change a third of the way through, looping
 * samples, envelopes and tables on the data ports, a bus partner on bus ports and a device
 * input buffer), and every output part is mixed into its own device channel. The driving
 * sines are computed here and reach the unit through device input channels and ChannelIn
 * units, so a type's checksum depends on its own arithmetic and not on any oscillator's. A 64-bit
 * FNV-1a checksum of the bits of the whole device output, of the variables and of the written
 * samples must equal the value recorded for the type: any change of any number computed by a
 * unit function, the batch or the port conversions fails here.
 *
 * The recorded values were taken from the straightforward frame-by-frame implementation; a
 * change that moves a number on purpose re-records them with VX_GOLDEN_PRINT=1 (the test then
 * prints the table in source form) and says why in its commit.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "velto.h"
#include "velto_units.h"
#include "vx_test_support.h"
#include "vx_catalog.h"
#include "vx_internal.h"
#include "vx_unit.h"

namespace {

constexpr int32_t kTicks = 96;
constexpr int32_t kChangeTick = 32;
constexpr int32_t kOutputChannels = 16;
constexpr int32_t kDeviceInputChannels = 2; /* what the device units read */
constexpr int32_t kMaxDrivers = 15;          /* driving sines, one input channel each */
constexpr int32_t kInputChannels = kDeviceInputChannels + kMaxDrivers;
constexpr int32_t kFirstProbeChannel = 3; /* channels 0-2 are left to the device units */

struct Golden {
    const char *name;
    uint64_t checksum;
};

/* Recorded from the frame-by-frame implementation (see the file comment). The ten types on the
 * oscillators' phase accumulator were re-recorded when their phase became plain unit state,
 * rounded to float at the end of every block instead of carried in double from block to
 * block. */
const Golden kGolden[] = {
    {"SawtoothOscillator", 0xa469676b354475a9ull},
    {"PeriodDetector", 0x5abe821ed5ee477bull},
    {"LineOut", 0x40a5f4e6af7c7de5ull},
    {"ChannelOut", 0x16fa1308c7314266ull},
    {"SampleRead16F1", 0x3eb1ffaabb75dbd2ull},
    {"SampleRead16V1", 0x782619ab8518c4eeull},
    {"SampleWrite16F1", 0xa835660e525fb629ull},
    {"BusRead", 0x7919256e546d9390ull},
    {"BusWrite", 0xf3c2e650c70e0a2full},
    {"Add", 0xc8416991fbaced62ull},
    {"PulseOscillator", 0x45d4774a9e58a775ull},
    {"SquareOscillator", 0x2c55a2138e90fcf5ull},
    {"TriangleOscillator", 0x0f630e4fee7232afull},
    {"RedNoise", 0xd3d33bb29fc844b6ull},
    {"PinkNoise", 0x8ea80901d898190cull},
    {"ImpulseOscillator", 0x2638758d92604bc1ull},
    {"Filter2o2p2z", 0x7470f4df7fc4685dull},
    {"FilterLowPass", 0xef6321ffaddb9023ull},
    {"FilterHighPass", 0xe8b398618bb9a586ull},
    {"FilterBandPass", 0xe69a0325c0f91eeaull},
    {"FilterBandStop", 0x5ad70a51b62d9417ull},
    {"FilterPeakingEQ", 0x944045ff266393ddull},
    {"FilterLowShelf", 0xf5a561e9bff271ceull},
    {"FilterHighShelf", 0xf7c2093ad91fb8a0ull},
    {"FilterSVF", 0x7c7b7b4d304b7e8full},
    {"FilterOldSVF", 0x635b4b2cc2353c21ull},
    {"SineOscillator", 0xc66f23b548e8ad01ull},
    {"EnvelopeLinear", 0xb486a68896cade4eull},
    {"WaveOscillator", 0xc09cc92a53546fecull},
    {"WhiteNoise", 0xab515da970203928ull},
    {"MultiplyAdd", 0x4ae3cd3f3b2691c5ull},
    {"Delay", 0xe3762c8efd11a099ull},
    {"DelayInterp", 0x253843aa847fdbedull},
    {"Subtract", 0x298a0639d4f9d442ull},
    {"SampleWrite16F2", 0x3c1f3713a2131840ull},
    {"SampleRead16F2", 0xc7fb19ed2f8235deull},
    {"FourWayFade", 0x10e40be16ff87dcaull},
    {"CrossFade", 0xdfa48df28048a87cull},
    {"TableLookup", 0xfcb3423854f4f323ull},
    {"Minimum", 0x2c2e115b2b0a7c99ull},
    {"Maximum", 0xc57b0bcd00120779ull},
    {"Select", 0x867a5138cebf55ffull},
    {"Schmidt", 0xef43e84992296018ull},
    {"LagLinear", 0x991ba187bdb0de74ull},
    {"LagExp", 0x7215a3b48759f726ull},
    {"MultiplyUnsigned", 0x08e18cb8edddf9f1ull},
    {"Multiply", 0x491c6ac84182ff52ull},
    {"PanControl", 0xc1735e4fdba1400dull},
    {"Pan", 0x725a8ce8240e6c7eull},
    {"MassSpring", 0x4fdcc778526931cbull},
    {"Compare", 0x289dda247a42f728ull},
    {"Latch", 0x2a7611ee5dcdd27bull},
    {"EnvelopeParabolic", 0x1644e808dc41730full},
    {"PeakFollower", 0x22c1417061eeac85ull},
    {"LineIn", 0x53deccae0ac1aed3ull},
    {"ChannelIn", 0x9aecb0e823f7b67eull},
    {"Filter2o2p", 0xdbfaa7fe125d1360ull},
    {"Filter1o1z", 0xa0257eb981b8ee19ull},
    {"Filter1o1p1z", 0x2afc02cec9729d2full},
    {"Filter1o1p", 0x6751d45531f56aabull},
    {"AddUnsigned", 0x249f6b51f01ea2eaull},
    {"MultiplyAddUnsigned", 0xfb524d5b4d970288ull},
    {"Divide", 0x4f602cf81ccfdb0bull},
    {"SawtoothOscillatorBL", 0x5efe8b7cc31fa956ull},
    {"ImpulseOscillatorBL", 0x313daa445ffe82adull},
    {"SquareOscillatorBL", 0xfcd382526c88fc50ull},
    {"PulseOscillatorBL", 0x68111cfa30e6494aull},
    {"Integrate", 0x6ecdb1c5f7e6ea73ull},
};

class Fnv {
  public:
    void Bytes(const void *data, size_t size) {
        const unsigned char *p = static_cast<const unsigned char *>(data);
        for (size_t i = 0; i < size; i++) {
            hash_ ^= p[i];
            hash_ *= 0x100000001b3ull;
        }
    }
    template <typename T> void Value(T value) { Bytes(&value, sizeof value); }
    uint64_t hash() const { return hash_; }

  private:
    uint64_t hash_ = 0xcbf29ce484222325ull;
};

/* The values a port that is set (rather than driven by a signal) takes before and after the
 * change tick, chosen by its role so that every unit works in its useful range. */
struct SetValues {
    double before, after;
};

SetValues ValuesFor(const PortInfo &port) {
    switch (port.portID) {
    case PORTID_FREQUENCY:
        if (port.signalType == VEXA_SIGNAL_SVF_FREQUENCY) return {1000.0, 3000.0};
        return {800.0, 2300.0};
    case PORTID_AMPLITUDE: return {0.8, 0.6};
    case PORTID_Q: return {2.0, 0.7};
    case PORTID_GAIN: return {2.0, 0.5};
    case PORTID_SLOPE: return {1.0, 0.5};
    case PORTID_A0: return {0.5, 0.4};
    case PORTID_A1: return {0.3, 0.2};
    case PORTID_A2: return {0.1, 0.15};
    case PORTID_B1: return {-0.4, -0.3};
    case PORTID_B2: return {0.2, 0.1};
    case PORTID_PHASE: return {0.25, -0.75};
    case PORTID_WIDTH: return {0.2, -0.4};
    case PORTID_RESONANCE: return {0.3, 0.1};
    case PORTID_LOWER_LIMIT: return {-0.8, -0.5};
    case PORTID_UPPER_LIMIT: return {0.8, 0.6};
    case PORTID_SET_LEVEL: return {0.3, 0.5};
    case PORTID_RESET_LEVEL: return {-0.3, -0.1};
    case PORTID_STIFFNESS: return {0.01, 0.02};
    case PORTID_DAMPING: return {0.01, 0.05};
    case PORTID_DELAY: return {0.003, 0.001};
    case PORTID_CURRENT: return {0.1, -0.2};
    case PORTID_INPUT: return {0.7, -0.4}; /* an Input variable: a lag's target */
    default: break;
    }
    switch (port.signalType) {
    case VEXA_SIGNAL_SIGNED: return {0.3, -0.6};
    case VEXA_SIGNAL_UNSIGNED: return {1.0, 0.5};
    case VEXA_SIGNAL_FREQUENCY: return {440.0, 1500.0};
    case VEXA_SIGNAL_SAMPLE_RATE: return {30000.0, 50000.0};
    case VEXA_SIGNAL_HALF_LIFE: return {0.01, 0.002};
    case VEXA_SIGNAL_TIME: return {0.005, 0.02};
    default: return {0.5, 0.25};
    }
}

/* Ports fed by an oscillator rather than set. */
bool DrivenBySignal(const PortInfo &port) {
    if ((port.portKind & PORT_INPUT) == 0) return false;
    switch (port.portID) {
    case PORTID_INPUT:
    case PORTID_INPUT_A:
    case PORTID_INPUT_B:
    case PORTID_INPUT_C:
    case PORTID_FADE:
    case PORTID_PAN:
    case PORTID_SELECT:
    case PORTID_GATE: return true;
    case PORTID_FREQUENCY: return port.signalType == VEXA_SIGNAL_FREQUENCY;
    default: return false;
    }
}

/* One context with the network around one unit. */
class GoldenNetwork {
  public:
    VexaContext *ctx = nullptr;
    int32_t nextDriver = 0;
    int32_t nextChannel = kFirstProbeChannel;
    std::vector<int32_t> drivers, probes, samples;
    std::vector<std::vector<int16_t>> written; /* what each sample held before the run */

    GoldenNetwork() {
        ctx = Vexa_CreateContext();
        EXPECT_NE(ctx, nullptr);
        EXPECT_EQ(Vexa_Initialize(ctx), 0);
        EXPECT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, 0, kInputChannels, 0,
                                    kOutputChannels),
                  0);
    }
    ~GoldenNetwork() {
        EXPECT_EQ(Vexa_Terminate(ctx), 0);
        Vexa_DeleteContext(ctx);
    }

    int32_t NewUnit(uint32_t typeID, int32_t argument = 0) {
        const int32_t token = Vexa_CreateUnit(ctx, typeID, 0, argument);
        EXPECT_GT(token, 0) << std::hex << typeID;
        return token;
    }
    void Set(int32_t unit, uint32_t portID, int32_t part, double value) {
        const int32_t result = Vexa_SetPort(ctx, unit, portID, part, value);
        EXPECT_GE(result, 0) << std::hex << portID;
    }
    void SetLater(int32_t unit, uint32_t portID, int32_t part, double value) {
        const int32_t tick = Vexa_GetTickCount(ctx) + kChangeTick;
        EXPECT_GE(Vexa_SetPortAt(ctx, tick, unit, portID, part, value), 0) << std::hex << portID;
    }
    void Connect(int32_t from, uint32_t fromPort, int32_t to, uint32_t toPort, int32_t toPart) {
        EXPECT_GE(Vexa_ConnectUnits(ctx, from, fromPort, 0, to, toPort, toPart), 0)
            << std::hex << toPort;
    }

    /* A sine at its own frequency for each driven part; frequency inputs get 500 Hz swept
     * by +-150 Hz at 5 Hz through a MultiplyAdd. Each sine comes from a device input
     * channel through a ChannelIn. */
    void Drive(int32_t unit, const PortInfo &port, int32_t part) {
        const int32_t k = nextDriver++;
        ASSERT_LT(k, kMaxDrivers);
        const int32_t source = NewUnit(VEXA_UNIT_CHANNEL_IN, kDeviceInputChannels + k);
        drivers.push_back(source);
        if (port.portID == PORTID_FREQUENCY) {
            sines.push_back({5.0f + k, 1.0f, 0.0f});
            const int32_t sweep = NewUnit(VEXA_UNIT_MULTIPLY_ADD);
            drivers.push_back(sweep);
            Connect(source, PORTID_OUTPUT, sweep, PORTID_INPUT_A, 0);
            Set(sweep, PORTID_INPUT_B, 0, 150.0);
            Set(sweep, PORTID_INPUT_C, 0, 500.0);
            Connect(sweep, PORTID_OUTPUT, unit, port.portID, part);
            return;
        }
        sines.push_back({97.0f + 61.0f * k, 0.9f, static_cast<float>(std::min(0.1 * k, 1.0))});
        Connect(source, PORTID_OUTPUT, unit, port.portID, part);
    }

    /* Frame n of driving sine k: its phase summed in double precision from its start value
     * over the whole run, sin(pi x phase) from the folded odd polynomial, times the
     * amplitude. */
    struct DrivingSine {
        float frequency, amplitude, phase;
    };
    std::vector<DrivingSine> sines;
    std::vector<float> DrivingSignal(const DrivingSine &sine, size_t frames) const {
        constexpr double kPiF = static_cast<double>(3.14159265358979323846f);
        constexpr double kK3 = 0.16666666666666666, kK5 = 0.008333333333333333,
                         kK7 = 0.0001984126984126984, kK9 = 2.7557319223985893e-06,
                         kK11 = -2.505210838544172e-08;
        double increment = static_cast<double>(sine.frequency) * ctx->vxb_FreqScale;
        double phase = sine.phase;
        std::vector<float> values(frames);
        for (size_t n = 0; n < frames; n++) {
            phase += increment;
            if (phase >= 1.0) phase -= 2.0;
            const double upper = 1.0 - phase, lower = -1.0 - phase;
            const double m = phase < upper ? phase : upper;
            const double x = m > lower ? m : lower;
            const double y = x * kPiF, z = y * y;
            const double s = y * (((((z * kK11 + kK9) * z - kK7) * z + kK5) * z - kK3) * z + 1.0);
            values[n] = static_cast<float>(s * static_cast<double>(sine.amplitude));
        }
        return values;
    }

    void Probe(int32_t unit, uint32_t portID, int32_t part) {
        ASSERT_LT(nextChannel, kOutputChannels);
        const int32_t probe = NewUnit(VEXA_UNIT_CHANNEL_OUT, nextChannel++);
        probes.push_back(probe);
        EXPECT_GE(Vexa_ConnectUnits(ctx, unit, portID, part, probe, PORTID_INPUT, 0), 0);
    }

    void FeedQueue(int32_t unit, const PortInfo &port) {
        if (port.queueData == VXT_ENVELOPE) {
            const double frames[] = {0.01, 0.9, 0.02, -0.5, 0.005, 0.3,
                                     0.03, 1.0, 0.01, 0.0,  0.02,  0.6};
            const int32_t envelope = Vexa_CreateEnvelope(ctx, 6);
            ASSERT_GT(envelope, 0);
            ASSERT_EQ(Vexa_WriteEnvelope(ctx, envelope, 0, frames, 6), 0);
            ASSERT_EQ(Vexa_QueueData(ctx, unit, port.portID, envelope, 1, 5, VEXA_QUEUE_LOOP), 0);
            return;
        }
        const int32_t channels = port.defaultValue >= 2.0f ? 2 : 1;
        constexpr uint32_t kFrames = 1500;
        std::vector<int16_t> data(kFrames * channels);
        for (size_t i = 0; i < data.size(); i++)
            data[i] = static_cast<int16_t>(20000.0 *
                                           std::sin(0.013 * i * i / data.size() + 0.1 * i));
        const int32_t sample = Vexa_CreateSample(ctx, kFrames, channels);
        ASSERT_GT(sample, 0);
        ASSERT_EQ(Vexa_WriteSample(ctx, sample, 0, data.data(), kFrames), 0);
        samples.push_back(sample);
        data.resize(static_cast<size_t>(kFrames) * 2);
        written.push_back(data);
        ASSERT_EQ(Vexa_QueueData(ctx, unit, port.portID, sample, 100, 777, VEXA_QUEUE_LOOP), 0);
    }

    void FeedTable(int32_t unit, const PortInfo &port, int32_t part) {
        constexpr uint32_t kEntries = 257;
        std::vector<double> values(kEntries);
        for (uint32_t i = 0; i < kEntries; i++)
            values[i] = 0.7 * std::sin(i * 0.049) + 0.2 * std::cos(i * 0.31);
        const int32_t table = Vexa_CreateTable(ctx, kEntries);
        ASSERT_GT(table, 0);
        ASSERT_EQ(Vexa_WriteTableDoubles(ctx, table, 0, values.data(), kEntries), 0);
        ASSERT_EQ(Vexa_UseTable(ctx, unit, port.portID, part, table), 0);
    }

    /* Builds the network around one unit of the type, renders it and returns the checksum;
     * `varied` tells whether the device output took more than one value or a recorder wrote
     * into its sample. */
    uint64_t Run(const char *name, const UnitInfo *info, bool *varied) {
        const bool delay = std::strcmp(name, "Delay") == 0 || std::strcmp(name, "DelayInterp") == 0;
        const int32_t unit = NewUnit(info->typeID, delay ? 300 : 0);
        int32_t partner = 0;
        for (int32_t p = 0; p < info->numPorts; p++) {
            const PortInfo &port = info->ports[p];
            for (int32_t part = 0; part < port.numParts; part++) {
                if (port.portKind & PORT_OUTPUT) {
                    Probe(unit, port.portID, part);
                } else if (DrivenBySignal(port)) {
                    Drive(unit, port, part);
                } else if (port.portKind & (PORT_INPUT | PORT_VARIABLE)) {
                    const SetValues v = ValuesFor(port);
                    Set(unit, port.portID, part, v.before);
                    SetLater(unit, port.portID, part, v.after);
                } else if (port.portKind & PORT_QUEUE) {
                    FeedQueue(unit, port);
                } else if (port.portKind & PORT_TABLE) {
                    FeedTable(unit, port, part);
                } else if (port.portKind & PORT_BUS_INPUT) {
                    /* A writer fed by an oscillator adds into this bus. */
                    partner = NewUnit(VEXA_UNIT_BUS_WRITE);
                    const PortInfo input = {.portID = PORTID_INPUT, .defaultValue = 0.0f,
                                            .defaultMask = 0, .portKind = PORT_INPUT,
                                            .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
                                            .offset = 0};
                    Drive(partner, input, 0);
                    EXPECT_EQ(Vexa_ConnectUnits(ctx, partner, PORTID_BUS_OUTPUT, 0, unit,
                                                port.portID, 0),
                              0);
                    drivers.push_back(partner);
                } else if (port.portKind & PORT_BUS_OUTPUT) {
                    /* A reader after this unit takes the bus out to a device channel. */
                    partner = NewUnit(VEXA_UNIT_BUS_READ);
                    EXPECT_EQ(Vexa_ConnectUnits(ctx, unit, port.portID, 0, partner,
                                                PORTID_BUS_INPUT, 0),
                              0);
                    Probe(partner, PORTID_OUTPUT, 0);
                    probes.insert(probes.begin(), partner);
                }
            }
        }
        /* Sources first, then the unit, then whatever reads it. */
        for (int32_t d : drivers) EXPECT_EQ(Vexa_StartUnit(ctx, d), 0);
        EXPECT_EQ(Vexa_StartUnit(ctx, unit), 0);
        for (int32_t p : probes) EXPECT_EQ(Vexa_StartUnit(ctx, p), 0);

        /* The device channels hold the same values as a two-channel buffer would; the
         * driving sines follow them. */
        constexpr size_t kFrames = static_cast<size_t>(kTicks) * 64;
        std::vector<float> input(kFrames * kInputChannels);
        for (size_t frame = 0; frame < kFrames; frame++) {
            for (size_t ch = 0; ch < kDeviceInputChannels; ch++) {
                const size_t i = frame * kDeviceInputChannels + ch;
                input[frame * kInputChannels + ch] = static_cast<float>(
                    0.8 * std::sin(0.0071 * i) * std::cos(0.00023 * i * (i % 7)));
            }
        }
        for (size_t k = 0; k < sines.size(); k++) {
            const std::vector<float> signal = DrivingSignal(sines[k], kFrames);
            for (size_t frame = 0; frame < kFrames; frame++)
                input[frame * kInputChannels + kDeviceInputChannels + k] = signal[frame];
        }
        std::vector<float> output(static_cast<size_t>(kTicks) * 64 * kOutputChannels);
        EXPECT_EQ(Vexa_RenderTicks(ctx, input.data(), output.data(), kTicks), 0);
        EXPECT_EQ(Vexa_CheckEngineErrors(ctx), 0);

        Fnv fnv;
        for (float value : output) fnv.Value(value);
        *varied = false;
        for (float value : output) *varied = *varied || value != output[0];
        for (int32_t p = 0; p < info->numPorts; p++) {
            const PortInfo &port = info->ports[p];
            if ((port.portKind & PORT_VARIABLE) == 0) continue;
            for (int32_t part = 0; part < port.numParts; part++) {
                double value = 0;
                EXPECT_EQ(Vexa_ReadPort(ctx, unit, port.portID, part, &value), 0);
                fnv.Value(value);
            }
        }
        for (size_t i = 0; i < samples.size(); i++) {
            std::vector<int16_t> frames(1500 * 2);
            EXPECT_EQ(Vexa_ReadSample(ctx, samples[i], 0, frames.data(), 1500), 0);
            fnv.Bytes(frames.data(), frames.size() * sizeof(int16_t));
            *varied = *varied || frames != written[i]; /* a recorder wrote into it */
        }
        return fnv.hash();
    }
};

struct TypeEntry {
    const char *name;
    UnitInfo *(*load)();
};

#define VX_GOLDEN_ENTRY(Name) {#Name, &VXU_Load##Name},
const TypeEntry kTypes[] = {VX_UNIT_CATALOGUE(VX_GOLDEN_ENTRY)};
#undef VX_GOLDEN_ENTRY

TEST(GoldenTable, CoversEveryUnitTypeOnce) {
    ASSERT_EQ(std::size(kTypes), 68u);
    ASSERT_EQ(std::size(kGolden), std::size(kTypes));
    for (size_t i = 0; i < std::size(kTypes); i++) EXPECT_STREQ(kGolden[i].name, kTypes[i].name);
}

/* Unit functions come in builds for wider vectors (base, AVX2, AVX-512); every build the
 * processor can run must compute the recorded numbers. */
using vxtest::MaxBuild;
using vxtest::UseBuild;

using TypeAndBuild = std::tuple<size_t, int>;

std::string TypeAndBuildName(const ::testing::TestParamInfo<TypeAndBuild> &info) {
    static const char *const kBuilds[] = {"Base", "Avx2", "Avx512"};
    return std::string(kTypes[std::get<0>(info.param)].name) + "_" +
           kBuilds[std::get<1>(info.param)];
}

class GoldenUnitTest : public ::testing::TestWithParam<TypeAndBuild> {
  protected:
    void TearDown() override { UseBuild(VX_SIMD_AVX512); }
};

TEST_P(GoldenUnitTest, OutputMatchesRecordedChecksum) {
    const auto [index, build] = GetParam();
    if (build > MaxBuild()) GTEST_SKIP() << "the processor cannot run this build";
    UseBuild(build);
    const TypeEntry &type = kTypes[index];
    bool varied = false;
    uint64_t checksum;
    {
        GoldenNetwork network;
        checksum = network.Run(type.name, type.load(), &varied);
    }
    EXPECT_TRUE(varied) << type.name << ": the device output never changed";
    if (std::getenv("VX_GOLDEN_PRINT") != nullptr && build == VX_SIMD_BASE)
        std::printf("    {\"%s\", 0x%016llxull},\n", type.name,
                    static_cast<unsigned long long>(checksum));
    ASSERT_LT(index, std::size(kGolden));
    EXPECT_EQ(checksum, kGolden[index].checksum)
        << type.name << " no longer computes the recorded numbers";
}

INSTANTIATE_TEST_SUITE_P(
    AllTypes, GoldenUnitTest,
    ::testing::Combine(::testing::Range<size_t>(0, std::size(kTypes)),
                       ::testing::Values(VX_SIMD_BASE, VX_SIMD_AVX2, VX_SIMD_AVX512)),
    TypeAndBuildName);

/* The band-limited sawtooth forms blocks that read one pair of tables side by side; at steady
 * frequencies across every table level (and beyond both ends) its output must be
 * VX_SawBL_CalculateSawtooth of each frame's phase (summed in double inside a block, stored as
 * float at its end), increment and level, in every build. */
TEST(GoldenSawtoothBL, SteadyFrequenciesMatchTheTableFunctionFrameByFrame) {
    const double frequencies[] = {3.0, 20.0, 90.0, 100.0, 441.0, 1000.0, 2500.0,
                                  5000.0, 15000.0, 21000.0, 30000.0, -700.0};
    for (int build = VX_SIMD_BASE; build <= MaxBuild(); build++) {
        UseBuild(build);
        for (double hz : frequencies) {
            SCOPED_TRACE(::testing::Message() << "build " << build << ", " << hz << " Hz");
            GoldenNetwork net;
            const int32_t saw = net.NewUnit(VEXA_UNIT_SAWTOOTH_OSCILLATOR_BL);
            net.Set(saw, PORTID_FREQUENCY, 0, hz);
            net.Set(saw, PORTID_AMPLITUDE, 0, 0.7);
            net.Set(saw, PORTID_PHASE, 0, 0.3);
            net.Probe(saw, PORTID_OUTPUT, 0);
            EXPECT_EQ(Vexa_StartUnit(net.ctx, saw), 0);
            EXPECT_EQ(Vexa_StartUnit(net.ctx, net.probes[0]), 0);
            constexpr int32_t kRunTicks = 40;
            std::vector<float> output(static_cast<size_t>(kRunTicks) * 64 * kOutputChannels);
            ASSERT_EQ(Vexa_RenderTicks(net.ctx, nullptr, output.data(), kRunTicks), 0);

            const SawMultiTables *set = &net.ctx->vxb_SawTables;
            double increment = static_cast<double>(static_cast<float>(hz)) *
                               static_cast<double>(net.ctx->vxb_FreqScale);
            increment = increment < -1.0 ? -1.0 : (increment > 1.0 ? 1.0 : increment);
            const float x = static_cast<float>(increment);
            const float level = VX_SawBL_PhaseIncToLevel(x);
            double phase = static_cast<double>(0.3f);
            int mismatches = 0;
            for (int frame = 0; frame < kRunTicks * 64; frame++) {
                phase += increment;
                if (phase >= 1.0) {
                    phase -= 2.0;
                } else if (phase < -1.0) {
                    phase += 2.0;
                }
                const double framePhase = phase;
                if (frame % 8 == 7) phase = static_cast<float>(phase); /* stored as float */
                const float saw =
                    VX_SawBL_CalculateSawtooth(set, static_cast<float>(framePhase), x, level);
                const float expected = static_cast<float>(static_cast<double>(saw) * 0.7f);
                const float actual = output[static_cast<size_t>(frame) * kOutputChannels +
                                            kFirstProbeChannel];
                if (actual != expected && mismatches++ < 3)
                    ADD_FAILURE() << "frame " << frame << ": " << actual << " != " << expected;
            }
            EXPECT_EQ(mismatches, 0);
        }
    }
    UseBuild(VX_SIMD_AVX512);
}

} // namespace
