package touchline.host;

/** How one robot's program ended, with what it printed and drew. */
public record RobotOutcome(int id, String name, int teamId, Ending ending, Throwable error,
        int missedSteps, boolean threadEnded, DebugConsole debug) {

    public enum Ending {
        /** Played until the match ended. */
        FINISHED,
        /** Its run returned before the match ended; it stood still from then on. */
        RETURNED,
        /** Its run ended with an exception (error); it stood still from then on. */
        FAILED,
        /** It missed too many steps in a row and was stopped. */
        STOPPED,
        /** Its program could not be loaded (error); it stood still all match. */
        NOT_LOADED,
        /** Its thread was still running when the match stopped waiting for it. */
        RUNNING
    }
}
