package touchline.host.match;

import java.util.Arrays;
import java.util.List;

/**
 * When the match sleeps and who wakes it, and how long each robot polls for its next step: the
 * hand-off's timing, which changes how fast a match plays, never what happens in it.
 *
 * <p>When every robot has a core of its own, the match sleeps until the last answer, and each
 * robot polls for its next step for a while after answering: its core never halts between
 * steps. When the robots outnumber the cores (C of them), the robots queue for the cores and
 * the match sleeps until only C - 1 are left to answer (a core is then free for it), then polls
 * the last answers, yielding its core, for a while before it sleeps again; and those last
 * robots, told so as the match wakes, poll for their next step instead of sleeping, since
 * their cores would otherwise halt while the match plays the step. A robot wakes the match only
 * if the match asked it to: the match asks the robots expected to answer last, as many as it
 * waits for plus one, so that the first of them to answer leaves the number it waits for. It
 * guesses the order of answers from the order of the last step's (the times the robots wrote
 * with their answers: a hint only, which a robot can get wrong at no one's cost but the match's
 * time). Asking only the one expected to answer just before the last woke the match too late
 * in most steps, the last two often swapping places from one step to the next.
 */
final class Pacer {
    /** How long the match polls for the last answers once a core is free for it. */
    private static final long MATCH_POLL_NANOS = 500_000L;
    /** How long the robots that answer last poll, when robots outnumber the cores. */
    private static final long LAST_ROBOT_POLL_NANOS = 500_000L;
    /** How long every robot polls when each has a core of its own. */
    private static final long OWN_CORE_POLL_NANOS = 200_000L;

    private final int wakeAt;
    private final boolean crowded;
    /** When the match began to poll for this step's last answers (0: not yet). */
    private long pollFrom;

    /** For robots robots on a machine whose JVM sees cores cores. */
    Pacer(int cores, int robots) {
        crowded = robots > cores;
        wakeAt = crowded ? cores - 1 : 0;
    }

    /**
     * Before the robot is sent its step: how long it polls after answering it. With the robots
     * outnumbering the cores none does, until the match knows who the last ones are (wakers).
     */
    void prepare(Seat seat) {
        seat.area().pollFor(crowded ? 0 : OWN_CORE_POLL_NANOS);
    }

    /** Every step has been sent. */
    void stepSent(long now) {
        pollFrom = 0;
    }

    /** The robot answered, at time by its own clock. */
    void answered(Seat seat, long time) {
        seat.answeredAt = time;
    }

    /**
     * How the match waits for the missing robots now: null to poll, else the robots whose
     * answer should wake it from sleep.
     */
    List<Seat> wakers(List<Seat> missing, long now) {
        if (missing.size() > wakeAt) return answeringLast(missing, wakeAt + 1);
        if (crowded) {
            if (pollFrom == 0) {
                pollFrom = now;
                // These are the last: each will find a core free once it answers, and polls.
                for (Seat seat : missing) seat.area().pollFor(LAST_ROBOT_POLL_NANOS);
            }
            if (now - pollFrom < MATCH_POLL_NANOS) return null;
        }
        return missing;
    }

    /**
     * The count robots expected to answer last: those that answered the last step latest. A
     * plain pass rather than a sort, since it runs inside the match's wait, which the JIT would
     * otherwise compile again each time the sort met a case it had not seen before.
     */
    private static List<Seat> answeringLast(List<Seat> missing, int count) {
        Seat[] latest = new Seat[count];
        int kept = 0;
        for (Seat seat : missing) {
            int at = kept < count ? kept++ : count;
            while (at > 0 && latest[at - 1].answeredAt < seat.answeredAt) {
                if (at < count) latest[at] = latest[at - 1];
                at--;
            }
            if (at < count) latest[at] = seat;
        }
        return Arrays.asList(latest);
    }
}
