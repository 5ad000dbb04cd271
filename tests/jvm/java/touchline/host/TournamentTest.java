package touchline.host;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

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

/** touchline-tournament, run as a user runs it: the launcher, real match processes. */
public final class TournamentTest {
    record Run(int status, String out, String err) {}

    static Run tournament(Path workDir, String... args) throws Exception {
        List<String> command = new ArrayList<>();
        command.add(TestBed.configured("tournament"));
        command.addAll(List.of(args));
        return run(workDir, command);
    }

    static Run run(Path workDir, List<String> command) throws Exception {
        TestBed.Ran ran = TestBed.run(workDir, command, Map.of());
        return new Run(ran.status(), ran.out(), ran.err());
    }

    /** A match folder as touchline-match --out leaves it, holding only its summary.json. */
    static void match(Path dir, int index, String home, int homeGoals, String away,
            int awayGoals) throws Exception {
        Path folder = dir.resolve(String.format("match-%04d", index));
        Files.createDirectories(folder);
        String json = String.format("{\"steps\":100,\"seed\":%d,\"interrupted\":false,"
                        + "\"teams\":[{\"id\":0,\"name\":\"%s\",\"score\":%d},"
                        + "{\"id\":1,\"name\":\"%s\",\"score\":%d}],\"goals\":[],"
                        + "\"robots\":[{\"id\":1,\"team\":0,\"name\":\"x\",\"ending\":"
                        + "\"finished\",\"reason\":\"\"},{\"id\":2,\"team\":1,\"name\":\"y\","
                        + "\"ending\":\"crashed\",\"reason\":\"SIGSEGV\"}]}",
                index, home, homeGoals, away, awayGoals);
        Files.writeString(folder.resolve("summary.json"), json, StandardCharsets.UTF_8);
    }

    /**
     * Five results worked out by hand: A 7 points (+4, won 2 of 4: Wilson 95 % 15 %–85 %),
     * C 4 points, B 2 points; A's rating above C's above B's; the head-to-head by the row's
     * entrant; a crashed robot's ending carried into results.json.
     */
    @Test
    void tableArithmetic() throws Exception {
        Path dir = Files.createTempDirectory("touchline-tournament-");
        try {
            match(dir, 1, "A", 2, "B", 0);
            match(dir, 2, "B", 1, "A", 1);
            match(dir, 3, "A", 0, "C", 1);
            match(dir, 4, "C", 0, "A", 3);
            match(dir, 5, "B", 2, "C", 2);
            Run run = tournament(dir, "--collect", dir.toString(), "--out", "out");
            assertEquals(0, run.status(), "collect status; stderr: " + run.err());
            String table = Files.readString(dir.resolve("out/table.txt"));
            assertEquals(table, run.out(), "table.txt is what was printed");
            String[] lines = table.split("\n");
            assertTrue(lines[1].matches(" +1 A +4 +2 +1 +1 +7 +6 +2 +\\+4 +50 +15-85 +\\d+"),
                    "A's row: " + lines[1]);
            assertTrue(lines[2].matches(" +2 C +3 +1 +1 +1 +4 +3 +5 +-2 +33 +6-79 +\\d+"),
                    "C's row: " + lines[2]);
            assertTrue(lines[3].matches(" +3 B +3 +0 +2 +1 +2 +3 +5 +-2 +0 +0-56 +\\d+"),
                    "B's row: " + lines[3]);
            int a = rating(lines[1]);
            int c = rating(lines[2]);
            int b = rating(lines[3]);
            assertTrue(a > c && c > b, "ratings in order: " + a + " " + c + " " + b);
            assertTrue(table.contains("\n  A     - 1-1-0 1-0-1\n"), "A's head-to-head: " + table);
            String results = Files.readString(dir.resolve("out/results.json"));
            assertTrue(results.contains("\"winRateInterval\":[0.150039,0.849961]"),
                    "A's interval in results.json: " + results);
            assertTrue(results.contains("\"ending\":\"crashed\",\"reason\":\"SIGSEGV\""),
                    "a crashed robot is recorded: " + results);
        } finally {
            deleteTree(dir);
        }
    }

    static int rating(String row) {
        String[] cells = row.trim().split(" +");
        return Integer.parseInt(cells[cells.length - 1]);
    }

    /**
     * Bad entrants and options, each with what the one line on stderr must say ({dir}: the
     * folder the tournament runs in, which holds the team files badEntrants writes).
     */
    static Stream<Arguments> badCommandLines() throws Exception {
        String striker = TestBed.built("striker").toString();
        String still = TestBed.built("still").toString();
        String[][] cases = {
                {"bad.team:3: expected \"name TEAM\" or \"robot LIBRARY\", not \"robut "
                        + "libx.so\"", "bad.team", striker, "--matches", "2"},
                {"noname.team: no \"name TEAM\" line", "noname.team", striker, "--matches",
                        "2"},
                {"nolib.team:2: no such library: {dir}/missing.so",
                        "nolib.team", striker, "--matches", "2"},
                {"text.team:2: not a strategy library: {dir}/text.so"
                        + " (not a shared library", "text.team", striker, "--matches", "2"},
                {"passwd.team:2: not a strategy library: /etc/passwd (not a shared library",
                        "passwd.team", striker, "--matches", "2"},
                {"give at least two entrants", striker, "--matches", "2"},
                {"--matches K is required", striker, still},
                {"--matches 0 is out of range (1 to 10000)", striker, still, "--matches",
                        "0"},
                {"two entrants are named examples/striker", striker, striker, "--matches", "1"},
                {"--plan needs --out DIR", striker, still, "--matches", "1", "--plan"},
                {"unknown option --matchez (see --help)", striker, still, "--matchez", "1"},
        };
        return Arrays.stream(cases).map(c -> Arguments.of(c[0], List.of(c).subList(1, c.length)));
    }

    /** Every bad entrant or option: exit status 2, one line that names the file and line. */
    @ParameterizedTest(name = "{0}")
    @MethodSource("badCommandLines")
    void badEntrants(String naming, List<String> words) throws Exception {
        Path dir = Files.createTempDirectory("touchline-tournament-");
        try {
            String striker = TestBed.built("striker").toString();
            Files.writeString(dir.resolve("bad.team"), "# a team\nname Bad\nrobut libx.so\n");
            Files.writeString(dir.resolve("noname.team"), "robot " + striker + "\n");
            Files.writeString(dir.resolve("nolib.team"), "name X\nrobot missing.so\n");
            Files.writeString(dir.resolve("text.so"), "not a library\n");
            Files.writeString(dir.resolve("text.team"), "name T\nrobot text.so\n");
            Files.writeString(dir.resolve("passwd.team"), "name P\nrobot /etc/passwd\n");
            String expected = naming.replace("{dir}", dir.toString());
            String[] args = words.toArray(new String[0]);
            Run run = tournament(dir, args);
            assertEquals(2, run.status(), "status for " + String.join(" ", args));
            assertTrue(run.err().startsWith("touchline-tournament: ")
                            && run.err().contains(expected)
                            && run.err().indexOf('\n') == run.err().length() - 1,
                    "one line naming \"" + expected + "\", got: " + run.err());
            assertEquals("", run.out(), "nothing on stdout for " + String.join(" ", args));
        } finally {
            deleteTree(dir);
        }
    }

    /** No arguments: exit status 2 and the usage. */
    @Test
    void noArguments() throws Exception {
        Path dir = Files.createTempDirectory("touchline-tournament-");
        try {
            Run none = tournament(dir);
            assertEquals(2, none.status(), "status with no arguments");
            assertTrue(none.err().startsWith("Usage: touchline-tournament"),
                    "the usage: " + none.err());
        } finally {
            deleteTree(dir);
        }
    }

    /**
     * A match that fails (a library that only loading finds broken) is recorded and the
     * tournament goes on, ending with exit status 1; SIGINT and SIGTERM end the running matches
     * and write the results so far; SIGKILL leaves the matches to end themselves. Nothing the
     * tournament started is left running.
     */
    @Test
    void failuresAndEnds() throws Exception {
        Path dir = Files.createTempDirectory("touchline-tournament-");
        try {
            String sample = TestBed.built("sample").toString();
            String still = TestBed.built("still").toString();
            Run run = tournament(dir, sample, still, TestBed.built("unloadable").toString(),
                    "--matches", "1", "--steps", "50", "--out", "out");
            assertEquals(1, run.status(), "a tournament with failed matches; stderr: " + run.err());
            assertTrue(run.out().contains("\n2 of 3 matches failed\n"), run.out());
            assertTrue(run.out().contains("failed: touchline-match: not a strategy library: "),
                    run.out());
            String results = Files.readString(dir.resolve("out/results.json"));
            assertTrue(results.contains("\"failed\":[{\"index\":2,"), results);
            assertTrue(results.contains("\"home\":\"still\",\"away\":"), "the played match");

            for (String signal : List.of("INT", "TERM", "KILL")) {
                List<String> command = List.of(TestBed.configured("tournament"), sample, still,
                        "--matches", "2", "--steps", "10000000", "--jobs", "2", "--out",
                        "ended-" + signal);
                Process tournament = new ProcessBuilder(command).directory(dir.toFile())
                        .redirectOutput(dir.resolve(signal + ".out").toFile())
                        .redirectError(dir.resolve(signal + ".err").toFile()).start();
                List<ProcessHandle> started = List.of();
                for (int i = 0; i < 200 && started.size() < 6; i++) {
                    Thread.sleep(100);
                    started = tournament.descendants().toList();
                }
                assertTrue(started.size() >= 6,
                        "two matches of two robots each started: " + started);
                new ProcessBuilder("kill", "-" + signal, Long.toString(tournament.pid())).start()
                        .waitFor();
                assertTrue(tournament.waitFor(60, TimeUnit.SECONDS), "the tournament ended");
                for (ProcessHandle p : started) {
                    // A match sees its input end and ends its robots, however busy the machine
                    // (a loaded CI machine once needed more than 10 s): up to 30 s each.
                    for (int i = 0; i < 300 && p.isAlive(); i++) Thread.sleep(100);
                    assertTrue(!p.isAlive(), "a process of the tournament outlived it after SIG"
                            + signal + ": " + p.pid());
                }
                if (signal.equals("KILL")) continue;
                assertEquals(signal.equals("INT") ? 130 : 143, tournament.exitValue(),
                        "exit status");
                String out = Files.readString(dir.resolve(signal + ".out"));
                assertTrue(out.contains("\nInterrupted: 0 of 2 matches played\n"), out);
                String partial = Files.readString(dir.resolve("ended-" + signal
                        + "/results.json"));
                assertTrue(partial.contains("\"interrupted\":true"), partial);
            }
        } finally {
            deleteTree(dir);
        }
    }

    /**
     * Three entrants, two matches a pair: one match at a time and two at a time give the same
     * results.json byte for byte; the plan run through GNU parallel and collected gives the same
     * table as the local run.
     */
    @Test
    void jobsPlanCollect() throws Exception {
        Path dir = Files.createTempDirectory("touchline-tournament-");
        try {
            Files.writeString(dir.resolve("keeper.team"), "name keeper\nrobot "
                    + TestBed.built("goalkeeper") + "\nrobot " + TestBed.built("striker") + "\n");
            List<String> common = List.of(TestBed.configured("still"), TestBed.configured("chaser"),
                    "keeper.team", "--robots", "2", "--matches", "2", "--steps", "400",
                    "--seed", "5");
            Run one = tournament(dir, withArgs(common, "--jobs", "1", "--out", "one"));
            assertEquals(0, one.status(), "--jobs 1 status; stderr: " + one.err());
            Run two = tournament(dir, withArgs(common, "--jobs", "2", "--out", "two"));
            assertEquals(0, two.status(), "--jobs 2 status; stderr: " + two.err());
            String results = Files.readString(dir.resolve("one/results.json"));
            assertEquals(results, Files.readString(dir.resolve("two/results.json")),
                    "results.json with 1 and 2 jobs");
            assertTrue(results.split("\"index\"").length - 1 == 6, "six matches: " + results);
            assertTrue(one.out().contains("still") && one.out().contains("keeper"),
                    "the table names the entrants: " + one.out());

            Run plan = tournament(dir, withArgs(common, "--plan", "--out", "planned"));
            assertEquals(0, plan.status(), "--plan status; stderr: " + plan.err());
            assertEquals(6, plan.out().split("\n").length, "one command a match: " + plan.out());
            Run parallel = run(dir, List.of("parallel", "--halt", "now,fail=1", "-j", "2",
                    "--arg-file", dir.resolve("planned/plan.txt").toString()));
            assertEquals(0, parallel.status(), "parallel status; stderr: " + parallel.err());
            // A planned match keeps what --collect reads, as a direct run does: no replay.
            try (var files = Files.list(dir.resolve("planned/match-0001"))) {
                assertEquals(List.of("summary.json"), files.map(f -> f.getFileName().toString())
                        .toList(), "a planned match's folder");
            }
            Run collected = tournament(dir, "--collect", "planned", "--out", "collected");
            assertEquals(0, collected.status(), "--collect status; stderr: " + collected.err());
            assertEquals(one.out(), collected.out(), "the collected table");
            assertEquals(Files.readString(dir.resolve("one/table.txt")),
                    Files.readString(dir.resolve("collected/table.txt")), "table.txt");
        } finally {
            deleteTree(dir);
        }
    }

    static String[] withArgs(List<String> common, String... more) {
        List<String> all = new ArrayList<>(common);
        all.addAll(List.of(more));
        return all.toArray(new String[0]);
    }

    static void deleteTree(Path dir) throws Exception {
        try (var paths = Files.walk(dir)) {
            for (Path p : paths.sorted(java.util.Comparator.reverseOrder()).toList()) {
                Files.deleteIfExists(p);
            }
        }
    }

    private TournamentTest() {}
}
