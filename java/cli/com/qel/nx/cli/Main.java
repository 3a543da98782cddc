package com.qel.nx.cli;

import com.qel.nx.api.alarm.LogName;
import java.io.BufferedWriter;
import java.io.OutputStreamWriter;
import java.io.PrintStream;
import java.io.PrintWriter;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;
import java.util.List;
import java.util.Set;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import java.util.stream.Collectors;
import picocli.CommandLine;
import picocli.CommandLine.Command;
import picocli.CommandLine.MaxValuesExceededException;
import picocli.CommandLine.MissingParameterException;
import picocli.CommandLine.Model.ArgSpec;
import picocli.CommandLine.Model.OptionSpec;
import picocli.CommandLine.Model.UsageMessageSpec;
import picocli.CommandLine.Option;
import picocli.CommandLine.ParameterException;
import picocli.CommandLine.ParseResult;
import picocli.CommandLine.ScopeType;
import picocli.CommandLine.UnmatchedArgumentException;

/**
 * The operator command line over the alarm-log client API. Run through
 * bin/nxalarm, which sets NX_ALARM_DB and NX_MIS_NAME from --db and --mis
 * before the JVM (and with it the native library) starts.
 */
@Command(name = "nxalarm", synopsisHeading = "usage: ", usageHelpWidth = 100,
        customSynopsis = "nxalarm [--db FILE] [--mis NAME] [--log ID | --log-number N] COMMAND [options]",
        commandListHeading = "%ncommands (nxalarm COMMAND --help lists a command's options):%n",
        optionListHeading = "%noptions of every command, before or after it:%n",
        footerHeading = "%nselection (all given conditions must hold; values of one option are alternatives):%n",
        footer = {Selection.HELP,
            "--sort KEYS  comma-separated, - in front for descending (-eventTime,severity); keys:",
            "             " + SortKeys.HELP,
            "             (-severity puts critical first; the record id always orders last)",
            "ndjson       one JSON object per line, written as the records are read",
            "times        table: local time; csv and json: ISO 8601 with the offset",
            "",
            "exit status: 0 done, 1 the operation failed, 2 bad command line or filter,",
            "             3 database or log not found"})
public final class Main {
    /** The commands, in the order the help lists them. */
    private static final List<Class<? extends Subcommand>> COMMANDS = List.of(Commands.ListRecords.class,
            Commands.Count.class, Commands.Ack.class, Commands.Unack.class, Commands.Clear.class,
            Commands.Unclear.class, Commands.Display.class, Commands.Undisplay.class, Commands.SendClear.class,
            Commands.Delete.class, Commands.Watch.class, Commands.Sql.class, Commands.DbParams.class,
            HistoryCommands.History.class, HistoryCommands.Changes.class, HistoryCommands.Purge.class);

    /** Options of every command that take a value (as the next word or after '='): Main's setter options. */
    private static final Set<String> VALUED_OPTIONS = Arrays.stream(Main.class.getDeclaredMethods())
            .filter(m -> m.isAnnotationPresent(Option.class) && m.getParameterCount() == 1)
            .flatMap(m -> Arrays.stream(m.getAnnotation(Option.class).names()))
            .collect(Collectors.toUnmodifiableSet());

    /** Where commands write: standard output as UTF-8 (flushed at the end), and standard error. */
    final PrintWriter out;
    final PrintStream stdout;
    final PrintStream err;

    /** The log the options name; set before the command runs. */
    LogName log;

    private String mis;
    private String logId;
    private Integer logNumber;

    // The global options may also follow the command (they are inherited by every subcommand).
    @Option(names = "--db", paramLabel = "FILE", scope = ScopeType.INHERIT,
            description = "the alarm database (else NX_ALARM_DB, else ./nxalarm.db)")
    void db(String value) throws CliException {
        requireEnv("--db", value, "NX_ALARM_DB");
    }

    @Option(names = "--mis", paramLabel = "NAME", scope = ScopeType.INHERIT,
            description = "the MIS name (else NX_MIS_NAME, else the host name)")
    void mis(String value) throws CliException {
        requireEnv("--mis", value, "NX_MIS_NAME");
        mis = value;
    }

    @Option(names = "--log", paramLabel = "ID", scope = ScopeType.INHERIT,
            description = "the log by text id (default " + AlarmLogSession.DEFAULT_LOG + ")")
    void logId(String value) throws CliException {
        if (value.isEmpty()) {
            throw CliException.usage("--log needs a log id");
        }
        logId = value;
    }

    @Option(names = "--log-number", paramLabel = "N", scope = ScopeType.INHERIT, description = "the log by number")
    void logNumber(String value) throws CliException {
        logNumber = WholeNumber.parse("--log-number", value, 0);
    }

    @Option(names = {"-h", "--help"}, usageHelp = true, scope = ScopeType.INHERIT, description = "this help")
    boolean help;

    private Main(PrintStream out, PrintStream err) {
        this.out = new PrintWriter(new BufferedWriter(new OutputStreamWriter(out, StandardCharsets.UTF_8)));
        this.stdout = out;
        this.err = err;
    }

    public static void main(String[] args) {
        int status = run(args, System.out, System.err);
        System.out.flush();
        // watch leaves the platform's event thread running.
        System.exit(status);
    }

    /** Runs one command; returns the exit status. Never throws for a user mistake. */
    static int run(String[] argv, PrintStream out, PrintStream err) {
        // Only the command run is built: picocli's model of all sixteen took
        // most of a quarter second of every start. A mistake is reported with
        // all of them known, as it names options of other commands.
        Class<? extends Subcommand> only = commandNamed(argv);
        if (only != null) {
            int status = run(argv, out, err, only);
            if (status != RETRY_WITH_ALL) {
                return status;
            }
        }
        return run(argv, out, err, null);
    }

    /** What run returns when the command line is to be read again with every command known. */
    private static final int RETRY_WITH_ALL = -1;

    /** The command the words name, when the words before it are options of every command; else null. */
    static Class<? extends Subcommand> commandNamed(String[] argv) {
        for (int i = 0; i < argv.length; i++) {
            String word = argv[i];
            if (!word.startsWith("-") || word.equals("-")) {
                for (Class<? extends Subcommand> c : COMMANDS) {
                    if (c.getAnnotation(Command.class).name().equals(word)) {
                        return c;
                    }
                }
                return null;
            }
            String name = word.split("=", 2)[0];
            if (VALUED_OPTIONS.contains(name)) {
                if (!word.contains("=")) {
                    i++;
                }
            } else if (!name.equals("-h") && !name.equals("--help")) {
                return null;
            }
        }
        return null;
    }

    /** Runs argv with only the command only known, or with all of them (only null). */
    private static int run(String[] argv, PrintStream out, PrintStream err, Class<? extends Subcommand> only) {
        Main main = new Main(out, err);
        CommandLine line = new CommandLine(main);
        // Added before the settings below, which reach only the commands there are.
        for (Class<? extends Subcommand> c : only != null ? List.of(only) : COMMANDS) {
            line.addSubcommand(c);
        }
        line.setOverwrittenOptionsAllowed(true).setOut(main.out).setUsageHelpWidth(100);
        // The commands first, as an operator looks for them; the options every command takes after them.
        line.setHelpSectionKeys(List.of(UsageMessageSpec.SECTION_KEY_SYNOPSIS_HEADING,
                UsageMessageSpec.SECTION_KEY_SYNOPSIS, UsageMessageSpec.SECTION_KEY_DESCRIPTION_HEADING,
                UsageMessageSpec.SECTION_KEY_DESCRIPTION, UsageMessageSpec.SECTION_KEY_PARAMETER_LIST,
                UsageMessageSpec.SECTION_KEY_COMMAND_LIST_HEADING, UsageMessageSpec.SECTION_KEY_COMMAND_LIST,
                UsageMessageSpec.SECTION_KEY_FOOTER_HEADING, UsageMessageSpec.SECTION_KEY_FOOTER,
                UsageMessageSpec.SECTION_KEY_OPTION_LIST_HEADING, UsageMessageSpec.SECTION_KEY_OPTION_LIST));
        for (CommandLine sub : line.getSubcommands().values()) {
            sub.getCommandSpec().usageMessage().synopsisHeading("usage: ").descriptionHeading("%n")
                    .optionListHeading("%n");
        }
        try {
            ParseResult parsed = line.parseArgs(argv);
            if (CommandLine.printHelpIfRequested(parsed)) {
                return 0;
            }
            if (parsed.subcommand() == null) {
                throw CliException.usage("no command given");
            }
            main.log = main.namedLog();
            Subcommand command = (Subcommand) parsed.subcommand().commandSpec().userObject();
            command.parsed = parsed.subcommand();
            return command.run();
        } catch (ParameterException e) {
            if (only != null) {
                return RETRY_WITH_ALL;
            }
            return report(err, usageError(e));
        } catch (CliException e) {
            return report(err, e);
        } catch (UnsatisfiedLinkError e) {
            err.println("nxalarm: cannot load the native library (" + e.getMessage()
                    + "); run through bin/nxalarm after building");
            return CliException.UNREACHABLE;
        } finally {
            main.out.flush();
        }
    }

    private static int report(PrintStream err, CliException e) {
        err.println("nxalarm: " + e.getMessage());
        if (e.status() == CliException.USAGE) {
            err.println("Try 'nxalarm --help'.");
        }
        return e.status();
    }

    /** How picocli refuses a value given to an option that takes none. */
    private static final Pattern WITHOUT_VALUE = Pattern.compile("^option '([^']+)' should be ");

    /** A parse failure in the words an operator reads: which option or word, and what is wrong with it. */
    static CliException usageError(ParameterException e) {
        for (Throwable t = e; t != null; t = t.getCause()) {
            if (t instanceof CliException) {
                return (CliException) t;  // a value an option's own check refused
            }
        }
        CommandLine at = e.getCommandLine();
        boolean top = at.getParent() == null;
        if (e instanceof UnmatchedArgumentException) {
            String word = ((UnmatchedArgumentException) e).getUnmatched().get(0);
            if (word.startsWith("-") && word.length() > 1) {
                String name = word.split("=", 2)[0];
                if (!knownAnywhere(at, name)) {
                    return CliException.usage("unknown option " + name);
                }
                return CliException.usage(top ? "option " + name + " belongs after the command"
                        : "option " + name + " does not apply to " + at.getCommandName());
            }
            return CliException.usage(top ? "unknown command \"" + word + "\""
                    : at.getCommandName() + " takes no arguments, not \"" + word + "\"");
        }
        if (e instanceof MissingParameterException) {
            for (ArgSpec a : ((MissingParameterException) e).getMissing()) {
                if (a.isOption()) {
                    return CliException.usage("option " + ((OptionSpec) a).longestName() + " needs a value");
                }
            }
        }
        Matcher m = WITHOUT_VALUE.matcher(e.getMessage());
        if (e instanceof MaxValuesExceededException && m.find()) {
            return CliException.usage("option " + m.group(1) + " takes no value");
        }
        return CliException.usage(e.getMessage());
    }

    private static boolean knownAnywhere(CommandLine at, String option) {
        CommandLine root = at;
        while (root.getParent() != null) {
            root = root.getParent();
        }
        if (root.getCommandSpec().findOption(option) != null) {
            return true;
        }
        for (CommandLine sub : root.getSubcommands().values()) {
            if (sub.getCommandSpec().findOption(option) != null) {
                return true;
            }
        }
        return false;
    }

    /**
     * The library reads the database and MIS name from the environment when
     * it starts, so an option that disagrees with it came too late to act.
     */
    private static void requireEnv(String option, String value, String env) throws CliException {
        if (value.isEmpty()) {
            throw CliException.usage(option + " needs a value");
        }
        if (!value.equals(System.getenv(env))) {
            throw CliException.usage(option + " must be given to bin/nxalarm, which sets " + env
                    + " before the library starts");
        }
    }

    private LogName namedLog() throws CliException {
        if (logId != null && logNumber != null) {
            throw CliException.usage("give --log or --log-number, not both");
        }
        String misName = mis != null ? mis : AlarmLogSession.misName();
        try {
            return logNumber != null ? new LogName(misName, logNumber)
                    : new LogName(misName, logId != null ? logId : AlarmLogSession.DEFAULT_LOG);
        } catch (IllegalArgumentException e) {
            throw CliException.usage(e.getMessage());
        }
    }
}
