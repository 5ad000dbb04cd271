package touchline.host;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.TimeUnit;

/**
 * One match: the simulation, one adapter object and set of consoles per robot, and one thread
 * per robot on which its program plays, paced step by step by the lockstep. play() returns when
 * the last step has been played and the robots' threads have ended (or the end grace is over).
 */
public final class Match {
    /** A robot of a team: its name and what plays it. */
    public record Player(String name, RobotProgram program) {}

    private static final long ROBOT_STACK_BYTES = 8L << 20;

    private final class Entrant {
        final int id;
        final int teamId;
        final Player player;
        final DebugConsole debug = new DebugConsole(() -> frame.time);
        Object adapter;
        Thread thread;
        boolean loaded;
        volatile RobotOutcome.Ending ending;
        volatile Throwable error;

        Entrant(int id, int teamId, Player player) {
            this.id = id;
            this.teamId = teamId;
            this.player = player;
        }
    }

    private final MatchConfig config;
    private final Simulation simulation;
    private final Lockstep lockstep;
    private final List<Entrant> entrants = new ArrayList<>();
    private volatile Frame frame;
    private boolean played;

    public Match(MatchConfig config, List<Player> home, List<Player> away) {
        this.config = config;
        simulation = new Simulation(config.settings, config.steps, config.seed, config.homeName,
                names(home), config.awayName, names(away));
        List<Integer> ids = simulation.robotIds();
        lockstep = new Lockstep(ids, config.deadline, config.maxMissedInRow);
        for (int i = 0; i < ids.size(); i++) {
            boolean isHome = i < home.size();
            Player player = isHome ? home.get(i) : away.get(i - home.size());
            entrants.add(new Entrant(ids.get(i),
                    isHome ? Simulation.HOME_TEAM_ID : Simulation.AWAY_TEAM_ID, player));
        }
    }

    private static List<String> names(List<Player> players) {
        List<String> names = new ArrayList<>(players.size());
        for (Player player : players) names.add(player.name());
        return names;
    }

    /** The match's world; read it on the thread that plays the match, or after play(). */
    Simulation simulation() {
        return simulation;
    }

    /** Plays the match once. */
    public synchronized MatchResult play() throws InterruptedException {
        if (played) throw new IllegalStateException("a match is played once");
        played = true;
        publish(simulation.begin());
        for (Entrant entrant : entrants) prepare(entrant);
        for (Entrant entrant : entrants) {
            if (entrant.loaded) start(entrant);
        }
        lockstep.open();
        try {
            while (!simulation.isOver()) lockstep.playStep(this::advance);
        } finally {
            lockstep.finish();
            awaitRobots();
            closePrograms();
        }
        return result();
    }

    private void prepare(Entrant entrant) {
        int id = entrant.id;
        InfoConsole info = new InfoConsole(id, simulation.totalTimes(), simulation.court(),
                () -> frame);
        OperateConsole operate = new OperateConsole(id, lockstep);
        entrant.adapter = config.adapters.create(id, info, operate, entrant.debug);
        try {
            entrant.player.program().load();
            entrant.loaded = true;
        } catch (Exception | LinkageError e) {
            entrant.error = e;
            lockstep.leave(id);
        }
    }

    private void start(Entrant entrant) {
        entrant.thread = new Thread(null, () -> playRobot(entrant),
                "touchline-robot-" + entrant.id, ROBOT_STACK_BYTES);
        // A program stuck in native code cannot be stopped; it must not keep the JVM alive.
        entrant.thread.setDaemon(true);
        entrant.thread.start();
    }

    private void playRobot(Entrant entrant) {
        try {
            entrant.player.program().play(entrant.adapter);
            entrant.ending = lockstep.isOver() ? RobotOutcome.Ending.FINISHED
                                               : RobotOutcome.Ending.RETURNED;
        } catch (MatchOverException e) {
            entrant.ending = RobotOutcome.Ending.FINISHED;
        } catch (RobotStoppedException e) {
            entrant.ending = RobotOutcome.Ending.STOPPED;
        } catch (Throwable e) {
            entrant.error = e;
            entrant.ending = RobotOutcome.Ending.FAILED;
        } finally {
            lockstep.leave(entrant.id);
        }
    }

    private void advance(List<Lockstep.Orders> orders) {
        for (Lockstep.Orders order : orders) {
            simulation.command(order.robot(), order.move(), order.turn());
            for (Lockstep.Message m : order.messages()) {
                simulation.message(m.sender(), m.receiver(), m.text());
            }
        }
        publish(simulation.step());
    }

    private void publish(Map<Integer, List<Event>> events) {
        Map<Integer, List<Event>> lists = new LinkedHashMap<>();
        events.forEach((id, list) -> lists.put(id, HostList.copyOf(list)));
        Frame next = new Frame(simulation.time(), simulation.ball(), simulation.teams(), lists);
        frame = next;
        config.observer.stepped(next.time, next.ball, next.teams, Map.copyOf(lists));
    }

    private void awaitRobots() {
        long limit = System.nanoTime() + config.endGrace.toNanos();
        boolean interrupted = false;
        for (Entrant entrant : entrants) {
            if (entrant.thread == null) continue;
            long left = limit - System.nanoTime();
            try {
                if (left > 0) TimeUnit.NANOSECONDS.timedJoin(entrant.thread, left);
            } catch (InterruptedException e) {
                interrupted = true;
            }
        }
        if (interrupted) Thread.currentThread().interrupt();
    }

    /** A program whose thread still runs keeps its library: unloading it would pull its code. */
    private void closePrograms() {
        for (Entrant entrant : entrants) {
            if (entrant.thread != null && entrant.thread.isAlive()) continue;
            try {
                entrant.player.program().close();
            } catch (RuntimeException e) {
                if (entrant.error == null) entrant.error = e;
            }
        }
    }

    private MatchResult result() {
        List<RobotOutcome> outcomes = new ArrayList<>();
        for (Entrant e : entrants) {
            boolean running = e.thread != null && e.thread.isAlive();
            RobotOutcome.Ending ending;
            if (!e.loaded) {
                ending = RobotOutcome.Ending.NOT_LOADED;
            } else if (lockstep.wasStopped(e.id)) {
                ending = RobotOutcome.Ending.STOPPED;
            } else if (running) {
                ending = RobotOutcome.Ending.RUNNING;
            } else {
                ending = e.ending;
            }
            outcomes.add(new RobotOutcome(e.id, e.player.name(), e.teamId, ending, e.error,
                    lockstep.missed(e.id), !running, e.debug));
        }
        return new MatchResult(simulation.time(), List.copyOf(outcomes));
    }
}
