package touchline.host.play;

import java.io.PrintStream;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import touchline.host.match.Match;
import touchline.host.match.Visible;

/** --echo: the chosen robots' prints on stderr, as each robot's step reaches the match. */
final class Echo {
    private final PrintStream err;
    private final Map<Integer, String> names = new HashMap<>();

    Echo(PrintStream err) {
        this.err = err;
    }

    void choose(Match match, List<String> chosen) {
        for (int id : match.simulation().robotIds()) {
            String name = match.simulation().robotName(id);
            if (chosen.contains("all") || chosen.contains(Integer.toString(id))
                    || chosen.contains(name)) {
                names.put(id, name);
            }
        }
    }

    void show(int robot, long time, List<String> prints, ProgressBar bar) {
        String name = names.get(robot);
        if (name == null || prints.isEmpty()) return;
        if (bar != null) bar.done();
        for (String text : prints) {
            err.println("[" + time + "] " + robot + " " + Visible.line(name) + ": "
                    + Visible.line(text));
        }
    }
}

