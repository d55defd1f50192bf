/*
 * evntbufr.cpp - the back end's intake and schedule: the drain of the front-to-back FIFO at
 * the start of every batch, the time-slotted event buffer of command nodes, and the execution
 * of each command (port values and tables here, data queues in vx_playqueue.cpp, unit start
 * and stop in vx_task.cpp).
 *
 * Ticks hash into 256 slots; each slot keeps its nodes sorted by time. Every batch executes
 * the slot of its own tick, so a command reaches its unit at the first frame of its tick.
 * All tick comparisons are signed differences so that the clock may wrap.
 */
#include "vx_bridge.h"
#include "vx_synth.h"

namespace {
void VexaB_SetPort(VexaContext *context, VexaUnit *unit, const PortInfo *portInfo,
                   int32_t part, float value);
void VexaB_UseTable(VexaContext *context, TablePort *port, VexaThing *table);
} // namespace

namespace {
inline int32_t TickDifference(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

inline DLLNode *SlotOf(EventBuffer *eventBuffer, int32_t time) {
    const uint32_t t = static_cast<uint32_t>(time);
    return &eventBuffer->slots[(t ^ (t >> 8)) & (EB_NUM_SLOTS - 1)];
}

inline CommandNode *AsCommand(DLLNode *node) { return reinterpret_cast<CommandNode *>(node); }
} // namespace

void VexaB_ProcessCommandsFromFront(VexaContext *context) {
    AtomicFIFO *fifo = &context->vxs_FrontToBack;
    FrontToBackEntry *entry;
    while ((entry = static_cast<FrontToBackEntry *>(AFIFO_NextReadable(fifo))) != nullptr) {
        switch (entry->kind) {
        case F2B_SCHEDULE: {
            CommandNode *node = static_cast<CommandNode *>(entry->target);
            EB_ScheduleNode(&context->vxb_EventBuffer, node->time, node);
            break;
        }
        case F2B_UNREFERENCE:
            VXLL_UnReference(context, static_cast<VexaThing *>(entry->target));
            break;
        case F2B_DEBUG:
            VexaB_Debug(context);
            break;
        default:
            vx_store(context->vxs_BackError, static_cast<int32_t>(VXERR_F2B_INTERNAL));
            break;
        }
        AFIFO_AdvanceReader(fifo);
    }
}

int32_t EB_Init(EventBuffer *eventBuffer, int32_t startTime, VexaContext *context) {
    eventBuffer->nextTime = startTime;
    for (DLLNode &slot : eventBuffer->slots) DLL_InitList(&slot);
    eventBuffer->context = context;
    return 0;
}

namespace {
void EB_InsertByTime(DLLNode *slot, CommandNode *node) {
    /* Walk back from the tail past every node that is later; equal times keep their order
     * of arrival. */
    DLLNode *place = slot->previous;
    while (place != slot && TickDifference(AsCommand(place)->time, node->time) > 0)
        place = place->previous;
    DLL_InsertAfter(place, &node->node);
}
} // namespace

void EB_ScheduleNode(EventBuffer *eventBuffer, int32_t time, CommandNode *node) {
    if (TickDifference(eventBuffer->nextTime, time) > 0) time = eventBuffer->nextTime; /* late */
    node->time = time;
    EB_InsertByTime(SlotOf(eventBuffer, time), node);
}

namespace {
int32_t EB_ProcessNode(VexaContext *context, CommandNode *node) {
    VexaUnit *unit = reinterpret_cast<VexaUnit *>(node->thing);
    switch (node->opcode) {
    case CMD_SET_PORT:
        VexaB_SetPort(context, unit, static_cast<const PortInfo *>(node->portTarget), node->part,
                      node->value);
        break;
    case CMD_START_UNIT:
        VexaB_StartUnit(context, unit);
        /* After the unit's lists and state are final (release): a client that sees no start
         * in flight sees where the unit is. */
        __atomic_sub_fetch(&unit->startsInFlight, 1, __ATOMIC_RELEASE);
        break;
    case CMD_STOP_UNIT:
        VexaB_StopUnit(context, unit);
        break;
    case CMD_CLEAR_QUEUE:
        VexaB_ClearQueue(context, static_cast<QueuePort *>(node->portTarget));
        break;
    case CMD_QUEUE_DATA:
        VexaB_QueueData(context, static_cast<QueuePort *>(node->portTarget),
                        static_cast<QueueNode *>(node->payload));
        break;
    case CMD_USE_TABLE:
        VexaB_UseTable(context, static_cast<TablePort *>(node->portTarget),
                       static_cast<VexaThing *>(node->payload));
        break;
    default:
        break;
    }
    /* The node held its unit alive until now; this may be a deleted unit's last hold. */
    if (node->thing != nullptr) VXLL_UnReference(context, node->thing);
    VexaS_SendToFront(context, &node->node, B2F_COMMAND_NODE);
    return 0;
}

int32_t EB_FreeNode(VexaContext *context, CommandNode *node) {
    return EB_ProcessNode(context, node);
}

void EB_ExecuteNextSlot(EventBuffer *eventBuffer) {
    const int32_t now = eventBuffer->nextTime;
    DLLNode *slot = SlotOf(eventBuffer, now);
    /* Nodes of later ticks that hash to the same slot stay where they are. */
    while (!DLL_IsEmpty(slot) && AsCommand(slot->next)->time == now) {
        CommandNode *node = AsCommand(DLL_RemoveFirst(slot));
        EB_ProcessNode(eventBuffer->context, node);
    }
    eventBuffer->nextTime = static_cast<int32_t>(static_cast<uint32_t>(now) + 1u);
}
} // namespace

void EB_ExecuteNodes(EventBuffer *eventBuffer, int32_t time) {
    while (TickDifference(time, eventBuffer->nextTime) >= 0) EB_ExecuteNextSlot(eventBuffer);
}

namespace {
void EB_Clear(EventBuffer *eventBuffer) {
    for (DLLNode &slot : eventBuffer->slots) {
        if (slot.next == nullptr) continue; /* never initialised */
        DLLNode *node;
        while ((node = DLL_RemoveFirst(&slot)) != nullptr)
            EB_FreeNode(eventBuffer->context, AsCommand(node));
    }
}
} // namespace

void EB_Term(EventBuffer *eventBuffer) { EB_Clear(eventBuffer); }

namespace {
/* ---- Port values and tables --------------------------------------------------------- */

void VexaB_SetPort(VexaContext *context, VexaUnit *unit, const PortInfo *portInfo, int32_t part,
                   float value) {
    float native = 0.0f;
    if (portInfo->portKind & PORT_INPUT) {
        InputPort *input = VexaS_GetInput(unit, portInfo, part);
        if (VexaS_ConvertSignalToNative(context, vx_load(input->signalType), unit->rate, value,
                                        &native) < 0)
            return;
        for (float &v : input->values) vx_store_float(v, native);
    } else if (portInfo->portKind & PORT_VARIABLE) {
        VariablePort *variable = VexaS_GetVariable(unit, portInfo, part);
        if (VexaS_ConvertSignalToNative(context, vx_load(variable->signalType), unit->rate,
                                        value, &native) < 0)
            return;
        vx_store_float(variable->value, native);
    }
}

void VexaB_UseTable(VexaContext *context, TablePort *port, VexaThing *table) {
    VexaThing *old = port->table;
    port->table = table;
    if (table != nullptr) {
        const VexaDataThing *data = reinterpret_cast<const VexaDataThing *>(table);
        port->halfRange =
            static_cast<float>((static_cast<double>(data->vxt_NumFrames) - 1.0) * 0.5);
    }
    if (old != nullptr) VXLL_UnReference(context, old);
}
} // namespace
