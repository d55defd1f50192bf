package com.quorbit.velto;

/**
 * A unit generator: the base of the classes of the unit types ({@link SineOscillator},
 * {@link FilterLowPass}, {@link LineOut}, ...), which have one field per port.
 *
 * <p>A unit is made stopped, with its port defaults applied. Once started it runs every block,
 * in the order of its priority and of its start, until it is stopped; a stopped unit keeps its
 * state and its outputs keep their last values. Starting and stopping happen at the start of a
 * tick's batch: now ({@link #start()}, the next batch) or at a given tick ({@link #startAt}).
 *
 * <pre>{@code
 * SineOscillator sine = new SineOscillator(engine);
 * int now = engine.tickCount();
 * sine.frequency.setAt(now + 10, 660.0);
 * sine.startAt(now + 10);
 * sine.stopAt(now + 100);
 * }</pre>
 */
public abstract class Unit extends Thing {
    /** The priority of units that run last in each block. */
    public static final int PRIORITY_LOW = 0;
    /** The priority units have when they are made. */
    public static final int PRIORITY_NORMAL = 1;
    /** The priority of units that run first in each block. */
    public static final int PRIORITY_HIGH = 2;

    private final int typeID;

    /**
     * Creates a stopped unit of a type in an engine.
     *
     * @param engine the engine that will own the unit
     * @param typeID the unit type ID ({@code Ids.UNIT_*}, or a class's {@code TYPE_ID})
     * @param initArgument for LineOut, ChannelOut, LineIn and ChannelIn the device channel of
     *        part 0 (0..16); for Delay and DelayInterp the line length in frames (at least 1);
     *        ignored by the other types
     * @throws VeltoException when the engine cannot create it ({@link VeltoException#NOT_FOUND}
     *         for an unknown type, {@link VeltoException#OUT_OF_RANGE} for a bad line length,
     *         {@link VeltoException#CHANNELS_MISMATCH} for a channel above 16)
     * @throws IllegalStateException when the engine is closed
     */
    protected Unit(Engine engine, int typeID, int initArgument) {
        super(engine, create(engine, typeID, initArgument));
        this.typeID = typeID;
    }

    private static int create(Engine engine, int typeID, int initArgument) {
        requireEngine(engine);
        return engine.check(Vexa.createUnit(engine.handle(), typeID, 0, initArgument));
    }

    /**
     * The unit's type ID.
     *
     * @return the ID given when it was made
     */
    public final int typeID() {
        return typeID;
    }

    /**
     * Starts the unit with the next batch. A running unit keeps its place; a unit inside a
     * circuit runs as part of the circuit and is not started on its own.
     *
     * @throws VeltoException when the engine reports an error
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public void start() {
        Runs.start(this);
    }

    /**
     * Starts the unit at a tick.
     *
     * @param tick the tick; one in the past means the next batch
     * @throws VeltoException when the engine reports an error
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public void startAt(int tick) {
        Runs.startAt(this, tick);
    }

    /**
     * Stops the unit with the next batch; its state is kept for a later start.
     *
     * @throws VeltoException when the engine reports an error
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public void stop() {
        Runs.stop(this);
    }

    /**
     * Stops the unit at a tick.
     *
     * @param tick the tick; one in the past means the next batch
     * @throws VeltoException when the engine reports an error
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public void stopAt(int tick) {
        Runs.stopAt(this, tick);
    }

    /**
     * Sets the priority the unit runs with from its next start: {@link #PRIORITY_HIGH} units
     * run first in each block, then {@link #PRIORITY_NORMAL}, then {@link #PRIORITY_LOW}.
     *
     * @param priority 0, 1 or 2
     * @throws VeltoException with {@link VeltoException#INVALID_PRIORITY} for another value
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public void setPriority(int priority) {
        Runs.setPriority(this, priority);
    }

    /**
     * The unit's priority.
     *
     * @return 0, 1 or 2
     * @throws IllegalStateException when the unit is deleted or the engine closed
     */
    public int priority() {
        return Runs.priority(this);
    }

    /* Part count of a port as the engine has it. */
    final int enginePartCount(int portID) {
        return engine().check(Vexa.getNumParts(engine().handle(), live(), portID));
    }
}
