package touchline.host.tournament;

import java.io.PrintStream;

/** "[#####     ] 12/30 matches" on stderr, redrawn as matches end. */
final class Progress {
    private static final int WIDTH = 30;
    private final PrintStream err;
    private final int total;
    private int done;

    Progress(PrintStream err, int total) {
        this.err = err;
        this.total = total;
    }

    synchronized void advance() {
        done++;
        int filled = WIDTH * done / total;
        err.print("\r[" + "#".repeat(filled) + " ".repeat(WIDTH - filled) + "] " + done + "/"
                + total + " matches");
        err.flush();
    }

    synchronized void done() {
        err.print("\r" + " ".repeat(WIDTH + 30) + "\r");
        err.flush();
    }
}
