/*
 * demo.cpp - a short piece for Velto: a few notes, each played by two detuned oscillators
 * (one per stereo side) mixed through a LineOut, with frequency glides and level changes
 * scheduled at exact ticks. Every note's level comes from an envelope (EnvelopeLinear), so
 * that no note begins, changes or ends with a step (a click): the first half's notes rise
 * and fall within a few milliseconds, the second half's glide. The second half adds
 * band-limited oscillators through resonant low-pass filters whose corner glides over the
 * note and a wavetable voice reading a table.
 *
 * With an output device it plays in real time. When no device can be opened, or with
 * --wav FILE, it renders offline with Vexa_RenderTicks into a WAV file (32-bit float, or
 * 16-bit with --pcm16).
 *
 *   demo [--wav FILE] [--pcm16]
 */
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "velto.h"
#include "velto_units.h"

namespace {

constexpr double kFrameRate = 44100.0;
constexpr int kChannels = 2;
constexpr double kBeatsPerMinute = 120.0;
constexpr double kTailBeats = 0.5; /* silence after the last note */

/* The score. Times are in beats; each note starts, changes and stops on exact ticks.
 * `level` is each oscillator's amplitude after the attack, `laterLevel` from `changeAt` (a
 * fraction of the note) on, when the frequency also moves to `laterFrequency` (0 keeps it).
 * An EnvelopeLinear drives the amplitude: it rises to `level` in a few milliseconds from the
 * note's first tick, moves to `laterLevel` in as long at `changeAt`, and falls to silence
 * just before the note's last tick. A note with `glide` set has a gentler curve: a slower
 * attack, a glide to `laterLevel` until `changeAt`, and a long release. A note with `filterQ`
 * above 0 goes through a FilterLowPass with that Q whose corner glides from `filterFrom` to
 * `filterTo` (hertz) over the note, one step per tick. The WaveOscillator plays the piece's
 * wavetable. */
struct Note {
    double start;
    double length;
    uint32_t wave;
    double frequency;
    double detuneCents; /* between the left and the right oscillator */
    double level;
    double changeAt;
    double laterFrequency;
    double laterLevel;
    bool glide = false;
    double filterQ = 0.0;
    double filterFrom = 0.0;
    double filterTo = 0.0;
};

const Note kScore[] = {
    /* start len  wave                 Hz      cents level change later Hz  later level */
    {0.0, 2.0, VEXA_UNIT_SINE_OSCILLATOR, 440.00, 8.0, 0.30, 0.50, 0.0, 0.15},
    {1.0, 2.0, VEXA_UNIT_TRIANGLE_OSCILLATOR, 554.37, 10.0, 0.20, 0.50, 0.0, 0.10},
    {2.0, 2.0, VEXA_UNIT_SINE_OSCILLATOR, 659.25, 6.0, 0.20, 0.50, 880.00, 0.12},
    {4.0, 1.0, VEXA_UNIT_SAWTOOTH_OSCILLATOR, 220.00, 14.0, 0.08, 0.50, 0.0, 0.05},
    {5.0, 3.0, VEXA_UNIT_TRIANGLE_OSCILLATOR, 329.63, 12.0, 0.25, 0.33, 293.66, 0.18},
    {5.0, 3.0, VEXA_UNIT_SINE_OSCILLATOR, 164.81, 4.0, 0.25, 0.66, 0.0, 0.12},
    /* start len  wave                 Hz      cents level change later Hz  later level
     *                                                      glide  Q  corner from, to */
    {8.0, 4.0, VEXA_UNIT_SAWTOOTH_OSCILLATOR_BL, 110.00, 10.0, 0.22, 0.50, 0.0, 0.16, true, 5.0,
     180, 2400},
    {8.0, 1.0, VEXA_UNIT_WAVE_OSCILLATOR, 440.00, 6.0, 0.20, 0.30, 0.0, 0.10, true},
    {9.0, 1.0, VEXA_UNIT_WAVE_OSCILLATOR, 554.37, 6.0, 0.20, 0.30, 0.0, 0.10, true},
    {10.0, 1.0, VEXA_UNIT_WAVE_OSCILLATOR, 659.25, 6.0, 0.20, 0.30, 0.0, 0.10, true},
    {11.0, 1.0, VEXA_UNIT_WAVE_OSCILLATOR, 880.00, 6.0, 0.18, 0.30, 0.0, 0.09, true},
    {12.0, 4.0, VEXA_UNIT_SQUARE_OSCILLATOR_BL, 146.83, 8.0, 0.18, 0.60, 0.0, 0.12, true, 4.0, 2600,
     250},
    {12.0, 2.0, VEXA_UNIT_WAVE_OSCILLATOR, 587.33, 6.0, 0.18, 0.40, 0.0, 0.09, true},
    {14.0, 2.0, VEXA_UNIT_WAVE_OSCILLATOR, 440.00, 6.0, 0.18, 0.40, 0.0, 0.07, true},
};

/* One cycle of the wavetable voice: a few harmonics, 512 intervals, the last value equal to
 * the first. Created once, used by every WaveOscillator of the piece. */
constexpr uint32_t kWaveValues = 513;
int32_t gWaveTable = 0;

double SecondsPerBeat() { return 60.0 / kBeatsPerMinute; }

int32_t BeatsToTicks(double beats) {
    return static_cast<int32_t>(std::lround(beats * SecondsPerBeat() * kFrameRate / 64.0));
}

int32_t PieceTicks() {
    double end = 0.0;
    for (const Note &note : kScore) end = std::fmax(end, note.start + note.length);
    return BeatsToTicks(end + kTailBeats);
}

bool Check(int32_t result, const char *what) {
    if (result >= 0) return true;
    fprintf(stderr, "%s failed: %s (%d)\n", what, Vexa_ErrorCodeToText(result), result);
    return false;
}

bool MakeWaveTable(VexaContext *ctx) {
    const double harmonics[] = {1.0, 0.0, 0.45, 0.0, 0.25, 0.12, 0.0, 0.08};
    std::vector<double> values(kWaveValues);
    double peak = 0.0;
    for (uint32_t j = 0; j < kWaveValues; j++) {
        const double x = 2.0 * M_PI * j / (kWaveValues - 1);
        double v = 0.0;
        for (size_t h = 0; h < std::size(harmonics); h++) v += harmonics[h] * std::sin((h + 1) * x);
        values[j] = v;
        peak = std::fmax(peak, std::fabs(v));
    }
    for (double &v : values) v /= peak;
    values.back() = values.front();
    gWaveTable = Vexa_CreateTable(ctx, kWaveValues);
    return Check(gWaveTable, "Vexa_CreateTable") &&
           Check(Vexa_WriteTableDoubles(ctx, gWaveTable, 0, values.data(), kWaveValues),
                 "Vexa_WriteTableDoubles");
}

/* The frames (duration, level) of a note's level curve, relative to its level, from its
 * tick-exact length and the offset of its change, in seconds. Every curve reaches 0 a little
 * before the note's last tick, so that the note is silent when its units stop. */
constexpr double kEdgeSeconds = 0.005; /* attack, level change and release of a plain note */
constexpr double kStopMargin = 0.002;  /* silence before the stop, for the frames' rounding */

std::vector<double> NoteCurve(const Note &note, double seconds, double changeAt) {
    const double later = note.laterLevel / note.level;
    if (note.glide) {
        const double attack = 0.015, release = std::fmin(0.25, 0.3 * seconds);
        const double change = std::fmax(0.0, changeAt - attack);
        const double hold = std::fmax(0.0, seconds - 0.01 - attack - change - release);
        return {attack, 1.0, change, later, hold, later, release, 0.0};
    }
    const double edge = kEdgeSeconds;
    const double hold = seconds - kStopMargin - changeAt - 2.0 * edge;
    return {edge, 1.0, changeAt - edge, 1.0, edge, later, hold, later, edge, 0.0};
}

/* Writes a note's level curve into a new envelope; returns its token, or -1. */
int32_t MakeNoteEnvelope(VexaContext *ctx, const std::vector<double> &frames) {
    const int32_t count = static_cast<int32_t>(frames.size() / 2);
    const int32_t envelope = Vexa_CreateEnvelope(ctx, count);
    if (!Check(envelope, "Vexa_CreateEnvelope") ||
        !Check(Vexa_WriteEnvelope(ctx, envelope, 0, frames.data(), count), "Vexa_WriteEnvelope"))
        return -1;
    return envelope;
}

/* Creates the units of one note and schedules its whole life from tick `origin` on. */
bool ScheduleNote(VexaContext *ctx, const Note &note, int32_t origin) {
    const int32_t start = origin + BeatsToTicks(note.start);
    const int32_t change = origin + BeatsToTicks(note.start + note.length * note.changeAt);
    const int32_t stop = origin + BeatsToTicks(note.start + note.length);

    const int32_t out = Vexa_CreateUnit(ctx, VEXA_UNIT_LINE_OUT, 0, 0);
    if (!Check(out, "Vexa_CreateUnit(LineOut)")) return false;
    /* The envelope: one unit for both sides, its level curve scaled by the note's level and
     * timed by the note's ticks. */
    const double secondsPerTick = 64.0 / kFrameRate;
    const std::vector<double> frames =
        NoteCurve(note, (stop - start) * secondsPerTick, (change - start) * secondsPerTick);
    const int32_t curve = MakeNoteEnvelope(ctx, frames);
    const int32_t env = Vexa_CreateUnit(ctx, VEXA_UNIT_ENVELOPE_LINEAR, 0, 0);
    if (curve < 0 || !Check(env, "Vexa_CreateUnit(EnvelopeLinear)") ||
        !Check(Vexa_SetPort(ctx, env, VEXA_PORT_AMPLITUDE, 0, note.level), "Vexa_SetPort") ||
        !Check(Vexa_QueueDataAt(ctx, start, env, VEXA_PORT_DATA, curve, 0,
                                static_cast<int32_t>(frames.size() / 2), 0),
               "Vexa_QueueDataAt") ||
        !Check(Vexa_Delete(ctx, curve), "Vexa_Delete")) /* the queue holds it */
        return false;
    std::vector<int32_t> units = {env}; /* sources run before the units that read them */
    std::vector<int32_t> filters;
    for (int side = 0; side < kChannels; side++) {
        const double cents = (side == 0 ? -0.5 : 0.5) * note.detuneCents;
        const double ratio = std::pow(2.0, cents / 1200.0);
        const int32_t osc = Vexa_CreateUnit(ctx, note.wave, 0, 0);
        if (!Check(osc, "Vexa_CreateUnit(oscillator)")) return false;
        bool ok =
            Check(Vexa_SetPortAt(ctx, start, osc, VEXA_PORT_FREQUENCY, 0, note.frequency * ratio),
                  "Vexa_SetPortAt");
        if (ok && note.wave == VEXA_UNIT_WAVE_OSCILLATOR)
            ok = Check(Vexa_UseTable(ctx, osc, VEXA_PORT_TABLE, 0, gWaveTable), "Vexa_UseTable");
        ok = ok &&
             Check(Vexa_ConnectUnits(ctx, env, VEXA_PORT_OUTPUT, 0, osc, VEXA_PORT_AMPLITUDE, 0),
                   "Vexa_ConnectUnits");
        if (ok && note.laterFrequency > 0.0)
            ok = Check(Vexa_SetPortAt(ctx, change, osc, VEXA_PORT_FREQUENCY, 0,
                                      note.laterFrequency * ratio),
                       "Vexa_SetPortAt");
        /* Straight to the output, or through a resonant low-pass of its own. */
        int32_t feed = osc;
        if (ok && note.filterQ > 0.0) {
            const int32_t filter = Vexa_CreateUnit(ctx, VEXA_UNIT_FILTER_LOW_PASS, 0, 0);
            ok = Check(filter, "Vexa_CreateUnit(FilterLowPass)") &&
                 Check(Vexa_SetPort(ctx, filter, VEXA_PORT_Q, 0, note.filterQ), "Vexa_SetPort") &&
                 Check(Vexa_SetPort(ctx, filter, VEXA_PORT_AMPLITUDE, 0, 1.5 / note.filterQ),
                       "Vexa_SetPort") &&
                 Check(Vexa_ConnectUnits(ctx, osc, VEXA_PORT_OUTPUT, 0, filter, VEXA_PORT_INPUT, 0),
                       "Vexa_ConnectUnits");
            feed = filter;
            filters.push_back(filter);
        }
        ok = ok &&
             Check(Vexa_ConnectUnits(ctx, feed, VEXA_PORT_OUTPUT, 0, out, VEXA_PORT_INPUT, side),
                   "Vexa_ConnectUnits");
        if (!ok) return false;
        units.push_back(osc);
    }
    /* The corner frequencies glide, evenly in pitch, one step per tick. */
    for (int32_t tick = start; tick < stop && !filters.empty(); tick++) {
        const double x = static_cast<double>(tick - start) / (stop - start);
        const double corner = note.filterFrom * std::pow(note.filterTo / note.filterFrom, x);
        for (int32_t filter : filters)
            if (!Check(Vexa_SetPortAt(ctx, tick, filter, VEXA_PORT_FREQUENCY, 0, corner),
                       "Vexa_SetPortAt"))
                return false;
    }
    units.insert(units.end(), filters.begin(), filters.end());
    units.push_back(out); /* the mixer runs after its sources */
    for (int32_t unit : units) {
        if (!Check(Vexa_StartUnitAt(ctx, start, unit), "Vexa_StartUnitAt") ||
            !Check(Vexa_StopUnitAt(ctx, stop, unit), "Vexa_StopUnitAt"))
            return false;
    }
    return true;
}

bool ScheduleScore(VexaContext *ctx, int32_t origin) {
    if (!MakeWaveTable(ctx)) return false;
    for (const Note &note : kScore)
        if (!ScheduleNote(ctx, note, origin)) return false;
    return true;
}

/* A progress bar on standard error, redrawn when it grows. */
void ShowProgress(int32_t done, int32_t total) {
    constexpr int kWidth = 40;
    static int shown = -1;
    const int filled =
        total > 0 ? static_cast<int>(static_cast<int64_t>(done) * kWidth / total) : kWidth;
    if (filled == shown && done < total) return;
    shown = done < total ? filled : -1;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(kWidth, '.');
    fprintf(stderr, "\r[%s] %3d%%", bar.c_str(), total > 0 ? done * 100 / total : 100);
    if (done >= total) fputc('\n', stderr);
    fflush(stderr);
}

/* Plays the piece on the running device; returns false on an engine error. */
bool Play(VexaContext *ctx) {
    const int32_t origin = Vexa_GetTickCount(ctx) + 40; /* time for the commands to arrive */
    if (!ScheduleScore(ctx, origin)) return false;
    const int32_t total = PieceTicks();
    for (int32_t done = 0; done < total;) {
        done = std::min(total, done + total / 50 + 1);
        if (!Check(Vexa_SleepUntilTick(ctx, origin + done), "Vexa_SleepUntilTick")) return false;
        ShowProgress(done, total);
    }
    printf("Played %.2f s through the default output device.\n",
           PieceTicks() * 64.0 / kFrameRate);
    return true;
}

/* Renders the piece into a WAV file; returns false on an engine or file error. */
bool Render(VexaContext *ctx, const std::string &path, bool pcm16) {
    const int32_t origin = Vexa_GetTickCount(ctx);
    if (!ScheduleScore(ctx, origin)) return false;

    SF_INFO info = {};
    info.samplerate = static_cast<int>(kFrameRate);
    info.channels = kChannels;
    info.format = SF_FORMAT_WAVEX | (pcm16 ? SF_FORMAT_PCM_16 : SF_FORMAT_FLOAT);
    SNDFILE *file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        fprintf(stderr, "Cannot write %s: %s\n", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    if (pcm16) sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);

    const int32_t total = PieceTicks();
    constexpr int32_t kChunkTicks = 32;
    std::vector<float> buffer(static_cast<size_t>(kChunkTicks) * 64 * kChannels);
    bool ok = true;
    for (int32_t done = 0; done < total && ok;) {
        const int32_t ticks = std::min(kChunkTicks, total - done);
        ok = Check(Vexa_RenderTicks(ctx, nullptr, buffer.data(), ticks), "Vexa_RenderTicks");
        const sf_count_t frames = static_cast<sf_count_t>(ticks) * 64;
        if (ok && sf_writef_float(file, buffer.data(), frames) != frames) {
            fprintf(stderr, "Writing %s failed: %s\n", path.c_str(), sf_strerror(file));
            ok = false;
        }
        done += ticks;
        ShowProgress(done, total);
    }
    if (sf_close(file) != 0) ok = false;
    if (ok)
        printf("Rendered %.2f s offline to %s (%d Hz, %d channels, %s).\n",
               total * 64.0 / kFrameRate, path.c_str(), info.samplerate, kChannels,
               pcm16 ? "16-bit PCM" : "32-bit float");
    return ok;
}

void Usage(const char *program) {
    fprintf(stderr, "usage: %s [--wav FILE] [--pcm16]\n", program);
}

} // namespace

int main(int argc, char **argv) {
    std::string wavPath;
    bool pcm16 = false;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--wav") == 0 && i + 1 < argc) {
            wavPath = argv[++i];
        } else if (strcmp(argv[i], "--pcm16") == 0) {
            pcm16 = true;
        } else {
            Usage(argv[0]);
            return 2;
        }
    }

    VexaContext *ctx = Vexa_CreateContext();
    if (ctx == nullptr || !Check(Vexa_Initialize(ctx), "Vexa_Initialize")) return 1;

    bool playing = false;
    if (wavPath.empty()) {
        playing = Vexa_Start(ctx, 0, kFrameRate) == 0;
        if (!playing) {
            wavPath = "demo.wav";
            printf("No output device could be opened; rendering offline instead.\n");
        }
    }
    bool ok = true;
    if (playing) {
        ok = Play(ctx);
    } else {
        ok = Check(Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, kFrameRate, -1, 0, 0, kChannels),
                   "Vexa_StartDevices") &&
             Render(ctx, wavPath, pcm16);
    }

    const int32_t outstanding = Vexa_Terminate(ctx);
    if (outstanding != 0) {
        fprintf(stderr, "Vexa_Terminate: %d\n", outstanding);
        ok = false;
    }
    Vexa_DeleteContext(ctx);
    return ok ? 0 : 1;
}
