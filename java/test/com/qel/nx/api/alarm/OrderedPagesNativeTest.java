package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.nx.api.common.NXSeverity;
import com.qel.nx.server.qrt.EventHandler;
import com.qel.nx.server.qrt.EventListener;
import java.lang.reflect.Field;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.HashSet;
import java.util.List;
import java.util.concurrent.CopyOnWriteArrayList;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * Ordered reads: orderBy on the whole retrievals and on pages read by token.
 * Log Paged holds 60 alarm records (event times with many ties, some without
 * one; every severity and none) and 4 internet alarm records, one with the id
 * of an alarm record. Log Growing is the same, and gets more alarms raised by
 * another process between page reads.
 */
class OrderedPagesNativeTest {
    private static final AlarmLogImpl API = new AlarmLogImpl();
    private static final AlarmRecordAttributeSet KEYS = AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID,
            AlarmRecordAttribute.EVENT_TIME, AlarmRecordAttribute.PERCEIVED_SEVERITY, AlarmRecordAttribute.ACK_TIME);
    private static final int RECORDS = 64;

    private static AlarmDbFixture db;
    private static LogName paged;
    private static LogName growing;

    @BeforeAll
    static void fill() throws AlarmException {
        db = AlarmDbFixture.create();
        paged = db.createLog("Paged");
        growing = db.createLog("Growing");
        // The managed object's identity, made by the tool before any read:
        // the rows below are written directly.
        db.raise(db.createLog("Seed"), "major", 1);
        fillLog(paged);
        fillLog(growing);
        API.init("pages", paged);
        API.addLogNameNative(growing);
    }

    private static void fillLog(LogName log) {
        String id = log.getLogId();
        String alarms = db.table(log);
        String internet = db.sql("SELECT nxlogname FROM nxlog WHERE nxlogid = '" + id
                + "' AND nxlogrecordtype = 'nxInt'");
        // Eleven distinct event times, so most records tie on it; every
        // thirteenth has none. Every fourth was acknowledged.
        String time = AlarmDbFixture.onPostgres()
                ? "timestamp '2024-01-01 00:00:00' + (n.i % 11) * interval '1 minute'"
                : "datetime('2024-01-01 00:00:00', '+' || (n.i % 11) || ' minutes')";
        String acked = AlarmDbFixture.onPostgres()
                ? "timestamp '2024-02-01 00:00:00' + n.i * interval '1 second'"
                : "datetime('2024-02-01 00:00:00', '+' || n.i || ' seconds')";
        db.sql("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 60) "
                + "INSERT INTO " + alarms + " (loggingtime, eventname, moc_s, moi_s, eventtime, notificationid,"
                + " additionaltext, logrecordid, perceivedseverity, ackstate, acktime, clearstate, displaystate) "
                + "SELECT " + time + ", 'communicationsAlarm', 'equipment', '/systemId=name:\"alpha\"',"
                + " CASE WHEN n.i % 13 = 0 THEN NULL ELSE " + time + " END, n.i, 'port down', n.i,"
                + " CASE n.i % 7 WHEN 0 THEN 'critical' WHEN 1 THEN 'major' WHEN 2 THEN 'minor' WHEN 3 THEN 'warning'"
                + " WHEN 4 THEN 'indeterminate' WHEN 5 THEN 'cleared' ELSE NULL END,"
                + " 'unAcked', CASE WHEN n.i % 4 = 0 THEN " + acked + " ELSE NULL END, 'unCleared', 'unDisplayed'"
                + " FROM n");
        // Internet alarms: record 3 is also an alarm record's id.
        db.sql("INSERT INTO " + internet + " (loggingtime, eventname, moc_s, moi_s, eventtime, logrecordid,"
                + " perceivedseverity, ackstate, clearstate, displaystate) VALUES"
                + " ('2024-01-01 00:00:00', 'communicationsAlarm', 'equipment', '/systemId=name:\"alpha\"',"
                + " '2024-01-01 00:05:30', 3, 'critical', 'unAcked', 'unCleared', 'unDisplayed'),"
                + " ('2024-01-01 00:00:00', 'communicationsAlarm', 'equipment', '/systemId=name:\"alpha\"',"
                + " '2024-01-01 00:03:00', 1001, 'major', 'unAcked', 'unCleared', 'unDisplayed'),"
                + " ('2024-01-01 00:00:00', 'communicationsAlarm', 'equipment', '/systemId=name:\"alpha\"',"
                + " NULL, 1002, 'minor', 'unAcked', 'unCleared', 'unDisplayed'),"
                + " ('2024-01-01 00:00:00', 'communicationsAlarm', 'equipment', '/systemId=name:\"alpha\"',"
                + " '2024-01-01 00:10:00', 1003, NULL, 'unAcked', 'unCleared', 'unDisplayed')");
    }

    // --- the documented order, computed here from the records ---

    /**
     * The severity rank of a record as filled in (a Java record does not tell a
     * cleared severity from none): critical 5 down to cleared 0, none -1.
     */
    private static int rank(AlarmRecord r) {
        int id = r.logRecordId.intValue();
        if (id > 1000) {
            return id == 1001 ? 4 : id == 1002 ? 3 : -1;
        }
        if (id == 3 && r.eventTime != null && r.eventTime.getTime() % 60000 != 0) {
            return 5;  // the internet record 3, at half a minute
        }
        return new int[] {5, 4, 3, 2, 1, 0, -1}[id % 7];
    }

    /** A time orders as earlier than every time when the record has none. */
    private static Comparator<AlarmRecord> time(java.util.function.Function<AlarmRecord, java.util.Date> get) {
        return Comparator.comparing(get, Comparator.nullsFirst(Comparator.naturalOrder()));
    }

    private static Comparator<AlarmRecord> byId() {
        return Comparator.comparingInt(r -> r.logRecordId.intValue());
    }

    private static List<Integer> ids(AlarmRecord[] records) {
        List<Integer> ids = new ArrayList<>();
        for (AlarmRecord r : records) {
            ids.add(r.logRecordId.intValue());
        }
        return ids;
    }

    private static List<Integer> sorted(LogName log, Comparator<AlarmRecord> order) throws AlarmException {
        AlarmRecord[] all = API.getAlarmsNative(log, null, KEYS);
        Arrays.sort(all, order);
        return ids(all);
    }

    /** Every page of a query, checking that only the last has no token. */
    private static List<Integer> allPages(LogName log, GenericQuery query, int limit) throws AlarmException {
        List<Integer> ids = new ArrayList<>();
        String token = null;
        do {
            AlarmPage page = API.getAlarmPageNative(log, query, KEYS, limit, token);
            ids.addAll(ids(page.getRecords()));
            token = page.getNextPageToken();
            if (token != null) {
                assertEquals(limit, page.getRecords().length, "only the last page may be short");
            }
        } while (token != null);
        return ids;
    }

    private static GenericQuery newestFirst() {
        return new GenericQuery(LogicalCriteria.AND).orderBy(AlarmRecordAttribute.EVENT_TIME, true);
    }

    // --- orders ---

    @Test
    void pagesAndWholeReadsFollowTheOrderWithTimesMissingEarliest() throws AlarmException {
        List<Integer> newest = sorted(paged, time(r -> r.eventTime).thenComparing(byId()).reversed());
        assertEquals(RECORDS, newest.size());
        assertEquals(newest, ids(API.getAlarmsNative(paged, newestFirst(), KEYS)));
        assertEquals(newest, allPages(paged, newestFirst(), 7));
        assertEquals(newest, allPages(paged, newestFirst(), 13));

        List<Integer> oldest = sorted(paged, time(r -> r.eventTime).thenComparing(byId()));
        GenericQuery ascending = new GenericQuery(LogicalCriteria.AND).orderBy(AlarmRecordAttribute.EVENT_TIME, false);
        assertEquals(oldest, ids(API.getAlarmsNative(paged, ascending, KEYS)));
        assertEquals(oldest, allPages(paged, ascending, 5));
        // Records without an event time come first ascending, last descending.
        AlarmRecord first = API.getAlarmPageNative(paged, ascending, KEYS, 1, null).getRecords()[0];
        assertNull(first.eventTime);
        AlarmRecord[] page = API.getAlarmPageNative(paged, newestFirst(), KEYS, 64, null).getRecords();
        assertNull(page[page.length - 1].eventTime);
    }

    @Test
    void mixedDirectionsAndSeverityRank() throws AlarmException {
        // Critical first; within a severity the oldest first, then the highest id.
        GenericQuery query = new GenericQuery(LogicalCriteria.AND)
                .orderBy(AlarmRecordAttribute.PERCEIVED_SEVERITY, true)
                .orderBy(AlarmRecordAttribute.EVENT_TIME, false);
        Comparator<AlarmRecord> order = Comparator.comparingInt(OrderedPagesNativeTest::rank).reversed()
                .thenComparing(time(r -> r.eventTime)).thenComparing(byId().reversed());
        List<Integer> expected = sorted(paged, order);
        assertEquals(expected, ids(API.getAlarmsNative(paged, query, KEYS)));
        assertEquals(expected, allPages(paged, query, 5));
        AlarmRecord top = API.getAlarmsNative(paged, query, KEYS)[0];
        assertEquals(NXSeverity.CRITICAL, top.perceivedSeverity);

        // An order by a time most records lack, ascending by id after it.
        GenericQuery acked = new GenericQuery(LogicalCriteria.AND).orderBy(AlarmRecordAttribute.ACK_TIME, false);
        assertEquals(sorted(paged, time(r -> r.ackTime).thenComparing(byId())), allPages(paged, acked, 4));
        // The record id alone, descending; no order key at all pages by id.
        GenericQuery byIdDown = new GenericQuery(LogicalCriteria.AND).orderBy(AlarmRecordAttribute.LOG_RECORD_ID, true);
        assertEquals(sorted(paged, byId().reversed()), allPages(paged, byIdDown, 9));
        assertEquals(sorted(paged, byId()), allPages(paged, null, 10));
    }

    @Test
    void batchesComeInTheQueryOrder() throws AlarmException {
        List<AlarmsBatch> batches = new CopyOnWriteArrayList<>();
        EventListener collect = (key, event) -> batches.add((AlarmsBatch) event);
        EventHandler.addListener(AlarmsBatch.EVENT_KEY, collect);
        try {
            API.getAlarmsInBatchesNative(paged, 10, 1, 9001, newestFirst(), KEYS);
        } finally {
            EventHandler.removeListener(AlarmsBatch.EVENT_KEY, collect);
        }
        List<Integer> got = new ArrayList<>();
        for (AlarmsBatch b : batches) {
            got.addAll(ids(b.getRecords()));
        }
        assertEquals(sorted(paged, time(r -> r.eventTime).thenComparing(byId()).reversed()), got);
        assertEquals(8, batches.size(), "six full batches, one of 4, the closing empty one");
    }

    @Test
    void filtersAndTotal() throws AlarmException {
        GenericQuery majors = AlarmDbFixture.where(AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL,
                NXSeverity.MAJOR).orderBy(AlarmRecordAttribute.EVENT_TIME, true);
        AlarmPage first = API.getAlarmPageNative(paged, majors, KEYS, 4, null);
        // Records 1, 8, ..., 57 (9 alarm records) and internet record 1001.
        assertEquals(10, first.getTotal());
        assertEquals(API.getAlarmCountNative(paged, majors), first.getTotal());
        List<Integer> all = allPages(paged, majors, 4);
        assertEquals(10, all.size());
        assertEquals(new HashSet<>(ids(API.getAlarmsNative(paged, majors, KEYS))), new HashSet<>(all));
    }

    // --- tokens ---

    @Test
    void tokensWorkOnlyForTheirOwnRead() throws AlarmException {
        AlarmPage first = API.getAlarmPageNative(paged, newestFirst(), KEYS, 5, null);
        String token = first.getNextPageToken();
        assertNotNull(token);
        // The same token reads the same page again.
        AlarmRecord[] second = API.getAlarmPageNative(paged, newestFirst(), KEYS, 5, token).getRecords();
        assertEquals(ids(second), ids(API.getAlarmPageNative(paged, newestFirst(), KEYS, 5, token).getRecords()));
        // A different page size goes on from the same place.
        assertEquals(ids(second).subList(0, 2),
                ids(API.getAlarmPageNative(paged, newestFirst(), KEYS, 2, token).getRecords()));

        GenericQuery otherFilter = AlarmDbFixture.where(AlarmRecordAttribute.PERCEIVED_SEVERITY,
                RelationCriteria.EQUAL, NXSeverity.MAJOR).orderBy(AlarmRecordAttribute.EVENT_TIME, true);
        GenericQuery otherOrder = new GenericQuery(LogicalCriteria.AND).orderBy(AlarmRecordAttribute.EVENT_TIME, false);
        GenericQuery otherKeys = newestFirst().orderBy(AlarmRecordAttribute.PERCEIVED_SEVERITY, true);
        for (GenericQuery other : List.of(otherFilter, otherOrder, otherKeys)) {
            refused(paged, other, 5, token);
        }
        refused(growing, newestFirst(), 5, token);

        // Every single changed character is noticed.
        char[] chars = token.toCharArray();
        for (int i = 0; i < chars.length; i++) {
            char[] changed = chars.clone();
            changed[i] = changed[i] == 'A' ? 'B' : 'A';
            refused(paged, newestFirst(), 5, new String(changed));
        }
        for (String garbled : List.of("", "x", token + "A", token.substring(1), "!!!!", token.replace('A', '+'),
                "A".repeat(513), "\u00e9" + token)) {
            refused(paged, newestFirst(), 5, garbled);
        }
    }

    @Test
    void pageSizesOutOfRangeAreRefused() throws AlarmException {
        for (int limit : new int[] {0, -1, Integer.MIN_VALUE, AlarmLogImpl.MAX_PAGE_SIZE + 1}) {
            refused(paged, newestFirst(), limit, null);
        }
        assertEquals(RECORDS, API.getAlarmPageNative(paged, newestFirst(), KEYS, AlarmLogImpl.MAX_PAGE_SIZE, null)
                .getRecords().length);
    }

    private static void refused(LogName log, GenericQuery query, int limit, String token) {
        AlarmException e = assertThrows(AlarmException.class,
                () -> API.getAlarmPageNative(log, query, KEYS, limit, token), "token " + token + ", limit " + limit);
        assertTrue(e.getMessage().startsWith("Refused: "), e.getMessage());
    }

    @Test
    void onlyOrderableAttributesAreKeys() throws Exception {
        GenericQuery q = new GenericQuery(LogicalCriteria.AND);
        for (AlarmRecordAttribute a : List.of(AlarmRecordAttribute.EVENT_TYPE, AlarmRecordAttribute.ADDITIONAL_TEXT,
                AlarmRecordAttribute.MANAGED_OBJECT_CLASS, AlarmRecordAttribute.OPEN)) {
            assertThrows(IllegalArgumentException.class, () -> q.orderBy(a, true));
        }
        q.orderBy(AlarmRecordAttribute.LOGGING_TIME, true);
        assertThrows(IllegalArgumentException.class, () -> q.orderBy(AlarmRecordAttribute.LOGGING_TIME, false));
        assertEquals(List.of(AlarmRecordAttribute.LOGGING_TIME), q.getOrderAttributes());

        // What only reflection can put in a query, the library refuses.
        Field f = GenericQuery.class.getDeclaredField("orderAttributes");
        f.setAccessible(true);
        @SuppressWarnings("unchecked")
        List<AlarmRecordAttribute> keys = (List<AlarmRecordAttribute>) f.get(q);
        keys.set(0, AlarmRecordAttribute.ADDITIONAL_TEXT);
        AlarmException e = assertThrows(AlarmException.class, () -> API.getAlarmsNative(paged, q, KEYS));
        assertEquals("Refused: records cannot be ordered by additionalText", e.getMessage());
        assertThrows(AlarmException.class, () -> API.getAlarmPageNative(paged, q, KEYS, 5, null));
    }

    // --- a log that grows while it is paged ---

    @Test
    void alarmsRaisedBetweenPagesNeitherRepeatNorLeaveAGap() throws AlarmException {
        // Ids as a sorted list: record 3 is there twice (two tables), once each.
        List<Integer> before = sortedIds(API.getAlarmsNative(growing, null, KEYS));
        // Newest first: alarms raised now sort before the pages already read.
        List<Integer> seen = new ArrayList<>();
        String token = null;
        do {
            AlarmPage page = API.getAlarmPageNative(growing, newestFirst(), KEYS, 6, token);
            seen.addAll(ids(page.getRecords()));
            token = page.getNextPageToken();
            db.raise(growing, "major", 2);
        } while (token != null);
        seen.sort(null);
        assertEquals(before, seen, "each record that was there once, none raised meanwhile");

        // Oldest first: alarms raised now sort after every page, and come once each.
        GenericQuery oldest = new GenericQuery(LogicalCriteria.AND).orderBy(AlarmRecordAttribute.EVENT_TIME, false);
        List<Integer> expected = sortedIds(API.getAlarmsNative(growing, null, KEYS));
        List<Integer> read = new ArrayList<>();
        token = null;
        do {
            AlarmPage page = API.getAlarmPageNative(growing, oldest, KEYS, 9, token);
            read.addAll(ids(page.getRecords()));
            token = page.getNextPageToken();
            if (expected.size() < before.size() + 60) {
                expected.addAll(db.raise(growing, "minor", 4));
            }
        } while (token != null);
        // In order: the pages together are what one ordered read gives now.
        assertEquals(ids(API.getAlarmsNative(growing, oldest, KEYS)), read);
        read.sort(null);
        expected.sort(null);
        assertEquals(expected, read, "every record once, those raised meanwhile included");
    }

    private static List<Integer> sortedIds(AlarmRecord[] records) {
        List<Integer> ids = ids(records);
        ids.sort(null);
        return ids;
    }
}
