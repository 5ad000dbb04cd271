package touchline.host.replay;

import java.io.BufferedReader;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;

/**
 * Reads a replay file (docs/host.md, "The replay"; versions 1 and 2) line by line and hands the
 * header, each frame and the end to a listener, so that reading costs no more memory than one
 * line. Debug lines are skipped unread: the pictures do not show them.
 */
public final class ReplayReader {
    public static final int OLDEST_VERSION = 1;
    public static final int NEWEST_VERSION = 2;

    /** A replay that cannot be read, with the line that says why. */
    public static final class ReplayFormatException extends IOException {
        private static final long serialVersionUID = 1L;

        ReplayFormatException(Path file, long line, String message) {
            super(file + ", line " + line + ": " + message);
        }
    }

    public record Robot(int id, String name, int team, double radius) {}

    public record Team(int id, String name, List<Robot> robots) {}

    /** What stays fixed for the match. */
    public record Header(int version, long steps, double width, double height, double goalWidth,
            double goalDepth, double cornerWidth, double cornerHeight, double ballRadius,
            List<Team> teams) {
        /** Every robot, in header order (the order of a frame's robots). */
        public List<Robot> robots() {
            List<Robot> all = new ArrayList<>();
            for (Team team : teams) all.addAll(team.robots());
            return all;
        }
    }

    /**
     * One step: robots holds x, y and heading per robot in header order. A kick-off frame (some
     * robot got "roundBegin") puts robots and ball on their places rather than moving them.
     */
    public record Frame(long time, long[] score, double ballX, double ballY, double[] robots,
            boolean kickOff) {}

    /** A goal: scorer is the robot id, or -1 when no robot touched the ball. */
    public record Goal(long time, int team, int scorer, boolean ownGoal) {}

    public record End(long time, long[] score, List<Goal> goals) {}

    public interface Listener {
        void header(Header header);

        void frame(Frame frame);

        void end(End end);
    }

    private final Path file;
    private long lineNumber;
    private Header header;
    private int robotCount;

    private ReplayReader(Path file) {
        this.file = file;
    }

    /** Reads the whole file; a replay cut short (no end line) gives no call to end. */
    public static void read(Path file, Listener listener) throws IOException {
        Lines lines = lines(file, listener);
        try (BufferedReader in = Files.newBufferedReader(file, StandardCharsets.UTF_8)) {
            String line;
            while ((line = in.readLine()) != null) lines.line(line);
        }
        lines.finish();
    }

    /**
     * Reads a replay line by line as its lines are handed over (while it is written, say);
     * file names it in errors.
     */
    public static Lines lines(Path file, Listener listener) {
        return new ReplayReader(file).new Lines(listener);
    }

    /** A replay read as its lines come, each checked and told to the listener. */
    public final class Lines {
        private final Listener listener;

        private Lines(Listener listener) {
            this.listener = listener;
        }

        /** The next line of the replay, without its newline. */
        public void line(String line) throws ReplayFormatException {
            lineNumber++;
            if (line.isBlank() || line.startsWith("{\"debug\":")) return;
            Map<String, Object> object = object(parse(line), "a line");
            if (header == null) {
                header = header(object);
                robotCount = header.robots().size();
                listener.header(header);
            } else if (object.containsKey("end")) {
                listener.end(end(object(object.get("end"), "end")));
            } else if (object.containsKey("time")) {
                listener.frame(frame(object));
            } else if (!object.containsKey("debug") && !object.containsKey("ended")) {
                // "ended" lines mark robots as the match ends them; the end line says it all.
                throw fail("neither a frame, a debug line, an ending nor the end");
            }
        }

        /** The replay has no more lines: it must have had a header. */
        public void finish() throws ReplayFormatException {
            if (header == null) throw fail("no header: the file is empty");
        }
    }

    private Object parse(String line) throws ReplayFormatException {
        try {
            return JsonReader.parse(line);
        } catch (JsonReader.JsonException e) {
            throw fail("not JSON: " + e.getMessage());
        }
    }

    private Header header(Map<String, Object> o) throws ReplayFormatException {
        if (!"touchline".equals(o.get("replay"))) throw fail("not a Touchline replay");
        int version = (int) number(o, "version");
        if (version < OLDEST_VERSION || version > NEWEST_VERSION) {
            throw fail("replay version " + version + " is not one this host reads ("
                    + OLDEST_VERSION + " to " + NEWEST_VERSION + ")");
        }
        Map<String, Object> court = object(o.get("court"), "court");
        Map<String, Object> ball = object(o.get("ball"), "ball");
        List<Team> teams = new ArrayList<>();
        for (Object t : list(o.get("teams"), "teams")) {
            Map<String, Object> team = object(t, "a team");
            int teamId = (int) number(team, "id");
            List<Robot> robots = new ArrayList<>();
            for (Object r : list(team.get("robots"), "robots")) {
                Map<String, Object> robot = object(r, "a robot");
                robots.add(new Robot((int) number(robot, "id"), text(robot, "name"), teamId,
                        number(robot, "radius")));
            }
            teams.add(new Team(teamId, text(team, "name"), List.copyOf(robots)));
        }
        return new Header(version, (long) number(o, "steps"), number(court, "width"),
                number(court, "height"), number(court, "goalWidth"), number(court, "goalDepth"),
                number(court, "cornerWidth"), number(court, "cornerHeight"),
                number(ball, "radius"), List.copyOf(teams));
    }

    private Frame frame(Map<String, Object> o) throws ReplayFormatException {
        List<Object> ball = list(o.get("ball"), "ball");
        List<Object> rows = list(o.get("robots"), "robots");
        int count = robotCount;
        if (rows.size() != count) {
            throw fail(rows.size() + " robots in a frame, " + count + " in the header");
        }
        double[] robots = new double[3 * count];
        for (int i = 0; i < count; i++) {
            List<Object> row = list(rows.get(i), "a robot");
            for (int k = 0; k < 3; k++) robots[3 * i + k] = element(row, k);
        }
        boolean kickOff = false;
        for (Object e : list(o.get("events"), "events")) {
            List<Object> event = list(e, "an event");
            if (event.size() > 1 && "roundBegin".equals(event.get(1))) kickOff = true;
        }
        return new Frame((long) number(o, "time"), scores(o.get("score")), element(ball, 0),
                element(ball, 1), robots, kickOff);
    }

    private End end(Map<String, Object> o) throws ReplayFormatException {
        List<Goal> goals = new ArrayList<>();
        for (Object g : list(o.get("goals"), "goals")) {
            Map<String, Object> goal = object(g, "a goal");
            Object scorer = goal.get("scorer");
            goals.add(new Goal((long) number(goal, "time"), (int) number(goal, "team"),
                    scorer instanceof Double d ? d.intValue() : -1,
                    Boolean.TRUE.equals(goal.get("ownGoal"))));
        }
        return new End((long) number(o, "time"), scores(o.get("score")), List.copyOf(goals));
    }

    private long[] scores(Object value) throws ReplayFormatException {
        List<Object> items = list(value, "score");
        long[] scores = new long[items.size()];
        for (int i = 0; i < scores.length; i++) scores[i] = (long) element(items, i);
        return scores;
    }

    /** A number of an array; null (how a replay writes a value that is not finite) is NaN. */
    private double element(List<Object> items, int index) throws ReplayFormatException {
        if (index >= items.size()) throw fail("an array is too short");
        Object value = items.get(index);
        if (value == null) return Double.NaN;
        if (!(value instanceof Double d)) throw fail("expected a number, found " + value);
        return d;
    }

    private double number(Map<String, Object> o, String name) throws ReplayFormatException {
        if (!(o.get(name) instanceof Double d)) throw fail("\"" + name + "\" is not a number");
        return d;
    }

    private String text(Map<String, Object> o, String name) throws ReplayFormatException {
        if (!(o.get(name) instanceof String s)) throw fail("\"" + name + "\" is not a string");
        return s;
    }

    @SuppressWarnings("unchecked")
    private Map<String, Object> object(Object value, String what) throws ReplayFormatException {
        if (!(value instanceof Map)) throw fail(what + " is not an object");
        return (Map<String, Object>) value;
    }

    @SuppressWarnings("unchecked")
    private List<Object> list(Object value, String what) throws ReplayFormatException {
        if (!(value instanceof List)) throw fail(what + " is not an array");
        return (List<Object>) value;
    }

    private ReplayFormatException fail(String message) {
        return new ReplayFormatException(file, lineNumber, message);
    }
}
