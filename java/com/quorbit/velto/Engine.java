package com.quorbit.velto;

import java.nio.charset.StandardCharsets;
import java.util.function.IntUnaryOperator;

/**
 * One instance of the synthesis engine: a context of the library, initialised when the object is
 * made and released by {@link #close()}.
 *
 * <p>An engine computes audio in ticks of {@value #FRAMES_PER_TICK} frames. It runs either on
 * audio devices ({@link #start()}, {@link #startDevices}), where a device's callback computes
 * one tick per call, or offline ({@link #startOffline}), where the ticks are computed on the
 * caller's thread by {@link #render(int)} (or, without output, by {@link #sleepUntilTick}). The
 * tick count is the clock of every timed call ({@code startAt}, {@code setAt}, {@code queueAt},
 * ...): a tick in the past means "with the next batch".
 *
 * <pre>{@code
 * try (Engine engine = new Engine()) {
 *     engine.startOffline(44100.0, 2);
 *     SineOscillator sine = new SineOscillator(engine);
 *     LineOut out = new LineOut(engine, 0);
 *     sine.output.connect(out.input);          // one part feeds both parts of the LineOut
 *     sine.start();
 *     out.start();
 *     float[] frames = engine.render(100);     // 6400 stereo frames, interleaved
 * }
 * }</pre>
 *
 * <p>Errors: a call the engine refuses throws {@link VeltoException} with the engine's code and
 * message. After {@link #close()}, every method (of the engine, and of its units, ports and
 * data) throws {@link IllegalStateException}; closing again does nothing.
 *
 * <p>Threads: any thread may call any method, and several threads may use one engine at once
 * (the engine serialises the calls that change it). Several engines may live side by side; each
 * has its own clock and things, and a thing of one engine cannot be used with another.
 */
public final class Engine implements AutoCloseable {
    /** Frames per tick: the block of one batch. */
    public static final int FRAMES_PER_TICK = 64;
    /** The frame rate used by the starts that take none. */
    public static final double DEFAULT_FRAME_RATE = 44100.0;
    /** The most channels a start may have in each direction. */
    public static final int MAX_CHANNELS = 1024;
    /** The device ID that means "no device" in {@link #startDevices}. */
    public static final int NO_DEVICE = -1;

    private static final int FLAG_NO_DEVICE = 0x04;

    /* How a started engine runs; replaced whole, so that a reader sees the values of one start. */
    private static final class Mode {
        final boolean offline;
        final int inputChannels;
        final int outputChannels;

        Mode(boolean offline, int inputChannels, int outputChannels) {
            this.offline = offline;
            this.inputChannels = inputChannels;
            this.outputChannels = outputChannels;
        }
    }

    private final int handle;
    private final Object lifecycle = new Object();
    private volatile boolean closed;
    private volatile Mode mode; /* null while stopped */
    private volatile int outstandingAtClose;

    /**
     * Creates and initialises an engine. It computes nothing until it is started.
     *
     * @throws VeltoException when no context can be made or initialised
     */
    public Engine() {
        int h = Vexa.createContext();
        if (h == 0) throw new VeltoException(VeltoException.NO_MEMORY);
        int result = Vexa.initialize(h);
        if (result < 0) {
            Vexa.deleteContext(h);
            throw new VeltoException(result);
        }
        handle = h;
    }

    /* ---- Starting and stopping -------------------------------------------------------- */

    /**
     * Starts on the default output device, 2 channels, at {@value #DEFAULT_FRAME_RATE} frames per
     * second.
     *
     * @throws VeltoException with {@link VeltoException#HOST_INIT} when no stream can be opened
     *         (for example on a machine without an audio device)
     * @throws IllegalStateException when the engine is already started, or closed
     */
    public void start() {
        start(DEFAULT_FRAME_RATE);
    }

    /**
     * Starts on the default output device, 2 channels.
     *
     * @param frameRate frames per second; 1.0 or less means {@value #DEFAULT_FRAME_RATE}
     * @throws VeltoException with {@link VeltoException#HOST_INIT} when no stream can be opened
     * @throws IllegalStateException when the engine is already started, or closed
     */
    public void start(double frameRate) {
        begin(h -> Vexa.start(h, 0, frameRate), new Mode(false, 0, 2));
    }

    /**
     * Starts on chosen devices ({@link #deviceCount()} lists them).
     *
     * @param frameRate frames per second; 1.0 or less means {@value #DEFAULT_FRAME_RATE}
     * @param inputDevice the input device, or {@link #NO_DEVICE}
     * @param numInputChannels input channels per frame, 0 to {@value #MAX_CHANNELS}
     * @param outputDevice the output device, or {@link #NO_DEVICE}
     * @param numOutputChannels output channels per frame, 0 to {@value #MAX_CHANNELS}
     * @throws VeltoException when the devices cannot be opened with these channel counts
     * @throws IllegalStateException when the engine is already started, or closed
     */
    public void startDevices(double frameRate, int inputDevice, int numInputChannels,
            int outputDevice, int numOutputChannels) {
        begin(h -> Vexa.startDevices(h, 0, frameRate, inputDevice, numInputChannels,
                outputDevice, numOutputChannels),
                new Mode(false, numInputChannels, numOutputChannels));
    }

    /**
     * Starts without a device, for offline rendering with no input.
     *
     * @param frameRate frames per second; 1.0 or less means {@value #DEFAULT_FRAME_RATE}
     * @param numOutputChannels channels per frame of the rendered output, 0 to
     *        {@value #MAX_CHANNELS}
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} for a channel count
     *         outside the range
     * @throws IllegalStateException when the engine is already started, or closed
     */
    public void startOffline(double frameRate, int numOutputChannels) {
        startOffline(frameRate, 0, numOutputChannels);
    }

    /**
     * Starts without a device, for offline rendering. No stream is opened: the ticks are computed
     * on the calling thread by {@link #render(float[], float[], int)} (and by
     * {@link #sleepUntilTick}, which discards the output). LineIn and ChannelIn units read the
     * input frames given to {@code render}; LineOut and ChannelOut units write its output frames.
     *
     * @param frameRate frames per second; 1.0 or less means {@value #DEFAULT_FRAME_RATE}
     * @param numInputChannels channels per frame of the input, 0 to {@value #MAX_CHANNELS}
     * @param numOutputChannels channels per frame of the output, 0 to {@value #MAX_CHANNELS}
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} for a channel count
     *         outside the range
     * @throws IllegalStateException when the engine is already started, or closed
     */
    public void startOffline(double frameRate, int numInputChannels, int numOutputChannels) {
        begin(h -> Vexa.startDevices(h, FLAG_NO_DEVICE, frameRate, NO_DEVICE, numInputChannels,
                NO_DEVICE, numOutputChannels),
                new Mode(true, numInputChannels, numOutputChannels));
    }

    /**
     * Stops the engine: the device stream is closed (no tick is computed on the audio thread
     * once this returns), and offline rendering is no longer possible. Units, data and the clock
     * are kept; the engine can be started again. Does nothing when the engine is not started.
     *
     * @throws VeltoException when the engine reports an error
     * @throws IllegalStateException when the engine is closed
     */
    public void stop() {
        synchronized (lifecycle) {
            int h = handle();
            if (mode == null) return;
            mode = null;
            check(Vexa.stop(h));
        }
    }

    /**
     * Whether the engine is started.
     *
     * @return true between a start and {@link #stop()} or {@link #close()}
     */
    public boolean isStarted() {
        return mode != null;
    }

    /**
     * Whether the engine is started offline.
     *
     * @return true when started by {@link #startOffline} and not stopped since
     */
    public boolean isOffline() {
        Mode m = mode;
        return m != null && m.offline;
    }

    /**
     * Input channels per frame of the current start.
     *
     * @return the count, 0 when stopped
     */
    public int inputChannels() {
        Mode m = mode;
        return m == null ? 0 : m.inputChannels;
    }

    /**
     * Output channels per frame of the current start.
     *
     * @return the count (2 for {@link #start()}), 0 when stopped
     */
    public int outputChannels() {
        Mode m = mode;
        return m == null ? 0 : m.outputChannels;
    }

    /* One start at a time: the check that the engine is stopped and the start itself. */
    private void begin(IntUnaryOperator startCall, Mode started) {
        synchronized (lifecycle) {
            int h = handle();
            if (mode != null) throw new IllegalStateException("the engine is already started");
            check(startCall.applyAsInt(h));
            mode = started;
        }
    }

    /* ---- Offline rendering ------------------------------------------------------------ */

    /**
     * Computes ticks offline and returns their output frames.
     *
     * @param numTicks ticks to compute, 0 or more
     * @return {@code numTicks * 64} frames of {@link #outputChannels()} interleaved values
     * @throws VeltoException with {@link VeltoException#NOT_STARTED} when the engine is not
     *         started offline, or the first error of a batch
     * @throws IllegalArgumentException for a negative count or an output too large for an array
     * @throws IllegalStateException when the engine is closed
     */
    public float[] render(int numTicks) {
        Mode m = offlineMode();
        float[] output = new float[frameValues(numTicks, m.outputChannels, "output")];
        renderWith(m, null, output, numTicks);
        return output;
    }

    /**
     * Computes ticks offline, reading input frames and writing output frames. Each tick is
     * computed under the engine's lock on its own, so calls of other threads may take effect
     * between two ticks of one render.
     *
     * @param input {@code numTicks * 64} frames of {@link #inputChannels()} interleaved values,
     *        or null for silence
     * @param output room for {@code numTicks * 64} frames of {@link #outputChannels()}
     *        interleaved values, or null to discard them
     * @param numTicks ticks to compute, 0 or more
     * @throws VeltoException with {@link VeltoException#NOT_STARTED} when the engine is not
     *         started offline, or the first error of a batch
     * @throws IllegalArgumentException for a negative count or an array of another length
     * @throws IllegalStateException when the engine is closed
     */
    public void render(float[] input, float[] output, int numTicks) {
        Mode m = offlineMode();
        if (input != null && input.length != frameValues(numTicks, m.inputChannels, "input")) {
            throw new IllegalArgumentException("input holds " + input.length + " values, "
                    + numTicks + " ticks of " + m.inputChannels + " channels need "
                    + frameValues(numTicks, m.inputChannels, "input"));
        }
        if (output != null
                && output.length != frameValues(numTicks, m.outputChannels, "output")) {
            throw new IllegalArgumentException("output holds " + output.length + " values, "
                    + numTicks + " ticks of " + m.outputChannels + " channels need "
                    + frameValues(numTicks, m.outputChannels, "output"));
        }
        renderWith(m, input, output, numTicks);
    }

    private Mode offlineMode() {
        handle();
        Mode m = mode;
        if (m == null || !m.offline) throw failure(VeltoException.NOT_STARTED);
        return m;
    }

    private static int frameValues(int numTicks, int channels, String what) {
        if (numTicks < 0) throw new IllegalArgumentException("negative tick count " + numTicks);
        long values = (long) numTicks * FRAMES_PER_TICK * channels;
        if (values > Integer.MAX_VALUE - 8) {
            throw new IllegalArgumentException(
                    numTicks + " ticks of " + what + " do not fit in one array");
        }
        return (int) values;
    }

    private void renderWith(Mode m, float[] input, float[] output, int numTicks) {
        check(Native.renderTicks(handle(), input, m.inputChannels, output, m.outputChannels,
                numTicks));
    }

    /* ---- Clock ------------------------------------------------------------------------ */

    /**
     * The engine clock: ticks computed since the engine was made. Compare ticks by signed
     * difference ({@code a - b > 0}); the count wraps after 2<sup>32</sup> ticks.
     *
     * @return the tick count
     * @throws IllegalStateException when the engine is closed
     */
    public int tickCount() {
        return check(Vexa.getTickCount(handle()));
    }

    /**
     * Frames computed since the engine was made (wraps at 2<sup>32</sup>, so the value may be
     * negative after 2<sup>31</sup> frames).
     *
     * @return the frame count
     * @throws IllegalStateException when the engine is closed
     */
    public int frameCount() {
        int h = handle();
        int frames = Vexa.getFrameCount(h);
        if (frames == -63 && closed) throw closedError();
        return frames;
    }

    /**
     * Frames per tick.
     *
     * @return {@value #FRAMES_PER_TICK}
     * @throws IllegalStateException when the engine is closed
     */
    public int framesPerTick() {
        return check(Vexa.getFramesPerTick(handle()));
    }

    /**
     * The frame rate of the first start.
     *
     * @return frames per second, 0.0 before the first start
     * @throws IllegalStateException when the engine is closed
     */
    public double frameRate() {
        return checkRate(Vexa.getFrameRate(handle()));
    }

    /**
     * Ticks per second: the frame rate / {@value #FRAMES_PER_TICK}.
     *
     * @return ticks per second, 0.0 before the first start
     * @throws IllegalStateException when the engine is closed
     */
    public double tickRate() {
        return checkRate(Vexa.getTickRate(handle()));
    }

    /**
     * The number of whole ticks closest to a duration, at the current frame rate.
     *
     * @param seconds a duration
     * @return {@code Math.round(seconds * tickRate())}
     * @throws IllegalStateException when the engine is closed
     */
    public int secondsToTicks(double seconds) {
        return (int) Math.round(seconds * tickRate());
    }

    /**
     * Waits until the clock reaches a tick. On a device, sleeps while the audio thread computes;
     * offline, computes the missing ticks on this thread with no input (LineIn and ChannelIn
     * units hold their last frames) and discards their output. A tick in the past returns at
     * once.
     *
     * @param tick the tick to reach
     * @throws VeltoException with {@link VeltoException#NOT_STARTED} when the engine is not
     *         started, or the first error of a batch
     * @throws IllegalStateException when the engine is closed
     */
    public void sleepUntilTick(int tick) {
        check(Vexa.sleepUntilTick(handle(), tick));
    }

    /**
     * Waits until the clock has advanced by a number of ticks, as {@link #sleepUntilTick}.
     *
     * @param numTicks ticks to wait
     * @throws VeltoException with {@link VeltoException#NOT_STARTED} when the engine is not
     *         started, or the first error of a batch
     * @throws IllegalStateException when the engine is closed
     */
    public void sleepForTicks(int numTicks) {
        check(Native.sleepForTicks(handle(), numTicks));
    }

    /**
     * Sets how many threads compute this engine's audio: the thread that runs the batches and
     * {@code count - 1} workers beside it. Units that do not depend on each other are computed
     * on different threads; the output is the same to the bit for every count. Takes effect at
     * the next batch, started or not; the workers run while the engine is started.
     *
     * @param count 1 to 64
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} for a count outside 1 to
     *         64, or when a thread could not be created
     * @throws IllegalStateException when the engine is closed
     */
    public void setRenderThreads(int count) {
        check(Vexa.setRenderThreads(handle(), count));
    }

    /**
     * The number of render threads set with {@link #setRenderThreads} (1 by default).
     *
     * @return 1 to 64
     * @throws IllegalStateException when the engine is closed
     */
    public int renderThreads() {
        return check(Vexa.getRenderThreads(handle()));
    }

    /**
     * The fraction of the available time that the audio callback uses.
     *
     * @return 0.0 to 1.0; 0.0 with no stream open (offline or stopped)
     * @throws IllegalStateException when the engine is closed
     */
    public double usage() {
        return checkRate(Vexa.getUsage(handle()));
    }

    /**
     * The number of things (units, circuits, samples, envelopes, tables) that exist in the
     * engine. A deleted thing still counts while something holds it (a queue its sample, a
     * circuit its members).
     *
     * @return the count
     * @throws IllegalStateException when the engine is closed
     */
    public int objectCount() {
        return check(Vexa.getObjectCount(handle()));
    }

    /**
     * Reports an error the audio thread posted since the last call that could report it (for
     * example a full command queue).
     *
     * @throws VeltoException with the posted error
     * @throws IllegalStateException when the engine is closed
     */
    public void checkErrors() {
        check(Vexa.checkEngineErrors(handle()));
    }

    /* ---- Closing ---------------------------------------------------------------------- */

    /**
     * Stops the engine if it is started, terminates it and frees it with every unit and datum it
     * holds. Afterwards every method of the engine and of its things throws
     * {@link IllegalStateException}, except {@code close} and {@code delete}, which do nothing.
     * Calls of other threads that are running complete first, or end with that exception.
     *
     * @throws VeltoException when stopping reported an error posted by the audio thread (the
     *         engine is closed all the same)
     */
    @Override
    public void close() {
        synchronized (lifecycle) {
            if (closed) return;
            closed = true;
            int stopped = mode != null ? Vexa.stop(handle) : 0;
            mode = null;
            int terminated = Vexa.terminate(handle);
            Vexa.deleteContext(handle);
            outstandingAtClose = Math.max(terminated, 0);
            if (stopped < 0) throw new VeltoException(stopped);
            if (terminated < 0) throw new VeltoException(terminated);
        }
    }

    /**
     * Whether {@link #close()} has been called.
     *
     * @return true once the engine is closed
     */
    public boolean isClosed() {
        return closed;
    }

    /* ---- The library and the devices -------------------------------------------------- */

    /**
     * The engine version.
     *
     * @return 142 for version 14.2
     */
    public static int version() {
        return Vexa.getVersion();
    }

    /**
     * The number of audio devices; their IDs run from 0 to the count - 1.
     *
     * @return the count, 0 when there is none
     */
    public static int deviceCount() {
        return Math.max(Vexa.getNumDevices(), 0);
    }

    /**
     * The default output device, the one {@link #start()} opens.
     *
     * @return a device ID, or {@link #NO_DEVICE}
     */
    public static int defaultOutputDevice() {
        return Vexa.getDefaultOutputDeviceID();
    }

    /**
     * The default input device.
     *
     * @return a device ID, or {@link #NO_DEVICE}
     */
    public static int defaultInputDevice() {
        return Vexa.getDefaultInputDeviceID();
    }

    /**
     * A device's name.
     *
     * @param device a device ID
     * @return the name
     * @throws VeltoException with {@link VeltoException#INVALID_DEVICE} for an unknown device
     */
    public static String deviceName(int device) {
        byte[] name = new byte[512];
        int length = Vexa.getDeviceName(device, name, name.length);
        if (length < 0) throw new VeltoException(length);
        return new String(name, 0, length, StandardCharsets.UTF_8);
    }

    /**
     * The most input channels a device offers.
     *
     * @param device a device ID
     * @return the channel count
     * @throws VeltoException with {@link VeltoException#INVALID_DEVICE} for an unknown device
     */
    public static int maxInputChannels(int device) {
        int channels = Vexa.getMaxInputChannels(device);
        if (channels < 0) throw new VeltoException(channels);
        return channels;
    }

    /**
     * The most output channels a device offers.
     *
     * @param device a device ID
     * @return the channel count
     * @throws VeltoException with {@link VeltoException#INVALID_DEVICE} for an unknown device
     */
    public static int maxOutputChannels(int device) {
        int channels = Vexa.getMaxOutputChannels(device);
        if (channels < 0) throw new VeltoException(channels);
        return channels;
    }

    /* ---- For the other classes of the package ----------------------------------------- */

    /* The context handle; throws once the engine is closed. */
    int handle() {
        if (closed) throw closedError();
        return handle;
    }

    /* The context handle without the check, for calls that tolerate a closed engine. */
    int rawHandle() {
        return handle;
    }

    /* A result of the engine: a negative one becomes an exception (IllegalStateException when
     * the engine was closed meanwhile, since its handle is then refused). */
    int check(int result) {
        if (result < 0) throw failure(result);
        return result;
    }

    RuntimeException failure(int code) {
        if (closed) return closedError();
        return new VeltoException(code);
    }

    private double checkRate(double value) {
        if (value < 0.0) throw failure((int) value);
        return value;
    }

    /* What the last termination left allocated (0 when everything was released). */
    int outstandingAtClose() {
        return outstandingAtClose;
    }

    static IllegalStateException closedError() {
        return new IllegalStateException("the engine is closed");
    }
}
