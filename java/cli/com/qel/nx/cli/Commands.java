package com.qel.nx.cli;

import com.qel.nx.api.alarm.AlarmDatabaseInfo;
import com.qel.nx.api.alarm.AlarmException;
import com.qel.nx.api.alarm.AlarmLogEvent;
import com.qel.nx.api.alarm.AlarmLogImpl;
import com.qel.nx.api.alarm.AlarmPage;
import com.qel.nx.api.alarm.AlarmRecord;
import com.qel.nx.api.alarm.AlarmTable;
import com.qel.nx.api.alarm.GenericQuery;
import com.qel.nx.api.common.MOName;
import com.qel.nx.api.common.NXSeverity;
import com.qel.nx.server.qrt.EventHandler;
import com.qel.nx.server.qrt.EventListener;
import java.io.PrintWriter;
import java.text.SimpleDateFormat;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Date;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.stream.Collectors;
import picocli.CommandLine.Command;
import picocli.CommandLine.Mixin;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;

/** The commands on records: list, count, the state changes, send-clear, delete, watch, sql and db-params. */
final class Commands {
    static final NXSeverity[] SEVERITIES = {NXSeverity.CRITICAL, NXSeverity.MAJOR, NXSeverity.MINOR,
        NXSeverity.WARNING, NXSeverity.INDETERMINATE, NXSeverity.CLEARED};

    private Commands() {
    }

    @Command(name = "list", description = {
        "[selection] [--format table|csv|json|ndjson] [--sort KEYS] [--limit N] [--batch N]%n"
            + "[--progress|--quiet]   the matching records, read in batches%n"
            + "[selection] [--format ...] [--sort KEYS] --page-size N [--after TOKEN]%n"
            + "one page; the next page's token goes to stderr (nothing after the last)"})
    static final class ListRecords extends Subcommand {
        @Mixin
        Selection selection;
        @Mixin
        Formats.Choice format;
        private SortKeys sort;
        private int limit;
        private int batch = 500;
        private int pageSize;
        private String after;
        private Boolean progress;

        @Option(names = "--sort", paramLabel = "KEYS", description = "the order: keys separated by commas, - in front "
                + "for descending (" + SortKeys.HELP + ")")
        void sort(String value) throws CliException {
            sort = SortKeys.parse(value);
        }

        @Option(names = "--limit", paramLabel = "N", description = "at most N records")
        void limit(String value) throws CliException {
            limit = WholeNumber.parse("--limit", value, 1);
        }

        @Option(names = "--batch", paramLabel = "N", description = "records read at a time (default 500)")
        void batch(String value) throws CliException {
            batch = WholeNumber.parse("--batch", value, 1);
        }

        @Option(names = "--page-size", paramLabel = "N", description = "one page of N records (at most "
                + AlarmLogImpl.MAX_PAGE_SIZE + ")")
        void pageSize(String value) throws CliException {
            pageSize = WholeNumber.parse("--page-size", value, 1);
            if (pageSize > AlarmLogImpl.MAX_PAGE_SIZE) {
                throw CliException.usage("--page-size must be at most " + AlarmLogImpl.MAX_PAGE_SIZE
                        + ", not " + pageSize);
            }
        }

        @Option(names = "--after", paramLabel = "TOKEN", description = "the page after the one that printed TOKEN")
        void after(String value) throws CliException {
            if (value.isEmpty()) {
                throw CliException.usage("--after needs the token a page printed");
            }
            after = value;
        }

        // arity 0: "--quiet=true" is refused like any other value, as these take none.
        @Option(names = "--progress", arity = "0", description = "a progress bar on stderr, also when it is no terminal")
        void progress(boolean on) {
            progress = true;
        }

        @Option(names = "--quiet", arity = "0", description = "no progress bar")
        void quiet(boolean on) {
            progress = false;
        }

        @Override
        int run() throws CliException {
            GenericQuery query = selection.query();
            if (sort != null) {
                sort.applyTo(query);
            }
            if (pageSize > 0 || after != null) {
                return page(query);
            }
            AlarmLogSession session = AlarmLogSession.open(main.log);
            PrintWriter out = out();
            if (format.is("ndjson")) {
                // Written as read: nothing is kept past the batch being written.
                try (Formats.Lines lines = new Formats.Lines(out)) {
                    session.stream(query, RecordView.allAttributes(), batch, limit, records -> {
                        for (AlarmRecord r : records) {
                            lines.write(RecordView.fields(r));
                        }
                        lines.flush();
                        // A reader that went away (a closed pipe) stops the retrieval; the
                        // print stream underneath keeps the write error to itself.
                        return !out.checkError() && !main.stdout.checkError();
                    });
                }
                return 0;
            }
            int total = session.count(query);
            int expected = limit > 0 ? Math.min(limit, total) : total;
            // A bar only where someone watches it, and only when there is something to wait for.
            boolean show = progress != null ? progress : System.console() != null && expected > batch;
            ProgressBar bar = show ? new ProgressBar(main.err, "reading", expected, System.console() != null) : null;
            List<AlarmRecord> records = session.retrieve(query, RecordView.allAttributes(), batch, limit, n -> {
                if (bar != null) {
                    bar.advance(n);
                }
            });
            if (bar != null) {
                bar.finish();
            }
            print(records, records.size() == total ? total + (total == 1 ? " alarm" : " alarms")
                    : records.size() + " of " + total + " alarms (--limit " + limit + ")");
            return 0;
        }

        /** One page of an ordered read; the next page's token goes to stderr, alone on its line. */
        private int page(GenericQuery query) throws CliException {
            if (pageSize == 0) {
                throw CliException.usage("--after needs --page-size");
            }
            for (String o : new String[] {"--limit", "--batch", "--progress", "--quiet"}) {
                if (given(o)) {
                    throw CliException.usage("option " + o + " does not apply to a page (--page-size)");
                }
            }
            AlarmLogSession session = AlarmLogSession.open(main.log);
            AlarmPage page = session.page(query, RecordView.allAttributes(), pageSize, after);
            List<AlarmRecord> records = Arrays.asList(page.getRecords());
            String token = page.getNextPageToken();
            print(records, records.size() + (records.size() == 1 ? " alarm" : " alarms") + " on this page"
                    + (token == null ? " (the last)" : ""));
            out().flush();
            if (token != null) {
                main.err.println(token);
                main.err.flush();
            }
            return 0;
        }

        private void print(List<AlarmRecord> records, String footer) {
            PrintWriter out = out();
            switch (format.name) {
                case "csv":
                    Formats.csv(out, records);
                    break;
                case "json":
                    Formats.json(out, Formats.records(records));
                    break;
                case "ndjson":
                    try (Formats.Lines lines = new Formats.Lines(out)) {
                        for (AlarmRecord r : records) {
                            lines.write(RecordView.fields(r));
                        }
                    }
                    break;
                default:
                    if (records.isEmpty()) {
                        out.println("no alarms match in log " + logText());
                    } else {
                        RecordView.table(records).print(out, 0);
                        out.println();
                        out.println(footer);
                    }
                    break;
            }
        }
    }

    @Command(name = "count", description = "[selection] [--format table|csv|json]   total and per severity")
    static final class Count extends Subcommand {
        @Mixin
        Selection selection;
        @Mixin
        Formats.Choice format;

        @Override
        int run() throws CliException {
            GenericQuery query = selection.query();
            AlarmLogSession session = AlarmLogSession.open(main.log);
            int total = session.count(query);
            Map<String, Integer> bySeverity = new LinkedHashMap<>();
            if (selection.onlyInstances()) {
                // The library counts per severity itself when only managed objects limit the count.
                MOName[] mos = selection.instances().toArray(new MOName[0]);
                int[] counts;
                try {
                    counts = session.api().getAlarmCountBySeverityNative(session.log(), mos, SEVERITIES);
                } catch (AlarmException e) {
                    throw CliException.fromLibrary("cannot count per severity: ", e);
                }
                if (counts == null || counts.length != SEVERITIES.length) {
                    throw CliException.failed("cannot count per severity in log " + logText());
                }
                for (int i = 0; i < SEVERITIES.length; i++) {
                    if (counts[i] < 0) {
                        throw CliException.failed("cannot count the " + SEVERITIES[i] + " alarms");
                    }
                    bySeverity.put(SEVERITIES[i].getName(), counts[i]);
                }
            } else {
                for (NXSeverity s : SEVERITIES) {
                    bySeverity.put(s.getName(), session.count(selection.query(s)));
                }
            }
            PrintWriter out = out();
            switch (format.name) {
                case "csv":
                    Formats.csvRow(out, List.of("severity", "count"));
                    for (Map.Entry<String, Integer> e : bySeverity.entrySet()) {
                        Formats.csvRow(out, List.of(e.getKey(), e.getValue()));
                    }
                    Formats.csvRow(out, List.of("total", total));
                    break;
                case "json":
                case "ndjson": {
                    Map<String, Object> counts = new LinkedHashMap<>();
                    counts.put("total", total);
                    counts.put("bySeverity", bySeverity);
                    Formats.jsonLine(out, counts);
                    break;
                }
                default: {
                    Table t = new Table().column("SEVERITY", 0).number("ALARMS");
                    for (Map.Entry<String, Integer> e : bySeverity.entrySet()) {
                        t.row(e.getKey(), e.getValue());
                    }
                    t.row("total", total);
                    t.print(out, 0);
                    break;
                }
            }
            return 0;
        }
    }

    /** A command on records named by their identifiers; refuses the whole request when any is unknown. */
    abstract static class OnRecords extends Subcommand {
        @Parameters(paramLabel = "ID", description = "record identifiers")
        List<String> operands = new ArrayList<>();

        List<Integer> ids() throws CliException {
            if (operands.isEmpty()) {
                throw CliException.usage(name() + " needs record identifiers");
            }
            List<Integer> ids = new ArrayList<>();
            for (String s : operands) {
                int id = WholeNumber.parse("a record identifier", s, 0);
                if (!ids.contains(id)) {
                    ids.add(id);
                }
            }
            return ids;
        }

        @Override
        int run() throws CliException {
            List<Integer> ids = ids();
            AlarmLogSession session = AlarmLogSession.open(main.log);
            Set<Integer> missing = session.missing(ids);
            if (!missing.isEmpty()) {
                String names = missing.stream().map(String::valueOf).collect(Collectors.joining(", "));
                throw CliException.failed("no record " + names + " in log " + logText() + "; nothing changed");
            }
            try {
                apply(session, ids);
            } catch (AlarmException e) {
                throw CliException.fromLibrary(name() + ": ", e);
            }
            out().println(done() + ids.size() + (ids.size() == 1 ? " alarm" : " alarms") + " in log " + logText());
            return 0;
        }

        abstract void apply(AlarmLogSession session, List<Integer> ids) throws AlarmException;

        /** What the closing line starts with. */
        String done() {
            return name() + ": ";
        }
    }

    /** ack, unack, clear, unclear, display and undisplay; the first three take a text. */
    abstract static class StateChange extends OnRecords {
        private final AlarmLogSession.Change change;

        StateChange(AlarmLogSession.Change change) {
            this.change = change;
        }

        String text() {
            return null;
        }

        @Override
        void apply(AlarmLogSession session, List<Integer> ids) throws AlarmException {
            session.change(change, ids, text());
        }
    }

    /** A state change with an optional text. */
    abstract static class WithText extends StateChange {
        @Option(names = "--text", paramLabel = "TEXT", description = "the operator's text")
        String text;

        WithText(AlarmLogSession.Change change) {
            super(change);
        }

        @Override
        String text() {
            return text;
        }
    }

    @Command(name = "ack", description = "ID... [--text TEXT]   acknowledge")
    static final class Ack extends WithText {
        Ack() {
            super(AlarmLogSession.Change.ACK);
        }
    }

    @Command(name = "unack", description = "ID...   take the acknowledgement back")
    static final class Unack extends StateChange {
        Unack() {
            super(AlarmLogSession.Change.UNACK);
        }
    }

    @Command(name = "clear", description = "ID... [--text TEXT]   mark cleared")
    static final class Clear extends WithText {
        Clear() {
            super(AlarmLogSession.Change.CLEAR);
        }
    }

    @Command(name = "unclear", description = "ID...   take the clear back")
    static final class Unclear extends StateChange {
        Unclear() {
            super(AlarmLogSession.Change.UNCLEAR);
        }
    }

    @Command(name = "display", description = "ID... [--text TEXT]   mark displayed")
    static final class Display extends WithText {
        Display() {
            super(AlarmLogSession.Change.DISPLAY);
        }
    }

    @Command(name = "undisplay", description = "ID...   take the display back")
    static final class Undisplay extends StateChange {
        Undisplay() {
            super(AlarmLogSession.Change.UNDISPLAY);
        }
    }

    @Command(name = "send-clear", description = "ID...   send clear notifications for the alarms")
    static final class SendClear extends OnRecords {
        @Override
        void apply(AlarmLogSession session, List<Integer> ids) throws AlarmException {
            session.sendClear(ids);
        }

        @Override
        String done() {
            return "sent clear for ";
        }
    }

    @Command(name = "delete", description = "ID...   delete the records")
    static final class Delete extends OnRecords {
        @Override
        void apply(AlarmLogSession session, List<Integer> ids) throws AlarmException {
            session.delete(ids);
        }

        @Override
        String done() {
            return "deleted ";
        }
    }

    @Command(name = "watch", description = "[--for SECONDS] [--max N]   print the log's events until interrupted")
    static final class Watch extends Subcommand {
        private int forSeconds;
        private int maxEvents;

        @Option(names = "--for", paramLabel = "SECONDS", description = "stop after SECONDS")
        void forSeconds(String value) throws CliException {
            forSeconds = WholeNumber.parse("--for", value, 1);
        }

        @Option(names = "--max", paramLabel = "N", description = "stop after N events")
        void maxEvents(String value) throws CliException {
            maxEvents = WholeNumber.parse("--max", value, 1);
        }

        @Override
        int run() throws CliException {
            AlarmLogSession session = AlarmLogSession.open(main.log);
            PrintWriter out = out();
            CountDownLatch done = new CountDownLatch(1);
            AtomicInteger seen = new AtomicInteger();
            SimpleDateFormat clock = new SimpleDateFormat("HH:mm:ss");
            EventListener listener = (key, event) -> {
                if (!(event instanceof AlarmLogEvent)) {
                    return;
                }
                if (maxEvents > 0 && seen.get() >= maxEvents) {
                    return;
                }
                AlarmLogEvent e = (AlarmLogEvent) event;
                synchronized (out) {
                    out.println(eventLine(clock.format(new Date()), e));
                    out.flush();
                }
                if (seen.incrementAndGet() == maxEvents) {
                    done.countDown();
                }
            };
            EventHandler.addListener(AlarmLogEvent.ALARM_EVENT_ID, listener);
            try {
                session.api().setEventAttrSetNative(RecordView.allAttributes());
            } catch (AlarmException e) {
                throw CliException.fromLibrary("cannot choose the event attributes: ", e);
            }
            main.err.println("watching log " + logText()
                    + (forSeconds > 0 ? " for " + forSeconds + " s" : "; Ctrl-C stops"));
            main.err.flush();
            try {
                if (forSeconds > 0) {
                    done.await(forSeconds, TimeUnit.SECONDS);
                } else {
                    done.await();
                }
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
            EventHandler.removeListener(AlarmLogEvent.ALARM_EVENT_ID, listener);
            synchronized (out) {
                out.flush();
            }
            main.err.println(seen.get() + (seen.get() == 1 ? " event" : " events"));
            return 0;
        }

        /** One event as a line: time, kind, record, and what the event carries. */
        static String eventLine(String clock, AlarmLogEvent e) {
            AlarmRecord r = e.getRecord();
            switch (e.getKind()) {
                case AlarmLogEvent.OBJECT_CREATED:
                    return String.format("%s  created  #%-6s %-13s %-22s %-16s %s  %s", clock, RecordView.id(r),
                            RecordView.severity(r), RecordView.shortType(r.eventType), RecordView.text(RecordView.cause(r)),
                            RecordView.managedObject(r),
                            RecordView.readable(RecordView.unquoted(r.additionalText))).stripTrailing();
                case AlarmLogEvent.OBJECT_DELETED:
                    return String.format("%s  deleted  #%s", clock, RecordView.id(r));
                case AlarmLogEvent.RESYNC:
                    return String.format("%s  resync   events of log %s were lost: list the log again", clock,
                            r.logName != null ? AlarmLogSession.describe(r.logName) : "?");
                default:
                    return String.format("%s  changed  #%-6s %s", clock, RecordView.id(r), RecordView.changes(r))
                            .stripTrailing();
            }
        }
    }

    @Command(name = "sql", description = "[selection]   print the SQL condition of a selection (needs no database)")
    static final class Sql extends Subcommand {
        @Mixin
        Selection selection;

        @Override
        int run() throws CliException {
            GenericQuery query = selection.query();
            String condition;
            try {
                condition = new AlarmLogImpl().getSqlQueryNative(query);
            } catch (AlarmException e) {
                throw CliException.usage("bad filter: " + e.getMessage());
            }
            out().println(condition == null || condition.isEmpty() ? "(no condition: every record)" : condition);
            return 0;
        }
    }

    @Command(name = "db-params", description = "[SERVER]   connection parameters of a server's alarm database")
    static final class DbParams extends Subcommand {
        @Parameters(paramLabel = "SERVER", description = "the server (default: the MIS)")
        List<String> operands = new ArrayList<>();

        @Override
        int run() throws CliException {
            if (operands.size() > 1) {
                throw CliException.usage("db-params takes at most one server name");
            }
            AlarmLogSession.open(main.log);
            String name = operands.isEmpty() ? main.log.getMisName() : operands.get(0);
            AlarmDatabaseInfo info = new AlarmTable().getDatabaseParametersNative(name);
            if (info == null) {
                throw CliException.failed("no database parameters for server " + name);
            }
            Table t = new Table().column("PARAMETER", 0).column("VALUE", 0);
            t.row("server", name);
            t.row("database", info.getDatabaseName());
            t.row("user", info.getUserName().isEmpty() ? "(none)" : info.getUserName());
            t.row("host", info.getHostName());
            t.row("protocol", info.getProtocol());
            t.print(out(), 0);
            return 0;
        }
    }
}
