package touchline.host.protocol;

import java.lang.invoke.MethodHandles;
import java.lang.invoke.VarHandle;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;

/**
 * How the match sleeps: until one of the robots it waits for answers (each robot's answer word,
 * in that robot's own area), or until its mailbox word changes (another thread of the match has
 * something for it: a robot's message, an interruption), or a time has passed. One system call
 * covers them all. The bridge must be loaded.
 */
public final class MatchWaiter {
    private static final int RECORD = 24;
    /** A 32-bit futex word, shared between processes. */
    private static final int FUTEX_32 = 2;
    private static final VarHandle INT =
            MethodHandles.byteBufferViewVarHandle(int[].class, ByteOrder.nativeOrder());

    private final ByteBuffer mailbox = ByteBuffer.allocateDirect(64).order(ByteOrder.nativeOrder());
    private final long mailboxAddress = Futex.address(mailbox);
    private final ByteBuffer records;
    private final long recordsAddress;
    private int count;

    /** For at most robots robots. */
    public MatchWaiter(int robots) {
        records = ByteBuffer.allocateDirect(RECORD * (robots + 1) + 64).alignedSlice(8)
                .order(ByteOrder.nativeOrder());
        recordsAddress = Futex.address(records);
    }

    /**
     * Starts a new wait: the mailbox is read now, so that anything posted after this call ends
     * the wait at once. Call before looking at what the others posted.
     */
    public void begin() {
        count = 0;
        add(mailboxAddress, (int) INT.getVolatile(mailbox, 0));
    }

    /** Also wakes when the robot's answer word no longer holds answer. */
    public void add(RobotArea area, int answer) {
        add(area.answerAddress(), answer);
    }

    private void add(long address, int value) {
        int at = count * RECORD;
        records.putLong(at, value & 0xffffffffL);
        records.putLong(at + 8, address);
        records.putInt(at + 16, FUTEX_32);
        records.putInt(at + 20, 0);
        count++;
    }

    /** Sleeps until a word added since begin() changes, or nanos have passed. */
    public void await(long nanos) {
        Futex.awaitAny(recordsAddress, count, nanos);
    }

    /** Ends the match's wait, from any thread. */
    public void post() {
        INT.getAndAdd(mailbox, 0, 1);
        Futex.wake(mailboxAddress);
    }
}
