/**
 * The Java API of the Velto synthesis engine.
 *
 * <p>An {@link com.quorbit.velto.Engine} is one instance of the engine. Units are made from the
 * classes of the unit types ({@link com.quorbit.velto.SineOscillator},
 * {@link com.quorbit.velto.FilterLowPass}, {@link com.quorbit.velto.LineOut}, ...), each with
 * one field per port; ports are connected, set now or at a tick, and read. Samples, envelopes
 * and tables are made from Java arrays; circuits run several units as one. Engine errors become
 * {@link com.quorbit.velto.VeltoException}s.
 *
 * <p>{@link com.quorbit.velto.Vexa} is the native interface underneath: static methods over
 * integer handles that return the engine's result codes unchanged. {@link com.quorbit.velto.Ids}
 * names every unit type ID and port ID for it.
 */
package com.quorbit.velto;
