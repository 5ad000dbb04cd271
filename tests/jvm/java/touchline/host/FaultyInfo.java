package touchline.host;

import java.util.ArrayList;
import java.util.List;
import touchline.host.robot.Event;
import touchline.host.robot.HostList;
import touchline.host.robot.InfoConsole;
import touchline.host.robot.Team;

/** An info console that passes everything through, except one fault from a given step on. */
public final class FaultyInfo {
    enum Fault {
        /** "getBall" and "getTeams" return null. */
        NULL_GETTERS,
        /** "getTime" throws. */
        THROWING_GETTER,
        /** "getActions" lists an event of a type no strategy knows. */
        UNKNOWN_EVENT
    }

    static final String UNKNOWN_TYPE = "HitWall";
    static final String FAILURE = "injected host failure";

    private final InfoConsole real;
    private final Fault fault;
    private final long from;

    FaultyInfo(InfoConsole real, Fault fault, long from) {
        this.real = real;
        this.fault = fault;
        this.from = from;
    }

    private boolean active(Fault which) {
        return fault == which && real.getTime() >= from;
    }

    public int getId() {
        return real.getId();
    }

    public long getTotalTimes() {
        return real.getTotalTimes();
    }

    public long getTime() {
        if (active(Fault.THROWING_GETTER)) throw new IllegalStateException(FAILURE);
        return real.getTime();
    }

    public Object getCourt() {
        return real.getCourt();
    }

    public Object getBall() {
        return active(Fault.NULL_GETTERS) ? null : real.getBall();
    }

    public List<Team> getTeams() {
        return active(Fault.NULL_GETTERS) ? null : real.getTeams();
    }

    public List<Event> getActions() {
        if (!active(Fault.UNKNOWN_EVENT)) return real.getActions();
        List<Event> events = new ArrayList<>(real.getActions());
        events.add(new Event(UNKNOWN_TYPE));
        events.add(new Event(Event.HIT_BALL));
        return HostList.copyOf(events);
    }
}
