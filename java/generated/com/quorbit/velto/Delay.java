package com.quorbit.velto;

/**
 * A delay unit (type ID {@code 0x0141b8de}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class Delay extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_DELAY;

    /** Input: input, raw signal, 1 part. */
    public final InputPort input = new InputPort(this, Ids.PORT_INPUT, 1);

    /** Output: output, raw signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a delay in the engine.
     *
     * @param engine the engine that will own the unit
     * @param initArgument the delay line length in frames (>= 1)
     * @throws VeltoException when the engine cannot create it
     */
    public Delay(Engine engine, int initArgument) {
        super(engine, TYPE_ID, initArgument);
    }
}
