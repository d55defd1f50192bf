package com.quorbit.velto;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.Locale;

/**
 * Loads the engine library for {@link Vexa}: from the file the system property
 * {@value Vexa#LIBRARY_PROPERTY} names, else by name through {@code java.library.path}, else
 * from the copy in the jar's resources, extracted to a temporary file.
 */
final class NativeLibrary {
    /** Folder of the library copies in the jar, one subfolder per platform. */
    static final String RESOURCE_FOLDER = "/com/quorbit/velto/native/";

    private NativeLibrary() {}

    static void load() {
        String path = System.getProperty(Vexa.LIBRARY_PROPERTY);
        if (path != null && !path.isEmpty()) {
            System.load(new File(path).getAbsolutePath());
            return;
        }
        try {
            System.loadLibrary(Vexa.LIBRARY_NAME);
        } catch (UnsatisfiedLinkError notOnPath) {
            String resource = resourceName();
            if (NativeLibrary.class.getResource(resource) == null) throw notOnPath;
            Path extracted;
            try {
                extracted = extract(resource);
            } catch (IOException e) {
                UnsatisfiedLinkError error = new UnsatisfiedLinkError(
                        "cannot extract " + resource + " from the jar: " + e.getMessage());
                error.addSuppressed(notOnPath);
                throw error;
            }
            System.load(extracted.toAbsolutePath().toString());
        }
    }

    /** The resource of this platform's library, as {@code <folder><os>-<arch>/<file>}. */
    static String resourceName() {
        return RESOURCE_FOLDER + platform() + "/" + System.mapLibraryName(Vexa.LIBRARY_NAME);
    }

    /** The platform folder: "linux-x86_64", "linux-aarch64", "windows-x86_64", "macos-x86_64". */
    static String platform() {
        String os = System.getProperty("os.name", "").toLowerCase(Locale.ROOT);
        if (os.startsWith("windows")) {
            os = "windows";
        } else if (os.startsWith("mac") || os.startsWith("darwin")) {
            os = "macos";
        } else {
            os = os.replaceAll("[^a-z0-9]", "");
        }
        String arch = System.getProperty("os.arch", "").toLowerCase(Locale.ROOT);
        switch (arch) {
            case "amd64":
            case "x86_64":
            case "x64":
                arch = "x86_64";
                break;
            case "aarch64":
            case "arm64":
                arch = "aarch64";
                break;
            case "x86":
            case "i386":
            case "i486":
            case "i586":
            case "i686":
                arch = "x86";
                break;
            default:
                arch = arch.replaceAll("[^a-z0-9_]", "");
        }
        return os + "-" + arch;
    }

    /*
     * Copies the resource into a new private folder of the temporary directory. Both are deleted
     * when the virtual machine exits (in the reverse order of registration: file, then folder).
     */
    private static Path extract(String resource) throws IOException {
        Path folder = Files.createTempDirectory("velto-");
        folder.toFile().deleteOnExit();
        Path file = folder.resolve(System.mapLibraryName(Vexa.LIBRARY_NAME));
        file.toFile().deleteOnExit();
        try (InputStream in = NativeLibrary.class.getResourceAsStream(resource)) {
            if (in == null) throw new IOException("resource not found");
            Files.copy(in, file, StandardCopyOption.REPLACE_EXISTING);
        }
        return file;
    }
}
