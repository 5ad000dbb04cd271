package touchline.host.tournament;

import java.util.ArrayList;
import java.util.Comparator;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import touchline.host.match.Summary;
import touchline.host.play.Series;

/**
 * The league table of a set of played matches: results, points (3 a win, 1 a draw), goals, the
 * win rate with its 95 % Wilson interval, and a Bradley–Terry rating on the Elo scale; plus the
 * head-to-head record of every pair.
 */
public final class LeagueTable {
    static final int POINTS_WIN = 3;
    static final int POINTS_DRAW = 1;

    static final class Row {
        final String name;
        int played;
        int won;
        int drawn;
        int lost;
        int goalsFor;
        int goalsAgainst;
        double rating;

        Row(String name) {
            this.name = name;
        }

        int points() {
            return POINTS_WIN * won + POINTS_DRAW * drawn;
        }

        int goalDifference() {
            return goalsFor - goalsAgainst;
        }

        double winRate() {
            return played == 0 ? 0 : (double) won / played;
        }
    }

    private final List<String> entrants;
    private final Map<String, Row> rows = new LinkedHashMap<>();
    /** [row entrant][column entrant] = {won, drawn, lost} of the row's entrant. */
    private final int[][][] headToHead;

    LeagueTable(List<String> entrants, List<MatchOutcome> matches) {
        this.entrants = List.copyOf(entrants);
        for (String name : entrants) rows.put(name, new Row(name));
        headToHead = new int[entrants.size()][entrants.size()][3];
        for (MatchOutcome match : matches) add(match);
        rate(matches);
    }

    private void add(MatchOutcome match) {
        Row home = row(match.home());
        Row away = row(match.away());
        home.played++;
        away.played++;
        home.goalsFor += match.homeGoals();
        home.goalsAgainst += match.awayGoals();
        away.goalsFor += match.awayGoals();
        away.goalsAgainst += match.homeGoals();
        int h = entrants.indexOf(match.home());
        int a = entrants.indexOf(match.away());
        int sign = Integer.compare(match.homeGoals(), match.awayGoals());
        if (sign > 0) {
            home.won++;
            away.lost++;
        } else if (sign < 0) {
            away.won++;
            home.lost++;
        } else {
            home.drawn++;
            away.drawn++;
        }
        headToHead[h][a][1 - sign]++;
        headToHead[a][h][1 + sign]++;
    }

    private Row row(String name) {
        Row row = rows.get(name);
        if (row == null) throw new IllegalArgumentException("no entrant named " + name);
        return row;
    }

    /** The rows, best first: points, then goal difference, then goals scored, then name. */
    List<Row> ranked() {
        List<Row> ranked = new ArrayList<>(rows.values());
        ranked.sort(Comparator.comparingInt(Row::points).reversed()
                .thenComparing(Comparator.comparingInt(Row::goalDifference).reversed())
                .thenComparing(Comparator.comparingInt((Row r) -> r.goalsFor).reversed())
                .thenComparing(r -> r.name));
        return ranked;
    }

    /** The 95 % Wilson score interval of successes out of n; [0, 1] when n is 0. */
    public static double[] wilson(int successes, int n) {
        return Series.wilson(successes, n);
    }

    /**
     * Bradley–Terry strengths by the minorisation–maximisation iteration, a draw counting half
     * a win for each side. Every entrant also plays one virtual win and one virtual loss against
     * a fixed opponent of strength 1, so an entrant that won or lost everything still gets a
     * finite rating. Ratings are 1500 + 400·log10(strength), the Elo scale: 400 points apart
     * means odds of 10 to 1.
     */
    private void rate(List<MatchOutcome> matches) {
        int n = entrants.size();
        double[][] wins = new double[n][n];
        double[][] games = new double[n][n];
        for (MatchOutcome match : matches) {
            int h = entrants.indexOf(match.home());
            int a = entrants.indexOf(match.away());
            double score = match.homeGoals() > match.awayGoals() ? 1
                    : match.homeGoals() < match.awayGoals()      ? 0
                                                                 : 0.5;
            wins[h][a] += score;
            wins[a][h] += 1 - score;
            games[h][a]++;
            games[a][h]++;
        }
        double[] strength = new double[n];
        java.util.Arrays.fill(strength, 1);
        for (int iteration = 0; iteration < 10_000; iteration++) {
            double change = 0;
            double[] next = new double[n];
            for (int i = 0; i < n; i++) {
                double won = 1;  // the virtual win
                double weight = 2 / (strength[i] + 1);  // two virtual games against strength 1
                for (int j = 0; j < n; j++) {
                    if (games[i][j] == 0) continue;
                    won += wins[i][j];
                    weight += games[i][j] / (strength[i] + strength[j]);
                }
                next[i] = won / weight;
                change = Math.max(change, Math.abs(Math.log(next[i] / strength[i])));
            }
            strength = next;
            if (change < 1e-12) break;
        }
        for (int i = 0; i < n; i++) {
            rows.get(entrants.get(i)).rating = 1500 + 400 * Math.log10(strength[i]);
        }
    }

    /** The table as printed and written to table.txt: the league, then the head-to-head. */
    String text() {
        StringBuilder out = new StringBuilder();
        List<String[]> lines = new ArrayList<>();
        lines.add(new String[] {"#", "entrant", "P", "W", "D", "L", "Pts", "GF", "GA", "GD",
                "win%", "95% interval", "rating"});
        int rank = 1;
        for (Row r : ranked()) {
            double[] interval = wilson(r.won, r.played);
            lines.add(new String[] {Integer.toString(rank++), r.name, Integer.toString(r.played),
                    Integer.toString(r.won), Integer.toString(r.drawn), Integer.toString(r.lost),
                    Integer.toString(r.points()), Integer.toString(r.goalsFor),
                    Integer.toString(r.goalsAgainst), signed(r.goalDifference()),
                    percent(r.winRate()),
                    percent(interval[0]) + "-" + percent(interval[1]),
                    String.format(Locale.ROOT, "%.0f", r.rating)});
        }
        Summary.table(out, lines, 1);
        out.append("\nHead to head (row's wins-draws-losses against column)\n");
        List<String[]> matrix = new ArrayList<>();
        String[] header = new String[entrants.size() + 1];
        header[0] = "";
        for (int j = 0; j < entrants.size(); j++) header[j + 1] = entrants.get(j);
        matrix.add(header);
        for (int i = 0; i < entrants.size(); i++) {
            String[] line = new String[entrants.size() + 1];
            line[0] = entrants.get(i);
            for (int j = 0; j < entrants.size(); j++) {
                int[] r = headToHead[i][j];
                line[j + 1] = i == j ? "-" : r[0] + "-" + r[1] + "-" + r[2];
            }
            matrix.add(line);
        }
        Summary.table(out, matrix, 0);
        return out.toString();
    }

    /** The table as results.json holds it, best first. */
    List<Object> toJson() {
        List<Object> table = new ArrayList<>();
        int rank = 1;
        for (Row r : ranked()) {
            double[] interval = wilson(r.won, r.played);
            Map<String, Object> m = new LinkedHashMap<>();
            m.put("rank", rank++);
            m.put("entrant", r.name);
            m.put("played", r.played);
            m.put("won", r.won);
            m.put("drawn", r.drawn);
            m.put("lost", r.lost);
            m.put("points", r.points());
            m.put("goalsFor", r.goalsFor);
            m.put("goalsAgainst", r.goalsAgainst);
            m.put("goalDifference", r.goalDifference());
            m.put("winRate", round(r.winRate()));
            m.put("winRateInterval", List.of(round(interval[0]), round(interval[1])));
            m.put("rating", round(r.rating));
            table.add(m);
        }
        return table;
    }

    /** Six decimals: the same figures on every machine, whatever the last bit of a sum. */
    static Double round(double value) {
        return Math.round(value * 1e6) / 1e6;
    }

    private static String signed(int value) {
        return value > 0 ? "+" + value : Integer.toString(value);
    }

    static String percent(double share) {
        return String.format(Locale.ROOT, "%.0f", 100 * share);
    }
}
