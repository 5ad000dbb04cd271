package touchline.host;

import java.nio.file.Path;

/**
 * A strategy library played through the native bridge. Every instance loads its own private
 * copy of the library file, so robots that name the same file share no state.
 */
public final class NativeStrategy implements RobotProgram {
    /** System property naming the bridge library file; unset: java.library.path is searched. */
    public static final String BRIDGE_PROPERTY = "touchline.bridge";

    private static boolean bridgeLoaded;

    private final Path library;
    private final Path copyDirectory;
    private long instance;

    /** Copies go to java.io.tmpdir. */
    public NativeStrategy(Path library) {
        this(library, Path.of(System.getProperty("java.io.tmpdir")));
    }

    /** Copies go to copyDirectory; each is removed as soon as it is loaded. */
    public NativeStrategy(Path library, Path copyDirectory) {
        this.library = library;
        this.copyDirectory = copyDirectory;
    }

    public Path library() {
        return library;
    }

    @Override
    public synchronized void load() throws StrategyLoadException {
        if (instance != 0) return;
        loadBridge();
        instance = load(library.toAbsolutePath().toString(),
                copyDirectory.toAbsolutePath().toString());
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

    private static native long load(String library, String copyDirectory)
            throws StrategyLoadException;

    private static native int adapterInit(long instance);

    private static native void adapterRun(long instance, Object adapter);

    private static native void adapterClearup(long instance);

    private static native void unload(long instance);
}
