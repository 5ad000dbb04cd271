package touchline.host.match;

import java.util.List;

/**
 * The end of a match: the time reached, every robot's outcome (home team first), and whether
 * the match was interrupted before its last step.
 */
public record MatchResult(long time, List<RobotOutcome> robots, boolean interrupted) {
    public RobotOutcome robot(int id) {
        for (RobotOutcome robot : robots) {
            if (robot.id() == id) return robot;
        }
        throw new IllegalArgumentException("no robot " + id);
    }
}
