package touchline.host;

import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Objects;
import java.util.Properties;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;

/**
 * A minimal test runner for the host's JVM tests: a test class registers named cases, and its
 * main runs the cases named on the command line (all of them without arguments), prints one
 * line per case and a closing count, and exits non-zero when any case failed.
 */
final class Tests {
    interface Case {
        void run() throws Exception;
    }

    private final Map<String, Case> cases = new LinkedHashMap<>();

    Tests add(String name, Case body) {
        cases.put(name, body);
        return this;
    }

    void main(String[] args) {
        List<String> names = args.length == 0 ? new ArrayList<>(cases.keySet()) : List.of(args);
        int passed = 0;
        int failed = 0;
        for (String name : names) {
            Case body = cases.get(name);
            long started = System.nanoTime();
            try {
                if (body == null) throw new AssertionError("no test case named " + name);
                body.run();
                passed++;
                long millis = (System.nanoTime() - started) / 1000000;
                System.out.printf("PASS %s (%d ms)%n", name, millis);
            } catch (Throwable e) {
                failed++;
                System.out.printf("FAIL %s%n", name);
                e.printStackTrace(System.out);
            }
        }
        System.out.printf("%d passed, %d failed%n", passed, failed);
        System.out.flush();
        // Robot threads stuck in native code are daemons; exit does not wait for them.
        System.exit(failed == 0 ? 0 : 1);
    }

    static void check(boolean condition, String what) {
        if (!condition) throw new AssertionError(what);
    }

    static void equal(Object expected, Object actual, String what) {
        if (!Objects.equals(expected, actual)) {
            throw new AssertionError(
                    what + ": expected <" + expected + "> but was <" + actual + ">");
        }
    }

    static <T extends Throwable> T thrown(Class<T> type, Case body) throws Exception {
        try {
            body.run();
        } catch (Throwable e) {
            if (type.isInstance(e)) return type.cast(e);
            throw new AssertionError("expected " + type.getSimpleName() + " but got " + e, e);
        }
        throw new AssertionError("expected " + type.getSimpleName() + ", nothing was thrown");
    }

    /** A library file the build made for the tests, by its key in the test configuration. */
    /** What a command that ran printed, and its exit status. */
    record Ran(int status, String out, String err) {}

    /** Runs command in workDir with these extra environment variables, for up to 10 minutes. */
    static Ran run(Path workDir, List<String> command, Map<String, String> environment)
            throws Exception {
        Path out = Files.createTempFile("touchline-test-out-", ".txt");
        Path err = Files.createTempFile("touchline-test-err-", ".txt");
        try {
            ProcessBuilder builder = new ProcessBuilder(command).directory(workDir.toFile())
                    .redirectOutput(out.toFile()).redirectError(err.toFile());
            builder.environment().putAll(environment);
            Process process = builder.start();
            process.getOutputStream().close();
            check(process.waitFor(600, TimeUnit.SECONDS), "the command ended: " + command);
            return new Ran(process.exitValue(), Files.readString(out), Files.readString(err));
        } finally {
            Files.deleteIfExists(out);
            Files.deleteIfExists(err);
        }
    }

    static Ran runWith(List<String> command, Map<String, String> environment) throws Exception {
        return run(Path.of(System.getProperty("java.io.tmpdir")), command, environment);
    }

    static Path built(String key) throws IOException {
        return Path.of(configured(key));
    }

    /** A value of the test configuration the build wrote, by its key. */
    static String configured(String key) throws IOException {
        String file = System.getProperty("touchline.test.config");
        check(file != null, "touchline.test.config is not set");
        Properties properties = new Properties();
        try (InputStream in = Files.newInputStream(Path.of(file))) {
            properties.load(in);
        }
        String value = properties.getProperty(key);
        check(value != null, "no " + key + " in " + file);
        return value;
    }

    /** The robot JVMs' options the test runner asks for (-Xcheck:jni). */
    static List<String> robotOptions() {
        String options = System.getProperty("touchline.robot.options", "").trim();
        return options.isEmpty() ? List.of() : List.of(options.split("\\s+"));
    }

    /** No match of this JVM left its temporary folder behind. */
    static void assertNoMatchFolderLeft() throws IOException {
        List<Path> left;
        String mine = "match-" + ProcessHandle.current().pid() + "-";
        try (Stream<Path> entries = Files.list(touchline.host.match.RunFolder.base())) {
            left = entries.filter(p -> p.getFileName().toString().startsWith(mine)).toList();
        }
        check(left.isEmpty(), "temporary folders left behind: " + left);
    }

    /** The threads that played robots in this JVM end soon after the match. */
    static void assertRobotThreadsEnd() throws InterruptedException {
        long limit = System.nanoTime() + 5_000_000_000L;
        while (!liveRobotThreads().isEmpty() && System.nanoTime() < limit) Thread.sleep(10);
        equal(List.of(), liveRobotThreads(), "live robot threads");
    }

    /** Names of the live threads that play robots. */
    static List<String> liveRobotThreads() {
        return Thread.getAllStackTraces().keySet().stream()
                .filter(Thread::isAlive)
                .map(Thread::getName)
                .filter(name -> name.startsWith("touchline-robot-"))
                .toList();
    }

    private Tests() {}

    static Tests suite() {
        return new Tests();
    }
}
