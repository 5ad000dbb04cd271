package touchline.host;

import java.time.Duration;
import java.util.ArrayList;
import java.util.Collection;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.TimeUnit;
import java.util.function.Consumer;

/**
 * Paces the robots' threads. Each robot plays its step and calls "execute", which blocks; the
 * match advances one step once every robot still playing has called it, or, with a deadline
 * set, once the deadline has passed: the late robots miss that step, and a robot that misses
 * too many steps in a row is stopped. Commands a robot delivers before its "execute" belong to
 * the step it ends.
 */
final class Lockstep {
    /** A text for another robot. */
    record Message(int sender, int receiver, String text) {}

    /** What one robot asked for in a step. A robot that no longer plays asks to stand still. */
    record Orders(int robot, double move, double turn, List<Message> messages) {}

    private static final class Seat {
        final int id;
        boolean playing = true;
        boolean stopped;
        long arrivedFor = -1;
        double move;
        double turn;
        List<Message> outbox = new ArrayList<>();
        int missed;
        int missedInRow;

        Seat(int id) {
            this.id = id;
        }

        void standStill() {
            playing = false;
            move = 0;
            turn = 0;
            outbox.clear();
        }
    }

    private final Object lock = new Object();
    private final Map<Integer, Seat> seats = new LinkedHashMap<>();
    private final long deadlineNanos;
    private final int maxMissedInRow;
    private long step;
    private long stepOpened = System.nanoTime();
    private boolean over;

    /**
     * @param deadline how long a step waits for late robots; null waits for ever
     * @param maxMissedInRow missed steps in a row after which a robot is stopped
     */
    Lockstep(Collection<Integer> robots, Duration deadline, int maxMissedInRow) {
        for (int id : robots) seats.put(id, new Seat(id));
        this.deadlineNanos = deadline == null ? 0 : Math.max(1, deadline.toNanos());
        this.maxMissedInRow = Math.max(1, maxMissedInRow);
    }

    // ------------------------------------------------------------------ the robots' side

    void setMove(int robot, double velocity) {
        synchronized (lock) {
            Seat seat = seat(robot);
            if (seat.playing) seat.move = velocity;
        }
    }

    void setTurn(int robot, double velocity) {
        synchronized (lock) {
            Seat seat = seat(robot);
            if (seat.playing) seat.turn = velocity;
        }
    }

    void send(int robot, int receiver, String text) {
        synchronized (lock) {
            Seat seat = seat(robot);
            if (seat.playing) seat.outbox.add(new Message(robot, receiver, text));
        }
    }

    /** Ends the robot's step: returns when the match has advanced past the step it ended. */
    void execute(int robot) {
        synchronized (lock) {
            Seat seat = seat(robot);
            checkPlaying(seat);
            long ending = step;
            seat.arrivedFor = ending;
            lock.notifyAll();
            boolean interrupted = false;
            while (step == ending && !over && seat.playing) {
                try {
                    lock.wait();
                } catch (InterruptedException e) {
                    interrupted = true;
                }
            }
            if (interrupted) Thread.currentThread().interrupt();
            if (step == ending) checkPlaying(seat);
        }
    }

    /** The robot's program has ended: it stands still and is waited for no more. */
    void leave(int robot) {
        synchronized (lock) {
            seat(robot).standStill();
            lock.notifyAll();
        }
    }

    // ------------------------------------------------------------------ the match's side

    /** Starts the clock of the first step. */
    void open() {
        synchronized (lock) {
            stepOpened = System.nanoTime();
        }
    }

    /**
     * Waits for the robots of the current step, hands every robot's orders to advance (which
     * simulates the step and publishes it), then opens the next step and wakes the robots.
     */
    void playStep(Consumer<List<Orders>> advance) throws InterruptedException {
        synchronized (lock) {
            awaitArrivals();
            countMisses();
            advance.accept(takeOrders());
            step++;
            stepOpened = System.nanoTime();
            lock.notifyAll();
        }
    }

    /** After the last step: every "execute", waiting or to come, reports the match's end. */
    void finish() {
        synchronized (lock) {
            over = true;
            lock.notifyAll();
        }
    }

    boolean isOver() {
        synchronized (lock) {
            return over;
        }
    }

    int missed(int robot) {
        synchronized (lock) {
            return seat(robot).missed;
        }
    }

    boolean wasStopped(int robot) {
        synchronized (lock) {
            return seat(robot).stopped;
        }
    }

    // ------------------------------------------------------------------ internals

    private Seat seat(int robot) {
        Seat seat = seats.get(robot);
        if (seat == null) throw new IllegalArgumentException("no robot " + robot);
        return seat;
    }

    /** A stopped robot hears that it was stopped, also once the match is over. */
    private void checkPlaying(Seat seat) {
        if (seat.stopped) throw new RobotStoppedException(seat.id);
        if (over) throw new MatchOverException();
        if (!seat.playing) throw new RobotStoppedException(seat.id);
    }

    private boolean allArrived() {
        for (Seat seat : seats.values()) {
            if (seat.playing && seat.arrivedFor != step) return false;
        }
        return true;
    }

    private void awaitArrivals() throws InterruptedException {
        long limit = stepOpened + deadlineNanos;
        while (!allArrived()) {
            if (deadlineNanos == 0) {
                lock.wait();
                continue;
            }
            long left = limit - System.nanoTime();
            if (left <= 0) return;
            TimeUnit.NANOSECONDS.timedWait(lock, left);
        }
    }

    private void countMisses() {
        for (Seat seat : seats.values()) {
            if (!seat.playing) continue;
            if (seat.arrivedFor == step) {
                seat.missedInRow = 0;
                continue;
            }
            seat.missed++;
            seat.missedInRow++;
            if (seat.missedInRow >= maxMissedInRow) {
                seat.stopped = true;
                seat.standStill();
            }
        }
    }

    private List<Orders> takeOrders() {
        List<Orders> orders = new ArrayList<>(seats.size());
        for (Seat seat : seats.values()) {
            orders.add(new Orders(seat.id, seat.move, seat.turn, List.copyOf(seat.outbox)));
            seat.outbox.clear();
        }
        return orders;
    }
}
