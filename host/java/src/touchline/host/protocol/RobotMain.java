package touchline.host.protocol;

import java.io.IOException;
import java.net.StandardProtocolFamily;
import java.net.UnixDomainSocketAddress;
import java.nio.channels.SocketChannel;
import java.nio.file.Path;
import touchline.host.robot.NativeStrategy;
import touchline.host.robot.StrategyLoadException;

/**
 * A robot process: connects to the match's socket, loads one strategy library, says whether it
 * loaded, and plays it. Started by the match as
 * {@code java ... touchline.host.protocol.RobotMain SOCKET ROBOT_ID LIBRARY PARENT_PID SHARED
 * ROBOTS}, SHARED the match's shared exchange file for ROBOTS robots ("-": steps and orders go
 * over the socket).
 */
public final class RobotMain {
    /** Native code gets deep stacks: the strategy plays on a thread with this much. */
    private static final long STACK_BYTES = 8L << 20;

    private RobotMain() {}

    public static void main(String[] args) throws Exception {
        Path socket = Path.of(args[0]);
        int robotId = Integer.parseInt(args[1]);
        NativeStrategy strategy = new NativeStrategy(Path.of(args[2]));
        long parent = Long.parseLong(args[3]);
        if (!NativeStrategy.prepareRobotProcess(parent)) System.exit(0);
        // Mapped before the greeting: the match removes the file once every robot has loaded.
        SharedExchange shared = args[4].equals("-") ? null
                : SharedExchange.open(Path.of(args[4]), Integer.parseInt(args[5]), robotId - 1);
        try (SocketChannel channel = SocketChannel.open(StandardProtocolFamily.UNIX)) {
            channel.connect(UnixDomainSocketAddress.of(socket));
            RobotServer server = new RobotServer(channel, channel, shared, robotId - 1);
            server.hello(robotId);
            try {
                strategy.load();
            } catch (StrategyLoadException e) {
                server.loadFailed(RobotServer.oneLine(e));
                return;
            }
            server.loaded();
            if (!server.awaitStart()) return;
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
