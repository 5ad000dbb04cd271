package touchline.host.sandbox;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Set;
import java.util.TreeSet;
import java.util.stream.Stream;

/**
 * What every sealed robot may read besides its own files: the folders of the system's C and
 * C++ libraries and of the dynamic loader (found where this JVM mapped them from), the JDK
 * (with the configuration files its links point to), and the loader's cache. Worked out once
 * per process.
 */
final class SystemFiles {
    private static List<String> readable;

    private SystemFiles() {}

    static synchronized List<String> readable() {
        if (readable == null) readable = List.copyOf(find());
        return readable;
    }

    private static Set<String> find() {
        Set<String> paths = new TreeSet<>();
        for (String library : mappedLibraries()) {
            String name = Path.of(library).getFileName().toString();
            if (name.startsWith("libc.so") || name.startsWith("ld-linux")
                    || name.startsWith("libstdc++.so") || name.startsWith("libm.so")) {
                paths.add(Path.of(library).getParent().toString());
            }
        }
        if (Files.isDirectory(Path.of("/usr/lib64")) && !Files.isSymbolicLink(Path.of("/usr/lib64"))) {
            paths.add("/usr/lib64");
        }
        Path home = Path.of(System.getProperty("java.home"));
        paths.add(home.toString());
        try {
            Path real = home.toRealPath();
            paths.add(real.toString());
            paths.addAll(linkedFolders(real));
        } catch (IOException e) {
            // The JDK as named is all there is.
        }
        if (Files.exists(Path.of("/etc/ld.so.cache"))) paths.add("/etc/ld.so.cache");
        return paths;
    }

    private static List<String> mappedLibraries() {
        List<String> libraries = new ArrayList<>();
        try {
            for (String line : Files.readAllLines(Path.of("/proc/self/maps"),
                    StandardCharsets.UTF_8)) {
                int slash = line.indexOf('/');
                if (slash > 0 && line.contains(".so")) libraries.add(line.substring(slash));
            }
        } catch (IOException e) {
            // No /proc: the JDK and the loader's cache only.
        }
        return libraries;
    }

    /** The folders outside the JDK that its links point into (Debian's /etc/java-17-...). */
    private static Set<String> linkedFolders(Path home) {
        Set<String> folders = new TreeSet<>();
        try (Stream<Path> files = Files.walk(home)) {
            files.filter(Files::isSymbolicLink).forEach(link -> {
                try {
                    Path target = link.toRealPath();
                    if (!target.startsWith(home)) {
                        String folder = javaFolder(target);
                        if (folder != null) folders.add(folder);
                    }
                } catch (IOException e) {
                    // A dangling link: nothing to read there.
                }
            });
        } catch (IOException | java.io.UncheckedIOException e) {
            // The links that were found so far.
        }
        return folders;
    }

    /**
     * The JDK's configuration folder a link points into (/etc/java-17-openjdk for
     * /etc/java-17-openjdk/security/java.security); null for anything else, such as the
     * system's certificates, which a robot has no use for.
     */
    private static String javaFolder(Path target) {
        if (target.getNameCount() < 3) return null;
        Path folder = target.getRoot().resolve(target.subpath(0, 2));
        return folder.getFileName().toString().startsWith("java") ? folder.toString() : null;
    }
}
