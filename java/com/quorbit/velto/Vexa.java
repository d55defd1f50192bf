package com.quorbit.velto;

import java.io.File;

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
 * {@value #LIBRARY_NAME} through {@code java.library.path}.
 */
public final class Vexa {
    /** System property naming the library file to load. */
    public static final String LIBRARY_PROPERTY = "velto.library";
    /** Library name looked up in {@code java.library.path} when the property is not set. */
    public static final String LIBRARY_NAME = "VeltoV142";

    static {
        String path = System.getProperty(LIBRARY_PROPERTY);
        if (path != null && !path.isEmpty()) {
            System.load(new File(path).getAbsolutePath());
        } else {
            System.loadLibrary(LIBRARY_NAME);
        }
    }

    private Vexa() {}

    /* Contexts and lifecycle */
    public static native int createContext();
    public static native void deleteContext(int context);
    public static native int initialize(int context);
    public static native int terminate(int context);
    public static native int startEngine(int context, int flags, double frameRate);
    public static native int stopEngine(int context);
    public static native int start(int context, int flags, double frameRate);
    public static native int startDevices(int context, int flags, double frameRate,
            int inputDeviceID, int numInputChannels, int outputDeviceID, int numOutputChannels);
    public static native int stop(int context);

    /* Things, units and time */
    public static native int delete(int context, int token);
    public static native int startUnit(int context, int unit);
    public static native int stopUnit(int context, int unit);
    public static native int startUnitAt(int context, int tick, int unit);
    public static native int stopUnitAt(int context, int tick, int unit);
    public static native int getObjectCount(int context);
    public static native int getFrameCount(int context);
    public static native int getTickCount(int context);
    public static native int sleepUntilTick(int context, int tick);
    public static native int checkEngineErrors(int context);
    public static native int getFramesPerTick(int context);
    public static native double getFrameRate(int context);
    public static native double getTickRate(int context);
    public static native int getVersion();
    public static native int setPriority(int context, int unit, int priority);
    public static native int getPriority(int context, int unit);
    public static native int createUnit(int context, int typeID, int rate, int initArgument);
    public static native int createCircuit(int context, int[] units, int count, int flags);

    /* Ports and connections */
    public static native int setPort(int context, int unit, int portID, int partNum, double value);
    public static native int setPortAt(int context, int tick, int unit, int portID, int partNum,
            double value);
    public static native double getPort(int context, int unit, int portID, int partNum);
    public static native int getPortFrames(int context, int unit, int portID, int partNum);
    public static native int getNumParts(int context, int unit, int portID);
    public static native int setPortSignalType(int context, int unit, int portID, int partNum,
            int signalType);
    public static native int getPortSignalType(int context, int unit, int portID, int partNum);
    public static native int connectUnits(int context, int sourceUnit, int sourcePortID,
            int sourcePart, int targetUnit, int targetPortID, int targetPart);
    public static native int disconnectUnits(int context, int unit, int portID, int partNum);

    /* Samples, envelopes, queues and tables */
    public static native int createSample(int context, int numFrames, int channelsPerFrame);
    public static native int readSample(int context, int sample, int startFrame, int numFrames,
            short[] data, int offset, int length);
    public static native int writeSample(int context, int sample, int startFrame, int numFrames,
            short[] data, int offset, int length);
    public static native int createEnvelope(int context, int numFrames);
    public static native int readEnvelope(int context, int envelope, int startFrame,
            int numFrames, double[] data, int offset, int length);
    public static native int writeEnvelope(int context, int envelope, int startFrame,
            int numFrames, double[] data, int offset, int length);
    public static native int queueData(int context, int unit, int portID, int data,
            int startFrame, int numFrames, int flags);
    public static native int queueDataAt(int context, int tick, int unit, int portID, int data,
            int startFrame, int numFrames, int flags);
    public static native int clearDataQueue(int context, int unit, int portID);
    public static native int clearDataQueueAt(int context, int tick, int unit, int portID);
    public static native int createTable(int context, int numFrames);
    public static native int writeTable(int context, int table, int startFrame, int numFrames,
            short[] data, int offset, int length);
    public static native int writeTableDoubles(int context, int table, int startFrame,
            int numFrames, double[] data, int offset, int length);
    public static native int useTable(int context, int unit, int portID, int partNum, int table);

    /* Devices, texts and debugging */
    public static native double getUsage(int context);
    public static native int errorCodeToText(int code, byte[] text, int length);
    public static native int debug(int context, int code, int argument);
    public static native int setTrace(int context, int level);
    public static native int getTrace(int context);
    public static native int getNumDevices();
    public static native int getDefaultInputDeviceID();
    public static native int getDefaultOutputDeviceID();
    public static native int getMaxInputChannels(int deviceID);
    public static native int getMaxOutputChannels(int deviceID);
    public static native int getDeviceName(int deviceID, byte[] name, int length);
}
