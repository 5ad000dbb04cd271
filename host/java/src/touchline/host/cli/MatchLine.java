package touchline.host.cli;

import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.time.Duration;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import picocli.CommandLine;
import picocli.CommandLine.Command;
import picocli.CommandLine.MissingParameterException;
import picocli.CommandLine.Model.OptionSpec;
import picocli.CommandLine.Option;
import picocli.CommandLine.ParameterException;
import picocli.CommandLine.Parameters;
import picocli.CommandLine.ParseResult;
import picocli.CommandLine.UnmatchedArgumentException;
import touchline.host.match.MatchConfig;
import touchline.host.match.Visible;
import touchline.host.play.BadSetup;
import touchline.host.play.MatchSetup;
import touchline.host.play.MatchSetup.Fairness;
import touchline.host.play.MatchSetup.Scenes;
import touchline.host.play.MatchSetup.Watch;
import touchline.host.sandbox.Sandbox;
import touchline.host.tournament.Entrant;

/**
 * touchline-match's command line as picocli reads it, and its reading into a MatchSetup.
 * Values are kept as text and checked by parse(), so that every bad value is told in the same
 * words.
 */
@Command(name = MatchCommand.NAME, mixinStandardHelpOptions = true,
        versionProvider = Version.class,
        description = "Plays a match between two teams of strategy libraries.")
public final class MatchLine {
    static final int MAX_ROBOTS = 5;
    static final long MAX_STEPS = 10_000_000;
    static final long MAX_DEADLINE_MS = 600_000;
    static final long MAX_SERIES = 10_000;
    static final long MAX_TIME_BANK_MS = 86_400_000;

    /**
     * What the command line asks: its help, its version, or a match (or series) to play with
     * the summary printed as JSON or as text.
     */
    record Request(boolean help, boolean version, boolean json, MatchSetup setup) {}

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


    static Request parse(String[] args) throws BadSetup {
        MatchLine line = new MatchLine();
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
            throw new BadSetup(option + (team ? " needs a library" : " needs a value"));
        } catch (UnmatchedArgumentException e) {
            throw new BadSetup(unmatched(e));
        } catch (ParameterException e) {
            throw new BadSetup(e.getMessage());
        }
        boolean help = parsed.isUsageHelpRequested();
        boolean version = parsed.isVersionHelpRequested();
        if (!line.stray.isEmpty() && !help && !version) {
            throw new BadSetup("unexpected argument " + line.stray.get(0) + " (see --help)");
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
            throw new BadSetup("--jobs is for --series: one match is played at a time");
        }
        Fairness fairness = fairness(line);
        Path out = null;
        if (line.out != null) {
            if (line.out.isEmpty()) throw new BadSetup("--out needs a folder name");
            out = path("--out", line.out);
        }
        Watch watch = watch(line, out, series);
        for (String name : new String[] {line.homeName, line.awayName}) {
            if (name != null && (name.isBlank() || name.length() > 64)) {
                throw new BadSetup("a team name has 1 to 64 characters, not \"" + name
                        + "\"");
            }
        }
        List<Path> home = paths("--home", line.home);
        List<Path> away = paths("--away", line.away);
        Map<String, Path> strategies = new LinkedHashMap<>();
        for (String value : line.strategy) {
            int at = value.indexOf('=');
            if (at < 1 || at == value.length() - 1) {
                throw new BadSetup("--strategy needs NAME=LIBRARY, not \"" + value + "\"");
            }
            strategies.put(value.substring(0, at), path("--strategy", value.substring(at + 1)));
        }
        Scenes scenes = new Scenes(line.scene == null ? null : path("--scene", line.scene),
                Map.copyOf(strategies), line.steps != null, line.seed != null, null);
        if (help || version) return new Request(help, version, line.json, null);
        if (scenes.file() != null) {
            if (!home.isEmpty() || !away.isEmpty() || robots != null) {
                throw new BadSetup("--scene names the robots: give no --home, --away or"
                        + " --robots with it");
            }
            if (series > 0) throw new BadSetup("--series does not play scenes");
            return new Request(false, false, line.json, new MatchSetup(home, away, steps, seed,
                    deadline, watchdog, out, List.copyOf(line.echo), line.homeName,
                    line.awayName, 0, 1, scenes, fairness, watch));
        }
        if (!strategies.isEmpty()) throw new BadSetup("--strategy is for --scene");
        if (home.isEmpty()) throw new BadSetup("no home team: give --home LIBRARY...");
        if (away.isEmpty()) throw new BadSetup("no away team: give --away LIBRARY...");
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
        return new Request(false, false, line.json, new MatchSetup(home, away, steps, seed,
                deadline, watchdog, out, List.copyOf(line.echo),
                MatchSetup.teamName(homeName, home, "Home"),
                MatchSetup.teamName(awayName, away, "Away"), series, jobs, scenes, fairness,
                watch));
    }

    /**
     * --live and its port and keep (either of which implies it), and --compare, which needs a
     * page to draw on. The replay compared with is read when the page is made.
     */
    private static Watch watch(MatchLine line, Path out, int series) throws BadSetup {
        boolean live = line.live || line.livePort != null || line.liveKeep;
        int port = line.livePort == null ? 0 : (int) number("--live-port", line.livePort, 1, 65535);
        if (live && series > 0) {
            throw new BadSetup("--live watches one match, not a --series");
        }
        Path compare = null;
        if (line.compare != null) {
            if (out == null && !live) {
                throw new BadSetup(
                        "--compare draws on the page of --out or --live: give one");
            }
            compare = path("--compare", line.compare);
            if (Files.isDirectory(compare)) compare = compare.resolve("replay.jsonl");
            if (!Files.isRegularFile(compare) || !Files.isReadable(compare)) {
                throw new BadSetup("--compare: no replay to read at " + compare);
            }
            // The run clears its --out folder before it writes the page that reads compare.
            if (out != null && compare.toAbsolutePath().normalize().getParent()
                    .equals(out.toAbsolutePath().normalize())) {
                throw new BadSetup("--compare " + Visible.line(compare.toString())
                        + " is in --out, which this run clears: copy it elsewhere first");
            }
        }
        return new Watch(live, port, line.liveKeep, compare);
    }

    /** The sandbox, limits and time bank the command line asks for. */
    static Fairness fairness(MatchLine line) throws BadSetup {
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
            throw new BadSetup("--no-sandbox and --require-sandbox contradict each other");
        }
        return new Fairness(!line.noSandbox, line.requireSandbox,
                new Sandbox.Limits(memory, threads, files, disk), bank, perStep);
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
            Matcher m = Pattern.compile("Unknown options?: '([^']*)'").matcher(e.getMessage());
            first = m.find() ? m.group(1) : "-";
        }
        return (first.startsWith("-") ? "unknown option " : "unexpected argument ") + first
                + " (see --help)";
    }

    private static List<Path> paths(String option, List<String> texts) throws BadSetup {
        List<Path> paths = new ArrayList<>();
        for (String text : texts) paths.add(path(option, text));
        return paths;
    }

    /**
     * The team file a team option names, as the tournament reads it (its name and its robots'
     * libraries), or null when the option names libraries: a file that is neither an ELF nor a
     * PE library, nor named like one (.so, .dll), is read as a team file, alone after its
     * option. A text file named like a library is refused as a library.
     */
    private static Entrant teamFile(String option, List<Path> named) throws BadSetup {
        if (named.size() != 1 || !Files.isRegularFile(named.get(0))) return null;
        String name = named.get(0).getFileName().toString().toLowerCase(Locale.ROOT);
        if (name.endsWith(".so") || name.contains(".so.") || name.endsWith(".dll")) return null;
        try {
            if (Entrant.isLibrary(named.get(0))) return null;
            return Entrant.of(named.get(0), 1);
        } catch (Entrant.BadEntrant e) {
            throw new BadSetup(Visible.line(e.getMessage()));
        }
    }

    private static List<Path> team(String option, List<Path> libraries, Integer robots)
            throws BadSetup {
        if (robots != null && libraries.size() == 1) {
            List<Path> copies = new ArrayList<>();
            for (int i = 0; i < robots; i++) copies.add(libraries.get(0));
            return copies;
        }
        if (robots != null && robots != libraries.size()) {
            throw new BadSetup("--robots " + robots + " but " + option + " names "
                    + libraries.size() + " libraries");
        }
        if (libraries.size() > MAX_ROBOTS) {
            throw new BadSetup(option + " names " + libraries.size()
                    + " libraries; a team has 1 to " + MAX_ROBOTS + " robots");
        }
        return List.copyOf(libraries);
    }

    private static Path path(String option, String text) throws BadSetup {
        try {
            return Path.of(text);
        } catch (InvalidPathException e) {
            throw new BadSetup(option + ": not a file name: " + text);
        }
    }

    private static long number(String option, String text, long low, long high)
            throws BadSetup {
        long value;
        try {
            value = Long.parseLong(text);
        } catch (NumberFormatException e) {
            throw new BadSetup(option + " needs a whole number, not \"" + text + "\"");
        }
        if (value < low || value > high) {
            throw new BadSetup(String.format(Locale.ROOT, "%s %d is out of range (%d to %d)",
                    option, value, low, high));
        }
        return value;
    }
}
