package touchline.host.match;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.channels.Pipe;
import java.nio.channels.ReadableByteChannel;
import java.nio.channels.WritableByteChannel;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.time.Duration;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import touchline.host.protocol.Encoder;
import touchline.host.protocol.MatchWaiter;
import touchline.host.protocol.RobotArea;
import touchline.host.protocol.RobotServer;
import touchline.host.protocol.Wire;
import touchline.host.robot.Ball;
import touchline.host.robot.Event;
import touchline.host.robot.HostList;
import touchline.host.robot.Message;
import touchline.host.robot.NativeStrategy;
import touchline.host.robot.Robot;
import touchline.host.robot.RobotProgram;
import touchline.host.robot.StrategyLoadException;
import touchline.host.robot.Team;
import touchline.host.sandbox.Sandbox;

/**
 * One match: the simulation and one seat per robot. A robot plays in a process of its own (a
 * strategy library, sealed in a sandbox where the machine allows) or, for tests, on a thread of
 * this process (a program); either way it has an area of its own for its steps and orders and
 * a channel for the rest (loading, the start, its ending). One thread, the match's, does
 * everything here: it sends each robot that waits the step it may see, waits for the robots'
 * orders (up to the deadline, the watchdog or the robot's time bank), plays the step and
 * publishes it. Nothing a robot writes is trusted: the Referee reads and checks every message
 * against its limits, and stops a robot that breaks one. A robot that dies, fails or hangs
 * stands still; the others play on to the last step.
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
    /** How long the match sleeps at most before it looks at every robot again. */
    private static final long WAIT_SLICE_NANOS = 20_000_000L;
    /** How many times the match yields its core before it looks at its robots again. */
    private static final int POLL_TURNS = 8;
    private final MatchConfig config;
    private final Simulation simulation;
    private final List<Seat> seats = new ArrayList<>();
    private final Encoder encoder = new Encoder();
    private final Encoder worldEncoder = new Encoder();
    /** How the match sleeps; made once the bridge is loaded. */
    private volatile MatchWaiter waiter;
    private final Pacer pacer;
    private final Referee referee;
    private final RobotArea.Wakes wakes;
    private Sandbox sandbox;
    private Path folder;
    private long stepOpened;
    /** The last step's ball and teams, as sent to the robots and shown to the observer. */
    private Ball ball;
    private HostList<Team> teams;
    private boolean started;
    private boolean played;
    private volatile boolean interrupted;

    public Match(MatchConfig config, List<Player> home, List<Player> away) {
        if (home.size() > Wire.MAX_TEAM || away.size() > Wire.MAX_TEAM) {
            throw new IllegalArgumentException("a team has at most " + Wire.MAX_TEAM + " robots");
        }
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
        pacer = new Pacer(Runtime.getRuntime().availableProcessors(), seats.size());
        wakes = new RobotArea.Wakes(seats.size());
        referee = new Referee(config, simulation, pacer);
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
     * How this match's robot processes are started (known once it has started): whether they
     * are sealed, and if not why.
     */
    public Sandbox sandbox() {
        return sandbox;
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
            folder = RunFolder.create("match");
            try {
                NativeStrategy.loadBridgeLibrary();
            } catch (StrategyLoadException e) {
                // No robot can be reached without the bridge: none plays.
                for (Seat seat : seats) {
                    referee.end(seat, RobotOutcome.Ending.NOT_LOADED, e.getMessage());
                }
                return loadErrors();
            }
            waiter = new MatchWaiter(seats.size());
            if (seats.stream().anyMatch(s -> s.player.library() != null)) {
                sandbox = config.sandbox != null ? config.sandbox : Sandbox.detect();
                if (config.sandboxRequired && !sandbox.sealed()) {
                    throw new Sandbox.Unavailable(sandbox.reason());
                }
            }
            for (Seat seat : seats) launch(seat);
            awaitLoaded();
        } catch (IOException | RuntimeException e) {
            close();
            throw e;
        }
        return loadErrors();
    }

    private Map<Integer, String> loadErrors() {
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
            long half = simulation.totalTimes() / 2;
            while (!simulation.isOver() && !interrupted) {
                playStep();
                if (simulation.time() == half) noteTime("half");
            }
            noteTime("last");
            finish();
        } finally {
            close();
        }
        return result();
    }

    /**
     * For the host benchmarks (bench/host-bench.sh, bench/floor-bench.sh): with
     * TOUCHLINE_TIMING_FILE set, the wall clock times (seconds since the epoch) at which the
     * first step went to the robots, at which half the match's steps had been played and at
     * which the last step had been, one "first T", one "half T" and one "last T" line.
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
        MatchWaiter w = waiter;
        if (w != null) w.post();
    }

    // ------------------------------------------------------------------ starting

    private void launch(Seat seat) throws IOException {
        if (seat.player.library() != null) {
            try {
                seat.process = RobotProcess.start(seat.id, seat.player.library(), folder,
                        sandbox, config.limits, config.robotJavaOptions, waiter);
            } catch (IOException e) {
                referee.end(seat, RobotOutcome.Ending.NOT_LOADED, "cannot start its process: "
                        + e.getMessage());
                return;
            }
            seat.channel = seat.process.channel();
            return;
        }
        Pipe toRobot = Pipe.open();
        Pipe toMatch = Pipe.open();
        RobotArea area = RobotArea.inProcess();
        seat.channel = RobotChannel.open("touchline-robot-channel-" + seat.id, area,
                toMatch.source(), toRobot.sink(), waiter);
        Thread thread = new Thread(null, () -> serveInProcess(seat.player.program(),
                toRobot.source(), toMatch.sink(), area), "touchline-robot-" + seat.id,
                IN_PROCESS_STACK_BYTES);
        // A program stuck in native code cannot be stopped; it must not keep the JVM alive.
        thread.setDaemon(true);
        thread.start();
    }

    private void serveInProcess(RobotProgram program, ReadableByteChannel in,
            WritableByteChannel out, RobotArea area) {
        RobotServer robot = new RobotServer(in, out, area);
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

    private void awaitLoaded() {
        Duration patience = config.watchdog.compareTo(LEAST_LOAD_TIME) > 0 ? config.watchdog
                                                                           : LEAST_LOAD_TIME;
        long limit = System.nanoTime() + patience.toNanos();
        while (!interrupted) {
            waiter.begin();
            for (Seat seat : seats) {
                if (seat.ending == null) referee.receive(seat);
            }
            if (seats.stream().allMatch(s -> s.loaded || s.ending != null)) break;
            long left = limit - System.nanoTime();
            if (left <= 0) {
                for (Seat seat : seats) {
                    if (!seat.loaded && seat.ending == null) {
                        referee.stop(seat, "no answer within " + patience.toMillis() + " ms");
                    }
                }
                break;
            }
            waiter.await(Math.min(left, 100_000_000L));
        }
    }

    private void kickOff(ByteBuffer world, Map<Integer, List<Event>> events) {
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
            try {
                seat.channel.send(encoder.written());
            } catch (IOException e) {
                // A robot that has gone is noticed by its channel's end.
            }
            seat.waiting = true;
        }
        sendSteps(world, events);
    }

    // ------------------------------------------------------------------ one step

    private void playStep() {
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
     * Waits for every robot's orders, up to the deadline (or the watchdog), stopping a robot
     * whose time bank runs out meanwhile. The match sleeps while the robots play, woken by an
     * answer it asked for or by a message from a robot's channel (Pacer decides which answers,
     * and when it polls instead).
     */
    private void awaitArrivals() {
        if (waiter == null) return;
        Duration wait = config.deadline != null ? config.deadline : config.watchdog;
        long limit = stepOpened + wait.toNanos();
        long charged = stepOpened;
        List<Seat> missing = List.of();
        while (!interrupted) {
            waiter.begin();
            long now = System.nanoTime();
            Referee.charge(missing, now - charged);
            charged = now;
            missing = new ArrayList<>(seats.size());
            for (Seat seat : seats) {
                if (!seat.playing || seat.arrived) continue;
                referee.receive(seat);
                if (seat.playing && !seat.arrived && !referee.overdrawn(seat)) missing.add(seat);
            }
            if (missing.isEmpty()) return;
            long left = Math.min(limit, referee.bankLimit(missing, now)) - now;
            if (left <= 0) return;
            List<Seat> wakers = pacer.wakers(missing, now);
            if (wakers == null) {
                pollAnswers(missing);
                continue;
            }
            for (Seat seat : wakers) seat.area().wakeMatch(true);
            boolean answered = false;
            for (Seat seat : missing) {
                int answer = seat.area().answer();
                if (answer == seat.stepNumber) answered = true;
                waiter.add(seat.area(), answer);
            }
            if (!answered) waiter.await(Math.min(left, WAIT_SLICE_NANOS));
            for (Seat seat : wakers) seat.area().wakeMatch(false);
        }
    }

    /**
     * Yields the core a few turns, or until one of the missing robots has answered. The
     * polling loop is kept this small so that the JIT compiles it on its own: a wait whose own
     * loop spins gets compiled again and again while it runs (on-stack replacement), and each
     * such compile of the whole wait costs a core a quarter of a second early in the match.
     */
    private static void pollAnswers(List<Seat> missing) {
        for (int turn = 0; turn < POLL_TURNS; turn++) {
            Thread.yield();
            for (Seat seat : missing) {
                if (seat.area().answer() == seat.stepNumber) return;
            }
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
                referee.stop(seat, "no answer within " + config.watchdog.toMillis() + " ms");
                continue;
            }
            seat.missed++;
            seat.missedInRow++;
            if (seat.missedInRow >= Math.max(1, config.maxMissedInRow)) {
                String reason = "missed " + seat.missedInRow + " steps in a row";
                referee.end(seat, RobotOutcome.Ending.STOPPED, reason);
                referee.tell(seat, Wire.END_STOPPED);
            }
        }
    }

    private void writeOutputs() {
        for (Seat seat : seats) {
            for (Seat.Output o : seat.outputs) {
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
     * Sends each robot that waits its step (a robot late under a deadline is sent nothing: it
     * still looks at an earlier one), and plans the match's wait for their answers.
     */
    private void sendSteps(ByteBuffer world, Map<Integer, List<Event>> events) {
        long now = System.nanoTime();
        for (Seat seat : seats) {
            if (!seat.playing || !seat.waiting) continue;
            encoder.clear();
            Wire.step(encoder, world, events.get(seat.id));
            pacer.prepare(seat);
            seat.stepTime = simulation.time();
            seat.stepSentAt = now;
            seat.stepsSent++;
            seat.area().sendStep(encoder.written(), ++seat.stepNumber, wakes);
            seat.waiting = false;
        }
        wakes.wake();
        stepOpened = now;
        pacer.stepSent(now);
    }

    // ------------------------------------------------------------------ the end

    /**
     * Tells every robot still playing that the match is over and waits, up to the end grace,
     * for each to end; an interrupted match ends its robots at once.
     */
    private void finish() {
        writeOutputs();
        if (interrupted) return;
        for (Seat seat : seats) {
            if (seat.playing) referee.tell(seat, Wire.END_MATCH_OVER);
        }
        long limit = System.nanoTime() + config.endGrace.toNanos();
        while (waiter != null && seats.stream().anyMatch(s -> s.playing)) {
            waiter.begin();
            for (Seat seat : seats) {
                if (seat.playing) referee.receive(seat);
            }
            long left = limit - System.nanoTime();
            if (left <= 0 || seats.stream().noneMatch(s -> s.playing)) break;
            waiter.await(Math.min(left, WAIT_SLICE_NANOS));
        }
        writeOutputs();
    }

    private void close() {
        for (Seat seat : seats) {
            if (seat.process != null && !interrupted && seat.ending != null) seat.process.end(2000);
            if (seat.process != null) seat.process.kill();
            referee.release(seat);
        }
        for (Seat seat : seats) {
            if (seat.process != null) seat.process.end(2000);
        }
        deleteFolder();
    }

    private void deleteFolder() {
        RunFolder.delete(folder);
    }

    private MatchResult result() {
        List<RobotOutcome> outcomes = new ArrayList<>();
        for (Seat s : seats) {
            RobotOutcome.Ending ending = s.ending != null ? s.ending : RobotOutcome.Ending.RUNNING;
            outcomes.add(new RobotOutcome(s.id, s.player.name(), s.teamId, ending, s.reason,
                    s.missed, (int) Math.min(s.droppedPrints, Integer.MAX_VALUE),
                    (int) Math.min(s.droppedViews, Integer.MAX_VALUE)));
        }
        String unsandboxed = sandbox == null || sandbox.sealed() ? null : sandbox.reason();
        return new MatchResult(simulation.time(), List.copyOf(outcomes), interrupted,
                unsandboxed);
    }
}
