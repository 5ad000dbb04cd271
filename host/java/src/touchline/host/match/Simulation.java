package touchline.host.match;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import touchline.host.physics.BallBody;
import touchline.host.physics.Occurrence;
import touchline.host.physics.RobotBody;
import touchline.host.physics.Settings;
import touchline.host.physics.StepReport;
import touchline.host.physics.World;
import touchline.host.robot.Ball;
import touchline.host.robot.Court;
import touchline.host.robot.Event;
import touchline.host.robot.HitRobotEvent;
import touchline.host.robot.HostList;
import touchline.host.robot.MessageReceivedEvent;
import touchline.host.robot.Robot;
import touchline.host.robot.Team;

/**
 * The world of a match as the host objects show it: the physics engine's world
 * (touchline.host.physics), robot ids and names, team names and scores, the mail between robots,
 * and the events of each step. The same seed and the same commands give the same match.
 */
public final class Simulation {
    public static final int HOME_TEAM_ID = 0;
    public static final int AWAY_TEAM_ID = 1;

    private record Letter(int sender, int receiver, String text) {}

    private final Settings settings;
    private final World world;
    private final long totalTimes;
    private final Court court;
    private final String[] teamNames;
    private final List<String> robotNames = new ArrayList<>();
    private final List<Letter> mail = new ArrayList<>();
    private final int homeRobots;
    /** By robot index: messages it sent that were not delivered. */
    private final int[] undelivered;

    /** A match with the default settings. */
    public Simulation(long totalTimes, long seed, String homeName, List<String> homeRobots,
            String awayName, List<String> awayRobots) {
        this(new Settings(), totalTimes, seed, homeName, homeRobots, awayName, awayRobots);
    }

    /**
     * Robots get the ids 1, 2, ... in order, home team first. The home team (id 0) attacks the
     * goal at x = width, the away team (id 1) the goal at x = 0.
     */
    public Simulation(Settings settings, long totalTimes, long seed, String homeName,
            List<String> homeRobots, String awayName, List<String> awayRobots) {
        if (totalTimes < 1) throw new IllegalArgumentException("a match lasts at least one step");
        this.totalTimes = totalTimes;
        world = new World(settings, homeRobots.size(), awayRobots.size(), seed);
        Settings s = world.settings();
        this.settings = s;
        court = new Court(s.width(), s.height(), s.goalWidth(), s.goalDepth(), s.cornerWidth(),
                s.cornerHeight());
        teamNames = new String[] {homeName, awayName};
        robotNames.addAll(homeRobots);
        robotNames.addAll(awayRobots);
        this.homeRobots = homeRobots.size();
        undelivered = new int[robotNames.size()];
    }

    public Court court() {
        return court;
    }

    /** Steps played so far. */
    public long time() {
        return world.steps();
    }

    public long totalTimes() {
        return totalTimes;
    }

    public boolean isOver() {
        return time() >= totalTimes;
    }

    /** Robot ids, home team first. */
    public List<Integer> robotIds() {
        List<Integer> ids = new ArrayList<>(robotNames.size());
        for (int i = 0; i < robotNames.size(); i++) ids.add(idOf(i));
        return List.copyOf(ids);
    }

    /** The engine's world, for its statistics; read it on the match's thread only. */
    public World world() {
        return world;
    }

    /** The engine's body of the robot with this id. */
    public RobotBody body(int id) {
        return world.robot(id - 1);
    }

    static int idOf(int index) {
        return index + 1;
    }

    static int teamIdOf(int team) {
        return team == 0 ? HOME_TEAM_ID : AWAY_TEAM_ID;
    }

    public String robotName(int id) {
        return robotNames.get(id - 1);
    }

    public String teamName(int teamId) {
        return teamNames[teamId == HOME_TEAM_ID ? 0 : 1];
    }

    /** The velocities the robot drives with from the next step on; kept until changed. */
    public void command(int robot, double move, double turn) {
        if (robot < 1 || robot > robotNames.size()) return;
        world.command(robot - 1, move, turn);
    }

    /**
     * Starts the match from a placement instead of the kick-off places: call it before the
     * first step. A robot id the match does not have is refused.
     */
    public void place(Placement placement) {
        if (time() != 0) throw new IllegalStateException("a match is placed before it starts");
        for (Placement.Robot robot : placement.robots()) {
            if (robot.id() < 1 || robot.id() > robotNames.size()) {
                throw new IllegalArgumentException("no robot " + robot.id());
            }
            world.placeRobot(robot.id() - 1, robot.x(), robot.y(), robot.heading());
        }
        world.rollBall(placement.ballX(), placement.ballY(), placement.ballHeading(),
                placement.ballSpeed());
    }

    /**
     * A text for the receiver's next step. Messages go between teammates only: one for a robot
     * of the other team, or for an id no robot has, is not delivered, and counted.
     */
    public void message(int sender, int receiver, String text) {
        if (sender < 1 || sender > robotNames.size()) return;
        boolean exists = receiver >= 1 && receiver <= robotNames.size();
        if (exists && isHome(sender) == isHome(receiver)) {
            mail.add(new Letter(sender, receiver, text));
        } else {
            undelivered[sender - 1]++;
        }
    }

    private boolean isHome(int id) {
        return id <= homeRobots;
    }

    /** Messages the robot sent that were not delivered: to the other team or to no robot. */
    public int undelivered(int id) {
        return undelivered[id - 1];
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

    /** Plays one step; returns every robot's events of it, in robot order. */
    public Map<Integer, List<Event>> step() {
        if (isOver()) throw new IllegalStateException("the match is over");
        Map<Integer, List<Event>> events = emptyEvents();
        for (List<Event> list : events.values()) list.add(new Event(Event.TICK));
        deliverMail(events);
        StepReport report = world.step();
        for (int i = 0; i < robotNames.size(); i++) {
            List<Event> list = events.get(idOf(i));
            for (Occurrence occurrence : report.of(i)) list.add(event(occurrence));
        }
        if (isOver()) {
            for (List<Event> list : events.values()) {
                if (!report.roundFinished()) list.add(new Event(Event.ROUND_FINISH));
                list.add(new Event(Event.MATCH_FINISH));
            }
        }
        return events;
    }

    private static Event event(Occurrence occurrence) {
        return switch (occurrence.kind()) {
            case HIT_BALL -> new Event(Event.HIT_BALL);
            case HIT_ROBOT -> new HitRobotEvent(idOf(occurrence.other()));
            case HIT_WALL -> new Event(Event.HIT_WALL);
            case ROUND_FINISH -> new Event(Event.ROUND_FINISH);
            case ROUND_BEGIN -> new Event(Event.ROUND_BEGIN);
        };
    }

    public Ball ball() {
        BallBody ball = world.ball();
        return new Ball(settings.ballRadius(), settings.ballNegativeAcceleration(), ball.x(),
                ball.y(), ball.heading(), ball.velocity());
    }

    /** Both teams as they are now, home team first. */
    public HostList<Team> teams() {
        List<Robot> home = new ArrayList<>();
        List<Robot> away = new ArrayList<>();
        for (RobotBody body : world.robots()) {
            int id = idOf(body.index());
            Robot robot = new Robot(id, robotName(id), settings.robotRadius(),
                    settings.maxMoveVelocity(), settings.maxTurnVelocity(), body.x(), body.y(),
                    body.heading(), body.moveVelocity(), body.turnVelocity());
            (body.team() == 0 ? home : away).add(robot);
        }
        return HostList.of(team(0, home), team(1, away));
    }

    private Team team(int team, List<Robot> members) {
        return new Team(teamIdOf(team), World.attackOf(team), teamNames[team], world.score(team),
                HostList.copyOf(members));
    }

    private Map<Integer, List<Event>> emptyEvents() {
        Map<Integer, List<Event>> events = new LinkedHashMap<>();
        for (int i = 0; i < robotNames.size(); i++) events.put(idOf(i), new ArrayList<>());
        return events;
    }

    private void deliverMail(Map<Integer, List<Event>> events) {
        for (Letter m : mail) {
            events.get(m.receiver()).add(new MessageReceivedEvent(m.sender(), m.text()));
        }
        mail.clear();
    }
}
