package touchline.host.robot;

/** Thrown by "execute" for a robot the host no longer waits for: it ends the strategy's run. */
public final class RobotStoppedException extends RuntimeException {
    private static final long serialVersionUID = 1L;

    public RobotStoppedException(int robotId) {
        super("robot " + robotId + " has been stopped");
    }
}
