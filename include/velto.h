/**
 * @file velto.h
 * @brief The C interface of the Velto real-time synthesis engine (library VeltoV142).
 *
 * Link with `-lVeltoV142` (pkg-config package `velto`, CMake target `Velto::VeltoV142`).
 *
 * Every call takes the context first (except the few that need none) and returns an
 * int32_t result code: 0 on success, a negative error code on failure, or one of the two
 * positive warnings 100 and 101, which mean that the call did its work. Vexa_ErrorCodeToText
 * turns any code into its message. Calls that return a double report errors as the code
 * converted to double (-63.0 for an invalid context); Vexa_GetPort returns code - 1000000.0.
 *
 * Threading: any client thread may call any function. Calls that change the engine take the
 * context's peer lock, which serialises client threads; the audio thread never takes it.
 * The lock is not re-entrant: a call made while the same thread already holds the lock of that
 * context (for example from inside another call's callback, which the engine never makes)
 * returns ::VXERR_HOST_MUTEX. Timed calls (names ending in `At`) take a tick, compared with
 * the engine's tick count by signed difference; a tick in the past means "at the next batch".
 *
 * Tokens: units, circuits, samples, envelopes and tables are named by positive 32-bit tokens:
 * the slot in bits 0-10, a serial in bits 16-23 and the context's number in bits 24-30; bits
 * 11-15 are always 0 (a token with any of them set gives ::VXERR_INVALID_TOKEN). A token becomes
 * invalid when its thing is deleted (::VXERR_INVALID_TOKEN); a token of another context gives
 * ::VXERR_INVALID_TOKEN or ::VXERR_WRONG_CONTEXT; a token of the wrong kind gives
 * ::VXERR_INVALID_TOKEN_TYPE. The serial has 255 values: after a slot has been reused 255 times,
 * a token deleted long ago names the slot's new thing again, so a client must not keep using a
 * token after deleting its thing. While fewer than 128 contexts are alive, no two of them share
 * a context number, so one context never accepts another's tokens.
 *
 * Lifecycle and threads: initialisation, termination, start and stop of one context run one at
 * a time. A call that overlaps the last Vexa_Terminate() of its context completes before it, or
 * returns ::VXERR_HOST_INIT after it; calls on an engine that is not initialised return
 * ::VXERR_HOST_INIT.
 *
 * Most calls that work on things first collect the nodes and the error that the audio thread
 * handed back: a negative error posted by a batch (for example a full queue) is returned once,
 * as the result of the next such call, or by Vexa_CheckEngineErrors().
 */
#ifndef VELTO_H
#define VELTO_H

#include <stdint.h>

#if defined(_WIN32)
#define VEXA_API __declspec(dllexport)
#else
/** Marks the exported calls of the library. */
#define VEXA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** An engine instance. Opaque to clients; create with Vexa_CreateContext. */
typedef struct VexaContext VexaContext;

/**
 * @defgroup results Result codes
 * Results of the calls: 0 for success, the warnings 100 and 101 (the call did its work), and
 * negative error codes from -100 to -61. Vexa_ErrorCodeToText() gives each one's message,
 * quoted below.
 * @{
 */
/** "No error." Success. */
#define VXERR_NONE 0
/**
 * "Port already connected." Warning: the call did its work (an input that was connected got a new
 * source, or a value was set on a connected input, which keeps reading its source).
 */
#define VXWARN_ALREADY_CONNECTED 100
/** "Port not connected." Warning: disconnecting a part that had no connection. */
#define VXWARN_NOT_CONNECTED 101
/**
 * "Invalid token type." The token names a thing of another kind (for example a sample where a unit
 * is needed).
 */
#define VXERR_INVALID_TOKEN_TYPE (-100)
/**
 * "Invalid port type." The port exists but is of a kind the call does not accept (for example
 * setting an output).
 */
#define VXERR_INVALID_PORT_TYPE (-99)
/** "Invalid token." Zero or negative token, a deleted thing, or an unknown slot. */
#define VXERR_INVALID_TOKEN (-98)
/** "Invalid rate." Vexa_CreateUnit() with a rate other than 0. */
#define VXERR_INVALID_RATE (-97)
/** "Invalid partnum." A part index outside 0 .. number of parts - 1. */
#define VXERR_INVALID_PARTNUM (-96)
/** "Invalid priority." Vexa_SetPriority() with a priority outside 0..2. */
#define VXERR_INVALID_PRIORITY (-95)
/** "Invalid signal type." A signal type above 7. */
#define VXERR_INVALID_SIGNAL_TYPE (-94)
/**
 * "Attempt to switch signal signed <-> unsigned." Kept so that clients can name it; no call
 * returns it.
 */
#define VXERR_SIGNEDNESS_SWITCH (-93)
/**
 * "Attempt to connect incompatible ports." Only output to input and bus output to bus input
 * connect.
 */
#define VXERR_INCOMPATIBLE_PORTS (-92)
/** "Invalid flag." Nonzero flags for Vexa_CreateCircuit(). */
#define VXERR_INVALID_FLAG (-91)
/** "Invalid data type." A data type the copy routine does not know. */
#define VXERR_INVALID_DATA_TYPE (-90)
/** "Memory allocation failed." No memory for a thing, its data, or a command node. */
#define VXERR_NO_MEMORY (-89)
/** "Too many tokens. Table size exceeded." All 2048 thing slots of the context are in use. */
#define VXERR_TOO_MANY_TOKENS (-88)
/** "Named thing not found." Unknown unit type ID, or a port ID the unit type does not have. */
#define VXERR_NOT_FOUND (-87)
/** "Port not settable." Kept so that clients can name it; no call returns it. */
#define VXERR_PORT_NOT_SETTABLE (-86)
/** "Output file i/o error." Kept so that clients can name it; no call returns it. */
#define VXERR_FILE_IO (-85)
/**
 * "Parameter out of range." A count, frame range, offset or channel count outside what the object
 * or buffer holds.
 */
#define VXERR_OUT_OF_RANGE (-84)
/**
 * "Host initialization failed." The device stream could not be opened or started, or the context
 * is not initialised.
 */
#define VXERR_HOST_INIT (-83)
/**
 * "Port not connected." Kept so that clients can name it; no call returns it (see
 * ::VXWARN_NOT_CONNECTED).
 */
#define VXERR_NOT_CONNECTED (-82)
/**
 * "Bad connection." A connection list disagrees with the port it lists (internal inconsistency).
 */
#define VXERR_BAD_CONNECTION (-81)
/** "Host mutex failed." The calling thread already holds the context's peer lock. */
#define VXERR_HOST_MUTEX (-80)
/**
 * "Internal error #1. Please notify ..." The Java binding got an array whose length differs from
 * the declared one.
 */
#define VXERR_INTERNAL_1 (-79)
/**
 * "Engine double started with different parameters." A shared start with other flags, devices or
 * channel counts than the first.
 */
#define VXERR_DOUBLE_START (-78)
/** "Unit in Circuit. Not independant." The unit already belongs to a circuit. */
#define VXERR_IN_CIRCUIT (-76)
/**
 * "Control versus Audio rate mismatch." Connecting units of different rates (all units are audio-
 * rate).
 */
#define VXERR_RATE_MISMATCH (-75)
/** "Feature not supported by this object." A data type the object does not support. */
#define VXERR_NOT_SUPPORTED (-74)
/**
 * "Vexa or Velto not currently running." Kept so that clients can name it; the Linux build does
 * not return it.
 */
#define VXERR_NOT_RUNNING (-73)
/** "Port index out of range." Kept so that clients can name it; no call returns it. */
#define VXERR_PORT_INDEX (-72)
/** "Front To Back FIFO Full." The command queue to the audio thread stayed full. */
#define VXERR_F2B_FULL (-71)
/**
 * "Internal F2B FIFO error." The audio thread found an unknown command entry (posted, returned by
 * a later call).
 */
#define VXERR_F2B_INTERNAL (-70)
/** "Internal B2F FIFO error." An unknown node came back from the audio thread. */
#define VXERR_B2F_INTERNAL (-69)
/**
 * "Unit already started. Can't be used in  circuit." A running unit offered to
 * Vexa_CreateCircuit().
 */
#define VXERR_ALREADY_STARTED (-68)
/** "Internal linked list error." Kept so that clients can name it. */
#define VXERR_LIST_INTERNAL (-67)
/**
 * "ChannelsPerFrame mismatch." A sample whose channels differ from the queue port's, or a device
 * unit channel index above 16.
 */
#define VXERR_CHANNELS_MISMATCH (-66)
/**
 * "Synthesis Engine NOT started." Waiting or rendering on a context that runs no stream (or, for
 * Vexa_RenderTicks(), one not in no-device mode).
 */
#define VXERR_NOT_STARTED (-65)
/** "Circuit cannot have zero subunits." Vexa_CreateCircuit() with a count of 0. */
#define VXERR_EMPTY_CIRCUIT (-64)
/** "VexaContext is invalid." Null, deleted or unknown context pointer. */
#define VXERR_INVALID_CONTEXT (-63)
/** "Object not part of VexaContext." The token belongs to another context. */
#define VXERR_WRONG_CONTEXT (-62)
/** "Invalid device ID." PortAudio does not know the device. */
#define VXERR_INVALID_DEVICE (-61)
/** @} */

/**
 * @defgroup flags Start flags, queue flags and signal types
 * Flags of Vexa_Start() and Vexa_StartDevices(), flags of Vexa_QueueData(), and the signal
 * types that say how a value set on a port becomes the value its unit reads.
 * @{
 */
/** No device; each tick is printed as text on standard output (implies ::VX_FLAG_NO_DEVICE). */
#define VX_FLAG_PRINT_OUTPUT 0x02
/**
 * No device: batches are computed on the client's own thread, inside Vexa_SleepUntilTick(),
 * Vexa_SleepForTicks() and Vexa_RenderTicks(). The way to render offline.
 */
#define VX_FLAG_NO_DEVICE 0x04
/** The most channels a stream or a no-device start may have in each direction. */
#define VX_MAX_CHANNELS 1024
#define VX_FLAG_INPUT 0x20 /**< Vexa_Start: open the default input device, 2 channels */
#define VX_FLAG_NO_OUTPUT 0x40 /**< Vexa_Start: open no output device */

/* ---- Queue flags ------------------------------------------------------------------ */
/** The region starts again from its first frame when it ends and nothing else is queued. */
#define VEXA_QUEUE_LOOP 0x08
/** When the region ends, the unit stops itself at the end of that batch. */
#define VEXA_QUEUE_AUTO_STOP 0x10
/** While still waiting and last in the queue, the region is replaced by the next one queued. */
#define VEXA_QUEUE_REPLACEABLE 0x80

/* ---- Signal types ----------------------------------------------------------------- */
/** A set value is limited to -1.0 .. +1.0. */
#define VEXA_SIGNAL_SIGNED 0
/** A set value is limited to 0.0 .. 2.0. */
#define VEXA_SIGNAL_UNSIGNED 1
/** Hertz, stored unchanged. */
#define VEXA_SIGNAL_FREQUENCY 2
/** Frames per second, stored unchanged. */
#define VEXA_SIGNAL_SAMPLE_RATE 3
/** Seconds to cover half the distance: becomes the per-frame coefficient 1 - 0.5^(1/(v*fs)). */
#define VEXA_SIGNAL_HALF_LIFE 4
/** Seconds: becomes the per-frame step 1/(v*fs) (1.0 below two frame periods). */
#define VEXA_SIGNAL_TIME 5
/** Hertz for the old state-variable filter: becomes 2*sin(pi*v/fs). */
#define VEXA_SIGNAL_SVF_FREQUENCY 6
/** Stored unchanged. */
#define VEXA_SIGNAL_RAW 7

/* The earlier names of the queue flags and signal types, kept for the callers that use them;
 * a program that defines VEXA_NO_OLD_NAMES before including this header does without them. */
/** @cond OLD_NAMES */
#ifndef VEXA_NO_OLD_NAMES
#define QUEUE_LOOP VEXA_QUEUE_LOOP
#define QUEUE_AUTO_STOP VEXA_QUEUE_AUTO_STOP
#define QUEUE_REPLACEABLE VEXA_QUEUE_REPLACEABLE
#define SIGNAL_SIGNED VEXA_SIGNAL_SIGNED
#define SIGNAL_UNSIGNED VEXA_SIGNAL_UNSIGNED
#define SIGNAL_FREQUENCY VEXA_SIGNAL_FREQUENCY
#define SIGNAL_SAMPLE_RATE VEXA_SIGNAL_SAMPLE_RATE
#define SIGNAL_HALF_LIFE VEXA_SIGNAL_HALF_LIFE
#define SIGNAL_TIME VEXA_SIGNAL_TIME
#define SIGNAL_SVF_FREQUENCY VEXA_SIGNAL_SVF_FREQUENCY
#define SIGNAL_RAW VEXA_SIGNAL_RAW
#endif
/** @endcond */
/** @} */

/**
 * @defgroup things Contexts and things
 * A context is one engine instance; things (units, circuits, samples, envelopes, tables) live
 * in it and are named by tokens.
 * @{
 */
/**
 * Creates a context: a zero-filled engine instance, not yet initialised.
 *
 * The context is entered in the library's registry of live contexts, so that every call can
 * tell a valid pointer from a stale or foreign one (::VXERR_INVALID_CONTEXT).
 * Next: Vexa_Initialize(), then Vexa_Start() or Vexa_StartDevices().
 * @return The new context, or NULL when no memory is left.
 */
VEXA_API VexaContext *Vexa_CreateContext(void);
/**
 * Terminates the context once (as Vexa_Terminate(), result ignored) and frees it.
 *
 * An invalid context is ignored. The pointer is invalid afterwards; no other thread may use it.
 * @param context The context to delete.
 */
VEXA_API void Vexa_DeleteContext(VexaContext *context);
/**
 * Deletes a thing of any kind: unit, circuit, sample, envelope or table.
 *
 * The token is dead at once. The thing itself lives on while something still holds it: commands
 * sent before the deletion still see it, a queued region keeps its sample or envelope, a unit
 * port keeps its table, a circuit keeps its members; it is freed when the last holder lets go.
 * A deleted unit stops when it is freed, after the commands sent for it have executed. Takes
 * the peer lock.
 * @param context The context.
 * @param token The thing's token.
 * @return 0, or ::VXERR_INVALID_CONTEXT, ::VXERR_INVALID_TOKEN, ::VXERR_WRONG_CONTEXT, an error
 *         posted by the audio thread, or ::VXERR_HOST_INIT when the context is not initialised.
 */
VEXA_API int32_t Vexa_Delete(VexaContext *context, int32_t token);
/**
 * Counts the things of the context that exist (created and not yet freed).
 * @param context The context.
 * @return The number of things, or ::VXERR_INVALID_CONTEXT.
 */
VEXA_API int32_t Vexa_GetObjectCount(VexaContext *context);

/** @} */

/**
 * @defgroup texts Result texts
 * The messages of the result codes.
 * @{
 */
/**
 * Gives the message of a result code. Needs no context; any thread.
 * @param code A result code.
 * @return A static NUL-terminated text (never NULL; do not free it): "No error." for 0, the
 *         message of each code of @ref results, and "Warning - Error Code out of range." for any
 *         other value.
 */
VEXA_API const char *Vexa_ErrorCodeToText(int32_t code);
/**
 * Copies the message of a result code into a byte buffer, without a terminating NUL.
 *
 * At most bufferSize - 1 bytes are copied, so a text that fits with room for a terminator is
 * copied whole. Needs no context; any thread.
 * @param code A result code.
 * @param buffer Where the bytes go.
 * @param bufferSize The buffer's size in bytes.
 * @return The number of bytes copied (0 when bufferSize is 1 or less).
 */
VEXA_API int32_t Vexa_ErrorCodeToTextJava(int32_t code, char *buffer, int32_t bufferSize);

/** @} */

/**
 * @defgroup lifecycle Lifecycle, clock, units and priorities
 * Initialising, starting and stopping the engine; the tick clock and waiting for ticks;
 * starting and stopping units at exact ticks; the running order of units.
 * @{
 */
/**
 * Initialises the engine of a context (counted: each call must be balanced by a Vexa_Terminate()).
 *
 * The first call sets up the command bridge, the thing table, the unit catalogue, the event
 * buffer, the band-limited tables and the peer lock. With a trace level of 1 or more it prints
 * the banner on every call.
 * @param context The context.
 * @return 0, ::VXERR_INVALID_CONTEXT, or ::VXERR_NO_MEMORY (the context stays uninitialised).
 */
VEXA_API int32_t Vexa_Initialize(VexaContext *context);
/**
 * Balances one Vexa_Initialize(). The last one stops the engine for good (however many starts
 * are still unbalanced), deletes every thing, executes every pending command and frees all
 * engine memory. Calls of other threads that are already running complete first (a wait for a
 * tick ends with ::VXERR_NOT_STARTED as the stream closes); calls that arrive later return
 * ::VXERR_HOST_INIT.
 * @param context The context.
 * @return After the last termination, the number of engine allocations still outstanding (0
 *         when everything was released); 0 after an earlier one; or a negative error
 *         (::VXERR_INVALID_CONTEXT, ::VXERR_HOST_INIT when not initialised, ::VXERR_HOST_MUTEX).
 */
VEXA_API int32_t Vexa_Terminate(VexaContext *context);
/**
 * Vexa_Initialize() followed by Vexa_Start().
 * @param context The context.
 * @param flags Start flags, as for Vexa_Start().
 * @param frameRate Frames per second, as for Vexa_Start().
 * @return The first negative result, or the result of Vexa_Start().
 */
VEXA_API int32_t Vexa_StartEngine(VexaContext *context, int32_t flags, double frameRate);
/**
 * The same as Vexa_Terminate().
 * @param context The context.
 * @return As Vexa_Terminate().
 */
VEXA_API int32_t Vexa_StopEngine(VexaContext *context);
/**
 * Starts the engine on the default devices: Vexa_StartDevices() with the default output device
 * and 2 channels (none with ::VX_FLAG_NO_OUTPUT), and the default input device and 2 channels
 * when ::VX_FLAG_INPUT is given.
 * @param context An initialised context.
 * @param flags ::VX_FLAG_INPUT, ::VX_FLAG_NO_OUTPUT, ::VX_FLAG_NO_DEVICE, ::VX_FLAG_PRINT_OUTPUT.
 * @param frameRate Frames per second; a value not above 1.0 (or NaN) means 44100.
 * @return As Vexa_StartDevices().
 */
VEXA_API int32_t Vexa_Start(VexaContext *context, int32_t flags, double frameRate);
/**
 * Starts the engine (counted: each successful start is balanced by a Vexa_Stop()).
 *
 * The first start stores the devices, channel counts, flags and frame rate and opens and starts
 * a PortAudio stream (32-bit float, 64 frames per callback), whose callback computes one tick per
 * call. With ::VX_FLAG_NO_DEVICE no stream is opened: the client computes ticks itself with
 * Vexa_SleepUntilTick(), Vexa_SleepForTicks() or Vexa_RenderTicks(), and the channel counts give
 * the layout of the buffers of Vexa_RenderTicks(). A later start while started is a shared start:
 * it must give the same flags, devices and channel counts (the frame rate is not compared) and
 * only counts.
 * @param context An initialised context.
 * @param flags Start flags (see @ref flags); ::VX_FLAG_INPUT is added when an input device is
 *        given, ::VX_FLAG_NO_OUTPUT when outputDeviceID is -1.
 * @param frameRate Frames per second; a value not above 1.0 (or NaN) means 44100.
 * @param inputDeviceID PortAudio input device, or -1 for none.
 * @param numInputChannels Input channels per frame (0 to ::VX_MAX_CHANNELS).
 * @param outputDeviceID PortAudio output device, or -1 for none.
 * @param numOutputChannels Output channels per frame (0 to ::VX_MAX_CHANNELS).
 * @return 0, or ::VXERR_INVALID_CONTEXT, ::VXERR_OUT_OF_RANGE (a channel count below 0 or above
 *         ::VX_MAX_CHANNELS), ::VXERR_DOUBLE_START, ::VXERR_NO_MEMORY, ::VXERR_HOST_INIT (the
 *         engine is not initialised, and nothing is opened; or the stream could not be opened or
 *         started, and PortAudio's message is printed).
 */
VEXA_API int32_t Vexa_StartDevices(VexaContext *context, int32_t flags, double frameRate,
                                   int32_t inputDeviceID, int32_t numInputChannels,
                                   int32_t outputDeviceID, int32_t numOutputChannels);
/**
 * Balances one start. The last one stops and closes the stream; no batch runs on the audio
 * thread once it has returned. Takes the peer lock.
 * @param context The context.
 * @return 0, ::VXERR_INVALID_CONTEXT, ::VXERR_HOST_INIT (not initialised), a posted error.
 */
VEXA_API int32_t Vexa_Stop(VexaContext *context);
/**
 * Reads the number of frames computed since the context was created (grows by 8 per block,
 * wraps at 2^32). Takes no lock.
 * @param context The context.
 * @return The frame count, or ::VXERR_INVALID_CONTEXT.
 */
VEXA_API int32_t Vexa_GetFrameCount(VexaContext *context);
/**
 * Reads the engine clock: the number of ticks (64 frames each) computed since the context was
 * created. Every time stamp of the timed calls is a tick; compare ticks by signed difference.
 * Takes no lock.
 * @param context The context.
 * @return The tick count, or ::VXERR_INVALID_CONTEXT.
 */
VEXA_API int32_t Vexa_GetTickCount(VexaContext *context);
/**
 * Frames per tick.
 * @param context The context.
 * @return 64, or ::VXERR_INVALID_CONTEXT.
 */
VEXA_API int32_t Vexa_GetFramesPerTick(VexaContext *context);
/**
 * The frame rate given at the first start.
 * @param context The context.
 * @return Frames per second (0.0 before the first start), or -63.0 for an invalid context.
 */
VEXA_API double Vexa_GetFrameRate(VexaContext *context);
/**
 * Ticks per second: the frame rate / 64.
 * @param context The context.
 * @return Ticks per second, or -63.0 for an invalid context.
 */
VEXA_API double Vexa_GetTickRate(VexaContext *context);
/**
 * Waits until the engine clock reaches a tick.
 *
 * With a device, sleeps on the calling thread while the audio thread computes (takes no lock).
 * In no-device mode, computes the missing ticks on the calling thread under the peer lock, with
 * no input and no output buffer (use Vexa_RenderTicks() to get the output). A tick in the past
 * returns at once.
 * @param context A started context.
 * @param tick The tick to reach.
 * @return 0, ::VXERR_INVALID_CONTEXT, ::VXERR_NOT_STARTED (no stream open and not in no-device
 *         mode), or the first negative batch result.
 */
VEXA_API int32_t Vexa_SleepUntilTick(VexaContext *context, int32_t tick);
/**
 * Vexa_SleepUntilTick() at the current tick count + numTicks.
 * @param context A started context.
 * @param numTicks Ticks to wait.
 * @return As Vexa_SleepUntilTick().
 */
VEXA_API int32_t Vexa_SleepForTicks(VexaContext *context, int32_t numTicks);
/**
 * Collects what the audio thread handed back and reports an error it posted (once).
 * @param context The context.
 * @return 0, a posted back-end error (for example ::VXERR_F2B_INTERNAL), or another negative code.
 */
VEXA_API int32_t Vexa_CheckEngineErrors(VexaContext *context);
/**
 * The engine version, without a context.
 * @return 142 (version 14.2).
 */
VEXA_API int32_t Vexa_GetVersion(void);
/**
 * Vexa_StartUnitAt() at the current tick: the unit starts with the next batch.
 * @param context The context.
 * @param unitToken A unit or circuit.
 * @return As Vexa_StartUnitAt().
 */
VEXA_API int32_t Vexa_StartUnit(VexaContext *context, int32_t unitToken);
/**
 * Starts a unit or circuit at a tick.
 *
 * At the start of that tick's batch the unit joins the run list of its priority, behind the
 * units already there, and ports whose default applies at every start get it. A running unit
 * keeps its place. A unit inside a circuit is not started (it runs as part of its circuit; the
 * call returns 0). Takes the peer lock.
 * @param context The context.
 * @param tick When; a tick in the past means the next batch.
 * @param unitToken A unit or circuit.
 * @return 0, or ::VXERR_INVALID_CONTEXT, ::VXERR_INVALID_TOKEN, ::VXERR_WRONG_CONTEXT,
 *         ::VXERR_INVALID_TOKEN_TYPE, ::VXERR_NO_MEMORY, ::VXERR_F2B_FULL, a posted error.
 */
VEXA_API int32_t Vexa_StartUnitAt(VexaContext *context, int32_t tick, int32_t unitToken);
/**
 * Vexa_StopUnitAt() at the current tick.
 * @param context The context.
 * @param unitToken A unit or circuit.
 * @return As Vexa_StopUnitAt().
 */
VEXA_API int32_t Vexa_StopUnit(VexaContext *context, int32_t unitToken);
/**
 * Stops a unit or circuit at a tick: from that batch on its unit function no longer runs and its
 * outputs keep their last values. Its state is kept for a later start. Takes the peer lock.
 * @param context The context.
 * @param tick When; a tick in the past means the next batch.
 * @param unitToken A unit or circuit.
 * @return As Vexa_StartUnitAt().
 */
VEXA_API int32_t Vexa_StopUnitAt(VexaContext *context, int32_t tick, int32_t unitToken);
/**
 * Sets the priority a unit runs with from its next start: priority 2 units run first in each
 * block, then 1 (the default), then 0. A running unit keeps its place until it is started again.
 * @param context The context.
 * @param unitToken A unit or circuit.
 * @param priority 0, 1 or 2.
 * @return 0, ::VXERR_INVALID_PRIORITY, or a token or context error.
 */
VEXA_API int32_t Vexa_SetPriority(VexaContext *context, int32_t unitToken, int32_t priority);
/**
 * Reads a unit's priority.
 * @param context The context.
 * @param unitToken A unit or circuit.
 * @return 0, 1 or 2, or a token or context error.
 */
VEXA_API int32_t Vexa_GetPriority(VexaContext *context, int32_t unitToken);
/**
 * Starts the host's benchmark timer (the Linux build has none and returns 0).
 * @param context The context.
 * @return 0, or ::VXERR_INVALID_CONTEXT.
 */
VEXA_API int32_t Vexa_StartBenchTimer(VexaContext *context);
/**
 * Stops the host's benchmark timer (the Linux build has none and returns 0).
 * @param context The context.
 * @return 0, or ::VXERR_INVALID_CONTEXT.
 */
VEXA_API int32_t Vexa_StopBenchTimer(VexaContext *context);
/**
 * Reads the host's benchmark timer.
 * @param context The context.
 * @return 0.0 in the Linux build, or -63.0 for an invalid context.
 */
VEXA_API double Vexa_GetBenchTimer(VexaContext *context);

/**
 * Offline rendering into the caller's buffers (an extension of this library).
 * Valid only for a context started in no-device mode (otherwise -65). Under the peer lock,
 * computes numTicks batches exactly as the no-device wait does, reading `input`
 * (64 * numTicks interleaved frames of the context's input channels; may be null) and
 * writing `output` (64 * numTicks interleaved frames of its output channels; may be null).
 * Returns 0 or the first negative batch result.
 *
 * The channel counts are those given to Vexa_StartDevices(). Each batch clears its output
 * frames before the units mix into them; LineIn and ChannelIn units read the input frames.
 * @param context A context started with ::VX_FLAG_NO_DEVICE.
 * @param input 64 * numTicks * input channels floats, or NULL for no input.
 * @param output 64 * numTicks * output channels floats, or NULL to discard the output.
 * @param numTicks Ticks to compute (0 or less computes nothing).
 * @return 0, ::VXERR_INVALID_CONTEXT, ::VXERR_NOT_STARTED, ::VXERR_HOST_MUTEX, or the first
 *         negative batch result.
 */
VEXA_API int32_t Vexa_RenderTicks(VexaContext *context, const float *input, float *output,
                                  int32_t numTicks);

/** The most threads that may compute one context's batches (Vexa_SetRenderThreads()). */
#define VEXA_MAX_RENDER_THREADS 64
/**
 * Sets how many threads compute the context's batches: the thread that runs them (the audio
 * callback, or the client thread of Vexa_RenderTicks() and the no-device waits) and
 * count - 1 workers beside it. Within each block, units whose order cannot change a value
 * (no connection between them, no shared random sequence, device buffer, bus or recorded
 * sample, not across a circuit) are computed on different threads; the output is the same, to
 * the bit, for every count. The default is 1 (no workers).
 *
 * The count may be set before or after a start and takes effect at the next batch. The
 * workers are created by this call or by the start, and ended by the last Vexa_Stop(),
 * Vexa_Terminate() or a smaller count; the audio thread never creates, ends or waits for a
 * worker that has not begun its work (it computes that work itself). More threads than
 * processor cores only cost time.
 * @param context An initialised context.
 * @param count 1 to ::VEXA_MAX_RENDER_THREADS.
 * @return 0, or ::VXERR_OUT_OF_RANGE (count below 1 or above ::VEXA_MAX_RENDER_THREADS),
 *         ::VXERR_NO_MEMORY (a thread could not be created; the count stays as it was),
 *         ::VXERR_INVALID_CONTEXT, ::VXERR_HOST_INIT (not initialised), ::VXERR_HOST_MUTEX.
 */
VEXA_API int32_t Vexa_SetRenderThreads(VexaContext *context, int32_t count);
/**
 * The number of threads set by Vexa_SetRenderThreads() (1 by default).
 * @param context An initialised context.
 * @return 1 to ::VEXA_MAX_RENDER_THREADS, or ::VXERR_INVALID_CONTEXT, ::VXERR_HOST_INIT.
 */
VEXA_API int32_t Vexa_GetRenderThreads(VexaContext *context);

/** @} */

/**
 * @defgroup devices Devices and load
 * PortAudio device queries (no context needed) and the stream's processor load.
 * @{
 */
/**
 * The fraction of the available time that the audio callback uses (PortAudio's CPU load).
 * @param context The context.
 * @return 0.0 .. 1.0 (0.0 with no stream open), or -63.0 for an invalid context.
 */
VEXA_API double Vexa_GetUsage(VexaContext *context);
/**
 * The most input channels a device offers.
 * @param deviceID A PortAudio device index.
 * @return The channel count, or ::VXERR_INVALID_DEVICE.
 */
VEXA_API int32_t Vexa_GetMaxInputChannels(int32_t deviceID);
/**
 * The number of devices PortAudio knows (device IDs run from 0 to this number - 1).
 * @return The count, 0 when PortAudio finds none or cannot be initialised.
 */
VEXA_API int32_t Vexa_GetDeviceCount(void);
/**
 * PortAudio's default input device.
 * @return A device ID, or -1 when there is none.
 */
VEXA_API int32_t Vexa_GetDefaultInputDevice(void);
/**
 * PortAudio's default output device (the one Vexa_Start() opens).
 * @return A device ID, or -1 when there is none.
 */
VEXA_API int32_t Vexa_GetDefaultOutputDevice(void);
/**
 * The most output channels a device offers.
 * @param deviceID A PortAudio device index.
 * @return The channel count, or ::VXERR_INVALID_DEVICE.
 */
VEXA_API int32_t Vexa_GetMaxOutputChannels(int32_t deviceID);
/**
 * Copies a device's name into a byte buffer, without a terminating NUL (at most bufferSize - 1
 * bytes, as Vexa_ErrorCodeToTextJava()).
 * @param deviceID A PortAudio device index.
 * @param buffer Where the bytes go.
 * @param bufferSize The buffer's size in bytes.
 * @return The number of bytes copied, or ::VXERR_INVALID_DEVICE.
 */
VEXA_API int32_t Vexa_DeviceIDToNameJava(int32_t deviceID, char *buffer, int32_t bufferSize);

/** @} */

/**
 * @defgroup units Units and circuits
 * Unit generators of the 68 types of the catalogue, named by their 32-bit type IDs (see the
 * user guide, docs/guide.md), and circuits that run several units as one.
 * @{
 */
/**
 * Creates a stopped unit of a type, with its defaults applied.
 *
 * Takes no lock: the new unit is invisible to the audio thread until it is started.
 * @param context An initialised context.
 * @param typeID The unit type ID: a `VEXA_UNIT_` name of velto_units.h, for example
 *        `VEXA_UNIT_SINE_OSCILLATOR`.
 * @param rate Must be 0 (audio rate).
 * @param initArgument For LineOut, ChannelOut, LineIn and ChannelIn the device channel of part 0
 *        (0..16); for Delay and DelayInterp the delay line's length in frames (at least 1);
 *        ignored by the other types.
 * @return The unit's token (positive), or ::VXERR_INVALID_CONTEXT, ::VXERR_NOT_FOUND (unknown
 *         type), ::VXERR_INVALID_RATE, ::VXERR_TOO_MANY_TOKENS, ::VXERR_NO_MEMORY,
 *         ::VXERR_CHANNELS_MISMATCH (channel index above 16), ::VXERR_OUT_OF_RANGE (delay length).
 */
VEXA_API int32_t Vexa_CreateUnit(VexaContext *context, uint32_t typeID, int32_t rate,
                                 int32_t initArgument);
/**
 * Gathers stopped units into a circuit: one unit without ports that runs its members, in the
 * order of the array, every block. The members can no longer be started on their own; they
 * leave the circuit when it is freed. Takes the peer lock. Nothing changes when a check fails.
 * @param context The context.
 * @param unitTokens count unit tokens.
 * @param count Number of members (not 0).
 * @param flags Must be 0.
 * @return The circuit's token, or ::VXERR_EMPTY_CIRCUIT (count 0 or less, or no array),
 *         ::VXERR_INVALID_FLAG, ::VXERR_ALREADY_STARTED (a running member), ::VXERR_IN_CIRCUIT
 *         (a member of another circuit, or a token given twice), a token error,
 *         ::VXERR_TOO_MANY_TOKENS, ::VXERR_NO_MEMORY.
 */
VEXA_API int32_t Vexa_CreateCircuit(VexaContext *context, const int32_t *unitTokens,
                                    int32_t count, int32_t flags);

/** @} */

/**
 * @defgroup ports Ports and connections
 * A port is addressed by (unit token, port ID, part). Inputs and variables can be set, now or
 * at a tick; outputs connect to inputs, bus outputs to bus inputs. A set value is converted by
 * the part's signal type when it takes effect.
 * @{
 */
/**
 * Vexa_SetPortAt() at the current tick: the value takes effect with the next batch.
 * @param context The context.
 * @param unitToken The unit.
 * @param portID An input or variable port of its type.
 * @param part The part, 0 .. parts - 1.
 * @param value The value, in the port's outside units (hertz, seconds, ...).
 * @return As Vexa_SetPortAt().
 */
VEXA_API int32_t Vexa_SetPort(VexaContext *context, int32_t unitToken, uint32_t portID,
                              int32_t part, double value);
/**
 * Sets an input or variable part at a tick.
 *
 * At the start of that tick's batch the value is converted by the part's signal type and stored;
 * the unit reads it from the first frame of the tick on, until the next set. A connected input
 * stores the value but goes on reading its source (warning ::VXWARN_ALREADY_CONNECTED) until it
 * is disconnected. Takes the peer lock.
 * @param context The context.
 * @param time The tick; a tick in the past means the next batch.
 * @param unitToken The unit.
 * @param portID An input or variable port of its type.
 * @param part The part, 0 .. parts - 1.
 * @param value The value, in the port's outside units.
 * @return 0, ::VXWARN_ALREADY_CONNECTED, or ::VXERR_INVALID_CONTEXT, a token error,
 *         ::VXERR_NOT_FOUND (no such port),
 *         ::VXERR_INVALID_PORT_TYPE, ::VXERR_INVALID_PARTNUM,
 *         ::VXERR_NO_MEMORY, ::VXERR_F2B_FULL, a posted error.
 */
VEXA_API int32_t Vexa_SetPortAt(VexaContext *context, int32_t time, int32_t unitToken,
                                uint32_t portID, int32_t part, double value);
/**
 * Reads the current value of an input, output or variable part: for an output the value of the
 * first frame of the last block computed, for an input the first value it reads (its own value or
 * its source's), for a variable its value. The native value is given (after conversion by the
 * signal type, not converted back). Takes no lock.
 * @param context The context.
 * @param unitToken The unit.
 * @param portID An input, output or variable port.
 * @param part The part.
 * @param outValue Receives the value.
 * @return 0, or ::VXERR_INVALID_CONTEXT, a token error, ::VXERR_NOT_FOUND (no such port),
 *         ::VXERR_INVALID_PORT_TYPE, ::VXERR_INVALID_PARTNUM.
 */
VEXA_API int32_t Vexa_ReadPort(VexaContext *context, int32_t unitToken, uint32_t portID,
                               int32_t part, double *outValue);
/**
 * Vexa_ReadPort() returning the value.
 * @param context The context.
 * @param unitToken The unit.
 * @param portID An input, output or variable port.
 * @param part The part.
 * @return The value, or an error code c as c - 1000000.0 (for example -1000096.0 for
 *         ::VXERR_INVALID_PARTNUM).
 */
VEXA_API double Vexa_GetPort(VexaContext *context, int32_t unitToken, uint32_t portID,
                             int32_t part);
/**
 * The number of parts of a port of any kind.
 * @param context The context.
 * @param unitToken The unit.
 * @param portID A port of its type.
 * @return 1, 2 or 4, or ::VXERR_INVALID_CONTEXT, a token error, ::VXERR_NOT_FOUND.
 */
VEXA_API int32_t Vexa_GetNumParts(VexaContext *context, int32_t unitToken, uint32_t portID);
/**
 * Reads the frame counter of a queue port: the number of steps made within queued regions (the
 * first frame of each region and of each loop pass is not counted). Never reset.
 * @param context The context.
 * @param unitToken The unit.
 * @param portID A queue port.
 * @param part Must be 0.
 * @param outFrames Receives the count.
 * @return 0, or ::VXERR_INVALID_CONTEXT, a token error, ::VXERR_NOT_FOUND (no such port),
 *         ::VXERR_INVALID_PORT_TYPE, ::VXERR_INVALID_PARTNUM.
 */
VEXA_API int32_t Vexa_ReadPortFrames(VexaContext *context, int32_t unitToken, uint32_t portID,
                                     int32_t part, int32_t *outFrames);
/**
 * Vexa_ReadPortFrames() returning the count.
 * @param context The context.
 * @param unitToken The unit.
 * @param portID A queue port.
 * @param part Must be 0.
 * @return The count; -1 on any error, -2 when the count itself is -1.
 */
VEXA_API int32_t Vexa_GetPortFrames(VexaContext *context, int32_t unitToken, uint32_t portID,
                                    int32_t part);
/**
 * Changes the signal type of an input, variable or queue part; values set afterwards are
 * converted by the new type (defaults applied at a start keep the type of the descriptor).
 * Takes no lock.
 * @param context The context.
 * @param unitToken The unit.
 * @param portID An input, variable or queue port.
 * @param part The part.
 * @param signalType One of the `VEXA_SIGNAL_` types, 0..7.
 * @return 0, ::VXERR_INVALID_SIGNAL_TYPE, or ::VXERR_INVALID_CONTEXT, a token error,
 *         ::VXERR_NOT_FOUND (no such port),
 *         ::VXERR_INVALID_PORT_TYPE, ::VXERR_INVALID_PARTNUM.
 */
VEXA_API int32_t Vexa_SetPortSignalType(VexaContext *context, int32_t unitToken,
                                        uint32_t portID, int32_t part, int32_t signalType);
/**
 * Reads the signal type of an input, variable or queue part.
 * @param context The context.
 * @param unitToken The unit.
 * @param portID An input, variable or queue port.
 * @param part The part.
 * @return The type, 0..7, or ::VXERR_INVALID_CONTEXT, a token error, ::VXERR_NOT_FOUND (no such
 *         port),
 *         ::VXERR_INVALID_PORT_TYPE, ::VXERR_INVALID_PARTNUM.
 */
VEXA_API int32_t Vexa_GetPortSignalType(VexaContext *context, int32_t unitToken,
                                        uint32_t portID, int32_t part);
/**
 * Connects an output part to an input part, or a bus output part to a bus input part.
 *
 * The input reads the output's buffer in place from the next block on; an output feeds any
 * number of inputs, an input has one source (a new connection replaces the old one, with warning
 * ::VXWARN_ALREADY_CONNECTED). A bus input sums all its bus outputs. A unit that runs before its
 * source reads the source's previous block. Takes the peer lock.
 * @param context The context.
 * @param sourceUnit The unit with the output.
 * @param sourcePortID An output or bus output port.
 * @param sourcePart Its part.
 * @param destUnit The unit with the input (may be the same unit).
 * @param destPortID An input or bus input port.
 * @param destPart Its part.
 * @return 0, ::VXWARN_ALREADY_CONNECTED, ::VXERR_INCOMPATIBLE_PORTS, ::VXERR_RATE_MISMATCH, or
 *         ::VXERR_INVALID_CONTEXT, a token error, ::VXERR_NOT_FOUND (no such port),
 *         ::VXERR_INVALID_PORT_TYPE, ::VXERR_INVALID_PARTNUM.
 */
VEXA_API int32_t Vexa_ConnectUnits(VexaContext *context, int32_t sourceUnit,
                                   uint32_t sourcePortID, int32_t sourcePart, int32_t destUnit,
                                   uint32_t destPortID, int32_t destPart);
/**
 * Removes every connection of a part: an input or bus output loses its source or bus (and an
 * input reads its own set value again); an output or bus input loses all its listeners or
 * writers. Takes the peer lock.
 * @param context The context.
 * @param unitToken The unit.
 * @param portID An input, output, bus input or bus output port.
 * @param part The part.
 * @return 0, ::VXWARN_NOT_CONNECTED (an input or bus output had no connection),
 *         ::VXERR_BAD_CONNECTION, or ::VXERR_INVALID_CONTEXT, a token error, ::VXERR_NOT_FOUND (no
 *         such port),
 *         ::VXERR_INVALID_PORT_TYPE, ::VXERR_INVALID_PARTNUM.
 */
VEXA_API int32_t Vexa_DisconnectUnits(VexaContext *context, int32_t unitToken, uint32_t portID,
                                      int32_t part);

/** @} */

/**
 * @defgroup queues Data queues
 * Regions of samples and envelopes queued onto the queue port (`Data`, 0x0000e24c) of sample
 * readers and writers and of EnvelopeLinear, played one after the other on the audio thread.
 * @{
 */
/**
 * Vexa_QueueDataAt() at the current tick.
 * @param context The context.
 * @param unitToken The unit.
 * @param portID Its queue port.
 * @param dataToken A sample or an envelope.
 * @param startFrame First frame of the region.
 * @param numFrames Frames in the region (at least 1).
 * @param flags ::VEXA_QUEUE_LOOP, ::VEXA_QUEUE_AUTO_STOP, ::VEXA_QUEUE_REPLACEABLE (others are ignored).
 * @return As Vexa_QueueDataAt().
 */
VEXA_API int32_t Vexa_QueueData(VexaContext *context, int32_t unitToken, uint32_t portID,
                                int32_t dataToken, uint32_t startFrame, uint32_t numFrames,
                                uint32_t flags);
/**
 * Appends a region of a sample or envelope to a unit's queue port at a tick.
 *
 * The region starts when everything queued before it has played (a looping region ends its pass
 * first); it holds its sample or envelope until it is done, so the data's token may be deleted
 * meanwhile. Takes the peer lock.
 * @param context The context.
 * @param time The tick; a tick in the past means the next batch.
 * @param unitToken The unit.
 * @param portID Its queue port.
 * @param dataToken A sample (with as many channels as the port plays) or an envelope.
 * @param startFrame First frame of the region.
 * @param numFrames Frames in the region (at least 1; the region must lie in the data).
 * @param flags ::VEXA_QUEUE_LOOP, ::VEXA_QUEUE_AUTO_STOP, ::VEXA_QUEUE_REPLACEABLE (others are ignored).
 * @return 0, or ::VXERR_INVALID_CONTEXT, a token error, ::VXERR_NOT_FOUND,
 *         ::VXERR_INVALID_PORT_TYPE (not a queue port),
 *         ::VXERR_CHANNELS_MISMATCH, ::VXERR_OUT_OF_RANGE, ::VXERR_NO_MEMORY, ::VXERR_F2B_FULL.
 */
VEXA_API int32_t Vexa_QueueDataAt(VexaContext *context, int32_t time, int32_t unitToken,
                                  uint32_t portID, int32_t dataToken, uint32_t startFrame,
                                  uint32_t numFrames, uint32_t flags);
/**
 * Vexa_ClearDataQueueAt() at the current tick.
 * @param context The context.
 * @param unitToken The unit.
 * @param portID Its queue port.
 * @return As Vexa_ClearDataQueueAt().
 */
VEXA_API int32_t Vexa_ClearDataQueue(VexaContext *context, int32_t unitToken, uint32_t portID);
/**
 * At a tick, drops every region waiting on a queue port and stops the one playing; the unit keeps
 * running with nothing to play. Takes the peer lock.
 * @param context The context.
 * @param time The tick; a tick in the past means the next batch.
 * @param unitToken The unit.
 * @param portID Its queue port.
 * @return 0, or ::VXERR_INVALID_CONTEXT, a token error, ::VXERR_NOT_FOUND,
 *         ::VXERR_INVALID_PORT_TYPE (not a queue port),
 *         ::VXERR_NO_MEMORY, ::VXERR_F2B_FULL.
 */
VEXA_API int32_t Vexa_ClearDataQueueAt(VexaContext *context, int32_t time, int32_t unitToken,
                                       uint32_t portID);

/** @} */

/**
 * @defgroup samples Samples
 * Blocks of signed 16-bit frames, mono or stereo (interleaved left, right); a value v stands
 * for v / 32768. Frames can be written and read at any time, also while a unit plays them.
 * @{
 */
/**
 * Creates a zero-filled sample.
 * @param context The context.
 * @param numFrames Frames (at least 1).
 * @param channelsPerFrame 1 or 2.
 * @return The sample's token, or ::VXERR_INVALID_CONTEXT, ::VXERR_OUT_OF_RANGE,
 *         ::VXERR_NO_MEMORY, ::VXERR_TOO_MANY_TOKENS.
 */
VEXA_API int32_t Vexa_CreateSample(VexaContext *context, uint32_t numFrames,
                                   int32_t channelsPerFrame);
/**
 * Copies frames from the caller's array into a sample. Takes the peer lock.
 * @param context The context.
 * @param sampleToken The sample.
 * @param startFrame First frame written.
 * @param frames numFrames * channels values.
 * @param numFrames Frames to copy (0 copies nothing).
 * @return 0, ::VXERR_OUT_OF_RANGE (past the end), or ::VXERR_INVALID_CONTEXT,
 *         ::VXERR_INVALID_TOKEN, ::VXERR_WRONG_CONTEXT,
 *         ::VXERR_INVALID_TOKEN_TYPE.
 */
VEXA_API int32_t Vexa_WriteSample(VexaContext *context, int32_t sampleToken,
                                  uint32_t startFrame, const int16_t *frames,
                                  uint32_t numFrames);
/**
 * Copies frames of a sample into the caller's array. Takes the peer lock.
 * @param context The context.
 * @param sampleToken The sample.
 * @param startFrame First frame read.
 * @param frames Room for numFrames * channels values.
 * @param numFrames Frames to copy (0 copies nothing).
 * @return 0, ::VXERR_OUT_OF_RANGE (past the end), or ::VXERR_INVALID_CONTEXT,
 *         ::VXERR_INVALID_TOKEN, ::VXERR_WRONG_CONTEXT,
 *         ::VXERR_INVALID_TOKEN_TYPE.
 */
VEXA_API int32_t Vexa_ReadSample(VexaContext *context, int32_t sampleToken,
                                 uint32_t startFrame, int16_t *frames, uint32_t numFrames);
/**
 * Vexa_WriteSample() from a Java-style array: the frames start `offset` values into an array of
 * `length` values.
 * @param context The context.
 * @param sampleToken The sample.
 * @param startFrame First frame written.
 * @param numFrames Frames to copy.
 * @param base The array's first element.
 * @param offset Where the frames start, in 16-bit values (not frames).
 * @param length The array's length in values.
 * @return As Vexa_WriteSample(); ::VXERR_OUT_OF_RANGE when offset > length or the frames do not
 *         fit after the offset.
 */
VEXA_API int32_t Vexa_WriteSampleJava(VexaContext *context, int32_t sampleToken,
                                      uint32_t startFrame, uint32_t numFrames,
                                      const int16_t *base, uint32_t offset, uint32_t length);
/**
 * Vexa_ReadSample() into a Java-style array, as Vexa_WriteSampleJava().
 * @param context The context.
 * @param sampleToken The sample.
 * @param startFrame First frame read.
 * @param numFrames Frames to copy.
 * @param base The array's first element.
 * @param offset Where the frames go, in 16-bit values.
 * @param length The array's length in values.
 * @return As Vexa_WriteSampleJava().
 */
VEXA_API int32_t Vexa_ReadSampleJava(VexaContext *context, int32_t sampleToken,
                                     uint32_t startFrame, uint32_t numFrames, int16_t *base,
                                     uint32_t offset, uint32_t length);

/** @} */

/**
 * @defgroup envelopes Envelopes
 * Breakpoint curves played by EnvelopeLinear: frames of two doubles, the duration of the glide
 * in seconds and the value it reaches. A client array is duration, value, duration, value, ...
 * @{
 */
/**
 * Creates a zero-filled envelope.
 * @param context The context.
 * @param numFrames Frames (at least 1).
 * @return The envelope's token, or ::VXERR_INVALID_CONTEXT, ::VXERR_OUT_OF_RANGE,
 *         ::VXERR_NO_MEMORY, ::VXERR_TOO_MANY_TOKENS.
 */
VEXA_API int32_t Vexa_CreateEnvelope(VexaContext *context, uint32_t numFrames);
/**
 * Copies frames from the caller's array into an envelope. Frames already reached by a playing
 * unit are not read again. Takes the peer lock.
 * @param context The context.
 * @param envelopeToken The envelope.
 * @param startFrame First frame written.
 * @param frames 2 * numFrames doubles.
 * @param numFrames Frames to copy (0 copies nothing).
 * @return 0, ::VXERR_OUT_OF_RANGE, or ::VXERR_INVALID_CONTEXT, ::VXERR_INVALID_TOKEN,
 *         ::VXERR_WRONG_CONTEXT,
 *         ::VXERR_INVALID_TOKEN_TYPE.
 */
VEXA_API int32_t Vexa_WriteEnvelope(VexaContext *context, int32_t envelopeToken,
                                    uint32_t startFrame, const double *frames,
                                    uint32_t numFrames);
/**
 * Copies frames of an envelope into the caller's array. Takes the peer lock.
 * @param context The context.
 * @param envelopeToken The envelope.
 * @param startFrame First frame read.
 * @param frames Room for 2 * numFrames doubles.
 * @param numFrames Frames to copy (0 copies nothing).
 * @return 0, ::VXERR_OUT_OF_RANGE, or ::VXERR_INVALID_CONTEXT, ::VXERR_INVALID_TOKEN,
 *         ::VXERR_WRONG_CONTEXT,
 *         ::VXERR_INVALID_TOKEN_TYPE.
 */
VEXA_API int32_t Vexa_ReadEnvelope(VexaContext *context, int32_t envelopeToken,
                                   uint32_t startFrame, double *frames, uint32_t numFrames);
/**
 * The copy routine of the envelope calls, with a limit on the bytes copied.
 * @param context The context.
 * @param envelopeToken The envelope.
 * @param startFrame First frame.
 * @param numFrames Frames to copy.
 * @param buffer The caller's frames (16 bytes each).
 * @param maxBytes Room in the buffer; numFrames * 16 above it gives ::VXERR_OUT_OF_RANGE.
 * @param write Nonzero: buffer to envelope; 0: envelope to buffer.
 * @return 0, ::VXERR_OUT_OF_RANGE, or ::VXERR_INVALID_CONTEXT, ::VXERR_INVALID_TOKEN,
 *         ::VXERR_WRONG_CONTEXT,
 *         ::VXERR_INVALID_TOKEN_TYPE.
 */
VEXA_API int32_t Vexa_ReadWriteEnvelope(VexaContext *context, int32_t envelopeToken,
                                        uint32_t startFrame, uint32_t numFrames, void *buffer,
                                        uint32_t maxBytes, int32_t write);
/**
 * Vexa_WriteEnvelope() from a Java-style array of doubles.
 * @param context The context.
 * @param envelopeToken The envelope.
 * @param startFrame First frame written.
 * @param numFrames Frames to copy.
 * @param base The array's first element.
 * @param offset Where the frames start, in frames (pairs of doubles).
 * @param length The array's length in doubles.
 * @return As Vexa_WriteEnvelope(); ::VXERR_OUT_OF_RANGE when 2 * offset > length or the frames
 *         do not fit after the offset.
 */
VEXA_API int32_t Vexa_WriteEnvelopeJava(VexaContext *context, int32_t envelopeToken,
                                        uint32_t startFrame, uint32_t numFrames,
                                        const double *base, uint32_t offset, uint32_t length);
/**
 * Vexa_ReadEnvelope() into a Java-style array of doubles, as Vexa_WriteEnvelopeJava().
 * @param context The context.
 * @param envelopeToken The envelope.
 * @param startFrame First frame read.
 * @param numFrames Frames to copy.
 * @param base The array's first element.
 * @param offset Where the frames go, in frames.
 * @param length The array's length in doubles.
 * @return As Vexa_WriteEnvelopeJava().
 */
VEXA_API int32_t Vexa_ReadEnvelopeJava(VexaContext *context, int32_t envelopeToken,
                                       uint32_t startFrame, uint32_t numFrames, double *base,
                                       uint32_t offset, uint32_t length);

/** @} */

/**
 * @defgroup tables Tables
 * Arrays of floats read by TableLookup (a transfer curve over input -1 .. +1) and
 * WaveOscillator (one cycle), attached directly to a unit's `Table` port (0x000743dc).
 * @{
 */
/**
 * Creates a zero-filled table.
 * @param context The context.
 * @param numFrames Values (at least 1).
 * @return The table's token, or ::VXERR_INVALID_CONTEXT, ::VXERR_OUT_OF_RANGE,
 *         ::VXERR_NO_MEMORY, ::VXERR_TOO_MANY_TOKENS.
 */
VEXA_API int32_t Vexa_CreateTable(VexaContext *context, uint32_t numFrames);
/**
 * Stores 16-bit values into a table, each as value / 32768. Takes the peer lock; a unit reading
 * the table meanwhile may hear old and new values within one block.
 * @param context The context.
 * @param tableToken The table.
 * @param startFrame First value written.
 * @param values numFrames values.
 * @param numFrames Values to store.
 * @return 0, ::VXERR_OUT_OF_RANGE, or ::VXERR_INVALID_CONTEXT, ::VXERR_INVALID_TOKEN,
 *         ::VXERR_WRONG_CONTEXT,
 *         ::VXERR_INVALID_TOKEN_TYPE.
 */
VEXA_API int32_t Vexa_WriteTable(VexaContext *context, int32_t tableToken, uint32_t startFrame,
                                 const int16_t *values, uint32_t numFrames);
/**
 * Stores doubles into a table, each rounded to float (not clipped).
 * @param context The context.
 * @param tableToken The table.
 * @param startFrame First value written.
 * @param values numFrames values.
 * @param numFrames Values to store.
 * @return 0, ::VXERR_OUT_OF_RANGE, or ::VXERR_INVALID_CONTEXT, ::VXERR_INVALID_TOKEN,
 *         ::VXERR_WRONG_CONTEXT,
 *         ::VXERR_INVALID_TOKEN_TYPE.
 */
VEXA_API int32_t Vexa_WriteTableDoubles(VexaContext *context, int32_t tableToken,
                                        uint32_t startFrame, const double *values,
                                        uint32_t numFrames);
/**
 * Vexa_WriteTable() from a Java-style array.
 * @param context The context.
 * @param tableToken The table.
 * @param startFrame First value written.
 * @param numFrames Values to store.
 * @param base The array's first element.
 * @param offset Where the values start in the array.
 * @param length The array's length.
 * @return As Vexa_WriteTable(); ::VXERR_OUT_OF_RANGE when offset > length or the values do not
 *         fit after the offset.
 */
VEXA_API int32_t Vexa_WriteTableJava(VexaContext *context, int32_t tableToken,
                                     uint32_t startFrame, uint32_t numFrames,
                                     const int16_t *base, uint32_t offset, uint32_t length);
/**
 * Vexa_WriteTableDoubles() from a Java-style array.
 * @param context The context.
 * @param tableToken The table.
 * @param startFrame First value written.
 * @param numFrames Values to store.
 * @param base The array's first element.
 * @param offset Where the values start in the array.
 * @param length The array's length.
 * @return As Vexa_WriteTableJava().
 */
VEXA_API int32_t Vexa_WriteTableDoublesJava(VexaContext *context, int32_t tableToken,
                                            uint32_t startFrame, uint32_t numFrames,
                                            const double *base, uint32_t offset,
                                            uint32_t length);
/**
 * Attaches a table to a unit's table port, or detaches the current one (tableToken 0).
 *
 * The port holds the table, so its token may be deleted while it is attached; the change takes
 * effect at the next block the unit computes (not timed). Takes the peer lock.
 * @param context The context.
 * @param unitToken The unit (TableLookup or WaveOscillator).
 * @param portID Its table port.
 * @param partNum Must be 0.
 * @param tableToken The table, or 0 to detach.
 * @return 0, ::VXERR_OUT_OF_RANGE (partNum), ::VXERR_NOT_FOUND, ::VXERR_INVALID_PORT_TYPE, or
 *         ::VXERR_INVALID_CONTEXT, ::VXERR_INVALID_TOKEN, ::VXERR_WRONG_CONTEXT,
 *         ::VXERR_INVALID_TOKEN_TYPE.
 */
VEXA_API int32_t Vexa_UseTable(VexaContext *context, int32_t unitToken, uint32_t portID,
                               int32_t partNum, int32_t tableToken);

/** @} */

/**
 * @defgroup debugging Debugging
 * Reports on standard output and the trace level.
 * @{
 */
/** Vexa_Debug(): prints a report of every thing and asks the audio thread to print its own at
 *  its next batch; returns 0. */
#define VEXA_DEBUG_REPORT 1
/** Vexa_Debug(): returns the host's answer (0 on Linux). */
#define VEXA_DEBUG_HOST 2
/** Vexa_Debug(): returns the number of engine allocations not yet freed. */
#define VEXA_DEBUG_ALLOCATIONS 5
/** Vexa_Debug(): prints the debug scratch values; returns 0. */
#define VEXA_DEBUG_SCRATCH 6
/**
 * Debug requests: ::VEXA_DEBUG_REPORT, ::VEXA_DEBUG_HOST, ::VEXA_DEBUG_ALLOCATIONS,
 * ::VEXA_DEBUG_SCRATCH; other codes return -1.
 * @param context The context.
 * @param code The request.
 * @param arg Passed to the host for codes it answers.
 * @return The request's result, or ::VXERR_INVALID_CONTEXT.
 */
VEXA_API int32_t Vexa_Debug(VexaContext *context, int32_t code, int32_t arg);
/** The trace level from which the diagnostics of the audio libraries under PortAudio (ALSA's,
 *  JACK's) are shown on standard error; below it they are dropped. */
#define VEXA_TRACE_AUDIO_LIBRARIES 3
/**
 * Sets how much the context prints: 0 nothing (the default), 1 the banner at Vexa_Initialize(),
 * 2 also shared starts, ::VEXA_TRACE_AUDIO_LIBRARIES also the audio libraries' own diagnostics.
 * Those libraries are process-wide: their diagnostics follow the level most recently set on any
 * context. An invalid context is ignored.
 * @param context The context.
 * @param level The trace level.
 */
VEXA_API void Vexa_SetTrace(VexaContext *context, int32_t level);
/**
 * Reads the trace level.
 * @param context The context.
 * @return The level, or ::VXERR_INVALID_CONTEXT.
 */
VEXA_API int32_t Vexa_GetTrace(VexaContext *context);

/** @} */

#ifdef __cplusplus
}
#endif

#endif /* VELTO_H */
