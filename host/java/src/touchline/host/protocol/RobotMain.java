package touchline.host.protocol;

import java.io.IOException;
import java.nio.channels.Channel;
import java.nio.channels.FileChannel;
import java.nio.channels.SocketChannel;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import touchline.host.robot.NativeStrategy;
import touchline.host.robot.StrategyLoadException;

/**
 * A robot process: loads one strategy library, says on its channel whether it loaded, and plays
 * it. Started by the match (through touchline-robot-init) as
 * {@code java ... touchline.host.protocol.RobotMain ROBOT_ID LIBRARY AREA_FD}, its channel to
 * the match on its standard input and its area (steps and orders) at descriptor AREA_FD: both
 * handed to it alone, at its start.
 */
public final class RobotMain {
    /** Native code gets deep stacks: the strategy plays on a thread with this much. */
    private static final long STACK_BYTES = 8L << 20;

    private RobotMain() {}

    public static void main(String[] args) throws Exception {
        int robotId = Integer.parseInt(args[0]);
        NativeStrategy strategy = new NativeStrategy(Path.of(args[1]));
        Channel inherited = System.inheritedChannel();
        if (!(inherited instanceof SocketChannel channel)) {
            System.err.println("touchline robot " + robotId + ": started without its channel");
            System.exit(1);
            return;
        }
        RobotArea area;
        try (FileChannel memory = FileChannel.open(Path.of("/proc/self/fd/" + args[2]),
                StandardOpenOption.READ, StandardOpenOption.WRITE)) {
            NativeStrategy.loadBridgeLibrary();
            area = new RobotArea(memory.map(FileChannel.MapMode.READ_WRITE, 0, RobotArea.BYTES));
        }
        NativeStrategy.prepareRobotProcess(area.forbiddenCallAddress(), area.limitAddress());
        try (channel) {
            RobotServer server = new RobotServer(channel, channel, area);
            server.haltWhenEndIgnored(() -> Runtime.getRuntime().halt(0));
            try {
                strategy.load();
            } catch (StrategyLoadException e) {
                server.loadFailed(RobotServer.oneLine(e));
                System.exit(0);
            }
            server.loaded();
            if (!server.awaitStart()) System.exit(0);
            Thread player = new Thread(null, () -> server.play(strategy,
                    RobotServer.PLAIN_ADAPTER), "touchline-robot-" + robotId, STACK_BYTES);
            player.start();
            player.join();
        } catch (IOException e) {
            // The match has gone away: there is nothing left to play for.
        }
        // A strategy's threads of its own must not keep the process alive.
        System.exit(0);
    }
}
