package touchline.host.match;

import java.math.BigDecimal;
import java.math.RoundingMode;

/** The few pieces of JSON the host writes: numbers in plain decimal, strings in ASCII. */
public final class Json {
    private Json() {}

    /** The shortest decimal that reads back as the value; null for NaN and infinities. */
    public static String exact(double value) {
        if (!Double.isFinite(value)) return "null";
        return plain(BigDecimal.valueOf(value));
    }

    /** The value rounded to four decimals (half to even): enough for a picture of the court. */
    public static String rounded(double value) {
        if (!Double.isFinite(value)) return "null";
        return plain(BigDecimal.valueOf(value).setScale(4, RoundingMode.HALF_EVEN));
    }

    private static String plain(BigDecimal value) {
        String text = value.stripTrailingZeros().toPlainString();
        return text.equals("-0") ? "0" : text;
    }

    /**
     * A quoted string. Everything outside printable ASCII is escaped as \\uXXXX, so any Java
     * string, a lone surrogate included, is written without loss.
     */
    public static String string(String value) {
        StringBuilder out = new StringBuilder(value.length() + 2).append('"');
        for (int i = 0; i < value.length(); i++) {
            char c = value.charAt(i);
            if (c == '"' || c == '\\') {
                out.append('\\').append(c);
            } else if (c >= 0x20 && c < 0x7f) {
                out.append(c);
            } else {
                out.append(String.format("\\u%04x", (int) c));
            }
        }
        return out.append('"').toString();
    }
}
