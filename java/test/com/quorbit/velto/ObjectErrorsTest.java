package com.quorbit.velto;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.nio.charset.StandardCharsets;
import java.util.LinkedHashMap;
import java.util.Map;
import java.util.function.Consumer;
import org.junit.jupiter.api.Test;

/** Engine errors become VeltoExceptions with the engine's code and message. */
class ObjectErrorsTest {
    /* The message as the native method gives it, independently of VeltoException. */
    static String engineText(int code) {
        byte[] text = new byte[200];
        int n = Vexa.errorCodeToText(code, text, text.length);
        return new String(text, 0, n, StandardCharsets.US_ASCII);
    }

    /** Calls the engine refuses, each with the code it must give. */
    static Map<String, Map.Entry<Integer, Consumer<Engine>>> refusals() {
        Map<String, Map.Entry<Integer, Consumer<Engine>>> m = new LinkedHashMap<>();
        m.put("priority 3", Map.entry(-95, e -> new SineOscillator(e).setPriority(3)));
        m.put("part 2 of a one-part port",
                Map.entry(-96, e -> new SineOscillator(e).frequency.set(2, 1.0)));
        m.put("part -1 read", Map.entry(-96, e -> new SineOscillator(e).output.get(-1)));
        m.put("three-channel sample", Map.entry(-84, e -> new Sample(e, 4, 3)));
        m.put("empty envelope", Map.entry(-84, e -> new Envelope(e, new double[0])));
        m.put("delay line of 0 frames", Map.entry(-84, e -> new Delay(e, 0)));
        m.put("device channel 17", Map.entry(-66, e -> new LineOut(e, 17)));
        m.put("unknown unit type", Map.entry(-87, e -> new Unit(e, 0x12345678, 0) {}));
        m.put("sample past its end",
                Map.entry(-84, e -> new Sample(e, 4, 1).write(2, new short[3])));
        m.put("stereo sample in a mono reader", Map.entry(-66,
                e -> new SampleRead16F1(e).data.queue(new Sample(e, 8, 2))));
        m.put("region past the data", Map.entry(-84,
                e -> new SampleRead16F1(e).data.queue(new Sample(e, 8, 1), 4, 5, 0)));
        m.put("empty circuit", Map.entry(-64, e -> new Circuit(e)));
        m.put("unit twice in a circuit", Map.entry(-76, e -> {
            Add add = new Add(e);
            new Circuit(e, add, add);
        }));
        m.put("running unit in a circuit", Map.entry(-68, e -> {
            Add add = new Add(e);
            add.start();
            e.sleepForTicks(1);
            new Circuit(e, add);
        }));
        m.put("output into a bus input", Map.entry(-92, e -> {
            Port bus = new BusRead(e).busInput;
            new SineOscillator(e).output.link(0, bus, 0);
        }));
        m.put("render while stopped", Map.entry(-65, e -> {
            e.stop();
            e.render(1);
        }));
        m.put("wait while stopped", Map.entry(-65, e -> {
            e.stop();
            e.sleepForTicks(1);
        }));
        m.put("offline with 1025 channels", Map.entry(-84, e -> {
            e.stop();
            e.startOffline(44100.0, 1025);
        }));
        return m;
    }

    @Test
    void refusalsCarryTheEnginesCodeAndMessage() {
        refusals().forEach((what, expected) -> {
            try (Engine engine = new Engine()) {
                engine.startOffline(44100.0, 2);
                VeltoException e = assertThrows(VeltoException.class,
                        () -> expected.getValue().accept(engine), what);
                assertEquals((int) expected.getKey(), e.code(), what);
                assertEquals(engineText(e.code()), e.getMessage(), what);
                engine.tickCount(); // the engine goes on working
            }
        });
        assertEquals("Invalid priority.", VeltoException.textOf(-95));
        assertEquals("com.quorbit.velto.VeltoException (-84): Parameter out of range.",
                new VeltoException(-84).toString());
    }

    @Test
    void misuseOnTheJavaSideIsRefusedBeforeTheEngine() {
        try (Engine a = new Engine(); Engine b = new Engine()) {
            a.startOffline(44100.0, 2);
            b.startOffline(44100.0, 2);
            SineOscillator sine = new SineOscillator(a);
            LineOut elsewhere = new LineOut(b, 0);
            assertThrows(IllegalArgumentException.class,
                    () -> sine.output.connect(elsewhere.input));
            assertThrows(IllegalArgumentException.class,
                    () -> new WaveOscillator(a).table.use(new Table(b, 4)));
            assertThrows(IllegalArgumentException.class,
                    () -> new SampleRead16F1(a).data.queue(new Sample(b, 4, 1)));
            assertThrows(IllegalArgumentException.class, () -> new Circuit(a, elsewhere));
            assertThrows(IllegalStateException.class, () -> a.startOffline(44100.0, 2),
                    "already started");
            assertThrows(IllegalArgumentException.class, () -> a.render(new float[5], null, 1));
            assertThrows(IllegalArgumentException.class, () -> a.render(-1));
            assertThrows(IllegalArgumentException.class, () -> new Envelope(a, new double[3]));
        }
    }
}
