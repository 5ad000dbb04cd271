package touchline.host.physics;

import java.util.ArrayList;
import java.util.List;

/**
 * The court's shape: a rectangle with its four corners cut off along a diagonal, and a goal
 * pocket behind the middle of each short side. Robots are kept inside the court (the goal mouth
 * is a wall for them); the ball may roll into a goal.
 */
final class Arena {
    /** One straight piece of a wall: from a to b, with the playing side on its left. */
    record Wall(double ax, double ay, double bx, double by, double nx, double ny) {}

    final double width;
    final double height;
    final double goalLow;
    final double goalHigh;
    final double goalDepth;
    /** The court as a convex polygon, counter-clockwise. */
    private final double[][] court;
    /** The walls the ball meets: the court's outline with the two goal pockets. */
    final List<Wall> ballWalls;
    private final double[][] ballOutline;

    Arena(Settings s) {
        width = s.width;
        height = s.height;
        goalLow = s.height / 2 - s.goalWidth / 2;
        goalHigh = s.height / 2 + s.goalWidth / 2;
        goalDepth = s.goalDepth;
        double cw = s.cornerWidth;
        double ch = s.cornerHeight;
        court = dedupe(new double[][] {{cw, 0}, {width - cw, 0}, {width, ch},
                {width, height - ch}, {width - cw, height}, {cw, height}, {0, height - ch},
                {0, ch}});
        ballOutline = dedupe(new double[][] {{cw, 0}, {width - cw, 0}, {width, ch},
                {width, goalLow}, {width + goalDepth, goalLow}, {width + goalDepth, goalHigh},
                {width, goalHigh}, {width, height - ch}, {width - cw, height}, {cw, height},
                {0, height - ch}, {0, goalHigh}, {-goalDepth, goalHigh}, {-goalDepth, goalLow},
                {0, goalLow}, {0, ch}});
        ballWalls = walls(ballOutline);
    }

    /** The convex region a disc's centre may occupy so that the disc stays on the court. */
    double[][] innerCourt(double radius) {
        double[][] region = {{radius, radius}, {width - radius, radius},
                {width - radius, height - radius}, {radius, height - radius}};
        for (Wall wall : walls(court)) {
            double limit = wall.nx * wall.ax + wall.ny * wall.ay + radius;
            region = clip(region, wall.nx, wall.ny, limit);
        }
        return region;
    }

    /** Whether (x, y) lies inside the court or a goal pocket, borders included. */
    boolean inBallOutline(double x, double y) {
        return contains(ballOutline, x, y);
    }

    /** Which goal holds the whole ball: 0 for the goal at x = 0, 1 for x = width, else -1. */
    int goalHolding(double x, double y, double radius) {
        if (y - radius < goalLow - 1e-9 || y + radius > goalHigh + 1e-9) return -1;
        if (x + radius <= 1e-9) return 0;
        if (x - radius >= width - 1e-9) return 1;
        return -1;
    }

    private static List<Wall> walls(double[][] outline) {
        List<Wall> walls = new ArrayList<>();
        for (int i = 0; i < outline.length; i++) {
            double[] a = outline[i];
            double[] b = outline[(i + 1) % outline.length];
            double length = StrictMath.hypot(b[0] - a[0], b[1] - a[1]);
            walls.add(new Wall(a[0], a[1], b[0], b[1], -(b[1] - a[1]) / length,
                    (b[0] - a[0]) / length));
        }
        return List.copyOf(walls);
    }

    /** Drops a vertex equal to its predecessor: a zero-sized corner is no corner. */
    private static double[][] dedupe(double[][] outline) {
        List<double[]> kept = new ArrayList<>();
        for (double[] p : outline) {
            double[] last =
                    kept.isEmpty() ? outline[outline.length - 1] : kept.get(kept.size() - 1);
            if (p[0] != last[0] || p[1] != last[1]) kept.add(p);
        }
        return kept.toArray(new double[0][]);
    }

    /** The part of a convex polygon where nx * x + ny * y >= limit. */
    private static double[][] clip(double[][] polygon, double nx, double ny, double limit) {
        List<double[]> out = new ArrayList<>();
        for (int i = 0; i < polygon.length; i++) {
            double[] a = polygon[i];
            double[] b = polygon[(i + 1) % polygon.length];
            double da = nx * a[0] + ny * a[1] - limit;
            double db = nx * b[0] + ny * b[1] - limit;
            if (da >= 0) out.add(a);
            if ((da >= 0) != (db >= 0)) {
                double t = da / (da - db);
                out.add(new double[] {a[0] + t * (b[0] - a[0]), a[1] + t * (b[1] - a[1])});
            }
        }
        return out.toArray(new double[0][]);
    }

    /** Even-odd rule; a point on the outline counts as inside. */
    private static boolean contains(double[][] outline, double x, double y) {
        boolean inside = false;
        for (int i = 0, j = outline.length - 1; i < outline.length; j = i++) {
            double[] a = outline[i];
            double[] b = outline[j];
            if (onSegment(a, b, x, y)) return true;
            if ((a[1] > y) != (b[1] > y)
                    && x < (b[0] - a[0]) * (y - a[1]) / (b[1] - a[1]) + a[0]) {
                inside = !inside;
            }
        }
        return inside;
    }

    private static boolean onSegment(double[] a, double[] b, double x, double y) {
        double cross = (b[0] - a[0]) * (y - a[1]) - (b[1] - a[1]) * (x - a[0]);
        if (StrictMath.abs(cross) > 1e-9) return false;
        return x >= StrictMath.min(a[0], b[0]) - 1e-9 && x <= StrictMath.max(a[0], b[0]) + 1e-9
                && y >= StrictMath.min(a[1], b[1]) - 1e-9 && y <= StrictMath.max(a[1], b[1]) + 1e-9;
    }
}
