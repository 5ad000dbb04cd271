package touchline.host.cli;

import java.io.IOException;
import java.io.PrintStream;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;
import touchline.host.match.Summary;
import touchline.host.play.BadSetup;
import touchline.host.play.MatchRunner;
import touchline.host.play.MatchSetup;
import touchline.host.play.Series;
import touchline.host.sandbox.Sandbox;

/**
 * touchline-match: plays one match between strategy libraries on the local host, prints a
 * summary, and with --out writes the replay and the summary into a directory. This class reads
 * the command line (MatchLine), hands the setup to MatchRunner, and prints what it played.
 */
public final class MatchCommand {
    static final String NAME = MatchRunner.NAME;
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


    private static final CountDownLatch DONE = new CountDownLatch(1);

    private MatchCommand() {}

    public static void main(String[] args) {
        boolean progress = Boolean.getBoolean(PROGRESS_PROPERTY);
        MatchRunner runner = new MatchRunner(System.err, progress);
        // SIGINT and SIGTERM: the match stops at the step it plays, the robots are ended, the
        // replay gets its end line and the summary so far is printed; the JVM then exits with
        // 128 + the signal's number.
        Runtime.getRuntime().addShutdownHook(new Thread(() -> {
            boolean playing = runner.playing();
            runner.interrupt();
            if (!playing) return;
            try {
                DONE.await(20, TimeUnit.SECONDS);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
        }, "touchline-interrupt"));
        int status;
        try {
            if (Arrays.asList(args).contains("--end-with-input")) endWithInput(runner);
            status = run(args, System.out, System.err, runner);
            if (runner.endedWithInput() && status == 0) status = 143;
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
    private static void endWithInput(MatchRunner runner) {
        Thread watch = new Thread(() -> {
            try {
                while (System.in.read() >= 0) {
                    // Whatever is written is ignored: only the end counts.
                }
            } catch (IOException e) {
                // An input that fails has ended too.
            }
            runner.inputEnded();
        }, "touchline-end-with-input");
        watch.setDaemon(true);
        watch.start();
    }

    /** Runs the command line args as the command does, printing on out and err; its status. */
    public static int run(String[] args, PrintStream out, PrintStream err, boolean progress) {
        return run(args, out, err, new MatchRunner(err, progress));
    }

    private static int run(String[] args, PrintStream out, PrintStream err, MatchRunner runner) {
        if (args.length == 0) {
            // Nothing asked: how to ask, on stderr, as for any other bad command line.
            err.print(usage());
            return 2;
        }
        // The trial sandbox runs while the command line is read and the match prepared (about
        // a tenth of a second), rather than before the first robot starts.
        List<String> words = Arrays.asList(args);
        if (Collections.disjoint(words, List.of("--no-sandbox", "--help", "-h", "--version", "-V"))) {
            Sandbox.detectAhead();
        }
        MatchLine.Request request;
        MatchSetup setup;
        try {
            request = MatchLine.parse(args);
            if (request.help()) {
                out.print(usage());
                return 0;
            }
            if (request.version()) {
                out.println(new Version().getVersion()[0].replace("${COMMAND-NAME}", NAME));
                return 0;
            }
            setup = MatchRunner.configure(request.setup());
        } catch (BadSetup e) {
            err.println(NAME + ": " + e.getMessage());
            return 2;
        }
        try {
            if (setup.series() > 0) {
                Series.Result series = runner.series(setup);
                if (series.text() == null) return series.status();
                print(out, err, request.json(), series.text(), series.json());
                series.save();
                return series.status();
            }
            MatchRunner.Played played = runner.play(setup);
            print(out, err, request.json(), played.text(), played.json());
            out.flush();
            runner.keepLive(setup, played);
            return played.status();
        } catch (BadSetup e) {
            err.println(NAME + ": " + e.getMessage());
            return 2;
        } catch (IOException e) {
            err.println(NAME + ": the match failed: " + e.getMessage());
            return 1;
        } finally {
            runner.closeLive();
        }
    }

    /** With --json the JSON object is the output, and the text goes to stderr. */
    private static void print(PrintStream out, PrintStream err, boolean json, String text,
            String object) {
        if (json) {
            out.println(object);
            err.print(text);
        } else {
            out.print(text);
        }
    }

    /** The usage text, naming where the documentation is installed. */
    private static String usage() {
        return USAGE.replace("${DOCS}",
                System.getProperty(DOC_PROPERTY, "<prefix>/share/doc/touchline"));
    }
}
