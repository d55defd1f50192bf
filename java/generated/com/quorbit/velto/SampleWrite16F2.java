package com.quorbit.velto;

/**
 * A sample write16 f2 unit (type ID {@code 0x03a5f241}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class SampleWrite16F2 extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_SAMPLE_WRITE16_F2;

    /** Input: input, signed signal, 2 parts. */
    public final InputPort input = new InputPort(this, Ids.PORT_INPUT, 2);

    /** Data: queue, signed signal, 1 part, default 2 channels per frame. */
    public final QueuePort data = new QueuePort(this, Ids.PORT_DATA, 1);

    /**
     * Creates a sample write16 f2 in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public SampleWrite16F2(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
