/*
 * Grouping units of one type (the execution plan and the group functions) changes no bit: many
 * random networks are built twice, identically, one context with grouping and one without, and
 * rendered tick by tick; the device output and every output part of every unit must be the same
 * bits after every tick, in every vector build the processor runs.
 *
 * (NaNs compare as NaN: see SameValue).
 *
 * A network has units of random types among all 68 (half of them drawn from the types that
 * have a group function, so that groups form), random values on their inputs and variables,
 * random connections (feedback loops and a unit reading itself included), buses, noise units,
 * sample, envelope and table data, circuits, all three priorities, and starts, stops and port
 * changes at random ticks, some of them while the network renders.
 */
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "velto_units.h"
#include "vx_catalog.h"
#include "vx_internal.h"
#include "vx_test_support.h"
#include "vx_unit.h"

namespace {

constexpr int32_t kOutputChannels = 8;
constexpr int32_t kInputChannels = 2;

std::vector<const UnitInfo *> AllTypes() {
    std::vector<const UnitInfo *> types;
#define VX_ADD_TYPE(Name) types.push_back(VXU_Load##Name());
    VX_UNIT_CATALOGUE(VX_ADD_TYPE)
#undef VX_ADD_TYPE
    return types;
}

/* A value a port of this signal type is usefully set to. */
double RandomValue(std::mt19937 &rng, const PortInfo &port) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double u = unit(rng);
    switch (port.signalType) {
    case VEXA_SIGNAL_FREQUENCY: return 20.0 + 3000.0 * u * u;
    case VEXA_SIGNAL_SVF_FREQUENCY: return 100.0 + 5000.0 * u;
    case VEXA_SIGNAL_SAMPLE_RATE: return 8000.0 + 60000.0 * u;
    case VEXA_SIGNAL_HALF_LIFE: return 0.0005 + 0.05 * u;
    case VEXA_SIGNAL_TIME: return 0.001 + 0.1 * u;
    case VEXA_SIGNAL_UNSIGNED: return 2.0 * u;
    case VEXA_SIGNAL_SIGNED: return 2.0 * u - 1.0;
    default: return port.portID == PORTID_Q ? 0.5 + 4.0 * u : 2.0 * u - 1.0;
    }
}

/* The same bits, or both NaN. A NaN made from two NaN operands takes the sign and payload of
 * whichever operand the instruction names first, and for an addition or a multiplication the
 * compiler may name either first; so a NaN's sign is not part of what any code path computes,
 * and NaNs compare as NaN. Every other value compares bit for bit (-0 and +0 included). */
bool SameValue(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0 || (a != a && b != b);
}

struct PortRef {
    int32_t unit;
    const PortInfo *port;
    int32_t part;
};

/* One random network; built twice from the same seed it makes the same calls. */
class Network {
  public:
    /* threads > 1: computed by that many render threads, with parts of partUnits units. */
    Network(uint32_t seed, bool grouping, int32_t threads = 1, int32_t partUnits = 0)
        : rng_(seed) {
        ctx = Vexa_CreateContext();
        EXPECT_EQ(Vexa_Initialize(ctx), 0);
        EXPECT_EQ(Vexa_SetRenderThreads(ctx, threads), 0);
        EXPECT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, -1, kInputChannels, -1,
                                    kOutputChannels),
                  0);
        VexaF_SetGrouping(ctx, grouping);
        VexaF_SetPartUnits(ctx, partUnits);
    }
    ~Network() {
        EXPECT_EQ(Vexa_Terminate(ctx), 0);
        Vexa_DeleteContext(ctx);
    }

    void Build(const std::vector<const UnitInfo *> &types,
               const std::vector<const UnitInfo *> &groupable) {
        const int32_t count = 30 + static_cast<int32_t>(rng_() % 70);
        for (int32_t i = 0; i < count; i++) {
            const bool grouped = rng_() % 2 == 0;
            const UnitInfo *type = grouped ? groupable[rng_() % groupable.size()]
                                           : types[rng_() % types.size()];
            Make(type);
        }
        for (const PortRef &in : inputs_) {
            const uint32_t r = rng_() % 10;
            if (r < 4 && !outputs_.empty()) {
                const PortRef &out = outputs_[rng_() % outputs_.size()];
                Vexa_ConnectUnits(ctx, out.unit, out.port->portID, out.part, in.unit,
                                  in.port->portID, in.part);
            }
        }
        for (const PortRef &bus : busOutputs_) {
            if (busInputs_.empty()) break;
            const PortRef &target = busInputs_[rng_() % busInputs_.size()];
            Vexa_ConnectUnits(ctx, bus.unit, bus.port->portID, 0, target.unit, target.port->portID,
                              0);
        }
        /* Probes: device channels fed by random outputs. */
        for (int32_t ch = 0; ch < kOutputChannels && !outputs_.empty(); ch++) {
            const int32_t probe = Vexa_CreateUnit(ctx, VEXA_UNIT_CHANNEL_OUT, 0, ch);
            const PortRef &out = outputs_[rng_() % outputs_.size()];
            Vexa_ConnectUnits(ctx, out.unit, out.port->portID, out.part, probe, PORTID_INPUT, 0);
            units_.push_back(probe);
        }
        /* A few circuits of stopped units. */
        for (int c = 0; c < 3 && units_.size() > 6; c++) {
            const int32_t members[] = {units_[rng_() % units_.size()],
                                       units_[rng_() % units_.size()]};
            const int32_t circuit = Vexa_CreateCircuit(ctx, members, members[0] == members[1] ? 1 : 2, 0);
            if (circuit > 0) units_.push_back(circuit);
        }
        for (int32_t unit : units_) {
            Vexa_SetPriority(ctx, unit, static_cast<int32_t>(rng_() % 3));
            if (rng_() % 8 != 0) Vexa_StartUnitAt(ctx, static_cast<int32_t>(rng_() % 4), unit);
        }
    }

    /* Timed changes in the coming ticks: starts, stops and port values. */
    void Schedule(int32_t now) {
        for (int i = 0; i < 6; i++) {
            const int32_t tick = now + static_cast<int32_t>(rng_() % 6);
            const int32_t unit = units_[rng_() % units_.size()];
            switch (rng_() % 3) {
            case 0: Vexa_StartUnitAt(ctx, tick, unit); break;
            case 1: Vexa_StopUnitAt(ctx, tick, unit); break;
            default:
                if (!settable_.empty()) {
                    const PortRef &p = settable_[rng_() % settable_.size()];
                    Vexa_SetPortAt(ctx, tick, p.unit, p.port->portID, p.part,
                                   RandomValue(rng_, *p.port));
                }
            }
        }
    }

    /* One tick; returns the device output and every output part of every unit. */
    std::vector<float> Tick(const std::vector<float> &input) {
        std::vector<float> out(64 * kOutputChannels);
        EXPECT_EQ(Vexa_RenderTicks(ctx, input.data(), out.data(), 1), 0);
        for (const PortRef &o : outputs_) {
            VexaThing *thing = VexaF_ThingFromToken(ctx, o.unit);
            if (thing == nullptr) continue;
            const float *values =
                VexaS_GetOutput(reinterpret_cast<VexaUnit *>(thing), o.port, o.part)->values;
            out.insert(out.end(), values, values + 8);
        }
        return out;
    }

    /* Which output value i of Tick's result is: the device output, or an output part of a
     * unit (its token, type and port). */
    std::string Describe(size_t i) const {
        if (i < 64 * kOutputChannels) return "device output";
        const size_t part = (i - 64 * kOutputChannels) / 8;
        if (part >= outputs_.size()) return "past the outputs (" + std::to_string(outputs_.size()) + ")";
        VexaThing *thing = VexaF_ThingFromToken(ctx, outputs_[part].unit);
        if (thing == nullptr) return "a deleted unit";
        char text[96];
        std::snprintf(text, sizeof text, "unit 0x%08x of type 0x%08x, port 0x%08x part %d",
                      static_cast<unsigned>(outputs_[part].unit),
                      static_cast<unsigned>(reinterpret_cast<VexaUnit *>(thing)->descriptor->typeID),
                      static_cast<unsigned>(outputs_[part].port->portID), outputs_[part].part);
        return text;
    }

    VexaContext *ctx = nullptr;

  private:
    std::mt19937 rng_;
    std::vector<int32_t> units_;
    std::vector<PortRef> inputs_, outputs_, settable_, busInputs_, busOutputs_;

    int32_t Argument(const UnitInfo *type) {
        switch (type->typeID) {
        case VEXA_UNIT_CHANNEL_IN: return static_cast<int32_t>(rng_() % 2);
        case VEXA_UNIT_LINE_OUT: return static_cast<int32_t>(rng_() % 7);
        case VEXA_UNIT_CHANNEL_OUT: return static_cast<int32_t>(rng_() % 8);
        default: return static_cast<int32_t>(64 + rng_() % 400); /* delay lengths */
        }
    }

    void Make(const UnitInfo *type) {
        int32_t unit = Vexa_CreateUnit(ctx, type->typeID, 0, Argument(type));
        if (unit < 0) unit = Vexa_CreateUnit(ctx, type->typeID, 0, 0);
        if (unit < 0) return;
        units_.push_back(unit);
        for (int32_t p = 0; p < type->numPorts; p++) {
            const PortInfo &port = type->ports[p];
            for (int32_t part = 0; part < port.numParts; part++) {
                const PortRef ref{unit, &port, part};
                switch (port.portKind) {
                case PORT_INPUT: inputs_.push_back(ref); [[fallthrough]];
                case PORT_VARIABLE:
                    settable_.push_back(ref);
                    if (rng_() % 2) Vexa_SetPort(ctx, unit, port.portID, part, RandomValue(rng_, port));
                    break;
                case PORT_OUTPUT: outputs_.push_back(ref); break;
                case PORT_BUS_INPUT: busInputs_.push_back(ref); break;
                case PORT_BUS_OUTPUT: busOutputs_.push_back(ref); break;
                case PORT_QUEUE: Queue(unit, port); break;
                case PORT_TABLE: UseTable(unit, port); break;
                default: break;
                }
            }
        }
    }

    void Queue(int32_t unit, const PortInfo &port) {
        if (port.queueData == VXT_ENVELOPE) {
            std::vector<double> frames;
            for (int i = 0; i < 4; i++) {
                frames.push_back(0.001 + 0.01 * (rng_() % 10));
                frames.push_back((static_cast<double>(rng_() % 200) - 100.0) / 100.0);
            }
            const int32_t envelope = Vexa_CreateEnvelope(ctx, 4);
            Vexa_WriteEnvelope(ctx, envelope, 0, frames.data(), 4);
            Vexa_QueueData(ctx, unit, port.portID, envelope, 0, 4, VEXA_QUEUE_LOOP);
            return;
        }
        const int32_t channels = port.defaultValue >= 2.0f ? 2 : 1;
        const uint32_t frames = 200 + rng_() % 600;
        std::vector<int16_t> data(frames * channels);
        for (int16_t &v : data) v = static_cast<int16_t>(static_cast<int32_t>(rng_() % 60000) - 30000);
        const int32_t sample = Vexa_CreateSample(ctx, frames, channels);
        Vexa_WriteSample(ctx, sample, 0, data.data(), frames);
        Vexa_QueueData(ctx, unit, port.portID, sample, 0, frames,
                       rng_() % 2 ? VEXA_QUEUE_LOOP : 0u);
    }

    void UseTable(int32_t unit, const PortInfo &port) {
        const uint32_t entries = 17 + rng_() % 200;
        std::vector<double> values(entries);
        for (double &v : values) v = (static_cast<double>(rng_() % 2000) - 1000.0) / 1000.0;
        const int32_t table = Vexa_CreateTable(ctx, entries);
        Vexa_WriteTableDoubles(ctx, table, 0, values.data(), entries);
        Vexa_UseTable(ctx, unit, port.portID, 0, table);
    }
};

/* Renders 24 ticks of two networks built from the same seed, with the same timed changes and
 * input, and fails at the first value that differs; `eachTick` runs after every tick. */
void CompareTicks(Network &tested, Network &plain, uint32_t seed,
                  const std::function<void()> &eachTick) {
    std::mt19937 inputs(seed);
    for (int32_t tick = 0; tick < 24; tick++) {
        if (tick % 8 == 2) {
            tested.Schedule(tick);
            plain.Schedule(tick);
        }
        std::vector<float> input(64 * kInputChannels);
        for (float &v : input) v = static_cast<float>(inputs() % 2000) / 1000.0f - 1.0f;
        const std::vector<float> a = tested.Tick(input), b = plain.Tick(input);
        ASSERT_EQ(a.size(), b.size());
        size_t i = 0;
        while (i < a.size() && SameValue(a[i], b[i])) i++; /* NaNs compare as NaN */
        if (i < a.size()) {
            ADD_FAILURE() << "tick " << tick << ", value " << i << " (" << tested.Describe(i)
                          << "): " << a[i] << " vs " << b[i];
            return;
        }
        eachTick();
    }
}

TEST(Grouping, RandomNetworksComputeTheSameBitsWithAndWithoutGroups) {
    const std::vector<const UnitInfo *> types = AllTypes();
    std::vector<const UnitInfo *> groupable;
    for (const UnitInfo *type : types)
        if (type->groupFunc != nullptr) groupable.push_back(type);
    ASSERT_FALSE(groupable.empty());
    int64_t groupsSeen = 0;
    for (int build = VX_SIMD_BASE; build <= vxtest::MaxBuild(); build++) {
        vxtest::UseBuild(build);
        for (uint32_t seed = 1; seed <= 100; seed++) {
            SCOPED_TRACE(::testing::Message() << "build " << build << ", network " << seed);
            Network grouped(seed, true), plain(seed, false);
            grouped.Build(types, groupable);
            plain.Build(types, groupable);
            CompareTicks(grouped, plain, seed, [&] {
                groupsSeen += VexaS_PlannedGroups(grouped.ctx);
                EXPECT_EQ(VexaS_PlannedGroups(plain.ctx), 0);
            });
            if (::testing::Test::HasFailure()) return;
        }
    }
    vxtest::UseBuild(VX_SIMD_AVX512);
    EXPECT_GT(groupsSeen, 0) << "no network formed a group";
    ::testing::Test::RecordProperty("groups", std::to_string(groupsSeen));
}

/* The same networks computed by 2 and 4 render threads (4 on any number of cores), with and
 * without groups, in parts of the plan's own size and in parts of one entry each (so that many
 * parts wait for each other), against one thread without groups, after every tick. */
TEST(Grouping, RenderThreadsComputeTheSameBits) {
    const std::vector<const UnitInfo *> types = AllTypes();
    std::vector<const UnitInfo *> groupable;
    for (const UnitInfo *type : types)
        if (type->groupFunc != nullptr) groupable.push_back(type);
    struct Setting {
        int32_t threads;
        bool grouping;
        int32_t partUnits;
    };
    const Setting settings[] = {{2, true, 0}, {2, true, 1}, {4, true, 1}, {4, false, 1}, {2, false, 0}};
    int64_t partsSeen = 0;
    uint64_t workerParts = 0;
    for (int build = VX_SIMD_BASE; build <= vxtest::MaxBuild(); build++) {
        vxtest::UseBuild(build);
        for (uint32_t seed = 1; seed <= 100; seed++) {
            const Setting &s = settings[seed % 5];
            SCOPED_TRACE(::testing::Message() << "build " << build << ", network " << seed << ", "
                                              << s.threads << " threads, grouping " << s.grouping
                                              << ", part units " << s.partUnits);
            Network shared(seed, s.grouping, s.threads, s.partUnits), plain(seed, false);
            shared.Build(types, groupable);
            plain.Build(types, groupable);
            CompareTicks(shared, plain, seed, [&] {
                partsSeen += VexaS_PlannedParts(shared.ctx);
                EXPECT_EQ(VexaS_PlannedParts(plain.ctx), 0);
            });
            if (::testing::Test::HasFailure()) return;
            workerParts += VexaS_WorkerParts(shared.ctx);
        }
    }
    vxtest::UseBuild(VX_SIMD_AVX512);
    EXPECT_GT(partsSeen, 0) << "no list was cut into parts";
    EXPECT_GT(workerParts, 0u) << "no worker computed a part";
    ::testing::Test::RecordProperty("parts", std::to_string(partsSeen));
    ::testing::Test::RecordProperty("workerParts", std::to_string(workerParts));
}

} // namespace

namespace {
/* Eight band-limited oscillators in one group, each in another branch of the table function
 * (the plain ramp's fade below 2^-8 of the frame rate, the blends of two tables, the top
 * octave's fading sine, silence beyond the Nyquist frequency, a negative frequency), with the
 * frequencies swept so that every lane crosses levels: grouped and single, the same bits. */
TEST(Grouping, BandLimitedLanesMatchInEveryBranch) {
    const uint32_t types[] = {VEXA_UNIT_SAWTOOTH_OSCILLATOR_BL, VEXA_UNIT_SQUARE_OSCILLATOR_BL,
                              VEXA_UNIT_PULSE_OSCILLATOR_BL, VEXA_UNIT_IMPULSE_OSCILLATOR_BL};
    const double frequencies[] = {3.0, 40.0, 441.0, 5000.0, 15000.0, 21000.0, 30000.0, -700.0};
    for (int build = VX_SIMD_BASE; build <= vxtest::MaxBuild(); build++) {
        vxtest::UseBuild(build);
        for (uint32_t type : types) {
            SCOPED_TRACE(::testing::Message() << "build " << build << ", type 0x" << std::hex
                                              << type);
            std::vector<float> results[2];
            for (int grouped = 0; grouped < 2; grouped++) {
                VexaContext *ctx = Vexa_CreateContext();
                ASSERT_EQ(Vexa_Initialize(ctx), 0);
                ASSERT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, -1, 0, -1, 8), 0);
                VexaF_SetGrouping(ctx, grouped != 0);
                std::vector<int32_t> units;
                for (int k = 0; k < 8; k++) {
                    const int32_t unit = Vexa_CreateUnit(ctx, type, 0, 0);
                    ASSERT_GT(unit, 0);
                    Vexa_SetPort(ctx, unit, PORTID_FREQUENCY, 0, frequencies[k]);
                    Vexa_SetPort(ctx, unit, PORTID_PHASE, 0, 0.1 * k - 0.35);
                    Vexa_SetPort(ctx, unit, PORTID_WIDTH, 0, 0.3);
                    units.push_back(unit);
                }
                for (int k = 0; k < 8; k++) {
                    const int32_t probe = Vexa_CreateUnit(ctx, VEXA_UNIT_CHANNEL_OUT, 0, k);
                    ASSERT_EQ(Vexa_ConnectUnits(ctx, units[k], PORTID_OUTPUT, 0, probe,
                                                PORTID_INPUT, 0),
                              0);
                    Vexa_StartUnit(ctx, units[k]);
                    Vexa_StartUnit(ctx, probe);
                }
                for (int32_t tick = 0; tick < 40; tick++) {
                    if (tick % 5 == 4) { /* sweep: each lane moves by a factor */
                        for (int k = 0; k < 8; k++)
                            Vexa_SetPort(ctx, units[k], PORTID_FREQUENCY, 0,
                                         frequencies[k] * (1.0 + 0.37 * (tick / 5)));
                    }
                    std::vector<float> out(64 * 8);
                    ASSERT_EQ(Vexa_RenderTicks(ctx, nullptr, out.data(), 1), 0);
                    results[grouped].insert(results[grouped].end(), out.begin(), out.end());
                }
                if (grouped) {
                    EXPECT_GT(VexaS_PlannedGroups(ctx), 0);
                }
                EXPECT_EQ(Vexa_Terminate(ctx), 0);
                Vexa_DeleteContext(ctx);
            }
            for (size_t i = 0; i < results[0].size(); i++) {
                ASSERT_TRUE(SameValue(results[0][i], results[1][i]))
                    << "frame " << i / 8 << ", lane " << i % 8 << ": " << results[1][i]
                    << " grouped, " << results[0][i] << " single";
            }
        }
    }
    vxtest::UseBuild(VX_SIMD_AVX512);
}
} // namespace

namespace {
/* A connection (or signal type) changed between batches reaches the plan at the next batch:
 * eight sines run as one group until one reads another's output, then the reader runs after its
 * source, and the output stays the bits of the ungrouped network. (In device mode a change made
 * while a batch runs reaches the plan at the next batch: until then the batch keeps the order it
 * planned, exactly as a connection then takes effect at an unspecified block of that batch.) */
TEST(Grouping, AConnectionReachesThePlanAtTheNextBatch) {
    std::vector<float> results[2];
    int32_t groupsBefore = 0, groupsAfter = 0;
    for (int grouped = 0; grouped < 2; grouped++) {
        VexaContext *ctx = Vexa_CreateContext();
        ASSERT_EQ(Vexa_Initialize(ctx), 0);
        ASSERT_EQ(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, -1, 0, -1, 8), 0);
        VexaF_SetGrouping(ctx, grouped != 0);
        std::vector<int32_t> sines;
        for (int k = 0; k < 8; k++) {
            const int32_t sine = Vexa_CreateUnit(ctx, VEXA_UNIT_SINE_OSCILLATOR, 0, 0);
            Vexa_SetPort(ctx, sine, PORTID_FREQUENCY, 0, 300.0 + 50.0 * k);
            const int32_t probe = Vexa_CreateUnit(ctx, VEXA_UNIT_CHANNEL_OUT, 0, k);
            Vexa_ConnectUnits(ctx, sine, PORTID_OUTPUT, 0, probe, PORTID_INPUT, 0);
            Vexa_StartUnit(ctx, sine);
            Vexa_StartUnit(ctx, probe);
            sines.push_back(sine);
        }
        std::vector<float> out(64 * 8 * 4);
        ASSERT_EQ(Vexa_RenderTicks(ctx, nullptr, out.data(), 4), 0);
        results[grouped].insert(results[grouped].end(), out.begin(), out.end());
        if (grouped) groupsBefore = VexaS_PlannedGroups(ctx);
        /* The last sine's amplitude follows the first's output, from the next batch on. */
        ASSERT_EQ(Vexa_ConnectUnits(ctx, sines[0], PORTID_OUTPUT, 0, sines[7], PORTID_AMPLITUDE, 0),
                  0);
        ASSERT_EQ(Vexa_RenderTicks(ctx, nullptr, out.data(), 4), 0);
        results[grouped].insert(results[grouped].end(), out.begin(), out.end());
        if (grouped) groupsAfter = VexaS_PlannedGroups(ctx);
        EXPECT_EQ(Vexa_Terminate(ctx), 0);
        Vexa_DeleteContext(ctx);
    }
    EXPECT_EQ(groupsBefore, 1) << "the eight sines run as one group";
    EXPECT_EQ(groupsAfter, 1) << "seven run together and the reader after them";
    ASSERT_EQ(results[0].size(), results[1].size());
    EXPECT_EQ(std::memcmp(results[0].data(), results[1].data(), results[0].size() * sizeof(float)),
              0);
}
} // namespace
