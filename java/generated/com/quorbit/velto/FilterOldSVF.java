package com.quorbit.velto;

/**
 * A filter old SVF unit (type ID {@code 0x06119b8b}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class FilterOldSVF extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_FILTER_OLD_SVF;

    /** Input: input, signed signal, 1 part. */
    public final InputPort input = new InputPort(this, Ids.PORT_INPUT, 1);

    /** Frequency: input, SVF frequency signal, 1 part, default 440 at creation. */
    public final InputPort frequency = new InputPort(this, Ids.PORT_FREQUENCY, 1);

    /** Amplitude: input, signed signal, 1 part, default 32767/32768 at creation. */
    public final InputPort amplitude = new InputPort(this, Ids.PORT_AMPLITUDE, 1);

    /** Resonance: input, signed signal, 1 part, default 0.200000003 at creation. */
    public final InputPort resonance = new InputPort(this, Ids.PORT_RESONANCE, 1);

    /** LowPass: output, signed signal, 1 part. */
    public final OutputPort lowPass = new OutputPort(this, Ids.PORT_LOW_PASS, 1);

    /** BandPass: output, signed signal, 1 part. */
    public final OutputPort bandPass = new OutputPort(this, Ids.PORT_BAND_PASS, 1);

    /** HighPass: output, signed signal, 1 part. */
    public final OutputPort highPass = new OutputPort(this, Ids.PORT_HIGH_PASS, 1);

    /** Output: output, signed signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a filter old SVF in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public FilterOldSVF(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
