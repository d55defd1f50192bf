/*
 * vx_ports.cpp - the port calls: setting values now or at a tick, reading values, part
 * counts, queue frame counters and signal types, and connecting and disconnecting ports.
 *
 * Connections change port records on the client's thread while the back end may be
 * running; every change the back end can see is a single pointer store (an input's
 * source, a bus output's sumTarget), so a block sees either the old or the new connection.
 */
#include "vx_engine.h"

namespace {
constexpr uint8_t kAllKinds = PORT_INPUT | PORT_OUTPUT | PORT_VARIABLE | PORT_QUEUE |
                              PORT_TABLE | PORT_BUS_INPUT | PORT_BUS_OUTPUT;

inline bool PartInRange(const PortInfo *port, int32_t part) {
    return part >= 0 && part < port->numParts;
}

/* Finds a port part for a call: the token, the port ID, the kinds the call accepts and
 * the part index are checked, in that order. */
int32_t FindPart(VexaContext *context, int32_t unitToken, uint32_t portID, uint8_t kinds,
                 int32_t part, VexaUnit **outUnit, const PortInfo **outPort) {
    int32_t result = VexaF_FindHashedPortInfo(context, unitToken, portID, kinds, outUnit, outPort);
    if (result < 0) return result;
    if (!PartInRange(*outPort, part)) return VXERR_INVALID_PARTNUM;
    return 0;
}

/* Runs a port call's lookup and its use of the unit inside the call's guard, under the peer
 * lock: a unit is freed only by a client thread holding the lock, so the unit found cannot be
 * freed while it is used. */
template <typename Body> int32_t WithCall(VexaContext *context, VexaCallMode mode, Body body) {
    VexaCall call(context, mode);
    if (call.status() < 0) return call.status();
    return body(call.context());
}

/* Reads a value the audio thread may be writing at this very moment. One aligned float is read
 * whole, so the result is either the old or the new value, as the port calls promise; the
 * audio thread stores unit outputs with plain stores, so this read is kept out of
 * ThreadSanitizer's view. */
__attribute__((noinline, no_sanitize("thread"))) float ReadLiveValue(const float *value) {
    return *static_cast<const volatile float *>(value);
}

int32_t DisconnectInput(InputPort *input) {
    if (input->connectedOutput == nullptr) return VXWARN_NOT_CONNECTED;
    vx_store(input->source, static_cast<float *>(input->values));
    input->connectedOutput = nullptr;
    DLL_Remove(&input->node);
    return 0;
}

int32_t DisconnectOutput(OutputPort *output) {
    while (!DLL_IsEmpty(&output->connectedInputs)) {
        InputPort *input = reinterpret_cast<InputPort *>(output->connectedInputs.next);
        if (input->connectedOutput != output) return VXERR_BAD_CONNECTION;
        DisconnectInput(input);
    }
    return 0;
}

int32_t DisconnectBusOutput(VexaContext *context, BusOutputPort *busOutput) {
    if (busOutput->connectedBusInput == nullptr) return VXWARN_NOT_CONNECTED;
    vx_store(busOutput->sumTarget, static_cast<float *>(context->vxb_WriteOnlyBucket));
    busOutput->connectedBusInput = nullptr;
    DLL_Remove(&busOutput->node);
    return 0;
}

int32_t DisconnectBusInput(VexaContext *context, BusInputPort *busInput) {
    while (!DLL_IsEmpty(&busInput->writers)) {
        BusOutputPort *writer = reinterpret_cast<BusOutputPort *>(busInput->writers.next);
        if (writer->connectedBusInput != busInput) return VXERR_BAD_CONNECTION;
        DisconnectBusOutput(context, writer);
    }
    return 0;
}
} // namespace

/* ---- Values ----------------------------------------------------------------------- */

void VexaB_SetPort(VexaContext *context, VexaUnit *unit, const PortInfo *portInfo, int32_t part,
                   float value) {
    float native = 0.0f;
    if (portInfo->portKind & PORT_INPUT) {
        InputPort *input = VexaS_GetInput(unit, portInfo, part);
        if (VexaS_ConvertSignalToNative(context, vx_load(input->signalType), unit->rate, value,
                                        &native) < 0)
            return;
        for (float &v : input->values) vx_store_float(v, native);
    } else if (portInfo->portKind & PORT_VARIABLE) {
        VariablePort *variable = VexaS_GetVariable(unit, portInfo, part);
        if (VexaS_ConvertSignalToNative(context, vx_load(variable->signalType), unit->rate,
                                        value, &native) < 0)
            return;
        vx_store_float(variable->value, native);
    }
}

int32_t Vexa_SetPortAt(VexaContext *context, int32_t time, int32_t unitToken, uint32_t portID,
                       int32_t part, double value) {
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    context = call.context();
    int32_t result = 0;
    VexaUnit *unit = nullptr;
    const PortInfo *port = nullptr;
    result = FindPart(context, unitToken, portID, PORT_INPUT | PORT_VARIABLE, part, &unit, &port);
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
    return WithCall(context, VX_CALL_DRAIN_LOCK, [&](VexaContext *context) {
        VexaUnit *unit = nullptr;
        const PortInfo *port = nullptr;
        int32_t found = FindPart(context, unitToken, portID, PORT_INPUT | PORT_OUTPUT | PORT_VARIABLE,
                                 part, &unit, &port);
        if (found < 0) return found;
        if (outValue == nullptr) return static_cast<int32_t>(VXERR_OUT_OF_RANGE);
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
    });
}

double Vexa_GetPort(VexaContext *context, int32_t unitToken, uint32_t portID, int32_t part) {
    double value = 0.0;
    int32_t result = Vexa_ReadPort(context, unitToken, portID, part, &value);
    if (result < 0) return result - 1000000.0;
    return value;
}

int32_t Vexa_GetNumParts(VexaContext *context, int32_t unitToken, uint32_t portID) {
    return WithCall(context, VX_CALL_DRAIN_LOCK, [&](VexaContext *context) {
        const PortInfo *port = nullptr;
        int32_t found = VexaF_FindHashedPortInfo(context, unitToken, portID, kAllKinds, nullptr, &port);
        return found < 0 ? found : static_cast<int32_t>(port->numParts);
    });
}

int32_t Vexa_ReadPortFrames(VexaContext *context, int32_t unitToken, uint32_t portID,
                            int32_t part, int32_t *outFrames) {
    return WithCall(context, VX_CALL_DRAIN_LOCK, [&](VexaContext *context) {
        VexaUnit *unit = nullptr;
        const PortInfo *port = nullptr;
        int32_t found = FindPart(context, unitToken, portID, PORT_QUEUE, part, &unit, &port);
        if (found < 0) return found;
        if (outFrames == nullptr) return static_cast<int32_t>(VXERR_OUT_OF_RANGE);
        *outFrames = static_cast<int32_t>(vx_load(VexaS_GetQueue(unit, port)->frameCount));
        return 0;
    });
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
    return WithCall(context, VX_CALL_DRAIN_LOCK, [&](VexaContext *context) {
        if (static_cast<uint32_t>(signalType) > SIGNAL_RAW)
            return static_cast<int32_t>(VXERR_INVALID_SIGNAL_TYPE);
        VexaUnit *unit = nullptr;
        const PortInfo *port = nullptr;
        int32_t found = FindPart(context, unitToken, portID, PORT_INPUT | PORT_VARIABLE | PORT_QUEUE,
                                 part, &unit, &port);
        if (found < 0) return found;
        /* One byte, stored while the back end may run: it governs the values converted after
         * this store. */
        vx_store(*SignalTypeField(unit, port, part), static_cast<uint8_t>(signalType));
        return 0;
    });
}

int32_t Vexa_GetPortSignalType(VexaContext *context, int32_t unitToken, uint32_t portID,
                               int32_t part) {
    return WithCall(context, VX_CALL_LOCK, [&](VexaContext *context) {
        VexaUnit *unit = nullptr;
        const PortInfo *port = nullptr;
        int32_t found = FindPart(context, unitToken, portID, PORT_INPUT | PORT_VARIABLE | PORT_QUEUE,
                                 part, &unit, &port);
        if (found < 0) return found;
        return static_cast<int32_t>(vx_load(*SignalTypeField(unit, port, part)));
    });
}

/* ---- Connections ------------------------------------------------------------------ */

int32_t VexaF_ConnectOutputToInput(VexaContext *, VexaUnit *sourceUnit, OutputPort *output,
                                   VexaUnit *destUnit, InputPort *input) {
    int32_t result = 0;
    if (input->connectedOutput != nullptr) {
        /* Leave the old output's list; the source pointer changes once, below. */
        input->connectedOutput = nullptr;
        DLL_Remove(&input->node);
        result = VXWARN_ALREADY_CONNECTED;
    }
    if (sourceUnit->rate != destUnit->rate) {
        vx_store(input->source, static_cast<float *>(input->values));
        return VXERR_RATE_MISMATCH;
    }
    vx_store(input->source, static_cast<float *>(output->values));
    DLL_InsertBefore(&output->connectedInputs, &input->node);
    input->connectedOutput = output;
    return result;
}

int32_t VexaF_ConnectBusOutputToBusInput(VexaContext *context, VexaUnit *sourceUnit,
                                         BusOutputPort *busOutput, VexaUnit *destUnit,
                                         BusInputPort *busInput) {
    int32_t result = 0;
    if (busOutput->connectedBusInput != nullptr) {
        busOutput->connectedBusInput = nullptr;
        DLL_Remove(&busOutput->node);
        result = VXWARN_ALREADY_CONNECTED;
    }
    if (sourceUnit->rate != destUnit->rate) {
        vx_store(busOutput->sumTarget, static_cast<float *>(context->vxb_WriteOnlyBucket));
        return VXERR_RATE_MISMATCH;
    }
    vx_store(busOutput->sumTarget, static_cast<float *>(busInput->sums));
    DLL_InsertBefore(&busInput->writers, &busOutput->node);
    busOutput->connectedBusInput = busInput;
    return result;
}

int32_t Vexa_ConnectUnits(VexaContext *context, int32_t sourceUnit, uint32_t sourcePortID,
                          int32_t sourcePart, int32_t destUnit, uint32_t destPortID,
                          int32_t destPart) {
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    context = call.context();
    int32_t result = 0;
    VexaUnit *source = nullptr, *dest = nullptr;
    const PortInfo *sourcePort = nullptr, *destPort = nullptr;
    result = FindPart(context, sourceUnit, sourcePortID, PORT_OUTPUT | PORT_BUS_OUTPUT,
                      sourcePart, &source, &sourcePort);
    if (result >= 0)
        result = FindPart(context, destUnit, destPortID, PORT_INPUT | PORT_BUS_INPUT, destPart,
                          &dest, &destPort);
    if (result >= 0) {
        if ((sourcePort->portKind & PORT_OUTPUT) && (destPort->portKind & PORT_INPUT))
            result = VexaF_ConnectOutputToInput(context, source,
                                                VexaS_GetOutput(source, sourcePort, sourcePart),
                                                dest, VexaS_GetInput(dest, destPort, destPart));
        else if ((sourcePort->portKind & PORT_BUS_OUTPUT) && (destPort->portKind & PORT_BUS_INPUT))
            result = VexaF_ConnectBusOutputToBusInput(
                context, source, VexaF_GetBusOutput(source, sourcePort, sourcePart), dest,
                VexaF_GetBusInput(dest, destPort, destPart));
        else
            result = VXERR_INCOMPATIBLE_PORTS;
    }
    return result;
}

int32_t Vexa_DisconnectUnits(VexaContext *context, int32_t unitToken, uint32_t portID,
                             int32_t part) {
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    context = call.context();
    int32_t result = 0;
    VexaUnit *unit = nullptr;
    const PortInfo *port = nullptr;
    result = FindPart(context, unitToken, portID,
                      PORT_INPUT | PORT_OUTPUT | PORT_BUS_INPUT | PORT_BUS_OUTPUT, part, &unit,
                      &port);
    if (result >= 0) {
        switch (port->portKind) {
        case PORT_INPUT:
            result = DisconnectInput(VexaS_GetInput(unit, port, part));
            break;
        case PORT_OUTPUT:
            result = DisconnectOutput(VexaS_GetOutput(unit, port, part));
            break;
        case PORT_BUS_INPUT:
            result = DisconnectBusInput(context, VexaF_GetBusInput(unit, port, part));
            break;
        default:
            result = DisconnectBusOutput(context, VexaF_GetBusOutput(unit, port, part));
            break;
        }
    }
    return result;
}

int32_t VexaF_DisconnectAllPorts(VexaContext *context, VexaUnit *unit) {
    const UnitInfo *info = unit->descriptor;
    for (int32_t i = 0; i < info->numPorts; i++) {
        const PortInfo *port = &info->ports[i];
        if (port->portKind == PORT_QUEUE) {
            VexaF_ReleaseQueuePort(context, VexaS_GetQueue(unit, port));
            continue;
        }
        for (int32_t part = 0; part < port->numParts; part++) {
            switch (port->portKind) {
            case PORT_INPUT:
                DisconnectInput(VexaS_GetInput(unit, port, part));
                break;
            case PORT_OUTPUT:
                DisconnectOutput(VexaS_GetOutput(unit, port, part));
                break;
            case PORT_BUS_INPUT:
                DisconnectBusInput(context, VexaF_GetBusInput(unit, port, part));
                break;
            case PORT_BUS_OUTPUT:
                DisconnectBusOutput(context, VexaF_GetBusOutput(unit, port, part));
                break;
            case PORT_TABLE: {
                TablePort *table = VexaS_GetTable(unit, port) + part;
                VexaThing *held = table->table;
                if (held != nullptr) {
                    table->table = nullptr;
                    VexaF_DecrementReference(context, held);
                }
                break;
            }
            default:
                break;
            }
        }
    }
    return 0;
}
