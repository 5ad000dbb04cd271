package touchline.host.protocol;

import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.ByteBuffer;
import java.nio.channels.ReadableByteChannel;
import java.nio.channels.WritableByteChannel;
import java.util.List;
import touchline.host.robot.Adapter;
import touchline.host.robot.DebugConsole;
import touchline.host.robot.InfoConsole;
import touchline.host.robot.MatchOverException;
import touchline.host.robot.Message;
import touchline.host.robot.OperateConsole;
import touchline.host.robot.RobotLink;
import touchline.host.robot.RobotProgram;
import touchline.host.robot.RobotStoppedException;
import touchline.host.robot.Snapshot;

/**
 * The robot's side of the exchange with the match: on its channel (a pair of blocking channels)
 * it says whether the program loaded, receives the start and at last says how the program
 * ended; through its area it receives each step and answers with its orders. It plays the
 * program on the calling thread: "execute" writes the orders and blocks until the next step,
 * so the strategy's own thread does all the work and nothing is handed between threads.
 */
public final class RobotServer implements RobotLink {
    /** Builds the adapter object a strategy is given, from its robot's consoles. */
    @FunctionalInterface
    public interface AdapterFactory {
        Object create(int robotId, InfoConsole info, OperateConsole operate, DebugConsole debug);
    }

    public static final AdapterFactory PLAIN_ADAPTER =
            (id, info, operate, debug) -> new Adapter(info, operate, debug);

    /** Texts with which the strategy library reports the error that stopped its run. */
    private static final List<String> LIBRARY_ERRORS = List.of("strategy stopped",
            "unknow action : ");

    private final ReadableByteChannel in;
    private final WritableByteChannel out;
    private final RobotArea area;
    /** The number of the step last received. */
    private int stepNumber;
    private final Inbox inbox = new Inbox(Wire.MAX_CONTROL_BYTES);
    private final Encoder encoder = new Encoder();
    private final DebugConsole debug = new DebugConsole();
    private Wire.Start start;
    private volatile Snapshot snapshot;
    private int ended = -1;
    /** Whether "execute" has told the program once that the match is over. */
    private volatile boolean endTold;
    /** Ends a robot process whose program carries on after the end (null: just throw again). */
    private Runnable halt;
    /** Whether the program's ending has been sent (its own, or that it ignored the end). */
    private boolean endingSent;
    /** How long a program may take to return once told the match is over. */
    private static final long END_GRACE_MILLIS = 500;
    private final java.util.concurrent.CountDownLatch endCalled =
            new java.util.concurrent.CountDownLatch(1);

    /** Steps and orders go through area, everything else over the channels. */
    public RobotServer(ReadableByteChannel in, WritableByteChannel out, RobotArea area) {
        this.in = in;
        this.out = out;
        this.area = area;
    }

    public void loaded() throws IOException {
        encoder.clear();
        Wire.loaded(encoder);
        encoder.writeTo(out);
    }

    public void loadFailed(String error) throws IOException {
        encoder.clear();
        Wire.loadFailed(encoder, error.length() > Wire.MAX_REASON_CHARS
                ? error.substring(0, Wire.MAX_REASON_CHARS) : error);
        encoder.writeTo(out);
    }

    /**
     * In a robot process of its own: a program that calls "execute" again after being told
     * the match is over has caught the end (a C++ catch (...) around execute(), say) and would
     * loop on: it is reported stopped, and halt ends its process at once.
     */
    public void haltWhenEndIgnored(Runnable halt) {
        this.halt = halt;
        // Started now, before the strategy runs: it may leave no room for a thread later.
        Thread watch = new Thread(this::watchTheEnd, "touchline-robot-end");
        watch.setDaemon(true);
        watch.start();
    }

    /**
     * Watches that the program returns soon after it was told the match is over; one that has
     * not (it caught the end and plays on, in native code where "execute" no longer reaches
     * the host) is reported and its process ended.
     */
    private void watchTheEnd() {
        try {
            endCalled.await();
            Thread.sleep(END_GRACE_MILLIS);
        } catch (InterruptedException e) {
            return;
        }
        endIgnored();
    }

    /** Waits for the start and the kick-off step; false when the match ended first. */
    public boolean awaitStart() throws IOException {
        ByteBuffer message = inbox.receive(in);
        if (message == null || Wire.type(message) != Wire.START) return false;
        start = Wire.start(message);
        return nextStep();
    }

    /** Waits for the next step; false (ended set) when there is none. */
    private boolean nextStep() {
        int number = area.awaitStep(stepNumber);
        if (number < 0) {
            ended = -1 - number;
            return false;
        }
        stepNumber = number;
        snapshot = Wire.step(area.step(), start);
        return true;
    }

    /**
     * Plays the program to its end, then tells the match how it ended, with what it printed
     * and drew since its last "execute".
     */
    public void play(RobotProgram program, AdapterFactory adapters) {
        int id = start.robotId();
        InfoConsole info = new InfoConsole(id, start.totalTimes(), start.court(), this);
        OperateConsole operate = new OperateConsole(this);
        Object adapter = adapters.create(id, info, operate, debug);
        int ending;
        String reason = "";
        try {
            program.play(adapter);
            ending = ended == Wire.END_MATCH_OVER ? Wire.ENDED_FINISHED : Wire.ENDED_RETURNED;
            String error = libraryError();
            if (ending == Wire.ENDED_RETURNED && error != null) {
                ending = Wire.ENDED_FAILED;
                reason = error;
            }
        } catch (MatchOverException e) {
            ending = Wire.ENDED_FINISHED;
        } catch (RobotStoppedException e) {
            ending = Wire.ENDED_STOPPED;
        } catch (UncheckedIOException e) {
            return;  // the match is gone: there is no one left to tell
        } catch (Throwable e) {
            ending = Wire.ENDED_FAILED;
            reason = oneLine(e);
        }
        if (reason.length() > Wire.MAX_REASON_CHARS) {
            reason = reason.substring(0, Wire.MAX_REASON_CHARS);
        }
        synchronized (this) {
            if (endingSent) return;
            endingSent = true;
            try {
                encoder.clear();
                Wire.ended(encoder, ending, reason, snapshot.time(), debug.take());
                encoder.writeTo(out);
            } catch (IOException e) {
                // The match is gone.
            }
        }
    }

    /** The library prints why it stopped a run as the last text before returning. */
    private String libraryError() {
        List<String> prints = debug.pendingPrints();
        if (prints.isEmpty()) return null;
        String last = prints.get(prints.size() - 1);
        for (String prefix : LIBRARY_ERRORS) {
            if (last.startsWith(prefix)) return last;
        }
        return null;
    }

    @Override
    public Snapshot snapshot() {
        return snapshot;
    }

    @Override
    public void execute(double move, double turn, List<Message> messages) {
        if (ended >= 0) {
            if (endTold && ended == Wire.END_MATCH_OVER && halt != null) endIgnored();
            throw endOf(ended);
        }
        encoder.clear();
        Wire.orders(encoder, snapshot.time(), move, turn, messages, debug.take());
        area.answer(encoder.written(), stepNumber);
        encoder.clear();
        if (nextStep()) return;
        throw endOf(ended);
    }

    private void endIgnored() {
        synchronized (this) {
            if (endingSent) return;
            endingSent = true;
            try {
                Encoder ending = new Encoder();
                Wire.ended(ending, Wire.ENDED_STOPPED, "did not stop at the end of the match: "
                        + "does run() catch everything around execute()?", snapshot.time(),
                        debug.take());
                ending.writeTo(out);
            } catch (IOException e) {
                // The match is gone.
            }
        }
        halt.run();
    }

    private RuntimeException endOf(int why) {
        if (why == Wire.END_MATCH_OVER && !endTold) {
            endTold = true;
            endCalled.countDown();
        }
        return why == Wire.END_STOPPED ? new RobotStoppedException(start.robotId())
                                       : new MatchOverException();
    }

    /** An error's message on one line. */
    public static String oneLine(Throwable error) {
        String message = error.getMessage() == null ? error.getClass().getSimpleName()
                                                    : error.getMessage();
        return message.replaceAll("\\s+", " ").trim();
    }
}
