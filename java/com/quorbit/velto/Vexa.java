package com.quorbit.velto;

/**
 * The native interface of the Velto synthesis engine (library VeltoV142).
 *
 * <p>Every method forwards to the engine's C interface and returns its result unchanged: 0 or a
 * positive value (a handle, a token, a count) on success, a negative error code on failure
 * ({@link #errorCodeToText} gives its message). Methods returning a double report an error as the
 * code converted to double; {@link #getPort} reports an error code c as c - 1000000.0.
 *
 * <p>Contexts are 32-bit handles handed out by {@link #createContext} (0 when creation fails) and
 * valid until {@link #deleteContext}; a handle that was never handed out, or whose context was
 * deleted, gives -63. Array methods check that the declared length equals the array's length
 * (-79 otherwise, the array untouched); a null array gives -84; an array the virtual machine
 * cannot expose gives -89.
 *
 * <p>The library is loaded when the class is initialised: from the absolute or relative file path
 * in the system property {@value #LIBRARY_PROPERTY} when it is set, otherwise by its name
 * {@value #LIBRARY_NAME} through {@code java.library.path}. When it is not found there, the copy
 * that the jar carries for this platform ({@code /com/quorbit/velto/native/<os>-<arch>/}, for
 * example {@code linux-x86_64/libVeltoV142.so}) is extracted to a temporary file, deleted when
 * the virtual machine exits, and loaded from there.
 *
 * <p>The object API ({@link Engine}, {@link Unit} and the classes of the unit types) is built on
 * these methods and turns their error codes into exceptions.
 */
public final class Vexa {
    /** System property naming the library file to load. */
    public static final String LIBRARY_PROPERTY = "velto.library";
    /** Library name looked up in {@code java.library.path} when the property is not set. */
    public static final String LIBRARY_NAME = "VeltoV142";

    static {
        NativeLibrary.load();
    }

    private Vexa() {}

    /* Called by the other classes with native methods, so that the library is loaded first. */
    static void ensureLoaded() {}

    /* Contexts and lifecycle */
    /**
     * Creates a context (Vexa_CreateContext), not yet initialised.
     * @return its handle, or 0 when no context could be made
     */
    public static native int createContext();

    /**
     * Terminates a context once and frees it (Vexa_DeleteContext); waits until the calls in flight
     * on it have returned. A handle that is not live is ignored.
     * @param context the handle, invalid afterwards
     */
    public static native void deleteContext(int context);

    /**
     * Initialises the engine of a context (Vexa_Initialize); counted, each call balanced by {@link
     * #terminate}.
     * @param context the context
     * @return 0 or a negative error code
     */
    public static native int initialize(int context);

    /**
     * Balances one {@link #initialize} (Vexa_Terminate); the last one stops the engine and deletes
     * every thing.
     * @param context the context
     * @return after the last termination the number of engine allocations still outstanding,
     *         otherwise 0, or a negative error code
     */
    public static native int terminate(int context);

    /**
     * {@link #initialize} followed by {@link #start} (Vexa_StartEngine).
     * @param context the context
     * @param flags start flags, as for {@link #start}
     * @param frameRate frames per second; 1.0 or less means 44100
     * @return 0 or a negative error code
     */
    public static native int startEngine(int context, int flags, double frameRate);

    /**
     * The same as {@link #terminate} (Vexa_StopEngine).
     * @param context the context
     * @return as {@link #terminate}
     */
    public static native int stopEngine(int context);

    /**
     * Starts the engine on the default devices, 2 channels each way (Vexa_Start); counted, each
     * start balanced by {@link #stop}.
     * @param context an initialised context
     * @param flags 0x04 no device, 0x20 with the default input, 0x40 no output, 0x02 printed output
     * @param frameRate frames per second; 1.0 or less means 44100
     * @return 0 or a negative error code (-83 when no stream could be opened)
     */
    public static native int start(int context, int flags, double frameRate);

    /**
     * Starts the engine on chosen devices (Vexa_StartDevices); with flag 0x04 no device is opened
     * and the channel counts give the layout of offline rendering.
     * @param context an initialised context
     * @param flags start flags, as for {@link #start}
     * @param frameRate frames per second; 1.0 or less means 44100
     * @param inputDeviceID input device, or -1 for none
     * @param numInputChannels input channels per frame, 0 to 1024
     * @param outputDeviceID output device, or -1 for none
     * @param numOutputChannels output channels per frame, 0 to 1024
     * @return 0 or a negative error code
     */
    public static native int startDevices(int context, int flags, double frameRate,
            int inputDeviceID, int numInputChannels, int outputDeviceID, int numOutputChannels);

    /**
     * Balances one start (Vexa_Stop); the last one closes the stream.
     * @param context the context
     * @return 0 or a negative error code
     */
    public static native int stop(int context);

    /* Things, units and time */
    /**
     * Deletes a unit, circuit, sample, envelope or table (Vexa_Delete).
     * @param context the context
     * @param token the thing's token, dead afterwards
     * @return 0 or a negative error code
     */
    public static native int delete(int context, int token);

    /**
     * Starts a unit or circuit with the next batch (Vexa_StartUnit).
     * @param context the context
     * @param unit a unit or circuit token
     * @return 0 or a negative error code
     */
    public static native int startUnit(int context, int unit);

    /**
     * Stops a unit or circuit with the next batch (Vexa_StopUnit).
     * @param context the context
     * @param unit a unit or circuit token
     * @return 0 or a negative error code
     */
    public static native int stopUnit(int context, int unit);

    /**
     * Starts a unit or circuit at a tick (Vexa_StartUnitAt).
     * @param context the context
     * @param tick the tick; one in the past means the next batch
     * @param unit a unit or circuit token
     * @return 0 or a negative error code
     */
    public static native int startUnitAt(int context, int tick, int unit);

    /**
     * Stops a unit or circuit at a tick (Vexa_StopUnitAt).
     * @param context the context
     * @param tick the tick; one in the past means the next batch
     * @param unit a unit or circuit token
     * @return 0 or a negative error code
     */
    public static native int stopUnitAt(int context, int tick, int unit);

    /**
     * Counts the things of a context (Vexa_GetObjectCount).
     * @param context the context
     * @return the count, or a negative error code
     */
    public static native int getObjectCount(int context);

    /**
     * Reads the number of frames computed so far (Vexa_GetFrameCount).
     * @param context the context
     * @return the frame count (wraps at 2<sup>32</sup>), or -63
     */
    public static native int getFrameCount(int context);

    /**
     * Reads the engine clock, in ticks of 64 frames (Vexa_GetTickCount).
     * @param context the context
     * @return the tick count, or -63
     */
    public static native int getTickCount(int context);

    /**
     * Waits until the clock reaches a tick, computing the ticks on this thread in no-device mode
     * (Vexa_SleepUntilTick).
     * @param context a started context
     * @param tick the tick to reach
     * @return 0 or a negative error code
     */
    public static native int sleepUntilTick(int context, int tick);

    /**
     * Reports an error the audio thread posted, once (Vexa_CheckEngineErrors).
     * @param context the context
     * @return 0 or a negative error code
     */
    public static native int checkEngineErrors(int context);

    /**
     * Frames per tick (Vexa_GetFramesPerTick).
     * @param context the context
     * @return 64, or -63
     */
    public static native int getFramesPerTick(int context);

    /**
     * The frame rate of the first start (Vexa_GetFrameRate).
     * @param context the context
     * @return frames per second (0.0 before the first start), or -63.0
     */
    public static native double getFrameRate(int context);

    /**
     * Ticks per second (Vexa_GetTickRate).
     * @param context the context
     * @return the frame rate / 64, or -63.0
     */
    public static native double getTickRate(int context);

    /**
     * The engine version (Vexa_GetVersion).
     * @return 142 for version 14.2
     */
    public static native int getVersion();

    /**
     * Sets the priority a unit runs with from its next start (Vexa_SetPriority).
     * @param context the context
     * @param unit a unit or circuit token
     * @param priority 0, 1 (the default) or 2 (runs first)
     * @return 0 or a negative error code
     */
    public static native int setPriority(int context, int unit, int priority);

    /**
     * Reads a unit's priority (Vexa_GetPriority).
     * @param context the context
     * @param unit a unit or circuit token
     * @return 0, 1 or 2, or a negative error code
     */
    public static native int getPriority(int context, int unit);

    /**
     * Creates a stopped unit (Vexa_CreateUnit).
     * @param context an initialised context
     * @param typeID the unit type ID ({@code Ids.UNIT_*})
     * @param rate must be 0
     * @param initArgument device channel of LineOut, ChannelOut, LineIn, ChannelIn; line length
     *        of Delay, DelayInterp; otherwise ignored
     * @return the unit's token, or a negative error code
     */
    public static native int createUnit(int context, int typeID, int rate, int initArgument);

    /**
     * Gathers stopped units into a circuit (Vexa_CreateCircuit).
     * @param context the context
     * @param units the member tokens
     * @param count how many of the array's first tokens are members
     * @param flags must be 0
     * @return the circuit's token, or a negative error code (-84 for a count below 0 or beyond
     *         the array)
     */
    public static native int createCircuit(int context, int[] units, int count, int flags);

    /* Ports and connections */
    /**
     * Sets an input or variable part with the next batch (Vexa_SetPort).
     * @param context the context
     * @param unit the unit
     * @param portID the port ID ({@code Ids.PORT_*})
     * @param partNum the part
     * @param value the value, in the port's outside units
     * @return 0, the warning 100 (the input is connected and goes on reading its source), or a
     *         negative error code
     */
    public static native int setPort(int context, int unit, int portID, int partNum, double value);

    /**
     * Sets an input or variable part at a tick (Vexa_SetPortAt).
     * @param context the context
     * @param tick the tick; one in the past means the next batch
     * @param unit the unit
     * @param portID the port ID
     * @param partNum the part
     * @param value the value, in the port's outside units
     * @return as {@link #setPort}
     */
    public static native int setPortAt(int context, int tick, int unit, int portID, int partNum,
            double value);

    /**
     * Reads the current value of an input, output or variable part (Vexa_GetPort).
     * @param context the context
     * @param unit the unit
     * @param portID the port ID
     * @param partNum the part
     * @return the value, or an error code c as c - 1000000.0
     */
    public static native double getPort(int context, int unit, int portID, int partNum);

    /**
     * Reads the frame counter of a queue port (Vexa_GetPortFrames).
     * @param context the context
     * @param unit the unit
     * @param portID a queue port
     * @param partNum must be 0
     * @return the count; -1 on any error, -2 when the count itself is -1
     */
    public static native int getPortFrames(int context, int unit, int portID, int partNum);

    /**
     * The number of parts of a port (Vexa_GetNumParts).
     * @param context the context
     * @param unit the unit
     * @param portID the port ID
     * @return 1, 2 or 4, or a negative error code
     */
    public static native int getNumParts(int context, int unit, int portID);

    /**
     * Changes the signal type of an input, variable or queue part (Vexa_SetPortSignalType).
     * @param context the context
     * @param unit the unit
     * @param portID the port ID
     * @param partNum the part
     * @param signalType 0..7
     * @return 0 or a negative error code
     */
    public static native int setPortSignalType(int context, int unit, int portID, int partNum,
            int signalType);

    /**
     * Reads the signal type of an input, variable or queue part (Vexa_GetPortSignalType).
     * @param context the context
     * @param unit the unit
     * @param portID the port ID
     * @param partNum the part
     * @return the type 0..7, or a negative error code
     */
    public static native int getPortSignalType(int context, int unit, int portID, int partNum);

    /**
     * Connects an output part to an input part, or a bus output part to a bus input part
     * (Vexa_ConnectUnits).
     * @param context the context
     * @param sourceUnit the unit with the output
     * @param sourcePortID an output or bus output port
     * @param sourcePart its part
     * @param targetUnit the unit with the input
     * @param targetPortID an input or bus input port
     * @param targetPart its part
     * @return 0, the warning 100 (an earlier source was replaced), or a negative error code
     */
    public static native int connectUnits(int context, int sourceUnit, int sourcePortID,
            int sourcePart, int targetUnit, int targetPortID, int targetPart);

    /**
     * Removes every connection of a part (Vexa_DisconnectUnits).
     * @param context the context
     * @param unit the unit
     * @param portID an input, output, bus input or bus output port
     * @param partNum the part
     * @return 0, the warning 101 (the part had no connection), or a negative error code
     */
    public static native int disconnectUnits(int context, int unit, int portID, int partNum);

    /* Samples, envelopes, queues and tables */
    /**
     * Creates a zero-filled sample (Vexa_CreateSample).
     * @param context the context
     * @param numFrames frames, at least 1
     * @param channelsPerFrame 1 or 2
     * @return the sample's token, or a negative error code
     */
    public static native int createSample(int context, int numFrames, int channelsPerFrame);

    /**
     * Copies frames of a sample into an array (Vexa_ReadSampleJava).
     * @param context the context
     * @param sample the sample
     * @param startFrame first frame read
     * @param numFrames frames to copy
     * @param data where the values go
     * @param offset where the first value goes, in values
     * @param length the array's length
     * @return 0 or a negative error code
     */
    public static native int readSample(int context, int sample, int startFrame, int numFrames,
            short[] data, int offset, int length);

    /**
     * Copies frames from an array into a sample (Vexa_WriteSampleJava).
     * @param context the context
     * @param sample the sample
     * @param startFrame first frame written
     * @param numFrames frames to copy
     * @param data the values, channels interleaved
     * @param offset where the first value is, in values
     * @param length the array's length
     * @return 0 or a negative error code
     */
    public static native int writeSample(int context, int sample, int startFrame, int numFrames,
            short[] data, int offset, int length);

    /**
     * Creates a zero-filled envelope (Vexa_CreateEnvelope).
     * @param context the context
     * @param numFrames frames, at least 1
     * @return the envelope's token, or a negative error code
     */
    public static native int createEnvelope(int context, int numFrames);

    /**
     * Copies frames of an envelope into an array (Vexa_ReadEnvelopeJava).
     * @param context the context
     * @param envelope the envelope
     * @param startFrame first frame read
     * @param numFrames frames to copy
     * @param data where the duration, value pairs go
     * @param offset where the first frame goes, in frames
     * @param length the array's length
     * @return 0 or a negative error code
     */
    public static native int readEnvelope(int context, int envelope, int startFrame,
            int numFrames, double[] data, int offset, int length);

    /**
     * Copies frames from an array into an envelope (Vexa_WriteEnvelopeJava).
     * @param context the context
     * @param envelope the envelope
     * @param startFrame first frame written
     * @param numFrames frames to copy
     * @param data duration, value pairs
     * @param offset where the first frame is, in frames
     * @param length the array's length
     * @return 0 or a negative error code
     */
    public static native int writeEnvelope(int context, int envelope, int startFrame,
            int numFrames, double[] data, int offset, int length);

    /**
     * Queues a region of a sample or envelope on a queue port with the next batch
     * (Vexa_QueueData).
     * @param context the context
     * @param unit the unit
     * @param portID its queue port
     * @param data a sample or envelope
     * @param startFrame first frame of the region
     * @param numFrames frames in the region
     * @param flags 0x08 loop, 0x10 auto-stop, 0x80 replaceable
     * @return 0 or a negative error code
     */
    public static native int queueData(int context, int unit, int portID, int data,
            int startFrame, int numFrames, int flags);

    /**
     * Queues a region of a sample or envelope on a queue port at a tick (Vexa_QueueDataAt).
     * @param context the context
     * @param tick the tick; one in the past means the next batch
     * @param unit the unit
     * @param portID its queue port
     * @param data a sample or envelope
     * @param startFrame first frame of the region
     * @param numFrames frames in the region
     * @param flags 0x08 loop, 0x10 auto-stop, 0x80 replaceable
     * @return 0 or a negative error code
     */
    public static native int queueDataAt(int context, int tick, int unit, int portID, int data,
            int startFrame, int numFrames, int flags);

    /**
     * Drops the regions of a queue port with the next batch (Vexa_ClearDataQueue).
     * @param context the context
     * @param unit the unit
     * @param portID its queue port
     * @return 0 or a negative error code
     */
    public static native int clearDataQueue(int context, int unit, int portID);

    /**
     * Drops the regions of a queue port at a tick (Vexa_ClearDataQueueAt).
     * @param context the context
     * @param tick the tick; one in the past means the next batch
     * @param unit the unit
     * @param portID its queue port
     * @return 0 or a negative error code
     */
    public static native int clearDataQueueAt(int context, int tick, int unit, int portID);

    /**
     * Creates a zero-filled table (Vexa_CreateTable).
     * @param context the context
     * @param numFrames values, at least 1
     * @return the table's token, or a negative error code
     */
    public static native int createTable(int context, int numFrames);

    /**
     * Stores 16-bit values into a table, each as value / 32768 (Vexa_WriteTableJava).
     * @param context the context
     * @param table the table
     * @param startFrame first value written
     * @param numFrames values to store
     * @param data the values
     * @param offset where the first value is
     * @param length the array's length
     * @return 0 or a negative error code
     */
    public static native int writeTable(int context, int table, int startFrame, int numFrames,
            short[] data, int offset, int length);

    /**
     * Stores doubles into a table, each rounded to float (Vexa_WriteTableDoublesJava).
     * @param context the context
     * @param table the table
     * @param startFrame first value written
     * @param numFrames values to store
     * @param data the values
     * @param offset where the first value is
     * @param length the array's length
     * @return 0 or a negative error code
     */
    public static native int writeTableDoubles(int context, int table, int startFrame,
            int numFrames, double[] data, int offset, int length);

    /**
     * Attaches a table to a unit's table port, or detaches it (Vexa_UseTable).
     * @param context the context
     * @param unit the unit
     * @param portID its table port
     * @param partNum must be 0
     * @param table the table, or 0 to detach
     * @return 0 or a negative error code
     */
    public static native int useTable(int context, int unit, int portID, int partNum, int table);

    /* Render threads */
    /**
     * Sets how many threads compute the context's batches (Vexa_SetRenderThreads): the thread
     * that runs them and count - 1 workers; the output is the same to the bit for every count.
     * May be called before or after a start; takes effect at the next batch.
     * @param context the context
     * @param count 1 to 64
     * @return 0 or a negative error code (-84 for a count outside 1 to 64)
     */
    public static native int setRenderThreads(int context, int count);

    /**
     * The number of render threads set (Vexa_GetRenderThreads), 1 by default.
     * @param context the context
     * @return 1 to 64, or a negative error code
     */
    public static native int getRenderThreads(int context);

    /* Devices, texts and debugging */
    /**
     * The fraction of the available time the audio callback uses (Vexa_GetUsage).
     * @param context the context
     * @return 0.0 to 1.0 (0.0 with no stream open), or -63.0
     */
    public static native double getUsage(int context);

    /**
     * Copies the message of a result code into a byte array, without a terminating NUL
     * (Vexa_ErrorCodeToTextJava).
     * @param code a result code
     * @param text where the ASCII bytes go
     * @param length the array's length; at most length - 1 bytes are copied
     * @return the number of bytes copied, or a negative error code
     */
    public static native int errorCodeToText(int code, byte[] text, int length);

    /**
     * Debug requests (Vexa_Debug): 1 prints a report of every thing, 5 returns the number of
     * engine allocations.
     * @param context the context
     * @param code the request
     * @param argument passed to the host for the codes it answers
     * @return the request's result, or -63
     */
    public static native int debug(int context, int code, int argument);

    /**
     * Sets how much the context prints (Vexa_SetTrace).
     * @param context the context
     * @param level 0 nothing, 1 the banner, 2 also shared starts
     * @return 0, or -63
     */
    public static native int setTrace(int context, int level);

    /**
     * Reads the trace level (Vexa_GetTrace).
     * @param context the context
     * @return the level, or -63
     */
    public static native int getTrace(int context);

    /**
     * The number of audio devices (Vexa_GetDeviceCount).
     * @return the count; device IDs run from 0 to the count - 1
     */
    public static native int getNumDevices();

    /**
     * The default input device (Vexa_GetDefaultInputDevice).
     * @return a device ID, or -1 when there is none
     */
    public static native int getDefaultInputDeviceID();

    /**
     * The default output device (Vexa_GetDefaultOutputDevice).
     * @return a device ID, or -1 when there is none
     */
    public static native int getDefaultOutputDeviceID();

    /**
     * The most input channels a device offers (Vexa_GetMaxInputChannels).
     * @param deviceID a device ID
     * @return the channel count, or -61
     */
    public static native int getMaxInputChannels(int deviceID);

    /**
     * The most output channels a device offers (Vexa_GetMaxOutputChannels).
     * @param deviceID a device ID
     * @return the channel count, or -61
     */
    public static native int getMaxOutputChannels(int deviceID);

    /**
     * Copies a device's name into a byte array, without a terminating NUL
     * (Vexa_DeviceIDToNameJava).
     * @param deviceID a device ID
     * @param name where the bytes go
     * @param length the array's length; at most length - 1 bytes are copied
     * @return the number of bytes copied, or a negative error code
     */
    public static native int getDeviceName(int deviceID, byte[] name, int length);
}
