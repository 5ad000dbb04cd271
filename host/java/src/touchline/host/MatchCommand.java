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
import java.util.SplittableRandom;
import java.util.Set;
import java.util.concurrent.ConcurrentHashMap;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import touchline.host.match.Json;
import touchline.host.match.LiveServer;
import touchline.host.match.Match;
import touchline.host.match.MatchConfig;
import touchline.host.match.MatchResult;
import touchline.host.match.OutputFolder;
import touchline.host.match.ReplayWriter;
import touchline.host.match.RobotOutcome;
import touchline.host.match.Summary;
import touchline.host.match.Visible;
import touchline.host.physics.World;
import touchline.host.robot.Team;
import touchline.host.sandbox.LibraryFiles;
import touchline.host.sandbox.Sandbox;
import touchline.host.tournament.Entrant;
import picocli.CommandLine;
import picocli.CommandLine.Command;
import picocli.CommandLine.MissingParameterException;
import picocli.CommandLine.Model.OptionSpec;
import picocli.CommandLine.Option;
import picocli.CommandLine.ParameterException;
import picocli.CommandLine.Parameters;
import picocli.CommandLine.ParseResult;
import picocli.CommandLine.UnmatchedArgumentException;
import touchline.host.replay.ReplayOutputs;
import touchline.host.replay.ReplayPage;
import touchline.host.scene.Scene;
import touchline.host.scene.SceneCheck;
import touchline.host.scene.SceneException;
import touchline.host.tournament.Version;

/**
 * touchline-match: plays one match between strategy libraries on the local host, prints a
 * summary, and with --out writes the replay and the summary into a directory.
 */
public final class MatchCommand {
    static final String NAME = "touchline-match";
    static final int MAX_ROBOTS = 5;
    static final long MAX_STEPS = 10_000_000;
    static final long MAX_DEADLINE_MS = 600_000;
    static final long MAX_SERIES = 10_000;
    static final long MAX_TIME_BANK_MS = 86_400_000;
    /** Exit status when a scene's expectation did not hold. */
    static final int EXPECTATION_FAILED = 3;
    /** Extra JVM options for the robot processes (-Xcheck:jni, say), space-separated. */
    static final String ROBOT_OPTIONS_PROPERTY = "touchline.robot.options";
    static final String ROBOT_OPTIONS_VARIABLE = "TOUCHLINE_ROBOT_OPTIONS";
    /** Set by the launcher script when stderr is a terminal. */
    static final String PROGRESS_PROPERTY = "touchline.progress";
    /** The documentation's folder, set by the launcher script; --help names it. */
    static final String DOC_PROPERTY = "touchline.doc";

    static final String USAGE = """
            Usage: touchline-match --home LIBRARY... --away LIBRARY... [options]

            Plays a match between two teams of strategy libraries, one library per robot, and
            prints the score, the goals and each robot's figures.

              --home LIBRARY...   the home team (attacks towards x = width): one strategy
                                  library per robot, in kick-off order (the first one is
                                  placed in front of the team's own goal), or a team file
                                  (its name and its robots, as touchline-tournament reads it)
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
              --home-name NAME    the home team's name (default: the library's name when
                                  one library plays the whole team, else "Home")
              --away-name NAME    the away team's name (default likewise, else "Away")
              --json              print the summary as one JSON object on stdout (the
                                  table goes to stderr); --out writes it as summary.json
              --series K          play K matches, sides swapped in every second one, two
                                  matches on each seed derived from --seed, and print
                                  the home team's totals and win rate (with --out, each
                                  match in DIR/match-0001 ...)
              --jobs J            play J matches of a series at a time (default: the
                                  number of cores); the results are the same whatever J
              --scene FILE        play a scene: the robots, their libraries and places,
                                  the ball, the steps and the seed come from FILE, and its
                                  expectations are checked after the match (--steps and
                                  --seed still override it)
              --strategy NAME=LIBRARY
                                  a scene's robot line naming NAME plays LIBRARY; may be
                                  repeated
              --live              watch the match as it plays: serves the replay page on
                                  this machine (the address is printed on stderr) and
                                  streams the match to every page that opens it; the
                                  match never waits for a page
              --live-port N       the live page's port (default: one the system chooses)
              --live-keep         after the match, keep serving the live page until
                                  Ctrl-C
              --compare DIR       draw the replay in DIR (or the replay file DIR names) as
                                  ghosts over this match, on the page of --out and --live
              --no-sandbox        play every robot unsealed (for a debugger); by default
                                  each robot is sealed in a sandbox of its own where the
                                  machine allows, and the match says so where it cannot
              --require-sandbox   refuse to play where robots cannot be sealed
              --robot-memory MIB  the memory of each robot, JVM included (default 1024)
              --robot-threads N   the threads of each robot (default 64)
              --robot-files N     the open files of each robot (default 256)
              --robot-disk MIB    the bytes each robot may write in its /tmp (default 16)
              --time-bank-ms N    each robot's thinking time for the whole match
                                  (default 10000), besides ...
              --time-per-step-ms N
                                  ... N ms more for every step it is sent (default 10); a
                                  robot that spends it all is stopped
              --help              this text
              --version           the version

            Each robot plays in a process of its own, sealed: it sees no other process, no
            network and no file but what it needs, and cannot start a process. A robot
            that crashes, fails, hangs or reaches a limit stands still, and the match plays
            on. Ctrl-C ends the match early, with the summary so far. Messages go between
            teammates only: one sent to a robot of the other team, or to an id no robot
            has, is not delivered, and counted.

            Exit status: 0 when the match was played, whatever its robots did; 2 for bad
            arguments or a bad scene; 1 when the host failed or could not write the replay;
            3 when a scene's expectation failed; 130 or 143 when interrupted (SIGINT,
            SIGTERM).

            The documentation, as Markdown and HTML, is in
            ${DOCS}:
            host.md: the world, every constant, scenes, the replay and its page;
            strategy-guide.md: writing a strategy. The manual page: touchline-match(1).
            """;

    /** A bad command line: its message is the one line printed. */
    static final class UsageException extends Exception {
        private static final long serialVersionUID = 1L;

        UsageException(String message) {
            super(message);
        }
    }

    record Options(List<Path> home, List<Path> away, long steps, long seed, Duration deadline,
            Duration watchdog, Path out, List<String> echo, boolean help, boolean version,
            String homeName, String awayName, boolean json, int series, int jobs,
            Scenes scenes, Fairness fairness, Watch watch) {

        /** The same options for one match of a series: its seed, sides and folder. */
        Options forMatch(long matchSeed, boolean swapped, Path folder) {
            return new Options(swapped ? away : home, swapped ? home : away, steps, matchSeed,
                    deadline, watchdog, folder, echo, false, false, swapped ? awayName : homeName,
                    swapped ? homeName : awayName, json, 0, 1, scenes, fairness, watch);
        }
    }

    /**
     * How the match is watched: --live (with its port, 0 for any, and whether the page stays
     * after the match) and the replay of --compare (null: none).
     */
    record Watch(boolean live, int port, boolean keep, Path compare) {}

    /**
     * What keeps robots to their own: whether they are sealed in sandboxes (--no-sandbox turns
     * that off), the kernel's limits on each, and their time bank.
     */
    record Fairness(boolean sandbox, boolean required, Sandbox.Limits limits,
            Duration timeBank, Duration timePerStep) {

        /** The match's sandbox: null to seal robots where the machine allows. */
        Sandbox chosen() {
            return sandbox ? null : Sandbox.off("--no-sandbox");
        }
    }

    /**
     * --scene and --strategy, and whether --steps and --seed were given (they override the
     * scene's). The scene is read once the command line is whole.
     */
    record Scenes(Path file, Map<String, Path> strategies, boolean steps, boolean seed,
            Scene scene) {}

    /**
     * The command line as picocli reads it. Values are kept as text and checked by parse(), so
     * that every bad value is told in the same words.
     */
    @Command(name = NAME, mixinStandardHelpOptions = true, versionProvider = Version.class,
            description = "Plays a match between two teams of strategy libraries.")
    static final class Line {
        @Option(names = "--home", arity = "1..*", paramLabel = "LIBRARY",
                description = "the home team: one strategy library per robot")
        List<String> home = new ArrayList<>();

        @Option(names = "--away", arity = "1..*", paramLabel = "LIBRARY",
                description = "the away team: one strategy library per robot")
        List<String> away = new ArrayList<>();

        @Option(names = "--robots", paramLabel = "N", description = "robots of a one-library team")
        String robots;

        @Option(names = "--steps", paramLabel = "N", description = "steps the match lasts")
        String steps;

        @Option(names = "--seed", paramLabel = "N", description = "seed of the kick-off rolls")
        String seed;

        @Option(names = "--deadline-ms", paramLabel = "N", description = "a step's deadline")
        String deadline;

        @Option(names = "--watchdog-ms", paramLabel = "N", description = "the watchdog")
        String watchdog;

        @Option(names = "--out", paramLabel = "DIR", description = "the folder to write into")
        String out;

        @Option(names = "--echo", paramLabel = "ROBOT", description = "echo a robot's prints")
        List<String> echo = new ArrayList<>();

        @Option(names = "--home-name", paramLabel = "NAME", description = "the home team's name")
        String homeName;

        @Option(names = "--away-name", paramLabel = "NAME", description = "the away team's name")
        String awayName;

        @Option(names = "--json", description = "the summary as JSON on stdout")
        boolean json;

        @Option(names = "--series", paramLabel = "K", description = "K matches, sides swapped")
        String series;

        @Option(names = "--jobs", paramLabel = "J", description = "matches of a series at a time")
        String jobs;

        @Option(names = "--scene", paramLabel = "FILE", description = "play a scene")
        String scene;

        @Option(names = "--strategy", paramLabel = "NAME=LIBRARY",
                description = "the library a scene's robot names")
        List<String> strategy = new ArrayList<>();

        @Option(names = "--live", description = "watch the match live in a browser")
        boolean live;

        @Option(names = "--live-port", paramLabel = "N", description = "the live page's port")
        String livePort;

        @Option(names = "--live-keep", description = "keep the live page after the match")
        boolean liveKeep;

        @Option(names = "--compare", paramLabel = "DIR", description = "a replay to compare")
        String compare;

        @Option(names = "--no-sandbox", description = "robots not sealed (for debuggers)")
        boolean noSandbox;

        @Option(names = "--require-sandbox", description = "refuse to play robots unsealed")
        boolean requireSandbox;

        @Option(names = "--end-with-input",
                description = "end the match when standard input ends (for tournaments)")
        boolean endWithInput;

        @Option(names = "--robot-memory", paramLabel = "MIB", description = "a robot's memory")
        String robotMemory;

        @Option(names = "--robot-threads", paramLabel = "N", description = "a robot's threads")
        String robotThreads;

        @Option(names = "--robot-files", paramLabel = "N", description = "a robot's open files")
        String robotFiles;

        @Option(names = "--robot-disk", paramLabel = "MIB", description = "a robot's /tmp")
        String robotDisk;

        @Option(names = "--time-bank-ms", paramLabel = "N", description = "a robot's time bank")
        String timeBank;

        @Option(names = "--time-per-step-ms", paramLabel = "N",
                description = "a robot's thinking time per step")
        String timePerStep;

        @Parameters(hidden = true)
        List<String> stray = new ArrayList<>();
    }

    /** The matches being played (a series plays several at once), for the shutdown hook. */
    private static final Set<Match> CURRENT = ConcurrentHashMap.newKeySet();
    /** SIGINT or SIGTERM came: the matches stop, and a series starts no more. */
    private static volatile boolean stopping;
    /** The live view of --live, from the start of the match until the command ends. */
    private static LiveServer live;
    /** With --end-with-input: the input has ended, and so must every match. */
    private static volatile boolean inputEnded;
    private static final CountDownLatch DONE = new CountDownLatch(1);

    private MatchCommand() {}

    public static void main(String[] args) {
        boolean progress = Boolean.getBoolean(PROGRESS_PROPERTY);
        // SIGINT and SIGTERM: the match stops at the step it plays, the robots are ended, the
        // replay gets its end line and the summary so far is printed; the JVM then exits with
        // 128 + the signal's number.
        Runtime.getRuntime().addShutdownHook(new Thread(() -> {
            stopping = true;
            if (CURRENT.isEmpty()) return;
            for (Match match : CURRENT) match.interrupt();
            try {
                DONE.await(20, TimeUnit.SECONDS);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
        }, "touchline-interrupt"));
        int status;
        try {
            if (Arrays.asList(args).contains("--end-with-input")) endWithInput();
            status = run(args, System.out, System.err, progress);
            if (inputEnded && status == 0) status = 143;
        } catch (RuntimeException e) {
            System.err.println(NAME + ": the match failed: " + Summary.oneLine(e));
            status = 1;
        }
        System.out.flush();
        DONE.countDown();
        System.exit(status);
    }

    /**
     * --end-with-input: whoever started this match (a tournament) holds its standard input;
     * when that ends (it ended the match, or it has gone however it went), the match stops at
     * the step it plays, as when interrupted.
     */
    private static void endWithInput() {
        Thread watch = new Thread(() -> {
            try {
                while (System.in.read() >= 0) {
                    // Whatever is written is ignored: only the end counts.
                }
            } catch (IOException e) {
                // An input that fails has ended too.
            }
            inputEnded = true;
            for (Match match : CURRENT) match.interrupt();
        }, "touchline-end-with-input");
        watch.setDaemon(true);
        watch.start();
    }

    static int run(String[] args, PrintStream out, PrintStream err, boolean progress) {
        if (args.length == 0) {
            // Nothing asked: how to ask, on stderr, as for any other bad command line.
            err.print(usage());
            return 2;
        }
        Options options;
        try {
            options = parse(args);
            if (options.help()) {
                out.print(usage());
                return 0;
            }
            if (options.version()) {
                out.println(new Version().getVersion()[0].replace("${COMMAND-NAME}", NAME));
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
            if (options.series() > 0) return series(options, out, err, progress);
            Played played = play(options, err, progress);
            // With --json the summary object is the output, and the table goes to stderr.
            if (options.json()) {
                out.println(played.json());
                err.print(played.text());
            } else {
                out.print(played.text());
            }
            out.flush();
            if (live != null && options.watch().keep() && !played.interrupted()) {
                err.println(NAME + ": the match is over; its live page stays at "
                        + live.address() + " until Ctrl-C");
                live.serveUntilEnded();
            }
            return played.status();
        } catch (UsageException e) {
            err.println(NAME + ": " + e.getMessage());
            return 2;
        } catch (IOException e) {
            err.println(NAME + ": the match failed: " + e.getMessage());
            return 1;
        } finally {
            closeLive(err);
        }
    }

    /**
     * --live: serves the page (with the replay of --compare) and prints its address, before the
     * robots start, so that a browser can be opened while they load.
     */
    private static LiveServer startLive(Options options, PrintStream err)
            throws UsageException, IOException {
        String page = ReplayPage.live(options.watch().compare());
        try {
            live = LiveServer.start(options.watch().port(), page);
        } catch (IOException e) {
            throw new UsageException("--live: cannot listen on 127.0.0.1:" + options.watch().port()
                    + ": " + reason(e));
        }
        err.println(NAME + ": watch it live: " + live.address());
        return live;
    }

    /** Lets the pages read the rest of the match, for up to 5 s, then ends the live view. */
    private static void closeLive(PrintStream err) {
        if (live == null) return;
        live.close(5000);
        if (live.dropped() > 0) {
            err.println(NAME + ": the live view lost " + live.dropped() + " of the match's lines:"
                    + " its server had no core for them");
        }
        live = null;
    }

    /** Robot JVM options: the system property, else the environment variable. */
    static List<String> robotOptions() {
        String options = System.getProperty(ROBOT_OPTIONS_PROPERTY);
        if (options == null) options = System.getenv(ROBOT_OPTIONS_VARIABLE);
        if (options == null || options.isBlank()) return List.of();
        return Arrays.asList(options.trim().split("\\s+"));
    }

    /** One played match: its exit status, its summary as text and as JSON, its score. */
    record Played(int status, String text, String json, int homeGoals, int awayGoals,
            boolean interrupted) {}

    private static Played play(Options options, PrintStream err, boolean progress)
            throws IOException, UsageException {
        ProgressBar bar = progress ? new ProgressBar(err, options.steps()) : null;
        ReplayFile replay = options.out() == null ? null : new ReplayFile(options.out(), err);
        Echo echo = options.echo().isEmpty() ? null : new Echo(err);
        Scene scene = options.scenes().scene();
        SceneCheck check = scene == null ? null : new SceneCheck(scene);
        LiveServer view = options.watch().live() ? startLive(options, err) : null;
        // The live view shares the replay file's lines; without --out, lines made for it alone.
        ReplayWriter lines = view == null || replay != null ? null
                : new ReplayWriter(null, null).tap(view::line);
        MatchConfig config = new MatchConfig().steps(options.steps()).seed(options.seed())
                .teamNames(options.homeName(), options.awayName()).deadline(options.deadline()).watchdog(options.watchdog())
                .robotJavaOptions(robotOptions()).crashFolder(options.out())
                .sandbox(options.fairness().chosen()).requireSandbox(options.fairness().required())
                .limits(options.fairness().limits())
                .timeBank(options.fairness().timeBank(), options.fairness().timePerStep())
                .observer((time, ball, teams, events) -> {
                    if (replay != null) replay.stepped(time, ball, teams, events);
                    if (bar != null) bar.show(time, teams);
                    if (check != null) check.stepped(time, ball, teams, events);
                    if (lines != null) lines.stepped(time, ball, teams, events);
                })
                .debugObserver((robot, time, output) -> {
                    if (replay != null) replay.debug(robot, time, output);
                    if (echo != null) echo.show(robot, time, output.prints(), bar);
                    if (check != null) check.printed(robot, time, output.prints());
                    if (lines != null) lines.debug(robot, time, output);
                })
                .endingObserver((robot, stillFrom, ending, reason) -> {
                    if (replay != null) replay.ended(robot, stillFrom, ending, reason);
                    if (lines != null) lines.ended(robot, stillFrom, ending, reason);
                });
        if (scene != null) config.placement(scene.placement());
        Match match = new Match(config, players(options.home()), players(options.away()));
        if (!options.echo().isEmpty()) echo.choose(match, options.echo());
        CURRENT.add(match);
        if (inputEnded || stopping) match.interrupt();
        try {
            Map<Integer, String> errors;
            try {
                errors = match.start();
            } catch (Sandbox.Unavailable e) {
                throw new UsageException(e.getMessage());
            }
            if (options.fairness().sandbox && match.sandbox() != null
                    && !match.sandbox().sealed()) {
                err.println(NAME + ": robots are not sandboxed: " + match.sandbox().reason());
            }
            if (!errors.isEmpty()) {
                match.abandon();
                int id = errors.keySet().iterator().next();
                throw new UsageException("not a strategy library: "
                        + Visible.line(library(options, id).toString()) + " ("
                        + Visible.line(errors.get(id)) + ")");
            }
            if (replay != null) replay.open(match, options.seed(), view);
            if (lines != null) lines.header(match.simulation(), options.seed());
            MatchResult result = match.play();
            if (lines != null) lines.end(result);
            if (view != null && lines != null) view.end();
            if (bar != null) bar.done();
            String summary = Summary.of(match.simulation(), result, options.seed());
            // A scene's expectations are reported under the table, one line each.
            boolean held = true;
            if (check != null && !result.interrupted()) {
                java.io.ByteArrayOutputStream report = new java.io.ByteArrayOutputStream();
                PrintStream reportStream = new PrintStream(report, true, StandardCharsets.UTF_8);
                held = check.report(reportStream);
                summary += report.toString(StandardCharsets.UTF_8);
            }
            String json = Summary.json(match.simulation(), result, options.seed());
            World world = match.simulation().world();
            boolean written = true;
            if (replay != null) {
                written = replay.finish(result, summary, json);
                if (view != null) view.end();
                replay.close();
                // The page and the pictures are made from the finished replay; an interrupted
                // match ends at once, with its replay only.
                if (written && !result.interrupted()) {
                    written = pageAndPictures(options.out(), options.watch().compare(), err);
                }
            }
            if (!held && options.out() != null) {
                err.println(NAME + ": watch it: " + options.out().resolve("replay.html"));
            }
            int status = !written ? 1 : held ? 0 : EXPECTATION_FAILED;
            return new Played(status, summary, json, world.score(0), world.score(1),
                    result.interrupted());
        } finally {
            if (replay != null) replay.close();
            CURRENT.remove(match);
        }
    }

    /**
     * --series K: K matches of the two teams, the first team at home in the odd ones and away in
     * the even ones, matches 2i - 1 and 2i on seed number i derived from --seed. Prints a line
     * per match and the totals of the first team, with its win rate and the rate's 95 % Wilson
     * interval; with --out, each match's folder is DIR/match-NNNN. --jobs J matches are played
     * at a time, each in its own robot processes; the results are told in the matches' order,
     * the same whatever J (the progress bar is shown only one match at a time).
     */
    private static int series(Options options, PrintStream out, PrintStream err,
            boolean progress) throws IOException, UsageException {
        int jobs = Math.max(1, Math.min(options.jobs(), options.series()));
        ExecutorService pool = Executors.newFixedThreadPool(jobs, task -> {
            Thread thread = new Thread(task, "touchline-series-match");
            thread.setDaemon(true);
            return thread;
        });
        List<Future<Played>> matches = new ArrayList<>();
        List<Long> matchSeeds = new ArrayList<>();
        SplittableRandom seedsAhead = new SplittableRandom(options.seed());
        long next = 0;
        for (int m = 0; m < options.series(); m++) {
            if (m % 2 == 0) next = seedsAhead.nextLong();
            long matchSeed = next;
            boolean sidesSwapped = m % 2 == 1;
            matchSeeds.add(matchSeed);
            Path folder = options.out() == null ? null
                    : options.out().resolve(String.format(Locale.ROOT, "match-%04d", m + 1));
            if (folder != null) prepareOut(folder);
            Options one = options.forMatch(matchSeed, sidesSwapped, folder);
            matches.add(pool.submit(() -> stopping || inputEnded ? null
                    : play(one, err, progress && jobs == 1)));
        }
        pool.shutdown();
        long seed = 0;
        int won = 0;
        int drawn = 0;
        int lost = 0;
        int goalsFor = 0;
        int goalsAgainst = 0;
        List<String> summaries = new ArrayList<>();
        StringBuilder text = new StringBuilder(String.format(Locale.ROOT,
                "Series of %d matches: %s against %s, %d steps each%n%n", options.series(),
                options.homeName(), options.awayName(), options.steps()));
        for (int m = 0; m < options.series(); m++) {
            seed = matchSeeds.get(m);
            boolean swapped = m % 2 == 1;
            Played played = played(matches.get(m));
            if (played == null) break;
            if (played.status() != 0) {
                for (Future<Played> later : matches) later.cancel(false);
                for (Match match : CURRENT) match.interrupt();
                return played.status();
            }
            int f = swapped ? played.awayGoals() : played.homeGoals();
            int a = swapped ? played.homeGoals() : played.awayGoals();
            won += f > a ? 1 : 0;
            drawn += f == a ? 1 : 0;
            lost += f < a ? 1 : 0;
            goalsFor += f;
            goalsAgainst += a;
            summaries.add(played.json());
            String home = swapped ? options.awayName() : options.homeName();
            String away = swapped ? options.homeName() : options.awayName();
            String line = String.format(Locale.ROOT, "  %3d  seed %20d  %s %d : %d %s%n", m + 1,
                    seed, Visible.line(home), played.homeGoals(), played.awayGoals(),
                    Visible.line(away));
            text.append(line);
            if (played.interrupted()) break;
        }
        int played = won + drawn + lost;
        double[] interval = touchline.host.tournament.LeagueTable.wilson(won, played);
        text.append(String.format(Locale.ROOT, "%n%s: won %d, drawn %d, lost %d; goals %d : %d; "
                        + "win rate %.0f %% (95 %% interval %.0f to %.0f %%)%n",
                options.homeName(), won, drawn, lost, goalsFor, goalsAgainst,
                played == 0 ? 0.0 : 100.0 * won / played, 100 * interval[0], 100 * interval[1]));
        if (options.json()) {
            out.println("{\"series\":{\"team\":" + Json.string(options.homeName())
                    + ",\"opponent\":" + Json.string(options.awayName()) + ",\"played\":"
                    + played + ",\"won\":" + won + ",\"drawn\":" + drawn + ",\"lost\":" + lost
                    + ",\"goalsFor\":" + goalsFor + ",\"goalsAgainst\":" + goalsAgainst
                    + ",\"winRateInterval\":[" + Json.exact(interval[0]) + ","
                    + Json.exact(interval[1]) + "]},\"matches\":[" + String.join(",", summaries)
                    + "]}");
            err.print(text);
        } else {
            out.print(text);
        }
        if (options.out() != null) {
            Files.writeString(options.out().resolve("series.txt"), text, StandardCharsets.UTF_8);
        }
        return 0;
    }

    /** A series' match once played: null if it was not played (the series was stopped). */
    private static Played played(Future<Played> match) throws IOException, UsageException {
        try {
            return match.get();
        } catch (java.util.concurrent.CancellationException e) {
            return null;
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
            return null;
        } catch (ExecutionException e) {
            Throwable cause = e.getCause();
            if (cause instanceof IOException io) throw io;
            if (cause instanceof UsageException usage) throw usage;
            if (cause instanceof RuntimeException runtime) throw runtime;
            throw new IOException(cause);
        }
    }

    /** replay.html, final.png and trails.png beside the replay; false if they failed. */
    private static boolean pageAndPictures(Path folder, Path compare, PrintStream err) {
        try {
            ReplayOutputs.write(folder.resolve("replay.jsonl"), compare);
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
        private final List<java.util.function.Consumer<ReplayWriter>> early = new ArrayList<>();
        private boolean told;

        ReplayFile(Path folder, PrintStream err) {
            this.folder = folder;
            this.err = err;
        }

        /** Opens the replay; its lines go to the live view too, when there is one. */
        void open(Match match, long seed, LiveServer view) throws IOException {
            Path file = folder.resolve("replay.jsonl");
            try {
                stream = Files.newOutputStream(file);
            } catch (IOException e) {
                throw new IOException("cannot write " + file + ": " + reason(e), e);
            }
            writer = new ReplayWriter(stream, file);
            if (view != null) writer.tap(view::line);
            writer.header(match.simulation(), seed);
            for (java.util.function.Consumer<ReplayWriter> ending : early) ending.accept(writer);
            early.clear();
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

        void ended(int robot, long stillFrom, RobotOutcome.Ending ending, String reason) {
            // Robots ended while the match starts are written once the replay is open.
            if (writer == null) {
                early.add(w -> w.ended(robot, stillFrom, ending, reason));
                return;
            }
            writer.ended(robot, stillFrom, ending, reason);
            check();
        }

        /**
         * Writes the end line, summary.txt and summary.json; false when anything could not be
         * written.
         */
        boolean finish(MatchResult result, String summary, String json) {
            writer.end(result);
            check();
            boolean written = writer.error() == null;
            for (String[] file : new String[][] {{"summary.txt", summary},
                    {"summary.json", json + "\n"}}) {
                Path path = folder.resolve(file[0]);
                try {
                    Files.writeString(path, file[1], StandardCharsets.UTF_8);
                } catch (IOException e) {
                    err.println(NAME + ": cannot write " + path + ": " + reason(e));
                    written = false;
                }
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
                err.println("[" + time + "] " + robot + " " + Visible.line(name) + ": "
                        + Visible.line(text));
            }
        }
    }

    /** The system's reason for a failed file operation, without the file names. */
    static String reason(IOException e) {
        return OutputFolder.reason(e);
    }

    /** A robot's name is its library's file name without "lib" and the extension. */
    static List<Match.Player> players(List<Path> libraries) {
        List<Match.Player> players = new ArrayList<>();
        for (Path library : libraries) {
            players.add(Match.Player.library(robotName(library), library));
        }
        return players;
    }

    public static String robotName(Path library) {
        String name = library.getFileName().toString();
        int dot = name.indexOf('.');
        if (dot > 0) name = name.substring(0, dot);
        if (name.startsWith("lib") && name.length() > 3) name = name.substring(3);
        return name;
    }

    static Options parse(String[] args) throws UsageException {
        Line line = new Line();
        CommandLine parser = new CommandLine(line);
        // "--away lib --speed 2" names an unknown option, not a library called "--speed".
        parser.setUnmatchedOptionsAllowedAsOptionParameters(false);
        ParseResult parsed;
        try {
            parsed = parser.parseArgs(args);
        } catch (MissingParameterException e) {
            String option = e.getMissing().isEmpty() ? "an option"
                    : e.getMissing().get(0) instanceof OptionSpec o ? o.longestName()
                                                                     : "an argument";
            boolean team = option.equals("--home") || option.equals("--away");
            throw new UsageException(option + (team ? " needs a library" : " needs a value"));
        } catch (UnmatchedArgumentException e) {
            throw new UsageException(unmatched(e));
        } catch (ParameterException e) {
            throw new UsageException(e.getMessage());
        }
        boolean help = parsed.isUsageHelpRequested();
        boolean version = parsed.isVersionHelpRequested();
        if (!line.stray.isEmpty() && !help && !version) {
            throw new UsageException("unexpected argument " + line.stray.get(0) + " (see --help)");
        }
        Integer robots = line.robots == null ? null
                : (int) number("--robots", line.robots, 1, MAX_ROBOTS);
        long steps = line.steps == null ? 3000 : number("--steps", line.steps, 1, MAX_STEPS);
        long seed = line.seed == null ? 1
                : number("--seed", line.seed, Long.MIN_VALUE, Long.MAX_VALUE);
        Duration deadline = line.deadline == null ? null
                : Duration.ofMillis(number("--deadline-ms", line.deadline, 1, MAX_DEADLINE_MS));
        Duration watchdog = line.watchdog == null ? MatchConfig.DEFAULT_WATCHDOG
                : Duration.ofMillis(number("--watchdog-ms", line.watchdog, 1, MAX_DEADLINE_MS));
        int series = line.series == null ? 0 : (int) number("--series", line.series, 1, MAX_SERIES);
        int jobs = line.jobs == null ? Runtime.getRuntime().availableProcessors()
                : (int) number("--jobs", line.jobs, 1, 256);
        if (line.jobs != null && series == 0) {
            throw new UsageException("--jobs is for --series: one match is played at a time");
        }
        Fairness fairness = fairness(line);
        Path out = null;
        if (line.out != null) {
            if (line.out.isEmpty()) throw new UsageException("--out needs a folder name");
            out = path("--out", line.out);
        }
        Watch watch = watch(line, out, series);
        for (String name : new String[] {line.homeName, line.awayName}) {
            if (name != null && (name.isBlank() || name.length() > 64)) {
                throw new UsageException("a team name has 1 to 64 characters, not \"" + name
                        + "\"");
            }
        }
        List<Path> home = paths("--home", line.home);
        List<Path> away = paths("--away", line.away);
        Map<String, Path> strategies = new java.util.LinkedHashMap<>();
        for (String value : line.strategy) {
            int at = value.indexOf('=');
            if (at < 1 || at == value.length() - 1) {
                throw new UsageException("--strategy needs NAME=LIBRARY, not \"" + value + "\"");
            }
            strategies.put(value.substring(0, at), path("--strategy", value.substring(at + 1)));
        }
        Scenes scenes = new Scenes(line.scene == null ? null : path("--scene", line.scene),
                Map.copyOf(strategies), line.steps != null, line.seed != null, null);
        if (help || version) {
            return new Options(home, away, steps, seed, deadline, watchdog, out, line.echo, help,
                    version, line.homeName, line.awayName, line.json, series, jobs, scenes,
                    fairness, watch);
        }
        if (scenes.file() != null) {
            if (!home.isEmpty() || !away.isEmpty() || robots != null) {
                throw new UsageException("--scene names the robots: give no --home, --away or"
                        + " --robots with it");
            }
            if (series > 0) throw new UsageException("--series does not play scenes");
            return new Options(home, away, steps, seed, deadline, watchdog, out,
                    List.copyOf(line.echo), false, false, line.homeName, line.awayName, line.json,
                    0, 1, scenes, fairness, watch);
        }
        if (!strategies.isEmpty()) throw new UsageException("--strategy is for --scene");
        if (home.isEmpty()) throw new UsageException("no home team: give --home LIBRARY...");
        if (away.isEmpty()) throw new UsageException("no away team: give --away LIBRARY...");
        Entrant homeFile = teamFile("--home", home);
        Entrant awayFile = teamFile("--away", away);
        if (homeFile != null) home = homeFile.robots();
        if (awayFile != null) away = awayFile.robots();
        home = team("--home", home, homeFile != null ? null : robots);
        away = team("--away", away, awayFile != null ? null : robots);
        String homeName = line.homeName == null && homeFile != null ? homeFile.name()
                : line.homeName;
        String awayName = line.awayName == null && awayFile != null ? awayFile.name()
                : line.awayName;
        return new Options(home, away, steps, seed, deadline, watchdog, out,
                List.copyOf(line.echo), false, false, teamName(homeName, home, "Home"),
                teamName(awayName, away, "Away"), line.json, series, jobs, scenes, fairness,
                watch);
    }

    /**
     * --live and its port and keep (either of which implies it), and --compare, which needs a
     * page to draw on. The replay compared with is read when the page is made.
     */
    private static Watch watch(Line line, Path out, int series) throws UsageException {
        boolean live = line.live || line.livePort != null || line.liveKeep;
        int port = line.livePort == null ? 0 : (int) number("--live-port", line.livePort, 1, 65535);
        if (live && series > 0) {
            throw new UsageException("--live watches one match, not a --series");
        }
        Path compare = null;
        if (line.compare != null) {
            if (out == null && !live) {
                throw new UsageException(
                        "--compare draws on the page of --out or --live: give one");
            }
            compare = path("--compare", line.compare);
            if (Files.isDirectory(compare)) compare = compare.resolve("replay.jsonl");
            if (!Files.isRegularFile(compare) || !Files.isReadable(compare)) {
                throw new UsageException("--compare: no replay to read at " + compare);
            }
            // The run clears its --out folder before it writes the page that reads compare.
            if (out != null && compare.toAbsolutePath().normalize().getParent()
                    .equals(out.toAbsolutePath().normalize())) {
                throw new UsageException("--compare " + Visible.line(compare.toString())
                        + " is in --out, which this run clears: copy it elsewhere first");
            }
        }
        return new Watch(live, port, line.liveKeep, compare);
    }

    /** The sandbox, limits and time bank the command line asks for. */
    static Fairness fairness(Line line) throws UsageException {
        Sandbox.Limits d = Sandbox.Limits.DEFAULT;
        long memory = line.robotMemory == null ? d.memoryBytes()
                : number("--robot-memory", line.robotMemory, 768, 1 << 20) << 20;
        int threads = line.robotThreads == null ? d.threads()
                : (int) number("--robot-threads", line.robotThreads, 32, 4096);
        int files = line.robotFiles == null ? d.files()
                : (int) number("--robot-files", line.robotFiles, 64, 65536);
        long disk = line.robotDisk == null ? d.diskBytes()
                : number("--robot-disk", line.robotDisk, 1, 65536) << 20;
        Duration bank = line.timeBank == null ? MatchConfig.DEFAULT_TIME_BANK
                : Duration.ofMillis(number("--time-bank-ms", line.timeBank, 0, MAX_TIME_BANK_MS));
        Duration perStep = line.timePerStep == null ? MatchConfig.DEFAULT_TIME_PER_STEP
                : Duration.ofMillis(number("--time-per-step-ms", line.timePerStep, 0,
                        MAX_DEADLINE_MS));
        if (line.noSandbox && line.requireSandbox) {
            throw new UsageException("--no-sandbox and --require-sandbox contradict each other");
        }
        return new Fairness(!line.noSandbox, line.requireSandbox,
                new Sandbox.Limits(memory, threads, files, disk), bank, perStep);
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
        List<Path> home = scene.team(true);
        List<Path> away = scene.team(false);
        return new Options(home, away, scenes.steps() ? options.steps() : scene.steps(),
                scenes.seed() ? options.seed() : scene.seed(), options.deadline(),
                options.watchdog(), options.out(), options.echo(), false, false,
                teamName(options.homeName(), home, "Home"),
                teamName(options.awayName(), away, "Away"), options.json(), 0, 1,
                new Scenes(scenes.file(), scenes.strategies(), scenes.steps(), scenes.seed(),
                        scene), options.fairness(), options.watch());
    }

    /** The usage text, naming where the documentation is installed. */
    private static String usage() {
        return USAGE.replace("${DOCS}",
                System.getProperty(DOC_PROPERTY, "<prefix>/share/doc/touchline"));
    }

    /**
     * "unknown option --x" or "unexpected argument x", in the words of the other errors; the
     * tournament words its own alike.
     */
    public static String unmatched(UnmatchedArgumentException e) {
        String first = e.getUnmatched().stream().filter(a -> !a.isEmpty()).findFirst()
                .orElse(null);
        if (first == null) {
            // An unknown option right after a team's libraries is told only in the message.
            java.util.regex.Matcher m = java.util.regex.Pattern
                    .compile("Unknown options?: '([^']*)'").matcher(e.getMessage());
            first = m.find() ? m.group(1) : "-";
        }
        return (first.startsWith("-") ? "unknown option " : "unexpected argument ") + first
                + " (see --help)";
    }

    private static List<Path> paths(String option, List<String> texts) throws UsageException {
        List<Path> paths = new ArrayList<>();
        for (String text : texts) paths.add(path(option, text));
        return paths;
    }

    /** The name given, else the library's name when one library plays the whole team. */
    /**
     * The team file a team option names, as the tournament reads it (its name and its robots'
     * libraries), or null when the option names libraries: a file that is neither an ELF nor a
     * PE library, nor named like one (.so, .dll), is read as a team file, alone after its
     * option. A text file named like a library is refused as a library.
     */
    private static Entrant teamFile(String option, List<Path> named) throws UsageException {
        if (named.size() != 1 || !Files.isRegularFile(named.get(0))) return null;
        String name = named.get(0).getFileName().toString().toLowerCase(Locale.ROOT);
        if (name.endsWith(".so") || name.contains(".so.") || name.endsWith(".dll")) return null;
        try {
            if (Entrant.isLibrary(named.get(0))) return null;
            return Entrant.of(named.get(0), 1);
        } catch (Entrant.BadEntrant e) {
            throw new UsageException(Visible.line(e.getMessage()));
        }
    }

    static String teamName(String given, List<Path> team, String fallback) {
        if (given != null) return given;
        String first = robotName(team.get(0));
        for (Path library : team) {
            if (!robotName(library).equals(first)) return fallback;
        }
        return first;
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

    /**
     * Makes the --out folder ready: created, or cleared of what an earlier run wrote; a folder
     * holding anything else is refused (a bad argument, like any failure here).
     */
    private static void prepareOut(Path out) throws UsageException {
        if (out == null) return;
        try {
            OutputFolder.prepare(out, "--out");
        } catch (OutputFolder.Refused e) {
            throw new UsageException(e.getMessage());
        }
    }

    /** Every library must be a readable file; whether it is a strategy library, loading tells. */
    private static void check(List<Path> libraries) throws UsageException {
        for (Path library : libraries) {
            String shown = Visible.line(library.toString());
            if (!Files.exists(library)) throw new UsageException("no such file: " + shown);
            if (!Files.isRegularFile(library) || !Files.isReadable(library)) {
                throw new UsageException("not a readable file: " + shown);
            }
            String unfit = LibraryFiles.unfit(library);
            if (unfit != null) {
                throw new UsageException("not a strategy library: " + shown + " ("
                        + Visible.line(unfit) + ")");
            }
        }
    }

    /**
     * One line on stderr, redrawn as the match goes: steps played and the score. It is drawn
     * at most every REDRAW_NANOS (a step costs only a look at the clock), so that watching
     * costs a fast match nothing it would notice.
     */
    static final class ProgressBar {
        private static final int WIDTH = 30;
        private static final long REDRAW_NANOS = 200_000_000L;
        private final PrintStream err;
        private final long total;
        private long nextDraw;

        ProgressBar(PrintStream err, long total) {
            this.err = err;
            this.total = total;
            nextDraw = System.nanoTime();
        }

        void show(long time, List<Team> teams) {
            long now = System.nanoTime();
            if (now - nextDraw < 0) return;
            nextDraw = now + REDRAW_NANOS;
            int filled = (int) (WIDTH * time / total);
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
            nextDraw = System.nanoTime();
            err.print("\r" + " ".repeat(WIDTH + 40) + "\r");
            err.flush();
        }
    }
}
