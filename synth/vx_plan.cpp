/*
 * vx_plan.cpp - the execution plan of the run lists: each list's units reordered into groups
 * of one type, which the batch runs with the type's group function (up to 8 units side by
 * side) instead of one unit function per unit.
 *
 * The reordering keeps every order that can change a value:
 *  - a unit that reads another's output keeps its place relative to that unit, either way (a
 *    reader that runs before its source reads the previous block's value, and goes on so);
 *  - units that share state keep their order among themselves: the random sequence, the device
 *    buffers (input cursor, output mix), bus sums, sample data (UnitInfo::sharing);
 *  - a circuit runs as one unit, and nothing moves across it: the list is planned in the
 *    segments between circuits.
 * Within those orders the plan is a topological order of the list that takes, at each step,
 * the earliest unit that is free to run and every other free unit of its type with it. Units of
 * one group never depend on each other, so running them side by side computes the same bits.
 *
 * The plan is rebuilt at the start of a batch, after the batch's commands, when a run list
 * (vxb_RunListGeneration) or a connection or signal type (vxf_PlanGeneration) changed since the
 * last plan. Its memory is allocated with the back end's records; building it allocates and
 * locks nothing and takes time linear in the units and connections of the list (a heap makes it
 * n log n in the worst case). A list whose units or constraints do not fit the plan's tables
 * (deleted units that the back end has not let go of yet still count) runs in its own order.
 */
#include <cstring>

#include "vx_synth.h"

namespace {
constexpr int32_t kLists = 6; /* audio priorities 0-2, then control priorities 0-2 */
constexpr int32_t kMaxEdges = 8 * VX_MAX_THINGS;
constexpr int32_t kTypeSlots = 256; /* open addressing; at most 69 descriptors */
constexpr int32_t kGroupSize = 8;
constexpr int32_t kSawTables = 8, kSawCycle = 1024; /* the standard band-limited set */

struct PlanEntry {
    VexaUnit *const *units;
    int32_t count;
    VexaGroupFunc group; /* null: count is 1 and the unit function runs */
};

struct PlanList {
    int32_t firstEntry;
    int32_t numEntries;
    bool grouped; /* false: the list runs in its own order, straight from the run list */
};
} // namespace

struct VexaPlan {
    uint32_t planGeneration;
    uint32_t runListGeneration;
    int32_t groupingOff;
    bool valid;
    uint32_t stamp;
    PlanList lists[kLists];
    VexaUnit *order[VX_MAX_THINGS];
    PlanEntry entries[VX_MAX_THINGS];
    /* Scratch of one segment's build, indexed by position in the segment. */
    VexaUnit *segment[VX_MAX_THINGS];
    int32_t indegree[VX_MAX_THINGS];
    int32_t firstSuccessor[VX_MAX_THINGS + 1];
    int32_t heap[VX_MAX_THINGS];
    int32_t typeSlot[VX_MAX_THINGS];
    int32_t readyNext[VX_MAX_THINGS];
    bool emitted[VX_MAX_THINGS];
    int32_t edgeFrom[kMaxEdges], edgeTo[kMaxEdges], successors[kMaxEdges];
    const UnitInfo *typeKey[kTypeSlots];
    int32_t readyHead[kTypeSlots];
    float sawFlat[kSawTables * (kSawCycle + 1)];
};

namespace {

DLLNode *ListOf(VexaContext *context, int32_t list) {
    return list < 3 ? &context->vxb_AudioLists[list] : &context->vxb_ControlLists[list - 3];
}

/* ---- Building -------------------------------------------------------------------------- */

class Builder {
  public:
    Builder(VexaPlan *plan, int32_t *entryCount, int32_t *orderCount)
        : plan_(plan), entries_(entryCount), orders_(orderCount) {}

    /* Plans one segment of n units (plan->segment[0..n)); false when its constraints do not
     * fit the edge table. */
    bool Segment(int32_t n) {
        VexaPlan *p = plan_;
        p->stamp++;
        for (int32_t i = 0; i < n; i++) {
            p->segment[i]->planStamp = p->stamp;
            p->segment[i]->planSlot = i;
            p->indegree[i] = 0;
            p->emitted[i] = false;
        }
        numEdges_ = 0;
        if (!Connections(n) || !SharedState(n)) return false;
        Successors(n);
        Types(n);
        Schedule(n);
        return true;
    }

    /* A circuit, or a unit planned alone: one entry. */
    void Single(VexaUnit *unit) {
        VexaUnit **slot = &plan_->order[(*orders_)++];
        *slot = unit;
        plan_->entries[(*entries_)++] = {slot, 1, nullptr};
    }

  private:
    VexaPlan *plan_;
    int32_t *entries_, *orders_;
    int32_t numEdges_ = 0;

    bool AddEdge(int32_t a, int32_t b) {
        if (a == b) return true;
        if (numEdges_ == kMaxEdges) return false;
        /* The earlier unit of the list stays first. */
        plan_->edgeFrom[numEdges_] = a < b ? a : b;
        plan_->edgeTo[numEdges_] = a < b ? b : a;
        numEdges_++;
        return true;
    }

    /* A reader keeps its place relative to every unit of the segment whose output it reads. */
    bool Connections(int32_t n) {
        VexaPlan *p = plan_;
        for (int32_t r = 0; r < n; r++) {
            VexaUnit *reader = p->segment[r];
            const UnitInfo *info = reader->descriptor;
            for (int32_t k = 0; k < info->numPorts; k++) {
                const PortInfo *port = &info->ports[k];
                if (port->portKind != PORT_INPUT) continue;
                for (int32_t part = 0; part < port->numParts; part++) {
                    const OutputPort *output =
                        vx_load(VexaS_GetInput(reader, port, part)->connectedOutput);
                    if (output == nullptr) continue;
                    const VexaUnit *source = output->owner;
                    if (source->planStamp != p->stamp) continue; /* not in this segment */
                    if (!AddEdge(source->planSlot, r)) return false;
                }
            }
        }
        return true;
    }

    /* Units that share a kind of state keep their order: each follows the previous one.
     * Sample readers share their data only while a recorder of the segment may write it. */
    bool SharedState(int32_t n) {
        VexaPlan *p = plan_;
        bool recorders = false;
        for (int32_t i = 0; i < n; i++)
            recorders |= (p->segment[i]->descriptor->sharing & VX_WRITES_SAMPLES) != 0;
        const uint8_t kinds = recorders ? 0xff : static_cast<uint8_t>(~VX_SHARES_SAMPLES);
        int32_t last[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
        for (int32_t i = 0; i < n; i++) {
            const uint8_t sharing = p->segment[i]->descriptor->sharing & kinds;
            for (int32_t bit = 0; bit < 8; bit++) {
                if ((sharing & (1u << bit)) == 0) continue;
                if (last[bit] >= 0 && !AddEdge(last[bit], i)) return false;
                last[bit] = i;
            }
        }
        return true;
    }

    /* Successor lists by counting sort of the edges. */
    void Successors(int32_t n) {
        VexaPlan *p = plan_;
        for (int32_t i = 0; i <= n; i++) p->firstSuccessor[i] = 0;
        for (int32_t e = 0; e < numEdges_; e++) {
            p->firstSuccessor[p->edgeFrom[e] + 1]++;
            p->indegree[p->edgeTo[e]]++;
        }
        for (int32_t i = 0; i < n; i++) p->firstSuccessor[i + 1] += p->firstSuccessor[i];
        for (int32_t i = 0; i < n; i++) p->readyNext[i] = p->firstSuccessor[i]; /* fill cursor */
        for (int32_t e = 0; e < numEdges_; e++)
            p->successors[p->readyNext[p->edgeFrom[e]]++] = p->edgeTo[e];
    }

    /* A slot per descriptor among the segment's units. */
    void Types(int32_t n) {
        VexaPlan *p = plan_;
        for (int32_t t = 0; t < kTypeSlots; t++) {
            p->typeKey[t] = nullptr;
            p->readyHead[t] = -1;
        }
        for (int32_t i = 0; i < n; i++) {
            const UnitInfo *info = p->segment[i]->descriptor;
            uint32_t h = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(info) >> 4);
            int32_t t = static_cast<int32_t>((h * 2654435761u) >> 24);
            while (p->typeKey[t] != nullptr && p->typeKey[t] != info) t = (t + 1) & (kTypeSlots - 1);
            p->typeKey[t] = info;
            p->typeSlot[i] = t;
        }
    }

    /* A min-heap of the positions of the units free to run. */
    void Push(int32_t *size, int32_t i) {
        int32_t *h = plan_->heap;
        int32_t k = (*size)++;
        while (k > 0 && h[(k - 1) / 2] > i) {
            h[k] = h[(k - 1) / 2];
            k = (k - 1) / 2;
        }
        h[k] = i;
    }
    int32_t Pop(int32_t *size) {
        int32_t *h = plan_->heap;
        const int32_t top = h[0];
        const int32_t last = h[--(*size)];
        int32_t k = 0;
        for (;;) {
            int32_t c = 2 * k + 1;
            if (c >= *size) break;
            if (c + 1 < *size && h[c + 1] < h[c]) c++;
            if (h[c] >= last) break;
            h[k] = h[c];
            k = c;
        }
        if (*size > 0) h[k] = last;
        return top;
    }

    void Ready(int32_t *heapSize, int32_t i) {
        VexaPlan *p = plan_;
        Push(heapSize, i);
        p->readyNext[i] = p->readyHead[p->typeSlot[i]];
        p->readyHead[p->typeSlot[i]] = i;
    }

    /* Runs one unit's successors' counts down. */
    void Emitted(int32_t *heapSize, int32_t i) {
        VexaPlan *p = plan_;
        p->emitted[i] = true;
        for (int32_t s = p->firstSuccessor[i]; s < p->firstSuccessor[i + 1]; s++)
            if (--p->indegree[p->successors[s]] == 0) Ready(heapSize, p->successors[s]);
    }

    void Schedule(int32_t n) {
        VexaPlan *p = plan_;
        int32_t heapSize = 0;
        for (int32_t i = 0; i < n; i++)
            if (p->indegree[i] == 0) Ready(&heapSize, i);
        while (heapSize > 0) {
            const int32_t first = Pop(&heapSize);
            if (p->emitted[first]) continue; /* taken with an earlier group */
            VexaUnit *unit = p->segment[first];
            const VexaGroupFunc group = unit->descriptor->groupFunc;
            if (group == nullptr || unit->unitFunc != unit->descriptor->unitFunc) {
                /* The unit runs alone; its ready-list entry is skipped when reached. */
                Single(unit);
                Emitted(&heapSize, first);
                continue;
            }
            /* The earliest free unit and every other unit of its type that is free to run
             * now, in groups of up to 8. Units that become free meanwhile wait for a later
             * group. */
            const int32_t t = p->typeSlot[first];
            int32_t chain = p->readyHead[t];
            p->readyHead[t] = -1;
            int32_t members[kGroupSize];
            int32_t count = 0;
            int32_t start = *orders_;
            auto take = [&](int32_t i) {
                if (count == kGroupSize) {
                    CloseGroup(start, group, members, count, &heapSize);
                    start = *orders_;
                    count = 0;
                }
                p->order[(*orders_)++] = p->segment[i];
                p->emitted[i] = true; /* reserved; its successors run down at the close */
                members[count++] = i;
            };
            take(first);
            while (chain >= 0) {
                const int32_t next = p->readyNext[chain];
                if (chain != first && !p->emitted[chain]) {
                    if (p->segment[chain]->unitFunc == unit->unitFunc) {
                        take(chain);
                    } else { /* the same type built for other vectors: stays free */
                        p->readyNext[chain] = p->readyHead[t];
                        p->readyHead[t] = chain;
                    }
                }
                chain = next;
            }
            CloseGroup(start, group, members, count, &heapSize);
        }
    }

    void CloseGroup(int32_t start, VexaGroupFunc group, const int32_t *members, int32_t count,
                    int32_t *heapSize) {
        VexaPlan *p = plan_;
        p->entries[(*entries_)++] = {&p->order[start], count, count > 1 ? group : nullptr};
        for (int32_t m = 0; m < count; m++) Emitted(heapSize, members[m]);
    }
};

void BuildList(VexaContext *context, VexaPlan *plan, int32_t list, int32_t *entryCount,
               int32_t *orderCount) {
    PlanList &out = plan->lists[list];
    out.firstEntry = *entryCount;
    out.grouped = false;
    const DLLNode *head = ListOf(context, list);
    if (head->next == head) {
        out.numEntries = 0;
        return;
    }
    /* Deleted units stay in their list until the back end lets them go, so a list may hold
     * more units than the thing table; what does not fit the plan runs in its own order. */
    int32_t length = 0;
    for (const DLLNode *node = head->next; node != head && length <= VX_MAX_THINGS;
         node = node->next)
        length++;
    if (*orderCount + length > VX_MAX_THINGS) {
        out.numEntries = 0;
        return;
    }
    const int32_t firstOrder = *orderCount;
    Builder builder(plan, entryCount, orderCount);
    bool fits = true;
    int32_t n = 0;
    for (DLLNode *node = head->next;; node = node->next) {
        VexaUnit *unit = node == head ? nullptr : reinterpret_cast<VexaUnit *>(node);
        if (unit == nullptr || unit->isCircuit) {
            if (n > 0) fits = fits && builder.Segment(n);
            n = 0;
            if (unit == nullptr) break;
            builder.Single(unit);
            continue;
        }
        plan->segment[n++] = unit;
    }
    out.numEntries = *entryCount - out.firstEntry;
    /* A list in which nothing runs side by side runs straight from the run list. */
    bool anyGroup = false;
    for (int32_t e = out.firstEntry; e < *entryCount; e++) anyGroup |= plan->entries[e].count > 1;
    out.grouped = fits && anyGroup;
    if (!out.grouped) {
        *entryCount = out.firstEntry;
        *orderCount = firstOrder;
        out.numEntries = 0;
    }
}

void Rebuild(VexaContext *context, VexaPlan *plan) {
    int32_t entries = 0, orders = 0;
    for (int32_t list = 0; list < kLists; list++) {
        if (plan->groupingOff != 0) {
            plan->lists[list] = {0, 0, false};
            continue;
        }
        BuildList(context, plan, list, &entries, &orders);
    }
    plan->valid = true;
}

} // namespace

/* ---- Set-up ------------------------------------------------------------------------------ */

int32_t VexaS_InitPlan(VexaContext *context) {
    VexaPlan *plan =
        static_cast<VexaPlan *>(VexaF_AllocateMemory(context, sizeof(VexaPlan), "VexaS_InitPlan"));
    context->vxb_Plan = plan;
    context->vxb_SawFlat = nullptr;
    if (plan == nullptr) return VXERR_NO_MEMORY;
    const SawMultiTables *set = &context->vxb_SawTables;
    if (set->tables != nullptr && set->numTables == kSawTables && set->cycleLength == kSawCycle) {
        for (int32_t t = 0; t < kSawTables; t++)
            std::memcpy(&plan->sawFlat[t * (kSawCycle + 1)], set->tables[t],
                        (kSawCycle + 1) * sizeof(float));
        context->vxb_SawFlat = plan->sawFlat;
    }
    return 0;
}

void VexaS_TermPlan(VexaContext *context) {
    VexaF_FreeMemory(context, context->vxb_Plan);
    context->vxb_Plan = nullptr;
    context->vxb_SawFlat = nullptr;
}

/* ---- The batch's side ------------------------------------------------------------------- */

void VexaB_UpdatePlan(VexaContext *context) {
    VexaPlan *plan = context->vxb_Plan;
    if (plan == nullptr) return;
    const uint32_t planGeneration = __atomic_load_n(&context->vxf_PlanGeneration, __ATOMIC_ACQUIRE);
    const uint32_t runListGeneration = context->vxb_RunListGeneration;
    const int32_t groupingOff = vx_load(context->vxf_GroupingOff);
    if (plan->valid && plan->planGeneration == planGeneration &&
        plan->runListGeneration == runListGeneration && plan->groupingOff == groupingOff)
        return;
    plan->planGeneration = planGeneration;
    plan->runListGeneration = runListGeneration;
    plan->groupingOff = groupingOff;
    Rebuild(context, plan);
}

void VexaB_RunList(VexaContext *context, int32_t list) {
    const VexaPlan *plan = context->vxb_Plan;
    if (plan == nullptr || !plan->lists[list].grouped) {
        VexaB_ExecUnitList(context, ListOf(context, list));
        return;
    }
    const PlanList &planned = plan->lists[list];
    const PlanEntry *entry = &plan->entries[planned.firstEntry];
    const PlanEntry *end = entry + planned.numEntries;
    for (; entry < end; entry++) {
        if (entry->group == nullptr) {
            VexaUnit *unit = entry->units[0];
            unit->unitFunc(context, unit);
        } else {
            entry->group(context, entry->units, entry->count);
        }
    }
}

int32_t VexaS_PlannedGroups(const VexaContext *context) {
    const VexaPlan *plan = context->vxb_Plan;
    if (plan == nullptr) return 0;
    int32_t groups = 0;
    for (const PlanList &list : plan->lists) {
        if (!list.grouped) continue;
        for (int32_t e = 0; e < list.numEntries; e++)
            groups += plan->entries[list.firstEntry + e].count > 1;
    }
    return groups;
}

void VexaF_SetGrouping(VexaContext *context, bool on) {
    vx_store(context->vxf_GroupingOff, on ? 0 : 1);
}
