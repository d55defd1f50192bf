/*
 * vx_playqueue.cpp - the data queues on the back end: the execution of CMD_QUEUE_DATA and
 * CMD_CLEAR_QUEUE, and the per-frame stepping through the queued regions that the player and
 * recorder units call. Queue nodes that the back end is done with go back to the front end's
 * pool through the bridge.
 */
#include "vx_bridge.h"
#include "vx_synth.h"

namespace {
int32_t VXLL_NextChannelNode(VexaContext *context, QueuePort *port);
} // namespace

namespace {
/* Releases the port's hold on the object of the region it plays (back end). */
void DropPlayingData(VexaContext *context, QueuePort *port) {
    if (port->dataThing != nullptr) {
        VXLL_UnReference(context, port->dataThing);
        port->dataThing = nullptr;
    }
}
} // namespace

/* ---- Command execution (back end) --------------------------------------------------- */

void VexaB_QueueData(VexaContext *context, QueuePort *port, QueueNode *node) {
    /* A replaceable region that is still waiting last in line gives way to the new one. */
    if (!DLL_IsEmpty(&port->pending)) {
        QueueNode *last = reinterpret_cast<QueueNode *>(port->pending.previous);
        if ((last->flags & VEXA_QUEUE_REPLACEABLE) != 0) {
            DLL_Remove(&last->node);
            if (last->dataThing != nullptr) VXLL_UnReference(context, last->dataThing);
            VexaS_SendToFront(context, &last->node, B2F_QUEUE_NODE);
        }
    }
    DLL_InsertBefore(&port->pending, &node->node);
}

void VexaB_ClearQueue(VexaContext *context, QueuePort *port) {
    DLLNode *removed;
    while ((removed = DLL_RemoveFirst(&port->pending)) != nullptr) {
        QueueNode *node = reinterpret_cast<QueueNode *>(removed);
        if (node->dataThing != nullptr) VXLL_UnReference(context, node->dataThing);
        VexaS_SendToFront(context, &node->node, B2F_QUEUE_NODE);
    }
    port->flags = 0;
    port->framesLeft = 0;
    port->currentFrame = nullptr;
    DropPlayingData(context, port);
}

/* ---- Stepping (back end, called by the units) ---------------------------------------- */

int32_t VXLL_NextChannelFrame(VexaContext *context, QueuePort *port, uint32_t frameBytes) {
    if (port->framesLeft > 0) {
        port->framesLeft--;
        port->currentFrame += frameBytes;
        vx_store(port->frameCount, port->frameCount + 1);
        return static_cast<int32_t>(port->framesLeft);
    }
    return VXLL_NextChannelNode(context, port);
}

namespace {
int32_t VXLL_NextChannelNode(VexaContext *context, QueuePort *port) {
    /* Holding: report the end of a stop-at-end region once; the last frame stays current. */
    if ((port->flags & VEXA_QUEUE_AUTO_STOP) != 0) {
        port->flags = static_cast<uint16_t>(port->flags & ~VEXA_QUEUE_AUTO_STOP);
        return -1;
    }
    /* The next pending region. */
    DLLNode *first = DLL_RemoveFirst(&port->pending);
    if (first != nullptr) {
        QueueNode *node = reinterpret_cast<QueueNode *>(first);
        port->regionStart = node->firstFrame;
        port->currentFrame = node->firstFrame;
        port->regionFrames = node->numFrames;
        port->framesLeft = node->numFrames - 1;
        port->flags = static_cast<uint16_t>(node->flags & 0xFFFF);
        DropPlayingData(context, port);
        port->dataThing = node->dataThing; /* the node's reference passes to the port */
        VexaS_SendToFront(context, &node->node, B2F_QUEUE_NODE);
        return static_cast<int32_t>(port->regionFrames);
    }
    /* Another pass through a looping region. */
    if ((port->flags & VEXA_QUEUE_LOOP) != 0) {
        port->currentFrame = port->regionStart;
        port->framesLeft = port->regionFrames - 1;
        return static_cast<int32_t>(port->regionFrames);
    }
    /* Nothing left to play. */
    port->currentFrame = nullptr;
    port->regionFrames = 0;
    port->framesLeft = 0;
    DropPlayingData(context, port);
    return 0;
}
} // namespace
