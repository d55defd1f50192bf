package com.quorbit.velto;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.function.IntUnaryOperator;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/**
 * Tokens that are stale, forged or of another context, things of the wrong kind, and negative
 * counts and offsets, through the Java interface: every call answers with its error code and
 * leaves the engine working.
 */
class VexaBadTokenTest extends EngineFixture {
    static final int WRONG_CONTEXT = -62;
    static final int INVALID_TOKEN_TYPE = -100;

    /** Every method that takes a unit token, called on context c with token t. */
    static Map<String, IntUnaryOperator> unitCalls(int c) {
        Map<String, IntUnaryOperator> m = new LinkedHashMap<>();
        m.put("delete", t -> Vexa.delete(c, t));
        m.put("startUnit", t -> Vexa.startUnit(c, t));
        m.put("stopUnit", t -> Vexa.stopUnit(c, t));
        m.put("startUnitAt", t -> Vexa.startUnitAt(c, Vexa.getTickCount(c) + 5, t));
        m.put("stopUnitAt", t -> Vexa.stopUnitAt(c, Vexa.getTickCount(c) + 5, t));
        m.put("setPriority", t -> Vexa.setPriority(c, t, 1));
        m.put("getPriority", t -> Vexa.getPriority(c, t));
        m.put("setPort", t -> Vexa.setPort(c, t, Ids.PORT_FREQUENCY, 0, 220.0));
        m.put("setPortAt",
                t -> Vexa.setPortAt(c, Vexa.getTickCount(c) + 5, t, Ids.PORT_FREQUENCY, 0, 1.0));
        m.put("getPort", t -> (int) (Vexa.getPort(c, t, Ids.PORT_FREQUENCY, 0) + 1000000.0));
        m.put("getNumParts", t -> Vexa.getNumParts(c, t, Ids.PORT_FREQUENCY));
        m.put("setPortSignalType", t -> Vexa.setPortSignalType(c, t, Ids.PORT_FREQUENCY, 0, 2));
        m.put("getPortSignalType", t -> Vexa.getPortSignalType(c, t, Ids.PORT_FREQUENCY, 0));
        m.put("connectUnits",
                t -> Vexa.connectUnits(c, t, Ids.PORT_OUTPUT, 0, t, Ids.PORT_AMPLITUDE, 0));
        m.put("disconnectUnits", t -> Vexa.disconnectUnits(c, t, Ids.PORT_FREQUENCY, 0));
        m.put("clearDataQueue", t -> Vexa.clearDataQueue(c, t, Ids.PORT_DATA));
        m.put("createCircuit", t -> Vexa.createCircuit(c, new int[] {t}, 1, 0));
        return m;
    }

    /** Every method that takes a sample, envelope or table token. */
    static Map<String, IntUnaryOperator> dataCalls(int c) {
        Map<String, IntUnaryOperator> m = new LinkedHashMap<>();
        m.put("readSample", t -> Vexa.readSample(c, t, 0, 1, new short[2], 0, 2));
        m.put("writeSample", t -> Vexa.writeSample(c, t, 0, 1, new short[2], 0, 2));
        m.put("readEnvelope", t -> Vexa.readEnvelope(c, t, 0, 1, new double[2], 0, 2));
        m.put("writeEnvelope", t -> Vexa.writeEnvelope(c, t, 0, 1, new double[2], 0, 2));
        m.put("writeTable", t -> Vexa.writeTable(c, t, 0, 1, new short[1], 0, 1));
        m.put("writeTableDoubles", t -> Vexa.writeTableDoubles(c, t, 0, 1, new double[1], 0, 1));
        return m;
    }

    static void assertAll(Map<String, IntUnaryOperator> calls, int token, int... allowed) {
        List<String> wrong = new ArrayList<>();
        calls.forEach((name, call) -> {
            int result = call.applyAsInt(token);
            boolean ok = false;
            for (int a : allowed) ok |= result == a;
            if (!ok) wrong.add(name + " -> " + result);
        });
        if (!wrong.isEmpty()) fail("token " + Integer.toHexString(token) + ": " + wrong);
    }

    @Test
    void deletedTokensAreStale() {
        int sine = unit(Ids.UNIT_SINE_OSCILLATOR);
        assertEquals(0, Vexa.startUnit(ctx, sine));
        assertEquals(0, Vexa.sleepUntilTick(ctx, Vexa.getTickCount(ctx) + 2));
        assertEquals(0, Vexa.delete(ctx, sine));
        int sample = Vexa.createSample(ctx, 4, 1);
        int envelope = Vexa.createEnvelope(ctx, 4);
        int table = Vexa.createTable(ctx, 4);
        for (int data : new int[] {sample, envelope, table}) assertEquals(0, Vexa.delete(ctx, data));
        assertAll(unitCalls(ctx), sine, INVALID_TOKEN);
        for (int data : new int[] {sample, envelope, table}) assertAll(dataCalls(ctx), data, INVALID_TOKEN);
        // A new thing in the same slot gets a new serial; the old token stays dead.
        int again = unit(Ids.UNIT_SINE_OSCILLATOR);
        assertEquals(again & 0x7ff, sine & 0x7ff);
        assertTrue(again != sine);
        assertAll(unitCalls(ctx), sine, INVALID_TOKEN);
        assertEquals(0, Vexa.sleepUntilTick(ctx, Vexa.getTickCount(ctx) + 4));
        assertEquals(0, Vexa.checkEngineErrors(ctx));
    }

    /** Tokens made up from a live one: another serial, set high bits, another context's bits. */
    @ParameterizedTest
    @CsvSource({
        "0x00010000, -98",  // serial + 1
        "0x00ff0000, -98",  // serial changed
        "0x00000001, -98",  // another (empty) slot
        "0x40000000, -62",  // other context bits, same slot and serial
        "0x01000000, -62",
        "0x00001000, -98",  // bits 11-15 are never set in a token
        "0x00000800, -98",
        "0x00008000, -98",
    })
    void forgedTokens(String flip, int expected) {
        int sine = unit(Ids.UNIT_SINE_OSCILLATOR);
        int forged = sine ^ Integer.decode(flip);
        assertAll(unitCalls(ctx), forged, expected);
        assertEquals(0, Vexa.getPriority(ctx, sine) >= 0 ? 0 : -1, "the real token still works");
        assertAll(unitCalls(ctx), -sine, INVALID_TOKEN);
        assertAll(unitCalls(ctx), Integer.MIN_VALUE, INVALID_TOKEN);
    }

    /** The same slot and serial in two contexts: the other context's token is refused. */
    @Test
    void tokensOfAnotherContext() {
        int other = Vexa.createContext();
        assertTrue(other > 0);
        try {
            assertEquals(0, Vexa.initialize(other));
            int mine = unit(Ids.UNIT_SINE_OSCILLATOR);
            int theirs = Vexa.createUnit(other, Ids.UNIT_SINE_OSCILLATOR, 0, 0);
            int theirSample = Vexa.createSample(other, 4, 1);
            assertEquals(mine & 0xffffff, theirs & 0xffffff, "same slot and serial");
            assertAll(unitCalls(ctx), theirs, WRONG_CONTEXT);
            assertAll(dataCalls(ctx), theirSample, WRONG_CONTEXT, INVALID_TOKEN);
            assertAll(unitCalls(other), mine, WRONG_CONTEXT);
            assertEquals(WRONG_CONTEXT,
                    Vexa.connectUnits(ctx, mine, Ids.PORT_OUTPUT, 0, theirs, Ids.PORT_AMPLITUDE,
                            0));
            assertEquals(1, Vexa.getObjectCount(ctx));
        } finally {
            assertEquals(0, Vexa.terminate(other));
            Vexa.deleteContext(other);
        }
    }

    @Test
    void thingsOfTheWrongKind() {
        int sine = unit(Ids.UNIT_SINE_OSCILLATOR);
        int sample = Vexa.createSample(ctx, 4, 1);
        int table = Vexa.createTable(ctx, 4);
        Map<String, IntUnaryOperator> calls = unitCalls(ctx);
        calls.remove("delete"); // deleting works on things of any kind
        assertAll(calls, sample, INVALID_TOKEN_TYPE);
        assertAll(dataCalls(ctx), sine, INVALID_TOKEN_TYPE);
        int reader = unit(Ids.UNIT_SAMPLE_READ16_F1);
        assertEquals(INVALID_TOKEN_TYPE, Vexa.queueData(ctx, reader, Ids.PORT_DATA, sine, 0, 1, 0));
        assertEquals(INVALID_TOKEN_TYPE,
                Vexa.queueData(ctx, reader, Ids.PORT_DATA, table, 0, 1, 0));
        int wave = unit(Ids.UNIT_WAVE_OSCILLATOR);
        assertEquals(INVALID_TOKEN_TYPE, Vexa.useTable(ctx, wave, Ids.PORT_TABLE, 0, sample));
        assertEquals(INVALID_TOKEN_TYPE, Vexa.useTable(ctx, sample, Ids.PORT_TABLE, 0, table));
        assertEquals(0, Vexa.useTable(ctx, wave, Ids.PORT_TABLE, 0, table));
    }

    /** Negative counts, sizes, offsets and parts: refused, never taken as huge unsigned sizes. */
    @Test
    void negativeNumbers() {
        assertEquals(OUT_OF_RANGE, Vexa.createSample(ctx, -1, 1));
        assertEquals(OUT_OF_RANGE, Vexa.createSample(ctx, 4, -1));
        assertEquals(OUT_OF_RANGE, Vexa.createEnvelope(ctx, -5));
        assertEquals(OUT_OF_RANGE, Vexa.createTable(ctx, Integer.MIN_VALUE));
        int sample = Vexa.createSample(ctx, 8, 1);
        int reader = unit(Ids.UNIT_SAMPLE_READ16_F1);
        assertEquals(OUT_OF_RANGE, Vexa.queueData(ctx, reader, Ids.PORT_DATA, sample, -1, 2, 0));
        assertEquals(OUT_OF_RANGE, Vexa.queueData(ctx, reader, Ids.PORT_DATA, sample, 0, -2, 0));
        assertEquals(-1, Vexa.getPortFrames(ctx, reader, Ids.PORT_DATA, -1));
        int sine = unit(Ids.UNIT_SINE_OSCILLATOR);
        assertEquals(-96, Vexa.setPort(ctx, sine, Ids.PORT_FREQUENCY, -1, 1.0));
        assertEquals(-96 - 1000000.0,
                Vexa.getPort(ctx, sine, Ids.PORT_FREQUENCY, Integer.MIN_VALUE));
        assertEquals(-95, Vexa.setPriority(ctx, sine, -1));
        assertEquals(-94, Vexa.setPortSignalType(ctx, sine, Ids.PORT_FREQUENCY, 0, -1));
        assertEquals(EMPTY_CIRCUIT, Vexa.createCircuit(ctx, new int[0], 0, 0));
        assertEquals(OUT_OF_RANGE, Vexa.createCircuit(ctx, new int[] {sine}, -1, 0));
        assertEquals(OUT_OF_RANGE, Vexa.createCircuit(ctx, new int[] {sine}, 2, 0));
        assertEquals(OUT_OF_RANGE, Vexa.createCircuit(ctx, null, 1, 0));
        // A declared count below the array's length uses the first members only.
        int add = unit(Ids.UNIT_ADD);
        int circuit = Vexa.createCircuit(ctx, new int[] {sine, add}, 1, 0);
        assertTrue(circuit > 0, "circuit " + circuit);
        assertEquals(0, Vexa.startUnit(ctx, add), "add stays independent");
        assertEquals(0, Vexa.sleepUntilTick(ctx, Vexa.getTickCount(ctx) + 3));
        assertEquals(0, Vexa.checkEngineErrors(ctx));
    }
}
