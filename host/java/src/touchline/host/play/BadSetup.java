package touchline.host.play;

/**
 * A setup that cannot be played: a bad value, a folder that may not be written, a library
 * that is no strategy, a scene that cannot be read. Its message is the one line told to the
 * user, and the command ends with exit status 2.
 */
public final class BadSetup extends Exception {
    private static final long serialVersionUID = 1L;

    public BadSetup(String message) {
        super(message);
    }
}
