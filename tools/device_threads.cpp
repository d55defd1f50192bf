/*
 * device_threads - a network too heavy for one core, played on the default output device with
 * several render threads: how much of the tick period the callback uses (Vexa_GetUsage) and
 * how many blocks the overload guard left silent.
 *
 * First the network's cost on one thread is measured offline (thread CPU time per tick), and
 * band-limited pulse oscillators are added until it needs `load` of the device's tick period
 * (64 frames at the device's frame rate). Then the same network plays on the device with
 * `threads` render threads for `seconds`, and the usage is read every 100 ms.
 *
 * Usage: device_threads [seconds, default 60] [threads, default 2] [load, default 1.5]
 *                       [frame rate, default 96000]
 * (In the tests' set-up: VELTO_JACK_RATE=96000 tools/with-jackd.sh build/tools/device_threads)
 */
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "velto_units.h"
#include "vx_internal.h"

namespace {

double CpuNow() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

/* Creates `count` started pulse oscillators; returns false when the context is full. */
bool AddPulses(VexaContext *ctx, int32_t count, std::vector<int32_t> *units) {
    for (int32_t i = 0; i < count; i++) {
        const int32_t pulse = Vexa_CreateUnit(ctx, VEXA_UNIT_PULSE_OSCILLATOR_BL, 0, 0);
        if (pulse < 0) return false;
        const double n = static_cast<double>(units->size());
        Vexa_SetPort(ctx, pulse, VEXA_PORT_FREQUENCY, 0, 40.0 + 1.7 * n);
        Vexa_SetPort(ctx, pulse, VEXA_PORT_AMPLITUDE, 0, 0.0002);
        Vexa_StartUnit(ctx, pulse);
        units->push_back(pulse);
    }
    return true;
}

/* Seconds of one thread's CPU per tick of a network of `count` pulses, computed offline. */
double OfflineTickCost(int32_t count, double frameRate) {
    VexaContext *ctx = Vexa_CreateContext();
    Vexa_Initialize(ctx);
    Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, frameRate, -1, 0, -1, 2);
    std::vector<int32_t> units;
    AddPulses(ctx, count, &units);
    std::vector<float> out(64 * 2 * 64);
    Vexa_RenderTicks(ctx, nullptr, out.data(), 64);
    std::vector<double> costs;
    for (int r = 0; r < 5; r++) {
        const double t0 = CpuNow();
        for (int i = 0; i < 8; i++) Vexa_RenderTicks(ctx, nullptr, out.data(), 64);
        costs.push_back((CpuNow() - t0) / (8 * 64));
    }
    Vexa_Terminate(ctx);
    Vexa_DeleteContext(ctx);
    std::sort(costs.begin(), costs.end());
    return costs[2];
}

} // namespace

int main(int argc, char **argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    const int32_t threads = argc > 2 ? std::atoi(argv[2]) : 2;
    const double load = argc > 3 ? std::atof(argv[3]) : 1.5;
    const double frameRate = argc > 4 ? std::atof(argv[4]) : 96000.0;
    const double period = 64.0 / frameRate;

    /* The network's size for the asked load: the cost grows in proportion to the units. */
    int32_t count = 512;
    double needed = OfflineTickCost(count, frameRate) / period;
    for (int round = 0; round < 3; round++) {
        count = std::min<int32_t>(2000, static_cast<int32_t>(count * load / needed));
        needed = OfflineTickCost(count, frameRate) / period;
    }
    std::printf("%d band-limited pulses at %.0f frames/s: one thread needs %.0f %% of the %.0f us "
                "tick period (measured offline)\n",
                count, frameRate, 100.0 * needed, 1e6 * period);

    VexaContext *ctx = Vexa_CreateContext();
    if (Vexa_Initialize(ctx) != 0 || Vexa_SetRenderThreads(ctx, threads) != 0 ||
        Vexa_Start(ctx, 0, frameRate) != 0) {
        std::fprintf(stderr, "no device start\n");
        return 1;
    }
    std::vector<int32_t> units;
    AddPulses(ctx, count, &units);
    Vexa_SleepForTicks(ctx, 200);
    const uint32_t silencedBefore = vx_load(ctx->vxb_SilencedBlocks);
    const int32_t tickBefore = Vexa_GetTickCount(ctx);
    std::vector<double> usage;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        usage.push_back(Vexa_GetUsage(ctx));
    }
    const uint32_t silenced = vx_load(ctx->vxb_SilencedBlocks) - silencedBefore;
    const int32_t ticks = Vexa_GetTickCount(ctx) - tickBefore;
    std::sort(usage.begin(), usage.end());
    double mean = 0.0;
    for (double u : usage) mean += u;
    mean /= static_cast<double>(usage.size());
    std::printf("%d render threads, %.0f s on the device: %d ticks (%.0f a second), %u of %d "
                "blocks silenced; Vexa_GetUsage mean %.3f, median %.3f, max %.3f\n",
                threads, seconds, ticks, ticks / seconds, silenced, ticks * 8, mean,
                usage[usage.size() / 2], usage.back());
    const int32_t left = Vexa_Terminate(ctx);
    Vexa_DeleteContext(ctx);
    return silenced == 0 && left == 0 ? 0 : 2;
}
