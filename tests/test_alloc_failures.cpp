/*
 * Every allocation failing in turn. One scripted session makes every kind of allocation the
 * engine makes for a context: the bridge, the band-limited tables, the plan and the host
 * record of an initialisation, starts without a device (one with print output), units of all
 * 68 types (with the delay lines of Delay and DelayInterp), circuits, samples, envelopes and
 * tables of small and large sizes, command and queue nodes (in bursts that outgrow the pools
 * after they have been filled again), and a second initialisation after the first
 * termination. It also renders, connects, reads back, deletes, stops and terminates.
 *
 * The session runs once as it is, which counts T, its allocation attempts, and records what
 * each step answered, how many blocks were outstanding after it and what it observed (rendered
 * output, port values, data read back, the count of things). Then it runs T times more, the
 * N-th attempt refused. The step that makes attempt N must answer VXERR_NO_MEMORY and, repeated
 * without a refusal, succeed; every other step must answer, leave outstanding and observe
 * exactly what it did in the first run; the terminations must report no outstanding block.
 * So a refusal leaves no trace: no leak, no lost or doubled command, no wrong code, no success
 * reported for a refused call, and an engine that works on as before.
 */
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "velto_units.h"
#include "vx_catalog.h"
#include "vx_internal.h"

namespace {

std::vector<const UnitInfo *> AllTypes() {
    std::vector<const UnitInfo *> types;
#define VX_ADD_TYPE(Name) types.push_back(VXU_Load##Name());
    VX_UNIT_CATALOGUE(VX_ADD_TYPE)
#undef VX_ADD_TYPE
    return types;
}

const PortInfo *FirstPort(const UnitInfo *info, uint8_t kind) {
    for (int32_t i = 0; i < info->numPorts; i++)
        if (info->ports[i].portKind == kind) return &info->ports[i];
    return nullptr;
}

uint64_t Mix(uint64_t hash, const void *data, size_t bytes) {
    const uint8_t *p = static_cast<const uint8_t *>(data);
    for (size_t i = 0; i < bytes; i++) hash = (hash ^ p[i]) * 0x100000001b3ull;
    return hash;
}

constexpr uint64_t kHashStart = 0xcbf29ce484222325ull;
constexpr int32_t kChannels = 2;
constexpr int32_t kFrames = 64;

/* The tokens the steps hand to each other, and what the observing steps saw. */
struct Session {
    VexaContext *ctx = nullptr;
    std::vector<int32_t> units;
    int32_t mono = 0, stereo = 0, bigSample = 0, envelope = 0;
    int32_t tables[3] = {0, 0, 0};
    int32_t memberA = 0, memberB = 0, circuit = 0;
    int32_t lateUnit = 0, lateSample = 0;
    std::vector<uint64_t> seen;
};

/* What a step answers without refusals: any result of 0 or more (compared exactly between
 * runs), a new token (its value may differ after a refusal: compared by sign), or exactly 0. */
enum class Answer { kResult, kToken, kZero };

struct Step {
    std::string name;
    std::function<int32_t(Session &)> run;
    Answer answer;
};

/* What one step did in the run without refusals. */
struct StepRecord {
    int32_t result;
    int64_t attemptsBefore, attemptsAfter;
    int32_t outstanding;
    size_t seenAfter;
};

class SessionScript {
  public:
    SessionScript() : types_(AllTypes()) { Build(); }
    const std::vector<Step> &steps() const { return steps_; }

  private:
    std::vector<const UnitInfo *> types_;
    std::vector<Step> steps_;

    void Add(std::string name, std::function<int32_t(Session &)> run,
             Answer answer = Answer::kResult) {
        steps_.push_back({std::move(name), std::move(run), answer});
    }
    /* A step that creates a thing and keeps its token in `slot`. */
    void AddCreate(std::string name, std::function<int32_t(Session &)> create,
                   std::function<int32_t &(Session &)> slot) {
        Add(std::move(name),
            [create, slot](Session &s) {
                const int32_t token = create(s);
                if (token > 0) slot(s) = token;
                return token;
            },
            Answer::kToken);
    }
    void AddRender(const std::string &name, int32_t ticks) {
        Add(name, [ticks](Session &s) {
            std::vector<float> out(static_cast<size_t>(ticks) * kFrames * kChannels, -9.0f);
            const int32_t result = Vexa_RenderTicks(s.ctx, nullptr, out.data(), ticks);
            s.seen.push_back(Mix(kHashStart, out.data(), out.size() * sizeof(float)));
            return result;
        });
    }
    void AddObjectCount(const std::string &name) {
        Add(name, [](Session &s) { return Vexa_GetObjectCount(s.ctx); });
    }
    /* Reads the first output (or input) of every unit still alive. */
    void AddReadPorts(const std::string &name) {
        const std::vector<const UnitInfo *> types = types_;
        Add(name, [types](Session &s) {
            uint64_t hash = kHashStart;
            for (size_t i = 0; i < types.size(); i++) {
                const PortInfo *port = FirstPort(types[i], PORT_OUTPUT);
                if (port == nullptr) port = FirstPort(types[i], PORT_INPUT);
                if (port == nullptr || s.units[i] == 0) continue;
                double value = 0.0;
                const int32_t result = Vexa_ReadPort(s.ctx, s.units[i], port->portID, 0, &value);
                if (result < 0) return result;
                hash = Mix(hash, &value, sizeof value);
            }
            s.seen.push_back(hash);
            return 0;
        });
    }

    void AddData();
    void AddUnits();
    void AddQueues(const std::string &round, uint32_t flags, int32_t timeOffset);
    void AddTimedSets(const std::string &round, int32_t count, int32_t firstTick);
    void Build();
};

void SessionScript::AddData() {
    AddCreate("CreateSample mono", [](Session &s) { return Vexa_CreateSample(s.ctx, 256, 1); },
              [](Session &s) -> int32_t & { return s.mono; });
    AddCreate("CreateSample stereo", [](Session &s) { return Vexa_CreateSample(s.ctx, 256, 2); },
              [](Session &s) -> int32_t & { return s.stereo; });
    AddCreate("CreateSample large",
              [](Session &s) { return Vexa_CreateSample(s.ctx, 1u << 17, 2); },
              [](Session &s) -> int32_t & { return s.bigSample; });
    AddCreate("CreateEnvelope", [](Session &s) { return Vexa_CreateEnvelope(s.ctx, 8); },
              [](Session &s) -> int32_t & { return s.envelope; });
    const uint32_t tableSizes[3] = {1, 257, 1u << 16};
    for (int t = 0; t < 3; t++) {
        const uint32_t size = tableSizes[t];
        AddCreate("CreateTable " + std::to_string(size),
                  [size](Session &s) { return Vexa_CreateTable(s.ctx, size); },
                  [t](Session &s) -> int32_t & { return s.tables[t]; });
    }

    /* Writes through the plain and the array-with-offset variants, then reads back. */
    Add("WriteSampleJava mono", [](Session &s) {
        std::vector<int16_t> frames(260);
        for (size_t i = 0; i < frames.size(); i++) frames[i] = static_cast<int16_t>(i * 97);
        return Vexa_WriteSampleJava(s.ctx, s.mono, 0, 256, frames.data(), 4, 260);
    });
    Add("WriteSample stereo", [](Session &s) {
        std::vector<int16_t> frames(512);
        for (size_t i = 0; i < frames.size(); i++) frames[i] = static_cast<int16_t>(1000 - 7 * i);
        return Vexa_WriteSample(s.ctx, s.stereo, 0, frames.data(), 256);
    });
    Add("WriteSample large", [](Session &s) {
        std::vector<int16_t> frames(2 * 4096, 1234);
        return Vexa_WriteSample(s.ctx, s.bigSample, 1000, frames.data(), 4096);
    });
    Add("WriteEnvelopeJava", [](Session &s) {
        std::vector<double> frames(2 * 9);
        for (size_t f = 1; f < 9; f++) {
            frames[2 * f] = 0.0005 * static_cast<double>(f);
            frames[2 * f + 1] = (f % 2 == 0) ? 0.8 : 0.1;
        }
        return Vexa_WriteEnvelopeJava(s.ctx, s.envelope, 0, 8, frames.data(), 1, 18);
    });
    Add("WriteTableJava", [](Session &s) {
        const int16_t values[3] = {0, 16000, 0};
        return Vexa_WriteTableJava(s.ctx, s.tables[0], 0, 1, values, 1, 3);
    });
    Add("WriteTableDoublesJava", [](Session &s) {
        std::vector<double> values(258);
        for (size_t i = 0; i < values.size(); i++)
            values[i] = static_cast<double>(i) / 128.0 - 1.0;
        return Vexa_WriteTableDoublesJava(s.ctx, s.tables[1], 0, 257, values.data(), 1, 258);
    });
    Add("WriteTableDoubles large", [](Session &s) {
        std::vector<double> values(1u << 16);
        for (size_t i = 0; i < values.size(); i++)
            values[i] = static_cast<double>(i % 512) / 256.0 - 1.0;
        return Vexa_WriteTableDoubles(s.ctx, s.tables[2], 0, values.data(), 1u << 16);
    });
    Add("WriteTable large", [](Session &s) {
        const int16_t values[4] = {-32768, -100, 100, 32767};
        return Vexa_WriteTable(s.ctx, s.tables[2], 100, values, 4);
    });
    Add("ReadSampleJava + ReadSample", [](Session &s) {
        std::vector<int16_t> mono(300, -1), stereo(512, -1);
        int32_t result = Vexa_ReadSampleJava(s.ctx, s.mono, 0, 256, mono.data(), 10, 300);
        if (result == 0) result = Vexa_ReadSample(s.ctx, s.stereo, 0, stereo.data(), 256);
        s.seen.push_back(Mix(Mix(kHashStart, mono.data(), mono.size() * 2), stereo.data(),
                             stereo.size() * 2));
        return result;
    });
    Add("ReadEnvelopeJava + ReadEnvelope", [](Session &s) {
        std::vector<double> a(20, -1.0), b(16, -1.0);
        int32_t result = Vexa_ReadEnvelopeJava(s.ctx, s.envelope, 0, 8, a.data(), 2, 20);
        if (result == 0) result = Vexa_ReadEnvelope(s.ctx, s.envelope, 0, b.data(), 8);
        s.seen.push_back(Mix(Mix(kHashStart, a.data(), a.size() * 8), b.data(), b.size() * 8));
        return result;
    });
}

void SessionScript::AddUnits() {
    for (size_t i = 0; i < types_.size(); i++) {
        const UnitInfo *info = types_[i];
        /* The delay lines need at least one frame. */
        const int32_t init = std::strstr(info->initArgument, ">= 1") != nullptr ? 300 : 0;
        const uint32_t typeID = info->typeID;
        AddCreate(std::string("CreateUnit ") + info->name,
                  [typeID, init](Session &s) { return Vexa_CreateUnit(s.ctx, typeID, 0, init); },
                  [i](Session &s) -> int32_t & { return s.units[i]; });
    }
    /* A chain through every type: the first output of each to the first input of the next,
     * and the bus writer to the bus reader. */
    for (size_t i = 0; i < types_.size(); i++) {
        const size_t j = (i + 1) % types_.size();
        const PortInfo *out = FirstPort(types_[i], PORT_OUTPUT);
        const PortInfo *in = FirstPort(types_[j], PORT_INPUT);
        if (out == nullptr || in == nullptr) continue;
        const uint32_t outID = out->portID, inID = in->portID;
        Add(std::string("Connect ") + types_[i]->name + " -> " + types_[j]->name,
            [i, j, outID, inID](Session &s) {
                return Vexa_ConnectUnits(s.ctx, s.units[i], outID, 0, s.units[j], inID, 0);
            });
    }
    for (size_t i = 0; i < types_.size(); i++) {
        const PortInfo *out = FirstPort(types_[i], PORT_BUS_OUTPUT);
        if (out == nullptr) continue;
        for (size_t j = 0; j < types_.size(); j++) {
            const PortInfo *in = FirstPort(types_[j], PORT_BUS_INPUT);
            if (in == nullptr) continue;
            const uint32_t outID = out->portID, inID = in->portID;
            Add(std::string("Connect bus ") + types_[i]->name + " -> " + types_[j]->name,
                [i, j, outID, inID](Session &s) {
                    return Vexa_ConnectUnits(s.ctx, s.units[i], outID, 0, s.units[j], inID, 0);
                });
        }
    }
    /* Every table port gets a table; every queue port a region of the data it plays. */
    for (size_t i = 0; i < types_.size(); i++) {
        const PortInfo *table = FirstPort(types_[i], PORT_TABLE);
        if (table == nullptr) continue;
        const uint32_t portID = table->portID;
        const int t = static_cast<int>(i % 3);
        Add(std::string("UseTable ") + types_[i]->name, [i, portID, t](Session &s) {
            return Vexa_UseTable(s.ctx, s.units[i], portID, 0, s.tables[t]);
        });
    }
}

void SessionScript::AddQueues(const std::string &round, uint32_t flags, int32_t timeOffset) {
    for (size_t i = 0; i < types_.size(); i++) {
        const PortInfo *queue = FirstPort(types_[i], PORT_QUEUE);
        if (queue == nullptr) continue;
        const uint32_t portID = queue->portID;
        const bool envelope = queue->queueData == VXT_ENVELOPE;
        const bool stereo = !envelope && queue->defaultValue > 1.5f;
        Add("QueueDataAt " + round + " " + types_[i]->name,
            [i, portID, envelope, stereo, flags, timeOffset](Session &s) {
                const int32_t data = envelope ? s.envelope : (stereo ? s.stereo : s.mono);
                const uint32_t frames = envelope ? 8 : 200;
                const int32_t tick = Vexa_GetTickCount(s.ctx) + timeOffset;
                return Vexa_QueueDataAt(s.ctx, tick, s.units[i], portID, data, 0, frames, flags);
            });
        if (!envelope && stereo) {
            Add("QueueData large " + round + " " + types_[i]->name,
                [i, portID, flags](Session &s) {
                    return Vexa_QueueData(s.ctx, s.units[i], portID, s.bigSample, 500, 100000,
                                          flags);
                });
        }
    }
}

void SessionScript::AddTimedSets(const std::string &round, int32_t count, int32_t firstTick) {
    /* Timed sets on the first input or variable of the units in turn, spread over ticks; more
     * at once than the command pool holds, so that it grows. */
    std::vector<std::pair<size_t, uint32_t>> targets;
    for (size_t i = 0; i < types_.size(); i++) {
        /* Rather a port that the chain leaves unconnected, so that every set is heard. */
        const PortInfo *port = FirstPort(types_[i], PORT_VARIABLE);
        const PortInfo *first = FirstPort(types_[i], PORT_INPUT);
        for (int32_t p = types_[i]->numPorts - 1; port == nullptr && p >= 0; p--) {
            const PortInfo *candidate = &types_[i]->ports[p];
            if (candidate->portKind == PORT_INPUT && candidate != first) port = candidate;
        }
        if (port == nullptr) port = first;
        if (port != nullptr) targets.emplace_back(i, port->portID);
    }
    for (int32_t k = 0; k < count; k++) {
        const size_t i = targets[static_cast<size_t>(k) % targets.size()].first;
        const uint32_t portID = targets[static_cast<size_t>(k) % targets.size()].second;
        const int32_t tick = firstTick + k % 5;
        const double value = 0.05 * static_cast<double>(k % 17);
        Add("SetPortAt " + round + " " + std::to_string(k) + " " + types_[i]->name,
            [i, portID, tick, value](Session &s) {
                return Vexa_SetPortAt(s.ctx, tick, s.units[i], portID, 0, value);
            });
    }
}

void SessionScript::Build() {
    Add("Initialize", [](Session &s) { return Vexa_Initialize(s.ctx); });
    Add("Start no device", [](Session &s) {
        return Vexa_Start(s.ctx, VX_FLAG_NO_DEVICE, 44100.0);
    });
    AddData();
    AddUnits();

    /* A circuit of two sine oscillators, started as one. */
    AddCreate("CreateUnit member A",
              [](Session &s) { return Vexa_CreateUnit(s.ctx, VEXA_UNIT_SINE_OSCILLATOR, 0, 0); },
              [](Session &s) -> int32_t & { return s.memberA; });
    AddCreate("CreateUnit member B",
              [](Session &s) { return Vexa_CreateUnit(s.ctx, VEXA_UNIT_SINE_OSCILLATOR, 0, 0); },
              [](Session &s) -> int32_t & { return s.memberB; });
    AddCreate("CreateCircuit",
              [](Session &s) {
                  const int32_t members[2] = {s.memberA, s.memberB};
                  return Vexa_CreateCircuit(s.ctx, members, 2, 0);
              },
              [](Session &s) -> int32_t & { return s.circuit; });

    AddQueues("first", VEXA_QUEUE_LOOP, 0);
    for (size_t i = 0; i < types_.size(); i++) {
        Add(std::string("StartUnitAt ") + types_[i]->name, [i](Session &s) {
            return Vexa_StartUnitAt(s.ctx, Vexa_GetTickCount(s.ctx) + static_cast<int32_t>(i % 3),
                                    s.units[i]);
        });
    }
    Add("StartUnit circuit", [](Session &s) { return Vexa_StartUnit(s.ctx, s.circuit); });
    AddTimedSets("first", 20, 1);
    AddRender("Render first", 6);
    AddObjectCount("GetObjectCount first");

    /* The pools hold the nodes that came back; these rounds take them and then more. */
    AddQueues("second", VEXA_QUEUE_REPLACEABLE, 1);
    AddQueues("third", 0, 2);
    AddTimedSets("second", 140, 8);

    /* The command pool is empty again: queues cleared, a table detached and a unit stopped
     * during the next render, each with a new node. */
    for (size_t i = 0; i < types_.size(); i++) {
        const PortInfo *queue = FirstPort(types_[i], PORT_QUEUE);
        if (queue == nullptr || i % 2 != 0) continue;
        const uint32_t portID = queue->portID;
        Add(std::string("ClearDataQueueAt ") + types_[i]->name, [i, portID](Session &s) {
            return Vexa_ClearDataQueueAt(s.ctx, Vexa_GetTickCount(s.ctx) + 4, s.units[i], portID);
        });
    }
    for (size_t i = 0; i < types_.size(); i++) {
        const PortInfo *table = FirstPort(types_[i], PORT_TABLE);
        if (table == nullptr) continue;
        const uint32_t portID = table->portID;
        Add(std::string("UseTable none ") + types_[i]->name, [i, portID](Session &s) {
            return Vexa_UseTable(s.ctx, s.units[i], portID, 0, 0);
        });
        break;
    }
    Add("StopUnitAt", [](Session &s) {
        return Vexa_StopUnitAt(s.ctx, Vexa_GetTickCount(s.ctx) + 5, s.units[7]);
    });
    Add("SetPriority", [](Session &s) { return Vexa_SetPriority(s.ctx, s.units[5], 2); });
    AddRender("Render second", 12);
    AddReadPorts("ReadPort all");
    AddRender("Render third", 3);

    /* Deletions: the circuit, every third unit, data still queued or in use. */
    Add("Delete circuit", [](Session &s) {
        const int32_t result = Vexa_Delete(s.ctx, s.circuit);
        if (result == 0) s.circuit = 0;
        return result;
    });
    for (size_t i = 0; i < types_.size(); i += 3) {
        Add(std::string("Delete ") + types_[i]->name, [i](Session &s) {
            const int32_t result = Vexa_Delete(s.ctx, s.units[i]);
            if (result == 0) s.units[i] = 0;
            return result;
        });
    }
    Add("Delete stereo sample", [](Session &s) { return Vexa_Delete(s.ctx, s.stereo); });
    Add("Delete table", [](Session &s) { return Vexa_Delete(s.ctx, s.tables[1]); });
    Add("Delete envelope", [](Session &s) { return Vexa_Delete(s.ctx, s.envelope); });
    AddRender("Render after deletions", 3);
    AddObjectCount("GetObjectCount after deletions");
    AddReadPorts("ReadPort survivors");
    Add("Stop", [](Session &s) { return Vexa_Stop(s.ctx); });

    /* A start with print output (rendered without an output buffer, so nothing is printed). */
    Add("Start print output", [](Session &s) {
        return Vexa_Start(s.ctx, VX_FLAG_PRINT_OUTPUT, 22050.0);
    });
    Add("Render print output", [](Session &s) {
        return Vexa_RenderTicks(s.ctx, nullptr, nullptr, 2);
    });
    Add("Stop print output", [](Session &s) { return Vexa_Stop(s.ctx); });
    /* Nothing may be outstanding after a termination. */
    Add("Terminate", [](Session &s) { return Vexa_Terminate(s.ctx); }, Answer::kZero);
    Add("Debug allocations",
        [](Session &s) { return Vexa_Debug(s.ctx, VEXA_DEBUG_ALLOCATIONS, 0); }, Answer::kZero);

    /* The same context comes up again. */
    Add("Initialize again", [](Session &s) {
        for (int32_t &unit : s.units) unit = 0;
        return Vexa_Initialize(s.ctx);
    });
    Add("Start again", [](Session &s) { return Vexa_Start(s.ctx, VX_FLAG_NO_DEVICE, 48000.0); });
    AddCreate("CreateUnit again",
              [](Session &s) { return Vexa_CreateUnit(s.ctx, VEXA_UNIT_DELAY, 0, 1); },
              [](Session &s) -> int32_t & { return s.lateUnit; });
    AddCreate("CreateSample again", [](Session &s) { return Vexa_CreateSample(s.ctx, 64, 1); },
              [](Session &s) -> int32_t & { return s.lateSample; });
    Add("StartUnit again", [](Session &s) { return Vexa_StartUnit(s.ctx, s.lateUnit); });
    Add("SetPort again", [](Session &s) {
        return Vexa_SetPort(s.ctx, s.lateUnit, VEXA_PORT_INPUT, 0, 0.5);
    });
    AddRender("Render again", 2);
    Add("Terminate again", [](Session &s) { return Vexa_Terminate(s.ctx); }, Answer::kZero);
    Add("Debug allocations again",
        [](Session &s) { return Vexa_Debug(s.ctx, VEXA_DEBUG_ALLOCATIONS, 0); }, Answer::kZero);
}

/* Runs the session once without refusals and records every step and what it observed. */
std::vector<StepRecord> RecordSession(const std::vector<Step> &steps, size_t numTypes,
                                      std::vector<uint64_t> *seen) {
    std::vector<StepRecord> records;
    Session s;
    s.units.assign(numTypes, 0);
    s.ctx = Vexa_CreateContext();
    EXPECT_NE(s.ctx, nullptr);
    if (s.ctx == nullptr) return records;
    VexaF_FailAllocation(s.ctx, VX_COUNT_ALLOCATIONS);
    for (const Step &step : steps) {
        StepRecord record{};
        record.attemptsBefore = VexaF_AllocationAttempts(s.ctx);
        record.result = step.run(s);
        record.attemptsAfter = VexaF_AllocationAttempts(s.ctx);
        record.outstanding = Vexa_Debug(s.ctx, VEXA_DEBUG_ALLOCATIONS, 0);
        record.seenAfter = s.seen.size();
        if (step.answer == Answer::kZero)
            EXPECT_EQ(record.result, 0) << step.name;
        else
            EXPECT_GE(record.result, 0) << step.name << " fails without a refusal";
        records.push_back(record);
    }
    *seen = s.seen;
    Vexa_DeleteContext(s.ctx);
    return records;
}

bool SameAnswer(const Step &step, int32_t expected, int32_t got) {
    return step.answer == Answer::kToken ? (expected > 0) == (got > 0) : expected == got;
}

/* Runs the session with attempt `refused` refused (none: 0); returns the first difference
 * from the recorded run, or "". */
std::string RefusalRun(const std::vector<Step> &steps, const std::vector<StepRecord> &records,
                       const std::vector<uint64_t> &baseline, size_t numTypes, int64_t refused) {
    Session s;
    s.units.assign(numTypes, 0);
    s.ctx = Vexa_CreateContext();
    if (s.ctx == nullptr) return "no context";
    if (refused > 0) VexaF_FailAllocation(s.ctx, refused);
    std::string fault;
    bool refusalSeen = false;
    for (size_t i = 0; i < steps.size() && fault.empty(); i++) {
        const Step &step = steps[i];
        const StepRecord &record = records[i];
        const size_t seenBefore = s.seen.size();
        int32_t result = step.run(s);
        const bool refusedHere = record.attemptsBefore < refused && refused <= record.attemptsAfter;
        if (refusedHere) {
            refusalSeen = true;
            if (result != VXERR_NO_MEMORY) {
                fault = step.name + " answered " + std::to_string(result) +
                        " for a refused allocation";
                break;
            }
            /* The refused call once more, with nothing refused. */
            VexaF_FailAllocation(s.ctx, 0);
            s.seen.resize(seenBefore);
            result = step.run(s);
            if (!SameAnswer(step, record.result, result)) {
                fault = step.name + " repeated after the refusal answered " +
                        std::to_string(result) + ", not " + std::to_string(record.result);
                break;
            }
        } else if (!SameAnswer(step, record.result, result)) {
            fault = step.name + " answered " + std::to_string(result) + ", not " +
                    std::to_string(record.result);
            break;
        }
        const int32_t outstanding = Vexa_Debug(s.ctx, VEXA_DEBUG_ALLOCATIONS, 0);
        if (outstanding != record.outstanding) {
            fault = "after " + step.name + ": " + std::to_string(outstanding) +
                    " blocks outstanding, not " + std::to_string(record.outstanding);
            break;
        }
        if (s.seen.size() != record.seenAfter) {
            fault = step.name + " observed " + std::to_string(s.seen.size() - seenBefore) +
                    " values";
            break;
        }
        for (size_t k = seenBefore; k < s.seen.size(); k++) {
            if (s.seen[k] != baseline[k]) {
                fault = step.name + " observed something else than without the refusal";
                break;
            }
        }
    }
    if (fault.empty() && refused > 0 && !refusalSeen) fault = "no step made the refused attempt";
    /* Whatever happened, the context goes down and is freed. */
    Vexa_DeleteContext(s.ctx);
    return fault;
}

TEST(AllocFailures, EveryAllocationRefusedInTurn) {
    const SessionScript script;
    const std::vector<Step> &steps = script.steps();
    const size_t numTypes = AllTypes().size();
    ASSERT_EQ(numTypes, 68u);

    /* The run without refusals, twice: the second must do exactly what the first did, or the
     * comparison below would blame refusals for differences of the session's own. */
    std::vector<uint64_t> baseline;
    const std::vector<StepRecord> records = RecordSession(steps, numTypes, &baseline);
    ASSERT_EQ(records.size(), steps.size());
    ASSERT_FALSE(::testing::Test::HasFailure());
    ASSERT_EQ(RefusalRun(steps, records, baseline, numTypes, 0), "")
        << "the session is not repeatable";

    const int64_t total = records.back().attemptsAfter;
    /* Every kind of allocation is there: initialisation (bridge, tables, plan, host), data
     * of every kind, 68 units and two delay lines, command and queue nodes. */
    ASSERT_GT(total, 150);

    /* Two threads, each with its own contexts: the refusal hook is per context. */
    constexpr int kThreads = 2;
    std::vector<std::pair<int64_t, std::string>> faults[kThreads];
    const auto started = std::chrono::steady_clock::now();
    {
        std::vector<std::thread> threads;
        for (int k = 0; k < kThreads; k++) {
            threads.emplace_back([&, k] {
                for (int64_t n = 1 + k; n <= total && faults[k].size() < 10; n += kThreads) {
                    std::string fault = RefusalRun(steps, records, baseline, numTypes, n);
                    if (!fault.empty()) faults[k].emplace_back(n, std::move(fault));
                }
            });
        }
        for (std::thread &thread : threads) thread.join();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    for (const auto &list : faults)
        for (const auto &[n, fault] : list)
            ADD_FAILURE() << "attempt " << n << " of " << total << " refused: " << fault;
    std::printf("[ sweep    ] %lld allocation attempts, each refused in turn, in %.2f s\n",
                static_cast<long long>(total), seconds);
}

/* The hook itself: attempts are numbered per context, only while armed, and only the armed
 * one is refused. */
TEST(AllocFailures, RefusalHookCountsAndRefusesOneAttempt) {
    VexaContext *a = Vexa_CreateContext();
    VexaContext *b = Vexa_CreateContext();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(Vexa_Initialize(a), 0); /* not counted: the hook is disarmed */
    EXPECT_EQ(VexaF_AllocationAttempts(a), 0);
    VexaF_FailAllocation(a, VX_COUNT_ALLOCATIONS);
    VexaF_FailAllocation(b, VX_COUNT_ALLOCATIONS);
    ASSERT_EQ(Vexa_Initialize(b), 0);
    const int64_t initAttempts = VexaF_AllocationAttempts(b);
    EXPECT_GT(initAttempts, 0);

    VexaF_FailAllocation(a, 2);
    EXPECT_EQ(Vexa_CreateTable(a, 16), VXERR_NO_MEMORY); /* data block 1, thing 2: refused */
    EXPECT_EQ(VexaF_AllocationAttempts(a), 2);           /* the refused attempt counts */
    EXPECT_GT(Vexa_CreateTable(b, 16), 0);               /* the other context refuses none */
    EXPECT_EQ(VexaF_AllocationAttempts(b), initAttempts + 2);
    EXPECT_GT(Vexa_CreateTable(a, 16), 0); /* one refusal only */
    EXPECT_EQ(VexaF_AllocationAttempts(a), 4);

    VexaF_FailAllocation(a, 1);
    VexaF_FailAllocation(a, 0); /* disarmed: nothing refused, nothing counted */
    EXPECT_GT(Vexa_CreateEnvelope(a, 4), 0);
    EXPECT_EQ(VexaF_AllocationAttempts(a), 4);

    EXPECT_EQ(Vexa_Terminate(a), 0);
    EXPECT_EQ(Vexa_Terminate(b), 0);
    Vexa_DeleteContext(a);
    Vexa_DeleteContext(b);
}

} // namespace
