/*
 * vx_bridge.cpp - the bridge's transport between the client threads (front end) and the audio
 * thread (back end). Requests go to the back end through the front-to-back FIFO; nodes and
 * things the back end is done with come back through the back-to-front list, with their
 * return kind in their second word. The transport only moves entries and nodes and says when
 * the FIFO is full: it calls nothing but the containers. The sender, which decides whether to
 * wait, and the front end's taking back are in vx_frontend.cpp; the back end's drain of the
 * FIFO is in synth/evntbufr.cpp.
 */
#include <cstdint>

#include "vx_bridge.h"

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

int32_t VexaS_SendToBack(VexaContext *context, uint32_t kind, void *target) {
    AtomicFIFO *fifo = &context->vxs_FrontToBack;
    FrontToBackEntry *entry = static_cast<FrontToBackEntry *>(AFIFO_NextWritable(fifo));
    if (entry == nullptr) return VXERR_F2B_FULL;
    entry->kind = kind;
    entry->target = target;
    return AFIFO_AdvanceWriter(fifo);
}

void VexaS_SendToFront(VexaContext *context, DLLNode *node, uint32_t kind) {
    node->previous = reinterpret_cast<DLLNode *>(static_cast<uintptr_t>(kind));
    ASLINK_AddNode(&context->vxs_BackToFront, node);
    context->vxb_LastSentThing = kind == B2F_FREE_THING ? 1 : 0;
}
