/*
 * vx_task.cpp - the synthesis batch: one tick of 8 blocks of 8 frames, computed on the
 * back-end thread. Also the back-end side of starting and stopping units, flattening the
 * outputs of stopped units, and auto-stop.
 */
#include "vx_synth.h"

namespace {
void VXLL_FlattenOutputs(VexaUnit *unit);
void VexaB_CircuitFunction(VexaContext *context, VexaUnit *circuit);

constexpr int32_t kBlocksPerTick = VX_BLOCKS_PER_TICK;
constexpr int32_t kFramesPerBlock = VX_FRAMES_PER_BLOCK;

inline VexaUnit *AsUnit(DLLNode *node) { return reinterpret_cast<VexaUnit *>(node); }

/* Before each block: outputs crossing from control to audio rate ramp towards this block's
 * control value. */
void ControlToAudio(DLLNode *list, int32_t block) {
    for (DLLNode *node = list->next; node != list; node = node->next) {
        OutputPort *output = reinterpret_cast<OutputPort *>(node);
        const double start = output->lastControlValue;
        const double target = output->values[block];
        for (int i = 0; i < kFramesPerBlock; i++)
            output->rateView[i] = static_cast<float>(start + i * (target - start) * 0.125);
        output->lastControlValue = static_cast<float>(target);
    }
}

/* After each block: outputs crossing from audio to control rate keep the block's last value. */
void AudioToControl(DLLNode *list, int32_t block) {
    for (DLLNode *node = list->next; node != list; node = node->next) {
        OutputPort *output = reinterpret_cast<OutputPort *>(node);
        output->rateView[block] = output->values[kFramesPerBlock - 1];
    }
}

void VexaB_CircuitFunction(VexaContext *context, VexaUnit *circuit) {
    VexaB_ExecUnitList(context, &reinterpret_cast<VexaCircuit *>(circuit)->audioMembers);
}
} // namespace

int32_t VexaB_ExecUnitList(VexaContext *context, DLLNode *list) {
    DLLNode *node = list->next;
    while (node != list) {
        DLLNode *next = node->next; /* the unit may leave the list while it runs */
        VexaUnit *unit = AsUnit(node);
        unit->unitFunc(context, unit);
        node = next;
    }
    return 0;
}

/* The descriptor of every circuit: no ports, and a unit function that runs the members. */
const UnitInfo CircuitUnitInfo = {.next = nullptr,
                                  .typeID = 0,
                                  .name = "Circuit",
                                  .instanceSize = sizeof(VexaCircuit),
                                  .numPorts = 0,
                                  .ports = nullptr,
                                  .initFunc = nullptr,
                                  .termFunc = nullptr,
                                  .unitFunc = VexaB_CircuitFunction};

int32_t VexaB_StartUnit(VexaContext *context, VexaUnit *unit) {
    if (vx_load(unit->parent) != nullptr) return VXERR_IN_CIRCUIT;
    if (vx_load(unit->state) > 1) return 0; /* already running: keeps its place */
    int32_t result = VexaS_SetUnitPortDefaults(context, unit, DEFAULT_AT_START);
    if (result < 0) return result;
    uint8_t priority = vx_load(unit->priority);
    if (priority > 2) priority = 2;
    DLLNode *lists = unit->rate == RATE_AUDIO ? context->vxb_AudioLists : context->vxb_ControlLists;
    DLL_InsertBefore(&lists[priority], &unit->header.vxt_Node);
    context->vxb_RunListGeneration++; /* the next batch plans again */
    unit->autoStop = 0;
    vx_store(unit->state, static_cast<uint8_t>(UNIT_RUNNING));
    return 0;
}

namespace {
void VXLL_FlattenCircuitOutputs(VexaCircuit *circuit) {
    DLLNode *list = &circuit->audioMembers;
    for (DLLNode *node = list->next; node != list; node = node->next)
        VXLL_FlattenOutputs(AsUnit(node));
}

void VXLL_FlattenOutputs(VexaUnit *unit) {
    if (unit->isCircuit) {
        VXLL_FlattenCircuitOutputs(reinterpret_cast<VexaCircuit *>(unit));
        return;
    }
    const UnitInfo *info = unit->descriptor;
    for (int32_t i = 0; i < info->numPorts; i++) {
        const PortInfo *port = &info->ports[i];
        if ((port->portKind & PORT_OUTPUT) == 0) continue;
        for (int32_t part = 0; part < port->numParts; part++) {
            float *values = VexaS_GetOutput(unit, port, part)->values;
            const float last = values[kFramesPerBlock - 1];
            for (int j = 0; j < kFramesPerBlock - 1; j++) vx_store_float(values[j], last);
        }
    }
}
} // namespace

int32_t VexaB_StopUnit(VexaContext *context, VexaUnit *unit) {
    if (vx_load(unit->parent) != nullptr || vx_load(unit->state) <= 1) return 0;
    DLL_Remove(&unit->header.vxt_Node);
    context->vxb_RunListGeneration++;
    unit->autoStop = 0;
    vx_store(unit->state, static_cast<uint8_t>(UNIT_STOPPED));
    VXLL_FlattenOutputs(unit);
    return 0;
}

void VXLL_AutoStopUnit(VexaUnit *unit) {
    VexaUnit *parent;
    while ((parent = vx_load(unit->parent)) != nullptr) unit = parent;
    unit->autoStop |= 1;
}

namespace {
int32_t VexaB_AutoStopUnitList(VexaContext *context, DLLNode *list) {
    DLLNode *node = list->next;
    while (node != list) {
        DLLNode *next = node->next;
        VexaUnit *unit = AsUnit(node);
        if (unit->autoStop & 1) {
            unit->autoStop &= static_cast<uint8_t>(~1u);
            VexaB_StopUnit(context, unit);
        }
        node = next;
    }
    return 0;
}
} // namespace

int32_t VexaB_SynthesizeBatch(VexaContext *context, const float *inputBuffer,
                              float *outputBuffer, double load) {
    /* The batch is running (odd serial). A front end that disconnects a unit and then finds
     * the serial even (VexaF_WaitForBatchBoundary) made its read-modify-write before this one,
     * which therefore sees its stores: no block below can use the old pointer. */
    __atomic_add_fetch(&context->vxb_BatchSerial, 1u, __ATOMIC_ACQ_REL);

    /* 1-2: take in what the front end sent, then execute everything due by this tick. */
    VexaB_ProcessCommandsFromFront(context);
    const int32_t tick = context->vxb_TickCount;
    EB_ExecuteNodes(&context->vxb_EventBuffer, tick);

    /* 3: control-rate units run once per batch. */
    VexaB_UpdatePlan(context);
    for (int32_t priority = 2; priority >= 0; priority--) VexaB_RunList(context, 3 + priority);

    /* 4: the I/O units read and write the device buffers through the cursors. */
    const int32_t inputStep = context->vxf_InputChannels * kFramesPerBlock;
    const int32_t outputStep = context->vxf_OutputChannels * kFramesPerBlock;
    context->vxb_InputCursor = inputBuffer;
    context->vxb_OutputCursor = outputBuffer;
    if (outputBuffer != nullptr) {
        const int32_t count = outputStep * kBlocksPerTick;
        for (int32_t i = 0; i < count; i++) outputBuffer[i] = 0.0f;
    }

    /* 5: eight blocks. */
    const double maxUsage = context->vxb_MaxUsage;
    uint32_t frameCount = context->vxb_FrameCount;
    for (int32_t block = 0; block < kBlocksPerTick; block++) {
        if (load < maxUsage) { /* an overloaded (or NaN) load leaves the block silent */
            ControlToAudio(&context->vxb_ControlToAudioList, block);
            VexaB_RunList(context, 2);
            VexaB_RunList(context, 1);
            VexaB_RunList(context, 0);
            AudioToControl(&context->vxb_AudioToControlList, block);
        } else {
            vx_store(context->vxb_SilencedBlocks, context->vxb_SilencedBlocks + 1u);
        }
        if (inputBuffer != nullptr) context->vxb_InputCursor += inputStep;
        if (outputBuffer != nullptr) context->vxb_OutputCursor += outputStep;
        frameCount += kFramesPerBlock;
        vx_store(context->vxb_FrameCount, frameCount);
    }
    context->vxb_InputCursor = nullptr;
    context->vxb_OutputCursor = nullptr;

    /* 6: units that asked to stop leave at the end of the batch. */
    for (int32_t priority = 2; priority >= 0; priority--) {
        VexaB_AutoStopUnitList(context, &context->vxb_ControlLists[priority]);
        VexaB_AutoStopUnitList(context, &context->vxb_AudioLists[priority]);
    }

    /* 7: the text trace of the print-output mode is printed by the batch's runner. */

    /* A thing handed back last is followed by a spacer, so that the front end can free it. */
    VexaB_FollowReturnedThing(context);

    /* 8-9 */
    vx_store(context->vxb_TickCount,
             static_cast<int32_t>(static_cast<uint32_t>(tick) + 1u));
    __atomic_add_fetch(&context->vxb_BatchSerial, 1u, __ATOMIC_RELEASE); /* the batch is over */
    return 0;
}
