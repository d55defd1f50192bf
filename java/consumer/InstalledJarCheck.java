import com.quorbit.velto.ChannelOut;
import com.quorbit.velto.Engine;
import com.quorbit.velto.SineOscillator;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.List;

/**
 * A program of a Java user who has nothing but the installed velto.jar: it renders one second
 * of a 440 Hz sine offline and checks that it is audible and has the pitch asked for. Then it
 * checks where the engine library was loaded from: the copy the jar carries, extracted into
 * java.io.tmpdir (Linux only, through /proc/self/maps).
 */
public final class InstalledJarCheck {
    private InstalledJarCheck() {}

    public static void main(String[] args) throws IOException {
        final double frameRate = 44100.0;
        float[] frames;
        try (Engine engine = new Engine()) {
            engine.startOffline(frameRate, 1);
            SineOscillator sine = new SineOscillator(engine);
            ChannelOut out = new ChannelOut(engine, 0);
            sine.frequency.set(440.0);
            sine.amplitude.set(0.5);
            sine.output.connect(out.input);
            sine.start();
            out.start();
            frames = engine.render(engine.secondsToTicks(1.0));
        }

        double sum = 0.0;
        double peak = 0.0;
        int crossings = 0;
        for (int i = 0; i < frames.length; i++) {
            sum += frames[i] * frames[i];
            peak = Math.max(peak, Math.abs(frames[i]));
            if (i > 0 && frames[i - 1] < 0.0f && frames[i] >= 0.0f) crossings++;
        }
        double rms = Math.sqrt(sum / frames.length);
        double hertz = crossings * frameRate / frames.length;
        System.out.printf("%d frames, rms %.4f, peak %.4f, about %.1f Hz%n", frames.length, rms,
                peak, hertz);
        // A sine of amplitude 0.5 has an RMS of 0.354.
        check(rms > 0.3 && rms < 0.4, "the sine is not audible as asked: rms " + rms);
        check(peak < 1.0, "the sine clips: peak " + peak);
        check(Math.abs(hertz - 440.0) < 4.0, "the sine is not at 440 Hz: " + hertz);

        Path maps = Paths.get("/proc/self/maps");
        if (Files.isReadable(maps)) {
            String tmp = Paths.get(System.getProperty("java.io.tmpdir")).toRealPath().toString();
            List<String> lines = Files.readAllLines(maps);
            String library = null;
            for (String line : lines) {
                int at = line.indexOf('/');
                if (at >= 0 && line.contains("libVeltoV142")) library = line.substring(at);
            }
            check(library != null, "libVeltoV142 is not mapped");
            System.out.println("library loaded from " + library);
            check(library.startsWith(tmp + "/velto-"),
                    "the library was not extracted from the jar into " + tmp + ": " + library);
        }
        System.out.println("OK");
    }

    private static void check(boolean condition, String message) {
        if (!condition) {
            System.err.println("FAILED: " + message);
            System.exit(1);
        }
    }
}
