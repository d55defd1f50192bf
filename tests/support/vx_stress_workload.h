/*
 * vx_stress_workload.h - client threads that hammer one context with every kind of change
 * while its back end runs on another thread (a batch thread without a device, or the audio
 * thread of a real stream). Used by test_stress and test_device_stress.
 *
 * The threads share pools of tokens, so each thread also works on (and deletes) things that
 * other threads created: calls then meet stale tokens, units deleted while commands for them
 * wait, data objects deleted while they play, tables swapped while they are read. Every result
 * is checked against the codes a call may legitimately return; anything else is counted and
 * remembered so that the test can report it.
 */
#ifndef VX_STRESS_WORKLOAD_H
#define VX_STRESS_WORKLOAD_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "velto_units.h"
#include "vx_internal.h"

namespace vxstress {

/* Seconds each stress run lasts: VELTO_STRESS_SECONDS, or the given default. */
inline double DurationSeconds(double fallback) {
    const char *text = std::getenv("VELTO_STRESS_SECONDS");
    if (text == nullptr) return fallback;
    const double value = std::atof(text);
    return value > 0.0 ? value : fallback;
}

struct PortRef {
    uint32_t id;
    uint8_t kind;
    uint8_t parts;
    uint8_t queueData; /* queue ports: VXT_SAMPLE or VXT_ENVELOPE */
    uint8_t channels;  /* queue ports: channels per frame */
};

struct TypeRef {
    uint32_t typeID;
    std::vector<PortRef> settable, inputs, outputs, busInputs, busOutputs, queues, tables;
};

/* The unit types of the context's catalogue with their ports, by kind. */
inline std::vector<TypeRef> ReadCatalogue(VexaContext *ctx) {
    std::vector<TypeRef> types;
    for (const UnitInfo *info = ctx->vxf_UnitTypes; info != nullptr; info = info->next) {
        TypeRef type{info->typeID, {}, {}, {}, {}, {}, {}, {}};
        for (int i = 0; i < info->numPorts; i++) {
            const PortInfo &p = info->ports[i];
            PortRef ref{p.portID, p.portKind, p.numParts, p.queueData,
                        static_cast<uint8_t>(p.defaultValue + 0.1f)};
            if (p.portKind & (PORT_INPUT | PORT_VARIABLE)) type.settable.push_back(ref);
            if (p.portKind & PORT_INPUT) type.inputs.push_back(ref);
            if (p.portKind & PORT_OUTPUT) type.outputs.push_back(ref);
            if (p.portKind & PORT_BUS_INPUT) type.busInputs.push_back(ref);
            if (p.portKind & PORT_BUS_OUTPUT) type.busOutputs.push_back(ref);
            if (p.portKind & PORT_QUEUE) type.queues.push_back(ref);
            if (p.portKind & PORT_TABLE) type.tables.push_back(ref);
        }
        types.push_back(type);
    }
    return types;
}

/* A pool of tokens shared by all threads. Each entry packs the token (low 32 bits) and a tag
 * (high 32 bits: the type index of a unit, the channel count of a sample). 0 is empty. */
template <size_t N> struct Pool {
    std::atomic<uint64_t> entries[N] = {};
    static uint64_t Pack(int32_t token, uint32_t tag) {
        return static_cast<uint32_t>(token) | (static_cast<uint64_t>(tag) << 32);
    }
    static int32_t Token(uint64_t entry) { return static_cast<int32_t>(entry & 0xFFFFFFFFu); }
    static uint32_t Tag(uint64_t entry) { return static_cast<uint32_t>(entry >> 32); }
};

struct Results {
    std::atomic<uint64_t> calls{0};
    std::atomic<uint64_t> failures{0}; /* legitimate refusals (stale tokens and the like) */
    std::atomic<uint64_t> unexpected{0};
    std::mutex mutex;
    std::vector<std::string> examples; /* the first few unexpected results */
};

class Workload {
  public:
    static constexpr size_t kUnits = 48, kSamples = 8, kEnvelopes = 8, kTables = 8;

    Workload(VexaContext *ctx, bool timedFromTickCount)
        : ctx_(ctx), types_(ReadCatalogue(ctx)), timed_(timedFromTickCount) {}

    const std::vector<TypeRef> &Types() const { return types_; }
    Results &Outcome() { return results_; }

    /* Runs one client thread until `stop` is set. */
    void Client(uint32_t seed, const std::atomic<bool> &stop) {
        std::mt19937 rng(seed);
        while (!stop.load(std::memory_order_relaxed)) Step(rng);
    }

    /* Deletes every token still in the pools; the tokens may be stale already. */
    void DeleteAll() {
        auto drain = [&](auto &pool) {
            for (auto &entry : pool.entries) {
                const uint64_t old = entry.exchange(0);
                if (old != 0) Check("cleanup delete", Vexa_Delete(ctx_, Pool<1>::Token(old)), kToken);
            }
        };
        drain(units_);
        drain(samples_);
        drain(envelopes_);
        drain(tables_);
    }

  private:
    /* Classes of results a call may give besides success. */
    enum Allowed : uint32_t {
        kToken = 1,      /* -98 -100 -62: stale or reused tokens; -87 with kPort below */
        kPort = 2,       /* -99 -96 -87: a port of another type or part */
        kConnect = 4,    /* -92 -75 100 101 */
        kRange = 8,      /* -84 -90 -66 */
        kCircuit = 16,   /* -68 -76 -64 */
        kCapacity = 32,  /* -88: the thing table is full */
        kPriority = 64,  /* -95 */
        kWarnings = 128, /* 100 101 */
        kValue = 256,    /* any result >= 0 is a value (a token, a count, a priority) */
    };

    void Check(const char *what, int32_t result, uint32_t allowed) {
        results_.calls.fetch_add(1, std::memory_order_relaxed);
        if (result >= 0 && ((allowed & kValue) != 0 ||
                            (result != VXWARN_ALREADY_CONNECTED && result != VXWARN_NOT_CONNECTED)))
            return;
        bool ok = false;
        switch (result) {
        case VXWARN_ALREADY_CONNECTED:
        case VXWARN_NOT_CONNECTED: ok = (allowed & (kConnect | kWarnings)) != 0; break;
        case VXERR_INVALID_TOKEN:
        case VXERR_INVALID_TOKEN_TYPE:
        case VXERR_WRONG_CONTEXT: ok = (allowed & kToken) != 0; break;
        case VXERR_INVALID_PORT_TYPE:
        case VXERR_INVALID_PARTNUM:
        /* A stale token names a thing again once its slot has been reused 255 times (the
         * serial has 8 bits), perhaps a unit of another type without that port. */
        case VXERR_NOT_FOUND: ok = (allowed & (kPort | kToken)) != 0; break;
        case VXERR_INCOMPATIBLE_PORTS:
        case VXERR_RATE_MISMATCH: ok = (allowed & kConnect) != 0; break;
        case VXERR_OUT_OF_RANGE:
        case VXERR_INVALID_DATA_TYPE:
        case VXERR_CHANNELS_MISMATCH: ok = (allowed & kRange) != 0; break;
        case VXERR_ALREADY_STARTED:
        case VXERR_IN_CIRCUIT:
        case VXERR_EMPTY_CIRCUIT: ok = (allowed & kCircuit) != 0; break;
        case VXERR_TOO_MANY_TOKENS: ok = (allowed & kCapacity) != 0; break;
        case VXERR_INVALID_PRIORITY: ok = (allowed & kPriority) != 0; break;
        default: ok = false; break;
        }
        if (ok) {
            if (result < 0) results_.failures.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        if (results_.unexpected.fetch_add(1) < 16) {
            std::lock_guard<std::mutex> lock(results_.mutex);
            results_.examples.push_back(std::string(what) + " -> " + std::to_string(result));
        }
    }

    template <size_t N> uint64_t Pick(Pool<N> &pool, std::mt19937 &rng) {
        return pool.entries[rng() % N].load(std::memory_order_relaxed);
    }

    /* Puts a new token into a random entry; the token it displaces is deleted. */
    template <size_t N> void Put(Pool<N> &pool, std::mt19937 &rng, int32_t token, uint32_t tag) {
        const uint64_t old = pool.entries[rng() % N].exchange(Pool<N>::Pack(token, tag));
        if (old != 0) Check("Vexa_Delete (displaced)", Vexa_Delete(ctx_, Pool<N>::Token(old)), kToken);
    }

    int32_t When(std::mt19937 &rng) {
        const int32_t now = Vexa_GetTickCount(ctx_);
        return timed_ ? now + static_cast<int32_t>(rng() % 24) - 2 : now;
    }

    static double Value(std::mt19937 &rng) {
        static const double kValues[] = {0.0, 0.25, -0.5, 1.0, 2.0, 440.0, 0.01, 1000.0};
        return kValues[rng() % 8] * (rng() % 2 ? 1.0 : -1.0);
    }

    const PortRef *Port(const std::vector<PortRef> &ports, std::mt19937 &rng) {
        return ports.empty() ? nullptr : &ports[rng() % ports.size()];
    }

    void Step(std::mt19937 &rng) {
        const uint32_t op = rng() % 100;
        const uint64_t unitEntry = Pick(units_, rng);
        const int32_t unit = Pool<kUnits>::Token(unitEntry);
        const TypeRef *type = TypeOf(unitEntry);

        if (op < 14) { /* create a unit of any type, sometimes started at once */
            const uint32_t index = rng() % types_.size();
            const int32_t token = Vexa_CreateUnit(ctx_, types_[index].typeID, 0,
                                                  static_cast<int32_t>(rng() % 4));
            Check("Vexa_CreateUnit", token, kCapacity | kRange | kValue);
            if (token > 0) {
                if (rng() % 2) Check("Vexa_StartUnitAt", Vexa_StartUnitAt(ctx_, When(rng), token), kToken);
                Put(units_, rng, token, index);
            }
        } else if (op < 20) { /* delete a unit */
            if (unit != 0) Check("Vexa_Delete unit", Vexa_Delete(ctx_, unit), kToken);
        } else if (op < 32) { /* set a port now or later */
            if (type == nullptr) return;
            const PortRef *port = Port(type->settable, rng);
            if (port == nullptr) return;
            const int32_t part = static_cast<int32_t>(rng() % port->parts);
            if (rng() % 4 == 0)
                Check("Vexa_SetPort", Vexa_SetPort(ctx_, unit, port->id, part, Value(rng)), kToken | kWarnings);
            else
                Check("Vexa_SetPortAt",
                      Vexa_SetPortAt(ctx_, When(rng), unit, port->id, part, Value(rng)),
                      kToken | kWarnings);
        } else if (op < 40) { /* start or stop, now or later */
            if (unit == 0) return;
            if (rng() % 2)
                Check("Vexa_StartUnitAt", Vexa_StartUnitAt(ctx_, When(rng), unit), kToken);
            else
                Check("Vexa_StopUnitAt", Vexa_StopUnitAt(ctx_, When(rng), unit), kToken);
        } else if (op < 50) { /* connect an output of one unit to an input of another */
            const uint64_t destEntry = Pick(units_, rng);
            const TypeRef *destType = TypeOf(destEntry);
            if (type == nullptr || destType == nullptr) return;
            const bool bus = rng() % 4 == 0;
            const PortRef *from = Port(bus ? type->busOutputs : type->outputs, rng);
            const PortRef *to = Port(bus ? destType->busInputs : destType->inputs, rng);
            if (from == nullptr || to == nullptr) return;
            Check("Vexa_ConnectUnits",
                  Vexa_ConnectUnits(ctx_, unit, from->id, static_cast<int32_t>(rng() % from->parts),
                                    Pool<kUnits>::Token(destEntry), to->id,
                                    static_cast<int32_t>(rng() % to->parts)),
                  kToken | kConnect);
        } else if (op < 54) { /* disconnect any connectable port */
            if (type == nullptr) return;
            const PortRef *port = Port(rng() % 2 ? type->inputs : type->outputs, rng);
            if (port == nullptr) return;
            Check("Vexa_DisconnectUnits",
                  Vexa_DisconnectUnits(ctx_, unit, port->id, static_cast<int32_t>(rng() % port->parts)),
                  kToken | kConnect);
        } else if (op < 58) { /* create data objects */
            const uint32_t kind = rng() % 3;
            const uint32_t frames = 1 + rng() % 512;
            if (kind == 0) {
                const int32_t channels = 1 + static_cast<int32_t>(rng() % 2);
                const int32_t token = Vexa_CreateSample(ctx_, frames, channels);
                Check("Vexa_CreateSample", token, kCapacity | kValue);
                if (token > 0) Put(samples_, rng, token, static_cast<uint32_t>(channels));
            } else if (kind == 1) {
                const int32_t token = Vexa_CreateEnvelope(ctx_, frames);
                Check("Vexa_CreateEnvelope", token, kCapacity | kValue);
                if (token > 0) Put(envelopes_, rng, token, 0);
            } else {
                const int32_t token = Vexa_CreateTable(ctx_, frames);
                Check("Vexa_CreateTable", token, kCapacity | kValue);
                if (token > 0) Put(tables_, rng, token, 0);
            }
        } else if (op < 66) { /* queue a region of a sample or envelope onto a queue port */
            if (type == nullptr) return;
            const PortRef *port = Port(type->queues, rng);
            if (port == nullptr) return;
            const bool sample = port->queueData == VXT_SAMPLE ? rng() % 8 != 0 : rng() % 8 == 0;
            const uint64_t data = sample ? Pick(samples_, rng) : Pick(envelopes_, rng);
            if (data == 0) return;
            static const uint32_t kFlags[] = {0, VEXA_QUEUE_LOOP, VEXA_QUEUE_AUTO_STOP, VEXA_QUEUE_REPLACEABLE,
                                              VEXA_QUEUE_LOOP | VEXA_QUEUE_REPLACEABLE};
            Check("Vexa_QueueDataAt",
                  Vexa_QueueDataAt(ctx_, When(rng), unit, port->id, Pool<1>::Token(data),
                                   rng() % 8, 1 + rng() % 64, kFlags[rng() % 5]),
                  kToken | kRange);
            if (rng() % 3 == 0)
                Check("Vexa_StartUnitAt", Vexa_StartUnitAt(ctx_, When(rng), unit), kToken);
        } else if (op < 69) { /* clear a queue */
            if (type == nullptr) return;
            const PortRef *port = Port(type->queues, rng);
            if (port == nullptr) return;
            Check("Vexa_ClearDataQueueAt", Vexa_ClearDataQueueAt(ctx_, When(rng), unit, port->id),
                  kToken);
        } else if (op < 77) { /* rewrite data objects, which may be playing */
            WriteData(rng);
        } else if (op < 81) { /* attach or detach a table */
            if (type == nullptr) return;
            const PortRef *port = Port(type->tables, rng);
            if (port == nullptr) return;
            const int32_t table = rng() % 4 == 0 ? 0 : Pool<1>::Token(Pick(tables_, rng));
            Check("Vexa_UseTable", Vexa_UseTable(ctx_, unit, port->id, 0, table), kToken);
        } else if (op < 84) { /* delete a data object */
            const uint32_t kind = rng() % 3;
            const uint64_t entry =
                kind == 0 ? Pick(samples_, rng) : kind == 1 ? Pick(envelopes_, rng) : Pick(tables_, rng);
            if (entry != 0) Check("Vexa_Delete data", Vexa_Delete(ctx_, Pool<1>::Token(entry)), kToken);
        } else if (op < 87) { /* a circuit of fresh units, started */
            MakeCircuit(rng);
        } else { /* reads, signal types and priorities */
            Inspect(rng, unit, type);
        }
    }

    void WriteData(std::mt19937 &rng) {
        const uint32_t kind = rng() % 4;
        const uint32_t start = rng() % 32, count = 1 + rng() % 32;
        if (kind == 0) {
            const uint64_t entry = Pick(samples_, rng);
            if (entry == 0) return;
            std::vector<int16_t> frames(count * 2);
            for (auto &f : frames) f = static_cast<int16_t>(rng());
            Check("Vexa_WriteSample",
                  Vexa_WriteSample(ctx_, Pool<1>::Token(entry), start, frames.data(), count),
                  kToken | kRange);
            Check("Vexa_ReadSample",
                  Vexa_ReadSample(ctx_, Pool<1>::Token(entry), start, frames.data(), count),
                  kToken | kRange);
        } else if (kind == 1) {
            const uint64_t entry = Pick(envelopes_, rng);
            if (entry == 0) return;
            std::vector<double> frames(count * 2);
            for (size_t i = 0; i < frames.size(); i++)
                frames[i] = i % 2 ? Value(rng) : (rng() % 100) * 0.001;
            Check("Vexa_WriteEnvelope",
                  Vexa_WriteEnvelope(ctx_, Pool<1>::Token(entry), start, frames.data(), count),
                  kToken | kRange);
        } else {
            const uint64_t entry = Pick(tables_, rng);
            if (entry == 0) return;
            std::vector<double> values(count);
            for (auto &v : values) v = Value(rng);
            Check("Vexa_WriteTableDoubles",
                  Vexa_WriteTableDoubles(ctx_, Pool<1>::Token(entry), start, values.data(), count),
                  kToken | kRange);
        }
    }

    void MakeCircuit(std::mt19937 &rng) {
        int32_t members[3];
        const int32_t count = 1 + static_cast<int32_t>(rng() % 3);
        for (int32_t i = 0; i < count; i++) {
            members[i] = Vexa_CreateUnit(ctx_, types_[rng() % types_.size()].typeID, 0, 0);
            Check("Vexa_CreateUnit member", members[i], kCapacity | kRange | kValue);
            if (members[i] <= 0) {
                for (int32_t j = 0; j < i; j++) Vexa_Delete(ctx_, members[j]);
                return;
            }
        }
        /* Sometimes a member's start is still on its way to the back end (or has just run):
         * such a unit counts as started and the circuit is refused. */
        const bool started = rng() % 3 == 0;
        if (started)
            Check("Vexa_StartUnitAt member", Vexa_StartUnitAt(ctx_, When(rng), members[0]), 0);
        const int32_t circuit = Vexa_CreateCircuit(ctx_, members, count, 0);
        Check("Vexa_CreateCircuit", circuit, kCircuit | kCapacity | kToken | kValue);
        if (started && circuit != VXERR_ALREADY_STARTED)
            Check("Vexa_CreateCircuit accepted a started member", -1, 0); /* always reported */
        /* The circuit holds its members; the client's own holds go now. */
        for (int32_t i = 0; i < count; i++) Check("Vexa_Delete member", Vexa_Delete(ctx_, members[i]), 0);
        if (circuit <= 0) return;
        Check("Vexa_StartUnitAt circuit", Vexa_StartUnitAt(ctx_, When(rng), circuit), kToken);
        /* Circuits share the unit pool: they are started, stopped, deleted and probed. */
        Put(units_, rng, circuit, kCircuitTag);
    }

    static constexpr uint32_t kCircuitTag = 0xFFFF;

    /* The type of a pooled unit; null for an empty entry or a circuit (which has no ports). */
    const TypeRef *TypeOf(uint64_t entry) const {
        if (entry == 0 || Pool<kUnits>::Tag(entry) == kCircuitTag) return nullptr;
        return &types_[Pool<kUnits>::Tag(entry)];
    }

    void Inspect(std::mt19937 &rng, int32_t unit, const TypeRef *type) {
        if (type == nullptr) {
            Check("Vexa_GetObjectCount", Vexa_GetObjectCount(ctx_), kValue);
            if (unit != 0) { /* a circuit: it has no ports */
                double value = 0.0;
                Check("Vexa_ReadPort circuit",
                      Vexa_ReadPort(ctx_, unit, VEXA_PORT_OUTPUT, 0, &value), kToken | kPort);
            }
            return;
        }
        switch (rng() % 6) {
        case 0: {
            const PortRef *port = Port(rng() % 2 ? type->outputs : type->settable, rng);
            if (port == nullptr) return;
            double value = 0.0;
            Check("Vexa_ReadPort",
                  Vexa_ReadPort(ctx_, unit, port->id, static_cast<int32_t>(rng() % port->parts), &value),
                  kToken | kPort);
            break;
        }
        case 1: {
            const PortRef *port = Port(type->settable, rng);
            if (port == nullptr) return;
            Check("Vexa_GetNumParts", Vexa_GetNumParts(ctx_, unit, port->id), kToken | kPort | kValue);
            break;
        }
        case 2: {
            const PortRef *port = Port(type->settable, rng);
            if (port == nullptr) return;
            Check("Vexa_SetPortSignalType",
                  Vexa_SetPortSignalType(ctx_, unit, port->id, 0, static_cast<int32_t>(rng() % 8)),
                  kToken | kPort);
            Check("Vexa_GetPortSignalType", Vexa_GetPortSignalType(ctx_, unit, port->id, 0),
                  kToken | kPort | kValue);
            break;
        }
        case 3:
            Check("Vexa_SetPriority",
                  Vexa_SetPriority(ctx_, unit, static_cast<int32_t>(rng() % 4) - (rng() % 2 ? 0 : 1)),
                  kToken | kPriority);
            Check("Vexa_GetPriority", Vexa_GetPriority(ctx_, unit), kToken | kValue);
            break;
        case 4: {
            const PortRef *port = Port(type->queues, rng);
            if (port == nullptr) return;
            int32_t frames = 0;
            Check("Vexa_ReadPortFrames", Vexa_ReadPortFrames(ctx_, unit, port->id, 0, &frames),
                  kToken | kPort);
            break;
        }
        default:
            Check("Vexa_CheckEngineErrors", Vexa_CheckEngineErrors(ctx_), 0);
            /* Now and then another number of render threads, while batches run. */
            if (rng() % 16 == 0)
                Check("Vexa_SetRenderThreads",
                      Vexa_SetRenderThreads(ctx_, 1 + static_cast<int32_t>(rng() % 4)), 0);
            break;
        }
    }

    VexaContext *ctx_;
    std::vector<TypeRef> types_;
    bool timed_;
    Results results_;
    Pool<kUnits> units_;
    Pool<kSamples> samples_;
    Pool<kEnvelopes> envelopes_;
    Pool<kTables> tables_;
};

} // namespace vxstress

#endif
