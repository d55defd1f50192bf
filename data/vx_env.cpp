/*
 * vx_env.cpp - envelopes: stored breakpoint curves of (duration, value) frames that the
 * linear envelope unit plays from its data queue.
 *
 * Frames are copied unchanged. The audio thread reads a frame's two doubles when the unit
 * steps onto it, so the engine's side of every copy moves whole 8-byte words.
 */
#include <climits>
#include <cstring>

#include "vx_data.h"

namespace {

/* The frame memory is an array of 64-bit words (two per frame). */
void CopyIntoFrames(uint64_t *words, const uint8_t *buffer, uint64_t count) {
    for (uint64_t k = 0; k < count; k++) {
        uint64_t word;
        std::memcpy(&word, buffer + k * sizeof(uint64_t), sizeof(uint64_t));
        vx_store(words[k], word);
    }
}

void CopyOutOfFrames(uint8_t *buffer, const uint64_t *words, uint64_t count) {
    for (uint64_t k = 0; k < count; k++) {
        uint64_t word = vx_load(words[k]);
        std::memcpy(buffer + k * sizeof(uint64_t), &word, sizeof(uint64_t));
    }
}

/* The body of Vexa_ReadWriteEnvelope, under the peer lock. */
int32_t CopyFrames(VexaContext *context, int32_t envelopeToken, uint32_t startFrame,
                        uint32_t numFrames, void *buffer, uint32_t maxBytes, int32_t write) {
    VexaThing *thing = nullptr;
    int32_t result = VexaF_ValidateThing(context, envelopeToken, VXT_ENVELOPE, &thing);
    if (result < 0) return result;
    VexaDataThing *envelope = reinterpret_cast<VexaDataThing *>(thing);

    const uint64_t total = envelope->vxt_NumFrames;
    const uint64_t bytes = static_cast<uint64_t>(numFrames) * sizeof(EnvelopeFrame);
    if (startFrame > total || numFrames > total ||
        static_cast<uint64_t>(startFrame) + numFrames > total || bytes > maxBytes) {
        return VXERR_OUT_OF_RANGE;
    }
    if (bytes == 0) return 0;
    if (buffer == nullptr) return VXERR_OUT_OF_RANGE;

    uint64_t *words = static_cast<uint64_t *>(envelope->vxt_Data) +
                      static_cast<uint64_t>(startFrame) * 2;
    const uint64_t count = bytes / sizeof(uint64_t);
    if (write != 0) {
        CopyIntoFrames(words, static_cast<const uint8_t *>(buffer), count);
    } else {
        CopyOutOfFrames(static_cast<uint8_t *>(buffer), words, count);
    }
    return 0;
}

/* Room in bytes left in an array of `length` doubles after `offset` frames (two doubles
 * each), or -1 when the offset lies beyond the array. */
int64_t RoomAfterFrameOffset(uint32_t offset, uint32_t length) {
    const uint64_t skipped = static_cast<uint64_t>(offset) * 2;
    if (skipped > length) return -1;
    uint64_t room = (length - skipped) * sizeof(double);
    return room > UINT32_MAX ? UINT32_MAX : static_cast<int64_t>(room);
}

} // namespace

int32_t Vexa_CreateEnvelope(VexaContext *context, uint32_t numFrames) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    VexaCall call(context, VX_CALL_DRAIN);
    if (call.status() < 0) return call.status();
    int32_t result = 0;
    if (numFrames == 0) return VXERR_OUT_OF_RANGE;
    /* Every copy of the envelope must have a byte count that fits a signed 32-bit count. */
    const uint64_t bytes = static_cast<uint64_t>(numFrames) * sizeof(EnvelopeFrame);
    if (bytes > INT32_MAX) return VXERR_OUT_OF_RANGE;

    void *data =
        VexaF_AllocateMemory(context, static_cast<size_t>(bytes), "Vexa_CreateEnvelope");
    if (data == nullptr) return VXERR_NO_MEMORY;

    result = call.Lock();
    if (result < 0) {
        VexaF_FreeMemory(context, data);
        return result;
    }
    const int32_t token = VexaF_CreateThing(context, sizeof(VexaDataThing), VXT_ENVELOPE);
    if (token < 0) {
        call.Unlock();
        VexaF_FreeMemory(context, data);
        return token;
    }
    VexaDataThing *envelope =
        reinterpret_cast<VexaDataThing *>(VexaF_ThingFromToken(context, token));
    envelope->vxt_NumFrames = numFrames;
    envelope->vxt_Data = data;
    return token;
}

int32_t Vexa_ReadWriteEnvelope(VexaContext *context, int32_t envelopeToken, uint32_t startFrame,
                               uint32_t numFrames, void *buffer, uint32_t maxBytes,
                               int32_t write) {
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    context = call.context();
    int32_t result = 0;
    result = CopyFrames(context, envelopeToken, startFrame, numFrames, buffer, maxBytes,
                             write);
    return result;
}

int32_t Vexa_WriteEnvelope(VexaContext *context, int32_t envelopeToken, uint32_t startFrame,
                           const double *frames, uint32_t numFrames) {
    return Vexa_ReadWriteEnvelope(context, envelopeToken, startFrame, numFrames,
                                  const_cast<double *>(frames), 0x7FFFFFFF, 1);
}

int32_t Vexa_ReadEnvelope(VexaContext *context, int32_t envelopeToken, uint32_t startFrame,
                          double *frames, uint32_t numFrames) {
    return Vexa_ReadWriteEnvelope(context, envelopeToken, startFrame, numFrames, frames,
                                  0x7FFFFFFF, 0);
}

int32_t Vexa_WriteEnvelopeJava(VexaContext *context, int32_t envelopeToken,
                               uint32_t startFrame, uint32_t numFrames, const double *base,
                               uint32_t offset, uint32_t length) {
    if (VexaF_ValidateContext(context) == nullptr) return VXERR_INVALID_CONTEXT;
    const int64_t room = RoomAfterFrameOffset(offset, length);
    if (room < 0) return VXERR_OUT_OF_RANGE;
    double *buffer =
        base == nullptr ? nullptr : const_cast<double *>(base) + static_cast<uint64_t>(offset) * 2;
    return Vexa_ReadWriteEnvelope(context, envelopeToken, startFrame, numFrames, buffer,
                                  static_cast<uint32_t>(room), 1);
}

int32_t Vexa_ReadEnvelopeJava(VexaContext *context, int32_t envelopeToken, uint32_t startFrame,
                              uint32_t numFrames, double *base, uint32_t offset,
                              uint32_t length) {
    if (VexaF_ValidateContext(context) == nullptr) return VXERR_INVALID_CONTEXT;
    const int64_t room = RoomAfterFrameOffset(offset, length);
    if (room < 0) return VXERR_OUT_OF_RANGE;
    double *buffer = base == nullptr ? nullptr : base + static_cast<uint64_t>(offset) * 2;
    return Vexa_ReadWriteEnvelope(context, envelopeToken, startFrame, numFrames, buffer,
                                  static_cast<uint32_t>(room), 0);
}
