package touchline.host.match;

import java.nio.ByteBuffer;
import java.util.List;
import touchline.host.protocol.Wire;
import touchline.host.robot.DebugConsole;

/**
 * The match's judge of its robots: it reads what each robot sends (on its channel, and its
 * orders in its area), checks every message against the exchange's rules and limits, charges
 * each robot its thinking time against its time bank, and ends robots: a robot that breaks a
 * rule, spends its bank, dies or closes its channel is stopped or told crashed, stands still
 * from the next step on, and is waited for no more. It runs on the match's thread.
 */
final class Referee {
    /**
     * How long a robot whose channel ended may take to be told dead (by its first process)
     * before it is taken to have closed its channel, and stopped.
     */
    private static final long DEATH_GRACE_NANOS = 1_000_000_000L;

    private final MatchConfig config;
    private final Simulation simulation;
    private final Pacer pacer;
    private ByteBuffer orders;

    Referee(MatchConfig config, Simulation simulation, Pacer pacer) {
        this.config = config;
        this.simulation = simulation;
        this.pacer = pacer;
    }

    /** What the robot's channel brought, and its orders if it has answered its step. */
    void receive(Seat seat) {
        for (ByteBuffer message; seat.ending == null && (message = seat.channel.poll()) != null;) {
            handle(seat, message);
        }
        if (seat.playing && !seat.arrived) takeOrders(seat);
        if (seat.ending == null) {
            String closed = seat.channel.closed();
            if (closed != null) gone(seat, closed);
        }
    }

    /** Takes a robot's orders from its area, if it has answered its step. */
    void takeOrders(Seat seat) {
        if (seat.taken == seat.stepNumber || seat.area().answer() != seat.stepNumber) return;
        seat.taken = seat.stepNumber;
        try {
            ByteBuffer message = seat.area().copyOrders(orders());
            if (Wire.type(message) != Wire.ORDERS) {
                throw new Wire.BrokenMessage("orders of message type " + Wire.type(message));
            }
            Wire.Orders orders = Wire.orders(message);
            if (orders.time() != seat.stepTime) {
                throw new Wire.BrokenMessage("orders for step " + orders.time()
                        + " when it was sent step " + seat.stepTime);
            }
            pacer.answered(seat, seat.area().answerTime());
            keep(seat, orders.time(), orders.output());
            seat.move = orders.move();
            seat.turn = orders.turn();
            seat.outbox = orders.messages();
            seat.arrived = true;
        } catch (RuntimeException | OutOfMemoryError e) {
            broken(seat, e.getMessage());
        }
    }

    private ByteBuffer orders() {
        if (orders == null) orders = ByteBuffer.allocate(Wire.MAX_ORDERS_BYTES);
        return orders;
    }

    /**
     * Charges the robots the match waited for with the time it waited, shared among them: a
     * robot's thinking time is the time by which it held the match up, not the time it spent
     * queueing for a core behind the others.
     */
    static void charge(List<Seat> waited, long nanos) {
        if (waited.isEmpty() || nanos <= 0) return;
        long share = nanos / waited.size();
        for (Seat seat : waited) seat.thinking += share;
    }

    /** Whether the robot has spent its time bank; if so it is stopped. */
    boolean overdrawn(Seat seat) {
        if (seat.thinking <= allowance(seat)) return false;
        stop(seat, "time bank spent at step " + seat.stepTime + " (" + config.timeBank.toMillis()
                + " ms, and " + config.timePerStep.toMillis() + " ms a step)");
        return true;
    }

    private long allowance(Seat seat) {
        long perStep = config.timePerStep.toNanos();
        long steps = Math.min(seat.stepsSent, Long.MAX_VALUE / Math.max(1, perStep));
        return config.timeBank.toNanos() + steps * perStep;
    }

    /**
     * The time at which the first of these robots would overdraw its time bank, if the match
     * went on waiting for them all.
     */
    long bankLimit(List<Seat> missing, long now) {
        long first = Long.MAX_VALUE;
        for (Seat seat : missing) {
            long left = Math.min(allowance(seat) - seat.thinking, Long.MAX_VALUE / 64);
            first = Math.min(first, now + left * missing.size() + 1);
        }
        return first;
    }

    /** Tells a robot that it gets no next step, and why (Wire.END_...). */
    void tell(Seat seat, int why) {
        if (seat.released || seat.channel == null) return;
        seat.area().end(seat.stepNumber, why);
    }

    private void handle(Seat seat, ByteBuffer message) {
        try {
            switch (Wire.type(message)) {
                case Wire.LOADED -> {
                    if (seat.loaded) throw new Wire.BrokenMessage("loaded twice");
                    seat.loaded = true;
                }
                case Wire.LOAD_FAILED -> {
                    if (seat.loaded) throw new Wire.BrokenMessage("a load error once loaded");
                    end(seat, RobotOutcome.Ending.NOT_LOADED, Wire.loadFailed(message));
                }
                case Wire.ENDED -> {
                    if (!seat.playing) throw new Wire.BrokenMessage("an ending before the start");
                    // Orders answered before the ending come first.
                    takeOrders(seat);
                    Wire.Ended ended = Wire.ended(message);
                    if (ended.time() != seat.stepTime) {
                        throw new Wire.BrokenMessage("an ending at step " + ended.time()
                                + " when it was sent step " + seat.stepTime);
                    }
                    keep(seat, ended.time(), ended.output());
                    end(seat, switch (ended.ending()) {
                        case Wire.ENDED_FINISHED -> RobotOutcome.Ending.FINISHED;
                        case Wire.ENDED_RETURNED -> RobotOutcome.Ending.RETURNED;
                        case Wire.ENDED_STOPPED -> RobotOutcome.Ending.STOPPED;
                        default -> RobotOutcome.Ending.FAILED;
                    }, ended.reason());
                }
                default -> throw new Wire.BrokenMessage("a message of type "
                        + Wire.type(message) + " on its channel");
            }
        } catch (RuntimeException | OutOfMemoryError e) {
            broken(seat, e.getMessage());
        }
    }

    private void keep(Seat seat, long time, DebugConsole.Output output) {
        if (output.isEmpty()) return;
        seat.droppedPrints += output.droppedPrints();
        seat.droppedViews += output.droppedViews();
        seat.outputs.add(new Seat.Output(time, output));
    }

    /**
     * The robot's channel has ended (how: "" if it simply closed, else how the robot broke
     * it): unless the robot said how it ended, its process died (its first process tells how)
     * or it closed the channel and lives on: it answered a step sent since, or was not told
     * dead within a second.
     */
    private void gone(Seat seat, String how) {
        if (seat.playing && !seat.arrived) takeOrders(seat);
        if (seat.ending != null) {
            release(seat);
            return;
        }
        if (!how.isEmpty()) {
            broken(seat, how);
            return;
        }
        if (seat.process == null) {
            end(seat, RobotOutcome.Ending.FAILED, "its program ended without a word");
            release(seat);
            return;
        }
        long now = System.nanoTime();
        if (seat.channelEnded == 0) {
            seat.channelEnded = now;
            seat.stepAtChannelEnd = seat.stepNumber;
        }
        String death = seat.process.death(config.crashFolder);
        if (death != null) {
            end(seat, RobotOutcome.Ending.CRASHED, death);
            release(seat);
        } else if (seat.taken > seat.stepAtChannelEnd
                || now - seat.channelEnded > DEATH_GRACE_NANOS) {
            stop(seat, "closed its channel to the match");
        }
    }

    private void broken(Seat seat, String why) {
        stop(seat, "broke the exchange: " + (why == null ? "a broken message" : why));
    }

    /** Stops a robot: its process is ended, a thread is told. */
    void stop(Seat seat, String reason) {
        end(seat, RobotOutcome.Ending.STOPPED, reason);
        if (seat.process != null) {
            seat.process.kill();
            release(seat);
        } else {
            tell(seat, Wire.END_STOPPED);
        }
    }

    /** The robot plays no more: it stands still, and is waited for no more. */
    void end(Seat seat, RobotOutcome.Ending ending, String reason) {
        if (seat.ending != null) return;
        seat.ending = ending;
        seat.reason = reason == null ? "" : reason;
        seat.playing = false;
        seat.arrived = false;
        seat.move = 0;
        seat.turn = 0;
        seat.outbox = List.of();
        if (simulation.isOver()) return;
        // Its orders shape no step from the one after the current one: from then on it stands
        // still (a robot that never got a step stands still all match).
        long stillFrom = seat.stepsSent == 0 ? 0 : simulation.time() + 1;
        config.endingObserver.ended(seat.id, stillFrom, ending, seat.reason);
    }

    void release(Seat seat) {
        if (seat.released) return;
        seat.released = true;
        if (seat.channel != null) seat.channel.close();
    }
}
