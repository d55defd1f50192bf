package com.quorbit.velto;

/**
 * A line in unit (type ID {@code 0x01e35914}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class LineIn extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_LINE_IN;

    /** Output: output, signed signal, 2 parts. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 2);

    /**
     * Creates a line in in the engine.
     *
     * @param engine the engine that will own the unit
     * @param initArgument the device channel of part 0 (0..16)
     * @throws VeltoException when the engine cannot create it
     */
    public LineIn(Engine engine, int initArgument) {
        super(engine, TYPE_ID, initArgument);
    }
}
