package touchline.host;

import java.util.List;
import java.util.function.Supplier;

/** What one robot reads of the match: its own id, the time, the world and its last events. */
public final class InfoConsole {
    private final int id;
    private final long totalTimes;
    private final Court court;
    private final Supplier<Frame> frames;

    InfoConsole(int id, long totalTimes, Court court, Supplier<Frame> frames) {
        this.id = id;
        this.totalTimes = totalTimes;
        this.court = court;
        this.frames = frames;
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
        return frames.get().time;
    }

    public Object getCourt() {
        return court;
    }

    public Object getBall() {
        return frames.get().ball;
    }

    public List<Team> getTeams() {
        return frames.get().teams;
    }

    /** This robot's events of the last step. */
    public List<Event> getActions() {
        return frames.get().eventsOf(id);
    }
}
