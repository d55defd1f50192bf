package com.quorbit.velto;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.charset.StandardCharsets;
import java.util.Arrays;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** The array-taking methods: length checks, offsets, rooms and text copies. */
class VexaArrayTest extends EngineFixture {
    private static short[] ramp(int n, int first) {
        short[] values = new short[n];
        for (int i = 0; i < n; i++) values[i] = (short) (first + i);
        return values;
    }

    private static short[] filled(int n, int value) {
        short[] values = new short[n];
        Arrays.fill(values, (short) value);
        return values;
    }

    private int sample(int numFrames, int channels) {
        int token = Vexa.createSample(ctx, numFrames, channels);
        assertTrue(token > 0, "createSample gave " + token);
        return token;
    }

    @Test
    void stereoSampleRoundTrip() {
        int s = sample(6, 2);
        short[] written = ramp(12, 100);
        assertEquals(0, Vexa.writeSample(ctx, s, 0, 6, written, 0, 12));
        short[] read = new short[12];
        assertEquals(0, Vexa.readSample(ctx, s, 0, 6, read, 0, 12));
        assertArrayEquals(written, read);
        // An offset of 3 values starts in the middle of a stereo frame.
        short[] part = filled(7, -1);
        assertEquals(0, Vexa.readSample(ctx, s, 1, 2, part, 3, 7));
        assertArrayEquals(new short[] {-1, -1, -1, 102, 103, 104, 105}, part);
        assertEquals(0, Vexa.writeSample(ctx, s, 5, 1, new short[] {0, 0, 0, 7, 8}, 3, 5));
        assertEquals(0, Vexa.readSample(ctx, s, 5, 1, read, 10, 12));
        assertEquals(7, read[10]);
        assertEquals(8, read[11]);
    }

    /** A declared length shorter or longer than the array: -79, and the array is untouched. */
    @ParameterizedTest
    @CsvSource({"11", "13", "0", "-12"})
    void frameArrayLengthMismatch(int declared) {
        int s = sample(6, 2);
        assertEquals(0, Vexa.writeSample(ctx, s, 0, 6, ramp(12, 1), 0, 12));
        short[] data = filled(12, 55);
        assertEquals(INTERNAL_1, Vexa.readSample(ctx, s, 0, 6, data, 0, declared));
        assertArrayEquals(filled(12, 55), data);
        assertEquals(INTERNAL_1, Vexa.writeSample(ctx, s, 0, 6, data, 0, declared));
        short[] read = new short[12];
        assertEquals(0, Vexa.readSample(ctx, s, 0, 6, read, 0, 12));
        assertArrayEquals(ramp(12, 1), read, "the sample keeps its frames");

        double[] doubles = new double[12];
        Arrays.fill(doubles, 2.5);
        int e = Vexa.createEnvelope(ctx, 6);
        assertEquals(INTERNAL_1, Vexa.readEnvelope(ctx, e, 0, 6, doubles, 0, declared));
        assertEquals(INTERNAL_1, Vexa.writeEnvelope(ctx, e, 0, 6, doubles, 0, declared));
        int t = Vexa.createTable(ctx, 12);
        assertEquals(INTERNAL_1, Vexa.writeTable(ctx, t, 0, 12, data, 0, declared));
        assertEquals(INTERNAL_1, Vexa.writeTableDoubles(ctx, t, 0, 12, doubles, 0, declared));
        for (double d : doubles) assertEquals(2.5, d);
    }

    /** Offsets and rooms of the 16-bit arrays (mono sample of 8 frames, array of 12). */
    @ParameterizedTest
    @CsvSource({
        // startFrame, numFrames, offset, expected
        "0, 4, 8, 0",        // exactly fills the last 4 values
        "0, 4, 10, -84",     // only 2 values left after the offset
        "0, 0, 12, 0",       // offset at the end, nothing copied
        "0, 1, 12, -84",
        "0, 1, 13, -84",     // offset beyond the array
        "0, 1, -1, -84",     // negative offset
        "0, 1, -2147483648, -84",
        "0, -1, 0, -84",     // negative count
        "-1, 1, 0, -84",     // negative start
        "7, 2, 0, -84",      // past the sample's end
        "8, 0, 0, 0",
    })
    void sampleAndTableOffsets(int startFrame, int numFrames, int offset, int expected) {
        int s = sample(8, 1);
        short[] data = ramp(12, 1);
        assertEquals(expected, Vexa.writeSample(ctx, s, startFrame, numFrames, data, offset, 12));
        short[] read = filled(12, -7);
        assertEquals(expected, Vexa.readSample(ctx, s, startFrame, numFrames, read, offset, 12));
        if (expected == 0 && numFrames > 0) {
            assertArrayEquals(Arrays.copyOfRange(data, offset, offset + numFrames),
                    Arrays.copyOfRange(read, offset, offset + numFrames));
        }
        for (int i = 0; i < 12; i++) {
            if (expected != 0 || i < offset || i >= offset + numFrames) {
                assertEquals(-7, read[i], "value " + i + " outside the copy");
            }
        }
        int t = Vexa.createTable(ctx, 8);
        assertEquals(expected, Vexa.writeTable(ctx, t, startFrame, numFrames, data, offset, 12));
        double[] doubles = new double[12];
        assertEquals(expected,
                Vexa.writeTableDoubles(ctx, t, startFrame, numFrames, doubles, offset, 12));
    }

    /** Envelope offsets count frames (pairs of doubles); the array of 4 doubles holds 2. */
    @ParameterizedTest
    @CsvSource({
        // numFrames, offset, expected
        "2, 0, 0",
        "1, 1, 0",
        "0, 2, 0",           // no room left, nothing copied
        "1, 2, -84",
        "1, 3, -84",
        "1, -1, -84",
        "1, -2147483648, -84", // twice the offset wraps to 0 in 32 bits
        "1, 1073741824, -84",
        "-1, 0, -84",
    })
    void envelopeOffsets(int numFrames, int offset, int expected) {
        int e = Vexa.createEnvelope(ctx, 4);
        assertTrue(e > 0);
        double[] data = {0.5, 1.0, 0.25, -1.0};
        assertEquals(expected, Vexa.writeEnvelope(ctx, e, 0, numFrames, data, offset, 4));
        double[] read = {9, 9, 9, 9};
        assertEquals(expected, Vexa.readEnvelope(ctx, e, 0, numFrames, read, offset, 4));
        for (int i = 0; i < 4; i++) {
            boolean copied = expected == 0 && i >= 2 * offset && i < 2 * (offset + numFrames);
            assertEquals(copied ? data[i] : 9.0, read[i], "value " + i);
        }
    }

    @Test
    void nullArraysAreRefused() {
        int s = sample(4, 1);
        int e = Vexa.createEnvelope(ctx, 4);
        int t = Vexa.createTable(ctx, 4);
        assertEquals(OUT_OF_RANGE, Vexa.readSample(ctx, s, 0, 0, null, 0, 0));
        assertEquals(OUT_OF_RANGE, Vexa.writeSample(ctx, s, 0, 1, null, 0, 4));
        assertEquals(OUT_OF_RANGE, Vexa.readEnvelope(ctx, e, 0, 1, null, 0, 2));
        assertEquals(OUT_OF_RANGE, Vexa.writeEnvelope(ctx, e, 0, 1, null, 0, 2));
        assertEquals(OUT_OF_RANGE, Vexa.writeTable(ctx, t, 0, 1, null, 0, 1));
        assertEquals(OUT_OF_RANGE, Vexa.writeTableDoubles(ctx, t, 0, 1, null, 0, 1));
        assertEquals(OUT_OF_RANGE, Vexa.errorCodeToText(-84, null, 0));
        assertEquals(OUT_OF_RANGE, Vexa.getDeviceName(0, null, 10));
    }

    @Test
    void emptyArraysCopyNothing() {
        int s = sample(4, 1);
        assertEquals(0, Vexa.writeSample(ctx, s, 0, 0, new short[0], 0, 0));
        assertEquals(0, Vexa.readSample(ctx, s, 4, 0, new short[0], 0, 0));
        assertEquals(OUT_OF_RANGE, Vexa.readSample(ctx, s, 0, 1, new short[0], 0, 0));
        assertEquals(0, Vexa.errorCodeToText(-84, new byte[0], 0));
    }

    @Test
    void wrongTokensInArrayMethods() {
        int s = sample(4, 1);
        int e = Vexa.createEnvelope(ctx, 4);
        assertEquals(-100, Vexa.readSample(ctx, e, 0, 1, new short[4], 0, 4));
        assertEquals(-100, Vexa.readEnvelope(ctx, s, 0, 1, new double[4], 0, 4));
        assertEquals(-100, Vexa.writeTable(ctx, s, 0, 1, new short[4], 0, 4));
        assertEquals(INVALID_TOKEN, Vexa.writeSample(ctx, 0, 0, 1, new short[4], 0, 4));
    }

    private static String text(byte[] bytes, int count) {
        return new String(bytes, 0, count, StandardCharsets.ISO_8859_1);
    }

    @ParameterizedTest
    @CsvSource(delimiter = '|', quoteCharacter = '"', value = {
        // code | array size | expected count | expected text
        "-84 | 100 | 23 | Parameter out of range.",
        "-84 |  24 | 23 | Parameter out of range.",
        "-84 |  23 | 22 | Parameter out of range",
        "-84 |  10 |  9 | Parameter",
        "-98 | 100 | 14 | Invalid token.",
        "-68 | 100 | 48 | Unit already started. Can't be used in  circuit.",
        "  0 | 100 |  9 | No error.",
        "102 | 100 | 34 | Warning - Error Code out of range.",
    })
    void errorTexts(int code, int size, int count, String expected) {
        byte[] buffer = new byte[size];
        Arrays.fill(buffer, (byte) '#');
        assertEquals(count, Vexa.errorCodeToText(code, buffer, size));
        assertEquals(expected, text(buffer, count));
        for (int i = count; i < size; i++) assertEquals('#', buffer[i], "no terminator written");
    }

    @Test
    void errorTextEdges() {
        byte[] one = {'#'};
        assertEquals(0, Vexa.errorCodeToText(-84, one, 1));
        assertEquals('#', one[0]);
        byte[] buffer = new byte[100];
        Arrays.fill(buffer, (byte) '#');
        assertEquals(INTERNAL_1, Vexa.errorCodeToText(-84, buffer, 99));
        assertEquals(INTERNAL_1, Vexa.errorCodeToText(-84, buffer, 101));
        for (byte b : buffer) assertEquals('#', b, "untouched on -79");
        int count = Vexa.errorCodeToText(INTERNAL_1, buffer, 100);
        assertTrue(text(buffer, count).startsWith("Internal error #1. Please notify "));
    }

    @Test
    void deviceQueries() {
        /* On a JACK server every client is a device too, and other tests' clients come and go
         * between two queries: a check that fails is tried again, and a fault fails every
         * time. */
        String failure = null;
        for (int attempt = 0; attempt < 5; attempt++) {
            failure = checkDevices(Vexa.getNumDevices());
            if (failure == null) return;
        }
        assertEquals(null, failure);
    }

    /* What is wrong with the device queries for a list of `count` devices, or null. */
    private static String checkDevices(int count) {
        if (count < 0) return "device count " + count;
        int in = Vexa.getDefaultInputDeviceID();
        int out = Vexa.getDefaultOutputDeviceID();
        if (in < -1 || in >= count) return "default input " + in;
        if (out < -1 || out >= count) return "default output " + out;
        byte[] name = new byte[64];
        if (Vexa.getDeviceName(count, name, 64) != INVALID_DEVICE) return "name past the list";
        if (Vexa.getDeviceName(-5, name, 64) != INVALID_DEVICE) return "name of device -5";
        if (Vexa.getDeviceName(0, name, 63) != INTERNAL_1) return "name with a short length";
        for (int id = 0; id < count; id++) {
            int n = Vexa.getDeviceName(id, name, 64);
            if (n <= 0 || n >= 64) return "device " + id + " name length " + n;
            if (Vexa.getMaxInputChannels(id) < 0) return "device " + id + " input channels";
            if (Vexa.getMaxOutputChannels(id) < 0) return "device " + id + " output channels";
        }
        return null;
    }
}
