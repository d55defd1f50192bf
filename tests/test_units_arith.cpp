/*
 * Arithmetic, logic, mixing and simple stateful units, and the context's random sequence.
 *
 * Most checks are frame-exact: inputs are driven by sawtooth oscillators, every input and
 * output is recorded through its own ChannelOut, and the recorded outputs are compared bit
 * for bit with a plain computation of each formula (in double, rounded to float) from the
 * recorded inputs.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "velto_units.h"
#include "vx_internal.h"
#include "vx_test_support.h"

namespace {

constexpr float kAmplitudeDefault = 0.999969482421875f; /* 32767/32768 */
constexpr int32_t kNotAccepted = VXERR_INVALID_PORT_TYPE;

using Signals = std::vector<std::vector<float>>;

struct PortRef {
    uint32_t port;
    int32_t part;
};

/* One output or input to record: a port of a unit. */
struct Tap {
    int32_t unit;
    uint32_t port;
    int32_t part;
};

/* Records several ports at once, one ChannelOut per port. */
class ArithTest : public vxtest::EngineTest {
  protected:
    ArithTest() { outputChannels = 8; }

    /* Runs `sources` before `units` and the probes after both (by priority), renders, and
     * returns one signal per tap. */
    Signals Run(const std::vector<int32_t> &sources, const std::vector<int32_t> &units,
                const std::vector<Tap> &taps, int32_t numTicks) {
        EXPECT_LE(taps.size(), static_cast<size_t>(outputChannels));
        for (int32_t source : sources) {
            EXPECT_EQ(Vexa_SetPriority(ctx, source, 2), 0);
            Start(source);
        }
        for (int32_t unit : units) Start(unit);
        for (size_t i = 0; i < taps.size(); i++) {
            int32_t probe = Unit(VEXA_UNIT_CHANNEL_OUT, static_cast<int32_t>(i));
            EXPECT_EQ(Vexa_ConnectUnits(ctx, taps[i].unit, taps[i].port, taps[i].part, probe,
                                        VEXA_PORT_INPUT, 0),
                      0);
            EXPECT_EQ(Vexa_SetPriority(ctx, probe, 0), 0);
            Start(probe);
        }
        return RenderChannels(numTicks, taps.size());
    }

    /* Renders and returns the first `count` channels, one signal each. */
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

    int32_t Saw(double frequency, double amplitude) {
        int32_t saw = Unit(VEXA_UNIT_SAWTOOTH_OSCILLATOR);
        Set(saw, VEXA_PORT_FREQUENCY, frequency);
        Set(saw, VEXA_PORT_AMPLITUDE, amplitude);
        return saw;
    }

    /* Makes an input take set values unchanged, whatever its declared signal type. */
    void Raw(int32_t unit, uint32_t port, int32_t part = 0) {
        EXPECT_EQ(Vexa_SetPortSignalType(ctx, unit, port, part, VEXA_SIGNAL_RAW), 0);
    }

    void Restart() {
        StopEngine();
        StartEngine();
    }
};

float F(double x) { return static_cast<float>(x); }

double Clip02(double x) { return x < 0.0 ? 0.0 : (x > 2.0 ? 2.0 : x); }

/* ---- Descriptors -------------------------------------------------------------------- */

struct PortExpectation {
    uint32_t port;
    int32_t parts;
    int32_t signalType; /* kNotAccepted for outputs */
    float initial;      /* value read right after creation */
};

struct DescriptorCase {
    const char *name;
    uint32_t type;
    std::vector<PortExpectation> ports;
};

const PortExpectation A_RAW{VEXA_PORT_INPUT_A, 1, VEXA_SIGNAL_RAW, 0.0f},
    B_RAW{VEXA_PORT_INPUT_B, 1, VEXA_SIGNAL_RAW, 0.0f},
    C_RAW{VEXA_PORT_INPUT_C, 1, VEXA_SIGNAL_RAW, 0.0f},
    OUT_RAW{VEXA_PORT_OUTPUT, 1, kNotAccepted, 0.0f};

const std::vector<DescriptorCase> kDescriptors = {
    {"Add", VEXA_UNIT_ADD, {A_RAW, B_RAW, OUT_RAW}},
    {"Subtract", VEXA_UNIT_SUBTRACT, {A_RAW, B_RAW, OUT_RAW}},
    {"Multiply", VEXA_UNIT_MULTIPLY, {A_RAW, B_RAW, OUT_RAW}},
    {"Divide", VEXA_UNIT_DIVIDE, {A_RAW, B_RAW, OUT_RAW}},
    {"MultiplyAdd", VEXA_UNIT_MULTIPLY_ADD, {A_RAW, B_RAW, C_RAW, OUT_RAW}},
    {"AddUnsigned",
     VEXA_UNIT_ADD_UNSIGNED,
     {{VEXA_PORT_INPUT_A, 1, VEXA_SIGNAL_UNSIGNED, 0.0f},
      {VEXA_PORT_INPUT_B, 1, VEXA_SIGNAL_UNSIGNED, 0.0f},
      OUT_RAW}},
    {"MultiplyUnsigned",
     VEXA_UNIT_MULTIPLY_UNSIGNED,
     {{VEXA_PORT_INPUT_A, 1, VEXA_SIGNAL_UNSIGNED, 0.0f},
      {VEXA_PORT_INPUT_B, 1, VEXA_SIGNAL_UNSIGNED, 0.0f},
      OUT_RAW}},
    {"MultiplyAddUnsigned",
     VEXA_UNIT_MULTIPLY_ADD_UNSIGNED,
     {{VEXA_PORT_INPUT_A, 1, VEXA_SIGNAL_SIGNED, 0.0f},
      {VEXA_PORT_INPUT_B, 1, VEXA_SIGNAL_SIGNED, 0.0f},
      {VEXA_PORT_INPUT_C, 1, VEXA_SIGNAL_UNSIGNED, 0.0f},
      OUT_RAW}},
    {"Minimum", VEXA_UNIT_MINIMUM, {A_RAW, B_RAW, OUT_RAW}},
    {"Maximum", VEXA_UNIT_MAXIMUM, {A_RAW, B_RAW, OUT_RAW}},
    {"Compare", VEXA_UNIT_COMPARE, {A_RAW, B_RAW, OUT_RAW}},
    {"Select",
     VEXA_UNIT_SELECT,
     {A_RAW, B_RAW, {VEXA_PORT_SELECT, 1, VEXA_SIGNAL_SIGNED, 0.0f}, OUT_RAW}},
    {"Latch",
     VEXA_UNIT_LATCH,
     {{VEXA_PORT_INPUT, 1, VEXA_SIGNAL_RAW, 0.0f},
      {VEXA_PORT_GATE, 1, VEXA_SIGNAL_SIGNED, 0.0f},
      OUT_RAW}},
    {"Schmidt",
     VEXA_UNIT_SCHMIDT,
     {{VEXA_PORT_INPUT, 1, VEXA_SIGNAL_RAW, 0.0f},
      {VEXA_PORT_SET_LEVEL, 1, VEXA_SIGNAL_RAW, 0.0f},
      {VEXA_PORT_RESET_LEVEL, 1, VEXA_SIGNAL_RAW, 0.0f},
      {VEXA_PORT_SET_TRIGGER, 1, kNotAccepted, 0.0f},
      OUT_RAW}},
    {"CrossFade",
     VEXA_UNIT_CROSS_FADE,
     {{VEXA_PORT_INPUT, 2, VEXA_SIGNAL_RAW, 0.0f},
      {VEXA_PORT_FADE, 1, VEXA_SIGNAL_SIGNED, 0.0f},
      OUT_RAW}},
    {"FourWayFade",
     VEXA_UNIT_FOUR_WAY_FADE,
     {{VEXA_PORT_INPUT, 4, VEXA_SIGNAL_RAW, 0.0f},
      {VEXA_PORT_FADE, 2, VEXA_SIGNAL_SIGNED, 0.0f},
      OUT_RAW}},
    {"Pan",
     VEXA_UNIT_PAN,
     {{VEXA_PORT_INPUT, 1, VEXA_SIGNAL_RAW, 0.0f},
      {VEXA_PORT_PAN, 1, VEXA_SIGNAL_SIGNED, 0.0f},
      {VEXA_PORT_OUTPUT, 2, kNotAccepted, 0.0f}}},
    {"PanControl",
     VEXA_UNIT_PAN_CONTROL,
     {{VEXA_PORT_PAN, 1, VEXA_SIGNAL_SIGNED, 0.0f}, {VEXA_PORT_OUTPUT, 2, kNotAccepted, 0.0f}}},
    {"Integrate",
     VEXA_UNIT_INTEGRATE,
     {{VEXA_PORT_INPUT, 1, VEXA_SIGNAL_RAW, 0.0f},
      {VEXA_PORT_LOWER_LIMIT, 1, VEXA_SIGNAL_RAW, -1.0f},
      {VEXA_PORT_UPPER_LIMIT, 1, VEXA_SIGNAL_RAW, 1.0f},
      OUT_RAW}},
    {"MassSpring",
     VEXA_UNIT_MASS_SPRING,
     {{VEXA_PORT_INPUT, 1, VEXA_SIGNAL_RAW, 0.0f},
      {VEXA_PORT_STIFFNESS, 1, VEXA_SIGNAL_RAW, 0.0f},
      {VEXA_PORT_DAMPING, 1, VEXA_SIGNAL_RAW, 0.0f},
      {VEXA_PORT_AMPLITUDE, 1, VEXA_SIGNAL_RAW, kAmplitudeDefault},
      OUT_RAW}},
};

TEST_F(ArithTest, DescriptorsGivePortsPartsSignalTypesAndCreationDefaults) {
    for (const DescriptorCase &c : kDescriptors) {
        SCOPED_TRACE(c.name);
        int32_t unit = Unit(c.type);
        for (const PortExpectation &p : c.ports) {
            SCOPED_TRACE(testing::Message() << "port 0x" << std::hex << p.port);
            EXPECT_EQ(Vexa_GetNumParts(ctx, unit, p.port), p.parts);
            for (int32_t part = 0; part < p.parts; part++) {
                EXPECT_EQ(Vexa_GetPortSignalType(ctx, unit, p.port, part), p.signalType);
                EXPECT_EQ(Get(unit, p.port, part), static_cast<double>(p.initial));
            }
        }
        /* A port of another unit type is not found. */
        EXPECT_EQ(Vexa_GetNumParts(ctx, unit, VEXA_PORT_FREQUENCY), VXERR_NOT_FOUND);
    }
}

/* ---- Every formula against a plain computation, with inputs varying every frame ---- */

/* An input driven by a sawtooth (values change every frame), or held at a set value. */
struct Drive {
    PortRef input;
    double frequency; /* of the driving sawtooth; 0 for a held value */
    double value;     /* sawtooth amplitude, or the held value */
};

using Reference = std::function<Signals(const Signals &inputs)>;

/* A stateless formula applied frame by frame. */
Reference PerFrame(std::function<std::vector<float>(const std::vector<double> &)> formula,
                   size_t numOutputs = 1) {
    return [formula, numOutputs](const Signals &in) {
        Signals out(numOutputs);
        std::vector<double> x(in.size());
        for (size_t n = 0; n < in[0].size(); n++) {
            for (size_t k = 0; k < in.size(); k++) x[k] = in[k][n];
            std::vector<float> y = formula(x);
            for (size_t k = 0; k < numOutputs; k++) out[k].push_back(y[k]);
        }
        return out;
    };
}

Reference Single(std::function<double(const std::vector<double> &)> formula) {
    return PerFrame([formula](const std::vector<double> &x) {
        return std::vector<float>{F(formula(x))};
    });
}

Signals LatchReference(const Signals &in) {
    Signals out(1);
    float held = 0.0f;
    for (size_t n = 0; n < in[0].size(); n++) {
        if (in[1][n] > 0.0f) held = in[0][n];
        out[0].push_back(held);
    }
    return out;
}

/* Sum held in double within a block and stored as float at its end; the limits come from the
 * block's first frame. */
Signals IntegrateReference(const Signals &in) {
    Signals out(1);
    float accumulator = 0.0f;
    for (size_t block = 0; block * 8 < in[0].size(); block++) {
        const double lower = in[1][block * 8];
        const double upper = in[2][block * 8];
        double s = accumulator;
        for (size_t n = block * 8; n < block * 8 + 8; n++) {
            s = s + in[0][n];
            if (s > upper) {
                s = upper;
            } else if (s < lower) {
                s = lower;
            }
            out[0].push_back(F(s));
        }
        accumulator = F(s);
    }
    return out;
}

Signals MassSpringReference(const Signals &in) {
    Signals out(1);
    float position = 0.0f, velocity = 0.0f;
    for (size_t block = 0; block * 8 < in[0].size(); block++) {
        double x = position, v = velocity;
        for (size_t n = block * 8; n < block * 8 + 8; n++) {
            v = v - x * static_cast<double>(in[1][n]);
            v = v - v * static_cast<double>(in[2][n]) + static_cast<double>(in[0][n]);
            x = x + v;
            out[0].push_back(F(x)); /* Amplitude (in[3]) does not scale the output. */
        }
        position = F(x);
        velocity = F(v);
    }
    return out;
}

/* Outputs: SetTrigger, Output. The trigger starts reset (Output is cleared at start). */
Signals SchmidtReference(const Signals &in) {
    Signals out(2);
    bool isSet = false;
    for (size_t n = 0; n < in[0].size(); n++) {
        if (n % 8 == 0) isSet = n > 0 && out[1][n - 1] > 0.0f;
        float trigger = 0.0f;
        if (isSet) {
            if (in[0][n] <= in[2][n]) isSet = false;
        } else if (in[0][n] > in[1][n]) {
            isSet = true;
            trigger = 1.0f;
        }
        out[0].push_back(trigger);
        out[1].push_back(isSet ? 1.0f : 0.0f);
    }
    return out;
}

struct FormulaCase {
    const char *name;
    uint32_t type;
    std::vector<Drive> inputs;
    std::vector<PortRef> outputs;
    Reference reference;
};

const std::vector<FormulaCase> &FormulaCases() {
    const PortRef A{VEXA_PORT_INPUT_A, 0}, B{VEXA_PORT_INPUT_B, 0}, C{VEXA_PORT_INPUT_C, 0},
        OUT{VEXA_PORT_OUTPUT, 0};
    /* Sawtooth drives: amplitudes above 1 reach past the unsigned clip points. */
    static const std::vector<FormulaCase> cases = {
        {"Add", VEXA_UNIT_ADD, {{A, 1234.5, 1.75}, {B, 3210.9, 2.5}}, {OUT},
         Single([](auto &x) { return x[0] + x[1]; })},
        {"Subtract", VEXA_UNIT_SUBTRACT, {{A, 1234.5, 1.75}, {B, 3210.9, 2.5}}, {OUT},
         Single([](auto &x) { return x[0] - x[1]; })},
        {"Multiply", VEXA_UNIT_MULTIPLY, {{A, 1234.5, 1.75}, {B, 3210.9, 2.5}}, {OUT},
         Single([](auto &x) { return x[0] * x[1]; })},
        {"Divide", VEXA_UNIT_DIVIDE, {{A, 1234.5, 1.75}, {B, 3210.9, 2.5}}, {OUT},
         Single([](auto &x) { return x[0] / (x[1] == 0.0 ? 1.0e-7f : x[1]); })},
        {"MultiplyAdd", VEXA_UNIT_MULTIPLY_ADD,
         {{A, 1234.5, 1.75}, {B, 3210.9, 2.5}, {C, 777.7, 0.9}}, {OUT},
         Single([](auto &x) { return x[0] * x[1] + x[2]; })},
        {"AddUnsigned", VEXA_UNIT_ADD_UNSIGNED, {{A, 1234.5, 1.75}, {B, 3210.9, 2.5}}, {OUT},
         Single([](auto &x) { return Clip02(x[0] + x[1]); })},
        {"MultiplyUnsigned", VEXA_UNIT_MULTIPLY_UNSIGNED, {{A, 1234.5, 1.75}, {B, 3210.9, 2.5}},
         {OUT}, Single([](auto &x) { return Clip02(x[0] * x[1]); })},
        {"MultiplyAddUnsigned", VEXA_UNIT_MULTIPLY_ADD_UNSIGNED,
         {{A, 1234.5, 1.75}, {B, 3210.9, 2.5}, {C, 777.7, 1.5}}, {OUT},
         Single([](auto &x) { return Clip02(x[0] * x[1] + x[2]); })},
        {"Minimum", VEXA_UNIT_MINIMUM, {{A, 1234.5, 1.75}, {B, 3210.9, 2.5}}, {OUT},
         Single([](auto &x) { return x[0] < x[1] ? x[0] : x[1]; })},
        {"Maximum", VEXA_UNIT_MAXIMUM, {{A, 1234.5, 1.75}, {B, 3210.9, 2.5}}, {OUT},
         Single([](auto &x) { return x[0] > x[1] ? x[0] : x[1]; })},
        {"Compare", VEXA_UNIT_COMPARE, {{A, 1234.5, 1.75}, {B, 3210.9, 2.5}}, {OUT},
         Single([](auto &x) { return x[0] > x[1] ? 1.0 : 0.0; })},
        {"Select", VEXA_UNIT_SELECT,
         {{A, 1234.5, 1.75}, {B, 3210.9, 2.5}, {{VEXA_PORT_SELECT, 0}, 2345.6, 1.0}},
         {OUT}, Single([](auto &x) { return x[2] > 0.0 ? x[1] : x[0]; })},
        {"CrossFade", VEXA_UNIT_CROSS_FADE,
         {{{VEXA_PORT_INPUT, 0}, 1234.5, 1.75},
          {{VEXA_PORT_INPUT, 1}, 3210.9, 2.5},
          {{VEXA_PORT_FADE, 0}, 987.6, 1.0}},
         {OUT}, Single([](auto &x) {
             double f = x[2] * 0.5 + 0.5;
             return (1.0 - f) * x[0] + f * x[1];
         })},
        {"FourWayFade", VEXA_UNIT_FOUR_WAY_FADE,
         {{{VEXA_PORT_INPUT, 0}, 1234.5, 1.75},
          {{VEXA_PORT_INPUT, 1}, 3210.9, 2.5},
          {{VEXA_PORT_INPUT, 2}, 777.7, 0.9},
          {{VEXA_PORT_INPUT, 3}, 5001.3, 1.3},
          {{VEXA_PORT_FADE, 0}, 987.6, 1.0},
          {{VEXA_PORT_FADE, 1}, 2345.6, 1.0}},
         {OUT}, Single([](auto &x) {
             double fx = x[4] * 0.5 + 0.5, fy = x[5] * 0.5 + 0.5;
             return fy * ((1.0 - fx) * x[0] + fx * x[1]) +
                    (1.0 - fy) * ((1.0 - fx) * x[3] + fx * x[2]);
         })},
        {"Pan", VEXA_UNIT_PAN,
         {{{VEXA_PORT_INPUT, 0}, 1234.5, 1.75}, {{VEXA_PORT_PAN, 0}, 987.6, 1.0}},
         {{VEXA_PORT_OUTPUT, 0}, {VEXA_PORT_OUTPUT, 1}}, PerFrame([](auto &x) {
             double f = x[1] * 0.5 + 0.5;
             return std::vector<float>{F(x[0] * (1.0 - f)), F(x[0] * f)};
         }, 2)},
        {"PanControl", VEXA_UNIT_PAN_CONTROL, {{{VEXA_PORT_PAN, 0}, 987.6, 1.0}},
         {{VEXA_PORT_OUTPUT, 0}, {VEXA_PORT_OUTPUT, 1}}, PerFrame([](auto &x) {
             double f = x[0] * 0.5 + 0.5;
             return std::vector<float>{F(1.0 - f), F(f)};
         }, 2)},
        {"Latch", VEXA_UNIT_LATCH,
         {{{VEXA_PORT_INPUT, 0}, 1234.5, 1.75}, {{VEXA_PORT_GATE, 0}, 300.1, 1.0}}, {OUT},
         LatchReference},
        /* Limits that move within a block and cross each other now and then. */
        {"Integrate", VEXA_UNIT_INTEGRATE,
         {{{VEXA_PORT_INPUT, 0}, 1234.5, 0.3},
          {{VEXA_PORT_LOWER_LIMIT, 0}, 2210.9, 0.9},
          {{VEXA_PORT_UPPER_LIMIT, 0}, 1777.7, 1.2}},
         {OUT}, IntegrateReference},
        {"MassSpring", VEXA_UNIT_MASS_SPRING,
         {{{VEXA_PORT_INPUT, 0}, 1234.5, 0.01},
          {{VEXA_PORT_STIFFNESS, 0}, 210.9, 0.02},
          {{VEXA_PORT_DAMPING, 0}, 0.0, 0.05},
          {{VEXA_PORT_AMPLITUDE, 0}, 0.0, 0.5}},
         {OUT}, MassSpringReference},
        {"Schmidt", VEXA_UNIT_SCHMIDT,
         {{{VEXA_PORT_INPUT, 0}, 1234.5, 1.0},
          {{VEXA_PORT_SET_LEVEL, 0}, 3210.9, 0.6},
          {{VEXA_PORT_RESET_LEVEL, 0}, 777.7, 0.6}},
         {{VEXA_PORT_SET_TRIGGER, 0}, OUT}, SchmidtReference},
    };
    return cases;
}

TEST_F(ArithTest, EveryFormulaMatchesAPlainComputationFrameByFrame) {
    constexpr int32_t kTicks = 4;
    for (const FormulaCase &c : FormulaCases()) {
        SCOPED_TRACE(c.name);
        Restart();
        int32_t unit = Unit(c.type);
        std::vector<int32_t> sources;
        std::vector<Tap> taps;
        std::vector<float> held(c.inputs.size());
        for (size_t k = 0; k < c.inputs.size(); k++) {
            const Drive &d = c.inputs[k];
            if (d.frequency == 0.0) {
                Set(unit, d.input.port, d.value, d.input.part);
                held[k] = F(d.value);
                continue;
            }
            int32_t saw = Saw(d.frequency, d.value);
            ASSERT_EQ(
                Vexa_ConnectUnits(ctx, saw, VEXA_PORT_OUTPUT, 0, unit, d.input.port, d.input.part),
                0);
            sources.push_back(saw);
            taps.push_back({saw, VEXA_PORT_OUTPUT, 0});
        }
        for (const PortRef &o : c.outputs) taps.push_back({unit, o.port, o.part});
        Signals recorded = Run(sources, {unit}, taps, kTicks);

        Signals inputs;
        size_t tap = 0;
        for (size_t k = 0; k < c.inputs.size(); k++) {
            if (c.inputs[k].frequency == 0.0) {
                inputs.emplace_back(kTicks * 64, held[k]);
            } else {
                inputs.push_back(recorded[tap++]);
            }
        }
        /* The first input must really change from frame to frame. */
        EXPECT_NE(inputs[0][1], inputs[0][2]);

        Signals expected = c.reference(inputs);
        for (size_t k = 0; k < c.outputs.size(); k++) {
            const std::vector<float> &got = recorded[tap + k];
            ASSERT_EQ(got.size(), expected[k].size());
            EXPECT_NE(*std::min_element(got.begin(), got.end()),
                      *std::max_element(got.begin(), got.end()))
                << "output " << k << " never changes";
            int mismatches = 0;
            for (size_t n = 0; n < got.size() && mismatches < 5; n++) {
                if (got[n] != expected[k][n]) {
                    ADD_FAILURE() << "output " << k << " frame " << n << ": got " << got[n]
                                  << ", expected " << expected[k][n];
                    mismatches++;
                }
            }
        }
    }
}

/* ---- Edge cases with held values ---------------------------------------------------- */

struct HeldCase {
    const char *name;
    uint32_t type;
    std::vector<std::pair<PortRef, double>> inputs;
    PortRef output;
    float expected;
};

/* Inputs are set as raw values, so each case reaches the unit function unchanged. */
const std::vector<HeldCase> &HeldCases() {
    const PortRef A{VEXA_PORT_INPUT_A, 0}, B{VEXA_PORT_INPUT_B, 0}, C{VEXA_PORT_INPUT_C, 0},
        OUT{VEXA_PORT_OUTPUT, 0};
    const double zeroDivisor = std::bit_cast<float>(0x33d6bf95u); /* 1.0e-7 as a float */
    static const std::vector<HeldCase> cases = {
        {"divide by +0", VEXA_UNIT_DIVIDE, {{A, 3.0}, {B, 0.0}}, OUT, F(3.0 / zeroDivisor)},
        {"divide by -0", VEXA_UNIT_DIVIDE, {{A, 3.0}, {B, -0.0}}, OUT, F(3.0 / zeroDivisor)},
        {"divide -2 by +0", VEXA_UNIT_DIVIDE, {{A, -2.0}, {B, 0.0}}, OUT, F(-2.0 / zeroDivisor)},
        {"divide by 1e-8", VEXA_UNIT_DIVIDE, {{A, 3.0}, {B, 1.0e-8}}, OUT,
         F(3.0 / static_cast<double>(1.0e-8f))},
        {"minimum of a tie", VEXA_UNIT_MINIMUM, {{A, 0.25}, {B, 0.25}}, OUT, 0.25f},
        {"maximum of a tie", VEXA_UNIT_MAXIMUM, {{A, 0.25}, {B, 0.25}}, OUT, 0.25f},
        {"compare a tie", VEXA_UNIT_COMPARE, {{A, 0.25}, {B, 0.25}}, OUT, 0.0f},
        {"compare greater", VEXA_UNIT_COMPARE, {{A, 0.2500001}, {B, 0.25}}, OUT, 1.0f},
        {"select at exactly 0", VEXA_UNIT_SELECT,
         {{A, 0.1}, {B, 0.9}, {{VEXA_PORT_SELECT, 0}, 0.0}}, OUT, 0.1f},
        {"select above 0", VEXA_UNIT_SELECT,
         {{A, 0.1}, {B, 0.9}, {{VEXA_PORT_SELECT, 0}, 1.0e-30}}, OUT, 0.9f},
        {"add unsigned to exactly 2", VEXA_UNIT_ADD_UNSIGNED, {{A, 1.25}, {B, 0.75}}, OUT, 2.0f},
        {"add unsigned above 2", VEXA_UNIT_ADD_UNSIGNED, {{A, 1.5}, {B, 0.6}}, OUT, 2.0f},
        {"add unsigned to -0.5", VEXA_UNIT_ADD_UNSIGNED, {{A, -0.75}, {B, 0.25}}, OUT, 0.0f},
        {"multiply unsigned 1.5 by 1.5", VEXA_UNIT_MULTIPLY_UNSIGNED,
         {{A, 1.5}, {B, 1.5}}, OUT, 2.0f},
        {"multiply unsigned negative", VEXA_UNIT_MULTIPLY_UNSIGNED,
         {{A, -1.0}, {B, 0.5}}, OUT, 0.0f},
        {"multiply unsigned in range", VEXA_UNIT_MULTIPLY_UNSIGNED, {{A, 1.25}, {B, 1.5}}, OUT,
         1.875f},
        {"multiply-add unsigned to exactly 2", VEXA_UNIT_MULTIPLY_ADD_UNSIGNED,
         {{A, 1.5}, {B, 1.0}, {C, 0.5}}, OUT, 2.0f},
        {"multiply-add unsigned below 0", VEXA_UNIT_MULTIPLY_ADD_UNSIGNED,
         {{A, 0.5}, {B, -1.0}, {C, 0.25}}, OUT, 0.0f},
        {"multiply-add rounds once", VEXA_UNIT_MULTIPLY_ADD, {{A, 0.1}, {B, 0.3}, {C, 0.7}}, OUT,
         F(static_cast<double>(0.1f) * static_cast<double>(0.3f) + static_cast<double>(0.7f))},
        {"cross-fade at 0 is the mean", VEXA_UNIT_CROSS_FADE,
         {{{VEXA_PORT_INPUT, 0}, 0.3}, {{VEXA_PORT_INPUT, 1}, 0.8}, {{VEXA_PORT_FADE, 0}, 0.0}},
         OUT, F((static_cast<double>(0.3f) + static_cast<double>(0.8f)) / 2.0)},
        {"cross-fade at -1", VEXA_UNIT_CROSS_FADE,
         {{{VEXA_PORT_INPUT, 0}, 0.3}, {{VEXA_PORT_INPUT, 1}, 0.8}, {{VEXA_PORT_FADE, 0}, -1.0}},
         OUT, 0.3f},
        {"cross-fade at +1", VEXA_UNIT_CROSS_FADE,
         {{{VEXA_PORT_INPUT, 0}, 0.3}, {{VEXA_PORT_INPUT, 1}, 0.8}, {{VEXA_PORT_FADE, 0}, 1.0}},
         OUT, 0.8f},
        {"pan at -1, part 0", VEXA_UNIT_PAN,
         {{{VEXA_PORT_INPUT, 0}, 0.7}, {{VEXA_PORT_PAN, 0}, -1.0}}, {VEXA_PORT_OUTPUT, 0}, 0.7f},
        {"pan at -1, part 1", VEXA_UNIT_PAN,
         {{{VEXA_PORT_INPUT, 0}, 0.7}, {{VEXA_PORT_PAN, 0}, -1.0}}, {VEXA_PORT_OUTPUT, 1}, 0.0f},
        {"pan at +1, part 1", VEXA_UNIT_PAN,
         {{{VEXA_PORT_INPUT, 0}, 0.7}, {{VEXA_PORT_PAN, 0}, 1.0}}, {VEXA_PORT_OUTPUT, 1}, 0.7f},
        {"pan control at 0.5, part 0", VEXA_UNIT_PAN_CONTROL,
         {{{VEXA_PORT_PAN, 0}, 0.5}}, {VEXA_PORT_OUTPUT, 0}, 0.25f},
        {"pan control at 0.5, part 1", VEXA_UNIT_PAN_CONTROL,
         {{{VEXA_PORT_PAN, 0}, 0.5}}, {VEXA_PORT_OUTPUT, 1}, 0.75f},
    };
    return cases;
}

TEST_F(ArithTest, HeldValueEdgeCases) {
    for (const HeldCase &c : HeldCases()) {
        SCOPED_TRACE(c.name);
        Restart();
        int32_t unit = Unit(c.type);
        for (const auto &[input, value] : c.inputs) {
            Raw(unit, input.port, input.part);
            Set(unit, input.port, value, input.part);
        }
        std::vector<float> out = Record(unit, c.output.port, 1, c.output.part);
        ASSERT_EQ(out.size(), 64u);
        for (size_t n = 0; n < out.size(); n++) ASSERT_EQ(out[n], c.expected) << "frame " << n;
    }
}

/* FourWayFade places its inputs on the corners of the square of its two fades. */
TEST_F(ArithTest, FourWayFadeCornersGiveEachInputExactly) {
    const float in[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    const struct {
        double x, y;
        float expected;
    } corners[] = {{-1, 1, in[0]}, {1, 1, in[1]}, {1, -1, in[2]}, {-1, -1, in[3]},
                   {0, 0, F((0.5 * (0.5 * in[0] + 0.5 * in[1]) + 0.5 * (0.5 * in[3] + 0.5 * in[2])))}};
    for (const auto &corner : corners) {
        SCOPED_TRACE(testing::Message() << "fade (" << corner.x << ", " << corner.y << ")");
        Restart();
        int32_t unit = Unit(VEXA_UNIT_FOUR_WAY_FADE);
        for (int32_t part = 0; part < 4; part++) Set(unit, VEXA_PORT_INPUT, in[part], part);
        Set(unit, VEXA_PORT_FADE, corner.x, 0);
        Set(unit, VEXA_PORT_FADE, corner.y, 1);
        std::vector<float> out = Record(unit, VEXA_PORT_OUTPUT, 1);
        for (float value : out) ASSERT_EQ(value, corner.expected);
    }
}

/* Minimum and Maximum give InputB on a tie; only the sign of a zero tells which input won. */
TEST_F(ArithTest, MinimumAndMaximumTiesGiveInputB) {
    const struct {
        uint32_t type;
        double a, b;
        bool negative;
    } cases[] = {{VEXA_UNIT_MINIMUM, -0.0, 0.0, false}, {VEXA_UNIT_MINIMUM, 0.0, -0.0, true},
                 {VEXA_UNIT_MAXIMUM, -0.0, 0.0, false}, {VEXA_UNIT_MAXIMUM, 0.0, -0.0, true}};
    for (const auto &c : cases) {
        int32_t unit = Unit(c.type);
        Set(unit, VEXA_PORT_INPUT_A, c.a);
        Set(unit, VEXA_PORT_INPUT_B, c.b);
        Start(unit);
        Render(1);
        double out = Get(unit, VEXA_PORT_OUTPUT);
        EXPECT_EQ(out, 0.0);
        EXPECT_EQ(std::signbit(out), c.negative) << "type 0x" << std::hex << c.type;
    }
}

/* ---- Stateful units ------------------------------------------------------------------ */

TEST_F(ArithTest, LatchHoldsAtGateZeroAndAcrossRestart) {
    int32_t latch = Unit(VEXA_UNIT_LATCH);
    const int32_t t = Vexa_GetTickCount(ctx);
    const struct {
        double input, gate;
    } steps[] = {{0.7, 1.0}, {0.2, 0.0}, {0.3, -0.5}, {0.4, 0.25}};
    for (int32_t k = 0; k < 4; k++) {
        EXPECT_EQ(Vexa_SetPortAt(ctx, t + k, latch, VEXA_PORT_INPUT, 0, steps[k].input), 0);
        EXPECT_EQ(Vexa_SetPortAt(ctx, t + k, latch, VEXA_PORT_GATE, 0, steps[k].gate), 0);
    }
    std::vector<float> out = Record(latch, VEXA_PORT_OUTPUT, 4);
    const float expected[4] = {0.7f, 0.7f, 0.7f, 0.4f};
    for (size_t n = 0; n < out.size(); n++) ASSERT_EQ(out[n], expected[n / 64]) << "frame " << n;

    /* Stopped and started again with the gate closed, it still outputs the held value. */
    EXPECT_EQ(Vexa_StopUnit(ctx, latch), 0);
    Set(latch, VEXA_PORT_GATE, 0.0);
    Set(latch, VEXA_PORT_INPUT, -0.9);
    Render(1);
    Start(latch);
    Render(1);
    EXPECT_EQ(Get(latch, VEXA_PORT_OUTPUT), static_cast<double>(0.4f));
}

TEST_F(ArithTest, IntegrateSteps) {
    int32_t integrate = Unit(VEXA_UNIT_INTEGRATE);
    Set(integrate, VEXA_PORT_INPUT, 0.3);
    std::vector<float> out = Record(integrate, VEXA_PORT_OUTPUT, 1);
    const double step = 0.3f;
    EXPECT_EQ(out[0], F(step));
    EXPECT_EQ(out[1], F(step + step));
    EXPECT_EQ(out[2], F(step + step + step));
    EXPECT_NEAR(out[0], 0.3, 1e-7);
    EXPECT_NEAR(out[1], 0.6, 1e-7);
    EXPECT_NEAR(out[2], 0.9, 1e-7);
    for (size_t n = 3; n < out.size(); n++) ASSERT_EQ(out[n], 1.0f) << "frame " << n;

    /* It runs back down to the lower limit and stays there. */
    Set(integrate, VEXA_PORT_INPUT, -0.7);
    std::vector<float> down = RenderChannels(1, 1)[0];
    const double fall = 0.7f;
    EXPECT_EQ(down[0], F(1.0 - fall));
    EXPECT_EQ(down[1], F(1.0 - fall - fall));
    for (size_t n = 2; n < down.size(); n++) ASSERT_EQ(down[n], -1.0f) << "frame " << n;
}

/* A limit that changes in the middle of a block takes effect at the next block. */
TEST_F(ArithTest, IntegrateReadsItsLimitsOncePerBlock) {
    /* A square wave at 882 Hz from phase -0.1 steps by about 0.04 a frame and turns from
     * -0.5 to +0.5 on the third frame of the first block. */
    int32_t square = Unit(VEXA_UNIT_SQUARE_OSCILLATOR);
    Set(square, VEXA_PORT_FREQUENCY, 882.0);
    Set(square, VEXA_PORT_AMPLITUDE, 0.5);
    Set(square, VEXA_PORT_PHASE, -0.1);
    int32_t integrate = Unit(VEXA_UNIT_INTEGRATE);
    Set(integrate, VEXA_PORT_INPUT, 0.3);
    ASSERT_EQ(
        Vexa_ConnectUnits(ctx, square, VEXA_PORT_OUTPUT, 0, integrate, VEXA_PORT_UPPER_LIMIT, 0),
        0);
    Signals rec = Run({square}, {integrate},
                      {{square, VEXA_PORT_OUTPUT, 0}, {integrate, VEXA_PORT_OUTPUT, 0}}, 1);
    const std::vector<float> &upper = rec[0], &out = rec[1];
    ASSERT_EQ(upper[1], -0.5f);
    ASSERT_EQ(upper[2], 0.5f);
    ASSERT_EQ(upper[8], 0.5f);
    for (int n = 0; n < 8; n++) EXPECT_EQ(out[n], -0.5f) << "frame " << n;
    const double step = 0.3f;
    EXPECT_EQ(out[8], F(-0.5 + step));
    EXPECT_EQ(out[9], F(-0.5 + step + step));
    EXPECT_EQ(out[10], F(-0.5 + step + step + step));
    EXPECT_EQ(out[11], 0.5f);
}

TEST_F(ArithTest, IntegrateWithCrossedLimitsTestsTheUpperOneFirst) {
    int32_t integrate = Unit(VEXA_UNIT_INTEGRATE);
    Set(integrate, VEXA_PORT_LOWER_LIMIT, 0.5);
    Set(integrate, VEXA_PORT_UPPER_LIMIT, -0.5);
    Set(integrate, VEXA_PORT_INPUT, -0.1);
    std::vector<float> out = Record(integrate, VEXA_PORT_OUTPUT, 1);
    /* -0.1 is above the upper limit and gives it; -0.6 is not, and falls to the lower limit;
     * 0.4 is above the upper limit again. */
    for (size_t n = 0; n < out.size(); n++) {
        ASSERT_EQ(out[n], n % 2 == 0 ? -0.5f : 0.5f) << "frame " << n;
    }
}

TEST_F(ArithTest, MassSpringRingsDownAndIgnoresAmplitude) {
    /* One push of 0.1 on the first tick, then free ringing with light damping. */
    int32_t spring = Unit(VEXA_UNIT_MASS_SPRING);
    Set(spring, VEXA_PORT_STIFFNESS, 0.01);
    Set(spring, VEXA_PORT_DAMPING, 0.001);
    Set(spring, VEXA_PORT_AMPLITUDE, 0.25);
    const int32_t t = Vexa_GetTickCount(ctx);
    EXPECT_EQ(Vexa_SetPortAt(ctx, t, spring, VEXA_PORT_INPUT, 0, 0.1), 0);
    EXPECT_EQ(Vexa_SetPortAt(ctx, t + 1, spring, VEXA_PORT_INPUT, 0, 0.0), 0);
    std::vector<float> out = Record(spring, VEXA_PORT_OUTPUT, 20);
    Signals in = {std::vector<float>(out.size(), 0.0f), std::vector<float>(out.size(), 0.01f),
                  std::vector<float>(out.size(), 0.001f), std::vector<float>(out.size(), 0.25f)};
    for (size_t n = 0; n < 64; n++) in[0][n] = 0.1f;
    Signals expected = MassSpringReference(in);
    for (size_t n = 0; n < out.size(); n++) ASSERT_EQ(out[n], expected[0][n]) << "frame " << n;
    /* A spring of stiffness 0.01 swings with a period of about 2 pi / 0.1 = 63 frames. */
    float lowest = 0.0f;
    for (float x : out) lowest = std::min(lowest, x);
    EXPECT_LT(lowest, 0.0f);
}

/* SetLevel 0.5 and ResetLevel -0.5: one input value per tick. */
TEST_F(ArithTest, SchmidtHysteresisAndSetTrigger) {
    int32_t schmidt = Unit(VEXA_UNIT_SCHMIDT);
    Set(schmidt, VEXA_PORT_SET_LEVEL, 0.5);
    Set(schmidt, VEXA_PORT_RESET_LEVEL, -0.5);
    const struct {
        double input;
        float state;
        bool fires;
    } steps[] = {
        {0.5, 0.0f, false},   /* equal to SetLevel: does not set */
        {0.6, 1.0f, true},    /* sets, one trigger at the first frame */
        {0.7, 1.0f, false},   /* stays set across block and tick boundaries */
        {0.0, 1.0f, false},   /* between the levels: keeps the state */
        {-0.5, 0.0f, false},  /* equal to ResetLevel: resets, nothing marks it */
        {0.0, 0.0f, false},   /* between the levels: stays reset */
        {0.51, 1.0f, true},   /* sets again */
    };
    const int32_t t = Vexa_GetTickCount(ctx);
    const int32_t numTicks = static_cast<int32_t>(std::size(steps));
    for (int32_t k = 0; k < numTicks; k++) {
        EXPECT_EQ(Vexa_SetPortAt(ctx, t + k, schmidt, VEXA_PORT_INPUT, 0, steps[k].input), 0);
    }
    Signals rec =
        Run({}, {schmidt}, {{schmidt, VEXA_PORT_OUTPUT, 0}, {schmidt, VEXA_PORT_SET_TRIGGER, 0}},
            numTicks);
    for (int32_t n = 0; n < numTicks * 64; n++) {
        const auto &step = steps[n / 64];
        ASSERT_EQ(rec[0][n], step.state) << "frame " << n;
        ASSERT_EQ(rec[1][n], (step.fires && n % 64 == 0) ? 1.0f : 0.0f) << "frame " << n;
    }
}

/* Output is cleared at every start, so a restarted trigger begins reset. */
TEST_F(ArithTest, SchmidtStartsResetEveryTime) {
    int32_t schmidt = Unit(VEXA_UNIT_SCHMIDT);
    Set(schmidt, VEXA_PORT_SET_LEVEL, 0.5);
    Set(schmidt, VEXA_PORT_RESET_LEVEL, -0.5);
    Set(schmidt, VEXA_PORT_INPUT, 0.9);
    Start(schmidt);
    Render(1);
    ASSERT_EQ(Get(schmidt, VEXA_PORT_OUTPUT), 1.0);
    EXPECT_EQ(Vexa_StopUnit(ctx, schmidt), 0);
    Set(schmidt, VEXA_PORT_INPUT, 0.0); /* between the levels: a set trigger would stay set */
    Render(1);
    EXPECT_EQ(Get(schmidt, VEXA_PORT_OUTPUT), 1.0); /* stopped: nothing changes */
    Start(schmidt);
    Render(1);
    EXPECT_EQ(Get(schmidt, VEXA_PORT_OUTPUT), 0.0);
    EXPECT_EQ(Get(schmidt, VEXA_PORT_SET_TRIGGER), 0.0);

    /* Restarted while the input is high, it sets again and fires on its first frame. */
    Set(schmidt, VEXA_PORT_INPUT, 0.9);
    Render(1);
    EXPECT_EQ(Vexa_StopUnit(ctx, schmidt), 0);
    Render(1);
    Start(schmidt);
    Signals rec =
        Run({}, {}, {{schmidt, VEXA_PORT_OUTPUT, 0}, {schmidt, VEXA_PORT_SET_TRIGGER, 0}}, 1);
    EXPECT_EQ(rec[0][0], 1.0f);
    EXPECT_EQ(rec[1][0], 1.0f);
    for (size_t n = 1; n < rec[1].size(); n++) ASSERT_EQ(rec[1][n], 0.0f) << "frame " << n;
}

/* ---- The random sequence --------------------------------------------------------------- */

TEST_F(ArithTest, RandomSequenceStartsTheSameInEveryContext) {
    VexaContext *other = Vexa_CreateContext();
    ASSERT_NE(other, nullptr);
    const uint32_t expected[] = {907633515u, 2641306770u, 4111285669u};
    for (uint32_t value : expected) {
        EXPECT_EQ(VXU_CalcRandom(ctx), value);
        EXPECT_EQ(VXU_CalcRandom(other), value); /* one sequence per context */
    }
    Vexa_DeleteContext(other);

    /* The next value follows the recurrence, modulo 2^32. */
    uint64_t next = (uint64_t{4111285669u} * 196314165u + 907633515u) & 0xffffffffu;
    EXPECT_EQ(VXU_CalcRandom(ctx), static_cast<uint32_t>(next));

    /* As callers take it: a signed value scaled by 2^-31. */
    EXPECT_EQ(static_cast<int32_t>(2641306770u), -1653660526);
    EXPECT_NEAR(static_cast<int32_t>(907633515u) * 4.656612873077393e-10, 0.422649790998,
                1e-12);
}

} // namespace
