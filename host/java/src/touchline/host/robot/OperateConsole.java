package touchline.host.robot;

import java.util.ArrayList;
import java.util.List;

/**
 * Takes one robot's commands for the step and ends its step. Velocities stay until changed;
 * messages are sent with the step's "execute". A step sends at most MAX_MESSAGES messages of
 * at most MAX_MESSAGE_CHARS characters: more are dropped, a longer text is cut.
 */
public final class OperateConsole {
    public static final int MAX_MESSAGES = 64;
    public static final int MAX_MESSAGE_CHARS = 4096;

    private final RobotLink link;
    private double move;
    private double turn;
    private List<Message> outbox = new ArrayList<>();

    public OperateConsole(RobotLink link) {
        this.link = link;
    }

    /** Court units per step along the heading; negative drives backwards. Stays until changed. */
    public synchronized void setMoveVelocity(double velocity) {
        move = velocity;
    }

    /** Radians per step; positive turns from +x towards +y. Stays until changed. */
    public synchronized void setTurnVelocity(double velocity) {
        turn = velocity;
    }

    /** The receiver gets the text as a "messageReceived" event of the next step. */
    public synchronized void sendMessage(int receiverId, String message) {
        if (outbox.size() >= MAX_MESSAGES) return;
        String text = message == null ? "" : message;
        if (text.length() > MAX_MESSAGE_CHARS) text = text.substring(0, MAX_MESSAGE_CHARS);
        outbox.add(new Message(receiverId, text));
    }

    /**
     * Ends this robot's step: returns once the match has advanced a step.
     *
     * @throws MatchOverException when the match has ended
     * @throws RobotStoppedException when this robot no longer plays
     */
    public void execute() {
        double m;
        double t;
        List<Message> sent;
        synchronized (this) {
            m = move;
            t = turn;
            sent = outbox;
            outbox = new ArrayList<>();
        }
        link.execute(m, t, sent);
    }
}
