package com.quorbit.velto;

/**
 * A filter2o2p unit (type ID {@code 0x01be36e2}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class Filter2o2p extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_FILTER2O2P;

    /** Input: input, raw signal, 1 part. */
    public final InputPort input = new InputPort(this, Ids.PORT_INPUT, 1);

    /** A0: variable, raw signal, 1 part, default 0 at creation. */
    public final VariablePort a0 = new VariablePort(this, Ids.PORT_A0, 1);

    /** B1: variable, raw signal, 1 part, default 0 at creation. */
    public final VariablePort b1 = new VariablePort(this, Ids.PORT_B1, 1);

    /** B2: variable, raw signal, 1 part, default 0 at creation. */
    public final VariablePort b2 = new VariablePort(this, Ids.PORT_B2, 1);

    /** Output: output, raw signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a filter2o2p in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public Filter2o2p(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
