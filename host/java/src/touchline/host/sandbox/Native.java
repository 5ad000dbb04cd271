package touchline.host.sandbox;

import java.io.FileDescriptor;
import java.io.IOException;
import java.nio.ByteBuffer;

/**
 * The system calls that starting a robot needs and Java's own process API lacks, from the
 * host's native bridge (which must be loaded: NativeStrategy.loadBridgeLibrary).
 */
public final class Native {
    private Native() {}

    /** A memory object of size bytes, sealed so that no one can shrink or grow it. */
    public static native int memory(String name, long size) throws IOException;

    /** Maps a memory object shared and read-write. */
    public static native ByteBuffer map(int fd, long size) throws IOException;

    /** Unmaps a buffer map() gave; it must not be used again. */
    public static native void unmap(ByteBuffer buffer);

    /** A connected pair of stream sockets, closed on exec. */
    public static native int[] socketPair() throws IOException;

    /** Sends the descriptors over a Unix socket: the process at its other end gets its own. */
    public static native void sendDescriptors(int socket, int[] fds) throws IOException;

    /** A pipe, read end first, closed on exec. */
    public static native int[] pipe() throws IOException;

    /**
     * Starts argv[0] with the environment envp, its descriptor i being fds[i] and no other, its
     * signals at their defaults; returns its process id.
     */
    public static native int spawn(String[] argv, String[] envp, int[] fds) throws IOException;

    /** Waits for a child to end without reaping it: until reaped, its id stays its own. */
    public static native void awaitExit(int pid);

    /** Waits for a child to end and reaps it; its wait status, or -1 when it is not a child. */
    public static native int waitFor(int pid);

    public static native void kill(int pid, int signal);

    public static native void close(int fd);

    /** A file descriptor object for fd; closing a stream over it closes fd. */
    public static native FileDescriptor descriptor(int fd);

    /** The process's effective user id. */
    public static native int userId();

    public static final int SIGKILL = 9;
}
