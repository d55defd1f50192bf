package com.quorbit.velto.examples;

import com.quorbit.velto.Engine;
import com.quorbit.velto.VeltoException;
import java.io.ByteArrayInputStream;
import java.io.File;
import java.io.IOException;
import java.util.ArrayList;
import java.util.List;
import javax.sound.sampled.AudioFileFormat;
import javax.sound.sampled.AudioFormat;
import javax.sound.sampled.AudioInputStream;
import javax.sound.sampled.AudioSystem;

/**
 * Plays a score of the examples on the default output device, or renders it offline into a WAV
 * file (16-bit stereo) when no device can be opened or when {@code --wav FILE} is given.
 */
final class ExampleRunner {
    static final double FRAME_RATE = 44100.0;
    static final int CHANNELS = 2;
    /* Events are scheduled this far ahead of the clock. */
    static final double LOOKAHEAD_SECONDS = 0.5;
    /* Offline, ticks are rendered in chunks of this size. */
    static final int CHUNK_TICKS = 64;

    private ExampleRunner() {}

    /** The options common to the examples; the words left over are the example's own. */
    static final class Options {
        String wav;
        final List<String> rest = new ArrayList<>();

        static Options parse(String[] args) {
            Options options = new Options();
            for (int i = 0; i < args.length; i++) {
                if (args[i].equals("--wav") && i + 1 < args.length) {
                    options.wav = args[++i];
                } else {
                    options.rest.add(args[i]);
                }
            }
            return options;
        }
    }

    /**
     * Runs a score: on the device when one opens and no WAV file is asked for, otherwise
     * offline into the WAV file ({@code fallbackWav} when none is given).
     */
    static void run(Score score, Options options, String fallbackWav) throws IOException {
        try (Engine engine = new Engine()) {
            String wav = options.wav;
            if (wav == null) {
                try {
                    engine.start(FRAME_RATE);
                } catch (VeltoException e) {
                    System.out.println("No output device could be opened (" + e.getMessage()
                            + "); rendering offline to " + fallbackWav + " instead.");
                    wav = fallbackWav;
                }
            }
            if (wav == null) {
                play(engine, score);
            } else {
                engine.startOffline(FRAME_RATE, CHANNELS);
                render(engine, score, new File(wav));
            }
        }
    }

    /* In real time: the audio thread computes, this thread schedules ahead and waits. */
    private static void play(Engine engine, Score score) {
        int lead = engine.secondsToTicks(0.1); // time for the first commands to arrive
        int origin = engine.tickCount() + lead;
        int length = score.lengthTicks(engine);
        int ahead = engine.secondsToTicks(LOOKAHEAD_SECONDS);
        score.prepare(engine, origin);
        int step = engine.secondsToTicks(0.1);
        for (int done = 0; done < length; done = Math.min(length, done + step)) {
            score.scheduleUntil(engine, origin + done + ahead);
            engine.sleepUntilTick(origin + done);
        }
        engine.sleepUntilTick(origin + length);
        engine.checkErrors();
        System.out.printf("Played %.2f s on %s.%n", length / engine.tickRate(),
                Engine.deviceName(Engine.defaultOutputDevice()));
    }

    /* Offline: this thread schedules ahead and computes the ticks. */
    private static void render(Engine engine, Score score, File wav) throws IOException {
        int origin = engine.tickCount();
        int length = score.lengthTicks(engine);
        int ahead = engine.secondsToTicks(LOOKAHEAD_SECONDS);
        score.prepare(engine, origin);
        byte[] pcm = new byte[length * Engine.FRAMES_PER_TICK * CHANNELS * 2];
        float peak = 0.0f;
        int at = 0;
        for (int done = 0; done < length;) {
            int ticks = Math.min(CHUNK_TICKS, length - done);
            score.scheduleUntil(engine, origin + done + ticks + ahead);
            for (float value : engine.render(ticks)) {
                peak = Math.max(peak, Math.abs(value));
                int sample = Math.round(value * 32767.0f);
                sample = Math.max(-32768, Math.min(32767, sample));
                pcm[at++] = (byte) sample;
                pcm[at++] = (byte) (sample >> 8);
            }
            done += ticks;
        }
        engine.checkErrors();
        AudioFormat format = new AudioFormat((float) FRAME_RATE, 16, CHANNELS, true, false);
        long frames = (long) length * Engine.FRAMES_PER_TICK;
        try (AudioInputStream stream =
                new AudioInputStream(new ByteArrayInputStream(pcm), format, frames)) {
            AudioSystem.write(stream, AudioFileFormat.Type.WAVE, wav);
        }
        System.out.printf("Rendered %.2f s offline to %s (44100 Hz, 2 channels, 16-bit PCM, "
                + "peak %.3f).%n", frames / FRAME_RATE, wav, peak);
    }

    /** The frequency of a MIDI key number (69 is A4, 440 Hz). */
    static double keyToHertz(double key) {
        return 440.0 * Math.pow(2.0, (key - 69.0) / 12.0);
    }
}
