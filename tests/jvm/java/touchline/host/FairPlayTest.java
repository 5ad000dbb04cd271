package touchline.host;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.io.IOException;
import java.net.InetAddress;
import java.net.ServerSocket;
import java.net.SocketTimeoutException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import java.util.stream.Stream;
import org.junit.jupiter.api.Named;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * A hostile strategy in a real 2 v 2 match, one way of reaching beyond its robot per case:
 * every attempt fails. The other three robots play exactly as beside a robot that only stands
 * still (same seed), the hostile robot's ending names what it hit, the replay is whole, the
 * exit status is 0, and nothing the robots started is left running or on disk.
 */
public final class FairPlayTest {
    /**
     * An attack (the hostile library's key), the options it is played with, the hostile
     * robot's ending and reason, and what it printed of what it found (all regular
     * expressions). The CTest tests fair-play.KEY pick an attack by its place in ATTACKS (and
     * check its name): the order is that of the attacks in tests/jvm/CMakeLists.txt.
     */
    record Attack(String key, List<String> options, String ending, String reason,
            String printed) {}

    static final List<Attack> ATTACKS = List.of(
            new Attack("exchange", List.of(), "crashed", "SIGBUS in attack at Hostile\\.c:\\d+ .*",
                    "areas mapped: 1; /dev/shm files: 0; another process's descriptor: "
                            + "Permission denied; processes: 1 2"),
            new Attack("orders", List.of(), "stopped",
                    "broke the exchange: message count 2147483647 over 64", "areas mapped: 1; "),
            new Attack("signals", List.of(), "finished", "", "processes: 1 2; killed: .*"),
            new Attack("trace", List.of(), "crashed", "a forbidden system call: ptrace .*",
                    "memory of process 1: Permission denied"),
            new Attack("seat", List.of(), "finished", "",
                    "sockets in folders: 0; sockets listed: \\d+; abstract: Connection refused"),
            new Attack("daemon", List.of(), "crashed", "a forbidden system call: clone .*",
                    "forking"),
            new Attack("library", List.of(), "finished", "",
                    "other library: No such file or directory; out folder: No such file or "
                            + "directory; /etc/passwd: No such file or directory; root: "
                            + "Read-only file system"),
            new Attack("network", List.of(), "finished", "",
                    "127\\.0\\.0\\.1: (Connection refused|Network is unreachable); 1\\.1\\.1\\.1: "
                            + "Network is unreachable; "),
            new Attack("memory", List.of(), "crashed", "out of memory: limit 1024 MiB", ""),
            new Attack("threads", List.of("--robot-threads", "40"), "finished", "",
                    "threads started: (\\d+)"),
            new Attack("time", List.of("--time-bank-ms", "1000", "--time-per-step-ms", "10"),
                    "stopped", "time bank spent at step \\d+ \\(1000 ms, and 10 ms a step\\)",
                    ""));

    static final long STEPS = 150;
    static final String SEED = "7";

    /** The attacks as cases, each named by its key. */
    static Stream<Named<Attack>> attacks() {
        return ATTACKS.stream().map(attack -> Named.of(attack.key(), attack));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("attacks")
    void attacked(Attack attack) throws Exception {
        Path out = Path.of(TestBed.configured("hostile-out"));
        Files.createDirectories(out);
        ServerSocket listener = listen(Integer.parseInt(TestBed.configured("hostile-port")));

        List<ProcessHandle> robots = new ArrayList<>();
        FaultyStrategyTest.Run run = play(TestBed.built("hostile." + attack.key()).toString(),
                attack.options(), started -> robots.addAll(sample(started.pid())));
        FaultyStrategyTest.Run calm = play(TestBed.built("still").toString(), attack.options(),
                null);

        assertEquals(0, run.status(), "exit status (" + run.err() + ")");
        assertTrue(!run.err().contains("not sandboxed"), "the robots were sealed: " + run.err());
        Map<String, Object> end = FaultyStrategyTest.endLine(run, STEPS);
        Map<String, Object> calmEnd = FaultyStrategyTest.endLine(calm, STEPS);
        assertEquals(false, end.get("interrupted"), "interrupted");
        assertEquals(calmEnd.get("score"), end.get("score"), "the score");
        assertEquals(calmEnd.get("goals"), end.get("goals"), "the goals");
        List<Map<String, Object>> figures = FaultyStrategyTest.list(end.get("robots"));
        List<Map<String, Object>> calmFigures = FaultyStrategyTest.list(calmEnd.get("robots"));
        for (int i = 1; i < figures.size(); i++) {
            assertEquals(calmFigures.get(i), figures.get(i), "robot " + (i + 1) + "'s figures");
        }
        Map<String, Object> hostile = figures.get(0);
        assertEquals(attack.ending(), hostile.get("ending"), "the hostile robot's ending");
        String reason = (String) hostile.get("reason");
        assertTrue(Pattern.matches(attack.reason(), reason),
                "the hostile robot's reason: " + reason);
        String printed = prints(run);
        Matcher found = Pattern.compile(attack.printed()).matcher(printed);
        assertTrue(attack.printed().isEmpty() || found.matches(), "what it found: " + printed);
        if (attack.key().equals("threads")) {
            assertTrue(Integer.parseInt(found.group(1)) < 40,
                    "threads under the limit: " + printed);
        }

        for (ProcessHandle robot : robots) awaitEnd(robot);
        try (Stream<Path> planted = Files.list(out)) {
            assertEquals(List.of(), planted.toList(), "files planted in the output folder");
        }
        if (listener != null) {
            listener.setSoTimeout(1);
            try {
                listener.accept().close();
                fail("a robot reached the host's loopback");
            } catch (SocketTimeoutException e) {
                // No robot connected.
            } finally {
                listener.close();
            }
        }
        FaultyStrategyTest.assertTempClean(run.temp());
        for (FaultyStrategyTest.Run r : List.of(run, calm)) {
            FaultyStrategyTest.deleteTree(r.work());
            FaultyStrategyTest.deleteTree(r.temp());
        }
    }

    /**
     * Where robots cannot be sealed (here: a bubblewrap that fails as it does in a container
     * without user namespaces), a match says so and plays; a match that requires the sandbox,
     * and a tournament without --no-sandbox, refuse to start.
     */
    @Test
    void unsealed() throws Exception {
        Path base = Files.createTempDirectory(Path.of(System.getProperty("java.io.tmpdir")), "b-");
        Path bwrap = base.resolve("bwrap");
        Files.writeString(bwrap, "#!/bin/sh\necho 'bwrap: No permissions to create new "
                + "namespace' >&2\nexit 1\n");
        bwrap.toFile().setExecutable(true);
        String sample = TestBed.built("sample").toString();
        List<String> match = List.of(TestBed.built("launcher").toString(), "--steps", "20",
                "--home", sample, "--away", sample);
        String reason = "bwrap: No permissions to create new namespace";

        TestBed.Ran played = TestBed.runWith(match, Map.of("TOUCHLINE_BWRAP", bwrap.toString()));
        assertEquals(0, played.status(), "an unsealed match is played: " + played.err());
        assertEquals(List.of("touchline-match: robots are not sandboxed: " + reason),
                played.err().lines().toList(), "one line on stderr");
        assertTrue(played.out().contains("  robots are not sandboxed: " + reason), played.out());

        List<String> required = new ArrayList<>(match);
        required.add("--require-sandbox");
        TestBed.Ran refused = TestBed.runWith(required,
                Map.of("TOUCHLINE_BWRAP", bwrap.toString()));
        assertEquals(2, refused.status(), "a match that requires the sandbox");
        assertEquals("touchline-match: robots cannot be sandboxed here: " + reason,
                refused.err().strip(), "its reason");

        List<String> tournament = List.of(TestBed.built("tournament").toString(), sample,
                TestBed.built("still").toString(), "--matches", "1", "--steps", "20");
        TestBed.Ran noTournament = TestBed.runWith(tournament, Map.of("TOUCHLINE_BWRAP",
                bwrap.toString()));
        assertEquals(2, noTournament.status(), "a tournament of unsealed robots");
        assertTrue(noTournament.err().contains("robots cannot be sandboxed here (" + reason
                + "); give --no-sandbox"), noTournament.err());
        List<String> trusted = new ArrayList<>(tournament);
        trusted.add("--no-sandbox");
        TestBed.Ran played2 = TestBed.runWith(trusted, Map.of("TOUCHLINE_BWRAP", bwrap.toString()));
        assertEquals(0, played2.status(), "a tournament of trusted entrants: " + played2.err());
        FaultyStrategyTest.deleteTree(base);
    }

    /** The hostile robot (or the still one) and a sample at home, two samples away. */
    static FaultyStrategyTest.Run play(String first, List<String> options,
            FaultyStrategyTest.Action action) throws Exception {
        String sample = TestBed.built("sample").toString();
        List<String> args = new ArrayList<>(List.of("--steps", Long.toString(STEPS), "--seed",
                SEED, "--home", first, sample, "--away", sample, sample));
        args.addAll(options);
        return FaultyStrategyTest.launch(args, action);
    }

    /** The match's robot processes, once every robot has started. */
    static List<ProcessHandle> sample(long match) throws InterruptedException {
        ProcessHandle handle = ProcessHandle.of(match).orElse(null);
        List<ProcessHandle> found = List.of();
        for (int tries = 0; handle != null && tries < 100; tries++) {
            found = handle.descendants().toList();
            if (found.stream().filter(p -> command(p).equals("java")).count() >= 4) break;
            Thread.sleep(50);
        }
        return found;
    }

    static void awaitEnd(ProcessHandle process) throws InterruptedException {
        for (int tries = 0; process.isAlive() && tries < 100; tries++) Thread.sleep(50);
        assertTrue(!process.isAlive(), "a robot's process outlived the match: " + process.pid()
                + " " + command(process));
    }

    /** The process's command name (read from /proc: the JDK's own way trips the JNI checker). */
    static String command(ProcessHandle process) {
        try {
            return Files.readString(Path.of("/proc", Long.toString(process.pid()), "comm")).strip();
        } catch (IOException e) {
            return "";
        }
    }

    /** Everything robot 1 printed, in order. */
    static String prints(FaultyStrategyTest.Run run) {
        StringBuilder text = new StringBuilder();
        for (String line : run.replay()) {
            if (!line.startsWith("{\"debug\":{\"robot\":1,")) continue;
            Map<String, Object> debug = FaultyStrategyTest.map(
                    FaultyStrategyTest.map(FaultyStrategyTest.MiniJson.parse(line)).get("debug"));
            for (Object print : (List<?>) debug.get("prints")) text.append(print);
        }
        return text.toString();
    }

    /** A listener on the host's loopback at port, or null when the port is taken. */
    static ServerSocket listen(int port) {
        try {
            return new ServerSocket(port, 8, InetAddress.getLoopbackAddress());
        } catch (IOException e) {
            return null;
        }
    }
}
