package touchline.host.robot;

/** What plays one robot: a strategy library through the native bridge, or Java code in tests. */
public interface RobotProgram {
    /** Prepares the program before the match starts, on the match's thread. */
    default void load() throws Exception {}

    /**
     * Plays the robot on its own thread through the adapter object's consoles. Returns, or
     * throws, when the program stops: at the latest when "execute" reports the match's end.
     */
    void play(Object adapter) throws Exception;

    /** Releases the program once its thread has ended. */
    default void close() {}
}
