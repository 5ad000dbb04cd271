package touchline.host;

import java.time.Duration;
import java.util.List;
import java.util.Map;
import touchline.host.physics.Settings;

/** How a match is played. Every setting has a default; setters return this. */
public final class MatchConfig {
    /** Builds the adapter object a robot's strategy is given, from that robot's consoles. */
    @FunctionalInterface
    public interface AdapterFactory {
        Object create(int robotId, InfoConsole info, OperateConsole operate, DebugConsole debug);
    }

    /** Sees every published step on the match's thread, kick-off (time 0) included. */
    @FunctionalInterface
    public interface StepObserver {
        void stepped(long time, Ball ball, List<Team> teams, Map<Integer, List<Event>> events);
    }

    Settings settings = new Settings();
    long steps = 3000;
    long seed = 1;
    Duration deadline;
    int maxMissedInRow = 20;
    Duration endGrace = Duration.ofSeconds(5);
    String homeName = "Home";
    String awayName = "Away";
    AdapterFactory adapters = (id, info, operate, debug) -> new Adapter(info, operate, debug);
    StepObserver observer = (time, ball, teams, events) -> {};

    /** The world's constants: court, ball, robots, contacts (docs/host.md). */
    public MatchConfig settings(Settings value) {
        settings = value;
        return this;
    }

    /** Number of steps the match lasts. */
    public MatchConfig steps(long value) {
        steps = value;
        return this;
    }

    public MatchConfig seed(long value) {
        seed = value;
        return this;
    }

    /**
     * How long a step waits for robots that have not called "execute"; those miss the step.
     * Null (the default) waits for ever.
     */
    public MatchConfig deadline(Duration value) {
        deadline = value;
        return this;
    }

    /** With a deadline: a robot that misses this many steps in a row is stopped. */
    public MatchConfig maxMissedInRow(int value) {
        maxMissedInRow = value;
        return this;
    }

    /** How long the match waits, after its last step, for the robots' threads to end. */
    public MatchConfig endGrace(Duration value) {
        endGrace = value;
        return this;
    }

    public MatchConfig teamNames(String home, String away) {
        homeName = home;
        awayName = away;
        return this;
    }

    /** Replaces the adapter objects, for instance to hand a strategy a faulty console. */
    public MatchConfig adapters(AdapterFactory value) {
        adapters = value;
        return this;
    }

    public MatchConfig observer(StepObserver value) {
        observer = value;
        return this;
    }
}
