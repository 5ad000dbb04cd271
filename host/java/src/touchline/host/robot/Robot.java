package touchline.host.robot;

/** One robot as it was at the end of one step: an immutable snapshot. */
public final class Robot {
    private final int id;
    private final String name;
    private final double radius;
    private final double maxMoveVelocity;
    private final double maxTurnVelocity;
    private final double x;
    private final double y;
    private final double heading;
    private final double moveVelocity;
    private final double turnVelocity;

    public Robot(int id, String name, double radius, double maxMoveVelocity,
            double maxTurnVelocity, double x, double y, double heading, double moveVelocity,
            double turnVelocity) {
        this.id = id;
        this.name = name;
        this.radius = radius;
        this.maxMoveVelocity = maxMoveVelocity;
        this.maxTurnVelocity = maxTurnVelocity;
        this.x = x;
        this.y = y;
        this.heading = heading;
        this.moveVelocity = moveVelocity;
        this.turnVelocity = turnVelocity;
    }

    public int getId() {
        return id;
    }

    public String getName() {
        return name;
    }

    public double getRadius() {
        return radius;
    }

    public double getMaxMoveVelocity() {
        return maxMoveVelocity;
    }

    /** Radians per step. */
    public double getMaxTurnVelocity() {
        return maxTurnVelocity;
    }

    public double getX() {
        return x;
    }

    public double getY() {
        return y;
    }

    /** Facing, radians from +x towards +y, in [0, 2 pi). */
    public double getHeading() {
        return heading;
    }

    /** Court units per step along the heading (negative: backwards), as applied last step. */
    public double getMoveVelocity() {
        return moveVelocity;
    }

    /** Radians per step, as applied last step. */
    public double getTurnVelocity() {
        return turnVelocity;
    }
}
