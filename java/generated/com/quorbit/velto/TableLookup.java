package com.quorbit.velto;

/**
 * A table lookup unit (type ID {@code 0x0176d52a}): one field per port; docs/units.md
 * gives each port's signal type and default.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class TableLookup extends Unit {
    /** The type ID of this unit type. */
    public static final int TYPE_ID = Ids.UNIT_TABLE_LOOKUP;

    /** Input: input, signed signal, 1 part. */
    public final InputPort input = new InputPort(this, Ids.PORT_INPUT, 1);

    /** Table: table, raw signal, 1 part. */
    public final TablePort table = new TablePort(this, Ids.PORT_TABLE, 1);

    /** Amplitude: input, raw signal, 1 part, default 32767/32768 at creation. */
    public final InputPort amplitude = new InputPort(this, Ids.PORT_AMPLITUDE, 1);

    /** Output: output, raw signal, 1 part. */
    public final OutputPort output = new OutputPort(this, Ids.PORT_OUTPUT, 1);

    /**
     * Creates a table lookup in the engine.
     *
     * @param engine the engine that will own the unit
     * @throws VeltoException when the engine cannot create it
     */
    public TableLookup(Engine engine) {
        super(engine, TYPE_ID, 0);
    }
}
