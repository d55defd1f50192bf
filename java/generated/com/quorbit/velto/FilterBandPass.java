package com.quorbit.velto;

/**
 * A filter band pass unit (type ID {@code 0x05c125ee}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class FilterBandPass extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_FILTER_BAND_PASS;

    /** Input: input, raw signal, 1 part. */
    public final InputPort input = new InputPort(this, Ids.PORT_INPUT, 1);

    /** Frequency: input, raw signal, 1 part, default 400 at creation. */
    public final InputPort frequency = new InputPort(this, Ids.PORT_FREQUENCY, 1);

    /** Q: input, raw signal, 1 part, default 1 at creation. */
    public final InputPort q = new InputPort(this, Ids.PORT_Q, 1);

    /** Amplitude: input, raw signal, 1 part, default 1 at creation. */
    public final InputPort amplitude = new InputPort(this, Ids.PORT_AMPLITUDE, 1);

    /** Output: output, raw signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a filter band pass in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public FilterBandPass(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
