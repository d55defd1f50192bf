package com.quorbit.velto;

import java.util.Objects;

/**
 * An array of float values read through a {@link TablePort}: by TableLookup as a transfer curve
 * over the input range -1 .. +1, by WaveOscillator as one cycle of its wave.
 */
public final class Table extends Thing {
    private final int size;

    /**
     * Creates a table of zeros.
     *
     * @param engine the engine that will own it
     * @param size values, at least 1
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} for a size below 1
     * @throws IllegalStateException when the engine is closed
     */
    public Table(Engine engine, int size) {
        super(engine, create(engine, size));
        this.size = size;
    }

    /**
     * Creates a table holding the given values, each rounded to float.
     *
     * @param engine the engine that will own it
     * @param values at least one value
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} for an empty array
     * @throws IllegalStateException when the engine is closed
     */
    public Table(Engine engine, double[] values) {
        this(engine, Objects.requireNonNull(values, "values").length);
        write(0, values);
    }

    /**
     * Creates a table holding 16-bit values, each stored as value / 32768.
     *
     * @param engine the engine that will own it
     * @param values at least one value
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} for an empty array
     * @throws IllegalStateException when the engine is closed
     */
    public Table(Engine engine, short[] values) {
        this(engine, Objects.requireNonNull(values, "values").length);
        write(0, values);
    }

    private static int create(Engine engine, int size) {
        requireEngine(engine);
        return engine.check(Vexa.createTable(engine.handle(), size));
    }

    /**
     * The number of values.
     *
     * @return the size the table was made with
     */
    public int size() {
        return size;
    }

    /**
     * Stores values, each rounded to float (not clipped). A unit reading the table meanwhile may
     * hear old and new values within one block.
     *
     * @param start index of the first value stored
     * @param values the values
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} when the values run past
     *         the end of the table
     * @throws IllegalStateException when the table is deleted or the engine closed
     */
    public void write(int start, double[] values) {
        Objects.requireNonNull(values, "values");
        int token = live();
        engine().check(Vexa.writeTableDoubles(engine().handle(), token, start, values.length,
                values, 0, values.length));
    }

    /**
     * Stores 16-bit values, each as value / 32768.
     *
     * @param start index of the first value stored
     * @param values the values
     * @throws VeltoException with {@link VeltoException#OUT_OF_RANGE} when the values run past
     *         the end of the table
     * @throws IllegalStateException when the table is deleted or the engine closed
     */
    public void write(int start, short[] values) {
        Objects.requireNonNull(values, "values");
        int token = live();
        engine().check(Vexa.writeTable(engine().handle(), token, start, values.length, values, 0,
                values.length));
    }
}
