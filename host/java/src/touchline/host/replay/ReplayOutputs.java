package touchline.host.replay;

import java.io.IOException;
import java.nio.file.Path;
import java.util.concurrent.ArrayBlockingQueue;
import java.util.concurrent.BlockingQueue;

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

    /**
     * Makes the page and the pictures of a replay while it is written: its lines, handed to
     * line() as the match writes them, are read on a thread of its own (the page's parts
     * written, the paths gathered), so that when the match ends only the pictures are left to
     * draw. The outputs are the same bytes write() makes from the finished file.
     */
    public static Maker during(Path replay, Path compare) throws IOException {
        System.setProperty("java.awt.headless", "true");
        Path folder = replay.toAbsolutePath().getParent();
        return new Maker(replay, new ReplayPage.Writer(folder.resolve(PAGE), compare));
    }

    /** The page and pictures of a replay being written; see during(). */
    public static final class Maker {
        /** Lines waiting for the maker's thread: the match waits only when it is this far on. */
        private static final int QUEUED_LINES = 8192;
        private static final String DONE = new String("done");

        private final Path replay;
        private final ReplayPage.Writer page;
        private final Pictures pictures = Pictures.drawing();
        private final ReplayReader.Lines lines;
        private final BlockingQueue<String> queue = new ArrayBlockingQueue<>(QUEUED_LINES);
        private final Thread thread;
        private volatile boolean abandoned;
        private volatile Throwable failure;

        private Maker(Path replay, ReplayPage.Writer page) {
            this.replay = replay;
            this.page = page;
            lines = ReplayReader.lines(replay, pictures);
            thread = new Thread(this::read, "touchline-replay-outputs");
            thread.setDaemon(true);
            thread.start();
        }

        /** The replay's next line, as the file gets it. */
        public void line(String line) {
            if (failure != null || abandoned) return;
            try {
                queue.put(line);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
                abandon();
            }
        }

        private void read() {
            try {
                for (String line = queue.take(); line != DONE && !abandoned; line = queue.take()) {
                    lines.line(line);
                    page.line(line);
                }
            } catch (Exception | Error e) {
                failure = e;
                queue.clear();
            }
        }

        /** The replay is whole: finishes the page and writes the pictures. */
        public void finish() throws IOException {
            try {
                queue.put(DONE);
                thread.join();
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
                abandon();
                throw new IOException("interrupted while the page and pictures were made", e);
            }
            try {
                if (failure instanceof IOException io) throw io;
                if (failure instanceof RuntimeException runtime) throw runtime;
                if (failure instanceof Error error) throw error;
                lines.finish();
                Path folder = replay.toAbsolutePath().getParent();
                pictures.writeTo(replay, folder.resolve(FINAL_PICTURE),
                        folder.resolve(TRAILS_PICTURE));
                page.finish();
            } finally {
                page.close();
            }
        }

        /** No page and no pictures after all: what was written of the page is removed. */
        public void abandon() {
            abandoned = true;
            queue.clear();
            queue.offer(DONE);
            try {
                thread.join();
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
            try {
                page.close();
            } catch (IOException e) {
                // Nothing more can be done about a page that cannot be removed.
            }
        }
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
