package com.qel.nx.cli;

import com.qel.nx.api.alarm.AlarmException;
import com.qel.nx.api.alarm.AlarmRecordId;
import com.qel.nx.api.alarm.AlarmStateChange;
import com.qel.nx.api.alarm.GenericQuery;
import java.io.PrintWriter;
import java.time.LocalDateTime;
import java.time.ZoneId;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Date;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.stream.Collectors;
import picocli.CommandLine.Command;
import picocli.CommandLine.Mixin;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;

/** history, changes and purge: the record history the MIS keeps, and deleting a selection. */
final class HistoryCommands {
    /** How many changes `changes` prints without --limit. */
    static final int DEFAULT_CHANGES = 1000;

    /** The fields of a change in csv and json, in order. */
    static final List<String> FIELDS = List.of("time", "logRecordId", "kind", "stateBefore", "stateAfter",
            "operator", "origin", "clearedBy", "text");

    private HistoryCommands() {
    }

    @Command(name = "history", description = "ID [--format ...]   every change of a record, oldest first (also once "
            + "deleted)")
    static final class History extends Subcommand {
        @Mixin
        Formats.Choice format;
        @Parameters(paramLabel = "ID", description = "the record identifier")
        List<String> operands = new ArrayList<>();

        @Override
        int run() throws CliException {
            if (operands.size() != 1) {
                throw CliException.usage("history needs one record identifier");
            }
            int id = WholeNumber.parse("a record identifier", operands.get(0), 1);
            AlarmLogSession session = AlarmLogSession.open(main.log);
            AlarmStateChange[] entries;
            try {
                entries = session.api().getAlarmHistoryNative(session.log(), new AlarmRecordId(id));
            } catch (AlarmException e) {
                throw CliException.fromLibrary("history: ", e);
            }
            if (entries.length == 0 && format.is("table")) {
                throw CliException.failed("no history of record " + id + " in log " + logText());
            }
            print(out(), format, Arrays.asList(entries), entries.length + (entries.length == 1 ? " change" : " changes")
                    + " of record " + id);
            return 0;
        }
    }

    @Command(name = "changes", description = "--since TIME [--limit N] [--format ...]   the log's changes since TIME "
            + "(first " + DEFAULT_CHANGES + ")")
    static final class Changes extends Subcommand {
        @Mixin
        Formats.Choice format;
        private String since;
        private int limit = DEFAULT_CHANGES;

        @Option(names = "--since", paramLabel = "TIME", description = "changes at or after TIME")
        void since(String value) throws CliException {
            since = TimeArg.parse("--since", value, LocalDateTime.now());
        }

        @Option(names = "--limit", paramLabel = "N", description = "at most N changes (default " + DEFAULT_CHANGES
                + ")")
        void limit(String value) throws CliException {
            limit = WholeNumber.parse("--limit", value, 1);
        }

        @Override
        int run() throws CliException {
            if (since == null) {
                throw CliException.usage("changes needs --since TIME");
            }
            Date from = Date.from(LocalDateTime.parse(since, TimeArg.DIGITS).atZone(ZoneId.systemDefault())
                    .toInstant());
            AlarmLogSession session = AlarmLogSession.open(main.log);
            AlarmStateChange[] entries;
            try {
                entries = session.api().getLogHistoryNative(session.log(), from, limit);
            } catch (AlarmException e) {
                throw CliException.fromLibrary("changes: ", e);
            }
            if (entries.length == 0 && format.is("table")) {
                out().println("no changes in log " + logText() + " since " + RecordView.time(from));
                return 0;
            }
            print(out(), format, Arrays.asList(entries), entries.length + (entries.length == 1 ? " change" : " changes")
                    + (entries.length == limit ? " (the first " + limit + "; --limit for more)" : ""));
            return 0;
        }
    }

    @Command(name = "purge", description = "selection [--yes]   delete the selected records in one go;%n"
            + "without --yes only says how many would go")
    static final class Purge extends Subcommand {
        @Mixin
        Selection selection;
        @Option(names = "--yes", description = "purge; without it nothing changes")
        boolean yes;

        @Override
        int run() throws CliException {
            if (!selection.given()) {
                throw CliException.usage("purge needs a selection; nothing is purged without one");
            }
            GenericQuery query = selection.query();
            AlarmLogSession session = AlarmLogSession.open(main.log);
            if (!yes) {
                int n = session.count(query);
                out().println(n + (n == 1 ? " alarm" : " alarms") + " in log " + logText()
                        + " would be purged; nothing changed (give --yes to purge)");
                return 0;
            }
            int deleted;
            try {
                deleted = session.api().purgeAlarmsNative(session.log(), query);
            } catch (AlarmException e) {
                throw CliException.fromLibrary("purge: ", e);
            }
            out().println("purged " + deleted + (deleted == 1 ? " alarm" : " alarms") + " in log " + logText());
            return 0;
        }
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

    static void print(PrintWriter out, Formats.Choice format, List<AlarmStateChange> entries, String footer) {
        switch (format.name) {
            case "csv":
                Formats.csvRow(out, FIELDS);
                for (AlarmStateChange e : entries) {
                    Formats.csvRow(out, fields(e).values());
                }
                break;
            case "json":
                Formats.json(out, entries.stream().map(HistoryCommands::fields).collect(Collectors.toList()));
                break;
            case "ndjson":
                try (Formats.Lines lines = new Formats.Lines(out)) {
                    for (AlarmStateChange e : entries) {
                        lines.write(fields(e));
                    }
                }
                break;
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
