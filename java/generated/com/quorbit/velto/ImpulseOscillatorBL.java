package com.quorbit.velto;

/**
 * An impulse oscillator BL unit (type ID {@code 0x0251ffd1}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class ImpulseOscillatorBL extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_IMPULSE_OSCILLATOR_BL;

    /** Frequency: input, frequency signal, 1 part, default 440 at creation. */
    public final InputPort frequency = new InputPort(this, Ids.PORT_FREQUENCY, 1);

    /** Amplitude: input, raw signal, 1 part, default 32767/32768 at creation. */
    public final InputPort amplitude = new InputPort(this, Ids.PORT_AMPLITUDE, 1);

    /** Phase: variable, signed signal, 1 part. */
    public final VariablePort phase = new VariablePort(this, Ids.PORT_PHASE, 1);

    /** Output: output, raw signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a impulse oscillator BL in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public ImpulseOscillatorBL(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
