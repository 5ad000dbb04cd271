package touchline.host.match;

import java.nio.file.Path;
import java.time.Duration;
import java.util.List;
import java.util.Map;
import touchline.host.physics.Settings;
import touchline.host.protocol.RobotServer;
import touchline.host.robot.Ball;
import touchline.host.robot.DebugConsole;
import touchline.host.robot.Event;
import touchline.host.robot.Team;
import touchline.host.sandbox.Sandbox;

/** How a match is played. Every setting has a default; setters return this. */
public final class MatchConfig {
    /** Sees every published step on the match's thread, kick-off (time 0) included. */
    @FunctionalInterface
    public interface StepObserver {
        void stepped(long time, Ball ball, List<Team> teams, Map<Integer, List<Event>> events);
    }

    /**
     * Sees, on the match's thread, what a robot printed and drew while it looked at the step
     * at time; called after that step's frame and before the frame of the step after it has
     * been seen, except for a robot late under a deadline.
     */
    @FunctionalInterface
    public interface DebugObserver {
        void debug(int robot, long time, DebugConsole.Output output);
    }

    /**
     * Hears, on the match's thread, of each robot the match ends before its last step:
     * crashed, stopped, failed or not loaded, the first step it stands still at (0 for one
     * that never played) and why. Robots that end with the match are not told of here.
     */
    @FunctionalInterface
    public interface EndingObserver {
        void ended(int robot, long stillFrom, RobotOutcome.Ending ending, String reason);
    }

    /** The default watchdog: a step nobody ends in this time stops the robot that hangs. */
    public static final Duration DEFAULT_WATCHDOG = Duration.ofSeconds(5);
    /** The thinking time a robot has for the whole match besides its time per step. */
    public static final Duration DEFAULT_TIME_BANK = Duration.ofSeconds(10);
    /** The thinking time each step adds to a robot's allowance. */
    public static final Duration DEFAULT_TIME_PER_STEP = Duration.ofMillis(10);

    Settings settings = new Settings();
    long steps = 3000;
    long seed = 1;
    Duration deadline;
    Duration watchdog = DEFAULT_WATCHDOG;
    int maxMissedInRow = 20;
    Duration endGrace = Duration.ofSeconds(5);
    String homeName = "Home";
    String awayName = "Away";
    RobotServer.AdapterFactory adapters = RobotServer.PLAIN_ADAPTER;
    StepObserver observer = (time, ball, teams, events) -> {};
    DebugObserver debugObserver = (robot, time, output) -> {};
    EndingObserver endingObserver = (robot, stillFrom, ending, reason) -> {};
    List<String> robotJavaOptions = List.of();
    Path crashFolder;
    Placement placement;
    Sandbox sandbox;
    boolean sandboxRequired;
    Sandbox.Limits limits = Sandbox.Limits.DEFAULT;
    Duration timeBank = DEFAULT_TIME_BANK;
    Duration timePerStep = DEFAULT_TIME_PER_STEP;

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
     * Null (the default) waits for every robot, up to the watchdog.
     */
    public MatchConfig deadline(Duration value) {
        deadline = value;
        return this;
    }

    /**
     * Without a deadline: a robot that has not ended its step (or loaded) in this time is
     * stopped, and its process ended.
     */
    public MatchConfig watchdog(Duration value) {
        watchdog = value;
        return this;
    }

    /** With a deadline: a robot that misses this many steps in a row is stopped. */
    public MatchConfig maxMissedInRow(int value) {
        maxMissedInRow = value;
        return this;
    }

    /** How long the match waits, after its last step, for the robots' programs to end. */
    public MatchConfig endGrace(Duration value) {
        endGrace = value;
        return this;
    }

    public MatchConfig teamNames(String home, String away) {
        homeName = home;
        awayName = away;
        return this;
    }

    /**
     * Replaces the adapter objects of robots played in this process, for instance to hand a
     * strategy a faulty console.
     */
    public MatchConfig adapters(RobotServer.AdapterFactory value) {
        adapters = value;
        return this;
    }

    public MatchConfig observer(StepObserver value) {
        observer = value;
        return this;
    }

    public MatchConfig debugObserver(DebugObserver value) {
        debugObserver = value;
        return this;
    }

    public MatchConfig endingObserver(EndingObserver value) {
        endingObserver = value;
        return this;
    }

    /** Extra options for the robot processes' JVMs (-Xcheck:jni, say). */
    public MatchConfig robotJavaOptions(List<String> value) {
        robotJavaOptions = List.copyOf(value);
        return this;
    }

    /**
     * Where a crashed robot process's JVM crash report is kept (robot-ID-crash.log); null: it
     * is read and removed.
     */
    public MatchConfig crashFolder(Path value) {
        crashFolder = value;
        return this;
    }

    /**
     * How robot processes are started: sealed in a sandbox each, or not. Null (the default):
     * sealed if the machine allows (Sandbox.detect()).
     */
    public MatchConfig sandbox(Sandbox value) {
        sandbox = value;
        return this;
    }

    /**
     * Refuse to start robots unsealed: start() throws Sandbox.Unavailable before any robot
     * runs if they cannot be sealed.
     */
    public MatchConfig requireSandbox(boolean value) {
        sandboxRequired = value;
        return this;
    }

    /** The kernel's limits on each sealed robot. */
    public MatchConfig limits(Sandbox.Limits value) {
        limits = value;
        return this;
    }

    /**
     * A robot's thinking time for the whole match (the time the match waits for it, shared
     * among the robots it waits for at once): bank, plus timePerStep for every step it has
     * been sent. A robot that spends it is stopped, so that no robot can stretch a match.
     */
    public MatchConfig timeBank(Duration bank, Duration timePerStep) {
        this.timeBank = bank;
        this.timePerStep = timePerStep;
        return this;
    }

    /** Where the match starts; null (the default): the kick-off places and roll. */
    public MatchConfig placement(Placement value) {
        placement = value;
        return this;
    }
}
