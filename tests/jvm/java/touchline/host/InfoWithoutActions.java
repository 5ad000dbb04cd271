package touchline.host;

import java.util.List;
import touchline.host.robot.Event;
import touchline.host.robot.HostList;
import touchline.host.robot.InfoConsole;
import touchline.host.robot.Team;

/** An info console that lacks "getActions": a host older or newer than the strategy expects. */
public final class InfoWithoutActions {
    private final InfoConsole real;

    InfoWithoutActions(InfoConsole real) {
        this.real = real;
    }

    public int getId() {
        return real.getId();
    }

    public long getTotalTimes() {
        return real.getTotalTimes();
    }

    public long getTime() {
        return real.getTime();
    }

    public Object getCourt() {
        return real.getCourt();
    }

    public Object getBall() {
        return real.getBall();
    }

    public List<Team> getTeams() {
        return real.getTeams();
    }
}
