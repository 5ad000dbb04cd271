package touchline.host.robot;

/** One published step as one robot sees it: the world at its end and the robot's events. */
public record Snapshot(long time, Ball ball, HostList<Team> teams, HostList<Event> events) {}
