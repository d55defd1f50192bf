/*
 * Numeric robustness: NaN, infinities, huge and denormal values set on every settable port of
 * every unit type must not crash or hang the engine, nor disturb other units through what
 * they share (the context's random sequence, the band-limited tables, tables and samples);
 * and silence after loud input must not leave recursive units computing on denormal numbers.
 */
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "velto_units.h"
#include "vx_internal.h"
#include "vx_recursive_units.h"
#include "vx_unit.h"

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kExtremes[] = {std::numeric_limits<double>::quiet_NaN(),
                            kInf,
                            -kInf,
                            1e30,
                            -1e30,
                            3.4028234663852886e38, /* FLT_MAX */
                            1e300,                 /* beyond float: infinity once stored */
                            1e-40,                 /* a denormal float */
                            -2147483649.0};

/* Aborts the process with a description of the step that stopped making progress. */
class Watchdog {
  public:
    explicit Watchdog(double seconds) : limit_(seconds), thread_([this] { Watch(); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    void Step(const std::string &what) {
        std::lock_guard<std::mutex> lock(mutex_);
        what_ = what;
        steps_++;
    }

  private:
    void Watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        uint64_t seen = steps_;
        while (!done_) {
            wake_.wait_for(lock, std::chrono::duration<double>(limit_));
            if (done_) return;
            if (steps_ == seen) {
                std::fprintf(stderr, "hang: no progress for %.0f s at %s\n", limit_, what_.c_str());
                std::fflush(stderr);
                std::abort();
            }
            seen = steps_;
        }
    }
    double limit_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    uint64_t steps_ = 0;
    std::string what_ = "start";
    std::thread thread_;
};

class NumericTest : public ::testing::Test {
  protected:
    VexaContext *ctx = nullptr;

    void SetUp() override { ctx = NewContext(); }
    void TearDown() override { Close(ctx); }

    static VexaContext *NewContext() {
        VexaContext *c = Vexa_CreateContext();
        EXPECT_NE(c, nullptr);
        EXPECT_EQ(Vexa_Initialize(c), 0);
        EXPECT_EQ(Vexa_StartDevices(c, VX_FLAG_NO_DEVICE, 44100.0, 0, 2, 0, 2), 0);
        return c;
    }
    static void Close(VexaContext *c) {
        EXPECT_EQ(Vexa_Terminate(c), 0) << "engine allocations left";
        Vexa_DeleteContext(c);
    }

    static const UnitInfo *Info(VexaContext *c, uint32_t typeID) {
        return VexaF_LookupUnitInfo(c, typeID);
    }

    static OutputPort *Output(VexaContext *c, int32_t token, uint32_t portID, int32_t part = 0) {
        VexaThing *thing = nullptr;
        if (VexaF_ValidateThing(c, token, VXT_UNIT, &thing) < 0) return nullptr;
        VexaUnit *unit = reinterpret_cast<VexaUnit *>(thing);
        for (int i = 0; i < unit->descriptor->numPorts; i++)
            if (unit->descriptor->ports[i].portID == portID)
                return VexaS_GetOutput(unit, &unit->descriptor->ports[i], part);
        return nullptr;
    }

    /* A unit of the type with whatever it needs to run its whole code: a delay line, a table
     * on its table port, a region on its queue port. */
    static int32_t Prepared(VexaContext *c, const UnitInfo *info, int32_t table, int32_t mono,
                            int32_t stereo, int32_t envelope) {
        int32_t unit = Vexa_CreateUnit(c, info->typeID, 0, 64);
        if (unit < 0) unit = Vexa_CreateUnit(c, info->typeID, 0, 0);
        EXPECT_GT(unit, 0) << std::hex << info->typeID;
        for (int i = 0; i < info->numPorts; i++) {
            const PortInfo &port = info->ports[i];
            if (port.portKind == PORT_TABLE) {
                EXPECT_EQ(Vexa_UseTable(c, unit, port.portID, 0, table), 0);
            } else if (port.portKind == PORT_QUEUE) {
                const int32_t data = port.queueData == VXT_ENVELOPE
                                         ? envelope
                                         : (port.defaultValue > 1.5f ? stereo : mono);
                EXPECT_EQ(Vexa_QueueData(c, unit, port.portID, data, 0, 32, VEXA_QUEUE_LOOP), 0)
                    << std::hex << info->typeID;
            }
        }
        return unit;
    }
};

/* Every settable port part of every unit type, each extreme value as given and converted by
 * every signal type, on a running unit that has a table and a playing region. Witness units in
 * the same context must carry on unharmed: a band-limited sawtooth and a wave oscillator give
 * exactly what they give in a context of their own, and white noise stays within [-1, 1]. */
TEST_F(NumericTest, ExtremeValuesOnEverySettablePort) {
    Watchdog watchdog(60.0);

    /* Data the prepared units play, shared by all of them. */
    const int32_t table = Vexa_CreateTable(ctx, 64);
    const int32_t mono = Vexa_CreateSample(ctx, 64, 1);
    const int32_t stereo = Vexa_CreateSample(ctx, 64, 2);
    const int32_t envelope = Vexa_CreateEnvelope(ctx, 64);
    std::vector<double> curve(64), frames(128);
    std::vector<int16_t> shorts(128);
    for (int i = 0; i < 64; i++) curve[i] = std::sin(i * 0.0981747704);
    for (int i = 0; i < 128; i++) shorts[i] = static_cast<int16_t>((i * 997) % 60000 - 30000);
    for (int i = 0; i < 64; i++) frames[2 * i] = 0.001 * (i % 5), frames[2 * i + 1] = curve[i];
    ASSERT_EQ(Vexa_WriteTableDoubles(ctx, table, 0, curve.data(), 64), 0);
    ASSERT_EQ(Vexa_WriteSample(ctx, mono, 0, shorts.data(), 64), 0);
    ASSERT_EQ(Vexa_WriteSample(ctx, stereo, 0, shorts.data(), 64), 0);
    ASSERT_EQ(Vexa_WriteEnvelope(ctx, envelope, 0, frames.data(), 64), 0);

    /* Witnesses, started before the first batch; a reference context runs the same two. */
    VexaContext *reference = NewContext();
    int32_t witnesses[2][2];
    VexaContext *both[2] = {ctx, reference};
    for (int k = 0; k < 2; k++) {
        const int32_t wavetable = Vexa_CreateTable(both[k], 64);
        ASSERT_EQ(Vexa_WriteTableDoubles(both[k], wavetable, 0, curve.data(), 64), 0);
        witnesses[k][0] = Vexa_CreateUnit(both[k], VEXA_UNIT_SAWTOOTH_OSCILLATOR_BL, 0, 0);
        witnesses[k][1] = Vexa_CreateUnit(both[k], VEXA_UNIT_WAVE_OSCILLATOR, 0, 0);
        ASSERT_EQ(Vexa_UseTable(both[k], witnesses[k][1], PORTID_TABLE, 0, wavetable), 0);
        for (int32_t w : witnesses[k]) {
            ASSERT_EQ(Vexa_SetPort(both[k], w, PORTID_FREQUENCY, 0, 331.0), 0);
            ASSERT_EQ(Vexa_StartUnit(both[k], w), 0);
        }
    }
    const int32_t noise = Vexa_CreateUnit(ctx, VEXA_UNIT_WHITE_NOISE, 0, 0);
    ASSERT_EQ(Vexa_StartUnit(ctx, noise), 0);

    int combinations = 0;
    for (const UnitInfo *info = ctx->vxf_UnitTypes; info != nullptr; info = info->next) {
        for (int p = 0; p < info->numPorts; p++) {
            const PortInfo &port = info->ports[p];
            if ((port.portKind & (PORT_INPUT | PORT_VARIABLE)) == 0) continue;
            for (int part = 0; part < port.numParts; part++) {
                for (int signal = -1; signal <= VEXA_SIGNAL_RAW; signal++) {
                    for (double value : kExtremes) {
                        char what[160];
                        std::snprintf(what, sizeof what, "type 0x%08x port 0x%08x part %d signal %d value %g",
                                      info->typeID, port.portID, part, signal, value);
                        watchdog.Step(what);
                        const int32_t unit = Prepared(ctx, info, table, mono, stereo, envelope);
                        if (signal >= 0) {
                            ASSERT_EQ(Vexa_SetPortSignalType(ctx, unit, port.portID, part, signal), 0)
                                << what;
                        }
                        ASSERT_EQ(Vexa_SetPort(ctx, unit, port.portID, part, value), 0) << what;
                        ASSERT_EQ(Vexa_StartUnit(ctx, unit), 0) << what;
                        ASSERT_EQ(Vexa_RenderTicks(ctx, nullptr, nullptr, 2), 0) << what;
                        double read = 0.0;
                        ASSERT_EQ(Vexa_ReadPort(ctx, unit, port.portID, part, &read), 0) << what;
                        ASSERT_EQ(Vexa_Delete(ctx, unit), 0) << what;
                        combinations++;
                    }
                    if (port.portKind != PORT_INPUT && port.portKind != PORT_VARIABLE) break;
                }
            }
        }
    }
    EXPECT_GT(combinations, 10000);
    std::printf("%d combinations of unit type, port part, signal type and value\n", combinations);

    /* The reference renders as many ticks as the poisoned context has. */
    const int32_t ticks = Vexa_GetTickCount(ctx);
    ASSERT_EQ(Vexa_RenderTicks(reference, nullptr, nullptr, ticks - Vexa_GetTickCount(reference)), 0);
    float lowest = 0.0f, highest = 0.0f;
    for (int tick = 0; tick < 16; tick++) {
        ASSERT_EQ(Vexa_RenderTicks(ctx, nullptr, nullptr, 1), 0);
        ASSERT_EQ(Vexa_RenderTicks(reference, nullptr, nullptr, 1), 0);
        for (int w = 0; w < 2; w++) {
            const OutputPort *mine = Output(ctx, witnesses[0][w], PORTID_OUTPUT);
            const OutputPort *theirs = Output(reference, witnesses[1][w], PORTID_OUTPUT);
            ASSERT_NE(mine, nullptr);
            ASSERT_NE(theirs, nullptr);
            for (int i = 0; i < 8; i++)
                ASSERT_EQ(mine->values[i], theirs->values[i]) << "witness " << w << " tick " << tick;
        }
        const OutputPort *white = Output(ctx, noise, PORTID_OUTPUT);
        for (float v : white->values) {
            ASSERT_TRUE(std::isfinite(v));
            lowest = std::min(lowest, v);
            highest = std::max(highest, v);
        }
    }
    EXPECT_GE(lowest, -1.0f);
    EXPECT_LE(highest, 1.0f);
    EXPECT_LT(lowest, -0.1f) << "the random sequence looks stuck";
    EXPECT_GT(highest, 0.1f) << "the random sequence looks stuck";
    Close(reference);
}

/* Extreme values reaching units through connections rather than set values: a unit whose
 * output is NaN or infinite feeds every input of every type. */
TEST_F(NumericTest, ExtremeSignalsThroughConnections) {
    Watchdog watchdog(60.0);
    const int32_t table = Vexa_CreateTable(ctx, 16);
    const int32_t mono = Vexa_CreateSample(ctx, 64, 1);
    const int32_t stereo = Vexa_CreateSample(ctx, 64, 2);
    const int32_t envelope = Vexa_CreateEnvelope(ctx, 64);
    std::vector<double> frames(128, 0.01);
    ASSERT_EQ(Vexa_WriteEnvelope(ctx, envelope, 0, frames.data(), 64), 0);

    /* Add with raw inputs passes any value through. */
    for (double value : kExtremes) {
        const int32_t source = Vexa_CreateUnit(ctx, VEXA_UNIT_ADD, 0, 0);
        ASSERT_EQ(Vexa_SetPortSignalType(ctx, source, PORTID_INPUT_A, 0, VEXA_SIGNAL_RAW), 0);
        ASSERT_EQ(Vexa_SetPort(ctx, source, PORTID_INPUT_A, 0, value), 0);
        ASSERT_EQ(Vexa_SetPort(ctx, source, PORTID_INPUT_B, 0, 0.0), 0);
        ASSERT_EQ(Vexa_SetPriority(ctx, source, 2), 0); /* runs before the units it feeds */
        ASSERT_EQ(Vexa_StartUnit(ctx, source), 0);
        for (const UnitInfo *info = ctx->vxf_UnitTypes; info != nullptr; info = info->next) {
            char what[96];
            std::snprintf(what, sizeof what, "type 0x%08x fed %g", info->typeID, value);
            watchdog.Step(what);
            const int32_t unit = Prepared(ctx, info, table, mono, stereo, envelope);
            for (int p = 0; p < info->numPorts; p++) {
                const PortInfo &port = info->ports[p];
                if (port.portKind != PORT_INPUT) continue;
                for (int part = 0; part < port.numParts; part++)
                    ASSERT_EQ(Vexa_ConnectUnits(ctx, source, PORTID_OUTPUT, 0, unit, port.portID, part), 0)
                        << what;
            }
            ASSERT_EQ(Vexa_StartUnit(ctx, unit), 0);
            ASSERT_EQ(Vexa_RenderTicks(ctx, nullptr, nullptr, 3), 0) << what;
            ASSERT_EQ(Vexa_Delete(ctx, unit), 0);
        }
        ASSERT_EQ(Vexa_Delete(ctx, source), 0);
    }
}

/* Loud input, then ten seconds of silence: no output of a recursive unit may be a denormal
 * number at the end (the units add or subtract a tiny offset, or snap tiny values, so that
 * their state never decays into the slow range). */
TEST_F(NumericTest, SilenceAfterLoudInputLeavesNoDenormals) {
    std::vector<int32_t> units;
    for (const vxtest::RecursiveUnit &c : vxtest::RecursiveUnits()) {
        int32_t unit = Vexa_CreateUnit(ctx, c.typeID, 0, 1000);
        if (unit < 0) unit = Vexa_CreateUnit(ctx, c.typeID, 0, 0);
        ASSERT_GT(unit, 0) << c.name;
        for (const vxtest::PortSetting &s : c.settings) {
            const int32_t r = Vexa_SetPort(ctx, unit, s.port, 0, s.value);
            ASSERT_TRUE(r == 0) << c.name << " port " << std::hex << s.port << ": " << std::dec << r;
        }
        ASSERT_EQ(Vexa_StartUnit(ctx, unit), 0);
        units.push_back(unit);
    }
    /* One second of a loud square wave (+1 and -1 on alternate ticks), then silence. */
    for (int tick = 0; tick < 690; tick++) {
        for (int32_t unit : units)
            ASSERT_EQ(Vexa_SetPort(ctx, unit, PORTID_INPUT, 0, tick % 2 ? -1.0 : 1.0), 0);
        ASSERT_EQ(Vexa_RenderTicks(ctx, nullptr, nullptr, 1), 0);
    }
    for (int32_t unit : units) ASSERT_EQ(Vexa_SetPort(ctx, unit, PORTID_INPUT, 0, 0.0), 0);
    /* Ten seconds of silence, every output checked after every tick: a decay that passes
     * through the denormal range on its way to 0 is caught too. */
    std::vector<std::string> firstDenormal(units.size());
    for (int tick = 0; tick < 6891; tick++) {
        ASSERT_EQ(Vexa_RenderTicks(ctx, nullptr, nullptr, 1), 0);
        for (size_t k = 0; k < units.size(); k++) {
            if (!firstDenormal[k].empty()) continue;
            VexaThing *thing = nullptr;
            ASSERT_EQ(VexaF_ValidateThing(ctx, units[k], VXT_UNIT, &thing), 0);
            VexaUnit *unit = reinterpret_cast<VexaUnit *>(thing);
            for (int p = 0; p < unit->descriptor->numPorts; p++) {
                const PortInfo &port = unit->descriptor->ports[p];
                if (port.portKind != PORT_OUTPUT) continue;
                for (int part = 0; part < port.numParts; part++)
                    for (float v : VexaS_GetOutput(unit, &port, part)->values)
                        if (std::fpclassify(v) == FP_SUBNORMAL && firstDenormal[k].empty())
                            firstDenormal[k] = "output " + std::to_string(port.portID) + " = " +
                                               std::to_string(v) + " after " +
                                               std::to_string(tick) + " ticks of silence";
            }
        }
    }
    for (size_t k = 0; k < units.size(); k++)
        EXPECT_TRUE(firstDenormal[k].empty())
            << vxtest::RecursiveUnits()[k].name << ": " << firstDenormal[k];
}

} // namespace
