package touchline.host.physics;

/**
 * Every constant of the match world: the court, the ball, the robots, the kick and the solver.
 * Lengths are court units, velocities court units (or radians) per step. Setters return this;
 * {@link #validate()} rejects a world that could not be played.
 */
public final class Settings {
    double width = 220;
    double height = 180;
    double goalWidth = 40;
    double goalDepth = 15;
    double cornerWidth = 7;
    double cornerHeight = 7;
    double ballRadius = 2.1;
    double ballNegativeAcceleration = 0.06;
    double ballMaxVelocity = 8;
    double wallRestitution = 0.6;
    double robotRadius = 4;
    double maxMoveVelocity = 3;
    double maxTurnVelocity = 0.3;
    double kickThreshold = 1.5;
    double kickRestitution = 0.8;
    double kickOffRoll = 2.5;
    int stalemateSteps = 100;
    double stalemateRadius = 10;
    int substeps = 4;
    int contactPasses = 16;

    public Settings court(double width, double height) {
        this.width = width;
        this.height = height;
        return this;
    }

    public Settings goal(double width, double depth) {
        goalWidth = width;
        goalDepth = depth;
        return this;
    }

    public Settings corner(double width, double height) {
        cornerWidth = width;
        cornerHeight = height;
        return this;
    }

    public Settings ball(double radius, double negativeAcceleration, double maxVelocity) {
        ballRadius = radius;
        ballNegativeAcceleration = negativeAcceleration;
        ballMaxVelocity = maxVelocity;
        return this;
    }

    /** Share of its speed into a wall that the ball keeps when it bounces off. */
    public Settings wallRestitution(double value) {
        wallRestitution = value;
        return this;
    }

    public Settings robot(double radius, double maxMoveVelocity, double maxTurnVelocity) {
        robotRadius = radius;
        this.maxMoveVelocity = maxMoveVelocity;
        this.maxTurnVelocity = maxTurnVelocity;
        return this;
    }

    /**
     * A robot that meets the ball at least this fast kicks it, and the ball bounces off with
     * the restitution; a slower one pushes it along.
     */
    public Settings kick(double threshold, double restitution) {
        kickThreshold = threshold;
        kickRestitution = restitution;
        return this;
    }

    /** Highest speed of the random roll the ball is given at each kick-off; 0 for none. */
    public Settings kickOffRoll(double value) {
        kickOffRoll = value;
        return this;
    }

    /**
     * A ball that stays within radius of one spot for this many steps ends the round without a
     * goal; 0 never does.
     */
    public Settings stalemate(int steps, double radius) {
        stalemateSteps = steps;
        stalemateRadius = radius;
        return this;
    }

    /** Parts each step is simulated in, and contact passes per part. */
    public Settings solver(int substeps, int contactPasses) {
        this.substeps = substeps;
        this.contactPasses = contactPasses;
        return this;
    }

    public double width() {
        return width;
    }

    public double height() {
        return height;
    }

    public double goalWidth() {
        return goalWidth;
    }

    public double goalDepth() {
        return goalDepth;
    }

    public double cornerWidth() {
        return cornerWidth;
    }

    public double cornerHeight() {
        return cornerHeight;
    }

    public double ballRadius() {
        return ballRadius;
    }

    public double ballNegativeAcceleration() {
        return ballNegativeAcceleration;
    }

    public double ballMaxVelocity() {
        return ballMaxVelocity;
    }

    public double robotRadius() {
        return robotRadius;
    }

    public double maxMoveVelocity() {
        return maxMoveVelocity;
    }

    public double maxTurnVelocity() {
        return maxTurnVelocity;
    }

    public int substeps() {
        return substeps;
    }

    /** An independent copy: a world keeps its own, so later changes do not reach it. */
    public Settings copy() {
        return new Settings().court(width, height).goal(goalWidth, goalDepth)
                .corner(cornerWidth, cornerHeight)
                .ball(ballRadius, ballNegativeAcceleration, ballMaxVelocity)
                .wallRestitution(wallRestitution)
                .robot(robotRadius, maxMoveVelocity, maxTurnVelocity)
                .kick(kickThreshold, kickRestitution).kickOffRoll(kickOffRoll)
                .stalemate(stalemateSteps, stalemateRadius).solver(substeps, contactPasses);
    }

    /** Throws IllegalArgumentException naming the first setting that makes no playable world. */
    public Settings validate() {
        positive("court width", width);
        positive("court height", height);
        positive("goal width", goalWidth);
        positive("goal depth", goalDepth);
        atLeastZero("corner width", cornerWidth);
        atLeastZero("corner height", cornerHeight);
        require((cornerWidth == 0) == (cornerHeight == 0),
                "a corner needs both a width and a height, or neither");
        positive("ball radius", ballRadius);
        atLeastZero("ball negative acceleration", ballNegativeAcceleration);
        positive("ball maximum velocity", ballMaxVelocity);
        fraction("wall restitution", wallRestitution);
        positive("robot radius", robotRadius);
        atLeastZero("maximum move velocity", maxMoveVelocity);
        atLeastZero("maximum turn velocity", maxTurnVelocity);
        atLeastZero("kick threshold", kickThreshold);
        fraction("kick restitution", kickRestitution);
        atLeastZero("kick-off roll", kickOffRoll);
        require(stalemateSteps >= 0, "stalemate steps must be zero or more");
        atLeastZero("stalemate radius", stalemateRadius);
        require(substeps >= 1 && substeps <= 64, "substeps must be 1 to 64");
        require(contactPasses >= 1 && contactPasses <= 32, "contact passes must be 1 to 32");
        require(2 * cornerWidth < width, "the corners leave no court");
        require(2 * cornerHeight + goalWidth < height, "the goal does not fit beside the corners");
        require(goalWidth > 2 * ballRadius, "the ball does not fit into the goal");
        require(goalDepth > 2 * ballRadius, "the goal is too shallow to hold the ball");
        require(width > 8 * robotRadius && height > 8 * robotRadius,
                "the court is too small for the robots");
        return this;
    }

    private static void positive(String name, double value) {
        require(Double.isFinite(value) && value > 0, name + " must be a positive number");
    }

    private static void atLeastZero(String name, double value) {
        require(Double.isFinite(value) && value >= 0, name + " must be zero or more");
    }

    private static void fraction(String name, double value) {
        require(value >= 0 && value <= 1, name + " must lie in [0, 1]");
    }

    private static void require(boolean condition, String message) {
        if (!condition) throw new IllegalArgumentException(message);
    }
}
