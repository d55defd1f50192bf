/*
 * vx_bridge.cpp - the bridge between the client threads (front end) and the audio thread
 * (back end), and setup and teardown of the back-end records.
 *
 * Requests go to the back end through the front-to-back FIFO; nodes and things the back end
 * is done with come back through the back-to-front list, with their return kind in their
 * second word. The back end never allocates, frees or waits.
 */
#include <pthread.h>

#include <cstdint>

#include "vx_engine.h"

namespace {
inline uint32_t ReturnKind(const DLLNode *node) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(node->previous));
}

void ReturnToPool(DLLNode *pool, DLLNode *node) {
    DLL_InitNode(node);
    DLL_InsertBefore(pool, node);
}
} // namespace

int32_t VexaS_InitBridge(VexaContext *context) {
    DLLNode *sentinel =
        static_cast<DLLNode *>(VexaF_AllocateMemory(context, sizeof(DLLNode), "VexaS_InitBridge"));
    if (sentinel == nullptr) return VXERR_NO_MEMORY;
    sentinel->next = nullptr;
    sentinel->previous = reinterpret_cast<DLLNode *>(static_cast<uintptr_t>(B2F_FREE_NODE));
    ASLINK_Init(&context->vxs_BackToFront, sentinel);
    vx_store(context->vxs_BackError, 0);
    for (int32_t &inList : context->vxs_SpacerInList) inList = 0;
    context->vxb_LastSentThing = 0;
    int32_t result = AFIFO_Init(&context->vxs_FrontToBack, VX_F2B_ENTRIES,
                                sizeof(FrontToBackEntry), context->vxs_FrontToBackEntries);
    if (result < 0) {
        VexaF_FreeMemory(context, sentinel);
        return result;
    }
    return 0;
}

int32_t VexaS_TermBridge(VexaContext *context) {
    DLLNode *last = vx_load_acquire(context->vxs_BackToFront.tail);
    if (last == nullptr) return 0; /* the bridge was never set up */
    context->vxs_BackToFront.head = nullptr;
    context->vxs_BackToFront.tail = nullptr;
    return VexaF_ProcessBackNode(context, last);
}

int32_t VexaS_SendToBack(VexaContext *context, uint32_t kind, void *target) {
    AtomicFIFO *fifo = &context->vxs_FrontToBack;
    FrontToBackEntry *entry = static_cast<FrontToBackEntry *>(AFIFO_NextWritable(fifo));
    if (entry == nullptr) {
        if (vx_load(context->vxf_Stream) != nullptr) {
#ifdef _WIN32
            /* Windows build: give the audio thread one tick to drain the FIFO. */
            constexpr int32_t kDrainTicks = 1;
#else
            /* Give the audio thread two ticks to drain the FIFO. */
            constexpr int32_t kDrainTicks = 2;
#endif
            int32_t result =
                VexaF_SleepUntilTick(context, vx_load(context->vxb_TickCount) + kDrainTicks);
            if (result < 0) return result;
        } else {
            /* No audio thread: this thread stands in for the back end. */
            VexaB_ProcessCommandsFromFront(context);
        }
        entry = static_cast<FrontToBackEntry *>(AFIFO_NextWritable(fifo));
        if (entry == nullptr) return VXERR_F2B_FULL;
    }
    entry->kind = kind;
    entry->target = target;
    return AFIFO_AdvanceWriter(fifo);
}

void VexaS_SendToFront(VexaContext *context, DLLNode *node, uint32_t kind) {
    node->previous = reinterpret_cast<DLLNode *>(static_cast<uintptr_t>(kind));
    ASLINK_AddNode(&context->vxs_BackToFront, node);
    context->vxb_LastSentThing = kind == B2F_FREE_THING ? 1 : 0;
}

int32_t VexaF_ProcessBackNode(VexaContext *context, DLLNode *node) {
    switch (ReturnKind(node)) {
    case B2F_FREE_NODE:
        VexaF_FreeMemory(context, node);
        return 0;
    case B2F_COMMAND_NODE:
        ReturnToPool(&context->vxf_FreeCommandNodes, node);
        return 0;
    case B2F_FREE_THING:
        return VexaF_FreeThing(context, reinterpret_cast<VexaThing *>(node));
    case B2F_QUEUE_NODE:
        ReturnToPool(&context->vxf_FreeQueueNodes, node);
        return 0;
    case B2F_SPACER:
        __atomic_store_n(&context->vxs_SpacerInList[node == &context->vxs_Spacers[1] ? 1 : 0], 0,
                         __ATOMIC_RELEASE);
        return 0;
    default:
        return VXERR_B2F_INTERNAL;
    }
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

int32_t VexaS_Init(VexaContext *context) {
    for (DLLNode &list : context->vxb_ControlLists) DLL_InitList(&list);
    for (DLLNode &list : context->vxb_AudioLists) DLL_InitList(&list);
    DLL_InitList(&context->vxb_ControlToAudioList);
    DLL_InitList(&context->vxb_AudioToControlList);
    int32_t result = VX_SawBL_Init(context, &context->vxb_SawTables);
    if (result < 0) return result;
    result = EB_Init(&context->vxb_EventBuffer, vx_load(context->vxb_TickCount), context);
    if (result < 0) {
        VX_SawBL_Term(context, &context->vxb_SawTables);
        return result;
    }
    return 0;
}

int32_t VexaS_Term(VexaContext *context) {
    VexaB_ProcessCommandsFromFront(context);
    EB_Term(&context->vxb_EventBuffer);
    VX_SawBL_Term(context, &context->vxb_SawTables);
    return 0;
}
