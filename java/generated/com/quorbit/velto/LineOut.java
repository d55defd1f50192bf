package com.quorbit.velto;

/**
 * A line out unit (type ID {@code 0x020259fc}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class LineOut extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_LINE_OUT;

    /** Input: input, signed signal, 2 parts. */
    public final InputPort input = new InputPort(this, Ids.PORT_INPUT, 2);

    /**
     * Creates a line out in the engine.
     *
     * @param engine the engine that will own the unit
     * @param initArgument the device channel of part 0 (0..16)
     * @throws VeltoException when the engine cannot create it
     */
    public LineOut(Engine engine, int initArgument) {
        super(engine, TYPE_ID, initArgument);
    }
}
