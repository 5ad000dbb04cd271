package touchline.host;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.math.BigDecimal;
import java.math.RoundingMode;
import java.util.SplittableRandom;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.ValueSource;
import touchline.host.match.Json;

/**
 * The numbers of the replay: Json.exact and Json.rounded write the digits BigDecimal writes
 * (the shortest decimal, and that decimal rounded half to even at four places), however they
 * get there. Replays stay the same bytes from one version of the host to the next.
 */
public final class JsonTest {
    private static String plain(BigDecimal value) {
        String text = value.stripTrailingZeros().toPlainString();
        return text.equals("-0") ? "0" : text;
    }

    private static void agree(double value) {
        String exact = Double.isFinite(value) ? plain(BigDecimal.valueOf(value)) : "null";
        String rounded = Double.isFinite(value)
                ? plain(BigDecimal.valueOf(value).setScale(4, RoundingMode.HALF_EVEN)) : "null";
        assertEquals(exact, Json.exact(value), "exact(" + value + ")");
        assertEquals(rounded, Json.rounded(value), "rounded(" + value + ")");
    }

    /** Values written as they read, and ties of the decimal, which round to even. */
    @ParameterizedTest
    @CsvSource({"0, 0, 0", "-0.0, 0, 0", "0.00005, 0.00005, 0", "0.00015, 0.00015, 0.0002",
            "-0.00025, -0.00025, -0.0002", "2.5, 2.5, 2.5", "1234.56785, 1234.56785, 1234.5678",
            "1234.56775, 1234.56775, 1234.5678", "0.001, 0.001, 0.001",
            "0.0009, 0.0009, 0.0009", "1e7, 10000000, 10000000", "1e-10, 0.0000000001, 0",
            "99999.99995, 99999.99995, 100000", "-12.30000, -12.3, -12.3"})
    void writtenAsBigDecimalWrites(double value, String exact, String rounded) {
        assertEquals(exact, Json.exact(value));
        assertEquals(rounded, Json.rounded(value));
        agree(value);
    }

    /**
     * A million values of every kind a match writes and more: court positions, decimal ties
     * and values one ulp beside them, five-decimal values, whole numbers, and values across
     * the exponent range, both signs; and what is not finite.
     */
    @ParameterizedTest
    @ValueSource(longs = {1, 2, 3, 4})
    void agreesWithBigDecimal(long seed) {
        SplittableRandom random = new SplittableRandom(seed);
        for (double special : new double[] {Double.NaN, Double.POSITIVE_INFINITY,
                Double.NEGATIVE_INFINITY, Double.MIN_VALUE, Double.MAX_VALUE, 1e15, -1e15, 1e16,
                1e5, -1e5}) {
            agree(special);
        }
        for (int i = 0; i < 250_000; i++) {
            double tie = (random.nextLong(-2_000_000_000L, 2_000_000_000L) + 0.5) / 10_000;
            double value = switch (i % 6) {
                case 0 -> (random.nextDouble() - 0.5) * 2200;
                case 1 -> tie;
                case 2 -> random.nextBoolean() ? Math.nextUp(tie) : Math.nextDown(tie);
                case 3 -> random.nextLong(-200_000_000L, 200_000_000L) / 100_000.0;
                case 4 -> Math.scalb(random.nextDouble(), random.nextInt(-60, 60))
                        * (random.nextBoolean() ? 1 : -1);
                default -> random.nextInt(-100_000, 100_000);
            };
            agree(value);
        }
    }
}
