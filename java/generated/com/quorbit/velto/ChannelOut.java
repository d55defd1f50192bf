package com.quorbit.velto;

/**
 * A channel out unit (type ID {@code 0x01ec67f1}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class ChannelOut extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_CHANNEL_OUT;

    /** Input: input, signed signal, 1 part. */
    public final InputPort input = new InputPort(this, Ids.PORT_INPUT, 1);

    /**
     * Creates a channel out in the engine.
     *
     * @param engine the engine that will own the unit
     * @param initArgument the device channel of part 0 (0..16)
     * @throws VeltoException when the engine cannot create it
     */
    public ChannelOut(Engine engine, int initArgument) {
        super(engine, TYPE_ID, initArgument);
    }
}
