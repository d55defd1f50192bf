package com.quorbit.velto;

/**
 * A pan control unit (type ID {@code 0x05ad5691}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class PanControl extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_PAN_CONTROL;

    /** Pan: input, signed signal, 1 part. */
    public final InputPort pan = new InputPort(this, Ids.PORT_PAN, 1);

    /** Output: output, signed signal, 2 parts. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 2);

    /**
     * Creates a pan control in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public PanControl(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
