package touchline.host.match;

import java.util.ArrayList;
import java.util.List;
import touchline.host.protocol.RobotArea;
import touchline.host.robot.DebugConsole;
import touchline.host.robot.Message;

/**
 * A robot's seat in a match: what plays it, how it is reached (its process, its channel and its
 * area), where it is in the exchange of steps and orders, its orders for the next step, what it
 * printed and drew, and how it ended. Only the match's thread reads and writes a seat.
 */
final class Seat {
    /** What arrived from a robot and is written after the step it looked at. */
    record Output(long time, DebugConsole.Output output) {}


    final int id;
    final int index;
    final int teamId;
    final Match.Player player;
    RobotProcess process;
    RobotChannel channel;
    /** The number of the last step sent, and of the last whose orders were taken. */
    int stepNumber;
    int taken;
    /** The time of the last step sent, and when it was sent (System.nanoTime). */
    long stepTime;
    long stepSentAt;
    /** Steps sent, and the thinking time charged for them, in nanoseconds. */
    long stepsSent;
    long thinking;
    /** When the robot said it answered last (its clock): the pacer's hint. */
    long answeredAt;
    /** When its channel ended (System.nanoTime, 0: open), and the last step sent then. */
    long channelEnded;
    int stepAtChannelEnd;
    boolean loaded;
    boolean playing;
    boolean arrived;
    boolean waiting;
    boolean released;
    double move;
    double turn;
    List<Message> outbox = List.of();
    final List<Output> outputs = new ArrayList<>(2);
    RobotOutcome.Ending ending;
    String reason = "";
    int missed;
    int missedInRow;
    long droppedPrints;
    long droppedViews;

    Seat(int id, int teamId, Match.Player player) {
        this.id = id;
        this.index = id - 1;
        this.teamId = teamId;
        this.player = player;
    }

    RobotArea area() {
        return channel.area;
    }
}
