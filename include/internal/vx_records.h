/*
 * vx_records.h - the records every layer shares: the thing header and the data things, the
 * bridge's entries and return kinds, unit and port descriptors, the unit record and its port
 * records, circuits, command and queue nodes, the event buffer and the band-limited table
 * set. Types only; the functions that work on them are declared by the layer that owns them.
 */
#ifndef VX_RECORDS_H
#define VX_RECORDS_H

#include "vx_base.h"

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

/* A type's group function: computes one block of `count` (2 to 8) units of the type side by
 * side, each exactly as its unit function would, so that every output bit is the same. */
typedef void (*VexaGroupFunc)(VexaContext *context, VexaUnit *const *units, int32_t count);

/* State a unit type shares with other units of its run list beyond its connections: units
 * that share any of it keep their order among themselves when the batch groups units. */
enum : uint8_t {
    VX_SHARES_RANDOM = 1,  /* the context's random sequence */
    VX_SHARES_DEVICE = 2,  /* the device buffers: input cursor, output mix */
    VX_SHARES_BUS = 4,     /* bus sums (set from the ports when the catalogue is linked) */
    VX_SHARES_SAMPLES = 8, /* sample data, while a recorder of the list writes (from the ports) */
    VX_WRITES_SAMPLES = 16, /* a recorder: it writes sample data */
};

struct UnitInfo {
    UnitInfo *next;
    uint32_t typeID;
    const char *name;             /* the type's name, as the catalogue and velto_units.h give it */
    const char *initArgument = ""; /* what the init argument of Vexa_CreateUnit means, or "" */
    uint16_t instanceSize;
    uint16_t numPorts;
    const PortInfo *ports;
    VexaInitFunc initFunc;
    VexaTermFunc termFunc;
    VexaUnitFunc unitFunc;
    VexaGroupFunc groupFunc = nullptr; /* none: the type's units run one by one */
    uint8_t sharing = 0;
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
    /* The back end's scratch while it plans its run list (synth/vx_plan.cpp): the build that
     * last placed the unit, and its position in that build's list. */
    uint32_t planStamp;
    int32_t planSlot;
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
    VexaUnit *owner; /* the unit whose output this is */
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

#endif /* VX_RECORDS_H */
