package touchline.host.physics;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.SplittableRandom;

/**
 * The match world: two teams of disc robots, a ball and the court, advanced one step at a time
 * from the velocities each robot was last ordered. Each step is simulated in a few equal parts;
 * after each part the contacts are resolved (robot against robot, robot against wall, robot
 * against ball, ball against wall) until nothing overlaps. A ball wholly inside a goal scores,
 * a ball that stays on one spot too long ends the round without a goal, and the step after a
 * round's end is a kick-off.
 *
 * <p>Deterministic: all arithmetic is StrictMath and the only randomness is a SplittableRandom
 * from the seed, so the same settings, seed and orders give the same world bit for bit.
 *
 * <p>It is one class, longer than the others, on purpose: the order in which a step moves the
 * bodies, resolves each kind of contact and scores is the world's rule, and every replay ever
 * recorded depends on it to the last bit; read in one place, that order cannot drift apart.
 */
public final class World {
    /** Overlaps and corrections below this are rounding, not contact. */
    static final double EPSILON = 1e-9;
    private static final double TWO_PI = 2 * StrictMath.PI;

    private final Settings settings;
    private final Arena arena;
    /**
     * The region a robot's centre keeps to, a convex polygon: its corners (ax, ay) and each
     * edge's vector to the next corner (ex, ey) with its squared length, worked out once, so the
     * tests of every contact pass read flat arrays and compute exactly what they computed from
     * the corners.
     */
    private final double[] regionAx;
    private final double[] regionAy;
    private final double[] regionEx;
    private final double[] regionEy;
    private final double[] regionLength2;
    private final RobotBody[] robots;
    /** The robots in reverse order: contacts take turns in both orders, favouring no team. */
    private final RobotBody[] reversed;
    private final int[] teamSizes;
    private final BallBody ball = new BallBody();
    private final int[] score = new int[2];
    private final List<Goal> goals = new ArrayList<>();
    private final SplittableRandom random;
    private long steps;
    private long parts;
    private boolean kickOffPending;
    /** Per team, the robot that touched the ball last since the kick-off, or -1. */
    private final int[] lastTouch = {-1, -1};
    /** Where the ball was when it last moved away from its spot, and steps since. */
    private double spotX;
    private double spotY;
    private int stillSteps;

    private final boolean[] hitWall;
    private final boolean[] hitBall;
    private final boolean[][] hitRobot;
    private final double[] previousX;
    private final double[] previousY;

    /** A world at its first kick-off; robots 0 .. home - 1 play for team 0, the rest team 1. */
    public World(Settings settings, int homeRobots, int awayRobots, long seed) {
        if (homeRobots < 0 || awayRobots < 0) throw new IllegalArgumentException("robot count");
        this.settings = settings.copy().validate();
        arena = new Arena(this.settings);
        double[][] region = arena.innerCourt(this.settings.robotRadius);
        int corners = region.length;
        regionAx = new double[corners];
        regionAy = new double[corners];
        regionEx = new double[corners];
        regionEy = new double[corners];
        regionLength2 = new double[corners];
        for (int i = 0; i < corners; i++) {
            double[] a = region[i];
            double[] b = region[(i + 1) % corners];
            regionAx[i] = a[0];
            regionAy[i] = a[1];
            regionEx[i] = b[0] - a[0];
            regionEy[i] = b[1] - a[1];
            regionLength2[i] = regionEx[i] * regionEx[i] + regionEy[i] * regionEy[i];
        }
        int count = homeRobots + awayRobots;
        teamSizes = new int[] {homeRobots, awayRobots};
        robots = new RobotBody[count];
        for (int i = 0; i < count; i++) robots[i] = new RobotBody(i, i < homeRobots ? 0 : 1);
        reversed = new RobotBody[count];
        for (int i = 0; i < count; i++) reversed[i] = robots[count - 1 - i];
        hitWall = new boolean[count];
        hitBall = new boolean[count];
        hitRobot = new boolean[count][count];
        previousX = new double[count];
        previousY = new double[count];
        random = new SplittableRandom(seed);
        kickOff();
    }

    /** The world's own copy of its settings; changing it changes nothing. */
    public Settings settings() {
        return settings.copy();
    }

    /** +1 for team 0, which attacks the goal at x = width; -1 for team 1. */
    public static int attackOf(int team) {
        return team == 0 ? 1 : -1;
    }

    public List<RobotBody> robots() {
        return List.of(robots);
    }

    public RobotBody robot(int index) {
        return robots[index];
    }

    public BallBody ball() {
        return ball;
    }

    public int score(int team) {
        return score[team];
    }

    public List<Goal> goals() {
        return List.copyOf(goals);
    }

    /** Steps played so far. */
    public long steps() {
        return steps;
    }

    /**
     * The velocities the robot drives with from the next step on, kept until changed. The host
     * clamps them to the robot's maxima; a NaN counts as 0.
     */
    public void command(int robot, double move, double turn) {
        RobotBody body = robots[robot];
        body.orderedMove = Double.isNaN(move) ? 0 : move;
        body.orderedTurn = Double.isNaN(turn) ? 0 : turn;
    }

    /** Puts a robot somewhere, for set pieces and tests; it is kept on the court. */
    public void placeRobot(int robot, double x, double y, double heading) {
        RobotBody body = robots[robot];
        body.x = x;
        body.y = y;
        body.heading = normalize(heading);
        project(body);
    }

    /**
     * Puts the ball somewhere with a velocity in court units per step, for set pieces and tests;
     * the stalemate count starts afresh there.
     */
    public void placeBall(double x, double y, double vx, double vy) {
        ball.x = x;
        ball.y = y;
        ball.vx = vx;
        ball.vy = vy;
        if (vx != 0 || vy != 0) ball.heading = normalize(StrictMath.atan2(vy, vx));
        spotX = x;
        spotY = y;
        stillSteps = 0;
    }

    /**
     * Whether a ball's centre may lie at (x, y): on the court or in a goal. A ball placed
     * elsewhere could never come back.
     */
    public boolean holdsBall(double x, double y) {
        return arena.inBallOutline(x, y);
    }

    /**
     * Puts the ball somewhere rolling along a heading (kept even at speed 0), for set pieces
     * and tests; the stalemate count starts afresh there.
     */
    public void rollBall(double x, double y, double heading, double speed) {
        if (!holdsBall(x, y)) {
            throw new IllegalArgumentException("the ball's centre (" + x + ", " + y
                    + ") is off the court");
        }
        placeBall(x, y, speed * StrictMath.cos(heading), speed * StrictMath.sin(heading));
        ball.heading = normalize(heading);
    }

    /** Plays one step and tells what happened in it. */
    public StepReport step() {
        steps++;
        clearContacts();
        if (kickOffPending) {
            kickOffPending = false;
            kickOff();
            return report(null, Occurrence.Kind.ROUND_BEGIN, true, false);
        }
        for (RobotBody body : robots) {
            body.move = clamp(body.orderedMove, settings.maxMoveVelocity);
            body.turn = clamp(body.orderedTurn, settings.maxTurnVelocity);
        }
        Goal goal = null;
        for (int part = 0; part < settings.substeps && goal == null; part++) {
            simulatePart(1.0 / settings.substeps);
            goal = goalScored();
        }
        countTouches();
        if (goal != null) {
            score[goal.team()]++;
            goals.add(goal);
            kickOffPending = true;
            return report(goal, Occurrence.Kind.ROUND_FINISH, false, false);
        }
        if (stalled()) {
            kickOffPending = true;
            return report(null, Occurrence.Kind.ROUND_FINISH, false, true);
        }
        return report(null, null, false, false);
    }

    /**
     * Whether the ball has stayed within stalemateRadius of one spot for stalemateSteps steps:
     * stuck between robots, or left alone. Such a round ends without a goal.
     */
    private boolean stalled() {
        if (StrictMath.hypot(ball.x - spotX, ball.y - spotY) > settings.stalemateRadius) {
            spotX = ball.x;
            spotY = ball.y;
            stillSteps = 0;
            return false;
        }
        stillSteps++;
        return settings.stalemateSteps > 0 && stillSteps >= settings.stalemateSteps;
    }

    /**
     * Everyone to the kick-off places, standing still; the ball to the centre, with a random
     * roll of at most the kick-off roll speed. Orders stay: they apply from the next step.
     */
    private void kickOff() {
        for (RobotBody body : robots) {
            int first = body.team == 0 ? 0 : teamSizes[0];
            double[] place = kickOffPlace(body.team, body.index - first, teamSizes[body.team]);
            body.x = place[0];
            body.y = place[1];
            body.heading = body.team == 0 ? 0 : StrictMath.PI;
            body.move = body.turn = 0;
            body.touchingBall = false;
            project(body);
        }
        double heading = random.nextDouble() * TWO_PI;
        double speed = random.nextDouble() * settings.kickOffRoll;
        placeBall(settings.width / 2, settings.height / 2, speed * StrictMath.cos(heading),
                speed * StrictMath.sin(heading));
        ball.heading = normalize(heading);
        Arrays.fill(lastTouch, -1);
    }

    /**
     * Team 0's places (team 1's are mirrored through the centre): its first robot in front of
     * its own goal, the others on a line at 35 % of the width, spread evenly over the height.
     */
    double[] kickOffPlace(int team, int position, int teamSize) {
        double x;
        double y;
        if (position == 0) {
            x = 0.05 * settings.width;
            y = settings.height / 2;
        } else {
            x = 0.35 * settings.width;
            y = settings.height * position / teamSize;
        }
        if (team == 1) {
            x = settings.width - x;
            y = settings.height - y;
        }
        return new double[] {x, y};
    }

    private void simulatePart(double dt) {
        for (RobotBody body : robots) {
            previousX[body.index] = body.x;
            previousY[body.index] = body.y;
            body.heading = normalize(body.heading + body.turn * dt);
            body.x += body.move * dt * StrictMath.cos(body.heading);
            body.y += body.move * dt * StrictMath.sin(body.heading);
        }
        double ballX = ball.x;
        double ballY = ball.y;
        ball.x += ball.vx * dt;
        ball.y += ball.vy * dt;
        slowBall(dt);
        resolveContacts();
        if (!arena.inBallOutline(ball.x, ball.y)) {
            // Squeezed through a wall: put back where it was, at rest.
            ball.x = ballX;
            ball.y = ballY;
            ball.vx = ball.vy = 0;
        }
        if (ball.vx != 0 || ball.vy != 0) {
            ball.heading = normalize(StrictMath.atan2(ball.vy, ball.vx));
        }
        for (RobotBody body : robots) {
            body.distance += StrictMath.hypot(body.x - previousX[body.index],
                    body.y - previousY[body.index]);
        }
    }

    private void slowBall(double dt) {
        double speed = StrictMath.hypot(ball.vx, ball.vy);
        if (speed == 0) return;
        double slower = StrictMath.max(0, speed - settings.ballNegativeAcceleration * dt);
        ball.vx = ball.vx / speed * slower;
        ball.vy = ball.vy / speed * slower;
    }

    /**
     * Contacts are resolved one after another, so the robot taken last has its way in a tussle;
     * the order flips with every pass and every part so that this evens out.
     */
    private void resolveContacts() {
        parts++;
        for (int pass = 0; pass < settings.contactPasses; pass++) {
            RobotBody[] order = (parts + pass) % 2 == 0 ? robots : reversed;
            boolean moved = separateRobots(order);
            moved |= keepRobotsInside();
            moved |= pushBall(order);
            moved |= keepBallInside();
            moved |= freeRobotsFromBall(order);
            if (!moved) break;
        }
        keepRobotsInside();
    }

    /**
     * The contact tests below skip a pair when {@code reach - hypot(dx, dy) <= EPSILON}. Most
     * pairs are far apart, and for them dx * dx + dy * dy above this bound settles the test
     * without StrictMath.hypot: the bound lies a millionth above (reach - EPSILON) squared, far
     * beyond the rounding of either computation, so a pair it skips is one the exact test skips
     * too and every result stays the same to the last bit. Below a reach of a thousandth that
     * margin is not certain, and every pair takes the exact test.
     */
    static double clearOfContact(double reach) {
        double near = reach - EPSILON;
        return near >= 1e-3 ? near * near * (1 + 1e-6) : Double.POSITIVE_INFINITY;
    }

    /** Overlapping robots each give way by half the overlap, along the line of their centres. */
    private boolean separateRobots(RobotBody[] order) {
        boolean moved = false;
        double reach = 2 * settings.robotRadius;
        double clear = clearOfContact(reach);
        for (int i = 0; i < order.length; i++) {
            for (int j = i + 1; j < order.length; j++) {
                RobotBody a = order[i];
                RobotBody b = order[j];
                double dx = b.x - a.x;
                double dy = b.y - a.y;
                if (dx * dx + dy * dy > clear) continue;
                double d = StrictMath.hypot(dx, dy);
                double overlap = reach - d;
                if (overlap <= EPSILON) continue;
                double ux = d > 0 ? dx / d : 1;
                double uy = d > 0 ? dy / d : 0;
                a.x -= ux * overlap / 2;
                a.y -= uy * overlap / 2;
                b.x += ux * overlap / 2;
                b.y += uy * overlap / 2;
                hitRobot[a.index][b.index] = hitRobot[b.index][a.index] = true;
                moved = true;
            }
        }
        return moved;
    }

    private boolean keepRobotsInside() {
        boolean moved = false;
        for (RobotBody body : robots) {
            if (project(body)) {
                hitWall[body.index] = true;
                moved = true;
            }
        }
        return moved;
    }

    /**
     * A robot overlapping the ball moves it out of the way. If the robot was driving into it,
     * the ball takes the robot's speed along the line of contact (a push), or bounces off with
     * the kick restitution when the robot came in at kick speed or faster (a kick).
     */
    private boolean pushBall(RobotBody[] order) {
        boolean moved = false;
        double reach = settings.robotRadius + settings.ballRadius;
        double clear = clearOfContact(reach);
        for (RobotBody body : order) {
            double dx = ball.x - body.x;
            double dy = ball.y - body.y;
            if (dx * dx + dy * dy > clear) continue;
            double d = StrictMath.hypot(dx, dy);
            if (reach - d <= EPSILON) continue;
            double nx = d > 0 ? dx / d : StrictMath.cos(body.heading);
            double ny = d > 0 ? dy / d : StrictMath.sin(body.heading);
            double robotVx = body.move * StrictMath.cos(body.heading);
            double robotVy = body.move * StrictMath.sin(body.heading);
            double closing = (robotVx - ball.vx) * nx + (robotVy - ball.vy) * ny;
            if (closing > 0) {
                double restitution =
                        closing >= settings.kickThreshold ? settings.kickRestitution : 0;
                ball.vx += (1 + restitution) * closing * nx;
                ball.vy += (1 + restitution) * closing * ny;
                limitBallSpeed();
            }
            ball.x = body.x + nx * reach;
            ball.y = body.y + ny * reach;
            hitBall[body.index] = true;
            lastTouch[body.team] = body.index;
            moved = true;
        }
        return moved;
    }

    /** The ball off every wall it overlaps; its speed into the wall bounces back, reduced. */
    private boolean keepBallInside() {
        boolean moved = false;
        double r = settings.ballRadius;
        double clear = clearOfContact(r);
        for (Arena.Wall wall : arena.ballWalls) {
            double ex = wall.bx() - wall.ax();
            double ey = wall.by() - wall.ay();
            double t = ((ball.x - wall.ax()) * ex + (ball.y - wall.ay()) * ey)
                    / (ex * ex + ey * ey);
            t = StrictMath.min(1, StrictMath.max(0, t));
            double qx = wall.ax() + t * ex;
            double qy = wall.ay() + t * ey;
            double dx = ball.x - qx;
            double dy = ball.y - qy;
            if (dx * dx + dy * dy > clear) continue;
            double d = StrictMath.hypot(dx, dy);
            if (r - d <= EPSILON) continue;
            double nx = wall.nx();
            double ny = wall.ny();
            // Past either end of the wall the ball meets a corner point (a goal post, say).
            if ((t == 0 || t == 1) && d > 0) {
                nx = dx / d;
                ny = dy / d;
            }
            ball.x = qx + nx * r;
            ball.y = qy + ny * r;
            double into = ball.vx * nx + ball.vy * ny;
            if (into < 0) {
                ball.vx -= (1 + settings.wallRestitution) * into * nx;
                ball.vy -= (1 + settings.wallRestitution) * into * ny;
            }
            moved = true;
        }
        return moved;
    }

    /** A ball that a wall or another robot holds in place pushes the robot back instead. */
    private boolean freeRobotsFromBall(RobotBody[] order) {
        boolean moved = false;
        double reach = settings.robotRadius + settings.ballRadius;
        double clear = clearOfContact(reach);
        for (RobotBody body : order) {
            double dx = body.x - ball.x;
            double dy = body.y - ball.y;
            if (dx * dx + dy * dy > clear) continue;
            double d = StrictMath.hypot(dx, dy);
            if (reach - d <= EPSILON) continue;
            double nx = d > 0 ? dx / d : -StrictMath.cos(body.heading);
            double ny = d > 0 ? dy / d : -StrictMath.sin(body.heading);
            body.x = ball.x + nx * reach;
            body.y = ball.y + ny * reach;
            // Squeezed between the robot and whatever pins it, the ball stops.
            ball.vx = ball.vy = 0;
            hitBall[body.index] = true;
            lastTouch[body.team] = body.index;
            moved = true;
        }
        return moved;
    }

    private void limitBallSpeed() {
        double speed = StrictMath.hypot(ball.vx, ball.vy);
        if (speed <= settings.ballMaxVelocity) return;
        ball.vx = ball.vx / speed * settings.ballMaxVelocity;
        ball.vy = ball.vy / speed * settings.ballMaxVelocity;
    }

    /** Moves the robot onto the nearest point of the court it may occupy; true if it moved. */
    private boolean project(RobotBody body) {
        double x = body.x;
        double y = body.y;
        int corners = regionAx.length;
        boolean inside = true;
        for (int i = 0; i < corners && inside; i++) {
            inside = regionEx[i] * (y - regionAy[i]) - regionEy[i] * (x - regionAx[i]) >= 0;
        }
        if (inside) return false;
        double bestX = x;
        double bestY = y;
        double best = Double.POSITIVE_INFINITY;
        // An edge whose squared distance exceeds the best one's by a millionth cannot be nearer
        // by StrictMath.hypot either (both are far more accurate than that), so it is passed
        // over without one; below 1e-250 squares lose their precision, and every edge is tested.
        double farther = Double.POSITIVE_INFINITY;
        for (int i = 0; i < corners; i++) {
            double ax = regionAx[i];
            double ay = regionAy[i];
            double ex = regionEx[i];
            double ey = regionEy[i];
            double t = ((x - ax) * ex + (y - ay) * ey) / regionLength2[i];
            t = StrictMath.min(1, StrictMath.max(0, t));
            double qx = ax + t * ex;
            double qy = ay + t * ey;
            double dx = x - qx;
            double dy = y - qy;
            double square = dx * dx + dy * dy;
            if (square > farther) continue;
            double d = StrictMath.hypot(dx, dy);
            if (d < best) {
                best = d;
                bestX = qx;
                bestY = qy;
                farther = square > 1e-250 ? square * (1 + 1e-6) : Double.POSITIVE_INFINITY;
            }
        }
        body.x = bestX;
        body.y = bestY;
        return best > EPSILON;
    }

    /**
     * The scorer is the scoring team's robot that touched the ball last since the kick-off, so a
     * shot the keeper only deflects stays the shooter's; if no robot of that team touched it,
     * the other team's last toucher scored an own goal.
     */
    private Goal goalScored() {
        int goal = arena.goalHolding(ball.x, ball.y, settings.ballRadius);
        if (goal < 0) return null;
        // The goal at x = 0 is the one team 1 attacks.
        int team = goal == 0 ? 1 : 0;
        if (lastTouch[team] >= 0) return new Goal(steps, team, lastTouch[team], false);
        int other = lastTouch[1 - team];
        return new Goal(steps, team, other, other >= 0);
    }

    private void countTouches() {
        for (RobotBody body : robots) {
            if (hitBall[body.index] && !body.touchingBall) body.ballTouches++;
            body.touchingBall = hitBall[body.index];
        }
    }

    private void clearContacts() {
        Arrays.fill(hitWall, false);
        Arrays.fill(hitBall, false);
        for (boolean[] row : hitRobot) Arrays.fill(row, false);
    }

    /** Each robot's list: hitBall, hitRobot by the other's index, hitWall, then the round's. */
    private StepReport report(Goal goal, Occurrence.Kind round, boolean kickOff,
            boolean stalemate) {
        List<List<Occurrence>> all = new ArrayList<>(robots.length);
        for (int i = 0; i < robots.length; i++) {
            List<Occurrence> list = new ArrayList<>();
            if (hitBall[i]) list.add(Occurrence.of(Occurrence.Kind.HIT_BALL));
            for (int j = 0; j < robots.length; j++) {
                if (hitRobot[i][j]) list.add(new Occurrence(Occurrence.Kind.HIT_ROBOT, j));
            }
            if (hitWall[i]) list.add(Occurrence.of(Occurrence.Kind.HIT_WALL));
            if (round != null) list.add(Occurrence.of(round));
            all.add(List.copyOf(list));
        }
        return new StepReport(List.copyOf(all), goal, kickOff, stalemate);
    }

    private static double clamp(double value, double limit) {
        return StrictMath.min(StrictMath.max(value, -limit), limit);
    }

    /** Into [0, 2 pi). */
    static double normalize(double angle) {
        double a = angle % TWO_PI;
        if (a < 0) a += TWO_PI;
        return a >= TWO_PI ? 0 : a;
    }
}
