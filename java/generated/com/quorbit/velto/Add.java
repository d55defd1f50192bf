package com.quorbit.velto;

/**
 * An add unit (type ID {@code 0x01b7611d}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class Add extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_ADD;

    /** InputA: input, raw signal, 1 part. */
    public final InputPort inputA = new InputPort(this, Ids.PORT_INPUT_A, 1);

    /** InputB: input, raw signal, 1 part. */
    public final InputPort inputB = new InputPort(this, Ids.PORT_INPUT_B, 1);

    /** Output: output, raw signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a add in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public Add(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
