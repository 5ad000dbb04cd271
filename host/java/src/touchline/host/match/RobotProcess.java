package touchline.host.match;

import java.io.ByteArrayOutputStream;
import java.io.FileDescriptor;
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.PrintStream;
import java.nio.channels.Channels;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import java.util.concurrent.TimeUnit;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import touchline.host.protocol.MatchWaiter;
import touchline.host.protocol.RobotArea;
import touchline.host.robot.NativeStrategy;
import touchline.host.sandbox.LibraryFiles;
import touchline.host.sandbox.Native;
import touchline.host.sandbox.Sandbox;

/**
 * One robot's process: a JVM that loads the robot's strategy library and plays it
 * (touchline.host.protocol.RobotMain), started through touchline-robot-init, in a sandbox of
 * its own when the machine allows. It is handed, at its start and to it alone, its channel (a
 * socket pair's end), its area (a memory object of its own) and where its output goes; its
 * first process tells the match, on a pipe of its own, how it ended and what its crash report
 * said, which a symbolizer turns into a function and source line. Its output goes to this
 * process's stderr, a line at a time, control characters escaped, without the JVM's crash
 * banner.
 */
final class RobotProcess {
    static final String MAIN = "touchline.host.protocol.RobotMain";

    private static final String[] SIGNALS = {"", "SIGHUP", "SIGINT", "SIGQUIT", "SIGILL",
            "SIGTRAP", "SIGABRT", "SIGBUS", "SIGFPE", "SIGKILL", "SIGUSR1", "SIGSEGV", "SIGUSR2",
            "SIGPIPE", "SIGALRM", "SIGTERM", "SIGSTKFLT", "SIGCHLD", "SIGCONT", "SIGSTOP",
            "SIGTSTP", "SIGTTIN", "SIGTTOU", "SIGURG", "SIGXCPU", "SIGXFSZ", "SIGVTALRM",
            "SIGPROF", "SIGWINCH", "SIGIO", "SIGPWR", "SIGSYS"};
    private static final int SIGKILL = 9;
    private static final int SIGSYS = 31;
    private static final Pattern REPORT_SIGNAL = Pattern.compile("^#\\s+(SIG[A-Z]+) \\(0x");
    /** A native frame of the crash report: "C  [libx.so+0x1139]  run+0x19". */
    private static final Pattern FRAME =
            Pattern.compile("^#?\\s*C\\s+\\[([^+\\]]+)\\+0x([0-9a-f]+)\\]\\s*(\\S*)");
    /** What a JVM's crash report says when memory ran out. */
    private static final Pattern OUT_OF_MEMORY = Pattern.compile(
            "insufficient memory|Out of Memory Error|OutOfMemoryError|Native memory allocation");
    /** The most of a crash report the match reads. */
    private static final int REPORT_LIMIT = 1 << 20;
    /**
     * Descriptors of the robot's first process: 0 its lifeline, 1 and 2 the robot's output, 3
     * the socket it reports on, and on which it receives the robot's channel and area, which
     * its program gets as 0 and 4.
     */
    private static final int LIFELINE_FD = 0;
    private static final int STATUS_FD = 3;
    private static final int AREA_FD = 4;

    /**
     * A class-data archive of the robot JVM's classes, made by the build (property
     * touchline.robot.archive, set by the launcher when the file exists): it saves each robot
     * JVM most of its class loading at start. A JVM that cannot use it (another JDK, a moved
     * jar) runs without it, silently.
     */
    static final String ARCHIVE_PROPERTY = "touchline.robot.archive";

    /** Stands for the robot's id in extra robot JVM options, for files of its own. */
    static final String ROBOT_TOKEN = "{robot}";

    private final int id;
    private final Path library;
    private final Sandbox.Limits limits;
    private final int pid;
    /** The end of the robot's lifeline this process holds; closed, it ends the robot. */
    private int lifeline;
    private final RobotChannel channel;
    private final ByteArrayOutputStream report = new ByteArrayOutputStream();
    private final Object lock = new Object();
    private boolean started;
    private String setupFailure;
    private int waitStatus = -1;
    private boolean exited;
    private boolean ended;
    /** Whether the first process has told how the robot ended (or has itself ended). */
    private boolean told;
    /** The signal the JVM's crash banner named, in case its crash report cannot be read. */
    private volatile String bannerSignal;
    private Thread forwarder;

    private RobotProcess(int id, Path library, Sandbox.Limits limits, int pid, int lifeline,
            RobotChannel channel) {
        this.id = id;
        this.library = library;
        this.limits = limits;
        this.pid = pid;
        this.lifeline = lifeline;
        this.channel = channel;
    }

    /**
     * Starts the robot. Must be called on a thread that lives as long as the match: the robot
     * is killed when the thread that started it ends.
     */
    static RobotProcess start(int id, Path library, Path folder, Sandbox sandbox,
            Sandbox.Limits limits, List<String> javaOptions, MatchWaiter waiter)
            throws IOException {
        Path unsealedReport = folder.resolve("robot-" + id + "-crash.log");
        List<Path> readable = new ArrayList<>();
        List<String> program = program(id, library, sandbox.reportFile(unsealedReport),
                javaOptions, readable);
        readable.addAll(LibraryFiles.of(library));
        Sandbox.Robot sealed = new Sandbox.Robot(id - 1, program, readable, limits);

        int memory = Native.memory("touchline-robot-" + id, RobotArea.BYTES);
        int[] control = null;
        int[] output = null;
        int[] status = null;
        int[] lifeline = null;
        RobotArea area;
        int pid;
        try {
            area = new RobotArea(Native.map(memory, RobotArea.BYTES));
            control = Native.socketPair();
            output = Native.pipe();
            status = Native.socketPair();
            lifeline = Native.pipe();
            pid = Native.spawn(sandbox.command(sealed, STATUS_FD, LIFELINE_FD, unsealedReport)
                    .toArray(String[]::new), environment(),
                    new int[] {lifeline[0], output[1], output[1], status[1]});
        } catch (IOException | RuntimeException e) {
            for (int[] pair : new int[][] {control, output, status, lifeline}) {
                if (pair != null) {
                    Native.close(pair[0]);
                    Native.close(pair[1]);
                }
            }
            Native.close(memory);
            throw e;
        }
        Native.close(output[1]);
        Native.close(status[1]);
        Native.close(lifeline[0]);
        try {
            // Handed over now, not inherited: no process but the robot's own holds them.
            Native.sendDescriptors(status[0], new int[] {control[1], memory});
        } catch (IOException e) {
            // The robot's first process has gone already: it tells why, or its end does.
        }
        Native.close(control[1]);
        Native.close(memory);
        int statusFd = status[0];
        int outputFd = output[0];
        FileDescriptor socket = Native.descriptor(control[0]);
        RobotChannel channel = RobotChannel.open("touchline-robot-channel-" + id, area,
                Channels.newChannel(new FileInputStream(socket)),
                Channels.newChannel(new FileOutputStream(socket)), waiter);
        RobotProcess robot = new RobotProcess(id, library, limits, pid, lifeline[1], channel);
        Thread watcher = new Thread(() -> robot.watch(statusFd, waiter),
                "touchline-robot-status-" + id);
        watcher.setDaemon(true);
        watcher.start();
        robot.forwarder = new Thread(() -> robot.forwardOutput(outputFd),
                "touchline-robot-output-" + id);
        robot.forwarder.setDaemon(true);
        robot.forwarder.start();
        return robot;
    }

    /** The robot JVM's command line; adds the files it reads to readable. */
    private static List<String> program(int id, Path library, String report,
            List<String> javaOptions, List<Path> readable) {
        List<String> command = new ArrayList<>();
        command.add(Path.of(System.getProperty("java.home"), "bin", "java").toString());
        // Small reservations, so that the JVM leaves the strategy most of the robot's memory.
        command.addAll(List.of("-XX:TieredStopAtLevel=1", "-XX:+UseSerialGC", "-Xms8m",
                "-Xmx128m", "-XX:ReservedCodeCacheSize=32m", "-XX:CompressedClassSpaceSize=64m",
                "-XX:MaxMetaspaceSize=128m", "-XX:-UseContainerSupport", "-XX:-UsePerfData",
                "-XX:-CreateCoredumpOnCrash", "-XX:ErrorFile=" + report));
        String bridge = System.getProperty(NativeStrategy.BRIDGE_PROPERTY);
        if (bridge != null) {
            command.add("-D" + NativeStrategy.BRIDGE_PROPERTY + "=" + bridge);
            readable.add(Path.of(bridge));
        }
        command.add("-Djava.library.path=" + System.getProperty("java.library.path", ""));
        String archive = System.getProperty(ARCHIVE_PROPERTY);
        if (archive != null && !archive.isEmpty()) {
            command.addAll(List.of("-XX:SharedArchiveFile=" + archive, "-Xlog:cds=off",
                    "-Xlog:cds+dynamic=off"));
            readable.add(Path.of(archive));
        }
        for (String option : javaOptions) {
            command.add(option.replace(ROBOT_TOKEN, Integer.toString(id)));
        }
        String classPath = System.getProperty("java.class.path");
        for (String entry : classPath.split(":")) {
            if (!entry.isEmpty()) readable.add(Path.of(entry).toAbsolutePath());
        }
        command.addAll(List.of("-cp", classPath, MAIN, Integer.toString(id),
                library.toAbsolutePath().toString(), Integer.toString(AREA_FD)));
        return command;
    }

    /** The robot's environment: this process's, less what would change how the JVM runs. */
    private static String[] environment() {
        List<String> variables = new ArrayList<>();
        System.getenv().forEach((name, value) -> {
            if (!name.equals("JAVA_TOOL_OPTIONS") && !name.equals("_JAVA_OPTIONS")
                    && !name.equals("JDK_JAVA_OPTIONS")) {
                variables.add(name + "=" + value);
            }
        });
        variables.add("MALLOC_ARENA_MAX=2");
        return variables.toArray(String[]::new);
    }

    RobotChannel channel() {
        return channel;
    }

    /**
     * Reads what the robot's first process tells (how the robot ended, then its crash report)
     * and wakes the match as soon as it is told; then reaps the process.
     */
    private void watch(int fd, MatchWaiter waiter) {
        try (InputStream in = new FileInputStream(Native.descriptor(fd))) {
            for (String line; (line = line(in)) != null;) {
                if (line.equals("started")) {
                    synchronized (lock) {
                        started = true;
                    }
                } else if (line.startsWith("failed ")) {
                    synchronized (lock) {
                        setupFailure = line.substring("failed ".length());
                    }
                } else if (line.startsWith("status ")) {
                    int status = Integer.parseInt(line.substring("status ".length()));
                    synchronized (lock) {
                        waitStatus = status;
                    }
                } else if (line.startsWith("report ")) {
                    int length = Integer.parseInt(line.substring("report ".length()));
                    readReport(in, length);
                    synchronized (lock) {
                        told = true;
                    }
                    waiter.post();
                }
            }
        } catch (IOException | NumberFormatException e) {
            // What was told so far is all there is.
        }
        finishWatch(waiter);
    }

    /** The crash report's bytes, at most REPORT_LIMIT of them. */
    private void readReport(InputStream in, int length) throws IOException {
        byte[] bytes = new byte[Math.max(0, Math.min(length, REPORT_LIMIT))];
        int read = 0;
        // Read by hand: the stream's own bulk reads seek, which a pipe cannot.
        for (int n; read < bytes.length && (n = in.read(bytes, read, bytes.length - read)) > 0;) {
            read += n;
        }
        synchronized (lock) {
            report.write(bytes, 0, read);
        }
    }

    private void finishWatch(MatchWaiter waiter) {
        // Known to have exited before it is reaped, so that kill() never signals a process
        // that has taken its id since.
        Native.awaitExit(pid);
        synchronized (lock) {
            exited = true;
        }
        Native.waitFor(pid);
        int end;
        synchronized (lock) {
            ended = true;
            told = true;
            end = lifeline;
            lifeline = -1;
            lock.notifyAll();
        }
        if (end >= 0) Native.close(end);
        waiter.post();
    }

    /** A line of at most 256 bytes from the first process; null at the end. */
    private static String line(InputStream in) throws IOException {
        StringBuilder line = new StringBuilder();
        for (int c; (c = in.read()) >= 0;) {
            if (c == '\n') return line.toString();
            if (line.length() < 256) line.append((char) c);
        }
        return line.length() > 0 ? line.toString() : null;
    }

    boolean isAlive() {
        synchronized (lock) {
            return !ended;
        }
    }

    /**
     * Ends the robot and every process it started: its first process kills its program when
     * the lifeline ends; the kill is for a sandbox that never got as far as starting it.
     */
    void kill() {
        int end;
        synchronized (lock) {
            end = lifeline;
            lifeline = -1;
            if (!exited) Native.kill(pid, Native.SIGKILL);
        }
        if (end >= 0) Native.close(end);
    }

    /**
     * Waits a little for the robot to end, and kills it if it does not; then for the last of
     * its output to be passed on.
     */
    void end(long millis) {
        if (!awaitEnd(millis)) kill();
        awaitEnd(2000);
        channel.close();
        try {
            forwarder.join(1000);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }

    private boolean awaitEnd(long millis) {
        long limit = System.nanoTime() + TimeUnit.MILLISECONDS.toNanos(millis);
        synchronized (lock) {
            try {
                while (!ended) {
                    long left = limit - System.nanoTime();
                    if (left <= 0) return false;
                    TimeUnit.NANOSECONDS.timedWait(lock, left);
                }
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
                return false;
            }
            return true;
        }
    }

    /**
     * Why the robot's process ended: the signal (from the crash report, if the JVM wrote one,
     * with the faulting function and source line where the library has debug information) or
     * its exit status; null while its first process has not told it. The crash report is
     * written into keep, if given.
     */
    String death(Path keep) {
        synchronized (lock) {
            if (!told) return null;
        }
        int status;
        byte[] bytes;
        String failure;
        synchronized (lock) {
            status = waitStatus;
            bytes = report.toByteArray();
            failure = setupFailure;
        }
        if (failure != null) return "could not start: " + failure;
        if (status < 0) return "its sandbox ended";
        try {
            // The banner, if the JVM printed one, is read by now or never.
            forwarder.join(1000);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
        String reason;
        if (bytes.length > 0) {
            String text = new String(bytes, StandardCharsets.ISO_8859_1);
            reason = fromReport(text);
            if (OUT_OF_MEMORY.matcher(text).find()) reason = outOfMemory() + " (" + reason + ")";
            keepReport(keep, bytes);
        } else if (bannerSignal != null) {
            reason = bannerSignal + " (no crash report)";
        } else if ((status & 0x7f) == 0) {
            reason = "exited with status " + ((status >> 8) & 0xff);
        } else {
            int signal = status & 0x7f;
            reason = signal < SIGNALS.length ? SIGNALS[signal] : "signal " + signal;
            if (signal == SIGSYS) reason = forbidden(channel.area.forbiddenCall());
            if (signal == SIGKILL && channel.area.memoryLimitReached()) reason = outOfMemory();
        }
        return reason;
    }

    private String outOfMemory() {
        return "out of memory: limit " + limits.memoryMiB() + " MiB";
    }

    private static String forbidden(int call) {
        String name = SystemCalls.name(call);
        return "a forbidden system call" + (name != null ? ": " + name : "")
                + " (a robot may not start processes or reach into others)";
    }

    private String fromReport(String text) {
        List<String> lines = text.lines().toList();
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
            List<String> lines = new String(tool.getInputStream().readNBytes(64 * 1024),
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

    private void keepReport(Path keep, byte[] bytes) {
        if (keep == null) return;
        try {
            Files.write(keep.resolve("robot-" + id + "-crash.log"), bytes);
        } catch (IOException e) {
            // The report is lost; the reason says what it told.
        }
    }

    /**
     * Copies the process's output to stderr, line by line, leaving out the banner the JVM
     * prints when it crashes: the crash is reported in the robot's ending instead.
     */
    private void forwardOutput(int fd) {
        PrintStream err = System.err;
        try (InputStream in = new FileInputStream(Native.descriptor(fd))) {
            OutputLines lines = new OutputLines(in);
            String held = null;
            boolean banner = false;
            for (String line; (line = lines.next()) != null;) {
                if (banner) {
                    if (line.startsWith("#")) {
                        Matcher signal = REPORT_SIGNAL.matcher(line);
                        if (signal.find() && bannerSignal == null) bannerSignal = signal.group(1);
                        continue;
                    }
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
                err.println(Visible.line(line));
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
