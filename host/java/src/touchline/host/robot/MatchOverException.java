package touchline.host.robot;

/** Thrown by "execute" once the last step has been played: it ends the strategy's run. */
public final class MatchOverException extends RuntimeException {
    private static final long serialVersionUID = 1L;

    public MatchOverException() {
        super("the match is over");
    }
}
