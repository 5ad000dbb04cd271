package touchline.bench;

import java.lang.management.ManagementFactory;
import java.lang.management.ThreadMXBean;
import java.util.Arrays;
import java.util.SplittableRandom;
import touchline.host.physics.BallBody;
import touchline.host.physics.RobotBody;
import touchline.host.physics.Settings;
import touchline.host.physics.World;

/**
 * The physics' cost per step on the match thread, where every robot waits for it: seeded
 * matches of 1, 3, 5 and 11 robots a side, a third of the robots chasing the ball and the rest
 * driving at random, timed in interleaved rounds. Prints one line of Markdown per size.
 */
public final class PhysicsBench {
    private PhysicsBench() {}

    static void drive(World world, SplittableRandom random) {
        BallBody ball = world.ball();
        for (RobotBody robot : world.robots()) {
            if (robot.index() % 3 == 0) {
                double toBall = StrictMath.atan2(ball.y() - robot.y(), ball.x() - robot.x());
                double bearing =
                        StrictMath.IEEEremainder(toBall - robot.heading(), 2 * StrictMath.PI);
                world.command(robot.index(), 100, bearing);
            } else {
                world.command(robot.index(), random.nextDouble(-4, 4), random.nextDouble(-1, 1));
            }
        }
    }

    private static final ThreadMXBean THREADS = ManagementFactory.getThreadMXBean();

    /**
     * CPU nanoseconds per step over steps steps of a fresh seeded match (orders included): the
     * thread's own CPU time, so other work on a shared machine does not count.
     */
    static double nanosPerStep(int side, int steps, long seed) {
        World world = new World(new Settings(), side, side, seed);
        SplittableRandom random = new SplittableRandom(seed);
        long start = THREADS.getCurrentThreadCpuTime();
        for (int step = 0; step < steps; step++) {
            drive(world, random);
            world.step();
        }
        return (THREADS.getCurrentThreadCpuTime() - start) / (double) steps;
    }

    public static void main(String[] args) {
        int[] sides = {1, 3, 5, 11};
        int rounds = 15;
        int steps = 4000;
        for (int side : sides) nanosPerStep(side, steps, 1);  // warm up the JIT
        double[][] times = new double[sides.length][rounds];
        for (int round = 0; round < rounds; round++) {
            for (int s = 0; s < sides.length; s++) {
                times[s][round] = nanosPerStep(sides[s], steps, 100 + round);
            }
        }
        System.out.println("| robots a side | physics CPU µs per step: median [min, max] |");
        System.out.println("|---|---|");
        for (int s = 0; s < sides.length; s++) {
            double[] t = times[s].clone();
            Arrays.sort(t);
            System.out.printf("| %d | %.1f [%.1f, %.1f] |%n", sides[s], t[rounds / 2] / 1000,
                    t[0] / 1000, t[rounds - 1] / 1000);
        }
    }
}
