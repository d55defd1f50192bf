package com.quorbit.velto;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.atomic.AtomicReference;
import java.util.function.IntUnaryOperator;
import java.util.function.IntToDoubleFunction;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

/** Context handles: only handles handed out by createContext and not yet deleted work. */
class VexaHandleTest {
    static final int INVALID_CONTEXT = -63;
    static final int INTERNAL_1 = -79;

    /** Every method that takes a context and returns an int, called with handle h. */
    static Map<String, IntUnaryOperator> intMethods() {
        Map<String, IntUnaryOperator> m = new LinkedHashMap<>();
        m.put("initialize", Vexa::initialize);
        m.put("terminate", Vexa::terminate);
        m.put("startEngine", h -> Vexa.startEngine(h, 4, 44100.0));
        m.put("stopEngine", Vexa::stopEngine);
        m.put("start", h -> Vexa.start(h, 4, 44100.0));
        m.put("startDevices", h -> Vexa.startDevices(h, 4, 44100.0, -1, 0, -1, 2));
        m.put("stop", Vexa::stop);
        m.put("delete", h -> Vexa.delete(h, 0x10000));
        m.put("startUnit", h -> Vexa.startUnit(h, 0x10000));
        m.put("stopUnit", h -> Vexa.stopUnit(h, 0x10000));
        m.put("startUnitAt", h -> Vexa.startUnitAt(h, 10, 0x10000));
        m.put("stopUnitAt", h -> Vexa.stopUnitAt(h, 10, 0x10000));
        m.put("getObjectCount", Vexa::getObjectCount);
        m.put("getFrameCount", Vexa::getFrameCount);
        m.put("getTickCount", Vexa::getTickCount);
        m.put("sleepUntilTick", h -> Vexa.sleepUntilTick(h, 1));
        m.put("checkEngineErrors", Vexa::checkEngineErrors);
        m.put("getFramesPerTick", Vexa::getFramesPerTick);
        m.put("setPriority", h -> Vexa.setPriority(h, 0x10000, 1));
        m.put("getPriority", h -> Vexa.getPriority(h, 0x10000));
        m.put("createUnit", h -> Vexa.createUnit(h, Ids.UNIT_SINE_OSCILLATOR, 0, 0));
        m.put("createCircuit", h -> Vexa.createCircuit(h, new int[] {0x10000}, 1, 0));
        m.put("setPort", h -> Vexa.setPort(h, 0x10000, Ids.PORT_FREQUENCY, 0, 1.0));
        m.put("setPortAt", h -> Vexa.setPortAt(h, 5, 0x10000, Ids.PORT_FREQUENCY, 0, 1.0));
        m.put("getPortFrames", h -> Vexa.getPortFrames(h, 0x10000, Ids.PORT_DATA, 0));
        m.put("getNumParts", h -> Vexa.getNumParts(h, 0x10000, Ids.PORT_FREQUENCY));
        m.put("setPortSignalType",
                h -> Vexa.setPortSignalType(h, 0x10000, Ids.PORT_FREQUENCY, 0, 0));
        m.put("getPortSignalType", h -> Vexa.getPortSignalType(h, 0x10000, Ids.PORT_FREQUENCY, 0));
        m.put("connectUnits", h -> Vexa.connectUnits(h, 0x10000, Ids.PORT_OUTPUT, 0, 0x10001,
                Ids.PORT_INPUT, 0));
        m.put("disconnectUnits", h -> Vexa.disconnectUnits(h, 0x10000, Ids.PORT_INPUT, 0));
        m.put("createSample", h -> Vexa.createSample(h, 4, 1));
        m.put("readSample", h -> Vexa.readSample(h, 0x10000, 0, 1, new short[4], 0, 4));
        m.put("writeSample", h -> Vexa.writeSample(h, 0x10000, 0, 1, new short[4], 0, 4));
        m.put("createEnvelope", h -> Vexa.createEnvelope(h, 4));
        m.put("readEnvelope", h -> Vexa.readEnvelope(h, 0x10000, 0, 1, new double[4], 0, 4));
        m.put("writeEnvelope", h -> Vexa.writeEnvelope(h, 0x10000, 0, 1, new double[4], 0, 4));
        m.put("queueData", h -> Vexa.queueData(h, 0x10000, Ids.PORT_DATA, 0x10001, 0, 1, 0));
        m.put("queueDataAt", h -> Vexa.queueDataAt(h, 5, 0x10000, Ids.PORT_DATA, 0x10001, 0, 1, 0));
        m.put("clearDataQueue", h -> Vexa.clearDataQueue(h, 0x10000, Ids.PORT_DATA));
        m.put("clearDataQueueAt", h -> Vexa.clearDataQueueAt(h, 5, 0x10000, Ids.PORT_DATA));
        m.put("createTable", h -> Vexa.createTable(h, 4));
        m.put("writeTable", h -> Vexa.writeTable(h, 0x10000, 0, 1, new short[4], 0, 4));
        m.put("writeTableDoubles",
                h -> Vexa.writeTableDoubles(h, 0x10000, 0, 1, new double[4], 0, 4));
        m.put("useTable", h -> Vexa.useTable(h, 0x10000, Ids.PORT_TABLE, 0, 0x10001));
        m.put("debug", h -> Vexa.debug(h, 0, 0));
        m.put("setTrace", h -> Vexa.setTrace(h, 1));
        m.put("getTrace", Vexa::getTrace);
        m.put("setRenderThreads", h -> Vexa.setRenderThreads(h, 2));
        m.put("getRenderThreads", Vexa::getRenderThreads);
        return m;
    }

    static Map<String, IntToDoubleFunction> doubleMethods() {
        Map<String, IntToDoubleFunction> m = new LinkedHashMap<>();
        m.put("getFrameRate", Vexa::getFrameRate);
        m.put("getTickRate", Vexa::getTickRate);
        m.put("getUsage", Vexa::getUsage);
        return m;
    }

    static void assertRefused(int handle) {
        List<String> wrong = new ArrayList<>();
        intMethods().forEach((name, call) -> {
            int result = call.applyAsInt(handle);
            if (result != INVALID_CONTEXT) wrong.add(name + " -> " + result);
        });
        doubleMethods().forEach((name, call) -> {
            double result = call.applyAsDouble(handle);
            if (result != INVALID_CONTEXT) wrong.add(name + " -> " + result);
        });
        // getPort encodes every error code c as c - 1000000.0.
        double port = Vexa.getPort(handle, 0x10000, Ids.PORT_FREQUENCY, 0);
        if (port != INVALID_CONTEXT - 1000000.0) wrong.add("getPort -> " + port);
        Vexa.deleteContext(handle); // ignored
        if (!wrong.isEmpty()) fail("handle " + handle + " accepted by " + wrong);
    }

    @ParameterizedTest
    @ValueSource(ints = {0, -1, 1, 4095, 12345, 0x7fffffff, 0x80000000})
    void handlesNeverHandedOut(int handle) {
        assertRefused(handle);
    }

    @Test
    void neighboursOfALiveHandleAreRefused() {
        int h = Vexa.createContext();
        assertTrue(h > 0);
        try {
            for (int other : new int[] {h + 1, h - 1, h ^ 0x1000, h | 0x40000000}) {
                if (other != h) assertRefused(other);
            }
            assertEquals(0, Vexa.getObjectCount(h), "the live handle still works");
        } finally {
            Vexa.deleteContext(h);
        }
    }

    @Test
    void deletedHandleStaysDeadWhenTheSlotIsReused() {
        int first = Vexa.createContext();
        assertTrue(first > 0);
        assertEquals(0, Vexa.initialize(first));
        Vexa.deleteContext(first);
        assertRefused(first);

        int second = Vexa.createContext();
        assertTrue(second > 0);
        try {
            assertNotEquals(first, second, "a new context never gets a deleted handle");
            assertRefused(first);
            assertEquals(0, Vexa.initialize(second));
            assertEquals(0, Vexa.terminate(second));
        } finally {
            Vexa.deleteContext(second);
        }
        Vexa.deleteContext(second); // a second deletion is ignored
        assertRefused(second);
    }

    @Test
    void manyContextsAtOnce() {
        int[] handles = new int[40];
        for (int i = 0; i < handles.length; i++) {
            handles[i] = Vexa.createContext();
            assertTrue(handles[i] > 0);
            for (int j = 0; j < i; j++) assertNotEquals(handles[j], handles[i]);
        }
        for (int i = 0; i < handles.length; i += 2) Vexa.deleteContext(handles[i]);
        for (int i = 0; i < handles.length; i++) {
            assertEquals(i % 2 == 0 ? INVALID_CONTEXT : 0, Vexa.getObjectCount(handles[i]));
        }
        for (int i = 1; i < handles.length; i += 2) Vexa.deleteContext(handles[i]);
    }

    /** The length check comes first, then the handle: a bad length is -79 whatever the handle. */
    @Test
    void arrayLengthIsCheckedBeforeTheHandle() {
        short[] data = new short[4];
        assertEquals(INTERNAL_1, Vexa.readSample(12345, 0x10000, 0, 1, data, 0, 3));
        assertEquals(-84, Vexa.createCircuit(12345, new int[1], 2, 0));
        assertEquals(-84, Vexa.createCircuit(12345, new int[1], -1, 0));
    }

    /**
     * Threads computing ticks and reading counters on one context while another thread deletes
     * it: every call either completes on the live context or is refused with -63; the deletion
     * waits for the calls in flight.
     */
    @Test
    void deletionWhileOtherThreadsUseTheContext() throws InterruptedException {
        int h = Vexa.createContext();
        assertEquals(0, Vexa.initialize(h));
        assertEquals(0, Vexa.start(h, 4, 44100.0));
        int unit = Vexa.createUnit(h, Ids.UNIT_SINE_OSCILLATOR, 0, 0);
        assertEquals(0, Vexa.startUnit(h, unit));

        AtomicReference<String> failure = new AtomicReference<>();
        CountDownLatch running = new CountDownLatch(4);
        List<Thread> threads = new ArrayList<>();
        for (int t = 0; t < 4; t++) {
            Thread thread = new Thread(() -> {
                running.countDown();
                long deadline = System.nanoTime() + 30_000_000_000L;
                while (System.nanoTime() < deadline) {
                    int tick = Vexa.getTickCount(h);
                    if (tick == INVALID_CONTEXT) return;
                    int r = Vexa.sleepUntilTick(h, tick + 1);
                    double phase = Vexa.getPort(h, unit, Ids.PORT_PHASE, 0);
                    if ((r != 0 && r != INVALID_CONTEXT)
                            || (phase < -1.0 && phase != INVALID_CONTEXT - 1000000.0)) {
                        failure.compareAndSet(null, "sleep " + r + " phase " + phase);
                        return;
                    }
                }
                failure.compareAndSet(null, "the context was never deleted");
            });
            threads.add(thread);
            thread.start();
        }
        running.await();
        Thread.sleep(50);
        Vexa.deleteContext(h);
        for (Thread thread : threads) thread.join(60000);
        assertEquals(null, failure.get());
        assertEquals(INVALID_CONTEXT, Vexa.getTickCount(h));
    }

    /**
     * The last terminate while other threads set ports, write samples, render and create units:
     * each call completes before the termination or answers -83 after it (a thread used to
     * block forever in the peer lock, or free what termination had freed).
     */
    @Test
    void terminationWhileOtherThreadsCallIn() throws InterruptedException {
        final int hostInit = -83;
        for (int round = 0; round < 6; round++) {
            int h = Vexa.createContext();
            assertEquals(0, Vexa.initialize(h));
            assertEquals(0, Vexa.start(h, 4, 44100.0));
            int unit = Vexa.createUnit(h, Ids.UNIT_SINE_OSCILLATOR, 0, 0);
            assertTrue(unit > 0);
            AtomicReference<String> failure = new AtomicReference<>();
            java.util.concurrent.atomic.AtomicBoolean terminated =
                    new java.util.concurrent.atomic.AtomicBoolean();
            List<IntUnaryOperator> calls = List.of(
                    k -> Vexa.setPort(h, unit, Ids.PORT_FREQUENCY, 0, 220.0 + k),
                    k -> {
                        int sample = Vexa.createSample(h, 64, 1);
                        if (sample < 0) return sample;
                        int written = Vexa.writeSample(h, sample, 0, 64, new short[64], 0, 64);
                        return written < 0 ? written : Vexa.delete(h, sample);
                    },
                    k -> Vexa.sleepUntilTick(h, Vexa.getTickCount(h) + 1),
                    k -> {
                        int made = Vexa.createUnit(h, Ids.UNIT_ADD, 0, 0);
                        return made < 0 ? made : Vexa.delete(h, made);
                    });
            List<Thread> threads = new ArrayList<>();
            for (IntUnaryOperator call : calls) {
                Thread thread = new Thread(() -> {
                    for (int k = 0;; k++) {
                        boolean after = terminated.get();
                        int r = call.applyAsInt(k);
                        if (r == hostInit && after) return;
                        if (r != hostInit && (r < 0 || after)) {
                            failure.compareAndSet(null, "result " + r + (after ? " after" : ""));
                            return;
                        }
                    }
                });
                threads.add(thread);
                thread.start();
            }
            Thread.sleep(5 + 3 * round);
            assertEquals(0, Vexa.terminate(h), "allocations left");
            terminated.set(true);
            for (Thread thread : threads) thread.join(60000);
            assertEquals(null, failure.get());
            Vexa.deleteContext(h);
        }
    }
}
