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
import java.io.BufferedWriter;
import java.io.OutputStreamWriter;
import java.io.PrintStream;
import java.io.PrintWriter;
import java.nio.charset.StandardCharsets;
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

/** The subcommands. */
final class Commands {
    static final NXSeverity[] SEVERITIES = {NXSeverity.CRITICAL, NXSeverity.MAJOR, NXSeverity.MINOR,
        NXSeverity.WARNING, NXSeverity.INDETERMINATE, NXSeverity.CLEARED};

    private final Main.Invocation inv;
    private final PrintWriter out;
    private final PrintStream stdout;
    private final PrintStream err;

    Commands(Main.Invocation inv, PrintStream out, PrintStream err) {
        this.inv = inv;
        this.out = new PrintWriter(new BufferedWriter(new OutputStreamWriter(out, StandardCharsets.UTF_8)));
        this.stdout = out;
        this.err = err;
    }

    int run() throws CliException {
        try {
            switch (inv.command) {
                case "list": return list();
                case "count": return count();
                case "ack": return change(AlarmLogSession.Change.ACK, true);
                case "unack": return change(AlarmLogSession.Change.UNACK, false);
                case "clear": return change(AlarmLogSession.Change.CLEAR, true);
                case "unclear": return change(AlarmLogSession.Change.UNCLEAR, false);
                case "display": return change(AlarmLogSession.Change.DISPLAY, true);
                case "undisplay": return change(AlarmLogSession.Change.UNDISPLAY, false);
                case "send-clear": return sendClearOrDelete(true);
                case "delete": return sendClearOrDelete(false);
                case "watch": return watch();
                case "sql": return sql();
                case "db-params": return dbParams();
                case "history": case "changes": case "purge": return new HistoryCommands(inv, out).run();
                default:
                    throw CliException.usage("unknown command \"" + inv.command + "\"");
            }
        } finally {
            out.flush();
        }
    }

    private void noOperands() throws CliException {
        if (!inv.operands.isEmpty()) {
            throw CliException.usage(inv.command + " takes no arguments, not \"" + inv.operands.get(0) + "\"");
        }
    }

    private List<Integer> ids() throws CliException {
        if (inv.operands.isEmpty()) {
            throw CliException.usage(inv.command + " needs record identifiers");
        }
        List<Integer> ids = new ArrayList<>();
        for (String s : inv.operands) {
            int id = Args.parseInt("a record identifier", s, 0);
            if (!ids.contains(id)) {
                ids.add(id);
            }
        }
        return ids;
    }

    private int list() throws CliException {
        inv.allow("selection", "--format", "--limit", "--batch", "--progress", "--quiet", "--sort", "--page-size",
                "--after");
        noOperands();
        GenericQuery query = inv.selection.query();
        if (inv.sort != null) {
            inv.sort.applyTo(query);
        }
        if (inv.pageSize > 0 || inv.after != null) {
            return listPage(query);
        }
        AlarmLogSession session = AlarmLogSession.open(inv.log);
        if (inv.format.equals("ndjson")) {
            // Written as read: nothing is kept past the batch being written.
            session.stream(query, RecordView.allAttributes(), inv.batch, inv.limit, records -> {
                for (AlarmRecord r : records) {
                    Formats.ndjsonLine(out, r);
                }
                // A reader that went away (a closed pipe) stops the retrieval; the
                // print stream underneath keeps the write error to itself.
                return !out.checkError() && !stdout.checkError();
            });
            return 0;
        }
        int total = session.count(query);
        int expected = inv.limit > 0 ? Math.min(inv.limit, total) : total;
        // A bar only where someone watches it, and only when there is something to wait for.
        boolean show = inv.progress != null ? inv.progress : System.console() != null && expected > inv.batch;
        ProgressBar bar = show ? new ProgressBar(err, "reading", expected, System.console() != null) : null;
        List<AlarmRecord> records = session.retrieve(query, RecordView.allAttributes(), inv.batch, inv.limit,
                n -> {
                    if (bar != null) {
                        bar.advance(n);
                    }
                });
        if (bar != null) {
            bar.finish();
        }
        print(records, records.size() == total ? total + (total == 1 ? " alarm" : " alarms")
                : records.size() + " of " + total + " alarms (--limit " + inv.limit + ")");
        return 0;
    }

    /** One page of an ordered read; the next page's token goes to stderr, alone on its line. */
    private int listPage(GenericQuery query) throws CliException {
        if (inv.pageSize == 0) {
            throw CliException.usage("--after needs --page-size");
        }
        for (String o : new String[] {"--limit", "--batch", "--progress", "--quiet"}) {
            if (inv.used.contains(o)) {
                throw CliException.usage("option " + o + " does not apply to a page (--page-size)");
            }
        }
        AlarmLogSession session = AlarmLogSession.open(inv.log);
        AlarmPage page = session.page(query, RecordView.allAttributes(), inv.pageSize, inv.after);
        List<AlarmRecord> records = Arrays.asList(page.getRecords());
        String token = page.getNextPageToken();
        String footer = records.size() + (records.size() == 1 ? " alarm" : " alarms") + " on this page"
                + (token == null ? " (the last)" : "");
        if (inv.format.equals("ndjson")) {
            for (AlarmRecord r : records) {
                Formats.ndjsonLine(out, r);
            }
        } else {
            print(records, footer);
        }
        out.flush();
        if (token != null) {
            err.println(token);
            err.flush();
        }
        return 0;
    }

    private void print(List<AlarmRecord> records, String footer) {
        switch (inv.format) {
            case "csv":
                Formats.csv(out, records);
                break;
            case "json":
                Formats.json(out, records);
                break;
            case "ndjson":
                for (AlarmRecord r : records) {
                    Formats.ndjsonLine(out, r);
                }
                break;
            default:
                if (records.isEmpty()) {
                    out.println("no alarms match in log " + AlarmLogSession.describe(inv.log));
                } else {
                    RecordView.table(records).print(out, 0);
                    out.println();
                    out.println(footer);
                }
                break;
        }
    }

    private int count() throws CliException {
        inv.allow("selection", "--format");
        noOperands();
        GenericQuery query = inv.selection.query();
        AlarmLogSession session = AlarmLogSession.open(inv.log);
        int total = session.count(query);
        Map<String, Integer> bySeverity = new LinkedHashMap<>();
        if (inv.selection.onlyInstances()) {
            // The library counts per severity itself when only managed objects limit the count.
            MOName[] mos = inv.selection.instances().toArray(new MOName[0]);
            int[] counts;
            try {
                counts = session.api().getAlarmCountBySeverityNative(session.log(), mos, SEVERITIES);
            } catch (AlarmException e) {
                throw CliException.fromLibrary("cannot count per severity: ", e);
            }
            if (counts == null || counts.length != SEVERITIES.length) {
                throw CliException.failed("cannot count per severity in log " + AlarmLogSession.describe(inv.log));
            }
            for (int i = 0; i < SEVERITIES.length; i++) {
                if (counts[i] < 0) {
                    throw CliException.failed("cannot count the " + SEVERITIES[i] + " alarms");
                }
                bySeverity.put(SEVERITIES[i].getName(), counts[i]);
            }
        } else {
            for (NXSeverity s : SEVERITIES) {
                bySeverity.put(s.getName(), session.count(inv.selection.query(s)));
            }
        }
        switch (inv.format) {
            case "csv":
                Formats.csvRow(out, List.of("severity", "count"));
                for (Map.Entry<String, Integer> e : bySeverity.entrySet()) {
                    Formats.csvRow(out, List.of(e.getKey(), e.getValue()));
                }
                Formats.csvRow(out, List.of("total", total));
                break;
            case "json": {
                out.println("{\"total\": " + total + ", \"bySeverity\": " + Formats.jsonObject(bySeverity) + "}");
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

    private int change(AlarmLogSession.Change change, boolean takesText) throws CliException {
        if (takesText) {
            inv.allow("--text");
        } else {
            inv.allow();
        }
        List<Integer> ids = ids();
        AlarmLogSession session = AlarmLogSession.open(inv.log);
        checkExist(session, ids);
        try {
            session.change(change, ids, inv.text);
        } catch (AlarmException e) {
            throw CliException.fromLibrary(inv.command + ": ", e);
        }
        out.println(inv.command + ": " + ids.size() + (ids.size() == 1 ? " alarm" : " alarms") + " in log "
                + AlarmLogSession.describe(inv.log));
        return 0;
    }

    private int sendClearOrDelete(boolean clear) throws CliException {
        inv.allow();
        List<Integer> ids = ids();
        AlarmLogSession session = AlarmLogSession.open(inv.log);
        checkExist(session, ids);
        try {
            if (clear) {
                session.sendClear(ids);
            } else {
                session.delete(ids);
            }
        } catch (AlarmException e) {
            throw CliException.fromLibrary(inv.command + ": ", e);
        }
        out.println((clear ? "sent clear for " : "deleted ") + ids.size() + (ids.size() == 1 ? " alarm" : " alarms")
                + " in log " + AlarmLogSession.describe(inv.log));
        return 0;
    }

    /** Refuses the whole request when any record is unknown, so nothing is half done. */
    private void checkExist(AlarmLogSession session, List<Integer> ids) throws CliException {
        Set<Integer> missing = session.missing(ids);
        if (!missing.isEmpty()) {
            throw CliException.failed("no record " + join(missing) + " in log " + AlarmLogSession.describe(inv.log)
                    + "; nothing changed");
        }
    }

    private static String join(Set<Integer> ids) {
        StringBuilder sb = new StringBuilder();
        for (Integer i : ids) {
            sb.append(sb.length() == 0 ? "" : ", ").append(i);
        }
        return sb.toString();
    }

    private int watch() throws CliException {
        inv.allow("--for", "--max");
        noOperands();
        AlarmLogSession session = AlarmLogSession.open(inv.log);
        CountDownLatch done = new CountDownLatch(1);
        AtomicInteger seen = new AtomicInteger();
        SimpleDateFormat clock = new SimpleDateFormat("HH:mm:ss");
        EventListener listener = (key, event) -> {
            if (!(event instanceof AlarmLogEvent)) {
                return;
            }
            if (inv.maxEvents > 0 && seen.get() >= inv.maxEvents) {
                return;
            }
            AlarmLogEvent e = (AlarmLogEvent) event;
            synchronized (out) {
                out.println(eventLine(clock.format(new Date()), e));
                out.flush();
            }
            if (seen.incrementAndGet() == inv.maxEvents) {
                done.countDown();
            }
        };
        EventHandler.addListener(AlarmLogEvent.ALARM_EVENT_ID, listener);
        try {
            session.api().setEventAttrSetNative(RecordView.allAttributes());
        } catch (AlarmException e) {
            throw CliException.fromLibrary("cannot choose the event attributes: ", e);
        }
        err.println("watching log " + AlarmLogSession.describe(inv.log)
                + (inv.forSeconds > 0 ? " for " + inv.forSeconds + " s" : "; Ctrl-C stops"));
        err.flush();
        try {
            if (inv.forSeconds > 0) {
                done.await(inv.forSeconds, TimeUnit.SECONDS);
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
        err.println(seen.get() + (seen.get() == 1 ? " event" : " events"));
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

    private int sql() throws CliException {
        inv.allow("selection");
        noOperands();
        GenericQuery query = inv.selection.query();
        String condition;
        try {
            condition = new AlarmLogImpl().getSqlQueryNative(query);
        } catch (AlarmException e) {
            throw CliException.usage("bad filter: " + e.getMessage());
        }
        out.println(condition == null || condition.isEmpty() ? "(no condition: every record)" : condition);
        return 0;
    }

    private int dbParams() throws CliException {
        inv.allow();
        if (inv.operands.size() > 1) {
            throw CliException.usage("db-params takes at most one server name");
        }
        AlarmLogSession.open(inv.log);
        String server = inv.operands.isEmpty() ? inv.log.getMisName() : inv.operands.get(0);
        AlarmDatabaseInfo info = new AlarmTable().getDatabaseParametersNative(server);
        if (info == null) {
            throw CliException.failed("no database parameters for server " + server);
        }
        Table t = new Table().column("PARAMETER", 0).column("VALUE", 0);
        t.row("server", server);
        t.row("database", info.getDatabaseName());
        t.row("user", info.getUserName().isEmpty() ? "(none)" : info.getUserName());
        t.row("host", info.getHostName());
        t.row("protocol", info.getProtocol());
        t.print(out, 0);
        return 0;
    }
}
