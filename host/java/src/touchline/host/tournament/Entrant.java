package touchline.host.tournament;

import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import touchline.host.play.MatchSetup;
import touchline.host.sandbox.LibraryFiles;

/**
 * One team of a tournament: a name and one strategy library per robot. Given on the command
 * line as a strategy library (a team of N robots of it, named after the library) or as a team
 * file:
 *
 * <pre>
 * # comments and blank lines are ignored
 * name Duo
 * robot build/examples/libduo.so
 * robot build/examples/libduo.so
 * </pre>
 *
 * A robot's library path is read relative to the team file's folder.
 */
public record Entrant(String name, List<Path> robots) {
    public static final int MAX_ROBOTS = 5;

    /** A bad entrant: the message names the file, and for a team file the line. */
    public static final class BadEntrant extends Exception {
        private static final long serialVersionUID = 1L;

        BadEntrant(String message) {
            super(message);
        }
    }

    public static Entrant of(Path file, int robots) throws BadEntrant {
        if (!Files.isRegularFile(file)) throw new BadEntrant("no such file: " + file);
        if (isLibrary(file)) {
            library(file);
            List<Path> team = new ArrayList<>();
            for (int i = 0; i < robots; i++) team.add(file.toAbsolutePath().normalize());
            return new Entrant(MatchSetup.robotName(file), team);
        }
        return teamFile(file);
    }

    /** Checks before the first match that the file can be a strategy library. */
    private static void library(Path file) throws BadEntrant {
        String unfit = LibraryFiles.unfit(file);
        if (unfit != null) {
            throw new BadEntrant("not a strategy library: " + file + " (" + unfit + ")");
        }
    }

    /** A library is an ELF (Linux) or PE (Windows) file; anything else is read as a team file. */
    public static boolean isLibrary(Path file) throws BadEntrant {
        byte[] magic = new byte[4];
        int n;
        try (InputStream in = Files.newInputStream(file)) {
            n = in.readNBytes(magic, 0, 4);
        } catch (IOException e) {
            throw new BadEntrant("cannot read " + file + ": " + e.getMessage());
        }
        boolean elf = n == 4 && magic[0] == 0x7f && magic[1] == 'E' && magic[2] == 'L'
                && magic[3] == 'F';
        boolean pe = n >= 2 && magic[0] == 'M' && magic[1] == 'Z';
        return elf || pe;
    }

    private static Entrant teamFile(Path file) throws BadEntrant {
        List<String> lines;
        try {
            lines = Files.readAllLines(file, StandardCharsets.UTF_8);
        } catch (IOException e) {
            throw new BadEntrant("cannot read team file " + file + ": " + e.getMessage());
        }
        String name = null;
        List<Path> robots = new ArrayList<>();
        Path folder = file.toAbsolutePath().getParent();
        for (int i = 0; i < lines.size(); i++) {
            String line = lines.get(i).strip();
            if (line.isEmpty() || line.startsWith("#")) continue;
            String where = file + ":" + (i + 1) + ": ";
            String[] words = line.split("\\s+", 2);
            String value = words.length > 1 ? words[1].strip() : "";
            switch (words[0]) {
                case "name" -> {
                    if (name != null) throw new BadEntrant(where + "a second name line");
                    if (value.isEmpty()) throw new BadEntrant(where + "the name is missing");
                    name = value;
                }
                case "robot" -> {
                    if (value.isEmpty()) throw new BadEntrant(where + "the library is missing");
                    Path library;
                    try {
                        library = folder.resolve(value).normalize();
                    } catch (InvalidPathException e) {
                        throw new BadEntrant(where + "not a file name: " + value);
                    }
                    if (!Files.isRegularFile(library)) {
                        throw new BadEntrant(where + "no such library: " + library);
                    }
                    try {
                        library(library);
                    } catch (BadEntrant e) {
                        throw new BadEntrant(where + e.getMessage());
                    }
                    robots.add(library);
                }
                default -> throw new BadEntrant(where + "expected \"name TEAM\" or \"robot "
                        + "LIBRARY\", not \"" + line + "\"");
            }
        }
        if (name == null) throw new BadEntrant(file + ": no \"name TEAM\" line");
        if (robots.isEmpty() || robots.size() > MAX_ROBOTS) {
            throw new BadEntrant(file + ": a team has 1 to " + MAX_ROBOTS + " robot lines, not "
                    + robots.size());
        }
        return new Entrant(name, List.copyOf(robots));
    }
}
