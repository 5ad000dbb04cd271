package touchline.host.protocol;

import java.nio.ByteBuffer;

/**
 * Waiting on and waking an int word of memory that several processes map (the system's futex),
 * through the host's native bridge, which must be loaded first.
 */
final class Futex {
    private Futex() {}

    /** The address of a direct buffer's first byte. */
    static native long address(ByteBuffer buffer);

    /**
     * Sleeps while the int at address holds expected, until woken or nanos have passed; returns
     * at once when it holds another value.
     */
    static native void await(long address, int expected, long nanos);

    /** Wakes every thread, in any process, that sleeps on the int at address. */
    static native void wake(long address);

    /** Wakes every thread that sleeps on any of the first count ints at addresses. */
    static native void wakeAll(long[] addresses, int count);

    /**
     * Sleeps until any of count words changes from its value, or a wake-up, or nanos: waiters
     * is the address of count records of the system's futex_waitv kind (value, address, flags).
     */
    static native void awaitAny(long waiters, int count, long nanos);
}
