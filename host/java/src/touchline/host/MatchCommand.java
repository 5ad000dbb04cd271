package touchline.host;

import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.AccessDeniedException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.FileSystemException;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.NoSuchFileException;
import java.nio.file.NotDirectoryException;
import java.nio.file.Path;
import java.time.Duration;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;
import touchline.host.match.Match;
import touchline.host.match.MatchConfig;
import touchline.host.match.MatchResult;
import touchline.host.match.ReplayWriter;
import touchline.host.match.Summary;
import touchline.host.robot.Team;
import touchline.host.replay.ReplayOutputs;
import touchline.host.scene.Scene;
import touchline.host.scene.SceneCheck;
import touchline.host.scene.SceneException;

/**
 * touchline-match: plays one match between strategy libraries on the local host, prints a
 * summary, and with --out writes the replay and the summary into a directory.
 */
public final class MatchCommand {
    static final String NAME = "touchline-match";
    static final int MAX_ROBOTS = 5;
    static final long MAX_STEPS = 10_000_000;
    static final long MAX_DEADLINE_MS = 600_000;
    /** Exit status when a scene's expectation did not hold. */
    static final int EXPECTATION_FAILED = 3;
    /** Extra JVM options for the robot processes (-Xcheck:jni, say), space-separated. */
    static final String ROBOT_OPTIONS_PROPERTY = "touchline.robot.options";
    static final String ROBOT_OPTIONS_VARIABLE = "TOUCHLINE_ROBOT_OPTIONS";
    /** Set by the launcher script when stderr is a terminal. */
    static final String PROGRESS_PROPERTY = "touchline.progress";

    static final String USAGE = """
            Usage: touchline-match --home LIBRARY... --away LIBRARY... [options]
                   touchline-match --scene FILE [--strategy NAME=LIBRARY]... [options]

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
              --watchdog-ms N     without a deadline: a robot that has not ended its step
                                  after N milliseconds is stopped (default 5000)
              --echo ROBOT        write the robot's prints to stderr as the match goes, each
                                  after its step, id and name; ROBOT is an id, a name or
                                  "all"; may be repeated
              --out DIR           write replay.jsonl and summary.txt into DIR (created if
                                  needed), with replay.html to watch the match in a
                                  browser and the pictures final.png and trails.png;
                                  the files are the same for the same match; a robot
                                  process's crash report goes there too
              --scene FILE        play a scene: the robots, their libraries and places,
                                  the ball, the steps and the seed come from FILE, and its
                                  expectations are checked after the match (--steps and
                                  --seed still override it)
              --strategy NAME=LIBRARY
                                  a scene's robot line naming NAME plays LIBRARY; may be
                                  repeated
              --help              this text

            Each robot plays in a process of its own: a robot that crashes, fails or hangs
            stands still, and the match plays on. Ctrl-C ends the match early, with the
            summary so far.

            Exit status: 0 when the match was played, whatever its robots did; 2 for bad
            arguments or a bad scene; 1 when the host failed or could not write the replay;
            3 when a scene's expectation failed; 130 or 143 when interrupted (SIGINT,
            SIGTERM).
            """;

    /** A bad command line: its message is the one line printed. */
    static final class UsageException extends Exception {
        private static final long serialVersionUID = 1L;

        UsageException(String message) {
            super(message);
        }
    }

    record Options(List<Path> home, List<Path> away, long steps, long seed, Duration deadline,
            Duration watchdog, Path out, List<String> echo, boolean help, Scenes scenes) {}

    /**
     * --scene and --strategy, and whether --steps and --seed were given (they override the
     * scene's). The scene is read once the command line is whole.
     */
    record Scenes(Path file, Map<String, Path> strategies, boolean steps, boolean seed,
            Scene scene) {}

    /** The match being played, for the shutdown hook; and the end of main's work. */
    private static volatile Match current;
    private static final CountDownLatch DONE = new CountDownLatch(1);

    private MatchCommand() {}

    public static void main(String[] args) {
        boolean progress = Boolean.getBoolean(PROGRESS_PROPERTY);
        // SIGINT and SIGTERM: the match stops at the step it plays, the robots are ended, the
        // replay gets its end line and the summary so far is printed; the JVM then exits with
        // 128 + the signal's number.
        Runtime.getRuntime().addShutdownHook(new Thread(() -> {
            Match match = current;
            if (match == null) return;
            match.interrupt();
            try {
                DONE.await(20, TimeUnit.SECONDS);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
        }, "touchline-interrupt"));
        int status;
        try {
            status = run(args, System.out, System.err, progress);
        } catch (RuntimeException e) {
            System.err.println(NAME + ": the match failed: " + Summary.oneLine(e));
            status = 1;
        }
        System.out.flush();
        DONE.countDown();
        System.exit(status);
    }

    static int run(String[] args, PrintStream out, PrintStream err, boolean progress) {
        Options options;
        try {
            options = parse(args);
            if (options.help()) {
                out.print(USAGE);
                return 0;
            }
            options = withScene(options);
            prepareOut(options.out());
            check(options.home());
            check(options.away());
        } catch (UsageException e) {
            err.println(NAME + ": " + e.getMessage());
            return 2;
        }
        try {
            return play(options, out, err, progress);
        } catch (UsageException e) {
            err.println(NAME + ": " + e.getMessage());
            return 2;
        } catch (IOException e) {
            err.println(NAME + ": the match failed: " + e.getMessage());
            return 1;
        }
    }

    /** Robot JVM options: the system property, else the environment variable. */
    static List<String> robotOptions() {
        String options = System.getProperty(ROBOT_OPTIONS_PROPERTY);
        if (options == null) options = System.getenv(ROBOT_OPTIONS_VARIABLE);
        if (options == null || options.isBlank()) return List.of();
        return Arrays.asList(options.trim().split("\\s+"));
    }

    private static int play(Options options, PrintStream out, PrintStream err, boolean progress)
            throws IOException, UsageException {
        ProgressBar bar = progress ? new ProgressBar(err, options.steps()) : null;
        ReplayFile replay = options.out() == null ? null : new ReplayFile(options.out(), err);
        Echo echo = options.echo().isEmpty() ? null : new Echo(err);
        Scene scene = options.scenes().scene();
        SceneCheck check = scene == null ? null : new SceneCheck(scene);
        MatchConfig config = new MatchConfig().steps(options.steps()).seed(options.seed())
                .deadline(options.deadline()).watchdog(options.watchdog())
                .robotJavaOptions(robotOptions()).crashFolder(options.out())
                .observer((time, ball, teams, events) -> {
                    if (replay != null) replay.stepped(time, ball, teams, events);
                    if (bar != null) bar.show(time, teams);
                    if (check != null) check.stepped(time, ball, teams, events);
                })
                .debugObserver((robot, time, output) -> {
                    if (replay != null) replay.debug(robot, time, output);
                    if (echo != null) echo.show(robot, time, output.prints(), bar);
                    if (check != null) check.printed(robot, time, output.prints());
                });
        if (scene != null) config.placement(scene.placement());
        Match match = new Match(config, players(options.home()), players(options.away()));
        if (!options.echo().isEmpty()) echo.choose(match, options.echo());
        current = match;
        try {
            Map<Integer, String> errors = match.start();
            if (!errors.isEmpty()) {
                match.abandon();
                int id = errors.keySet().iterator().next();
                throw new UsageException("not a strategy library: " + library(options, id) + " ("
                        + errors.get(id) + ")");
            }
            if (replay != null) replay.open(match, options.seed());
            MatchResult result = match.play();
            if (bar != null) bar.done();
            String summary = Summary.of(match.simulation(), result, options.seed());
            out.print(summary);
            boolean held = check == null || result.interrupted() || check.report(out);
            out.flush();
            boolean written = true;
            if (replay != null) {
                written = replay.finish(result, summary);
                replay.close();
                // The page and the pictures are made from the finished replay; an interrupted
                // match ends at once, with its replay only.
                if (written && !result.interrupted()) written = pageAndPictures(options.out(), err);
                if (!held) err.println(NAME + ": watch it: " + options.out().resolve("replay.html"));
            }
            if (!written) return 1;
            return held ? 0 : EXPECTATION_FAILED;
        } finally {
            if (replay != null) replay.close();
            current = null;
        }
    }

    /** replay.html, final.png and trails.png beside the replay; false if they failed. */
    private static boolean pageAndPictures(Path folder, PrintStream err) {
        try {
            ReplayOutputs.write(folder.resolve("replay.jsonl"));
            return true;
        } catch (IOException | RuntimeException e) {
            err.println(NAME + ": cannot write the replay page and pictures: " + e.getMessage());
            return false;
        }
    }

    private static Path library(Options options, int id) {
        int home = options.home().size();
        return id <= home ? options.home().get(id - 1) : options.away().get(id - 1 - home);
    }

    /**
     * replay.jsonl and summary.txt in the --out folder. A write that fails stops the recording
     * with one line naming the file and the system's reason; the match plays on.
     */
    private static final class ReplayFile {
        private final Path folder;
        private final PrintStream err;
        private OutputStream stream;
        private ReplayWriter writer;
        private boolean told;

        ReplayFile(Path folder, PrintStream err) {
            this.folder = folder;
            this.err = err;
        }

        void open(Match match, long seed) throws IOException {
            Path file = folder.resolve("replay.jsonl");
            try {
                stream = Files.newOutputStream(file);
            } catch (IOException e) {
                throw new IOException("cannot write " + file + ": " + reason(e), e);
            }
            writer = new ReplayWriter(stream, file);
            writer.header(match.simulation(), seed);
            check();
        }

        void stepped(long time, touchline.host.robot.Ball ball, List<Team> teams,
                Map<Integer, List<touchline.host.robot.Event>> events) {
            if (writer == null) return;
            writer.stepped(time, ball, teams, events);
            check();
        }

        void debug(int robot, long time, touchline.host.robot.DebugConsole.Output output) {
            if (writer == null) return;
            writer.debug(robot, time, output);
            check();
        }

        /** Writes the end line and summary.txt; false when anything could not be written. */
        boolean finish(MatchResult result, String summary) {
            writer.end(result);
            check();
            boolean written = writer.error() == null;
            Path file = folder.resolve("summary.txt");
            try {
                Files.writeString(file, summary, StandardCharsets.UTF_8);
            } catch (IOException e) {
                err.println(NAME + ": cannot write " + file + ": " + reason(e));
                written = false;
            }
            return written;
        }

        private void check() {
            if (told || writer.error() == null) return;
            told = true;
            err.println(NAME + ": cannot write " + writer.file() + ": "
                    + reason(writer.error()) + "; the recording stops, the match plays on");
        }

        void close() {
            if (stream == null) return;
            try {
                stream.close();
            } catch (IOException e) {
                check();
            }
            stream = null;
        }
    }

    /** --echo: the chosen robots' prints on stderr, as each robot's step reaches the match. */
    private static final class Echo {
        private final PrintStream err;
        private final java.util.Map<Integer, String> names = new java.util.HashMap<>();

        Echo(PrintStream err) {
            this.err = err;
        }

        void choose(Match match, List<String> chosen) {
            for (int id : match.simulation().robotIds()) {
                String name = match.simulation().robotName(id);
                if (chosen.contains("all") || chosen.contains(Integer.toString(id))
                        || chosen.contains(name)) {
                    names.put(id, name);
                }
            }
        }

        void show(int robot, long time, List<String> prints, ProgressBar bar) {
            String name = names.get(robot);
            if (name == null || prints.isEmpty()) return;
            if (bar != null) bar.done();
            for (String text : prints) {
                err.println("[" + time + "] " + robot + " " + name + ": " + text);
            }
        }
    }

    /** The system's reason for a failed file operation, without the file names. */
    static String reason(IOException e) {
        if (e instanceof FileSystemException f && f.getReason() != null) return f.getReason();
        if (e instanceof NoSuchFileException) return "No such file or directory";
        if (e instanceof AccessDeniedException) return "Permission denied";
        if (e instanceof FileAlreadyExistsException) return "File exists";
        if (e instanceof NotDirectoryException) return "Not a directory";
        return e.getMessage() == null ? e.getClass().getSimpleName() : e.getMessage();
    }

    /** A robot's name is its library's file name without "lib" and the extension. */
    static List<Match.Player> players(List<Path> libraries) {
        List<Match.Player> players = new ArrayList<>();
        for (Path library : libraries) {
            players.add(Match.Player.library(robotName(library), library));
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
        Duration watchdog = MatchConfig.DEFAULT_WATCHDOG;
        Path out = null;
        List<String> echo = new ArrayList<>();
        boolean help = false;
        Path scene = null;
        Map<String, Path> strategies = new java.util.LinkedHashMap<>();
        boolean stepsGiven = false;
        boolean seedGiven = false;
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
            if (!List.of("--robots", "--steps", "--seed", "--deadline-ms", "--watchdog-ms",
                    "--out", "--echo", "--scene", "--strategy").contains(option)) {
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
                case "--steps" -> {
                    steps = number(option, value, 1, MAX_STEPS);
                    stepsGiven = true;
                }
                case "--seed" -> {
                    seed = number(option, value, Long.MIN_VALUE, Long.MAX_VALUE);
                    seedGiven = true;
                }
                case "--scene" -> scene = path(option, value);
                case "--strategy" -> {
                    int at = value.indexOf('=');
                    if (at < 1 || at == value.length() - 1) {
                        throw new UsageException("--strategy needs NAME=LIBRARY, not \"" + value
                                + "\"");
                    }
                    strategies.put(value.substring(0, at), path(option, value.substring(at + 1)));
                }
                case "--deadline-ms" ->
                    deadline = Duration.ofMillis(number(option, value, 1, MAX_DEADLINE_MS));
                case "--echo" -> echo.add(value);
                case "--watchdog-ms" ->
                    watchdog = Duration.ofMillis(number(option, value, 1, MAX_DEADLINE_MS));
                default -> {
                    if (value.isEmpty()) throw new UsageException("--out needs a folder name");
                    out = path(option, value);
                }
            }
        }
        Scenes scenes = new Scenes(scene, Map.copyOf(strategies), stepsGiven, seedGiven, null);
        if (help) {
            return new Options(home, away, steps, seed, deadline, watchdog, out, echo, true,
                    scenes);
        }
        if (scene != null) {
            if (!home.isEmpty() || !away.isEmpty() || robots != null) {
                throw new UsageException("--scene names the robots: give no --home, --away or"
                        + " --robots with it");
            }
            return new Options(home, away, steps, seed, deadline, watchdog, out,
                    List.copyOf(echo), false, scenes);
        }
        if (!strategies.isEmpty()) throw new UsageException("--strategy is for --scene");
        if (home.isEmpty()) throw new UsageException("no home team: give --home LIBRARY...");
        if (away.isEmpty()) throw new UsageException("no away team: give --away LIBRARY...");
        return new Options(team("--home", home, robots), team("--away", away, robots), steps,
                seed, deadline, watchdog, out, List.copyOf(echo), false, scenes);
    }

    /**
     * With --scene: reads the scene and takes its teams, and its steps and seed unless the
     * command line gave them. A scene that cannot be played is a bad argument.
     */
    static Options withScene(Options options) throws UsageException {
        Scenes scenes = options.scenes();
        if (scenes.file() == null) return options;
        Scene scene;
        try {
            scene = Scene.read(scenes.file(), scenes.strategies());
        } catch (SceneException e) {
            throw new UsageException(e.getMessage());
        }
        return new Options(scene.team(true), scene.team(false),
                scenes.steps() ? options.steps() : scene.steps(),
                scenes.seed() ? options.seed() : scene.seed(), options.deadline(),
                options.watchdog(), options.out(), options.echo(), false,
                new Scenes(scenes.file(), scenes.strategies(), scenes.steps(), scenes.seed(),
                        scene));
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

    /** Creates the --out folder; any failure is a bad argument, with the system's reason. */
    private static void prepareOut(Path out) throws UsageException {
        if (out == null) return;
        if (Files.exists(out) && !Files.isDirectory(out)) {
            throw new UsageException("--out " + out + " is not a directory");
        }
        try {
            Files.createDirectories(out);
        } catch (IOException e) {
            throw new UsageException("--out " + out + ": cannot create the folder: " + reason(e));
        }
        if (!Files.isWritable(out)) {
            throw new UsageException("--out " + out + ": cannot write into it: Permission denied");
        }
    }

    /** Every library must be a readable file; whether it is a strategy library, loading tells. */
    private static void check(List<Path> libraries) throws UsageException {
        for (Path library : libraries) {
            if (!Files.exists(library)) throw new UsageException("no such file: " + library);
            if (!Files.isRegularFile(library) || !Files.isReadable(library)) {
                throw new UsageException("not a readable file: " + library);
            }
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

        /** Clears the line; the next step draws it again. */
        void done() {
            lastShown = -1;
            err.print("\r" + " ".repeat(WIDTH + 40) + "\r");
            err.flush();
        }
    }
}
