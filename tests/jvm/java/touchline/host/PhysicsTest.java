package touchline.host;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.List;
import java.util.SplittableRandom;
import java.util.stream.Stream;
import org.junit.jupiter.api.Named;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;
import touchline.host.physics.BallBody;
import touchline.host.physics.Goal;
import touchline.host.physics.Occurrence;
import touchline.host.physics.Occurrence.Kind;
import touchline.host.physics.RobotBody;
import touchline.host.physics.Settings;
import touchline.host.physics.StepReport;
import touchline.host.physics.World;

/** The world's physics and rules, without robots' programs: orders are given directly. */
public final class PhysicsTest {
    /** Overlap of two bodies or reach past a wall that still counts as touching. */
    static final double TOLERANCE = 0.1;

    /**
     * Long matches of chasers (full speed at the ball) and wanderers (random orders, some far
     * beyond the limits): after every step nothing overlaps, no robot leaves the court, the
     * ball is on the court or in a goal, and every velocity is within its limit.
     */
    @Test
    void invariantsOverRandomMatches() {
        int goals = 0;
        for (long seed = 1; seed <= 4; seed++) {
            int perTeam = 2 + (int) (seed % 4);
            World world = new World(new Settings(), perTeam, perTeam, seed);
            SplittableRandom random = new SplittableRandom(seed * 31);
            for (int step = 0; step < 5000; step++) {
                for (RobotBody robot : world.robots()) {
                    if (robot.index() % 2 == 0) {
                        chase(world, robot);
                    } else if (random.nextInt(20) == 0) {
                        world.command(robot.index(), random.nextDouble(-6, 6),
                                random.nextDouble(-1, 1));
                    }
                }
                world.step();
                checkInvariants(world, "seed " + seed + " step " + step);
            }
            goals += world.goals().size();
        }
        assertTrue(goals > 0, "chasers never scored: the invariants saw no goal");
    }

    static void chase(World world, RobotBody robot) {
        BallBody ball = world.ball();
        double toBall = StrictMath.atan2(ball.y() - robot.y(), ball.x() - robot.x());
        double bearing = StrictMath.IEEEremainder(toBall - robot.heading(), 2 * StrictMath.PI);
        world.command(robot.index(), 100, bearing);
    }

    static void checkInvariants(World world, String where) {
        Settings s = world.settings();
        double r = s.robotRadius();
        List<RobotBody> robots = world.robots();
        BallBody ball = world.ball();
        for (RobotBody a : robots) {
            assertTrue(insideCourt(s, a.x(), a.y(), r), where + ": robot " + a.index()
                    + " off court at " + a.x() + ", " + a.y());
            assertTrue(Math.abs(a.moveVelocity()) <= s.maxMoveVelocity(),
                    where + ": move velocity");
            assertTrue(Math.abs(a.turnVelocity()) <= s.maxTurnVelocity(),
                    where + ": turn velocity");
            assertTrue(a.heading() >= 0 && a.heading() < 2 * Math.PI, where + ": heading range");
            for (RobotBody b : robots) {
                if (b.index() <= a.index()) continue;
                double d = Math.hypot(a.x() - b.x(), a.y() - b.y());
                assertTrue(d >= 2 * r - TOLERANCE, where + ": robots " + a.index() + " and "
                        + b.index() + " overlap by " + (2 * r - d));
            }
            double d = Math.hypot(a.x() - ball.x(), a.y() - ball.y());
            assertTrue(d >= r + s.ballRadius() - TOLERANCE, where + ": robot " + a.index()
                    + " overlaps the ball by " + (r + s.ballRadius() - d));
        }
        assertTrue(ballOnCourtOrInGoal(s, ball.x(), ball.y()), where + ": ball escaped to "
                + ball.x() + ", " + ball.y());
        assertTrue(ball.velocity() <= s.ballMaxVelocity() + 1e-9, where + ": ball too fast");
    }

    /** The disc of the given radius lies within the court, corners cut, up to the tolerance. */
    static boolean insideCourt(Settings s, double x, double y, double radius) {
        double m = radius - TOLERANCE;
        if (x < m || y < m || x > s.width() - m || y > s.height() - m) return false;
        double cw = s.cornerWidth();
        double ch = s.cornerHeight();
        double diagonal = Math.hypot(cw, ch);
        // Distance inside each cut corner's diagonal, seen from its corner point.
        double[][] corners = {{0, 0}, {s.width(), 0}, {0, s.height()}, {s.width(), s.height()}};
        for (double[] c : corners) {
            double u = Math.abs(x - c[0]) / cw + Math.abs(y - c[1]) / ch - 1;
            if (u * cw * ch / diagonal < m) return false;
        }
        return true;
    }

    static boolean ballOnCourtOrInGoal(Settings s, double x, double y) {
        double low = s.height() / 2 - s.goalWidth() / 2;
        double high = s.height() / 2 + s.goalWidth() / 2;
        if (x >= 0 && x <= s.width()) return insideCourt(s, x, y, 0);
        boolean mouth = y >= low && y <= high;
        return mouth && x >= -s.goalDepth() && x <= s.width() + s.goalDepth();
    }

    /** Left alone, a fast ball bouncing around the court stops, and stays stopped. */
    @Test
    void ballComesToRest() {
        Settings settings = new Settings();
        World world = new World(settings, 0, 0, 7);
        world.placeBall(100, 40, 5, 3);
        double speed = Math.hypot(5, 3);
        long bound = (long) Math.ceil(speed / settings.ballNegativeAcceleration()) + 1;
        long steps = 0;
        while (world.ball().velocity() > 0) {
            world.step();
            assertTrue(++steps <= bound, "the ball still rolls after " + steps + " steps");
        }
        double x = world.ball().x();
        double y = world.ball().y();
        for (int i = 0; i < 10; i++) world.step();
        assertEquals(x, world.ball().x(), "resting ball x");
        assertEquals(y, world.ball().y(), "resting ball y");
    }

    /**
     * Team 0's second robot drives the ball into the goal at x = width: team 0 scores 1, every
     * robot gets roundFinish, and the next step restores the kick-off with roundBegin.
     */
    @Test
    void scriptedGoal() {
        Settings settings = new Settings().kickOffRoll(0);
        World world = new World(settings, 2, 2, 3);
        List<double[]> kickOff = positions(world);
        // Beside team 1's goalkeeper, which stands in front of the middle of the goal.
        double goalY = settings.height() / 2 - 12;
        world.placeBall(200, goalY, 0, 0);
        world.placeRobot(1, 190, goalY, 0);
        world.command(1, 3, 0);
        StepReport report = null;
        for (int i = 0; i < 60 && (report == null || report.goal() == null); i++) {
            report = world.step();
            if (report.goal() == null) {
                for (List<Occurrence> list : report.occurrences()) {
                    assertTrue(!list.contains(Occurrence.of(Kind.ROUND_FINISH)),
                            "round finished early");
                }
            }
        }
        Goal goal = report.goal();
        assertTrue(goal != null, "no goal after 60 steps");
        assertEquals(new Goal(world.steps(), 0, 1, false), goal, "the goal");
        assertEquals(1, world.score(0), "team 0 score");
        assertEquals(0, world.score(1), "team 1 score");
        for (int robot = 0; robot < 4; robot++) {
            List<Occurrence> list = report.of(robot);
            assertEquals(Occurrence.of(Kind.ROUND_FINISH), list.get(list.size() - 1),
                    "last occurrence of robot " + robot);
        }
        assertTrue(world.ball().x() - settings.ballRadius() >= settings.width() - 1e-9,
                "the ball stays wholly in the goal for the goal step");

        StepReport next = world.step();
        assertTrue(next.kickOff(), "the step after a goal is a kick-off");
        for (int robot = 0; robot < 4; robot++) {
            assertEquals(List.of(Occurrence.of(Kind.ROUND_BEGIN)), next.of(robot),
                    "kick-off events");
            RobotBody body = world.robot(robot);
            assertEquals(kickOff.get(robot)[0], body.x(), "kick-off x of robot " + robot);
            assertEquals(kickOff.get(robot)[1], body.y(), "kick-off y of robot " + robot);
            assertEquals(kickOff.get(robot)[2], body.heading(),
                    "kick-off heading of robot " + robot);
        }
        assertEquals(settings.width() / 2, world.ball().x(), "ball back at the centre");
        assertEquals(settings.height() / 2, world.ball().y(), "ball back at the centre");
        // Orders outlast the kick-off: the scorer drives on from its kick-off place.
        world.step();
        assertEquals(kickOff.get(1)[0] + settings.maxMoveVelocity(), world.robot(1).x(),
                "robot 1 drives on");
        assertEquals(1, world.score(0), "the score survives the kick-off");
        assertEquals(1, world.goals().size(), "one goal recorded");
    }

    static List<double[]> positions(World world) {
        List<double[]> list = new ArrayList<>();
        for (RobotBody r : world.robots()) list.add(new double[] {r.x(), r.y(), r.heading()});
        return list;
    }

    /**
     * A team 1 robot that pushes the ball into the goal at x = width scores an own goal for
     * team 0, unless a team 0 robot touched the ball before it: then that one is the scorer.
     */
    @Test
    void ownGoalAndScorer() {
        World world = new World(new Settings().kickOffRoll(0), 1, 1, 3);
        world.placeBall(205, 90, 0, 0);
        world.placeRobot(1, 195, 90, 0);
        world.command(1, 2, 0);
        Goal goal = null;
        for (int i = 0; i < 60 && goal == null; i++) goal = world.step().goal();
        assertTrue(goal != null, "no goal");
        assertEquals(0, goal.team(), "the goal counts for team 0");
        assertEquals(1, goal.scorer(), "scorer");
        assertTrue(goal.ownGoal(), "own goal");

        // Robot 0 shoots at the goal at x = width; robot 1, beside the line, glances it in.
        world.step();
        world.placeRobot(0, 180, 78, 0);
        world.placeBall(187, 78, 0, 0);
        world.placeRobot(1, 209, 83.9, 0);
        world.command(0, 3, 0);
        world.command(1, 0, 0);
        goal = null;
        boolean deflected = false;
        for (int i = 0; i < 60 && goal == null; i++) {
            StepReport report = world.step();
            deflected |= report.of(1).contains(Occurrence.of(Kind.HIT_BALL));
            goal = report.goal();
        }
        assertTrue(deflected, "robot 1 never touched the ball");
        assertTrue(goal != null, "no goal after the deflection");
        assertEquals(new Goal(goal.step(), 0, 0, false), goal, "the shooter scores");

        // The goal at x = 0 counts for team 1; a ball nobody touched has no scorer.
        world.command(0, 0, 0);
        world.step();
        world.placeBall(20, 78, -6, 0);
        goal = null;
        for (int i = 0; i < 30 && goal == null; i++) goal = world.step().goal();
        assertTrue(goal != null, "no goal at x = 0");
        assertEquals(new Goal(goal.step(), 1, -1, false), goal, "goal at x = 0");
        assertEquals(1, world.score(1), "team 1 score");
        assertEquals(2, world.score(0), "team 0 score");
    }

    /**
     * A ball that stays on one spot ends the round without a goal: roundFinish, then a kick-off;
     * a ball that keeps moving does not.
     */
    @Test
    void stalledBallEndsRound() {
        Settings settings = new Settings().kickOffRoll(0).stalemate(50, 3);
        World world = new World(settings, 1, 1, 1);
        world.placeBall(60, 40, 0, 0);
        StepReport report = null;
        int steps = 0;
        while (steps < 100 && (report == null || !report.roundFinished())) {
            report = world.step();
            steps++;
        }
        assertEquals(50, steps, "steps until the stalled round ends");
        assertTrue(report.stalemate() && report.goal() == null, "a stalemate, not a goal");
        assertEquals(List.of(Occurrence.of(Kind.ROUND_FINISH)), report.of(0), "robot 0 told");
        assertTrue(world.step().kickOff(), "kick-off after a stalemate");
        assertEquals(0, world.score(0) + world.score(1), "no score");

        // A robot dribbling the ball along keeps the round going.
        world.placeRobot(0, 40, 40, 0);
        world.placeBall(40 + settings.robotRadius() + settings.ballRadius(), 40, 0, 0);
        world.command(0, 0.5, 0);
        for (int i = 0; i < 120; i++) {
            assertTrue(!world.step().roundFinished(), "a moving ball stalled at step " + i);
        }
    }

    /**
     * Two robots of different teams driving head on into the ball between them: neither team
     * wins the tussle by being resolved first; the ball stays between them.
     */
    @Test
    void tussleFavoursNoTeam() {
        Settings settings = new Settings().kickOffRoll(0).stalemate(0, 0);
        World world = new World(settings, 1, 1, 1);
        double reach = settings.robotRadius() + settings.ballRadius();
        world.placeBall(110, 40, 0, 0);
        world.placeRobot(0, 110 - reach - 2, 40, 0);
        world.placeRobot(1, 110 + reach + 2, 40, Math.PI);
        world.command(0, 1, 0);
        world.command(1, 1, 0);
        for (int i = 0; i < 500; i++) world.step();
        double ballX = world.ball().x();
        assertTrue(Math.abs(ballX - 110) < 1, "the ball drifted to " + ballX);
    }

    /**
     * A robot at full speed meeting a ball at rest kicks it: the ball leaves faster than the
     * robot. A slow robot pushes: the ball keeps to the robot's speed and stays at its front.
     */
    @Test
    void pushAndKick() {
        Settings settings = new Settings().kickOffRoll(0);
        World world = new World(settings, 1, 0, 1);
        world.placeRobot(0, 60, 90, 0);
        world.placeBall(60 + settings.robotRadius() + settings.ballRadius() + 1, 90, 0, 0);
        world.command(0, settings.maxMoveVelocity(), 0);
        world.step();
        double kicked = world.ball().velocity();
        assertTrue(kicked > settings.maxMoveVelocity() * 1.5, "kick speed " + kicked);
        assertEquals(0.0, world.ball().heading(), "kicked along the robot's heading");

        world = new World(settings, 1, 0, 1);
        world.placeRobot(0, 60, 90, 0);
        double reach = settings.robotRadius() + settings.ballRadius();
        world.placeBall(60 + reach + 0.5, 90, 0, 0);
        world.command(0, 1, 0);
        for (int i = 0; i < 30; i++) world.step();
        double gap = world.ball().x() - world.robot(0).x();
        assertTrue(gap >= reach - 1e-9 && gap < reach + 0.2, "pushed ball stays in front: " + gap);
        assertTrue(Math.abs(world.ball().velocity() - 1) < 0.1, "pushed ball speed "
                + world.ball().velocity());
        assertEquals(90.0, world.ball().y(), "a straight push stays on its line");
    }

    /**
     * The ball bounces off a side wall with the restitution, off a cut corner along its
     * diagonal, and a ball rolling at a goal post is turned away from the goal.
     */
    @Test
    void wallsAndPosts() {
        Settings settings = new Settings().kickOffRoll(0).wallRestitution(0.5);
        World world = new World(settings, 0, 0, 1);
        world.placeBall(110, 10, 0, -4);
        for (int i = 0; i < 4; i++) world.step();
        assertTrue(world.ball().y() >= settings.ballRadius() - 1e-9, "ball inside the bottom wall");
        double vy = world.ball().velocity() * Math.sin(world.ball().heading());
        assertTrue(vy > 1.5 && vy < 2.1, "bounced at about half speed: " + vy);

        // Diagonally into the bottom-left corner, whose cut faces (1, 1): straight back.
        world.placeBall(20, 20, -3, -3);
        for (int i = 0; i < 12; i++) world.step();
        double heading = world.ball().heading();
        assertTrue(Math.abs(heading - Math.PI / 4) < 1e-6,
                "off the cut corner, heading " + heading);
        assertTrue(world.ball().x() > 2 && world.ball().y() > 2, "the corner was cut");

        // At the post (0, 70) from inside the court, a little below the goal mouth.
        double post = settings.height() / 2 - settings.goalWidth() / 2;
        world.placeBall(12, post - 1, -4, 0);
        for (int i = 0; i < 8; i++) world.step();
        assertTrue(world.ball().x() > 0, "the post kept the ball out of the goal");
        assertEquals(0, world.score(1), "no goal off the post");
    }

    /** hitWall, hitBall and hitRobot name the robots concerned, once per step, in order. */
    @Test
    void collisionEvents() {
        Settings settings = new Settings().kickOffRoll(0);
        World world = new World(settings, 2, 1, 1);
        // Robot 0 drives into the bottom wall; robots 1 and 2 meet head on, 2 touching the ball.
        world.placeRobot(0, 50, settings.robotRadius() + 0.5, -Math.PI / 2);
        world.placeRobot(1, 100, 100, 0);
        world.placeRobot(2, 109, 100, Math.PI);
        world.placeBall(109, 100 + settings.robotRadius() + settings.ballRadius() + 0.1, 0, 0);
        world.command(0, 2, 0);
        world.command(1, 2, 0);
        world.command(2, 2, 0.4);
        StepReport report = world.step();
        assertEquals(List.of(Occurrence.of(Kind.HIT_WALL)), report.of(0), "robot 0");
        assertEquals(List.of(new Occurrence(Kind.HIT_ROBOT, 2)), report.of(1), "robot 1");
        assertEquals(new Occurrence(Kind.HIT_ROBOT, 1), report.of(2).get(report.of(2).size() - 1),
                "robot 2 hit robot 1");
        // Standing still against the wall is no hit.
        world.command(0, 0, 0);
        world.command(1, 0, 0);
        world.command(2, 0, 0);
        world.step();
        assertEquals(List.of(), world.step().of(0), "robot 0 at rest by the wall");
    }

    /** Orders beyond the limits drive at the limit; NaN counts as no order. */
    @Test
    void ordersClamped() {
        Settings settings = new Settings().kickOffRoll(0);
        World world = new World(settings, 1, 0, 1);
        world.placeRobot(0, 100, 100, 0);
        world.command(0, 1e9, -1e9);
        world.step();
        assertEquals(settings.maxMoveVelocity(), world.robot(0).moveVelocity(), "move clamped");
        assertEquals(-settings.maxTurnVelocity(), world.robot(0).turnVelocity(), "turn clamped");
        double moved = Math.hypot(world.robot(0).x() - 100, world.robot(0).y() - 100);
        assertTrue(moved <= settings.maxMoveVelocity() + 1e-9, "moved " + moved);
        world.command(0, Double.NaN, Double.NEGATIVE_INFINITY);
        world.step();
        assertEquals(0.0, world.robot(0).moveVelocity(), "NaN move");
        assertEquals(-settings.maxTurnVelocity(), world.robot(0).turnVelocity(), "infinite turn");
    }

    /** Same seed and orders: the same world bit for bit; another seed: another kick-off roll. */
    @Test
    void determinism() {
        World a = new World(new Settings(), 3, 3, 42);
        World b = new World(new Settings(), 3, 3, 42);
        World c = new World(new Settings(), 3, 3, 43);
        assertTrue(a.ball().velocity() != c.ball().velocity(), "the seed sets the kick-off roll");
        SplittableRandom ra = new SplittableRandom(5);
        SplittableRandom rb = new SplittableRandom(5);
        for (int step = 0; step < 3000; step++) {
            drive(a, ra);
            drive(b, rb);
            assertEquals(a.step(), b.step(), "report of step " + step);
            assertEquals(state(a), state(b), "world after step " + step);
        }
    }

    /**
     * Every bit of the results of seeded matches, pinned: a digest of every robot's and the
     * ball's full-precision state and of every step report. Speeding the physics up must not
     * change a single bit; a deliberate change of the physics updates these digests.
     */
    @Test
    void resultsPinned() throws Exception {
        int[][] sizes = {{1, 1}, {3, 3}, {5, 5}, {11, 11}};
        List<String> actual = new java.util.ArrayList<>();
        for (int k = 0; k < sizes.length; k++) {
            World world = new World(new Settings(), sizes[k][0], sizes[k][1], 1000 + k);
            SplittableRandom random = new SplittableRandom(77 + k);
            java.security.MessageDigest digest = java.security.MessageDigest.getInstance("SHA-256");
            for (int step = 0; step < 4000; step++) {
                drive(world, random);
                StepReport report = world.step();
                StringBuilder text = new StringBuilder(state(world)).append(report);
                for (RobotBody r : world.robots()) {
                    text.append(Double.doubleToLongBits(r.distance())).append(r.ballTouches());
                }
                digest.update(text.toString().getBytes(java.nio.charset.StandardCharsets.UTF_8));
            }
            actual.add(java.util.HexFormat.of().formatHex(digest.digest()));
            System.out.println(sizes[k][0] + "v" + sizes[k][1] + " score " + world.score(0)
                    + ":" + world.score(1));
        }
        assertEquals(PINNED, actual, "digests of 1v1, 3v3, 5v5 and 11v11");
    }

    static final List<String> PINNED = List.of(
            "e7fcf66b8ec8fc7b77ba4838682861dc532a787772cfb590d7b6f21e3955cbc6",
            "5ce29c1cab2c89c361f0019e51862c5fc0ac7168576b3fd6623183c0908f43d1",
            "9126f8d386a1a86fee387070aad4d80a3c676fc9bd4e0dbd35e042e395e66c09",
            "c7e93117bf696301ca815fb8afca96837fca4929b94c13bfc3615f83940e17ca");

    static void drive(World world, SplittableRandom random) {
        for (RobotBody robot : world.robots()) {
            if (robot.index() % 3 == 0) chase(world, robot);
            else world.command(robot.index(), random.nextDouble(-4, 4), random.nextDouble(-1, 1));
        }
    }

    static String state(World world) {
        StringBuilder text = new StringBuilder();
        for (RobotBody r : world.robots()) {
            text.append(Double.doubleToLongBits(r.x())).append(',')
                    .append(Double.doubleToLongBits(r.y())).append(',')
                    .append(Double.doubleToLongBits(r.heading())).append(';');
        }
        BallBody ball = world.ball();
        return text.append(Double.doubleToLongBits(ball.x())).append(',')
                .append(Double.doubleToLongBits(ball.y())).append(',')
                .append(Double.doubleToLongBits(ball.velocity())).toString();
    }

    /** Settings no world can be made with, each named by its bad setting. */
    static Stream<Named<Settings>> badSettings() {
        return Stream.of(Named.of("court(0, 180)", new Settings().court(0, 180)),
                Named.of("court(NaN, 180)", new Settings().court(Double.NaN, 180)),
                Named.of("goal(180, 15)", new Settings().goal(180, 15)),
                Named.of("goal(40, 3)", new Settings().goal(40, 3)),
                Named.of("corner(7, 0)", new Settings().corner(7, 0)),
                Named.of("ball(-1, 0.06, 8)", new Settings().ball(-1, 0.06, 8)),
                Named.of("wallRestitution(1.5)", new Settings().wallRestitution(1.5)),
                Named.of("solver(0, 4)", new Settings().solver(0, 4)),
                Named.of("robot(40, 3, 0.3)", new Settings().robot(40, 3, 0.3)));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("badSettings")
    void settingsRejected(Settings settings) {
        assertThrows(IllegalArgumentException.class, () -> new World(settings, 1, 1, 1));
    }

    @Test
    void robotCountRejected() {
        assertThrows(IllegalArgumentException.class, () -> new World(new Settings(), -1, 1, 1));
    }
}
