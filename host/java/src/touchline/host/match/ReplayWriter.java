package touchline.host.match;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.StringJoiner;
import java.util.function.Consumer;
import touchline.host.physics.Goal;
import touchline.host.physics.RobotBody;
import touchline.host.physics.Settings;
import touchline.host.physics.World;
import touchline.host.robot.Ball;
import touchline.host.robot.Court;
import touchline.host.robot.DebugConsole;
import touchline.host.robot.EllipseView;
import touchline.host.robot.Event;
import touchline.host.robot.HitRobotEvent;
import touchline.host.robot.LineView;
import touchline.host.robot.MessageReceivedEvent;
import touchline.host.robot.RectangleView;
import touchline.host.robot.Robot;
import touchline.host.robot.Team;
import touchline.host.robot.TextView;
import touchline.host.robot.View;

/**
 * Writes a match as JSON lines (docs/host.md, "The replay") while it is played: a header with
 * everything that stays fixed, one frame per published step, each robot's debug output after
 * the frame it looked at, and the match's end. Only whole lines reach the file, at least every
 * FLUSH_MILLIS, so nothing grows with the match. Nothing in it depends on time of day, timing
 * or file locations, so two runs of the same match write the same bytes.
 *
 * A write that fails stops the recording: the error is kept (error()), the rest is ignored.
 * A tap, when given, sees every line as it is made, whether or not the file can be written: the
 * live stream shares the lines the file gets instead of making its own.
 */
public final class ReplayWriter implements MatchConfig.StepObserver, MatchConfig.DebugObserver {
    public static final int VERSION = 2;
    private static final int FLUSH_BYTES = 1 << 16;
    private static final long FLUSH_MILLIS = 200;

    private final OutputStream out;
    private final Path file;
    private final StringBuilder pending = new StringBuilder(FLUSH_BYTES * 2);
    private long lastFlush = System.nanoTime();
    private Simulation simulation;
    private IOException error;
    private Consumer<String> tap = line -> {};
    /**
     * By robot index: the first step of the run of steps, still going on, in which the robot
     * neither drove nor turned (-1: it moves); and the last step it printed or drew at.
     */
    private long[] stillSince = new long[0];
    private long[] lastOutput = new long[0];

    /**
     * Writes to out, which the caller closes; file names it in error messages. With out null the
     * lines only go to the tap.
     */
    public ReplayWriter(OutputStream out, Path file) {
        this.out = out;
        this.file = file;
    }

    /** Hands every line from now on to tap as well, without its newline. */
    public ReplayWriter tap(Consumer<String> value) {
        tap = value;
        return this;
    }

    /** The write error that stopped the recording, or null. */
    public IOException error() {
        return error;
    }

    public Path file() {
        return file;
    }

    /** The first line; written before the match is played. */
    public void header(Simulation simulation, long seed) {
        this.simulation = simulation;
        int count = simulation.robotIds().size();
        stillSince = new long[count];
        lastOutput = new long[count];
        Arrays.fill(lastOutput, -1);
        Settings s = simulation.world().settings();
        Court court = simulation.court();
        StringBuilder line = new StringBuilder("{\"replay\":\"touchline\",\"version\":")
                .append(VERSION).append(",\"steps\":").append(simulation.totalTimes())
                .append(",\"seed\":").append(seed)
                .append(",\"court\":{\"width\":").append(Json.exact(court.getWidth()))
                .append(",\"height\":").append(Json.exact(court.getHeight()))
                .append(",\"goalWidth\":").append(Json.exact(court.getGoalWidth()))
                .append(",\"goalDepth\":").append(Json.exact(court.getGoalDepth()))
                .append(",\"cornerWidth\":").append(Json.exact(court.getCornerWidth()))
                .append(",\"cornerHeight\":").append(Json.exact(court.getCornerHeight()))
                .append("},\"ball\":{\"radius\":").append(Json.exact(s.ballRadius()))
                .append(",\"negativeAcceleration\":")
                .append(Json.exact(s.ballNegativeAcceleration())).append("},\"teams\":[");
        StringJoiner teams = new StringJoiner(",");
        for (Team team : simulation.teams()) {
            StringJoiner robots = new StringJoiner(",");
            for (Robot robot : team.getMembers()) {
                robots.add("{\"id\":" + robot.getId() + ",\"name\":" + Json.string(robot.getName())
                        + ",\"radius\":" + Json.exact(robot.getRadius())
                        + ",\"maxMoveVelocity\":" + Json.exact(robot.getMaxMoveVelocity())
                        + ",\"maxTurnVelocity\":" + Json.exact(robot.getMaxTurnVelocity()) + "}");
            }
            teams.add("{\"id\":" + team.getId() + ",\"name\":" + Json.string(team.getName())
                    + ",\"attack\":" + team.getAttack() + ",\"robots\":[" + robots + "]}");
        }
        write(line.append(teams).append("]}").toString());
    }

    @Override
    public void stepped(long time, Ball ball, List<Team> teams, Map<Integer, List<Event>> events) {
        StringBuilder line = new StringBuilder("{\"time\":").append(time).append(",\"score\":[");
        StringJoiner scores = new StringJoiner(",");
        StringJoiner robots = new StringJoiner(",");
        StringJoiner happenings = new StringJoiner(",");
        for (Team team : teams) {
            scores.add(Long.toString((long) team.getScore()));
            for (Robot r : team.getMembers()) {
                noteStill(r, time);
                robots.add("[" + Json.rounded(r.getX()) + "," + Json.rounded(r.getY()) + ","
                        + Json.rounded(r.getHeading()) + "," + Json.rounded(r.getMoveVelocity())
                        + "," + Json.rounded(r.getTurnVelocity()) + "]");
                for (Event event : events.getOrDefault(r.getId(), List.of())) {
                    if (event.getType().equals(Event.TICK)) continue;
                    happenings.add(event(r.getId(), event));
                }
            }
        }
        line.append(scores).append("],\"ball\":[").append(Json.rounded(ball.getX())).append(',')
                .append(Json.rounded(ball.getY())).append(',')
                .append(Json.rounded(ball.getHeading())).append(',')
                .append(Json.rounded(ball.getVelocity())).append("],\"robots\":[").append(robots)
                .append("],\"events\":[").append(happenings).append("]}");
        write(line.toString());
    }

    private void noteStill(Robot r, long time) {
        int index = r.getId() - 1;
        if (index < 0 || index >= stillSince.length) return;
        if (r.getMoveVelocity() != 0 || r.getTurnVelocity() != 0) {
            stillSince[index] = -1;
        } else if (stillSince[index] < 0) {
            stillSince[index] = time;
        }
    }

    /**
     * For a robot whose program ended before the match did: the step from which it stood still
     * for good, after the last step it printed or drew at. The match stands such a robot still
     * from the step after its ending, so this is that step unless the robot had chosen to stand
     * still (and said nothing) before it ended; -1 for a robot that played on.
     */
    private long stillFrom(RobotOutcome outcome) {
        int index = outcome.id() - 1;
        boolean ended = outcome.ending() != RobotOutcome.Ending.FINISHED
                && outcome.ending() != RobotOutcome.Ending.RUNNING;
        if (!ended || index < 0 || index >= stillSince.length || stillSince[index] < 0) return -1;
        return Math.max(stillSince[index], lastOutput[index] + 1);
    }

    private static String event(int robot, Event event) {
        String head = "[" + robot + "," + Json.string(event.getType());
        if (event instanceof HitRobotEvent hit) return head + "," + hit.getHited() + "]";
        if (event instanceof MessageReceivedEvent m) {
            return head + "," + m.getSender() + "," + Json.string(m.getMessage()) + "]";
        }
        return head + "]";
    }

    /** What a robot printed and drew while it looked at the frame of time. */
    @Override
    public void debug(int robot, long time, DebugConsole.Output output) {
        if (robot >= 1 && robot <= lastOutput.length) {
            lastOutput[robot - 1] = Math.max(lastOutput[robot - 1], time);
        }
        StringBuilder line = new StringBuilder(64).append("{\"debug\":{\"robot\":").append(robot)
                .append(",\"time\":").append(time).append(",\"prints\":[");
        StringJoiner prints = new StringJoiner(",");
        for (String print : output.prints()) prints.add(Json.string(print));
        StringJoiner views = new StringJoiner(",");
        for (View view : output.views()) views.add(view(view));
        write(line.append(prints).append("],\"views\":[").append(views).append("]}}")
                .toString());
    }

    private static String view(View view) {
        String head = ",\"showTime\":" + view.getShowTime() + ",\"color\":" + view.getColor();
        if (view instanceof LineView v) {
            return "{\"type\":\"line\"" + head + ",\"beginX\":" + Json.exact(v.getBeginX())
                    + ",\"beginY\":" + Json.exact(v.getBeginY()) + ",\"endX\":"
                    + Json.exact(v.getEndX()) + ",\"endY\":" + Json.exact(v.getEndY()) + "}";
        }
        if (view instanceof TextView v) {
            return "{\"type\":\"text\"" + head + ",\"text\":" + Json.string(v.getText())
                    + ",\"size\":" + v.getSize() + ",\"locationX\":"
                    + Json.exact(v.getLocationX()) + ",\"locationY\":"
                    + Json.exact(v.getLocationY()) + "}";
        }
        if (view instanceof EllipseView v) {
            return "{\"type\":\"ellipse\"" + head + ",\"xRadius\":" + Json.exact(v.getXRadius())
                    + ",\"yRadius\":" + Json.exact(v.getYRadius()) + ",\"fill\":" + v.isFill()
                    + ",\"locationX\":" + Json.exact(v.getLocationX()) + ",\"locationY\":"
                    + Json.exact(v.getLocationY()) + "}";
        }
        RectangleView v = (RectangleView) view;
        return "{\"type\":\"rectangle\"" + head + ",\"width\":" + Json.exact(v.getWidth())
                + ",\"height\":" + Json.exact(v.getHeight()) + ",\"fill\":" + v.isFill()
                + ",\"locationX\":" + Json.exact(v.getLocationX()) + ",\"locationY\":"
                + Json.exact(v.getLocationY()) + "}";
    }

    /** The last line: final score, goals and every robot's figures; then everything is written. */
    public void end(MatchResult result) {
        World world = simulation.world();
        StringJoiner goals = new StringJoiner(",");
        for (Goal goal : world.goals()) {
            goals.add("{\"time\":" + goal.step() + ",\"team\":" + Simulation.teamIdOf(goal.team())
                    + ",\"scorer\":" + (goal.scorer() < 0 ? "null" : Simulation.idOf(goal.scorer()))
                    + ",\"ownGoal\":" + goal.ownGoal() + "}");
        }
        StringJoiner robots = new StringJoiner(",");
        for (RobotOutcome outcome : result.robots()) {
            RobotBody body = simulation.body(outcome.id());
            long stillFrom = stillFrom(outcome);
            robots.add("{\"id\":" + outcome.id() + ",\"ending\":"
                    + Json.string(outcome.ending().word()) + ",\"reason\":"
                    + Json.string(outcome.reason())
                    + (stillFrom < 0 ? "" : ",\"stillFrom\":" + stillFrom)
                    + ",\"missedSteps\":" + outcome.missedSteps()
                    + ",\"droppedPrints\":" + outcome.droppedPrints() + ",\"droppedViews\":"
                    + outcome.droppedViews() + ",\"ballTouches\":" + body.ballTouches()
                    + ",\"distance\":" + Json.rounded(body.distance()) + "}");
        }
        write("{\"end\":{\"time\":" + result.time() + ",\"interrupted\":" + result.interrupted()
                + ",\"score\":[" + world.score(0) + "," + world.score(1) + "],\"goals\":["
                + goals + "],\"robots\":[" + robots + "]}}");
        flush();
    }

    private void write(String line) {
        tap.accept(line);
        if (error != null || out == null) return;
        pending.append(line).append('\n');
        if (pending.length() >= FLUSH_BYTES
                || System.nanoTime() - lastFlush >= FLUSH_MILLIS * 1_000_000) {
            flush();
        }
    }

    /** Writes the lines gathered so far: whole lines only ever reach the file. */
    public void flush() {
        lastFlush = System.nanoTime();
        if (error != null || out == null || pending.length() == 0) return;
        try {
            // Json writes ASCII only.
            out.write(pending.toString().getBytes(StandardCharsets.US_ASCII));
            out.flush();
        } catch (IOException e) {
            error = e;
        }
        pending.setLength(0);
        if (pending.capacity() > FLUSH_BYTES * 4) pending.trimToSize();
    }
}
