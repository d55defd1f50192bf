package com.quorbit.velto;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;

/**
 * A whole session through the object API, compared frame by frame, bit for bit, with the same
 * network built in another engine through the native methods of Vexa and Native.
 */
class ObjectSessionTest {
    static final double RATE = 44100.0;
    static final int TICKS = 120;
    static final double[] ENVELOPE = {0.01, 1.0, 0.05, 0.5, 0.2, 0.0};
    static final double[] WAVE = {0.0, 0.7, 1.0, 0.7, 0.0, -0.7, -1.0, -0.7, 0.0};
    static final short[] LOOP = {12000, 6000, 0, -6000, -12000, -6000, 0, 6000};

    /*
     * The network: a band-limited sawtooth through a low-pass whose corner moves every tick, into
     * the left side; a sine shaped by an envelope into the right side; a wavetable oscillator and
     * a looping sample summed on a bus and mixed into both sides by a second LineOut. Frequencies
     * change, units start and stop, and the envelope starts, at ticks.
     */
    static float[] renderWithObjects() {
        return renderWithObjects(1);
    }

    static float[] renderWithObjects(int renderThreads) {
        try (Engine engine = new Engine()) {
            engine.setRenderThreads(renderThreads);
            engine.startOffline(RATE, 2);
            int t0 = engine.tickCount();
            SawtoothOscillatorBL saw = new SawtoothOscillatorBL(engine);
            FilterLowPass filter = new FilterLowPass(engine);
            SineOscillator sine = new SineOscillator(engine);
            EnvelopeLinear env = new EnvelopeLinear(engine);
            LineOut out = new LineOut(engine, 0);
            WaveOscillator wave = new WaveOscillator(engine);
            SampleRead16F1 reader = new SampleRead16F1(engine);
            BusWrite waveBus = new BusWrite(engine);
            BusWrite readerBus = new BusWrite(engine);
            BusRead bus = new BusRead(engine);
            LineOut mix = new LineOut(engine, 0);

            saw.frequency.set(110.0);
            saw.amplitude.set(0.4);
            saw.frequency.setAt(t0 + 30, 220.0);
            filter.q.set(4.0);
            for (int t = 0; t < 40; t++) filter.frequency.setAt(t0 + t, 300.0 + 100.0 * t);
            saw.output.connect(filter.input);
            filter.output.connect(0, out.input, 0);

            sine.frequency.set(660.0);
            env.amplitude.set(0.5);
            env.output.connect(sine.amplitude);
            env.data.queueAt(t0 + 10, new Envelope(engine, ENVELOPE));
            sine.output.connect(0, out.input, 1);

            wave.table.use(new Table(engine, WAVE));
            wave.frequency.set(330.0);
            wave.amplitude.set(0.25);
            reader.data.queue(new Sample(engine, LOOP, 1), QueuePort.LOOP);
            reader.amplitude.set(0.5);
            wave.output.connect(waveBus.input);
            reader.output.connect(readerBus.input);
            waveBus.busOutput.connect(bus.busInput);
            readerBus.busOutput.connect(bus.busInput);
            bus.output.connect(mix.input);

            for (Unit unit : new Unit[] {saw, filter, env, sine, out}) unit.startAt(t0 + 2);
            Circuit voices = new Circuit(engine, wave, reader, waveBus, readerBus, bus, mix);
            voices.startAt(t0 + 20);
            sine.stopAt(t0 + 90);
            voices.stopAt(t0 + 100);

            float[] first = engine.render(45);
            float[] second = engine.render(TICKS - 45);
            assertEquals(t0 + TICKS, engine.tickCount());
            float[] all = new float[first.length + second.length];
            System.arraycopy(first, 0, all, 0, first.length);
            System.arraycopy(second, 0, all, first.length, second.length);
            return all;
        }
    }

    /* The same network, call for call, through the native methods. */
    static float[] renderWithNatives() {
        int c = Vexa.createContext();
        assertTrue(c > 0);
        try {
            assertEquals(0, Vexa.initialize(c));
            assertEquals(0, Vexa.startDevices(c, 0x04, RATE, -1, 0, -1, 2));
            int t0 = Vexa.getTickCount(c);
            int saw = unit(c, Ids.UNIT_SAWTOOTH_OSCILLATOR_BL, 0);
            int filter = unit(c, Ids.UNIT_FILTER_LOW_PASS, 0);
            int sine = unit(c, Ids.UNIT_SINE_OSCILLATOR, 0);
            int env = unit(c, Ids.UNIT_ENVELOPE_LINEAR, 0);
            int out = unit(c, Ids.UNIT_LINE_OUT, 0);
            int wave = unit(c, Ids.UNIT_WAVE_OSCILLATOR, 0);
            int reader = unit(c, Ids.UNIT_SAMPLE_READ16_F1, 0);
            int waveBus = unit(c, Ids.UNIT_BUS_WRITE, 0);
            int readerBus = unit(c, Ids.UNIT_BUS_WRITE, 0);
            int bus = unit(c, Ids.UNIT_BUS_READ, 0);
            int mix = unit(c, Ids.UNIT_LINE_OUT, 0);

            ok(Vexa.setPort(c, saw, Ids.PORT_FREQUENCY, 0, 110.0));
            ok(Vexa.setPort(c, saw, Ids.PORT_AMPLITUDE, 0, 0.4));
            ok(Vexa.setPortAt(c, t0 + 30, saw, Ids.PORT_FREQUENCY, 0, 220.0));
            ok(Vexa.setPort(c, filter, Ids.PORT_Q, 0, 4.0));
            for (int t = 0; t < 40; t++) {
                ok(Vexa.setPortAt(c, t0 + t, filter, Ids.PORT_FREQUENCY, 0, 300.0 + 100.0 * t));
            }
            ok(Vexa.connectUnits(c, saw, Ids.PORT_OUTPUT, 0, filter, Ids.PORT_INPUT, 0));
            ok(Vexa.connectUnits(c, filter, Ids.PORT_OUTPUT, 0, out, Ids.PORT_INPUT, 0));

            ok(Vexa.setPort(c, sine, Ids.PORT_FREQUENCY, 0, 660.0));
            ok(Vexa.setPort(c, env, Ids.PORT_AMPLITUDE, 0, 0.5));
            ok(Vexa.connectUnits(c, env, Ids.PORT_OUTPUT, 0, sine, Ids.PORT_AMPLITUDE, 0));
            int envelope = Vexa.createEnvelope(c, ENVELOPE.length / 2);
            ok(Vexa.writeEnvelope(c, envelope, 0, ENVELOPE.length / 2, ENVELOPE, 0,
                    ENVELOPE.length));
            ok(Vexa.queueDataAt(c, t0 + 10, env, Ids.PORT_DATA, envelope, 0, ENVELOPE.length / 2,
                    0));
            ok(Vexa.connectUnits(c, sine, Ids.PORT_OUTPUT, 0, out, Ids.PORT_INPUT, 1));

            int table = Vexa.createTable(c, WAVE.length);
            ok(Vexa.writeTableDoubles(c, table, 0, WAVE.length, WAVE, 0, WAVE.length));
            ok(Vexa.useTable(c, wave, Ids.PORT_TABLE, 0, table));
            ok(Vexa.setPort(c, wave, Ids.PORT_FREQUENCY, 0, 330.0));
            ok(Vexa.setPort(c, wave, Ids.PORT_AMPLITUDE, 0, 0.25));
            int sample = Vexa.createSample(c, LOOP.length, 1);
            ok(Vexa.writeSample(c, sample, 0, LOOP.length, LOOP, 0, LOOP.length));
            ok(Vexa.queueData(c, reader, Ids.PORT_DATA, sample, 0, LOOP.length, 0x08));
            ok(Vexa.setPort(c, reader, Ids.PORT_AMPLITUDE, 0, 0.5));
            ok(Vexa.connectUnits(c, wave, Ids.PORT_OUTPUT, 0, waveBus, Ids.PORT_INPUT, 0));
            ok(Vexa.connectUnits(c, reader, Ids.PORT_OUTPUT, 0, readerBus, Ids.PORT_INPUT, 0));
            ok(Vexa.connectUnits(c, waveBus, Ids.PORT_BUS_OUTPUT, 0, bus, Ids.PORT_BUS_INPUT, 0));
            ok(Vexa.connectUnits(c, readerBus, Ids.PORT_BUS_OUTPUT, 0, bus, Ids.PORT_BUS_INPUT,
                    0));
            ok(Vexa.connectUnits(c, bus, Ids.PORT_OUTPUT, 0, mix, Ids.PORT_INPUT, 0));
            ok(Vexa.connectUnits(c, bus, Ids.PORT_OUTPUT, 0, mix, Ids.PORT_INPUT, 1));

            for (int unit : new int[] {saw, filter, env, sine, out}) {
                ok(Vexa.startUnitAt(c, t0 + 2, unit));
            }
            int[] members = {wave, reader, waveBus, readerBus, bus, mix};
            int voices = Vexa.createCircuit(c, members, members.length, 0);
            assertTrue(voices > 0);
            ok(Vexa.startUnitAt(c, t0 + 20, voices));
            ok(Vexa.stopUnitAt(c, t0 + 90, sine));
            ok(Vexa.stopUnitAt(c, t0 + 100, voices));

            float[] all = new float[TICKS * 64 * 2];
            ok(Native.renderTicks(c, null, 0, all, 2, TICKS));
            assertEquals(t0 + TICKS, Vexa.getTickCount(c));
            assertEquals(0, Vexa.stop(c));
            assertEquals(0, Vexa.terminate(c), "allocations left");
            return all;
        } finally {
            Vexa.deleteContext(c);
        }
    }

    static int unit(int c, int type, int initArgument) {
        int token = Vexa.createUnit(c, type, 0, initArgument);
        assertTrue(token > 0, "createUnit gave " + token);
        return token;
    }

    static void ok(int result) {
        assertEquals(0, result);
    }

    static int[] bits(float[] frames) {
        int[] bits = new int[frames.length];
        for (int i = 0; i < frames.length; i++) bits[i] = Float.floatToRawIntBits(frames[i]);
        return bits;
    }

    @Test
    void objectsAndNativesRenderTheSameFrames() {
        float[] objects = renderWithObjects();
        float[] natives = renderWithNatives();
        assertEquals(TICKS * 64 * 2, objects.length);
        assertArrayEquals(bits(natives), bits(objects));

        // The network is audible on both sides, silent before its start, and every part of it
        // contributes: the right side has the envelope's sine, the bus mix joins at tick 20.
        double[] left = new double[TICKS];
        double[] right = new double[TICKS];
        for (int i = 0; i < objects.length; i += 2) {
            left[i / 128] += objects[i] * objects[i];
            right[i / 128] += objects[i + 1] * objects[i + 1];
        }
        assertEquals(0.0, left[0] + left[1] + right[0] + right[1], "nothing before tick 2");
        assertTrue(left[5] > 0.0 && right[15] > 0.0, "both sides sound");
        assertTrue(right[8] < right[25], "the envelope and the bus mix raise the right side");
        assertTrue(left[110] > 0.0, "the left side plays on after the mix stopped");
    }

    /** Offline input: LineIn frames reach a LineOut unchanged, in the same tick. */
    @Test
    void renderThreadsGiveTheSameFrames() {
        float[] one = renderWithObjects(1);
        assertArrayEquals(bits(one), bits(renderWithObjects(2)));
        assertArrayEquals(bits(one), bits(renderWithObjects(4)));
        try (Engine engine = new Engine()) {
            assertEquals(1, engine.renderThreads());
            engine.setRenderThreads(3);
            assertEquals(3, engine.renderThreads());
            VeltoException e = assertThrows(VeltoException.class, () -> engine.setRenderThreads(0));
            assertEquals(VeltoException.OUT_OF_RANGE, e.code());
            assertThrows(VeltoException.class, () -> engine.setRenderThreads(65));
            assertEquals(3, engine.renderThreads());
        }
    }

    @Test
    void inputFramesPassThroughUnchanged() {
        try (Engine engine = new Engine()) {
            engine.startOffline(RATE, 2, 2);
            LineIn in = new LineIn(engine, 0);
            LineOut out = new LineOut(engine, 0);
            in.output.connect(out.input);
            in.start();
            out.start();
            float[] input = new float[3 * 64 * 2];
            for (int i = 0; i < input.length; i++) input[i] = (float) Math.sin(0.37 * i) * 0.9f;
            float[] output = new float[input.length];
            engine.render(input, output, 3);
            assertArrayEquals(bits(input), bits(output));
            engine.render(null, output, 3);
            assertArrayEquals(new float[output.length], output, "no input reads as silence");
        }
    }
}
