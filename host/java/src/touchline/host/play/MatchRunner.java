package touchline.host.play;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.concurrent.ConcurrentHashMap;
import touchline.host.match.LiveServer;
import touchline.host.match.Match;
import touchline.host.match.MatchConfig;
import touchline.host.match.MatchResult;
import touchline.host.match.OutputFolder;
import touchline.host.match.ReplayWriter;
import touchline.host.match.Summary;
import touchline.host.match.Visible;
import touchline.host.physics.World;
import touchline.host.replay.ReplayPage;
import touchline.host.sandbox.LibraryFiles;
import touchline.host.sandbox.Sandbox;
import touchline.host.scene.Scene;
import touchline.host.scene.SceneCheck;

/**
 * Plays what a MatchSetup describes, the one way every match is played whoever asks (the
 * match command, the tournament's match processes, a scene test): configure() checks the setup
 * and makes its folder ready; play() starts the robots, plays the match and writes its outputs
 * (the replay, summary.txt and summary.json, the page and the pictures) while it shows what was
 * asked for on the way (progress bar, echo, live view); series() plays a series of them.
 * What it tells the user as the match goes is written to err, one line each.
 *
 * A runner is one command's: it knows the matches it is playing, so that interrupt() (SIGINT,
 * SIGTERM) and inputEnded() (--end-with-input) can stop them.
 */
public final class MatchRunner {
    /** The name the lines on err start with. */
    public static final String NAME = "touchline-match";
    /** Exit status when a scene's expectation did not hold. */
    public static final int EXPECTATION_FAILED = 3;
    /** Extra JVM options for the robot processes (-Xcheck:jni, say), space-separated. */
    static final String ROBOT_OPTIONS_PROPERTY = "touchline.robot.options";
    static final String ROBOT_OPTIONS_VARIABLE = "TOUCHLINE_ROBOT_OPTIONS";

    /** One played match: its exit status, its summary as text and as JSON, its score. */
    public record Played(int status, String text, String json, int homeGoals, int awayGoals,
            boolean interrupted) {}

    private final PrintStream err;
    private final boolean progress;
    /** The matches being played (a series plays several at once). */
    private final Set<Match> current = ConcurrentHashMap.newKeySet();
    /** SIGINT or SIGTERM came: the matches stop, and a series starts no more. */
    private volatile boolean stopping;
    /** With --end-with-input: the input has ended, and so must every match. */
    private volatile boolean inputEnded;
    /** The live view of --live, from the start of the match until close(). */
    private LiveServer live;

    /** A runner that tells the user on err, with a progress bar there when progress is set. */
    public MatchRunner(PrintStream err, boolean progress) {
        this.err = err;
        this.progress = progress;
    }

    /**
     * The setup made ready to play: its scene read, its --out folder created or cleared of what
     * an earlier run wrote, and every library a readable strategy library file.
     */
    public static MatchSetup configure(MatchSetup setup) throws BadSetup {
        MatchSetup ready = setup.withScene();
        prepareOut(ready.out());
        check(ready.home());
        check(ready.away());
        return ready;
    }

    /** SIGINT or SIGTERM: every match stops at the step it plays; a series starts no more. */
    public void interrupt() {
        stopping = true;
        for (Match match : current) match.interrupt();
    }

    /** The input of --end-with-input ended: every match stops as when interrupted. */
    public void inputEnded() {
        inputEnded = true;
        for (Match match : current) match.interrupt();
    }

    /** Whether the input of --end-with-input has ended. */
    public boolean endedWithInput() {
        return inputEnded;
    }

    /** Whether a match is being played (the shutdown hook waits for it). */
    public boolean playing() {
        return !current.isEmpty();
    }

    /** Plays one match of a configured setup and writes its outputs. */
    public Played play(MatchSetup setup) throws IOException, BadSetup {
        return play(setup, progress);
    }

    /** Plays a configured setup's series of matches. */
    public Series.Result series(MatchSetup setup) throws IOException, BadSetup {
        return new Series(this, setup).play(progress);
    }

    boolean stopping() {
        return stopping || inputEnded;
    }

    /** Interrupts every match being played: a series' match failed, the others are not needed. */
    void interruptPlaying() {
        for (Match match : current) match.interrupt();
    }

    Played play(MatchSetup setup, boolean withBar) throws IOException, BadSetup {
        ProgressBar bar = withBar ? new ProgressBar(err, setup.steps()) : null;
        ReplayFile replay = setup.out() == null ? null
                : new ReplayFile(setup.out(), setup.watch().compare(), err);
        Echo echo = setup.echo().isEmpty() ? null : new Echo(err);
        Scene scene = setup.scenes().scene();
        SceneCheck check = scene == null ? null : new SceneCheck(scene);
        LiveServer view = setup.watch().live() ? startLive(setup) : null;
        // The live view shares the replay file's lines; without --out, lines made for it alone.
        ReplayWriter lines = view == null || replay != null ? null
                : new ReplayWriter(null, null).tap(view::line);
        MatchSetup.Fairness fairness = setup.fairness();
        MatchConfig config = new MatchConfig().steps(setup.steps()).seed(setup.seed())
                .teamNames(setup.homeName(), setup.awayName()).deadline(setup.deadline())
                .watchdog(setup.watchdog()).robotJavaOptions(robotOptions())
                .crashFolder(setup.out()).sandbox(fairness.chosen())
                .requireSandbox(fairness.required()).limits(fairness.limits())
                .timeBank(fairness.timeBank(), fairness.timePerStep())
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
        Match match = new Match(config, MatchSetup.players(setup.home()),
                MatchSetup.players(setup.away()));
        if (echo != null) echo.choose(match, setup.echo());
        current.add(match);
        if (stopping()) match.interrupt();
        try {
            Map<Integer, String> errors;
            try {
                errors = match.start();
            } catch (Sandbox.Unavailable e) {
                throw new BadSetup(e.getMessage());
            }
            if (fairness.sandbox() && match.sandbox() != null && !match.sandbox().sealed()) {
                err.println(NAME + ": robots are not sandboxed: " + match.sandbox().reason());
            }
            if (!errors.isEmpty()) {
                match.abandon();
                int id = errors.keySet().iterator().next();
                throw new BadSetup("not a strategy library: "
                        + Visible.line(setup.library(id).toString()) + " ("
                        + Visible.line(errors.get(id)) + ")");
            }
            if (replay != null) replay.open(match, setup.seed(), view);
            if (lines != null) lines.header(match.simulation(), setup.seed());
            MatchResult result = match.play();
            if (lines != null) lines.end(result);
            if (view != null && lines != null) view.end();
            if (bar != null) bar.done();
            String summary = Summary.of(match.simulation(), result, setup.seed());
            // A scene's expectations are reported under the table, one line each.
            boolean held = true;
            if (check != null && !result.interrupted()) {
                ByteArrayOutputStream report = new ByteArrayOutputStream();
                PrintStream reportStream = new PrintStream(report, true, StandardCharsets.UTF_8);
                held = check.report(reportStream);
                summary += report.toString(StandardCharsets.UTF_8);
            }
            String json = Summary.json(match.simulation(), result, setup.seed());
            World world = match.simulation().world();
            boolean written = true;
            if (replay != null) {
                written = replay.finish(result, summary, json);
                if (view != null) view.end();
                // The page and the pictures, made as the replay was written, are finished; an
                // interrupted match ends at once, with its replay only.
                if (written && !result.interrupted()) written = replay.pageAndPictures();
                replay.close();
            }
            if (!held && setup.out() != null) {
                err.println(NAME + ": watch it: " + setup.out().resolve("replay.html"));
            }
            int status = !written ? 1 : held ? 0 : EXPECTATION_FAILED;
            return new Played(status, summary, json, world.score(0), world.score(1),
                    result.interrupted());
        } finally {
            if (replay != null) replay.close();
            current.remove(match);
        }
    }

    /**
     * --live-keep: after a match that was not interrupted, the live page stays until the
     * command is interrupted.
     */
    public void keepLive(MatchSetup setup, Played played) {
        if (live == null || !setup.watch().keep() || played.interrupted()) return;
        err.println(NAME + ": the match is over; its live page stays at " + live.address()
                + " until Ctrl-C");
        live.serveUntilEnded();
    }

    /** Lets the pages read the rest of the match, for up to 5 s, then ends the live view. */
    public void closeLive() {
        if (live == null) return;
        live.close(5000);
        if (live.dropped() > 0) {
            err.println(NAME + ": the live view lost " + live.dropped() + " of the match's lines:"
                    + " its server had no core for them");
        }
        live = null;
    }

    /**
     * --live: serves the page (with the replay of --compare) and prints its address, before the
     * robots start, so that a browser can be opened while they load.
     */
    private LiveServer startLive(MatchSetup setup) throws BadSetup, IOException {
        String page = ReplayPage.live(setup.watch().compare());
        try {
            live = LiveServer.start(setup.watch().port(), page);
        } catch (IOException e) {
            throw new BadSetup("--live: cannot listen on 127.0.0.1:" + setup.watch().port()
                    + ": " + OutputFolder.reason(e));
        }
        err.println(NAME + ": watch it live: " + live.address());
        return live;
    }

    /** Robot JVM options: the system property, else the environment variable. */
    static List<String> robotOptions() {
        String options = System.getProperty(ROBOT_OPTIONS_PROPERTY);
        if (options == null) options = System.getenv(ROBOT_OPTIONS_VARIABLE);
        if (options == null || options.isBlank()) return List.of();
        return Arrays.asList(options.trim().split("\\s+"));
    }

    /**
     * Makes an output folder ready: created, or cleared of what an earlier run wrote; a folder
     * holding anything else is refused (a bad setup, like any failure here).
     */
    static void prepareOut(Path out) throws BadSetup {
        if (out == null) return;
        try {
            OutputFolder.prepare(out, "--out");
        } catch (OutputFolder.Refused e) {
            throw new BadSetup(e.getMessage());
        }
    }

    /** Every library must be a readable file; whether it is a strategy library, loading tells. */
    private static void check(List<Path> libraries) throws BadSetup {
        for (Path library : libraries) {
            String shown = Visible.line(library.toString());
            if (!Files.exists(library)) throw new BadSetup("no such file: " + shown);
            if (!Files.isRegularFile(library) || !Files.isReadable(library)) {
                throw new BadSetup("not a readable file: " + shown);
            }
            String unfit = LibraryFiles.unfit(library);
            if (unfit != null) {
                throw new BadSetup("not a strategy library: " + shown + " ("
                        + Visible.line(unfit) + ")");
            }
        }
    }
}
