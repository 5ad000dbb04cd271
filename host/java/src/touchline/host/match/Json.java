package touchline.host.match;

import java.math.BigDecimal;
import java.math.RoundingMode;

/** The few pieces of JSON the host writes: numbers in plain decimal, strings in ASCII. */
public final class Json {
    private Json() {}

    /** The shortest decimal that reads back as the value; null for NaN and infinities. */
    public static String exact(double value) {
        if (!Double.isFinite(value)) return "null";
        // Whole numbers and the numbers Double.toString writes without an exponent are written
        // as it writes them: the shortest decimal, with no trailing zero. The rest (tiny and
        // huge values) go through BigDecimal, which writes them out in full.
        if (value == Math.rint(value) && Math.abs(value) < 1e15) return Long.toString((long) value);
        String shortest = Double.toString(value);
        if (shortest.indexOf('E') < 0) return shortest;
        return plain(BigDecimal.valueOf(value));
    }

    /**
     * The value rounded to four decimals (half to even): enough for a picture of the court. It
     * is the shortest decimal of the value (as exact() writes it) rounded, so a tie is a tie of
     * that decimal, not of the binary value.
     */
    public static String rounded(double value) {
        if (!Double.isFinite(value)) return "null";
        // A frame holds some fifty of these, every step: on the court's scale the rounding is
        // done in binary, unless the value lies so near a tie (or a decimal of five places)
        // that the binary product could round otherwise than the decimal; then BigDecimal
        // decides. Within 1e5 the product's error is below 1e-6 of a unit, far inside the
        // margin.
        if (Math.abs(value) < 1e5) {
            double scaled = value * 10_000;
            double below = Math.floor(scaled);
            double part = scaled - below;
            if (Math.abs(part - 0.5) > 1e-5 && part > 1e-5 && part < 1 - 1e-5) {
                return fourDecimals((long) (part < 0.5 ? below : below + 1));
            }
            if (part <= 1e-5 || part >= 1 - 1e-5) {
                return fourDecimals((long) Math.rint(scaled));
            }
        }
        return plain(BigDecimal.valueOf(value).setScale(4, RoundingMode.HALF_EVEN));
    }

    /** units / 10 000 in plain decimal without trailing zeros ("0" for zero, never "-0"). */
    private static String fourDecimals(long units) {
        if (units == 0) return "0";
        long magnitude = Math.abs(units);
        long whole = magnitude / 10_000;
        int fraction = (int) (magnitude % 10_000);
        StringBuilder text = new StringBuilder(16);
        if (units < 0) text.append('-');
        text.append(whole);
        if (fraction != 0) {
            int digits = 4;
            while (fraction % 10 == 0) {
                fraction /= 10;
                digits--;
            }
            String part = Integer.toString(fraction);
            text.append('.');
            for (int i = part.length(); i < digits; i++) text.append('0');
            text.append(part);
        }
        return text.toString();
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
