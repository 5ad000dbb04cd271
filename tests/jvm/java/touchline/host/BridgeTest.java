package touchline.host;

import static touchline.host.Tests.check;
import static touchline.host.Tests.equal;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Duration;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;

/** Strategy libraries played in a real JVM through the native bridge. */
public final class BridgeTest {
    /** Plays a match of built strategy libraries, named by their keys, copying them to copies. */
    static MatchResult play(MatchConfig config, Path copies, List<String> home, List<String> away)
            throws Exception {
        return new Match(config, players(copies, home), players(copies, away)).play();
    }

    static List<Match.Player> players(Path copies, List<String> keys) throws IOException {
        List<Match.Player> players = new ArrayList<>();
        for (String key : keys) {
            players.add(new Match.Player(key, new NativeStrategy(Tests.built(key), copies)));
        }
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

    static List<Map<String, String>> reports(RobotOutcome robot) {
        List<Map<String, String>> reports = new ArrayList<>();
        for (DebugConsole.Print print : robot.debug().prints()) {
            if (print.text().startsWith("first=")) reports.add(report(print.text()));
        }
        return reports;
    }

    static void assertAllFinished(MatchResult result, long steps) {
        equal(steps, result.time(), "time reached");
        for (RobotOutcome robot : result.robots()) {
            equal(RobotOutcome.Ending.FINISHED, robot.ending(), "ending of robot " + robot.id()
                    + (robot.error() != null ? " (" + robot.error() + ")" : ""));
        }
        check(result.allThreadsEnded(), "every robot thread ended");
        equal(List.of(), Tests.liveRobotThreads(), "live robot threads");
    }

    // ------------------------------------------------------------------ whole matches

    static void sampleTenThousandSteps() throws Exception {
        Path copies = Tests.copyDirectory();
        long started = System.nanoTime();
        MatchResult result = play(new MatchConfig().steps(10_000), copies, List.of("sample"),
                List.of("sample"));
        System.out.printf("10000 steps in %d ms%n", (System.nanoTime() - started) / 1000000);
        assertAllFinished(result, 10_000);
        Tests.assertEmptyAndDelete(copies);
    }

    static void fiveASide() throws Exception {
        Path copies = Tests.copyDirectory();
        List<String> team = List.of("sample", "sample", "sample", "sample", "sample");
        EngineTest.Trace trace = new EngineTest.Trace();
        MatchResult result = play(new MatchConfig().steps(1_000).observer(trace), copies, team,
                team);
        equal(10, result.robots().size(), "robots");
        assertAllFinished(result, 1_000);
        long moved = result.robots().stream()
                .filter(r -> trace.robot(1_000, r.id()).getX() != trace.robot(0, r.id()).getX())
                .count();
        check(moved > 0, "the defenders moved");
        Tests.assertEmptyAndDelete(copies);
    }

    static void sameFileIndependentInstances() throws Exception {
        Path copies = Tests.copyDirectory();
        long steps = 50;
        MatchResult result = play(new MatchConfig().steps(steps), copies,
                List.of("reporter", "reporter"), List.of("reporter", "reporter"));
        assertAllFinished(result, steps);
        for (RobotOutcome robot : result.robots()) {
            List<Map<String, String>> reports = reports(robot);
            check(reports.size() >= steps, "robot " + robot.id() + " printed every step");
            for (int t = 0; t < reports.size(); t++) {
                Map<String, String> r = reports.get(t);
                String id = Integer.toString(robot.id());
                equal(id, r.get("first"), "id seen by initialize, robot " + robot.id());
                equal(id, r.get("id"), "id now, robot " + robot.id());
                equal(Integer.toString(t), r.get("time"), "time, robot " + robot.id());
                equal(Integer.toString(t), r.get("steps"), "own step count, robot " + robot.id());
            }
        }
        Tests.assertEmptyAndDelete(copies);
    }

    // ------------------------------------------------------------------ load errors

    static void loadErrorsNameFileAndSymbol() throws Exception {
        Path copies = Tests.copyDirectory();
        Path missing = copies.resolveSibling("touchline-no-such-strategy.so");
        String noFile = loadError(missing, copies);
        check(noFile.contains(missing.toString()) && noFile.contains("No such file"), noFile);

        Path text = Files.createTempFile("touchline-not-a-library-", ".so");
        Files.writeString(text, "not a shared library");
        String notLibrary = loadError(text, copies);
        Files.delete(text);
        check(notLibrary.contains("cannot load strategy library " + text), notLibrary);

        Path noRun = Tests.built("norun");
        String noEntry = loadError(noRun, copies);
        check(noEntry.contains(noRun.toString()) && noEntry.contains("adapterRun")
                && !noEntry.contains("adapterInit"), noEntry);

        EngineTest.Trace trace = new EngineTest.Trace();
        MatchResult result = play(new MatchConfig().steps(100).observer(trace), copies,
                List.of("norun", "sample"), List.of("sample"));
        equal(100L, result.time(), "the match went on");
        equal(RobotOutcome.Ending.NOT_LOADED, result.robot(1).ending(), "robot 1");
        check(result.robot(1).error() instanceof StrategyLoadException, "robot 1's error");
        check(result.robot(1).error().getMessage().contains("adapterRun"), "robot 1's error text");
        equal(RobotOutcome.Ending.FINISHED, result.robot(2).ending(), "robot 2");
        equal(RobotOutcome.Ending.FINISHED, result.robot(3).ending(), "robot 3");
        EngineTest.assertStill(trace, 1, 0, 100);
        Tests.assertEmptyAndDelete(copies);
    }

    static String loadError(Path library, Path copies) throws Exception {
        NativeStrategy strategy = new NativeStrategy(library, copies);
        return Tests.thrown(StrategyLoadException.class, strategy::load).getMessage();
    }

    // ------------------------------------------------------------------ strategies that stop

    static void runReturnsAtOnce() throws Exception {
        Path copies = Tests.copyDirectory();
        EngineTest.Trace trace = new EngineTest.Trace();
        MatchResult result = play(new MatchConfig().steps(100).observer(trace), copies,
                List.of("returns"), List.of("sample"));
        equal(100L, result.time(), "the match went on");
        equal(RobotOutcome.Ending.RETURNED, result.robot(1).ending(), "robot 1");
        equal(RobotOutcome.Ending.FINISHED, result.robot(2).ending(), "robot 2");
        EngineTest.assertStill(trace, 1, 0, 100);
        check(result.allThreadsEnded(), "every robot thread ended");
        Tests.assertEmptyAndDelete(copies);
    }

    static void neverExecutesWithDeadline() throws Exception {
        Path copies = Tests.copyDirectory();
        EngineTest.Trace trace = new EngineTest.Trace();
        MatchConfig config = new MatchConfig().steps(300).deadline(Duration.ofMillis(20))
                .maxMissedInRow(10).endGrace(Duration.ofMillis(200)).observer(trace);
        long started = System.nanoTime();
        MatchResult result = play(config, copies, List.of("never"), List.of("sample"));
        long millis = (System.nanoTime() - started) / 1000000;
        System.out.printf("300 steps with a stalled robot in %d ms%n", millis);
        equal(300L, result.time(), "the match reached its end");
        check(millis < 20_000, "the match ended on time");
        RobotOutcome never = result.robot(1);
        equal(RobotOutcome.Ending.STOPPED, never.ending(), "the stalled robot");
        equal(10, never.missedSteps(), "missed steps before the stop");
        check(!never.threadEnded(), "the stalled robot's thread still runs its native loop");
        equal(RobotOutcome.Ending.FINISHED, result.robot(2).ending(), "the other robot");
        EngineTest.assertStill(trace, 1, 0, 300);
        Tests.assertEmptyAndDelete(copies);
    }

    // ------------------------------------------------------------------ faulty hosts

    /** Robot 1 plays the reporter through a faulty info console; robot 2 plays it normally. */
    static MatchResult faultyMatch(long steps, EngineTest.Trace trace,
            java.util.function.Function<InfoConsole, Object> fault) throws Exception {
        Path copies = Tests.copyDirectory();
        MatchConfig config = new MatchConfig().steps(steps).observer(trace)
                .adapters((id, info, operate, debug) -> new Adapter(
                        id == 1 ? fault.apply(info) : info, operate, debug));
        MatchResult result = play(config, copies, List.of("reporter"), List.of("reporter"));
        equal(steps, result.time(), "the match reached its end");
        equal(RobotOutcome.Ending.FINISHED, result.robot(2).ending(), "robot with a sound host");
        check(result.allThreadsEnded(), "every robot thread ended");
        Tests.assertEmptyAndDelete(copies);
        return result;
    }

    static void faultMissingMethod() throws Exception {
        MatchResult result = faultyMatch(20, new EngineTest.Trace(), InfoWithoutActions::new);
        equal(RobotOutcome.Ending.FINISHED, result.robot(1).ending(), "robot 1");
        List<Map<String, String>> reports = reports(result.robot(1));
        check(reports.size() >= 20, "robot 1 printed every step");
        for (Map<String, String> r : reports) equal("0", r.get("actions"), "events, no getActions");
        for (Map<String, String> r : reports(result.robot(2))) {
            check(!r.get("actions").equals("0"), "the sound robot sees events");
        }
    }

    static void faultNullGetters() throws Exception {
        MatchResult result = faultyMatch(20, new EngineTest.Trace(),
                info -> new FaultyInfo(info, FaultyInfo.Fault.NULL_GETTERS, 0));
        equal(RobotOutcome.Ending.FINISHED, result.robot(1).ending(), "robot 1");
        List<Map<String, String>> reports = reports(result.robot(1));
        check(reports.size() >= 20, "robot 1 printed every step");
        for (Map<String, String> r : reports) {
            equal("0", r.get("bots"), "robots without teams");
            equal("0.000", r.get("ballx"), "ball without a ball object");
        }
        Map<String, String> sound = reports(result.robot(2)).get(0);
        equal("2", sound.get("bots"), "the sound robot's robots");
        check(!sound.get("ballx").equals("0.000"), "the sound robot's ball");
    }

    static void faultThrowingMethod() throws Exception {
        EngineTest.Trace trace = new EngineTest.Trace();
        MatchResult result = faultyMatch(30, trace,
                info -> new FaultyInfo(info, FaultyInfo.Fault.THROWING_GETTER, 5));
        RobotOutcome robot = result.robot(1);
        equal(RobotOutcome.Ending.FAILED, robot.ending(), "robot 1");
        check(robot.error() instanceof IllegalStateException, "host's exception: " + robot.error());
        equal(FaultyInfo.FAILURE, robot.error().getMessage(), "its message");
        List<Map<String, String>> reports = reports(robot);
        equal(5, reports.size(), "prints until the failing step");
        check(trace.robot(5, 1).getX() > trace.robot(0, 1).getX(), "robot 1 moved while playing");
        EngineTest.assertStill(trace, 1, 5, 30);
    }

    static void faultUnknownEvent() throws Exception {
        EngineTest.Trace trace = new EngineTest.Trace();
        MatchResult result = faultyMatch(30, trace,
                info -> new FaultyInfo(info, FaultyInfo.Fault.UNKNOWN_EVENT, 3));
        RobotOutcome robot = result.robot(1);
        equal(RobotOutcome.Ending.RETURNED, robot.ending(), "robot 1");
        equal(null, robot.error(), "robot 1's error");
        check(robot.debug().printsAt(3).contains("unknow action : " + FaultyInfo.UNKNOWN_TYPE),
                "the strategy says why it stopped: " + robot.debug().printsAt(3));
        EngineTest.assertStill(trace, 1, 3, 30);
    }

    // ------------------------------------------------------------------ the whole toolkit

    static void everyToolkitCall() throws Exception {
        Path copies = Tests.copyDirectory();
        long steps = 300;
        EngineTest.Trace trace = new EngineTest.Trace();
        MatchResult result = play(new MatchConfig().steps(steps).observer(trace), copies,
                List.of("everycall", "everycall"), List.of("everycall"));
        assertAllFinished(result, steps);
        for (RobotOutcome robot : result.robots()) {
            List<String> notes = robot.debug().prints().stream().map(DebugConsole.Print::text)
                    .filter(text -> text.startsWith("t=")).toList();
            check(notes.size() >= steps, "robot " + robot.id() + " printed every step");
            for (String note : notes) {
                check(!note.contains("nan") && !note.contains("inf"), "a finite digest: " + note);
            }
            check(robot.debug().drawings().size() >= 5 * steps,
                    "robot " + robot.id() + " drew every step");
        }
        List<String> messages = new ArrayList<>();
        for (Event event : trace.events.get(2L).get(1)) {
            if (event instanceof MessageReceivedEvent m) {
                messages.add(m.getSender() + ":" + m.getMessage());
            }
        }
        check(messages.contains("1:to myself") && messages.contains("2:to the team"),
                "robot 1's messages: " + messages);
        List<DebugConsole.Drawing> views = result.robot(1).debug().drawings();
        LineView line = (LineView) views.get(0).view();
        check(line.getShowTime() == 3 && line.getColor() == 0xff0000 && line.getBeginX() == 1
                && line.getEndY() == 4, "the line view as drawn");
        equal("every call", ((TextView) views.get(1).view()).getText(), "the text view's text");
        equal("", ((TextView) views.get(2).view()).getText(), "an empty text is not set");
        check(((EllipseView) views.get(3).view()).isFill(), "fill 1 fills the ellipse");
        RectangleView rectangle = (RectangleView) views.get(4).view();
        check(!rectangle.isFill() && rectangle.getShowTime() == -1, "the rectangle view as drawn");
        Tests.assertEmptyAndDelete(copies);
    }

    // ------------------------------------------------------------------ text

    /** Strategy text in UTF-8 reaches the host as the same characters and comes back intact. */
    static void textCrossesIntact() throws Exception {
        String emojiText = "\uD83D\uDE00 emoji then ABCDEFGH";
        Path copies = Tests.copyDirectory();
        long steps = 10;
        EngineTest.Trace trace = new EngineTest.Trace();
        MatchResult result = play(new MatchConfig().steps(steps).observer(trace), copies,
                List.of("text", "text"), List.of("text"));
        assertAllFinished(result, steps);
        StringBuilder hex = new StringBuilder();
        for (byte b : emojiText.getBytes(java.nio.charset.StandardCharsets.UTF_8)) {
            hex.append(String.format("%02X", b));
        }
        for (int id : new int[] {1, 2}) {
            int teammate = 3 - id;
            List<String> prints = result.robot(id).debug().prints().stream()
                    .map(DebugConsole.Print::text).toList();
            equal(List.of(emojiText, "\uFFFD tail", "got=" + teammate + ":" + hex), prints,
                    "robot " + id + "'s prints");
            List<String> received = new ArrayList<>();
            for (long t = 0; t <= steps; t++) {
                for (Event event : trace.events.get(t).get(id)) {
                    if (event instanceof MessageReceivedEvent m) received.add(m.getMessage());
                }
            }
            equal(List.of(emojiText), received, "messages the host gave robot " + id);
        }
        equal(List.of(emojiText, "\uFFFD tail"), result.robot(3).debug().prints().stream()
                .map(DebugConsole.Print::text).toList(), "robot 3 has no teammate to hear from");
        Tests.assertEmptyAndDelete(copies);
    }

    public static void main(String[] args) {
        Tests.suite()
                .add("sample-10000-steps", BridgeTest::sampleTenThousandSteps)
                .add("five-a-side", BridgeTest::fiveASide)
                .add("same-file-independent", BridgeTest::sameFileIndependentInstances)
                .add("load-errors", BridgeTest::loadErrorsNameFileAndSymbol)
                .add("returns-at-once", BridgeTest::runReturnsAtOnce)
                .add("never-executes", BridgeTest::neverExecutesWithDeadline)
                .add("fault-missing-method", BridgeTest::faultMissingMethod)
                .add("fault-null-getter", BridgeTest::faultNullGetters)
                .add("fault-throwing-method", BridgeTest::faultThrowingMethod)
                .add("fault-unknown-event", BridgeTest::faultUnknownEvent)
                .add("every-toolkit-call", BridgeTest::everyToolkitCall)
                .add("text-crosses-intact", BridgeTest::textCrossesIntact)
                .main(args);
    }
}
