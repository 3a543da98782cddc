package com.qel.nx.bench;

import com.qel.nx.api.alarm.AlarmException;
import com.qel.nx.api.alarm.AlarmLogImpl;
import com.qel.nx.api.alarm.AlarmRecord;
import com.qel.nx.api.alarm.AlarmRecordAttribute;
import com.qel.nx.api.alarm.AlarmRecordAttributeSet;
import com.qel.nx.api.alarm.AlarmRecordId;
import com.qel.nx.api.alarm.AlarmsBatch;
import com.qel.nx.api.alarm.LogName;
import com.qel.nx.api.common.MOName;
import com.qel.nx.api.common.NXSeverity;
import com.qel.nx.server.qrt.EventHandler;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.sql.Connection;
import java.sql.DriverManager;
import java.sql.PreparedStatement;
import java.sql.ResultSet;
import java.sql.SQLException;
import java.sql.Statement;
import java.time.LocalDateTime;
import java.time.ZoneId;
import java.time.format.DateTimeFormatter;
import java.util.Arrays;
import java.util.Date;
import java.util.concurrent.atomic.AtomicLong;

/**
 * Reading alarm records into Java objects: getAlarmsNative against plain JDBC
 * over the same rows, and the peak memory of a batched retrieval.
 *
 * <pre>
 *   AlarmBench rate DB_FILE LOG...        records/s of both ways, best of several runs
 *   AlarmBench batched DB_FILE LOG SIZE   one batched retrieval; peak RSS (VmHWM)
 * </pre>
 * NX_ALARM_DB must name DB_FILE (the library reads it), NX_MIS_NAME the MIS.
 */
public final class AlarmBench {
    private static final String MIS = System.getenv().getOrDefault("NX_MIS_NAME", "alpha");
    private static final DateTimeFormatter STORED = DateTimeFormatter.ofPattern("yyyy-MM-dd HH:mm:ss");
    private static final ZoneId ZONE = ZoneId.systemDefault();

    private AlarmBench() {
    }

    public static void main(String[] args) throws Exception {
        if (args.length < 3) {
            System.err.println("usage: AlarmBench rate DB LOG... | AlarmBench batched DB LOG BATCH_SIZE");
            System.exit(2);
        }
        String db = args[1];
        if (!Paths.get(db).toAbsolutePath().toString().equals(
                Paths.get(System.getenv().getOrDefault("NX_ALARM_DB", "")).toAbsolutePath().toString())) {
            throw new IllegalStateException("NX_ALARM_DB must name " + db);
        }
        AlarmLogImpl api = new AlarmLogImpl();
        api.init("bench", new LogName(MIS, args[2]));
        if (args[0].equals("rate")) {
            for (int i = 3; i < args.length; i++) {
                api.addLogNameNative(new LogName(MIS, args[i]));
            }
            for (int i = 2; i < args.length; i++) {
                rate(api, db, args[i]);
            }
        } else {
            batched(api, args[2], Integer.parseInt(args[3]));
        }
    }

    private static AlarmRecordAttributeSet everything() {
        AlarmRecordAttributeSet set = new AlarmRecordAttributeSet();
        for (AlarmRecordAttribute a : AlarmRecordAttribute.values()) {
            if (a.isRecordAttribute()) {
                set.add(a);
            }
        }
        return set;
    }

    private static void rate(AlarmLogImpl api, String db, String logId) throws AlarmException, SQLException {
        LogName log = new LogName(MIS, logId);
        AlarmRecordAttributeSet all = everything();
        int rows = api.getAlarmCountNative(log, null);
        int runs = rows <= 20_000 ? 15 : 9;
        long sink = 0;
        double[] nativeRate = new double[runs];
        double[] jdbcRate = new double[runs];
        try (Connection c = DriverManager.getConnection("jdbc:sqlite:" + db)) {
            String table = tableOf(c, logId);
            // Alternate the two ways so that both see the same machine state.
            for (int run = -2; run < runs; run++) {
                long t0 = System.nanoTime();
                AlarmRecord[] records = api.getAlarmsNative(log, null, all);
                long t1 = System.nanoTime();
                AlarmRecord[] viaJdbc = readJdbc(c, table, log, all);
                long t2 = System.nanoTime();
                if (records.length != rows || viaJdbc.length != rows) {
                    throw new IllegalStateException(logId + ": " + records.length + " and " + viaJdbc.length
                            + " records, expected " + rows);
                }
                sink += records[rows - 1].logRecordId.intValue() + viaJdbc[rows - 1].logRecordId.intValue();
                if (run >= 0) {
                    nativeRate[run] = rows / ((t1 - t0) / 1e9);
                    jdbcRate[run] = rows / ((t2 - t1) / 1e9);
                }
            }
        }
        Arrays.sort(nativeRate);
        Arrays.sort(jdbcRate);
        double n = nativeRate[runs / 2];
        double j = jdbcRate[runs / 2];
        System.out.printf("%-10s %8d records  getAlarmsNative %10.0f rec/s  JDBC %10.0f rec/s  ratio %.2f"
                + "  (median of %d; best %.0f / %.0f)%n", logId, rows, n, j, n / j, runs,
                nativeRate[runs - 1], jdbcRate[runs - 1]);
        if (sink == 42) {
            System.out.println();
        }
    }

    private static String tableOf(Connection c, String logId) throws SQLException {
        try (PreparedStatement st = c.prepareStatement("SELECT nxlogname FROM nxlog WHERE nxlogid = ? "
                + "AND nxlogrecordtype = 'nxAlm'")) {
            st.setString(1, logId);
            try (ResultSet rs = st.executeQuery()) {
                if (!rs.next()) {
                    throw new IllegalStateException("no log " + logId);
                }
                return rs.getString(1);
            }
        }
    }

    private static final NXSeverity[] SEVERITIES = {NXSeverity.CRITICAL, NXSeverity.MAJOR, NXSeverity.MINOR,
        NXSeverity.WARNING, NXSeverity.INDETERMINATE};

    private static NXSeverity severity(String text) {
        if (text == null) {
            return null;
        }
        for (NXSeverity s : SEVERITIES) {
            if (s.getName().equals(text)) {
                return s;
            }
        }
        return null;
    }

    private static Date date(String stored) {
        return stored == null ? null : Date.from(LocalDateTime.parse(stored, STORED).atZone(ZONE).toInstant());
    }

    private static String text(String s) {
        return s == null || s.isEmpty() ? null : s;
    }

    /** The same records by plain JDBC, into the same Java objects the library makes. */
    private static AlarmRecord[] readJdbc(Connection c, String table, LogName log, AlarmRecordAttributeSet all)
            throws SQLException {
        java.util.ArrayList<AlarmRecord> out = new java.util.ArrayList<>();
        try (Statement st = c.createStatement();
             ResultSet rs = st.executeQuery("SELECT logrecordid, eventname, moi_s, eventtime, loggingtime, "
                     + "additionaltext, probablecause_s, perceivedseverity, ackstate, acktime, ackoperator, "
                     + "acktext, clearstate, cleartime, clearoperator, cleartext, displaystate, displaytime, "
                     + "displayoperator, displaytext FROM " + table)) {
            while (rs.next()) {
                AlarmRecord r = new AlarmRecord();
                r.logRecordId = new AlarmRecordId(rs.getInt(1));
                r.eventType = rs.getString(2);
                r.managedObjectInstance = new MOName(0, rs.getString(3));
                r.eventTime = date(rs.getString(4));
                r.loggingTime = date(rs.getString(5));
                r.additionalText = text(rs.getString(6));
                r.probableCause = text(rs.getString(7));
                r.perceivedSeverity = severity(rs.getString(8));
                r.ackState = "acked".equals(rs.getString(9)) ? Boolean.TRUE : null;
                r.ackTime = date(rs.getString(10));
                r.ackOperator = text(rs.getString(11));
                r.ackText = text(rs.getString(12));
                r.clearState = "cleared".equals(rs.getString(13)) ? Boolean.TRUE : null;
                r.clearTime = date(rs.getString(14));
                r.clearOperator = text(rs.getString(15));
                r.clearText = text(rs.getString(16));
                r.displayState = "displayed".equals(rs.getString(17)) ? Boolean.TRUE : null;
                r.displayTime = date(rs.getString(18));
                r.displayOperator = text(rs.getString(19));
                r.displayText = text(rs.getString(20));
                r.logName = log;
                r.attrSet = all;
                out.add(r);
            }
        }
        return out.toArray(new AlarmRecord[0]);
    }

    private static void batched(AlarmLogImpl api, String logId, int batchSize) throws AlarmException, IOException {
        LogName log = new LogName(MIS, logId);
        AtomicLong records = new AtomicLong();
        AtomicLong batches = new AtomicLong();
        EventHandler.addListener(AlarmsBatch.EVENT_KEY, (key, event) -> {
            records.addAndGet(((AlarmsBatch) event).size());
            batches.incrementAndGet();
        });
        long before = hwmKib();
        long t0 = System.nanoTime();
        api.getAlarmsInBatchesNative(log, batchSize, 1, 1, null, everything());
        double seconds = (System.nanoTime() - t0) / 1e9;
        long peak = hwmKib();
        System.out.printf("%-10s batched retrieval: %d records in %d batches of %d, %.1f s (%.0f rec/s); "
                + "peak RSS (VmHWM) %.1f MiB (%.1f MiB before the retrieval)%n", logId, records.get(),
                batches.get(), batchSize, seconds, records.get() / seconds, peak / 1024.0, before / 1024.0);
    }

    private static long hwmKib() throws IOException {
        for (String line : Files.readAllLines(Paths.get("/proc/self/status"))) {
            if (line.startsWith("VmHWM:")) {
                return Long.parseLong(line.replaceAll("[^0-9]", ""));
            }
        }
        throw new IllegalStateException("no VmHWM in /proc/self/status");
    }
}
