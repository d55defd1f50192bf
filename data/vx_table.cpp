/*
 * vx_table.cpp - tables: arrays of float values that TableLookup and WaveOscillator read by
 * position, and their attachment to a unit's table port.
 *
 * Attaching never touches the port from the client thread. Vexa_UseTable validates
 * everything on the calling thread, takes the port's hold on the new table and sends the swap
 * as a command scheduled at the current tick; the back end then sets the table and its
 * halfRange together at the start of the next batch and releases the old table's hold, so a
 * unit always reads a matching pair and a table is never freed while a block may read it.
 */
#include <climits>
#include <cstring>

#include "vx_data.h"
#include "vx_host.h"

namespace {

constexpr float kShortToSignal = 3.0517578125e-5f; /* 1/32768 */

/* The body of VexaF_WriteTable, under the peer lock. */
int32_t WriteFrames(VexaContext *context, int32_t tableToken, uint32_t startFrame,
                    uint32_t numFrames, const void *buffer, uint32_t maxBytes, int32_t doubles) {
    VexaThing *thing = nullptr;
    int32_t result = VexaF_ValidateThing(context, tableToken, VXT_TABLE, &thing);
    if (result < 0) return result;
    VexaDataThing *table = reinterpret_cast<VexaDataThing *>(thing);

    const uint64_t total = table->vxt_NumFrames;
    if (startFrame > total || numFrames > total ||
        static_cast<uint64_t>(startFrame) + numFrames > total) {
        return VXERR_OUT_OF_RANGE;
    }
    const uint64_t sourceBytes =
        static_cast<uint64_t>(numFrames) * (doubles != 0 ? sizeof(double) : sizeof(int16_t));
    if (sourceBytes > maxBytes || sourceBytes > INT32_MAX) return VXERR_OUT_OF_RANGE;
    if (numFrames == 0) return 0;
    if (buffer == nullptr) return VXERR_OUT_OF_RANGE;

    float *values = static_cast<float *>(table->vxt_Data) + startFrame;
    const uint8_t *source = static_cast<const uint8_t *>(buffer);
    if (doubles != 0) {
        for (uint32_t k = 0; k < numFrames; k++) {
            double value;
            std::memcpy(&value, source + static_cast<uint64_t>(k) * sizeof(double),
                        sizeof(double));
            if (VX_HOST_CLIPS_TABLE_DOUBLES) { /* the Windows build */
                if (value > 1.0) {
                    value = 1.0;
                } else if (value < -1.0) {
                    value = -1.0;
                }
            }
            vx_store_float(values[k], static_cast<float>(value));
        }
    } else {
        for (uint32_t k = 0; k < numFrames; k++) {
            int16_t value;
            std::memcpy(&value, source + static_cast<uint64_t>(k) * sizeof(int16_t),
                        sizeof(int16_t));
            vx_store_float(values[k], static_cast<float>(value) * kShortToSignal);
        }
    }
    return 0;
}

/* The body of Vexa_UseTable, under the peer lock. */
int32_t AttachTable(VexaContext *context, int32_t unitToken, uint32_t portID,
                       int32_t tableToken) {
    VexaUnit *unit = nullptr;
    const PortInfo *portInfo = nullptr;
    int32_t result =
        VexaF_FindHashedPortInfo(context, unitToken, portID, PORT_TABLE, &unit, &portInfo);
    if (result < 0) return result;
    TablePort *port = VexaS_GetTable(unit, portInfo);

    VexaThing *table = nullptr;
    if (tableToken != 0) {
        result = VexaF_ValidateThing(context, tableToken, VXT_TABLE, &table);
        if (result < 0) return result;
        VexaF_AddReference(table); /* the port's hold, handed over by the command */
    }
    result = VexaF_SendCommand(context, CMD_USE_TABLE, vx_load(context->vxb_TickCount), unit,
                               port, 0, 0.0f, table);
    if (result < 0 && table != nullptr) VexaF_DecrementReference(context, table);
    return result;
}

/* Room in bytes left in an array of `length` values of `size` bytes after `offset` values,
 * or -1 when the offset lies beyond the array. */
int64_t RoomAfterOffset(uint32_t offset, uint32_t length, uint32_t size) {
    if (offset > length) return -1;
    uint64_t room = static_cast<uint64_t>(length - offset) * size;
    return room > UINT32_MAX ? UINT32_MAX : static_cast<int64_t>(room);
}

} // namespace

int32_t Vexa_CreateTable(VexaContext *context, uint32_t numFrames) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    if (numFrames == 0) return VXERR_OUT_OF_RANGE;
    /* Every write of the table must have a byte count that fits a signed 32-bit count. */
    const uint64_t bytes = static_cast<uint64_t>(numFrames) * sizeof(float);
    if (bytes > INT32_MAX) return VXERR_OUT_OF_RANGE;

    VexaCall call(context, VX_CALL_DRAIN);
    if (call.status() < 0) return call.status();
    int32_t result = 0;

    void *data = VexaF_AllocateMemory(context, static_cast<size_t>(bytes), "Vexa_CreateTable");
    if (data == nullptr) return VXERR_NO_MEMORY;

    result = call.Lock();
    if (result < 0) {
        VexaF_FreeMemory(context, data);
        return result;
    }
    const int32_t token = VexaF_CreateThing(context, sizeof(VexaDataThing), VXT_TABLE);
    if (token < 0) {
        call.Unlock();
        VexaF_FreeMemory(context, data);
        return token;
    }
    VexaDataThing *table = reinterpret_cast<VexaDataThing *>(VexaF_ThingFromToken(context, token));
    table->vxt_NumFrames = numFrames;
    table->vxt_Data = data;
    return token;
}

int32_t VexaF_WriteTable(VexaContext *context, int32_t tableToken, uint32_t startFrame,
                         uint32_t numFrames, const void *buffer, uint32_t maxBytes,
                         int32_t doubles) {
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    context = call.context();
    int32_t result = 0;
    result = WriteFrames(context, tableToken, startFrame, numFrames, buffer, maxBytes, doubles);
    return result;
}

int32_t Vexa_WriteTable(VexaContext *context, int32_t tableToken, uint32_t startFrame,
                        const int16_t *values, uint32_t numFrames) {
    return VexaF_WriteTable(context, tableToken, startFrame, numFrames, values, 0x7FFFFFFF, 0);
}

int32_t Vexa_WriteTableDoubles(VexaContext *context, int32_t tableToken, uint32_t startFrame,
                               const double *values, uint32_t numFrames) {
    return VexaF_WriteTable(context, tableToken, startFrame, numFrames, values, 0x7FFFFFFF, 1);
}

int32_t Vexa_WriteTableJava(VexaContext *context, int32_t tableToken, uint32_t startFrame,
                            uint32_t numFrames, const int16_t *base, uint32_t offset,
                            uint32_t length) {
    if (VexaF_ValidateContext(context) == nullptr) return VXERR_INVALID_CONTEXT;
    const int64_t room = RoomAfterOffset(offset, length, sizeof(int16_t));
    if (room < 0) return VXERR_OUT_OF_RANGE;
    const int16_t *buffer = base == nullptr ? nullptr : base + offset;
    return VexaF_WriteTable(context, tableToken, startFrame, numFrames, buffer,
                            static_cast<uint32_t>(room), 0);
}

int32_t Vexa_WriteTableDoublesJava(VexaContext *context, int32_t tableToken,
                                   uint32_t startFrame, uint32_t numFrames, const double *base,
                                   uint32_t offset, uint32_t length) {
    if (VexaF_ValidateContext(context) == nullptr) return VXERR_INVALID_CONTEXT;
    const int64_t room = RoomAfterOffset(offset, length, sizeof(double));
    if (room < 0) return VXERR_OUT_OF_RANGE;
    const double *buffer = base == nullptr ? nullptr : base + offset;
    return VexaF_WriteTable(context, tableToken, startFrame, numFrames, buffer,
                            static_cast<uint32_t>(room), 1);
}

int32_t Vexa_UseTable(VexaContext *context, int32_t unitToken, uint32_t portID, int32_t partNum,
                      int32_t tableToken) {
    VexaCall call(context, VX_CALL_DRAIN);
    if (call.status() < 0) return call.status();
    if (partNum != 0) return VXERR_OUT_OF_RANGE;
    const int32_t result = call.Lock();
    if (result < 0) return result;
    return AttachTable(call.context(), unitToken, portID, tableToken);
}
