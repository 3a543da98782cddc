package com.qel.nx.demo;

import com.qel.nx.api.alarm.AlarmDatabaseInfo;
import com.qel.nx.api.alarm.AlarmException;
import com.qel.nx.api.alarm.AlarmLogEvent;
import com.qel.nx.api.alarm.AlarmLogImpl;
import com.qel.nx.api.alarm.AlarmRecord;
import com.qel.nx.api.alarm.AlarmRecordAttribute;
import com.qel.nx.api.alarm.AlarmRecordAttributeSet;
import com.qel.nx.api.alarm.AlarmRecordId;
import com.qel.nx.api.alarm.AlarmTable;
import com.qel.nx.api.alarm.AlarmsBatch;
import com.qel.nx.api.alarm.Filter;
import com.qel.nx.api.alarm.FilterItem;
import com.qel.nx.api.alarm.GenericQuery;
import com.qel.nx.api.alarm.LogName;
import com.qel.nx.api.alarm.LogicalCriteria;
import com.qel.nx.api.alarm.RelationCriteria;
import com.qel.nx.api.common.NXSeverity;
import com.qel.nx.cli.ProgressBar;
import com.qel.nx.cli.RecordView;
import com.qel.nx.cli.Table;
import com.qel.nx.server.qrt.EventHandler;
import com.qel.nx.server.qrt.EventListener;
import java.io.PrintWriter;
import java.text.SimpleDateFormat;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.Date;
import java.util.List;
import java.util.concurrent.BlockingQueue;
import java.util.concurrent.LinkedBlockingQueue;
import java.util.concurrent.TimeUnit;

/**
 * The main job: the client API at work on a seeded alarm database. Watches a
 * log, reads and counts its alarms, changes their states and shows the events
 * that come back, runs a batched retrieval and prints a query's SQL condition.
 *
 * <p>Arguments: the nxalarm-db tool, used to raise an alarm as a managed system
 * would while the demo watches. NX_ALARM_DB and NX_MIS_NAME name the database
 * and the MIS.
 */
public final class Demo {
    private static final NXSeverity[] SEVERITIES = {NXSeverity.CRITICAL, NXSeverity.MAJOR, NXSeverity.MINOR,
        NXSeverity.WARNING, NXSeverity.INDETERMINATE, NXSeverity.CLEARED};
    /** How long to wait for the MIS to report a change back. */
    private static final long EVENT_WAIT_MS = 3000;
    /** Events printed per step; a clear notification can touch dozens of alarms. */
    private static final int MAX_EVENT_LINES = 6;

    private final PrintWriter out = new PrintWriter(System.out, true);
    private final AlarmLogImpl api = new AlarmLogImpl();
    private final LogName log;
    private final String raiseTool;
    private final BlockingQueue<AlarmLogEvent> events = new LinkedBlockingQueue<>();
    private int step;

    private Demo(LogName log, String raiseTool) {
        this.log = log;
        this.raiseTool = raiseTool;
    }

    public static void main(String[] args) throws Exception {
        String mis = System.getenv("NX_MIS_NAME");
        String db = System.getenv("NX_ALARM_DB");
        if (args.length != 1 || mis == null || db == null) {
            System.err.println("usage: NX_ALARM_DB=FILE NX_MIS_NAME=NAME Demo NXALARM_DB_TOOL (run by tools/demo.sh)");
            System.exit(2);
        }
        try {
            new Demo(new LogName(mis, "AlarmLog"), args[0]).run();
        } catch (AlarmException e) {
            System.err.println("demo: the library refused: " + e.getMessage());
            System.exit(1);
        }
        // The platform's event thread keeps the JVM alive otherwise.
        System.exit(0);
    }

    private void heading(String title) {
        out.println();
        out.println(++step + ". " + title);
        out.println("-".repeat(step < 10 ? title.length() + 3 : title.length() + 4));
    }

    private void run() throws Exception {
        out.println("nxalarm demo: MIS " + log.getMisName() + ", database " + System.getenv("NX_ALARM_DB"));

        heading("Watch the log");
        api.init(null, log);
        EventHandler.addListener(AlarmLogEvent.ALARM_EVENT_ID, (key, event) -> {
            if (event instanceof AlarmLogEvent) {
                events.add((AlarmLogEvent) event);
            }
        });
        api.setEventAttrSetNative(RecordView.allAttributes());
        out.println("watching " + log.getFullLogName());
        out.println("a managed system raises a critical alarm:");
        raise();
        showEvents(1);

        heading("Alarms per severity");
        int[] counts = api.getAlarmCountBySeverityNative(log, new com.qel.nx.api.common.MOName[0], SEVERITIES);
        int total = api.getAlarmCountNative(log, new GenericQuery(LogicalCriteria.AND));
        Table t = new Table().column("SEVERITY", 0).number("ALARMS").column("", 0);
        for (int i = 0; i < SEVERITIES.length; i++) {
            t.row(SEVERITIES[i].getName(), counts[i], bar(counts[i], total));
        }
        t.row("total", total, "");
        t.print(out, 2);

        heading("Open critical and major alarms");
        GenericQuery openSevere = new GenericQuery(LogicalCriteria.AND)
                .add(new Filter(LogicalCriteria.AND)
                        .add(new FilterItem(AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL,
                                NXSeverity.CRITICAL, NXSeverity.MAJOR))
                        .add(new FilterItem(AlarmRecordAttribute.OPEN, RelationCriteria.EQUAL)));
        List<AlarmRecord> severe = new ArrayList<>(Arrays.asList(
                api.getAlarmsNative(log, openSevere, RecordView.allAttributes())));
        // Most urgent first: critical before major, then the newest.
        severe.sort(Comparator.comparingInt((AlarmRecord r) -> r.perceivedSeverity == null ? 99 : r.perceivedSeverity.id)
                .thenComparing((AlarmRecord r) -> r.logRecordId == null ? 0 : -r.logRecordId.intValue()));
        int shown = Math.min(12, severe.size());
        RecordView.table(severe.subList(0, shown)).print(out, 2);
        out.println("  (" + shown + " of " + severe.size() + " shown)");

        heading("Acknowledge, clear and display; the MIS reports each change");
        AlarmRecordId[] three = ids(severe, 0, 3);
        out.println("acknowledge " + Arrays.toString(three) + " with a text:");
        api.setAckAlarmsNative(log, three, new String[] {"on my way", "known issue", "ticket 4711"});
        showEvents(three.length);
        AlarmRecordId[] two = ids(severe, 3, 2);
        out.println("mark " + Arrays.toString(two) + " cleared:");
        api.setClearAlarmsNative(log, two, new String[] {"replaced the card"});
        showEvents(two.length);
        out.println("display " + Arrays.toString(three) + ", then take the display back from " + three[0] + ":");
        api.setDisplayAlarmsNative(log, three, null);
        showEvents(three.length);
        api.setUnDisplayAlarmsNative(log, new AlarmRecordId[] {three[0]});
        showEvents(1);
        AlarmRecordId[] one = ids(severe, 5, 1);
        out.println("send a clear notification for " + one[0] + " (it clears every alarm it correlates with):");
        api.clearAlarmsNative(log, one);
        showEvents(2);
        out.println("delete " + three[2] + ":");
        api.deleteAlarmsNative(log, new AlarmRecordId[] {three[2]});
        showEvents(1);

        heading("Batched retrieval of the whole log");
        batched();

        heading("The SQL condition of a query");
        GenericQuery q = new GenericQuery(LogicalCriteria.AND)
                .add(new Filter(LogicalCriteria.AND)
                        .add(new FilterItem(AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL,
                                NXSeverity.CRITICAL, NXSeverity.MAJOR))
                        .add(new FilterItem(AlarmRecordAttribute.EVENT_TYPE, RelationCriteria.EQUAL, "comm*"))
                        .add(new FilterItem(AlarmRecordAttribute.EVENT_TIME, RelationCriteria.GREATER_THAN_OR_EQUAL,
                                new Date(System.currentTimeMillis() - 24L * 3600 * 1000))))
                .add(new Filter(LogicalCriteria.OR)
                        .add(new FilterItem(AlarmRecordAttribute.OPEN, RelationCriteria.EQUAL))
                        .add(new FilterItem(AlarmRecordAttribute.ACKED, RelationCriteria.EQUAL)));
        out.println("critical or major communications alarms of the last 24 hours, open or acknowledged:");
        out.println("  WHERE " + api.getSqlQueryNative(q));
        out.println("  matches " + api.getAlarmCountNative(log, q) + " alarms");

        heading("Database parameters");
        AlarmDatabaseInfo info = new AlarmTable().getDatabaseParametersNative(log.getMisName());
        Table p = new Table().column("PARAMETER", 0).column("VALUE", 0);
        p.row("database", info.getDatabaseName()).row("host", info.getHostName()).row("protocol", info.getProtocol());
        p.print(out, 2);
        out.println();
        out.println("done. Try the command line: bin/nxalarm --db " + System.getenv("NX_ALARM_DB") + " list --severity critical");
    }

    private static String bar(int n, int total) {
        return total <= 0 ? "" : "#".repeat((int) Math.round(40.0 * n / total));
    }

    private static AlarmRecordId[] ids(List<AlarmRecord> records, int from, int n) {
        AlarmRecordId[] out = new AlarmRecordId[n];
        for (int i = 0; i < n; i++) {
            out[i] = records.get(from + i).logRecordId;
        }
        return out;
    }

    /** Raises an alarm from another process, as a managed system would. */
    private void raise() throws Exception {
        Process p = new ProcessBuilder(raiseTool, "raise", "--log", "AlarmLog", "--type", "equipmentAlarm",
                "--severity", "critical", "--moi", "/systemId=name:\"lyon-core\"/equipmentId=string:\"shelf-2\"",
                "--moc", "circuitPack", "--cause", "51", "--text", "card failure (demo)")
                .redirectErrorStream(true).start();
        String output = new String(p.getInputStream().readAllBytes(), java.nio.charset.StandardCharsets.UTF_8);
        if (p.waitFor() != 0) {
            throw new IllegalStateException("raising the demo alarm failed: " + output.trim());
        }
    }

    /**
     * Prints the events that arrive, waiting for at least {@code expected} of
     * them and then briefly for stragglers.
     */
    private void showEvents(int expected) throws InterruptedException {
        SimpleDateFormat clock = new SimpleDateFormat("HH:mm:ss.SSS");
        long deadline = System.currentTimeMillis() + EVENT_WAIT_MS;
        int seen = 0;
        while (true) {
            long wait = seen < expected ? deadline - System.currentTimeMillis() : 300;
            AlarmLogEvent e = wait > 0 ? events.poll(wait, TimeUnit.MILLISECONDS) : null;
            if (e == null) {
                break;
            }
            seen++;
            if (seen <= MAX_EVENT_LINES) {
                out.println("  event " + eventLine(clock.format(new Date()), e));
            }
        }
        if (seen > MAX_EVENT_LINES) {
            out.println("  ... and " + (seen - MAX_EVENT_LINES) + " more events");
        }
        if (seen < expected) {
            out.println("  (" + (expected - seen) + " expected events did not arrive within "
                    + EVENT_WAIT_MS + " ms)");
        }
    }

    private static String eventLine(String clock, AlarmLogEvent e) {
        AlarmRecord r = e.getRecord();
        switch (e.getKind()) {
            case AlarmLogEvent.OBJECT_CREATED:
                String text = RecordView.readable(RecordView.unquoted(r.additionalText));
                return String.format("%s  created  #%s %s %s %s %s %s", clock, RecordView.id(r),
                        RecordView.severity(r), RecordView.shortType(r.eventType), RecordView.text(RecordView.cause(r)),
                        RecordView.compactName(RecordView.managedObject(r)), text.isEmpty() ? "" : "\"" + text + "\"")
                        .replaceAll(" +$", "").replace("   ", " ");
            case AlarmLogEvent.OBJECT_DELETED:
                return String.format("%s  deleted  #%s", clock, RecordView.id(r));
            default:
                return String.format("%s  changed  #%s %s", clock, RecordView.id(r), RecordView.changes(r));
        }
    }

    private void batched() throws AlarmException {
        final int batchId = 1;
        final int batchSize = 250;
        int total = api.getAlarmCountNative(log, new GenericQuery(LogicalCriteria.AND));
        ProgressBar bar = new ProgressBar(System.out, "  reading", total, System.console() != null);
        int[] got = new int[2];
        EventListener listener = (key, event) -> {
            if (event instanceof AlarmsBatch && ((AlarmsBatch) event).getBatchId() == batchId) {
                AlarmsBatch b = (AlarmsBatch) event;
                if (b.size() > 0) {
                    got[0] += b.size();
                    got[1]++;
                }
                bar.advance(b.size());
            }
        };
        EventHandler.addListener(AlarmsBatch.EVENT_KEY, listener);
        long t0 = System.nanoTime();
        try {
            api.getAlarmsInBatchesNative(log, batchSize, 7, batchId, new GenericQuery(LogicalCriteria.AND),
                    RecordView.allAttributes());
        } finally {
            EventHandler.removeListener(AlarmsBatch.EVENT_KEY, listener);
        }
        long ms = (System.nanoTime() - t0) / 1_000_000;
        out.flush();
        bar.finish();
        out.printf("  %d records in %d batches of up to %d, %d ms%n", got[0], got[1], batchSize, ms);
    }
}
