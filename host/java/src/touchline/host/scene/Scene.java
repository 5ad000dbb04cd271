package touchline.host.scene;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import touchline.host.match.Placement;
import touchline.host.physics.Settings;
import touchline.host.physics.World;

/**
 * A scene: a short match set up by hand (which strategy plays which robot, where the robots and
 * the ball start, how long it lasts) and what should happen in it. Read from a small text file,
 * one statement a line; docs/host.md describes the format.
 */
public final class Scene {
    /** A robot of the scene, by id; its library's path is resolved already. */
    public record Robot(int id, boolean home, Path library, double x, double y, double heading) {}

    public static final long DEFAULT_STEPS = 1000;
    static final long MAX_STEPS = 10_000_000;
    static final int MAX_TEAM = 5;

    private final Path file;
    private long steps = DEFAULT_STEPS;
    private long seed = 1;
    private double ballX;
    private double ballY;
    private double ballHeading;
    private double ballSpeed;
    private Line ballLine;
    private final List<Robot> robots = new ArrayList<>();
    private final List<Expectation> expectations = new ArrayList<>();

    private Scene(Path file) {
        this.file = file;
    }

    public Path file() {
        return file;
    }

    public long steps() {
        return steps;
    }

    public long seed() {
        return seed;
    }

    public List<Robot> robots() {
        return List.copyOf(robots);
    }

    /** The libraries of one team, in id order. */
    public List<Path> team(boolean home) {
        List<Path> team = new ArrayList<>();
        for (Robot robot : robots) {
            if (robot.home() == home) team.add(robot.library());
        }
        return team;
    }

    public List<Expectation> expectations() {
        return List.copyOf(expectations);
    }

    public Placement placement() {
        List<Placement.Robot> places = new ArrayList<>();
        for (Robot r : robots) places.add(new Placement.Robot(r.id(), r.x(), r.y(), r.heading()));
        return new Placement(ballX, ballY, ballHeading, ballSpeed, places);
    }

    /**
     * Reads a scene file. A library is a name given in strategies (NAME=FILE on the command
     * line, the way a build hands over the libraries it made) or else a path, relative to the
     * scene file's folder.
     */
    public static Scene read(Path file, Map<String, Path> strategies) throws SceneException {
        List<String> lines;
        try {
            lines = Files.readAllLines(file, StandardCharsets.UTF_8);
        } catch (IOException e) {
            throw new SceneException("cannot read the scene " + file + ": " + reasonOf(e));
        }
        Scene scene = new Scene(file);
        for (int i = 0; i < lines.size(); i++) {
            Line line = new Line(file, i + 1, lines.get(i));
            if (line.words.isEmpty()) continue;
            scene.statement(line, strategies);
        }
        scene.complete(new Line(file, lines.size(), ""));
        return scene;
    }

    private void statement(Line line, Map<String, Path> strategies) throws SceneException {
        switch (line.word(0)) {
            case "steps" -> {
                line.count(2, 2, "steps N");
                steps = line.whole(1, 1, MAX_STEPS);
            }
            case "seed" -> {
                line.count(2, 2, "seed N");
                seed = line.whole(1, Long.MIN_VALUE, Long.MAX_VALUE);
            }
            case "ball" -> {
                line.count(3, 5, "ball X Y [HEADING SPEED]");
                if (line.words.size() == 4) throw line.error("ball: give both HEADING and SPEED");
                ballX = line.number(1);
                ballY = line.number(2);
                ballHeading = line.words.size() > 3 ? line.number(3) : 0;
                ballSpeed = line.words.size() > 3 ? line.number(4) : 0;
                if (ballSpeed < 0) throw line.error("ball: the speed must not be negative");
                ballLine = line;
            }
            case "robot" -> robot(line, strategies);
            case "expect" -> expectations.add(Expectation.parse(line));
            default -> throw line.error("unknown statement \"" + line.word(0)
                    + "\" (steps, seed, ball, robot or expect)");
        }
    }

    private void robot(Line line, Map<String, Path> strategies) throws SceneException {
        line.count(7, 7, "robot ID home|away LIBRARY X Y HEADING");
        int id = (int) line.whole(1, 1, 2 * MAX_TEAM);
        String side = line.word(2);
        if (!side.equals("home") && !side.equals("away")) {
            throw line.error("robot " + id + ": the team is home or away, not \"" + side + "\"");
        }
        boolean home = side.equals("home");
        if (id != robots.size() + 1) {
            throw line.error("robot " + id + ": robots are numbered 1, 2, ... in order, home team"
                    + " first; expected robot " + (robots.size() + 1));
        }
        if (home && !robots.isEmpty() && !robots.get(robots.size() - 1).home()) {
            throw line.error("robot " + id + ": the home team's robots come first");
        }
        if (team(home).size() == MAX_TEAM) {
            throw line.error("robot " + id + ": a team has at most " + MAX_TEAM + " robots");
        }
        Path library = library(line, line.word(3), strategies);
        robots.add(new Robot(id, home, library, line.number(4), line.number(5), line.number(6)));
    }

    private Path library(Line line, String name, Map<String, Path> strategies)
            throws SceneException {
        Path given = strategies.get(name);
        if (given != null) return given;
        Path library;
        try {
            library = Path.of(name);
        } catch (InvalidPathException e) {
            throw line.error("not a file name: " + name);
        }
        Path folder = file.toAbsolutePath().getParent();
        if (!library.isAbsolute() && folder != null) library = folder.resolve(library).normalize();
        if (!Files.isRegularFile(library)) {
            throw line.error("no strategy library " + name + " (looked for " + library
                    + (strategies.isEmpty() ? "" : "; the named ones are " + strategies.keySet())
                    + ")");
        }
        return library;
    }

    private void complete(Line end) throws SceneException {
        if (team(true).isEmpty() || team(false).isEmpty()) {
            throw end.error("a scene needs a home and an away robot (robot ID home|away ...)");
        }
        if (ballLine == null) {
            throw end.error("a scene needs the ball (ball X Y [HEADING SPEED])");
        }
        if (!new World(new Settings(), 0, 0, seed).holdsBall(ballX, ballY)) {
            throw ballLine.error("the ball's centre is off the court");
        }
        for (Expectation expectation : expectations) expectation.validate(this);
    }

    static String reasonOf(IOException e) {
        if (e instanceof java.nio.file.NoSuchFileException) return "No such file or directory";
        if (e instanceof java.nio.file.AccessDeniedException) return "Permission denied";
        return e.getMessage();
    }

    /** One line of a scene file split into words; a quoted text is one word. */
    static final class Line {
        final Path file;
        final int number;
        final String text;
        final List<String> words = new ArrayList<>();

        Line(Path file, int number, String text) throws SceneException {
            this.file = file;
            this.number = number;
            this.text = text.strip();
            split(text);
        }

        private void split(String text) throws SceneException {
            int i = 0;
            while (i < text.length()) {
                char c = text.charAt(i);
                if (Character.isWhitespace(c)) {
                    i++;
                } else if (c == '#') {
                    return;
                } else if (c == '"') {
                    StringBuilder word = new StringBuilder();
                    i++;
                    while (i < text.length() && text.charAt(i) != '"') {
                        if (text.charAt(i) == '\\' && i + 1 < text.length()) i++;
                        word.append(text.charAt(i++));
                    }
                    if (i >= text.length()) throw error("a quoted text lacks its closing quote");
                    i++;
                    words.add(word.toString());
                } else {
                    int start = i;
                    while (i < text.length() && !Character.isWhitespace(text.charAt(i))) i++;
                    words.add(text.substring(start, i));
                }
            }
        }

        String word(int index) {
            return words.get(index);
        }

        void count(int low, int high, String form) throws SceneException {
            if (words.size() < low || words.size() > high) throw error("expected: " + form);
        }

        double number(int index) throws SceneException {
            String word = words.get(index);
            try {
                double value = Double.parseDouble(word);
                if (Double.isFinite(value) && !word.matches(".*[a-zA-Z].*")) return value;
            } catch (NumberFormatException e) {
                // reported below
            }
            throw error("\"" + word + "\" is not a number");
        }

        long whole(int index, long low, long high) throws SceneException {
            String word = words.get(index);
            long value;
            try {
                value = Long.parseLong(word);
            } catch (NumberFormatException e) {
                throw error("\"" + word + "\" is not a whole number");
            }
            if (value < low || value > high) {
                throw error(value + " is out of range (" + low + " to " + high + ")");
            }
            return value;
        }

        SceneException error(String message) {
            return new SceneException(file + ":" + number + ": " + message);
        }
    }
}
