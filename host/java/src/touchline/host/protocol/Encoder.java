package touchline.host.protocol;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.channels.WritableByteChannel;

/**
 * Builds messages into one reusable buffer: each message is its length (4 bytes, big-endian, not
 * counting itself), its type (1 byte) and its fields. Strings are a length and UTF-16 code
 * units, so any Java string crosses unchanged.
 */
public final class Encoder {
    private ByteBuffer buffer = ByteBuffer.allocateDirect(1 << 12);
    private int messageStart = -1;

    /** Starts a message of this type; the buffer may already hold earlier messages. */
    public Encoder begin(byte type) {
        ensure(5);
        messageStart = buffer.position();
        buffer.putInt(0).put(type);
        return this;
    }

    /** Ends the message begun last: its length is filled in. */
    public Encoder end() {
        buffer.putInt(messageStart, buffer.position() - messageStart - 4);
        messageStart = -1;
        return this;
    }

    public Encoder putByte(int value) {
        ensure(1);
        buffer.put((byte) value);
        return this;
    }

    public Encoder putInt(int value) {
        ensure(4);
        buffer.putInt(value);
        return this;
    }

    public Encoder putLong(long value) {
        ensure(8);
        buffer.putLong(value);
        return this;
    }

    public Encoder putDouble(double value) {
        ensure(8);
        buffer.putDouble(value);
        return this;
    }

    public Encoder putString(String value) {
        int length = value.length();
        ensure(4 + 2 * length);
        buffer.putInt(length);
        for (int i = 0; i < length; i++) buffer.putChar(value.charAt(i));
        return this;
    }

    /** Appends bytes taken from another encoder (a part shared by several messages). */
    public Encoder putBytes(ByteBuffer bytes) {
        ensure(bytes.remaining());
        buffer.put(bytes.duplicate());
        return this;
    }

    /** The bytes written since the last clear, ready to be read. */
    public ByteBuffer written() {
        ByteBuffer view = buffer.duplicate();
        view.flip();
        return view;
    }

    public Encoder clear() {
        buffer.clear();
        messageStart = -1;
        return this;
    }

    /** Writes everything built so far to a blocking channel, then clears. */
    public void writeTo(WritableByteChannel channel) throws IOException {
        buffer.flip();
        while (buffer.hasRemaining()) channel.write(buffer);
        buffer.clear();
    }

    private void ensure(int bytes) {
        if (buffer.remaining() >= bytes) return;
        int needed = buffer.position() + bytes;
        if (needed > 2L * Wire.MAX_MESSAGE) {
            throw new IllegalStateException("message too large");
        }
        ByteBuffer larger = ByteBuffer.allocateDirect(Math.max(needed, buffer.capacity() * 2));
        buffer.flip();
        larger.put(buffer);
        buffer = larger;
    }
}
