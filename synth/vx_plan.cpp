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
 *
 * With more than one render thread, each planned list is also cut into parts: runs of
 * consecutive entries of about equal size. A part depends on every earlier part that holds a
 * unit one of its units must follow (the orders above); a circuit is a part of its own that
 * depends on every part before it, and every later part depends on it; parts with queue
 * players or recorders follow each other, since stepping a queue hands nodes back to the
 * front end through the back end's one list. Parts that do not depend on each other may run at
 * the same time on different threads (synth/vx_crew.cpp) and compute the same bits. The parts
 * are numbered so that a part with a longer chain of work behind it comes first (so that the
 * chains that take longest start early); every part still comes after the parts it depends on,
 * and the threads take the first part whose predecessors are computed.
 */
#include <algorithm>
#include <cstring>

#include "vx_synth.h"

namespace {
constexpr int32_t kLists = 6; /* audio priorities 0-2, then control priorities 0-2 */
constexpr int32_t kMaxEdges = 8 * VX_MAX_THINGS;
constexpr int32_t kTypeSlots = 256; /* open addressing; at most 69 descriptors */
constexpr int32_t kGroupSize = 8;
constexpr int32_t kSawTables = 8, kSawCycle = 1024; /* the standard band-limited set */
/* Parts: all lists together, the dependencies of all parts, and their size. */
constexpr int32_t kMaxParts = 1024;
constexpr int32_t kMaxPreds = 8 * kMaxParts;
constexpr int32_t kPartsPerThread = 8; /* parts of a list per render thread, about */
constexpr int32_t kMinPartUnits = 16;

struct PlanEntry {
    VexaUnit *const *units;
    int32_t count;
    VexaGroupFunc group; /* null: count is 1 and the unit function runs */
    bool circuit;
};

struct PlanList {
    int32_t firstEntry;
    int32_t numEntries;
    bool grouped; /* false: the list runs in its own order, straight from the run list */
    int32_t firstPart;
    int32_t numParts; /* 0: the batch's thread runs the entries in order */
};

struct PlanPart {
    int32_t firstEntry;
    int32_t numEntries;
    int32_t firstPred;
    int32_t numPreds; /* absolute indices of the parts it waits for, in preds[] */
    int64_t cost;     /* units, and the longest chain behind it while the parts are made */
    bool circuit;
    bool queues; /* holds a unit with a queue port */
};

/* The epochs of the phases that last took and last computed a part, one cache line each. */
struct PartDone {
    uint32_t epoch;
    uint32_t taken;
    char padding[56];
};
} // namespace

struct VexaPlan {
    uint32_t planGeneration;
    uint32_t runListGeneration;
    int32_t groupingOff;
    bool valid;
    uint32_t stamp;
    int32_t threads; /* render threads the parts were cut for */
    int32_t partUnits;
    PlanList lists[kLists];
    VexaUnit *order[VX_MAX_THINGS];
    PlanEntry entries[VX_MAX_THINGS];
    int32_t numParts, numPreds;
    PlanPart parts[kMaxParts];
    int32_t preds[kMaxPreds];
    PartDone done[kMaxParts];
    /* Scratch of one segment's build, indexed by position in the segment. */
    VexaUnit *segment[VX_MAX_THINGS];
    int32_t indegree[VX_MAX_THINGS];
    int32_t firstSuccessor[VX_MAX_THINGS + 1];
    int32_t heap[VX_MAX_THINGS];
    int32_t typeSlot[VX_MAX_THINGS];
    int32_t readyNext[VX_MAX_THINGS];
    bool emitted[VX_MAX_THINGS];
    int32_t edgeFrom[kMaxEdges], edgeTo[kMaxEdges], successors[kMaxEdges];
    int32_t entryOf[VX_MAX_THINGS]; /* the entry of each unit of the segment */
    /* Scratch of one list's parts: the entries each unit must follow, as entry pairs. */
    int32_t numListEdges;
    bool listEdgesFit;
    int32_t listEdgeFrom[kMaxEdges], listEdgeTo[kMaxEdges], edgeOrder[kMaxEdges];
    int32_t partOf[VX_MAX_THINGS]; /* the part of each entry */
    PlanPart cut[kMaxParts];
    int32_t cutPreds[kMaxPreds];
    int32_t predStamp[kMaxParts], firstEdgeOf[kMaxParts + 1], rank[kMaxParts],
        newIndex[kMaxParts];
    int64_t longestAfter[kMaxParts];
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
    Builder(VexaPlan *plan, int32_t *entryCount, int32_t *orderCount, bool grouping)
        : plan_(plan), entries_(entryCount), orders_(orderCount), grouping_(grouping) {}

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
        if (p->threads > 1) KeepEdges();
        return true;
    }

    /* A circuit, or a unit planned alone: one entry. */
    void Single(VexaUnit *unit) {
        VexaUnit **slot = &plan_->order[(*orders_)++];
        *slot = unit;
        plan_->entries[(*entries_)++] = {slot, 1, nullptr, unit->isCircuit != 0};
    }

  private:
    VexaPlan *plan_;
    int32_t *entries_, *orders_;
    bool grouping_;
    int32_t numEdges_ = 0;

    /* The segment's constraints as pairs of entries, for cutting the list into parts. */
    void KeepEdges() {
        VexaPlan *p = plan_;
        for (int32_t e = 0; e < numEdges_; e++) {
            const int32_t from = p->entryOf[p->edgeFrom[e]], to = p->entryOf[p->edgeTo[e]];
            if (from == to) continue;
            if (p->numListEdges == kMaxEdges) {
                p->listEdgesFit = false;
                return;
            }
            p->listEdgeFrom[p->numListEdges] = from;
            p->listEdgeTo[p->numListEdges] = to;
            p->numListEdges++;
        }
    }

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
            if (!grouping_ || group == nullptr || unit->unitFunc != unit->descriptor->unitFunc) {
                /* The unit runs alone; its ready-list entry is skipped when reached. */
                p->entryOf[first] = *entries_;
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
        for (int32_t m = 0; m < count; m++) p->entryOf[members[m]] = *entries_;
        p->entries[(*entries_)++] = {&p->order[start], count, count > 1 ? group : nullptr, false};
        for (int32_t m = 0; m < count; m++) Emitted(heapSize, members[m]);
    }
};

/* ---- Parts ------------------------------------------------------------------------------ */

bool HasQueuePort(const VexaUnit *unit) {
    const UnitInfo *info = unit->descriptor;
    for (int32_t k = 0; k < info->numPorts; k++)
        if (info->ports[k].portKind == PORT_QUEUE) return true;
    return false;
}

int64_t EntryCost(const PlanEntry &entry) {
    if (!entry.circuit) return entry.count;
    const VexaCircuit *circuit = reinterpret_cast<const VexaCircuit *>(entry.units[0]);
    int64_t members = 1;
    for (const DLLNode *node = circuit->audioMembers.next; node != &circuit->audioMembers;
         node = node->next)
        members++;
    return members;
}

class PartCutter {
  public:
    PartCutter(VexaPlan *plan, PlanList *list) : p_(plan), list_(list) {}

    /* Cuts the list's entries into parts; false when they do not fit the tables (the list
     * then runs on the batch's thread alone). */
    bool Cut() {
        if (!p_->listEdgesFit) return false;
        const int32_t first = list_->firstEntry, end = first + list_->numEntries;
        int64_t total = 0;
        for (int32_t e = first; e < end; e++) total += EntryCost(p_->entries[e]);
        int64_t target = total / (static_cast<int64_t>(p_->threads) * kPartsPerThread);
        if (target < kMinPartUnits) target = kMinPartUnits;
        if (p_->partUnits > 0) target = p_->partUnits;

        n_ = 0;
        for (int32_t e = first; e < end;) {
            if (n_ == kMaxParts) return false;
            PlanPart &part = p_->cut[n_];
            part = {e, 0, 0, 0, 0, false, false};
            if (p_->entries[e].circuit) {
                part.circuit = part.queues = true;
                part.numEntries = 1;
                part.cost = EntryCost(p_->entries[e]);
                p_->partOf[e++] = n_++;
                continue;
            }
            while (e < end && !p_->entries[e].circuit && part.cost < target) {
                const PlanEntry &entry = p_->entries[e];
                for (int32_t m = 0; m < entry.count; m++) part.queues |= HasQueuePort(entry.units[m]);
                part.cost += EntryCost(entry);
                part.numEntries++;
                p_->partOf[e++] = n_;
            }
            n_++;
        }
        if (n_ < 2 || p_->numParts + n_ > kMaxParts) return false;
        return Preds() && Number();
    }

  private:
    VexaPlan *p_;
    PlanList *list_;
    int32_t n_ = 0, numPreds_ = 0;

    bool AddPred(int32_t part, int32_t pred) {
        if (pred == part || p_->predStamp[pred] == part) return true;
        if (numPreds_ == kMaxPreds) return false;
        p_->predStamp[pred] = part;
        p_->cutPreds[numPreds_++] = pred;
        p_->cut[part].numPreds++;
        return true;
    }

    /* Each part's predecessors, from the entry pairs, the circuits and the queue chain. */
    bool Preds() {
        VexaPlan *p = p_;
        const int32_t edges = p->numListEdges;
        for (int32_t i = 0; i <= n_; i++) p->firstEdgeOf[i] = 0;
        for (int32_t e = 0; e < edges; e++) p->firstEdgeOf[p->partOf[p->listEdgeTo[e]] + 1]++;
        for (int32_t i = 0; i < n_; i++) p->firstEdgeOf[i + 1] += p->firstEdgeOf[i];
        for (int32_t i = 0; i < n_; i++) p->rank[i] = p->firstEdgeOf[i]; /* fill cursor */
        for (int32_t e = 0; e < edges; e++) p->edgeOrder[p->rank[p->partOf[p->listEdgeTo[e]]]++] = e;
        for (int32_t i = 0; i < n_; i++) p->predStamp[i] = -1;
        numPreds_ = 0;
        int32_t lastCircuit = -1, lastQueues = -1;
        for (int32_t i = 0; i < n_; i++) {
            PlanPart &part = p->cut[i];
            part.firstPred = numPreds_;
            if (part.circuit) {
                for (int32_t q = lastCircuit < 0 ? 0 : lastCircuit; q < i; q++)
                    if (!AddPred(i, q)) return false;
                lastCircuit = lastQueues = i;
                continue;
            }
            for (int32_t k = p->firstEdgeOf[i]; k < p->firstEdgeOf[i + 1]; k++)
                if (!AddPred(i, p->partOf[p->listEdgeFrom[p->edgeOrder[k]]])) return false;
            if (lastCircuit >= 0 && !AddPred(i, lastCircuit)) return false;
            if (part.queues) {
                if (lastQueues >= 0 && !AddPred(i, lastQueues)) return false;
                lastQueues = i;
            }
        }
        return p->numPreds + numPreds_ <= kMaxPreds;
    }

    /* Numbers the parts by the longest chain of work from each part to the end of the list
     * (longest first; a part's chain is longer than that of every part that waits for it), then
     * copies them into the plan's tables. */
    bool Number() {
        VexaPlan *p = p_;
        for (int32_t i = 0; i < n_; i++) p->longestAfter[i] = 0;
        for (int32_t i = n_ - 1; i >= 0; i--) {
            PlanPart &part = p->cut[i];
            part.cost += p->longestAfter[i]; /* now the chain from this part on */
            for (int32_t k = 0; k < part.numPreds; k++) {
                const int32_t pred = p->cutPreds[part.firstPred + k];
                p->longestAfter[pred] = std::max(p->longestAfter[pred], part.cost);
            }
        }
        for (int32_t i = 0; i < n_; i++) p->rank[i] = i;
        const PlanPart *cut = p->cut;
        std::sort(p->rank, p->rank + n_, [cut](int32_t a, int32_t b) {
            return cut[a].cost != cut[b].cost ? cut[a].cost > cut[b].cost : a < b;
        });
        const int32_t base = p->numParts;
        for (int32_t k = 0; k < n_; k++) p->newIndex[p->rank[k]] = base + k;
        for (int32_t k = 0; k < n_; k++) {
            const PlanPart &from = p->cut[p->rank[k]];
            PlanPart &to = p->parts[base + k];
            to.firstEntry = from.firstEntry;
            to.numEntries = from.numEntries;
            to.cost = from.cost;
            to.circuit = from.circuit;
            to.queues = from.queues;
            /* A worker late to a phase that is over may still read a part's predecessors
             * (its take then fails): they are atomic words. */
            __atomic_store_n(&to.firstPred, p->numPreds, __ATOMIC_RELAXED);
            __atomic_store_n(&to.numPreds, from.numPreds, __ATOMIC_RELAXED);
            for (int32_t j = 0; j < from.numPreds; j++)
                __atomic_store_n(&p->preds[p->numPreds++],
                                 p->newIndex[p->cutPreds[from.firstPred + j]], __ATOMIC_RELAXED);

        }
        list_->firstPart = base;
        list_->numParts = n_;
        p->numParts += n_;
        return true;
    }
};

void BuildList(VexaContext *context, VexaPlan *plan, int32_t list, int32_t *entryCount,
               int32_t *orderCount) {
    PlanList &out = plan->lists[list];
    out.firstEntry = *entryCount;
    out.grouped = false;
    out.firstPart = 0;
    out.numParts = 0;
    plan->numListEdges = 0;
    plan->listEdgesFit = true;
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
    const bool shared = plan->threads > 1;
    Builder builder(plan, entryCount, orderCount, plan->groupingOff == 0);
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
    /* A list in which nothing runs side by side runs straight from the run list, unless
     * its parts may run on several threads. */
    bool anyGroup = false;
    for (int32_t e = out.firstEntry; e < *entryCount; e++) anyGroup |= plan->entries[e].count > 1;
    out.grouped = fits && (anyGroup || shared);
    if (out.grouped && shared && !PartCutter(plan, &out).Cut()) {
        out.firstPart = 0;
        out.numParts = 0;
    }
    if (!out.grouped) {
        *entryCount = out.firstEntry;
        *orderCount = firstOrder;
        out.numEntries = 0;
    }
}

void Rebuild(VexaContext *context, VexaPlan *plan) {
    /* Every part counts as taken and computed in the last phase before the parts change, so
     * that a worker still looking at that phase reads no part's record. */
    const uint32_t last = VexaB_LastPhase(context);
    for (int32_t i = 0; i < plan->numParts; i++) {
        __atomic_store_n(&plan->done[i].taken, last, __ATOMIC_RELEASE);
        __atomic_store_n(&plan->done[i].epoch, last, __ATOMIC_RELEASE);
    }
    int32_t entries = 0, orders = 0;
    plan->numParts = 0;
    plan->numPreds = 0;
    for (int32_t list = 0; list < kLists; list++) {
        if (plan->groupingOff != 0 && plan->threads <= 1) {
            plan->lists[list] = {0, 0, false, 0, 0};
            continue;
        }
        BuildList(context, plan, list, &entries, &orders);
    }
    plan->valid = true;
}

void RunEntries(VexaContext *context, const PlanEntry *entry, const PlanEntry *end) {
    for (; entry < end; entry++) {
        if (entry->group == nullptr) {
            VexaUnit *unit = entry->units[0];
            unit->unitFunc(context, unit);
        } else {
            entry->group(context, entry->units, entry->count);
        }
    }
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
    int32_t threads = vx_load(context->vxf_RenderThreads);
    if (threads < 1) threads = 1;
    const int32_t partUnits = vx_load(context->vxf_PartUnits);
    if (plan->valid && plan->planGeneration == planGeneration &&
        plan->runListGeneration == runListGeneration && plan->groupingOff == groupingOff &&
        plan->threads == threads && plan->partUnits == partUnits)
        return;
    plan->planGeneration = planGeneration;
    plan->runListGeneration = runListGeneration;
    plan->groupingOff = groupingOff;
    plan->threads = threads;
    plan->partUnits = partUnits;
    Rebuild(context, plan);
}

int32_t VexaB_TakeReadyPart(VexaContext *context, int32_t end, uint32_t epoch, int32_t *lowest) {
    VexaPlan *plan = context->vxb_Plan;
    bool untaken = false;
    for (int32_t i = *lowest; i < end; i++) {
        PartDone &flags = plan->done[i];
        uint32_t taken = __atomic_load_n(&flags.taken, __ATOMIC_ACQUIRE);
        /* Taken in this phase, or in a later one: a worker that comes late to a phase that
         * is over finds every part taken and touches nothing else. */
        if (static_cast<int32_t>(taken - epoch) >= 0) {
            if (!untaken) *lowest = i + 1; /* every part below is taken for good */
            continue;
        }
        untaken = true;
        const PlanPart &part = plan->parts[i];
        const int32_t firstPred = __atomic_load_n(&part.firstPred, __ATOMIC_RELAXED);
        const int32_t numPreds = __atomic_load_n(&part.numPreds, __ATOMIC_RELAXED);
        bool ready = firstPred >= 0 && numPreds >= 0 && numPreds <= kMaxPreds - firstPred;
        for (int32_t k = 0; k < numPreds && ready; k++) {
            const int32_t pred = __atomic_load_n(&plan->preds[firstPred + k], __ATOMIC_RELAXED);
            ready = pred >= 0 && pred < kMaxParts &&
                    __atomic_load_n(&plan->done[pred].epoch, __ATOMIC_ACQUIRE) == epoch;
        }
        if (ready && __atomic_compare_exchange_n(&flags.taken, &taken, epoch, false,
                                                 __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE))
            return i;
    }
    return untaken ? -1 : -2;
}

void VexaB_RunPlanPart(VexaContext *context, int32_t index, uint32_t epoch) {
    VexaPlan *plan = context->vxb_Plan;
    const PlanPart &part = plan->parts[index];
    for (int32_t k = 0; k < part.numPreds; k++)
        VexaB_SpinUntil(&plan->done[plan->preds[part.firstPred + k]].epoch, epoch);
    const PlanEntry *entry = &plan->entries[part.firstEntry];
    RunEntries(context, entry, entry + part.numEntries);
    __atomic_store_n(&plan->done[index].epoch, epoch, __ATOMIC_RELEASE);
}

void VexaB_RunList(VexaContext *context, int32_t list) {
    const VexaPlan *plan = context->vxb_Plan;
    if (plan == nullptr || !plan->lists[list].grouped) {
        VexaB_ExecUnitList(context, ListOf(context, list));
        return;
    }
    const PlanList &planned = plan->lists[list];
    if (planned.numParts > 0 && context->vxb_Crew != nullptr) {
        VexaB_RunPhase(context, planned.firstPart, planned.firstPart + planned.numParts);
        return;
    }
    const PlanEntry *entry = &plan->entries[planned.firstEntry];
    RunEntries(context, entry, entry + planned.numEntries);
}

int32_t VexaS_PlannedParts(const VexaContext *context) {
    const VexaPlan *plan = context->vxb_Plan;
    return plan == nullptr ? 0 : plan->numParts;
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

void VexaF_SetPartUnits(VexaContext *context, int32_t units) {
    vx_store(context->vxf_PartUnits, units < 0 ? 0 : units);
}
