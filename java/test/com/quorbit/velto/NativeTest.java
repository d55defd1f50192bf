package com.quorbit.velto;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.Arrays;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** The argument checks of the methods of Native, on a context started offline, 1 in, 2 out. */
class NativeTest {
    @ParameterizedTest(name = "in {0}x{1}, out {2}x{3}, {4} ticks -> {5}")
    @CsvSource({
        // input values, input channels, output values, output channels, ticks, result
        "-1, 1, 256, 2, 2, 0",        // no input array
        "128, 1, -1, 2, 2, 0",        // no output array
        "128, 1, 256, 2, 2, 0",
        "127, 1, 256, 2, 2, -79",     // one value short
        "128, 1, 257, 2, 2, -79",     // one value over
        "128, 1, 256, 2, 3, -79",     // arrays for fewer ticks
        "-1, -1, 256, 2, 2, -84",     // channel counts outside 0..1024
        "-1, 1, -1, 1025, 2, -84",
        "0, 1, 0, 2, 0, 0",           // nothing to compute
        "0, 1, 0, 2, -5, 0",
    })
    void renderTicksChecksItsArrays(int inLength, int inChannels, int outLength, int outChannels,
            int ticks, int expected) {
        int c = Vexa.createContext();
        try {
            assertEquals(0, Vexa.initialize(c));
            assertEquals(0, Vexa.startDevices(c, 0x04, 44100.0, -1, 1, -1, 2));
            float[] in = inLength < 0 ? null : new float[inLength];
            float[] out = outLength < 0 ? null : new float[outLength];
            if (out != null) Arrays.fill(out, 7.0f);
            assertEquals(expected, Native.renderTicks(c, in, inChannels, out, outChannels, ticks));
            int computed = expected == 0 ? Math.max(ticks, 0) : 0;
            assertEquals(computed, Vexa.getTickCount(c), "ticks computed");
            if (out != null && expected != 0) {
                float[] untouched = new float[outLength];
                Arrays.fill(untouched, 7.0f);
                assertArrayEquals(untouched, out, "a refused call leaves the output alone");
            }
        } finally {
            Vexa.deleteContext(c);
        }
    }

    @Test
    void contextAndModeAreChecked() {
        float[] out = new float[128];
        assertEquals(-63, Native.renderTicks(12345, null, 0, out, 2, 1));
        assertEquals(-63, Native.sleepForTicks(12345, 1));
        assertEquals(-63, Native.readPort(12345, 0x10000, Ids.PORT_OUTPUT, 0, new double[1]));
        int c = Vexa.createContext();
        try {
            assertEquals(0, Vexa.initialize(c));
            assertEquals(-65, Native.renderTicks(c, null, 0, out, 2, 1), "not started");
            assertEquals(0, Vexa.startDevices(c, 0x04, 44100.0, -1, 0, -1, 2));
            assertEquals(0, Native.sleepForTicks(c, 3));
            assertEquals(3, Vexa.getTickCount(c));
        } finally {
            Vexa.deleteContext(c);
        }
    }

    @Test
    void readPortKeepsTheCodeApartFromTheValue() {
        int c = Vexa.createContext();
        try {
            assertEquals(0, Vexa.initialize(c));
            int sine = Vexa.createUnit(c, Ids.UNIT_SINE_OSCILLATOR, 0, 0);
            double[] value = {9.0};
            assertEquals(0, Native.readPort(c, sine, Ids.PORT_FREQUENCY, 0, value));
            assertEquals(440.0, value[0]);
            value[0] = 9.0;
            assertEquals(-96, Native.readPort(c, sine, Ids.PORT_FREQUENCY, 1, value));
            assertEquals(9.0, value[0], "untouched on an error");
            assertEquals(-84, Native.readPort(c, sine, Ids.PORT_FREQUENCY, 0, null));
            assertEquals(-79, Native.readPort(c, sine, Ids.PORT_FREQUENCY, 0, new double[2]));

            int reader = Vexa.createUnit(c, Ids.UNIT_SAMPLE_READ16_F1, 0, 0);
            int[] frames = {9};
            assertEquals(0, Native.readPortFrames(c, reader, Ids.PORT_DATA, 0, frames));
            assertEquals(0, frames[0]);
            assertEquals(-99, Native.readPortFrames(c, sine, Ids.PORT_FREQUENCY, 0, frames));
            assertEquals(-84, Native.readPortFrames(c, reader, Ids.PORT_DATA, 0, null));
            assertEquals(-79, Native.readPortFrames(c, reader, Ids.PORT_DATA, 0, new int[0]));
        } finally {
            Vexa.deleteContext(c);
        }
    }
}
