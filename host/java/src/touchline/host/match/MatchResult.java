package touchline.host.match;

import java.util.List;

/**
 * The end of a match: the time reached, every robot's outcome (home team first), whether the
 * match was interrupted before its last step, and, when its robot processes were not sealed in
 * sandboxes of their own, why (null when they were, or when no robot played in a process).
 */
public record MatchResult(long time, List<RobotOutcome> robots, boolean interrupted,
        String unsandboxed) {
    public RobotOutcome robot(int id) {
        for (RobotOutcome robot : robots) {
            if (robot.id() == id) return robot;
        }
        throw new IllegalArgumentException("no robot " + id);
    }
}
