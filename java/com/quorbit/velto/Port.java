package com.quorbit.velto;

import java.util.Objects;

/**
 * A port of a unit, addressed by the unit, its port ID and a part. The classes of the unit types
 * have one port field per port, of the class of its kind: {@link InputPort},
 * {@link VariablePort}, {@link OutputPort}, {@link QueuePort}, {@link TablePort},
 * {@link BusInputPort}, {@link BusOutputPort}. A port has 1, 2 or 4 parts (channels); methods
 * without a part use part 0.
 *
 * <p>A port can be used as long as its unit can: once the unit is deleted or its engine closed,
 * its methods throw {@link IllegalStateException}.
 */
public abstract class Port {
    private final Unit unit;
    private final int portID;
    private final int numParts;

    Port(Unit unit, int portID, int numParts) {
        this.unit = Objects.requireNonNull(unit, "unit");
        this.portID = portID;
        this.numParts = numParts;
    }

    /**
     * The unit the port belongs to.
     *
     * @return the unit
     */
    public final Unit unit() {
        return unit;
    }

    /**
     * The port ID ({@code Ids.PORT_*}).
     *
     * @return the ID
     */
    public final int portID() {
        return portID;
    }

    /**
     * The number of parts.
     *
     * @return 1, 2 or 4
     */
    public final int numParts() {
        return numParts;
    }

    /**
     * The unit and the port ID.
     *
     * @return for example {@code "SineOscillator 10000 port 1f2d76c"}
     */
    @Override
    public String toString() {
        return unit.describe() + " port " + Integer.toHexString(portID);
    }

    /* ---- For the port classes ----------------------------------------------------------- */

    final Engine engine() {
        return unit.engine();
    }

    final int token() {
        return unit.live();
    }

    /* The current value of a part (inputs, outputs, variables). */
    final double read(int part) {
        int token = token();
        double[] value = new double[1];
        engine().check(Native.readPort(engine().handle(), token, portID, part, value));
        return value[0];
    }

    final void setSignal(int part, SignalType type) {
        Objects.requireNonNull(type, "type");
        int token = token();
        engine().check(Vexa.setPortSignalType(engine().handle(), token, portID, part, type.code()));
    }

    final SignalType signal(int part) {
        int token = token();
        return SignalType.fromCode(
                engine().check(Vexa.getPortSignalType(engine().handle(), token, portID, part)));
    }

    /* Removes the connections of a part; true when it had any (the engine warns 101 when an
     * input or bus output had none; outputs and bus inputs give no such warning). */
    final boolean unlink(int part) {
        int token = token();
        return engine().check(Vexa.disconnectUnits(engine().handle(), token, portID, part)) == 0;
    }

    final boolean unlinkAll() {
        boolean any = false;
        for (int part = 0; part < numParts; part++) any |= unlink(part);
        return any;
    }

    /* Connects this port's parts to a target's, part by part, or one part to all of them. */
    final boolean linkAll(Port target) {
        Objects.requireNonNull(target, "target");
        if (target.numParts == numParts) {
            boolean replaced = false;
            for (int part = 0; part < numParts; part++) replaced |= link(part, target, part);
            return replaced;
        }
        if (numParts == 1) {
            boolean replaced = false;
            for (int part = 0; part < target.numParts; part++) replaced |= link(0, target, part);
            return replaced;
        }
        throw new IllegalArgumentException(this + " has " + numParts + " parts and " + target
                + " has " + target.numParts + "; connect them part by part");
    }

    /* One connection; true when the target part had another source that it replaces. */
    final boolean link(int part, Port target, int targetPart) {
        Objects.requireNonNull(target, "target");
        unit.requireSameEngine(target.unit);
        int source = token();
        int sink = target.token();
        return engine().check(Vexa.connectUnits(engine().handle(), source, portID, part, sink,
                target.portID, targetPart)) == 100;
    }
}
