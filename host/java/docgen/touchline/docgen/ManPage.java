package touchline.docgen;

import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.lang.reflect.Method;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import picocli.CommandLine;
import picocli.CommandLine.Model.ArgSpec;
import picocli.CommandLine.Model.CommandSpec;
import picocli.CommandLine.Model.OptionSpec;
import picocli.CommandLine.Model.PositionalParamSpec;

/**
 * Writes a command's manual page (roff, section 1) at build time from its picocli definition
 * and from what its --help prints, so that the page says what the command says:
 *
 * <pre>
 *   java -cp host.jar:picocli.jar:docgen.jar touchline.docgen.ManPage \
 *       OPTIONS-CLASS RUN-CLASS VERSION OUT-FILE [SEE-ALSO...]
 * </pre>
 *
 * OPTIONS-CLASS carries the picocli annotations; RUN-CLASS has the command's static
 * run(String[], PrintStream, PrintStream, boolean), called with --help. The options and their
 * order, names and values come from the definition; each option's text is its entry in --help
 * where it has one (touchline-match writes its help by hand, fuller than the annotations),
 * else its annotation. The paragraphs of --help that are neither the usage line, an option nor
 * the exit status make the description.
 */
public final class ManPage {
    private ManPage() {}

    public static void main(String[] args) throws Exception {
        if (args.length < 4) {
            System.err.println(
                    "usage: ManPage OPTIONS-CLASS RUN-CLASS VERSION OUT-FILE [SEE-ALSO...]");
            System.exit(2);
        }
        CommandSpec command = new CommandLine(Class.forName(args[0])).getCommandSpec();
        String help = help(Class.forName(args[1]));
        List<String> seeAlso = List.of(args).subList(4, args.length);
        Files.writeString(Path.of(args[3]), page(command, help, args[2], seeAlso),
                StandardCharsets.UTF_8);
    }

    /** What the command prints for --help. */
    static String help(Class<?> command) throws Exception {
        Method run = command.getDeclaredMethod("run", String[].class, PrintStream.class,
                PrintStream.class, boolean.class);
        run.setAccessible(true);
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        PrintStream out = new PrintStream(bytes, true, StandardCharsets.UTF_8);
        Object status = run.invoke(null, new String[] {"--help"}, out, out, false);
        if (!Integer.valueOf(0).equals(status)) {
            throw new IllegalStateException(command.getName() + " --help exited " + status);
        }
        return bytes.toString(StandardCharsets.UTF_8);
    }

    /** The help text taken apart: usage, each option's text, exit status, the other prose. */
    static final class Help {
        String usage = "";
        final Map<ArgSpec, String> entries = new LinkedHashMap<>();
        final List<String> prose = new ArrayList<>();
        String exitStatus = "";
    }

    static Help parse(CommandSpec command, String text) {
        Help help = new Help();
        String[] lines = text.split("\n", -1);
        StringBuilder paragraph = new StringBuilder();
        int i = 0;
        while (i < lines.length) {
            String line = lines[i];
            int indent = indent(line);
            ArgSpec arg = isEntry(indent) ? entry(command, line.strip()) : null;
            if (line.startsWith("Usage:")) {
                StringBuilder usage = new StringBuilder(line.substring(6).strip());
                while (i + 1 < lines.length && indent(lines[i + 1]) > 0
                        && !lines[i + 1].isBlank()) {
                    usage.append(' ').append(lines[++i].strip());
                }
                help.usage = usage.toString();
            } else if (arg != null) {
                flush(help, paragraph);
                StringBuilder description = new StringBuilder(afterLabel(line.strip()));
                while (i + 1 < lines.length && !lines[i + 1].isBlank()
                        && indent(lines[i + 1]) > indent
                        && !(isEntry(indent(lines[i + 1]))
                                && entry(command, lines[i + 1].strip()) != null)) {
                    append(description, lines[++i].strip());
                }
                help.entries.putIfAbsent(arg, description.toString());
            } else if (line.isBlank()) {
                flush(help, paragraph);
            } else if (line.toLowerCase(Locale.ROOT).startsWith("exit status:")) {
                flush(help, paragraph);
                StringBuilder exit = new StringBuilder(line.substring(12).strip());
                while (i + 1 < lines.length && !lines[i + 1].isBlank()) {
                    append(exit, lines[++i].strip());
                }
                help.exitStatus = exit.toString();
            } else {
                append(paragraph, line.strip());
            }
            i++;
        }
        flush(help, paragraph);
        return help;
    }

    /**
     * Whether a line so indented may start an option's entry: entries are indented a little,
     * their descriptions' further lines far more (and may start with an option's name).
     */
    private static boolean isEntry(int indent) {
        return indent > 0 && indent <= 8;
    }

    /** The option or parameter a help line starts the entry of, or null. */
    private static ArgSpec entry(CommandSpec command, String stripped) {
        String start = stripped.startsWith("[") ? stripped.substring(1) : stripped;
        for (OptionSpec option : command.options()) {
            if (option.hidden()) continue;
            for (String name : option.names()) {
                if (startsWord(start, name)) return option;
            }
        }
        for (PositionalParamSpec parameter : command.positionalParameters()) {
            if (!parameter.hidden() && startsWord(start, parameter.paramLabel())) {
                return parameter;
            }
        }
        return null;
    }

    private static boolean startsWord(String text, String word) {
        if (!text.startsWith(word)) return false;
        if (text.length() == word.length()) return true;
        return " =,.]".indexOf(text.charAt(word.length())) >= 0;
    }

    /** The text after an entry's names and value: past the first run of two spaces. */
    private static String afterLabel(String entry) {
        int gap = entry.indexOf("  ");
        return gap < 0 ? "" : entry.substring(gap).strip();
    }

    private static int indent(String line) {
        int n = 0;
        while (n < line.length() && line.charAt(n) == ' ') n++;
        return n;
    }

    private static void append(StringBuilder text, String more) {
        if (text.length() > 0) text.append(' ');
        text.append(more);
    }

    private static void flush(Help help, StringBuilder paragraph) {
        if (paragraph.length() == 0) return;
        help.prose.add(paragraph.toString());
        paragraph.setLength(0);
    }

    static String page(CommandSpec command, String helpText, String version, List<String> seeAlso) {
        Help help = parse(command, helpText);
        String name = command.name();
        StringBuilder roff = new StringBuilder();
        roff.append(".TH ").append(escape(name.toUpperCase(Locale.ROOT))).append(" 1 \"\" \"")
                .append("Touchline ").append(escape(version)).append("\" \"Touchline manual\"\n");
        // Paths and options are neither hyphenated nor stretched.
        roff.append(".nh\n.ad l\n");
        roff.append(".SH NAME\n").append(escape(name)).append(" \\- ")
                .append(escape(summary(command))).append('\n');
        roff.append(".SH SYNOPSIS\n.B ").append(escape(name)).append('\n');
        String usage = help.usage.startsWith(name) ? help.usage.substring(name.length()).strip()
                                                  : help.usage;
        roff.append(escape(usage)).append('\n');
        roff.append(".SH DESCRIPTION\n");
        for (int p = 0; p < help.prose.size(); p++) {
            if (p > 0) roff.append(".PP\n");
            roff.append(escape(help.prose.get(p))).append('\n');
        }
        roff.append(".SH OPTIONS\n");
        List<ArgSpec> args = new ArrayList<>(help.entries.keySet());
        for (PositionalParamSpec parameter : command.positionalParameters()) {
            if (!parameter.hidden() && !args.contains(parameter)) args.add(parameter);
        }
        for (OptionSpec option : command.options()) {
            if (!option.hidden() && !args.contains(option)) args.add(option);
        }
        for (ArgSpec arg : args) {
            String text = help.entries.get(arg);
            if (text == null || text.isEmpty()) text = String.join(" ", arg.description());
            roff.append(".TP\n").append(label(arg)).append('\n').append(escape(text))
                    .append('\n');
        }
        Map<String, String> codes = command.usageMessage().exitCodeList();
        if (!codes.isEmpty() || !help.exitStatus.isEmpty()) {
            roff.append(".SH \"EXIT STATUS\"\n");
            if (codes.isEmpty()) roff.append(escape(help.exitStatus)).append('\n');
            for (Map.Entry<String, String> code : codes.entrySet()) {
                roff.append(".TP\n.B ").append(escape(code.getKey().strip())).append('\n')
                        .append(escape(code.getValue().strip())).append('\n');
            }
        }
        if (!seeAlso.isEmpty()) {
            roff.append(".SH \"SEE ALSO\"\n");
            for (int s = 0; s < seeAlso.size(); s++) {
                if (s > 0) roff.append(".br\n");
                roff.append(escape(seeAlso.get(s))).append('\n');
            }
        }
        return roff.toString();
    }

    /** The NAME line's text: the definition's first sentence, lower case, without its stop. */
    private static String summary(CommandSpec command) {
        String[] description = command.usageMessage().description();
        String first = description.length == 0 ? "" : description[0].strip();
        if (first.endsWith(".")) first = first.substring(0, first.length() - 1);
        if (first.isEmpty()) return first;
        return Character.toLowerCase(first.charAt(0)) + first.substring(1);
    }

    /** An option's names in bold and its value in italics: "--home LIBRARY...". */
    private static String label(ArgSpec arg) {
        StringBuilder label = new StringBuilder();
        if (arg instanceof OptionSpec option) {
            for (String name : option.names()) {
                if (label.length() > 0) label.append(", ");
                label.append("\\fB").append(escape(name)).append("\\fR");
            }
            if (arg.arity().max() == 0) return label.toString();
            label.append(' ');
        }
        label.append("\\fI").append(escape(arg.paramLabel())).append("\\fR");
        if (arg.arity().max() > 1 || (arg.isPositional() && arg.isMultiValue())) {
            label.append("...");
        }
        return label.toString();
    }

    /**
     * Text as roff reads it literally: backslashes escaped, hyphens as minus signs (so that
     * options read and copy as typed), and a line that would start with a control character
     * guarded.
     */
    static String escape(String text) {
        String escaped = text.replace("\\", "\\e").replace("-", "\\-");
        if (escaped.startsWith(".") || escaped.startsWith("'")) escaped = "\\&" + escaped;
        return escaped;
    }
}
