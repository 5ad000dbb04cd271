package touchline.host;

import java.io.IOException;
import java.io.OutputStreamWriter;
import java.io.PrintStream;
import java.io.UncheckedIOException;
import java.io.Writer;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.time.Duration;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import touchline.host.replay.ReplayOutputs;

/**
 * touchline-match: plays one match between strategy libraries on the local host, prints a
 * summary, and with --out writes the replay and the summary into a directory.
 */
public final class MatchCommand {
    static final String NAME = "touchline-match";
    static final int MAX_ROBOTS = 5;
    static final long MAX_STEPS = 10_000_000;
    static final long MAX_DEADLINE_MS = 600_000;
    /** Set by the launcher script when stderr is a terminal. */
    static final String PROGRESS_PROPERTY = "touchline.progress";

    static final String USAGE = """
            Usage: touchline-match --home LIBRARY... --away LIBRARY... [options]

            Plays a match between two teams of strategy libraries, one library per robot, and
            prints the score, the goals and each robot's figures.

              --home LIBRARY...   the home team (attacks towards x = width): one strategy
                                  library per robot, in kick-off order (the first one is
                                  placed in front of the team's own goal)
              --away LIBRARY...   the away team (attacks towards x = 0), likewise
              --robots N          with one library for a team: play N robots with it
                                  (1 to 5); with several, N must match their number
              --steps N           steps the match lasts (default 3000)
              --seed N            seed of the kick-off rolls (default 1); the same libraries,
                                  settings and seed give the same match
              --deadline-ms N     a robot that has not ended its step after N milliseconds
                                  misses it; after 20 missed in a row it is stopped
                                  (default: no deadline, every step waits for every robot)
              --out DIR           write replay.jsonl and summary.txt into DIR (created if
                                  needed), with replay.html to watch the match in a
                                  browser and the pictures final.png and trails.png;
                                  the files are the same for the same match
              --help              this text

            Exit status: 0 when the match was played, 2 for bad arguments, 1 for other errors.
            """;

    /** A bad command line: its message is the one line printed. */
    static final class UsageException extends Exception {
        private static final long serialVersionUID = 1L;

        UsageException(String message) {
            super(message);
        }
    }

    record Options(List<Path> home, List<Path> away, long steps, long seed, Duration deadline,
            Path out, boolean help) {}

    private MatchCommand() {}

    public static void main(String[] args) {
        boolean progress = Boolean.getBoolean(PROGRESS_PROPERTY);
        int status;
        try {
            status = run(args, System.out, System.err, progress);
        } catch (RuntimeException e) {
            System.err.println(NAME + ": the match failed: " + Summary.oneLine(e));
            status = 1;
        }
        System.out.flush();
        // Robot threads stuck in native code are daemons; exit does not wait for them.
        System.exit(status);
    }

    static int run(String[] args, PrintStream out, PrintStream err, boolean progress) {
        Options options;
        List<NativeStrategy> home = new ArrayList<>();
        List<NativeStrategy> away = new ArrayList<>();
        Path copies = null;
        try {
            options = parse(args);
            if (options.help()) {
                out.print(USAGE);
                return 0;
            }
            prepareOut(options.out());
            copies = Files.createTempDirectory("touchline-match-");
            load(options.home(), copies, home);
            load(options.away(), copies, away);
        } catch (UsageException | IOException e) {
            err.println(NAME + ": " + e.getMessage());
            for (NativeStrategy strategy : home) strategy.close();
            for (NativeStrategy strategy : away) strategy.close();
            deleteQuietly(copies);
            return e instanceof UsageException ? 2 : 1;
        }
        try {
            return play(options, home, away, out, err, progress);
        } catch (IOException | UncheckedIOException e) {
            err.println(NAME + ": cannot write the replay: " + e.getMessage());
            return 1;
        } catch (InterruptedException e) {
            err.println(NAME + ": interrupted");
            return 1;
        } finally {
            deleteQuietly(copies);
        }
    }

    private static int play(Options options, List<NativeStrategy> home, List<NativeStrategy> away,
            PrintStream out, PrintStream err, boolean progress)
            throws IOException, InterruptedException {
        Writer replayFile = null;
        ReplayWriter replay = null;
        if (options.out() != null) {
            replayFile = new OutputStreamWriter(
                    Files.newOutputStream(options.out().resolve("replay.jsonl")),
                    StandardCharsets.UTF_8);
            replay = new ReplayWriter(replayFile);
        }
        ProgressBar bar = progress ? new ProgressBar(err, options.steps()) : null;
        ReplayWriter writer = replay;
        MatchConfig config = new MatchConfig().steps(options.steps()).seed(options.seed())
                .deadline(options.deadline())
                .observer((time, ball, teams, events) -> {
                    if (writer != null) writer.stepped(time, ball, teams, events);
                    if (bar != null) bar.show(time, teams);
                });
        Match match = new Match(config, players(home), players(away));
        try {
            if (replay != null) replay.header(match.simulation(), options.seed());
            MatchResult result = match.play();
            if (bar != null) bar.done();
            String summary = Summary.of(match.simulation(), result, options.seed());
            out.print(summary);
            if (replay != null) {
                replay.debug(result);
                replay.end(result);
                Files.writeString(options.out().resolve("summary.txt"), summary,
                        StandardCharsets.UTF_8);
                replayFile.close();
                ReplayOutputs.write(options.out().resolve("replay.jsonl"));
            }
            return 0;
        } finally {
            if (replayFile != null) replayFile.close();
        }
    }

    /** A robot's name is its library's file name without "lib" and the extension. */
    static List<Match.Player> players(List<NativeStrategy> strategies) {
        List<Match.Player> players = new ArrayList<>();
        for (NativeStrategy strategy : strategies) {
            players.add(new Match.Player(robotName(strategy.library()), strategy));
        }
        return players;
    }

    static String robotName(Path library) {
        String name = library.getFileName().toString();
        int dot = name.indexOf('.');
        if (dot > 0) name = name.substring(0, dot);
        if (name.startsWith("lib") && name.length() > 3) name = name.substring(3);
        return name;
    }

    static Options parse(String[] args) throws UsageException {
        List<Path> home = new ArrayList<>();
        List<Path> away = new ArrayList<>();
        Integer robots = null;
        long steps = 3000;
        long seed = 1;
        Duration deadline = null;
        Path out = null;
        boolean help = false;
        for (int i = 0; i < args.length; i++) {
            String option = args[i];
            String inline = null;
            int equals = option.indexOf('=');
            if (option.startsWith("--") && equals > 0) {
                inline = option.substring(equals + 1);
                option = option.substring(0, equals);
            }
            if (option.equals("--help") || option.equals("-h")) {
                help = true;
                continue;
            }
            if (option.equals("--home") || option.equals("--away")) {
                List<Path> team = option.equals("--home") ? home : away;
                if (inline != null) team.add(path(option, inline));
                while (i + 1 < args.length && !args[i + 1].startsWith("--")) {
                    team.add(path(option, args[++i]));
                }
                if (team.isEmpty()) throw new UsageException(option + " needs a library");
                continue;
            }
            if (!option.startsWith("-")) {
                throw new UsageException("unexpected argument " + option + " (see --help)");
            }
            if (!List.of("--robots", "--steps", "--seed", "--deadline-ms", "--out")
                    .contains(option)) {
                throw new UsageException("unknown option " + option + " (see --help)");
            }
            String value = inline;
            if (value == null) {
                if (i + 1 >= args.length || args[i + 1].startsWith("--")) {
                    throw new UsageException(option + " needs a value");
                }
                value = args[++i];
            }
            switch (option) {
                case "--robots" -> robots = (int) number(option, value, 1, MAX_ROBOTS);
                case "--steps" -> steps = number(option, value, 1, MAX_STEPS);
                case "--seed" -> seed = number(option, value, Long.MIN_VALUE, Long.MAX_VALUE);
                case "--deadline-ms" ->
                    deadline = Duration.ofMillis(number(option, value, 1, MAX_DEADLINE_MS));
                default -> out = path(option, value);
            }
        }
        if (help) return new Options(home, away, steps, seed, deadline, out, true);
        if (home.isEmpty()) throw new UsageException("no home team: give --home LIBRARY...");
        if (away.isEmpty()) throw new UsageException("no away team: give --away LIBRARY...");
        return new Options(team("--home", home, robots), team("--away", away, robots), steps,
                seed, deadline, out, false);
    }

    private static List<Path> team(String option, List<Path> libraries, Integer robots)
            throws UsageException {
        if (robots != null && libraries.size() == 1) {
            List<Path> copies = new ArrayList<>();
            for (int i = 0; i < robots; i++) copies.add(libraries.get(0));
            return copies;
        }
        if (robots != null && robots != libraries.size()) {
            throw new UsageException("--robots " + robots + " but " + option + " names "
                    + libraries.size() + " libraries");
        }
        if (libraries.size() > MAX_ROBOTS) {
            throw new UsageException(option + " names " + libraries.size()
                    + " libraries; a team has 1 to " + MAX_ROBOTS + " robots");
        }
        return List.copyOf(libraries);
    }

    private static Path path(String option, String text) throws UsageException {
        try {
            return Path.of(text);
        } catch (InvalidPathException e) {
            throw new UsageException(option + ": not a file name: " + text);
        }
    }

    private static long number(String option, String text, long low, long high)
            throws UsageException {
        long value;
        try {
            value = Long.parseLong(text);
        } catch (NumberFormatException e) {
            throw new UsageException(option + " needs a whole number, not \"" + text + "\"");
        }
        if (value < low || value > high) {
            throw new UsageException(String.format(Locale.ROOT, "%s %d is out of range (%d to %d)",
                    option, value, low, high));
        }
        return value;
    }

    private static void prepareOut(Path out) throws UsageException, IOException {
        if (out == null) return;
        if (Files.exists(out) && !Files.isDirectory(out)) {
            throw new UsageException("--out " + out + " is not a directory");
        }
        Files.createDirectories(out);
    }

    /**
     * Loads every library into loaded, in order; the first that is missing or no strategy
     * library ends it, and the caller closes what was loaded.
     */
    private static void load(List<Path> libraries, Path copies, List<NativeStrategy> loaded)
            throws UsageException {
        for (Path library : libraries) {
            if (!Files.exists(library)) throw new UsageException("no such file: " + library);
            if (!Files.isRegularFile(library) || !Files.isReadable(library)) {
                throw new UsageException("not a readable file: " + library);
            }
            NativeStrategy strategy = new NativeStrategy(library, copies);
            try {
                strategy.load();
            } catch (StrategyLoadException e) {
                throw new UsageException("not a strategy library: " + library + " ("
                        + Summary.oneLine(e) + ")");
            }
            loaded.add(strategy);
        }
    }

    private static void deleteQuietly(Path directory) {
        if (directory == null) return;
        try (var files = Files.list(directory)) {
            for (Path file : files.toList()) Files.deleteIfExists(file);
            Files.deleteIfExists(directory);
        } catch (IOException e) {
            // A copy the system still holds open stays behind in the temporary directory.
        }
    }

    /** One line on stderr, redrawn as the match goes: steps played and the score. */
    static final class ProgressBar {
        private static final int WIDTH = 30;
        private final PrintStream err;
        private final long total;
        private int lastShown = -1;

        ProgressBar(PrintStream err, long total) {
            this.err = err;
            this.total = total;
        }

        void show(long time, List<Team> teams) {
            int filled = (int) (WIDTH * time / total);
            int permille = (int) (1000 * time / total);
            if (permille == lastShown) return;
            lastShown = permille;
            StringBuilder score = new StringBuilder();
            for (Team team : teams) {
                if (score.length() > 0) score.append(" : ");
                score.append((long) team.getScore());
            }
            err.print("\r[" + "#".repeat(filled) + " ".repeat(WIDTH - filled) + "] " + time + "/"
                    + total + "  " + score);
            err.flush();
        }

        void done() {
            err.print("\r" + " ".repeat(WIDTH + 40) + "\r");
            err.flush();
        }
    }
}
