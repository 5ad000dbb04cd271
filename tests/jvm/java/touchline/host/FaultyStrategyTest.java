package touchline.host;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.TimeUnit;
import java.util.regex.Pattern;
import java.util.stream.Stream;
import org.junit.jupiter.api.Named;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.ValueSource;

/**
 * touchline-match run as a user runs it (the launcher, a real process, robot processes under
 * the JNI checker), with one faulty strategy among the sample's robots, or interrupted by
 * SIGINT. Every case checks the robot's ending and reason, that the others played to the last
 * step, that every replay line is JSON and the last is the end line, and that nothing is left
 * in the working or temporary folder.
 */
public final class FaultyStrategyTest {
    /**
     * A fault, its match length and watchdog, and what the faulty robot's ending must say. The
     * CTest tests faulty.KEY pick a fault by its place in FAULTS (and check its name): the order
     * is that of the faults in tests/jvm/CMakeLists.txt.
     */
    record Fault(String key, long steps, String ending, String reason, String extraArgs) {}

    static final List<Fault> FAULTS = List.of(
            new Fault("null-pointer", 200, "crashed",
                    "SIGSEGV in \\S+ at Faulty\\.cpp:\\d+ \\(.*libjvm_fault_null-pointer\\.so\\)",
                    ""),
            new Fault("abort", 200, "crashed", "SIGABRT", ""),
            new Fault("stack-overflow", 200, "crashed", "SIG(SEGV|BUS)( in .*)?", ""),
            new Fault("exit-0", 200, "crashed", "exited with status 0", ""),
            new Fault("exit-3", 200, "crashed", "exited with status 3", ""),
            new Fault("exit-137", 200, "crashed", "exited with status 137", ""),
            new Fault("throwing-constructor", 200, "crashed", "SIGABRT", ""),
            new Fault("throw-from-run", 200, "failed", "strategy stopped: a fault in run", ""),
            new Fault("loop", 200, "stopped", "no answer within 1500 ms", "--watchdog-ms 1500"),
            new Fault("huge-print", 100, "finished", "", ""),
            new Fault("many-views", 40, "finished", "", ""),
            new Fault("swallow-end", 200, "stopped", "did not stop at the end of the match: "
                    + "does run\\(\\) catch everything around execute\\(\\)\\?", ""),
            new Fault("close-descriptors", 200, "stopped", "closed its channel to the match", ""),
            new Fault("report-fifo", 200, "crashed", "SIGSEGV \\(no crash report\\)", ""),
            new Fault("report-zero", 200, "crashed", "SIGSEGV \\(no crash report\\)", ""),
            new Fault("output-flood", 100, "finished", "", ""));

    /** The faults as cases, each named by its key. */
    static Stream<Named<Fault>> faults() {
        return FAULTS.stream().map(fault -> Named.of(fault.key(), fault));
    }

    /** What one run of the launcher left. */
    record Run(int status, String out, String err, List<String> replay, Path work, Path temp) {}

    @ParameterizedTest(name = "{0}")
    @MethodSource("faults")
    void faulty(Fault fault) throws Exception {
        String sample = TestBed.built("sample").toString();
        List<String> args = new ArrayList<>(List.of("--steps", Long.toString(fault.steps()),
                "--home", TestBed.built("fault." + fault.key()).toString(), sample, "--away",
                sample, sample));
        if (!fault.extraArgs().isEmpty()) args.addAll(List.of(fault.extraArgs().split(" ")));
        Run run = launch(args, null);
        assertEquals(0, run.status(), "exit status (" + run.err() + ")");
        Map<String, Object> end = endLine(run, fault.steps());
        assertEquals(false, end.get("interrupted"), "interrupted");
        List<Map<String, Object>> robots = list(end.get("robots"));
        Map<String, Object> faulty = robots.get(0);
        assertEquals(fault.ending(), faulty.get("ending"), "the faulty robot's ending");
        String reason = (String) faulty.get("reason");
        assertTrue(Pattern.matches(fault.reason(), reason), "the reason: " + reason);
        // It drove until it misbehaved while looking at step 30 (or never played, when it
        // could not load): it stands still from the step after, told at once in an "ended"
        // line. One that swallows the end plays to the last step; one that closes its channel
        // may still answer a step or more through its area.
        Object stillFrom = fault.ending().equals("finished") || fault.key().equals("swallow-end")
                ? null : fault.key().equals("throwing-constructor") ? 0.0 : 31.0;
        Object still = faulty.get("stillFrom");
        if (fault.key().equals("close-descriptors")) {
            // How many steps it still answers through its area before the match reads the
            // end of its channel depends on the load.
            assertTrue(still instanceof Double d && d >= 31,
                    "stood still from step 31 on: " + still);
        } else {
            assertEquals(stillFrom, still, "the step the faulty robot stood still from");
        }
        List<String> endedLines = run.replay().stream()
                .filter(l -> l.startsWith("{\"ended\":")).toList();
        if (still == null) {
            assertEquals(List.of(), endedLines, "no ended line");
        } else {
            assertEquals(1, endedLines.size(), "one ended line: " + endedLines);
            Map<String, Object> ended = map(map(MiniJson.parse(endedLines.get(0))).get("ended"));
            assertEquals(1.0, ended.get("robot"), "the ended robot");
            assertEquals(still, ended.get("time"), "the ended line's step");
            assertEquals(fault.ending(), ended.get("ending"), "the ended line's ending");
            assertEquals(reason, ended.get("reason"), "the ended line's reason");
        }
        for (Map<String, Object> other : robots.subList(1, robots.size())) {
            assertEquals("finished", other.get("ending"), "robot " + other.get("id"));
            assertEquals(null, other.get("stillFrom"),
                    "no still step for robot " + other.get("id"));
            assertEquals(0.0, other.get("missedSteps"), "missed steps of robot " + other.get("id"));
        }
        assertTrue(run.out().contains(" " + fault.ending() + " "), "the summary:\n" + run.out());
        if (!reason.isEmpty()) {
            assertTrue(run.out().contains("robot 1: " + reason),
                    "the summary's reason:\n" + run.out());
        }
        if (fault.key().equals("huge-print")) {
            assertEquals((double) fault.steps() - 30 + 1, faulty.get("droppedPrints"),
                    "cut prints");
            assertTrue(run.replay().stream().allMatch(l -> l.length() < 64 * 1024), "short lines");
        }
        if (fault.key().equals("output-flood")) {
            List<String> cut = run.err().lines().filter(l -> l.contains("[line cut at")).toList();
            assertEquals(1, cut.size(), "one line cut");
            assertTrue(cut.get(0).length() < 4200, "a cut line is short: " + cut.get(0).length());
        }
        if (fault.key().equals("many-views")) {
            assertEquals((fault.steps() - 30 + 1) * (10000.0 - 512), faulty.get("droppedViews"),
                    "dropped views");
        }
        // A stack overflow in native code kills the JVM before it can write a report.
        boolean reported = fault.key().equals("null-pointer");
        if (reported) {
            assertTrue(Files.exists(run.work().resolve("out/robot-1-crash.log")),
                    "crash report kept");
        }
        List<String> written = new ArrayList<>(List.of("out", "out/final.png", "out/replay.html",
                "out/replay.jsonl", "out/summary.json", "out/summary.txt", "out/trails.png"));
        if (reported) written.add(4, "out/robot-1-crash.log");
        assertOnly(run.work(), written);
        assertTempClean(run.temp());
        deleteTree(run.work());
        deleteTree(run.temp());
    }

    /** SIGINT in the middle of a long match: whole lines, the end line, the summary, 130. */
    @Test
    void interrupted() throws Exception {
        String sample = TestBed.built("sample").toString();
        List<String> args = List.of("--steps", "1000000", "--home", sample, sample, "--away",
                sample, sample);
        Run run = launch(args, process -> {
            Path replay = null;
            long limit = System.nanoTime() + 60_000_000_000L;
            while (System.nanoTime() < limit) {
                Thread.sleep(50);
                if (replay == null) replay = Files.list(process.work()).findFirst().orElse(null);
                Path file = process.work().resolve("out/replay.jsonl");
                if (Files.exists(file) && Files.size(file) > 20_000) break;
            }
            new ProcessBuilder("kill", "-INT", Long.toString(process.pid())).start().waitFor();
        });
        assertEquals(130, run.status(), "exit status (" + run.err() + ")");
        assertTrue(run.out().contains("(interrupted)"), "the summary so far:\n" + run.out());
        Map<String, Object> end = endLine(run, -1);
        assertEquals(true, end.get("interrupted"), "interrupted");
        assertTempClean(run.temp());
        deleteTree(run.work());
        deleteTree(run.temp());
    }

    /**
     * A disk that fills up (a tiny file system of its own for --out): one line with the reason
     * for each file, the result still printed, exit status 1.
     */
    @Test
    void diskFull() throws Exception {
        String sample = TestBed.built("sample").toString();
        List<String> args = List.of("--steps", "300", "--home", sample, "--away", sample,
                "--no-sandbox");
        Run run = launch(args, (work, temp) -> {
            Files.createDirectories(work.resolve("out"));
            return List.of("unshare", "-Urm", "sh", "-c",
                    "mount -t tmpfs -o size=24k touchline out && exec \"$@\"", "sh");
        }, null);
        assertEquals(1, run.status(), "exit status");
        String full = ": No space left on device";
        assertEquals("touchline-match: cannot write out/replay.jsonl" + full + "; the recording "
                + "stops, the match plays on\ntouchline-match: cannot write out/summary.txt" + full
                + "\ntouchline-match: cannot write out/summary.json" + full + "\n", run.err(),
                "stderr");
        assertTrue(run.out().startsWith("Match of 300 steps"), "the result:\n" + run.out());
        assertTempClean(run.temp());
        deleteTree(run.work());
        deleteTree(run.temp());
    }

    /**
     * Output folders: a used --out is cleared of what the earlier run wrote (a crash report,
     * the folders of a longer series) and only that; a folder holding anything else, a link
     * among them, is refused untouched, and so is a --plan folder. The temporary folder of a
     * run that was killed is removed by the next run.
     */
    @Test
    void usedOut() throws Exception {
        String sample = TestBed.built("sample").toString();
        List<String> args = List.of("--steps", "20", "--home", sample, "--away", sample);
        Path dead = deadRunFolder();
        Run run = launch(args, (work, temp) -> {
            Path out = Files.createDirectories(work.resolve("out/match-0003"));
            Files.writeString(out.resolve("summary.json"), "{}");
            Files.writeString(work.resolve("out/robot-2-crash.log"), "old");
            Files.writeString(work.resolve("out/replay.html"), "old");
            Path stale = Files.createDirectories(temp.resolve(dead.getParent().getFileName())
                    .resolve(dead.getFileName()));
            Files.writeString(stale.resolve("robot-1-crash.log"), "left by a killed run");
            return List.of();
        }, null);
        assertEquals(0, run.status(), "exit status (" + run.err() + ")");
        assertOnly(run.work(), List.of("out", "out/final.png", "out/replay.html",
                "out/replay.jsonl", "out/summary.json", "out/summary.txt", "out/trails.png"));
        assertTempClean(run.temp());
        deleteTree(run.temp());

        String tournament = TestBed.configured("tournament");
        String still = TestBed.configured("still");
        String[][] refused = {{"notes.txt", "notes.txt"}, {"match-0001/notes.txt",
                "match-0001/notes.txt"}, {"link", "summary.txt"}};
        for (String[] c : refused) {
            Path out = run.work().resolve("out");
            Path entry = out.resolve(c[1]);
            if (c[0].equals("link")) {
                Files.delete(entry);
                Files.createSymbolicLink(entry, Path.of("/etc/hostname"));
            } else {
                Files.createDirectories(entry.getParent());
                Files.writeString(entry, "mine");
            }
            List<String> before = listing(out);
            for (List<String> command : List.of(
                    List.of(TestBed.built("launcher").toString(), "--steps", "20", "--home", sample,
                            "--away", sample, "--out", out.toString()),
                    List.of(tournament, sample, still, "--matches", "1", "--plan", "--out",
                            out.toString()))) {
                TestBed.Ran r = TestBed.runWith(command, Map.of());
                assertEquals(2, r.status(), "refused: " + command);
                assertTrue(r.err().contains("holds files Touchline did not write (" + c[1] + ")")
                        && r.err().lines().count() == 1, "one line naming it: " + r.err());
                assertEquals(before, listing(out), "nothing touched");
            }
            Files.delete(entry);
        }
        // A plan into the folder of a larger one: only the new plan is left.
        TestBed.Ran plan = TestBed.runWith(List.of(tournament, sample, still, "--matches", "4",
                "--plan", "--out", run.work().resolve("out").toString()), Map.of());
        assertEquals(0, plan.status(), "plan: " + plan.err());
        plan = TestBed.runWith(List.of(tournament, sample, still, "--matches", "2", "--plan",
                "--out", run.work().resolve("out").toString()), Map.of());
        assertEquals(0, plan.status(), "plan again: " + plan.err());
        assertOnly(run.work().resolve("out"), List.of("plan.json", "plan.txt"));
        deleteTree(run.work());
    }

    /**
     * The chaos robot writes random bytes, sizes and counts into its area and its channel from
     * step 10 on: the match plays to its end (exit 0), the chaos robot alone is ended, with a
     * reason, and every other robot plays every step.
     */
    @ParameterizedTest(name = "chaos-{0}")
    @ValueSource(ints = {1, 2, 3, 4})
    void chaos(int seed) throws Exception {
        String sample = TestBed.built("sample").toString();
        List<String> args = List.of("--steps", "300", "--watchdog-ms", "1500", "--home",
                TestBed.built("chaos." + seed).toString(), sample, "--away", sample, sample);
        Run run = launch(args, null);
        assertEquals(0, run.status(), "exit status (" + run.err() + ")");
        Map<String, Object> end = endLine(run, 300);
        List<Map<String, Object>> robots = list(end.get("robots"));
        Map<String, Object> chaos = robots.get(0);
        assertTrue(List.of("stopped", "failed", "crashed").contains(chaos.get("ending"))
                && !((String) chaos.get("reason")).isEmpty(), "the chaos robot ended: " + chaos);
        assertTrue((Double) chaos.get("stillFrom") >= 11, "it played until step 10: " + chaos);
        for (Map<String, Object> other : robots.subList(1, robots.size())) {
            assertEquals("finished", other.get("ending"), "robot " + other.get("id"));
            assertEquals(0.0, other.get("missedSteps"), "missed steps of robot " + other.get("id"));
        }
        assertTempClean(run.temp());
        deleteTree(run.work());
        deleteTree(run.temp());
    }

    /**
     * A library whose file name holds an OSC 52 sequence (the terminal's clipboard), a colour
     * and a newline that would forge a line: the summary, summary.txt and the tournament's
     * table show it escaped, on its own line; the JSON keeps it exact.
     */
    @Test
    void escapedNames() throws Exception {
        String hostile = "\u001b]52;c;cHduZWQ=\u0007\u001b[31mred\nrobot 2: SIGSEGV in fake";
        String shown = "\\e]52;c;cHduZWQ=\\x07\\e[31mred\\nrobot 2: SIGSEGV in fake";
        Path dir = Files.createTempDirectory(Path.of(System.getProperty("java.io.tmpdir")), "n-");
        Path library = dir.resolve("lib" + hostile + ".so");
        Files.copy(TestBed.built("fault.throw-from-run"), library);
        String sample = TestBed.built("sample").toString();
        Run run = launch(List.of("--steps", "60", "--home", library.toString(), "--away", sample),
                null);
        assertEquals(0, run.status(), "exit status (" + run.err() + ")");
        String summary = Files.readString(run.work().resolve("out/summary.txt"));
        assertEquals(run.out(), summary, "summary.txt is the summary printed");
        TestBed.Ran tournament = TestBed.runWith(List.of(TestBed.configured("tournament"),
                library.toString(), sample, "--matches", "1", "--steps", "60", "--out",
                dir.resolve("t").toString()), Map.of());
        assertEquals(0, tournament.status(), "tournament: " + tournament.err());
        String table = Files.readString(dir.resolve("t/table.txt"));
        assertTrue(run.err().chars().noneMatch(c -> c < 0x20 && c != '\n'),
                "stderr:\n" + run.err());
        for (String text : List.of(summary, tournament.out(), table)) {
            assertTrue(text.chars().noneMatch(c -> c < 0x20 && c != '\n'), "no control character:\n"
                    + text);
            assertTrue(text.contains(shown), "the name, escaped:\n" + text);
            assertTrue(text.lines().noneMatch(l -> l.startsWith("robot 2: SIGSEGV")),
                    "no forged line");
        }
        assertTrue(Files.readString(run.work().resolve("out/summary.json"))
                .contains("\\u001b]52;c;cHduZWQ=\\u0007"), "summary.json keeps the exact name");
        assertTempClean(run.temp());
        deleteTree(run.work());
        deleteTree(run.temp());
        deleteTree(dir);
    }

    /**
     * Bad libraries are refused before the match every time, whatever the timing of the robot
     * processes: one that cannot be loaded (only its loading tells), one without the entry
     * points, a text file named .so; each played many times in a row, alone and beside a
     * good robot: exit status 2, one line naming the file, nothing played.
     */
    @Test
    void loadRace() throws Exception {
        String sample = TestBed.built("sample").toString();
        Path text = Files.createTempFile("touchline-text-", ".so");
        Files.writeString(text, "run initialize\n");
        String[] bad = {TestBed.built("unloadable").toString(), TestBed.built("norun").toString(),
                text.toString()};
        for (String library : bad) {
            for (int i = 0; i < 8; i++) {
                List<String> command = new ArrayList<>(List.of(TestBed.built("launcher").toString(),
                        "--steps", "50", "--home", library));
                if (i % 2 == 1) command.add(sample);
                command.addAll(List.of("--away", sample));
                TestBed.Ran run = TestBed.runWith(command, Map.of());
                assertEquals(2, run.status(), "run " + i + " of " + library + ": " + run.err());
                assertTrue(run.err().startsWith("touchline-match: not a strategy library: "
                        + library) && run.err().lines().count() == 1, "one line: " + run.err());
                assertEquals("", run.out(), "nothing played");
            }
        }
        Files.delete(text);
    }

    /** A run folder named after a process that has ended. */
    static Path deadRunFolder() throws Exception {
        Process gone = new ProcessBuilder("true").start();
        gone.waitFor();
        String uid = Files.getAttribute(Path.of("/proc/self"), "unix:uid").toString();
        return Path.of("touchline-" + uid, "match-" + gone.pid() + "-1234");
    }

    static List<String> listing(Path folder) throws IOException {
        try (Stream<Path> files = Files.walk(folder)) {
            return files.map(p -> folder.relativize(p).toString()).sorted().toList();
        }
    }

    /** Fills the run's folders before it starts; returns words to run the launcher with. */
    interface Prepare {
        List<String> in(Path work, Path temp) throws Exception;
    }

    interface Action {
        void during(Started started) throws Exception;
    }

    record Started(long pid, Path work) {}

    /**
     * Runs the launcher in a fresh working folder with a fresh TMPDIR, --out out, the robots
     * under the JNI checker; returns what it printed and wrote.
     */
    static Run launch(List<String> args, Action action) throws Exception {
        return launch(args, (work, temp) -> List.of(), action);
    }

    static Run launch(List<String> args, Prepare prepare, Action action) throws Exception {
        Path base = Path.of(System.getProperty("java.io.tmpdir"));
        Path work = Files.createTempDirectory(base, "work-");
        Path temp = Files.createTempDirectory(base, "tmp-");
        List<String> command = new ArrayList<>(prepare.in(work, temp));
        command.add(TestBed.built("launcher").toString());
        command.addAll(args);
        command.addAll(List.of("--out", "out"));
        ProcessBuilder builder = new ProcessBuilder(command).directory(work.toFile())
                .redirectOutput(work.resolveSibling(work.getFileName() + ".out").toFile())
                .redirectError(work.resolveSibling(work.getFileName() + ".err").toFile());
        builder.environment().put("TMPDIR", temp.toString());
        builder.environment().put("TOUCHLINE_ROBOT_OPTIONS", "-Xcheck:jni");
        Process process = builder.start();
        if (action != null) action.during(new Started(process.pid(), work));
        assertTrue(process.waitFor(300, TimeUnit.SECONDS), "the match ended");
        Path outFile = work.resolveSibling(work.getFileName() + ".out");
        Path errFile = work.resolveSibling(work.getFileName() + ".err");
        String out = Files.readString(outFile, StandardCharsets.UTF_8);
        String err = Files.readString(errFile, StandardCharsets.UTF_8);
        Files.delete(outFile);
        Files.delete(errFile);
        // The runner scans what this JVM prints for the JNI checker's lines.
        System.out.print(err);
        for (ProcessHandle child : process.descendants().toList()) {
            assertTrue(!child.isAlive(), "a robot process outlived the match: " + child.pid());
        }
        Path replay = work.resolve("out/replay.jsonl");
        List<String> lines = Files.isRegularFile(replay, java.nio.file.LinkOption.NOFOLLOW_LINKS)
                ? Files.readAllLines(replay) : List.of();
        return new Run(process.exitValue(), out, err, lines, work, temp);
    }

    /** Every line parses; the first is the header, the last the end line, which is returned. */
    static Map<String, Object> endLine(Run run, long steps) {
        List<String> lines = run.replay();
        assertTrue(lines.size() >= 3, "a replay of " + lines.size() + " lines");
        long frames = 0;
        for (String line : lines) {
            Object value = MiniJson.parse(line);
            assertTrue(value instanceof Map, "a JSON object: " + line);
            if (((Map<?, ?>) value).containsKey("time")) frames++;
        }
        assertTrue(lines.get(0).startsWith("{\"replay\":\"touchline\",\"version\":2,"),
                "the header");
        if (steps >= 0) assertEquals(steps + 1, frames, "frames");
        @SuppressWarnings("unchecked")
        Map<String, Object> last =
                (Map<String, Object>) MiniJson.parse(lines.get(lines.size() - 1));
        assertTrue(last.containsKey("end"), "the last line is the end line");
        return map(last.get("end"));
    }

    @SuppressWarnings("unchecked")
    static Map<String, Object> map(Object value) {
        return (Map<String, Object>) value;
    }

    @SuppressWarnings("unchecked")
    static List<Map<String, Object>> list(Object value) {
        return (List<Map<String, Object>>) value;
    }

    /**
     * Nothing is left in a run's TMPDIR but the user's own empty folder for runs, which is
     * removed (a folder that is not empty fails the test).
     */
    static void assertTempClean(Path temp) throws IOException {
        try (Stream<Path> entries = Files.list(temp)) {
            for (Path entry : entries.toList()) {
                if (entry.getFileName().toString().startsWith("touchline-")) Files.delete(entry);
            }
        }
        assertOnly(temp, List.of());
    }

    /** The folder holds exactly these entries (relative paths), nothing else. */
    static void assertOnly(Path folder, List<String> expected) throws IOException {
        List<String> found;
        try (Stream<Path> files = Files.walk(folder)) {
            found = files.filter(p -> !p.equals(folder)).map(p -> folder.relativize(p).toString())
                    .sorted().toList();
        }
        assertEquals(expected.stream().sorted().toList(), found, "what is left in " + folder);
    }

    static void deleteTree(Path folder) throws IOException {
        try (Stream<Path> files = Files.walk(folder)) {
            for (Path p : files.sorted(Comparator.reverseOrder()).toList()) Files.delete(p);
        }
    }

    /** A small JSON reader: objects, arrays, strings, numbers (as doubles), true, false, null. */
    static final class MiniJson {
        private final String text;
        private int at;

        private MiniJson(String text) {
            this.text = text;
        }

        static Object parse(String text) {
            MiniJson json = new MiniJson(text);
            Object value = json.value();
            if (json.at != text.length()) throw new AssertionError("trailing text: " + text);
            return value;
        }

        private Object value() {
            char c = peek();
            if (c == '{') return object();
            if (c == '[') return array();
            if (c == '"') return string();
            if (text.startsWith("true", at)) return word("true", true);
            if (text.startsWith("false", at)) return word("false", false);
            if (text.startsWith("null", at)) return word("null", null);
            int start = at;
            while (at < text.length() && "+-0123456789.eE".indexOf(text.charAt(at)) >= 0) at++;
            if (start == at) throw new AssertionError("not JSON at " + at + ": " + text);
            return Double.parseDouble(text.substring(start, at));
        }

        private Object word(String word, Object value) {
            at += word.length();
            return value;
        }

        private Map<String, Object> object() {
            Map<String, Object> map = new LinkedHashMap<>();
            expect('{');
            if (peek() == '}') {
                at++;
                return map;
            }
            do {
                String key = string();
                expect(':');
                map.put(key, value());
            } while (comma());
            expect('}');
            return map;
        }

        private List<Object> array() {
            List<Object> list = new ArrayList<>();
            expect('[');
            if (peek() == ']') {
                at++;
                return list;
            }
            do {
                list.add(value());
            } while (comma());
            expect(']');
            return list;
        }

        private String string() {
            expect('"');
            StringBuilder out = new StringBuilder();
            for (;;) {
                char c = text.charAt(at++);
                if (c == '"') return out.toString();
                if (c < 0x20) throw new AssertionError("a control character in a string");
                if (c != '\\') {
                    out.append(c);
                    continue;
                }
                char e = text.charAt(at++);
                switch (e) {
                    case 'u' -> {
                        out.append((char) Integer.parseInt(text.substring(at, at + 4), 16));
                        at += 4;
                    }
                    case 'n' -> out.append('\n');
                    case 't' -> out.append('\t');
                    case '"', '\\', '/' -> out.append(e);
                    default -> throw new AssertionError("a bad escape \\" + e);
                }
            }
        }

        private boolean comma() {
            if (peek() != ',') return false;
            at++;
            return true;
        }

        private void expect(char c) {
            if (peek() != c) throw new AssertionError("expected " + c + " at " + at + ": " + text);
            at++;
        }

        private char peek() {
            if (at >= text.length()) throw new AssertionError("a cut line: " + text);
            return text.charAt(at);
        }
    }
}
