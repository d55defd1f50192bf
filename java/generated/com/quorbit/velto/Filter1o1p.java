package com.quorbit.velto;

/**
 * A filter1o1p unit (type ID {@code 0x01be3660}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class Filter1o1p extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_FILTER1O1P;

    /** Input: input, raw signal, 1 part. */
    public final InputPort input = new InputPort(this, Ids.PORT_INPUT, 1);

    /** A0: input, raw signal, 1 part, default 0.600000024 at creation. */
    public final InputPort a0 = new InputPort(this, Ids.PORT_A0, 1);

    /** B1: input, raw signal, 1 part, default -0.300000012 at creation. */
    public final InputPort b1 = new InputPort(this, Ids.PORT_B1, 1);

    /** Output: output, raw signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a filter1o1p in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public Filter1o1p(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
