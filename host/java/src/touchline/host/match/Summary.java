package touchline.host.match;

import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import touchline.host.physics.Goal;
import touchline.host.physics.RobotBody;
import touchline.host.physics.World;

/** The table printed after a match: score, goals, and each robot's figures. */
public final class Summary {
    private Summary() {}

    public static String of(Simulation simulation, MatchResult result, long seed) {
        World world = simulation.world();
        String home = simulation.teamName(Simulation.HOME_TEAM_ID);
        String away = simulation.teamName(Simulation.AWAY_TEAM_ID);
        StringBuilder out = new StringBuilder();
        out.append(String.format(Locale.ROOT, "Match of %d steps, seed %d%s%n%n", result.time(),
                seed, result.interrupted() ? " (interrupted)" : ""));
        out.append(String.format(Locale.ROOT, "  %s %d : %d %s%n%n", Visible.line(home),
                world.score(0), world.score(1), Visible.line(away)));

        out.append("Goals\n");
        if (world.goals().isEmpty()) out.append("  none\n");
        List<String[]> goals = new ArrayList<>();
        goals.add(new String[] {"step", "for", "scorer"});
        for (Goal goal : world.goals()) {
            String scorer = "-";
            if (goal.scorer() >= 0) {
                int id = Simulation.idOf(goal.scorer());
                scorer = id + " " + simulation.robotName(id);
                if (goal.ownGoal()) scorer += " (own goal)";
            }
            goals.add(new String[] {Long.toString(goal.step()),
                    simulation.teamName(Simulation.teamIdOf(goal.team())), scorer});
        }
        if (!world.goals().isEmpty()) table(out, goals, 1, 2);

        out.append("\nRobots\n");
        List<String[]> robots = new ArrayList<>();
        robots.add(new String[] {"id", "team", "name", "end", "missed", "hits", "distance"});
        for (RobotOutcome outcome : result.robots()) {
            RobotBody body = simulation.body(outcome.id());
            robots.add(new String[] {Integer.toString(outcome.id()),
                    simulation.teamName(outcome.teamId()), outcome.name(),
                    outcome.ending().word(),
                    Integer.toString(outcome.missedSteps()), Integer.toString(body.ballTouches()),
                    String.format(Locale.ROOT, "%.1f", body.distance())});
        }
        table(out, robots, 1, 2, 3);
        for (RobotOutcome outcome : result.robots()) {
            if (!outcome.reason().isEmpty()) {
                out.append(String.format(Locale.ROOT, "  robot %d: %s%n", outcome.id(),
                        Visible.line(outcome.reason())));
            }
            if (simulation.undelivered(outcome.id()) > 0) {
                out.append(String.format(Locale.ROOT,
                        "  robot %d: %d messages not delivered (to the other team or to no "
                                + "robot)%n",
                        outcome.id(), simulation.undelivered(outcome.id())));
            }
            if (outcome.droppedPrints() > 0 || outcome.droppedViews() > 0) {
                out.append(String.format(Locale.ROOT,
                        "  robot %d: %d prints and %d views over the limits, dropped or cut%n",
                        outcome.id(), outcome.droppedPrints(), outcome.droppedViews()));
            }
        }
        if (result.unsandboxed() != null) {
            out.append("  robots are not sandboxed: ").append(Visible.line(result.unsandboxed()))
                    .append('\n');
        }
        return out.toString();
    }

    /**
     * The summary as one JSON object (touchline-match --json, summary.json): the match, the
     * teams with their scores, the goals, and each robot's figures and ending.
     */
    public static String json(Simulation simulation, MatchResult result, long seed) {
        World world = simulation.world();
        StringBuilder out = new StringBuilder("{\"steps\":").append(result.time())
                .append(",\"seed\":").append(seed).append(",\"interrupted\":")
                .append(result.interrupted());
        if (result.unsandboxed() != null) {
            out.append(",\"unsandboxed\":").append(Json.string(result.unsandboxed()));
        }
        out.append(",\"teams\":[");
        for (int team = 0; team < 2; team++) {
            if (team > 0) out.append(',');
            int id = Simulation.teamIdOf(team);
            out.append("{\"id\":").append(id).append(",\"name\":")
                    .append(Json.string(simulation.teamName(id))).append(",\"score\":")
                    .append(world.score(team)).append('}');
        }
        out.append("],\"goals\":[");
        boolean first = true;
        for (Goal goal : world.goals()) {
            if (!first) out.append(',');
            first = false;
            out.append("{\"time\":").append(goal.step()).append(",\"team\":")
                    .append(Simulation.teamIdOf(goal.team())).append(",\"scorer\":")
                    .append(goal.scorer() >= 0 ? Integer.toString(Simulation.idOf(goal.scorer()))
                                               : "null")
                    .append(",\"ownGoal\":").append(goal.ownGoal()).append('}');
        }
        out.append("],\"robots\":[");
        first = true;
        for (RobotOutcome outcome : result.robots()) {
            if (!first) out.append(',');
            first = false;
            RobotBody body = simulation.body(outcome.id());
            out.append("{\"id\":").append(outcome.id()).append(",\"team\":")
                    .append(outcome.teamId()).append(",\"name\":")
                    .append(Json.string(outcome.name())).append(",\"ending\":")
                    .append(Json.string(outcome.ending().word())).append(",\"reason\":")
                    .append(Json.string(outcome.reason())).append(",\"missedSteps\":")
                    .append(outcome.missedSteps()).append(",\"ballTouches\":")
                    .append(body.ballTouches()).append(",\"distance\":")
                    .append(Json.rounded(body.distance())).append(",\"undeliveredMessages\":")
                    .append(simulation.undelivered(outcome.id())).append(",\"droppedPrints\":")
                    .append(outcome.droppedPrints()).append(",\"droppedViews\":")
                    .append(outcome.droppedViews()).append('}');
        }
        return out.append("]}").toString();
    }

    /**
     * The text columns are left-aligned, the others (numbers) right-aligned. Every cell is
     * shown with its control characters escaped: names come from libraries and team files.
     */
    public static void table(StringBuilder out, List<String[]> rows, int... textColumns) {
        rows = rows.stream().map(row -> java.util.Arrays.stream(row).map(Visible::line)
                .toArray(String[]::new)).toList();
        int[] widths = new int[rows.get(0).length];
        for (String[] row : rows) {
            for (int i = 0; i < row.length; i++) widths[i] = Math.max(widths[i], row[i].length());
        }
        for (String[] row : rows) {
            StringBuilder line = new StringBuilder(" ");
            for (int i = 0; i < row.length; i++) {
                boolean left = isText(i, textColumns);
                String cell = row[i];
                String pad = " ".repeat(widths[i] - cell.length());
                line.append(' ').append(left ? cell + pad : pad + cell);
            }
            out.append(line.toString().stripTrailing()).append('\n');
        }
    }

    private static boolean isText(int column, int[] textColumns) {
        for (int c : textColumns) {
            if (c == column) return true;
        }
        return false;
    }

    public static String oneLine(Throwable error) {
        String message = error.getMessage() == null ? error.getClass().getSimpleName()
                                                    : error.getMessage();
        return message.replaceAll("\\s+", " ").trim();
    }
}
