package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.nx.server.qrt.EventHandler;
import com.qel.nx.server.qrt.EventListener;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * A batch listener that reads the log again (a client looking up related
 * alarms while a batched read runs): both retrievals read on worker threads
 * at once, and every record of both must be the record a plain read gives.
 * The log's rows differ in managed object, times and text, so a record
 * that took another's value shows.
 */
class NestedRetrievalNativeTest {
    private static final AlarmLogImpl API = new AlarmLogImpl();
    private static final int RECORDS = 15000;
    private static final int BATCH = 500;

    private static LogName log;
    private static AlarmRecord[] records;
    private static Map<Integer, String> plain;

    @BeforeAll
    static void fill() throws AlarmException {
        AlarmDbFixture db = AlarmDbFixture.create();
        log = db.createLog("Nested");
        db.raise(log, "major", 1);  // record 1 keeps its blob: decoded attributes too
        String table = db.table(log);
        // Rows without blob: every attribute comes from its column, the
        // managed object through both name conversions.
        String time = AlarmDbFixture.onPostgres()
                ? "timestamp '2024-01-01 00:00:00' + n.i * interval '7 seconds'"
                : "datetime('2024-01-01 00:00:00', '+' || (n.i * 7) || ' seconds')";
        String logged = AlarmDbFixture.onPostgres()
                ? "timestamp '2025-06-01 00:00:00' + n.i * interval '3 seconds'"
                : "datetime('2025-06-01 00:00:00', '+' || (n.i * 3) || ' seconds')";
        db.sql("WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < " + RECORDS + ") "
                + "INSERT INTO " + table + " (loggingtime, eventname, moc_s, moi_s, eventtime, notificationid,"
                + " additionaltext, logrecordid, perceivedseverity, ackstate, clearstate, displaystate) "
                + "SELECT " + logged + ", 'communicationsAlarm', 'equipment',"
                + " '/systemId=name:\"alpha\"/equipmentId=string:\"rack ' || n.i || '/slot ' || (n.i % 17) || '\"',"
                + " " + time + ", n.i, 'port ' || n.i || ' down', n.i,"
                + " CASE n.i % 3 WHEN 0 THEN 'critical' WHEN 1 THEN 'major' ELSE 'minor' END,"
                + " 'unAcked', 'unCleared', 'unDisplayed' FROM n");
        API.init("nested", log);
        records = API.getAlarmsNative(log, null, AlarmDbFixture.allAttributes());
        plain = byId(records);
        assertEquals(RECORDS, plain.size());
    }

    @Test
    void slashInsideAQuotedValueStaysInTheManagedObject() {
        for (AlarmRecord r : records) {
            int i = r.logRecordId.intValue();
            if (i > 1) {
                // A '/' inside the quoted value belongs to the value.
                assertEquals("/systemId=name:\"alpha\"/equipmentId=string:\"rack " + i + "/slot " + (i % 17) + "\"",
                        r.managedObjectInstance.getMOName(), "record " + i);
            }
        }
    }

    private static Map<Integer, String> byId(AlarmRecord[] records) {
        Map<Integer, String> out = new HashMap<>();
        for (AlarmRecord r : records) {
            out.put(r.logRecordId.intValue(), r.toString());
        }
        return out;
    }

    /** The records that differ from the plain read, as text for the failure message. */
    private static List<String> differences(AlarmRecord[] records) {
        List<String> out = new ArrayList<>();
        for (AlarmRecord r : records) {
            String expected = plain.get(r.logRecordId.intValue());
            if (!r.toString().equals(expected)) {
                out.add("got " + r + " expected " + expected);
            }
        }
        return out;
    }

    @Test
    void readsInsideABatchListenerMatchAPlainRead() throws Exception {
        final int batchId = 77;
        List<String> batchedWrong = new ArrayList<>();
        List<String> nestedWrong = new ArrayList<>();
        int[] counts = new int[2];  // batched, nested
        EventListener lookUp = (key, event) -> {
            AlarmsBatch b = (AlarmsBatch) event;
            if (b.getBatchId() != batchId || b.size() == 0) {
                return;
            }
            counts[0] += b.size();
            batchedWrong.addAll(differences(b.getRecords()));
            try {
                // The same thread holds the (recursive) process-wide lock.
                AlarmRecord[] again = API.getAlarmsNative(log, null, AlarmDbFixture.allAttributes());
                counts[1] += again.length;
                nestedWrong.addAll(differences(again));
            } catch (AlarmException e) {
                nestedWrong.add("nested read failed: " + e.getMessage());
            }
        };
        EventHandler.addListener(AlarmsBatch.EVENT_KEY, lookUp);
        try {
            API.getAlarmsInBatchesNative(log, BATCH, 1, batchId, null, AlarmDbFixture.allAttributes());
        } finally {
            EventHandler.removeListener(AlarmsBatch.EVENT_KEY, lookUp);
        }
        assertEquals(RECORDS, counts[0]);
        assertEquals(RECORDS * (RECORDS / BATCH), counts[1]);
        assertTrue(batchedWrong.isEmpty(), batchedWrong.size() + " batched records wrong, first: "
                + batchedWrong.subList(0, Math.min(3, batchedWrong.size())));
        assertTrue(nestedWrong.isEmpty(), nestedWrong.size() + " nested records wrong, first: "
                + nestedWrong.subList(0, Math.min(3, nestedWrong.size())));
    }
}
