package touchline.host.tournament;

import java.io.ByteArrayOutputStream;
import java.io.FileInputStream;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.util.ArrayDeque;
import java.util.ArrayList;
import java.util.Deque;
import java.util.List;
import java.util.concurrent.TimeUnit;
import touchline.host.sandbox.Native;

/**
 * One match of a tournament: a touchline-match process in a session of its own, whose standard
 * input is a pipe only the tournament holds, so that the match ends itself when the tournament
 * ends, however it ends (the match is started with --end-with-input). What it prints is read as
 * it comes: its summary (at most 1 MiB) and the last lines of its stderr, never all of it.
 */
final class MatchProcess {
    private static final int SUMMARY_LIMIT = 1 << 20;
    private static final int KEPT_LINES = 20;
    private static final int LINE_LIMIT = 4096;

    /** How the match ended: its exit status, its summary, and its last line on stderr. */
    record Ended(int status, String output, String lastLine) {}

    private final int pid;
    private final Object lock = new Object();
    private int input;
    private boolean exited;
    private Ended ended;

    private MatchProcess(int pid, int input) {
        this.pid = pid;
        this.input = input;
    }

    /** Starts command (the bridge is loaded). */
    static MatchProcess start(List<String> command) throws IOException {
        int[] input = Native.pipe();
        int[] output = Native.pipe();
        int[] errors = Native.pipe();
        int pid;
        try {
            List<String> environment = new ArrayList<>();
            System.getenv().forEach((k, v) -> environment.add(k + "=" + v));
            pid = Native.spawn(command.toArray(String[]::new),
                    environment.toArray(String[]::new),
                    new int[] {input[0], output[1], errors[1]});
        } catch (IOException | RuntimeException e) {
            for (int fd : new int[] {input[1], output[0], errors[0]}) Native.close(fd);
            throw e;
        } finally {
            for (int fd : new int[] {input[0], output[1], errors[1]}) Native.close(fd);
        }
        MatchProcess match = new MatchProcess(pid, input[1]);
        Thread watcher = new Thread(() -> match.watch(output[0], errors[0]),
                "touchline-tournament-match-" + pid);
        watcher.setDaemon(true);
        watcher.start();
        return match;
    }

    private void watch(int outputFd, int errorsFd) {
        Deque<String> tail = new ArrayDeque<>();
        Thread errorsReader = new Thread(() -> keepTail(errorsFd, tail));
        errorsReader.setDaemon(true);
        errorsReader.start();
        String output = readSummary(outputFd);
        Native.awaitExit(pid);
        synchronized (lock) {
            exited = true;
        }
        int status = Native.waitFor(pid);
        try {
            errorsReader.join(5000);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
        String last;
        synchronized (tail) {
            last = tail.isEmpty() ? "" : tail.peekLast();
        }
        int code = (status & 0x7f) == 0 ? (status >> 8) & 0xff : 128 + (status & 0x7f);
        int end;
        synchronized (lock) {
            ended = new Ended(code, output, last);
            end = input;
            input = -1;
            lock.notifyAll();
        }
        if (end >= 0) Native.close(end);
    }

    private static String readSummary(int fd) {
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        try (InputStream in = new FileInputStream(Native.descriptor(fd))) {
            byte[] chunk = new byte[8192];
            for (int n; (n = in.read(chunk)) >= 0;) {
                if (bytes.size() < SUMMARY_LIMIT) bytes.write(chunk, 0, Math.min(n,
                        SUMMARY_LIMIT - bytes.size()));
            }
        } catch (IOException e) {
            // What arrived is all there is.
        }
        return bytes.toString(StandardCharsets.UTF_8);
    }

    /** Keeps the last KEPT_LINES non-blank lines of the stream, each cut at LINE_LIMIT. */
    private static void keepTail(int fd, Deque<String> tail) {
        try (InputStream in = new FileInputStream(Native.descriptor(fd))) {
            StringBuilder line = new StringBuilder();
            byte[] chunk = new byte[8192];
            for (int n; (n = in.read(chunk)) >= 0;) {
                for (int i = 0; i < n; i++) {
                    char c = (char) (chunk[i] & 0xff);
                    if (c == '\n') {
                        keep(tail, line);
                    } else if (line.length() < LINE_LIMIT) {
                        line.append(c);
                    }
                }
            }
            keep(tail, line);
        } catch (IOException e) {
            // The match has gone.
        }
    }

    private static void keep(Deque<String> tail, StringBuilder line) {
        String text = new String(line.toString().getBytes(StandardCharsets.ISO_8859_1),
                StandardCharsets.UTF_8).strip();
        line.setLength(0);
        if (text.isEmpty()) return;
        synchronized (tail) {
            if (tail.size() == KEPT_LINES) tail.removeFirst();
            tail.addLast(text);
        }
    }

    /** Ends the match: its input ends (it stops at its step), and SIGTERM says so too. */
    void end() {
        int end;
        synchronized (lock) {
            end = input;
            input = -1;
            if (!exited) Native.kill(pid, 15);
        }
        if (end >= 0) Native.close(end);
    }

    /** Waits up to millis for the match to end; how it ended, or null. */
    Ended await(long millis) {
        long limit = millis == Long.MAX_VALUE ? Long.MAX_VALUE
                : System.nanoTime() + TimeUnit.MILLISECONDS.toNanos(millis);
        synchronized (lock) {
            try {
                while (ended == null) {
                    long left = limit - System.nanoTime();
                    if (left <= 0) return null;
                    TimeUnit.NANOSECONDS.timedWait(lock, Math.min(left, 1_000_000_000L));
                }
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
                return ended;
            }
            return ended;
        }
    }
}
