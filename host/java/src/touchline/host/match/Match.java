package touchline.host.match;

import java.io.IOException;
import java.net.StandardProtocolFamily;
import java.net.UnixDomainSocketAddress;
import java.nio.ByteBuffer;
import java.nio.channels.Pipe;
import java.nio.channels.ReadableByteChannel;
import java.nio.channels.SelectableChannel;
import java.nio.channels.SelectionKey;
import java.nio.channels.Selector;
import java.nio.channels.ServerSocketChannel;
import java.nio.channels.SocketChannel;
import java.nio.channels.WritableByteChannel;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.time.Duration;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.locks.LockSupport;
import java.util.stream.Stream;
import touchline.host.protocol.Encoder;
import touchline.host.protocol.Inbox;
import touchline.host.protocol.RobotServer;
import touchline.host.protocol.SharedExchange;
import touchline.host.protocol.Wire;
import touchline.host.robot.Ball;
import touchline.host.robot.DebugConsole;
import touchline.host.robot.Event;
import touchline.host.robot.HostList;
import touchline.host.robot.Message;
import touchline.host.robot.NativeStrategy;
import touchline.host.robot.Robot;
import touchline.host.robot.RobotProgram;
import touchline.host.robot.StrategyLoadException;
import touchline.host.robot.Team;

/**
 * One match: the simulation and one seat per robot. A robot plays in a process of its own (a
 * strategy library) or, for tests, on a thread of this process (a program); either way it
 * speaks the same messages over a channel. Robot processes take their steps and give their
 * orders through a shared exchange (a file every process maps) rather than their socket, which
 * carries the rest (loading, the start, endings). One thread, the match's, does everything
 * here: it sends each robot that waits the step it may see, waits for the robots' orders (up to
 * the deadline, or the watchdog), plays the step and publishes it. A robot that dies, fails or
 * hangs stands still; the others play on to the last step.
 */
public final class Match {
    /** A robot of a team: its name and what plays it. */
    public record Player(String name, Path library, RobotProgram program) {
        /** A strategy library, played in a robot process of its own. */
        public static Player library(String name, Path library) {
            return new Player(name, library, null);
        }

        /** A program played on a thread of this process. */
        public static Player program(String name, RobotProgram program) {
            return new Player(name, null, program);
        }
    }

    private static final long IN_PROCESS_STACK_BYTES = 8L << 20;
    private static final Duration LEAST_LOAD_TIME = Duration.ofSeconds(30);
    private static final int MAX_SOCKET_PATH = 100;
    /** How long the match sleeps for orders before it checks the robots' sockets. */
    private static final long SHARED_WAIT_SLICE_NANOS = 20_000_000L;
    /**
     * When robots outnumber the cores: how long the match polls for the last answers once a
     * core is free for it (the robot whose answer leaves one robot fewer than the cores playing
     * wakes it), yielding its core, before it sleeps on the exchange; and how long the robot
     * whose answer leaves a core idle polls for its next step. A core kept busy sees the next
     * step at once instead of halting and being woken (on a virtual machine a costly round
     * trip), and the robots queued for the cores meanwhile run one after another undisturbed.
     */
    private static final long SPIN_NANOS = 500_000L;
    /**
     * How long a robot polls for its next step before it sleeps, when every robot has a core of
     * its own: its core then never halts between steps, and the step is seen at once.
     */
    private static final long ROBOT_SPIN_NANOS = 200_000L;
    private long spinNanos;
    private int wakeAt;
    /** When the match began to poll for this step's last answers (0: not yet). */
    private long spinFrom;
    /** Where the shared exchange is made when the system offers memory-backed files. */
    private static final Path SHARED_MEMORY = Path.of("/dev/shm");

    /** What arrived from a robot and is written after the step it looked at. */
    private record Output(long time, DebugConsole.Output output) {}

    private static final class Seat {
        final int id;
        final int index;
        final int teamId;
        final Player player;
        RobotProcess process;
        SelectableChannel source;
        WritableByteChannel sink;
        SelectionKey key;
        /** Steps and orders go through the shared exchange; stepNumber: the last step sent. */
        boolean shared;
        int stepNumber;
        /** The last step whose orders were taken. */
        int taken;
        final Inbox inbox = new Inbox();
        boolean loaded;
        boolean playing;
        boolean arrived;
        boolean waiting;
        boolean closed;
        double move;
        double turn;
        List<Message> outbox = List.of();
        final List<Output> outputs = new ArrayList<>(2);
        RobotOutcome.Ending ending;
        String reason = "";
        int missed;
        int missedInRow;
        int droppedPrints;
        int droppedViews;

        Seat(int id, int teamId, Player player) {
            this.id = id;
            this.index = id - 1;
            this.teamId = teamId;
            this.player = player;
        }
    }

    private final MatchConfig config;
    private final Simulation simulation;
    private final List<Seat> seats = new ArrayList<>();
    private final Encoder encoder = new Encoder();
    private final Encoder worldEncoder = new Encoder();
    private volatile Selector selector;
    private volatile SharedExchange exchange;
    private Path exchangeFile;
    private ServerSocketChannel server;
    private Path folder;
    private long stepOpened;
    /** The last step's ball and teams, as sent to the robots and shown to the observer. */
    private Ball ball;
    private HostList<Team> teams;
    private boolean started;
    private boolean played;
    private volatile boolean interrupted;

    public Match(MatchConfig config, List<Player> home, List<Player> away) {
        this.config = config;
        simulation = new Simulation(config.settings, config.steps, config.seed, config.homeName,
                names(home), config.awayName, names(away));
        List<Integer> ids = simulation.robotIds();
        for (int i = 0; i < ids.size(); i++) {
            boolean isHome = i < home.size();
            Player player = isHome ? home.get(i) : away.get(i - home.size());
            seats.add(new Seat(ids.get(i),
                    isHome ? Simulation.HOME_TEAM_ID : Simulation.AWAY_TEAM_ID, player));
        }
        if (config.placement != null) simulation.place(config.placement);
    }

    private static List<String> names(List<Player> players) {
        List<String> names = new ArrayList<>(players.size());
        for (Player player : players) names.add(player.name());
        return names;
    }

    /** The match's world; read it on the thread that plays the match, or after play(). */
    public Simulation simulation() {
        return simulation;
    }

    /**
     * Starts every robot and waits until each has loaded its program, failed to, died or
     * overrun the watchdog (at least 30 s: JVMs start slowly on a busy machine). Returns the
     * load errors by robot id: robots that are not loaded stand still all match. Call it on
     * the thread that plays the match: robot processes end with the thread that started them.
     */
    public Map<Integer, String> start() throws IOException {
        if (started) throw new IllegalStateException("a match is started once");
        started = true;
        try {
            folder = Files.createTempDirectory("touchline-match-");
            if (socket().toString().length() > MAX_SOCKET_PATH) {
                // A socket's path is short on Linux (108 bytes): a deep TMPDIR cannot hold it.
                Files.delete(folder);
                folder = Files.createTempDirectory(Path.of("/tmp"), "touchline-match-");
            }
            selector = Selector.open();
            openExchange();
            for (Seat seat : seats) launch(seat);
            awaitLoaded();
        } catch (IOException | RuntimeException e) {
            close();
            throw e;
        }
        Map<Integer, String> errors = new LinkedHashMap<>();
        for (Seat seat : seats) {
            if (seat.ending == RobotOutcome.Ending.NOT_LOADED) errors.put(seat.id, seat.reason);
        }
        return errors;
    }

    /**
     * Plays the match once (starting it first if need be) and ends every robot. Returns at the
     * last step, or early when interrupted.
     */
    public MatchResult play() throws IOException {
        if (played) throw new IllegalStateException("a match is played once");
        played = true;
        if (!started) start();
        try {
            Map<Integer, List<Event>> events = simulation.begin();
            kickOff(world(), events);
            noteTime("first");
            publish(events);
            while (!simulation.isOver() && !interrupted) playStep();
            noteTime("last");
            finish();
        } finally {
            close();
        }
        return result();
    }

    /**
     * For the host benchmark (bench/host-bench.sh): with TOUCHLINE_TIMING_FILE set, the wall
     * clock times (seconds since the epoch) at which the first and the last step went to the
     * robots, one "first T" and one "last T" line.
     */
    private static final String TIMING_FILE = System.getenv("TOUCHLINE_TIMING_FILE");

    private static void noteTime(String what) {
        if (TIMING_FILE == null || TIMING_FILE.isEmpty()) return;
        java.time.Instant now = java.time.Instant.now();
        String line = String.format("%s %d.%09d%n", what, now.getEpochSecond(), now.getNano());
        try {
            Files.writeString(Path.of(TIMING_FILE), line, StandardOpenOption.CREATE,
                    StandardOpenOption.APPEND);
        } catch (IOException e) {
            System.err.println("touchline-match: " + TIMING_FILE + ": " + e.getMessage());
        }
    }

    /** Ends a started match without playing it: its robots are ended. */
    public void abandon() {
        interrupted = true;
        played = true;
        close();
    }

    /** Ends the match at the step being played, from any thread; play() then returns. */
    public void interrupt() {
        interrupted = true;
        Selector s = selector;
        if (s != null) s.wakeup();
        SharedExchange e = exchange;
        if (e != null) e.wakeMatch();
    }

    // ------------------------------------------------------------------ starting

    /**
     * Makes the shared exchange when robots play in processes, on a memory-backed file system
     * when there is one. Without the native bridge there is none: steps and orders then go over
     * the sockets (and the robots, lacking the bridge too, report it as their load error).
     */
    private void openExchange() throws IOException {
        if (seats.stream().noneMatch(s -> s.player.library() != null)) return;
        try {
            NativeStrategy.loadBridgeLibrary();
        } catch (StrategyLoadException e) {
            return;
        }
        Path where = Files.isDirectory(SHARED_MEMORY) && Files.isWritable(SHARED_MEMORY)
                ? SHARED_MEMORY
                : folder;
        exchangeFile = Files.createTempFile(where, "touchline-match-", ".exchange");
        exchange = SharedExchange.create(exchangeFile, seats.size());
        int cores = Runtime.getRuntime().availableProcessors();
        if (seats.size() > cores) {
            spinNanos = SPIN_NANOS;
            wakeAt = cores - 1;
            exchange.spin(SPIN_NANOS, cores - 2, wakeAt);
        } else {
            exchange.spin(ROBOT_SPIN_NANOS, seats.size(), 0);
        }
    }

    private void launch(Seat seat) throws IOException {
        if (seat.player.library() != null) {
            if (server == null) {
                server = ServerSocketChannel.open(StandardProtocolFamily.UNIX);
                server.bind(UnixDomainSocketAddress.of(socket()));
                server.configureBlocking(false);
                server.register(selector, SelectionKey.OP_ACCEPT);
            }
            seat.process = RobotProcess.start(seat.id, seat.player.library(), socket(), folder,
                    exchangeFile, seats.size(), config.robotJavaOptions);
            seat.shared = exchange != null;
            return;
        }
        Pipe toRobot = Pipe.open();
        Pipe toMatch = Pipe.open();
        seat.sink = toRobot.sink();
        attach(seat, toMatch.source());
        Thread thread = new Thread(null,
                () -> serveInProcess(seat.player.program(), toRobot.source(), toMatch.sink()),
                "touchline-robot-" + seat.id, IN_PROCESS_STACK_BYTES);
        // A program stuck in native code cannot be stopped; it must not keep the JVM alive.
        thread.setDaemon(true);
        thread.start();
    }

    private Path socket() {
        return folder.resolve("robots.sock");
    }

    private void serveInProcess(RobotProgram program, ReadableByteChannel in,
            WritableByteChannel out) {
        RobotServer robot = new RobotServer(in, out);
        try (in; out) {
            try {
                program.load();
            } catch (Exception | LinkageError e) {
                robot.loadFailed(RobotServer.oneLine(e));
                return;
            }
            robot.loaded();
            if (robot.awaitStart()) robot.play(program, config.adapters);
            program.close();
        } catch (IOException e) {
            // The match has ended.
        }
    }

    private void attach(Seat seat, SelectableChannel source) throws IOException {
        seat.source = source;
        source.configureBlocking(false);
        seat.key = source.register(selector, SelectionKey.OP_READ, seat);
    }

    private void awaitLoaded() throws IOException {
        Duration patience = config.watchdog.compareTo(LEAST_LOAD_TIME) > 0 ? config.watchdog
                                                                           : LEAST_LOAD_TIME;
        long limit = System.nanoTime() + patience.toNanos();
        while (!interrupted) {
            for (Seat seat : seats) {
                if (seat.key == null && seat.ending == null && seat.process != null
                        && !seat.process.isAlive()) {
                    end(seat, RobotOutcome.Ending.CRASHED, seat.process.death(config.crashFolder));
                }
            }
            if (seats.stream().allMatch(s -> s.loaded || s.ending != null)) break;
            long left = limit - System.nanoTime();
            if (left <= 0) {
                for (Seat seat : seats) {
                    if (!seat.loaded && seat.ending == null) {
                        stop(seat, "no answer within " + patience.toMillis() + " ms");
                    }
                }
                break;
            }
            selector.select(this::ready, Math.min(100, Math.max(1, left / 1_000_000)));
        }
        if (server != null) {
            server.close();
            Files.deleteIfExists(socket());
        }
        // Every robot that lives has mapped the exchange before greeting the match.
        deleteExchangeFile();
    }

    private void deleteExchangeFile() {
        if (exchangeFile == null) return;
        try {
            Files.deleteIfExists(exchangeFile);
            exchangeFile = null;
        } catch (IOException e) {
            // Tried again at the end of the match.
        }
    }

    private void kickOff(ByteBuffer world, Map<Integer, List<Event>> events) throws IOException {
        List<Wire.TeamRoster> rosters = new ArrayList<>();
        for (Team team : simulation.teams()) {
            List<Wire.RobotRoster> robots = new ArrayList<>();
            for (Robot r : team.getMembers()) {
                robots.add(new Wire.RobotRoster(r.getId(), r.getName(), r.getRadius(),
                        r.getMaxMoveVelocity(), r.getMaxTurnVelocity()));
            }
            rosters.add(new Wire.TeamRoster(team.getId(), team.getAttack(), team.getName(),
                    robots));
        }
        for (Seat seat : seats) {
            if (!seat.loaded || seat.ending != null) continue;
            seat.playing = true;
            encoder.clear();
            Wire.start(encoder, new Wire.Start(seat.id, simulation.totalTimes(),
                    simulation.court(), ball.getRadius(), ball.getNegativeAcceleration(), rosters));
            send(seat, encoder.written());
            seat.waiting = true;
        }
        sendSteps(world, events);
    }

    // ------------------------------------------------------------------ one step

    private void playStep() throws IOException {
        awaitArrivals();
        if (interrupted) {
            writeOutputs();
            return;
        }
        countMisses();
        writeOutputs();
        for (Seat seat : seats) {
            simulation.command(seat.id, seat.move, seat.turn);
            for (Message m : seat.outbox) simulation.message(seat.id, m.receiver(), m.text());
            seat.outbox = List.of();
        }
        Map<Integer, List<Event>> events = simulation.step();
        // The robots get the step first: they play it while the match records it.
        sendSteps(world(), events);
        publish(events);
    }

    /**
     * Waits for every robot's orders, up to the deadline (or the watchdog). Robots on the shared
     * exchange wake this thread once, when the last of them answers; a wait that ends without
     * every answer (a robot ended, died or is slow) checks the sockets before waiting again.
     */
    private void awaitArrivals() throws IOException {
        Duration wait = config.deadline != null ? config.deadline : config.watchdog;
        long limit = stepOpened + wait.toNanos();
        boolean waited = false;
        while (!interrupted) {
            Seat missing = null;
            boolean channelMissing = false;
            for (Seat seat : seats) {
                if (!seat.playing || seat.arrived || seat.closed) continue;
                if (seat.shared) {
                    receiveShared(seat);
                } else {
                    receive(seat);
                }
                if (seat.playing && !seat.arrived && !seat.closed) {
                    missing = seat;
                    channelMissing |= !seat.shared;
                }
            }
            if (missing == null) return;
            long left = limit - System.nanoTime();
            if (left <= 0) return;
            if (channelMissing) {
                // A robot on a thread of this process answers over its pipe.
                long millis = Math.max(1, (left + 999_999) / 1_000_000);
                selector.select(this::ready, exchange != null ? 1 : millis);
                continue;
            }
            if (waited) {
                waited = false;
                if (selector.selectNow(this::ready) > 0) continue;
            }
            if (spinNanos > 0 && exchange.pending() <= wakeAt) {
                long now = System.nanoTime();
                if (spinFrom == 0) spinFrom = now;
                if (now - spinFrom < spinNanos) {
                    Thread.yield();
                    continue;
                }
            }
            exchange.awaitAnswers(Math.min(left, SHARED_WAIT_SLICE_NANOS));
            waited = true;
        }
    }

    /** Takes a robot's orders from the shared exchange, if it has answered its step. */
    private void receiveShared(Seat seat) {
        if (seat.taken == seat.stepNumber || !exchange.answered(seat.index, seat.stepNumber)) {
            return;
        }
        seat.taken = seat.stepNumber;
        try {
            handle(seat, exchange.orders(seat.index));
        } catch (RuntimeException e) {
            broken(seat, "a broken message: " + e.getMessage());
        }
    }

    /**
     * A robot that has not ended its step misses it. Without a deadline only the watchdog
     * ends the wait: such a robot hangs, and is stopped at once.
     */
    private void countMisses() {
        for (Seat seat : seats) {
            if (!seat.playing) continue;
            if (seat.arrived) {
                seat.missedInRow = 0;
                seat.arrived = false;
                seat.waiting = true;
                continue;
            }
            if (config.deadline == null) {
                stop(seat, "no answer within " + config.watchdog.toMillis() + " ms");
                continue;
            }
            seat.missed++;
            seat.missedInRow++;
            if (seat.missedInRow >= Math.max(1, config.maxMissedInRow)) {
                String reason = "missed " + seat.missedInRow + " steps in a row";
                end(seat, RobotOutcome.Ending.STOPPED, reason);
                tell(seat, Wire.END_STOPPED);
            }
        }
    }

    private void writeOutputs() {
        for (Seat seat : seats) {
            for (Output o : seat.outputs) {
                if (!o.output().prints().isEmpty() || !o.output().views().isEmpty()) {
                    config.debugObserver.debug(seat.id, o.time(), o.output());
                }
            }
            seat.outputs.clear();
        }
    }

    /** The step's world as every robot is sent it. */
    private ByteBuffer world() {
        ball = simulation.ball();
        teams = simulation.teams();
        worldEncoder.clear();
        Wire.world(worldEncoder, simulation.time(), ball, teams);
        return worldEncoder.written();
    }

    /** Shows the step world() encoded to the observer (the replay, the progress bar). */
    private void publish(Map<Integer, List<Event>> events) {
        Map<Integer, List<Event>> lists = new LinkedHashMap<>();
        events.forEach((id, list) -> lists.put(id, HostList.copyOf(list)));
        config.observer.stepped(simulation.time(), ball, teams, Map.copyOf(lists));
    }

    /**
     * Sends each robot that waits its step. Robots on the shared exchange get every step
     * written first, then one call wakes them all; the match then waits for every one still playing
     * (a late robot's answer to an earlier step counts too).
     */
    private void sendSteps(ByteBuffer world, Map<Integer, List<Event>> events) {
        SharedExchange shared = exchange;
        if (shared != null) {
            int expected = 0;
            for (Seat seat : seats) {
                if (seat.shared && seat.playing && !seat.closed) expected++;
            }
            shared.expect(expected);
        }
        boolean woken = false;
        for (Seat seat : seats) {
            if (!seat.playing || !seat.waiting) continue;
            encoder.clear();
            Wire.step(encoder, world, events.get(seat.id));
            if (seat.shared) {
                if (seat.closed) continue;
                shared.sendStep(seat.index, encoder.written(), ++seat.stepNumber);
                woken = true;
            } else {
                send(seat, encoder.written());
            }
            seat.waiting = false;
        }
        if (woken) shared.wake();
        stepOpened = System.nanoTime();
        spinFrom = 0;
    }

    /** Tells a robot that it gets no next step, and why (Wire.END_...). */
    private void tell(Seat seat, int why) {
        if (seat.shared) {
            if (!seat.closed) {
                exchange.end(seat.index, seat.stepNumber, why);
                exchange.wake();
            }
            return;
        }
        encoder.clear();
        Wire.end(encoder, why);
        send(seat, encoder.written());
    }

    // ------------------------------------------------------------------ the robots' messages

    private void ready(SelectionKey key) {
        try {
            if (key.isAcceptable()) {
                SocketChannel channel = server.accept();
                if (channel == null) return;
                channel.configureBlocking(false);
                channel.register(selector, SelectionKey.OP_READ, new Inbox());
                return;
            }
            if (key.attachment() instanceof Inbox stranger) {
                hello(key, stranger);
                return;
            }
            receive((Seat) key.attachment());
        } catch (IOException e) {
            if (key.attachment() instanceof Seat seat) {
                broken(seat, e.getMessage());
            } else {
                closeQuietly(key.channel());
            }
        }
    }

    /** A new connection names its robot first; it then becomes that robot's channel. */
    private void hello(SelectionKey key, Inbox inbox) throws IOException {
        SocketChannel channel = (SocketChannel) key.channel();
        if (!inbox.fill(channel)) {
            key.cancel();
            channel.close();
            return;
        }
        ByteBuffer message = inbox.poll();
        if (message == null) return;
        int id = Wire.type(message) == Wire.HELLO ? Wire.hello(message) : 0;
        Seat seat = id >= 1 && id <= seats.size() ? seats.get(id - 1) : null;
        if (seat == null || seat.process == null || seat.source != null) {
            key.cancel();
            channel.close();
            return;
        }
        seat.sink = channel;
        seat.source = channel;
        seat.key = key;
        key.attach(seat);
        // Whatever followed the greeting in the same read.
        for (ByteBuffer next; (next = inbox.poll()) != null;) handle(seat, next);
    }

    private void receive(Seat seat) throws IOException {
        boolean open;
        try {
            open = seat.inbox.fill((ReadableByteChannel) seat.source);
        } catch (IOException e) {
            open = false;
        }
        try {
            for (ByteBuffer message; (message = seat.inbox.poll()) != null;) handle(seat, message);
        } catch (RuntimeException e) {
            throw new IOException("a broken message: " + e.getMessage(), e);
        }
        if (!open) gone(seat);
    }

    private void handle(Seat seat, ByteBuffer message) {
        if (seat.closed) return;
        switch (Wire.type(message)) {
            case Wire.LOADED -> seat.loaded = true;
            case Wire.LOAD_FAILED -> end(seat, RobotOutcome.Ending.NOT_LOADED,
                    Wire.loadFailed(message));
            case Wire.ORDERS -> {
                Wire.Orders orders = Wire.orders(message);
                keep(seat, orders.time(), orders.output());
                if (!seat.playing) return;
                seat.move = orders.move();
                seat.turn = orders.turn();
                seat.outbox = orders.messages();
                seat.arrived = true;
            }
            case Wire.ENDED -> {
                // Orders written to the exchange before the ending come first.
                if (seat.shared) receiveShared(seat);
                Wire.Ended ended = Wire.ended(message);
                keep(seat, ended.time(), ended.output());
                end(seat, switch (ended.ending()) {
                    case Wire.ENDED_FINISHED -> RobotOutcome.Ending.FINISHED;
                    case Wire.ENDED_RETURNED -> RobotOutcome.Ending.RETURNED;
                    case Wire.ENDED_STOPPED -> RobotOutcome.Ending.STOPPED;
                    default -> RobotOutcome.Ending.FAILED;
                }, ended.reason());
            }
            default -> throw new IllegalArgumentException("unexpected message "
                    + Wire.type(message));
        }
    }

    private void keep(Seat seat, long time, DebugConsole.Output output) {
        if (output.isEmpty()) return;
        seat.droppedPrints += output.droppedPrints();
        seat.droppedViews += output.droppedViews();
        seat.outputs.add(new Output(time, output));
    }

    /** The robot's channel has ended: unless it said how it ended, its process died. */
    private void gone(Seat seat) {
        if (seat.shared && seat.ending == null) receiveShared(seat);
        release(seat);
        if (seat.ending != null) return;
        if (seat.process != null) {
            end(seat, RobotOutcome.Ending.CRASHED, seat.process.death(config.crashFolder));
        } else {
            end(seat, RobotOutcome.Ending.FAILED, "its program ended without a word");
        }
    }

    private void broken(Seat seat, String why) {
        stop(seat, "the robot broke the exchange with the match: " + why);
    }

    /** Stops a robot that does not answer: its process is ended, a thread is told. */
    private void stop(Seat seat, String reason) {
        end(seat, RobotOutcome.Ending.STOPPED, reason);
        if (seat.process != null) {
            seat.process.kill();
            release(seat);
        } else if (seat.sink != null) {
            tell(seat, Wire.END_STOPPED);
        }
    }

    /** The robot plays no more: it stands still, and is waited for no more. */
    private void end(Seat seat, RobotOutcome.Ending ending, String reason) {
        if (seat.ending != null) return;
        seat.ending = ending;
        seat.reason = reason == null ? "" : reason;
        seat.playing = false;
        seat.arrived = false;
        seat.move = 0;
        seat.turn = 0;
        seat.outbox = List.of();
    }

    private void send(Seat seat, ByteBuffer message) {
        if (seat.closed || seat.sink == null) return;
        try {
            long patience = System.nanoTime() + config.watchdog.toNanos();
            while (message.hasRemaining()) {
                if (seat.sink.write(message) == 0) {
                    if (System.nanoTime() > patience) throw new IOException("it reads nothing");
                    LockSupport.parkNanos(50_000);
                }
            }
        } catch (IOException e) {
            // A robot that has gone is noticed by its channel's end.
            if (seat.ending == null && seat.process == null) broken(seat, e.getMessage());
        }
    }

    private void release(Seat seat) {
        if (seat.closed) return;
        seat.closed = true;
        if (seat.key != null) seat.key.cancel();
        closeQuietly(seat.source);
        closeQuietly(seat.sink);
    }

    // ------------------------------------------------------------------ the end

    /**
     * Tells every robot still playing that the match is over and waits, up to the end grace,
     * for each to end; an interrupted match ends its robots at once.
     */
    private void finish() throws IOException {
        writeOutputs();
        if (interrupted) return;
        for (Seat seat : seats) {
            if (seat.playing) tell(seat, Wire.END_MATCH_OVER);
        }
        long limit = System.nanoTime() + config.endGrace.toNanos();
        while (seats.stream().anyMatch(s -> s.playing)) {
            long left = limit - System.nanoTime();
            if (left <= 0) break;
            selector.select(this::ready, Math.max(1, left / 1_000_000));
        }
        writeOutputs();
    }

    private void close() {
        for (Seat seat : seats) {
            if (seat.process != null && !interrupted && seat.ending != null) seat.process.end(2000);
            if (seat.process != null) seat.process.kill();
            release(seat);
        }
        for (Seat seat : seats) {
            if (seat.process != null) seat.process.end(2000);
        }
        closeQuietly(server);
        closeQuietly(selector);
        deleteExchangeFile();
        deleteFolder();
    }

    private void deleteFolder() {
        if (folder == null) return;
        try (Stream<Path> files = Files.walk(folder)) {
            for (Path file : files.sorted(Comparator.reverseOrder()).toList()) {
                Files.deleteIfExists(file);
            }
        } catch (IOException e) {
            // Nothing more can be done about a file the system will not delete.
        }
    }

    private static void closeQuietly(AutoCloseable closeable) {
        if (closeable == null) return;
        try {
            closeable.close();
        } catch (Exception e) {
            // Closing is all that was asked.
        }
    }

    private MatchResult result() {
        List<RobotOutcome> outcomes = new ArrayList<>();
        for (Seat s : seats) {
            RobotOutcome.Ending ending = s.ending != null ? s.ending : RobotOutcome.Ending.RUNNING;
            outcomes.add(new RobotOutcome(s.id, s.player.name(), s.teamId, ending, s.reason,
                    s.missed, s.droppedPrints, s.droppedViews));
        }
        return new MatchResult(simulation.time(), List.copyOf(outcomes), interrupted);
    }
}
