package com.quorbit.velto;

/**
 * A lag linear unit (type ID {@code 0x01f25aee}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class LagLinear extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_LAG_LINEAR;

    /** Input: variable, raw signal, 1 part. */
    public final VariablePort input = new VariablePort(this, Ids.PORT_INPUT, 1);

    /** Time: variable, time signal, 1 part. */
    public final VariablePort time = new VariablePort(this, Ids.PORT_TIME, 1);

    /** Output: output, raw signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a lag linear in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public LagLinear(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
