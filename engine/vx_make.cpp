/*
 * vx_make.cpp - units and circuits on the client threads: creation (laying out and
 * initialising port records, creation defaults, init functions), the release routine of a
 * freed unit, and the unit calls that start and stop units and set their priority.
 */
#include "vx_make.h"


namespace {
int32_t VexaF_CreateUnitPorts(VexaContext *context, VexaUnit *unit) {
    const UnitInfo *info = unit->descriptor;
    for (int32_t i = 0; i < info->numPorts; i++) {
        const PortInfo *port = &info->ports[i];
        switch (port->portKind) {
        case PORT_QUEUE: {
            /* A queue port has one record; its default gives the channels per frame. */
            QueuePort *queue = VexaS_GetQueue(unit, port);
            queue->signalType = port->signalType;
            queue->channelsPerFrame = static_cast<uint8_t>(
                static_cast<int32_t>(static_cast<double>(port->defaultValue) + 0.1));
            DLL_InitList(&queue->pending);
            continue;
        }
        case PORT_TABLE:
            continue; /* no table in use yet */
        default:
            break;
        }
        for (int32_t part = 0; part < port->numParts; part++) {
            switch (port->portKind) {
            case PORT_INPUT: {
                InputPort *input = VexaS_GetInput(unit, port, part);
                DLL_InitNode(&input->node);
                input->source = input->values;
                input->connectedOutput = nullptr;
                input->signalType = port->signalType;
                break;
            }
            case PORT_OUTPUT: {
                OutputPort *output = VexaS_GetOutput(unit, port, part);
                DLL_InitNode(&output->node);
                DLL_InitList(&output->connectedInputs);
                output->owner = unit;
                break;
            }
            case PORT_VARIABLE:
                VexaS_GetVariable(unit, port, part)->signalType = port->signalType;
                break;
            case PORT_BUS_INPUT: {
                BusInputPort *busInput = VexaS_GetBusInput(unit, port, part);
                DLL_InitList(&busInput->writers);
                for (float &sum : busInput->sums) sum = 0.0f;
                break;
            }
            case PORT_BUS_OUTPUT: {
                BusOutputPort *busOutput = VexaS_GetBusOutput(unit, port, part);
                DLL_InitNode(&busOutput->node);
                busOutput->connectedBusInput = nullptr;
                busOutput->sumTarget = context->vxb_WriteOnlyBucket;
                break;
            }
            default:
                break;
            }
        }
    }
    return 0;
}
} // namespace

int32_t Vexa_CreateUnit(VexaContext *context, uint32_t typeID, int32_t rate,
                        int32_t initArgument) {
    /* The peer lock keeps other client threads away from the unit until it is complete: a
     * stale token whose slot and serial have come round again validates as soon as the slot
     * is taken. On an engine that is not initialised nothing may be created: the engine could
     * never release it. */
    VexaCall call(context, VX_CALL_LOCK);
    if (call.status() < 0) return call.status();
    context = call.context();
    const UnitInfo *info = VexaF_LookupUnitInfo(context, typeID);
    if (info == nullptr) return VXERR_NOT_FOUND;
    if (rate != 0) return VXERR_INVALID_RATE;

    const int32_t token = VexaF_CreateThing(context, info->instanceSize, VXT_UNIT);
    if (token < 0) return token;
    VexaUnit *unit = reinterpret_cast<VexaUnit *>(VexaF_ThingFromToken(context, token));
    unit->rate = RATE_AUDIO;
    unit->priority = 1;
    unit->descriptor = info;
    unit->unitFunc = info->unitFunc;

    int32_t result = VexaF_CreateUnitPorts(context, unit);
    if (result >= 0) result = VexaS_SetUnitPortDefaults(context, unit, DEFAULT_AT_CREATION);
    if (result >= 0 && info->initFunc != nullptr) result = info->initFunc(context, unit, initArgument);
    if (result < 0) {
        VexaF_FreeThing(context, &unit->header);
        return result;
    }
    return token;
}

namespace {
/* Checks one token offered to a circuit; nothing is changed. */
int32_t CheckCircuitMember(VexaContext *context, const int32_t *unitTokens, int32_t index,
                           VexaUnit **outUnit) {
    VexaThing *thing = nullptr;
    int32_t result = VexaF_ValidateThing(context, unitTokens[index], VXT_UNIT, &thing);
    if (result < 0) return result;
    VexaUnit *unit = reinterpret_cast<VexaUnit *>(thing);
    /* A unit whose start is still on its way to the back end counts as started: the back end
     * may link it into a run list while this thread would link it into the member list. */
    if (__atomic_load_n(&unit->startsInFlight, __ATOMIC_ACQUIRE) > 0) return VXERR_ALREADY_STARTED;
    if (vx_load(unit->state) > 1) return VXERR_ALREADY_STARTED;
    if (vx_load(unit->parent) != nullptr) return VXERR_IN_CIRCUIT;
    /* A unit offered twice would be linked twice into the member list. */
    for (int32_t earlier = 0; earlier < index; earlier++)
        if (unitTokens[earlier] == unitTokens[index]) return VXERR_IN_CIRCUIT;
    *outUnit = unit;
    return 0;
}
} // namespace

int32_t Vexa_CreateCircuit(VexaContext *context, const int32_t *unitTokens, int32_t count,
                           int32_t flags) {
    if (VexaF_ValidateContext(context) == nullptr) return VXERR_INVALID_CONTEXT;
    if (count <= 0 || unitTokens == nullptr) return VXERR_EMPTY_CIRCUIT;
    if (flags != 0) return VXERR_INVALID_FLAG;
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    context = call.context();
    int32_t result = 0;

    for (int32_t i = 0; i < count && result >= 0; i++) {
        VexaUnit *member = nullptr;
        result = CheckCircuitMember(context, unitTokens, i, &member);
    }
    if (result >= 0) {
        int32_t token = VexaF_CreateThing(context, sizeof(VexaCircuit), VXT_UNIT);
        if (token < 0) {
            result = token;
        } else {
            VexaCircuit *circuit =
                reinterpret_cast<VexaCircuit *>(VexaF_ThingFromToken(context, token));
            circuit->unit.isCircuit = 1;
            circuit->unit.rate = RATE_AUDIO;
            circuit->unit.priority = 1;
            circuit->unit.descriptor = &CircuitUnitInfo;
            circuit->unit.unitFunc = CircuitUnitInfo.unitFunc;
            DLL_InitList(&circuit->controlMembers);
            DLL_InitList(&circuit->audioMembers);
            for (int32_t i = 0; i < count; i++) {
                VexaThing *thing = nullptr;
                VexaF_ValidateThing(context, unitTokens[i], VXT_UNIT, &thing);
                VexaUnit *member = reinterpret_cast<VexaUnit *>(thing);
                vx_store(member->parent, &circuit->unit);
                DLL_InsertBefore(member->rate == RATE_AUDIO ? &circuit->audioMembers
                                                            : &circuit->controlMembers,
                                 &member->header.vxt_Node);
                VexaF_AddReference(&member->header);
            }
            result = token;
        }
    }
    return result;
}

namespace {
int32_t VexaF_ClearCircuit(VexaContext *context, VexaCircuit *circuit) {
    DLLNode *lists[2] = {&circuit->audioMembers, &circuit->controlMembers};
    for (DLLNode *list : lists) {
        DLLNode *node;
        while ((node = DLL_RemoveFirst(list)) != nullptr) {
            VexaUnit *member = reinterpret_cast<VexaUnit *>(node);
            vx_store(member->parent, static_cast<VexaUnit *>(nullptr));
            int32_t result = VexaF_DecrementReference(context, &member->header);
            if (result < 0) return result;
        }
    }
    return 0;
}
} // namespace

int32_t VexaF_ReleaseUnit(VexaContext *context, VexaUnit *unit) {
    if (unit->isCircuit) VexaF_ClearCircuit(context, reinterpret_cast<VexaCircuit *>(unit));
    VexaF_DisconnectAllPorts(context, unit);
    /* A block running on the audio thread may have loaded a pointer to this unit's outputs
     * (or bus sums) before the disconnection: the memory goes only after that batch. */
    VexaF_WaitForBatchBoundary(context);
    if (unit->descriptor != nullptr && unit->descriptor->termFunc != nullptr)
        return unit->descriptor->termFunc(context, unit);
    return 0;
}

namespace {
/* ---- Unit calls ------------------------------------------------------------------- */

int32_t VexaF_RequestUnitStop(VexaContext *context, int32_t tick, VexaUnit *unit) {
    return VexaF_SendCommand(context, CMD_STOP_UNIT, tick, unit, nullptr, 0, 0.0f, nullptr);
}

/* The unit a unit call names. */
int32_t FindUnit(VexaContext *context, int32_t token, VexaUnit **outUnit) {
    VexaThing *thing = nullptr;
    const int32_t result = VexaF_ValidateThing(context, token, VXT_UNIT, &thing);
    *outUnit = reinterpret_cast<VexaUnit *>(thing);
    return result;
}
} // namespace

int32_t Vexa_StartUnitAt(VexaContext *context, int32_t tick, int32_t unitToken) {
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    context = call.context();
    VexaUnit *unit = nullptr;
    int32_t result = FindUnit(context, unitToken, &unit);
    if (result < 0) return result;
    /* Members run as part of their circuit. The count of starts in flight is raised before
     * the command can reach the back end, which lowers it once the start has run. */
    if (unit->parent == nullptr) {
        __atomic_add_fetch(&unit->startsInFlight, 1, __ATOMIC_RELAXED);
        result = VexaF_SendCommand(context, CMD_START_UNIT, tick, unit, nullptr, 0, 0.0f, nullptr);
        if (result < 0) __atomic_sub_fetch(&unit->startsInFlight, 1, __ATOMIC_RELAXED);
    }
    return result;
}

int32_t Vexa_StartUnit(VexaContext *context, int32_t unitToken) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    return Vexa_StartUnitAt(context, vx_load(context->vxb_TickCount), unitToken);
}

int32_t Vexa_StopUnitAt(VexaContext *context, int32_t tick, int32_t unitToken) {
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    VexaUnit *unit = nullptr;
    const int32_t result = FindUnit(call.context(), unitToken, &unit);
    if (result < 0) return result;
    return VexaF_RequestUnitStop(call.context(), tick, unit);
}

int32_t Vexa_StopUnit(VexaContext *context, int32_t unitToken) {
    context = VexaF_ValidateContext(context);
    if (context == nullptr) return VXERR_INVALID_CONTEXT;
    return Vexa_StopUnitAt(context, vx_load(context->vxb_TickCount), unitToken);
}

int32_t Vexa_SetPriority(VexaContext *context, int32_t unitToken, int32_t priority) {
    /* The peer lock only keeps the unit from being freed by another client thread while it is
     * used; no command is sent, and the back end reads the priority at the unit's next start. */
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    VexaUnit *unit = nullptr;
    int32_t result = FindUnit(call.context(), unitToken, &unit);
    if (result >= 0 && static_cast<uint32_t>(priority) > 2) result = VXERR_INVALID_PRIORITY;
    if (result >= 0) vx_store(unit->priority, static_cast<uint8_t>(priority));
    return result;
}

int32_t Vexa_GetPriority(VexaContext *context, int32_t unitToken) {
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    VexaUnit *unit = nullptr;
    const int32_t result = FindUnit(call.context(), unitToken, &unit);
    return result < 0 ? result : vx_load(unit->priority);
}
