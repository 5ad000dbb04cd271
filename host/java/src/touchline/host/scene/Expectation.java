package touchline.host.scene;

import java.util.List;
import java.util.Locale;
import java.util.Map;
import touchline.host.robot.Ball;
import touchline.host.robot.Event;
import touchline.host.robot.Robot;
import touchline.host.robot.Team;

/**
 * One "expect" line of a scene: it watches the match step by step and, after it, says whether
 * it held and what was seen. "by N" means at step N or before; without it, by the last step.
 */
public abstract class Expectation {
    private static final List<String> EVENTS = List.of(Event.MATCH_BEGIN, Event.ROUND_BEGIN,
            Event.MATCH_FINISH, Event.ROUND_FINISH, Event.MESSAGE_RECEIVED, Event.HIT_ROBOT,
            Event.HIT_WALL, Event.HIT_BALL);

    private final Scene.Line line;
    /** The last step that counts; 0 until validate() knows the scene's length. */
    long by;
    /** The step at which it held, or -1. */
    long heldAt = -1;

    Expectation(Scene.Line line, long by) {
        this.line = line;
        this.by = by;
    }

    /** The line as written, e.g. "expect goal home by 300". */
    public String text() {
        return line.text;
    }

    public int lineNumber() {
        return line.number;
    }

    public abstract boolean passed();

    /** What the match showed, in a few words. */
    public abstract String seen();

    /** Sees every published step, the kick-off frame (time 0) first. */
    void stepped(long time, Ball ball, List<Team> teams, Map<Integer, List<Event>> events) {}

    /** Sees what a robot printed while it looked at the step at time. */
    void printed(int robot, long time, List<String> prints) {}

    void validate(Scene scene) throws SceneException {
        if (by == 0) by = scene.steps();
        if (by > scene.steps()) {
            throw line.error("step " + by + " is after the scene's last step (" + scene.steps()
                    + ")");
        }
    }

    void checkRobot(Scene scene, int id) throws SceneException {
        if (id < 1 || id > scene.robots().size()) {
            throw line.error("no robot " + id + " in the scene");
        }
    }

    static Expectation parse(Scene.Line line) throws SceneException {
        List<String> w = line.words;
        if (w.size() < 2) throw line.error("expect what? (goal, no-goal, ball-x, ball-y, robot)");
        switch (w.get(1)) {
            case "goal", "no-goal" -> {
                long by = by(line, 3, "expect " + w.get(1) + " home|away [by N]");
                String team = w.get(2);
                if (!team.equals("home") && !team.equals("away")) {
                    throw line.error("the team is home or away, not \"" + team + "\"");
                }
                return new Goal(line, by, team.equals("home") ? 0 : 1, w.get(1).equals("goal"));
            }
            case "ball-x", "ball-y" -> {
                line.count(6, 6, "expect " + w.get(1) + " <|>|<=|>= VALUE at N");
                String op = w.get(2);
                if (!List.of("<", ">", "<=", ">=").contains(op)) {
                    throw line.error("compare with <, >, <= or >=, not \"" + op + "\"");
                }
                if (!w.get(4).equals("at")) throw line.error("expected \"at N\" after the value");
                return new BallAt(line, line.whole(5, 0, Scene.MAX_STEPS), w.get(1).equals("ball-x"),
                        op, line.number(3));
            }
            case "robot" -> {
                return robot(line);
            }
            default -> throw line.error("unknown expectation \"" + w.get(1)
                    + "\" (goal, no-goal, ball-x, ball-y, robot)");
        }
    }

    private static Expectation robot(Scene.Line line) throws SceneException {
        List<String> w = line.words;
        if (w.size() < 4) throw line.error("expected: expect robot ID near|printed|event ...");
        int id = (int) line.whole(2, 1, 2 * Scene.MAX_TEAM);
        switch (w.get(3)) {
            case "near" -> {
                String form = "expect robot ID near X Y within R [by N]";
                long by = by(line, 8, form);
                if (!w.get(6).equals("within")) throw line.error("expected: " + form);
                double radius = line.number(7);
                if (radius < 0) throw line.error("the radius must not be negative");
                return new Near(line, by, id, line.number(4), line.number(5), radius);
            }
            case "printed" -> {
                return new Printed(line, by(line, 5, "expect robot ID printed \"TEXT\" [by N]"),
                        id, w.get(4));
            }
            case "event" -> {
                long by = by(line, 5, "expect robot ID event NAME [by N]");
                if (!EVENTS.contains(w.get(4))) {
                    throw line.error("unknown event \"" + w.get(4) + "\" (one of "
                            + String.join(", ", EVENTS) + ")");
                }
                return new EventSeen(line, by, id, w.get(4));
            }
            default -> throw line.error("expected near, printed or event after the robot's id");
        }
    }

    /** The optional "by N" after the given words: N, or 0 for the scene's last step. */
    private static long by(Scene.Line line, int words, String form) throws SceneException {
        if (line.words.size() == words) return 0;
        if (line.words.size() != words + 2 || !line.word(words).equals("by")) {
            throw line.error("expected: " + form);
        }
        return line.whole(words + 1, 1, Scene.MAX_STEPS);
    }

    static String format(double value) {
        return String.format(Locale.ROOT, "%.2f", value);
    }

    /** A goal for a team (or none) by a step. */
    static final class Goal extends Expectation {
        private final int team;
        private final boolean wanted;
        private int[] score = {0, 0};
        private long time;

        Goal(Scene.Line line, long by, int team, boolean wanted) {
            super(line, by);
            this.team = team;
            this.wanted = wanted;
        }

        @Override
        void stepped(long now, Ball ball, List<Team> teams, Map<Integer, List<Event>> events) {
            if (now > by) return;
            time = now;
            int scored = (int) teams.get(team).getScore();
            if (scored > score[team] && heldAt < 0) heldAt = now;
            score = new int[] {(int) teams.get(0).getScore(), (int) teams.get(1).getScore()};
        }

        @Override
        public boolean passed() {
            return wanted == (heldAt >= 0);
        }

        @Override
        public String seen() {
            String who = team == 0 ? "home" : "away";
            String result = "score " + score[0] + " : " + score[1] + " at step " + time;
            if (heldAt >= 0) return who + " scored at step " + heldAt + "; " + result;
            return "no " + who + " goal; " + result;
        }
    }

    /** The ball's x or y compared with a value at one step. */
    static final class BallAt extends Expectation {
        private final boolean x;
        private final String op;
        private final double value;
        private double at = Double.NaN;

        BallAt(Scene.Line line, long step, boolean x, String op, double value) {
            super(line, step);
            this.x = x;
            this.op = op;
            this.value = value;
        }

        /** Step 0 is the starting frame here, not "the last step". */
        @Override
        void validate(Scene scene) throws SceneException {
            if (by > scene.steps()) super.validate(scene);
        }

        @Override
        void stepped(long now, Ball ball, List<Team> teams, Map<Integer, List<Event>> events) {
            if (now == by) at = x ? ball.getX() : ball.getY();
        }

        @Override
        public boolean passed() {
            return switch (op) {
                case "<" -> at < value;
                case ">" -> at > value;
                case "<=" -> at <= value;
                default -> at >= value;
            };
        }

        @Override
        public String seen() {
            if (Double.isNaN(at)) return "the match did not reach step " + by;
            return (x ? "ball-x" : "ball-y") + " was " + format(at) + " at step " + by;
        }
    }

    /** A robot within a distance of a point at some step by N. */
    static final class Near extends Expectation {
        private final int robot;
        private final double x;
        private final double y;
        private final double radius;
        private double closest = Double.POSITIVE_INFINITY;
        private long closestAt;

        Near(Scene.Line line, long by, int robot, double x, double y, double radius) {
            super(line, by);
            this.robot = robot;
            this.x = x;
            this.y = y;
            this.radius = radius;
        }

        @Override
        void validate(Scene scene) throws SceneException {
            super.validate(scene);
            checkRobot(scene, robot);
        }

        @Override
        void stepped(long now, Ball ball, List<Team> teams, Map<Integer, List<Event>> events) {
            if (now > by || heldAt >= 0) return;
            for (Team team : teams) {
                for (Robot r : team.getMembers()) {
                    if (r.getId() != robot) continue;
                    double distance = Math.hypot(r.getX() - x, r.getY() - y);
                    if (distance < closest) {
                        closest = distance;
                        closestAt = now;
                    }
                    if (distance <= radius) heldAt = now;
                }
            }
        }

        @Override
        public boolean passed() {
            return heldAt >= 0;
        }

        @Override
        public String seen() {
            if (heldAt >= 0) return "within " + format(closest) + " at step " + heldAt;
            return "closest " + format(closest) + " at step " + closestAt;
        }
    }

    /** A robot printed a text containing the given one, by N. */
    static final class Printed extends Expectation {
        private final int robot;
        private final String wanted;
        private int prints;
        private String last;

        Printed(Scene.Line line, long by, int robot, String wanted) {
            super(line, by);
            this.robot = robot;
            this.wanted = wanted;
        }

        @Override
        void validate(Scene scene) throws SceneException {
            super.validate(scene);
            checkRobot(scene, robot);
        }

        @Override
        void printed(int id, long time, List<String> texts) {
            if (id != robot || time > by || heldAt >= 0) return;
            for (String text : texts) {
                prints++;
                last = text;
                if (text.contains(wanted)) {
                    heldAt = time;
                    return;
                }
            }
        }

        @Override
        public boolean passed() {
            return heldAt >= 0;
        }

        @Override
        public String seen() {
            if (heldAt >= 0) return "printed at step " + heldAt + ": \"" + last + "\"";
            if (prints == 0) return "no prints by step " + by;
            return prints + " prints by step " + by + ", none with it; the last: \"" + last + "\"";
        }
    }

    /** A robot got an event, by N. */
    static final class EventSeen extends Expectation {
        private final int robot;
        private final String type;

        EventSeen(Scene.Line line, long by, int robot, String type) {
            super(line, by);
            this.robot = robot;
            this.type = type;
        }

        @Override
        void validate(Scene scene) throws SceneException {
            super.validate(scene);
            checkRobot(scene, robot);
        }

        @Override
        void stepped(long now, Ball ball, List<Team> teams, Map<Integer, List<Event>> events) {
            if (now > by || heldAt >= 0) return;
            for (Event event : events.getOrDefault(robot, List.of())) {
                if (event.getType().equals(type)) {
                    heldAt = now;
                    return;
                }
            }
        }

        @Override
        public boolean passed() {
            return heldAt >= 0;
        }

        @Override
        public String seen() {
            return heldAt >= 0 ? "first at step " + heldAt : "not by step " + by;
        }
    }
}
