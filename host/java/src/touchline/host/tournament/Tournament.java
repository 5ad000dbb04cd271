package touchline.host.tournament;

import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.SplittableRandom;
import java.util.concurrent.ConcurrentHashMap;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.stream.Stream;
import touchline.host.match.OutputFolder;
import touchline.host.match.Visible;
import touchline.host.play.BadSetup;
import touchline.host.robot.NativeStrategy;
import touchline.host.sandbox.Sandbox;

/**
 * A tournament: every pair of entrants plays K matches, sides swapped in every second one;
 * matches run as separate touchline-match processes, J at a time, each a match played as the
 * match command plays it. Reports the league table and the head-to-head record on stdout; with
 * an out folder writes results.json and table.txt. plan() writes the match commands for other
 * machines instead, and collect() reads what they wrote.
 */
public final class Tournament {
    /** The name the lines on stderr start with. */
    public static final String NAME = "touchline-tournament";
    /** Where the launcher script says touchline-match is. */
    static final String MATCH_PROPERTY = "touchline.match";

    private final PrintStream stdout;
    private final PrintStream stderr;
    private final boolean progress;
    /** Matches every pair plays; from the plan when collected (null: not known). */
    private Integer matches;
    private long steps;
    private long seed;
    private final Integer jobs;
    private final Path out;
    private final boolean replays;
    private final boolean noSandbox;

    /**
     * A tournament of matches matches a pair, each steps long, seeds derived from seed, jobs at
     * a time (null: the number of cores), written into out (null: nowhere), each match's folder
     * kept when replays is set, robots unsealed only with noSandbox. It reports on stdout and
     * stderr, with a progress bar there when progress is set.
     */
    public Tournament(PrintStream stdout, PrintStream stderr, boolean progress, Integer matches,
            long steps, long seed, Integer jobs, Path out, boolean replays, boolean noSandbox) {
        this.stdout = stdout;
        this.stderr = stderr;
        this.progress = progress;
        this.matches = matches;
        this.steps = steps;
        this.seed = seed;
        this.jobs = jobs;
        this.out = out;
        this.replays = replays;
        this.noSandbox = noSandbox;
    }

    /**
     * The entrants the files name (libraries playing robots robots each, or team files), two
     * versions of one strategy told apart by their folders; names must differ.
     */
    public static List<Entrant> entrants(List<Path> entrantFiles, int robots) throws Exception {
        if (entrantFiles.size() < 2) throw new BadSetup("give at least two entrants");
        List<Entrant> entrants = new ArrayList<>();
        for (Path file : entrantFiles) entrants.add(Entrant.of(file, robots));
        // Two versions of one strategy are told apart by their folders.
        for (int i = 0; i < entrants.size(); i++) {
            for (int j = i + 1; j < entrants.size(); j++) {
                if (entrants.get(i).name().equals(entrants.get(j).name())) {
                    entrants.set(i, withFolder(entrants.get(i), entrantFiles.get(i)));
                    entrants.set(j, withFolder(entrants.get(j), entrantFiles.get(j)));
                }
            }
        }
        List<String> names = new ArrayList<>();
        for (Entrant e : entrants) {
            if (names.contains(e.name())) {
                throw new BadSetup("two entrants are named " + e.name()
                        + "; give one a team file with a name of its own");
            }
            names.add(e.name());
        }
        return entrants;
    }

    private static Entrant withFolder(Entrant entrant, Path file) {
        if (entrant.name().contains("/")) return entrant;
        Path parent = file.toAbsolutePath().normalize().getParent();
        String folder = parent == null || parent.getFileName() == null
                ? ""
                : parent.getFileName() + "/";
        return new Entrant(folder + entrant.name(), entrant.robots());
    }

    /**
     * A table means nothing if an entrant could reach another's robots: robots must be sealed,
     * unless --no-sandbox says every entrant is trusted.
     */
    public void requireSandbox() throws BadSetup {
        if (noSandbox) return;
        Sandbox sandbox = Sandbox.detect();
        if (!sandbox.sealed()) {
            throw new BadSetup("robots cannot be sandboxed here (" + sandbox.reason()
                    + "); give --no-sandbox to play a tournament of trusted entrants");
        }
    }

    /** One scheduled match: its index, the entrants on each side, and its seed. */
    public record Pairing(int index, Entrant home, Entrant away, long seed) {}

    /**
     * Every pair (i, j), i before j, plays K matches: i at home in the even ones. Match m of
     * every pair plays on seed number m / 2, so each seed is played from both sides.
     */
    public List<Pairing> schedule(List<Entrant> entrants) {
        SplittableRandom random = new SplittableRandom(seed);
        List<Long> seeds = new ArrayList<>();
        for (int m = 0; m < (matches + 1) / 2; m++) seeds.add(random.nextLong());
        List<Pairing> schedule = new ArrayList<>();
        for (int i = 0; i < entrants.size(); i++) {
            for (int j = i + 1; j < entrants.size(); j++) {
                for (int m = 0; m < matches; m++) {
                    boolean swapped = m % 2 == 1;
                    schedule.add(new Pairing(schedule.size() + 1,
                            swapped ? entrants.get(j) : entrants.get(i),
                            swapped ? entrants.get(i) : entrants.get(j), seeds.get(m / 2)));
                }
            }
        }
        return schedule;
    }

    private List<String> command(Pairing p, Path folder) {
        List<String> command = new ArrayList<>();
        command.add(matchCommand());
        command.add("--home");
        for (Path library : p.home().robots()) command.add(library.toString());
        command.add("--away");
        for (Path library : p.away().robots()) command.add(library.toString());
        command.addAll(List.of("--home-name", p.home().name(), "--away-name", p.away().name(),
                "--steps", Long.toString(steps), "--seed", Long.toString(p.seed())));
        if (folder != null) command.addAll(List.of("--out", folder.toString()));
        // A planned match may run on a machine that cannot seal robots: it refuses to play.
        command.add(noSandbox ? "--no-sandbox" : "--require-sandbox");
        return command;
    }

    private static String matchCommand() {
        String match = System.getProperty(MATCH_PROPERTY);
        return match == null ? "touchline-match" : match;
    }

    /** Makes an output folder ready (new, empty, or cleared of an earlier run's files). */
    public static void prepare(Path folder, String option) throws BadSetup {
        try {
            OutputFolder.prepare(folder, option);
        } catch (OutputFolder.Refused e) {
            throw new BadSetup(e.getMessage());
        }
    }

    static Path matchFolder(Path out, int index) {
        return out.resolve(String.format("match-%04d", index));
    }

    // ------------------------------------------------------------------ playing

    /** A match that could not be played: which, and why. */
    record Failure(Pairing pairing, int status, String reason) {
        Map<String, Object> toJson() {
            Map<String, Object> m = new LinkedHashMap<>();
            m.put("index", pairing.index());
            m.put("home", pairing.home().name());
            m.put("away", pairing.away().name());
            m.put("seed", pairing.seed());
            m.put("status", status);
            m.put("reason", reason);
            return m;
        }

        String line() {
            return "match " + pairing.index() + " (" + pairing.home().name() + " v "
                    + pairing.away().name() + ", seed " + pairing.seed() + ") failed: " + reason;
        }
    }

    /** What the matches played so far gave; the interruption reads it from another thread. */
    private final List<MatchOutcome> played = new ArrayList<>();
    private final List<Failure> failures = new ArrayList<>();
    private final Set<MatchProcess> running = ConcurrentHashMap.newKeySet();
    private volatile boolean interrupted;
    /** Set by the one report a run makes: on its own, or on SIGINT or SIGTERM. */
    private boolean reported;

    /**
     * Plays the schedule, J matches at a time, each a touchline-match process in a session of
     * its own: a match that fails is recorded and the tournament goes on. SIGINT or SIGTERM
     * ends the running matches and writes the results so far; a tournament that dies however
     * it dies (SIGKILL too) takes its matches with it, since each ends with its standard input.
     */
    public void play(List<Pairing> schedule, List<Entrant> entrants) throws Exception {
        NativeStrategy.loadBridgeLibrary();
        int threads = jobs != null ? jobs : Runtime.getRuntime().availableProcessors();
        ExecutorService pool = Executors.newFixedThreadPool(threads);
        Progress bar = progress ? new Progress(stderr, schedule.size()) : null;
        CountDownLatch done = new CountDownLatch(1);
        Thread onSignal = new Thread(() -> {
            interrupted = true;
            for (MatchProcess match : running) match.end();
            for (MatchProcess match : running) match.await(20_000);
            try {
                // The main thread may be past play() already: whichever of the two comes
                // first reports, the other waits for it, so the JVM never halts mid-report.
                if (bar != null && done.getCount() > 0) bar.done();
                report(entrants, schedule.size());
            } catch (IOException e) {
                stderr.println(NAME + ": " + Visible.line(e.getMessage()));
            }
        }, "touchline-tournament-interrupt");
        Runtime.getRuntime().addShutdownHook(onSignal);
        try {
            List<Future<?>> futures = new ArrayList<>();
            for (Pairing p : schedule) {
                futures.add(pool.submit(() -> {
                    if (interrupted) return null;
                    playOne(p);
                    if (bar != null) bar.advance();
                    return null;
                }));
            }
            for (Future<?> future : futures) {
                try {
                    future.get();
                } catch (ExecutionException e) {
                    throw e.getCause() instanceof Exception cause ? cause : e;
                }
            }
            if (bar != null) bar.done();
        } finally {
            pool.shutdownNow();
            done.countDown();
            if (!interrupted) Runtime.getRuntime().removeShutdownHook(onSignal);
        }
    }

    private void playOne(Pairing p) throws IOException, InterruptedException {
        Path folder = replays ? matchFolder(out, p.index()) : null;
        List<String> command = command(p, folder);
        command.add("--json");
        command.add("--end-with-input");
        MatchProcess match = MatchProcess.start(command);
        running.add(match);
        MatchProcess.Ended ended;
        try {
            ended = match.await(Long.MAX_VALUE);
        } finally {
            running.remove(match);
        }
        if (interrupted) return;
        synchronized (this) {
            if (ended.status() != 0) {
                failures.add(new Failure(p, ended.status(), ended.lastLine()));
                return;
            }
            try {
                played.add(MatchOutcome.fromSummary(p.index(), JsonText.parse(ended.output())));
            } catch (IllegalArgumentException e) {
                failures.add(new Failure(p, ended.status(), "its summary: " + e.getMessage()));
            }
        }
    }

    // ------------------------------------------------------------------ plan and collect

    public int plan(List<Entrant> entrants, List<Pairing> schedule) throws Exception {
        if (out == null) throw new BadSetup("--plan needs --out DIR for the match folders");
        Path folder = out.toAbsolutePath().normalize();
        prepare(out, "--out");
        StringBuilder lines = new StringBuilder();
        for (Pairing p : schedule) {
            Path match = matchFolder(folder, p.index());
            List<String> words = new ArrayList<>();
            if (replays) {
                // The match's whole folder, as a direct run with --replays writes it.
                for (String word : command(p, match)) words.add(quote(word));
                lines.append(String.join(" ", words)).append(" >/dev/null\n");
                continue;
            }
            // Only what --collect reads, as a direct run keeps only the summary: written
            // whole or not at all, so that a match cut short is not collected.
            String summary = quote(match.resolve("summary.json").toString());
            for (String word : command(p, null)) words.add(quote(word));
            lines.append("mkdir -p ").append(quote(match.toString())).append(" && ")
                    .append(String.join(" ", words)).append(" --json >").append(summary)
                    .append(".part && mv ").append(summary).append(".part ").append(summary)
                    .append('\n');
        }
        Map<String, Object> header = header(entrants);
        header.put("planned", schedule.size());
        Files.writeString(folder.resolve("plan.json"), JsonText.write(header) + "\n",
                StandardCharsets.UTF_8);
        Files.writeString(folder.resolve("plan.txt"), lines, StandardCharsets.UTF_8);
        stdout.print(lines);
        return 0;
    }

    /** A word for a POSIX shell: single-quoted unless it is plainly safe. */
    static String quote(String word) {
        if (word.matches("[A-Za-z0-9_./=:+-]+")) return word;
        return "'" + word.replace("'", "'\\''") + "'";
    }

    public int collect(List<Path> collect) throws Exception {
        Map<String, Object> header = null;
        List<Path> folders = new ArrayList<>();
        for (Path dir : collect) {
            if (!Files.isDirectory(dir)) throw new BadSetup("no such folder: " + dir);
            if (Files.isRegularFile(dir.resolve("plan.json")) && header == null) {
                header = JsonText.object(
                        JsonText.parse(Files.readString(dir.resolve("plan.json"))), "plan.json");
            }
            if (Files.isRegularFile(dir.resolve("summary.json"))) {
                folders.add(dir);
                continue;
            }
            try (Stream<Path> children = Files.list(dir)) {
                children.filter(c -> c.getFileName().toString().matches("match-\\d+"))
                        .filter(c -> Files.isRegularFile(c.resolve("summary.json")))
                        .forEach(folders::add);
            }
        }
        List<MatchOutcome> outcomes = new ArrayList<>();
        for (Path folder : folders) {
            String name = folder.getFileName().toString();
            int index = name.matches("match-\\d+") ? Integer.parseInt(name.substring(6)) : 0;
            Path summary = folder.resolve("summary.json");
            try {
                outcomes.add(MatchOutcome.fromSummary(index,
                        JsonText.parse(Files.readString(summary, StandardCharsets.UTF_8))));
            } catch (IllegalArgumentException e) {
                throw new IOException(summary + ": " + e.getMessage());
            }
        }
        outcomes.sort((a, b) -> Integer.compare(a.index(), b.index()));
        if (outcomes.isEmpty()) throw new BadSetup("no match folders with summary.json");
        List<Entrant> entrants = new ArrayList<>();
        if (header != null) {
            for (Object e : JsonText.array(header.get("entrants"), "entrants")) {
                Map<String, Object> m = JsonText.object(e, "an entrant");
                List<Path> robots = new ArrayList<>();
                for (Object r : JsonText.array(m.get("robots"), "robots")) {
                    robots.add(Path.of(JsonText.text(r, "a robot")));
                }
                entrants.add(new Entrant(JsonText.text(m.get("name"), "a name"), robots));
            }
            matches = (int) JsonText.integer(header.get("matches"), "matches");
            steps = JsonText.integer(header.get("steps"), "steps");
            seed = JsonText.integer(header.get("seed"), "seed");
            long planned = JsonText.integer(header.get("planned"), "planned");
            if (planned != outcomes.size()) {
                stderr.println(NAME + ": " + outcomes.size() + " of " + planned
                        + " planned matches collected");
            }
        } else {
            List<String> seen = new ArrayList<>();
            for (MatchOutcome o : outcomes) {
                for (String n : List.of(o.home(), o.away())) {
                    if (!seen.contains(n)) {
                        seen.add(n);
                        entrants.add(new Entrant(n, List.of()));
                    }
                }
            }
        }
        return report(entrants, outcomes);
    }

    // ------------------------------------------------------------------ reporting

    private Map<String, Object> header(List<Entrant> entrants) {
        List<Object> list = new ArrayList<>();
        for (Entrant e : entrants) {
            Map<String, Object> m = new LinkedHashMap<>();
            m.put("name", e.name());
            List<Object> libraries = new ArrayList<>();
            for (Path p : e.robots()) libraries.add(p.toString());
            m.put("robots", libraries);
            list.add(m);
        }
        Map<String, Object> header = new LinkedHashMap<>();
        header.put("entrants", list);
        // Collected without a plan, only the entrants are known.
        if (matches == null) return header;
        header.put("matches", matches);
        header.put("steps", steps);
        header.put("seed", seed);
        return header;
    }

    /**
     * Prints the table of the matches played and writes results.json and table.txt; says how
     * many failed (exit status 1), and whether the tournament was interrupted.
     */
    public synchronized int report(List<Entrant> entrants, int planned) throws IOException {
        if (reported) return 0;
        reported = true;
        List<MatchOutcome> outcomes = new ArrayList<>(played);
        outcomes.sort((a, b) -> Integer.compare(a.index(), b.index()));
        List<Failure> failed = new ArrayList<>(failures);
        failed.sort((a, b) -> Integer.compare(a.pairing().index(), b.pairing().index()));
        StringBuilder notes = new StringBuilder();
        if (interrupted) {
            notes.append("\nInterrupted: ").append(outcomes.size()).append(" of ").append(planned)
                    .append(" matches played\n");
        }
        if (!failed.isEmpty()) {
            notes.append("\n").append(failed.size()).append(" of ").append(planned)
                    .append(failed.size() == 1 ? " match" : " matches").append(" failed\n");
            for (Failure f : failed) notes.append("  ").append(Visible.line(f.line())).append('\n');
        }
        Map<String, Object> extra = new LinkedHashMap<>();
        if (interrupted) extra.put("interrupted", true);
        if (!failed.isEmpty()) {
            List<Object> list = new ArrayList<>();
            for (Failure f : failed) list.add(f.toJson());
            extra.put("failed", list);
        }
        write(entrants, outcomes, notes.toString(), extra);
        return failed.isEmpty() ? 0 : 1;
    }

    private int report(List<Entrant> entrants, List<MatchOutcome> outcomes) throws IOException {
        write(entrants, outcomes, "", Map.of());
        return 0;
    }

    private void write(List<Entrant> entrants, List<MatchOutcome> outcomes, String notes,
            Map<String, Object> extra) throws IOException {
        List<String> names = new ArrayList<>();
        for (Entrant e : entrants) names.add(e.name());
        LeagueTable table = new LeagueTable(names, outcomes);
        String text = table.text() + notes;
        stdout.print(text);
        stdout.flush();
        if (out == null) return;
        List<Object> list = new ArrayList<>();
        for (MatchOutcome o : outcomes) list.add(o.toJson());
        Map<String, Object> results = new LinkedHashMap<>();
        results.put("tournament", header(entrants));
        results.putAll(extra);
        results.put("matches", list);
        results.put("table", table.toJson());
        try {
            Files.createDirectories(out);
            Files.writeString(out.resolve("results.json"), JsonText.write(results) + "\n",
                    StandardCharsets.UTF_8);
            Files.writeString(out.resolve("table.txt"), text, StandardCharsets.UTF_8);
        } catch (IOException e) {
            throw new IOException("cannot write into " + out + ": " + reason(e), e);
        }
    }

    private static String reason(IOException e) {
        return e.getMessage() == null ? e.toString() : e.getMessage();
    }
}
