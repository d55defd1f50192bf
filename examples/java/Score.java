package com.quorbit.velto.examples;

import com.quorbit.velto.Engine;

/**
 * What an example plays: a network of units whose events it schedules on an engine, a stretch
 * of time ahead of the clock at a time, so that a long piece never fills the engine's command
 * queue.
 */
interface Score {
    /**
     * How long the piece lasts, tail included.
     *
     * @param engine the started engine (for its tick rate)
     * @return the length in ticks
     */
    int lengthTicks(Engine engine);

    /**
     * Makes the units (called once, before anything is scheduled).
     *
     * @param engine the started engine
     * @param origin the tick at which the piece begins
     */
    void prepare(Engine engine, int origin);

    /**
     * Schedules every event of the piece that happens before a tick and was not scheduled yet.
     *
     * @param engine the engine
     * @param untilTick the end of the stretch to schedule (exclusive)
     */
    void scheduleUntil(Engine engine, int untilTick);
}
