package com.quorbit.velto;

/**
 * An input: each part reads either its own set value or, once connected, the output part of
 * another unit ({@link OutputPort#connect}). A connected part keeps a value set on it but goes on
 * reading its source until it is disconnected; {@link #get()} gives what the unit reads.
 */
public final class InputPort extends SettablePort {
    /**
     * Makes the port object of a unit's input (the classes of the unit types do this).
     *
     * @param unit the unit
     * @param portID the port ID
     * @param numParts its number of parts
     */
    public InputPort(Unit unit, int portID, int numParts) {
        super(unit, portID, numParts);
    }

    /**
     * Disconnects every part from its source; each reads its own set value again.
     *
     * @return true when some part was connected
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public boolean disconnect() {
        return unlinkAll();
    }

    /**
     * Disconnects a part from its source; it reads its own set value again.
     *
     * @param part the part
     * @return true when the part was connected (false for the engine's warning 101)
     * @throws VeltoException with {@link VeltoException#INVALID_PARTNUM} for a part outside the
     *         port
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public boolean disconnect(int part) {
        return unlink(part);
    }
}
