package touchline.host.match;

import com.sun.net.httpserver.Headers;
import com.sun.net.httpserver.HttpExchange;
import com.sun.net.httpserver.HttpServer;
import java.io.IOException;
import java.io.OutputStream;
import java.net.InetAddress;
import java.net.InetSocketAddress;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import java.util.Set;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.concurrent.atomic.AtomicLong;
import java.util.concurrent.locks.LockSupport;

/**
 * The live view of a match: serves the replay page on the loopback address and streams the
 * match's replay lines to every page that watches (Server-Sent Events) while the match plays.
 *
 * The match's thread only puts each line into a bounded ring and never waits: when the ring is
 * full the line is dropped, never the step. A pump thread moves the lines into the history, and
 * every page reads the history on a thread of its own, at its own pace, from the header on; a
 * page that falls far behind skips to the newest lines, one that has gone costs nothing.
 *
 * A page that follows the newest step asks for the stream with "follow=1": each event then
 * starts at the newest frame, the lines before it skipped (a "gap" event says which), so that
 * the page reads a few dozen steps a second however fast the match plays. When the match is
 * over, such a page is sent what it skipped (a "refill" event, then the lines), and so ends
 * with the whole match; a page that stops following asks for the whole stream again from its
 * first gap on.
 *
 * Only requests that name this server by a loopback name and its port in their Host header (and
 * in their Origin, when they have one) are answered: a web site open in the same browser, even
 * one whose name was made to point at this machine, can neither read the page nor the stream.
 */
public final class LiveServer implements AutoCloseable {
    /** Lines the ring holds between the match's thread and the pump. */
    private static final int RING = 1 << 16;
    private static final long PUMP_NANOS = 25_000_000L;
    /**
     * A page this many lines behind the newest, once it has read what there was when it came,
     * skips to the newest TAIL lines.
     */
    private static final long LAG_LINES = 100_000;
    private static final int TAIL_LINES = 200;
    /** At most this many characters go to a page in one write. */
    private static final int BATCH_CHARS = 1 << 20;
    /** The history keeps about this many characters; the oldest lines but the header go. */
    private static final long HISTORY_CHARS = 256L << 20;
    private static final int MAX_PAGES = 16;
    private static final long KEEP_ALIVE_MILLIS = 15_000;
    /**
     * A following page gets an event at most this often; every FAST_FOLLOW_MILLIS when the
     * match moved on by more than FAST_FRAMES frames since the last one (it plays much faster
     * than a page can show, and each event costs the browser), and every
     * FASTEST_FOLLOW_MILLIS while it plays more than FASTEST_FRAMES_A_SECOND frames a second
     * (twenty times real time: each picture then skips hundreds of steps however often it is
     * drawn, and the browser's work would slow the match itself).
     */
    private static final long FOLLOW_MILLIS = 33;
    private static final long FAST_FOLLOW_MILLIS = 500;
    private static final long FAST_FRAMES = 4;
    private static final long FASTEST_FOLLOW_MILLIS = 1000;
    private static final long FASTEST_FRAMES_A_SECOND = 1200;
    private static final String PAGE_POLICY = "default-src 'none'; connect-src 'self'; "
            + "style-src 'unsafe-inline'; script-src 'unsafe-inline'";

    private final HttpServer server;
    private final ExecutorService pages;
    private final byte[] page;
    private final int port;
    private final Set<String> hosts;
    private final Set<String> origins;
    private final AtomicInteger streams = new AtomicInteger();

    private final String[] ring = new String[RING];
    private final AtomicLong ringHead = new AtomicLong();
    private final AtomicLong ringTail = new AtomicLong();
    /** Lines the ring had no room for; written on the match's thread, read by anyone. */
    private volatile long dropped;
    private volatile boolean ending;
    private final Thread pump;

    /** The history: lines from sequence number first on (the header, number 0, always kept). */
    private final Object lock = new Object();
    private final List<String> history = new ArrayList<>();
    private String header;
    private long first = 1;
    private long count;
    /** The number of the newest frame line (0: none yet), and how many frames came. */
    private long newestFrame;
    private long frames;
    /** The "ended" lines so far: each gap carries them, so a page that skips sees every one. */
    private final List<String> endings = new ArrayList<>();
    private long chars;
    private boolean over;
    private boolean closing;

    private LiveServer(HttpServer server, byte[] page) {
        this.server = server;
        this.page = page;
        this.port = server.getAddress().getPort();
        this.hosts = Set.of("127.0.0.1:" + port, "localhost:" + port);
        this.origins = Set.of("http://127.0.0.1:" + port, "http://localhost:" + port);
        pages = Executors.newCachedThreadPool(task -> {
            Thread thread = new Thread(task, "touchline-live-page");
            thread.setDaemon(true);
            return thread;
        });
        pump = new Thread(this::pump, "touchline-live-pump");
        pump.setDaemon(true);
    }

    /**
     * Listens on 127.0.0.1 at port (0: one the system chooses) and serves page (the replay page
     * made for the live view) at "/" and the stream at "/stream".
     */
    public static LiveServer start(int port, String page) throws IOException {
        HttpServer server = HttpServer.create(
                new InetSocketAddress(InetAddress.getByAddress(new byte[] {127, 0, 0, 1}), port),
                32);
        LiveServer live = new LiveServer(server, page.getBytes(StandardCharsets.UTF_8));
        server.createContext("/", live::answer);
        server.setExecutor(live.pages);
        server.start();
        live.pump.start();
        return live;
    }

    /** The address to open in a browser. */
    public String address() {
        return "http://127.0.0.1:" + port + "/";
    }

    public int port() {
        return port;
    }

    /** Lines the match handed over that found no room; counted on the match's thread. */
    public long dropped() {
        return dropped;
    }

    /**
     * One replay line, from the one thread that plays the match: never waits. The ring is wide
     * enough for many seconds of a match; it fills only when the pump gets no core for that long.
     */
    public void line(String line) {
        long tail = ringTail.get();
        if (tail - ringHead.get() >= RING) {
            dropped = dropped + 1;
            return;
        }
        ring[(int) (tail & (RING - 1))] = line;
        ringTail.lazySet(tail + 1);
    }

    /** The match has handed its last line (its end line): pages are told once they have all. */
    public void end() {
        ending = true;
    }

    @Override
    public void close() {
        close(0);
    }

    /**
     * Lets the pages that watch read the rest, for up to graceMillis (a page ends its stream
     * once it has read the end), then stops serving.
     */
    public void close(long graceMillis) {
        end();
        long limit = System.nanoTime() + graceMillis * 1_000_000L;
        synchronized (lock) {
            while (streams.get() > 0 && System.nanoTime() < limit) {
                waitQuietly(Math.max(1, (limit - System.nanoTime()) / 1_000_000L));
            }
            closing = true;
            lock.notifyAll();
        }
        server.stop(0);
        pages.shutdownNow();
    }

    // ------------------------------------------------------------------ the pump

    private void pump() {
        List<String> batch = new ArrayList<>();
        while (true) {
            boolean last = ending;
            long head = ringHead.get();
            long tail = ringTail.get();
            for (long n = head; n < tail; n++) {
                int slot = (int) (n & (RING - 1));
                batch.add(ring[slot]);
                ring[slot] = null;
            }
            ringHead.lazySet(tail);
            synchronized (lock) {
                if (!batch.isEmpty()) keep(batch);
                if (last && ringTail.get() == tail) over = true;
                if (!batch.isEmpty() || over) lock.notifyAll();
                if (closing || over) return;
            }
            batch.clear();
            LockSupport.parkNanos(PUMP_NANOS);
        }
    }

    /** Adds lines to the history; past its size, the oldest lines but the header go. */
    private void keep(List<String> lines) {
        for (String line : lines) {
            if (count == 0) {
                header = line;
            } else {
                if (line.startsWith("{\"time\":")) {
                    newestFrame = count;
                    frames++;
                } else if (line.startsWith("{\"ended\":")) {
                    endings.add(line);
                }
                history.add(line);
                chars += line.length();
            }
            count++;
        }
        if (chars <= HISTORY_CHARS) return;
        int drop = 0;
        long left = chars;
        while (left > HISTORY_CHARS * 3 / 4 && drop < history.size()) {
            left -= history.get(drop++).length();
        }
        history.subList(0, drop).clear();
        first += drop;
        chars = left;
    }

    // ------------------------------------------------------------------ requests

    private void answer(HttpExchange exchange) throws IOException {
        try (exchange) {
            if (!allowed(exchange.getRequestHeaders())) {
                reply(exchange, 403, "text/plain", "Only this machine's pages may watch.\n");
                return;
            }
            if (!exchange.getRequestMethod().equals("GET")) {
                exchange.getResponseHeaders().set("Allow", "GET");
                reply(exchange, 405, "text/plain", "GET only.\n");
                return;
            }
            switch (exchange.getRequestURI().getPath()) {
                case "/" -> reply(exchange, 200, "text/html; charset=utf-8", page);
                case "/stream" -> stream(exchange);
                default -> reply(exchange, 404, "text/plain", "Not here: / or /stream.\n");
            }
        }
    }

    /** One Host header naming this server; no Origin, or one of this server's. */
    private boolean allowed(Headers headers) {
        List<String> host = headers.get("Host");
        if (host == null || host.size() != 1
                || !hosts.contains(host.get(0).trim().toLowerCase(Locale.ROOT))) {
            return false;
        }
        List<String> origin = headers.get("Origin");
        if (origin == null) return true;
        return origin.size() == 1
                && origins.contains(origin.get(0).trim().toLowerCase(Locale.ROOT));
    }

    private void reply(HttpExchange exchange, int status, String type, String body)
            throws IOException {
        reply(exchange, status, type, body.getBytes(StandardCharsets.UTF_8));
    }

    private void reply(HttpExchange exchange, int status, String type, byte[] body)
            throws IOException {
        Headers headers = exchange.getResponseHeaders();
        headers.set("Content-Type", type);
        headers.set("Cache-Control", "no-store");
        headers.set("X-Content-Type-Options", "nosniff");
        headers.set("Content-Security-Policy", PAGE_POLICY);
        exchange.sendResponseHeaders(status, body.length);
        exchange.getResponseBody().write(body);
    }

    /**
     * The match's lines as events, each event a batch of lines (one "data:" field each) with
     * the number of the line after it as its id, so that a page that reconnects goes on where
     * it was (Last-Event-ID).
     */
    private void stream(HttpExchange exchange) throws IOException {
        if (streams.incrementAndGet() > MAX_PAGES) {
            streams.decrementAndGet();
            reply(exchange, 503, "text/plain", "Too many pages watch this match.\n");
            return;
        }
        try {
            Headers headers = exchange.getResponseHeaders();
            headers.set("Content-Type", "text/event-stream");
            headers.set("Cache-Control", "no-store");
            headers.set("X-Content-Type-Options", "nosniff");
            exchange.sendResponseHeaders(200, 0);
            OutputStream out = exchange.getResponseBody();
            long next = resumeAt(exchange.getRequestHeaders().getFirst("Last-Event-ID"));
            String query = exchange.getRequestURI().getRawQuery();
            boolean follow = query != null && List.of(query.split("&")).contains("follow=1");
            long firstGap = -1;
            long caughtUp;
            synchronized (lock) {
                caughtUp = count;
            }
            StringBuilder text = new StringBuilder();
            long quietSince = System.currentTimeMillis();
            long wakeAt = 0;
            long framesSent = 0;
            long sentAt = System.currentTimeMillis();
            while (true) {
                text.setLength(0);
                boolean done;
                synchronized (lock) {
                    while (!over && !closing) {
                        long now = System.currentTimeMillis();
                        if (next < count && now >= wakeAt) break;
                        if (now - quietSince >= KEEP_ALIVE_MILLIS) break;
                        waitQuietly(next < count ? Math.max(1, wakeAt - now) : KEEP_ALIVE_MILLIS);
                    }
                    if (closing) return;
                    if (next == 0) next = batch(next, text, 1);
                    if (over && firstGap >= 0) {
                        // The match is over: what this page skipped, and the rest.
                        text.append("event: refill\ndata: {\"from\":").append(firstGap)
                                .append("}\n\n");
                        next = firstGap;
                        firstGap = -1;
                        follow = false;
                    } else if (follow && newestFrame > next) {
                        gap(text, next, newestFrame);
                        if (firstGap < 0) firstGap = next;
                        next = newestFrame;
                    }
                    if (follow) {
                        long now = System.currentTimeMillis();
                        long moved = frames - framesSent;
                        wakeAt = now + (moved <= FAST_FRAMES ? FOLLOW_MILLIS
                                : moved * 1000 > FASTEST_FRAMES_A_SECOND * (now - sentAt)
                                        ? FASTEST_FOLLOW_MILLIS : FAST_FOLLOW_MILLIS);
                        framesSent = frames;
                        sentAt = now;
                    } else if (!follow && next >= caughtUp && count - next > LAG_LINES) {
                        gap(text, next, count - TAIL_LINES);
                        if (firstGap < 0) firstGap = next;
                        next = count - TAIL_LINES;
                    }
                    next = batch(next, text, count);
                    done = over && next >= count;
                }
                if (text.length() == 0) {
                    text.append(": still here\n\n");
                }
                out.write(text.toString().getBytes(StandardCharsets.US_ASCII));
                out.flush();
                quietSince = System.currentTimeMillis();
                if (done) return;
            }
        } catch (IOException e) {
            // The page has gone: nothing is owed to it.
        } finally {
            streams.decrementAndGet();
            synchronized (lock) {
                lock.notifyAll();
            }
        }
    }

    /**
     * Appends the lines from next up to end as events: the header alone, a gap where lines are
     * no longer kept, then up to BATCH_CHARS of lines. Returns the new next.
     */
    private long batch(long next, StringBuilder text, long end) {
        if (next >= end) return next;
        if (next == 0) {
            text.append("data: ").append(header).append("\nid: 1\n\n");
            next = 1;
        }
        if (next < first) {
            gap(text, next, first);
            next = first;
        }
        if (next >= end) return next;
        long size = 0;
        while (next < end && size < BATCH_CHARS) {
            String line = history.get((int) (next - first));
            text.append("data: ").append(line).append('\n');
            size += line.length();
            next++;
        }
        text.append("id: ").append(next).append("\n\n");
        return next;
    }

    private void gap(StringBuilder text, long from, long to) {
        text.append("event: gap\ndata: {\"from\":").append(from).append(",\"to\":").append(to)
                .append("}\n\n");
        if (endings.isEmpty()) return;
        for (String line : endings) text.append("data: ").append(line).append('\n');
        text.append('\n');
    }

    /** Where a reconnecting page goes on: the line after the last it had (0: from the start). */
    private static long resumeAt(String lastEventId) {
        if (lastEventId == null) return 0;
        try {
            return Math.max(0, Long.parseLong(lastEventId.trim()));
        } catch (NumberFormatException e) {
            return 0;
        }
    }

    private void waitQuietly(long millis) {
        try {
            lock.wait(millis);
        } catch (InterruptedException e) {
            closing = true;
            Thread.currentThread().interrupt();
        }
    }

    /** Waits until the process is ended (Ctrl-C), serving pages meanwhile. */
    public void serveUntilEnded() {
        while (true) {
            try {
                TimeUnit.DAYS.sleep(1);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
                return;
            }
        }
    }
}
