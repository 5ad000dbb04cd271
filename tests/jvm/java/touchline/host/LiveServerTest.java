package touchline.host;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.BufferedReader;
import java.io.InputStreamReader;
import java.io.OutputStream;
import java.net.Socket;
import java.net.URI;
import java.net.http.HttpClient;
import java.net.http.HttpRequest;
import java.net.http.HttpResponse;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.Test;
import touchline.host.match.LiveServer;

/**
 * The live view's server on its own, fed lines as the match would feed them: what each kind of
 * page reads (from the start, resumed, following), that the match's side never waits, and that
 * requests from elsewhere are refused.
 */
public final class LiveServerTest {
    /** The lines of a small match: the header, then a frame and a debug line per step. */
    static List<String> match(int steps) {
        List<String> lines = new ArrayList<>();
        lines.add("{\"replay\":\"touchline\"}");
        for (int t = 0; t <= steps; t++) {
            lines.add("{\"time\":" + t + "}");
            lines.add("{\"debug\":{\"robot\":1,\"time\":" + t + "}}");
        }
        lines.add("{\"end\":{}}");
        return lines;
    }

    /** One stream read to its end: its fields in order ("data: ...", "event: gap", ...). */
    static List<String> read(LiveServer server, String query, long lastEventId) throws Exception {
        return read(server, query, lastEventId, new java.util.concurrent.CountDownLatch(1));
    }

    /** The same, counting begun down at the first line read. */
    static List<String> read(LiveServer server, String query, long lastEventId,
            java.util.concurrent.CountDownLatch begun) throws Exception {
        HttpRequest.Builder request = HttpRequest.newBuilder(
                URI.create(server.address() + "stream" + query));
        if (lastEventId > 0) request.header("Last-Event-ID", Long.toString(lastEventId));
        HttpResponse<java.util.stream.Stream<String>> response = HttpClient.newHttpClient()
                .send(request.build(), HttpResponse.BodyHandlers.ofLines());
        assertEquals(200, response.statusCode(), "the stream's status");
        assertEquals("text/event-stream", response.headers().firstValue("Content-Type").orElse(""),
                "the stream's type");
        return response.body().filter(l -> !l.isEmpty() && !l.startsWith(":"))
                .peek(l -> begun.countDown()).toList();
    }

    static List<String> data(List<String> fields) {
        return fields.stream().filter(f -> f.startsWith("data: {\"")).map(f -> f.substring(6))
                .toList();
    }

    /**
     * A page from the start gets every line in order; one that comes back with Last-Event-ID
     * goes on from there; one that follows while the match plays skips to the newest frames,
     * and gets what it skipped (a refill) once the match is over: every line in the end.
     */
    @Test
    void streams() throws Exception {
        List<String> lines = match(1500);
        LiveServer server = LiveServer.start(0, "<p>page</p>");
        try {
            List<List<String>> followed = new ArrayList<>();
            java.util.concurrent.CountDownLatch begun = new java.util.concurrent.CountDownLatch(1);
            Thread follower = new Thread(() -> {
                try {
                    followed.add(read(server, "?follow=1", 0, begun));
                } catch (Exception e) {
                    throw new IllegalStateException(e);
                }
            });
            server.line(lines.get(0));
            follower.start();
            // The match goes on once the page reads it, however long a busy machine takes.
            assertTrue(begun.await(60, java.util.concurrent.TimeUnit.SECONDS), "the page began");
            // About as fast as a quick match: a step a millisecond.
            for (int i = 1; i < lines.size(); i++) {
                server.line(lines.get(i));
                if (i % 2 == 0) Thread.sleep(1);
            }
            server.end();
            follower.join(30_000);
            assertEquals(0L, server.dropped(), "lines dropped");

            List<String> whole = read(server, "", 0);
            assertEquals(lines, data(whole), "a page from the start reads every line in order");
            assertTrue(whole.stream().anyMatch(f -> f.startsWith("id: ")), "events carry ids");
            assertEquals(lines.subList(1000, lines.size()), data(read(server, "", 1000)),
                    "a page resumed at line 1000 reads from there");

            List<String> follow = followed.get(0);
            int refill = follow.indexOf("event: refill");
            assertTrue(refill > 0, "the following page was sent what it skipped");
            assertTrue(follow.subList(0, refill).contains("event: gap"), "it skipped lines");
            List<String> before = data(follow.subList(0, refill));
            String from = follow.get(refill + 1);
            int first = Integer.parseInt(from.replaceAll("\\D", ""));
            assertTrue(before.size() < lines.size() / 2, "it read few lines while following: "
                    + before.size());
            assertEquals(lines.subList(0, 1), before.subList(0, 1), "the header first");
            assertEquals(lines.subList(first, lines.size()), data(follow.subList(refill + 2,
                    follow.size())), "then every line from its first gap on");
        } finally {
            server.close(1000);
        }
    }

    /**
     * The match's side never waits: with no page reading, a page that never reads, and the
     * ring overrun, lines are dropped and counted, and handing one over stays quick.
     */
    @Test
    void neverWaits() throws Exception {
        LiveServer server = LiveServer.start(0, "<p>page</p>");
        try (Socket stalled = new Socket("127.0.0.1", server.port())) {
            OutputStream out = stalled.getOutputStream();
            out.write(("GET /stream HTTP/1.1\r\nHost: 127.0.0.1:" + server.port() + "\r\n\r\n")
                    .getBytes(StandardCharsets.US_ASCII));
            out.flush();
            String line = "{\"time\":1,\"padding\":\"" + "x".repeat(200) + "\"}";
            long slowest = 0;
            for (int i = 0; i < 400_000; i++) {
                long began = System.nanoTime();
                server.line(line);
                slowest = Math.max(slowest, System.nanoTime() - began);
            }
            assertTrue(server.dropped() > 0, "lines beyond the ring's room are dropped");
            // The stalled page never reads: had a line waited for it, the loop would not have
            // ended. The bound only catches a wait for a timeout; a loaded machine may still
            // deschedule this thread for a while, so it is generous.
            assertTrue(slowest < 2_000_000_000L,
                    "handing a line over never waits: " + slowest + " ns");
            long began = System.nanoTime();
            server.close(500);
            assertTrue(System.nanoTime() - began < 5_000_000_000L,
                    "a page that never reads does not hold the server's end");
        }
    }

    /** Requests that do not name this server by a loopback name, or come from elsewhere. */
    @Test
    void refuses() throws Exception {
        LiveServer server = LiveServer.start(0, "<p>page</p>");
        int port = server.port();
        try {
            assertEquals(403, status(port, "GET / HTTP/1.1\r\nHost: evil.example:" + port),
                    "a foreign Host");
            assertEquals(403, status(port, "GET /stream HTTP/1.1\r\nHost: evil.example"),
                    "no port");
            assertEquals(403, status(port, "GET / HTTP/1.0"), "no Host");
            assertEquals(403, status(port, "GET /stream HTTP/1.1\r\nHost: 127.0.0.1:" + port
                    + "\r\nOrigin: http://evil.example"), "a foreign Origin");
            assertEquals(403, status(port, "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + port
                    + "\r\nHost: evil.example"), "two Hosts");
            assertEquals(200, status(port, "GET / HTTP/1.1\r\nHost: LOCALHOST:" + port),
                    "localhost");
            assertEquals(200, status(port, "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + port
                    + "\r\nOrigin: http://localhost:" + port), "its own Origin");
            assertEquals(404, status(port, "GET /replay.jsonl HTTP/1.1\r\nHost: 127.0.0.1:" + port),
                    "nothing else");
            assertEquals(405, status(port, "POST / HTTP/1.1\r\nHost: 127.0.0.1:" + port
                    + "\r\nContent-Length: 0"), "GET only");
            assertTrue(server.address().startsWith("http://127.0.0.1:"), "it listens on loopback");
        } finally {
            server.close(0);
        }
    }

    /** The status of one request made of the lines given. */
    static int status(int port, String head) throws Exception {
        try (Socket socket = new Socket("127.0.0.1", port)) {
            socket.getOutputStream().write((head + "\r\nConnection: close\r\n\r\n")
                    .getBytes(StandardCharsets.US_ASCII));
            BufferedReader in = new BufferedReader(new InputStreamReader(socket.getInputStream(),
                    StandardCharsets.US_ASCII));
            String status = in.readLine();
            assertTrue(status != null && status.startsWith("HTTP/1."), "a status line: " + status);
            return Integer.parseInt(status.split(" ")[1]);
        }
    }
}
