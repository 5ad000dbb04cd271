package touchline.host.robot;

import java.util.List;

/** One team as it was at the end of one step: an immutable snapshot. */
public final class Team {
    private final int id;
    private final int attack;
    private final String name;
    private final double score;
    private final HostList<Robot> members;

    public Team(int id, int attack, String name, double score, HostList<Robot> members) {
        this.id = id;
        this.attack = attack;
        this.name = name;
        this.score = score;
        this.members = members;
    }

    public int getId() {
        return id;
    }

    /** Positive: the team attacks the goal at x = court width; otherwise the goal at x = 0. */
    public int getAttack() {
        return attack;
    }

    public String getName() {
        return name;
    }

    public double getScore() {
        return score;
    }

    public List<Robot> getMembers() {
        return members;
    }
}
