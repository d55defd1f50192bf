/*
 * vx_ports.cpp - the port calls: setting values now or at a tick, reading values, part
 * counts, queue frame counters and signal types; and finding a port by unit token and port ID
 * for every client call that names one. Connections are in vx_connect.cpp.
 */
#include "vx_make.h"

namespace {
constexpr uint8_t kAllKinds = PORT_INPUT | PORT_OUTPUT | PORT_VARIABLE | PORT_QUEUE |
                              PORT_TABLE | PORT_BUS_INPUT | PORT_BUS_OUTPUT;


/* Reads a value the audio thread may be writing at this very moment. One aligned float is read
 * whole, so the result is either the old or the new value, as the port calls promise; the
 * audio thread stores unit outputs with plain stores, so this read is kept out of
 * ThreadSanitizer's view. */
__attribute__((noinline, no_sanitize("thread"))) float ReadLiveValue(const float *value) {
    return *static_cast<const volatile float *>(value);
}

} // namespace

int32_t VexaF_FindPortPart(VexaContext *context, int32_t unitToken, uint32_t portID,
                           uint8_t kinds, int32_t part, VexaUnit **outUnit,
                           const PortInfo **outPort) {
    int32_t result = VexaF_FindHashedPortInfo(context, unitToken, portID, kinds, outUnit, outPort);
    if (result < 0) return result;
    if (part < 0 || part >= (*outPort)->numParts) return VXERR_INVALID_PARTNUM;
    return 0;
}

int32_t VexaF_FindHashedPortInfo(VexaContext *context, int32_t unitToken, uint32_t portID,
                                 uint8_t kindMask, VexaUnit **outUnit,
                                 const PortInfo **outPortInfo) {
    VexaThing *thing = nullptr;
    int32_t result = VexaF_ValidateThing(context, unitToken, VXT_UNIT, &thing);
    if (result < 0) return result;
    VexaUnit *unit = reinterpret_cast<VexaUnit *>(thing);
    if (outUnit != nullptr) *outUnit = unit;
    const PortInfo *port = nullptr;
    result = VexaS_FindPortInfo(unit, portID, kindMask, &port);
    if (result == 0 && outPortInfo != nullptr) *outPortInfo = port;
    return result;
}

/* ---- Values ----------------------------------------------------------------------- */

int32_t Vexa_SetPortAt(VexaContext *context, int32_t time, int32_t unitToken, uint32_t portID,
                       int32_t part, double value) {
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    context = call.context();
    int32_t result = 0;
    VexaUnit *unit = nullptr;
    const PortInfo *port = nullptr;
    result = VexaF_FindPortPart(context, unitToken, portID, PORT_INPUT | PORT_VARIABLE,
        part, &unit, &port);
    if (result >= 0) {
        result = VexaF_SendCommand(context, CMD_SET_PORT, time, unit, const_cast<PortInfo *>(port),
                                   static_cast<uint16_t>(part), static_cast<float>(value),
                                   nullptr);
        /* The value is stored, but a connected input keeps reading its source. */
        if (result == 0 && (port->portKind & PORT_INPUT) &&
            VexaS_GetInput(unit, port, part)->connectedOutput != nullptr)
            result = VXWARN_ALREADY_CONNECTED;
    }
    return result;
}

int32_t Vexa_SetPort(VexaContext *context, int32_t unitToken, uint32_t portID, int32_t part,
                     double value) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    return Vexa_SetPortAt(context, vx_load(context->vxb_TickCount), unitToken, portID, part,
                          value);
}

int32_t Vexa_ReadPort(VexaContext *context, int32_t unitToken, uint32_t portID, int32_t part,
                      double *outValue) {
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    context = call.context();
    VexaUnit *unit = nullptr;
    const PortInfo *port = nullptr;
    int32_t found = VexaF_FindPortPart(context, unitToken, portID,
        PORT_INPUT | PORT_OUTPUT | PORT_VARIABLE, part, &unit, &port);
    if (found < 0) return found;
    if (outValue == nullptr) return VXERR_OUT_OF_RANGE;
    /* The values are read as the back end left them, without waiting for a block. */
    float value;
    if (port->portKind & PORT_OUTPUT)
        value = ReadLiveValue(&VexaS_GetOutput(unit, port, part)->values[0]);
    else if (port->portKind & PORT_INPUT)
        value = ReadLiveValue(&vx_load(VexaS_GetInput(unit, port, part)->source)[0]);
    else
        value = vx_load_float(VexaS_GetVariable(unit, port, part)->value);
    *outValue = value;
    return 0;
}

double Vexa_GetPort(VexaContext *context, int32_t unitToken, uint32_t portID, int32_t part) {
    double value = 0.0;
    int32_t result = Vexa_ReadPort(context, unitToken, portID, part, &value);
    if (result < 0) return result - 1000000.0;
    return value;
}

int32_t Vexa_GetNumParts(VexaContext *context, int32_t unitToken, uint32_t portID) {
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    context = call.context();
    const PortInfo *port = nullptr;
    int32_t found = VexaF_FindHashedPortInfo(context, unitToken, portID, kAllKinds, nullptr, &port);
    return found < 0 ? found : static_cast<int32_t>(port->numParts);
}

int32_t Vexa_ReadPortFrames(VexaContext *context, int32_t unitToken, uint32_t portID,
                            int32_t part, int32_t *outFrames) {
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    context = call.context();
    VexaUnit *unit = nullptr;
    const PortInfo *port = nullptr;
    int32_t found = VexaF_FindPortPart(context, unitToken, portID, PORT_QUEUE, part, &unit, &port);
    if (found < 0) return found;
    if (outFrames == nullptr) return VXERR_OUT_OF_RANGE;
    *outFrames = static_cast<int32_t>(vx_load(VexaS_GetQueue(unit, port)->frameCount));
    return 0;
}

int32_t Vexa_GetPortFrames(VexaContext *context, int32_t unitToken, uint32_t portID,
                           int32_t part) {
    int32_t frames = 0;
    if (Vexa_ReadPortFrames(context, unitToken, portID, part, &frames) < 0) return -1;
    return frames == -1 ? -2 : frames;
}

/* ---- Signal types ----------------------------------------------------------------- */

namespace {
uint8_t *SignalTypeField(VexaUnit *unit, const PortInfo *port, int32_t part) {
    if (port->portKind & PORT_INPUT) return &VexaS_GetInput(unit, port, part)->signalType;
    if (port->portKind & PORT_VARIABLE) return &VexaS_GetVariable(unit, port, part)->signalType;
    return &VexaS_GetQueue(unit, port)->signalType;
}
} // namespace

int32_t Vexa_SetPortSignalType(VexaContext *context, int32_t unitToken, uint32_t portID,
                               int32_t part, int32_t signalType) {
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    context = call.context();
    if (static_cast<uint32_t>(signalType) > VEXA_SIGNAL_RAW)
        return VXERR_INVALID_SIGNAL_TYPE;
    VexaUnit *unit = nullptr;
    const PortInfo *port = nullptr;
    int32_t found = VexaF_FindPortPart(context, unitToken, portID,
        PORT_INPUT | PORT_VARIABLE | PORT_QUEUE, part, &unit, &port);
    if (found < 0) return found;
    /* One byte, stored while the back end may run: it governs the values converted after
     * this store. */
    vx_store(*SignalTypeField(unit, port, part), static_cast<uint8_t>(signalType));
    __atomic_add_fetch(&context->vxf_PlanGeneration, 1u, __ATOMIC_RELEASE); /* plan again */
    return 0;
}

int32_t Vexa_GetPortSignalType(VexaContext *context, int32_t unitToken, uint32_t portID,
                               int32_t part) {
    VexaCall call(context, VX_CALL_LOCK);
    if (call.status() < 0) return call.status();
    context = call.context();
    VexaUnit *unit = nullptr;
    const PortInfo *port = nullptr;
    int32_t found = VexaF_FindPortPart(context, unitToken, portID,
        PORT_INPUT | PORT_VARIABLE | PORT_QUEUE, part, &unit, &port);
    if (found < 0) return found;
    return static_cast<int32_t>(vx_load(*SignalTypeField(unit, port, part)));
}
