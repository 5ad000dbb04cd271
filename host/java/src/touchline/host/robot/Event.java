package touchline.host.robot;

/** One event of a step, as a robot's info console lists it. The type names are the host's. */
public class Event {
    public static final String MATCH_BEGIN = "matchBegin";
    public static final String ROUND_BEGIN = "roundBegin";
    public static final String MATCH_FINISH = "matchFinish";
    public static final String ROUND_FINISH = "roundFinish";
    public static final String TICK = "tick";
    public static final String MESSAGE_RECEIVED = "messageReceived";
    public static final String HIT_ROBOT = "hitRobot";
    public static final String HIT_WALL = "hitWall";
    public static final String HIT_BALL = "hitBall";

    private final String type;

    /** Any type name is accepted, so a test host can send one a strategy does not know. */
    public Event(String type) {
        this.type = type;
    }

    public String getType() {
        return type;
    }

    @Override
    public String toString() {
        return type;
    }
}
