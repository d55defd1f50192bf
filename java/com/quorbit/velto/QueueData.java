package com.quorbit.velto;

/**
 * Frames that a {@link QueuePort} plays: a {@link Sample} (read by the sample readers, written
 * by the sample writers) or an {@link Envelope} (played by EnvelopeLinear).
 */
public abstract class QueueData extends Thing {
    private final int numFrames;

    QueueData(Engine engine, int token, int numFrames) {
        super(engine, token);
        this.numFrames = numFrames;
    }

    /**
     * The number of frames.
     *
     * @return the frames the data was made with
     */
    public final int numFrames() {
        return numFrames;
    }
}
