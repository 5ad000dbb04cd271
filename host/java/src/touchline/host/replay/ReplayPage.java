package touchline.host.replay;

import java.io.BufferedOutputStream;
import java.io.BufferedReader;
import java.io.FilterOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Base64;
import java.util.Locale;
import java.util.zip.GZIPOutputStream;

/**
 * Writes replay.html: the page of host/viewer (carried in the jar) with its style, its script
 * and the replay itself inline, so that the one file opens from disk with nothing to fetch.
 * The replay's lines go in two parts, the debug lines apart from the rest, so that the page can
 * show the match before it has read every print and view. Each part is gzip-compressed and in
 * base64, streamed as the replay is read: a replay shrinks about tenfold, and base64 holds no
 * character that could end the script element or be read as markup, whatever a strategy
 * printed.
 */
public final class ReplayPage {
    static final String RESOURCES = "/touchline/host/viewer/";
    private static final String STYLE = "/*STYLE*/";
    private static final String SCRIPT = "/*SCRIPT*/";
    private static final String MATCH = "<!--MATCH-->";
    private static final String DEBUG = "<!--DEBUG-->";
    private static final byte[] NEWLINE = {'\n'};

    private ReplayPage() {}

    public static void write(Path replay, Path page) throws IOException {
        String template = resource("replay.html");
        String style = resource("viewer.css");
        String script = resource("viewer.js");
        for (String part : new String[] {style, script}) {
            // Our own code must not end its element early either.
            if (part.toLowerCase(Locale.ROOT).contains("</s")) {
                throw new IllegalStateException("the page's style or script contains \"</s\"");
            }
        }
        int match = template.indexOf(MATCH);
        int debug = template.indexOf(DEBUG);
        if (match < 0 || debug < match || !template.contains(STYLE)
                || !template.contains(SCRIPT)) {
            throw new IllegalStateException("the page template lacks a marker");
        }
        String before = template.substring(0, match).replace(STYLE, style);
        String between = template.substring(match + MATCH.length(), debug);
        String after = template.substring(debug + DEBUG.length()).replace(SCRIPT, script);
        Path debugPart = Files.createTempFile(page.toAbsolutePath().getParent(), ".replay-debug-",
                ".gz");
        try (OutputStream file = new BufferedOutputStream(Files.newOutputStream(page), 1 << 16)) {
            file.write(before.getBytes(StandardCharsets.UTF_8));
            try (BufferedReader in = Files.newBufferedReader(replay, StandardCharsets.UTF_8);
                    GZIPOutputStream matchPart = new GZIPOutputStream(
                            Base64.getEncoder().wrap(new NonClosing(file)), 1 << 16);
                    GZIPOutputStream debugLines = new GZIPOutputStream(
                            Files.newOutputStream(debugPart), 1 << 16)) {
                String line;
                while ((line = in.readLine()) != null) {
                    OutputStream part = line.startsWith("{\"debug\":") ? debugLines : matchPart;
                    part.write(line.getBytes(StandardCharsets.UTF_8));
                    part.write(NEWLINE);
                }
            }
            file.write(between.getBytes(StandardCharsets.UTF_8));
            try (OutputStream base64 = Base64.getEncoder().wrap(new NonClosing(file))) {
                Files.copy(debugPart, base64);
            }
            file.write(after.getBytes(StandardCharsets.UTF_8));
        } finally {
            Files.deleteIfExists(debugPart);
        }
    }

    /** Passes writes on and leaves the stream open when closed: the page goes on after it. */
    private static final class NonClosing extends FilterOutputStream {
        NonClosing(OutputStream out) {
            super(out);
        }

        @Override
        public void write(byte[] bytes, int offset, int length) throws IOException {
            out.write(bytes, offset, length);
        }

        @Override
        public void close() throws IOException {
            flush();
        }
    }

    static String resource(String name) throws IOException {
        try (InputStream in = ReplayPage.class.getResourceAsStream(RESOURCES + name)) {
            if (in == null) throw new IOException("the host's jar lacks " + RESOURCES + name);
            return new String(in.readAllBytes(), StandardCharsets.UTF_8);
        }
    }
}
