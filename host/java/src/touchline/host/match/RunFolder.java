package touchline.host.match;

import java.io.IOException;
import java.nio.file.DirectoryStream;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.Comparator;
import java.util.stream.Stream;

/**
 * A run's temporary folder: under the user's runtime folder ($XDG_RUNTIME_DIR/touchline, else
 * a folder of the user's own in the system's temporary folder), named after the process that
 * made it. A run deletes its folder when it ends; one that was killed cannot, so each new run
 * first deletes the folders of processes that are gone.
 */
public final class RunFolder {
    private RunFolder() {}

    /** Makes a fresh folder for kind ("match", say), after clearing what dead runs left. */
    public static Path create(String kind) throws IOException {
        Path base = base();
        sweep(base);
        return Files.createTempDirectory(base, kind + "-" + ProcessHandle.current().pid() + "-");
    }

    /** Deletes folder and everything in it; what the system will not delete stays. */
    public static void delete(Path folder) {
        if (folder == null) return;
        try (Stream<Path> files = Files.walk(folder)) {
            for (Path file : files.sorted(Comparator.reverseOrder()).toList()) {
                Files.deleteIfExists(file);
            }
        } catch (IOException e) {
            // Nothing more can be done about a file the system will not delete.
        }
    }

    /**
     * The user's folder for runs: made private to the user, and refused if it is not the
     * user's own folder (someone else's, or a link somewhere else).
     */
    public static Path base() throws IOException {
        String runtime = System.getenv("XDG_RUNTIME_DIR");
        Path base;
        if (runtime != null && !runtime.isEmpty() && Files.isDirectory(Path.of(runtime))
                && Files.isWritable(Path.of(runtime))) {
            base = Path.of(runtime, "touchline");
        } else {
            base = Path.of(System.getProperty("java.io.tmpdir"), "touchline-" + userId());
        }
        try {
            Files.createDirectory(base,
                    PosixFilePermissions.asFileAttribute(PosixFilePermissions.fromString("rwx------")));
        } catch (java.nio.file.FileAlreadyExistsException e) {
            // Made by an earlier run; checked below.
        }
        if (!Files.isDirectory(base, LinkOption.NOFOLLOW_LINKS)
                || (int) Files.getAttribute(base, "unix:uid", LinkOption.NOFOLLOW_LINKS)
                        != userId()) {
            throw new IOException(base + " is not this user's own folder");
        }
        Files.setPosixFilePermissions(base, PosixFilePermissions.fromString("rwx------"));
        return base;
    }

    /** The user this process runs as: the owner of its own /proc entry. */
    private static int userId() throws IOException {
        return (int) Files.getAttribute(Path.of("/proc/self"), "unix:uid");
    }

    /** Deletes the folders of runs whose process is gone ("kind-PID-..."). */
    static void sweep(Path base) {
        try (DirectoryStream<Path> entries = Files.newDirectoryStream(base)) {
            for (Path entry : entries) {
                String[] parts = entry.getFileName().toString().split("-");
                if (parts.length < 3) continue;
                long pid;
                try {
                    pid = Long.parseLong(parts[1]);
                } catch (NumberFormatException e) {
                    continue;
                }
                if (pid != ProcessHandle.current().pid() && ProcessHandle.of(pid).isEmpty()) {
                    delete(entry);
                }
            }
        } catch (IOException e) {
            // A folder that cannot be listed is swept by a later run.
        }
    }
}
