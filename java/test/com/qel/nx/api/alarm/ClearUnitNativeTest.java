package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.Random;
import java.util.concurrent.BlockingQueue;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * clearAlarmsNative sends the clear notifications of one call in one
 * transaction: a failure of the database midway stores none of them (no
 * record cleared, no clearing record, no managed-object identity, no journal
 * entry), and each clear is journalled and delivered once, in the order of
 * the call. Every record has a managed object this process has never seen,
 * so each clear needs a new identity inside the call's transaction.
 */
class ClearUnitNativeTest {
    private static final AlarmLogImpl API = new AlarmLogImpl();
    private static final BlockingQueue<AlarmLogEvent> EVENTS = AlarmDbFixture.listen();
    private static final int RECORDS = 80;

    private static AlarmDbFixture db;
    private static LogName log;
    private static String table;

    @BeforeAll
    static void fill() throws AlarmException {
        db = AlarmDbFixture.create();
        log = db.createLog("AlarmLog");
        BulkRecords.fill(db, log, RECORDS);
        table = db.table(log);
        // One object per record, with no identity yet.
        db.sql("UPDATE " + table + " SET moi_s = '/systemId=name:\"clear-unit-' || logrecordid || '\"', moi_id = NULL");
        db.sql("INSERT INTO nxmis_reader (name, seq, seen) VALUES ('clear-test-holder', 0, 9999999999)");
        API.init("clear-unit", log);
        API.setEventAttrSetNative(AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID,
                AlarmRecordAttribute.CLEAR_STATE, AlarmRecordAttribute.LOG_NAME));
    }

    private static AlarmRecordId[] range(int first, int last) {
        return Arrays.copyOfRange(BulkRecords.ids(last), first - 1, last);
    }

    private static int number(String query) {
        return Integer.parseInt(db.sql(query).trim());
    }

    private static int cleared(int first, int last) {
        return number("SELECT COUNT(*) FROM " + table + " WHERE logrecordid BETWEEN " + first + " AND " + last
                + " AND clearstate = 'cleared'");
    }

    private static long lastEntry() {
        return Long.parseLong(db.sql("SELECT COALESCE(MAX(seq), 0) FROM nxmis_event").trim());
    }

    /** The journal's entries after seq, as "KIND id" lines. */
    private static List<String> journalSince(long seq) {
        List<String> entries = new ArrayList<>();
        String rows = db.sql("SELECT kind, objname FROM nxmis_event WHERE seq > " + seq + " ORDER BY seq");
        for (String row : rows.split("\n")) {
            if (row.isBlank()) {
                continue;
            }
            String kind = row.substring(0, row.indexOf('|'));
            int at = row.lastIndexOf("number:");
            entries.add(kind + " " + row.substring(at + 7).trim());
        }
        return entries;
    }

    @Test
    void aDatabaseFailureMidwayStoresNoneOfTheClears() throws Exception {
        int records = number("SELECT COUNT(*) FROM " + table);
        int identities = number("SELECT COUNT(*) FROM nxmoid");
        long mark = lastEntry();
        BulkRecords.refuse(db, log, "UPDATE", 25);
        try {
            AlarmException e = assertThrows(AlarmException.class, () -> API.clearAlarmsNative(log, range(11, 40)));
            assertEquals("Error: some alarms could not be cleared", e.getMessage());
            assertEquals(0, cleared(11, 40), "no record of the call is cleared");
            assertEquals(records, number("SELECT COUNT(*) FROM " + table), "no clearing record is kept");
            assertEquals(identities, number("SELECT COUNT(*) FROM nxmoid"), "no identity is kept");
            assertEquals(List.of(), journalSince(mark), "nothing journalled");
            assertEquals(0, number("SELECT COUNT(*) FROM nxmis_history WHERE kind = 'clearedByNotification'"
                    + " AND logrecordid BETWEEN 11 AND 40"), "no history entry");
        } finally {
            BulkRecords.allow(db, log, "UPDATE");
        }
        API.clearAlarmsNative(log, range(11, 40));
        assertEquals(30, cleared(11, 40), "the same call goes through whole");
        assertEquals(records + 30, number("SELECT COUNT(*) FROM " + table));
    }

    @Test
    void eachClearIsJournalledAndDeliveredOnceInTheOrderOfTheCall() throws Exception {
        List<AlarmRecordId> order = new ArrayList<>(Arrays.asList(range(41, 80)));
        Collections.shuffle(order, new Random(11));
        long mark = lastEntry();
        int next = number("SELECT MAX(logrecordid) FROM " + table) + 1;
        API.clearAlarmsNative(log, order.toArray(new AlarmRecordId[0]));
        assertEquals(40, cleared(41, 80));

        // Each clear: the change of the record it clears, then its own record.
        List<String> expected = new ArrayList<>();
        List<Integer> changed = new ArrayList<>();
        for (AlarmRecordId id : order) {
            expected.add("ATTR_CHANGED " + id.intValue());
            expected.add("OBJECT_CREATED " + next++);
            changed.add(id.intValue());
        }
        assertEquals(expected, journalSince(mark));

        assertEquals(changed, AlarmDbFixture.changesDelivered(EVENTS, 41, 80, changed.size()));
    }
}
