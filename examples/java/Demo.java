package com.quorbit.velto.examples;

import com.quorbit.velto.Add;
import com.quorbit.velto.Engine;
import com.quorbit.velto.Envelope;
import com.quorbit.velto.EnvelopeLinear;
import com.quorbit.velto.LineOut;
import com.quorbit.velto.Pan;
import com.quorbit.velto.SineOscillator;
import com.quorbit.velto.TriangleOscillator;
import com.quorbit.velto.Unit;
import java.io.IOException;

/**
 * The demo piece: a short melody. Each note is a triangle wave with a sine an octave above it,
 * added, placed in the stereo field by a Pan and played through its own LineOut. One
 * EnvelopeLinear per note drives the amplitudes of both oscillators: a quick attack, a decay to
 * a sustain level, and a release after the note's end, so that notes begin and end without
 * clicks. Every start, stop, envelope region and pitch happens at an exact tick.
 *
 * <pre>
 *   java -cp velto.jar:velto-examples.jar com.quorbit.velto.examples.Demo [--wav FILE]
 * </pre>
 */
public final class Demo implements Score {
    /* Tempo and envelope. */
    static final double SECONDS_PER_BEAT = 0.4;
    static final double ATTACK = 0.015;
    static final double DECAY = 0.18;
    static final double SUSTAIN = 0.55;
    static final double RELEASE = 0.3;
    static final double TAIL = 0.6;

    /* The melody: MIDI key, start and length in beats, level, pan (-1 left .. +1 right). */
    static final double[][] NOTES = {
        {69, 0.0, 1.0, 0.30, -0.3},
        {72, 1.0, 1.0, 0.28, 0.0},
        {76, 2.0, 1.5, 0.30, 0.3},
        {74, 3.5, 0.5, 0.24, 0.2},
        {72, 4.0, 1.0, 0.28, 0.0},
        {71, 5.0, 1.0, 0.26, -0.2},
        {72, 6.0, 0.5, 0.24, 0.0},
        {71, 6.5, 0.5, 0.24, -0.1},
        {69, 7.0, 3.0, 0.30, -0.3},
        {57, 7.0, 3.0, 0.20, 0.4},
        {64, 7.5, 2.5, 0.16, 0.1},
    };

    private Envelope adsr;
    private int origin;
    private int next; // the first note not scheduled yet

    private Demo() {}

    @Override
    public int lengthTicks(Engine engine) {
        double end = 0.0;
        for (double[] note : NOTES) end = Math.max(end, (note[1] + note[2]) * SECONDS_PER_BEAT);
        return engine.secondsToTicks(end + RELEASE + TAIL);
    }

    @Override
    public void prepare(Engine engine, int origin) {
        this.origin = origin;
        // Attack to full level, decay to the sustain level; then, from frame 2, the release.
        adsr = new Envelope(engine, new double[] {ATTACK, 1.0, DECAY, SUSTAIN, RELEASE, 0.0});
    }

    @Override
    public void scheduleUntil(Engine engine, int untilTick) {
        while (next < NOTES.length && tickOf(engine, NOTES[next][1]) < untilTick) {
            scheduleNote(engine, NOTES[next++]);
        }
    }

    private int tickOf(Engine engine, double beats) {
        return origin + engine.secondsToTicks(beats * SECONDS_PER_BEAT);
    }

    /* The units of one note, made for it, and its whole life scheduled at once. */
    private void scheduleNote(Engine engine, double[] note) {
        int on = tickOf(engine, note[1]);
        int off = tickOf(engine, note[1] + note[2]);
        int end = off + engine.secondsToTicks(RELEASE) + 1;
        double hertz = ExampleRunner.keyToHertz(note[0]);

        EnvelopeLinear env = new EnvelopeLinear(engine);
        TriangleOscillator low = new TriangleOscillator(engine);
        SineOscillator high = new SineOscillator(engine);
        Add sum = new Add(engine);
        Pan pan = new Pan(engine);
        LineOut out = new LineOut(engine, 0);

        env.amplitude.set(note[3]);
        env.output.connect(low.amplitude);
        env.output.connect(high.amplitude);
        low.frequency.set(hertz);
        high.frequency.set(2.0 * hertz);
        low.output.connect(sum.inputA);
        high.output.connect(sum.inputB);
        sum.output.connect(pan.input);
        pan.pan.set(note[4]);
        pan.output.connect(out.input);

        // Attack and decay at the note's start; at its end the release glides from wherever
        // the envelope is down to silence.
        env.data.queueAt(on, adsr, 0, 2, 0);
        env.data.clearAt(off);
        env.data.queueAt(off, adsr, 2, 1, 0);
        // Sources first, so that each block flows through the chain at once.
        for (Unit unit : new Unit[] {env, low, high, sum, pan, out}) {
            unit.startAt(on);
            unit.stopAt(end);
        }
    }

    /**
     * Plays the piece, or renders it with {@code --wav FILE}.
     *
     * @param args {@code [--wav FILE]}
     * @throws IOException when the WAV file cannot be written
     */
    public static void main(String[] args) throws IOException {
        ExampleRunner.Options options = ExampleRunner.Options.parse(args);
        if (!options.rest.isEmpty()) {
            System.err.println("usage: Demo [--wav FILE]");
            System.exit(2);
        }
        ExampleRunner.run(new Demo(), options, "demo.wav");
    }
}
