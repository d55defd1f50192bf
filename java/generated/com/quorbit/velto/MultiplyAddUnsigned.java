package com.quorbit.velto;

/**
 * A multiply add unsigned unit (type ID {@code 0x05855514}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class MultiplyAddUnsigned extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_MULTIPLY_ADD_UNSIGNED;

    /** InputA: input, signed signal, 1 part. */
    public final InputPort inputA = new InputPort(this, Ids.PORT_INPUT_A, 1);

    /** InputB: input, signed signal, 1 part. */
    public final InputPort inputB = new InputPort(this, Ids.PORT_INPUT_B, 1);

    /** InputC: input, unsigned signal, 1 part. */
    public final InputPort inputC = new InputPort(this, Ids.PORT_INPUT_C, 1);

    /** Output: output, unsigned signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a multiply add unsigned in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public MultiplyAddUnsigned(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
