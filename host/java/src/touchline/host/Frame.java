package touchline.host;

import java.util.List;
import java.util.Map;

/** One published step: the world at its end and the events each robot is told about. */
final class Frame {
    final long time;
    final Ball ball;
    final HostList<Team> teams;
    private final Map<Integer, List<Event>> events;

    Frame(long time, Ball ball, HostList<Team> teams, Map<Integer, List<Event>> events) {
        this.time = time;
        this.ball = ball;
        this.teams = teams;
        this.events = Map.copyOf(events);
    }

    List<Event> eventsOf(int robotId) {
        return events.getOrDefault(robotId, HostList.empty());
    }
}
