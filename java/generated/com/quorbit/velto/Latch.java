package com.quorbit.velto;

/**
 * A latch unit (type ID {@code 0x01687906}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class Latch extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_LATCH;

    /** Input: input, raw signal, 1 part. */
    public final InputPort input = new InputPort(this, Ids.PORT_INPUT, 1);

    /** Gate: input, signed signal, 1 part. */
    public final InputPort gate = new InputPort(this, Ids.PORT_GATE, 1);

    /** Output: output, raw signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a latch in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public Latch(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
