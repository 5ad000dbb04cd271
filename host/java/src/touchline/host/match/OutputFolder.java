package touchline.host.match;

import java.io.IOException;
import java.nio.file.DirectoryStream;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.regex.Pattern;

/**
 * The rule for an output folder (--out, a --plan folder): a run writes into a new or empty
 * folder, or into one that holds only what runs of Touchline write, which it first clears, so
 * that no file of an earlier run (a crash report of a robot that did not crash this time, the
 * match folders of a longer series or plan) is taken for one of this run. A folder holding
 * anything else is refused, and nothing in it is touched.
 */
public final class OutputFolder {
    /** The names runs write into an output folder, and into its match folders. */
    private static final Pattern WRITTEN = Pattern.compile("replay\\.jsonl|replay\\.html"
            + "|summary\\.txt|summary\\.json|summary\\.json\\.part|final\\.png|trails\\.png|robot-[0-9]+-crash\\.log"
            + "|series\\.txt|results\\.json|table\\.txt|plan\\.json|plan\\.txt"
            + "|\\.replay-debug-[0-9]+\\.gz");
    private static final Pattern MATCH_FOLDER = Pattern.compile("match-[0-9]{4,}");
    /** At most this many foreign names are shown when a folder is refused. */
    private static final int SHOWN = 3;

    /** A folder the rule refuses, or one that cannot be made or cleared; the message says why. */
    public static final class Refused extends IOException {
        private static final long serialVersionUID = 1L;

        Refused(String message) {
            super(message);
        }
    }

    private OutputFolder() {}

    /**
     * Makes folder ready for a run: created if missing, cleared of what earlier runs wrote.
     * option names the folder in messages ("--out DIR").
     */
    public static void prepare(Path folder, String option) throws Refused {
        String shown = option + " " + Visible.line(folder.toString());
        if (Files.exists(folder) && !Files.isDirectory(folder)) {
            throw new Refused(shown + " is not a directory");
        }
        try {
            Files.createDirectories(folder);
        } catch (IOException e) {
            throw new Refused(shown + ": cannot create the folder: " + reason(e));
        }
        if (!Files.isWritable(folder)) {
            throw new Refused(shown + ": cannot write into it: Permission denied");
        }
        List<Path> written = new ArrayList<>();
        List<String> foreign = new ArrayList<>();
        try {
            sort(folder, true, written, foreign);
        } catch (IOException e) {
            throw new Refused(shown + ": cannot read the folder: " + reason(e));
        }
        if (!foreign.isEmpty()) {
            String names = String.join(", ", foreign.subList(0, Math.min(SHOWN, foreign.size())))
                    + (foreign.size() > SHOWN ? ", ..." : "");
            throw new Refused(shown + " holds files Touchline did not write (" + names
                    + "): give a new or empty folder, or one an earlier run wrote");
        }
        try {
            for (Path path : written) delete(path);
        } catch (IOException e) {
            throw new Refused(shown + ": cannot clear what an earlier run wrote: " + reason(e));
        }
    }

    /**
     * Sorts the entries of folder into what runs write and the rest (shown by their path in
     * folder); match folders are looked into, one level down.
     */
    private static void sort(Path folder, boolean top, List<Path> written, List<String> foreign)
            throws IOException {
        try (DirectoryStream<Path> entries = Files.newDirectoryStream(folder)) {
            for (Path entry : entries) {
                String name = entry.getFileName().toString();
                boolean file = Files.isRegularFile(entry, LinkOption.NOFOLLOW_LINKS);
                if (file && WRITTEN.matcher(name).matches()) {
                    written.add(entry);
                } else if (top && MATCH_FOLDER.matcher(name).matches()
                        && Files.isDirectory(entry, LinkOption.NOFOLLOW_LINKS)) {
                    int before = foreign.size();
                    sort(entry, false, written, foreign);
                    if (foreign.size() == before) written.add(entry);
                } else {
                    foreign.add(Visible.line(top ? name : folder.getFileName() + "/" + name));
                }
            }
        }
    }

    /** Deletes a file, or a match folder whose files were deleted before it. */
    private static void delete(Path path) throws IOException {
        Files.deleteIfExists(path);
    }

    /** The system's reason for a failed file operation, as its tools word it. */
    public static String reason(IOException e) {
        if (e instanceof java.nio.file.FileSystemException f && f.getReason() != null) {
            return f.getReason();
        }
        if (e instanceof java.nio.file.NoSuchFileException) return "No such file or directory";
        if (e instanceof java.nio.file.AccessDeniedException) return "Permission denied";
        if (e instanceof java.nio.file.FileAlreadyExistsException) return "File exists";
        if (e instanceof java.nio.file.NotDirectoryException) return "Not a directory";
        return e.getMessage() == null ? e.getClass().getSimpleName() : e.getMessage();
    }
}
