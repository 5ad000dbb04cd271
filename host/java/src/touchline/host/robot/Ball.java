package touchline.host.robot;

/** The ball as it was at the end of one step: an immutable snapshot. */
public final class Ball {
    private final double radius;
    private final double negativeAcceleration;
    private final double x;
    private final double y;
    private final double heading;
    private final double velocity;

    public Ball(double radius, double negativeAcceleration, double x, double y, double heading,
            double velocity) {
        this.radius = radius;
        this.negativeAcceleration = negativeAcceleration;
        this.x = x;
        this.y = y;
        this.heading = heading;
        this.velocity = velocity;
    }

    public double getRadius() {
        return radius;
    }

    /** Speed lost per step while the ball rolls. */
    public double getNegativeAcceleration() {
        return negativeAcceleration;
    }

    public double getX() {
        return x;
    }

    public double getY() {
        return y;
    }

    /** Direction of motion, radians from +x towards +y, in [0, 2 pi). */
    public double getHeading() {
        return heading;
    }

    /** Court units per step along the heading. */
    public double getVelocity() {
        return velocity;
    }
}
