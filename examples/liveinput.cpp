/*
 * liveinput.cpp - the device input through a filter and two delays to the output. Both input
 * channels are mixed (Add), shaped by a FilterLowPass, sent straight to the output and, after
 * two Delay units of different lengths scaled by Multiply units, to the left and the right
 * side: an echo that bounces from side to side.
 *
 * With a duplex device (Vexa_Start with VX_FLAG_INPUT) it runs live for --seconds (default
 * 15). Without one, or with --wav FILE, it renders offline, feeding the input through
 * Vexa_RenderTicks: a WAV file given with --input, or else a pattern of its own (short drum
 * hits and blips).
 *
 *   liveinput [--input FILE.wav] [--seconds S] [--wav FILE] [--device]
 */
#include <cstdlib>
#include <random>

#include "example_support.h"

using namespace example;

namespace {

constexpr double kLeftDelay = 0.30, kRightDelay = 0.45;
constexpr double kLeftLevel = 0.5, kRightLevel = 0.4;

bool Schedule(VexaContext *ctx, int32_t origin, int32_t ticks) {
    const int32_t in = Unit(ctx, VEXA_UNIT_LINE_IN);
    const int32_t mix = Unit(ctx, VEXA_UNIT_ADD);
    const int32_t filter = Unit(ctx, VEXA_UNIT_FILTER_LOW_PASS);
    const int32_t dry = Unit(ctx, VEXA_UNIT_LINE_OUT);
    const int32_t left = Unit(ctx, VEXA_UNIT_DELAY, static_cast<int32_t>(kLeftDelay * kFrameRate));
    const int32_t right =
        Unit(ctx, VEXA_UNIT_DELAY, static_cast<int32_t>(kRightDelay * kFrameRate));
    const int32_t leftLevel = Unit(ctx, VEXA_UNIT_MULTIPLY);
    const int32_t rightLevel = Unit(ctx, VEXA_UNIT_MULTIPLY);
    const int32_t wet = Unit(ctx, VEXA_UNIT_LINE_OUT);
    for (int32_t unit : {in, mix, filter, dry, left, right, leftLevel, rightLevel, wet})
        if (unit < 0) return false;
    struct Link {
        int32_t from;
        uint32_t output;
        int32_t outPart;
        int32_t to;
        uint32_t input;
        int32_t inPart;
    };
    const Link links[] = {
        {in, VEXA_PORT_OUTPUT, 0, mix, VEXA_PORT_INPUT_A, 0},
        {in, VEXA_PORT_OUTPUT, 1, mix, VEXA_PORT_INPUT_B, 0},
        {mix, VEXA_PORT_OUTPUT, 0, filter, VEXA_PORT_INPUT, 0},
        {filter, VEXA_PORT_OUTPUT, 0, dry, VEXA_PORT_INPUT, 0},
        {filter, VEXA_PORT_OUTPUT, 0, dry, VEXA_PORT_INPUT, 1},
        {filter, VEXA_PORT_OUTPUT, 0, left, VEXA_PORT_INPUT, 0},
        {filter, VEXA_PORT_OUTPUT, 0, right, VEXA_PORT_INPUT, 0},
        {left, VEXA_PORT_OUTPUT, 0, leftLevel, VEXA_PORT_INPUT_A, 0},
        {right, VEXA_PORT_OUTPUT, 0, rightLevel, VEXA_PORT_INPUT_A, 0},
        {leftLevel, VEXA_PORT_OUTPUT, 0, wet, VEXA_PORT_INPUT, 0},
        {rightLevel, VEXA_PORT_OUTPUT, 0, wet, VEXA_PORT_INPUT, 1},
    };
    for (const Link &l : links)
        if (!Check(Vexa_ConnectUnits(ctx, l.from, l.output, l.outPart, l.to, l.input, l.inPart),
                   "Vexa_ConnectUnits"))
            return false;
    bool ok =
        Check(Vexa_SetPort(ctx, filter, VEXA_PORT_FREQUENCY, 0, 2500.0), "Vexa_SetPort") &&
        Check(Vexa_SetPort(ctx, filter, VEXA_PORT_Q, 0, 0.9), "Vexa_SetPort") &&
        Check(Vexa_SetPort(ctx, filter, VEXA_PORT_AMPLITUDE, 0, 0.5), "Vexa_SetPort") &&
        Check(Vexa_SetPort(ctx, leftLevel, VEXA_PORT_INPUT_B, 0, kLeftLevel), "Vexa_SetPort") &&
        Check(Vexa_SetPort(ctx, rightLevel, VEXA_PORT_INPUT_B, 0, kRightLevel), "Vexa_SetPort");
    /* In signal order, so that every block flows from the input to the output at once. */
    for (int32_t unit : {in, mix, filter, dry, left, right, leftLevel, rightLevel, wet})
        ok = ok && Check(Vexa_StartUnitAt(ctx, origin, unit), "Vexa_StartUnitAt") &&
             Check(Vexa_StopUnitAt(ctx, origin + ticks, unit), "Vexa_StopUnitAt");
    return ok;
}

/* Offline input: a file's frames (stereo, or mono on both sides), or a pattern of its own. */
struct Source {
    std::vector<float> frames; /* interleaved stereo */
    bool Load(const std::string &path) {
        SF_INFO info = {};
        SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
        if (file == nullptr) {
            fprintf(stderr, "Cannot read %s: %s\n", path.c_str(), sf_strerror(nullptr));
            return false;
        }
        std::vector<float> data(static_cast<size_t>(info.frames * info.channels));
        const sf_count_t got = sf_readf_float(file, data.data(), info.frames);
        sf_close(file);
        if (info.samplerate != static_cast<int>(kFrameRate))
            fprintf(stderr, "note: %s is at %d Hz and plays at %g Hz\n", path.c_str(),
                    info.samplerate, kFrameRate);
        frames.resize(static_cast<size_t>(got) * 2);
        for (sf_count_t i = 0; i < got; i++) {
            frames[2 * i] = data[i * info.channels];
            frames[2 * i + 1] = data[i * info.channels + (info.channels > 1 ? 1 : 0)];
        }
        return true;
    }
    void MakePattern(double seconds) {
        const size_t count = static_cast<size_t>(seconds * kFrameRate);
        frames.assign(count * 2, 0.0f);
        std::mt19937 random(99);
        std::uniform_real_distribution<double> noise(-1.0, 1.0);
        const double beat = 0.6; /* seconds; the echoes fall between the hits */
        for (int hit = 0; hit * beat < seconds - 1.5; hit++) {
            const size_t start = static_cast<size_t>(hit * beat * kFrameRate);
            const bool blip = hit % 2 == 1;
            const double pitch = blip ? 880.0 * (1 + hit % 3) : 0.0;
            for (size_t i = 0; i < static_cast<size_t>(0.12 * kFrameRate); i++) {
                if (start + i >= count) break;
                const double t = i / kFrameRate;
                const double decay = std::exp(-t * (blip ? 30.0 : 45.0));
                const double v = blip ? std::sin(2.0 * M_PI * pitch * t)
                                      : 0.6 * noise(random) + std::sin(2.0 * M_PI * 60.0 * t);
                frames[2 * (start + i)] = frames[2 * (start + i) + 1] =
                    static_cast<float>(0.7 * v * decay);
            }
        }
    }
};

} // namespace

int main(int argc, char **argv) {
    Options options;
    std::string inputPath;
    double seconds = 15.0;
    auto extra = [&](int &i, int count, char **args) {
        if (strcmp(args[i], "--input") == 0 && i + 1 < count) {
            inputPath = args[++i];
            return true;
        }
        if (strcmp(args[i], "--seconds") == 0 && i + 1 < count) {
            seconds = atof(args[++i]);
            return seconds > 0.0;
        }
        return false;
    };
    if (!ParseOptions(argc, argv, options, " [--input FILE.wav] [--seconds S]", extra)) return 2;

    Source source;
    if (!inputPath.empty()) {
        if (!source.Load(inputPath)) return 1;
        if (seconds == 15.0) seconds = source.frames.size() / 2 / kFrameRate + 1.0;
    } else {
        source.MakePattern(seconds);
    }
    Piece piece;
    piece.name = "liveinput";
    piece.ticks = SecondsToTicks(seconds);
    piece.inputChannels = 2;
    piece.schedule = [&](VexaContext *ctx, int32_t origin) {
        return Schedule(ctx, origin, piece.ticks);
    };
    piece.input = [&](float *input, int64_t first, int32_t frames) {
        const int64_t available = static_cast<int64_t>(source.frames.size() / 2) - first;
        const int64_t count = std::clamp<int64_t>(available, 0, frames);
        if (count > 0)
            std::copy_n(source.frames.begin() + first * 2, count * 2, input);
    };
    return Run(piece, options);
}
