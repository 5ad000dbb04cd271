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
 * The robot's side of the exchange with the match, over a pair of blocking channels: it says
 * whether the program loaded, receives the start and each step, and plays the program on the
 * calling thread. Its "execute" writes the orders and blocks reading the next step, so the
 * strategy's own thread does all the work: nothing is handed between threads.
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
    /** Where steps and orders go in a robot process; null: over the channels. */
    private final SharedExchange shared;
    private final int index;
    /** The number of the step last received through shared, and whether it is unanswered. */
    private int stepNumber;
    private boolean holding;
    private final Inbox inbox = new Inbox();
    private final Encoder encoder = new Encoder();
    private final DebugConsole debug = new DebugConsole();
    private Wire.Start start;
    private volatile Snapshot snapshot;
    private int ended = -1;

    public RobotServer(ReadableByteChannel in, WritableByteChannel out) {
        this(in, out, null, 0);
    }

    /** Steps and orders go through shared (robot index), everything else over the channels. */
    public RobotServer(ReadableByteChannel in, WritableByteChannel out, SharedExchange shared,
            int index) {
        this.in = in;
        this.out = out;
        this.shared = shared;
        this.index = index;
    }

    public void hello(int robotId) throws IOException {
        Wire.hello(encoder, robotId);
        encoder.writeTo(out);
    }

    public void loaded() throws IOException {
        Wire.loaded(encoder);
        encoder.writeTo(out);
    }

    public void loadFailed(String error) throws IOException {
        Wire.loadFailed(encoder, error);
        encoder.writeTo(out);
    }

    /** Waits for the start and the kick-off step; false when the match ended first. */
    public boolean awaitStart() throws IOException {
        ByteBuffer message = inbox.receive(in);
        if (message == null || Wire.type(message) != Wire.START) return false;
        start = Wire.start(message);
        if (shared != null) return nextSharedStep();
        message = inbox.receive(in);
        if (message == null || Wire.type(message) != Wire.STEP) return false;
        snapshot = Wire.step(message, start);
        return true;
    }

    /** Waits for the next step through shared; false (ended set) when there is none. */
    private boolean nextSharedStep() {
        int number = shared.awaitStep(index, stepNumber);
        if (number < 0) {
            ended = -1 - number;
            return false;
        }
        stepNumber = number;
        snapshot = Wire.step(shared.step(index), start);
        holding = true;
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
        try {
            Wire.ended(encoder, ending, reason, snapshot.time(), debug.take());
            encoder.writeTo(out);
        } catch (IOException e) {
            // The match is gone.
        }
        // The match waits for this robot's orders no more: it reads the ending instead.
        if (holding) {
            holding = false;
            shared.arrive();
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
        if (ended >= 0) throw endOf(ended);
        if (shared != null) {
            encoder.clear();
            Wire.orders(encoder, snapshot.time(), move, turn, messages, debug.take());
            holding = false;
            shared.answer(index, encoder.written(), stepNumber);
            encoder.clear();
            if (nextSharedStep()) return;
            throw endOf(ended);
        }
        try {
            Wire.orders(encoder, snapshot.time(), move, turn, messages, debug.take());
            encoder.writeTo(out);
            ByteBuffer message = inbox.receive(in);
            if (message == null) {
                ended = Wire.END_MATCH_OVER;
            } else if (Wire.type(message) == Wire.STEP) {
                snapshot = Wire.step(message, start);
                return;
            } else {
                message.get();
                ended = message.get();
            }
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
        throw endOf(ended);
    }

    private RuntimeException endOf(int why) {
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
