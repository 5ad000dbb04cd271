package touchline.host.protocol;

import java.io.IOException;
import java.lang.invoke.MethodHandles;
import java.lang.invoke.VarHandle;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.MappedByteBuffer;
import java.nio.channels.FileChannel;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;

/**
 * The steps and orders of a match's robot processes, through a file every process maps: no
 * system call per message, and one wake-up per robot and step plus one for the match.
 *
 * <p>The file starts with the words: at 0 the count of robots the match still waits for; at 64 the
 * round, which the match counts up once it has written every robot's step, and on which the
 * waiting robots sleep (one system call wakes them all); at 128 how long a robot may poll for its
 * next step before it sleeps, at 132 how few robots still playing let a robot that has answered
 * poll, at 136 the count of robots still playing at which the match is woken; per robot (its index
 * is its id less one) a 64-byte line at 64 * (index + 3) holding the number of the step sent to it
 * (shifted left by two; the low two bits, once set, say that no step follows and why: 1 + the END
 * code, so an end never hides a step not yet seen) and the number of the step it last answered.
 * Then per robot two areas of {@link #AREA} bytes: the step it may see and its orders, each a
 * whole message as on the socket (length, type, fields). The match writes a robot's step, then its
 * step number, then counts the round up and wakes the robots; the robot writes its orders, then
 * the number, and takes one from the count: the one that brings it to zero (or to the count at
 * 136) wakes the match. The count only saves wake-ups: the match learns who answered from the step
 * numbers, and checks the robots' sockets (endings, deaths) when it wakes without every answer.
 */
public final class SharedExchange {
    /** Room for one message of either direction. */
    public static final int AREA = Wire.MAX_MESSAGE + 4096;

    private static final VarHandle INT =
            MethodHandles.byteBufferViewVarHandle(int[].class, ByteOrder.nativeOrder());
    private static final int PENDING = 0;
    private static final int ROUND = 64;
    /** Nanoseconds a robot may poll for its next step before it sleeps (set by the match). */
    private static final int SPIN = 128;
    /** A robot polls only when its answer leaves at most this many robots waited for. */
    private static final int POLL_AT = SPIN + 4;
    /** The robot whose answer leaves this many robots waited for wakes the match. */
    private static final int WAKE_AT = SPIN + 8;
    private static final int LINE = 64;
    private static final long WAIT_SLICE_NANOS = 1_000_000_000L;

    private final MappedByteBuffer header;
    private final long headerAddress;
    private final MappedByteBuffer[] areas;
    /** A robot's side: how many robots were still waited for after its last answer. */
    private int leftAfterAnswer = Integer.MAX_VALUE;

    private SharedExchange(MappedByteBuffer header, MappedByteBuffer[] areas) {
        this.header = header;
        this.headerAddress = Futex.address(header);
        this.areas = areas;
    }

    private static long headerBytes(int robots) {
        return (LINE * (robots + 3L) + 4095) / 4096 * 4096;
    }

    /**
     * Makes the file for robots robots and maps all of it (the match's side). The native bridge
     * must be loaded. The file is sparse: only the pages written take memory.
     */
    public static SharedExchange create(Path file, int robots) throws IOException {
        try (FileChannel channel = FileChannel.open(file, StandardOpenOption.CREATE,
                     StandardOpenOption.READ, StandardOpenOption.WRITE)) {
            long size = headerBytes(robots) + 2L * AREA * robots;
            channel.truncate(size);
            channel.write(ByteBuffer.allocate(1), size - 1);
            MappedByteBuffer[] areas = new MappedByteBuffer[2 * robots];
            for (int i = 0; i < areas.length; i++) {
                areas[i] = channel.map(FileChannel.MapMode.READ_WRITE,
                        headerBytes(robots) + (long) i * AREA, AREA);
            }
            return new SharedExchange(
                    channel.map(FileChannel.MapMode.READ_WRITE, 0, headerBytes(robots)), areas);
        }
    }

    /** Maps the words and one robot's two areas (the robot's side; the bridge is loaded). */
    public static SharedExchange open(Path file, int robots, int index) throws IOException {
        try (FileChannel channel = FileChannel.open(file, StandardOpenOption.READ,
                     StandardOpenOption.WRITE)) {
            MappedByteBuffer[] areas = new MappedByteBuffer[2 * robots];
            for (int i = 2 * index; i < 2 * index + 2; i++) {
                areas[i] = channel.map(FileChannel.MapMode.READ_WRITE,
                        headerBytes(robots) + (long) i * AREA, AREA);
            }
            return new SharedExchange(
                    channel.map(FileChannel.MapMode.READ_WRITE, 0, headerBytes(robots)), areas);
        }
    }

    private static int stepWord(int index) {
        return LINE * (index + 3);
    }

    private static int answerWord(int index) {
        return LINE * (index + 3) + 4;
    }

    private static void copy(ByteBuffer message, MappedByteBuffer area) {
        if (message.remaining() > AREA) throw new IllegalStateException("message too large");
        area.put(0, message, message.position(), message.remaining());
    }

    /** The message in an area, positioned at its type and limited to its end. */
    private static ByteBuffer message(MappedByteBuffer area) {
        int length = area.getInt(0);
        if (length < 1 || length > AREA - 4) {
            throw new IllegalArgumentException("a broken message (" + length + " bytes)");
        }
        return area.slice(4, length);
    }

    // ------------------------------------------------------------------ the match's side

    /**
     * Lets a robot poll for its next step for up to nanos (at most about 2 s) before it sleeps,
     * when its answer left at most pollAt robots still playing (a robot that leaves more sleeps
     * at once, giving its core to them); and has the robot whose answer leaves wakeAt robots
     * playing wake the match (besides the last one, which always does).
     */
    public void spin(long nanos, int pollAt, int wakeAt) {
        INT.setVolatile(header, POLL_AT, pollAt);
        INT.setVolatile(header, WAKE_AT, wakeAt);
        INT.setVolatile(header, SPIN, (int) Math.min(nanos, Integer.MAX_VALUE));
    }

    /** How many robots the match still waits for, as counted (off after a robot ended). */
    public int pending() {
        return (int) INT.getVolatile(header, PENDING);
    }

    /** Sets how many robots the match is about to wait for; call before sending their steps. */
    public void expect(int robots) {
        INT.setVolatile(header, PENDING, robots);
    }

    /** Writes a robot's step (a whole message) and its number; wake() lets the robot see it. */
    public void sendStep(int index, ByteBuffer message, int number) {
        copy(message, areas[2 * index]);
        INT.setRelease(header, stepWord(index), number << 2);
    }

    /**
     * Tells a robot, sent the step numbered number last, that no step follows (why: an END
     * code); wake() lets it see that.
     */
    public void end(int index, int number, int why) {
        INT.setRelease(header, stepWord(index), number << 2 | (1 + why));
    }

    /**
     * Wakes every robot that waits, once the steps (or ends) are written. Only robots that
     * were sent something wait: the others are still playing their last step.
     */
    public void wake() {
        INT.getAndAdd(header, ROUND, 1);
        Futex.wake(headerAddress + ROUND);
    }

    /** Whether the robot has answered the step numbered number. */
    public boolean answered(int index, int number) {
        return (int) INT.getAcquire(header, answerWord(index)) == number;
    }

    /** The orders a robot answered with: valid until its next step is sent. */
    public ByteBuffer orders(int index) {
        return message(areas[2 * index + 1]);
    }

    /** Sleeps until the last awaited robot answers (or a wake-up), up to nanos. */
    public void awaitAnswers(long nanos) {
        // Whatever the count holds (it may be off after a robot ended): any change wakes.
        Futex.await(headerAddress + PENDING, (int) INT.getVolatile(header, PENDING), nanos);
    }

    /** Wakes the match from awaitAnswers, from any thread. */
    public void wakeMatch() {
        INT.getAndAdd(header, PENDING, -(1 << 20));
        Futex.wake(headerAddress + PENDING);
    }

    // ------------------------------------------------------------------ a robot's side

    /**
     * Waits for the step after the one numbered seen: returns its number, or below zero why
     * there is none (-1 - the END code).
     */
    public int awaitStep(int index, int seen) {
        long spin = leftAfterAnswer <= (int) INT.getVolatile(header, POLL_AT)
                ? (int) INT.getVolatile(header, SPIN) : 0;
        long since = spin > 0 ? System.nanoTime() : 0;
        for (;;) {
            // The round is read first: a step written after this read changes it.
            int round = (int) INT.getVolatile(header, ROUND);
            int value = (int) INT.getVolatile(header, stepWord(index));
            if (value >>> 2 != seen) return value >>> 2;
            if ((value & 3) != 0) return -(value & 3);
            if (spin > 0 && System.nanoTime() - since < spin) {
                Thread.yield();
                continue;
            }
            Futex.await(headerAddress + ROUND, round, WAIT_SLICE_NANOS);
        }
    }

    /** The step the robot was sent last: valid until it answers. */
    public ByteBuffer step(int index) {
        return message(areas[2 * index]);
    }

    /** Writes the robot's orders (a whole message) for the step numbered number. */
    public void answer(int index, ByteBuffer message, int number) {
        copy(message, areas[2 * index + 1]);
        INT.setRelease(header, answerWord(index), number);
        arrive();
    }

    /** The robot is no longer waited for (it answered, or its program ended). */
    public void arrive() {
        int left = (int) INT.getAndAdd(header, PENDING, -1) - 1;
        leftAfterAnswer = left;
        if (left <= 0 || left == (int) INT.getVolatile(header, WAKE_AT)) {
            Futex.wake(headerAddress + PENDING);
        }
    }
}
