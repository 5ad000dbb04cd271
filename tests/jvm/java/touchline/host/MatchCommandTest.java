package touchline.host;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import touchline.host.cli.MatchCommand;

/** touchline-match: its errors, its summary, its replay and the demo match. */
public final class MatchCommandTest {
    /** What --out writes. */
    static final List<String> OUT_FILES =
            List.of("replay.jsonl", "summary.txt", "summary.json", "replay.html", "final.png",
                    "trails.png");

    /** What one in-process run printed, and its exit status. */
    record Run(int status, String out, String err) {}

    static Run run(String... args) {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        ByteArrayOutputStream err = new ByteArrayOutputStream();
        int status = MatchCommand.run(args, new PrintStream(out, true, StandardCharsets.UTF_8),
                new PrintStream(err, true, StandardCharsets.UTF_8), false);
        return new Run(status, out.toString(StandardCharsets.UTF_8),
                err.toString(StandardCharsets.UTF_8));
    }

    static String lib(String key) throws Exception {
        return TestBed.built(key).toString();
    }

    /** The demo's team: goalkeeper, sample defender, striker. */
    static List<String> team() throws Exception {
        return List.of(lib("goalkeeper"), lib("sample"), lib("striker"));
    }

    /** Bad command lines, each with what the one line on stderr must say of it. */
    static Stream<Arguments> badCommandLines() throws Exception {
        String sample = lib("sample");
        String[][] cases = {
                {"no such file", "--home", "/nonexistent/libx.so", "--away", sample},
                {"not a strategy library", "--home", sample, "--away", lib("norun")},
                {"not a readable file", "--home", Path.of(sample).getParent().toString(),
                        "--away", sample},
                {"--robots 0 is out of range", "--home", sample, "--away", sample, "--robots", "0"},
                {"--robots 6 is out of range", "--home", sample, "--away", sample, "--robots", "6"},
                {"--robots 2 but --home names 3", "--home", sample, sample, sample, "--away",
                        sample, "--robots", "2"},
                {"--away names 6 libraries", "--home", sample, "--away", sample, sample, sample,
                        sample, sample, sample},
                {"unknown option --speed", "--home", sample, "--away", sample, "--speed", "2"},
                {"unexpected argument extra", "extra", "--home", sample, "--away", sample},
                {"--steps needs a whole number", "--home", sample, "--away", sample, "--steps",
                        "many"},
                {"--steps 0 is out of range", "--home", sample, "--away", sample, "--steps=0"},
                {"--deadline-ms needs a value", "--home", sample, "--away", sample,
                        "--deadline-ms"},
                {"--home needs a library", "--home", "--away", sample},
                {"no away team", "--home", sample},
                {"is not a directory", "--home", sample, "--away", sample, "--out", sample},
                {"--out needs a folder name", "--home", sample, "--away", sample, "--out", ""},
                {"--out /proc/x: cannot create the folder: No such file or directory", "--home",
                        sample, "--away", sample, "--out", "/proc/x"},
                {"--watchdog-ms 0 is out of range", "--home", sample, "--away", sample,
                        "--watchdog-ms", "0"},
        };
        return Arrays.stream(cases).map(c -> Arguments.of(c[0], List.of(c).subList(1, c.length)));
    }

    /**
     * Every bad command line ends with exit status 2 and one line on stderr that says what is
     * wrong, before any match is played.
     */
    @ParameterizedTest(name = "{0}")
    @MethodSource("badCommandLines")
    void badArguments(String expected, List<String> words) {
        String[] args = words.toArray(new String[0]);
        Run run = run(args);
        String what = String.join(" ", args);
        assertEquals(2, run.status(), "exit status of " + what);
        assertEquals("", run.out(), "stdout of " + what);
        assertTrue(run.err().startsWith("touchline-match: ") && run.err().contains(expected),
                "stderr of " + what + ": " + run.err());
        assertEquals(1L, run.err().lines().count(), "lines on stderr for " + what);
    }

    /** --help; no arguments: the usage, on stderr; a team file, and a bad one. */
    @Test
    void helpAndTeamFiles() throws Exception {
        String sample = lib("sample");
        Run help = run("--help");
        assertEquals(0, help.status(), "--help exit status");
        for (String option : List.of("--home", "--away", "--robots", "--steps", "--seed",
                "--deadline-ms", "--watchdog-ms", "--out", "--echo")) {
            assertTrue(help.out().contains(option), "--help explains " + option);
        }
        Run none = run();
        assertEquals(2, none.status(), "exit status with no arguments");
        assertEquals(help.out(), none.err(), "no arguments: the usage, on stderr");

        // A team file is a team, as in a tournament: its name, its robots; a bad one is told.
        Path dir = Files.createTempDirectory("touchline-teams-");
        Path team = Files.writeString(dir.resolve("pair.team"), "name Pair\nrobot "
                + lib("sample") + "\nrobot " + lib("still") + "\n");
        Path bad = Files.writeString(dir.resolve("bad.team"), "name Bad\nrobut x.so\n");
        Run played = run("--home", team.toString(), "--away", sample, "--robots", "2",
                "--steps", "5");
        assertEquals(0, played.status(), "a team file plays: " + played.err());
        assertTrue(played.out().contains("  Pair 0 : 0 touchline_sample\n")
                && played.out().lines().filter(l -> l.contains(" touchline_sample "
                        + "touchline_sample finished")).count() == 2
                && played.out().contains("   2 Pair             still "), played.out());
        Run refused = run("--home", bad.toString(), "--away", sample);
        assertEquals(2, refused.status(), "a bad team file");
        assertEquals("touchline-match: " + bad + ":2: expected \"name TEAM\" or \"robot LIBRARY\", "
                + "not \"robut x.so\"\n", refused.err(), "one line naming the line");
        FaultyStrategyTest.deleteTree(dir);
    }

    /**
     * The launcher script the build made: the exit status and the one line, from a shell; and
     * a match it starts hands the build's class-data archives to the match's JVM and to each
     * robot's (their classes come from the archive, so it exists and fits the jar), with the
     * JVM options of the environment. Sealed robots write nowhere but their private /tmp, so
     * theirs log to their output, which the match passes on. The timing file the benchmarks
     * read holds the first step's, the half's and the last step's times, in that order.
     */
    @Test
    void launcher() throws Exception {
        Path logs = Files.createTempDirectory("touchline-launcher-");
        ProcessBuilder match = new ProcessBuilder(TestBed.built("launcher").toString(), "--steps",
                "3", "--home", lib("sample"), "--away", lib("sample")).redirectErrorStream(true);
        match.environment().put("TOUCHLINE_JAVA_OPTIONS",
                "-Xlog:class+load:file=" + logs.resolve("match.log"));
        match.environment().put("TOUCHLINE_ROBOT_OPTIONS", "-Xlog:class+load=info:stdout");
        match.environment().put("TOUCHLINE_TIMING_FILE", logs.resolve("timing").toString());
        Process played = match.start();
        String output = new String(played.getInputStream().readAllBytes(),
                StandardCharsets.UTF_8);
        assertTrue(played.waitFor(120, TimeUnit.SECONDS), "the match ended");
        assertEquals(0, played.exitValue(), "match exit status");
        String matchLog = Files.readString(logs.resolve("match.log"));
        assertTrue(matchLog.contains(
                "touchline.host.cli.MatchCommand source: shared objects file (top)"),
                "the match's classes from the class-data archive");
        long robots = output.lines().filter(l -> l.contains(
                "touchline.host.protocol.RobotMain source: shared objects file (top)")).count();
        assertEquals(2L, robots, "robots whose classes came from the class-data archive");
        List<String> timing = Files.readAllLines(logs.resolve("timing"));
        assertEquals(List.of("first", "half", "last"), timing.stream()
                .map(l -> l.split(" ")[0]).toList(), "the timing file's lines: " + timing);
        double previous = 0;
        for (String line : timing) {
            double time = Double.parseDouble(line.split(" ")[1]);
            assertTrue(time >= previous, "times in order: " + timing);
            previous = time;
        }
        FaultyStrategyTest.deleteTree(logs);

        Path script = TestBed.built("launcher");
        Process process = new ProcessBuilder(script.toString(), "--home", "/nonexistent.so",
                "--away", "/nonexistent.so").redirectErrorStream(true).start();
        output = new String(process.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertTrue(process.waitFor(60, TimeUnit.SECONDS), "the launcher ended");
        assertEquals(2, process.exitValue(), "launcher exit status");
        assertEquals("touchline-match: no such file: /nonexistent.so\n", output, "launcher output");
    }

    /**
     * Runs of the same match write the same bytes under --out: one in this process, and two
     * through the launcher whose match's JVM sees 2 and then 16 cores, so that both ways of
     * handing over steps are played on any machine (robots outnumbering the cores: the match
     * sleeps until a core is free and the last robot polls; a core each: every robot polls).
     */
    @Test
    void sameMatchSameBytes() throws Exception {
        List<String> args = new ArrayList<>(List.of("--steps", "600", "--seed", "11", "--home"));
        args.addAll(team());
        args.add("--away");
        args.addAll(team());
        Path first = Files.createTempDirectory("touchline-out-");
        List<String> these = new ArrayList<>(args);
        these.addAll(List.of("--out", first.toString()));
        Run run = run(these.toArray(new String[0]));
        assertEquals(0, run.status(), "exit status (" + run.err() + ")");
        for (int cores : new int[] {2, 16}) {
            Path again = Files.createTempDirectory("touchline-out-");
            List<String> command = new ArrayList<>(List.of(TestBed.built("launcher").toString()));
            command.addAll(args);
            command.addAll(List.of("--out", again.toString()));
            ProcessBuilder match = new ProcessBuilder(command).redirectErrorStream(true);
            match.environment().put("TOUCHLINE_JAVA_OPTIONS",
                    "-XX:ActiveProcessorCount=" + cores);
            Process played = match.start();
            String output = new String(played.getInputStream().readAllBytes(),
                    StandardCharsets.UTF_8);
            assertTrue(played.waitFor(120, TimeUnit.SECONDS), "the match ended");
            assertEquals(0, played.exitValue(), "exit status with " + cores + " cores: " + output);
            for (String file : OUT_FILES) {
                byte[] a = Files.readAllBytes(first.resolve(file));
                byte[] b = Files.readAllBytes(again.resolve(file));
                assertTrue(a.length > 0, file + " is empty");
                assertTrue(java.util.Arrays.equals(a, b),
                        file + " differs with " + cores + " cores");
            }
            FaultyStrategyTest.deleteTree(again);
        }
        List<String> replay = Files.readAllLines(first.resolve("replay.jsonl"));
        assertTrue(replay.get(0).startsWith("{\"replay\":\"touchline\",\"version\":2,"), "header");
        assertEquals(1L + 601 + 1, replay.stream().filter(l -> !l.startsWith("{\"debug\"")).count(),
                "header, 601 frames and the end");
        assertTrue(replay.get(replay.size() - 1).startsWith("{\"end\":"), "end line last");
        String summary = Files.readString(first.resolve("summary.txt"));
        for (String word : List.of("Home", "Away", "goalkeeper", "striker", "missed", "hits",
                "distance")) {
            assertTrue(summary.contains(word), "summary names " + word + ":\n" + summary);
        }
        FaultyStrategyTest.deleteTree(first);
    }

    /** --echo: the chosen robot's prints on stderr, with step, id and name; no one else's. */
    @Test
    void echo() throws Exception {
        Run run = run("--steps", "5", "--home", lib("reporter"), lib("sample"), "--away",
                lib("reporter"), "--echo", "1", "--echo", "touchline_sample");
        assertEquals(0, run.status(), "exit status (" + run.err() + ")");
        List<String> lines = run.err().lines().toList();
        assertTrue(lines.size() >= 5, "a line a step: " + lines);
        for (int t = 0; t < 5; t++) {
            assertEquals("[" + t + "] 1 jvm_strategy_reporter: first=1 id=1 time=" + t
                    + " steps=" + t, lines.get(t).replaceAll(" actions=.*", ""), "line " + t);
        }
        assertTrue(lines.stream().noneMatch(l -> l.contains("] 3 ")), "robot 3 is not echoed");
    }

    /** The demo match of `make demo`: the strikers score. */
    @Test
    void demoStrikerScores() throws Exception {
        List<String> args = new ArrayList<>(List.of("--seed", TestBed.configured("demo-seed"),
                "--home"));
        args.addAll(team());
        args.add("--away");
        args.addAll(team());
        Run run = run(args.toArray(new String[0]));
        assertEquals(0, run.status(), "exit status (" + run.err() + ")");
        assertTrue(run.out().lines().anyMatch(
                l -> l.matches("\\s+\\d+\\s+(Home|Away)\\s+\\d+ striker")),
                "no goal by a striker:\n" + run.out());
    }
    /**
     * --json prints the summary object that --out writes as summary.json, with the team names
     * and the score of the text table (on stderr then); messages reach teammates only, and the
     * others are counted per robot.
     */
    @SuppressWarnings("unchecked")
    @Test
    void jsonAndMessages() throws Exception {
        Path dir = Files.createTempDirectory("touchline-json-");
        String messenger = lib("messenger");
        long steps = 20;
        Run run = run("--home", messenger, "--away", messenger, "--robots", "2", "--steps",
                Long.toString(steps), "--home-name", "Reds", "--json", "--out", dir.toString());
        assertEquals(0, run.status(), "status; stderr: " + run.err());
        Map<String, Object> summary =
                (Map<String, Object>) touchline.host.replay.JsonReader.parse(run.out());
        assertEquals(run.out(), Files.readString(dir.resolve("summary.json")), "summary.json");
        List<Map<String, Object>> teams = (List<Map<String, Object>>) summary.get("teams");
        assertEquals("Reds", teams.get(0).get("name"), "the home team's name");
        assertEquals("messenger", teams.get(1).get("name"),
                "the away team named after its library");
        assertTrue(run.err().contains("Reds 0 : 0 messenger"),
                "the table's score line: " + run.err());
        List<Map<String, Object>> robots = (List<Map<String, Object>>) summary.get("robots");
        assertEquals(4, robots.size(), "robots");
        for (Map<String, Object> robot : robots) {
            double undelivered = (Double) robot.get("undeliveredMessages");
            // Four of its six messages a step go to the other team or to no robot.
            assertTrue(undelivered >= 4 * (steps - 1) && undelivered <= 4 * steps,
                    "robot " + robot.get("id") + " undelivered: " + undelivered);
            assertTrue(run.err().contains("robot " + ((Double) robot.get("id")).intValue() + ": "
                    + (long) undelivered + " messages not delivered"), "counted in the table");
        }
        long received = 0;
        for (String line : Files.readAllLines(dir.resolve("replay.jsonl"))) {
            if (!line.startsWith("{\"time\"")) continue;
            Map<String, Object> frame = (Map<String, Object>) touchline.host.replay.JsonReader
                    .parse(line);
            for (Object e : (List<Object>) frame.get("events")) {
                List<Object> event = (List<Object>) e;
                if (!"messageReceived".equals(event.get(1))) continue;
                received++;
                int to = ((Double) event.get(0)).intValue();
                int from = ((Double) event.get(2)).intValue();
                assertTrue((to <= 2) == (from <= 2), "robot " + to + " got a message from " + from);
            }
        }
        assertTrue(received >= 8 * (steps - 1), "teammates' messages arrive: " + received);
        TournamentTest.deleteTree(dir);
    }


    /** Bad scenes, each with what the line on stderr must say after the scene file's name. */
    static Stream<Arguments> badScenes() {
        String[][] bad = {
                {"2: unknown statement \"bal\"", "steps 10\nbal 1 2\n"},
                {"1: expected: robot ID home|away LIBRARY X Y HEADING", "robot 1 home reporter\n"},
                {"2: robot 3: robots are numbered 1, 2, ...", "robot 1 home reporter 1 1 0\n"
                        + "robot 3 away reporter 9 9 0\n"},
                {"2: robot 2: the home team's robots come first", "robot 1 away reporter 1 1 0\n"
                        + "robot 2 home reporter 9 9 0\n"},
                {"1: no strategy library nowhere.so", "robot 1 home nowhere.so 1 1 0\n"},
                {"1: \"x\" is not a number", "ball x 2\n"},
                {"3: the ball's centre is off the court", "robot 1 home reporter 1 1 0\n"
                        + "robot 2 away reporter 9 9 0\nball 1 1\n"},
                {"a scene needs the ball", "robot 1 home reporter 1 1 0\n"
                        + "robot 2 away reporter 9 9 0\n"},
                {"3: no robot 7 in the scene", "robot 1 home reporter 1 1 0\n"
                        + "robot 2 away reporter 9 9 0\nexpect robot 7 event hitBall\n"
                        + "ball 5 5\n"},
                {"4: step 50 is after the scene's last step (20)", "steps 20\nball 5 5\n"
                        + "robot 1 home reporter 1 1 0\nexpect goal home by 50\n"
                        + "robot 2 away reporter 9 9 0\n"},
                {"1: a quoted text lacks its closing quote", "expect robot 1 printed \"x\n"},
        };
        return Arrays.stream(bad).map(c -> Arguments.of((Object[]) c));
    }

    /** --scene: a bad scene is a bad argument naming its file and line. */
    @ParameterizedTest(name = "{0}")
    @MethodSource("badScenes")
    void badScene(String expected, String text) throws Exception {
        Path folder = Files.createTempDirectory("touchline-scene-");
        try {
            Path file = folder.resolve("bad.scene");
            Files.writeString(file, text);
            Run run = run("--scene", file.toString(), "--strategy", "reporter=" + lib("reporter"));
            assertEquals(2, run.status(), "exit status of " + text);
            assertTrue(run.err().startsWith("touchline-match: " + file + ":")
                    && run.err().contains(expected), "stderr for " + text + ": " + run.err());
        } finally {
            TournamentTest.deleteTree(folder);
        }
    }

    /**
     * --scene: a scene starts from its placement, each expectation gets a line saying what was
     * seen, and a failed one gives exit status 3 with the way to the replay page.
     */
    @Test
    void scene() throws Exception {
        Path folder = Files.createTempDirectory("touchline-scene-");
        try {
            sceneIn(folder);
        } finally {
            TournamentTest.deleteTree(folder);
        }
    }

    private static void sceneIn(Path folder) throws Exception {
        String reporter = "reporter=" + lib("reporter");
        assertEquals(2, run("--scene", "x.scene", "--home", lib("sample")).status(),
                "--scene, --home");

        Path scene = folder.resolve("placed.scene");
        Files.writeString(scene, """
                # robot 2 a library by path, relative to the scene's folder
                steps 40
                ball 30.5 40 0 0
                robot 1 home reporter 60 150 1.5
                robot 2 away %s 200 40 3.1415926
                expect ball-x <= 30.5 at 0
                expect ball-y >= 40 at 0
                expect robot 2 near 200 40 within 0.0001 by 1
                expect robot 1 printed "id=1" by 3
                expect robot 1 event roundBegin
                expect no-goal home
                expect goal away by 20
                """.formatted(Path.of(lib("sample")).getFileName()));
        Files.copy(Path.of(lib("sample")), folder.resolve(Path.of(lib("sample")).getFileName()));
        Path out = folder.resolve("out");
        Run run = run("--scene", scene.toString(), "--strategy", reporter, "--out",
                out.toString());
        assertEquals(3, run.status(), "a failed expectation's exit status (" + run.err() + ")");
        assertTrue(run.out().contains("Match of 40 steps"), "the scene's steps:\n" + run.out());
        String[] lines = {
                "PASS " + scene + ":6: expect ball-x <= 30.5 at 0 (ball-x was 30.50 at step 0)",
                "PASS " + scene + ":7: expect ball-y >= 40 at 0 (ball-y was 40.00 at step 0)",
                "PASS " + scene + ":8: expect robot 2 near 200 40 within 0.0001 by 1 (within 0.00"
                        + " at step 0)",
                "PASS " + scene + ":9: expect robot 1 printed \"id=1\" by 3 (printed at step 0",
                "PASS " + scene + ":10: expect robot 1 event roundBegin (first at step 0)",
                "PASS " + scene + ":11: expect no-goal home (no home goal; score 0 : 0 at step 40)",
                "FAIL " + scene + ":12: expect goal away by 20 (no away goal; score 0 : 0 at step"
                        + " 20)",
                "1 of 7 failed",
        };
        for (String line : lines) assertTrue(run.out().contains(line), line + " in\n" + run.out());
        assertTrue(run.err().contains("watch it: " + out.resolve("replay.html")), run.err());
        String frame0 = Files.readAllLines(out.resolve("replay.jsonl")).get(1);
        assertTrue(frame0.contains("\"ball\":[30.5,40,") && frame0.contains("[60,150,1.5,0,0]"),
                "the first frame shows the placement: " + frame0);

        // The command line's --steps overrides the scene's; without expectations failing: 0.
        Files.writeString(scene, "ball 100 90\nrobot 1 home reporter 60 150 0\n"
                + "robot 2 away reporter 200 40 0\nexpect robot 2 event matchFinish\n");
        run = run("--scene", scene.toString(), "--strategy", reporter, "--steps", "5");
        assertEquals(0, run.status(), "exit status (" + run.err() + ")");
        assertTrue(run.out().contains("Match of 5 steps") && run.out().contains("all 1 held"),
                run.out());
    }

    /**
     * The progress bar on a terminal: drawn while the match plays, a few times a second at
     * most (not at every thousandth of the match), and cleared at the end.
     */
    @Test
    void progress() throws Exception {
        ByteArrayOutputStream err = new ByteArrayOutputStream();
        long began = System.nanoTime();
        int status = MatchCommand.run(new String[] {"--steps", "10000", "--home", lib("sample"),
                "--away", lib("sample")}, new PrintStream(new ByteArrayOutputStream(), true,
                StandardCharsets.UTF_8), new PrintStream(err, true, StandardCharsets.UTF_8), true);
        double seconds = (System.nanoTime() - began) / 1e9;
        assertEquals(0, status, "exit status");
        String drawn = err.toString(StandardCharsets.UTF_8);
        long draws = drawn.chars().filter(c -> c == '\r').count() - 2;
        assertTrue(drawn.matches("(?s).*\\] \\d+/10000  \\d+ : \\d+.*"),
                "the bar: " + drawn);
        assertTrue(draws >= 1 && draws <= 5 * seconds + 2, draws + " draws in " + seconds + " s");
        assertTrue(drawn.endsWith("\r"), "cleared at the end");
    }

    /**
     * A series played one match at a time and two at a time tells the same results, byte for
     * byte, in the matches' order; with --out each match has its folder and the totals go to
     * series.txt. --jobs without --series is refused.
     */
    @Test
    void seriesJobs() throws Exception {
        Path dir = Files.createTempDirectory("touchline-series-");
        List<String> series = List.of("--home", lib("striker"), "--away", lib("sample"),
                "--series", "4", "--steps", "400", "--seed", "7");
        Map<String, Run> runs = new java.util.LinkedHashMap<>();
        for (String jobs : List.of("1", "2")) {
            List<String> args = new ArrayList<>(series);
            args.addAll(List.of("--jobs", jobs, "--out", dir.resolve(jobs).toString()));
            Run run = run(args.toArray(new String[0]));
            assertEquals(0, run.status(), "--jobs " + jobs + ": " + run.err());
            runs.put(jobs, run);
            assertEquals(run.out(), Files.readString(dir.resolve(jobs + "/series.txt")),
                    "series.txt");
            for (int m = 1; m <= 4; m++) {
                String match = String.format("match-%04d", m);
                assertTrue(Files.isRegularFile(
                        dir.resolve(jobs).resolve(match).resolve("summary.json")),
                        match + " of --jobs " + jobs);
                if (jobs.equals("2")) {
                    String replay = match + "/replay.jsonl";
                    assertEquals(Files.readString(dir.resolve("1").resolve(replay)),
                            Files.readString(dir.resolve("2").resolve(replay)),
                            "the replay of " + match);
                }
            }
        }
        assertEquals(runs.get("1").out(), runs.get("2").out(), "the same series whatever --jobs");
        assertTrue(runs.get("1").out().contains("Series of 4 matches"), runs.get("1").out());
        Run alone = run("--home", lib("sample"), "--away", lib("sample"), "--jobs", "2");
        assertEquals(2, alone.status(), "--jobs without --series");
        assertEquals("touchline-match: --jobs is for --series: one match is played at a time\n",
                alone.err(), "one line");
        FaultyStrategyTest.deleteTree(dir);
    }
}
