/*
 * vx_frontend.cpp - the front end's half of the bridge, on the client threads: the sender of
 * entries and command nodes, which decides what to do when the FIFO is full, and the taking
 * back of the nodes and things that the audio thread returned (freed, or put back into the
 * node pools).
 */
#include <cstdint>

#include "vx_bridge.h"
#include "vx_host.h"
#include "vx_synth.h"

namespace {
int32_t VexaF_ProcessBackNode(VexaContext *context, DLLNode *node);
} // namespace

namespace {
inline uint32_t ReturnKind(const DLLNode *node) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(node->previous));
}
} // namespace

int32_t VexaS_TermBridge(VexaContext *context) {
    DLLNode *last = vx_load_acquire(context->vxs_BackToFront.tail);
    if (last == nullptr) return 0; /* the bridge was never set up */
    context->vxs_BackToFront.head = nullptr;
    context->vxs_BackToFront.tail = nullptr;
    return VexaF_ProcessBackNode(context, last);
}

namespace {
int32_t VexaF_ProcessBackNode(VexaContext *context, DLLNode *node) {
    switch (ReturnKind(node)) {
    case B2F_FREE_NODE:
        VexaF_FreeMemory(context, node);
        return 0;
    case B2F_COMMAND_NODE:
        VexaF_ReturnToPool(&context->vxf_FreeCommandNodes, node);
        return 0;
    case B2F_FREE_THING:
        return VexaF_FreeThing(context, reinterpret_cast<VexaThing *>(node));
    case B2F_QUEUE_NODE:
        VexaF_ReturnToPool(&context->vxf_FreeQueueNodes, node);
        return 0;
    case B2F_SPACER:
        __atomic_store_n(&context->vxs_SpacerInList[node == &context->vxs_Spacers[1] ? 1 : 0], 0,
                         __ATOMIC_RELEASE);
        return 0;
    default:
        return VXERR_B2F_INTERNAL;
    }
}
} // namespace

void VexaF_ReturnToPool(DLLNode *pool, DLLNode *node) {
    DLL_InitNode(node);
    DLL_InsertBefore(pool, node);
}

int32_t VexaF_ProcessCommandsFromBack(VexaContext *context) {
    int32_t backError = __atomic_exchange_n(&context->vxs_BackError, 0, __ATOMIC_ACQ_REL);
    if (backError != 0) return backError;
    if (vx_load(context->vxs_BackToFront.head) == nullptr) return 0; /* no bridge */

    /* The list has one consumer and the node pools belong to the peer lock's holder: a
     * caller that does not hold the lock drains under it. Without host services (before
     * the first initialisation or after the last termination) only one thread runs. */
    bool locked = false;
    if (context->vxf_Host != nullptr && VXHost_ForbidPeers(context) == 0) locked = true;
    int32_t result = 0;
    for (;;) {
        DLLNode *node = ASLINK_RemoveNode(&context->vxs_BackToFront);
        if (node == nullptr) break;
        result = VexaF_ProcessBackNode(context, node);
        if (result != 0) break;
    }
    if (locked) VXHost_PermitPeers(context);
    return result;
}

void VexaF_FreeFreeNodes(VexaContext *context) {
    /* The pools are set up by the first initialisation; before it they hold nothing. */
    if (context->vxf_FreeQueueNodes.next == nullptr) return;
    DLLNode *node;
    while ((node = DLL_RemoveFirst(&context->vxf_FreeQueueNodes)) != nullptr) {
        VexaF_FreeMemory(context, node);
    }
    while ((node = DLL_RemoveFirst(&context->vxf_FreeCommandNodes)) != nullptr) {
        VexaF_FreeMemory(context, node);
    }
}

/* ---- The sender ------------------------------------------------------------------------ */

int32_t VexaF_SendToBack(VexaContext *context, uint32_t kind, void *target) {
    int32_t result = VexaS_SendToBack(context, kind, target);
    if (result != VXERR_F2B_FULL) return result;
    __atomic_add_fetch(&context->vxf_FifoFullWaits, 1u, __ATOMIC_RELAXED);
    if (vx_load(context->vxf_Stream) != nullptr) {
        /* Give the audio thread a few ticks to drain the FIFO. */
        result =
            VexaF_SleepUntilTick(context, vx_load(context->vxb_TickCount) + VX_HOST_DRAIN_TICKS);
        if (result < 0) return result;
    } else {
        /* No audio thread: this thread stands in for the back end. */
        VexaB_ProcessCommandsFromFront(context);
    }
    return VexaS_SendToBack(context, kind, target);
}

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

    int32_t result = VexaF_SendToBack(context, F2B_SCHEDULE, node);
    if (result < 0) {
        /* Not sent: the node goes back to its pool and the unit loses the hold again. */
        VexaF_ReturnToPool(&context->vxf_FreeCommandNodes, &node->node);
        if (unit != nullptr) VexaF_DecrementReference(context, &unit->header);
    }
    return result;
}
