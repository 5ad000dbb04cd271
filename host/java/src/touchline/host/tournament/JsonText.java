package touchline.host.tournament;

import java.math.BigDecimal;
import java.util.List;
import java.util.Map;
import touchline.host.match.Json;
import touchline.host.replay.JsonReader;

/**
 * The JSON of tournaments: reads what the match runner prints (with the replay reader, numbers
 * exact) and writes maps, lists, strings, numbers, booleans and null: keys in insertion order,
 * numbers in plain decimal, strings in ASCII.
 */
final class JsonText {
    private JsonText() {}

    /** The one value in text, numbers exact; IllegalArgumentException says what is wrong. */
    static Object parse(String text) {
        try {
            return JsonReader.parseExact(text);
        } catch (JsonReader.JsonException e) {
            throw new IllegalArgumentException("bad JSON: " + e.getMessage(), e);
        }
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
                out.append(Json.string(entry.getKey().toString()));
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
            out.append(Json.string(s));
        } else if (value instanceof Double d) {
            out.append(Json.exact(d));
        } else if (value instanceof BigDecimal d) {
            out.append(d.toPlainString());
        } else {
            out.append(value);
        }
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
