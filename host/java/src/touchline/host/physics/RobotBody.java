package touchline.host.physics;

/** One robot of the world: a disc that drives along its heading and turns on the spot. */
public final class RobotBody {
    final int index;
    final int team;
    double x;
    double y;
    double heading;
    /** Velocities as applied in the last step, after the limits. */
    double move;
    double turn;
    /** Velocities last ordered; kept until the next order. */
    double orderedMove;
    double orderedTurn;
    double distance;
    int ballTouches;
    boolean touchingBall;

    RobotBody(int index, int team) {
        this.index = index;
        this.team = team;
    }

    /** Position in the world's robot order: home team first, each team in its given order. */
    public int index() {
        return index;
    }

    /** 0 for the home team, which attacks towards x = width; 1 for the away team. */
    public int team() {
        return team;
    }

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

    /** Court units per step along the heading, negative backwards, as applied last step. */
    public double moveVelocity() {
        return move;
    }

    /** Radians per step, positive towards increasing heading, as applied last step. */
    public double turnVelocity() {
        return turn;
    }

    /** Court units the robot's centre has travelled since the match began. */
    public double distance() {
        return distance;
    }

    /** Times the robot came into contact with the ball; a contact over several steps is one. */
    public int ballTouches() {
        return ballTouches;
    }
}
