package touchline.host.robot;

/** A text for another robot, delivered as a "messageReceived" event of the next step. */
public record Message(int receiver, String text) {}
