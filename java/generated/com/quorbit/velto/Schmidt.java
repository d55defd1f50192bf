package com.quorbit.velto;

/**
 * A schmidt unit (type ID {@code 0x05a5ef32}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class Schmidt extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_SCHMIDT;

    /** Input: input, raw signal, 1 part. */
    public final InputPort input = new InputPort(this, Ids.PORT_INPUT, 1);

    /** SetLevel: input, raw signal, 1 part. */
    public final InputPort setLevel = new InputPort(this, Ids.PORT_SET_LEVEL, 1);

    /** ResetLevel: input, raw signal, 1 part. */
    public final InputPort resetLevel = new InputPort(this, Ids.PORT_RESET_LEVEL, 1);

    /** SetTrigger: output, signed signal, 1 part. */
    public final OutputPort setTrigger = new OutputPort(this, Ids.PORT_SET_TRIGGER, 1);

    /** Output: output, raw signal, 1 part, default 0 at every start. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a schmidt in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public Schmidt(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
