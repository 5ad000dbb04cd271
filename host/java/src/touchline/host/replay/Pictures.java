package touchline.host.replay;

import java.awt.BasicStroke;
import java.awt.Color;
import java.awt.Font;
import java.awt.FontMetrics;
import java.awt.Graphics2D;
import java.awt.RenderingHints;
import java.awt.geom.Ellipse2D;
import java.awt.geom.Line2D;
import java.awt.geom.Path2D;
import java.awt.image.BufferedImage;
import java.io.IOException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import javax.imageio.ImageIO;

/**
 * Draws two pictures of a replay with Java2D: final.png, the court at the last step, and
 * trails.png, the ball's and every robot's path over the whole match with the goals marked. Both
 * are {@link #WIDTH} x {@link #HEIGHT} pixels: a title band, the court scaled to fit, and a
 * legend. The replay is read once, line by line; each path keeps at most {@link Track#CAPACITY}
 * points (thinned evenly as the match grows), so memory does not grow with the match. The PNG
 * files carry no time or other metadata: the same replay gives the same bytes on one JDK.
 */
public final class Pictures implements ReplayReader.Listener {
    public static final int WIDTH = 1040;
    public static final int HEIGHT = 880;
    private static final int TITLE = 50;
    private static final int LEGEND = 70;
    /** Court units left around the court and goals. */
    private static final double MARGIN = 5;

    static final Color PITCH = new Color(0x2f7d46);
    static final Color GOAL = new Color(0x256639);
    static final Color LINE = new Color(0xf1f5f9);
    static final Color BAND = new Color(0x111827);
    static final Color BALL = new Color(0xf59e0b);
    static final Color BALL_TRAIL = new Color(0xffffff);
    /** Per team, one colour per robot in kick-off order; the first is the team's own colour. */
    static final int[][] TEAM_COLORS = {
            {0x2563eb, 0x0ea5e9, 0x7c3aed, 0x14b8a6, 0x1e3a8a},
            {0xdc2626, 0xf97316, 0xdb2777, 0xca8a04, 0x7f1d1d}};

    private ReplayReader.Header header;
    private final List<Track> robotTracks = new ArrayList<>();
    private final Track ballTrack = new Track();
    private ReplayReader.Frame last;
    private long[] lastScore;
    /** Where the ball was in each frame whose score rose: time, team, x, y. */
    private final List<double[]> goalSpots = new ArrayList<>();
    private ReplayReader.End end;

    private Pictures() {}

    /** Reads the replay and writes both pictures. */
    public static void write(Path replay, Path finalPicture, Path trailsPicture)
            throws IOException {
        Pictures pictures = new Pictures();
        ReplayReader.read(replay, pictures);
        pictures.writeTo(replay, finalPicture, trailsPicture);
    }

    /** Pictures to be drawn from the replay a ReplayReader tells them. */
    static Pictures drawing() {
        return new Pictures();
    }

    /** Writes both pictures of the replay told so far (replay names it in errors). */
    void writeTo(Path replay, Path finalPicture, Path trailsPicture) throws IOException {
        if (last == null) throw new IOException(replay + ": the replay has no frame to draw");
        png(drawFinal(), finalPicture);
        png(drawTrails(), trailsPicture);
    }

    private static void png(BufferedImage image, Path file) throws IOException {
        if (!ImageIO.write(image, "png", file.toFile())) {
            throw new IOException("this Java has no PNG writer");
        }
    }

    @Override
    public void header(ReplayReader.Header h) {
        header = h;
        for (int i = 0; i < h.robots().size(); i++) robotTracks.add(new Track());
    }

    @Override
    public void frame(ReplayReader.Frame frame) {
        for (int i = 0; i < robotTracks.size(); i++) {
            robotTracks.get(i).add(frame.robots()[3 * i], frame.robots()[3 * i + 1],
                    frame.kickOff());
        }
        ballTrack.add(frame.ballX(), frame.ballY(), frame.kickOff());
        long[] score = frame.score();
        if (lastScore != null) {
            for (int team = 0; team < Math.min(score.length, lastScore.length); team++) {
                if (score[team] > lastScore[team]) {
                    goalSpots.add(new double[] {frame.time(), team, frame.ballX(),
                            frame.ballY()});
                }
            }
        }
        lastScore = score;
        last = frame;
    }

    @Override
    public void end(ReplayReader.End e) {
        end = e;
    }

    private BufferedImage drawFinal() {
        Canvas canvas = new Canvas();
        long[] score = end != null ? end.score() : last.score();
        canvas.title(scoreLine(score) + "    step " + last.time() + " of " + header.steps());
        canvas.court(header);
        List<ReplayReader.Robot> robots = header.robots();
        for (int i = 0; i < robots.size(); i++) {
            ReplayReader.Robot robot = robots.get(i);
            canvas.robot(last.robots()[3 * i], last.robots()[3 * i + 1],
                    last.robots()[3 * i + 2], robot.radius(), teamColor(robot.team()),
                    Integer.toString(robot.id()));
        }
        canvas.ball(last.ballX(), last.ballY(), header.ballRadius());
        canvas.legend(header, false);
        return canvas.image;
    }

    private BufferedImage drawTrails() {
        Canvas canvas = new Canvas();
        long[] score = end != null ? end.score() : last.score();
        canvas.title(scoreLine(score) + "    paths over " + last.time() + " steps");
        canvas.court(header);
        List<ReplayReader.Robot> robots = header.robots();
        for (int i = 0; i < robots.size(); i++) {
            canvas.path(robotTracks.get(i), robotColor(robots.get(i)), 2.0f, 0.85f);
        }
        canvas.path(ballTrack, BALL_TRAIL, 1.5f, 0.6f);
        for (double[] spot : goalSpots) {
            canvas.goalMarker(spot[2], spot[3], teamColor(teamIdAt((int) spot[1])),
                    scorerLabel((long) spot[0]));
        }
        canvas.legend(header, true);
        return canvas.image;
    }

    private int teamIdAt(int index) {
        return index < header.teams().size() ? header.teams().get(index).id() : index;
    }

    /** "3" for a goal by robot 3, "3 own" for an own goal, "" when nobody touched the ball. */
    private String scorerLabel(long time) {
        if (end == null) return "";
        for (ReplayReader.Goal goal : end.goals()) {
            if (goal.time() != time || goal.scorer() < 0) continue;
            return goal.scorer() + (goal.ownGoal() ? " own" : "");
        }
        return "";
    }

    private String scoreLine(long[] score) {
        StringBuilder line = new StringBuilder();
        List<ReplayReader.Team> teams = header.teams();
        for (int i = 0; i < teams.size(); i++) {
            if (i > 0) line.append("  :  ");
            String points = i < score.length ? Long.toString(score[i]) : "?";
            line.append(i == 0 ? clip(teams.get(i).name()) + " " + points
                    : points + " " + clip(teams.get(i).name()));
        }
        return line.toString();
    }

    static Color teamColor(int team) {
        return new Color(TEAM_COLORS[Math.floorMod(team, 2)][0]);
    }

    /** A robot's own colour: its team's palette at its place in the team. */
    private Color robotColor(ReplayReader.Robot robot) {
        for (ReplayReader.Team team : header.teams()) {
            int place = team.robots().indexOf(robot);
            if (place >= 0) return new Color(TEAM_COLORS[Math.floorMod(team.id(), 2)][place % 5]);
        }
        return teamColor(robot.team());
    }

    /** Names come from strategy libraries: keep them short enough for the legend. */
    static String clip(String name) {
        return name.length() <= 18 ? name : name.substring(0, 17) + "\u2026";
    }

    /**
     * A path of at most CAPACITY points. Points closer than MIN_DISTANCE to the last one are
     * dropped; when the track is full every other point is dropped and from then on only every
     * stride-th point is kept. A kick-off starts a new piece, never joined to the one before.
     */
    static final class Track {
        static final int CAPACITY = 8192;
        static final double MIN_DISTANCE = 0.25;
        final double[] x = new double[CAPACITY];
        final double[] y = new double[CAPACITY];
        final boolean[] starts = new boolean[CAPACITY];
        int size;
        private int stride = 1;
        private int skipped;
        private boolean pieceEnded = true;
        private double lastX = Double.NaN;
        private double lastY = Double.NaN;

        void add(double px, double py, boolean kickOff) {
            if (Double.isNaN(px) || Double.isNaN(py)) {
                pieceEnded = true;
                return;
            }
            if (kickOff) pieceEnded = true;
            if (!pieceEnded && Math.hypot(px - lastX, py - lastY) < MIN_DISTANCE) return;
            lastX = px;
            lastY = py;
            if (!pieceEnded && ++skipped < stride) return;
            skipped = 0;
            if (size == CAPACITY) thin();
            x[size] = px;
            y[size] = py;
            starts[size] = pieceEnded;
            size++;
            pieceEnded = false;
        }

        /** Keeps the even points; a dropped point that started a piece passes that on. */
        private void thin() {
            int kept = 0;
            boolean carry = false;
            for (int i = 0; i < size; i++) {
                if (i % 2 == 1) {
                    carry |= starts[i];
                    continue;
                }
                x[kept] = x[i];
                y[kept] = y[i];
                starts[kept] = starts[i] || carry;
                carry = false;
                kept++;
            }
            size = kept;
            stride *= 2;
            if (carry) pieceEnded = true;
        }
    }

    /** One picture being drawn: the court's scale and the pen. */
    private static final class Canvas {
        final BufferedImage image = new BufferedImage(WIDTH, HEIGHT, BufferedImage.TYPE_INT_RGB);
        final Graphics2D g = image.createGraphics();
        final Font font = new Font(Font.SANS_SERIF, Font.PLAIN, 14);
        final Font bold = new Font(Font.SANS_SERIF, Font.BOLD, 18);
        double scale;
        double left;
        double bottom;

        Canvas() {
            g.setRenderingHint(RenderingHints.KEY_ANTIALIASING, RenderingHints.VALUE_ANTIALIAS_ON);
            g.setRenderingHint(RenderingHints.KEY_TEXT_ANTIALIASING,
                    RenderingHints.VALUE_TEXT_ANTIALIAS_ON);
            g.setRenderingHint(RenderingHints.KEY_STROKE_CONTROL,
                    RenderingHints.VALUE_STROKE_PURE);
            g.setColor(BAND);
            g.fillRect(0, 0, WIDTH, HEIGHT);
        }

        double px(double x) {
            return left + x * scale;
        }

        double py(double y) {
            return bottom - y * scale;
        }

        void title(String text) {
            g.setFont(bold);
            g.setColor(LINE);
            g.drawString(text, 16, 32);
        }

        /** The court fitted into the space between title and legend, y pointing up. */
        void court(ReplayReader.Header h) {
            double spanX = h.width() + 2 * h.goalDepth() + 2 * MARGIN;
            double spanY = h.height() + 2 * MARGIN;
            int areaHeight = HEIGHT - TITLE - LEGEND;
            scale = Math.min(WIDTH / spanX, areaHeight / spanY);
            left = (WIDTH - h.width() * scale) / 2;
            bottom = TITLE + (areaHeight + h.height() * scale) / 2;
            double mouthLow = h.height() / 2 - h.goalWidth() / 2;
            double mouthHigh = h.height() / 2 + h.goalWidth() / 2;
            g.setColor(GOAL);
            fill(rectangle(-h.goalDepth(), mouthLow, 0, mouthHigh));
            fill(rectangle(h.width(), mouthLow, h.width() + h.goalDepth(), mouthHigh));
            Path2D.Double walls = courtOutline(h);
            g.setColor(PITCH);
            g.fill(walls);
            g.setStroke(new BasicStroke(1.5f));
            g.setColor(new Color(0x7fb08b));
            g.draw(new Line2D.Double(px(h.width() / 2), py(0), px(h.width() / 2),
                    py(h.height())));
            double r = Math.min(h.width(), h.height()) / 9;
            g.draw(new Ellipse2D.Double(px(h.width() / 2 - r), py(h.height() / 2 + r),
                    2 * r * scale, 2 * r * scale));
            g.setStroke(new BasicStroke(2.5f));
            g.setColor(LINE);
            g.draw(walls);
            g.draw(rectangle(-h.goalDepth(), mouthLow, 0, mouthHigh));
            g.draw(rectangle(h.width(), mouthLow, h.width() + h.goalDepth(), mouthHigh));
        }

        /** The eight walls: the rectangle with each corner cut along a diagonal. */
        Path2D.Double courtOutline(ReplayReader.Header h) {
            double w = h.width();
            double ht = h.height();
            double cw = h.cornerWidth();
            double ch = h.cornerHeight();
            double[][] points = {{cw, 0}, {w - cw, 0}, {w, ch}, {w, ht - ch}, {w - cw, ht},
                    {cw, ht}, {0, ht - ch}, {0, ch}};
            Path2D.Double outline = new Path2D.Double();
            outline.moveTo(px(points[0][0]), py(points[0][1]));
            for (int i = 1; i < points.length; i++) {
                outline.lineTo(px(points[i][0]), py(points[i][1]));
            }
            outline.closePath();
            return outline;
        }

        Path2D.Double rectangle(double x0, double y0, double x1, double y1) {
            Path2D.Double r = new Path2D.Double();
            r.moveTo(px(x0), py(y0));
            r.lineTo(px(x1), py(y0));
            r.lineTo(px(x1), py(y1));
            r.lineTo(px(x0), py(y1));
            r.closePath();
            return r;
        }

        void fill(Path2D.Double shape) {
            g.fill(shape);
        }

        void robot(double x, double y, double heading, double radius, Color color, String id) {
            if (Double.isNaN(x) || Double.isNaN(y)) return;
            double r = radius * scale;
            Ellipse2D.Double disc = new Ellipse2D.Double(px(x) - r, py(y) - r, 2 * r, 2 * r);
            g.setColor(color);
            g.fill(disc);
            g.setStroke(new BasicStroke(2f));
            g.setColor(LINE);
            g.draw(disc);
            if (!Double.isNaN(heading)) {
                g.draw(new Line2D.Double(px(x), py(y), px(x) + r * Math.cos(heading),
                        py(y) - r * Math.sin(heading)));
            }
            g.setFont(font.deriveFont(Font.BOLD, 12f));
            FontMetrics metrics = g.getFontMetrics();
            g.drawString(id, (float) (px(x) - metrics.stringWidth(id) / 2.0),
                    (float) (py(y) - r - 4));
        }

        void ball(double x, double y, double radius) {
            if (Double.isNaN(x) || Double.isNaN(y)) return;
            double r = Math.max(radius * scale, 3);
            Ellipse2D.Double disc = new Ellipse2D.Double(px(x) - r, py(y) - r, 2 * r, 2 * r);
            g.setColor(BALL);
            g.fill(disc);
            g.setStroke(new BasicStroke(1.5f));
            g.setColor(Color.BLACK);
            g.draw(disc);
        }

        void path(Track track, Color color, float width, float alpha) {
            Path2D.Double path = new Path2D.Double();
            for (int i = 0; i < track.size; i++) {
                if (track.starts[i]) {
                    path.moveTo(px(track.x[i]), py(track.y[i]));
                } else {
                    path.lineTo(px(track.x[i]), py(track.y[i]));
                }
            }
            g.setStroke(new BasicStroke(width, BasicStroke.CAP_ROUND, BasicStroke.JOIN_ROUND));
            g.setColor(new Color(color.getRed(), color.getGreen(), color.getBlue(),
                    Math.round(alpha * 255)));
            g.draw(path);
        }

        void goalMarker(double x, double y, Color team, String label) {
            double r = 7;
            Ellipse2D.Double mark = new Ellipse2D.Double(px(x) - r, py(y) - r, 2 * r, 2 * r);
            g.setColor(team);
            g.fill(mark);
            g.setStroke(new BasicStroke(2f));
            g.setColor(LINE);
            g.draw(mark);
            g.setFont(font.deriveFont(Font.BOLD, 12f));
            g.drawString(label, (float) (px(x) + r + 3), (float) (py(y) + 4));
        }

        /** One row per team: each robot's colour, id and name; with trails, ball and goals. */
        void legend(ReplayReader.Header h, boolean trails) {
            int top = HEIGHT - LEGEND + 4;
            g.setFont(font);
            FontMetrics metrics = g.getFontMetrics();
            int row = 0;
            for (ReplayReader.Team team : h.teams()) {
                int baseline = top + 16 + 20 * row;
                g.setColor(LINE);
                g.drawString(clip(team.name()), 16, baseline);
                int x = 110;
                for (int place = 0; place < team.robots().size(); place++) {
                    ReplayReader.Robot robot = team.robots().get(place);
                    // Trails tell robots apart by colour; discs show the team's colour.
                    int rgb = TEAM_COLORS[Math.floorMod(team.id(), 2)][trails ? place % 5 : 0];
                    swatch(x, baseline, new Color(rgb), trails);
                    g.setColor(LINE);
                    String label = robot.id() + " " + clip(robot.name());
                    g.drawString(label, x + 26, baseline);
                    x += Math.max(180, 26 + metrics.stringWidth(label) + 14);
                }
                row++;
                if (row == 2) break;
            }
            int baseline = top + 16 + 20 * 2;
            swatch(110, baseline, trails ? BALL_TRAIL : BALL, trails);
            g.setColor(LINE);
            g.drawString("ball", 136, baseline);
            if (trails) {
                g.setColor(teamColor(0));
                g.fill(new Ellipse2D.Double(290 - 7, baseline - 12, 14, 14));
                g.setColor(LINE);
                g.drawString("goal, with the scorer's id", 306, baseline);
            }
            g.setColor(new Color(0x9ca3af));
            String units = String.format(Locale.ROOT, "%.1f px per court unit", scale);
            g.drawString(units, WIDTH - 16 - metrics.stringWidth(units), baseline);
        }

        private void swatch(int x, int baseline, Color color, boolean line) {
            g.setColor(color);
            if (line) {
                g.setStroke(new BasicStroke(4f, BasicStroke.CAP_ROUND, BasicStroke.JOIN_ROUND));
                g.draw(new Line2D.Double(x, baseline - 5, x + 18, baseline - 5));
            } else {
                g.fill(new Ellipse2D.Double(x + 2, baseline - 12, 14, 14));
            }
        }
    }
}
