package com.quorbit.velto;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.concurrent.atomic.AtomicReference;
import org.junit.jupiter.api.Assumptions;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;
import org.junit.jupiter.api.function.Executable;

/** Closing, deleting, several engines and several threads. */
class ObjectLifecycleTest {
    /* A sine into a LineOut on a fresh offline stereo engine. */
    static Engine sineEngine(double hertz) {
        Engine engine = new Engine();
        engine.startOffline(44100.0, 2);
        SineOscillator sine = new SineOscillator(engine);
        LineOut out = new LineOut(engine, 0);
        sine.frequency.set(hertz);
        sine.output.connect(out.input);
        sine.start();
        out.start();
        return engine;
    }

    @Test
    void closingTwiceIsFineAndReleasesEverything() {
        Engine engine = sineEngine(440.0);
        new Sample(engine, 1000, 2);
        new Envelope(engine, 4);
        new Table(engine, 64);
        engine.render(10);
        assertTrue(engine.isStarted());
        engine.close();
        assertTrue(engine.isClosed());
        assertFalse(engine.isStarted());
        assertEquals(0, engine.outstandingAtClose(), "allocations left");
        engine.close();
        assertEquals(-63, Vexa.getTickCount(engine.rawHandle()), "the context is gone");
    }

    /** After close, every use of the engine or of its things throws IllegalStateException. */
    @Test
    void everyUseAfterCloseThrows() {
        Engine engine = sineEngine(440.0);
        SineOscillator sine = new SineOscillator(engine);
        LineOut out = new LineOut(engine, 0);
        SampleRead16F1 reader = new SampleRead16F1(engine);
        Sample sample = new Sample(engine, 8, 1);
        Envelope envelope = new Envelope(engine, 2);
        Table table = new Table(engine, 4);
        WaveOscillator wave = new WaveOscillator(engine);
        BusWrite write = new BusWrite(engine);
        BusRead read = new BusRead(engine);
        Add add = new Add(engine);
        Circuit circuit = new Circuit(engine, add);
        engine.close();

        Map<String, Executable> uses = new LinkedHashMap<>();
        uses.put("tickCount", engine::tickCount);
        uses.put("frameCount", engine::frameCount);
        uses.put("frameRate", engine::frameRate);
        uses.put("usage", engine::usage);
        uses.put("render", () -> engine.render(1));
        uses.put("sleepForTicks", () -> engine.sleepForTicks(1));
        uses.put("startOffline", () -> engine.startOffline(44100.0, 2));
        uses.put("start", engine::start);
        uses.put("stop", engine::stop);
        uses.put("objectCount", engine::objectCount);
        uses.put("new unit", () -> new SineOscillator(engine));
        uses.put("new sample", () -> new Sample(engine, 8, 1));
        uses.put("unit start", sine::start);
        uses.put("unit stopAt", () -> sine.stopAt(5));
        uses.put("priority", sine::priority);
        uses.put("input set", () -> sine.frequency.set(1.0));
        uses.put("input get", () -> sine.frequency.get());
        uses.put("signal type", () -> sine.frequency.signalType());
        uses.put("variable setAt", () -> sine.phase.setAt(5, 0.0));
        uses.put("output get", () -> sine.output.get());
        uses.put("connect", () -> sine.output.connect(out.input));
        uses.put("disconnect", () -> out.input.disconnect());
        uses.put("queue", () -> reader.data.queue(sample));
        uses.put("clear", () -> reader.data.clear());
        uses.put("frames", () -> reader.data.frames());
        uses.put("sample read", () -> sample.read(0, 1));
        uses.put("envelope write", () -> envelope.write(0, new double[2]));
        uses.put("table write", () -> table.write(0, new double[1]));
        uses.put("use table", () -> wave.table.use(table));
        uses.put("bus connect", () -> write.busOutput.connect(read.busInput));
        uses.put("circuit start", circuit::start);
        List<String> wrong = new ArrayList<>();
        uses.forEach((what, use) -> {
            try {
                use.execute();
                wrong.add(what + " worked");
            } catch (IllegalStateException expected) {
                // what every use must give
            } catch (Throwable other) {
                wrong.add(what + " threw " + other);
            }
        });
        assertEquals(List.of(), wrong);
        // Deleting and closing are no use: they do nothing.
        sine.delete();
        sample.close();
        circuit.delete();
        assertTrue(sine.isDeleted());
    }

    @Test
    void aDeletedThingCannotBeUsed() {
        try (Engine engine = sineEngine(440.0)) {
            int before = engine.objectCount();
            SineOscillator sine = new SineOscillator(engine);
            Sample sample = new Sample(engine, 8, 1);
            assertEquals(before + 2, engine.objectCount());
            sine.delete();
            sine.delete();
            sample.close();
            assertTrue(sine.isDeleted());
            engine.render(2);
            assertEquals(before, engine.objectCount());
            assertThrows(IllegalStateException.class, sine::start);
            assertThrows(IllegalStateException.class, () -> sine.frequency.set(1.0));
            assertThrows(IllegalStateException.class, () -> sample.write(0, new short[1]));
            SampleRead16F1 reader = new SampleRead16F1(engine);
            assertThrows(IllegalStateException.class, () -> reader.data.queue(sample));
        }
    }

    @Test
    void anEngineStartsAgainWithOtherChannels() {
        try (Engine engine = sineEngine(440.0)) {
            assertEquals(2 * 64, engine.render(1).length);
            engine.stop();
            assertFalse(engine.isStarted());
            engine.stop(); // nothing to stop
            engine.startOffline(22050.0, 1, 3);
            assertTrue(engine.isOffline());
            assertEquals(3, engine.outputChannels());
            assertEquals(1, engine.inputChannels());
            float[] frames = engine.render(2);
            assertEquals(3 * 128, frames.length);
            assertEquals(frames[0], frames[1], "the LineOut writes channels 0 and 1");
            assertEquals(0.0f, frames[2], "channel 2 has no unit");
            assertEquals(22050.0, engine.frameRate());
            assertEquals(22050.0 / 64, engine.tickRate());
            assertEquals(64, engine.framesPerTick());
            assertEquals(3, engine.tickCount());
            assertEquals(3 * 64, engine.frameCount());
            assertEquals(345, engine.secondsToTicks(1.0));
            assertEquals(0.0, engine.usage());
            engine.checkErrors();
        }
    }

    /** Engines side by side, each rendered on its own thread, do not disturb one another. */
    @Test
    @Timeout(value = 60, unit = TimeUnit.SECONDS)
    void severalEnginesAtOnce() throws InterruptedException {
        double[] hertz = {220.0, 330.0, 220.0, 330.0};
        float[][] rendered = new float[hertz.length][];
        AtomicReference<Throwable> failure = new AtomicReference<>();
        List<Thread> threads = new ArrayList<>();
        for (int i = 0; i < hertz.length; i++) {
            final int n = i;
            threads.add(new Thread(() -> {
                try (Engine engine = sineEngine(hertz[n])) {
                    float[] all = new float[200 * 128];
                    for (int chunk = 0; chunk < 20; chunk++) {
                        System.arraycopy(engine.render(10), 0, all, chunk * 1280, 1280);
                    }
                    rendered[n] = all;
                } catch (Throwable t) {
                    failure.compareAndSet(null, t);
                }
            }));
        }
        for (Thread thread : threads) thread.start();
        for (Thread thread : threads) thread.join();
        assertNull(failure.get());
        assertArrayEquals(rendered[0], rendered[2], "the same network, the same frames");
        assertArrayEquals(rendered[1], rendered[3]);
        assertFalse(java.util.Arrays.equals(rendered[0], rendered[1]));
    }

    /**
     * Two threads on one engine: one renders while the other changes the network. Every call
     * succeeds; the clock counts every rendered tick.
     */
    @Test
    @Timeout(value = 60, unit = TimeUnit.SECONDS)
    void twoThreadsOnOneEngine() throws InterruptedException {
        try (Engine engine = sineEngine(440.0)) {
            SineOscillator sine = new SineOscillator(engine);
            AtomicReference<Throwable> failure = new AtomicReference<>();
            AtomicBoolean done = new AtomicBoolean();
            AtomicInteger rendered = new AtomicInteger();
            CountDownLatch started = new CountDownLatch(1);
            Thread renderer = new Thread(() -> {
                try {
                    started.countDown();
                    while (!done.get()) {
                        engine.render(1);
                        rendered.incrementAndGet();
                    }
                } catch (Throwable t) {
                    failure.compareAndSet(null, t);
                }
            });
            renderer.start();
            started.await();
            for (int k = 0; k < 300; k++) {
                sine.frequency.set(200.0 + k);
                sine.frequency.get();
                try (Add add = new Add(engine)) {
                    add.start();
                }
                Sample sample = new Sample(engine, 16, 1);
                sample.write(0, new short[16]);
                sample.delete();
            }
            done.set(true);
            renderer.join();
            assertNull(failure.get());
            assertEquals(rendered.get(), engine.tickCount());
            engine.render(1);
            assertEquals(499.0, sine.frequency.get(), "the last set arrived");
        }
    }

    /** On the default output device, when the machine has one (an audio server is running). */
    @Test
    @Timeout(value = 60, unit = TimeUnit.SECONDS)
    void playsOnTheDefaultDevice() {
        Assumptions.assumeTrue(Engine.defaultOutputDevice() >= 0, "no output device");
        assertTrue(Engine.deviceCount() > 0);
        assertTrue(Engine.maxOutputChannels(Engine.defaultOutputDevice()) >= 2);
        assertFalse(Engine.deviceName(Engine.defaultOutputDevice()).isEmpty());
        try (Engine engine = new Engine()) {
            engine.start();
            assertFalse(engine.isOffline());
            assertEquals(2, engine.outputChannels());
            assertThrows(VeltoException.class, () -> engine.render(1), "offline only");
            SineOscillator sine = new SineOscillator(engine);
            LineOut out = new LineOut(engine, 0);
            sine.output.connect(out.input);
            sine.start();
            out.start();
            int tick = engine.tickCount();
            engine.sleepUntilTick(tick + 20);
            assertTrue(engine.tickCount() - (tick + 20) >= 0);
            assertTrue(sine.phase.get() != 0.0, "the callback ran the sine");
            double usage = engine.usage();
            assertTrue(usage >= 0.0 && usage < 1.0, "usage " + usage);
        }
    }

    /** A render in flight when another thread closes the engine completes or is refused. */
    @Test
    @Timeout(value = 60, unit = TimeUnit.SECONDS)
    void closingWhileAnotherThreadRenders() throws InterruptedException {
        for (int round = 0; round < 5; round++) {
            Engine engine = sineEngine(440.0);
            AtomicReference<Throwable> failure = new AtomicReference<>();
            CountDownLatch started = new CountDownLatch(1);
            Thread renderer = new Thread(() -> {
                started.countDown();
                try {
                    while (true) engine.render(4);
                } catch (IllegalStateException closed) {
                    // the end this thread waits for
                } catch (Throwable t) {
                    failure.compareAndSet(null, t);
                }
            });
            renderer.start();
            started.await();
            Thread.sleep(2 + round);
            engine.close();
            renderer.join();
            assertNull(failure.get());
        }
    }
}
