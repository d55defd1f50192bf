package com.quorbit.velto;

import java.util.Arrays;
import java.util.Collections;
import java.util.List;

/**
 * Several units run as one: every block the circuit runs its members in the order they were
 * given. The members can no longer be started on their own; starting, stopping and the priority
 * apply to the circuit. When the circuit is deleted its members become independent again (once
 * the engine has freed it).
 *
 * <pre>{@code
 * Circuit voice = new Circuit(engine, oscillator, filter, out);
 * voice.startAt(tick);
 * }</pre>
 */
public final class Circuit extends Thing {
    private final List<Unit> members;

    /**
     * Gathers stopped units into a circuit.
     *
     * @param engine the engine of the units
     * @param members the units, in the order they run; at least one, all stopped, none in
     *        another circuit, none given twice
     * @throws VeltoException when the engine refuses a member (-68 for a running unit, -76 for a
     *         unit already in a circuit or given twice, -64 for no member)
     * @throws IllegalArgumentException for a unit of another engine
     * @throws IllegalStateException when a unit is deleted or the engine closed
     */
    public Circuit(Engine engine, Unit... members) {
        super(engine, create(engine, members));
        this.members = Collections.unmodifiableList(Arrays.asList(members.clone()));
    }

    private static int create(Engine engine, Unit[] members) {
        requireEngine(engine);
        int[] tokens = new int[members.length];
        for (int i = 0; i < members.length; i++) {
            if (members[i].engine() != engine) {
                throw new IllegalArgumentException(members[i] + " belongs to another engine");
            }
            tokens[i] = members[i].live();
        }
        return engine.check(Vexa.createCircuit(engine.handle(), tokens, tokens.length, 0));
    }

    /**
     * The members, in the order they run.
     *
     * @return an unmodifiable list
     */
    public List<Unit> members() {
        return members;
    }

    /**
     * Starts the circuit with the next batch.
     *
     * @throws VeltoException when the engine reports an error
     * @throws IllegalStateException when the circuit is deleted or the engine closed
     */
    public void start() {
        Runs.start(this);
    }

    /**
     * Starts the circuit at a tick.
     *
     * @param tick the tick; one in the past means the next batch
     * @throws VeltoException when the engine reports an error
     * @throws IllegalStateException when the circuit is deleted or the engine closed
     */
    public void startAt(int tick) {
        Runs.startAt(this, tick);
    }

    /**
     * Stops the circuit with the next batch.
     *
     * @throws VeltoException when the engine reports an error
     * @throws IllegalStateException when the circuit is deleted or the engine closed
     */
    public void stop() {
        Runs.stop(this);
    }

    /**
     * Stops the circuit at a tick.
     *
     * @param tick the tick; one in the past means the next batch
     * @throws VeltoException when the engine reports an error
     * @throws IllegalStateException when the circuit is deleted or the engine closed
     */
    public void stopAt(int tick) {
        Runs.stopAt(this, tick);
    }

    /**
     * Sets the priority the circuit runs with from its next start, as
     * {@link Unit#setPriority}.
     *
     * @param priority 0, 1 or 2
     * @throws VeltoException with {@link VeltoException#INVALID_PRIORITY} for another value
     * @throws IllegalStateException when the circuit is deleted or the engine closed
     */
    public void setPriority(int priority) {
        Runs.setPriority(this, priority);
    }

    /**
     * The circuit's priority.
     *
     * @return 0, 1 or 2
     * @throws IllegalStateException when the circuit is deleted or the engine closed
     */
    public int priority() {
        return Runs.priority(this);
    }
}
