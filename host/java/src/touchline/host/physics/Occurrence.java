package touchline.host.physics;

/**
 * Something that happened to one robot during a step. other is the other robot's index for
 * HIT_ROBOT, -1 otherwise.
 */
public record Occurrence(Kind kind, int other) {
    public enum Kind { HIT_BALL, HIT_ROBOT, HIT_WALL, ROUND_FINISH, ROUND_BEGIN }

    public static Occurrence of(Kind kind) {
        return new Occurrence(kind, -1);
    }
}
