package com.quorbit.velto;

/**
 * Native calls of the object API that {@link Vexa} does not declare: offline rendering into
 * float arrays, waiting a number of ticks, and reading a port or a queue's frame counter with
 * the result code kept apart from the value.
 *
 * <p>The same conventions as {@link Vexa}: context handles from {@link Vexa#createContext}
 * (-63 for one that is not live), the result codes of the engine, array lengths checked before
 * the handle is looked at.
 */
final class Native {
    static {
        Vexa.ensureLoaded();
    }

    private Native() {}

    /*
     * Computes numTicks ticks of a context started in no-device mode. input holds
     * 64 * numTicks frames of inputChannels interleaved values (null: silence), output receives
     * 64 * numTicks frames of outputChannels values (null: discarded). The channel counts must
     * be those the context was started with. A channel count outside 0..1024 gives -84, an
     * array of another length -79, both before anything is computed; otherwise 0, or the
     * engine's error (-65 when not started in no-device mode). Each tick is computed under the
     * peer lock on its own, so calls of other threads may land between two ticks.
     */
    static native int renderTicks(int context, float[] input, int inputChannels, float[] output,
            int outputChannels, int numTicks);

    /* Waits, or computes in no-device mode, until the clock has advanced by numTicks. */
    static native int sleepForTicks(int context, int numTicks);

    /*
     * Reads a part's value into value[0]: 0 or the engine's error code. A null array gives -84,
     * an array of another length than 1 gives -79.
     */
    static native int readPort(int context, int unit, int portID, int partNum, double[] value);

    /* Reads the frame counter of a queue port into frames[0], as readPort. */
    static native int readPortFrames(int context, int unit, int portID, int partNum,
            int[] frames);
}
