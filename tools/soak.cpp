/*
 * soak.cpp - a long offline render of a network that never stops changing: every tick units
 * are created, connected, started, set and deleted, samples, envelopes and tables are created,
 * written, queued and deleted, and circuits come and go, while the engine computes without a
 * device as fast as it can.
 *
 * Every ten seconds of wall time it prints the ticks computed, the things alive, the engine's
 * outstanding allocations and the process's resident size (VmRSS) and peak (VmHWM); at the end
 * it deletes everything, terminates and prints what termination reports as still allocated.
 * Memory must level off: the population is bounded, nodes are pooled, and nothing leaks.
 *
 * With --device it plays instead on the default output device (in the tests' set-up, a JACK
 * server with its dummy driver): two client threads change the network, each once per tick,
 * sleeping until the next tick in between, while the device's callback computes.
 *
 * Usage: soak [--device] [minutes, default 1] [seed]
 */
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "vx_internal.h"
#include "vx_unit.h"

namespace {

using Clock = std::chrono::steady_clock;

/* A line of /proc/self/status, in kB. */
long StatusKB(const char *field) {
    FILE *file = std::fopen("/proc/self/status", "r");
    if (file == nullptr) return -1;
    char line[256];
    long value = -1;
    const size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, file) != nullptr) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
            value = std::atol(line + length + 1);
            break;
        }
    }
    std::fclose(file);
    return value;
}

struct Live {
    int32_t token;
    const UnitInfo *info;
};

class Soak {
  public:
    Soak(VexaContext *ctx, uint32_t seed) : ctx_(ctx), rng_(seed) {
        for (const UnitInfo *info = ctx->vxf_UnitTypes; info != nullptr; info = info->next)
            types_.push_back(info);
    }

    /* One tick's worth of changes. */
    void Change() {
        const uint32_t n = 1 + rng_() % 4;
        for (uint32_t k = 0; k < n; k++) {
            const uint32_t op = rng_() % 100;
            if (op < 30 && units_.size() < 300) AddUnit();
            else if (op < 55 && !units_.empty()) RemoveUnit();
            else if (op < 70) SetSomething();
            else if (op < 80) Connect();
            else if (op < 90) DataChurn();
            else if (op < 93) AddCircuit();
            else Queue();
        }
    }

    void DeleteAll() {
        for (const Live &unit : units_) Vexa_Delete(ctx_, unit.token);
        for (int32_t data : data_) Vexa_Delete(ctx_, data);
        units_.clear();
        data_.clear();
    }

  private:
    const PortInfo *PortOf(const UnitInfo *info, uint8_t kind) {
        std::vector<const PortInfo *> ports;
        for (int i = 0; i < info->numPorts; i++)
            if (info->ports[i].portKind & kind) ports.push_back(&info->ports[i]);
        return ports.empty() ? nullptr : ports[rng_() % ports.size()];
    }

    void AddUnit() {
        const UnitInfo *info = types_[rng_() % types_.size()];
        int32_t token = Vexa_CreateUnit(ctx_, info->typeID, 0, 64);
        if (token < 0) token = Vexa_CreateUnit(ctx_, info->typeID, 0, 0);
        if (token < 0) return;
        Vexa_StartUnitAt(ctx_, Vexa_GetTickCount(ctx_) + static_cast<int32_t>(rng_() % 8), token);
        units_.push_back({token, info});
    }

    void RemoveUnit() {
        const size_t index = rng_() % units_.size();
        if (rng_() % 2) Vexa_StopUnit(ctx_, units_[index].token);
        Vexa_Delete(ctx_, units_[index].token);
        units_[index] = units_.back();
        units_.pop_back();
    }

    void SetSomething() {
        if (units_.empty()) return;
        const Live &unit = units_[rng_() % units_.size()];
        const PortInfo *port = PortOf(unit.info, PORT_INPUT | PORT_VARIABLE);
        if (port == nullptr) return;
        const double value = (static_cast<double>(rng_() % 2000) - 1000.0) / 500.0;
        Vexa_SetPortAt(ctx_, Vexa_GetTickCount(ctx_) + static_cast<int32_t>(rng_() % 16), unit.token,
                       port->portID, static_cast<int32_t>(rng_() % port->numParts), value);
    }

    void Connect() {
        if (units_.size() < 2) return;
        const Live &from = units_[rng_() % units_.size()];
        const Live &to = units_[rng_() % units_.size()];
        const PortInfo *out = PortOf(from.info, PORT_OUTPUT);
        const PortInfo *in = PortOf(to.info, PORT_INPUT);
        if (out == nullptr || in == nullptr) return;
        Vexa_ConnectUnits(ctx_, from.token, out->portID, 0, to.token, in->portID,
                          static_cast<int32_t>(rng_() % in->numParts));
    }

    void DataChurn() {
        if (data_.size() > 40 || (rng_() % 3 == 0 && !data_.empty())) {
            const size_t index = rng_() % data_.size();
            Vexa_Delete(ctx_, data_[index]);
            data_[index] = data_.back();
            data_.pop_back();
            return;
        }
        const uint32_t frames = 16 + rng_() % 2048;
        int32_t token;
        switch (rng_() % 3) {
        case 0: {
            token = Vexa_CreateSample(ctx_, frames, 1 + static_cast<int32_t>(rng_() % 2));
            std::vector<int16_t> values(frames * 2);
            for (auto &v : values) v = static_cast<int16_t>(rng_());
            Vexa_WriteSample(ctx_, token, 0, values.data(), frames);
            break;
        }
        case 1: {
            token = Vexa_CreateEnvelope(ctx_, frames);
            std::vector<double> values(frames * 2);
            for (size_t i = 0; i < values.size(); i++) values[i] = i % 2 ? 0.5 : 0.001;
            Vexa_WriteEnvelope(ctx_, token, 0, values.data(), frames);
            break;
        }
        default: {
            token = Vexa_CreateTable(ctx_, frames);
            std::vector<double> values(frames, 0.25);
            Vexa_WriteTableDoubles(ctx_, token, 0, values.data(), frames);
            if (!units_.empty()) {
                const Live &unit = units_[rng_() % units_.size()];
                const PortInfo *port = PortOf(unit.info, PORT_TABLE);
                if (port != nullptr) Vexa_UseTable(ctx_, unit.token, port->portID, 0, token);
            }
            break;
        }
        }
        if (token > 0) data_.push_back(token);
    }

    void Queue() {
        if (units_.empty() || data_.empty()) return;
        const Live &unit = units_[rng_() % units_.size()];
        const PortInfo *port = PortOf(unit.info, PORT_QUEUE);
        if (port == nullptr) return;
        Vexa_QueueData(ctx_, unit.token, port->portID, data_[rng_() % data_.size()], 0,
                       1 + rng_() % 16, rng_() % 2 ? VEXA_QUEUE_LOOP : VEXA_QUEUE_AUTO_STOP);
    }

    void AddCircuit() {
        int32_t members[2];
        for (int i = 0; i < 2; i++) {
            const uint32_t typeID = types_[rng_() % types_.size()]->typeID;
            members[i] = Vexa_CreateUnit(ctx_, typeID, 0, 64); /* delay lines need a length */
            if (members[i] < 0) members[i] = Vexa_CreateUnit(ctx_, typeID, 0, 0);
            if (members[i] < 0) {
                if (i == 1) Vexa_Delete(ctx_, members[0]);
                return;
            }
        }
        const int32_t circuit = Vexa_CreateCircuit(ctx_, members, 2, 0);
        for (int32_t member : members) Vexa_Delete(ctx_, member);
        if (circuit > 0) {
            Vexa_StartUnit(ctx_, circuit);
            units_.push_back({circuit, &CircuitUnitInfo});
        }
    }

    VexaContext *ctx_;
    std::mt19937 rng_;
    std::vector<const UnitInfo *> types_;
    std::vector<Live> units_;
    std::vector<int32_t> data_;
};

/* Prints one report line: the clock, the things alive, the engine's outstanding allocations,
 * the resident size and its peak. */
void Report(VexaContext *ctx, double elapsed, long long ticks) {
    std::printf("%8.0f %12lld %8d %12d %10ld %10ld\n", elapsed, ticks, Vexa_GetObjectCount(ctx),
                Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0), StatusKB("VmRSS"), StatusKB("VmHWM"));
    std::fflush(stdout);
}

/* Offline: changes and renders one tick at a time on this thread, as fast as it can. */
bool RunOffline(VexaContext *ctx, Soak &soak, double minutes, long long &ticks) {
    std::vector<float> input(64 * 2, 0.1f), output(64 * 2);
    const Clock::time_point start = Clock::now();
    Clock::time_point nextReport = start;
    for (;;) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if (Clock::now() >= nextReport) {
            Report(ctx, elapsed, ticks);
            nextReport += std::chrono::seconds(10);
        }
        if (elapsed >= minutes * 60.0) return true;
        soak.Change();
        if (Vexa_RenderTicks(ctx, input.data(), output.data(), 1) != 0) {
            std::fprintf(stderr, "soak: a batch failed\n");
            return false;
        }
        ticks++;
    }
}

/* On a device: two threads change the network once per tick each; this one reports. */
bool RunOnDevice(VexaContext *ctx, Soak &first, Soak &second, double minutes, long long &ticks) {
    const int32_t startTick = Vexa_GetTickCount(ctx);
    std::atomic<bool> stop{false}, failed{false};
    auto changer = [&](Soak *soak) {
        while (!stop.load()) {
            const int32_t now = Vexa_GetTickCount(ctx);
            soak->Change();
            const int32_t r = Vexa_SleepUntilTick(ctx, now + 1);
            if (r < 0) {
                std::fprintf(stderr, "soak: Vexa_SleepUntilTick returned %d\n", r);
                failed = true;
                return;
            }
        }
    };
    std::thread a(changer, &first), b(changer, &second);
    const Clock::time_point start = Clock::now();
    for (int report = 0;; report++) {
        std::this_thread::sleep_until(start + std::chrono::seconds(10) * report);
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        ticks = static_cast<uint32_t>(Vexa_GetTickCount(ctx) - startTick);
        Report(ctx, elapsed, ticks);
        if (elapsed >= minutes * 60.0 || failed.load()) break;
    }
    stop = true;
    a.join();
    b.join();
    std::printf("soak: usage at the end %.2f, %u blocks silenced by the overload guard\n",
                Vexa_GetUsage(ctx), ctx->vxb_SilencedBlocks);
    return !failed.load();
}

} // namespace

int main(int argc, char **argv) {
    int arg = 1;
    const bool device = argc > arg && std::strcmp(argv[arg], "--device") == 0;
    if (device) arg++;
    const double minutes = argc > arg ? std::atof(argv[arg]) : 1.0;
    const uint32_t seed = argc > arg + 1 ? static_cast<uint32_t>(std::atol(argv[arg + 1])) : 20261210u;
    VexaContext *ctx = Vexa_CreateContext();
    if (Vexa_Initialize(ctx) != 0 ||
        (device ? Vexa_Start(ctx, 0, 44100.0)
                : Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, 0, 2, 0, 2)) != 0) {
        std::fprintf(stderr, "soak: the engine did not start\n");
        return 1;
    }
    Soak soak(ctx, seed), other(ctx, seed + 1);

    long long ticks = 0;
    std::printf("%8s %12s %8s %12s %10s %10s\n", "seconds", "ticks", "things", "allocations",
                "VmRSS kB", "VmHWM kB");
    const bool ran = device ? RunOnDevice(ctx, soak, other, minutes, ticks)
                            : RunOffline(ctx, soak, minutes, ticks);
    if (!ran) return 1;
    soak.DeleteAll();
    other.DeleteAll();
    if (device) Vexa_SleepForTicks(ctx, 32);
    else Vexa_RenderTicks(ctx, nullptr, nullptr, 32);
    const int32_t left = Vexa_Terminate(ctx);
    std::printf("soak: %lld ticks (%.1f s of audio) in %.1f minutes; allocations left after "
                "termination: %d; peak resident size %ld kB\n",
                ticks, ticks * 64 / 44100.0, minutes, left, StatusKB("VmHWM"));
    Vexa_DeleteContext(ctx);
    return left == 0 ? 0 : 1;
}
