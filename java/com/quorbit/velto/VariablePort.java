package com.quorbit.velto;

/**
 * A variable: a part of the unit's state that can be set and read but not connected, such as an
 * oscillator's {@code phase} or a lag's {@code current} value. The unit changes it as it runs.
 */
public final class VariablePort extends SettablePort {
    /**
     * Makes the port object of a unit's variable (the classes of the unit types do this).
     *
     * @param unit the unit
     * @param portID the port ID
     * @param numParts its number of parts
     */
    public VariablePort(Unit unit, int portID, int numParts) {
        super(unit, portID, numParts);
    }
}
