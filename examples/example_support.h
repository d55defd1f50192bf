/*
 * example_support.h - what the examples share: a result check, a progress bar, and a runner
 * that plays a scheduled piece on the default device or, when no device can be opened (or with
 * --wav FILE), renders it offline into a WAV file with Vexa_StartDevices(VX_FLAG_NO_DEVICE) and
 * Vexa_RenderTicks.
 *
 * Only the public interface (velto.h, and velto_units.h for the type and port IDs) and
 * libsndfile are used.
 */
#ifndef VELTO_EXAMPLE_SUPPORT_H
#define VELTO_EXAMPLE_SUPPORT_H

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "velto.h"
#include "velto_units.h"

namespace example {

constexpr double kFrameRate = 44100.0;
constexpr int kFramesPerTick = 64;

inline int32_t SecondsToTicks(double seconds) {
    return static_cast<int32_t>(std::lround(seconds * kFrameRate / kFramesPerTick));
}

/* Prints a failed call's message; true when the result is not an error. */
inline bool Check(int32_t result, const char *what) {
    if (result >= 0) return true;
    fprintf(stderr, "%s failed: %s (%d)\n", what, Vexa_ErrorCodeToText(result), result);
    return false;
}

/* Creates a unit; returns its token, or a negative code after printing the message. */
inline int32_t Unit(VexaContext *ctx, uint32_t type, int32_t initArgument = 0) {
    const int32_t token = Vexa_CreateUnit(ctx, type, 0, initArgument);
    Check(token, "Vexa_CreateUnit");
    return token;
}

/* A progress bar on standard error, redrawn when it grows. */
inline void ShowProgress(int32_t done, int32_t total) {
    constexpr int kWidth = 40;
    static int shown = -1;
    const int filled =
        total > 0 ? static_cast<int>(static_cast<int64_t>(done) * kWidth / total) : kWidth;
    if (filled == shown && done < total) return;
    shown = done < total ? filled : -1;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(kWidth, '.');
    fprintf(stderr, "\r[%s] %3d%%", bar.c_str(),
            total > 0 ? static_cast<int>(static_cast<int64_t>(done) * 100 / total) : 100);
    if (done >= total) fputc('\n', stderr);
    fflush(stderr);
}

/* What an example gives the runner. */
struct Piece {
    const char *name;          /* default WAV name is <name>.wav */
    int32_t ticks;             /* length of the piece from its origin tick */
    int inputChannels = 0;     /* 2 for an example that reads the device input */
    /* Creates the units and schedules everything from tick `origin` on. */
    std::function<bool(VexaContext *, int32_t origin)> schedule;
    /* Offline only: fills `frames` interleaved input frames starting at frame `first` of the
     * piece (input examples; may be empty). */
    std::function<void(float *input, int64_t first, int32_t frames)> input;
};

/* Parses [--wav FILE] [--device]; returns false (after the usage text) on other arguments. */
struct Options {
    std::string wavPath;
    bool deviceOnly = false;
};

inline bool ParseOptions(int argc, char **argv, Options &options, const char *extraUsage = "",
                         const std::function<bool(int &, int, char **)> &extra = nullptr) {
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--wav") == 0 && i + 1 < argc) {
            options.wavPath = argv[++i];
        } else if (strcmp(argv[i], "--device") == 0) {
            options.deviceOnly = true;
        } else if (!extra || !extra(i, argc, argv)) {
            fprintf(stderr, "usage: %s [--wav FILE] [--device]%s\n", argv[0], extraUsage);
            return false;
        }
    }
    return true;
}

/* Plays on the running device and waits for the end of the piece. */
inline bool Play(VexaContext *ctx, const Piece &piece) {
    const int32_t origin = Vexa_GetTickCount(ctx) + 40; /* time for the commands to arrive */
    if (!piece.schedule(ctx, origin)) return false;
    for (int32_t done = 0; done < piece.ticks;) {
        done = std::min(piece.ticks, done + piece.ticks / 50 + 1);
        if (!Check(Vexa_SleepUntilTick(ctx, origin + done), "Vexa_SleepUntilTick")) return false;
        ShowProgress(done, piece.ticks);
    }
    printf("Played %.2f s through the default device.\n",
           piece.ticks * static_cast<double>(kFramesPerTick) / kFrameRate);
    return true;
}

/* Renders the piece offline into a 32-bit float stereo WAV file. */
inline bool Render(VexaContext *ctx, const Piece &piece, const std::string &path) {
    const int32_t origin = Vexa_GetTickCount(ctx);
    if (!piece.schedule(ctx, origin)) return false;

    SF_INFO info = {};
    info.samplerate = static_cast<int>(kFrameRate);
    info.channels = 2;
    info.format = SF_FORMAT_WAVEX | SF_FORMAT_FLOAT;
    SNDFILE *file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        fprintf(stderr, "Cannot write %s: %s\n", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    constexpr int32_t kChunkTicks = 32;
    std::vector<float> output(static_cast<size_t>(kChunkTicks) * kFramesPerTick * 2);
    std::vector<float> input(
        static_cast<size_t>(kChunkTicks) * kFramesPerTick * std::max(piece.inputChannels, 1));
    bool ok = true;
    for (int32_t done = 0; done < piece.ticks && ok;) {
        const int32_t ticks = std::min(kChunkTicks, piece.ticks - done);
        const int32_t frames = ticks * kFramesPerTick;
        const float *in = nullptr;
        if (piece.inputChannels > 0 && piece.input) {
            std::fill(input.begin(), input.end(), 0.0f);
            piece.input(input.data(), static_cast<int64_t>(done) * kFramesPerTick, frames);
            in = input.data();
        }
        ok = Check(Vexa_RenderTicks(ctx, in, output.data(), ticks), "Vexa_RenderTicks");
        if (ok && sf_writef_float(file, output.data(), frames) != frames) {
            fprintf(stderr, "Writing %s failed: %s\n", path.c_str(), sf_strerror(file));
            ok = false;
        }
        done += ticks;
        ShowProgress(done, piece.ticks);
    }
    if (sf_close(file) != 0) ok = false;
    if (ok)
        printf("Rendered %.2f s offline to %s.\n",
               piece.ticks * static_cast<double>(kFramesPerTick) / kFrameRate, path.c_str());
    return ok;
}

/* Runs an example: on the default device (with its input when the piece reads input) unless
 * --wav is given or no device opens, in which case the piece is rendered to a file. Returns
 * the process exit code. */
inline int Run(const Piece &piece, const Options &options) {
    VexaContext *ctx = Vexa_CreateContext();
    if (ctx == nullptr || !Check(Vexa_Initialize(ctx), "Vexa_Initialize")) return 1;

    std::string wavPath = options.wavPath;
    bool playing = false;
    if (wavPath.empty()) {
        const int32_t flags = piece.inputChannels > 0 ? VX_FLAG_INPUT : 0;
        const int32_t started = Vexa_Start(ctx, flags, kFrameRate);
        playing = started == 0;
        if (!playing && options.deviceOnly) {
            Check(started, "Vexa_Start");
            Vexa_Terminate(ctx);
            Vexa_DeleteContext(ctx);
            return 1;
        }
        if (!playing) {
            wavPath = std::string(piece.name) + ".wav";
            printf("No %s device could be opened; rendering offline instead.\n",
                   piece.inputChannels > 0 ? "duplex" : "output");
        }
    }
    bool ok;
    if (playing) {
        ok = Play(ctx, piece);
    } else {
        ok = Check(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, kFrameRate, -1, piece.inputChannels,
                                     0, 2),
                   "Vexa_StartDevices") &&
             Render(ctx, piece, wavPath);
    }
    const int32_t outstanding = Vexa_Terminate(ctx);
    if (outstanding != 0) {
        fprintf(stderr, "Vexa_Terminate: %d\n", outstanding);
        ok = false;
    }
    Vexa_DeleteContext(ctx);
    return ok ? 0 : 1;
}

} // namespace example

#endif /* VELTO_EXAMPLE_SUPPORT_H */
