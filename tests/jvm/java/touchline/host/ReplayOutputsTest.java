package touchline.host;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.image.BufferedImage;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.stream.Stream;
import javax.imageio.ImageIO;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import touchline.host.match.Json;
import touchline.host.replay.JsonReader;
import touchline.host.replay.Pictures;
import touchline.host.replay.ReplayOutputs;

/** The page and pictures made from a replay file: JSON reading, safe embedding, pictures. */
public final class ReplayOutputsTest {
    /** Texts the JSON reader reads, and what it reads them as. */
    static Stream<Arguments> jsonTexts() {
        Object[][] good = {
                {"0", 0.0}, {"-12.5e2", -1250.0}, {" true ", true}, {"null", null},
                {"\"a\\u003cb\\\"\\\\\\/\\n\"", "a<b\"\\/\n"},
                {"\"\\ud83d\\ude00\"", "\ud83d\ude00"},
                {"[1,[],{}]", List.of(1.0, List.of(), Map.of())},
                {"{\"a\":{\"b\":[false]},\"c\":\"\"}", Map.of("a", Map.of("b", List.of(false)),
                        "c", "")},
        };
        return Arrays.stream(good).map(Arguments::of);
    }

    @ParameterizedTest
    @MethodSource("jsonTexts")
    void jsonReaderReads(String text, Object value) throws Exception {
        assertEquals(value, JsonReader.parse(text), "parse " + text);
    }

    /** Texts the JSON reader refuses. */
    static Stream<String> badJsonTexts() {
        String[] bad = {"", "01", "1.", "-", "[1,]", "{\"a\"1}", "{a:1}", "\"\\x\"", "\"\u0001\"",
                "\"open", "[1] 2", "tru", "\"\\u12\"", "[".repeat(100) + "]".repeat(100)};
        return Arrays.stream(bad);
    }

    @ParameterizedTest
    @MethodSource("badJsonTexts")
    void jsonReaderRefuses(String text) throws Exception {
        assertThrows(JsonReader.JsonException.class, () -> JsonReader.parse(text));
    }

    /**
     * Whatever a strategy printed, the two data parts hold only base64 (nothing can end the
     * script element or be read as markup) and unpack to the very lines of the replay.
     */
    @Test
    void pageEmbedsSafely() throws Exception {
        Path dir = Files.createTempDirectory("touchline-page-");
        String[] hostile = {"</script><script>alert(1)</script>", "<img src=x onerror=alert(1)>",
                "<!-- <script>", "a & b > c", "line\u2028end\u2029", "</SCRIPT >"};
        List<String> lines = new ArrayList<>(smallReplay(1));
        StringBuilder prints = new StringBuilder();
        for (int i = 0; i < hostile.length; i++) {
            if (i > 0) prints.append(',');
            prints.append("[").append(i).append(",").append(Json.string(hostile[i])).append("]");
        }
        lines.add(lines.size() - 1, "{\"debug\":{\"robot\":1,\"prints\":[" + prints
                + "],\"views\":[]}}");
        // The same texts unescaped, as another writer of replays might leave them.
        lines.add(lines.size() - 1, "{\"debug\":{\"robot\":2,\"prints\":[[0,\""
                + String.join("\",\"", hostile) + "\"]],\"views\":[]}}");
        Path replay = write(dir, lines);
        ReplayOutputs.write(replay);
        String page = Files.readString(dir.resolve(ReplayOutputs.PAGE), StandardCharsets.UTF_8);
        List<String> unpacked = new ArrayList<>();
        for (String part : List.of("replay-match", "replay-debug")) {
            String open = "id=\"" + part + "\" data-encoding=\"gzip base64\">";
            int start = page.indexOf(open) + open.length();
            int end = page.indexOf("</script>", start);
            assertTrue(start > open.length() && end > start, part + " is there");
            String data = page.substring(start, end);
            assertTrue(data.matches("[A-Za-z0-9+/=]+"), part + " is base64 alone");
            try (var in = new java.util.zip.GZIPInputStream(new java.io.ByteArrayInputStream(
                    java.util.Base64.getDecoder().decode(data)))) {
                unpacked.addAll(new String(in.readAllBytes(), StandardCharsets.UTF_8).lines()
                        .toList());
            }
        }
        List<String> expected = new ArrayList<>();
        for (boolean debug : new boolean[] {false, true}) {
            for (String line : lines) {
                if (line.startsWith("{\"debug\":") == debug) expected.add(line);
            }
        }
        assertEquals(expected, unpacked, "the parts hold the replay's lines, debug lines apart");
        assertEquals(3, page.split("<script", -1).length - 1, "script elements in the page");
        assertTrue(!page.contains("alert(1)"), "a print reached the page as text");
        deleteAll(dir);
    }

    /**
     * Both replay versions give pictures of the documented size that decode; the same replay
     * gives the same bytes; a replay cut short (no end line) still gets its pictures.
     */
    @Test
    void picturesBothVersions() throws Exception {
        for (int version : new int[] {1, 2}) {
            byte[][] previous = null;
            for (int run = 0; run < 2; run++) {
                Path dir = Files.createTempDirectory("touchline-pictures-");
                Path replay = write(dir, smallReplay(version));
                ReplayOutputs.write(replay);
                byte[][] bytes = new byte[2][];
                int k = 0;
                for (String name : List.of(ReplayOutputs.FINAL_PICTURE,
                        ReplayOutputs.TRAILS_PICTURE)) {
                    bytes[k++] = Files.readAllBytes(dir.resolve(name));
                    BufferedImage image = ImageIO.read(dir.resolve(name).toFile());
                    assertTrue(image != null, name + " decodes");
                    assertEquals(Pictures.WIDTH, image.getWidth(), name + " width");
                    assertEquals(Pictures.HEIGHT, image.getHeight(), name + " height");
                }
                if (previous != null) {
                    for (int i = 0; i < 2; i++) {
                        assertTrue(Arrays.equals(previous[i], bytes[i]), "version " + version
                                + ": picture " + i + " differs between two runs");
                    }
                }
                previous = bytes;
                deleteAll(dir);
            }
        }
        Path dir = Files.createTempDirectory("touchline-cut-");
        List<String> cut = smallReplay(2);
        Path replay = write(dir, cut.subList(0, cut.size() - 1));
        ReplayOutputs.write(replay);
        assertTrue(Files.size(dir.resolve(ReplayOutputs.TRAILS_PICTURE)) > 0,
                "pictures of a cut replay");
        // A match long enough that each path is thinned several times over.
        List<String> circles = new ArrayList<>(smallReplay(2).subList(0, 1));
        for (int t = 0; t <= 60_000; t++) {
            double a = t / 50.0;
            circles.add("{\"time\":" + t + ",\"score\":[0,0],\"ball\":[110,90,0,0],\"robots\":[["
                    + Json.rounded(110 + 60 * Math.cos(a)) + ","
                    + Json.rounded(90 + 60 * Math.sin(a))
                    + ",0,3,0],[" + Json.rounded(110 + 30 * Math.cos(-a)) + ","
                    + Json.rounded(90 + 30 * Math.sin(-a)) + ",0,3,0]],\"events\":[]}");
        }
        write(dir, circles);
        ReplayOutputs.write(replay);
        assertEquals(Pictures.WIDTH,
                ImageIO.read(dir.resolve(ReplayOutputs.TRAILS_PICTURE).toFile())
                .getWidth(), "trails of a long match");
        deleteAll(dir);
    }

    /** Replays that cannot be read, and what the error must say of them. */
    static Stream<Arguments> badReplayTexts() {
        List<String> good = smallReplay(1);
        String[][] cases = {
                {"no header", ""},
                {"line 1: replay version 3", good.get(0).replace("\"version\":1", "\"version\":3")},
                {"line 1: not a Touchline replay", "{\"replay\":\"other\"}"},
                {"line 2: not JSON", good.get(0) + "\n{\"time\":0,"},
                {"line 2: 1 robots in a frame, 2 in the header",
                        good.get(0) + "\n{\"time\":0,\"score\":[0,0],\"ball\":[1,1,0,0],"
                                + "\"robots\":[[1,1,0,0,0]],\"events\":[]}"},
        };
        return Arrays.stream(cases).map(c -> Arguments.of((Object[]) c));
    }

    /** A replay that cannot be read says which line and why; nothing is half written. */
    @ParameterizedTest(name = "{0}")
    @MethodSource("badReplayTexts")
    void badReplays(String expected, String text) throws Exception {
        Path dir = Files.createTempDirectory("touchline-bad-");
        Path replay = dir.resolve("replay.jsonl");
        Files.writeString(replay, text);
        IOException e = assertThrows(IOException.class, () -> ReplayOutputs.write(replay));
        assertTrue(e.getMessage().contains(expected), "expected \"" + expected + "\" in: "
                + e.getMessage());
        for (String name : List.of(ReplayOutputs.PAGE, ReplayOutputs.FINAL_PICTURE)) {
            assertTrue(!Files.exists(dir.resolve(name)), name + " written from a bad replay");
        }
        deleteAll(dir);
    }

    /**
     * A 1-a-side replay of 300 steps with a goal at step 150 and a kick-off after it; version 1
     * gathers debug at the end, version 2 writes it after each frame.
     */
    static List<String> smallReplay(int version) {
        List<String> lines = new ArrayList<>();
        lines.add("{\"replay\":\"touchline\",\"version\":" + version + ",\"steps\":300,\"seed\":1,"
                + "\"court\":{\"width\":220,\"height\":180,\"goalWidth\":40,\"goalDepth\":15,"
                + "\"cornerWidth\":7,\"cornerHeight\":7},\"ball\":{\"radius\":2.1,"
                + "\"negativeAcceleration\":0.06},\"teams\":[{\"id\":0,\"name\":\"Home\","
                + "\"attack\":1,\"robots\":[{\"id\":1,\"name\":\"one\",\"radius\":4,"
                + "\"maxMoveVelocity\":3,\"maxTurnVelocity\":0.3}]},{\"id\":1,\"name\":\"Away\","
                + "\"attack\":-1,\"robots\":[{\"id\":2,\"name\":\"two\",\"radius\":4,"
                + "\"maxMoveVelocity\":3,\"maxTurnVelocity\":0.3}]}]}");
        for (int t = 0; t <= 300; t++) {
            int k = t <= 150 ? t : t - 151;
            boolean kickOff = t == 151;
            String score = t >= 150 ? "[1,0]" : "[0,0]";
            double ballX = t <= 150 ? 110 + 123.0 * t / 150 : 110;
            lines.add("{\"time\":" + t + ",\"score\":" + score + ",\"ball\":[" + ballX + ",90,0,1],"
                    + "\"robots\":[[" + (11 + 0.6 * k) + "," + (90 + 30 * Math.sin(k / 20.0))
                    + ",0,3,0],[" + (209 - 0.6 * k) + ",90,3.1416,3,0]],\"events\":["
                    + (kickOff ? "[1,\"roundBegin\"],[2,\"roundBegin\"]" : "") + "]}");
            if (version == 2 && t % 10 == 0) {
                lines.add("{\"debug\":{\"robot\":1,\"time\":" + t + ",\"prints\":[\"t" + t
                        + "\"],\"views\":[]}}");
            }
        }
        if (version == 1) {
            lines.add("{\"debug\":{\"robot\":1,\"prints\":[[3,\"hi\"]],\"views\":[]}}");
        }
        lines.add("{\"end\":{\"time\":300,\"score\":[1,0],\"goals\":[{\"time\":150,\"team\":0,"
                + "\"scorer\":1,\"ownGoal\":false}],\"robots\":[]}}");
        return lines;
    }

    static Path write(Path dir, List<String> lines) throws IOException {
        Path replay = dir.resolve("replay.jsonl");
        Files.write(replay, lines, StandardCharsets.UTF_8);
        return replay;
    }

    static void deleteAll(Path dir) throws IOException {
        try (var files = Files.list(dir)) {
            for (Path file : files.toList()) Files.delete(file);
        }
        Files.delete(dir);
    }
}
