package com.quorbit.velto;

/**
 * A filter1o1p1z unit (type ID {@code 0x023e5660}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class Filter1o1p1z extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_FILTER1O1P1Z;

    /** Input: input, raw signal, 1 part. */
    public final InputPort input = new InputPort(this, Ids.PORT_INPUT, 1);

    /** A0: variable, raw signal, 1 part, default 0 at creation. */
    public final VariablePort a0 = new VariablePort(this, Ids.PORT_A0, 1);

    /** A1: variable, raw signal, 1 part, default 0 at creation. */
    public final VariablePort a1 = new VariablePort(this, Ids.PORT_A1, 1);

    /** B1: variable, raw signal, 1 part, default 0 at creation. */
    public final VariablePort b1 = new VariablePort(this, Ids.PORT_B1, 1);

    /** Output: output, raw signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a filter1o1p1z in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public Filter1o1p1z(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
