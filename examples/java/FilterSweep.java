package com.quorbit.velto.examples;

import com.quorbit.velto.Engine;
import com.quorbit.velto.FilterLowPass;
import com.quorbit.velto.LineOut;
import com.quorbit.velto.SawtoothOscillatorBL;
import com.quorbit.velto.Unit;
import java.io.IOException;

/**
 * A filter sweep: a band-limited sawtooth plays a bass line through a resonant low-pass filter
 * (Q 6) whose corner frequency sweeps up and down, evenly in pitch, with a new value at every
 * tick. The filter's amplitude fades in at the start and out at the end, one step per tick, so
 * that the sound neither starts nor stops with a click.
 *
 * <pre>
 *   java -cp velto.jar:velto-examples.jar com.quorbit.velto.examples.FilterSweep [--wav FILE]
 * </pre>
 */
public final class FilterSweep implements Score {
    static final double SECONDS = 6.0;
    static final double NOTE_SECONDS = 0.25;
    static final double FADE_SECONDS = 0.05;
    static final double LOW_CORNER = 120.0;
    static final double HIGH_CORNER = 5000.0;
    static final double LEVEL = 0.5;
    static final double[] LINE = {55.0, 55.0, 110.0, 55.0, 82.41, 55.0, 123.47, 98.0};

    private SawtoothOscillatorBL saw;
    private FilterLowPass filter;
    private int origin;
    private int length;
    private int scheduled; // ticks of the piece scheduled so far

    private FilterSweep() {}

    @Override
    public int lengthTicks(Engine engine) {
        return engine.secondsToTicks(SECONDS) + engine.secondsToTicks(0.2);
    }

    @Override
    public void prepare(Engine engine, int origin) {
        this.origin = origin;
        length = engine.secondsToTicks(SECONDS);
        saw = new SawtoothOscillatorBL(engine);
        filter = new FilterLowPass(engine);
        LineOut out = new LineOut(engine, 0);
        saw.amplitude.set(0.6);
        filter.q.set(6.0);
        filter.amplitude.set(0.0);
        saw.output.connect(filter.input);
        filter.output.connect(out.input); // one part into both sides
        for (Unit unit : new Unit[] {saw, filter, out}) {
            unit.startAt(origin);
            unit.stopAt(origin + length);
        }
    }

    @Override
    public void scheduleUntil(Engine engine, int untilTick) {
        int fade = engine.secondsToTicks(FADE_SECONDS);
        int noteTicks = engine.secondsToTicks(NOTE_SECONDS);
        for (; scheduled < length && origin + scheduled < untilTick; scheduled++) {
            int t = scheduled;
            int tick = origin + t;
            if (t % noteTicks == 0) saw.frequency.setAt(tick, LINE[(t / noteTicks) % LINE.length]);
            filter.frequency.setAt(tick, corner((double) t / length));
            double level = LEVEL * Math.min(1.0, Math.min(t, length - 1 - t) / (double) fade);
            if (t <= fade || t >= length - 1 - fade) filter.amplitude.setAt(tick, level);
        }
    }

    /* The corner at fraction x of the piece: up and down once, evenly in pitch. */
    static double corner(double x) {
        double shape = x < 0.5 ? 2.0 * x : 2.0 - 2.0 * x;
        return LOW_CORNER * Math.pow(HIGH_CORNER / LOW_CORNER, shape);
    }

    /**
     * Plays the sweep, or renders it with {@code --wav FILE}.
     *
     * @param args {@code [--wav FILE]}
     * @throws IOException when the WAV file cannot be written
     */
    public static void main(String[] args) throws IOException {
        ExampleRunner.Options options = ExampleRunner.Options.parse(args);
        if (!options.rest.isEmpty()) {
            System.err.println("usage: FilterSweep [--wav FILE]");
            System.exit(2);
        }
        ExampleRunner.run(new FilterSweep(), options, "filtersweep.wav");
    }
}
