package touchline.host.tournament;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * One played match of a tournament, as results.json lists it: which entrant played which side,
 * the seed, the score, the goals and how each robot's program ended.
 */
record MatchOutcome(int index, String home, String away, long seed, int homeGoals, int awayGoals,
        List<Object> goals, List<Object> robots) {

    /**
     * Reads the summary object that `touchline-match --json` prints (and writes to
     * summary.json with --out); the team names are the entrants' names.
     */
    static MatchOutcome fromSummary(int index, Object summary) {
        Map<String, Object> top = JsonText.object(summary, "the summary");
        List<Object> teams = JsonText.array(top.get("teams"), "teams");
        if (teams.size() != 2) throw new IllegalArgumentException("the summary has no two teams");
        Map<String, Object> home = JsonText.object(teams.get(0), "a team");
        Map<String, Object> away = JsonText.object(teams.get(1), "a team");
        List<Object> robots = new ArrayList<>();
        for (Object robot : JsonText.array(top.get("robots"), "robots")) {
            Map<String, Object> r = JsonText.object(robot, "a robot");
            Map<String, Object> kept = new LinkedHashMap<>();
            for (String key : List.of("id", "team", "name", "ending", "reason")) {
                kept.put(key, r.get(key));
            }
            robots.add(kept);
        }
        return new MatchOutcome(index, JsonText.text(home.get("name"), "a team name"),
                JsonText.text(away.get("name"), "a team name"),
                JsonText.integer(top.get("seed"), "seed"),
                (int) JsonText.integer(home.get("score"), "a score"),
                (int) JsonText.integer(away.get("score"), "a score"),
                JsonText.array(top.get("goals"), "goals"), robots);
    }

    Map<String, Object> toJson() {
        Map<String, Object> m = new LinkedHashMap<>();
        m.put("index", index);
        m.put("home", home);
        m.put("away", away);
        m.put("seed", seed);
        m.put("score", List.of(homeGoals, awayGoals));
        m.put("goals", goals);
        m.put("robots", robots);
        return m;
    }
}
