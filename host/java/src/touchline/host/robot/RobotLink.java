package touchline.host.robot;

import java.util.List;

/**
 * What ties one robot's consoles to the match: the step the robot looks at, and "execute",
 * which hands over the robot's orders and waits for the next step.
 */
public interface RobotLink {
    /** The last step published to this robot. */
    Snapshot snapshot();

    /**
     * Ends the robot's step with its velocities and the messages it sent; returns once the
     * match has published the next step.
     *
     * @throws MatchOverException when the match has ended
     * @throws RobotStoppedException when this robot no longer plays
     */
    void execute(double move, double turn, List<Message> messages);
}
