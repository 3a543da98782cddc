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
 * A state change or deletion of many records in one call is one
 * transaction: all of it, or none of it when the database fails midway (a
 * trigger refusing one record's change); each change still has its own
 * journal entry and event, in the order of the call. Each test works on its
 * own records.
 */
class BulkStateChangeNativeTest {
    private static final AlarmLogImpl API = new AlarmLogImpl();
    private static final BlockingQueue<AlarmLogEvent> EVENTS = AlarmDbFixture.listen();
    private static final int RECORDS = 900;

    private static AlarmDbFixture db;
    private static LogName log;

    @BeforeAll
    static void fill() throws AlarmException {
        db = AlarmDbFixture.create();
        log = db.createLog("AlarmLog");
        BulkRecords.fill(db, log, RECORDS);
        // A reader that has seen nothing and never goes: no journal entry is
        // removed while the tests look at the journal.
        db.sql("INSERT INTO nxmis_reader (name, seq, seen) VALUES ('bulk-test-holder', 0, 9999999999)");
        API.init("bulk", log);
        API.setEventAttrSetNative(AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID,
                AlarmRecordAttribute.ACK_STATE, AlarmRecordAttribute.LOG_NAME));
    }

    private static AlarmRecordId[] range(int first, int last) {
        return Arrays.copyOfRange(BulkRecords.ids(last), first - 1, last);
    }

    private static int count(int first, int last, String ackState) throws AlarmException {
        Filter f = new Filter(LogicalCriteria.AND)
                .add(new FilterItem(AlarmRecordAttribute.LOG_RECORD_ID, RelationCriteria.GREATER_THAN_OR_EQUAL,
                        first))
                .add(new FilterItem(AlarmRecordAttribute.LOG_RECORD_ID, RelationCriteria.LESS_THAN_OR_EQUAL, last));
        if (ackState != null) {
            f.add(new FilterItem(AlarmRecordAttribute.ACK_STATE, RelationCriteria.EQUAL, ackState));
        }
        return API.getAlarmCountNative(log, new GenericQuery(LogicalCriteria.AND).add(f));
    }

    /** Record ids of the journal's ATTR_CHANGED entries, in order, of records first..last. */
    private static List<Integer> journalled(int first, int last) {
        List<Integer> ids = new ArrayList<>();
        String rows = db.sql("SELECT objname FROM nxmis_event WHERE kind = 'ATTR_CHANGED' ORDER BY seq");
        for (String name : rows.split("\n")) {
            int at = name.lastIndexOf("number:");
            if (at < 0) {
                continue;
            }
            int id = Integer.parseInt(name.substring(at + 7).trim());
            if (id >= first && id <= last) {
                ids.add(id);
            }
        }
        return ids;
    }

    @Test
    void aDatabaseFailureMidwayLeavesEveryRecordAsItWas() throws Exception {
        AlarmRecordId[] ids = range(1, 300);
        String[] texts = new String[ids.length];
        Arrays.fill(texts, "storm");
        BulkRecords.refuse(db, log, "UPDATE", 151);
        try {
            AlarmException e = assertThrows(AlarmException.class, () -> API.setAckAlarmsNative(log, ids, texts));
            assertEquals("Error: operation failed for some alarms", e.getMessage());
            assertEquals(0, count(1, 300, "acked"), "no record of the call is acknowledged");
            assertEquals(List.of(), journalled(1, 300), "nothing journalled");
            // Unknown records beside it change nothing either.
            AlarmRecordId[] withUnknown = Arrays.copyOf(ids, ids.length + 1);
            withUnknown[ids.length] = new AlarmRecordId(77777);
            assertThrows(AlarmException.class, () -> API.setAckAlarmsNative(log, withUnknown, texts));
            assertEquals(0, count(1, 300, "acked"));
        } finally {
            BulkRecords.allow(db, log, "UPDATE");
        }
        API.setAckAlarmsNative(log, ids, texts);
        assertEquals(300, count(1, 300, "acked"), "the same call goes through whole");
    }

    @Test
    void eachChangeIsJournalledAndDeliveredOnceInTheOrderOfTheCall() throws Exception {
        List<AlarmRecordId> order = new ArrayList<>(Arrays.asList(range(301, 600)));
        Collections.shuffle(order, new Random(7));
        List<Integer> expected = new ArrayList<>();
        for (AlarmRecordId id : order) {
            expected.add(id.intValue());
        }
        API.setAckAlarmsNative(log, order.toArray(new AlarmRecordId[0]), null);
        assertEquals(300, count(301, 600, "acked"));
        assertEquals(expected, journalled(301, 600));

        assertEquals(expected, AlarmDbFixture.changesDelivered(EVENTS, 301, 600, expected.size()));
    }

    @Test
    void aDeletionFailingMidwayDeletesNothing() throws Exception {
        BulkRecords.refuse(db, log, "DELETE", 700);
        try {
            AlarmException e = assertThrows(AlarmException.class,
                    () -> API.deleteAlarmsNative(log, range(601, 800)));
            assertEquals("Error: Failed to delete some alarms", e.getMessage());
            assertEquals(200, count(601, 800, null));
        } finally {
            BulkRecords.allow(db, log, "DELETE");
        }
        API.deleteAlarmsNative(log, range(601, 750));
        assertEquals(50, count(601, 800, null));
    }
}
