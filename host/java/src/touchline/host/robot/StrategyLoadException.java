package touchline.host.robot;

/** A strategy library could not be loaded: unreadable, not a library, or an entry point missing. */
public final class StrategyLoadException extends Exception {
    private static final long serialVersionUID = 1L;

    public StrategyLoadException(String message) {
        super(message);
    }

    public StrategyLoadException(String message, Throwable cause) {
        super(message, cause);
    }
}
