package touchline.host.protocol;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.channels.ReadableByteChannel;

/**
 * Receives messages from a channel: bytes are read as they come and cut into whole messages,
 * from a blocking channel (receive) or a non-blocking one (fill, then poll until null). A
 * message announcing more than the inbox's limit breaks the channel before anything is
 * allocated for it; the buffer grows only as far as the bytes that have really arrived, and
 * shrinks back once it is empty.
 */
public final class Inbox {
    private static final int SMALL = 1 << 14;
    private final int limit;
    private ByteBuffer buffer = ByteBuffer.allocate(SMALL);
    /** Bytes [read, buffer.position()) are received and not yet taken. */
    private int read;

    /** Takes messages of at most limit bytes (their length word not counted). */
    public Inbox(int limit) {
        this.limit = limit;
    }

    /** Reads what the channel has; false at its end. */
    public boolean fill(ReadableByteChannel channel) throws IOException {
        if (read == buffer.position()) {
            if (buffer.capacity() > SMALL) buffer = ByteBuffer.allocate(SMALL);
            buffer.clear();
            read = 0;
        } else if (!buffer.hasRemaining()) {
            if (read > 0) {
                compact();
            } else {
                resize(Math.min(buffer.capacity() * 2, limit + 4));
            }
        }
        return channel.read(buffer) >= 0;
    }

    /**
     * The next whole message, positioned at its type byte and limited to its end, or null when
     * more bytes are needed. The message is valid until the next call of poll or fill.
     */
    public ByteBuffer poll() throws IOException {
        int available = buffer.position() - read;
        if (available < 4) return null;
        int length = buffer.getInt(read);
        if (length < 1 || length > limit) {
            throw new IOException("a message of " + length + " bytes (at most " + limit + ")");
        }
        if (available < 4 + length) {
            if (buffer.capacity() - read < 4 + length && read > 0) compact();
            return null;
        }
        ByteBuffer message = buffer.slice(read + 4, length);
        read += 4 + length;
        return message;
    }

    /** Blocks until a whole message has arrived; null when the channel ended first. */
    public ByteBuffer receive(ReadableByteChannel channel) throws IOException {
        for (;;) {
            ByteBuffer message = poll();
            if (message != null) return message;
            if (!fill(channel)) return null;
        }
    }

    private void compact() {
        buffer.limit(buffer.position()).position(read);
        buffer.compact();
        read = 0;
    }

    private void resize(int capacity) {
        ByteBuffer other = ByteBuffer.allocate(capacity);
        buffer.limit(buffer.position()).position(read);
        other.put(buffer);
        buffer = other;
        read = 0;
    }
}
