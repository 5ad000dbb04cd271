package touchline.host;

import java.io.BufferedWriter;
import java.io.IOException;
import java.io.UncheckedIOException;
import java.io.Writer;
import java.util.List;
import java.util.Map;
import java.util.StringJoiner;
import touchline.host.physics.Goal;
import touchline.host.physics.RobotBody;
import touchline.host.physics.Settings;
import touchline.host.physics.World;

/**
 * Writes a match as JSON lines (docs/host.md, "The replay"): a header with everything that
 * stays fixed, one frame per published step as it is played, then each robot's debug output and
 * the match's end. Nothing in it depends on time of day, timing or file locations, so two runs
 * of the same match write the same bytes.
 */
final class ReplayWriter implements MatchConfig.StepObserver {
    static final int VERSION = 1;

    private final Writer out;
    private Simulation simulation;

    ReplayWriter(Writer out) {
        this.out = new BufferedWriter(out, 1 << 16);
    }

    /** The first line; written before the match is played. */
    void header(Simulation simulation, long seed) {
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

    /** Each robot's printed text and overlay views, by the step they were given in. */
    void debug(MatchResult result) {
        for (RobotOutcome robot : result.robots()) {
            DebugConsole debug = robot.debug();
            if (debug.prints().isEmpty() && debug.drawings().isEmpty()) continue;
            StringJoiner prints = new StringJoiner(",");
            for (DebugConsole.Print print : debug.prints()) {
                prints.add("[" + print.time() + "," + Json.string(print.text()) + "]");
            }
            StringJoiner views = new StringJoiner(",");
            for (DebugConsole.Drawing drawing : debug.drawings()) {
                views.add("[" + drawing.time() + "," + view(drawing.view()) + "]");
            }
            write("{\"debug\":{\"robot\":" + robot.id() + ",\"prints\":[" + prints
                    + "],\"views\":[" + views + "]}}");
        }
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

    /** The last line: final score, goals and every robot's figures. */
    void end(MatchResult result) {
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
            robots.add("{\"id\":" + outcome.id() + ",\"ending\":"
                    + Json.string(outcome.ending().name().toLowerCase(java.util.Locale.ROOT))
                    + ",\"missedSteps\":" + outcome.missedSteps() + ",\"ballTouches\":"
                    + body.ballTouches() + ",\"distance\":" + Json.rounded(body.distance()) + "}");
        }
        write("{\"end\":{\"time\":" + result.time() + ",\"score\":[" + world.score(0) + ","
                + world.score(1) + "],\"goals\":[" + goals + "],\"robots\":[" + robots + "]}}");
        try {
            out.flush();
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    private void write(String line) {
        try {
            out.write(line);
            out.write('\n');
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }
}
