/*
 * vx_connect.cpp - connections and port upkeep on the client threads: the connect and
 * disconnect calls, and the release of a freed unit's ports (its connections both ways, the
 * regions queued on its queue ports, the tables its table ports hold).
 *
 * Connections change port records on the client's thread while the back end may be
 * running; every change the back end can see is a single pointer store (an input's
 * source, a bus output's sumTarget), so a block sees either the old or the new connection.
 */
#include "vx_make.h"

namespace {
void VexaF_ReleaseQueuePort(VexaContext *context, QueuePort *port);
} // namespace

namespace {
/* The back end plans its run lists from the connections: every change is counted, and the
 * next batch plans again (release: the new connection is seen with the count). */
void CountConnectionChange(VexaContext *context) {
    __atomic_add_fetch(&context->vxf_PlanGeneration, 1u, __ATOMIC_RELEASE);
}

int32_t DisconnectInput(InputPort *input) {
    if (input->connectedOutput == nullptr) return VXWARN_NOT_CONNECTED;
    vx_store(input->source, static_cast<float *>(input->values));
    vx_store(input->connectedOutput, static_cast<OutputPort *>(nullptr));
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

/* ---- Connections ------------------------------------------------------------------ */

int32_t VexaF_ConnectOutputToInput(VexaContext *, VexaUnit *sourceUnit, OutputPort *output,
                                   VexaUnit *destUnit, InputPort *input) {
    int32_t result = 0;
    if (input->connectedOutput != nullptr) {
        /* Leave the old output's list; the source pointer changes once, below. */
        vx_store(input->connectedOutput, static_cast<OutputPort *>(nullptr));
        DLL_Remove(&input->node);
        result = VXWARN_ALREADY_CONNECTED;
    }
    if (sourceUnit->rate != destUnit->rate) {
        vx_store(input->source, static_cast<float *>(input->values));
        return VXERR_RATE_MISMATCH;
    }
    vx_store(input->source, static_cast<float *>(output->values));
    DLL_InsertBefore(&output->connectedInputs, &input->node);
    vx_store(input->connectedOutput, output);
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
} // namespace

int32_t Vexa_ConnectUnits(VexaContext *context, int32_t sourceUnit, uint32_t sourcePortID,
                          int32_t sourcePart, int32_t destUnit, uint32_t destPortID,
                          int32_t destPart) {
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    context = call.context();
    int32_t result = 0;
    VexaUnit *source = nullptr, *dest = nullptr;
    const PortInfo *sourcePort = nullptr, *destPort = nullptr;
    result = VexaF_FindPortPart(context, sourceUnit, sourcePortID, PORT_OUTPUT | PORT_BUS_OUTPUT,
        sourcePart, &source, &sourcePort);
    if (result >= 0)
        result = VexaF_FindPortPart(context, destUnit, destPortID, PORT_INPUT | PORT_BUS_INPUT,
            destPart, &dest, &destPort);
    if (result >= 0) {
        if ((sourcePort->portKind & PORT_OUTPUT) && (destPort->portKind & PORT_INPUT))
            result = VexaF_ConnectOutputToInput(context, source,
                                                VexaS_GetOutput(source, sourcePort, sourcePart),
                                                dest, VexaS_GetInput(dest, destPort, destPart));
        else if ((sourcePort->portKind & PORT_BUS_OUTPUT) && (destPort->portKind & PORT_BUS_INPUT))
            result = VexaF_ConnectBusOutputToBusInput(
                context, source, VexaS_GetBusOutput(source, sourcePort, sourcePart), dest,
                VexaS_GetBusInput(dest, destPort, destPart));
        else
            result = VXERR_INCOMPATIBLE_PORTS;
    }
    CountConnectionChange(context);
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
    result = VexaF_FindPortPart(context, unitToken, portID,
        PORT_INPUT | PORT_OUTPUT | PORT_BUS_INPUT | PORT_BUS_OUTPUT, part, &unit, &port);
    if (result >= 0) {
        switch (port->portKind) {
        case PORT_INPUT:
            result = DisconnectInput(VexaS_GetInput(unit, port, part));
            break;
        case PORT_OUTPUT:
            result = DisconnectOutput(VexaS_GetOutput(unit, port, part));
            break;
        case PORT_BUS_INPUT:
            result = DisconnectBusInput(context, VexaS_GetBusInput(unit, port, part));
            break;
        default:
            result = DisconnectBusOutput(context, VexaS_GetBusOutput(unit, port, part));
            break;
        }
    }
    CountConnectionChange(context);
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
                DisconnectBusInput(context, VexaS_GetBusInput(unit, port, part));
                break;
            case PORT_BUS_OUTPUT:
                DisconnectBusOutput(context, VexaS_GetBusOutput(unit, port, part));
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
    CountConnectionChange(context);
    return 0;
}

namespace {
/* ---- Queue ports of a freed unit -------------------------------------------------- */

void VexaF_ReleaseQueuePort(VexaContext *context, QueuePort *port) {
    DLLNode *removed;
    while ((removed = DLL_RemoveFirst(&port->pending)) != nullptr) {
        QueueNode *node = reinterpret_cast<QueueNode *>(removed);
        if (node->dataThing != nullptr) VexaF_DecrementReference(context, node->dataThing);
        node->dataThing = nullptr;
        VexaF_ReturnToPool(&context->vxf_FreeQueueNodes, &node->node);
    }
    if (port->dataThing != nullptr) {
        VexaThing *thing = port->dataThing;
        port->dataThing = nullptr;
        VexaF_DecrementReference(context, thing);
    }
}
} // namespace
