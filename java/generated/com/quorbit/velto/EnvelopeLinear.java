package com.quorbit.velto;

/**
 * An envelope linear unit (type ID {@code 0x057bbdb7}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class EnvelopeLinear extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_ENVELOPE_LINEAR;

    /** Data: queue, raw signal, 1 part, default 1 channel per frame. */
    public final QueuePort data = new QueuePort(this, Ids.PORT_DATA, 1);

    /** Rate: input, unsigned signal, 1 part, default 1 at creation. */
    public final InputPort rate = new InputPort(this, Ids.PORT_RATE, 1);

    /** Amplitude: input, raw signal, 1 part, default 32767/32768 at creation. */
    public final InputPort amplitude = new InputPort(this, Ids.PORT_AMPLITUDE, 1);

    /** Output: output, raw signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a envelope linear in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public EnvelopeLinear(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
