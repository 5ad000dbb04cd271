package touchline.host.robot;

import java.util.List;

/** What one robot reads of the match: its own id, the time, the world and its last events. */
public final class InfoConsole {
    private final int id;
    private final long totalTimes;
    private final Court court;
    private final RobotLink link;

    public InfoConsole(int id, long totalTimes, Court court, RobotLink link) {
        this.id = id;
        this.totalTimes = totalTimes;
        this.court = court;
        this.link = link;
    }

    /** Id of the robot this console belongs to. */
    public int getId() {
        return id;
    }

    /** Number of steps the match lasts. */
    public long getTotalTimes() {
        return totalTimes;
    }

    /** Steps played so far: 0 before the first step, getTotalTimes() after the last. */
    public long getTime() {
        return link.snapshot().time();
    }

    public Object getCourt() {
        return court;
    }

    public Object getBall() {
        return link.snapshot().ball();
    }

    public List<Team> getTeams() {
        return link.snapshot().teams();
    }

    /** This robot's events of the last step. */
    public List<Event> getActions() {
        return link.snapshot().events();
    }
}
