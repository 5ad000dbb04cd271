package touchline.host.play;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import java.util.SplittableRandom;
import java.util.concurrent.CancellationException;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import touchline.host.match.Json;
import touchline.host.match.Visible;

/**
 * --series K: K matches of the two teams, the first team at home in the odd ones and away in
 * the even ones, matches 2i - 1 and 2i on seed number i derived from the seed. Tells a line per
 * match and the totals of the first team, with its win rate and the rate's 95 % Wilson
 * interval; with an out folder, each match's folder is DIR/match-NNNN and the text goes to
 * DIR/series.txt. J matches (the setup's jobs) are played at a time, each in its own robot
 * processes; the results are told in the matches' order, the same whatever J (the progress bar
 * is shown only one match at a time).
 */
public final class Series {
    /** The 97.5 % quantile of the standard normal distribution. */
    private static final double Z95 = 1.959963984540054;

    /**
     * A series played: its exit status (that of the first match that failed, else 0), and,
     * when every match it started was played, its text and its JSON object.
     */
    public record Result(int status, String text, String json, Path folder) {
        /** Writes the text into series.txt of the out folder, if there is one. */
        public void save() throws IOException {
            if (folder == null || text == null) return;
            Files.writeString(folder.resolve("series.txt"), text, StandardCharsets.UTF_8);
        }
    }

    private final MatchRunner runner;
    private final MatchSetup setup;

    Series(MatchRunner runner, MatchSetup setup) {
        this.runner = runner;
        this.setup = setup;
    }

    Result play(boolean progress) throws IOException, BadSetup {
        int jobs = Math.max(1, Math.min(setup.jobs(), setup.series()));
        ExecutorService pool = Executors.newFixedThreadPool(jobs, task -> {
            Thread thread = new Thread(task, "touchline-series-match");
            thread.setDaemon(true);
            return thread;
        });
        List<Future<MatchRunner.Played>> matches = new ArrayList<>();
        List<Long> matchSeeds = new ArrayList<>();
        SplittableRandom seedsAhead = new SplittableRandom(setup.seed());
        long next = 0;
        for (int m = 0; m < setup.series(); m++) {
            if (m % 2 == 0) next = seedsAhead.nextLong();
            long matchSeed = next;
            boolean sidesSwapped = m % 2 == 1;
            matchSeeds.add(matchSeed);
            Path folder = setup.out() == null ? null
                    : setup.out().resolve(String.format(Locale.ROOT, "match-%04d", m + 1));
            if (folder != null) MatchRunner.prepareOut(folder);
            MatchSetup one = setup.forMatch(matchSeed, sidesSwapped, folder);
            matches.add(pool.submit(() -> runner.stopping() ? null
                    : runner.play(one, progress && jobs == 1)));
        }
        pool.shutdown();
        int won = 0;
        int drawn = 0;
        int lost = 0;
        int goalsFor = 0;
        int goalsAgainst = 0;
        List<String> summaries = new ArrayList<>();
        StringBuilder text = new StringBuilder(String.format(Locale.ROOT,
                "Series of %d matches: %s against %s, %d steps each%n%n", setup.series(),
                setup.homeName(), setup.awayName(), setup.steps()));
        for (int m = 0; m < setup.series(); m++) {
            long seed = matchSeeds.get(m);
            boolean swapped = m % 2 == 1;
            MatchRunner.Played played = played(matches.get(m));
            if (played == null) break;
            if (played.status() != 0) {
                for (Future<MatchRunner.Played> later : matches) later.cancel(false);
                runner.interruptPlaying();
                return new Result(played.status(), null, null, null);
            }
            int f = swapped ? played.awayGoals() : played.homeGoals();
            int a = swapped ? played.homeGoals() : played.awayGoals();
            won += f > a ? 1 : 0;
            drawn += f == a ? 1 : 0;
            lost += f < a ? 1 : 0;
            goalsFor += f;
            goalsAgainst += a;
            summaries.add(played.json());
            String home = swapped ? setup.awayName() : setup.homeName();
            String away = swapped ? setup.homeName() : setup.awayName();
            text.append(String.format(Locale.ROOT, "  %3d  seed %20d  %s %d : %d %s%n", m + 1,
                    seed, Visible.line(home), played.homeGoals(), played.awayGoals(),
                    Visible.line(away)));
            if (played.interrupted()) break;
        }
        int played = won + drawn + lost;
        double[] interval = wilson(won, played);
        text.append(String.format(Locale.ROOT, "%n%s: won %d, drawn %d, lost %d; goals %d : %d; "
                        + "win rate %.0f %% (95 %% interval %.0f to %.0f %%)%n",
                setup.homeName(), won, drawn, lost, goalsFor, goalsAgainst,
                played == 0 ? 0.0 : 100.0 * won / played, 100 * interval[0], 100 * interval[1]));
        String json = "{\"series\":{\"team\":" + Json.string(setup.homeName())
                + ",\"opponent\":" + Json.string(setup.awayName()) + ",\"played\":" + played
                + ",\"won\":" + won + ",\"drawn\":" + drawn + ",\"lost\":" + lost
                + ",\"goalsFor\":" + goalsFor + ",\"goalsAgainst\":" + goalsAgainst
                + ",\"winRateInterval\":[" + Json.exact(interval[0]) + ","
                + Json.exact(interval[1]) + "]},\"matches\":[" + String.join(",", summaries)
                + "]}";
        return new Result(0, text.toString(), json, setup.out());
    }

    /** A series' match once played: null if it was not played (the series was stopped). */
    private static MatchRunner.Played played(Future<MatchRunner.Played> match)
            throws IOException, BadSetup {
        try {
            return match.get();
        } catch (CancellationException e) {
            return null;
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
            return null;
        } catch (ExecutionException e) {
            Throwable cause = e.getCause();
            if (cause instanceof IOException io) throw io;
            if (cause instanceof BadSetup bad) throw bad;
            if (cause instanceof RuntimeException runtime) throw runtime;
            throw new IOException(cause);
        }
    }

    /**
     * The Wilson score interval of a success rate at 95 %: [low, high], both within [0, 1]
     * ([0, 1] when nothing was played).
     */
    public static double[] wilson(int successes, int n) {
        if (n == 0) return new double[] {0, 1};
        double p = (double) successes / n;
        double z2 = Z95 * Z95;
        double denominator = 1 + z2 / n;
        double centre = (p + z2 / (2 * n)) / denominator;
        double half = Z95 / denominator * Math.sqrt(p * (1 - p) / n + z2 / (4.0 * n * n));
        return new double[] {Math.max(0, centre - half), Math.min(1, centre + half)};
    }
}
