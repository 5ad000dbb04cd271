package touchline.host.play;

import java.io.PrintStream;
import java.util.List;
import touchline.host.robot.Team;

/**
 * One line on stderr, redrawn as the match goes: steps played and the score. It is drawn
 * at most every REDRAW_NANOS (a step costs only a look at the clock), so that watching
 * costs a fast match nothing it would notice.
 */
final class ProgressBar {
    private static final int WIDTH = 30;
    private static final long REDRAW_NANOS = 200_000_000L;
    private final PrintStream err;
    private final long total;
    private long nextDraw;

    ProgressBar(PrintStream err, long total) {
        this.err = err;
        this.total = total;
        nextDraw = System.nanoTime();
    }

    void show(long time, List<Team> teams) {
        long now = System.nanoTime();
        if (now - nextDraw < 0) return;
        nextDraw = now + REDRAW_NANOS;
        int filled = (int) (WIDTH * time / total);
        StringBuilder score = new StringBuilder();
        for (Team team : teams) {
            if (score.length() > 0) score.append(" : ");
            score.append((long) team.getScore());
        }
        err.print("\r[" + "#".repeat(filled) + " ".repeat(WIDTH - filled) + "] " + time + "/"
                + total + "  " + score);
        err.flush();
    }

    /** Clears the line; the next step draws it again. */
    void done() {
        nextDraw = System.nanoTime();
        err.print("\r" + " ".repeat(WIDTH + 40) + "\r");
        err.flush();
    }
}
