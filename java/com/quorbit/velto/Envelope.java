package com.quorbit.velto;

import java.util.Objects;

/**
 * A breakpoint curve played by EnvelopeLinear through its {@link QueuePort}. Each frame is a
 * pair of doubles: the duration of a glide in seconds and the value it reaches; the glide starts
 * from wherever the unit's output is. Arrays hold the frames as duration, value, duration,
 * value, ...
 *
 * <pre>{@code
 * // attack to 1.0 in 10 ms, decay to 0.6 in 200 ms, release to 0 in 300 ms
 * Envelope adsr = new Envelope(engine, new double[] {0.01, 1.0, 0.2, 0.6, 0.3, 0.0});
 * EnvelopeLinear env = new EnvelopeLinear(engine);
 * env.output.connect(oscillator.amplitude);
 * env.data.queueAt(noteOn, adsr, 0, 2, 0);   // attack and decay
 * env.data.queueAt(noteOff, adsr, 2, 1, 0);  // release
 * }</pre>
 */
public final class Envelope extends QueueData {
    /**
     * Creates an envelope of zero frames (each a glide of no time to 0).
     *
     * @param engine the engine that will own it
     * @param numFrames frames, at least 1
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} for a count below 1
     * @throws IllegalStateException when the engine is closed
     */
    public Envelope(Engine engine, int numFrames) {
        super(engine, create(engine, numFrames), numFrames);
    }

    /**
     * Creates an envelope holding the given frames.
     *
     * @param engine the engine that will own it
     * @param frames duration, value pairs; at least one pair
     * @throws IllegalArgumentException when the array holds an odd number of values
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} for an empty array
     * @throws IllegalStateException when the engine is closed
     */
    public Envelope(Engine engine, double[] frames) {
        this(engine, frameCount(frames));
        write(0, frames);
    }

    private static int frameCount(double[] frames) {
        Objects.requireNonNull(frames, "frames");
        if (frames.length % 2 != 0) {
            throw new IllegalArgumentException(
                    frames.length + " values are not a whole number of duration, value pairs");
        }
        return frames.length / 2;
    }

    private static int create(Engine engine, int numFrames) {
        requireEngine(engine);
        return engine.check(Vexa.createEnvelope(engine.handle(), numFrames));
    }

    /**
     * Writes frames from an array, all of it. Frames that a playing unit has already reached
     * are not read again.
     *
     * @param startFrame first frame written
     * @param frames duration, value pairs
     * @throws IllegalArgumentException when the array holds an odd number of values
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} when the frames run past
     *         the end of the envelope
     * @throws IllegalStateException when the envelope is deleted or the engine closed
     */
    public void write(int startFrame, double[] frames) {
        int numFrames = frameCount(frames);
        int token = live();
        engine().check(Vexa.writeEnvelope(engine().handle(), token, startFrame, numFrames, frames,
                0, frames.length));
    }

    /**
     * Reads frames into a new array.
     *
     * @param startFrame first frame read
     * @param numFrames frames to read
     * @return {@code 2 * numFrames} values: duration, value pairs
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} when the frames run past
     *         the end of the envelope
     * @throws IllegalArgumentException for a negative count
     * @throws IllegalStateException when the envelope is deleted or the engine closed
     */
    public double[] read(int startFrame, int numFrames) {
        if (numFrames < 0) throw new IllegalArgumentException("negative frame count");
        double[] frames = new double[Math.multiplyExact(numFrames, 2)];
        int token = live();
        engine().check(Vexa.readEnvelope(engine().handle(), token, startFrame, numFrames, frames,
                0, frames.length));
        return frames;
    }
}
