package com.quorbit.velto;

/**
 * An envelope parabolic unit (type ID {@code 0x0583ae2b}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class EnvelopeParabolic extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_ENVELOPE_PARABOLIC;

    /** Input: input, signed signal, 1 part. */
    public final InputPort input = new InputPort(this, Ids.PORT_INPUT, 1);

    /** Frequency: input, frequency signal, 1 part, default 440 at creation. */
    public final InputPort frequency = new InputPort(this, Ids.PORT_FREQUENCY, 1);

    /** Amplitude: input, raw signal, 1 part, default 32767/32768 at creation. */
    public final InputPort amplitude = new InputPort(this, Ids.PORT_AMPLITUDE, 1);

    /** BusyInput: output, signed signal, 1 part. */
    public final OutputPort busyInput = new OutputPort(this, Ids.PORT_BUSY_INPUT, 1);

    /** StartPulse: output, signed signal, 1 part. */
    public final OutputPort startPulse = new OutputPort(this, Ids.PORT_START_PULSE, 1);

    /** Output: output, raw signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a envelope parabolic in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public EnvelopeParabolic(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
