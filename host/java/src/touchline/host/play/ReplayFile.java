package touchline.host.play;

import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.function.Consumer;
import touchline.host.match.LiveServer;
import touchline.host.match.Match;
import touchline.host.match.MatchResult;
import touchline.host.match.OutputFolder;
import touchline.host.match.ReplayWriter;
import touchline.host.match.RobotOutcome;
import touchline.host.robot.Ball;
import touchline.host.robot.DebugConsole;
import touchline.host.robot.Event;
import touchline.host.replay.ReplayOutputs;
import touchline.host.robot.Team;

/**
 * replay.jsonl and summary.txt in the --out folder. A write that fails stops the recording
 * with one line naming the file and the system's reason; the match plays on.
 */
final class ReplayFile {
    private final Path folder;
    private final Path compare;
    private final PrintStream err;
    private OutputStream stream;
    private ReplayWriter writer;
    private final List<Consumer<ReplayWriter>> early = new ArrayList<>();
    private boolean told;

    /** The page and pictures, made as the replay is written; null once finished or dropped. */
    private ReplayOutputs.Maker outputs;

    /** The replay of folder, with compare (null: none) drawn as ghosts on its page. */
    ReplayFile(Path folder, Path compare, PrintStream err) {
        this.folder = folder;
        this.compare = compare;
        this.err = err;
    }

    /**
     * Opens the replay; its lines go to the live view too, when there is one, and to the
     * making of the page and pictures.
     */
    void open(Match match, long seed, LiveServer view) throws IOException {
        Path file = folder.resolve("replay.jsonl");
        try {
            stream = Files.newOutputStream(file);
            outputs = ReplayOutputs.during(file, compare);
        } catch (IOException e) {
            throw new IOException("cannot write " + file + ": " + OutputFolder.reason(e), e);
        }
        writer = new ReplayWriter(stream, file);
        ReplayOutputs.Maker maker = outputs;
        writer.tap(view == null ? maker::line : line -> {
            view.line(line);
            maker.line(line);
        });
        writer.header(match.simulation(), seed);
        for (Consumer<ReplayWriter> ending : early) ending.accept(writer);
        early.clear();
        check();
    }

    void stepped(long time, Ball ball, List<Team> teams,
            Map<Integer, List<Event>> events) {
        if (writer == null) return;
        writer.stepped(time, ball, teams, events);
        check();
    }

    void debug(int robot, long time, DebugConsole.Output output) {
        if (writer == null) return;
        writer.debug(robot, time, output);
        check();
    }

    void ended(int robot, long stillFrom, RobotOutcome.Ending ending, String reason) {
        // Robots ended while the match starts are written once the replay is open.
        if (writer == null) {
            early.add(w -> w.ended(robot, stillFrom, ending, reason));
            return;
        }
        writer.ended(robot, stillFrom, ending, reason);
        check();
    }

    /**
     * Writes the end line, summary.txt and summary.json; false when anything could not be
     * written.
     */
    boolean finish(MatchResult result, String summary, String json) {
        writer.end(result);
        check();
        boolean written = writer.error() == null;
        for (String[] file : new String[][] {{"summary.txt", summary},
                {"summary.json", json + "\n"}}) {
            Path path = folder.resolve(file[0]);
            try {
                Files.writeString(path, file[1], StandardCharsets.UTF_8);
            } catch (IOException e) {
                err.println(MatchRunner.NAME + ": cannot write " + path + ": " + OutputFolder.reason(e));
                written = false;
            }
        }
        return written;
    }

    private void check() {
        if (told || writer.error() == null) return;
        told = true;
        err.println(MatchRunner.NAME + ": cannot write " + writer.file() + ": "
                + OutputFolder.reason(writer.error()) + "; the recording stops, the match plays on");
    }

    /**
     * Finishes the page and pictures (replay.html, final.png, trails.png) of the finished
     * replay; false, with a line on err, if they could not be written.
     */
    boolean pageAndPictures() {
        ReplayOutputs.Maker maker = outputs;
        outputs = null;
        try {
            maker.finish();
            return true;
        } catch (IOException | RuntimeException e) {
            err.println(MatchRunner.NAME + ": cannot write the replay page and pictures: "
                    + e.getMessage());
            return false;
        }
    }

    /** Closes the replay; a page and pictures not finished by now are not made. */
    void close() {
        if (outputs != null) {
            outputs.abandon();
            outputs = null;
        }
        if (stream == null) return;
        try {
            stream.close();
        } catch (IOException e) {
            check();
        }
        stream = null;
    }
}

