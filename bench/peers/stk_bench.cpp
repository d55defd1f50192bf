// The W1 and W2 workloads in STK, for the side-by-side table of bench/peers.sh.
// W1: N SineWave voices summed; W2: N BlitSaw voices, each through a BiQuad low-pass, summed.
// Voices are ticked a 64-frame block at a time (StkFrames), the way STK hosts usually run.
// Prints "RESULT stk_W1 N ns" lines: CPU nanoseconds per voice per frame, median of 7 runs.
#include <stk/BiQuad.h>
#include <stk/BlitSaw.h>
#include <stk/SineWave.h>
#include <stk/Stk.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {
double CpuNow() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

template <typename Voice> double Time(std::vector<Voice> &voices, long frames) {
    stk::StkFrames block(64, 1), sum(64, 1);
    std::vector<double> runs;
    for (int r = 0; r < 7; r++) {
        const double t0 = CpuNow();
        for (long f = 0; f < frames; f += 64) {
            for (unsigned i = 0; i < 64; i++) sum[i] = 0.0;
            for (Voice &v : voices) {
                v.Tick(block);
                for (unsigned i = 0; i < 64; i++) sum[i] += block[i];
            }
        }
        runs.push_back((CpuNow() - t0) * 1e9 / frames / voices.size());
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

struct Sine {
    stk::SineWave osc;
    void Tick(stk::StkFrames &f) { osc.tick(f); }
};

struct SawLowPass {
    stk::BlitSaw saw;
    stk::BiQuad filter;
    void Tick(stk::StkFrames &f) {
        saw.tick(f);
        filter.tick(f);
    }
};
} // namespace

int main(int argc, char **argv) {
    stk::Stk::setSampleRate(44100.0);
    const long frames = argc > 1 ? std::atol(argv[1]) : 44100;
    {
        std::vector<Sine> voices(512);
        for (size_t i = 0; i < voices.size(); i++) voices[i].osc.setFrequency(110.0 + 3.7 * i);
        std::printf("RESULT stk_W1 512 %.4f\n", Time(voices, frames));
    }
    {
        std::vector<SawLowPass> voices(256);
        for (size_t i = 0; i < voices.size(); i++) {
            voices[i].saw.setFrequency(55.0 + 7.3 * i);
            // The second-order low-pass of the audio-equaliser cookbook, as Velto designs it.
            const double w = 2.0 * 3.141592653589793 * (1500.0 + 11.0 * i) / 44100.0;
            const double alpha = std::sin(w) / (2.0 * 1.5), cs = std::cos(w), n = 1.0 + alpha;
            voices[i].filter.setCoefficients((1.0 - cs) / 2.0 / n, (1.0 - cs) / n,
                                             (1.0 - cs) / 2.0 / n, -2.0 * cs / n,
                                             (1.0 - alpha) / n);
        }
        std::printf("RESULT stk_W2 256 %.4f\n", Time(voices, frames));
    }
    return 0;
}
