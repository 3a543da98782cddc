package com.qel.nx.cli;

import com.qel.nx.api.alarm.AlarmLogImpl;
import com.qel.nx.api.alarm.LogName;
import java.io.PrintStream;
import java.time.LocalDateTime;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Set;

/**
 * The operator command line over the alarm-log client API. Run through
 * bin/nxalarm, which sets NX_ALARM_DB and NX_MIS_NAME from --db and --mis
 * before the JVM (and with it the native library) starts.
 */
public final class Main {
    static final String USAGE =
            "usage: nxalarm [--db FILE] [--mis NAME] [--log ID | --log-number N] COMMAND [options]\n"
          + "\n"
          + "commands:\n"
          + "  list       [selection] [--format table|csv|json|ndjson] [--sort KEYS] [--limit N] [--batch N]\n"
          + "             [--progress|--quiet]\n"
          + "  list       [selection] [--format ...] [--sort KEYS] --page-size N [--after TOKEN]\n"
          + "             one page; the next page's token goes to stderr (nothing after the last)\n"
          + "  count      [selection] [--format table|csv|json]   total and per severity\n"
          + "  ack        ID... [--text TEXT]     acknowledge      unack      ID...\n"
          + "  clear      ID... [--text TEXT]     mark cleared     unclear    ID...\n"
          + "  display    ID... [--text TEXT]     mark displayed   undisplay  ID...\n"
          + "  send-clear ID...                   send clear notifications for the alarms\n"
          + "  delete     ID...                   delete the records\n"
          + "  watch      [--for SECONDS] [--max N]   print the log's events until interrupted\n"
          + "  sql        [selection]             print the SQL condition of a selection\n"
          + "  db-params  [SERVER]                connection parameters of a server's alarm database\n"
          + "  history    ID [--format ...]       every change of a record, oldest first (also once deleted)\n"
          + "  changes    --since TIME [--limit N] [--format ...]   the log's changes since TIME (first 1000)\n"
          + "  purge      selection [--yes]       delete the selected records in one go; without --yes only\n"
          + "             says how many would go\n"
          + "\n"
          + "selection (all given conditions must hold; values of one option are alternatives):\n"
          + Selection.HELP
          + "\n"
          + "--sort KEYS  comma-separated, - in front for descending (-eventTime,severity); keys:\n"
          + "             " + SortKeys.HELP + "\n"
          + "             (-severity puts critical first; the record id always orders last)\n"
          + "ndjson       one JSON object per line, written as the records are read\n"
          + "times        table: local time; csv and json: ISO 8601 with the offset\n"
          + "\n"
          + "--db FILE   the alarm database (else NX_ALARM_DB, else ./nxalarm.db)\n"
          + "--mis NAME  the MIS name (else NX_MIS_NAME, else the host name)\n"
          + "--log ID    the log by text id (default " + AlarmLogSession.DEFAULT_LOG + "); --log-number N by number\n"
          + "\n"
          + "exit status: 0 done, 1 the operation failed, 2 bad command line or filter,\n"
          + "             3 database or log not found\n";

    private Main() {
    }

    public static void main(String[] args) {
        int status = run(args, System.out, System.err);
        System.out.flush();
        // watch leaves the platform's event thread running.
        System.exit(status);
    }

    /** Runs one command; returns the exit status. Never throws for a user mistake. */
    static int run(String[] argv, PrintStream out, PrintStream err) {
        try {
            Invocation inv = Invocation.parse(argv, LocalDateTime.now());
            if (inv.help) {
                out.print(USAGE);
                return 0;
            }
            return new Commands(inv, out, err).run();
        } catch (CliException e) {
            err.println("nxalarm: " + e.getMessage());
            if (e.status() == CliException.USAGE) {
                err.println("Try 'nxalarm --help'.");
            }
            return e.status();
        } catch (UnsatisfiedLinkError e) {
            err.println("nxalarm: cannot load the native library (" + e.getMessage()
                    + "); run through bin/nxalarm after building");
            return CliException.UNREACHABLE;
        }
    }

    /** The parsed command line. */
    static final class Invocation {
        String command;
        final List<String> operands = new ArrayList<>();
        final Selection selection = new Selection();
        final Set<String> used = new LinkedHashSet<>();
        boolean help;
        LogName log;
        String format = "table";
        String text;
        int limit;
        int batch = 500;
        SortKeys sort;
        int pageSize;
        String after;
        Boolean progress;
        int forSeconds;
        int maxEvents;
        boolean yes;

        static Invocation parse(String[] argv, LocalDateTime now) throws CliException {
            Invocation inv = new Invocation();
            Args args = new Args(argv);
            String logId = null;
            Integer logNumber = null;
            String mis = null;
            while (args.hasNext()) {
                String word = args.peek();
                if (!word.startsWith("-") || word.equals("-")) {
                    args.next();
                    if (inv.command == null) {
                        inv.command = word;
                    } else {
                        inv.operands.add(word);
                    }
                    continue;
                }
                if (word.equals("--")) {
                    args.next();
                    List<String> rest = args.rest();
                    if (inv.command == null && !rest.isEmpty()) {
                        inv.command = rest.remove(0);
                    }
                    inv.operands.addAll(rest);
                    break;
                }
                String opt = args.option();
                switch (opt) {
                    case "-h":
                    case "--help":
                        args.noValue(opt);
                        inv.help = true;
                        break;
                    case "--db":
                        requireEnv(opt, args.value(opt), "NX_ALARM_DB");
                        break;
                    case "--mis":
                        mis = args.value(opt);
                        requireEnv(opt, mis, "NX_MIS_NAME");
                        break;
                    case "--log":
                        logId = args.value(opt);
                        break;
                    case "--log-number":
                        logNumber = Args.parseInt(opt, args.value(opt), 0);
                        break;
                    case "--format":
                        inv.format = args.value(opt);
                        if (!Arrays.asList("table", "csv", "json", "ndjson").contains(inv.format)) {
                            throw CliException.usage("unknown format \"" + inv.format
                                    + "\" (use table, csv, json or ndjson)");
                        }
                        inv.used.add(opt);
                        break;
                    case "--text":
                        inv.text = args.value(opt);
                        inv.used.add(opt);
                        break;
                    case "--limit":
                        inv.limit = Args.parseInt(opt, args.value(opt), 1);
                        inv.used.add(opt);
                        break;
                    case "--batch":
                        inv.batch = Args.parseInt(opt, args.value(opt), 1);
                        inv.used.add(opt);
                        break;
                    case "--sort":
                        inv.sort = SortKeys.parse(args.value(opt));
                        inv.used.add(opt);
                        break;
                    case "--page-size":
                        inv.pageSize = Args.parseInt(opt, args.value(opt), 1);
                        if (inv.pageSize > AlarmLogImpl.MAX_PAGE_SIZE) {
                            throw CliException.usage("--page-size must be at most " + AlarmLogImpl.MAX_PAGE_SIZE
                                    + ", not " + inv.pageSize);
                        }
                        inv.used.add(opt);
                        break;
                    case "--after":
                        inv.after = args.value(opt);
                        if (inv.after.isEmpty()) {
                            throw CliException.usage("--after needs the token a page printed");
                        }
                        inv.used.add(opt);
                        break;
                    case "--progress":
                    case "--quiet":
                        args.noValue(opt);
                        inv.progress = opt.equals("--progress");
                        inv.used.add(opt);
                        break;
                    case "--for":
                        inv.forSeconds = Args.parseInt(opt, args.value(opt), 1);
                        inv.used.add(opt);
                        break;
                    case "--yes":
                        args.noValue(opt);
                        inv.yes = true;
                        inv.used.add(opt);
                        break;
                    case "--max":
                        inv.maxEvents = Args.parseInt(opt, args.value(opt), 1);
                        inv.used.add(opt);
                        break;
                    default:
                        if (!inv.selection.take(opt, args, now)) {
                            throw CliException.usage("unknown option " + opt);
                        }
                        inv.used.add("selection:" + opt);
                        break;
                }
            }
            if (inv.help) {
                return inv;
            }
            if (inv.command == null) {
                throw CliException.usage("no command given");
            }
            if (logId != null && logNumber != null) {
                throw CliException.usage("give --log or --log-number, not both");
            }
            String misName = mis != null ? mis : AlarmLogSession.misName();
            try {
                inv.log = logNumber != null ? new LogName(misName, logNumber)
                        : new LogName(misName, logId != null ? logId : AlarmLogSession.DEFAULT_LOG);
            } catch (IllegalArgumentException e) {
                throw CliException.usage(e.getMessage());
            }
            if (logId != null && logId.isEmpty()) {
                throw CliException.usage("--log needs a log id");
            }
            return inv;
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

        /** Refuses options that the command would silently ignore. */
        void allow(String... options) throws CliException {
            List<String> ok = Arrays.asList(options);
            for (String u : used) {
                boolean selection = u.startsWith("selection:");
                String name = selection ? u.substring("selection:".length()) : u;
                if (!(selection ? ok.contains("selection") : ok.contains(u))) {
                    throw CliException.usage("option " + name + " does not apply to " + command);
                }
            }
        }
    }
}
