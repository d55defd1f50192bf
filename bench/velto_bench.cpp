/*
 * velto_bench - how much the engine costs per voice, through the public C interface.
 *
 * Workloads (each voice summed into one output through a chain of Add units and a ChannelOut,
 * rendered offline with Vexa_RenderTicks at 44100 frames per second):
 *   W1  N SineOscillator voices
 *   W2  N SawtoothOscillatorBL -> FilterLowPass voices
 *   W3  N SampleRead16F1 voices playing looped regions, Amplitude from an EnvelopeLinear
 *   limit  W1's arithmetic as a hand-vectorised loop with no engine (checked to produce the
 *          engine's very output bits)
 * Front-end costs: timed commands per second through Vexa_SetPortAt while another thread
 * renders, unit creation and deletion, and bytes per unit of each workload's types.
 *
 * Rendering is timed in CPU time of the rendering thread (the machine is shared; time spent
 * descheduled is not the engine's cost). Every timing is repeated (--reps, default 11) and the
 * median is reported with the fastest run beside it.
 *
 * Grouping: W1 and W2 with and without grouping units of one type, and the cost of the
 * execution plan (its check at each batch and a rebuild) beside a batch. Types: ns per unit
 * and block for every one of the 68 types (32 units each), so that a slow type shows.
 *
 * Start: what a context's whole offline life costs (initialise, start without a device, stop,
 * terminate), beside one default-device query.
 *
 * Usage: velto_bench [--reps N] [--quick] [--ungrouped] [--only W1,W2,W3,limit,grouping,
 *                    threads,types,start,front] [--no-four] [--machine]
 *   --no-four leaves out the 4-thread column of the render-thread rows.
 *   --machine also prints one "RESULT <name> <N> <ns per voice per frame>" line per row, which
 *   bench/peers.sh reads.
 */
#include <malloc.h>
#include <x86intrin.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "velto.h"
#include "velto_units.h"
#include "vx_catalog.h"
#include "vx_internal.h"
#include "vx_unit.h"

namespace {

constexpr double kFrameRate = 44100.0;
constexpr int32_t kFramesPerTick = 64;

int gReps = 11;
bool gUngrouped = false; /* --ungrouped: every unit runs alone, as before the grouping */
bool gQuick = false;
bool gMachine = false;
bool gNoFour = false; /* --no-four: render threads 1 and 2 only */
std::string gOnly;

bool Wanted(const char *name) {
    if (gOnly.empty()) return true;
    std::string list = "," + gOnly + ",";
    return list.find(std::string(",") + name + ",") != std::string::npos;
}

void Check(int32_t result, const char *what) {
    if (result < 0) {
        std::fprintf(stderr, "%s failed: %d %s\n", what, result, Vexa_ErrorCodeToText(result));
        std::exit(1);
    }
}

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

/* CPU time of the calling thread: the machine is shared, and time spent descheduled is not
 * the engine's cost. */
double CpuNow() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

/* One engine with a network of N voices summed into channel 0 of a mono output. */
class Network {
  public:
    explicit Network(int32_t voices, bool grouped = !gUngrouped) : voices_(voices) {
        ctx_ = Vexa_CreateContext();
        Check(Vexa_Initialize(ctx_), "Vexa_Initialize");
        Check(Vexa_StartDevices(ctx_, VX_FLAG_NO_DEVICE, kFrameRate, -1, 0, 0, 1),
              "Vexa_StartDevices");
        VexaF_SetGrouping(ctx_, grouped);
    }
    ~Network() {
        Vexa_Terminate(ctx_);
        Vexa_DeleteContext(ctx_);
    }
    VexaContext *ctx() { return ctx_; }
    int32_t voices() const { return voices_; }

    int32_t Unit(uint32_t type, int32_t argument = 0) {
        const int32_t token = Vexa_CreateUnit(ctx_, type, 0, argument);
        Check(token, "Vexa_CreateUnit");
        return token;
    }
    void Set(int32_t unit, uint32_t port, double value) {
        Check(Vexa_SetPort(ctx_, unit, port, 0, value), "Vexa_SetPort");
    }
    void Connect(int32_t from, int32_t to, uint32_t toPort) {
        Check(Vexa_ConnectUnits(ctx_, from, PORTID_OUTPUT, 0, to, toPort, 0), "Vexa_ConnectUnits");
    }
    /* Sums the voices' outputs in voice order with Add units into a ChannelOut; the sources
     * must already be started, so that each Add runs after what it reads. */
    void SumAndStart(const std::vector<int32_t> &outputs) {
        int32_t sum = outputs[0];
        for (size_t i = 1; i < outputs.size(); i++) {
            const int32_t add = Unit(VEXA_UNIT_ADD);
            Connect(sum, add, PORTID_INPUT_A);
            Connect(outputs[i], add, PORTID_INPUT_B);
            Check(Vexa_StartUnit(ctx_, add), "Vexa_StartUnit");
            sum = add;
        }
        const int32_t out = Unit(VEXA_UNIT_CHANNEL_OUT, 0);
        Connect(sum, out, PORTID_INPUT);
        Check(Vexa_StartUnit(ctx_, out), "Vexa_StartUnit");
    }
    void Start(int32_t unit) { Check(Vexa_StartUnit(ctx_, unit), "Vexa_StartUnit"); }
    void Render(int32_t ticks, float *out) {
        Check(Vexa_RenderTicks(ctx_, nullptr, out, ticks), "Vexa_RenderTicks");
    }

  private:
    VexaContext *ctx_;
    int32_t voices_;
};

float SineFrequency(int32_t i) { return static_cast<float>(110.0 + 3.7 * i); }
float VoiceAmplitude(int32_t n) { return static_cast<float>(1.0 / n); }

void BuildW1(Network &net) {
    const int32_t n = net.voices();
    std::vector<int32_t> outs;
    for (int32_t i = 0; i < n; i++) {
        const int32_t sine = net.Unit(VEXA_UNIT_SINE_OSCILLATOR);
        net.Set(sine, PORTID_FREQUENCY, SineFrequency(i));
        net.Set(sine, PORTID_AMPLITUDE, VoiceAmplitude(n));
        net.Start(sine);
        outs.push_back(sine);
    }
    net.SumAndStart(outs);
}

/* W2 voice i of n: a band-limited saw through a low-pass, both started; returns the filter. */
int32_t W2Voice(Network &net, int32_t i, int32_t n) {
    const int32_t saw = net.Unit(VEXA_UNIT_SAWTOOTH_OSCILLATOR_BL);
    net.Set(saw, PORTID_FREQUENCY, 55.0 + 7.3 * i);
    net.Set(saw, PORTID_AMPLITUDE, VoiceAmplitude(n));
    const int32_t filter = net.Unit(VEXA_UNIT_FILTER_LOW_PASS);
    net.Set(filter, PORTID_FREQUENCY, 1500.0 + 11.0 * i);
    net.Set(filter, PORTID_Q, 1.5);
    net.Connect(saw, filter, PORTID_INPUT);
    net.Start(saw);
    net.Start(filter);
    return filter;
}

void BuildW2(Network &net) {
    const int32_t n = net.voices();
    std::vector<int32_t> outs;
    for (int32_t i = 0; i < n; i++) outs.push_back(W2Voice(net, i, n));
    net.SumAndStart(outs);
}

/* Eight independent chains of n / 8 W2 voices, each summed into its own output unit. */
void BuildChains(Network &net) {
    const int32_t n = net.voices();
    for (int32_t chain = 0; chain < 8; chain++) {
        std::vector<int32_t> outs;
        for (int32_t i = chain * (n / 8); i < (chain + 1) * (n / 8); i++)
            outs.push_back(W2Voice(net, i, n));
        net.SumAndStart(outs);
    }
}

void BuildW3(Network &net) {
    const int32_t n = net.voices();
    VexaContext *ctx = net.ctx();
    constexpr uint32_t kFrames = 44100;
    std::vector<int16_t> data(kFrames);
    for (uint32_t i = 0; i < kFrames; i++)
        data[i] = static_cast<int16_t>(16000.0 * std::sin(i * 0.031) + 8000.0 * std::sin(i * 0.0071));
    const int32_t sample = Vexa_CreateSample(ctx, kFrames, 1);
    Check(sample, "Vexa_CreateSample");
    Check(Vexa_WriteSample(ctx, sample, 0, data.data(), kFrames), "Vexa_WriteSample");
    const double envelope[] = {0.0, 0.0, 0.01, 1.0, 0.1, 0.6, 0.3, 0.6, 0.2, 0.0};
    const int32_t env = Vexa_CreateEnvelope(ctx, 5);
    Check(env, "Vexa_CreateEnvelope");
    Check(Vexa_WriteEnvelope(ctx, env, 0, envelope, 5), "Vexa_WriteEnvelope");
    std::vector<int32_t> outs;
    for (int32_t i = 0; i < n; i++) {
        const int32_t shape = net.Unit(VEXA_UNIT_ENVELOPE_LINEAR);
        net.Set(shape, PORTID_AMPLITUDE, VoiceAmplitude(n));
        Check(Vexa_QueueData(ctx, shape, PORTID_DATA, env, 0, 5, VEXA_QUEUE_LOOP), "Vexa_QueueData");
        const int32_t reader = net.Unit(VEXA_UNIT_SAMPLE_READ16_F1);
        const uint32_t start = static_cast<uint32_t>((i * 977) % 20000);
        Check(Vexa_QueueData(ctx, reader, PORTID_DATA, sample, start, 4000 + (i % 13) * 1000,
                             VEXA_QUEUE_LOOP),
              "Vexa_QueueData");
        net.Connect(shape, reader, PORTID_AMPLITUDE);
        net.Start(shape);
        net.Start(reader);
        outs.push_back(reader);
    }
    net.SumAndStart(outs);
}

/* Renders until one repetition takes about `seconds`, then `gReps` repetitions; returns the
 * median and the fastest ns per voice per frame. */
struct Timing {
    double median, best;
};

/* wall: elapsed time instead of the thread's CPU time (for render threads, whose work is
 * spread over several threads). */
Timing TimeRender(Network &net, double seconds, bool wall = false) {
    const auto clock = wall ? Now : CpuNow;
    std::vector<float> out(static_cast<size_t>(kFramesPerTick) * 64);
    net.Render(32, out.data()); /* warm up */
    int32_t ticks = 16;
    for (;;) {
        const double t0 = clock();
        for (int32_t i = 0; i < ticks; i += 64) net.Render(std::min(64, ticks - i), out.data());
        if (clock() - t0 > seconds / 4 || ticks > (1 << 24)) break;
        ticks *= 2;
    }
    ticks *= 4;
    std::vector<double> perFrame;
    for (int r = 0; r < gReps; r++) {
        const double t0 = clock();
        for (int32_t i = 0; i < ticks; i += 64) net.Render(std::min(64, ticks - i), out.data());
        const double elapsed = clock() - t0;
        perFrame.push_back(elapsed * 1e9 / (static_cast<double>(ticks) * kFramesPerTick) /
                           net.voices());
    }
    return {Median(perFrame), *std::min_element(perFrame.begin(), perFrame.end())};
}

/* The same networks computed by 1, 2 and 4 render threads: elapsed time per voice and frame,
 * and the throughput against one thread. */
void RunThreads(double seconds) {
    struct Case {
        const char *name, *tag;
        void (*build)(Network &);
        int32_t voices;
    } cases[] = {{"W1: sine oscillators", "W1", BuildW1, 512},
                 {"W2: BL saw -> low-pass", "W2", BuildW2, 256},
                 {"8 chains of 64 W2 voices", "chains", BuildChains, 512},
                 {"one W2 voice", "one", BuildW2, 1}};
    std::printf("\nrender threads (elapsed ns per voice per frame; x: throughput against 1 thread)\n");
    std::printf("%-30s %6s %10s %10s %8s %10s %8s\n", "workload", "N", "1 thread", "2 threads",
                "x", "4 threads", "x");
    for (const Case &c : cases) {
        double t[3] = {0.0, 0.0, 0.0};
        const int32_t counts[3] = {1, 2, 4};
        for (int k = 0; k < (gNoFour ? 2 : 3); k++) {
            Network net(c.voices);
            Check(Vexa_SetRenderThreads(net.ctx(), counts[k]), "Vexa_SetRenderThreads");
            c.build(net);
            t[k] = TimeRender(net, seconds, true).median;
            if (gMachine) std::printf("RESULT %s_T%d %d %.4f\n", c.tag, counts[k], c.voices, t[k]);
        }
        std::printf("%-30s %6d %10.3f %10.3f %8.2f %10.3f %8.2f\n", c.name, c.voices, t[0], t[1],
                    t[0] / t[1], t[2], t[2] > 0.0 ? t[0] / t[2] : 0.0);
        std::fflush(stdout);
    }
}

void PrintHeader() {
    std::printf("%-34s %6s %12s %10s %12s %12s\n", "workload", "N", "ns/voice/fr", "(best)",
                "RT x / core", "voices/core");
}

void PrintRow(const char *name, const char *tag, int32_t n, Timing t) {
    const double rt = 1e9 / (kFrameRate * t.median * n); /* audio time / compute time */
    const double voicesPerCore = 1e9 / (kFrameRate * t.median);
    std::printf("%-34s %6d %12.3f %10.3f %12.1f %12.0f\n", name, n, t.median, t.best, rt,
                voicesPerCore);
    if (gMachine) std::printf("RESULT %s %d %.4f\n", tag, n, t.median);
    std::fflush(stdout);
}

/* ---- The limit: W1's arithmetic as one hand-vectorised loop --------------------------- */

/* The engine computes, per voice and frame, in double: inc = f x scale; phase += inc with one
 * wrap (the phase read as a float at the block's start and stored as one at its end); the
 * folded odd polynomial; times the amplitude, rounded to float; and the running sum
 * of the voices in voice order, each step rounded to float. Here eight voices share one
 * vector of doubles through the whole block (phases, folds and polynomials side by side), and
 * the sum runs over the voices with the eight frames of a block side by side. */
typedef double v8d __attribute__((vector_size(64)));
typedef float v8f __attribute__((vector_size(32)));

constexpr double kPiF = static_cast<double>(3.14159265358979323846f);
constexpr double kK3 = 0.16666666666666666;
constexpr double kK5 = 0.008333333333333333;
constexpr double kK7 = 0.0001984126984126984;
constexpr double kK9 = 2.7557319223985893e-06;
constexpr double kK11 = -2.505210838544172e-08;

struct LimitState {
    int32_t voices;
    std::vector<double> phase, increment, amplitude; /* padded to a multiple of 8 voices */
    std::vector<float> voiceOut;                      /* [voice][8] for the current block */
};

LimitState MakeLimit(int32_t n) {
    LimitState s;
    s.voices = n;
    const int32_t padded = (n + 7) / 8 * 8;
    const double scale = static_cast<float>(2.0 / kFrameRate);
    s.phase.assign(padded, 0.0);
    s.increment.assign(padded, 0.0);
    s.amplitude.assign(padded, 0.0);
    for (int32_t i = 0; i < n; i++) {
        s.increment[i] = std::min(1.0, static_cast<double>(SineFrequency(i)) * scale);
        s.amplitude[i] = VoiceAmplitude(n);
    }
    s.voiceOut.assign(static_cast<size_t>(padded) * 8, 0.0f);
    return s;
}

__attribute__((target("avx512f"))) void LimitBlocks(LimitState &s, float *out, int32_t blocks) {
    const int32_t groups = static_cast<int32_t>(s.phase.size()) / 8;
    for (int32_t b = 0; b < blocks; b++) {
        for (int32_t g = 0; g < groups; g++) {
            v8d phase, inc, amp;
            std::memcpy(&phase, &s.phase[g * 8], sizeof phase);
            std::memcpy(&inc, &s.increment[g * 8], sizeof inc);
            std::memcpy(&amp, &s.amplitude[g * 8], sizeof amp);
            float *dst = &s.voiceOut[static_cast<size_t>(g) * 64];
            for (int i = 0; i < 8; i++) {
                phase += inc;
                phase = phase >= 1.0 ? phase - 2.0 : (phase < -1.0 ? phase + 2.0 : phase);
                const v8d upper = 1.0 - phase, lower = -1.0 - phase;
                const v8d m = phase < upper ? phase : upper;
                const v8d x = m > lower ? m : lower;
                const v8d y = x * kPiF;
                const v8d z = y * y;
                const v8d sine = y * (((((z * kK11 + kK9) * z - kK7) * z + kK5) * z - kK3) * z + 1.0);
                const v8d v = sine * amp;
                for (int k = 0; k < 8; k++) dst[k * 8 + i] = static_cast<float>(v[k]);
            }
            /* The phase is unit state: stored as a float at the end of every block. */
            phase = __builtin_convertvector(__builtin_convertvector(phase, v8f), v8d);
            std::memcpy(&s.phase[g * 8], &phase, sizeof phase);
        }
        /* The Add chain: ((v0 + v1) + v2) + ..., every step rounded to float. */
        v8f sum;
        std::memcpy(&sum, &s.voiceOut[0], sizeof sum);
        for (int32_t v = 1; v < s.voices; v++) {
            v8f next;
            std::memcpy(&next, &s.voiceOut[static_cast<size_t>(v) * 8], sizeof next);
            sum = __builtin_convertvector(__builtin_convertvector(sum, v8d) +
                                              __builtin_convertvector(next, v8d),
                                          v8f);
        }
        std::memcpy(out + b * 8, &sum, sizeof sum);
    }
}

void RunLimit(int32_t n) {
    if (!__builtin_cpu_supports("avx512f")) {
        std::printf("%-34s %6d   (needs AVX-512; skipped)\n", "limit: hand-vectorised W1", n);
        return;
    }
    /* The same bits as the engine: compare 64 ticks of output. */
    {
        Network net(n);
        BuildW1(net);
        std::vector<float> engine(64 * kFramesPerTick), limit(64 * kFramesPerTick);
        net.Render(64, engine.data());
        LimitState s = MakeLimit(n);
        LimitBlocks(s, limit.data(), 64 * 8);
        const bool same = std::memcmp(engine.data(), limit.data(), engine.size() * 4) == 0;
        if (!same) std::printf("limit loop: output DIFFERS from the engine's\n");
    }
    LimitState s = MakeLimit(n);
    std::vector<float> out(64 * kFramesPerTick);
    int32_t blocks = 64;
    for (;;) {
        const double t0 = CpuNow();
        LimitBlocks(s, out.data(), std::min(blocks, 512));
        for (int32_t b = 512; b < blocks; b += 512) LimitBlocks(s, out.data(), 512);
        if (CpuNow() - t0 > 0.025 || blocks > (1 << 24)) break;
        blocks *= 2;
    }
    blocks *= 4;
    std::vector<double> perFrame;
    for (int r = 0; r < gReps; r++) {
        const double t0 = CpuNow();
        for (int32_t b = 0; b < blocks; b += 512) LimitBlocks(s, out.data(), std::min(512, blocks - b));
        perFrame.push_back((CpuNow() - t0) * 1e9 / (static_cast<double>(blocks) * 8) / n);
    }
    PrintRow("limit: hand-vectorised W1 (same bits)", "limit", n,
             {Median(perFrame), *std::min_element(perFrame.begin(), perFrame.end())});
}

/* ---- Front-end costs ------------------------------------------------------------------- */

/* Timed commands from one client thread while another thread renders ticks of a W1 network
 * of 64 voices (each Vexa_RenderTicks call holds the peer lock for one batch). */
void RunCommands() {
    Network net(64);
    BuildW1(net);
    const int32_t target = net.Unit(VEXA_UNIT_SINE_OSCILLATOR);
    net.Start(target);
    VexaContext *ctx = net.ctx();
    std::atomic<bool> stop{false};
    std::atomic<int64_t> batches{0};
    std::thread renderer([&] {
        std::vector<float> out(kFramesPerTick);
        while (!stop.load(std::memory_order_relaxed)) {
            Vexa_RenderTicks(ctx, nullptr, out.data(), 1);
            batches.fetch_add(1, std::memory_order_relaxed);
        }
    });
    std::vector<double> rates;
    int64_t full = 0, sent = 0;
    const double span = gQuick ? 0.1 : 0.25;
    for (int r = 0; r < gReps; r++) {
        int64_t accepted = 0;
        const double t0 = Now();
        double t1 = t0;
        while (t1 - t0 < span) {
            const int32_t tick = Vexa_GetTickCount(ctx) + 2;
            for (int i = 0; i < 256; i++) {
                const int32_t result =
                    Vexa_SetPortAt(ctx, tick, target, PORTID_FREQUENCY, 0, 200.0 + (i & 63));
                if (result == VXERR_F2B_FULL) {
                    full++;
                    std::this_thread::yield();
                } else {
                    Check(result, "Vexa_SetPortAt");
                    accepted++;
                }
            }
            t1 = Now();
        }
        sent += accepted;
        rates.push_back(accepted / (t1 - t0));
    }
    stop = true;
    renderer.join();
    std::printf("%-34s %12.0f commands/s (best %.0f); %lld sent, %lld refused as full, "
                "%lld batches\n",
                "Vexa_SetPortAt while rendering", Median(rates),
                *std::max_element(rates.begin(), rates.end()), static_cast<long long>(sent),
                static_cast<long long>(full), static_cast<long long>(batches.load()));
    if (gMachine) std::printf("RESULT commands_per_s 1 %.0f\n", Median(rates));
}

/* Creating and deleting units of the workload types; a batch between rounds lets the back end
 * release the deleted units so that their slots come back. */
void RunCreateDelete() {
    Network net(1);
    VexaContext *ctx = net.ctx();
    const uint32_t types[] = {VEXA_UNIT_SINE_OSCILLATOR,        VEXA_UNIT_ADD,
                              VEXA_UNIT_SAWTOOTH_OSCILLATOR_BL, VEXA_UNIT_FILTER_LOW_PASS,
                              VEXA_UNIT_SAMPLE_READ16_F1,       VEXA_UNIT_ENVELOPE_LINEAR};
    constexpr int kRound = 1000;
    std::vector<int32_t> tokens(kRound);
    std::vector<double> create, remove;
    const int rounds = gQuick ? 5 : 40;
    for (int r = 0; r < rounds; r++) {
        double t0 = Now();
        for (int i = 0; i < kRound; i++) tokens[i] = Vexa_CreateUnit(ctx, types[i % 6], 0, 0);
        double t1 = Now();
        for (int i = 0; i < kRound; i++) Check(tokens[i], "Vexa_CreateUnit");
        for (int i = 0; i < kRound; i++) Check(Vexa_Delete(ctx, tokens[i]), "Vexa_Delete");
        double t2 = Now();
        create.push_back((t1 - t0) * 1e9 / kRound);
        remove.push_back((t2 - t1) * 1e9 / kRound);
        Check(Vexa_RenderTicks(ctx, nullptr, nullptr, 1), "Vexa_RenderTicks");
        Check(Vexa_CheckEngineErrors(ctx), "Vexa_CheckEngineErrors");
    }
    std::printf("%-34s %12.0f ns per unit (best %.0f)\n", "Vexa_CreateUnit", Median(create),
                *std::min_element(create.begin(), create.end()));
    std::printf("%-34s %12.0f ns per unit (best %.0f)\n", "Vexa_Delete", Median(remove),
                *std::min_element(remove.begin(), remove.end()));
    if (gMachine) {
        std::printf("RESULT create_ns 1 %.1f\n", Median(create));
        std::printf("RESULT delete_ns 1 %.1f\n", Median(remove));
    }
}

/* ---- Grouping: the same networks with and without groups, and the plan's cost ---------- */

void RunGrouping(double seconds) {
    std::printf("\ngrouped against ungrouped (ns per voice per frame, medians):\n");
    std::printf("%-26s %6s %10s %10s %8s\n", "workload", "N", "grouped", "ungrouped", "ratio");
    struct Case {
        const char *name, *tag;
        void (*build)(Network &);
        int32_t n;
    } cases[] = {{"W1: sine oscillators", "W1", BuildW1, 1},
                 {"W1: sine oscillators", "W1", BuildW1, 512},
                 {"W2: BL saw -> low-pass", "W2", BuildW2, 1},
                 {"W2: BL saw -> low-pass", "W2", BuildW2, 256}};
    for (const Case &c : cases) {
        Network grouped(c.n, true), plain(c.n, false);
        c.build(grouped);
        c.build(plain);
        const Timing g = TimeRender(grouped, seconds), u = TimeRender(plain, seconds);
        std::printf("%-26s %6d %10.3f %10.3f %8.2f\n", c.name, c.n, g.median, u.median,
                    u.median / g.median);
        if (gMachine) {
            std::printf("RESULT %s_grouped %d %.4f\n", c.tag, c.n, g.median);
            std::printf("RESULT %s_ungrouped %d %.4f\n", c.tag, c.n, u.median);
        }
    }
    /* The plan: the check at each batch when nothing changed, and a rebuild, beside a batch. */
    Network net(256, true);
    BuildW2(net);
    VexaContext *ctx = net.ctx();
    std::vector<float> out(static_cast<size_t>(kFramesPerTick) * 64); /* 64 ticks, mono */
    net.Render(4, out.data());
    constexpr int kCalls = 20000, kRebuilds = 200;
    std::vector<double> check, rebuild, batch;
    for (int r = 0; r < gReps; r++) {
        double t0 = CpuNow();
        for (int i = 0; i < kCalls; i++) VexaB_UpdatePlan(ctx);
        check.push_back((CpuNow() - t0) * 1e9 / kCalls);
        t0 = CpuNow();
        for (int i = 0; i < kRebuilds; i++) {
            __atomic_add_fetch(&ctx->vxf_PlanGeneration, 1u, __ATOMIC_RELEASE);
            VexaB_UpdatePlan(ctx);
        }
        rebuild.push_back((CpuNow() - t0) * 1e9 / kRebuilds);
        t0 = CpuNow();
        net.Render(64, out.data());
        batch.push_back((CpuNow() - t0) * 1e9 / 64);
    }
    std::printf("plan of W2 N=256 (769 units): check %.1f ns, rebuild %.1f us, batch %.1f us "
                "(check %.4f %%, rebuild %.1f %% of a batch)\n",
                Median(check), Median(rebuild) / 1000.0, Median(batch) / 1000.0,
                100.0 * Median(check) / Median(batch), 100.0 * Median(rebuild) / Median(batch));
    if (gMachine) {
        std::printf("RESULT plan_check_ns 256 %.2f\n", Median(check));
        std::printf("RESULT plan_rebuild_ns 256 %.1f\n", Median(rebuild));
        std::printf("RESULT batch_ns 256 %.1f\n", Median(batch));
    }
}

/* ---- Every type: ns per unit and block --------------------------------------------------- */

/* 32 units of each type, their inputs at their defaults (data on their queue and table ports,
 * so that players play), grouped as the plan groups them. */
void RunTypes(double seconds) {
    std::printf("\nns per unit-block, 32 units of one type (medians, grouped):\n");
    struct Type {
        const char *name;
        const UnitInfo *info;
    };
    const Type types[] = {
#define VX_BENCH_TYPE(Name) {#Name, VXU_Load##Name()},
        VX_UNIT_CATALOGUE(VX_BENCH_TYPE)
#undef VX_BENCH_TYPE
    };
    constexpr int32_t kUnits = 32;
    for (const Type &type : types) {
        Network net(kUnits, true);
        VexaContext *ctx = net.ctx();
        const int32_t sample1 = Vexa_CreateSample(ctx, 4000, 1);
        const int32_t sample2 = Vexa_CreateSample(ctx, 4000, 2);
        std::vector<int16_t> data(8000);
        for (size_t i = 0; i < data.size(); i++)
            data[i] = static_cast<int16_t>(12000.0 * std::sin(0.01 * i));
        Vexa_WriteSample(ctx, sample1, 0, data.data(), 4000);
        Vexa_WriteSample(ctx, sample2, 0, data.data(), 4000);
        const double frames[] = {0.01, 1.0, 0.02, 0.5, 0.03, 0.0};
        const int32_t envelope = Vexa_CreateEnvelope(ctx, 3);
        Vexa_WriteEnvelope(ctx, envelope, 0, frames, 3);
        std::vector<double> entries(257);
        for (size_t i = 0; i < entries.size(); i++) entries[i] = std::sin(0.05 * i);
        const int32_t table = Vexa_CreateTable(ctx, 257);
        Vexa_WriteTableDoubles(ctx, table, 0, entries.data(), 257);
        for (int32_t k = 0; k < kUnits; k++) {
            const bool delay = std::strcmp(type.name, "Delay") == 0 ||
                               std::strcmp(type.name, "DelayInterp") == 0;
            const int32_t unit = Vexa_CreateUnit(ctx, type.info->typeID, 0, delay ? 300 : 0);
            Check(unit, type.name);
            for (int32_t p = 0; p < type.info->numPorts; p++) {
                const PortInfo &port = type.info->ports[p];
                if (port.portKind == PORT_QUEUE) {
                    const bool stereo = port.defaultValue >= 2.0f;
                    if (port.queueData == VXT_ENVELOPE)
                        Vexa_QueueData(ctx, unit, port.portID, envelope, 0, 3, VEXA_QUEUE_LOOP);
                    else
                        Vexa_QueueData(ctx, unit, port.portID, stereo ? sample2 : sample1, 0,
                                       4000, VEXA_QUEUE_LOOP);
                } else if (port.portKind == PORT_TABLE) {
                    Vexa_UseTable(ctx, unit, port.portID, 0, table);
                }
            }
            net.Start(unit);
        }
        const Timing t = TimeRender(net, seconds / 4);
        /* TimeRender reports per voice and frame: a block is 8 frames. */
        std::printf("  %-22s %8.2f\n", type.name, t.median * 8.0);
        if (gMachine) std::printf("RESULT type_%s %d %.3f\n", type.name, kUnits, t.median * 8.0);
    }
}

/* A context's whole offline life, Vexa_Initialize + Vexa_Start without a device + Vexa_Stop +
 * Vexa_Terminate, after a first one in the process; and a device query beside it (the lookup
 * that a start without a device no longer makes). */
void RunStartCost() {
    auto once = [] {
        VexaContext *ctx = Vexa_CreateContext();
        Check(Vexa_Initialize(ctx), "Vexa_Initialize");
        Check(Vexa_Start(ctx, VX_FLAG_NO_DEVICE, kFrameRate), "Vexa_Start");
        Check(Vexa_Stop(ctx), "Vexa_Stop");
        Vexa_Terminate(ctx);
        Vexa_DeleteContext(ctx);
    };
    once();
    std::vector<double> starts, queries;
    for (int rep = 0; rep < gReps; rep++) {
        constexpr int kRounds = 20;
        auto begin = std::chrono::steady_clock::now();
        for (int i = 0; i < kRounds; i++) once();
        auto end = std::chrono::steady_clock::now();
        starts.push_back(std::chrono::duration<double, std::micro>(end - begin).count() / kRounds);
        begin = std::chrono::steady_clock::now();
        Vexa_GetDefaultOutputDevice();
        end = std::chrono::steady_clock::now();
        queries.push_back(std::chrono::duration<double, std::micro>(end - begin).count());
    }
    std::sort(starts.begin(), starts.end());
    std::sort(queries.begin(), queries.end());
    std::printf("offline start (create, initialise, start without a device, stop, terminate, "
                "delete): %.1f us median, %.1f fastest\n",
                starts[starts.size() / 2], starts.front());
    std::printf("default-device query (brings PortAudio up and down): %.1f us median\n",
                queries[queries.size() / 2]);
    if (gMachine) std::printf("RESULT offline_start 1 %.3f\n", starts[starts.size() / 2]);
}

void RunMemory() {
    struct Type {
        const char *name;
        const UnitInfo *info;
    } types[] = {{"SineOscillator", VXU_LoadSineOscillator()},
                 {"Add", VXU_LoadAdd()},
                 {"SawtoothOscillatorBL", VXU_LoadSawtoothOscillatorBL()},
                 {"FilterLowPass", VXU_LoadFilterLowPass()},
                 {"SampleRead16F1", VXU_LoadSampleRead16F1()},
                 {"EnvelopeLinear", VXU_LoadEnvelopeLinear()},
                 {"ChannelOut", VXU_LoadChannelOut()}};
    std::printf("bytes per unit (instance record; heap block incl. allocator header):\n");
    for (const Type &t : types) {
        void *block = std::calloc(1, t.info->instanceSize);
        const size_t heap = malloc_usable_size(block) + sizeof(size_t);
        std::free(block);
        std::printf("  %-24s %5u bytes  (%zu on the heap)\n", t.name, t.info->instanceSize, heap);
    }
    const unsigned sine = VXU_LoadSineOscillator()->instanceSize, add = VXU_LoadAdd()->instanceSize;
    std::printf("  per voice: W1 %u, W2 %u, W3 %u bytes (voice units + one Add)\n", sine + add,
                VXU_LoadSawtoothOscillatorBL()->instanceSize +
                    VXU_LoadFilterLowPass()->instanceSize + add,
                VXU_LoadSampleRead16F1()->instanceSize + VXU_LoadEnvelopeLinear()->instanceSize +
                    add);
}

} // namespace

int main(int argc, char **argv) {
    for (int i = 1; i < argc; i++) {
        if (!std::strcmp(argv[i], "--reps") && i + 1 < argc) {
            gReps = std::max(1, std::atoi(argv[++i]));
        } else if (!std::strcmp(argv[i], "--ungrouped")) {
            gUngrouped = true;
        } else if (!std::strcmp(argv[i], "--quick")) {
            gQuick = true;
            gReps = 3;
        } else if (!std::strcmp(argv[i], "--no-four")) {
            gNoFour = true;
        } else if (!std::strcmp(argv[i], "--machine")) {
            gMachine = true;
        } else if (!std::strcmp(argv[i], "--only") && i + 1 < argc) {
            gOnly = argv[++i];
        } else {
            std::fprintf(stderr, "usage: %s [--reps N] [--quick] [--ungrouped] "
                                 "[--only W1,W2,W3,limit,grouping,threads,types,start,front] "
                                 "[--no-four] [--machine]\n",
                         argv[0]);
            return 2;
        }
    }
    const double seconds = gQuick ? 0.05 : 0.2;
    std::printf("Velto %d, %.0f frames/s, medians of %d runs; ns per voice per frame "
                "(lower is better)\n",
                Vexa_GetVersion(), kFrameRate, gReps);
    PrintHeader();
    /* N up to what the 2048 things of a context hold: a W1 voice is a sine and an Add, a W2
     * voice a saw, a filter and an Add. */
    if (Wanted("W1")) {
        for (int32_t n : {1, 64, 256, 512, 1024}) {
            Network net(n);
            BuildW1(net);
            PrintRow("W1: sine oscillators", "W1", n, TimeRender(net, seconds));
        }
    }
    if (Wanted("limit")) RunLimit(512);
    if (Wanted("W2")) {
        for (int32_t n : {1, 64, 256, 512, 682}) {
            Network net(n);
            BuildW2(net);
            PrintRow("W2: BL saw -> low-pass", "W2", n, TimeRender(net, seconds));
        }
    }
    if (Wanted("grouping")) RunGrouping(seconds);
    if (Wanted("threads")) RunThreads(seconds);
    if (Wanted("types")) RunTypes(seconds);
    if (Wanted("W3")) {
        Network net(256);
        BuildW3(net);
        PrintRow("W3: sample reader x envelope", "W3", 256, TimeRender(net, seconds));
    }
    if (Wanted("start")) RunStartCost();
    if (Wanted("front")) {
        RunCommands();
        RunCreateDelete();
        RunMemory();
    }
    return 0;
}
