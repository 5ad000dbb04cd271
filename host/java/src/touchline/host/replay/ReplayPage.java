package touchline.host.replay;

import java.io.BufferedOutputStream;
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
 * and the replay itself inline, so that the one file opens from disk with nothing to fetch. The
 * replay goes in gzip-compressed and in base64, streamed as it is read: a replay shrinks about
 * tenfold, which is what lets a large match open quickly, and base64 holds no character that
 * could end the script element or be read as markup, whatever a strategy printed.
 */
public final class ReplayPage {
    static final String RESOURCES = "/touchline/host/viewer/";
    private static final String STYLE = "/*STYLE*/";
    private static final String SCRIPT = "/*SCRIPT*/";
    private static final String DATA = "<!--DATA-->";

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
        int data = template.indexOf(DATA);
        if (data < 0 || !template.contains(STYLE) || !template.contains(SCRIPT)) {
            throw new IllegalStateException("the page template lacks a marker");
        }
        String before = template.substring(0, data).replace(STYLE, style);
        String after = template.substring(data + DATA.length()).replace(SCRIPT, script);
        try (OutputStream file = new BufferedOutputStream(Files.newOutputStream(page), 1 << 16)) {
            file.write(before.getBytes(StandardCharsets.UTF_8));
            // Closing the encoder would close the file too; finish() ends the data alone.
            OutputStream base64 = Base64.getEncoder().wrap(new NonClosing(file));
            try (GZIPOutputStream gzip = new GZIPOutputStream(base64, 1 << 16)) {
                Files.copy(replay, gzip);
            }
            file.write(after.getBytes(StandardCharsets.UTF_8));
        }
    }

    /** Passes writes on and leaves the stream open when closed. */
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
