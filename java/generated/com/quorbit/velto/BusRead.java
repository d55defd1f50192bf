package com.quorbit.velto;

/**
 * A bus read unit (type ID {@code 0x01bc7f72}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class BusRead extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_BUS_READ;

    /** BusInput: bus input, raw signal, 1 part. */
    public final BusInputPort busInput = new BusInputPort(this, Ids.PORT_BUS_INPUT, 1);

    /** Amplitude: input, raw signal, 1 part, default 32767/32768 at creation. */
    public final InputPort amplitude = new InputPort(this, Ids.PORT_AMPLITUDE, 1);

    /** Output: output, raw signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a bus read in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public BusRead(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
