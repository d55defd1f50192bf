package com.quorbit.velto;

import java.util.Objects;

/**
 * A queue port (the {@code data} port of the sample readers and writers and of
 * EnvelopeLinear): plays regions of {@link Sample}s or {@link Envelope}s one after the other.
 *
 * <p>A queued region starts when everything queued before it has played (a looping region ends
 * its pass first). The region holds its data until it is done, so the data may be deleted
 * meanwhile. A sample must have as many channels as the port plays (1, or 2 for the stereo
 * readers and writers).
 *
 * <pre>{@code
 * reader.data.queue(loop, QueuePort.LOOP);                 // whole sample, over and over
 * reader.data.queueAt(tick, hit, 0, 4410, QueuePort.AUTO_STOP);
 * }</pre>
 */
public final class QueuePort extends Port {
    /** Flag: the region starts again from its first frame when it ends and nothing else waits. */
    public static final int LOOP = 0x08;
    /** Flag: when the region ends, the unit stops itself at the end of that batch. */
    public static final int AUTO_STOP = 0x10;
    /** Flag: while still waiting and last in the queue, the region is replaced by the next one. */
    public static final int REPLACEABLE = 0x80;

    /**
     * Makes the port object of a unit's queue port (the classes of the unit types do this).
     *
     * @param unit the unit
     * @param portID the port ID
     * @param numParts its number of parts
     */
    public QueuePort(Unit unit, int portID, int numParts) {
        super(unit, portID, numParts);
    }

    /**
     * Queues all of a sample or envelope with the next batch.
     *
     * @param data a sample or envelope of the same engine
     * @throws VeltoException with {@link VeltoException#CHANNELS_MISMATCH} for a sample with
     *         other channels than the port's
     * @throws IllegalArgumentException when the data belongs to another engine
     * @throws IllegalStateException when the unit or the data is deleted or the engine closed
     */
    public void queue(QueueData data) {
        queue(data, 0);
    }

    /**
     * Queues all of a sample or envelope with the next batch, with flags.
     *
     * @param data a sample or envelope of the same engine
     * @param flags {@link #LOOP}, {@link #AUTO_STOP}, {@link #REPLACEABLE}, or 0
     * @throws VeltoException with {@link VeltoException#CHANNELS_MISMATCH} for a sample with
     *         other channels than the port's
     * @throws IllegalArgumentException when the data belongs to another engine
     * @throws IllegalStateException when the unit or the data is deleted or the engine closed
     */
    public void queue(QueueData data, int flags) {
        Objects.requireNonNull(data, "data");
        queue(data, 0, data.numFrames(), flags);
    }

    /**
     * Queues a region of a sample or envelope with the next batch.
     *
     * @param data a sample or envelope of the same engine
     * @param startFrame first frame of the region
     * @param numFrames frames in the region, at least 1; the region must lie in the data
     * @param flags {@link #LOOP}, {@link #AUTO_STOP}, {@link #REPLACEABLE}, or 0
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} for a region outside the
     *         data, {@link VeltoException#CHANNELS_MISMATCH} for a sample with other channels
     *         than the port's
     * @throws IllegalArgumentException when the data belongs to another engine
     * @throws IllegalStateException when the unit or the data is deleted or the engine closed
     */
    public void queue(QueueData data, int startFrame, int numFrames, int flags) {
        unit().requireSameEngine(data);
        int unitToken = token();
        int dataToken = data.live();
        engine().check(Vexa.queueData(engine().handle(), unitToken, portID(), dataToken,
                startFrame, numFrames, flags));
    }

    /**
     * Queues all of a sample or envelope at a tick.
     *
     * @param tick the tick; one in the past means the next batch
     * @param data a sample or envelope of the same engine
     * @throws VeltoException with {@link VeltoException#CHANNELS_MISMATCH} for a sample with
     *         other channels than the port's
     * @throws IllegalArgumentException when the data belongs to another engine
     * @throws IllegalStateException when the unit or the data is deleted or the engine closed
     */
    public void queueAt(int tick, QueueData data) {
        queueAt(tick, data, 0);
    }

    /**
     * Queues all of a sample or envelope at a tick, with flags.
     *
     * @param tick the tick; one in the past means the next batch
     * @param data a sample or envelope of the same engine
     * @param flags {@link #LOOP}, {@link #AUTO_STOP}, {@link #REPLACEABLE}, or 0
     * @throws VeltoException with {@link VeltoException#CHANNELS_MISMATCH} for a sample with
     *         other channels than the port's
     * @throws IllegalArgumentException when the data belongs to another engine
     * @throws IllegalStateException when the unit or the data is deleted or the engine closed
     */
    public void queueAt(int tick, QueueData data, int flags) {
        Objects.requireNonNull(data, "data");
        queueAt(tick, data, 0, data.numFrames(), flags);
    }

    /**
     * Queues a region of a sample or envelope at a tick.
     *
     * @param tick the tick; one in the past means the next batch
     * @param data a sample or envelope of the same engine
     * @param startFrame first frame of the region
     * @param numFrames frames in the region, at least 1; the region must lie in the data
     * @param flags {@link #LOOP}, {@link #AUTO_STOP}, {@link #REPLACEABLE}, or 0
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} for a region outside the
     *         data, {@link VeltoException#CHANNELS_MISMATCH} for a sample with other channels
     *         than the port's
     * @throws IllegalArgumentException when the data belongs to another engine
     * @throws IllegalStateException when the unit or the data is deleted or the engine closed
     */
    public void queueAt(int tick, QueueData data, int startFrame, int numFrames, int flags) {
        unit().requireSameEngine(data);
        int unitToken = token();
        int dataToken = data.live();
        engine().check(Vexa.queueDataAt(engine().handle(), tick, unitToken, portID(), dataToken,
                startFrame, numFrames, flags));
    }

    /**
     * With the next batch, drops every waiting region and stops the one playing; the unit keeps
     * running with nothing to play (an EnvelopeLinear holds its output).
     *
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public void clear() {
        int token = token();
        engine().check(Vexa.clearDataQueue(engine().handle(), token, portID()));
    }

    /**
     * At a tick, drops every waiting region and stops the one playing.
     *
     * @param tick the tick; one in the past means the next batch
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public void clearAt(int tick) {
        int token = token();
        engine().check(Vexa.clearDataQueueAt(engine().handle(), tick, token, portID()));
    }

    /**
     * The port's frame counter: the steps made within queued regions so far (the first frame
     * of each region and of each loop pass is not counted). Never reset.
     *
     * @return the count
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public int frames() {
        int token = token();
        int[] frames = new int[1];
        engine().check(Native.readPortFrames(engine().handle(), token, portID(), 0, frames));
        return frames[0];
    }

    /**
     * The signal type of the port.
     *
     * @return the type
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public SignalType signalType() {
        return signal(0);
    }

    /**
     * Changes the signal type of the port.
     *
     * @param type the new type
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public void setSignalType(SignalType type) {
        setSignal(0, type);
    }
}
