package touchline.host;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.time.Duration;
import java.util.ArrayList;
import java.util.Collections;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.atomic.AtomicReference;
import org.junit.jupiter.api.Test;
import touchline.host.match.Match;
import touchline.host.match.MatchConfig;
import touchline.host.match.MatchResult;
import touchline.host.match.RobotOutcome;
import touchline.host.match.Simulation;
import touchline.host.robot.Adapter;
import touchline.host.robot.Ball;
import touchline.host.robot.Court;
import touchline.host.robot.DebugConsole;
import touchline.host.robot.Event;
import touchline.host.robot.HitRobotEvent;
import touchline.host.robot.InfoConsole;
import touchline.host.robot.LineView;
import touchline.host.robot.MatchOverException;
import touchline.host.robot.MessageReceivedEvent;
import touchline.host.robot.OperateConsole;
import touchline.host.robot.Robot;
import touchline.host.robot.RobotProgram;
import touchline.host.robot.RobotStoppedException;
import touchline.host.robot.Team;
import touchline.host.robot.View;

/**
 * The host without native code: lockstep, match end, consoles and world, with Java robots
 * played on threads of the test's process over the same exchange as robot processes.
 */
public final class EngineTest {
    /** One step of a Java robot: false ends its run. */
    interface Step {
        boolean play(long time, InfoConsole info, OperateConsole operate, DebugConsole debug)
                throws Exception;
    }

    /** A robot program that runs step, then "execute", for every step of the match. */
    static RobotProgram scripted(Step step) {
        return adapter -> {
            Adapter a = (Adapter) adapter;
            InfoConsole info = (InfoConsole) a.getInfoConsole();
            OperateConsole operate = (OperateConsole) a.getOperateConsole();
            DebugConsole debug = (DebugConsole) a.getDebugConsole();
            while (step.play(info.getTime(), info, operate, debug)) operate.execute();
        };
    }

    static final RobotProgram IDLE = scripted((t, info, operate, debug) -> true);

    /** Every published step's robots, ball and events, recorded on the match's thread. */
    static final class Trace implements MatchConfig.StepObserver {
        final Map<Long, Map<Integer, Robot>> robots = new HashMap<>();
        final Map<Long, Ball> balls = new HashMap<>();
        final Map<Long, Map<Integer, List<Event>>> events = new HashMap<>();

        @Override
        public void stepped(long time, Ball ball, List<Team> teams,
                Map<Integer, List<Event>> stepEvents) {
            Map<Integer, Robot> byId = new HashMap<>();
            for (Team team : teams) {
                for (Robot robot : team.getMembers()) byId.put(robot.getId(), robot);
            }
            robots.put(time, byId);
            balls.put(time, ball);
            events.put(time, stepEvents);
        }

        Robot robot(long time, int id) {
            return robots.get(time).get(id);
        }

        List<String> types(long time, int id) {
            List<String> types = new ArrayList<>();
            for (Event event : events.get(time).get(id)) types.add(event.getType());
            return types;
        }
    }

    /** Every print and view the robots made, by robot, with the step they looked at. */
    static final class DebugLog implements MatchConfig.DebugObserver {
        record Print(long time, String text) {}

        record Drawing(long time, View view) {}

        private final Map<Integer, List<Print>> prints = new HashMap<>();
        private final Map<Integer, List<Drawing>> drawings = new HashMap<>();

        @Override
        public synchronized void debug(int robot, long time, DebugConsole.Output output) {
            for (String text : output.prints()) {
                prints.computeIfAbsent(robot, r -> new ArrayList<>()).add(new Print(time, text));
            }
            for (View view : output.views()) {
                drawings.computeIfAbsent(robot, r -> new ArrayList<>())
                        .add(new Drawing(time, view));
            }
        }

        synchronized List<Print> prints(int robot) {
            return List.copyOf(prints.getOrDefault(robot, List.of()));
        }

        synchronized List<String> printsAt(int robot, long time) {
            return prints(robot).stream().filter(p -> p.time() == time).map(Print::text).toList();
        }

        synchronized List<Drawing> drawings(int robot) {
            return List.copyOf(drawings.getOrDefault(robot, List.of()));
        }
    }

    static MatchResult play(MatchConfig config, List<RobotProgram> home,
            List<RobotProgram> away) throws Exception {
        List<Match.Player> homePlayers = new ArrayList<>();
        for (RobotProgram p : home) {
            homePlayers.add(Match.Player.program("h" + homePlayers.size(), p));
        }
        List<Match.Player> awayPlayers = new ArrayList<>();
        for (RobotProgram p : away) {
            awayPlayers.add(Match.Player.program("a" + awayPlayers.size(), p));
        }
        return new Match(config, homePlayers, awayPlayers).play();
    }

    static void near(double expected, double actual, String what) {
        assertTrue(Math.abs(expected - actual) < 1e-9,
                what + ": expected " + expected + " but was " + actual);
    }

    // ------------------------------------------------------------------ lockstep

    @Test
    void commandsApplyToTheirStep() throws Exception {
        Trace trace = new Trace();
        List<Long> seen = Collections.synchronizedList(new ArrayList<>());
        RobotProgram mover = scripted((t, info, operate, debug) -> {
            seen.add(t);
            if (t == 0) {
                operate.setMoveVelocity(2);
                operate.setTurnVelocity(0.1);
            }
            if (t == 3) {
                operate.setMoveVelocity(0);
                operate.setTurnVelocity(0);
            }
            return true;
        });
        play(new MatchConfig().steps(6).observer(trace), List.of(mover), List.of(IDLE));
        assertEquals(List.of(0L, 1L, 2L, 3L, 4L, 5L, 6L), seen, "steps the robot played");
        for (long t = 1; t <= 3; t++) {
            Robot before = trace.robot(t - 1, 1);
            Robot after = trace.robot(t, 1);
            near(before.getHeading() + 0.1, after.getHeading(), "heading after step " + t);
            // Turning while it drives, the robot covers a slight arc of length 2.
            double dx = after.getX() - before.getX();
            double dy = after.getY() - before.getY();
            double moved = Math.hypot(dx, dy);
            assertTrue(moved <= 2 + 1e-9 && moved > 1.99, "distance in step " + t + ": " + moved);
            double direction = Math.atan2(dy, dx);
            assertTrue(direction > before.getHeading() && direction < after.getHeading(),
                    "direction in step " + t + ": " + direction);
            assertEquals(2.0, after.getMoveVelocity(), "move velocity after step " + t);
        }
        Robot stopped = trace.robot(4, 1);
        assertEquals(trace.robot(3, 1).getX(), stopped.getX(), "x once stopped");
        assertEquals(0.0, stopped.getMoveVelocity(), "move velocity once stopped");
    }

    @Test
    void messagesArriveNextStep() throws Exception {
        Map<Long, List<Event>> received = new HashMap<>();
        RobotProgram sender = scripted((t, info, operate, debug) -> {
            if (t == 0) {
                operate.sendMessage(2, "hello");
                operate.sendMessage(99, "to nobody");
                operate.sendMessage(3, "to the other team");
                operate.sendMessage(1, "to myself");
            }
            return true;
        });
        RobotProgram receiver = scripted((t, info, operate, debug) -> {
            synchronized (received) {
                received.put(t, new ArrayList<>(info.getActions()));
            }
            return true;
        });
        Trace trace = new Trace();
        play(new MatchConfig().steps(3).observer(trace), List.of(sender, receiver),
                List.of(IDLE));
        synchronized (received) {
            assertEquals(List.of(Event.MATCH_BEGIN, Event.ROUND_BEGIN), types(received.get(0L)),
                    "events at 0");
            List<Event> atOne = received.get(1L);
            assertEquals(List.of(Event.TICK, Event.MESSAGE_RECEIVED), types(atOne), "events at 1");
            MessageReceivedEvent message = (MessageReceivedEvent) atOne.get(1);
            assertEquals(1, message.getSender(), "sender");
            assertEquals("hello", message.getMessage(), "text");
            assertEquals(List.of(Event.TICK), types(received.get(2L)), "events at 2");
        }
        assertEquals(List.of(Event.TICK, Event.MESSAGE_RECEIVED), trace.types(1, 1),
                "sender's own events");
    }

    static List<String> types(List<Event> events) {
        List<String> types = new ArrayList<>();
        for (Event event : events) types.add(event.getType());
        return types;
    }

    @Test
    void matchEndStopsEveryRobot() throws Exception {
        AtomicReference<Throwable> secondExecute = new AtomicReference<>();
        RobotProgram persistent = adapter -> {
            OperateConsole operate = (OperateConsole) ((Adapter) adapter).getOperateConsole();
            try {
                for (;;) operate.execute();
            } catch (MatchOverException end) {
                try {
                    operate.execute();
                } catch (Throwable e) {
                    secondExecute.set(e);
                }
                throw end;
            }
        };
        Trace trace = new Trace();
        MatchResult result = play(new MatchConfig().steps(20).observer(trace),
                List.of(IDLE, persistent), List.of(IDLE));
        assertEquals(20L, result.time(), "time reached");
        for (RobotOutcome robot : result.robots()) {
            assertEquals(RobotOutcome.Ending.FINISHED, robot.ending(), "ending of " + robot.id());
            assertEquals(0, robot.missedSteps(), "missed steps of " + robot.id());
        }
        assertTrue(secondExecute.get() instanceof MatchOverException,
                "execute after the end throws");
        assertEquals(List.of(Event.TICK, Event.ROUND_FINISH, Event.MATCH_FINISH),
                trace.types(20, 3),
                "events of the last step");
        TestBed.assertRobotThreadsEnd();
    }

    @Test
    void earlyEndsStandStill() throws Exception {
        RobotProgram returns = scripted((t, info, operate, debug) -> {
            operate.setMoveVelocity(5);
            return t < 3;
        });
        RobotProgram fails = scripted((t, info, operate, debug) -> {
            operate.setMoveVelocity(3);
            if (t == 5) throw new IllegalStateException("strategy failure");
            return true;
        });
        RobotProgram unloadable = new RobotProgram() {
            @Override
            public void load() throws IOException {
                throw new IOException("no such strategy");
            }

            @Override
            public void play(Object adapter) {
                throw new AssertionError("an unloaded program is not played");
            }
        };
        Trace trace = new Trace();
        MatchResult result = play(new MatchConfig().steps(30).observer(trace),
                List.of(returns, fails, unloadable), List.of(IDLE));
        assertEquals(30L, result.time(), "the match went on to its end");
        assertEquals(RobotOutcome.Ending.RETURNED, result.robot(1).ending(), "robot 1");
        assertEquals(RobotOutcome.Ending.FAILED, result.robot(2).ending(), "robot 2");
        assertEquals("strategy failure", result.robot(2).reason(), "robot 2's error");
        assertEquals(RobotOutcome.Ending.NOT_LOADED, result.robot(3).ending(), "robot 3");
        assertEquals("no such strategy", result.robot(3).reason(), "robot 3's error");
        assertEquals(RobotOutcome.Ending.FINISHED, result.robot(4).ending(), "robot 4");
        assertTrue(trace.robot(3, 1).getX() > trace.robot(0, 1).getX(),
                "robot 1 moved while playing");
        assertStill(trace, 1, 3, 30);
        assertStill(trace, 2, 5, 30);
        assertStill(trace, 3, 0, 30);
        TestBed.assertRobotThreadsEnd();
    }

    static void assertStill(Trace trace, int id, long from, long to) {
        Robot first = trace.robot(from, id);
        for (long t = from + 1; t <= to; t++) {
            Robot r = trace.robot(t, id);
            assertTrue(r.getX() == first.getX() && r.getY() == first.getY(),
                    "robot " + id + " moved at step " + t);
        }
    }

    @Test
    void deadlineCountsMissesAndStops() throws Exception {
        CountDownLatch release = new CountDownLatch(1);
        AtomicReference<Throwable> lateExecute = new AtomicReference<>();
        RobotProgram slowOnce = scripted((t, info, operate, debug) -> {
            if (t == 2) Thread.sleep(100);
            return true;
        });
        RobotProgram hangs = adapter -> {
            OperateConsole operate = (OperateConsole) ((Adapter) adapter).getOperateConsole();
            operate.execute();
            release.await();
            try {
                operate.execute();
            } catch (Throwable e) {
                lateExecute.set(e);
                throw e;
            }
        };
        MatchConfig config = new MatchConfig().steps(40).deadline(Duration.ofMillis(30))
                .maxMissedInRow(6).observer((time, ball, teams, events) -> {
                    if (time == 15) release.countDown();
                });
        MatchResult result = play(config, List.of(IDLE, slowOnce), List.of(hangs));
        assertEquals(40L, result.time(), "time reached");
        assertEquals(RobotOutcome.Ending.FINISHED, result.robot(1).ending(), "robot 1");
        assertEquals(RobotOutcome.Ending.FINISHED, result.robot(2).ending(), "the slow robot");
        assertTrue(result.robot(2).missedSteps() >= 2, "the slow robot missed steps: "
                + result.robot(2).missedSteps());
        assertEquals(RobotOutcome.Ending.STOPPED, result.robot(3).ending(), "the hanging robot");
        assertEquals(6, result.robot(3).missedSteps(), "the hanging robot's missed steps");
        assertEquals("missed 6 steps in a row", result.robot(3).reason(), "why it was stopped");
        // The released robot may call execute() only after the match has returned.
        TestBed.assertRobotThreadsEnd();
        assertTrue(lateExecute.get() instanceof RobotStoppedException,
                "a stopped robot's execute throws: " + lateExecute.get());
    }

    @Test
    void withoutDeadlineEveryoneIsAwaited() throws Exception {
        Map<Integer, List<Long>> seen = new HashMap<>();
        RobotProgram[] robots = new RobotProgram[2];
        for (int i = 0; i < 2; i++) {
            int id = i + 1;
            seen.put(id, Collections.synchronizedList(new ArrayList<>()));
            robots[i] = scripted((t, info, operate, debug) -> {
                seen.get(id).add(t);
                if (id == 2 && t == 2) Thread.sleep(80);
                return true;
            });
        }
        MatchResult result = play(new MatchConfig().steps(5), List.of(robots[0]),
                List.of(robots[1]));
        for (int id = 1; id <= 2; id++) {
            assertEquals(List.of(0L, 1L, 2L, 3L, 4L, 5L), seen.get(id), "steps seen by " + id);
            assertEquals(0, result.robot(id).missedSteps(), "missed by " + id);
        }
    }

    @Test
    void sameSeedSameMatch() throws Exception {
        List<Trace> traces = new ArrayList<>();
        for (long seed : new long[] {7, 7, 8}) {
            Trace trace = new Trace();
            RobotProgram driver = scripted((t, info, operate, debug) -> {
                operate.setMoveVelocity(t % 7);
                operate.setTurnVelocity((t % 5 - 2) * 0.05);
                return true;
            });
            play(new MatchConfig().steps(200).seed(seed).observer(trace), List.of(driver),
                    List.of(IDLE));
            traces.add(trace);
        }
        for (long t = 0; t <= 200; t++) {
            Ball a = traces.get(0).balls.get(t);
            Ball b = traces.get(1).balls.get(t);
            assertTrue(a.getX() == b.getX() && a.getY() == b.getY(), "ball differs at " + t);
            Robot ra = traces.get(0).robot(t, 1);
            Robot rb = traces.get(1).robot(t, 1);
            assertTrue(ra.getX() == rb.getX() && ra.getHeading() == rb.getHeading(),
                    "robot differs at " + t);
        }
        assertTrue(traces.get(0).balls.get(1L).getX() != traces.get(2).balls.get(1L).getX(),
                "another seed rolls the ball another way");
    }

    @Test
    void debugConsoleKeepsSteps() throws Exception {
        RobotProgram drawer = scripted((t, info, operate, debug) -> {
            if (t == 2) {
                debug.print("a");
                debug.print("b");
                LineView line = (LineView) debug.createLineView();
                line.setEndX(10);
                debug.addView(line);
                debug.addView("not a view");
                debug.addView(null);
            }
            if (t == 3) {
                for (int i = 0; i < DebugConsole.MAX_PRINTS + 6; i++) debug.print("p" + i);
                for (int i = 0; i < DebugConsole.MAX_VIEWS + 88; i++) {
                    debug.addView(debug.createEllipseView());
                }
            }
            if (t == 4) debug.print("x".repeat(DebugConsole.MAX_PRINT_CHARS + 1));
            return true;
        });
        DebugLog log = new DebugLog();
        MatchResult last = play(new MatchConfig().steps(5).debugObserver(log), List.of(drawer),
                List.of(IDLE));
        assertEquals(List.of("a", "b"), log.printsAt(1, 2), "prints at step 2");
        assertEquals(List.of(), log.printsAt(1, 1), "prints at step 1");
        assertEquals(1L, log.drawings(1).stream().filter(d -> d.time() <= 2).count(), "views kept");
        assertEquals(2L, log.drawings(1).get(0).time(), "step of the view");
        assertEquals(10.0, ((LineView) log.drawings(1).get(0).view()).getEndX(), "view's end x");
        assertEquals(List.of(), log.prints(2), "the other robot's prints");
        assertEquals(DebugConsole.MAX_PRINTS, log.printsAt(1, 3).size(),
                "prints kept over the limit");
        assertEquals("p0", log.printsAt(1, 3).get(0), "the first prints are kept");
        assertEquals(1 + DebugConsole.MAX_VIEWS, log.drawings(1).size(),
                "views kept over the limit");
        assertEquals(DebugConsole.MAX_PRINT_CHARS, log.printsAt(1, 4).get(0).length(),
                "a long print is cut");
        MatchResult result = last;
        assertEquals(6 + 1, result.robot(1).droppedPrints(), "prints over the limits");
        assertEquals(88, result.robot(1).droppedViews(), "views over the limit");
    }

    // ------------------------------------------------------------------ the world

    @Test
    void worldMovesAndTells() {
        Simulation world = new Simulation(200, 1, "H", List.of("one"), "A", List.of("two"));
        assertEquals(List.of(1, 2), world.robotIds(), "robot ids");
        Map<Integer, List<Event>> begin = world.begin();
        assertEquals(List.of(Event.MATCH_BEGIN, Event.ROUND_BEGIN), types(begin.get(2)),
                "kick-off events");
        world.command(1, 50, Double.NaN);
        world.command(2, 5, 0);
        world.step();
        Robot one = world.teams().get(0).getMembers().get(0);
        assertEquals(one.getMaxMoveVelocity(), one.getMoveVelocity(), "move velocity is capped");
        assertEquals(0.0, one.getTurnVelocity(), "a NaN turn is no turn");
        boolean hitRobot = false;
        for (int t = 2; t <= 100; t++) {
            Map<Integer, List<Event>> events = world.step();
            for (Event e : events.get(1)) {
                if (e instanceof HitRobotEvent hit) {
                    assertEquals(2, hit.getHited(), "the other robot's id");
                    hitRobot = true;
                }
            }
            Robot a = world.teams().get(0).getMembers().get(0);
            Robot b = world.teams().get(1).getMembers().get(0);
            assertTrue(Math.hypot(a.getX() - b.getX(), a.getY() - b.getY())
                    >= a.getRadius() + b.getRadius() - 1e-9, "robots do not overlap after a step");
        }
        assertTrue(hitRobot, "two robots driving at each other collide");
    }

    @Test
    void worldBallRollsAndIsPushed() {
        Simulation world = new Simulation(1000, 5, "H", List.of("chaser"), "A", List.of());
        double lastSpeed = world.ball().getVelocity();
        boolean touched = false;
        for (int t = 1; t <= 1000 && !touched; t++) {
            Ball ball = world.ball();
            Robot r = world.teams().get(0).getMembers().get(0);
            double want = Math.atan2(ball.getY() - r.getY(), ball.getX() - r.getX());
            world.command(1, 5, Math.IEEEremainder(want - r.getHeading(), 2 * Math.PI));
            touched = types(world.step().get(1)).contains(Event.HIT_BALL);
            ball = world.ball();
            Court court = world.court();
            assertTrue(ball.getX() >= ball.getRadius()
                    && ball.getX() <= court.getWidth() - ball.getRadius()
                    && ball.getY() >= ball.getRadius()
                    && ball.getY() <= court.getHeight() - ball.getRadius(),
                    "the ball stays on the court");
            if (!touched) {
                near(Math.max(0, lastSpeed - ball.getNegativeAcceleration()), ball.getVelocity(),
                        "the ball slows down at " + t);
            }
            lastSpeed = ball.getVelocity();
        }
        assertTrue(touched, "a robot chasing the ball reaches it");
        assertTrue(lastSpeed > 1, "the touched ball rolls away: " + lastSpeed);
    }

    @Test
    void worldWallsAndEnd() throws Exception {
        Simulation world = new Simulation(150, 3, "H", List.of("one"), "A", List.of());
        world.command(1, 5, 0);
        boolean hitWall = false;
        Map<Integer, List<Event>> events = Map.of();
        while (!world.isOver()) {
            events = world.step();
            hitWall |= types(events.get(1)).contains(Event.HIT_WALL);
            Robot r = world.teams().get(0).getMembers().get(0);
            assertTrue(r.getX() <= world.court().getWidth() - r.getRadius(),
                    "robot stays on the court");
        }
        assertTrue(hitWall, "a robot driving into the wall is told so");
        assertEquals(150L, world.time(), "time at the end");
        List<String> last = types(events.get(1));
        assertEquals(List.of(Event.ROUND_FINISH, Event.MATCH_FINISH),
                last.subList(last.size() - 2, last.size()),
                "the last step's final events");
        assertThrows(IllegalStateException.class, world::step);
    }

}
