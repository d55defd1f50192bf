package com.quorbit.velto;

/**
 * A peak follower unit (type ID {@code 0x05f2d79e}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class PeakFollower extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_PEAK_FOLLOWER;

    /** Input: input, raw signal, 1 part. */
    public final InputPort input = new InputPort(this, Ids.PORT_INPUT, 1);

    /** HalfLife: variable, half-life signal, 1 part, default 0.100000001 at creation. */
    public final VariablePort halfLife = new VariablePort(this, Ids.PORT_HALF_LIFE, 1);

    /** Current: variable, raw signal, 1 part. */
    public final VariablePort current = new VariablePort(this, Ids.PORT_CURRENT, 1);

    /** Output: output, raw signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a peak follower in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public PeakFollower(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
