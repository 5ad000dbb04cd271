package touchline.host.cli;

import java.io.PrintStream;
import java.io.PrintWriter;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.Callable;
import picocli.CommandLine;
import picocli.CommandLine.Command;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;
import touchline.host.match.Visible;
import touchline.host.play.BadSetup;
import touchline.host.tournament.Entrant;
import touchline.host.tournament.Tournament;

/**
 * touchline-tournament: every pair of entrants plays K matches, sides swapped in every second
 * one; matches run as separate touchline-match processes, J at a time. Prints the league table
 * and the head-to-head record; with --out writes results.json and table.txt. --plan writes the
 * match commands for other machines instead, and --collect reads what they wrote. This class
 * reads and checks the command line; Tournament plays, plans and collects.
 */
@Command(name = "touchline-tournament", mixinStandardHelpOptions = true,
        versionProvider = Version.class, sortOptions = false, usageHelpAutoWidth = true,
        description = {"Plays every pair of entrants K times, sides swapped in every second "
                        + "match, and prints the league table.",
                "An entrant is a strategy library (a team of N robots of it) or a team file "
                        + "(see ${sys:touchline.doc:-<prefix>/share/doc/touchline}"
                        + "/tournaments.md).",
                "The manual page: touchline-tournament(1)."},
        exitCodeListHeading = "%nExit status:%n",
        exitCodeList = {"0:the tournament was played (or planned, or collected)",
                "1:a match could not be played or a file not written",
                "2:bad arguments"})
public final class TournamentCommand implements Callable<Integer> {
    static final String NAME = Tournament.NAME;

    @Parameters(paramLabel = "ENTRANT", description = "a strategy library or a team file")
    List<Path> entrantFiles = new ArrayList<>();

    @Option(names = "--matches", paramLabel = "K",
            description = "matches every pair plays (1 to 10000)")
    Integer matches;

    @Option(names = "--robots", paramLabel = "N", defaultValue = "1",
            description = "robots of a team given as one library (1 to 5; default ${DEFAULT-VALUE})")
    int robots;

    @Option(names = "--steps", paramLabel = "S", defaultValue = "3000",
            description = "steps a match lasts (default ${DEFAULT-VALUE})")
    long steps;

    @Option(names = "--seed", paramLabel = "X", defaultValue = "1",
            description = "seed the matches' seeds are derived from (default ${DEFAULT-VALUE})")
    long seed;

    @Option(names = "--jobs", paramLabel = "J",
            description = "matches played at a time (default: the number of cores)")
    Integer jobs;

    @Option(names = "--out", paramLabel = "DIR",
            description = "write results.json and table.txt into DIR (with --replays each "
                    + "match's folder; with --plan the plan and each match's summary.json)")
    Path out;

    @Option(names = "--replays", description = "keep each match's folder (replay, summary) in DIR")
    boolean replays;

    @Option(names = "--plan", description = "print the match commands, one a line, for GNU "
            + "parallel or a job array, instead of playing; needs --out")
    boolean plan;

    @Option(names = "--no-sandbox", description = "play robots unsealed: only where every "
            + "entrant is trusted (by default a tournament needs robots sealed in sandboxes)")
    boolean noSandbox;

    @Option(names = "--collect", paramLabel = "DIR", arity = "1..*",
            description = "read the match folders that planned runs wrote and print the table")
    List<Path> collect;

    private final PrintStream stdout;
    private final PrintStream stderr;
    private final boolean progress;

    /** For tools that read the command's options, such as the completion script's maker. */
    public TournamentCommand() {
        this(System.out, System.err, false);
    }

    TournamentCommand(PrintStream stdout, PrintStream stderr, boolean progress) {
        this.stdout = stdout;
        this.stderr = stderr;
        this.progress = progress;
    }

    public static void main(String[] args) {
        System.exit(run(args, System.out, System.err, Boolean.getBoolean("touchline.progress")));
    }

    /** Runs the command line args as the command does, printing on stdout and stderr. */
    public static int run(String[] args, PrintStream stdout, PrintStream stderr,
            boolean progress) {
        CommandLine line = new CommandLine(new TournamentCommand(stdout, stderr, progress));
        line.setOut(new PrintWriter(stdout, true));
        line.setErr(new PrintWriter(stderr, true));
        if (args.length == 0) {
            // Nothing asked: how to ask, on stderr, as touchline-match does.
            line.usage(stderr);
            return 2;
        }
        line.setParameterExceptionHandler((e, a) -> {
            String said = e instanceof CommandLine.UnmatchedArgumentException u
                    ? MatchLine.unmatched(u) : e.getMessage() + " (see --help)";
            stderr.println(NAME + ": " + Visible.line(said));
            return 2;
        });
        line.setExecutionExceptionHandler((e, cmd, result) -> {
            if (e instanceof BadSetup || e instanceof Entrant.BadEntrant) {
                stderr.println(NAME + ": " + Visible.line(e.getMessage()));
                return 2;
            }
            stderr.println(NAME + ": "
                    + Visible.line(e.getMessage() == null ? e.toString() : e.getMessage()));
            return 1;
        });
        return line.execute(args);
    }

    @Override
    public Integer call() throws Exception {
        Tournament tournament = new Tournament(stdout, stderr, progress, matches, steps, seed,
                jobs, out, replays, noSandbox);
        if (collect != null) return tournament.collect(collect);
        range("--robots", robots, 1, Entrant.MAX_ROBOTS);
        List<Entrant> entrants = Tournament.entrants(entrantFiles, robots);
        if (matches == null) throw new BadSetup("--matches K is required");
        range("--matches", matches, 1, 10_000);
        range("--steps", steps, 1, 10_000_000);
        if (jobs != null) range("--jobs", jobs, 1, 256);
        if (out != null && out.toString().isEmpty()) throw new BadSetup("--out is empty");
        List<Tournament.Pairing> schedule = tournament.schedule(entrants);
        if (plan) return tournament.plan(entrants, schedule);
        tournament.requireSandbox();
        if (replays && out == null) throw new BadSetup("--replays needs --out DIR");
        if (out != null) Tournament.prepare(out, "--out");
        tournament.play(schedule, entrants);
        return tournament.report(entrants, schedule.size());
    }

    private static void range(String option, long value, long low, long high)
            throws BadSetup {
        if (value < low || value > high) {
            throw new BadSetup(option + " " + value + " is out of range (" + low + " to "
                    + high + ")");
        }
    }

}
