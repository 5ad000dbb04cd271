package touchline.host.match;

import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;

/**
 * A robot's output cut into lines of at most MAX_LINE bytes, whatever it writes: a longer line
 * keeps its first MAX_LINE bytes, marked as cut, and the rest of it is skipped. Nothing is held
 * but the line being read.
 */
final class OutputLines {
    static final int MAX_LINE = 4096;

    private final InputStream in;
    private final byte[] chunk = new byte[8192];
    private int start;
    private int end;
    private final byte[] line = new byte[MAX_LINE];
    private int length;
    private long cut;

    OutputLines(InputStream in) {
        this.in = in;
    }

    /** Lines cut so far. */
    long cut() {
        return cut;
    }

    /** The next line, without its newline; null at the end of the output. */
    String next() throws IOException {
        boolean over = false;
        length = 0;
        for (;;) {
            if (start == end) {
                int n = in.read(chunk);
                if (n < 0) {
                    if (length == 0 && !over) return null;
                    return text(over);
                }
                start = 0;
                end = n;
            }
            while (start < end) {
                byte b = chunk[start++];
                if (b == '\n') return text(over);
                if (length < MAX_LINE) {
                    line[length++] = b;
                } else if (!over) {
                    over = true;
                    cut++;
                }
            }
        }
    }

    private String text(boolean over) {
        String text = new String(Arrays.copyOf(line, length), StandardCharsets.UTF_8);
        return over ? text + " [line cut at " + MAX_LINE + " bytes]" : text;
    }
}
