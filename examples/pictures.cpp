/*
 * pictures.cpp - renders the material of the documentation's pictures with the engine itself
 * (docs/make-pictures.sh turns it into images):
 *
 *   pictures oscillators FILE.wav   plain and band-limited sawtooth and square oscillators,
 *                                   each swept from 100 Hz to 10 kHz in 3 s, one after the
 *                                   other (mono, 32-bit float)
 *   pictures biquads FILE.dat       the magnitude responses of the seven biquad designs,
 *                                   measured from each filter's impulse response as it comes
 *                                   out of the engine: columns frequency (Hz), then the gain in
 *                                   dB of LowPass, HighPass, BandPass, BandStop, PeakingEQ,
 *                                   LowShelf, HighShelf
 *   pictures envelope FILE.dat      an EnvelopeLinear region of five frames played once at
 *                                   Rate 1 and once at Rate 2: columns time (s), level, level
 */
#include <complex>

#include "example_support.h"

using namespace example;

namespace {

/* A context in no-device mode with the given channel counts. */
struct Offline {
    VexaContext *ctx = nullptr;
    Offline(int inputs, int outputs) {
        ctx = Vexa_CreateContext();
        if (ctx == nullptr || !Check(Vexa_Initialize(ctx), "Vexa_Initialize") ||
            !Check(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, kFrameRate, -1, inputs, 0, outputs),
                   "Vexa_StartDevices")) {
            if (ctx != nullptr) Vexa_DeleteContext(ctx);
            ctx = nullptr;
        }
    }
    ~Offline() {
        if (ctx == nullptr) return;
        const int32_t left = Vexa_Terminate(ctx);
        if (left != 0) fprintf(stderr, "Vexa_Terminate: %d\n", left);
        Vexa_DeleteContext(ctx);
    }
};

bool Oscillators(const char *path) {
    const uint32_t types[] = {VEXA_UNIT_SAWTOOTH_OSCILLATOR, VEXA_UNIT_SAWTOOTH_OSCILLATOR_BL,
                              VEXA_UNIT_SQUARE_OSCILLATOR, VEXA_UNIT_SQUARE_OSCILLATOR_BL};
    const double sweepSeconds = 3.0, gapSeconds = 0.2;
    const int32_t sweep = SecondsToTicks(sweepSeconds);
    const int32_t step = SecondsToTicks(sweepSeconds + gapSeconds);
    Offline offline(0, 1);
    VexaContext *ctx = offline.ctx;
    if (ctx == nullptr) return false;
    int32_t at = Vexa_GetTickCount(ctx) + 1;
    for (uint32_t type : types) {
        const int32_t osc = Unit(ctx, type);
        const int32_t out = Unit(ctx, VEXA_UNIT_CHANNEL_OUT); /* on channel 0 */
        if (osc < 0 || out < 0) return false;
        bool ok = Check(Vexa_SetPort(ctx, osc, VEXA_PORT_AMPLITUDE, 0, 0.5), "Vexa_SetPort") &&
                  Check(Vexa_ConnectUnits(ctx, osc, VEXA_PORT_OUTPUT, 0, out, VEXA_PORT_INPUT, 0),
                        "connect");
        for (int32_t t = 0; ok && t < sweep; t++)
            ok = Check(Vexa_SetPortAt(ctx, at + t, osc, VEXA_PORT_FREQUENCY, 0,
                                      100.0 * std::pow(100.0, static_cast<double>(t) / sweep)),
                       "Vexa_SetPortAt");
        for (int32_t unit : {osc, out})
            ok = ok && Check(Vexa_StartUnitAt(ctx, at, unit), "Vexa_StartUnitAt") &&
                 Check(Vexa_StopUnitAt(ctx, at + sweep, unit), "Vexa_StopUnitAt");
        if (!ok) return false;
        at += step;
    }
    const int32_t total = at - Vexa_GetTickCount(ctx);
    std::vector<float> mono(static_cast<size_t>(total) * kFramesPerTick);
    if (!Check(Vexa_RenderTicks(ctx, nullptr, mono.data(), total), "Vexa_RenderTicks"))
        return false;
    SF_INFO info = {};
    info.samplerate = static_cast<int>(kFrameRate);
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE *file = sf_open(path, SFM_WRITE, &info);
    if (file == nullptr) {
        fprintf(stderr, "Cannot write %s: %s\n", path, sf_strerror(nullptr));
        return false;
    }
    const bool ok = sf_writef_float(file, mono.data(), static_cast<sf_count_t>(mono.size())) ==
                    static_cast<sf_count_t>(mono.size());
    return sf_close(file) == 0 && ok;
}

struct Design {
    const char *name;
    uint32_t type;
    std::vector<std::pair<uint32_t, double>> settings;
};

/* The impulse response of one filter: an impulse fed through LineIn, the filter's output
 * taken from a ChannelOut. */
bool ImpulseResponse(const Design &design, std::vector<float> &response) {
    constexpr int32_t kTicks = 256; /* 16384 frames */
    Offline offline(1, 1);
    VexaContext *ctx = offline.ctx;
    if (ctx == nullptr) return false;
    const int32_t in = Unit(ctx, VEXA_UNIT_CHANNEL_IN); /* on channel 0 */
    const int32_t filter = Unit(ctx, design.type);
    const int32_t out = Unit(ctx, VEXA_UNIT_CHANNEL_OUT); /* on channel 0 */
    if (in < 0 || filter < 0 || out < 0) return false;
    bool ok = Check(Vexa_ConnectUnits(ctx, in, VEXA_PORT_OUTPUT, 0, filter, VEXA_PORT_INPUT, 0),
                    "connect") &&
              Check(Vexa_ConnectUnits(ctx, filter, VEXA_PORT_OUTPUT, 0, out, VEXA_PORT_INPUT, 0),
                    "connect");
    for (const auto &[port, value] : design.settings)
        ok = ok && Check(Vexa_SetPort(ctx, filter, port, 0, value), "Vexa_SetPort");
    for (int32_t unit : {in, filter, out})
        ok = ok && Check(Vexa_StartUnit(ctx, unit), "Vexa_StartUnit");
    /* The commands execute at the start of the next tick; the impulse comes one tick later. */
    ok = ok && Check(Vexa_RenderTicks(ctx, nullptr, nullptr, 1), "Vexa_RenderTicks");
    if (!ok) return false;
    std::vector<float> impulse(static_cast<size_t>(kTicks) * kFramesPerTick, 0.0f);
    impulse[0] = 1.0f;
    response.assign(impulse.size(), 0.0f);
    return Check(Vexa_RenderTicks(ctx, impulse.data(), response.data(), kTicks),
                 "Vexa_RenderTicks");
}

bool Biquads(const char *path) {
    const double corner = 1000.0, q = 2.0, gain = 4.0; /* gain 4 = +12 dB */
    const std::vector<Design> designs = {
        {"LowPass", VEXA_UNIT_FILTER_LOW_PASS, {{VEXA_PORT_FREQUENCY, corner}, {VEXA_PORT_Q, q}}},
        {"HighPass", VEXA_UNIT_FILTER_HIGH_PASS, {{VEXA_PORT_FREQUENCY, corner}, {VEXA_PORT_Q, q}}},
        {"BandPass", VEXA_UNIT_FILTER_BAND_PASS, {{VEXA_PORT_FREQUENCY, corner}, {VEXA_PORT_Q, q}}},
        {"BandStop", VEXA_UNIT_FILTER_BAND_STOP, {{VEXA_PORT_FREQUENCY, corner}, {VEXA_PORT_Q, q}}},
        {"PeakingEQ",
         VEXA_UNIT_FILTER_PEAKING_EQ,
         {{VEXA_PORT_FREQUENCY, corner}, {VEXA_PORT_Q, q}, {VEXA_PORT_GAIN, gain}}},
        {"LowShelf",
         VEXA_UNIT_FILTER_LOW_SHELF,
         {{VEXA_PORT_FREQUENCY, corner}, {VEXA_PORT_GAIN, gain}, {VEXA_PORT_SLOPE, 1.0}}},
        {"HighShelf",
         VEXA_UNIT_FILTER_HIGH_SHELF,
         {{VEXA_PORT_FREQUENCY, corner}, {VEXA_PORT_GAIN, gain}, {VEXA_PORT_SLOPE, 1.0}}},
    };
    constexpr int kPoints = 400;
    std::vector<std::vector<double>> gains(designs.size(), std::vector<double>(kPoints));
    std::vector<double> frequencies(kPoints);
    for (int k = 0; k < kPoints; k++)
        frequencies[k] = 20.0 * std::pow(20000.0 / 20.0, static_cast<double>(k) / (kPoints - 1));
    for (size_t d = 0; d < designs.size(); d++) {
        std::vector<float> h;
        if (!ImpulseResponse(designs[d], h)) return false;
        for (int k = 0; k < kPoints; k++) {
            /* The response at one frequency: the impulse response's Fourier sum there. */
            const double w = 2.0 * M_PI * frequencies[k] / kFrameRate;
            std::complex<double> sum = 0.0;
            for (size_t n = 0; n < h.size(); n++) sum += static_cast<double>(h[n]) *
                                                         std::polar(1.0, -w * static_cast<double>(n));
            gains[d][k] = 20.0 * std::log10(std::max(std::abs(sum), 1e-12));
        }
    }
    FILE *out = fopen(path, "w");
    if (out == nullptr) {
        perror(path);
        return false;
    }
    fprintf(out, "# frequency");
    for (const Design &d : designs) fprintf(out, " %s", d.name);
    fprintf(out, "\n");
    for (int k = 0; k < kPoints; k++) {
        fprintf(out, "%.3f", frequencies[k]);
        for (size_t d = 0; d < designs.size(); d++) fprintf(out, " %.4f", gains[d][k]);
        fprintf(out, "\n");
    }
    return fclose(out) == 0;
}

bool EnvelopeRun(double rate, std::vector<float> &levels, int32_t ticks) {
    Offline offline(0, 1);
    VexaContext *ctx = offline.ctx;
    if (ctx == nullptr) return false;
    /* (seconds, level): attack, decay, sustain, a swell, release */
    const double frames[] = {0.05, 1.0, 0.15, 0.55, 0.3, 0.5, 0.1, 0.8, 0.35, 0.0};
    const int32_t envelope = Vexa_CreateEnvelope(ctx, 5);
    const int32_t unit = Unit(ctx, VEXA_UNIT_ENVELOPE_LINEAR);
    const int32_t out = Unit(ctx, VEXA_UNIT_CHANNEL_OUT); /* on channel 0 */
    if (!Check(envelope, "Vexa_CreateEnvelope") || unit < 0 || out < 0) return false;
    const int32_t at = Vexa_GetTickCount(ctx) + SecondsToTicks(0.05);
    bool ok = Check(Vexa_WriteEnvelope(ctx, envelope, 0, frames, 5), "Vexa_WriteEnvelope") &&
              Check(Vexa_SetPort(ctx, unit, VEXA_PORT_RATE, 0, rate), "Vexa_SetPort") &&
              Check(Vexa_SetPort(ctx, unit, VEXA_PORT_AMPLITUDE, 0, 1.0), "Vexa_SetPort") &&
              Check(Vexa_ConnectUnits(ctx, unit, VEXA_PORT_OUTPUT, 0, out, VEXA_PORT_INPUT, 0),
                    "connect") &&
              Check(Vexa_StartUnit(ctx, unit), "Vexa_StartUnit") &&
              Check(Vexa_StartUnit(ctx, out), "Vexa_StartUnit") &&
              Check(Vexa_QueueDataAt(ctx, at, unit, VEXA_PORT_DATA, envelope, 0, 5, 0),
                    "Vexa_QueueDataAt");
    levels.assign(static_cast<size_t>(ticks) * kFramesPerTick, 0.0f);
    return ok && Check(Vexa_RenderTicks(ctx, nullptr, levels.data(), ticks), "Vexa_RenderTicks");
}

bool Envelope(const char *path) {
    const int32_t ticks = SecondsToTicks(1.1);
    std::vector<float> normal, fast;
    if (!EnvelopeRun(1.0, normal, ticks) || !EnvelopeRun(2.0, fast, ticks)) return false;
    FILE *out = fopen(path, "w");
    if (out == nullptr) {
        perror(path);
        return false;
    }
    fprintf(out, "# time rate1 rate2\n");
    for (size_t i = 0; i < normal.size(); i += 16)
        fprintf(out, "%.5f %.6f %.6f\n", i / kFrameRate, normal[i], fast[i]);
    return fclose(out) == 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && strcmp(argv[1], "oscillators") == 0) return Oscillators(argv[2]) ? 0 : 1;
    if (argc == 3 && strcmp(argv[1], "biquads") == 0) return Biquads(argv[2]) ? 0 : 1;
    if (argc == 3 && strcmp(argv[1], "envelope") == 0) return Envelope(argv[2]) ? 0 : 1;
    fprintf(stderr, "usage: %s oscillators FILE.wav | biquads FILE.dat | envelope FILE.dat\n",
            argv[0]);
    return 2;
}
