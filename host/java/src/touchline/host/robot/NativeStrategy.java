package touchline.host.robot;

import java.nio.file.Path;

/**
 * A strategy library played through the native bridge. A library's state is global to the
 * process that loads it, so each robot plays in a process of its own (or, in tests, one robot
 * per library in the test's process).
 */
public final class NativeStrategy implements RobotProgram {
    /** System property naming the bridge library file; unset: java.library.path is searched. */
    public static final String BRIDGE_PROPERTY = "touchline.bridge";

    private static boolean bridgeLoaded;

    private final Path library;
    private long instance;

    public NativeStrategy(Path library) {
        this.library = library;
    }

    public Path library() {
        return library;
    }

    @Override
    public synchronized void load() throws StrategyLoadException {
        if (instance != 0) return;
        loadBridge();
        instance = load(library.toAbsolutePath().toString());
    }

    /** Calls adapterInit, adapterRun and adapterClearup on the calling thread. */
    @Override
    public void play(Object adapter) {
        long loaded;
        synchronized (this) {
            loaded = instance;
        }
        if (loaded == 0) throw new IllegalStateException(library + " is not loaded");
        adapterInit(loaded);
        try {
            adapterRun(loaded, adapter);
        } finally {
            adapterClearup(loaded);
        }
    }

    @Override
    public synchronized void close() {
        if (instance == 0) return;
        unload(instance);
        instance = 0;
    }

    /**
     * Makes this process a robot process: no core dump when a strategy crashes it, Ctrl-C in
     * the terminal left to the match (which ends its robots itself), and a system call that
     * the robot's filter forbids noted at the int at forbiddenCallWord before it ends the
     * process, and its memory limit, when it reaches it, at the int at limitWord, so that the
     * match can name them.
     */
    public static void prepareRobotProcess(long forbiddenCallWord, long limitWord)
            throws StrategyLoadException {
        loadBridge();
        prepareProcess(forbiddenCallWord, limitWord);
    }

    /** Loads the host's native bridge into this process, once. */
    public static void loadBridgeLibrary() throws StrategyLoadException {
        loadBridge();
    }

    private static synchronized void loadBridge() throws StrategyLoadException {
        if (bridgeLoaded) return;
        String file = System.getProperty(BRIDGE_PROPERTY);
        try {
            if (file != null) {
                System.load(Path.of(file).toAbsolutePath().toString());
            } else {
                System.loadLibrary("touchline_bridge");
            }
        } catch (UnsatisfiedLinkError e) {
            throw new StrategyLoadException("cannot load the host's native bridge"
                    + (file != null ? " " + file : "") + ": " + e.getMessage(), e);
        }
        bridgeLoaded = true;
    }

    private static native long load(String library) throws StrategyLoadException;

    private static native void prepareProcess(long forbiddenCallWord, long limitWord);

    private static native int adapterInit(long instance);

    private static native void adapterRun(long instance, Object adapter);

    private static native void adapterClearup(long instance);

    private static native void unload(long instance);
}
