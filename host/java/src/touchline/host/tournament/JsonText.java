package touchline.host.tournament;

import java.math.BigDecimal;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * Reads the JSON the match runner prints (objects, arrays, strings, numbers, booleans, null)
 * into maps, lists, strings, BigDecimals, Booleans and null, and writes values back the same
 * way: keys in insertion order, numbers in plain decimal, strings in ASCII.
 */
final class JsonText {
    private final String text;
    private int at;

    private JsonText(String text) {
        this.text = text;
    }

    /** The one value in text; IllegalArgumentException names the offset of a syntax error. */
    static Object parse(String text) {
        JsonText reader = new JsonText(text);
        reader.space();
        Object value = reader.value();
        reader.space();
        if (reader.at != text.length()) throw reader.error("text after the value");
        return value;
    }

    private Object value() {
        if (at >= text.length()) throw error("a value");
        char c = text.charAt(at);
        switch (c) {
            case '{': return object();
            case '[': return array();
            case '"': return string();
            case 't': return word("true", Boolean.TRUE);
            case 'f': return word("false", Boolean.FALSE);
            case 'n': return word("null", null);
            default: return number();
        }
    }

    private Map<String, Object> object() {
        Map<String, Object> map = new LinkedHashMap<>();
        at++;
        space();
        if (peek() == '}') {
            at++;
            return map;
        }
        while (true) {
            space();
            String key = string();
            space();
            expect(':');
            space();
            map.put(key, value());
            space();
            if (peek() == ',') {
                at++;
                continue;
            }
            expect('}');
            return map;
        }
    }

    private List<Object> array() {
        List<Object> list = new ArrayList<>();
        at++;
        space();
        if (peek() == ']') {
            at++;
            return list;
        }
        while (true) {
            space();
            list.add(value());
            space();
            if (peek() == ',') {
                at++;
                continue;
            }
            expect(']');
            return list;
        }
    }

    private String string() {
        expect('"');
        StringBuilder out = new StringBuilder();
        while (true) {
            if (at >= text.length()) throw error("the end of a string");
            char c = text.charAt(at++);
            if (c == '"') return out.toString();
            if (c != '\\') {
                out.append(c);
                continue;
            }
            if (at >= text.length()) throw error("an escape");
            char e = text.charAt(at++);
            switch (e) {
                case 'u' -> {
                    if (at + 4 > text.length()) throw error("four hex digits");
                    out.append((char) Integer.parseInt(text.substring(at, at + 4), 16));
                    at += 4;
                }
                case 'n' -> out.append('\n');
                case 't' -> out.append('\t');
                case 'r' -> out.append('\r');
                case 'b' -> out.append('\b');
                case 'f' -> out.append('\f');
                default -> out.append(e);
            }
        }
    }

    private BigDecimal number() {
        int start = at;
        while (at < text.length() && "+-0123456789.eE".indexOf(text.charAt(at)) >= 0) at++;
        try {
            return new BigDecimal(text.substring(start, at));
        } catch (NumberFormatException e) {
            throw error("a value");
        }
    }

    private Object word(String word, Object value) {
        if (!text.startsWith(word, at)) throw error("a value");
        at += word.length();
        return value;
    }

    private char peek() {
        return at < text.length() ? text.charAt(at) : '\0';
    }

    private void expect(char c) {
        if (peek() != c) throw error("'" + c + "'");
        at++;
    }

    private void space() {
        while (at < text.length() && Character.isWhitespace(text.charAt(at))) at++;
    }

    private IllegalArgumentException error(String expected) {
        return new IllegalArgumentException("bad JSON at offset " + at + ": expected " + expected);
    }

    // ------------------------------------------------------------------ writing

    /** value as JSON: maps, lists, strings, numbers, booleans and null. */
    static String write(Object value) {
        StringBuilder out = new StringBuilder();
        write(out, value);
        return out.toString();
    }

    private static void write(StringBuilder out, Object value) {
        if (value == null) {
            out.append("null");
        } else if (value instanceof Map<?, ?> map) {
            out.append('{');
            boolean first = true;
            for (Map.Entry<?, ?> entry : map.entrySet()) {
                if (!first) out.append(',');
                first = false;
                quote(out, entry.getKey().toString());
                out.append(':');
                write(out, entry.getValue());
            }
            out.append('}');
        } else if (value instanceof List<?> list) {
            out.append('[');
            for (int i = 0; i < list.size(); i++) {
                if (i > 0) out.append(',');
                write(out, list.get(i));
            }
            out.append(']');
        } else if (value instanceof String s) {
            quote(out, s);
        } else if (value instanceof Double d) {
            out.append(Double.isFinite(d) ? new BigDecimal(Double.toString(d)).stripTrailingZeros()
                                                    .toPlainString()
                                          : "null");
        } else if (value instanceof BigDecimal d) {
            out.append(d.toPlainString());
        } else {
            out.append(value);
        }
    }

    private static void quote(StringBuilder out, String s) {
        out.append('"');
        for (int i = 0; i < s.length(); i++) {
            char c = s.charAt(i);
            if (c == '"' || c == '\\') {
                out.append('\\').append(c);
            } else if (c >= 0x20 && c < 0x7f) {
                out.append(c);
            } else {
                out.append(String.format("\\u%04x", (int) c));
            }
        }
        out.append('"');
    }

    // ------------------------------------------------------------------ reading helpers

    @SuppressWarnings("unchecked")
    static Map<String, Object> object(Object value, String what) {
        if (value instanceof Map<?, ?>) return (Map<String, Object>) value;
        throw new IllegalArgumentException(what + " is not an object");
    }

    @SuppressWarnings("unchecked")
    static List<Object> array(Object value, String what) {
        if (value instanceof List<?>) return (List<Object>) value;
        throw new IllegalArgumentException(what + " is not an array");
    }

    static long integer(Object value, String what) {
        if (value instanceof BigDecimal d) return d.longValueExact();
        throw new IllegalArgumentException(what + " is not a number");
    }

    static String text(Object value, String what) {
        if (value instanceof String s) return s;
        if (value == null) return "";
        throw new IllegalArgumentException(what + " is not a string");
    }
}
