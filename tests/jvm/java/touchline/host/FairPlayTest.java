package touchline.host;

import static touchline.host.Tests.check;
import static touchline.host.Tests.equal;

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
     * expressions).
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

    public static void main(String[] args) {
        Tests suite = Tests.suite();
        for (Attack attack : ATTACKS) suite.add(attack.key(), () -> attacked(attack));
        suite.add("unsealed", FairPlayTest::unsealed);
        suite.main(args);
    }

    static void attacked(Attack attack) throws Exception {
        Path out = Path.of(Tests.configured("hostile-out"));
        Files.createDirectories(out);
        ServerSocket listener = listen(Integer.parseInt(Tests.configured("hostile-port")));

        List<ProcessHandle> robots = new ArrayList<>();
        FaultyStrategyTest.Run run = play(Tests.built("hostile." + attack.key()).toString(),
                attack.options(), started -> robots.addAll(sample(started.pid())));
        FaultyStrategyTest.Run calm = play(Tests.built("still").toString(), attack.options(),
                null);

        equal(0, run.status(), "exit status (" + run.err() + ")");
        check(!run.err().contains("not sandboxed"), "the robots were sealed: " + run.err());
        Map<String, Object> end = FaultyStrategyTest.endLine(run, STEPS);
        Map<String, Object> calmEnd = FaultyStrategyTest.endLine(calm, STEPS);
        equal(false, end.get("interrupted"), "interrupted");
        equal(calmEnd.get("score"), end.get("score"), "the score");
        equal(calmEnd.get("goals"), end.get("goals"), "the goals");
        List<Map<String, Object>> figures = FaultyStrategyTest.list(end.get("robots"));
        List<Map<String, Object>> calmFigures = FaultyStrategyTest.list(calmEnd.get("robots"));
        for (int i = 1; i < figures.size(); i++) {
            equal(calmFigures.get(i), figures.get(i), "robot " + (i + 1) + "'s figures");
        }
        Map<String, Object> hostile = figures.get(0);
        equal(attack.ending(), hostile.get("ending"), "the hostile robot's ending");
        String reason = (String) hostile.get("reason");
        check(Pattern.matches(attack.reason(), reason), "the hostile robot's reason: " + reason);
        String printed = prints(run);
        Matcher found = Pattern.compile(attack.printed()).matcher(printed);
        check(attack.printed().isEmpty() || found.matches(), "what it found: " + printed);
        if (attack.key().equals("threads")) {
            check(Integer.parseInt(found.group(1)) < 40, "threads under the limit: " + printed);
        }

        for (ProcessHandle robot : robots) awaitEnd(robot);
        try (Stream<Path> planted = Files.list(out)) {
            equal(List.of(), planted.toList(), "files planted in the output folder");
        }
        if (listener != null) {
            listener.setSoTimeout(1);
            try {
                listener.accept().close();
                check(false, "a robot reached the host's loopback");
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
    static void unsealed() throws Exception {
        Path base = Files.createTempDirectory(Path.of(System.getProperty("java.io.tmpdir")), "b-");
        Path bwrap = base.resolve("bwrap");
        Files.writeString(bwrap, "#!/bin/sh\necho 'bwrap: No permissions to create new "
                + "namespace' >&2\nexit 1\n");
        bwrap.toFile().setExecutable(true);
        String sample = Tests.built("sample").toString();
        List<String> match = List.of(Tests.built("launcher").toString(), "--steps", "20",
                "--home", sample, "--away", sample);
        String reason = "bwrap: No permissions to create new namespace";

        Tests.Ran played = Tests.runWith(match, Map.of("TOUCHLINE_BWRAP", bwrap.toString()));
        equal(0, played.status(), "an unsealed match is played: " + played.err());
        equal(List.of("touchline-match: robots are not sandboxed: " + reason),
                played.err().lines().toList(), "one line on stderr");
        check(played.out().contains("  robots are not sandboxed: " + reason), played.out());

        List<String> required = new ArrayList<>(match);
        required.add("--require-sandbox");
        Tests.Ran refused = Tests.runWith(required, Map.of("TOUCHLINE_BWRAP", bwrap.toString()));
        equal(2, refused.status(), "a match that requires the sandbox");
        equal("touchline-match: robots cannot be sandboxed here: " + reason,
                refused.err().strip(), "its reason");

        List<String> tournament = List.of(Tests.built("tournament").toString(), sample,
                Tests.built("still").toString(), "--matches", "1", "--steps", "20");
        Tests.Ran noTournament = Tests.runWith(tournament, Map.of("TOUCHLINE_BWRAP",
                bwrap.toString()));
        equal(2, noTournament.status(), "a tournament of unsealed robots");
        check(noTournament.err().contains("robots cannot be sandboxed here (" + reason
                + "); give --no-sandbox"), noTournament.err());
        List<String> trusted = new ArrayList<>(tournament);
        trusted.add("--no-sandbox");
        Tests.Ran played2 = Tests.runWith(trusted, Map.of("TOUCHLINE_BWRAP", bwrap.toString()));
        equal(0, played2.status(), "a tournament of trusted entrants: " + played2.err());
        FaultyStrategyTest.deleteTree(base);
    }

    /** The hostile robot (or the still one) and a sample at home, two samples away. */
    static FaultyStrategyTest.Run play(String first, List<String> options,
            FaultyStrategyTest.Action action) throws Exception {
        String sample = Tests.built("sample").toString();
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
        check(!process.isAlive(), "a robot's process outlived the match: " + process.pid()
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
