package com.quorbit.velto;

/**
 * A bus write unit (type ID {@code 0x01e355e2}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class BusWrite extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_BUS_WRITE;

    /** Input: input, raw signal, 1 part. */
    public final InputPort input = new InputPort(this, Ids.PORT_INPUT, 1);

    /** BusOutput: bus output, raw signal, 1 part. */
    public final BusOutputPort busOutput = new BusOutputPort(this, Ids.PORT_BUS_OUTPUT, 1);

    /**
     * Creates a bus write in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public BusWrite(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
