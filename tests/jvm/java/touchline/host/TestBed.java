package touchline.host;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import java.util.Properties;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;

/**
 * What the build set up for the host's JVM tests: the libraries and programs it made for them
 * (by their keys in the test configuration it wrote), commands run against them, and the checks
 * every match played in the test's JVM ends with.
 */
final class TestBed {
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
            assertTrue(process.waitFor(600, TimeUnit.SECONDS), "the command ended: " + command);
            return new Ran(process.exitValue(), Files.readString(out), Files.readString(err));
        } finally {
            Files.deleteIfExists(out);
            Files.deleteIfExists(err);
        }
    }

    static Ran runWith(List<String> command, Map<String, String> environment) throws Exception {
        return run(Path.of(System.getProperty("java.io.tmpdir")), command, environment);
    }

    /** A file the build made for the tests, by its key in the test configuration. */
    static Path built(String key) throws IOException {
        return Path.of(configured(key));
    }

    /** A value of the test configuration the build wrote, by its key. */
    static String configured(String key) throws IOException {
        String file = System.getProperty("touchline.test.config");
        assertTrue(file != null, "touchline.test.config is not set");
        Properties properties = new Properties();
        try (InputStream in = Files.newInputStream(Path.of(file))) {
            properties.load(in);
        }
        String value = properties.getProperty(key);
        assertTrue(value != null, "no " + key + " in " + file);
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
        assertTrue(left.isEmpty(), "temporary folders left behind: " + left);
    }

    /** The threads that played robots in this JVM end soon after the match. */
    static void assertRobotThreadsEnd() throws InterruptedException {
        long limit = System.nanoTime() + 5_000_000_000L;
        while (!liveRobotThreads().isEmpty() && System.nanoTime() < limit) Thread.sleep(10);
        assertEquals(List.of(), liveRobotThreads(), "live robot threads");
    }

    /** Names of the live threads that play robots. */
    static List<String> liveRobotThreads() {
        return Thread.getAllStackTraces().keySet().stream()
                .filter(Thread::isAlive)
                .map(Thread::getName)
                .filter(name -> name.startsWith("touchline-robot-"))
                .toList();
    }

    private TestBed() {}
}
