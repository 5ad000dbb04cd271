package touchline.host.replay;

import java.io.BufferedOutputStream;
import java.io.BufferedReader;
import java.io.Closeable;
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
 * printed. A second replay to compare with travels the same way, frames only, in an element of
 * its own (a hidden block of base64 text: data, not code). The live view's page is the same
 * page with no replay inside: it reads the match from the stream it was served with.
 */
public final class ReplayPage {
    static final String RESOURCES = "/touchline/host/viewer/";
    private static final String STYLE = "/*STYLE*/";
    private static final String SCRIPT = "/*SCRIPT*/";
    private static final String MATCH = "<!--MATCH-->";
    private static final String DEBUG = "<!--DEBUG-->";
    private static final String COMPARE = "<!--COMPARE-->";
    private static final String POLICY = "default-src 'none';";
    /** The live page may also open its stream, from where it came. */
    private static final String LIVE_POLICY = "default-src 'none'; connect-src 'self';";
    private static final byte[] NEWLINE = {'\n'};

    private ReplayPage() {}

    public static void write(Path replay, Path page) throws IOException {
        write(replay, page, null);
    }

    /** The page of replay, carrying compare (null: none) to draw as ghosts over it. */
    public static void write(Path replay, Path page, Path compare) throws IOException {
        try (Writer writer = new Writer(page, compare);
                BufferedReader in = Files.newBufferedReader(replay, StandardCharsets.UTF_8)) {
            String line;
            while ((line = in.readLine()) != null) writer.line(line);
            writer.finish();
        }
    }

    /**
     * A page written as the replay's lines are handed over, each once: the page's head and the
     * frames go into the page at once, the debug lines into a compressed part beside it, which
     * finish() appends. Closed before it is finished, it removes what it wrote.
     */
    static final class Writer implements Closeable {
        private final Path page;
        private final String between;
        private final String after;
        private final Path debugPart;
        private final OutputStream file;
        private final GZIPOutputStream matchPart;
        private final GZIPOutputStream debugLines;
        private boolean finished;
        private boolean closed;

        Writer(Path page, Path compare) throws IOException {
            String template = template(compare);
            int match = template.indexOf(MATCH);
            int debug = template.indexOf(DEBUG);
            if (match < 0 || debug < match) {
                throw new IllegalStateException("the page template lacks a marker");
            }
            this.page = page;
            between = template.substring(match + MATCH.length(), debug);
            after = template.substring(debug + DEBUG.length());
            debugPart = Files.createTempFile(page.toAbsolutePath().getParent(),
                    ".replay-debug-", ".gz");
            OutputStream opened = null;
            GZIPOutputStream frames = null;
            try {
                opened = new BufferedOutputStream(Files.newOutputStream(page), 1 << 16);
                opened.write(template.substring(0, match).getBytes(StandardCharsets.UTF_8));
                frames = new GZIPOutputStream(Base64.getEncoder().wrap(new NonClosing(opened)),
                        1 << 16);
                debugLines = new GZIPOutputStream(Files.newOutputStream(debugPart), 1 << 16);
            } catch (IOException | RuntimeException e) {
                if (frames != null) frames.close();
                if (opened != null) opened.close();
                Files.deleteIfExists(debugPart);
                Files.deleteIfExists(page);
                throw e;
            }
            file = opened;
            matchPart = frames;
        }

        /** The replay's next line, without its newline. */
        void line(String line) throws IOException {
            OutputStream part = line.startsWith("{\"debug\":") ? debugLines : matchPart;
            part.write(line.getBytes(StandardCharsets.UTF_8));
            part.write(NEWLINE);
        }

        /** Ends the page: the frames' part, then the debug lines' part, then the page's tail. */
        void finish() throws IOException {
            matchPart.close();
            debugLines.close();
            file.write(between.getBytes(StandardCharsets.UTF_8));
            try (OutputStream base64 = Base64.getEncoder().wrap(new NonClosing(file))) {
                Files.copy(debugPart, base64);
            }
            file.write(after.getBytes(StandardCharsets.UTF_8));
            file.close();
            finished = true;
            close();
        }

        @Override
        public void close() throws IOException {
            if (closed) return;
            closed = true;
            try {
                if (!finished) {
                    closeQuietly(matchPart);
                    closeQuietly(debugLines);
                    closeQuietly(file);
                    Files.deleteIfExists(page);
                }
            } finally {
                Files.deleteIfExists(debugPart);
            }
        }

        private static void closeQuietly(Closeable stream) {
            try {
                stream.close();
            } catch (IOException e) {
                // The page is being removed: how its streams closed does not matter.
            }
        }
    }

    /** The page for the live view: no replay inside, compare (null: none) to draw as ghosts. */
    public static String live(Path compare) throws IOException {
        String template = template(compare);
        if (!template.contains(POLICY)) throw new IllegalStateException("no policy in the page");
        return template.replace(MATCH, "").replace(DEBUG, "").replaceFirst(
                java.util.regex.Pattern.quote(POLICY),
                java.util.regex.Matcher.quoteReplacement(LIVE_POLICY));
    }

    /** The page with its style, its script and the replay to compare with, if any. */
    private static String template(Path compare) throws IOException {
        String template = resource("replay.html");
        String style = resource("viewer.css");
        String script = resource("viewer.js");
        for (String part : new String[] {style, script}) {
            // Our own code must not end its element early either.
            if (part.toLowerCase(Locale.ROOT).contains("</s")) {
                throw new IllegalStateException("the page's style or script contains \"</s\"");
            }
        }
        if (!template.contains(STYLE) || !template.contains(SCRIPT)
                || !template.contains(COMPARE)) {
            throw new IllegalStateException("the page template lacks a marker");
        }
        String packed = compare == null ? "" : frames(compare);
        // Replaced one after the other, each where the previous could not have put it: the
        // compared replay is base64, which holds no marker.
        return template.replace(STYLE, style).replace(COMPARE, packed).replace(SCRIPT, script);
    }

    /** A replay's lines but its debug lines, gzip-compressed, in base64. */
    static String frames(Path replay) throws IOException {
        java.io.ByteArrayOutputStream packed = new java.io.ByteArrayOutputStream();
        try (BufferedReader in = Files.newBufferedReader(replay, StandardCharsets.UTF_8);
                GZIPOutputStream out = new GZIPOutputStream(Base64.getEncoder().wrap(packed),
                        1 << 16)) {
            String line;
            while ((line = in.readLine()) != null) {
                if (line.startsWith("{\"debug\":")) continue;
                out.write(line.getBytes(StandardCharsets.UTF_8));
                out.write(NEWLINE);
            }
        }
        return packed.toString(StandardCharsets.US_ASCII);
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
