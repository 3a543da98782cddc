package com.qel.nx.cli;

import com.qel.nx.api.alarm.AlarmException;
import com.qel.nx.api.alarm.AlarmInputException;
import com.qel.nx.api.alarm.AlarmLogImpl;
import com.qel.nx.api.alarm.AlarmPage;
import com.qel.nx.api.alarm.AlarmRecord;
import com.qel.nx.api.alarm.AlarmRecordAttribute;
import com.qel.nx.api.alarm.AlarmRecordAttributeSet;
import com.qel.nx.api.alarm.AlarmRecordId;
import com.qel.nx.api.alarm.AlarmsBatch;
import com.qel.nx.api.alarm.Filter;
import com.qel.nx.api.alarm.FilterItem;
import com.qel.nx.api.alarm.GenericQuery;
import com.qel.nx.api.alarm.LogName;
import com.qel.nx.api.alarm.LogicalCriteria;
import com.qel.nx.api.alarm.RelationCriteria;
import com.qel.nx.server.qrt.EventHandler;
import com.qel.nx.server.qrt.EventListener;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.Set;
import java.util.TreeSet;
import java.util.function.LongConsumer;

/**
 * One alarm log opened through the client API, with the checks that turn the
 * library's terse failures into messages an operator can act on.
 */
public final class AlarmLogSession {
    /** The log used when none is named. */
    public static final String DEFAULT_LOG = "AlarmLog";
    /** The database file the library uses when NX_ALARM_DB is not set. */
    static final String DEFAULT_DATABASE = "nxalarm.db";

    /** The state changes an operator can make. */
    public enum Change { ACK, UNACK, CLEAR, UNCLEAR, DISPLAY, UNDISPLAY }

    private final AlarmLogImpl impl;
    private final LogName log;
    private int nextBatchId = 1;

    private AlarmLogSession(AlarmLogImpl impl, LogName log) {
        this.impl = impl;
        this.log = log;
    }

    /** The database the library will open: NX_ALARM_DB, else its default file. */
    public static String databaseLocation() {
        String env = System.getenv("NX_ALARM_DB");
        return env == null || env.isEmpty() ? DEFAULT_DATABASE : env;
    }

    /** The MIS name the library uses: NX_MIS_NAME, else the host name. */
    public static String misName() {
        String env = System.getenv("NX_MIS_NAME");
        if (env != null && !env.isEmpty()) {
            return env;
        }
        try {
            return java.net.InetAddress.getLocalHost().getHostName();
        } catch (java.net.UnknownHostException e) {
            return "localhost";
        }
    }

    /**
     * Sets the library up on a log. Fails with {@link CliException#UNREACHABLE}
     * when the database file is missing or the log is not in it.
     */
    public static AlarmLogSession open(LogName log) throws CliException {
        String location = databaseLocation();
        if (!location.contains("://")) {
            Path p = Paths.get(location);
            if (!Files.isRegularFile(p)) {
                throw CliException.unreachable("no alarm database at " + p.toAbsolutePath()
                        + " (give --db FILE or set NX_ALARM_DB; make one with nxalarm-db init)");
            }
            if (!Files.isReadable(p)) {
                throw CliException.unreachable("cannot read the alarm database " + p.toAbsolutePath());
            }
        }
        AlarmLogImpl impl = new AlarmLogImpl();
        try {
            impl.init(null, log);
        } catch (AlarmException e) {
            if (e instanceof AlarmInputException) {
                throw CliException.fromLibrary("cannot open the log: ", e);  // a name past its bound, say
            }
            if (databaseCondition(e)) {
                throw CliException.failed("cannot open log " + describe(log) + " in " + location + ": " + e.getMessage());
            }
            throw CliException.unreachable("cannot open log " + describe(log) + " in " + location
                    + ": no such log, or not an alarm database (" + e.getMessage() + ")");
        }
        // init accepts a log the database does not have, and counting one gives 0;
        // only reading its tables tells. The probe selects at most one record.
        GenericQuery probe = new GenericQuery(LogicalCriteria.AND)
                .add(new Filter(LogicalCriteria.AND).add(new FilterItem(AlarmRecordAttribute.LOG_RECORD_ID,
                        RelationCriteria.EQUAL, Integer.MAX_VALUE)));
        try {
            impl.getAlarmsNative(log, probe, AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID));
        } catch (AlarmException e) {
            if (databaseCondition(e)) {
                throw CliException.failed("cannot read log " + describe(log) + " in " + location + ": " + e.getMessage());
            }
            throw CliException.unreachable("no log " + describe(log) + " in " + location);
        }
        return new AlarmLogSession(impl, log);
    }

    /**
     * Whether the library failed because of the database's state (a lock held
     * past the wait, a read-only database) rather than a missing log: the
     * operator must hear that reason, not "no such log".
     */
    static boolean databaseCondition(AlarmException e) {
        String m = e.getMessage();
        return m != null && (m.contains("the alarm database is busy") || m.contains("the alarm database is read-only"));
    }

    static String describe(LogName log) {
        return (log.isNumeric() ? log.getLogId() + " (number)" : "\"" + log.getLogId() + "\"")
                + " of MIS " + log.getMisName();
    }

    public LogName log() {
        return log;
    }

    public AlarmLogImpl api() {
        return impl;
    }

    /** Counts the records a query selects. */
    public int count(GenericQuery query) throws CliException {
        int n;
        try {
            n = impl.getAlarmCountNative(log, query);
        } catch (AlarmException e) {
            throw CliException.fromLibrary("cannot count alarms: ", e);
        }
        if (n < 0) {
            throw CliException.failed("cannot count the alarms of log " + describe(log));
        }
        return n;
    }

    /**
     * Reads the records a query selects through a batched retrieval, reporting
     * each batch to {@code progress}; stops the retrieval once {@code limit}
     * records (0: no limit) are in.
     */
    public List<AlarmRecord> retrieve(GenericQuery query, AlarmRecordAttributeSet attrs, int batchSize, int limit,
                                      LongConsumer progress) throws CliException {
        List<AlarmRecord> out = new ArrayList<>();
        stream(query, attrs, batchSize, limit, records -> {
            out.addAll(records);
            progress.accept(records.size());
            return true;
        });
        return out;
    }

    /** Takes the records of one batch; returns false to stop the retrieval. */
    @FunctionalInterface
    public interface BatchConsumer {
        boolean accept(List<AlarmRecord> records);
    }

    /**
     * Reads the records a query selects through a batched retrieval and hands
     * each batch to {@code consumer} as it comes, keeping none: memory stays
     * bounded by the batch size. Stops once {@code limit} records (0: no limit)
     * were handed over, or when the consumer says so.
     */
    public void stream(GenericQuery query, AlarmRecordAttributeSet attrs, int batchSize, int limit,
                       BatchConsumer consumer) throws CliException {
        final int batchId = nextBatchId++;
        long[] handed = {0};
        boolean[] stopped = {false};
        EventListener listener = (key, event) -> {
            if (!(event instanceof AlarmsBatch) || ((AlarmsBatch) event).getBatchId() != batchId || stopped[0]) {
                return;
            }
            AlarmRecord[] records = ((AlarmsBatch) event).getRecords();
            int take = records.length;
            if (limit > 0) {
                take = (int) Math.min(take, limit - handed[0]);
            }
            if (take <= 0) {
                return;  // the closing empty batch, or one sent before the stop took
            }
            handed[0] += take;
            boolean more = consumer.accept(java.util.Arrays.asList(records).subList(0, take));
            if (!more || (limit > 0 && handed[0] >= limit)) {
                stopped[0] = true;
                impl.stopGetAlarmsInBatchesNative(batchId);
            }
        };
        EventHandler.addListener(AlarmsBatch.EVENT_KEY, listener);
        try {
            impl.getAlarmsInBatchesNative(log, batchSize, 0, batchId, query, attrs);
        } catch (AlarmException e) {
            throw CliException.fromLibrary("cannot read the alarms of log " + describe(log) + ": ", e);
        } finally {
            EventHandler.removeListener(AlarmsBatch.EVENT_KEY, listener);
        }
    }

    /** Reads one ordered page; {@code token} is null for the first. */
    public AlarmPage page(GenericQuery query, AlarmRecordAttributeSet attrs, int size, String token)
            throws CliException {
        try {
            AlarmPage page = impl.getAlarmPageNative(log, query, attrs, size, token);
            if (page == null) {
                throw CliException.failed("cannot read a page of log " + describe(log));
            }
            return page;
        } catch (AlarmException e) {
            if (token != null && !(e instanceof AlarmInputException) && !databaseCondition(e)) {
                // The library refuses a token that is garbled or made for another
                // selection or order: the operator gave a bad argument.
                throw CliException.usage("--after: " + e.getMessage());
            }
            throw CliException.fromLibrary("cannot read a page of log " + describe(log) + ": ", e);
        }
    }

    /** The identifiers among {@code ids} that name no record of the log. */
    public Set<Integer> missing(List<Integer> ids) throws CliException {
        Set<Integer> missing = new TreeSet<>(ids);
        if (ids.isEmpty()) {
            return missing;
        }
        GenericQuery q = new GenericQuery(LogicalCriteria.AND)
                .add(new Filter(LogicalCriteria.AND).add(new FilterItem(AlarmRecordAttribute.LOG_RECORD_ID,
                        RelationCriteria.EQUAL, ids.toArray())));
        AlarmRecord[] found;
        try {
            found = impl.getAlarmsNative(log, q, AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID));
        } catch (AlarmException e) {
            throw CliException.fromLibrary("cannot look the records up: ", e);
        }
        if (found != null) {
            for (AlarmRecord r : found) {
                if (r.logRecordId != null) {
                    missing.remove(r.logRecordId.intValue());
                }
            }
        }
        return missing;
    }

    /** Changes the state of records; {@code text} (may be null) goes with ack, clear and display. */
    public void change(Change change, List<Integer> ids, String text) throws AlarmException {
        AlarmRecordId[] rids = recordIds(ids);
        String[] texts = null;
        if (text != null) {
            texts = new String[rids.length];
            java.util.Arrays.fill(texts, text);
        }
        switch (change) {
            case ACK: impl.setAckAlarmsNative(log, rids, texts); break;
            case CLEAR: impl.setClearAlarmsNative(log, rids, texts); break;
            case DISPLAY: impl.setDisplayAlarmsNative(log, rids, texts); break;
            case UNACK: impl.setUnAckAlarmsNative(log, rids); break;
            case UNCLEAR: impl.setUnClearAlarmsNative(log, rids); break;
            default: impl.setUnDisplayAlarmsNative(log, rids); break;
        }
    }

    /** Sends clear notifications for records. */
    public void sendClear(List<Integer> ids) throws AlarmException {
        impl.clearAlarmsNative(log, recordIds(ids));
    }

    /** Deletes records. */
    public void delete(List<Integer> ids) throws AlarmException {
        impl.deleteAlarmsNative(log, recordIds(ids));
    }

    private static AlarmRecordId[] recordIds(List<Integer> ids) {
        AlarmRecordId[] out = new AlarmRecordId[ids.size()];
        for (int i = 0; i < out.length; i++) {
            out[i] = new AlarmRecordId(ids.get(i));
        }
        return out;
    }
}
