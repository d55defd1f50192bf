package com.quorbit.velto;

/**
 * A table port (of TableLookup and WaveOscillator): holds the {@link Table} the unit reads. The
 * port keeps its table alive, so the table may be deleted while it is in use. A change takes
 * effect at the next block the unit computes; it is not timed.
 */
public final class TablePort extends Port {
    /**
     * Makes the port object of a unit's table port (the classes of the unit types do this).
     *
     * @param unit the unit
     * @param portID the port ID
     * @param numParts its number of parts
     */
    public TablePort(Unit unit, int portID, int numParts) {
        super(unit, portID, numParts);
    }

    /**
     * Attaches a table, in place of the one attached before.
     *
     * @param table a table of the same engine
     * @throws IllegalArgumentException when the table belongs to another engine
     * @throws IllegalStateException when the unit or the table is deleted or the engine closed
     */
    public void use(Table table) {
        unit().requireSameEngine(table);
        int unitToken = token();
        int tableToken = table.live();
        engine().check(Vexa.useTable(engine().handle(), unitToken, portID(), 0, tableToken));
    }

    /**
     * Detaches the table; the unit reads no table until another one is attached.
     *
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public void detach() {
        int unitToken = token();
        engine().check(Vexa.useTable(engine().handle(), unitToken, portID(), 0, 0));
    }
}
