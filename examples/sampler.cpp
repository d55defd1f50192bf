/*
 * sampler.cpp - a sample player. A WAV file is loaded with libsndfile into a Velto sample
 * (mixed down to mono, 16-bit) and played by four SampleRead16V1 voices in turn, each pitched
 * by its Rate port (sample frames per second) and shaped by an EnvelopeLinear connected to its
 * Amplitude. Without --sample, the example first writes a plucked string of its own to
 * sampler-pluck.wav (Karplus-Strong, A3 = 220 Hz) and loads that.
 *
 *   sampler [--sample FILE.wav] [--root HZ] [--wav FILE] [--device]
 *
 * --root gives the pitch of the loaded sample (default 220 Hz); notes are played from an
 * octave below it to an octave above, the range of SampleRead16V1's rate.
 */
#include <cstdlib>
#include <random>

#include "example_support.h"

using namespace example;

namespace {

constexpr int kVoices = 4;
constexpr double kStepSeconds = 0.25;
/* Semitones above A2 (110 Hz); negative entries are rests. */
constexpr int kTune[] = {0, 7, 12, 15, 19, 15, 12, 7,  3, 10, 15, 19, 22, 19, 15, 10,
                         5, 12, 17, 20, 24, 20, 17, 12, 7, 14, 19, 22, 24, -1, -1, -1};
constexpr double kTailSeconds = 1.5;

struct Sample {
    std::vector<int16_t> frames;
    double frameRate = kFrameRate;
};

/* A plucked string: a burst of noise circulating in a delay line with a gentle low-pass. */
bool WritePluck(const std::string &path) {
    const double pitch = 220.0;
    const int length = static_cast<int>(kFrameRate * 1.5);
    const int period = static_cast<int>(std::lround(kFrameRate / pitch));
    std::vector<double> line(period);
    std::mt19937 random(1234);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    for (double &v : line) v = noise(random);
    std::vector<short> out(length);
    for (int i = 0; i < length; i++) {
        const int k = i % period;
        const double next = line[(k + 1) % period];
        const double y = line[k];
        line[k] = 0.996 * 0.5 * (y + next);
        out[i] = static_cast<short>(std::lround(std::clamp(y * 0.6, -1.0, 1.0) * 32767.0));
    }
    SF_INFO info = {};
    info.samplerate = static_cast<int>(kFrameRate);
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE *file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        fprintf(stderr, "Cannot write %s: %s\n", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    const bool ok = sf_writef_short(file, out.data(), length) == length;
    return sf_close(file) == 0 && ok;
}

/* Reads a sound file into 16-bit mono frames (channels averaged), at most 20 seconds. */
bool LoadSample(const std::string &path, Sample &sample) {
    SF_INFO info = {};
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        fprintf(stderr, "Cannot read %s: %s\n", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    const sf_count_t limit = static_cast<sf_count_t>(info.samplerate) * 20;
    const sf_count_t frames = std::min(info.frames, limit);
    std::vector<float> data(static_cast<size_t>(frames * info.channels));
    const sf_count_t got = sf_readf_float(file, data.data(), frames);
    sf_close(file);
    if (got <= 0) {
        fprintf(stderr, "%s holds no frames\n", path.c_str());
        return false;
    }
    sample.frameRate = info.samplerate;
    sample.frames.resize(static_cast<size_t>(got));
    for (sf_count_t i = 0; i < got; i++) {
        double sum = 0.0;
        for (int c = 0; c < info.channels; c++) sum += data[i * info.channels + c];
        const double v = std::clamp(sum / info.channels, -1.0, 1.0);
        sample.frames[i] = static_cast<int16_t>(std::lround(v * 32767.0));
    }
    printf("Loaded %s: %lld frames at %d Hz, %d channel(s).\n", path.c_str(),
           static_cast<long long>(got), info.samplerate, info.channels);
    return true;
}

struct Voice {
    int32_t reader, envelope, out;
};

bool Schedule(VexaContext *ctx, int32_t origin, const Sample &source, double rootHz) {
    const uint32_t numFrames = static_cast<uint32_t>(source.frames.size());
    const int32_t sample = Vexa_CreateSample(ctx, numFrames, 1);
    if (!Check(sample, "Vexa_CreateSample") ||
        !Check(Vexa_WriteSample(ctx, sample, 0, source.frames.data(), numFrames),
               "Vexa_WriteSample"))
        return false;
    /* A quick attack, a slight dip, a hold, then a release long before the sample ends. */
    const double shape[] = {0.004, 0.9, 0.08, 0.7, 0.5, 0.6, 0.35, 0.0};
    const int32_t envelope = Vexa_CreateEnvelope(ctx, 4);
    if (!Check(envelope, "Vexa_CreateEnvelope") ||
        !Check(Vexa_WriteEnvelope(ctx, envelope, 0, shape, 4), "Vexa_WriteEnvelope"))
        return false;

    Voice voices[kVoices];
    for (Voice &v : voices) {
        v.reader = Unit(ctx, VEXA_UNIT_SAMPLE_READ16_V1);
        v.envelope = Unit(ctx, VEXA_UNIT_ENVELOPE_LINEAR);
        v.out = Unit(ctx, VEXA_UNIT_LINE_OUT);
        if (v.reader < 0 || v.envelope < 0 || v.out < 0) return false;
        bool ok =
            Check(Vexa_ConnectUnits(ctx, v.envelope, VEXA_PORT_OUTPUT, 0, v.reader,
                                    VEXA_PORT_AMPLITUDE, 0),
                  "connect") &&
            Check(Vexa_ConnectUnits(ctx, v.reader, VEXA_PORT_OUTPUT, 0, v.out, VEXA_PORT_INPUT, 0),
                  "connect") &&
            Check(Vexa_ConnectUnits(ctx, v.reader, VEXA_PORT_OUTPUT, 0, v.out, VEXA_PORT_INPUT, 1),
                  "connect");
        for (int32_t unit : {v.envelope, v.reader, v.out})
            ok = ok && Check(Vexa_StartUnitAt(ctx, origin, unit), "Vexa_StartUnitAt");
        if (!ok) return false;
    }

    /* Each note: the voice drops what it played, gets its rate and plays the sample from the
     * start while its envelope runs. */
    const double a2 = 110.0;
    int next = 0;
    for (size_t n = 0; n < std::size(kTune); n++) {
        if (kTune[n] < 0) continue;
        const Voice &v = voices[next];
        next = (next + 1) % kVoices;
        const int32_t at = origin + SecondsToTicks(n * kStepSeconds);
        const double pitch = a2 * std::pow(2.0, kTune[n] / 12.0);
        const double rate = source.frameRate * pitch / rootHz;
        if (rate > 2.0 * kFrameRate || rate < 0.0) continue; /* out of the reader's range */
        if (!Check(Vexa_ClearDataQueueAt(ctx, at, v.reader, VEXA_PORT_DATA),
                   "Vexa_ClearDataQueueAt") ||
            !Check(Vexa_ClearDataQueueAt(ctx, at, v.envelope, VEXA_PORT_DATA),
                   "Vexa_ClearDataQueueAt") ||
            !Check(Vexa_SetPortAt(ctx, at, v.reader, VEXA_PORT_RATE, 0, rate), "Vexa_SetPortAt") ||
            !Check(Vexa_QueueDataAt(ctx, at, v.reader, VEXA_PORT_DATA, sample, 0, numFrames, 0),
                   "Vexa_QueueDataAt") ||
            !Check(Vexa_QueueDataAt(ctx, at, v.envelope, VEXA_PORT_DATA, envelope, 0, 4, 0),
                   "Vexa_QueueDataAt"))
            return false;
    }
    /* The queued regions hold the sample and the envelope; the tokens are not needed. */
    return Check(Vexa_Delete(ctx, sample), "Vexa_Delete") &&
           Check(Vexa_Delete(ctx, envelope), "Vexa_Delete");
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    std::string samplePath;
    double rootHz = 220.0;
    auto extra = [&](int &i, int count, char **args) {
        if (strcmp(args[i], "--sample") == 0 && i + 1 < count) {
            samplePath = args[++i];
            return true;
        }
        if (strcmp(args[i], "--root") == 0 && i + 1 < count) {
            rootHz = atof(args[++i]);
            return rootHz > 0.0;
        }
        return false;
    };
    if (!ParseOptions(argc, argv, options, " [--sample FILE.wav] [--root HZ]", extra)) return 2;
    if (samplePath.empty()) {
        samplePath = "sampler-pluck.wav";
        rootHz = 220.0;
        if (!WritePluck(samplePath)) return 1;
        printf("Wrote a plucked string to %s.\n", samplePath.c_str());
    }
    Sample source;
    if (!LoadSample(samplePath, source)) return 1;

    Piece piece;
    piece.name = "sampler";
    piece.ticks = SecondsToTicks(std::size(kTune) * kStepSeconds + kTailSeconds);
    piece.schedule = [&](VexaContext *ctx, int32_t origin) {
        return Schedule(ctx, origin, source, rootHz);
    };
    return Run(piece, options);
}
