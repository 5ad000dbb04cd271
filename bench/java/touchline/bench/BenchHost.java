package touchline.bench;

import java.util.ArrayList;
import java.util.List;

/**
 * Host objects for the real-JVM benchmarks: the getters and setters a strategy library calls,
 * with the signatures the library looks up, and as little work behind them as a real host
 * does. The operate console's execute advances the clock; nothing else changes.
 */
public final class BenchHost {
    private BenchHost() {}

    /** The adapter object of a match of botsPerTeam robots a side with events per step. */
    public static Object create(int botsPerTeam, int events) {
        Info info = new Info();
        int id = 0;
        for (int t = 0; t < 2; t++) {
            Team team = new Team(t + 1, t == 0 ? 1 : -1);
            for (int b = 0; b < botsPerTeam; b++) team.members.add(new Robot(id++));
            info.teams.add(team);
        }
        String[] kinds = {"tick", "hitBall", "messageReceived", "hitRobot", "hitWall"};
        for (int e = 0; e < events; e++) info.actions.add(new Event(kinds[e % kinds.length]));
        return new Adapter(info, new Operate(info), new Debug());
    }

    static final class Adapter {
        private final Info info;
        private final Operate operate;
        private final Debug debug;

        Adapter(Info info, Operate operate, Debug debug) {
            this.info = info;
            this.operate = operate;
            this.debug = debug;
        }

        public Object getInfoConsole() { return info; }
        public Object getOperateConsole() { return operate; }
        public Object getDebugConsole() { return debug; }
    }

    static final class Info {
        long time;
        final List<Team> teams = new ArrayList<>();
        final List<Event> actions = new ArrayList<>();
        private final Court court = new Court();
        private final Ball ball = new Ball();

        public int getId() { return 0; }
        public long getTotalTimes() { return 1_000_000_000L; }
        public long getTime() { return time; }
        public Object getCourt() { return court; }
        public Object getBall() { return ball; }
        public List<Team> getTeams() { return teams; }
        public List<Event> getActions() { return actions; }
    }

    static final class Court {
        public double getWidth() { return 220; }
        public double getHeight() { return 180; }
        public double getGoalWidth() { return 40; }
        public double getGoalDepth() { return 15; }
        public double getCornerWidth() { return 10; }
        public double getCornerHeight() { return 8; }
    }

    static final class Ball {
        public double getX() { return 110; }
        public double getY() { return 90; }
        public double getHeading() { return 0.5; }
        public double getVelocity() { return 1.5; }
        public double getRadius() { return 2; }
        public double getNegativeAcceleration() { return 0.05; }
    }

    static final class Team {
        private final int id;
        private final int attack;
        private final String name;
        final List<Robot> members = new ArrayList<>();

        Team(int id, int attack) {
            this.id = id;
            this.attack = attack;
            this.name = "team " + id;
        }

        public int getId() { return id; }
        public int getAttack() { return attack; }
        public String getName() { return name; }
        public double getScore() { return 1; }
        public List<Robot> getMembers() { return members; }
    }

    static final class Robot {
        private final int id;
        private final String name;

        Robot(int id) {
            this.id = id;
            this.name = "robot " + id;
        }

        public int getId() { return id; }
        public String getName() { return name; }
        public double getX() { return 10 + id; }
        public double getY() { return 20 + id; }
        public double getHeading() { return 0.25; }
        public double getMoveVelocity() { return 3; }
        public double getTurnVelocity() { return 0.1; }
        public double getRadius() { return 5; }
        public double getMaxMoveVelocity() { return 10; }
        public double getMaxTurnVelocity() { return 1; }
    }

    static final class Event {
        private final String type;

        Event(String type) { this.type = type; }

        public String getType() { return type; }
        public int getSender() { return 3; }
        public String getMessage() { return "pass to me"; }
        public int getHited() { return 7; }
    }

    static final class Operate {
        private final Info info;
        double move;
        double turn;
        int messages;

        Operate(Info info) { this.info = info; }

        public void setMoveVelocity(double v) { move = v; }
        public void setTurnVelocity(double v) { turn = v; }
        public void sendMessage(int receiver, String text) { messages += receiver + text.length(); }
        public void execute() { info.time++; }
    }

    static final class Debug {
        int printed;
        int views;

        public void print(String text) { printed += text.length(); }
        public Object createLineView() { return new View(); }
        public Object createTextView() { return new View(); }
        public Object createEllipseView() { return new View(); }
        public Object createRectangleView() { return new View(); }
        public void addView(Object view) { views++; }
    }

    /** One class for every kind of view: each setter just stores its value. */
    static final class View {
        long showTime;
        int color;
        int size;
        String text;
        boolean fill;
        double a;
        double b;
        double c;
        double d;

        public void setShowTime(long v) { showTime = v; }
        public void setColor(int v) { color = v; }
        public void setSize(int v) { size = v; }
        public void setText(String v) { text = v; }
        public void setFill(boolean v) { fill = v; }
        public void setBeginX(double v) { a = v; }
        public void setBeginY(double v) { b = v; }
        public void setEndX(double v) { c = v; }
        public void setEndY(double v) { d = v; }
        public void setLocationX(double v) { a = v; }
        public void setLocationY(double v) { b = v; }
        public void setXRadius(double v) { c = v; }
        public void setYRadius(double v) { d = v; }
        public void setWidth(double v) { c = v; }
        public void setHeight(double v) { d = v; }
    }
}
