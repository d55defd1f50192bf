package com.quorbit.velto;

import java.util.Objects;

/**
 * A block of signed 16-bit frames, mono or stereo (channels interleaved: left, right); a value v
 * stands for v / 32768. Sample readers play it, sample writers record into it, through their
 * {@link QueuePort}. Frames can be written and read at any time, also while a unit plays them.
 */
public final class Sample extends QueueData {
    private final int channelsPerFrame;

    /**
     * Creates a silent sample.
     *
     * @param engine the engine that will own it
     * @param numFrames frames, at least 1
     * @param channelsPerFrame 1 or 2
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} for a count or channel
     *         count outside the range
     * @throws IllegalStateException when the engine is closed
     */
    public Sample(Engine engine, int numFrames, int channelsPerFrame) {
        super(engine, create(engine, numFrames, channelsPerFrame), numFrames);
        this.channelsPerFrame = channelsPerFrame;
    }

    /**
     * Creates a sample holding the given frames.
     *
     * @param engine the engine that will own it
     * @param frames the values, channels interleaved; a whole number of frames, at least one
     * @param channelsPerFrame 1 or 2
     * @throws IllegalArgumentException when the array does not hold a whole number of frames
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} for an empty array or a
     *         channel count outside the range
     * @throws IllegalStateException when the engine is closed
     */
    public Sample(Engine engine, short[] frames, int channelsPerFrame) {
        this(engine, frameCount(frames, channelsPerFrame), channelsPerFrame);
        write(0, frames);
    }

    private static int frameCount(short[] frames, int channelsPerFrame) {
        Objects.requireNonNull(frames, "frames");
        if (channelsPerFrame > 0 && frames.length % channelsPerFrame != 0) {
            throw new IllegalArgumentException(frames.length + " values are not a whole number of "
                    + channelsPerFrame + "-channel frames");
        }
        return channelsPerFrame > 0 ? frames.length / channelsPerFrame : 0;
    }

    private static int create(Engine engine, int numFrames, int channelsPerFrame) {
        requireEngine(engine);
        return engine.check(Vexa.createSample(engine.handle(), numFrames, channelsPerFrame));
    }

    /**
     * Channels per frame.
     *
     * @return 1 or 2
     */
    public int channelsPerFrame() {
        return channelsPerFrame;
    }

    /**
     * Writes frames from an array, all of it.
     *
     * @param startFrame first frame written
     * @param frames the values, channels interleaved; a whole number of frames
     * @throws IllegalArgumentException when the array does not hold a whole number of frames
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} when the frames run past
     *         the end of the sample
     * @throws IllegalStateException when the sample is deleted or the engine closed
     */
    public void write(int startFrame, short[] frames) {
        write(startFrame, frames, 0, frameCount(frames, channelsPerFrame));
    }

    /**
     * Writes frames from a part of an array.
     *
     * @param startFrame first frame written
     * @param data the array
     * @param offset where the first frame starts in the array, in values (not frames)
     * @param numFrames frames to write
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} when the frames run past
     *         the end of the sample or of the array
     * @throws IllegalStateException when the sample is deleted or the engine closed
     */
    public void write(int startFrame, short[] data, int offset, int numFrames) {
        Objects.requireNonNull(data, "data");
        int token = live();
        engine().check(Vexa.writeSample(engine().handle(), token, startFrame, numFrames, data,
                offset, data.length));
    }

    /**
     * Reads frames into a new array.
     *
     * @param startFrame first frame read
     * @param numFrames frames to read
     * @return {@code numFrames * channelsPerFrame()} values, channels interleaved
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} when the frames run past
     *         the end of the sample
     * @throws IllegalArgumentException for a negative count
     * @throws IllegalStateException when the sample is deleted or the engine closed
     */
    public short[] read(int startFrame, int numFrames) {
        if (numFrames < 0) throw new IllegalArgumentException("negative frame count");
        short[] data = new short[Math.multiplyExact(numFrames, channelsPerFrame)];
        read(startFrame, data, 0, numFrames);
        return data;
    }

    /**
     * Reads frames into a part of an array.
     *
     * @param startFrame first frame read
     * @param data the array
     * @param offset where the first frame goes in the array, in values (not frames)
     * @param numFrames frames to read
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} when the frames run past
     *         the end of the sample or of the array
     * @throws IllegalStateException when the sample is deleted or the engine closed
     */
    public void read(int startFrame, short[] data, int offset, int numFrames) {
        Objects.requireNonNull(data, "data");
        int token = live();
        engine().check(Vexa.readSample(engine().handle(), token, startFrame, numFrames, data,
                offset, data.length));
    }
}
