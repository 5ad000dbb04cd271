package touchline.host.protocol;

import java.lang.invoke.MethodHandles;
import java.lang.invoke.VarHandle;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;

/**
 * One robot's exchange with the match: a memory object that only the match and that robot map
 * (a robot process is handed it when it starts; a robot played on a thread of the match gets a
 * buffer of the match's own). No system call per message; one wake-up per step for the robot,
 * and none for the match unless it asked for one.
 *
 * <p>It starts with words in the machine's byte order, each on a 64-byte line of its own: the
 * number of the step sent to the robot (shifted left by two; the low two bits, once set, say
 * that no step follows and why: 1 + the END code, so an end never hides a step not yet seen);
 * whether the robot sleeps waiting for it; how long the robot may poll for its next step after
 * answering; the number of the step the robot last answered; whether the match sleeps and wants
 * to be woken by that answer; when the robot answered (its monotonic clock, a hint for the
 * match's planning); the system call the robot's filter refused, noted before it ended the
 * robot; and whether the robot reached its memory limit. Then, from {@link #HEADER}, the step the robot may see, and after it the robot's
 * orders, each a whole message as on a channel (length, type, fields). The match trusts none of
 * what the robot writes: it copies the orders out once, checking their length, before reading
 * them (a robot may change them meanwhile), and every field is checked against its limit.
 */
public final class RobotArea {
    public static final int HEADER = 4096;
    private static final int STEP_WORD = 0;
    private static final int ROBOT_SLEEPS = 64;
    private static final int POLL_NANOS = 128;
    private static final int ANSWER_WORD = 192;
    private static final int MATCH_SLEEPS = 256;
    private static final int ANSWER_TIME = 320;
    private static final int FORBIDDEN_CALL = 384;
    private static final int LIMIT_REACHED = 448;
    private static final int STEP = HEADER;
    private static final int ORDERS = STEP + Wire.MAX_STEP_BYTES;
    /** The area's size in bytes, whole pages. */
    public static final int BYTES = (ORDERS + Wire.MAX_ORDERS_BYTES + 4095) / 4096 * 4096;
    /** How long a robot sleeps at most before it looks at its step word again. */
    private static final long WAIT_SLICE_NANOS = 1_000_000_000L;

    private static final VarHandle INT =
            MethodHandles.byteBufferViewVarHandle(int[].class, ByteOrder.nativeOrder());
    private static final VarHandle LONG =
            MethodHandles.byteBufferViewVarHandle(long[].class, ByteOrder.nativeOrder());

    private final ByteBuffer memory;
    private final long address;

    /** The area in memory, a direct buffer of at least BYTES bytes; the bridge is loaded. */
    public RobotArea(ByteBuffer memory) {
        if (!memory.isDirect() || memory.capacity() < BYTES) {
            throw new IllegalArgumentException("a robot's area takes " + BYTES + " direct bytes");
        }
        this.memory = memory;
        this.address = Futex.address(memory);
    }

    /** An area in this process's own memory, for a robot played on one of its threads. */
    public static RobotArea inProcess() {
        return new RobotArea(ByteBuffer.allocateDirect(BYTES + 64).alignedSlice(64));
    }

    /** The address of the word the robot notes a refused system call in. */
    public long forbiddenCallAddress() {
        return address + FORBIDDEN_CALL;
    }

    /** The address of the word the robot notes reaching its memory limit in. */
    public long limitAddress() {
        return address + LIMIT_REACHED;
    }

    // ------------------------------------------------------------------ the match's side

    /**
     * Writes the robot's step (a whole message) and its number; the robot then needs waking
     * if it sleeps (wakes, which wakes it at once, gathers such robots to wake them together).
     */
    public void sendStep(ByteBuffer message, int number, Wakes wakes) {
        int length = message.remaining();
        if (length > Wire.MAX_STEP_BYTES) throw new IllegalStateException("a step too large");
        memory.put(STEP, message, message.position(), length);
        INT.setVolatile(memory, STEP_WORD, number << 2);
        if ((int) INT.getVolatile(memory, ROBOT_SLEEPS) != 0) wakes.add(address + STEP_WORD);
    }

    /**
     * Robots to wake at once, gathered while their steps are written: woken two to a system
     * call, once every step is written.
     */
    public static final class Wakes {
        private final long[] addresses;
        private int count;

        public Wakes(int robots) {
            addresses = new long[robots];
        }

        void add(long address) {
            addresses[count++] = address;
        }

        /** Wakes every robot gathered, and forgets them. */
        public void wake() {
            if (count > 0) Futex.wakeAll(addresses, count);
            count = 0;
        }
    }

    /**
     * Tells the robot, sent the step numbered number last, that no step follows (why: an END
     * code).
     */
    public void end(int number, int why) {
        INT.setVolatile(memory, STEP_WORD, number << 2 | (1 + why));
        Futex.wake(address + STEP_WORD);
    }

    /** How long the robot polls for its next step after answering, before it sleeps. */
    public void pollFor(long nanos) {
        INT.setVolatile(memory, POLL_NANOS, (int) Math.min(nanos, Integer.MAX_VALUE));
    }

    /** The number of the step the robot last answered, as it wrote it. */
    public int answer() {
        return (int) INT.getVolatile(memory, ANSWER_WORD);
    }

    /** The address of the answer word, to sleep on. */
    public long answerAddress() {
        return address + ANSWER_WORD;
    }

    /** Whether the robot should wake the match when it answers. */
    public void wakeMatch(boolean wanted) {
        INT.setVolatile(memory, MATCH_SLEEPS, wanted ? 1 : 0);
    }

    /** When the robot says it answered last (its monotonic clock): only a hint. */
    public long answerTime() {
        return (long) LONG.getVolatile(memory, ANSWER_TIME);
    }

    /** Whether the robot noted that it reached its memory limit. */
    public boolean memoryLimitReached() {
        return (int) INT.getVolatile(memory, LIMIT_REACHED) != 0;
    }

    /** The system call the robot's filter refused, as the robot noted it (0: none). */
    public int forbiddenCall() {
        return (int) INT.getVolatile(memory, FORBIDDEN_CALL);
    }

    /**
     * Copies the robot's orders out into into (cleared first, large enough for
     * MAX_ORDERS_BYTES) and returns them positioned at their type, limited to their end.
     */
    public ByteBuffer copyOrders(ByteBuffer into) {
        int length = memory.getInt(ORDERS);
        if (length < 1 || length > Wire.MAX_ORDERS_BYTES - 4) {
            throw new Wire.BrokenMessage("orders of " + length + " bytes");
        }
        into.clear();
        into.put(0, memory, ORDERS + 4, length);
        return into.limit(length);
    }

    // ------------------------------------------------------------------ the robot's side

    /**
     * Waits for the step after the one numbered seen: returns its number, or below zero why
     * there is none (-1 - the END code).
     */
    public int awaitStep(int seen) {
        long spin = (int) INT.getVolatile(memory, POLL_NANOS);
        long since = spin > 0 ? System.nanoTime() : 0;
        for (;;) {
            int value = (int) INT.getVolatile(memory, STEP_WORD);
            if (value >>> 2 != seen) return value >>> 2;
            if ((value & 3) != 0) return -(value & 3);
            if (spin > 0 && System.nanoTime() - since < spin) {
                Thread.yield();
                continue;
            }
            INT.setVolatile(memory, ROBOT_SLEEPS, 1);
            // Looked at again once the match can know this robot sleeps: a step written before
            // then is seen here, one written after wakes it.
            if ((int) INT.getVolatile(memory, STEP_WORD) == value) {
                Futex.await(address + STEP_WORD, value, WAIT_SLICE_NANOS);
            }
            INT.setVolatile(memory, ROBOT_SLEEPS, 0);
            spin = 0;
        }
    }

    /** The step the robot was sent last: valid until it answers. */
    public ByteBuffer step() {
        int length = memory.getInt(STEP);
        return memory.slice(STEP + 4, length);
    }

    /** Writes the robot's orders (a whole message) for the step numbered number. */
    public void answer(ByteBuffer message, int number) {
        int length = message.remaining();
        if (length > Wire.MAX_ORDERS_BYTES) throw new IllegalStateException("orders too large");
        memory.put(ORDERS, message, message.position(), length);
        LONG.setVolatile(memory, ANSWER_TIME, System.nanoTime());
        INT.setVolatile(memory, ANSWER_WORD, number);
        if ((int) INT.getVolatile(memory, MATCH_SLEEPS) != 0) Futex.wake(address + ANSWER_WORD);
    }
}
