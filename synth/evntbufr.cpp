/*
 * evntbufr.cpp - the time-slotted schedule of command nodes on the back end, and the
 * front-end sender that fills and sends a command node.
 *
 * Ticks hash into 256 slots; each slot keeps its nodes sorted by time. Every batch executes
 * the slot of its own tick, so a command reaches its unit at the first frame of its tick.
 * All tick comparisons are signed differences so that the clock may wrap.
 */
#include "vx_engine.h"

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

int32_t VexaF_SendCommand(VexaContext *context, int8_t opcode, int32_t time, VexaUnit *unit,
                          void *portTarget, uint16_t part, float value, void *payload) {
    CommandNode *node = static_cast<CommandNode *>(VexaF_AllocateQueuedNode(
        context, &context->vxf_FreeCommandNodes, sizeof(CommandNode)));
    if (node == nullptr) return VXERR_NO_MEMORY;
    node->time = time;
    node->part = part;
    node->opcode = opcode;
    node->value = value;
    node->thing = unit != nullptr ? &unit->header : nullptr;
    node->payload = payload;
    node->portTarget = portTarget;
    if (unit != nullptr) VexaF_AddReference(&unit->header);

    int32_t result = VexaS_SendToBack(context, F2B_SCHEDULE, node);
    if (result < 0) {
        /* Not sent: the node goes back to its pool and the unit loses the hold again. */
        DLL_InitNode(&node->node);
        DLL_InsertBefore(&context->vxf_FreeCommandNodes, &node->node);
        if (unit != nullptr) VexaF_DecrementReference(context, &unit->header);
    }
    return result;
}

int32_t EB_Init(EventBuffer *eventBuffer, int32_t startTime, VexaContext *context) {
    eventBuffer->nextTime = startTime;
    for (DLLNode &slot : eventBuffer->slots) DLL_InitList(&slot);
    eventBuffer->context = context;
    return 0;
}

void EB_InsertByTime(DLLNode *slot, CommandNode *node) {
    /* Walk back from the tail past every node that is later; equal times keep their order
     * of arrival. */
    DLLNode *place = slot->previous;
    while (place != slot && TickDifference(AsCommand(place)->time, node->time) > 0)
        place = place->previous;
    DLL_InsertAfter(place, &node->node);
}

void EB_ScheduleNode(EventBuffer *eventBuffer, int32_t time, CommandNode *node) {
    if (TickDifference(eventBuffer->nextTime, time) > 0) time = eventBuffer->nextTime; /* late */
    node->time = time;
    EB_InsertByTime(SlotOf(eventBuffer, time), node);
}

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

void EB_ExecuteNodes(EventBuffer *eventBuffer, int32_t time) {
    while (TickDifference(time, eventBuffer->nextTime) >= 0) EB_ExecuteNextSlot(eventBuffer);
}

void EB_Clear(EventBuffer *eventBuffer) {
    for (DLLNode &slot : eventBuffer->slots) {
        if (slot.next == nullptr) continue; /* never initialised */
        DLLNode *node;
        while ((node = DLL_RemoveFirst(&slot)) != nullptr)
            EB_FreeNode(eventBuffer->context, AsCommand(node));
    }
}

void EB_Term(EventBuffer *eventBuffer) { EB_Clear(eventBuffer); }
