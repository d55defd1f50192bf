/*
 * vx_bridge.h - the bridge between the client threads and the audio thread: the transport
 * (engine/vx_bridge.cpp: the front-to-back FIFO and the back-to-front list, which only move
 * entries and nodes), the front end's half (engine/vx_frontend.cpp: taking back what the audio
 * thread returned, the node pools, and the sender, which fills a command node and decides what
 * to do when the FIFO is full). The back end's half, the drain of the FIFO, is in vx_synth.h.
 */
#ifndef VX_BRIDGE_H
#define VX_BRIDGE_H

#include "vx_things.h"

/* ---- Transport --------------------------------------------------------------------- */
int32_t VexaS_InitBridge(VexaContext *context);
/* One entry into the FIFO; VXERR_F2B_FULL, without waiting, when it is full. */
int32_t VexaS_SendToBack(VexaContext *context, uint32_t kind, void *target);
/* One node onto the back-to-front list with its return kind (the back end's side). */
void VexaS_SendToFront(VexaContext *context, DLLNode *node, uint32_t kind);

/* ---- The front end's half ------------------------------------------------------------ */
/* Frees the bridge's last node at termination (after everything else came back). */
int32_t VexaS_TermBridge(VexaContext *context);
int32_t VexaF_ProcessCommandsFromBack(VexaContext *context);
void VexaF_FreeFreeNodes(VexaContext *context);
/* Puts a command or queue node back into its pool (a node of the front end's). */
void VexaF_ReturnToPool(DLLNode *pool, DLLNode *node);

/* ---- The sender ------------------------------------------------------------------------ */
/* Sends one entry; when the FIFO is full it gives a running stream VX_HOST_DRAIN_TICKS ticks
 * to drain it, or, with no audio thread, drains it on this thread, then tries once more. */
int32_t VexaF_SendToBack(VexaContext *context, uint32_t kind, void *target);
/* Takes a command node from the pool, fills it, adds the unit reference and sends it; on a
 * failed send the node goes back to its pool and the reference is dropped. The caller holds
 * the peer lock. */
int32_t VexaF_SendCommand(VexaContext *context, int8_t opcode, int32_t time, VexaUnit *unit,
                          void *portTarget, uint16_t part, float value, void *payload);

#endif /* VX_BRIDGE_H */
