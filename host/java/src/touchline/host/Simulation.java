package touchline.host;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Random;

/**
 * The world of a match: court, ball, two teams of robots, advanced one step at a time from the
 * robots' velocities and messages. The same seed and the same commands give the same match.
 * Robots drive along their heading and turn; the ball rolls, slows down and bounces off the
 * walls; a robot that touches the ball pushes it away.
 */
public final class Simulation {
    public static final double COURT_WIDTH = 800;
    public static final double COURT_HEIGHT = 500;
    public static final double GOAL_WIDTH = 140;
    public static final double GOAL_DEPTH = 30;
    public static final double CORNER_WIDTH = 40;
    public static final double CORNER_HEIGHT = 40;
    public static final double BALL_RADIUS = 8;
    public static final double BALL_DECELERATION = 0.05;
    public static final double ROBOT_RADIUS = 15;
    public static final double MAX_MOVE_VELOCITY = 5;
    public static final double MAX_TURN_VELOCITY = 0.25;
    /** Speed a touched ball gets on top of the pushing robot's. */
    static final double KICK_BOOST = 2;
    static final int HOME_TEAM_ID = 1;
    static final int AWAY_TEAM_ID = 2;
    private static final double TWO_PI = 2 * Math.PI;

    private record Letter(int sender, int receiver, String text) {}

    private static final class Body {
        final int id;
        final String name;
        double x;
        double y;
        double heading;
        double move;
        double turn;
        double orderedMove;
        double orderedTurn;

        Body(int id, String name, double x, double y, double heading) {
            this.id = id;
            this.name = name;
            this.x = x;
            this.y = y;
            this.heading = heading;
        }
    }

    private final long totalTimes;
    private final Court court = new Court(COURT_WIDTH, COURT_HEIGHT, GOAL_WIDTH, GOAL_DEPTH,
            CORNER_WIDTH, CORNER_HEIGHT);
    private final List<Body> home = new ArrayList<>();
    private final List<Body> away = new ArrayList<>();
    private final Map<Integer, Body> robots = new LinkedHashMap<>();
    private final String homeName;
    private final String awayName;
    private final List<Letter> mail = new ArrayList<>();
    private double ballX = COURT_WIDTH / 2;
    private double ballY = COURT_HEIGHT / 2;
    private double ballHeading;
    private double ballVelocity;
    private long time;

    /**
     * Robots get the ids 1, 2, ... in order, home team first. The home team attacks the goal at
     * x = width; the seed sets the ball's first roll.
     */
    public Simulation(long totalTimes, long seed, String homeName, List<String> homeRobots,
            String awayName, List<String> awayRobots) {
        if (totalTimes < 1) throw new IllegalArgumentException("a match lasts at least one step");
        this.totalTimes = totalTimes;
        this.homeName = homeName;
        this.awayName = awayName;
        place(home, homeRobots, COURT_WIDTH * 0.25, 0);
        place(away, awayRobots, COURT_WIDTH * 0.75, Math.PI);
        Random random = new Random(seed);
        ballHeading = random.nextDouble() * TWO_PI;
        ballVelocity = 2 + random.nextDouble() * 2;
    }

    private void place(List<Body> team, List<String> names, double x, double heading) {
        for (int i = 0; i < names.size(); i++) {
            int id = robots.size() + 1;
            double y = COURT_HEIGHT * (i + 1) / (names.size() + 1);
            Body body = new Body(id, names.get(i), x, y, heading);
            team.add(body);
            robots.put(id, body);
        }
    }

    public Court court() {
        return court;
    }

    public long time() {
        return time;
    }

    public long totalTimes() {
        return totalTimes;
    }

    public boolean isOver() {
        return time >= totalTimes;
    }

    /** Robot ids, home team first. */
    public List<Integer> robotIds() {
        return List.copyOf(robots.keySet());
    }

    /** The velocities the robot drives with from the next step on; kept until changed. */
    public void command(int robot, double move, double turn) {
        Body body = robots.get(robot);
        if (body == null) return;
        // A NaN would spread through the robot's position for the rest of the match.
        body.orderedMove = Double.isNaN(move) ? 0 : move;
        body.orderedTurn = Double.isNaN(turn) ? 0 : turn;
    }

    /** A text for the receiver's next step; one for no robot is dropped. */
    public void message(int sender, int receiver, String text) {
        if (robots.containsKey(receiver)) mail.add(new Letter(sender, receiver, text));
    }

    /** Every robot's events at kick-off, before the first step. */
    public Map<Integer, List<Event>> begin() {
        Map<Integer, List<Event>> events = emptyEvents();
        for (List<Event> list : events.values()) {
            list.add(new Event(Event.MATCH_BEGIN));
            list.add(new Event(Event.ROUND_BEGIN));
        }
        return events;
    }

    /** Plays one step; returns every robot's events of it. */
    public Map<Integer, List<Event>> step() {
        if (isOver()) throw new IllegalStateException("the match is over");
        Map<Integer, List<Event>> events = emptyEvents();
        for (List<Event> list : events.values()) list.add(new Event(Event.TICK));
        deliverMail(events);
        for (Body body : robots.values()) drive(body, events.get(body.id));
        rollBall();
        for (Body body : robots.values()) touchBall(body, events.get(body.id));
        touchRobots(events);
        time++;
        if (isOver()) {
            for (List<Event> list : events.values()) {
                list.add(new Event(Event.ROUND_FINISH));
                list.add(new Event(Event.MATCH_FINISH));
            }
        }
        return events;
    }

    public Ball ball() {
        return new Ball(BALL_RADIUS, BALL_DECELERATION, ballX, ballY, ballHeading, ballVelocity);
    }

    /** Both teams as they are now, home team first. */
    public HostList<Team> teams() {
        return HostList.of(team(HOME_TEAM_ID, 1, homeName, home),
                team(AWAY_TEAM_ID, -1, awayName, away));
    }

    private static Team team(int id, int attack, String name, List<Body> bodies) {
        List<Robot> members = new ArrayList<>(bodies.size());
        for (Body b : bodies) {
            members.add(new Robot(b.id, b.name, ROBOT_RADIUS, MAX_MOVE_VELOCITY,
                    MAX_TURN_VELOCITY, b.x, b.y, b.heading, b.move, b.turn));
        }
        return new Team(id, attack, name, 0, HostList.copyOf(members));
    }

    private Map<Integer, List<Event>> emptyEvents() {
        Map<Integer, List<Event>> events = new LinkedHashMap<>();
        for (int id : robots.keySet()) events.put(id, new ArrayList<>());
        return events;
    }

    private void deliverMail(Map<Integer, List<Event>> events) {
        for (Letter m : mail) {
            events.get(m.receiver()).add(new MessageReceivedEvent(m.sender(), m.text()));
        }
        mail.clear();
    }

    private void drive(Body body, List<Event> events) {
        body.move = clamp(body.orderedMove, MAX_MOVE_VELOCITY);
        body.turn = clamp(body.orderedTurn, MAX_TURN_VELOCITY);
        body.heading = normalize(body.heading + body.turn);
        double x = body.x + body.move * Math.cos(body.heading);
        double y = body.y + body.move * Math.sin(body.heading);
        body.x = Math.min(Math.max(x, ROBOT_RADIUS), COURT_WIDTH - ROBOT_RADIUS);
        body.y = Math.min(Math.max(y, ROBOT_RADIUS), COURT_HEIGHT - ROBOT_RADIUS);
        if (body.x != x || body.y != y) events.add(new Event(Event.HIT_WALL));
    }

    private void rollBall() {
        if (ballVelocity <= 0) return;
        ballX += ballVelocity * Math.cos(ballHeading);
        ballY += ballVelocity * Math.sin(ballHeading);
        if (ballX < BALL_RADIUS || ballX > COURT_WIDTH - BALL_RADIUS) {
            ballX = Math.min(Math.max(ballX, BALL_RADIUS), COURT_WIDTH - BALL_RADIUS);
            ballHeading = normalize(Math.PI - ballHeading);
        }
        if (ballY < BALL_RADIUS || ballY > COURT_HEIGHT - BALL_RADIUS) {
            ballY = Math.min(Math.max(ballY, BALL_RADIUS), COURT_HEIGHT - BALL_RADIUS);
            ballHeading = normalize(-ballHeading);
        }
        ballVelocity = Math.max(0, ballVelocity - BALL_DECELERATION);
    }

    private void touchBall(Body body, List<Event> events) {
        double dx = ballX - body.x;
        double dy = ballY - body.y;
        double reach = ROBOT_RADIUS + BALL_RADIUS;
        double d = Math.hypot(dx, dy);
        if (d >= reach) return;
        double direction = d > 0 ? Math.atan2(dy, dx) : body.heading;
        ballX = Math.min(Math.max(body.x + reach * Math.cos(direction), BALL_RADIUS),
                COURT_WIDTH - BALL_RADIUS);
        ballY = Math.min(Math.max(body.y + reach * Math.sin(direction), BALL_RADIUS),
                COURT_HEIGHT - BALL_RADIUS);
        ballHeading = normalize(direction);
        ballVelocity = Math.max(ballVelocity, Math.abs(body.move) + KICK_BOOST);
        events.add(new Event(Event.HIT_BALL));
    }

    /** Robots that overlap are told so and pushed apart, half the overlap each. */
    private void touchRobots(Map<Integer, List<Event>> events) {
        List<Body> bodies = new ArrayList<>(robots.values());
        for (int i = 0; i < bodies.size(); i++) {
            for (int j = i + 1; j < bodies.size(); j++) {
                Body a = bodies.get(i);
                Body b = bodies.get(j);
                double dx = b.x - a.x;
                double dy = b.y - a.y;
                double d = Math.hypot(dx, dy);
                if (d >= 2 * ROBOT_RADIUS) continue;
                double direction = d > 0 ? Math.atan2(dy, dx) : 0;
                double push = (2 * ROBOT_RADIUS - d) / 2;
                a.x -= push * Math.cos(direction);
                a.y -= push * Math.sin(direction);
                b.x += push * Math.cos(direction);
                b.y += push * Math.sin(direction);
                events.get(a.id).add(new HitRobotEvent(b.id));
                events.get(b.id).add(new HitRobotEvent(a.id));
            }
        }
        for (Body body : bodies) {
            body.x = Math.min(Math.max(body.x, ROBOT_RADIUS), COURT_WIDTH - ROBOT_RADIUS);
            body.y = Math.min(Math.max(body.y, ROBOT_RADIUS), COURT_HEIGHT - ROBOT_RADIUS);
        }
    }

    private static double clamp(double value, double limit) {
        return Math.min(Math.max(value, -limit), limit);
    }

    /** Into [0, 2 pi). */
    private static double normalize(double angle) {
        double a = angle % TWO_PI;
        if (a < 0) a += TWO_PI;
        return a >= TWO_PI ? 0 : a;
    }
}
