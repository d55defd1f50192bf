package com.quorbit.velto;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.Arrays;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Assumptions;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;

/** A whole engine session driven from Java, through every kind of forwarding method. */
class VexaSessionTest extends EngineFixture {
    static final float AMPLITUDE_DEFAULT = 32767.0f / 32768.0f;

    @Test
    void clockAndRates() {
        assertEquals(142, Vexa.getVersion());
        assertEquals(FRAME_RATE, Vexa.getFrameRate(ctx));
        assertEquals(64, Vexa.getFramesPerTick(ctx));
        assertEquals(FRAME_RATE / 64.0, Vexa.getTickRate(ctx), 1e-9);
        assertEquals(0.0, Vexa.getUsage(ctx), "no stream is open in no-device mode");
        int tick = Vexa.getTickCount(ctx);
        assertEquals(0, Vexa.sleepUntilTick(ctx, tick + 3));
        assertEquals(tick + 3, Vexa.getTickCount(ctx));
        assertEquals(64 * (tick + 3), Vexa.getFrameCount(ctx));
        assertEquals(0, Vexa.checkEngineErrors(ctx));
    }

    @Test
    void sineIntoChannelOut() {
        int sine = unit(Ids.UNIT_SINE_OSCILLATOR);
        int out = unit(Ids.UNIT_CHANNEL_OUT);
        assertEquals(2, Vexa.getObjectCount(ctx));
        assertEquals(440.0, Vexa.getPort(ctx, sine, Ids.PORT_FREQUENCY, 0));
        assertEquals(AMPLITUDE_DEFAULT, Vexa.getPort(ctx, sine, Ids.PORT_AMPLITUDE, 0));
        assertEquals(1, Vexa.getNumParts(ctx, out, Ids.PORT_INPUT));
        assertEquals(2, Vexa.getPortSignalType(ctx, sine, Ids.PORT_FREQUENCY, 0), "frequency type");
        assertEquals(1, Vexa.getPriority(ctx, sine));

        assertEquals(0, Vexa.connectUnits(ctx, sine, Ids.PORT_OUTPUT, 0, out, Ids.PORT_INPUT, 0));
        assertEquals(0, Vexa.startUnit(ctx, sine));
        assertEquals(0, Vexa.startUnit(ctx, out));
        int tick = Vexa.getTickCount(ctx);
        assertEquals(0, Vexa.setPortAt(ctx, tick + 4, sine, Ids.PORT_FREQUENCY, 0, 882.0));

        assertEquals(0, Vexa.sleepUntilTick(ctx, tick + 4));
        assertEquals(440.0, Vexa.getPort(ctx, sine, Ids.PORT_FREQUENCY, 0), "set at a later tick");
        double output = Vexa.getPort(ctx, sine, Ids.PORT_OUTPUT, 0);
        assertEquals(output, Vexa.getPort(ctx, out, Ids.PORT_INPUT, 0),
                "the input reads its source");
        // Output is the first frame of the last block; Phase is the phase after its last frame.
        double increment = 440.0 * (float) (2.0 / FRAME_RATE);
        double firstPhase = Vexa.getPort(ctx, sine, Ids.PORT_PHASE, 0) - 7 * increment;
        if (firstPhase < -1.0) firstPhase += 2.0;
        assertNotEquals(0.0, output);
        assertEquals(Math.sin(Math.PI * firstPhase) * AMPLITUDE_DEFAULT, output, 1e-5);

        assertEquals(0, Vexa.sleepUntilTick(ctx, tick + 5));
        assertEquals(882.0, Vexa.getPort(ctx, sine, Ids.PORT_FREQUENCY, 0),
                "set executed at its tick");

        assertEquals(0, Vexa.disconnectUnits(ctx, out, Ids.PORT_INPUT, 0));
        assertEquals(0, Vexa.stopUnit(ctx, sine));
        assertEquals(0, Vexa.delete(ctx, sine));
        assertEquals(INVALID_TOKEN, Vexa.delete(ctx, sine), "a deleted token is dead");
        assertEquals(0, Vexa.delete(ctx, out));
        assertEquals(-1000000.0 + INVALID_TOKEN, Vexa.getPort(ctx, sine, Ids.PORT_FREQUENCY, 0));
    }

    @Test
    void portsPrioritiesAndTimedStarts() {
        int sine = unit(Ids.UNIT_SINE_OSCILLATOR);
        assertEquals(0, Vexa.setPort(ctx, sine, Ids.PORT_AMPLITUDE, 0, 0.25));
        assertEquals(0, Vexa.setPriority(ctx, sine, 2));
        assertEquals(2, Vexa.getPriority(ctx, sine));
        assertEquals(-95, Vexa.setPriority(ctx, sine, 3));
        assertEquals(0, Vexa.setPortSignalType(ctx, sine, Ids.PORT_AMPLITUDE, 0, 1));
        assertEquals(1, Vexa.getPortSignalType(ctx, sine, Ids.PORT_AMPLITUDE, 0));
        assertEquals(-94, Vexa.setPortSignalType(ctx, sine, Ids.PORT_AMPLITUDE, 0, 8));
        assertEquals(-96, Vexa.setPort(ctx, sine, Ids.PORT_AMPLITUDE, 1, 0.5));
        assertEquals(-87, Vexa.createUnit(ctx, 0x12345678, 0, 0));

        int tick = Vexa.getTickCount(ctx);
        assertEquals(0, Vexa.startUnitAt(ctx, tick + 2, sine));
        assertEquals(0, Vexa.stopUnitAt(ctx, tick + 4, sine));
        assertEquals(0, Vexa.sleepUntilTick(ctx, tick + 2));
        assertEquals(0.0, Vexa.getPort(ctx, sine, Ids.PORT_PHASE, 0),
                "not started before its tick");
        assertEquals(0.25, Vexa.getPort(ctx, sine, Ids.PORT_AMPLITUDE, 0));
        assertEquals(0, Vexa.sleepUntilTick(ctx, tick + 4));
        double phase = Vexa.getPort(ctx, sine, Ids.PORT_PHASE, 0);
        assertNotEquals(0.0, phase, "running from its start tick");
        assertEquals(0, Vexa.sleepUntilTick(ctx, tick + 6));
        assertEquals(phase, Vexa.getPort(ctx, sine, Ids.PORT_PHASE, 0), "stopped at its stop tick");
    }

    @Test
    void sampleWrittenFromJavaPlaysThroughAReader() {
        short[] frames = new short[64];
        Arrays.fill(frames, (short) 16384);
        int sample = Vexa.createSample(ctx, 64, 1);
        assertTrue(sample > 0);
        assertEquals(0, Vexa.writeSample(ctx, sample, 0, 64, frames, 0, 64));
        int reader = unit(Ids.UNIT_SAMPLE_READ16_F1);
        assertEquals(0, Vexa.queueData(ctx, reader, Ids.PORT_DATA, sample, 0, 64, 0));
        assertEquals(0, Vexa.startUnit(ctx, reader));
        int tick = Vexa.getTickCount(ctx);
        assertEquals(0, Vexa.sleepUntilTick(ctx, tick + 1));
        assertEquals(0.5 * AMPLITUDE_DEFAULT, Vexa.getPort(ctx, reader, Ids.PORT_OUTPUT, 0));
        assertTrue(Vexa.getPortFrames(ctx, reader, Ids.PORT_DATA, 0) >= 0);
        assertEquals(0, Vexa.queueDataAt(ctx, tick + 3, reader, Ids.PORT_DATA, sample, 0, 8, 0));
        assertEquals(0, Vexa.clearDataQueueAt(ctx, tick + 4, reader, Ids.PORT_DATA));
        assertEquals(0, Vexa.clearDataQueue(ctx, reader, Ids.PORT_DATA));
        assertEquals(-100, Vexa.queueData(ctx, reader, Ids.PORT_DATA, reader, 0, 8, 0), "not data");
    }

    @Test
    void tableAttachedToALookupUnit() {
        int table = Vexa.createTable(ctx, 4);
        assertTrue(table > 0);
        assertEquals(0, Vexa.writeTableDoubles(ctx, table, 0, 4,
                new double[] {-1.0, -0.5, 0.5, 1.0}, 0, 4));
        assertEquals(0, Vexa.writeTable(ctx, table, 2, 2, new short[] {16384, 32767}, 0, 2));
        int lookup = unit(Ids.UNIT_TABLE_LOOKUP);
        assertEquals(0, Vexa.useTable(ctx, lookup, Ids.PORT_TABLE, 0, table));
        assertEquals(-100, Vexa.useTable(ctx, lookup, Ids.PORT_TABLE, 0, lookup));
    }

    @Test
    void circuitCounts() {
        int a = unit(Ids.UNIT_ADD);
        int b = unit(Ids.UNIT_ADD);
        int[] members = {a, b};
        assertEquals(OUT_OF_RANGE, Vexa.createCircuit(ctx, members, -1, 0));
        assertEquals(OUT_OF_RANGE, Vexa.createCircuit(ctx, members, 3, 0));
        assertEquals(OUT_OF_RANGE, Vexa.createCircuit(ctx, null, 0, 0));
        assertEquals(EMPTY_CIRCUIT, Vexa.createCircuit(ctx, new int[0], 0, 0));
        assertEquals(EMPTY_CIRCUIT, Vexa.createCircuit(ctx, members, 0, 0));
        assertEquals(-91, Vexa.createCircuit(ctx, members, 2, 1));
        assertEquals(INVALID_TOKEN, Vexa.createCircuit(ctx, new int[] {a, 0x7fff0000}, 2, 0));
        // A count below the array's length takes the first members only.
        int circuit = Vexa.createCircuit(ctx, new int[] {a, 0x7fff0000}, 1, 0);
        assertTrue(circuit > 0, "circuit token " + circuit);
        assertEquals(-76, Vexa.createCircuit(ctx, members, 2, 0), "a is in a circuit");
        assertEquals(0, Vexa.startUnit(ctx, circuit));
        assertEquals(0, Vexa.sleepUntilTick(ctx, Vexa.getTickCount(ctx) + 1));
        assertEquals(0, Vexa.delete(ctx, circuit));
        assertArrayEquals(new int[] {a, b}, members, "members array unchanged");
    }

    /** On the default output device, when the machine has one (an audio server is running). */
    @Test
    @Timeout(value = 60, unit = TimeUnit.SECONDS)
    void sessionOnTheDefaultDevice() {
        int device = Vexa.getDefaultOutputDeviceID();
        Assumptions.assumeTrue(device >= 0, "no output device");
        int h = Vexa.createContext();
        try {
            assertEquals(0, Vexa.startEngine(h, 0, FRAME_RATE));
            int sine = Vexa.createUnit(h, Ids.UNIT_SINE_OSCILLATOR, 0, 0);
            int out = Vexa.createUnit(h, Ids.UNIT_CHANNEL_OUT, 0, 0);
            assertEquals(0, Vexa.connectUnits(h, sine, Ids.PORT_OUTPUT, 0, out, Ids.PORT_INPUT, 0));
            assertEquals(0, Vexa.startUnit(h, sine));
            assertEquals(0, Vexa.startUnit(h, out));
            int tick = Vexa.getTickCount(h);
            assertEquals(0, Vexa.sleepUntilTick(h, tick + 20));
            assertTrue(Vexa.getTickCount(h) >= tick + 20);
            assertNotEquals(0.0, Vexa.getPort(h, sine, Ids.PORT_PHASE, 0),
                    "the callback ran the sine");
            double usage = Vexa.getUsage(h);
            assertTrue(usage >= 0.0 && usage < 1.0, "usage " + usage);
            assertEquals(0, Vexa.stopEngine(h), "allocations left after the last terminate");
        } finally {
            Vexa.deleteContext(h);
        }
    }

    @Test
    void traceLevel() {
        assertEquals(0, Vexa.setTrace(ctx, 1));
        assertEquals(1, Vexa.getTrace(ctx));
        assertEquals(0, Vexa.setTrace(ctx, 0));
        assertEquals(0, Vexa.getTrace(ctx));
    }

    private static void assertArrayEquals(int[] expected, int[] actual, String message) {
        org.junit.jupiter.api.Assertions.assertArrayEquals(expected, actual, message);
    }
}
