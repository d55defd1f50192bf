package com.quorbit.velto;

/**
 * A bus output (of BusWrite): writes its unit's frames onto a bus. A bus input
 * ({@link BusInputPort}) reads the sum of every bus output connected to it; a bus output writes
 * to one bus input at a time.
 */
public final class BusOutputPort extends Port {
    /**
     * Makes the port object of a unit's bus output (the classes of the unit types do this).
     *
     * @param unit the unit
     * @param portID the port ID
     * @param numParts its number of parts
     */
    public BusOutputPort(Unit unit, int portID, int numParts) {
        super(unit, portID, numParts);
    }

    /**
     * Connects this bus output to a bus input, part by part when both have the same number of
     * parts, or this output's only part to every part of the input.
     *
     * @param target a bus input of a unit of the same engine
     * @return true when a part of this output wrote to another bus, which this connection
     *         replaces
     * @throws IllegalArgumentException when the part counts do not match as described, or the
     *         target belongs to another engine
     * @throws IllegalStateException when a unit is deleted or the engine closed
     */
    public boolean connect(BusInputPort target) {
        return linkAll(target);
    }

    /**
     * Connects one part of this bus output to one part of a bus input.
     *
     * @param part the part of this output
     * @param target a bus input of a unit of the same engine
     * @param targetPart the part of the input
     * @return true when the part wrote to another bus, which this connection replaces
     * @throws VeltoException with {@link VeltoException#INVALID_PARTNUM} for a part outside a
     *         port
     * @throws IllegalArgumentException when the target belongs to another engine
     * @throws IllegalStateException when a unit is deleted or the engine closed
     */
    public boolean connect(int part, BusInputPort target, int targetPart) {
        return link(part, target, targetPart);
    }

    /**
     * Takes every part off its bus.
     *
     * @return true when some part was connected
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public boolean disconnect() {
        return unlinkAll();
    }

    /**
     * Takes a part off its bus.
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
