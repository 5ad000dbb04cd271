package touchline.host.match;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import java.util.concurrent.TimeUnit;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import touchline.host.robot.NativeStrategy;

/**
 * One robot's process: a JVM that loads the robot's strategy library and plays it
 * (touchline.host.protocol.RobotMain), through the match's socket and its shared exchange
 * (steps and orders). Its output goes to this process's stderr, without the
 * JVM's crash banner; its crash report, if it crashes, is read for the signal and the frame
 * that faulted, which a symbolizer turns into a function and source line.
 */
final class RobotProcess {
    static final String MAIN = "touchline.host.protocol.RobotMain";

    private static final String[] SIGNALS = {"", "SIGHUP", "SIGINT", "SIGQUIT", "SIGILL",
            "SIGTRAP", "SIGABRT", "SIGBUS", "SIGFPE", "SIGKILL", "SIGUSR1", "SIGSEGV", "SIGUSR2",
            "SIGPIPE", "SIGALRM", "SIGTERM", "SIGSTKFLT", "SIGCHLD", "SIGCONT", "SIGSTOP",
            "SIGTSTP", "SIGTTIN", "SIGTTOU", "SIGURG", "SIGXCPU", "SIGXFSZ", "SIGVTALRM",
            "SIGPROF", "SIGWINCH", "SIGIO", "SIGPWR", "SIGSYS"};
    private static final Pattern REPORT_SIGNAL = Pattern.compile("^#\\s+(SIG[A-Z]+) \\(0x");
    /** A native frame of the crash report: "C  [libx.so+0x1139]  run+0x19". */
    private static final Pattern FRAME =
            Pattern.compile("^#?\\s*C\\s+\\[([^+\\]]+)\\+0x([0-9a-f]+)\\]\\s*(\\S*)");

    private final int id;
    private final Path library;
    private final Path report;
    private final Process process;
    private Thread forwarder;

    private RobotProcess(int id, Path library, Path report, Process process) {
        this.id = id;
        this.library = library;
        this.report = report;
        this.process = process;
    }

    /**
     * A class-data archive of the robot JVM's classes, made by the build (property
     * touchline.robot.archive, set by the launcher when the file exists): it saves each robot
     * JVM most of its class loading at start. A JVM that cannot use it (another JDK, a moved
     * jar) runs without it, silently.
     */
    static final String ARCHIVE_PROPERTY = "touchline.robot.archive";

    /** Stands for the robot's id in extra robot JVM options, for files of its own. */
    static final String ROBOT_TOKEN = "{robot}";

    private static List<String> archiveOptions() {
        String archive = System.getProperty(ARCHIVE_PROPERTY);
        if (archive == null || archive.isEmpty()) return List.of();
        return List.of("-XX:SharedArchiveFile=" + archive, "-Xlog:cds=off",
                "-Xlog:cds+dynamic=off");
    }

    /**
     * Starts the robot's JVM, which connects to socket. Must be called on a thread that lives
     * as long as the match: the robot process is killed when the thread that started it ends.
     */
    static RobotProcess start(int id, Path library, Path socket, Path folder, Path exchange,
            int robots, List<String> javaOptions) throws IOException {
        Path report = folder.resolve("robot-" + id + "-crash.log");
        List<String> command = new ArrayList<>();
        command.add(Path.of(System.getProperty("java.home"), "bin", "java").toString());
        command.addAll(List.of("-XX:TieredStopAtLevel=1", "-XX:+UseSerialGC", "-Xms8m",
                "-Xmx128m", "-XX:-UsePerfData", "-XX:-CreateCoredumpOnCrash",
                "-XX:ErrorFile=" + report));
        String bridge = System.getProperty(NativeStrategy.BRIDGE_PROPERTY);
        if (bridge != null) command.add("-D" + NativeStrategy.BRIDGE_PROPERTY + "=" + bridge);
        command.add("-Djava.library.path=" + System.getProperty("java.library.path", ""));
        command.addAll(archiveOptions());
        for (String option : javaOptions) {
            command.add(option.replace(ROBOT_TOKEN, Integer.toString(id)));
        }
        command.addAll(List.of("-cp", System.getProperty("java.class.path"), MAIN,
                socket.toString(), Integer.toString(id), library.toAbsolutePath().toString(),
                Long.toString(ProcessHandle.current().pid()),
                exchange == null ? "-" : exchange.toString(), Integer.toString(robots)));
        Process process = new ProcessBuilder(command).redirectErrorStream(true).start();
        process.getOutputStream().close();
        RobotProcess robot = new RobotProcess(id, library, report, process);
        robot.forwarder = new Thread(robot::forwardOutput, "touchline-robot-output-" + id);
        robot.forwarder.setDaemon(true);
        robot.forwarder.start();
        return robot;
    }

    boolean isAlive() {
        return process.isAlive();
    }

    void kill() {
        process.destroyForcibly();
    }

    /**
     * Waits a little for the process to end, and kills it if it does not; then for the last of
     * its output to be passed on.
     */
    void end(long millis) {
        try {
            if (!process.waitFor(millis, TimeUnit.MILLISECONDS)) process.destroyForcibly();
            process.waitFor(2, TimeUnit.SECONDS);
            forwarder.join(1000);
        } catch (InterruptedException e) {
            process.destroyForcibly();
            Thread.currentThread().interrupt();
        }
    }

    /**
     * Why the process died: the signal (from the crash report, if the JVM wrote one, with the
     * faulting function and source line where the library has debug information) or its exit
     * status. The crash report is moved into keep, or deleted.
     */
    String death(Path keep) {
        end(5000);
        int status = process.isAlive() ? -1 : process.exitValue();
        String reason;
        if (Files.exists(report)) {
            reason = fromReport();
            keepReport(keep);
        } else if (status > 128 && status - 128 < SIGNALS.length) {
            reason = SIGNALS[status - 128];
        } else {
            reason = "exited with status " + status;
        }
        return reason;
    }

    private String fromReport() {
        List<String> lines;
        try {
            lines = Files.readAllLines(report, StandardCharsets.ISO_8859_1);
        } catch (IOException e) {
            return "crashed (its crash report cannot be read: " + e.getMessage() + ")";
        }
        String signal = "a fatal error";
        for (String line : lines) {
            Matcher m = REPORT_SIGNAL.matcher(line);
            if (m.find()) {
                signal = m.group(1);
                break;
            }
        }
        String name = library.getFileName().toString();
        String where = null;
        String any = null;
        for (String line : lines) {
            Matcher m = FRAME.matcher(line);
            if (!m.find()) continue;
            if (m.group(1).equals(name)) {
                where = place(m.group(2), m.group(3));
                break;
            }
            if (any == null && line.startsWith("#")) {
                any = m.group(3).isEmpty() ? m.group(1) : m.group(3);
            }
        }
        if (where != null) return signal + " in " + where + " (" + library + ")";
        return signal + (any != null ? " in " + any : "") + " (" + library + ")";
    }

    /** The function and file:line of an offset in the library, as well as it can be told. */
    private String place(String offset, String symbol) {
        String function = symbol.isEmpty() ? "0x" + offset
                                           : symbol.replaceAll("\\+0x[0-9a-f]+$", "");
        List<String> lines = symbolize("0x" + offset);
        if (lines.size() >= 2) {
            if (!lines.get(0).startsWith("??")) function = lines.get(0);
            String source = lines.get(1).replaceAll(" \\(discriminator \\d+\\)$", "");
            if (!source.startsWith("??")) {
                return function + " at " + Path.of(source).getFileName();
            }
        }
        return function;
    }

    private List<String> symbolize(String address) {
        try {
            Process tool = new ProcessBuilder("addr2line", "-f", "-i", "-C", "-e",
                    library.toAbsolutePath().toString(), address).redirectErrorStream(true)
                    .start();
            tool.getOutputStream().close();
            List<String> lines = new String(tool.getInputStream().readAllBytes(),
                    StandardCharsets.UTF_8).lines().toList();
            if (!tool.waitFor(5, TimeUnit.SECONDS)) tool.destroyForcibly();
            return tool.exitValue() == 0 ? lines : List.of();
        } catch (IOException | IllegalThreadStateException e) {
            return List.of();
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
            return List.of();
        }
    }

    private void keepReport(Path keep) {
        try {
            if (keep != null) {
                Files.move(report, keep.resolve(report.getFileName()),
                        StandardCopyOption.REPLACE_EXISTING);
            } else {
                Files.deleteIfExists(report);
            }
        } catch (IOException e) {
            // The report stays in the match's temporary folder, which is removed at the end.
        }
    }

    /**
     * Copies the process's output to stderr, line by line, leaving out the banner the JVM
     * prints when it crashes: the crash is reported in the robot's ending instead.
     */
    private void forwardOutput() {
        PrintStream err = System.err;
        try (BufferedReader in = new BufferedReader(
                new InputStreamReader(process.getInputStream(), StandardCharsets.UTF_8))) {
            String held = null;
            boolean banner = false;
            for (String line; (line = in.readLine()) != null;) {
                if (banner) {
                    if (line.startsWith("#")) continue;
                    banner = false;
                }
                if (held != null) {
                    if (line.startsWith("# A fatal error has been detected")) {
                        held = null;
                        banner = true;
                        continue;
                    }
                    err.println(held);
                    held = null;
                }
                if (line.equals("#")) {
                    held = line;
                    continue;
                }
                err.println(line);
            }
            if (held != null) err.println(held);
        } catch (IOException e) {
            // The process has gone.
        }
    }

    @Override
    public String toString() {
        return String.format(Locale.ROOT, "robot %d (%s)", id, library);
    }
}
