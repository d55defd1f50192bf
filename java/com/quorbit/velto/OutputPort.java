package com.quorbit.velto;

/**
 * An output: each part holds the unit's last block of frames and feeds any number of input
 * parts. An input reads the output's block in place from the next block on; a unit that runs
 * before its source reads the source's previous block, so start sources before their readers.
 */
public final class OutputPort extends Port {
    /**
     * Makes the port object of a unit's output (the classes of the unit types do this).
     *
     * @param unit the unit
     * @param portID the port ID
     * @param numParts its number of parts
     */
    public OutputPort(Unit unit, int portID, int numParts) {
        super(unit, portID, numParts);
    }

    /**
     * Connects this output to an input: part by part when both have the same number of parts,
     * or this output's only part to every part of the input (a mono source into a LineOut).
     *
     * @param target an input of a unit of the same engine (may be of the same unit)
     * @return true when an input part had another source, which this connection replaces
     * @throws IllegalArgumentException when the part counts do not match as described, or the
     *         target belongs to another engine
     * @throws IllegalStateException when a unit is deleted or the engine closed
     */
    public boolean connect(InputPort target) {
        return linkAll(target);
    }

    /**
     * Connects one part of this output to one part of an input.
     *
     * @param part the part of this output
     * @param target an input of a unit of the same engine
     * @param targetPart the part of the input
     * @return true when the input part had another source, which this connection replaces
     * @throws VeltoException with {@link VeltoException#INVALID_PARTNUM} for a part outside a
     *         port
     * @throws IllegalArgumentException when the target belongs to another engine
     * @throws IllegalStateException when a unit is deleted or the engine closed
     */
    public boolean connect(int part, InputPort target, int targetPart) {
        return link(part, target, targetPart);
    }

    /**
     * Disconnects every input that reads this output.
     *
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public void disconnect() {
        unlinkAll();
    }

    /**
     * Disconnects every input that reads a part of this output.
     *
     * @param part the part
     * @throws VeltoException with {@link VeltoException#INVALID_PARTNUM} for a part outside the
     *         port
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public void disconnect(int part) {
        unlink(part);
    }

    /**
     * The first frame of part 0 of the last block computed.
     *
     * @return the value
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public double get() {
        return read(0);
    }

    /**
     * The first frame of a part of the last block computed.
     *
     * @param part the part
     * @return the value
     * @throws VeltoException with {@link VeltoException#INVALID_PARTNUM} for a part outside the
     *         port
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public double get(int part) {
        return read(part);
    }
}
