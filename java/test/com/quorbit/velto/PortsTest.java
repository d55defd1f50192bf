package com.quorbit.velto;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.io.IOException;
import java.lang.reflect.Constructor;
import java.lang.reflect.Field;
import java.lang.reflect.Modifier;
import java.net.URISyntaxException;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.jar.JarEntry;
import java.util.jar.JarFile;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;

/** Every kind of port through the object API, on an offline mono engine. */
class PortsTest {
    static final double AMPLITUDE_DEFAULT = 32767.0 / 32768.0;
    static final int INVALID_PORT_TYPE = -99;

    Engine engine;

    @BeforeEach
    void start() {
        engine = new Engine();
        engine.startOffline(44100.0, 1);
    }

    @AfterEach
    void close() {
        engine.close();
        assertEquals(0, engine.outstandingAtClose(), "allocations left after close");
    }

    void ticks(int n) {
        engine.sleepForTicks(n);
    }

    /*
     * What the engine accepts of each kind: [set, signal type, disconnect, read value]; 0 where
     * the call is refused as the wrong kind of port, 1 where it is accepted.
     */
    static final Map<Class<?>, List<Integer>> ACCEPTED = Map.of(
            InputPort.class, List.of(1, 1, 1, 1),
            VariablePort.class, List.of(1, 1, 0, 1),
            OutputPort.class, List.of(0, 0, 1, 1),
            QueuePort.class, List.of(0, 1, 0, 0),
            TablePort.class, List.of(0, 0, 0, 0),
            BusInputPort.class, List.of(0, 0, 1, 0),
            BusOutputPort.class, List.of(0, 0, 1, 0));

    /**
     * The classes of all unit types against the engine: each makes its unit, and each port field
     * has the kind and the number of parts that the engine gives its port.
     */
    @Test
    void everyGeneratedClassMatchesTheEngine() throws Exception {
        List<String> wrong = new ArrayList<>();
        Set<Integer> typeIDs = new HashSet<>();
        for (String name : unitClassNames()) {
            Class<?> type = Class.forName("com.quorbit.velto." + name);
            Constructor<?> made = type.getConstructors()[0];
            Unit unit = made.getParameterCount() == 1
                    ? (Unit) made.newInstance(engine)
                    : (Unit) made.newInstance(engine, name.startsWith("Delay") ? 16 : 0);
            assertEquals(type.getField("TYPE_ID").getInt(null), unit.typeID());
            typeIDs.add(unit.typeID());
            int ports = 0;
            for (Field field : type.getFields()) {
                if (!Port.class.isAssignableFrom(field.getType())) continue;
                assertTrue(Modifier.isFinal(field.getModifiers()), field.toString());
                Port port = (Port) field.get(unit);
                ports++;
                int h = engine.handle();
                int id = port.portID();
                if (port.numParts() != Vexa.getNumParts(h, unit.token(), id)) {
                    wrong.add(name + "." + field.getName() + " parts");
                }
                List<Integer> accepted = List.of(
                        Vexa.setPort(h, unit.token(), id, 0, 0.0) == INVALID_PORT_TYPE ? 0 : 1,
                        Vexa.getPortSignalType(h, unit.token(), id, 0) == INVALID_PORT_TYPE ? 0 : 1,
                        Vexa.disconnectUnits(h, unit.token(), id, 0) == INVALID_PORT_TYPE ? 0 : 1,
                        Vexa.getPort(h, unit.token(), id, 0) == INVALID_PORT_TYPE - 1e6 ? 0 : 1);
                if (!accepted.equals(ACCEPTED.get(port.getClass()))) {
                    wrong.add(name + "." + field.getName() + " is a " + port.getClass()
                            .getSimpleName() + " but the engine accepts " + accepted);
                }
            }
            assertTrue(ports > 0, name + " has no port field");
            unit.delete();
        }
        Set<Integer> ids = new HashSet<>();
        for (Field field : Ids.class.getFields()) {
            if (field.getName().startsWith("UNIT_")) ids.add(field.getInt(null));
        }
        assertEquals(68, ids.size());
        assertEquals(ids, typeIDs, "one class per unit type ID");
        if (!wrong.isEmpty()) fail(String.join("\n", wrong));
    }

    /* The classes of the unit types: the final subclasses of Unit beside it in its jar. */
    static List<String> unitClassNames() throws IOException, URISyntaxException {
        Path jar =
                Paths.get(Unit.class.getProtectionDomain().getCodeSource().getLocation().toURI());
        List<String> names = new ArrayList<>();
        try (JarFile file = new JarFile(jar.toFile())) {
            for (JarEntry entry : Collections.list(file.entries())) {
                String path = entry.getName();
                if (!path.matches("com/quorbit/velto/[A-Za-z0-9]+\\.class")) continue;
                String name = path.substring(18, path.length() - 6);
                try {
                    Class<?> type = Class.forName("com.quorbit.velto." + name);
                    if (Unit.class.isAssignableFrom(type)
                            && !Modifier.isAbstract(type.getModifiers())) {
                        names.add(name);
                    }
                } catch (ClassNotFoundException e) {
                    throw new AssertionError(e);
                }
            }
        }
        return names;
    }

    @Test
    void inputsAreSetNowOrAtATickAndRead() {
        SineOscillator sine = new SineOscillator(engine);
        assertEquals(440.0, sine.frequency.get(), "default at creation");
        assertEquals(SignalType.FREQUENCY, sine.frequency.signalType());
        sine.frequency.set(330.0);
        int now = engine.tickCount();
        sine.frequency.setAt(now + 3, 550.0);
        ticks(1);
        assertEquals(330.0, sine.frequency.get());
        engine.sleepUntilTick(now + 3);
        assertEquals(330.0, sine.frequency.get(), "not before its tick");
        ticks(1);
        assertEquals(550.0, sine.frequency.get(), "at its tick");

        // The signal type converts values set afterwards.
        sine.amplitude.setSignalType(SignalType.UNSIGNED);
        assertEquals(SignalType.UNSIGNED, sine.amplitude.signalType(0));
        sine.amplitude.set(3.0);
        ticks(1);
        assertEquals(2.0, sine.amplitude.get(), "unsigned values stop at 2");
        sine.amplitude.setSignalType(0, SignalType.SIGNED);
        sine.amplitude.set(0, -3.0);
        ticks(1);
        assertEquals(-1.0, sine.amplitude.get(0), "signed values stop at -1");

        // Per part: the two parts of a LineOut's input.
        LineOut out = new LineOut(engine, 0);
        out.input.set(1, 0.25);
        out.input.setAt(engine.tickCount() + 1, 0, -0.5);
        ticks(2);
        assertEquals(-0.5, out.input.get(0));
        assertEquals(0.25, out.input.get(1));
    }

    @Test
    void variablesHoldTheUnitsState() {
        SineOscillator sine = new SineOscillator(engine);
        sine.phase.set(0.5);
        ticks(1);
        assertEquals(0.5, sine.phase.get(), "a stopped unit keeps its phase");
        sine.start();
        ticks(1);
        assertNotEquals(0.5, sine.phase.get(), "a running unit advances it");
        LagExp lag = new LagExp(engine);
        lag.current.setAt(engine.tickCount() + 1, 0.75);
        ticks(2);
        assertEquals(0.75, lag.current.get());
        assertEquals(SignalType.HALF_LIFE, lag.halfLife.signalType());
    }

    @Test
    void outputsConnectPartByPartOrOneToAll() {
        SineOscillator sine = new SineOscillator(engine);
        LineOut out = new LineOut(engine, 0);
        assertFalse(sine.output.connect(out.input), "both parts were free");
        sine.start();
        out.start();
        ticks(2);
        double value = sine.output.get();
        assertNotEquals(0.0, value);
        assertEquals(value, out.input.get(0), "one part feeds every part");
        assertEquals(value, out.input.get(1));

        // A new source replaces the old one: the warning 100 is a result, not an error.
        Pan pan = new Pan(engine);
        pan.input.set(0.5);
        pan.pan.set(-1.0);
        assertTrue(pan.output.connect(out.input), "the sine was replaced");
        pan.start();
        ticks(2);
        assertEquals(pan.output.get(0), out.input.get(0), "part 0 to part 0");
        assertEquals(pan.output.get(1), out.input.get(1), "part 1 to part 1");
        assertNotEquals(out.input.get(0), out.input.get(1), "panned to one side");

        // A set value waits behind the connection and returns when it goes.
        out.input.set(1, 0.125);
        ticks(1);
        assertEquals(pan.output.get(1), out.input.get(1));
        assertTrue(out.input.disconnect(1));
        assertFalse(out.input.disconnect(1), "the warning 101: nothing left to disconnect");
        ticks(1);
        assertEquals(0.125, out.input.get(1));
        pan.output.disconnect();
        assertFalse(out.input.disconnect(), "the output let go of its listeners");

        // Two parts into one part is ambiguous; part by part it works.
        FilterLowPass filter = new FilterLowPass(engine);
        assertThrows(IllegalArgumentException.class, () -> pan.output.connect(filter.input));
        assertFalse(pan.output.connect(1, filter.input, 0));
    }

    @Test
    void busOutputsSumIntoABusInput() {
        BusWrite a = new BusWrite(engine);
        BusWrite b = new BusWrite(engine);
        BusRead bus = new BusRead(engine);
        a.input.set(0.25);
        b.input.set(0.125);
        assertFalse(a.busOutput.connect(bus.busInput));
        assertFalse(b.busOutput.connect(bus.busInput));
        for (Unit unit : new Unit[] {a, b, bus}) unit.start();
        ticks(2);
        assertEquals(0.375 * AMPLITUDE_DEFAULT, bus.output.get());
        assertTrue(b.busOutput.disconnect());
        assertFalse(b.busOutput.disconnect(0));
        ticks(2);
        assertEquals(0.25 * AMPLITUDE_DEFAULT, bus.output.get());
        BusRead other = new BusRead(engine);
        assertTrue(a.busOutput.connect(0, other.busInput, 0), "a bus output writes one bus");
        bus.busInput.disconnect();
    }

    @Test
    void tablesAreUsedAndReplaced() {
        TableLookup lookup = new TableLookup(engine);
        lookup.amplitude.set(1.0);
        lookup.table.use(new Table(engine, new double[] {0.25, 0.25, 0.25}));
        lookup.input.set(0.3);
        lookup.start();
        ticks(1);
        assertEquals(0.25, lookup.output.get());
        Table half = new Table(engine, new short[] {16384, 16384});
        lookup.table.use(half);
        half.delete(); // the port holds it
        ticks(1);
        assertEquals(0.5, lookup.output.get());
        lookup.table.detach();
        assertThrows(IllegalStateException.class, () -> lookup.table.use(half));
    }

    /* A mono sample of n frames, all of one value. */
    Sample constant(int n, int value) {
        short[] frames = new short[n];
        Arrays.fill(frames, (short) value);
        return new Sample(engine, frames, 1);
    }

    @Test
    void queuedRegionsPlayInTurnAndEnd() {
        SampleRead16F1 reader = new SampleRead16F1(engine);
        reader.amplitude.set(1.0);
        reader.data.queue(constant(100, 16384));
        reader.data.queue(constant(200, 8192), 0, 80, 0);
        reader.start();
        ticks(1);
        assertEquals(0.5, reader.output.get());
        assertEquals(63, reader.data.frames(), "the first frame of a region is not a step");
        ticks(1);
        assertEquals(0.25, reader.output.get(), "the second region follows the first");
        ticks(2);
        assertEquals(0.0, reader.output.get(), "nothing left to play");
        assertEquals(99 + 79, reader.data.frames());
    }

    @Test
    void loopFlagRepeatsTheRegion() {
        SampleRead16F1 reader = new SampleRead16F1(engine);
        reader.data.queue(constant(24, 16384), QueuePort.LOOP);
        reader.start();
        ticks(10);
        assertEquals(0.5 * AMPLITUDE_DEFAULT, reader.output.get(),
                "still playing after 640 frames");
        int frames = reader.data.frames();
        ticks(1);
        assertEquals(frames + 64 - 3, reader.data.frames(), "a first frame per pass is no step");
        reader.data.clear();
        ticks(1);
        assertEquals(0.0, reader.output.get(), "clear stops the looping region");
    }

    @Test
    void autoStopFlagStopsTheUnit() {
        SampleRead16F1 stopping = new SampleRead16F1(engine);
        SampleRead16F1 going = new SampleRead16F1(engine);
        stopping.data.queue(constant(8, 100), QueuePort.AUTO_STOP);
        going.data.queue(constant(8, 100));
        stopping.start();
        going.start();
        ticks(2);
        Sample later = constant(64, 16384);
        stopping.data.queue(later);
        going.data.queue(later);
        ticks(1);
        assertEquals(7, stopping.data.frames(), "stopped: the next region does not play");
        assertEquals(0.0, stopping.output.get());
        assertEquals(7 + 63, going.data.frames());
        assertEquals(0.5 * AMPLITUDE_DEFAULT, going.output.get());
    }

    @Test
    void replaceableRegionGivesWayToTheNext() {
        SampleRead16F1 reader = new SampleRead16F1(engine);
        reader.amplitude.set(1.0);
        reader.data.queue(constant(128, 4096));
        reader.data.queue(constant(128, 8192), QueuePort.REPLACEABLE);
        reader.data.queue(constant(128, 16384));
        reader.start();
        ticks(1);
        assertEquals(0.125, reader.output.get(), "the first region plays");
        ticks(2);
        assertEquals(0.5, reader.output.get(), "the replaceable one was replaced");

        // Without the flag both play in turn.
        SampleRead16F1 plain = new SampleRead16F1(engine);
        plain.amplitude.set(1.0);
        plain.data.queue(constant(64, 4096));
        plain.data.queue(constant(64, 8192));
        plain.data.queue(constant(64, 16384));
        plain.start();
        ticks(2);
        assertEquals(0.25, plain.output.get(), "the second region plays second");
    }

    @Test
    void queueAtAndClearAtActAtTheirTicks() {
        SampleRead16F1 reader = new SampleRead16F1(engine);
        reader.amplitude.set(1.0);
        reader.start();
        int now = engine.tickCount();
        reader.data.queueAt(now + 2, constant(1000, 16384));
        reader.data.clearAt(now + 4);
        engine.sleepUntilTick(now + 2);
        assertEquals(0.0, reader.output.get(), "not queued before its tick");
        engine.sleepUntilTick(now + 4);
        assertEquals(0.5, reader.output.get());
        ticks(1);
        assertEquals(0.0, reader.output.get(), "cleared at its tick");
        assertEquals(SignalType.SIGNED, reader.data.signalType());
    }

    @Test
    void envelopesRiseAndFallOverTheirFrames() {
        EnvelopeLinear env = new EnvelopeLinear(engine);
        env.amplitude.set(1.0);
        double[] frames = {64 / 44100.0, 1.0, 128 / 44100.0, 0.5};
        Envelope curve = new Envelope(engine, frames);
        assertEquals(2, curve.numFrames());
        assertEquals(Arrays.toString(frames), Arrays.toString(curve.read(0, 2)));
        curve.write(1, new double[] {128 / 44100.0, 0.0});
        assertEquals(0.0, curve.read(1, 1)[1]);
        env.data.queue(curve);
        env.start();
        ticks(1);
        double rising = env.output.get();
        assertTrue(rising > 0.8 && rising < 1.0, "near the end of the attack: " + rising);
        ticks(3);
        assertEquals(0.0, env.output.get(), 1e-6, "released to 0");
    }

    @Test
    void samplesRoundTripTheirFrames() {
        short[] stereo = {1, -1, 2, -2, 3, -3, 4, -4};
        Sample sample = new Sample(engine, stereo, 2);
        assertEquals(4, sample.numFrames());
        assertEquals(2, sample.channelsPerFrame());
        assertEquals(Arrays.toString(new short[] {2, -2, 3, -3}),
                Arrays.toString(sample.read(1, 2)));
        sample.write(3, new short[] {0, 0, 0, 9, 9}, 3, 1);
        short[] into = new short[5];
        sample.read(2, into, 1, 2);
        assertEquals(Arrays.toString(new short[] {0, 3, -3, 9, 9}), Arrays.toString(into));
        assertThrows(IllegalArgumentException.class, () -> new Sample(engine, new short[3], 2));
    }
}
