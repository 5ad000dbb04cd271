package touchline.host.match;

/**
 * How one robot's program ended. reason says why ("" when there is nothing to say): the
 * error of a failed robot, the signal or exit status of a crashed one, what stopped a stopped
 * one. droppedPrints and droppedViews count debug output over the limits.
 */
public record RobotOutcome(int id, String name, int teamId, Ending ending, String reason,
        int missedSteps, int droppedPrints, int droppedViews) {

    public enum Ending {
        /** Played until the match ended. */
        FINISHED,
        /** Its run returned before the match ended; it stood still from then on. */
        RETURNED,
        /** Its run ended with an error (reason); it stood still from then on. */
        FAILED,
        /** It missed too many steps in a row, or did not answer in time, and was stopped. */
        STOPPED,
        /** Its process died (reason: the signal or exit status); it stood still from then on. */
        CRASHED,
        /** Its program could not be loaded (reason); it stood still all match. */
        NOT_LOADED,
        /** It was still playing when the match stopped waiting for it. */
        RUNNING;

        /** The name the summary and the replay use. */
        public String word() {
            return name().toLowerCase(java.util.Locale.ROOT).replace('_', ' ');
        }
    }
}
