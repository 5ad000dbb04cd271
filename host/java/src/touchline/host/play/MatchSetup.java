package touchline.host.play;

import java.nio.file.Path;
import java.time.Duration;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import touchline.host.match.Match;
import touchline.host.sandbox.Sandbox;
import touchline.host.scene.Scene;
import touchline.host.scene.SceneException;

/**
 * Everything a match (or a series of them) is played with: the teams' libraries and names, its
 * length and seed, its time rules, where its outputs go, what is echoed and watched, and what
 * keeps the robots to their own. The command line makes one; MatchRunner plays it.
 */
public record MatchSetup(List<Path> home, List<Path> away, long steps, long seed,
        Duration deadline, Duration watchdog, Path out, List<String> echo, String homeName,
        String awayName, int series, int jobs, Scenes scenes, Fairness fairness, Watch watch) {

    /**
     * How the match is watched: --live (with its port, 0 for any, and whether the page stays
     * after the match) and the replay of --compare (null: none).
     */
    public record Watch(boolean live, int port, boolean keep, Path compare) {}

    /**
     * What keeps robots to their own: whether they are sealed in sandboxes (--no-sandbox turns
     * that off), the kernel's limits on each, and their time bank.
     */
    public record Fairness(boolean sandbox, boolean required, Sandbox.Limits limits,
            Duration timeBank, Duration timePerStep) {

        /** The match's sandbox: null to seal robots where the machine allows. */
        Sandbox chosen() {
            return sandbox ? null : Sandbox.off("--no-sandbox");
        }
    }

    /**
     * --scene and --strategy, and whether --steps and --seed were given (they override the
     * scene's). The scene is read when the setup is played, once the command line is whole.
     */
    public record Scenes(Path file, Map<String, Path> strategies, boolean steps, boolean seed,
            Scene scene) {}

    /** The same setup for one match of a series: its seed, sides and folder. */
    MatchSetup forMatch(long matchSeed, boolean swapped, Path folder) {
        return new MatchSetup(swapped ? away : home, swapped ? home : away, steps, matchSeed,
                deadline, watchdog, folder, echo, swapped ? awayName : homeName,
                swapped ? homeName : awayName, 0, 1, scenes, fairness, watch);
    }

    /**
     * With a scene: reads it and takes its teams, and its steps and seed unless the command
     * line gave them. A scene that cannot be played is a bad setup.
     */
    MatchSetup withScene() throws BadSetup {
        if (scenes.file() == null) return this;
        Scene scene;
        try {
            scene = Scene.read(scenes.file(), scenes.strategies());
        } catch (SceneException e) {
            throw new BadSetup(e.getMessage());
        }
        List<Path> homeTeam = scene.team(true);
        List<Path> awayTeam = scene.team(false);
        return new MatchSetup(homeTeam, awayTeam, scenes.steps() ? steps : scene.steps(),
                scenes.seed() ? seed : scene.seed(), deadline, watchdog, out, echo,
                teamName(homeName, homeTeam, "Home"), teamName(awayName, awayTeam, "Away"), 0, 1,
                new Scenes(scenes.file(), scenes.strategies(), scenes.steps(), scenes.seed(),
                        scene), fairness, watch);
    }

    /** The name given, else the library's name when one library plays the whole team. */
    public static String teamName(String given, List<Path> team, String fallback) {
        if (given != null) return given;
        String first = robotName(team.get(0));
        for (Path library : team) {
            if (!robotName(library).equals(first)) return fallback;
        }
        return first;
    }

    /** A robot's name is its library's file name without "lib" and the extension. */
    public static String robotName(Path library) {
        String name = library.getFileName().toString();
        int dot = name.indexOf('.');
        if (dot > 0) name = name.substring(0, dot);
        if (name.startsWith("lib") && name.length() > 3) name = name.substring(3);
        return name;
    }

    static List<Match.Player> players(List<Path> libraries) {
        List<Match.Player> players = new ArrayList<>();
        for (Path library : libraries) {
            players.add(Match.Player.library(robotName(library), library));
        }
        return players;
    }

    /** The library of robot id (home robots first, from 1). */
    Path library(int id) {
        return id <= home.size() ? home.get(id - 1) : away.get(id - 1 - home.size());
    }
}
