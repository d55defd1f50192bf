package com.quorbit.velto;

/**
 * An integrate unit (type ID {@code 0x058d830d}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class Integrate extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_INTEGRATE;

    /** Input: input, raw signal, 1 part, default 0 at creation. */
    public final InputPort input = new InputPort(this, Ids.PORT_INPUT, 1);

    /** LowerLimit: input, raw signal, 1 part, default -1 at creation. */
    public final InputPort lowerLimit = new InputPort(this, Ids.PORT_LOWER_LIMIT, 1);

    /** UpperLimit: input, raw signal, 1 part, default 1 at creation. */
    public final InputPort upperLimit = new InputPort(this, Ids.PORT_UPPER_LIMIT, 1);

    /** Output: output, raw signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a integrate in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public Integrate(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
