package com.qel.nx.cli;

import com.qel.nx.api.alarm.AlarmException;
import com.qel.nx.api.alarm.AlarmRecordId;
import com.qel.nx.api.alarm.AlarmStateChange;
import com.qel.nx.api.alarm.GenericQuery;
import java.io.PrintWriter;
import java.time.LocalDateTime;
import java.time.ZoneId;
import java.util.Arrays;
import java.util.Date;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/** history, changes and purge: the record history the MIS keeps, and deleting a selection. */
final class HistoryCommands {
    /** How many changes `changes` prints without --limit. */
    static final int DEFAULT_CHANGES = 1000;

    /** The fields of a change in csv and json, in order. */
    static final List<String> FIELDS = List.of("time", "logRecordId", "kind", "stateBefore", "stateAfter",
            "operator", "origin", "clearedBy", "text");

    private final Main.Invocation inv;
    private final PrintWriter out;

    HistoryCommands(Main.Invocation inv, PrintWriter out) {
        this.inv = inv;
        this.out = out;
    }

    int run() throws CliException {
        switch (inv.command) {
            case "history": return history();
            case "changes": return changes();
            case "purge": return purge();
            default: throw CliException.usage("unknown command \"" + inv.command + "\"");
        }
    }

    private int history() throws CliException {
        inv.allow("--format");
        if (inv.operands.size() != 1) {
            throw CliException.usage("history needs one record identifier");
        }
        int id = Args.parseInt("a record identifier", inv.operands.get(0), 1);
        AlarmLogSession session = AlarmLogSession.open(inv.log);
        AlarmStateChange[] entries;
        try {
            entries = session.api().getAlarmHistoryNative(session.log(), new AlarmRecordId(id));
        } catch (AlarmException e) {
            throw CliException.fromLibrary("history: ", e);
        }
        if (entries.length == 0 && inv.format.equals("table")) {
            throw CliException.failed("no history of record " + id + " in log " + AlarmLogSession.describe(inv.log));
        }
        print(Arrays.asList(entries), entries.length + (entries.length == 1 ? " change" : " changes")
                + " of record " + id);
        return 0;
    }

    private int changes() throws CliException {
        inv.allow("selection", "--format", "--limit");
        for (String u : inv.used) {
            if (u.startsWith("selection:") && !u.equals("selection:--since")) {
                throw CliException.usage("option " + u.substring("selection:".length()) + " does not apply to changes");
            }
        }
        if (!inv.operands.isEmpty()) {
            throw CliException.usage("changes takes no arguments, not \"" + inv.operands.get(0) + "\"");
        }
        String since = inv.selection.since();
        if (since == null) {
            throw CliException.usage("changes needs --since TIME");
        }
        Date from = Date.from(LocalDateTime.parse(since, TimeArg.DIGITS).atZone(ZoneId.systemDefault()).toInstant());
        int limit = inv.limit > 0 ? inv.limit : DEFAULT_CHANGES;
        AlarmLogSession session = AlarmLogSession.open(inv.log);
        AlarmStateChange[] entries;
        try {
            entries = session.api().getLogHistoryNative(session.log(), from, limit);
        } catch (AlarmException e) {
            throw CliException.fromLibrary("changes: ", e);
        }
        if (entries.length == 0 && inv.format.equals("table")) {
            out.println("no changes in log " + AlarmLogSession.describe(inv.log) + " since " + RecordView.time(from));
            return 0;
        }
        print(Arrays.asList(entries), entries.length + (entries.length == 1 ? " change" : " changes")
                + (entries.length == limit ? " (the first " + limit + "; --limit for more)" : ""));
        return 0;
    }

    private int purge() throws CliException {
        inv.allow("selection", "--yes");
        if (!inv.operands.isEmpty()) {
            throw CliException.usage("purge takes no arguments, not \"" + inv.operands.get(0) + "\"");
        }
        if (inv.used.stream().noneMatch(u -> u.startsWith("selection:"))) {
            throw CliException.usage("purge needs a selection; nothing is purged without one");
        }
        GenericQuery query = inv.selection.query();
        AlarmLogSession session = AlarmLogSession.open(inv.log);
        if (!inv.yes) {
            int n = session.count(query);
            out.println(n + (n == 1 ? " alarm" : " alarms") + " in log " + AlarmLogSession.describe(inv.log)
                    + " would be purged; nothing changed (give --yes to purge)");
            return 0;
        }
        int deleted;
        try {
            deleted = session.api().purgeAlarmsNative(session.log(), query);
        } catch (AlarmException e) {
            throw CliException.fromLibrary("purge: ", e);
        }
        out.println("purged " + deleted + (deleted == 1 ? " alarm" : " alarms") + " in log "
                + AlarmLogSession.describe(inv.log));
        return 0;
    }

    private static Map<String, Object> fields(AlarmStateChange e) {
        Object[] values = {RecordView.isoTime(e.time), e.logRecordId == null ? null : e.logRecordId.intValue(),
            e.kind, e.stateBefore, e.stateAfter, e.operator, e.origin,
            e.clearedBy == null ? null : e.clearedBy.intValue(), e.text};
        Map<String, Object> m = new LinkedHashMap<>();
        for (int i = 0; i < values.length; i++) {
            m.put(FIELDS.get(i), values[i]);
        }
        return m;
    }

    private void print(List<AlarmStateChange> entries, String footer) {
        switch (inv.format) {
            case "csv":
                Formats.csvRow(out, FIELDS);
                for (AlarmStateChange e : entries) {
                    Formats.csvRow(out, fields(e).values());
                }
                break;
            case "json":
            case "ndjson": {
                boolean lines = inv.format.equals("ndjson");
                if (!lines) {
                    out.print('[');
                }
                for (int i = 0; i < entries.size(); i++) {
                    if (!lines) {
                        out.print(i == 0 ? "\n  " : ",\n  ");
                    }
                    out.print(Formats.jsonObject(fields(entries.get(i))));
                    if (lines) {
                        out.print('\n');
                    }
                }
                if (!lines) {
                    out.println(entries.isEmpty() ? "]" : "\n]");
                }
                break;
            }
            default: {
                Table t = new Table().column("TIME", 0).number("RECORD").column("CHANGE", 0).column("BEFORE", 0)
                        .column("AFTER", 0).column("OPERATOR", 20).column("ORIGIN", 30).column("TEXT", 50);
                for (AlarmStateChange e : entries) {
                    String kind = e.clearedBy == null ? e.kind : e.kind + " by #" + e.clearedBy;
                    t.row(RecordView.time(e.time), e.logRecordId, kind, e.stateBefore == null ? "-" : e.stateBefore,
                            e.stateAfter == null ? "-" : e.stateAfter, e.operator, e.origin,
                            e.text == null ? "" : RecordView.readable(e.text));
                }
                t.print(out, 0);
                out.println();
                out.println(footer);
                break;
            }
        }
    }
}
