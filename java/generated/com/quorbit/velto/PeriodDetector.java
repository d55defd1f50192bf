package com.quorbit.velto;

/**
 * A period detector unit (type ID {@code 0x057371f3}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class PeriodDetector extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_PERIOD_DETECTOR;

    /** Input: input, raw signal, 1 part. */
    public final InputPort input = new InputPort(this, Ids.PORT_INPUT, 1);

    /** Period: output, raw signal, 1 part. */
    public final OutputPort period = new OutputPort(this, Ids.PORT_PERIOD, 1);

    /** Confidence: output, raw signal, 1 part. */
    public final OutputPort confidence = new OutputPort(this, Ids.PORT_CONFIDENCE, 1);

    /**
     * Creates a period detector in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public PeriodDetector(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
