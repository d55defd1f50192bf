package com.quorbit.velto;

/**
 * An add unsigned unit (type ID {@code 0x059d9781}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class AddUnsigned extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_ADD_UNSIGNED;

    /** InputA: input, unsigned signal, 1 part. */
    public final InputPort inputA = new InputPort(this, Ids.PORT_INPUT_A, 1);

    /** InputB: input, unsigned signal, 1 part. */
    public final InputPort inputB = new InputPort(this, Ids.PORT_INPUT_B, 1);

    /** Output: output, unsigned signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a add unsigned in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public AddUnsigned(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
