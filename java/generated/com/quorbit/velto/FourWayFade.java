package com.quorbit.velto;

/**
 * A four way fade unit (type ID {@code 0x0544c60f}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class FourWayFade extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_FOUR_WAY_FADE;

    /** Input: input, raw signal, 4 parts. */
    public final InputPort input = new InputPort(this, Ids.PORT_INPUT, 4);

    /** Fade: input, signed signal, 2 parts. */
    public final InputPort fade = new InputPort(this, Ids.PORT_FADE, 2);

    /** Output: output, raw signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a four way fade in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public FourWayFade(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
