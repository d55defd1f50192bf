package com.quorbit.velto;

/**
 * A bus input (of BusRead): reads the sum of the frames of every bus output connected to it
 * ({@link BusOutputPort#connect}).
 */
public final class BusInputPort extends Port {
    /**
     * Makes the port object of a unit's bus input (the classes of the unit types do this).
     *
     * @param unit the unit
     * @param portID the port ID
     * @param numParts its number of parts
     */
    public BusInputPort(Unit unit, int portID, int numParts) {
        super(unit, portID, numParts);
    }

    /**
     * Disconnects every bus output that writes to this bus input.
     *
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public void disconnect() {
        unlinkAll();
    }

    /**
     * Disconnects every bus output that writes to a part of this bus input.
     *
     * @param part the part
     * @throws VeltoException with {@link VeltoException#INVALID_PARTNUM} for a part outside the
     *         port
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public void disconnect(int part) {
        unlink(part);
    }
}
