package com.quorbit.velto;

import java.nio.charset.StandardCharsets;

/**
 * An error reported by the engine: a negative result code ({@link #code()}) and the engine's
 * message for it ({@link #getMessage()}).
 *
 * <p>Every method of the object API that calls the engine throws this exception when the engine
 * answers with an error code (a negative result). The positive warnings 100 ("Port already
 * connected.") and 101 ("Port not connected.") mean that the call did its work and are not
 * errors; the methods that can get them say so in their results. Using an {@link Engine} or a
 * {@link Thing} after it has been closed or deleted throws {@link IllegalStateException}
 * instead, before the engine is asked.
 */
public final class VeltoException extends RuntimeException {
    private static final long serialVersionUID = 1L;

    /** "Invalid partnum.": a part index outside the port's parts. */
    public static final int INVALID_PARTNUM = -96;
    /** "Invalid priority.": a priority outside 0..2. */
    public static final int INVALID_PRIORITY = -95;
    /** "Attempt to connect incompatible ports.". */
    public static final int INCOMPATIBLE_PORTS = -92;
    /** "Memory allocation failed.". */
    public static final int NO_MEMORY = -89;
    /** "Named thing not found.": an unknown unit type or port ID. */
    public static final int NOT_FOUND = -87;
    /** "Parameter out of range.": a count, frame range, offset or channel count. */
    public static final int OUT_OF_RANGE = -84;
    /** "Host initialization failed.": no device stream could be opened. */
    public static final int HOST_INIT = -83;
    /** "ChannelsPerFrame mismatch.": a sample whose channels differ from the queue port's. */
    public static final int CHANNELS_MISMATCH = -66;
    /** "Synthesis Engine NOT started.": waiting or rendering in the wrong mode. */
    public static final int NOT_STARTED = -65;
    /** "Invalid device ID.". */
    public static final int INVALID_DEVICE = -61;

    /** The engine's result code. */
    private final int code;

    /**
     * Makes the exception of a result code, with the engine's message for it.
     *
     * @param code the result code, normally negative
     */
    public VeltoException(int code) {
        super(textOf(code));
        this.code = code;
    }

    /**
     * The engine's result code.
     *
     * @return the code, for example -84 for "Parameter out of range."
     */
    public int code() {
        return code;
    }

    /**
     * The class name, the code and the engine's message.
     *
     * @return for example {@code "com.quorbit.velto.VeltoException (-95): Invalid priority."}
     */
    @Override
    public String toString() {
        return getClass().getName() + " (" + code + "): " + getMessage();
    }

    /**
     * The engine's message of a result code, as {@link Vexa#errorCodeToText} gives it.
     *
     * @param code any result code
     * @return the message, for example "Invalid priority." for -95; "Warning - Error Code out of
     *         range." for a code the engine does not know
     */
    public static String textOf(int code) {
        byte[] text = new byte[160];
        int length = Vexa.errorCodeToText(code, text, text.length);
        if (length < 0) return "error " + code;
        return new String(text, 0, length, StandardCharsets.UTF_8);
    }
}
