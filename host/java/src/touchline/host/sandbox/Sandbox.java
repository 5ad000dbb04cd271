package touchline.host.sandbox;

import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Set;
import java.util.TreeSet;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.FutureTask;
import java.util.concurrent.TimeUnit;
import touchline.host.robot.NativeStrategy;
import touchline.host.robot.StrategyLoadException;

/**
 * How a robot process is started and sealed. Sealed, it runs under bubblewrap (Debian's
 * bwrap, the sandbox Flatpak uses) in namespaces of its own: it sees no other process, no
 * network and a read-only file system holding only what it needs (the system's libraries, the
 * JDK, the host's jar and bridge, its own library and those that one loads) and an empty
 * private /tmp; it runs in a session of its own, as a user of its own when the host runs as
 * root; and its first process, touchline-robot-init, puts kernel limits and a system-call
 * filter on the robot's JVM before it starts it. Not sealed (turned off, or where the system
 * cannot make the namespaces), the same first process starts the JVM without namespaces,
 * limits or filter. Everything allowed is listed here, in {@link #command}.
 */
public final class Sandbox {
    /**
     * The kernel's limits on one robot: the address space of its process (its JVM and its
     * strategy; a robot cannot start another process), its threads, its open files, and the
     * bytes of its private /tmp (and of any one file it writes).
     */
    public record Limits(long memoryBytes, int threads, int files, long diskBytes) {
        public static final Limits DEFAULT = new Limits(1024L << 20, 64, 256, 16L << 20);

        public long memoryMiB() {
            return memoryBytes >> 20;
        }
    }

    /** Robots must be sealed and cannot be, for the reason given. */
    public static final class Unavailable extends IOException {
        private static final long serialVersionUID = 1L;

        public Unavailable(String reason) {
            super("robots cannot be sandboxed here: " + reason);
        }
    }

    /** What one robot process runs and reads. */
    public record Robot(int index, List<String> program, List<Path> readable, Limits limits) {}

    /** The system property naming touchline-robot-init (set by the launchers). */
    public static final String INIT_PROPERTY = "touchline.robot.init";
    /** Where the JVM writes its crash report in a sealed robot's private /tmp. */
    private static final String SEALED_REPORT = "/tmp/touchline-crash.log";
    /** Robots of a host run as root get user ids from here up, one of their own each. */
    private static final long FIRST_ROBOT_USER = 1_900_000_000L;
    /** Preloaded into a sealed robot, it names the memory limit when the robot reaches it. */
    private static final String GUARD = "libtouchline_guard.so";
    private static final String[] TOP_LEVEL = {"/bin", "/lib", "/lib64", "/lib32", "/libx32"};

    private static volatile Sandbox detected;
    /** The trial started ahead by detectAhead(), if any. */
    private static FutureTask<Sandbox> ahead;

    private final boolean sealed;
    private final String reason;
    private final Path bwrap;
    private final Path init;

    private Sandbox(boolean sealed, String reason, Path bwrap, Path init) {
        this.sealed = sealed;
        this.reason = reason;
        this.bwrap = bwrap;
        this.init = init;
    }

    /** Robots are not sealed, because reason. */
    public static Sandbox off(String reason) {
        return new Sandbox(false, reason, null, initProgram());
    }

    /**
     * Seals robots if this machine can: bwrap is installed and a trial sandbox, with the same
     * namespaces, limits and filter as a robot's, starts (checked once per process).
     */
    public static Sandbox detect() {
        Sandbox known = detected;
        if (known != null) return known;
        FutureTask<Sandbox> early;
        synchronized (Sandbox.class) {
            if (detected != null) return detected;
            early = ahead;
            if (early == null) {
                detected = probe();
                return detected;
            }
        }
        Sandbox found;
        try {
            found = early.get();
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
            return off("interrupted");
        } catch (ExecutionException e) {
            found = off("the trial sandbox failed: " + e.getCause());
        }
        synchronized (Sandbox.class) {
            if (detected == null) detected = found;
            return detected;
        }
    }

    /**
     * Starts the trial sandbox of detect() on a thread of its own, so that its answer is ready
     * by the time the robots are started: the trial takes a process or two and tens of
     * milliseconds, which a match would otherwise spend waiting before its first robot starts.
     */
    public static void detectAhead() {
        synchronized (Sandbox.class) {
            if (detected != null || ahead != null) return;
            ahead = new FutureTask<>(Sandbox::probe);
        }
        Thread trial = new Thread(ahead, "touchline-sandbox-trial");
        trial.setDaemon(true);
        trial.start();
    }

    /** Whether robots are sealed. */
    public boolean sealed() {
        return sealed;
    }

    /** Why robots are not sealed ("" when they are). */
    public String reason() {
        return sealed ? "" : reason;
    }

    private static Path initProgram() {
        String path = System.getProperty(INIT_PROPERTY);
        return path == null || path.isEmpty() ? null : Path.of(path);
    }

    private static Sandbox probe() {
        Path init = initProgram();
        if (init == null || !Files.isExecutable(init)) {
            return off("touchline-robot-init is not installed beside the host");
        }
        Path bwrap = findBwrap();
        if (bwrap == null) return off("bubblewrap (bwrap) is not installed");
        try {
            NativeStrategy.loadBridgeLibrary();
        } catch (StrategyLoadException e) {
            return off(e.getMessage());
        }
        Sandbox trial = new Sandbox(true, "", bwrap, init);
        // The trial's first process reports on stdout: "started" and "status 0" when its
        // robot, sealed like any other, ran. Its lifeline is its stdin.
        List<String> command = trial.sealedCommand(new Robot(0, List.of(init.toString(),
                "--check"), List.of(), Limits.DEFAULT), "/dev/null", 1, 0, false);
        try {
            Process process = new ProcessBuilder(command).redirectErrorStream(true).start();
            byte[] output;
            try (InputStream in = process.getInputStream()) {
                output = in.readNBytes(4096);
            }
            if (!process.waitFor(10, TimeUnit.SECONDS)) {
                process.destroyForcibly();
                return off("a trial sandbox did not start within 10 s");
            }
            String text = new String(output, StandardCharsets.UTF_8).strip();
            if (process.exitValue() == 0 && text.contains("started\nstatus 0\n")) return trial;
            if (text.startsWith("started\n")) text = text.substring("started\n".length());
            if (text.startsWith("failed ")) text = text.substring("failed ".length());
            String first = text.isEmpty() ? "bwrap exited with status " + process.exitValue()
                                           : text.lines().findFirst().orElse("");
            return off(first.length() > 200 ? first.substring(0, 200) : first);
        } catch (IOException e) {
            return off("cannot run " + bwrap + ": " + e.getMessage());
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
            return off("interrupted");
        }
    }

    /** The bubblewrap program to use: $TOUCHLINE_BWRAP, else bwrap on the PATH or in /usr/bin. */
    private static Path findBwrap() {
        String chosen = System.getenv("TOUCHLINE_BWRAP");
        if (chosen != null && !chosen.isEmpty()) {
            return Files.isExecutable(Path.of(chosen)) ? Path.of(chosen) : null;
        }
        String path = System.getenv("PATH");
        List<String> folders = new ArrayList<>();
        if (path != null) folders.addAll(List.of(path.split(":")));
        folders.add("/usr/bin");
        for (String folder : folders) {
            if (folder.isEmpty()) continue;
            Path candidate = Path.of(folder, "bwrap");
            if (Files.isExecutable(candidate)) return candidate;
        }
        return null;
    }

    /**
     * The command that starts a robot: its first process, which receives the robot's channel
     * and area on the socket statusFd and then reports there, and lives as long as the
     * descriptor lifelineFd is open; and the robot's program. unsealedReport: where the
     * program's crash report is written when the robot is not sealed (a sealed robot writes
     * it into its private /tmp).
     */
    public List<String> command(Robot robot, int statusFd, int lifelineFd, Path unsealedReport) {
        if (init == null) throw new IllegalStateException("touchline-robot-init is not known");
        if (sealed) return sealedCommand(robot, SEALED_REPORT, statusFd, lifelineFd, true);
        List<String> command = new ArrayList<>();
        command.add(init.toString());
        command.addAll(List.of("--receive", "--status-fd", Integer.toString(statusFd),
                "--lifeline", Integer.toString(lifelineFd), "--report",
                unsealedReport.toString(), "--"));
        command.addAll(robot.program());
        return command;
    }

    /** The error file a robot's JVM is told to write its crash report into. */
    public String reportFile(Path unsealedReport) {
        return sealed ? SEALED_REPORT : unsealedReport.toString();
    }

    private List<String> sealedCommand(Robot robot, String report, int statusFd,
            int lifelineFd, boolean receive) {
        boolean root = Native.userId() == 0;
        List<String> c = new ArrayList<>();
        c.add(bwrap.toString());
        c.addAll(List.of("--unshare-pid", "--unshare-net", "--unshare-ipc", "--unshare-uts",
                "--unshare-cgroup-try", "--die-with-parent", "--new-session", "--as-pid-1",
                "--clearenv", "--chdir", "/tmp"));
        if (root) {
            // No user namespace: the first process takes a user id of the robot's own, so
            // that the kernel counts the robot's threads alone.
            c.addAll(List.of("--cap-drop", "ALL", "--cap-add", "CAP_SETUID", "--cap-add",
                    "CAP_SETGID"));
        } else {
            c.addAll(List.of("--unshare-user", "--disable-userns"));
        }
        for (String variable : List.of("LANG", "LC_ALL", "TZ")) {
            String value = System.getenv(variable);
            if (value != null) c.addAll(List.of("--setenv", variable, value));
        }
        c.addAll(List.of("--setenv", "PATH", "/usr/bin:/bin", "--setenv", "MALLOC_ARENA_MAX",
                "2"));
        for (String top : TOP_LEVEL) {
            Path path = Path.of(top);
            if (Files.isSymbolicLink(path)) {
                try {
                    c.addAll(List.of("--symlink", Files.readSymbolicLink(path).toString(), top));
                } catch (IOException e) {
                    // Left out: a link that cannot be read leads nowhere.
                }
            }
        }
        Set<String> binds = new TreeSet<>(SystemFiles.readable());
        binds.add(init.toString());
        binds.add(init.resolveSibling(GUARD).toString());
        for (Path path : robot.readable()) binds.add(path.toString());
        Set<String> folders = new TreeSet<>();
        for (String bind : binds) {
            for (Path p = Path.of(bind).getParent(); p != null && p.getParent() != null;
                    p = p.getParent()) {
                folders.add(p.toString());
            }
        }
        for (String top : TOP_LEVEL) folders.remove(top);
        folders.remove("/tmp");
        // Folders the binds need are made readable by anyone (bwrap may make them private).
        // Writable: the private /tmp alone, of the robot's disk size (files bound below it
        // stay read-only); the rest, /dev and the root itself included, is read-only.
        c.addAll(List.of("--proc", "/proc", "--dev", "/dev", "--remount-ro", "/dev", "--size",
                Long.toString(robot.limits().diskBytes()), "--perms", "01777", "--tmpfs", "/tmp"));
        for (String folder : folders) c.addAll(List.of("--perms", "0755", "--dir", folder));
        for (String bind : binds) c.addAll(List.of("--ro-bind-try", bind, bind));
        c.addAll(List.of("--remount-ro", "/"));
        c.add("--");
        c.add(init.toString());
        if (receive) c.add("--receive");
        c.addAll(List.of("--status-fd", Integer.toString(statusFd), "--lifeline",
                Integer.toString(lifelineFd), "--filter", "--report", report));
        Path guard = init.resolveSibling(GUARD);
        if (Files.isRegularFile(guard)) c.addAll(List.of("--preload", guard.toString()));
        Limits limits = robot.limits();
        c.addAll(List.of("--memory", Long.toString(limits.memoryBytes()), "--threads",
                Integer.toString(limits.threads()), "--files", Integer.toString(limits.files()),
                "--file-size", Long.toString(limits.diskBytes())));
        if (root) {
            long user = FIRST_ROBOT_USER + (ProcessHandle.current().pid() % 4_000_000L) * 16
                    + robot.index() % 16;
            c.addAll(List.of("--uid", Long.toString(user), "--gid", Long.toString(user)));
        }
        c.add("--");
        c.addAll(robot.program());
        return c;
    }
}
