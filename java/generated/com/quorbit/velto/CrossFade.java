package com.quorbit.velto;

/**
 * A cross fade unit (type ID {@code 0x0589d9e3}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class CrossFade extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_CROSS_FADE;

    /** Input: input, raw signal, 2 parts. */
    public final InputPort input = new InputPort(this, Ids.PORT_INPUT, 2);

    /** Fade: input, signed signal, 1 part. */
    public final InputPort fade = new InputPort(this, Ids.PORT_FADE, 1);

    /** Output: output, raw signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a cross fade in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public CrossFade(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
