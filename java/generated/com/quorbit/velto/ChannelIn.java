package com.quorbit.velto;

/**
 * A channel in unit (type ID {@code 0x01ea9411}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class ChannelIn extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_CHANNEL_IN;

    /** Output: output, signed signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a channel in in the engine.
     *
     * @param engine the engine that will own the unit
     * @param initArgument the device channel of part 0 (0..16)
     * @throws VeltoException when the engine cannot create it
     */
    public ChannelIn(Engine engine, int initArgument) {
        super(engine, TYPE_ID, initArgument);
    }
}
