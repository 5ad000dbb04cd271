package touchline.host.physics;

/** The ball: a disc that rolls in a straight line, slows down and bounces off the walls. */
public final class BallBody {
    double x;
    double y;
    double vx;
    double vy;
    /** Direction of the last motion, kept while the ball lies still. */
    double heading;

    public double x() {
        return x;
    }

    public double y() {
        return y;
    }

    /** Radians from +x towards +y, in [0, 2 pi). */
    public double heading() {
        return heading;
    }

    /** Court units per step. */
    public double velocity() {
        return StrictMath.hypot(vx, vy);
    }
}
