package touchline.host.match;

/**
 * Text that a strategy wrote, or a library's name, made safe for a terminal or a text file:
 * every control character is shown escaped (\e, \n, \r, \t, \x07, \u2028...), so that no such
 * text can move the cursor, set the terminal's title or clipboard, change its colours or start
 * a line of its own (a forged "robot 3: SIGSEGV ..." line, say). Printable text, backslashes
 * included, is left as it is. The JSON files and the replay page keep the exact text.
 */
public final class Visible {
    private Visible() {}

    /** The text on one line, with its control characters escaped. */
    public static String line(String text) {
        if (text == null) return "";
        int first = firstControl(text);
        if (first < 0) return text;
        StringBuilder out = new StringBuilder(text.length() + 16).append(text, 0, first);
        for (int i = first; i < text.length(); i++) {
            char c = text.charAt(i);
            if (!isControl(c)) {
                out.append(c);
                continue;
            }
            switch (c) {
                case 0x1b -> out.append("\\e");
                case '\n' -> out.append("\\n");
                case '\r' -> out.append("\\r");
                case '\t' -> out.append("\\t");
                default -> {
                    if (c < 0x100) {
                        out.append(String.format("\\x%02x", (int) c));
                    } else {
                        out.append(String.format("\\u%04x", (int) c));
                    }
                }
            }
        }
        return out.toString();
    }

    private static int firstControl(String text) {
        for (int i = 0; i < text.length(); i++) {
            if (isControl(text.charAt(i))) return i;
        }
        return -1;
    }

    /**
     * C0 and C1 controls, DEL, the line and paragraph separators, and the marks that reorder
     * text for display (which can make a line read otherwise than it is).
     */
    private static boolean isControl(char c) {
        return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == '\u2028' || c == '\u2029'
                || (c >= '\u202a' && c <= '\u202e') || (c >= '\u2066' && c <= '\u2069')
                || c == '\u200e' || c == '\u200f' || c == '\u061c';
    }
}
