package com.quorbit.velto;

/**
 * How a value set on a port part becomes the value its unit reads. The conversion happens when
 * the set takes effect, at the start of its tick's batch; a value read back from the port is the
 * converted one.
 */
public enum SignalType {
    /** Limited to -1.0 .. +1.0. */
    SIGNED,
    /** Limited to 0.0 .. 2.0. */
    UNSIGNED,
    /** Hertz, stored unchanged. */
    FREQUENCY,
    /** Frames per second, stored unchanged. */
    SAMPLE_RATE,
    /** Seconds to cover half the distance; stored as the per-frame coefficient. */
    HALF_LIFE,
    /** Seconds; stored as the per-frame step 1 / (seconds * frame rate). */
    TIME,
    /** Hertz for the old state-variable filter; stored as 2 sin(pi f / frame rate). */
    SVF_FREQUENCY,
    /** Stored unchanged. */
    RAW;

    private static final SignalType[] BY_CODE = values();

    /**
     * The engine's number of the type.
     *
     * @return 0 for {@link #SIGNED} to 7 for {@link #RAW}
     */
    public int code() {
        return ordinal();
    }

    /**
     * The type of an engine number.
     *
     * @param code 0 to 7
     * @return the type
     * @throws IllegalArgumentException for another number
     */
    public static SignalType fromCode(int code) {
        if (code < 0 || code >= BY_CODE.length) {
            throw new IllegalArgumentException("no signal type " + code);
        }
        return BY_CODE[code];
    }
}
