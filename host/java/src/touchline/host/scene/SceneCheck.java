package touchline.host.scene;

import java.io.PrintStream;
import java.util.List;
import java.util.Map;
import touchline.host.match.Visible;
import touchline.host.robot.Ball;
import touchline.host.robot.Event;
import touchline.host.robot.Team;

/** Watches a scene's match for its expectations and reports on each after the match. */
public final class SceneCheck {
    private final Scene scene;

    public SceneCheck(Scene scene) {
        this.scene = scene;
    }

    /** Feed it every published step (a MatchConfig.StepObserver). */
    public void stepped(long time, Ball ball, List<Team> teams, Map<Integer, List<Event>> events) {
        for (Expectation e : scene.expectations()) e.stepped(time, ball, teams, events);
    }

    /** Feed it every robot's prints (from a MatchConfig.DebugObserver). */
    public void printed(int robot, long time, List<String> prints) {
        if (prints.isEmpty()) return;
        for (Expectation e : scene.expectations()) e.printed(robot, time, prints);
    }

    /**
     * Writes one line per expectation, "PASS" or "FAIL", where it is and what was seen, then
     * a count; returns whether all held.
     */
    public boolean report(PrintStream out) {
        List<Expectation> all = scene.expectations();
        if (all.isEmpty()) return true;
        int failed = 0;
        out.println();
        out.println("Expectations");
        for (Expectation e : all) {
            boolean passed = e.passed();
            if (!passed) failed++;
            out.println("  " + (passed ? "PASS" : "FAIL") + " "
                    + Visible.line(scene.file().toString()) + ":" + e.lineNumber() + ": "
                    + Visible.line(e.text()) + " (" + Visible.line(e.seen()) + ")");
        }
        out.println(failed == 0 ? "  all " + all.size() + " held"
                                : "  " + failed + " of " + all.size() + " failed");
        return failed == 0;
    }
}
