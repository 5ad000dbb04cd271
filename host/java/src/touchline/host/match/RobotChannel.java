package touchline.host.match;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.channels.ReadableByteChannel;
import java.nio.channels.WritableByteChannel;
import java.util.concurrent.ConcurrentLinkedQueue;
import touchline.host.protocol.Inbox;
import touchline.host.protocol.MatchWaiter;
import touchline.host.protocol.RobotArea;
import touchline.host.protocol.Wire;

/**
 * One robot as the match reaches it: its area (steps and orders) and its control channel
 * (loading, the start, its ending), which a thread of its own reads so that the match's thread
 * never blocks on a robot. What arrives is copied, queued and the match woken. A robot says
 * little on its channel (whether it loaded, how it ended): one that says more, or sends a
 * message over the limit, has broken it, and is read no further.
 */
final class RobotChannel {
    /** The most messages a robot has reason to send on its channel. */
    private static final int MAX_MESSAGES = 4;

    final RobotArea area;
    private final WritableByteChannel out;
    private final ConcurrentLinkedQueue<ByteBuffer> inbox = new ConcurrentLinkedQueue<>();
    private volatile String closed;

    private RobotChannel(RobotArea area, WritableByteChannel out) {
        this.area = area;
        this.out = out;
    }

    /** Starts reading in (a daemon thread named name) and posting to waiter. */
    static RobotChannel open(String name, RobotArea area, ReadableByteChannel in,
            WritableByteChannel out, MatchWaiter waiter) {
        RobotChannel channel = new RobotChannel(area, out);
        Thread reader = new Thread(() -> channel.read(in, waiter), name);
        reader.setDaemon(true);
        reader.start();
        return channel;
    }

    private void read(ReadableByteChannel in, MatchWaiter waiter) {
        Inbox messages = new Inbox(Wire.MAX_CONTROL_BYTES);
        String why = "";
        try (in) {
            for (int count = 0;; count++) {
                ByteBuffer message = messages.receive(in);
                if (message == null) break;
                if (count == MAX_MESSAGES) {
                    why = "more than " + MAX_MESSAGES + " messages on its channel";
                    break;
                }
                ByteBuffer copy = ByteBuffer.allocate(message.remaining()).put(message).flip();
                inbox.add(copy);
                waiter.post();
            }
        } catch (IOException e) {
            why = e.getMessage() == null ? "a broken channel" : e.getMessage();
        } catch (OutOfMemoryError e) {
            why = "a message the match has no room for";
        }
        closed = why;
        waiter.post();
    }

    /** The next message from the robot, or null. */
    ByteBuffer poll() {
        return inbox.poll();
    }

    /**
     * Null while the channel is open; once it has ended and every message before its end has
     * been taken: "" when it ended, else how the robot broke it.
     */
    String closed() {
        String why = closed;
        return why != null && inbox.isEmpty() ? why : null;
    }

    /** Sends a message to the robot (blocking: it is small, and the robot reads it). */
    void send(ByteBuffer message) throws IOException {
        while (message.hasRemaining()) out.write(message);
    }

    void close() {
        try {
            out.close();
        } catch (IOException e) {
            // Closing is all that was asked.
        }
    }
}
