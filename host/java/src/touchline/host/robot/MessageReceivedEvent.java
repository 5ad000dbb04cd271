package touchline.host.robot;

/** A text another robot (or the robot itself) sent during the previous step. */
public final class MessageReceivedEvent extends Event {
    private final int sender;
    private final String message;

    public MessageReceivedEvent(int sender, String message) {
        super(MESSAGE_RECEIVED);
        this.sender = sender;
        this.message = message;
    }

    /** Id of the sending robot. */
    public int getSender() {
        return sender;
    }

    public String getMessage() {
        return message;
    }

    @Override
    public String toString() {
        return getType() + "(" + sender + ", \"" + message + "\")";
    }
}
