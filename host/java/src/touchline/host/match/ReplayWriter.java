package touchline.host.match;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
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
 * the frame it looked at, a line for each robot ended early, when it is, and the match's end.
 * Only whole lines reach the file, at least every FLUSH_MILLIS, so nothing grows with the
 * match. Nothing in it depends on time of day or file locations, and timing only where a robot
 * is ended for being late or dying, so two runs of the same match write the same bytes.
 *
 * A write that fails stops the recording: the error is kept (error()), the rest is ignored.
 * A tap, when given, sees every line as it is made, whether or not the file can be written: the
 * live stream shares the lines the file gets instead of making its own.
 */
public final class ReplayWriter implements MatchConfig.StepObserver, MatchConfig.DebugObserver,
        MatchConfig.EndingObserver {
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
     * By robot id: the step from which a robot the match ended early stands still; endings
     * heard of before the header are written right after it.
     */
    private final Map<Integer, Long> stillFrom = new HashMap<>();
    private final List<String> earlyEndings = new ArrayList<>();

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
        for (String ending : earlyEndings) write(ending);
        earlyEndings.clear();
    }

    /**
     * A robot the match ended before its last step: one line, written when it happens, so that
     * a live page can mark it at once; time is the first step it stands still at.
     */
    @Override
    public void ended(int robot, long time, RobotOutcome.Ending ending, String reason) {
        stillFrom.put(robot, time);
        String line = "{\"ended\":{\"robot\":" + robot + ",\"time\":" + time + ",\"ending\":"
                + Json.string(ending.word()) + ",\"reason\":" + Json.string(reason) + "}}";
        if (simulation == null) {
            earlyEndings.add(line);
        } else {
            write(line);
        }
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
            Long still = stillFrom.get(outcome.id());
            robots.add("{\"id\":" + outcome.id() + ",\"ending\":"
                    + Json.string(outcome.ending().word()) + ",\"reason\":"
                    + Json.string(outcome.reason())
                    + (still == null ? "" : ",\"stillFrom\":" + still)
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
