package touchline.host.replay;

import java.io.IOException;
import java.nio.file.Path;

/**
 * What is made from a finished replay, beside it: replay.html (the page to watch it in),
 * final.png (the court at the last step) and trails.png (every path over the match).
 */
public final class ReplayOutputs {
    public static final String PAGE = "replay.html";
    public static final String FINAL_PICTURE = "final.png";
    public static final String TRAILS_PICTURE = "trails.png";

    private ReplayOutputs() {}

    /**
     * Writes the pictures and the page into the replay's folder. The pictures come first: their
     * reading checks the whole replay, so a replay that cannot be read leaves nothing behind.
     */
    public static void write(Path replay) throws IOException {
        write(replay, null);
    }

    /** The same, with compare (null: none) carried by the page to draw as ghosts. */
    public static void write(Path replay, Path compare) throws IOException {
        // Pictures are drawn off screen; a display, if there is one, is never touched.
        System.setProperty("java.awt.headless", "true");
        Path folder = replay.toAbsolutePath().getParent();
        Pictures.write(replay, folder.resolve(FINAL_PICTURE), folder.resolve(TRAILS_PICTURE));
        ReplayPage.write(replay, folder.resolve(PAGE), compare);
    }

    /** Remakes the page and pictures of the replay files named. */
    public static void main(String[] args) {
        if (args.length == 0) {
            System.err.println("Usage: ReplayOutputs REPLAY.jsonl...");
            System.exit(2);
        }
        int status = 0;
        for (String name : args) {
            try {
                write(Path.of(name));
            } catch (IOException e) {
                System.err.println("touchline: " + e.getMessage());
                status = 1;
            }
        }
        System.exit(status);
    }
}
