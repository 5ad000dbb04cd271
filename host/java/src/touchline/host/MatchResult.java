package touchline.host;

import java.util.List;

/** The end of a match: the time reached and every robot's outcome, home team first. */
public record MatchResult(long time, List<RobotOutcome> robots) {
    public RobotOutcome robot(int id) {
        for (RobotOutcome robot : robots) {
            if (robot.id() == id) return robot;
        }
        throw new IllegalArgumentException("no robot " + id);
    }

    /** True when no robot's thread is left running. */
    public boolean allThreadsEnded() {
        return robots.stream().allMatch(RobotOutcome::threadEnded);
    }
}
