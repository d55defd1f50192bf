/*
 * vx_queue.cpp - the queue calls: regions of samples and envelopes queued onto the queue ports
 * of player and recorder units, and queues cleared, now or at a tick.
 *
 * The client calls only build timed commands. Everything that touches a QueuePort's playing
 * state runs on the audio thread (synth/vx_playqueue.cpp). Queue nodes come from the front
 * end's pool, travel inside a command, wait in the port's pending list and go back to the
 * pool through the bridge; the back end never allocates or frees one.
 */
#include <cstring>

#include "vx_data.h"

namespace {

/* Looks the data token up as a sample, then as an envelope; the envelope lookup's error is
 * the one reported when both fail. */
int32_t FindQueueData(VexaContext *context, int32_t dataToken, VexaDataThing **outData) {
    VexaThing *thing = nullptr;
    *outData = nullptr;
    int32_t result = VexaF_ValidateThing(context, dataToken, VXT_SAMPLE, &thing);
    if (result < 0) {
        result = VexaF_ValidateThing(context, dataToken, VXT_ENVELOPE, &thing);
        if (result < 0) return result;
    }
    *outData = reinterpret_cast<VexaDataThing *>(thing);
    return 0;
}

/* The body of Vexa_QueueDataAt, under the peer lock. */
int32_t QueueRegion(VexaContext *context, int32_t time, int32_t unitToken, uint32_t portID,
                        int32_t dataToken, uint32_t startFrame, uint32_t numFrames,
                        uint32_t flags) {
    VexaUnit *unit = nullptr;
    const PortInfo *portInfo = nullptr;
    int32_t result =
        VexaF_FindHashedPortInfo(context, unitToken, portID, PORT_QUEUE, &unit, &portInfo);
    if (result < 0) return result;
    QueuePort *port = VexaS_GetQueue(unit, portInfo);

    VexaDataThing *data = nullptr;
    result = FindQueueData(context, dataToken, &data);
    if (result < 0) return result;

    /* A unit steps through a region by its own frame size; it only plays the kind of data
     * it was built for, so that it never runs past the end of a region. */
    if (portInfo->queueData != data->header.vxt_Type) return VXERR_INVALID_DATA_TYPE;

    uint64_t frameSize;
    if (data->header.vxt_Type == VXT_SAMPLE) {
        if (data->vxt_ChannelsPerFrame != port->channelsPerFrame) return VXERR_CHANNELS_MISMATCH;
        frameSize = static_cast<uint64_t>(data->vxt_BytesPerSample) * data->vxt_ChannelsPerFrame;
    } else {
        frameSize = sizeof(EnvelopeFrame);
    }

    const uint64_t total = data->vxt_NumFrames;
    if (startFrame >= total || numFrames > total || numFrames == 0 ||
        static_cast<uint64_t>(startFrame) + numFrames > total) {
        return VXERR_OUT_OF_RANGE;
    }

    QueueNode *node = static_cast<QueueNode *>(
        VexaF_AllocateQueuedNode(context, &context->vxf_FreeQueueNodes, sizeof(QueueNode)));
    if (node == nullptr) return VXERR_NO_MEMORY;
    node->flags = flags;
    node->dataThing = &data->header;
    node->firstFrame = static_cast<uint8_t *>(data->vxt_Data) + startFrame * frameSize;
    node->numFrames = numFrames;
    VexaF_AddReference(&data->header);

    /* The command takes its own reference on the unit; when it cannot be sent, the command
     * node and that reference are given back by VexaF_SendCommand, and the queue node and
     * the data reference are given back here. */
    result = VexaF_SendCommand(context, CMD_QUEUE_DATA, time, unit, port, 0, 0.0f, node);
    if (result < 0) {
        VexaF_DecrementReference(context, &data->header);
        VexaF_ReturnToPool(&context->vxf_FreeQueueNodes, &node->node); /* never sent */
    }
    return result;
}

/* The body of Vexa_ClearDataQueueAt, under the peer lock. */
int32_t ClearQueue(VexaContext *context, int32_t time, int32_t unitToken,
                         uint32_t portID) {
    VexaUnit *unit = nullptr;
    const PortInfo *portInfo = nullptr;
    int32_t result =
        VexaF_FindHashedPortInfo(context, unitToken, portID, PORT_QUEUE, &unit, &portInfo);
    if (result < 0) return result;
    QueuePort *port = VexaS_GetQueue(unit, portInfo);
    return VexaF_SendCommand(context, CMD_CLEAR_QUEUE, time, unit, port, 0, 0.0f, nullptr);
}

} // namespace

/* ---- Client calls ------------------------------------------------------------------ */

int32_t Vexa_QueueDataAt(VexaContext *context, int32_t time, int32_t unitToken, uint32_t portID,
                         int32_t dataToken, uint32_t startFrame, uint32_t numFrames,
                         uint32_t flags) {
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    context = call.context();
    int32_t result = 0;
    result = QueueRegion(context, time, unitToken, portID, dataToken, startFrame, numFrames,
                             flags);
    return result;
}

int32_t Vexa_QueueData(VexaContext *context, int32_t unitToken, uint32_t portID,
                       int32_t dataToken, uint32_t startFrame, uint32_t numFrames,
                       uint32_t flags) {
    VexaContext *valid = VexaF_ValidateContext(context);
    if (valid == nullptr) return VXERR_INVALID_CONTEXT;
    return Vexa_QueueDataAt(valid, vx_load(valid->vxb_TickCount), unitToken, portID, dataToken,
                            startFrame, numFrames, flags);
}

int32_t Vexa_ClearDataQueueAt(VexaContext *context, int32_t time, int32_t unitToken,
                              uint32_t portID) {
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    context = call.context();
    int32_t result = 0;
    result = ClearQueue(context, time, unitToken, portID);
    return result;
}

int32_t Vexa_ClearDataQueue(VexaContext *context, int32_t unitToken, uint32_t portID) {
    VexaContext *valid = VexaF_ValidateContext(context);
    if (valid == nullptr) return VXERR_INVALID_CONTEXT;
    return Vexa_ClearDataQueueAt(valid, vx_load(valid->vxb_TickCount), unitToken, portID);
}
