/*
 * vx_samps.cpp - samples: blocks of 16-bit frames, mono or stereo, that the sample readers
 * play and the sample writers record into.
 *
 * The client copies frames in and out under the peer lock while the audio thread may read or
 * write the same memory; every 16-bit value is therefore moved whole, as one atomic word, on
 * the engine's side of the copy.
 */
#include <climits>
#include <cstring>

#include "vx_data.h"

namespace {

constexpr uint32_t kBytesPerSample = 2;

/* Copies `count` 16-bit values between the caller's buffer (any alignment) and the sample's
 * frame memory, one whole value at a time. */
void CopyIntoFrames(int16_t *frames, const uint8_t *buffer, uint64_t count) {
    for (uint64_t k = 0; k < count; k++) {
        int16_t value;
        std::memcpy(&value, buffer + k * sizeof(int16_t), sizeof(int16_t));
        vx_store(frames[k], value);
    }
}

void CopyOutOfFrames(uint8_t *buffer, const int16_t *frames, uint64_t count) {
    for (uint64_t k = 0; k < count; k++) {
        int16_t value = vx_load(frames[k]);
        std::memcpy(buffer + k * sizeof(int16_t), &value, sizeof(int16_t));
    }
}

uint64_t FramesToBytes64(const VexaDataThing *sample, uint64_t numFrames) {
    return static_cast<uint64_t>(sample->vxt_BytesPerSample) * sample->vxt_ChannelsPerFrame *
           numFrames;
}

/* The body of VexaF_ReadWriteSample, under the peer lock. */
int32_t CopyFrames(VexaContext *context, int32_t sampleToken, uint32_t startFrame,
                        uint32_t numFrames, void *buffer, uint32_t maxBytes, int32_t dataType,
                        int32_t write) {
    VexaThing *thing = nullptr;
    int32_t result = VexaF_ValidateThing(context, sampleToken, VXT_SAMPLE, &thing);
    if (result < 0) return result;
    VexaDataThing *sample = reinterpret_cast<VexaDataThing *>(thing);

    const uint64_t total = sample->vxt_NumFrames;
    if (startFrame > total || numFrames > total ||
        static_cast<uint64_t>(startFrame) + numFrames > total) {
        return VXERR_OUT_OF_RANGE;
    }
    const uint64_t bytes = FramesToBytes64(sample, numFrames);
    if (bytes > maxBytes) return VXERR_OUT_OF_RANGE;
    if (dataType != 0) {
        return (dataType >= 1 && dataType <= 3) ? VXERR_NOT_SUPPORTED : VXERR_INVALID_DATA_TYPE;
    }
    if (bytes == 0) return 0;
    if (buffer == nullptr) return VXERR_OUT_OF_RANGE;

    int16_t *frames = reinterpret_cast<int16_t *>(static_cast<uint8_t *>(sample->vxt_Data) +
                                                  FramesToBytes64(sample, startFrame));
    const uint64_t count = bytes / sizeof(int16_t);
    if (write != 0) {
        CopyIntoFrames(frames, static_cast<const uint8_t *>(buffer), count);
    } else {
        CopyOutOfFrames(static_cast<uint8_t *>(buffer), frames, count);
    }
    return 0;
}

/* Room in bytes left in a 16-bit array after `offset` values, or -1 when the offset lies
 * beyond the array. Room beyond what a copy may take is capped (copies that large are
 * refused anyway). */
int64_t RoomAfterOffset16(uint32_t offset, uint32_t length) {
    if (offset > length) return -1;
    uint64_t room = static_cast<uint64_t>(length - offset) * sizeof(int16_t);
    return room > UINT32_MAX ? UINT32_MAX : static_cast<int64_t>(room);
}

} // namespace

int32_t Vexa_CreateSample(VexaContext *context, uint32_t numFrames, int32_t channelsPerFrame) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    if (numFrames == 0 || (channelsPerFrame != 1 && channelsPerFrame != 2)) {
        return VXERR_OUT_OF_RANGE;
    }
    /* Every copy of the sample must have a byte count that fits a signed 32-bit count. */
    const uint64_t bytes =
        static_cast<uint64_t>(numFrames) * static_cast<uint64_t>(channelsPerFrame) *
        kBytesPerSample;
    if (bytes > INT32_MAX) return VXERR_OUT_OF_RANGE;

    VexaCall call(context, VX_CALL_DRAIN);
    if (call.status() < 0) return call.status();
    int32_t result = 0;

    void *data = VexaF_AllocateMemory(context, static_cast<size_t>(bytes), "Vexa_CreateSample");
    if (data == nullptr) return VXERR_NO_MEMORY;

    result = call.Lock();
    if (result < 0) {
        VexaF_FreeMemory(context, data);
        return result;
    }
    const int32_t token = VexaF_CreateThing(context, sizeof(VexaDataThing), VXT_SAMPLE);
    if (token < 0) {
        call.Unlock();
        VexaF_FreeMemory(context, data);
        return token;
    }
    VexaDataThing *sample = reinterpret_cast<VexaDataThing *>(VexaF_ThingFromToken(context, token));
    sample->vxt_BytesPerSample = kBytesPerSample;
    sample->vxt_ChannelsPerFrame = static_cast<uint8_t>(channelsPerFrame);
    sample->vxt_NumFrames = numFrames;
    sample->vxt_Data = data;
    return token;
}

int32_t VexaF_ReadWriteSample(VexaContext *context, int32_t sampleToken, uint32_t startFrame,
                              uint32_t numFrames, void *buffer, uint32_t maxBytes,
                              int32_t dataType, int32_t write) {
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    context = call.context();
    int32_t result = 0;
    result = CopyFrames(context, sampleToken, startFrame, numFrames, buffer, maxBytes,
                             dataType, write);
    return result;
}

int32_t Vexa_WriteSample(VexaContext *context, int32_t sampleToken, uint32_t startFrame,
                         const int16_t *frames, uint32_t numFrames) {
    return VexaF_ReadWriteSample(context, sampleToken, startFrame, numFrames,
                                 const_cast<int16_t *>(frames), 0x7FFFFFFF, 0, 1);
}

int32_t Vexa_ReadSample(VexaContext *context, int32_t sampleToken, uint32_t startFrame,
                        int16_t *frames, uint32_t numFrames) {
    return VexaF_ReadWriteSample(context, sampleToken, startFrame, numFrames, frames, 0x7FFFFFFF,
                                 0, 0);
}

int32_t Vexa_WriteSampleJava(VexaContext *context, int32_t sampleToken, uint32_t startFrame,
                             uint32_t numFrames, const int16_t *base, uint32_t offset,
                             uint32_t length) {
    if (VexaF_ValidateContext(context) == nullptr) return VXERR_INVALID_CONTEXT;
    const int64_t room = RoomAfterOffset16(offset, length);
    if (room < 0) return VXERR_OUT_OF_RANGE;
    int16_t *buffer = base == nullptr ? nullptr : const_cast<int16_t *>(base) + offset;
    return VexaF_ReadWriteSample(context, sampleToken, startFrame, numFrames, buffer,
                                 static_cast<uint32_t>(room), 0, 1);
}

int32_t Vexa_ReadSampleJava(VexaContext *context, int32_t sampleToken, uint32_t startFrame,
                            uint32_t numFrames, int16_t *base, uint32_t offset,
                            uint32_t length) {
    if (VexaF_ValidateContext(context) == nullptr) return VXERR_INVALID_CONTEXT;
    const int64_t room = RoomAfterOffset16(offset, length);
    if (room < 0) return VXERR_OUT_OF_RANGE;
    int16_t *buffer = base == nullptr ? nullptr : base + offset;
    return VexaF_ReadWriteSample(context, sampleToken, startFrame, numFrames, buffer,
                                 static_cast<uint32_t>(room), 0, 0);
}
