/*
 * click_check.cpp - finds clicks in a WAV file: places where the sound jumps instead of
 * moving smoothly, as a note that starts or stops on a nonzero sample or a level set from
 * one frame to the next.
 *
 * A click is broadband, so it shows as a burst of high-frequency energy that the sound
 * around it does not have. Each channel is high-passed by its second difference (x[n] -
 * 2 x[n-1] + x[n-2], which rises 12 dB per octave and turns a step of height h into two
 * samples of size h), and the energy of that signal is measured in windows of 256 frames,
 * one window every 64 frames (one engine tick, where every scheduled change happens). A
 * window's score is its energy over the highest energy of the windows beside it that do not
 * overlap it, up to 1024 frames before and after, plus a floor that keeps very quiet
 * passages from counting (the energy of a step of 0.001). The windows beside it span more
 * than a period of any tone above 43 Hz, so a steady sound, bright or dull, even one whose
 * waveform has a jump in every period, scores about 1 or below everywhere; a note that
 * begins or ends with an attack and a release scores below 1 at its edges, since the window
 * with the edge holds less of the note than the windows beside it; a step scores as many
 * times above 1 as its square outweighs the high frequencies around it.
 *
 *   click_check FILE [--limit SCORE] [--worst N]
 *
 * Prints the highest score and where it is (and the N highest, one per window, with
 * --worst); exits with 1 when the highest score is above SCORE (default 3), 2 when the file
 * cannot be read.
 */
#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kWindow = 256;
constexpr size_t kHop = 64;
constexpr size_t kAround = 1024;
constexpr double kFloorStep = 0.001;

struct Window {
    double score;
    size_t frame; /* the first frame of the window */
    int channel;
};

/* Scores every window of one channel. */
void ScoreChannel(const std::vector<float> &x, int channel, std::vector<Window> &out) {
    /* The sound is silent before its first frame and after its last, so a file that starts
     * or ends on a nonzero sample has a step there. */
    auto at = [&](size_t i) { return i >= 2 && i - 2 < x.size() ? double{x[i - 2]} : 0.0; };
    const size_t n = x.size() + 2;
    std::vector<double> sum(n + 1, 0.0); /* prefix sums of the squared second difference */
    for (size_t i = 0; i < n; i++) {
        const double h = at(i + 2) - 2.0 * at(i + 1) + at(i);
        sum[i + 1] = sum[i] + h * h;
    }
    if (n < kWindow) return;
    std::vector<double> energy; /* of the window that starts at frame k * kHop */
    for (size_t s = 0; s + kWindow <= n; s += kHop) energy.push_back(sum[s + kWindow] - sum[s]);
    const size_t apart = kWindow / kHop, reach = kAround / kHop;
    const double floor = 2.0 * kFloorStep * kFloorStep;
    for (size_t k = 0; k < energy.size(); k++) {
        double around = 0.0;
        for (size_t j = apart; j <= reach; j++) {
            if (j <= k) around = std::max(around, energy[k - j]);
            if (k + j < energy.size()) around = std::max(around, energy[k + j]);
        }
        out.push_back({energy[k] / (around + floor), k * kHop, channel});
    }
}

} // namespace

int main(int argc, char **argv) {
    const char *path = nullptr;
    double limit = 3.0;
    int worst = 1;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--limit") == 0 && i + 1 < argc) {
            limit = atof(argv[++i]);
        } else if (strcmp(argv[i], "--worst") == 0 && i + 1 < argc) {
            worst = std::max(1, atoi(argv[++i]));
        } else if (path == nullptr && argv[i][0] != '-') {
            path = argv[i];
        } else {
            fprintf(stderr, "usage: %s FILE [--limit SCORE] [--worst N]\n", argv[0]);
            return 2;
        }
    }
    if (path == nullptr) {
        fprintf(stderr, "usage: %s FILE [--limit SCORE] [--worst N]\n", argv[0]);
        return 2;
    }

    SF_INFO info = {};
    SNDFILE *file = sf_open(path, SFM_READ, &info);
    if (file == nullptr) {
        fprintf(stderr, "Cannot read %s: %s\n", path, sf_strerror(nullptr));
        return 2;
    }
    std::vector<float> frames(static_cast<size_t>(info.frames) * info.channels);
    const sf_count_t read = sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    if (read != info.frames || info.channels < 1) {
        fprintf(stderr, "Cannot read the frames of %s\n", path);
        return 2;
    }

    std::vector<Window> windows;
    for (int c = 0; c < info.channels; c++) {
        std::vector<float> x(static_cast<size_t>(info.frames));
        for (size_t i = 0; i < x.size(); i++) x[i] = frames[i * info.channels + c];
        ScoreChannel(x, c, windows);
    }
    if (windows.empty()) {
        fprintf(stderr, "%s is too short to measure\n", path);
        return 2;
    }
    std::sort(windows.begin(), windows.end(),
              [](const Window &a, const Window &b) { return a.score > b.score; });

    /* The highest scores, at most one per stretch of a window (both channels together). */
    std::vector<Window> shown;
    for (const Window &w : windows) {
        if (static_cast<int>(shown.size()) >= worst) break;
        const bool near = std::any_of(shown.begin(), shown.end(), [&](const Window &v) {
            return (w.frame > v.frame ? w.frame - v.frame : v.frame - w.frame) < kWindow;
        });
        if (!near) shown.push_back(w);
    }
    for (const Window &w : shown) {
        const double centre = (w.frame + kWindow / 2.0) / info.samplerate;
        printf("score %8.2f at %7.3f s (frame %zu), channel %d\n", w.score, centre,
               w.frame + kWindow / 2, w.channel);
    }
    const Window &top = windows.front();
    if (top.score > limit) {
        printf("%s clicks: score %.2f at %.3f s is above %.2f\n", path, top.score,
               (top.frame + kWindow / 2.0) / info.samplerate, limit);
        return 1;
    }
    printf("%s has no clicks: highest score %.2f (limit %.2f)\n", path, top.score, limit);
    return 0;
}
