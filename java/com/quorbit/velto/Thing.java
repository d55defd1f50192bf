package com.quorbit.velto;

import java.util.Objects;

/**
 * Something that lives in an {@link Engine} and is named by a token: a {@link Unit}, a
 * {@link Circuit}, a {@link Sample}, an {@link Envelope} or a {@link Table}.
 *
 * <p>A thing belongs to the engine that made it until it is deleted ({@link #delete()} or
 * {@link #close()}, the same) or its engine is closed. After that every method but
 * {@code delete} and {@code close} throws {@link IllegalStateException}. The engine keeps a
 * deleted thing alive while something still holds it: a queued region its sample or envelope, a
 * table port its table, a circuit its members.
 */
public abstract class Thing implements AutoCloseable {
    private final Engine engine;
    private final int token;
    private volatile boolean deleted;

    /* Takes over a token that the engine has just handed out. */
    Thing(Engine engine, int token) {
        this.engine = engine;
        this.token = token;
    }

    /* Checks the engine argument of a constructor, before anything is created. */
    static Engine requireEngine(Engine engine) {
        Objects.requireNonNull(engine, "engine");
        engine.handle();
        return engine;
    }

    /**
     * The engine the thing belongs to.
     *
     * @return the engine
     */
    public final Engine engine() {
        return engine;
    }

    /**
     * The engine's token of the thing, as the methods of {@link Vexa} take it. It stays the same
     * after deletion, when it no longer names the thing.
     *
     * @return the token, a positive number
     */
    public final int token() {
        return token;
    }

    /**
     * Whether the thing has been deleted, or its engine closed.
     *
     * @return true when the thing can no longer be used
     */
    public final boolean isDeleted() {
        return deleted || engine.isClosed();
    }

    /**
     * Deletes the thing. A unit stops when the engine frees it, after the commands sent for it
     * have run. Does nothing when the thing is already deleted or its engine closed.
     *
     * @throws VeltoException when the engine reports an error
     */
    public void delete() {
        synchronized (this) {
            if (deleted) return;
            deleted = true;
        }
        if (engine.isClosed()) return;
        int result = Vexa.delete(engine.rawHandle(), token);
        if (result < 0 && !engine.isClosed()) throw new VeltoException(result);
    }

    /**
     * The same as {@link #delete()}, for try-with-resources.
     *
     * @throws VeltoException when the engine reports an error
     */
    @Override
    public final void close() {
        delete();
    }

    /* The token for a call; throws once the thing is deleted or the engine closed. */
    final int live() {
        if (deleted) throw new IllegalStateException(describe() + " is deleted");
        engine.handle();
        return token;
    }

    /* Checks that another thing can be used with this one. */
    final void requireSameEngine(Thing other) {
        Objects.requireNonNull(other);
        if (other.engine != engine) {
            throw new IllegalArgumentException(
                    other.describe() + " belongs to another engine than " + describe());
        }
    }

    String describe() {
        return getClass().getSimpleName() + " " + Integer.toHexString(token);
    }

    /**
     * The class name and the token.
     *
     * @return for example {@code "SineOscillator 10000"}
     */
    @Override
    public String toString() {
        return describe();
    }
}
