package com.quorbit.velto;

/**
 * A port whose parts hold values that can be set, now or at a tick, and read: the base of
 * {@link InputPort} and {@link VariablePort}.
 *
 * <p>A set value is given in the port's outside units (hertz, seconds, ...). At the start of its
 * tick's batch it is converted by the part's {@link SignalType} and stored, and the unit reads it
 * from the first frame of that tick on, until the next set. {@link #get()} gives the stored
 * (converted) value.
 */
public abstract class SettablePort extends Port {
    SettablePort(Unit unit, int portID, int numParts) {
        super(unit, portID, numParts);
    }

    /**
     * Sets part 0 with the next batch.
     *
     * @param value the value, in the port's outside units
     * @throws VeltoException when the engine refuses the value
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public final void set(double value) {
        set(0, value);
    }

    /**
     * Sets a part with the next batch.
     *
     * @param part the part, 0 .. {@code numParts() - 1}
     * @param value the value, in the port's outside units
     * @throws VeltoException with {@link VeltoException#INVALID_PARTNUM} for a part outside the
     *         port
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public final void set(int part, double value) {
        int token = token();
        engine().check(Vexa.setPort(engine().handle(), token, portID(), part, value));
    }

    /**
     * Sets part 0 at a tick.
     *
     * @param tick the tick; one in the past means the next batch
     * @param value the value, in the port's outside units
     * @throws VeltoException when the engine refuses the value
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public final void setAt(int tick, double value) {
        setAt(tick, 0, value);
    }

    /**
     * Sets a part at a tick.
     *
     * @param tick the tick; one in the past means the next batch
     * @param part the part, 0 .. {@code numParts() - 1}
     * @param value the value, in the port's outside units
     * @throws VeltoException with {@link VeltoException#INVALID_PARTNUM} for a part outside the
     *         port
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public final void setAt(int tick, int part, double value) {
        int token = token();
        engine().check(Vexa.setPortAt(engine().handle(), tick, token, portID(), part, value));
    }

    /**
     * The current value of part 0.
     *
     * @return the value, after conversion by the signal type
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public final double get() {
        return read(0);
    }

    /**
     * The current value of a part.
     *
     * @param part the part
     * @return the value, after conversion by the signal type
     * @throws VeltoException with {@link VeltoException#INVALID_PARTNUM} for a part outside the
     *         port
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public final double get(int part) {
        return read(part);
    }

    /**
     * Changes the signal type of part 0; values set afterwards are converted by it.
     *
     * @param type the new type
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public final void setSignalType(SignalType type) {
        setSignal(0, type);
    }

    /**
     * Changes the signal type of a part; values set afterwards are converted by it (defaults
     * applied at a start keep the type of the unit's description).
     *
     * @param part the part
     * @param type the new type
     * @throws VeltoException with {@link VeltoException#INVALID_PARTNUM} for a part outside the
     *         port
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public final void setSignalType(int part, SignalType type) {
        setSignal(part, type);
    }

    /**
     * The signal type of part 0.
     *
     * @return the type
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public final SignalType signalType() {
        return signal(0);
    }

    /**
     * The signal type of a part.
     *
     * @param part the part
     * @return the type
     * @throws VeltoException with {@link VeltoException#INVALID_PARTNUM} for a part outside the
     *         port
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public final SignalType signalType(int part) {
        return signal(part);
    }
}
