/*
 * vx_engine.h - the engine's shared internal types: the context, things and tokens, the
 * bridge structures, unit and port descriptors, port records, command and queue nodes.
 * Nothing here is exported from the library; only velto.h is public.
 */
#ifndef VX_ENGINE_H
#define VX_ENGINE_H

#include <cstddef>
#include <cstdint>

#include "velto.h"

/* ---- Relaxed and ordered access to fields shared by the two sides ----------------- */
/* The front end and the back end meet in a few single-word fields (tick count, port
 * connection pointers, signal types, unit state). They are plain fields so that records
 * keep their layout; these helpers read and write them as atomic words. */
template <typename T> inline T vx_load(const T &field) {
    T value;
    __atomic_load(&field, &value, __ATOMIC_RELAXED);
    return value;
}
template <typename T> inline void vx_store(T &field, T value) {
    __atomic_store(&field, &value, __ATOMIC_RELAXED);
}
template <typename T> inline T vx_load_acquire(const T &field) {
    return __atomic_load_n(&field, __ATOMIC_ACQUIRE);
}
template <typename T> inline void vx_store_release(T &field, T value) {
    __atomic_store_n(&field, value, __ATOMIC_RELEASE);
}
inline float vx_load_float(const float &field) {
    float value;
    __atomic_load(&field, &value, __ATOMIC_RELAXED);
    return value;
}
inline void vx_store_float(float &field, float value) {
    __atomic_store(&field, &value, __ATOMIC_RELAXED);
}

/* ---- Doubly linked list ------------------------------------------------------------ */
struct DLLNode {
    DLLNode *next;
    DLLNode *previous;
};

/* Records searched by name or number carry these two words after the node. */
struct DLLNamedNode {
    DLLNode node;
    const char *name;
    int32_t id;
};

void DLL_InitNode(DLLNode *node);
void DLL_InitList(DLLNode *list);
int DLL_IsEmpty(const DLLNode *list);
void DLL_Connect(DLLNode *a, DLLNode *b);
void DLL_InsertAfter(DLLNode *node, DLLNode *newNode);
void DLL_InsertBefore(DLLNode *node, DLLNode *newNode);
void DLL_Remove(DLLNode *node);
DLLNode *DLL_RemoveFirst(DLLNode *list);
void DLL_AddListToTail(DLLNode *list, DLLNode *other);
int32_t DLL_CountNodes(const DLLNode *list);
int DLL_FindNodeByName(DLLNode *list, const char *name, DLLNode **outNode);
int DLL_FindNodeByID(DLLNode *list, int32_t id, DLLNode **outNode);
int32_t DLL_CountNodesByName(DLLNode *list, const char *name);

/* ---- Single-producer single-consumer FIFO ----------------------------------------- */
struct AtomicFIFO {
    uint32_t numEntries;
    uint32_t writeIndex;
    uint32_t readIndex;
    void *entries;
    uint32_t entrySize;
};

int32_t AFIFO_Init(AtomicFIFO *fifo, uint32_t numEntries, uint32_t entrySize, void *entries);
int AFIFO_IsFull(AtomicFIFO *fifo);
int AFIFO_IsEmpty(AtomicFIFO *fifo);
void *AFIFO_NextWritable(AtomicFIFO *fifo);
int32_t AFIFO_AdvanceWriter(AtomicFIFO *fifo);
void *AFIFO_NextReadable(AtomicFIFO *fifo);
int32_t AFIFO_AdvanceReader(AtomicFIFO *fifo);

/* ---- Single-producer single-consumer linked list with a sentinel ------------------- */
/* A node on the list uses its first word as the link and its second word as its return
 * kind (the two words of DLLNode). */
struct AtomicSLink {
    DLLNode *head; /* written only by the consumer */
    DLLNode *tail; /* written only by the producer */
};

int32_t ASLINK_Init(AtomicSLink *list, DLLNode *sentinel);
void ASLINK_AddNode(AtomicSLink *list, DLLNode *node);
DLLNode *ASLINK_RemoveNode(AtomicSLink *list);
DLLNode *ASLINK_NextReadable(AtomicSLink *list);

/* ---- Bridge entry and node kinds --------------------------------------------------- */
enum : uint32_t { F2B_SCHEDULE = 0, F2B_UNREFERENCE = 1, F2B_DEBUG = 2 };
enum : uint32_t {
    B2F_FREE_NODE = 0,
    B2F_COMMAND_NODE = 1,
    B2F_FREE_THING = 2,
    B2F_QUEUE_NODE = 3,
    B2F_SPACER = 4 /* one of the context's two spacers: a thing is never left last */
};

struct FrontToBackEntry {
    uint32_t kind;
    void *target;
};

constexpr uint32_t VX_F2B_ENTRIES = 1024;

/* ---- Things --------------------------------------------------------------------- */
enum : uint8_t { VXT_UNIT = 0, VXT_SAMPLE = 1, VXT_ENVELOPE = 2, VXT_TABLE = 3 };

constexpr int32_t VX_MAX_THINGS = 2048;
constexpr uint32_t VX_CONTEXT_MAGIC = 0xA358F817u;

/* Common header of every thing. vxt_RefCount counts holders taken by the front end,
 * vxt_ReleaseCount the holders let go by the back end. vxt_Outstanding is their
 * difference, updated atomically by both sides; whichever side brings it to 0 frees the
 * thing, so it is freed exactly once. Use the helpers below, never the fields directly. */
struct VexaThing {
    DLLNode vxt_Node;
    int32_t vxt_Token;
    int32_t vxt_RefCount;
    int32_t vxt_ReleaseCount;
    uint8_t vxt_Type;
    int32_t vxt_Outstanding;
};

/* Samples, envelopes and tables. Samples use all four fields. */
struct VexaDataThing {
    VexaThing header;
    uint32_t vxt_NumFrames;
    void *vxt_Data;
    uint8_t vxt_BytesPerSample;
    uint8_t vxt_ChannelsPerFrame;
};

/* ---- Units ------------------------------------------------------------------------ */
enum : uint8_t {
    PORT_INPUT = 1,
    PORT_OUTPUT = 2,
    PORT_VARIABLE = 4,
    PORT_QUEUE = 8,
    PORT_TABLE = 16,
    PORT_BUS_INPUT = 32,
    PORT_BUS_OUTPUT = 64
};

enum : uint8_t { RATE_AUDIO = 0, RATE_CONTROL = 1 };
enum : uint8_t { UNIT_STOPPED = 0, UNIT_RUNNING = 2 };
enum : uint8_t { DEFAULT_AT_CREATION = 1, DEFAULT_AT_START = 2 };

struct VexaUnit;
typedef int32_t (*VexaInitFunc)(VexaContext *context, VexaUnit *unit, int32_t argument);
typedef int32_t (*VexaTermFunc)(VexaContext *context, VexaUnit *unit);
typedef void (*VexaUnitFunc)(VexaContext *context, VexaUnit *unit);

struct PortInfo {
    uint32_t portID;
    float defaultValue;
    uint8_t defaultMask;
    uint8_t portKind;
    uint8_t signalType;
    uint8_t numParts;
    uint16_t offset;
    /* Queue ports only: the kind of data thing the unit plays (VXT_SAMPLE or VXT_ENVELOPE). */
    uint8_t queueData = 0;
};

struct UnitInfo {
    UnitInfo *next;
    uint32_t typeID;
    uint16_t instanceSize;
    uint16_t numPorts;
    const PortInfo *ports;
    VexaInitFunc initFunc;
    VexaTermFunc termFunc;
    VexaUnitFunc unitFunc;
};

/* The unit record. The type's instance data (port records and private state) follows;
 * each unit type declares a struct whose first member is a VexaUnit. */
struct VexaUnit {
    VexaThing header;
    const UnitInfo *descriptor;
    VexaUnit *parent;
    VexaUnitFunc unitFunc;
    uint8_t priority;
    uint8_t rate;
    uint8_t isCircuit;
    uint8_t state;
    uint8_t autoStop;
    /* Start commands sent for this unit and not yet executed by the back end: raised by the
     * sender under the peer lock, lowered by the back end once the start has run. A unit
     * with a start in flight cannot join a circuit, since the back end may be linking it
     * into a run list at that very moment. */
    int32_t startsInFlight;
};

/* Port records, one per part. */
struct OutputPort;
struct InputPort {
    DLLNode node;           /* membership in the connected output's connectedInputs */
    float *source;          /* the 8 values read this block */
    float values[8];        /* own set values */
    OutputPort *connectedOutput;
    uint8_t signalType;
};

struct OutputPort {
    DLLNode node; /* membership in a rate-crossing list */
    float values[8];
    DLLNode connectedInputs;
    float lastControlValue;
    float rateView[8];
};

struct VariablePort {
    float value;
    uint8_t signalType;
};

struct BusInputPort {
    DLLNode writers;
    float sums[8];
};

struct BusOutputPort {
    DLLNode node; /* membership in the bus input's writers */
    BusInputPort *connectedBusInput;
    float *sumTarget;
};

struct QueuePort {
    uint8_t *regionStart;
    uint8_t *currentFrame;
    uint32_t regionFrames;
    uint32_t framesLeft;
    uint32_t frameCount;
    uint16_t flags;
    uint8_t signalType;
    uint8_t channelsPerFrame;
    VexaThing *dataThing;
    DLLNode pending;
};

struct TablePort {
    VexaThing *table;
    float halfRange;
};

/* Circuit record: a unit without ports whose function runs its members. */
struct VexaCircuit {
    VexaUnit unit;
    DLLNode controlMembers;
    DLLNode audioMembers;
};


/* ---- Command and queue nodes ----------------------------------------------------- */
enum : int8_t {
    CMD_SET_PORT = 0,
    CMD_START_UNIT = 1,
    CMD_STOP_UNIT = 2,
    CMD_CLEAR_QUEUE = 3,
    CMD_QUEUE_DATA = 4,
    /* Internal: swap the table of a table port on the back end (Vexa_UseTable). */
    CMD_USE_TABLE = 5
};

struct CommandNode {
    DLLNode node;
    int32_t time;
    uint16_t part;
    int8_t opcode;
    float value;
    VexaThing *thing;
    void *payload;
    void *portTarget;
};

struct QueueNode {
    DLLNode node;
    uint32_t flags;
    VexaThing *dataThing;
    uint8_t *firstFrame;
    uint32_t numFrames;
};

/* Envelope frame as clients read and write it. */
struct EnvelopeFrame {
    double duration;
    double value;
};

/* ---- Event buffer ----------------------------------------------------------------- */
constexpr int32_t EB_NUM_SLOTS = 256;
struct EventBuffer {
    int32_t nextTime;
    DLLNode slots[EB_NUM_SLOTS];
    VexaContext *context;
};

/* ---- Band-limited multiwave table set -------------------------------------------- */
struct SawMultiTables {
    int32_t numTables;
    int32_t cycleLength;
    float halfLength;
    float **tables;
};

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
    int32_t vxf_InputDevice;
    int32_t vxf_InputChannels;
    int32_t vxf_OutputDevice;
    int32_t vxf_OutputChannels;
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
};

/* ==== Part functions, grouped by source =========================================== */

/* engine/vx_call: the entry of public calls and the lifecycle lock.
 * A public call that works on the engine opens with a VexaCall: it validates the context
 * (-63), enters the gate (-83 when the engine is not initialised or is being terminated),
 * drains what the back end returned (a posted back-end error is the call's result, once) and
 * takes the peer lock, in the order the mode names; everything taken is given back when the
 * guard goes out of scope, on every path. */
enum VexaCallMode : uint8_t {
    VX_CALL_DRAIN_LOCK, /* drain, then take the peer lock: most calls */
    VX_CALL_LOCK_DRAIN, /* take the peer lock, then drain */
    VX_CALL_LOCK,       /* the peer lock without draining */
    VX_CALL_DRAIN,      /* drain without the peer lock */
    VX_CALL_GATE,       /* neither: the call is only counted against termination */
};
class VexaCall {
  public:
    VexaCall(VexaContext *context, VexaCallMode mode);
    ~VexaCall();
    VexaCall(const VexaCall &) = delete;
    VexaCall &operator=(const VexaCall &) = delete;
    /* 0 when the call may go on, otherwise the code it returns. */
    int32_t status() const { return status_; }
    /* The validated context (null when status() is -63). */
    VexaContext *context() const { return context_; }
    /* Takes the peer lock later in the call (0 or the lock's error), or gives it back early. */
    int32_t Lock();
    void Unlock();

  private:
    VexaContext *context_ = nullptr;
    int32_t status_ = 0;
    bool entered_ = false;
    bool locked_ = false;
};
int32_t VexaF_EnterEngine(VexaContext *context);
void VexaF_LeaveEngine(VexaContext *context);
void VexaF_OpenGate(VexaContext *context);
void VexaF_ShutGate(VexaContext *context);
bool VexaF_GateOpen(const VexaContext *context);
void VexaF_WaitForCallsToLeave(VexaContext *context);
void VexaF_LockLifecycle(VexaContext *context);
void VexaF_UnlockLifecycle(VexaContext *context);
struct VexaLifecycleLock {
    VexaContext *context;
    explicit VexaLifecycleLock(VexaContext *c) : context(c) { VexaF_LockLifecycle(c); }
    ~VexaLifecycleLock() { VexaF_UnlockLifecycle(context); }
    VexaLifecycleLock(const VexaLifecycleLock &) = delete;
    VexaLifecycleLock &operator=(const VexaLifecycleLock &) = delete;
};

/* engine/vx_errs */
/* (Vexa_ErrorCodeToText and Vexa_ErrorCodeToTextJava are public.) */

/* engine/vx_tools: counted allocation, event log, memory dump */
void *VexaF_AllocateMemory(VexaContext *context, size_t size, const char *tag);
void VexaF_FreeMemory(VexaContext *context, void *block);
void VexaF_DumpMemory(const void *address, int32_t numBytes);
void VXLL_ClearEventLog(uint32_t flags);
void VexaS_LogEvent(int32_t value1, int32_t value2, int32_t value3, float value4);
void VexaS_DumpEventLog();

/* engine/vx_core: contexts, things, lifecycle, unit start and stop */
VexaContext *VexaF_ValidateContext(VexaContext *pointer);
int32_t VexaF_ValidateToken(VexaContext *context, int32_t token, VexaThing **outThing);
int32_t VexaF_ValidateThing(VexaContext *context, int32_t token, uint8_t kind,
                            VexaThing **outThing);
int32_t VexaF_CreateThing(VexaContext *context, size_t size, uint8_t kind);
int32_t VexaF_DeleteThing(VexaContext *context, VexaThing *thing);
int32_t VexaF_FreeThing(VexaContext *context, VexaThing *thing);
int32_t VexaF_DecrementReference(VexaContext *context, VexaThing *thing);
void VexaF_AddReference(VexaThing *thing);
void *VexaF_AllocateQueuedNode(VexaContext *context, DLLNode *pool, size_t size);
/* The thing in a slot (for the token just created by VexaF_CreateThing). */
VexaThing *VexaF_ThingFromToken(VexaContext *context, int32_t token);
/* The thing table's lock (vxf_ThingLock), for code that walks vxf_Things while client
 * threads may create things. Not re-entrant; never held while calling back into vx_core. */
void VexaF_LockThings(VexaContext *context);
void VexaF_UnlockThings(VexaContext *context);
/* Waits for a tick (computes up to it without a device). takeBack: a public call's wait, which
 * also takes back what the audio thread returned while it sleeps (never inside a call that
 * holds the thing table's lock). */
int32_t VexaF_SleepUntilTick(VexaContext *context, int32_t tick, bool takeBack = false);
int32_t VexaS_CalcUntilTick(VexaContext *context, int32_t tick);
int32_t VexaF_RequestUnitStop(VexaContext *context, int32_t tick, VexaUnit *unit);
/* Returns once no batch that started before the call is still running (vxb_BatchSerial). */
void VexaF_WaitForBatchBoundary(VexaContext *context);

/* synth/evntbufr (front-end side of commands): takes a command node from the pool, fills it,
 * adds the unit reference and sends it; on a failed send the node goes back to its pool and
 * the reference is dropped. The caller holds the peer lock. */
int32_t VexaF_SendCommand(VexaContext *context, int8_t opcode, int32_t time, VexaUnit *unit,
                          void *portTarget, uint16_t part, float value, void *payload);

/* engine/vx_back4 (the back end's release of a thing) */
void VXLL_UnReference(VexaContext *context, VexaThing *thing);
/* Sends a free spacer behind a thing that is the back-to-front list's last node (back end). */
void VexaB_FollowReturnedThing(VexaContext *context);

/* engine/vx_bridge */
int32_t VexaS_InitBridge(VexaContext *context);
int32_t VexaS_TermBridge(VexaContext *context);
int32_t VexaS_SendToBack(VexaContext *context, uint32_t kind, void *target);
void VexaS_SendToFront(VexaContext *context, DLLNode *node, uint32_t kind);
int32_t VexaF_ProcessCommandsFromBack(VexaContext *context);
int32_t VexaF_ProcessBackNode(VexaContext *context, DLLNode *node);
void VexaF_FreeFreeNodes(VexaContext *context);
void VexaB_ProcessCommandsFromFront(VexaContext *context);
int32_t VexaS_Init(VexaContext *context);
int32_t VexaS_Term(VexaContext *context);

/* engine/vx_linux (host services) */
int32_t VXHost_Initialize(VexaContext *context);
int32_t VXHost_Terminate(VexaContext *context);
int32_t VXHost_ForbidPeers(VexaContext *context);
int32_t VXHost_PermitPeers(VexaContext *context);
int32_t VXHost_StartBenchTimer();
int32_t VXHost_StopBenchTimer();
double VXHost_GetBenchTimer();
int32_t VXHost_Debug(VexaContext *context, int32_t code, int32_t arg);

/* engine/vx_paudio and vx_devs */
int VexaCallback(const void *inputBuffer, void *outputBuffer, unsigned long framesPerBuffer,
                 double outTime, void *userData);
int32_t VexaF_StartAudio(VexaContext *context, uint32_t flags, double *frameRate);
int32_t VexaF_StopAudio(VexaContext *context);
int32_t VexaF_IsEngineRunning(VexaContext *context);
int32_t VXAudio_SleepUntilTick(VexaContext *context, int32_t tick,
                               void (*onWake)(VexaContext *context) = nullptr);
/* The stream's CPU load without validating the context; 0.0 when no stream is open. */
double VexaB_GetUsage(VexaContext *context);
int32_t VexaF_DefaultInputDevice();
int32_t VexaF_DefaultOutputDevice();
int32_t VexaF_CountDevices();

/* engine/vx_debug */
void VXLL_ReportThings(VexaContext *context);
void VexaB_Debug(VexaContext *context);
void Vexa_DisplaySignal(float value);
/* Prints the text trace of one batch (64 lines) from the batch's output buffer. */
void VexaB_PrintTrace(VexaContext *context, const float *outputBuffer);

/* synth/vx_task: batch, unit start and stop, auto-stop, queue stepping */
int32_t VexaB_SynthesizeBatch(VexaContext *context, const float *inputBuffer,
                              float *outputBuffer);
int32_t Vexa_ExecUnitList(VexaContext *context, DLLNode *list);
void Vexa_CircuitFunction(VexaContext *context, VexaUnit *circuit);
int32_t VexaB_StartUnit(VexaContext *context, VexaUnit *unit);
int32_t VexaB_StopUnit(VexaContext *context, VexaUnit *unit);
void VXLL_FlattenOutputs(VexaUnit *unit);
void VXLL_FlattenCircuitOutputs(VexaCircuit *circuit);
void VXLL_AutoStopUnit(VexaUnit *unit);
int32_t Vexa_AutoStopUnitList(VexaContext *context, DLLNode *list);

/* synth/evntbufr */
int32_t EB_Init(EventBuffer *eventBuffer, int32_t startTime, VexaContext *context);
void EB_ScheduleNode(EventBuffer *eventBuffer, int32_t time, CommandNode *node);
void EB_ExecuteNodes(EventBuffer *eventBuffer, int32_t time);
void EB_ExecuteNextSlot(EventBuffer *eventBuffer);
void EB_InsertByTime(DLLNode *slot, CommandNode *node);
void EB_Clear(EventBuffer *eventBuffer);
void EB_Term(EventBuffer *eventBuffer);
int32_t EB_ProcessNode(VexaContext *context, CommandNode *node);
int32_t EB_FreeNode(VexaContext *context, CommandNode *node);

/* synth/vx_make: unit, circuit and thing creation, the catalogue */
void VexaF_LoadUnits(VexaContext *context);
const UnitInfo *VexaF_LookupUnitInfo(VexaContext *context, uint32_t typeID);
int32_t VexaF_CreateUnitPorts(VexaContext *context, VexaUnit *unit);
int32_t VexaS_ClearCircuit(VexaContext *context, VexaCircuit *circuit);
extern const UnitInfo CircuitUnitInfo;

/* synth/vx_shared: port record access and defaults */
int32_t VexaS_SetUnitPortDefaults(VexaContext *context, VexaUnit *unit, uint8_t mask);
int32_t VexaS_SetCircuitListDefaults(VexaContext *context, DLLNode *list, uint8_t mask);
InputPort *VexaS_GetInput(VexaUnit *unit, const PortInfo *portInfo, int32_t part);
OutputPort *VexaS_GetOutput(VexaUnit *unit, const PortInfo *portInfo, int32_t part);
VariablePort *VexaS_GetVariable(VexaUnit *unit, const PortInfo *portInfo, int32_t part);
BusInputPort *VexaF_GetBusInput(VexaUnit *unit, const PortInfo *portInfo, int32_t part);
BusOutputPort *VexaF_GetBusOutput(VexaUnit *unit, const PortInfo *portInfo, int32_t part);
QueuePort *VexaS_GetQueue(VexaUnit *unit, const PortInfo *portInfo);
TablePort *VexaS_GetTable(VexaUnit *unit, const PortInfo *portInfo);
int32_t VexaF_FindHashedPortInfo(VexaContext *context, int32_t unitToken, uint32_t portID,
                                 uint8_t kindMask, VexaUnit **outUnit,
                                 const PortInfo **outPortInfo);
int32_t VexaS_ConvertSignalToNative(VexaContext *context, uint8_t signalType, uint8_t rate,
                                    float value, float *outNative);
int32_t VexaS_ConvertFP_16_ClipS(float value);

/* port calls (with vx_core) */
void VexaB_SetPort(VexaContext *context, VexaUnit *unit, const PortInfo *portInfo,
                   int32_t part, float value);
int32_t VexaF_DisconnectAllPorts(VexaContext *context, VexaUnit *unit);
int32_t VexaF_ConnectOutputToInput(VexaContext *context, VexaUnit *sourceUnit,
                                   OutputPort *output, VexaUnit *destUnit, InputPort *input);
int32_t VexaF_ConnectBusOutputToBusInput(VexaContext *context, VexaUnit *sourceUnit,
                                         BusOutputPort *busOutput, VexaUnit *destUnit,
                                         BusInputPort *busInput);

/* data/vx_queue */
int32_t VXLL_NextChannelFrame(VexaContext *context, QueuePort *port, uint32_t frameBytes);
int32_t VXLL_NextChannelNode(VexaContext *context, QueuePort *port);
void VexaB_QueueData(VexaContext *context, QueuePort *port, QueueNode *node);
void VexaB_ClearQueue(VexaContext *context, QueuePort *port);
/* Front-end teardown of a queue port of a unit being freed. */
void VexaF_ReleaseQueuePort(VexaContext *context, QueuePort *port);

/* data/vx_samps */
uint32_t VexaS_FramesToBytes(const VexaDataThing *sample, uint32_t numFrames);
int32_t VexaF_ReadWriteSample(VexaContext *context, int32_t sampleToken, uint32_t startFrame,
                              uint32_t numFrames, void *buffer, uint32_t maxBytes,
                              int32_t dataType, int32_t write);

/* data/vx_table */
int32_t VexaF_WriteTable(VexaContext *context, int32_t tableToken, uint32_t startFrame,
                         uint32_t numFrames, const void *buffer, uint32_t maxBytes,
                         int32_t doubles);
/* Back-end execution of CMD_USE_TABLE. */
void VexaB_UseTable(VexaContext *context, TablePort *port, VexaThing *table);

/* units/vxu_* helpers shared by units */
uint32_t VXU_CalcRandom(VexaContext *context);

/* units/vx_sawbl */
int32_t VX_SawBL_Init(VexaContext *context, SawMultiTables *set);
int32_t CreateMultiWaveSawtooth(VexaContext *context, SawMultiTables *set,
                                int32_t numberOfTables, int32_t cycleLength);
float NormalizeArray(float *values, int32_t count);
int32_t VX_SawBL_Term(VexaContext *context, SawMultiTables *set);
float VX_SawBL_PhaseIncToLevel(float increment);
float VX_SawBL_CalculateSawtooth(const SawMultiTables *set, float phase, float increment,
                                 float level);

/* The catalogue: every unit type's loader, in the order VexaF_LoadUnits links them. */
#define VX_UNIT_CATALOGUE(X)                                                               \
    X(SawtoothOscillator)                                                                  \
    X(PeriodDetector)                                                                      \
    X(LineOut)                                                                             \
    X(ChannelOut)                                                                          \
    X(SampleRead16F1)                                                                      \
    X(SampleRead16V1)                                                                      \
    X(SampleWrite16F1)                                                                     \
    X(BusRead)                                                                             \
    X(BusWrite)                                                                            \
    X(Add)                                                                                 \
    X(PulseOscillator)                                                                     \
    X(SquareOscillator)                                                                    \
    X(TriangleOscillator)                                                                  \
    X(RedNoise)                                                                            \
    X(PinkNoise)                                                                           \
    X(ImpulseOscillator)                                                                   \
    X(Filter2o2p2z)                                                                        \
    X(FilterLowPass)                                                                       \
    X(FilterHighPass)                                                                      \
    X(FilterBandPass)                                                                      \
    X(FilterBandStop)                                                                      \
    X(FilterPeakingEQ)                                                                     \
    X(FilterLowShelf)                                                                      \
    X(FilterHighShelf)                                                                     \
    X(FilterSVF)                                                                           \
    X(FilterOldSVF)                                                                        \
    X(SineOscillator)                                                                      \
    X(EnvelopeLinear)                                                                      \
    X(WaveOscillator)                                                                      \
    X(WhiteNoise)                                                                          \
    X(MultiplyAdd)                                                                         \
    X(Delay)                                                                               \
    X(DelayInterp)                                                                         \
    X(Subtract)                                                                            \
    X(SampleWrite16F2)                                                                     \
    X(SampleRead16F2)                                                                      \
    X(FourWayFade)                                                                         \
    X(CrossFade)                                                                           \
    X(TableLookup)                                                                         \
    X(Minimum)                                                                             \
    X(Maximum)                                                                             \
    X(Select)                                                                              \
    X(Schmidt)                                                                             \
    X(LagLinear)                                                                           \
    X(LagExp)                                                                              \
    X(MultiplyUnsigned)                                                                    \
    X(Multiply)                                                                            \
    X(PanControl)                                                                          \
    X(Pan)                                                                                 \
    X(MassSpring)                                                                          \
    X(Compare)                                                                             \
    X(Latch)                                                                               \
    X(EnvelopeParabolic)                                                                   \
    X(PeakFollower)                                                                        \
    X(LineIn)                                                                              \
    X(ChannelIn)                                                                           \
    X(Filter2o2p)                                                                          \
    X(Filter1o1z)                                                                          \
    X(Filter1o1p1z)                                                                        \
    X(Filter1o1p)                                                                          \
    X(AddUnsigned)                                                                         \
    X(MultiplyAddUnsigned)                                                                 \
    X(Divide)                                                                              \
    X(SawtoothOscillatorBL)                                                                \
    X(ImpulseOscillatorBL)                                                                 \
    X(SquareOscillatorBL)                                                                  \
    X(PulseOscillatorBL)                                                                   \
    X(Integrate)

#define VX_DECLARE_LOADER(Name) UnitInfo *VXU_Load##Name();
VX_UNIT_CATALOGUE(VX_DECLARE_LOADER)
#undef VX_DECLARE_LOADER

#endif /* VX_ENGINE_H */
