package touchline.host;

/** Takes one robot's commands for the step and ends its step. */
public final class OperateConsole {
    private final int id;
    private final Lockstep lockstep;

    OperateConsole(int id, Lockstep lockstep) {
        this.id = id;
        this.lockstep = lockstep;
    }

    /** Court units per step along the heading; negative drives backwards. Stays until changed. */
    public void setMoveVelocity(double velocity) {
        lockstep.setMove(id, velocity);
    }

    /** Radians per step; positive turns from +x towards +y. Stays until changed. */
    public void setTurnVelocity(double velocity) {
        lockstep.setTurn(id, velocity);
    }

    /** The receiver gets the text as a "messageReceived" event of the next step. */
    public void sendMessage(int receiverId, String message) {
        lockstep.send(id, receiverId, message == null ? "" : message);
    }

    /**
     * Ends this robot's step: returns once the match has advanced a step.
     *
     * @throws MatchOverException when the match has ended
     * @throws RobotStoppedException when this robot no longer plays
     */
    public void execute() {
        lockstep.execute(id);
    }
}
