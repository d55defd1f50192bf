/*
 * vx_context.h - the context aggregate: one record per engine instance, with the back end's
 * fields (vxb_), the bridge (vxs_), the front end's thing table and counters (vxf_) and its
 * identity (vxc_). Every layer's functions take it; this header gives its layout.
 */
#ifndef VX_CONTEXT_H
#define VX_CONTEXT_H

#include "vx_records.h"

/* ---- The context ------------------------------------------------------------------ */
struct VexaContext {
    /* Identity */
    uint32_t vxc_Magic;
    uint32_t vxc_ID;

    /* Engine section */
    DLLNode vxb_ControlLists[3];
    DLLNode vxb_AudioLists[3];
    DLLNode vxb_ControlToAudioList;
    DLLNode vxb_AudioToControlList;
    uint32_t vxb_RandomSeed;
    float *vxb_OutputCursor;
    const float *vxb_InputCursor;
    void *vxf_Host;
    EventBuffer vxb_EventBuffer;
    SawMultiTables vxb_SawTables;
    float *vxf_OfflineBuffer;
    void *vxf_Stream;
    uint32_t vxf_CallbackCount;
    int32_t vxf_DebugInt;
    float vxf_DebugFloat;
    double vxb_FrameRate;
    double vxb_FramePeriod;
    float vxb_FreqScale;
    uint32_t vxf_Flags;
    uint32_t vxf_TraceLevel;
    float vxb_MaxUsage;
    uint32_t vxb_SilencedBlocks; /* blocks left silent by the overload guard */
    uint32_t vxf_FifoFullWaits;  /* sends that found the command FIFO full and waited */
    int32_t vxf_InputDevice;
    int32_t vxf_InputChannels;
    int32_t vxf_OutputDevice;
    int32_t vxf_OutputChannels;
    /* A start without a device on the default devices does not look them up: they matter only
     * when a later shared start names devices, and are looked up then. While that has not
     * happened, vxf_DevicesDeferred is set and vxf_StartAsked holds the flags the start was
     * given; vxf_InputDevice and vxf_OutputDevice are -1. */
    bool vxf_DevicesDeferred;
    uint32_t vxf_StartAsked;
    uint32_t vxb_FrameCount;
    int32_t vxb_TickCount;
    UnitInfo *vxf_UnitTypes;

    /* Bridge section */
    AtomicFIFO vxs_FrontToBack;
    FrontToBackEntry vxs_FrontToBackEntries[VX_F2B_ENTRIES];
    AtomicSLink vxs_BackToFront;
    int32_t vxs_BackError;

    /* Front section */
    int32_t vxf_InitCount;
    int32_t vxf_StartCount;
    int32_t vxf_ThingCount;
    DLLNode vxf_FreeQueueNodes;
    DLLNode vxf_FreeCommandNodes;
    int32_t vxf_AllocCount;
    VexaThing *vxf_Things[VX_MAX_THINGS];
    uint16_t vxf_Serials[VX_MAX_THINGS];

    /* Implementation fields beyond the record's named ones. */
    int32_t vxf_FramesInCallback; /* frames PortAudio handed to the last callback */
    /* Spin lock word (0 free) guarding the thing table, the serials and vxf_ThingCount
     * against client threads that create and delete at the same time (engine/vx_core). */
    int32_t vxf_ThingLock;
    int32_t vxf_StreamEnded; /* set by the callback when it asked PortAudio to stop */
    /* Set by a wait that saw no callback for VX_STREAM_STALL_MS while the stream was open (the
     * audio server died or hangs); cleared by the next callback. Waits return at once while
     * it is set. */
    int32_t vxf_StreamStalled;
    uint32_t vxf_StreamDeaths; /* VexaF_AudioServerDeaths() when the stream was opened */
    uint32_t vxf_CallbacksInside; /* device callbacks running now (0 or 1) */
    /* Odd while a batch runs, even between batches (synth/vx_task). Before it frees a unit,
     * the front end waits for a batch in progress to end, since a running block may still
     * read the unit's outputs through a pointer loaded before the disconnection. */
    uint32_t vxb_BatchSerial;
    /* Unconnected bus outputs of this context's units add into this bucket; nothing reads
     * it. One per context, so that two contexts' audio threads never write the same memory. */
    float vxb_WriteOnlyBucket[8];
    /* The gate of the public calls and the lifecycle lock (engine/vx_call): the number of
     * calls working on the engine now, whether new ones may enter (open from the end of the
     * first initialisation to the start of the last termination), and the spin lock word that
     * serialises initialise, terminate, start and stop. */
    int32_t vxf_CallsInFlight;
    int32_t vxf_Gate;
    int32_t vxf_LifecycleLock;
    /* Counts every opening and closing of the device stream, so that a wait for a tick sees
     * a stream that was closed (and perhaps opened again) while it slept. */
    uint32_t vxf_StreamSerial;
    /* The back-to-front list always keeps its last node, so a thing sent back last would stay
     * unfreed until the next node follows. The back end follows it at once (or at the end of
     * the next batch) with one of these two nodes of its own; vxs_SpacerInList[i] is 1 from
     * its sending until the front end has taken it off the list. vxb_LastSentThing tells the
     * back end that the last node it sent is a thing. */
    DLLNode vxs_Spacers[2];
    int32_t vxs_SpacerInList[2];
    int32_t vxb_LastSentThing;
    /* The execution plan of the run lists (synth/vx_plan.cpp), allocated with the back end's
     * records. The front end counts every change of a connection or signal type in
     * vxf_PlanGeneration, the back end every change of a run list in vxb_RunListGeneration; a
     * batch that finds either moved plans again. vxf_GroupingOff is 1 when units must run one
     * by one (a switch for tests and measurements). */
    struct VexaPlan *vxb_Plan;
    /* The band-limited tables one after another (table t at t x (cycle length + 1)), a copy
     * made with the plan, for group functions whose lanes read different tables; null when the
     * set is not the standard 8 x 1024. */
    const float *vxb_SawFlat;
    uint32_t vxf_PlanGeneration;
    uint32_t vxb_RunListGeneration;
    int32_t vxf_GroupingOff;
    /* Threads that compute the batches (Vexa_SetRenderThreads; 0 is read as 1), and the
     * records of the workers beside the batch's own thread (synth/vx_crew.cpp). */
    int32_t vxf_RenderThreads;
    struct VexaCrew *vxb_Crew;
    int32_t vxf_PartUnits; /* units a part aims at; 0: the plan's own size (a test switch) */
    /* The test hook of the counted allocator (engine/vx_tools): while vxf_AllocFailAt is not 0,
     * every attempt adds 1 to vxf_AllocAttempts (atomically) and takes the sum as its number;
     * the attempt whose number is vxf_AllocFailAt fails as if memory had run out. */
    alignas(8) int64_t vxf_AllocAttempts;
    alignas(8) int64_t vxf_AllocFailAt;
};

#endif /* VX_CONTEXT_H */
