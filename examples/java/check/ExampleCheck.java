package com.quorbit.velto.examples.check;

import java.io.File;
import java.io.IOException;
import java.util.ArrayList;
import java.util.List;
import javax.sound.midi.MetaMessage;
import javax.sound.midi.MidiEvent;
import javax.sound.midi.MidiSystem;
import javax.sound.midi.Sequence;
import javax.sound.midi.ShortMessage;
import javax.sound.midi.Track;
import javax.sound.sampled.AudioFormat;
import javax.sound.sampled.AudioInputStream;
import javax.sound.sampled.AudioSystem;

/**
 * Checks of what the Java examples render (used by the tests):
 *
 * <pre>
 *   level FILE.wav MIN_RMS [MAX_JUMP]
 *                            audible (RMS of all samples above MIN_RMS), no sample at full
 *                            scale (|sample| below 32767, so nothing was clipped), and with
 *                            MAX_JUMP no click: no second difference x[n] - 2 x[n-1] + x[n-2]
 *                            of a channel reaches MAX_JUMP (in full scale units); a note that
 *                            starts or stops at a level other than 0 makes one
 *   write-midi FILE.mid      writes the test score: two tracks, a tempo change, a chord
 *   midi-notes FILE.wav      the rendering of that score: every note at its pitch (within
 *                            0.6 %), sounding over its span, silent before its start and after
 *                            its release
 * </pre>
 *
 * Exits with status 1 and a message when a check fails.
 */
public final class ExampleCheck {
    private ExampleCheck() {}

    /* The test score. MIDI ticks at 480 per quarter note; 120 beats per minute, and from tick
     * 1200 (beat 2.5) on 90 beats per minute. The seconds are worked out by hand from that
     * tempo map: before tick 1200, tick / 960; after it, 1.25 + (tick - 1200) / 720. */
    static final int RESOLUTION = 480;
    static final int TEMPO_CHANGE_TICK = 1200;

    /** A note of the test score: track, channel, key, MIDI ticks, and its expected seconds. */
    static final class ScoreNote {
        final int track;
        final int channel;
        final int key;
        final long onTick;
        final long offTick;
        final double on;
        final double off;

        ScoreNote(int track, int channel, int key, long onTick, long offTick, double on,
                double off) {
            this.track = track;
            this.channel = channel;
            this.key = key;
            this.onTick = onTick;
            this.offTick = offTick;
            this.on = on;
            this.off = off;
        }

        double hertz() {
            return 440.0 * Math.pow(2.0, (key - 69) / 12.0);
        }
    }

    static final ScoreNote[] SCORE = {
        new ScoreNote(0, 0, 57, 0, 480, 0.0, 0.5),                      // A3 220 Hz
        new ScoreNote(0, 0, 64, 720, 1200, 0.75, 1.25),                 // E4
        new ScoreNote(0, 0, 69, 1440, 1920, 1.25 + 1 / 3.0, 2.25),      // A4, after the change
        new ScoreNote(0, 0, 60, 2160, 2880, 2.5 + 1 / 12.0, 3.5 + 1 / 12.0),  // C4 and
        new ScoreNote(1, 1, 67, 2160, 2880, 2.5 + 1 / 12.0, 3.5 + 1 / 12.0),  // G4 together
        new ScoreNote(1, 1, 76, 3120, 3360, 3.75 + 1 / 6.0, 4.25),      // E5
    };

    /* Seconds after a note-off by which its release must have ended. */
    static final double RELEASE_BOUND = 0.2;

    public static void main(String[] args) throws Exception {
        if ((args.length == 3 || args.length == 4) && args[0].equals("level")) {
            level(new File(args[1]), Double.parseDouble(args[2]),
                    args.length == 4 ? Double.parseDouble(args[3]) : Double.NaN);
        } else if (args.length == 2 && args[0].equals("write-midi")) {
            writeMidi(new File(args[1]));
        } else if (args.length == 2 && args[0].equals("midi-notes")) {
            midiNotes(new File(args[1]));
        } else {
            System.err.println("usage: ExampleCheck level FILE.wav MIN_RMS [MAX_JUMP]"
                    + " | write-midi FILE.mid | midi-notes FILE.wav");
            System.exit(2);
        }
    }

    static void fail(String message) {
        System.err.println("FAILED: " + message);
        System.exit(1);
    }

    /* ---- WAV files -------------------------------------------------------------------- */

    /** A 16-bit PCM file: its samples per channel, and its frame rate. */
    static final class Sound {
        final int[][] channels;
        final double rate;

        Sound(int[][] channels, double rate) {
            this.channels = channels;
            this.rate = rate;
        }

        /* The mean of the channels at a frame, scaled to -1 .. +1. */
        double mono(int frame) {
            double sum = 0.0;
            for (int[] channel : channels) sum += channel[frame];
            return sum / channels.length / 32768.0;
        }

        int frames() {
            return channels[0].length;
        }
    }

    static Sound read(File file) throws Exception {
        try (AudioInputStream in = AudioSystem.getAudioInputStream(file)) {
            AudioFormat format = in.getFormat();
            if (format.getEncoding() != AudioFormat.Encoding.PCM_SIGNED
                    || format.getSampleSizeInBits() != 16 || format.isBigEndian()) {
                fail(file + " is not 16-bit little-endian PCM: " + format);
            }
            byte[] bytes = in.readAllBytes();
            int numChannels = format.getChannels();
            int frames = bytes.length / (2 * numChannels);
            int[][] channels = new int[numChannels][frames];
            for (int i = 0; i < frames * numChannels; i++) {
                channels[i % numChannels][i / numChannels] =
                        (short) ((bytes[2 * i] & 0xff) | (bytes[2 * i + 1] << 8));
            }
            return new Sound(channels, format.getSampleRate());
        }
    }

    static void level(File file, double minRms, double maxJump) throws Exception {
        Sound sound = read(file);
        double sum = 0.0;
        int peak = 0;
        long count = 0;
        int jump = 0;
        int jumpAt = 0;
        for (int[] channel : sound.channels) {
            for (int i = 0; i < channel.length; i++) {
                int v = channel[i];
                sum += (double) v * v;
                peak = Math.max(peak, Math.abs(v));
                count++;
                if (i >= 2 && Math.abs(v - 2 * channel[i - 1] + channel[i - 2]) > jump) {
                    jump = Math.abs(v - 2 * channel[i - 1] + channel[i - 2]);
                    jumpAt = i;
                }
            }
        }
        double rms = Math.sqrt(sum / Math.max(count, 1)) / 32768.0;
        System.out.printf("%s: %d frames, %d channels, rms %.4f, peak %d / 32767, largest "
                + "second difference %.4f at %.3f s%n", file, sound.frames(),
                sound.channels.length, rms, peak, jump / 32768.0, jumpAt / sound.rate);
        if (count == 0 || rms <= minRms) fail("not audible: rms " + rms + " <= " + minRms);
        if (peak >= 32767) fail("clipped: a sample at full scale (" + peak + ")");
        if (jump / 32768.0 >= maxJump) {
            fail(String.format("a click at %.3f s (second difference %.4f)", jumpAt / sound.rate,
                    jump / 32768.0));
        }
    }

    /* ---- The MIDI score --------------------------------------------------------------- */

    static void writeMidi(File file) throws Exception {
        Sequence sequence = new Sequence(Sequence.PPQ, RESOLUTION);
        Track first = sequence.createTrack();
        Track second = sequence.createTrack();
        first.add(new MidiEvent(tempo(500000), 0));
        first.add(new MidiEvent(tempo(666667), TEMPO_CHANGE_TICK));
        for (ScoreNote note : SCORE) {
            Track track = note.track == 0 ? first : second;
            track.add(new MidiEvent(
                    new ShortMessage(ShortMessage.NOTE_ON, note.channel, note.key, 100),
                    note.onTick));
            // The first track ends its notes with note-ons of velocity 0, the second with
            // note-offs: both are note-offs.
            ShortMessage off = note.track == 0
                    ? new ShortMessage(ShortMessage.NOTE_ON, note.channel, note.key, 0)
                    : new ShortMessage(ShortMessage.NOTE_OFF, note.channel, note.key, 64);
            track.add(new MidiEvent(off, note.offTick));
        }
        MidiSystem.write(sequence, 1, file);
        System.out.println("wrote " + SCORE.length + " notes to " + file);
    }

    static MetaMessage tempo(int microsecondsPerBeat) throws Exception {
        byte[] data = {(byte) (microsecondsPerBeat >> 16), (byte) (microsecondsPerBeat >> 8),
                (byte) microsecondsPerBeat};
        return new MetaMessage(0x51, data, 3);
    }

    static void midiNotes(File file) throws Exception {
        Sound sound = read(file);
        List<String> failures = new ArrayList<>();
        for (ScoreNote note : SCORE) {
            String name = "key " + note.key + " at " + String.format("%.3f s", note.on);
            // The pitch, over the note's span less its attack and decay's start.
            double found = peakFrequency(sound, note.on + 0.06, note.off - 0.01, note.hertz());
            double error = found / note.hertz() - 1.0;
            System.out.printf("%s: expected %.2f Hz, found %.2f Hz (%+.3f %%)%n", name,
                    note.hertz(), found, 100.0 * error);
            if (Math.abs(error) > 0.006) failures.add(name + " sounds at " + found + " Hz");

            double sounding = rms(sound, note.on + 0.01, note.off);
            double onset = rms(sound, note.on + 0.003, note.on + 0.015);
            System.out.printf("  rms %.4f while held, %.4f in its first 15 ms%n", sounding,
                    onset);
            if (sounding < 0.01) failures.add(name + " is not heard over its span");
            if (onset < 0.3 * sounding) failures.add(name + " does not start on time");
        }
        // Silence between the notes: before each start, once the previous release is over.
        double previousEnd = -1.0;
        for (ScoreNote note : SCORE) {
            double from = Math.max(0.0, previousEnd + RELEASE_BOUND);
            if (note.on - 0.003 > from + 0.02) {
                double quiet = rms(sound, from, note.on - 0.003);
                System.out.printf("  rms %.5f from %.3f s to %.3f s (before key %d)%n", quiet,
                        from, note.on - 0.003, note.key);
                if (quiet > 0.001) {
                    failures.add("sound between " + from + " s and the start of key " + note.key);
                }
            }
            previousEnd = Math.max(previousEnd, note.off);
        }
        double tail = rms(sound, previousEnd + RELEASE_BOUND, sound.frames() / sound.rate);
        if (tail > 0.001) failures.add("sound after the last release: rms " + tail);
        if (!failures.isEmpty()) fail(String.join("; ", failures));
        System.out.println("every note at its pitch and time");
    }

    static double rms(Sound sound, double from, double to) {
        int a = (int) Math.round(from * sound.rate);
        int b = Math.min(sound.frames(), (int) Math.round(to * sound.rate));
        double sum = 0.0;
        for (int i = a; i < b; i++) sum += sound.mono(i) * sound.mono(i);
        return b > a ? Math.sqrt(sum / (b - a)) : 0.0;
    }

    /*
     * The frequency within 8 % of the expected one at which the Hann-windowed spectrum of the
     * span peaks, scanned in steps of 0.02 %: a note a semitone off, or an octave off, peaks
     * elsewhere (or at the scan's edge).
     */
    static double peakFrequency(Sound sound, double from, double to, double expected) {
        int a = (int) Math.round(from * sound.rate);
        int n = Math.min(sound.frames(), (int) Math.round(to * sound.rate)) - a;
        double[] x = new double[n];
        for (int i = 0; i < n; i++) {
            x[i] = sound.mono(a + i) * (0.5 - 0.5 * Math.cos(2.0 * Math.PI * i / (n - 1)));
        }
        double best = expected;
        double bestPower = -1.0;
        for (double f = expected * 0.92; f <= expected * 1.08; f *= 1.0002) {
            double w = 2.0 * Math.PI * f / sound.rate;
            // Goertzel: the power of the span at one frequency.
            double coefficient = 2.0 * Math.cos(w);
            double s1 = 0.0;
            double s2 = 0.0;
            for (double v : x) {
                double s = v + coefficient * s1 - s2;
                s2 = s1;
                s1 = s;
            }
            double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
            if (power > bestPower) {
                bestPower = power;
                best = f;
            }
        }
        return best;
    }
}
