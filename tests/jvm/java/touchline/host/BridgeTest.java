package touchline.host;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Duration;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;
import touchline.host.match.Match;
import touchline.host.match.MatchConfig;
import touchline.host.match.MatchResult;
import touchline.host.match.RobotOutcome;
import touchline.host.robot.Adapter;
import touchline.host.robot.EllipseView;
import touchline.host.robot.Event;
import touchline.host.robot.InfoConsole;
import touchline.host.robot.LineView;
import touchline.host.robot.MessageReceivedEvent;
import touchline.host.robot.NativeStrategy;
import touchline.host.robot.RectangleView;
import touchline.host.robot.StrategyLoadException;
import touchline.host.robot.TextView;

/**
 * Strategy libraries played in real JVMs through the native bridge: each robot in a robot
 * process of its own, or, to hand a strategy a faulty host, on a thread of the test's JVM.
 */
public final class BridgeTest {
    /** Plays a match of built strategy libraries, named by their keys, in robot processes. */
    static MatchResult play(MatchConfig config, List<String> home, List<String> away)
            throws Exception {
        MatchResult result = new Match(config.robotJavaOptions(TestBed.robotOptions()),
                players(home), players(away)).play();
        TestBed.assertNoMatchFolderLeft();
        return result;
    }

    static List<Match.Player> players(List<String> keys) throws Exception {
        List<Match.Player> players = new ArrayList<>();
        for (String key : keys) players.add(Match.Player.library(key, TestBed.built(key)));
        return players;
    }

    /** The fields of one line the reporter strategy printed. */
    static Map<String, String> report(String line) {
        Map<String, String> fields = new HashMap<>();
        for (String pair : line.split(" ")) {
            int at = pair.indexOf('=');
            if (at > 0) fields.put(pair.substring(0, at), pair.substring(at + 1));
        }
        return fields;
    }

    static List<Map<String, String>> reports(EngineTest.DebugLog log, int robot) {
        List<Map<String, String>> reports = new ArrayList<>();
        for (EngineTest.DebugLog.Print print : log.prints(robot)) {
            if (print.text().startsWith("first=")) reports.add(report(print.text()));
        }
        return reports;
    }

    static void assertAllFinished(MatchResult result, long steps) {
        assertEquals(steps, result.time(), "time reached");
        for (RobotOutcome robot : result.robots()) {
            assertEquals(RobotOutcome.Ending.FINISHED, robot.ending(), "ending of robot "
                    + robot.id() + " (" + robot.reason() + ")");
        }
    }

    // ------------------------------------------------------------------ whole matches

    @Test
    void sampleTenThousandSteps() throws Exception {
        long started = System.nanoTime();
        MatchResult result = play(new MatchConfig().steps(10_000), List.of("sample"),
                List.of("sample"));
        System.out.printf("10000 steps in %d ms%n", (System.nanoTime() - started) / 1000000);
        assertAllFinished(result, 10_000);
    }

    @Test
    void fiveASide() throws Exception {
        List<String> team = List.of("sample", "sample", "sample", "sample", "sample");
        EngineTest.Trace trace = new EngineTest.Trace();
        MatchResult result = play(new MatchConfig().steps(1_000).observer(trace), team,
                team);
        assertEquals(10, result.robots().size(), "robots");
        assertAllFinished(result, 1_000);
        long moved = result.robots().stream()
                .filter(r -> trace.robot(1_000, r.id()).getX() != trace.robot(0, r.id()).getX())
                .count();
        assertTrue(moved > 0, "the defenders moved");
    }

    @Test
    void sameFileIndependentInstances() throws Exception {
        long steps = 50;
        EngineTest.DebugLog log = new EngineTest.DebugLog();
        MatchResult result = play(new MatchConfig().steps(steps).debugObserver(log),
                List.of("reporter", "reporter"), List.of("reporter", "reporter"));
        assertAllFinished(result, steps);
        for (RobotOutcome robot : result.robots()) {
            List<Map<String, String>> reports = reports(log, robot.id());
            assertTrue(reports.size() >= steps, "robot " + robot.id() + " printed every step");
            for (int t = 0; t < reports.size(); t++) {
                Map<String, String> r = reports.get(t);
                String id = Integer.toString(robot.id());
                assertEquals(id, r.get("first"), "id seen by initialize, robot " + robot.id());
                assertEquals(id, r.get("id"), "id now, robot " + robot.id());
                assertEquals(Integer.toString(t), r.get("time"), "time, robot " + robot.id());
                assertEquals(Integer.toString(t), r.get("steps"),
                        "own step count, robot " + robot.id());
            }
        }
    }

    // ------------------------------------------------------------------ load errors

    @Test
    void loadErrorsNameFileAndSymbol() throws Exception {
        Path missing = Path.of(System.getProperty("java.io.tmpdir"), "touchline-no-such.so");
        String noFile = loadError(missing);
        assertTrue(noFile.contains(missing.toString()) && noFile.contains("No such file"), noFile);

        Path text = Files.createTempFile("touchline-not-a-library-", ".so");
        Files.writeString(text, "not a shared library");
        String notLibrary = loadError(text);
        Files.delete(text);
        assertTrue(notLibrary.contains("cannot load strategy library " + text), notLibrary);

        Path noRun = TestBed.built("norun");
        String noEntry = loadError(noRun);
        assertTrue(noEntry.contains(noRun.toString()) && noEntry.contains("adapterRun")
                && !noEntry.contains("adapterInit"), noEntry);

        EngineTest.Trace trace = new EngineTest.Trace();
        MatchResult result = play(new MatchConfig().steps(100).observer(trace),
                List.of("norun", "sample"), List.of("sample"));
        assertEquals(100L, result.time(), "the match went on");
        assertEquals(RobotOutcome.Ending.NOT_LOADED, result.robot(1).ending(), "robot 1");
        assertTrue(result.robot(1).reason().contains("adapterRun"), "robot 1's error text");
        assertEquals(RobotOutcome.Ending.FINISHED, result.robot(2).ending(), "robot 2");
        assertEquals(RobotOutcome.Ending.FINISHED, result.robot(3).ending(), "robot 3");
        EngineTest.assertStill(trace, 1, 0, 100);
    }

    static String loadError(Path library) throws Exception {
        NativeStrategy strategy = new NativeStrategy(library);
        return assertThrows(StrategyLoadException.class, strategy::load).getMessage();
    }

    // ------------------------------------------------------------------ strategies that stop

    @Test
    void runReturnsAtOnce() throws Exception {
        EngineTest.Trace trace = new EngineTest.Trace();
        MatchResult result = play(new MatchConfig().steps(100).observer(trace),
                List.of("returns"), List.of("sample"));
        assertEquals(100L, result.time(), "the match went on");
        assertEquals(RobotOutcome.Ending.RETURNED, result.robot(1).ending(), "robot 1");
        assertEquals(RobotOutcome.Ending.FINISHED, result.robot(2).ending(), "robot 2");
        EngineTest.assertStill(trace, 1, 0, 100);
    }

    @Test
    void neverExecutesWithDeadline() throws Exception {
        EngineTest.Trace trace = new EngineTest.Trace();
        MatchConfig config = new MatchConfig().steps(300).deadline(Duration.ofMillis(20))
                .maxMissedInRow(10).endGrace(Duration.ofMillis(200)).observer(trace);
        long started = System.nanoTime();
        MatchResult result = play(config, List.of("never"), List.of("sample"));
        long millis = (System.nanoTime() - started) / 1000000;
        System.out.printf("300 steps with a stalled robot in %d ms%n", millis);
        assertEquals(300L, result.time(), "the match reached its end");
        assertTrue(millis < 20_000, "the match ended on time");
        RobotOutcome never = result.robot(1);
        assertEquals(RobotOutcome.Ending.STOPPED, never.ending(), "the stalled robot");
        assertEquals(10, never.missedSteps(), "missed steps before the stop");
        assertEquals("missed 10 steps in a row", never.reason(), "why it was stopped");
        assertEquals(RobotOutcome.Ending.FINISHED, result.robot(2).ending(), "the other robot");
        EngineTest.assertStill(trace, 1, 0, 300);
    }

    // ------------------------------------------------------------------ faulty hosts

    /**
     * Robot 1 plays the reporter through a faulty info console, on a thread of this JVM;
     * robot 2 plays it normally, in a robot process.
     */
    static MatchResult faultyMatch(long steps, EngineTest.Trace trace, EngineTest.DebugLog log,
            java.util.function.Function<InfoConsole, Object> fault) throws Exception {
        MatchConfig config = new MatchConfig().steps(steps).observer(trace).debugObserver(log)
                .robotJavaOptions(TestBed.robotOptions())
                .adapters((id, info, operate, debug) -> new Adapter(
                        id == 1 ? fault.apply(info) : info, operate, debug));
        Match.Player faulty = Match.Player.program("reporter",
                new NativeStrategy(TestBed.built("reporter")));
        MatchResult result = new Match(config, List.of(faulty), players(List.of("reporter")))
                .play();
        assertEquals(steps, result.time(), "the match reached its end");
        assertEquals(RobotOutcome.Ending.FINISHED, result.robot(2).ending(),
                "robot with a sound host");
        TestBed.assertNoMatchFolderLeft();
        return result;
    }

    @Test
    void faultMissingMethod() throws Exception {
        EngineTest.DebugLog log = new EngineTest.DebugLog();
        MatchResult result = faultyMatch(20, new EngineTest.Trace(), log, InfoWithoutActions::new);
        assertEquals(RobotOutcome.Ending.FINISHED, result.robot(1).ending(), "robot 1");
        List<Map<String, String>> reports = reports(log, 1);
        assertTrue(reports.size() >= 20, "robot 1 printed every step");
        for (Map<String, String> r : reports) assertEquals("0", r.get("actions"),
                "events, no getActions");
        for (Map<String, String> r : reports(log, 2)) {
            assertTrue(!r.get("actions").equals("0"), "the sound robot sees events");
        }
    }

    @Test
    void faultNullGetters() throws Exception {
        EngineTest.DebugLog log = new EngineTest.DebugLog();
        MatchResult result = faultyMatch(20, new EngineTest.Trace(), log,
                info -> new FaultyInfo(info, FaultyInfo.Fault.NULL_GETTERS, 0));
        assertEquals(RobotOutcome.Ending.FINISHED, result.robot(1).ending(), "robot 1");
        List<Map<String, String>> reports = reports(log, 1);
        assertTrue(reports.size() >= 20, "robot 1 printed every step");
        for (Map<String, String> r : reports) {
            assertEquals("0", r.get("bots"), "robots without teams");
            assertEquals("0.000", r.get("ballx"), "ball without a ball object");
        }
        Map<String, String> sound = reports(log, 2).get(0);
        assertEquals("2", sound.get("bots"), "the sound robot's robots");
        assertTrue(!sound.get("ballx").equals("0.000"), "the sound robot's ball");
    }

    @Test
    void faultThrowingMethod() throws Exception {
        EngineTest.DebugLog log = new EngineTest.DebugLog();
        EngineTest.Trace trace = new EngineTest.Trace();
        MatchResult result = faultyMatch(30, trace, log,
                info -> new FaultyInfo(info, FaultyInfo.Fault.THROWING_GETTER, 5));
        RobotOutcome robot = result.robot(1);
        assertEquals(RobotOutcome.Ending.FAILED, robot.ending(), "robot 1");
        assertEquals(FaultyInfo.FAILURE, robot.reason(), "the host's exception's message");
        List<Map<String, String>> reports = reports(log, robot.id());
        assertEquals(5, reports.size(), "prints until the failing step");
        assertTrue(trace.robot(5, 1).getX() > trace.robot(0, 1).getX(),
                "robot 1 moved while playing");
        EngineTest.assertStill(trace, 1, 5, 30);
    }

    @Test
    void faultUnknownEvent() throws Exception {
        EngineTest.DebugLog log = new EngineTest.DebugLog();
        EngineTest.Trace trace = new EngineTest.Trace();
        MatchResult result = faultyMatch(30, trace, log,
                info -> new FaultyInfo(info, FaultyInfo.Fault.UNKNOWN_EVENT, 3));
        RobotOutcome robot = result.robot(1);
        assertEquals(RobotOutcome.Ending.FAILED, robot.ending(), "robot 1");
        assertEquals("unknow action : " + FaultyInfo.UNKNOWN_TYPE, robot.reason(),
                "robot 1's error");
        assertTrue(log.printsAt(1, 3).contains("unknow action : " + FaultyInfo.UNKNOWN_TYPE),
                "the strategy says why it stopped: " + log.printsAt(1, 3));
        EngineTest.assertStill(trace, 1, 3, 30);
    }

    // ------------------------------------------------------------------ the whole toolkit

    @Test
    void everyToolkitCall() throws Exception {
        long steps = 300;
        EngineTest.Trace trace = new EngineTest.Trace();
        EngineTest.DebugLog log = new EngineTest.DebugLog();
        MatchResult result = play(new MatchConfig().steps(steps).observer(trace)
                .debugObserver(log), List.of("everycall", "everycall"), List.of("everycall"));
        assertAllFinished(result, steps);
        for (RobotOutcome robot : result.robots()) {
            List<String> notes = log.prints(robot.id()).stream()
                    .map(EngineTest.DebugLog.Print::text)
                    .filter(text -> text.startsWith("t=")).toList();
            assertTrue(notes.size() >= steps, "robot " + robot.id() + " printed every step");
            for (String note : notes) {
                assertTrue(!note.contains("nan") && !note.contains("inf"),
                        "a finite digest: " + note);
            }
            assertTrue(log.drawings(robot.id()).size() >= 5 * steps,
                    "robot " + robot.id() + " drew every step");
        }
        List<String> messages = new ArrayList<>();
        for (Event event : trace.events.get(2L).get(1)) {
            if (event instanceof MessageReceivedEvent m) {
                messages.add(m.getSender() + ":" + m.getMessage());
            }
        }
        assertTrue(messages.contains("1:to myself") && messages.contains("2:to the team"),
                "robot 1's messages: " + messages);
        List<EngineTest.DebugLog.Drawing> views = log.drawings(1);
        LineView line = (LineView) views.get(0).view();
        assertTrue(line.getShowTime() == 3 && line.getColor() == 0xff0000 && line.getBeginX() == 1
                && line.getEndY() == 4, "the line view as drawn");
        assertEquals("every call", ((TextView) views.get(1).view()).getText(),
                "the text view's text");
        assertEquals("", ((TextView) views.get(2).view()).getText(), "an empty text is not set");
        assertTrue(((EllipseView) views.get(3).view()).isFill(), "fill 1 fills the ellipse");
        RectangleView rectangle = (RectangleView) views.get(4).view();
        assertTrue(!rectangle.isFill() && rectangle.getShowTime() == -1,
                "the rectangle view as drawn");
    }

    // ------------------------------------------------------------------ text

    /** Strategy text in UTF-8 reaches the host as the same characters and comes back intact. */
    @Test
    void textCrossesIntact() throws Exception {
        String emojiText = "\uD83D\uDE00 emoji then ABCDEFGH";
        long steps = 10;
        EngineTest.Trace trace = new EngineTest.Trace();
        EngineTest.DebugLog log = new EngineTest.DebugLog();
        MatchResult result = play(new MatchConfig().steps(steps).observer(trace).debugObserver(log),
                List.of("text", "text"), List.of("text"));
        assertAllFinished(result, steps);
        StringBuilder hex = new StringBuilder();
        for (byte b : emojiText.getBytes(java.nio.charset.StandardCharsets.UTF_8)) {
            hex.append(String.format("%02X", b));
        }
        for (int id : new int[] {1, 2}) {
            int teammate = 3 - id;
            List<String> prints =
                    log.prints(id).stream().map(EngineTest.DebugLog.Print::text).toList();
            assertEquals(List.of(emojiText, "\uFFFD tail", "got=" + teammate + ":" + hex), prints,
                    "robot " + id + "'s prints");
            List<String> received = new ArrayList<>();
            for (long t = 0; t <= steps; t++) {
                for (Event event : trace.events.get(t).get(id)) {
                    if (event instanceof MessageReceivedEvent m) received.add(m.getMessage());
                }
            }
            assertEquals(List.of(emojiText), received, "messages the host gave robot " + id);
        }
        assertEquals(List.of(emojiText, "\uFFFD tail"),
                log.prints(3).stream().map(EngineTest.DebugLog.Print::text).toList(),
                "robot 3 has no teammate to hear from");
    }

}
