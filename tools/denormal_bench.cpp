/*
 * denormal_bench.cpp - the cost of the recursive units (filters, lags, delays, state-variable
 * filters, followers, the mass-spring) before and after silence.
 *
 * Each unit type runs as 32 instances in a context of its own, without a device. They are fed
 * a loud square wave (+1 and -1 on alternate ticks) for one second, then silence for ten
 * seconds of engine time. The program prints, per type, the cost of one unit-block (nanoseconds
 * for one instance to compute 8 frames): the worst cost of any tenth of a second of
 * the silence, and the cost over the last second of silence, beside the cost of the first tenth
 * of a second of silence (while the state is still far from the denormal range). A unit whose state decays into
 * denormal numbers shows up as a silent cost several times its loud cost.
 *
 * Usage: denormal_bench [seconds of silence, default 10]
 */
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "vx_internal.h"
#include "vx_recursive_units.h"
#include "vx_unit.h"

namespace {

constexpr int kInstances = 32;
constexpr int kChunk = 69; /* ticks in about a tenth of a second */

/* CPU time of this thread in nanoseconds: on a shared machine wall time mostly measures the
 * other processes. */
double ThreadNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e9 + now.tv_nsec;
}

/* Nanoseconds of CPU time per unit-block for rendering `ticks` ticks. */
double Render(VexaContext *ctx, int ticks) {
    const double start = ThreadNanoseconds();
    if (Vexa_RenderTicks(ctx, nullptr, nullptr, ticks) != 0) {
        std::fprintf(stderr, "render failed\n");
        std::exit(1);
    }
    return (ThreadNanoseconds() - start) / (static_cast<double>(ticks) * 8.0 * kInstances);
}

} // namespace

int main(int argc, char **argv) {
    const int silentSeconds = argc > 1 ? std::atoi(argv[1]) : 10;
    std::printf("CPU ns per unit-block (%d instances); %d s of silence after one second of loud "
                "input\n",
                kInstances, silentSeconds);
    std::printf("%-16s %12s %14s %14s %8s\n", "unit", "first 0.1 s", "worst 0.1 s", "last second",
                "worst/first");
    for (const vxtest::RecursiveUnit &c : vxtest::RecursiveUnits()) {
        VexaContext *ctx = Vexa_CreateContext();
        Vexa_Initialize(ctx);
        Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, -1, 0, 0, 2);
        std::vector<int32_t> units;
        for (int i = 0; i < kInstances; i++) {
            int32_t unit = Vexa_CreateUnit(ctx, c.typeID, 0, 1000);
            if (unit < 0) unit = Vexa_CreateUnit(ctx, c.typeID, 0, 0);
            for (const vxtest::PortSetting &s : c.settings) Vexa_SetPort(ctx, unit, s.port, 0, s.value);
            Vexa_StartUnit(ctx, unit);
            units.push_back(unit);
        }
        /* One second of loud input (not timed: the value commands would be counted). */
        for (int tick = 0; tick < 690; tick++) {
            for (int32_t unit : units) Vexa_SetPort(ctx, unit, PORTID_INPUT, 0, tick % 2 ? -1.0 : 1.0);
            Render(ctx, 1);
        }
        for (int32_t unit : units) Vexa_SetPort(ctx, unit, PORTID_INPUT, 0, 0.0);
        Render(ctx, 1); /* executes the commands */
        /* The first tenth of a second of silence, while the state is still large, is the
         * reference cost. */
        const double first = Render(ctx, kChunk);
        double worst = 0.0, last = 0.0;
        const int chunks = silentSeconds * 10;
        for (int chunk = 1; chunk < chunks; chunk++) {
            const double cost = Render(ctx, kChunk);
            if (cost > worst) worst = cost;
            if (chunk >= chunks - 10) last += cost / 10.0;
        }
        std::printf("%-16s %12.1f %14.1f %14.1f %8.2f\n", c.name, first, worst, last, worst / first);
        Vexa_Terminate(ctx);
        Vexa_DeleteContext(ctx);
    }
    return 0;
}
