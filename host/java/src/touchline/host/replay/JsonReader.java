package touchline.host.replay;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * Reads one JSON value from text: objects as maps (in written order), arrays as lists, numbers
 * as doubles, strings, booleans and null. Strict: anything else is a {@link JsonException}
 * that says where.
 */
public final class JsonReader {
    /** Text that is not JSON, with the offset where reading stopped. */
    public static final class JsonException extends Exception {
        private static final long serialVersionUID = 1L;

        JsonException(String message, int offset) {
            super(message + " at character " + (offset + 1));
        }
    }

    /** Deep enough for any replay; keeps hostile nesting from exhausting the stack. */
    private static final int MAX_DEPTH = 64;

    private final String text;
    private final boolean exact;
    private int at;

    private JsonReader(String text, boolean exact) {
        this.text = text;
        this.exact = exact;
    }

    /** The one value in text, which may be surrounded by white space and nothing else. */
    public static Object parse(String text) throws JsonException {
        return parse(text, false);
    }

    /** As parse, with numbers read exactly, as BigDecimals: 64-bit seeds survive. */
    public static Object parseExact(String text) throws JsonException {
        return parse(text, true);
    }

    private static Object parse(String text, boolean exact) throws JsonException {
        JsonReader reader = new JsonReader(text, exact);
        reader.skipSpace();
        Object value = reader.value(0);
        reader.skipSpace();
        if (reader.at != text.length()) throw reader.error("text after the value");
        return value;
    }

    private Object value(int depth) throws JsonException {
        if (depth > MAX_DEPTH) throw error("nested deeper than " + MAX_DEPTH);
        if (at >= text.length()) throw error("unexpected end");
        char c = text.charAt(at);
        switch (c) {
            case '{':
                return object(depth);
            case '[':
                return array(depth);
            case '"':
                return string();
            case 't':
                return word("true", Boolean.TRUE);
            case 'f':
                return word("false", Boolean.FALSE);
            case 'n':
                return word("null", null);
            default:
                if (c == '-' || (c >= '0' && c <= '9')) return number();
                throw error("unexpected '" + c + "'");
        }
    }

    private Map<String, Object> object(int depth) throws JsonException {
        Map<String, Object> members = new LinkedHashMap<>();
        at++;
        skipSpace();
        if (peek('}')) return members;
        while (true) {
            skipSpace();
            if (at >= text.length() || text.charAt(at) != '"') throw error("expected a name");
            String name = string();
            skipSpace();
            expect(':');
            skipSpace();
            members.put(name, value(depth + 1));
            skipSpace();
            if (peek('}')) return members;
            expect(',');
        }
    }

    private List<Object> array(int depth) throws JsonException {
        List<Object> items = new ArrayList<>();
        at++;
        skipSpace();
        if (peek(']')) return items;
        while (true) {
            skipSpace();
            items.add(value(depth + 1));
            skipSpace();
            if (peek(']')) return items;
            expect(',');
        }
    }

    private String string() throws JsonException {
        StringBuilder out = new StringBuilder();
        at++;
        while (true) {
            if (at >= text.length()) throw error("unterminated string");
            char c = text.charAt(at++);
            if (c == '"') return out.toString();
            if (c < 0x20) throw error("control character in a string");
            if (c != '\\') {
                out.append(c);
                continue;
            }
            if (at >= text.length()) throw error("unterminated string");
            char e = text.charAt(at++);
            switch (e) {
                case '"', '\\', '/' -> out.append(e);
                case 'b' -> out.append('\b');
                case 'f' -> out.append('\f');
                case 'n' -> out.append('\n');
                case 'r' -> out.append('\r');
                case 't' -> out.append('\t');
                case 'u' -> out.append(hex4());
                default -> throw error("bad escape \\" + e);
            }
        }
    }

    private char hex4() throws JsonException {
        if (at + 4 > text.length()) throw error("short \\u escape");
        int value = 0;
        for (int i = 0; i < 4; i++) {
            int digit = Character.digit(text.charAt(at++), 16);
            if (digit < 0) throw error("bad \\u escape");
            value = value * 16 + digit;
        }
        return (char) value;
    }

    private Object number() throws JsonException {
        int start = at;
        peek('-');
        // A leading zero stands alone: "01" is not a number.
        if (!peek('0') && !digits()) throw error("expected a digit");
        if (peek('.') && !digits()) throw error("expected a digit after '.'");
        if (at < text.length() && (text.charAt(at) == 'e' || text.charAt(at) == 'E')) {
            at++;
            if (!peek('+')) peek('-');
            if (!digits()) throw error("expected a digit in the exponent");
        }
        String number = text.substring(start, at);
        return exact ? new java.math.BigDecimal(number) : Double.valueOf(number);
    }

    private boolean digits() {
        int start = at;
        while (at < text.length() && text.charAt(at) >= '0' && text.charAt(at) <= '9') at++;
        return at > start;
    }

    private Object word(String word, Object value) throws JsonException {
        if (!text.startsWith(word, at)) throw error("unexpected word");
        at += word.length();
        return value;
    }

    private boolean peek(char c) {
        if (at < text.length() && text.charAt(at) == c) {
            at++;
            return true;
        }
        return false;
    }

    private void expect(char c) throws JsonException {
        if (!peek(c)) throw error("expected '" + c + "'");
    }

    private void skipSpace() {
        while (at < text.length()) {
            char c = text.charAt(at);
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return;
            at++;
        }
    }

    private JsonException error(String message) {
        return new JsonException(message, at);
    }
}
