package touchline.host.scene;

/** A scene file that cannot be played: the message names the file and the line. */
public final class SceneException extends Exception {
    private static final long serialVersionUID = 1L;

    public SceneException(String message) {
        super(message);
    }
}
