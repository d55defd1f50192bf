package com.quorbit.velto.examples;

import com.quorbit.velto.Engine;
import com.quorbit.velto.Envelope;
import com.quorbit.velto.EnvelopeLinear;
import com.quorbit.velto.FilterLowPass;
import com.quorbit.velto.LineOut;
import com.quorbit.velto.MultiplyAdd;
import com.quorbit.velto.Pan;
import com.quorbit.velto.SawtoothOscillatorBL;
import com.quorbit.velto.SquareOscillatorBL;
import com.quorbit.velto.Unit;
import java.io.File;
import java.io.IOException;
import java.util.ArrayDeque;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import javax.sound.midi.InvalidMidiDataException;
import javax.sound.midi.MetaMessage;
import javax.sound.midi.MidiEvent;
import javax.sound.midi.MidiMessage;
import javax.sound.midi.MidiSystem;
import javax.sound.midi.Sequence;
import javax.sound.midi.ShortMessage;
import javax.sound.midi.Track;

/**
 * Plays a standard MIDI file on a polyphonic patch. Each voice is a band-limited sawtooth and a
 * band-limited square a few cents apart, mixed, through a low-pass filter whose corner follows
 * the key, placed in the stereo field by a Pan, into a LineOut; an EnvelopeLinear shapes both
 * oscillators. A voice is allocated per note (the one free longest, or else the oldest note's),
 * and every note-on and note-off happens at the tick computed from the file's timing: its
 * resolution (pulses per quarter note, or SMPTE frames) and every tempo change of every track.
 * Notes of the percussion channel (10) are left out; pitch bends and controllers are ignored.
 *
 * <pre>
 *   java -cp velto.jar:velto-examples.jar com.quorbit.velto.examples.MidiPlayer
 *        [--wav FILE] [--voices N] FILE.mid
 * </pre>
 */
public final class MidiPlayer implements Score {
    static final double ATTACK = 0.005;
    static final double DECAY = 0.25;
    static final double SUSTAIN = 0.6;
    static final double RELEASE = 0.12;
    static final double TAIL = 0.5;
    static final double VOICE_LEVEL = 0.14;
    static final int PERCUSSION = 9;

    /** A note of the file, in seconds from its start. */
    static final class Note {
        final int channel;
        final int key;
        final int velocity;
        final double on;
        double off;

        Note(int channel, int key, int velocity, double on) {
            this.channel = channel;
            this.key = key;
            this.velocity = velocity;
            this.on = on;
        }
    }

    /** The notes of a MIDI file, with the times its tempo map gives them. */
    static List<Note> readNotes(File file) throws InvalidMidiDataException, IOException {
        Sequence sequence = MidiSystem.getSequence(file);
        List<MidiEvent> events = new ArrayList<>();
        for (Track track : sequence.getTracks()) {
            for (int i = 0; i < track.size(); i++) events.add(track.get(i));
        }
        // In time order; a stable sort keeps each track's order, and at one tick note-offs come
        // before note-ons, so that a key struck again right at its release sounds again.
        events.sort(Comparator.comparingLong(MidiEvent::getTick)
                .thenComparingInt(e -> isNoteOn(e.getMessage()) ? 1 : 0));
        TempoMap tempo = new TempoMap(sequence, events);

        List<Note> notes = new ArrayList<>();
        Map<Integer, ArrayDeque<Note>> sounding = new HashMap<>();
        long last = 0;
        for (MidiEvent event : events) {
            last = Math.max(last, event.getTick());
            if (!(event.getMessage() instanceof ShortMessage)) continue;
            ShortMessage m = (ShortMessage) event.getMessage();
            if (m.getChannel() == PERCUSSION) continue;
            int slot = m.getChannel() * 128 + m.getData1();
            double at = tempo.seconds(event.getTick());
            if (isNoteOn(m)) {
                Note note = new Note(m.getChannel(), m.getData1(), m.getData2(), at);
                notes.add(note);
                sounding.computeIfAbsent(slot, k -> new ArrayDeque<>()).addLast(note);
            } else if (isNoteOff(m)) {
                ArrayDeque<Note> held = sounding.get(slot);
                if (held != null && !held.isEmpty()) held.removeFirst().off = at;
            }
        }
        // Notes still held at the end of the file end with it.
        double end = tempo.seconds(last);
        for (ArrayDeque<Note> held : sounding.values()) {
            for (Note note : held) note.off = Math.max(end, note.on);
        }
        return notes;
    }

    static boolean isNoteOn(MidiMessage message) {
        return message instanceof ShortMessage
                && ((ShortMessage) message).getCommand() == ShortMessage.NOTE_ON
                && ((ShortMessage) message).getData2() > 0;
    }

    static boolean isNoteOff(MidiMessage message) {
        if (!(message instanceof ShortMessage)) return false;
        ShortMessage m = (ShortMessage) message;
        return m.getCommand() == ShortMessage.NOTE_OFF
                || (m.getCommand() == ShortMessage.NOTE_ON && m.getData2() == 0);
    }

    /** MIDI ticks to seconds: the division, and the tempo changes (meta event 0x51). */
    static final class TempoMap {
        private final boolean smpte;
        private final double ticksPerSecond; // SMPTE only
        private final int resolution;
        private final List<long[]> changes = new ArrayList<>(); // {tick, microseconds per beat}

        TempoMap(Sequence sequence, List<MidiEvent> sortedEvents) {
            resolution = sequence.getResolution();
            smpte = sequence.getDivisionType() != Sequence.PPQ;
            ticksPerSecond = sequence.getDivisionType() * resolution;
            changes.add(new long[] {0, 500000}); // 120 beats per minute until told otherwise
            for (MidiEvent event : sortedEvents) {
                if (!(event.getMessage() instanceof MetaMessage)) continue;
                MetaMessage meta = (MetaMessage) event.getMessage();
                byte[] d = meta.getData();
                if (meta.getType() != 0x51 || d.length != 3) continue;
                long micros = ((d[0] & 0xff) << 16) | ((d[1] & 0xff) << 8) | (d[2] & 0xff);
                changes.add(new long[] {event.getTick(), micros});
            }
        }

        double seconds(long tick) {
            if (smpte) return tick / ticksPerSecond;
            double seconds = 0.0;
            for (int i = 0; i < changes.size(); i++) {
                long from = changes.get(i)[0];
                if (from >= tick) break;
                long to = i + 1 < changes.size() ? Math.min(changes.get(i + 1)[0], tick) : tick;
                seconds += (to - from) * changes.get(i)[1] / (1e6 * resolution);
            }
            return seconds;
        }
    }

    /** One voice of the patch: its units, and the note it plays. */
    static final class Voice {
        final EnvelopeLinear env;
        final SawtoothOscillatorBL saw;
        final SquareOscillatorBL square;
        final MultiplyAdd mix;
        final FilterLowPass filter;
        final Pan pan;
        final LineOut out;
        Note note;         // the note it plays or last played
        int freeAt;        // the tick its last release ends
        boolean started;

        Voice(Engine engine) {
            env = new EnvelopeLinear(engine);
            saw = new SawtoothOscillatorBL(engine);
            square = new SquareOscillatorBL(engine);
            mix = new MultiplyAdd(engine);
            filter = new FilterLowPass(engine);
            pan = new Pan(engine);
            out = new LineOut(engine, 0);
            env.output.connect(saw.amplitude);
            env.output.connect(square.amplitude);
            // mix = square * 0.5 + saw
            square.output.connect(mix.inputA);
            mix.inputB.set(0.5);
            saw.output.connect(mix.inputC);
            mix.output.connect(filter.input);
            filter.q.set(1.2);
            filter.output.connect(pan.input);
            pan.output.connect(out.input);
        }

        Unit[] units() {
            return new Unit[] {env, saw, square, mix, filter, pan, out};
        }
    }

    /** A note-on or note-off, at its tick. */
    private static final class Event {
        final int tick;
        final boolean on;
        final Note note;

        Event(int tick, boolean on, Note note) {
            this.tick = tick;
            this.on = on;
            this.note = note;
        }
    }

    private final List<Note> notes;
    private final int numVoices;
    private final List<Voice> voices = new ArrayList<>();
    private final List<Event> events = new ArrayList<>();
    private Envelope adsr;
    private int next;
    private int stolen;

    MidiPlayer(List<Note> notes, int numVoices) {
        this.notes = notes;
        this.numVoices = numVoices;
    }

    @Override
    public int lengthTicks(Engine engine) {
        double end = 0.0;
        for (Note note : notes) end = Math.max(end, note.off);
        return engine.secondsToTicks(end + RELEASE + TAIL);
    }

    @Override
    public void prepare(Engine engine, int origin) {
        adsr = new Envelope(engine, new double[] {ATTACK, 1.0, DECAY, SUSTAIN, RELEASE, 0.0});
        for (int i = 0; i < numVoices; i++) voices.add(new Voice(engine));
        for (Note note : notes) {
            int on = origin + engine.secondsToTicks(note.on);
            // At least one tick long, so that the note-off follows its note-on.
            int off = Math.max(on + 1, origin + engine.secondsToTicks(note.off));
            events.add(new Event(on, true, note));
            events.add(new Event(off, false, note));
        }
        events.sort(Comparator.comparingInt((Event e) -> e.tick - origin)
                .thenComparing(e -> e.on));
    }

    @Override
    public void scheduleUntil(Engine engine, int untilTick) {
        while (next < events.size() && events.get(next).tick - untilTick < 0) {
            Event event = events.get(next++);
            if (event.on) {
                noteOn(engine, event.tick, event.note);
            } else {
                noteOff(engine, event.tick, event.note);
            }
        }
    }

    private void noteOn(Engine engine, int tick, Note note) {
        Voice voice = allocate(tick);
        voice.note = note;
        voice.freeAt = Integer.MAX_VALUE;
        double hertz = ExampleRunner.keyToHertz(note.key);
        voice.saw.frequency.setAt(tick, hertz);
        voice.square.frequency.setAt(tick, hertz * Math.pow(2.0, 6.0 / 1200.0));
        voice.filter.frequency.setAt(tick, Math.min(hertz * 5.0 + 300.0, 12000.0));
        voice.pan.pan.setAt(tick, Math.max(-0.6, Math.min(0.6, (note.key - 64) / 40.0)));
        voice.env.amplitude.setAt(tick, VOICE_LEVEL * note.velocity / 127.0);
        voice.env.data.clearAt(tick);
        voice.env.data.queueAt(tick, adsr, 0, 2, 0);
        if (!voice.started) {
            // Sources first, so that each block flows through the chain at once. A voice runs
            // from its first note to the end; a free voice's envelope holds it silent.
            for (Unit unit : voice.units()) unit.startAt(tick);
            voice.started = true;
        }
    }

    private void noteOff(Engine engine, int tick, Note note) {
        for (Voice voice : voices) {
            if (voice.note != note) continue; // stolen meanwhile: the new note plays on
            voice.env.data.clearAt(tick);
            voice.env.data.queueAt(tick, adsr, 2, 1, 0);
            voice.freeAt = tick + engine.secondsToTicks(RELEASE);
        }
    }

    /* The voice free the longest; when none is free, the one whose note began first. */
    private Voice allocate(int tick) {
        Voice best = null;
        for (Voice voice : voices) {
            if (voice.freeAt - tick <= 0 && (best == null || voice.freeAt - best.freeAt < 0)) {
                best = voice;
            }
        }
        if (best != null) return best;
        stolen++;
        for (Voice voice : voices) {
            if (best == null || voice.note.on < best.note.on) best = voice;
        }
        return best;
    }

    /**
     * Plays a MIDI file, or renders it with {@code --wav FILE}.
     *
     * @param args {@code [--wav FILE] [--voices N] FILE.mid}
     * @throws Exception when the file cannot be read or the WAV file written
     */
    public static void main(String[] args) throws Exception {
        ExampleRunner.Options options = ExampleRunner.Options.parse(args);
        int numVoices = 16;
        String path = null;
        for (int i = 0; i < options.rest.size(); i++) {
            String word = options.rest.get(i);
            if (word.equals("--voices") && i + 1 < options.rest.size()) {
                numVoices = Integer.parseInt(options.rest.get(++i));
            } else if (path == null && !word.startsWith("--")) {
                path = word;
            } else {
                path = null;
                break;
            }
        }
        if (path == null || numVoices < 1) {
            System.err.println("usage: MidiPlayer [--wav FILE] [--voices N] FILE.mid");
            System.exit(2);
        }
        List<Note> notes = readNotes(new File(path));
        System.out.println(notes.size() + " notes in " + path);
        MidiPlayer player = new MidiPlayer(notes, numVoices);
        ExampleRunner.run(player, options, "midiplayer.wav");
        if (player.stolen > 0) {
            System.out.println(player.stolen + " notes took a voice from a sounding note");
        }
    }
}
