package com.qel.nx.api.alarm;

import static com.qel.nx.api.alarm.AlarmDbFixture.where;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.Date;
import java.util.List;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * The six state changes, clear requests and deletions, read back from the
 * database through getAlarmsNative. Each test works on its own records of
 * AlarmLog (20 major alarms).
 */
class StateChangeNativeTest {
    private static final AlarmLogImpl API = new AlarmLogImpl();
    private static final String USER = System.getProperty("user.name");
    private static AlarmDbFixture db;
    private static LogName log;
    private static List<Integer> ids;
    private static AlarmRecordId toClear;

    @BeforeAll
    static void fill() throws AlarmException {
        db = AlarmDbFixture.create();
        log = db.createLog("AlarmLog");
        ids = db.raise(log, "major", 20);
        // A clear request clears every open alarm of the same object, type and
        // cause: this one shares them with no other.
        toClear = new AlarmRecordId(db.raise(log, "minor", "/systemId=name:\"beta\"", "9", "to clear", 1).get(0));
        API.init("states", log);
    }

    private static AlarmRecordId id(int index) {
        return new AlarmRecordId(ids.get(index));
    }

    private static AlarmRecord read(AlarmRecordId id) throws AlarmException {
        return AlarmDbFixture.readOne(API, log, id);
    }

    private static void assertNow(Date date, long before, long after) {
        assertNotNull(date);
        assertTrue(date.getTime() >= before / 1000 * 1000 && date.getTime() <= after, date.toString());
    }

    @Test
    void acknowledgeWithTextsForSomeRecords() throws AlarmException {
        long before = System.currentTimeMillis();
        API.setAckAlarmsNative(log, new AlarmRecordId[] {id(0), id(1), id(2)}, new String[] {"a", "b"});
        long after = System.currentTimeMillis();
        AlarmRecord r0 = read(id(0));
        AlarmRecord r1 = read(id(1));
        AlarmRecord r2 = read(id(2));
        assertEquals("a", r0.ackText);
        assertEquals("b", r1.ackText);
        assertNull(r2.ackText, "no text beyond the text array");
        for (AlarmRecord r : new AlarmRecord[] {r0, r1, r2}) {
            assertEquals(Boolean.TRUE, r.ackState);
            assertEquals(USER, r.ackOperator);
            assertNow(r.ackTime, before, after);
            assertEquals(r0.ackTime, r.ackTime, "one time for the whole call");
            assertNull(r.clearState);
            assertNull(r.displayState);
        }
        assertNull(read(id(3)).ackState, "a record not named is untouched");

        API.setUnAckAlarmsNative(log, new AlarmRecordId[] {id(0)});
        AlarmRecord back = read(id(0));
        assertNull(back.ackState);
        assertNull(back.ackOperator);
        assertNull(back.ackTime);
        assertEquals(Boolean.TRUE, read(id(1)).ackState);
    }

    @Test
    void clearAndDisplayWithoutTexts() throws AlarmException {
        long before = System.currentTimeMillis();
        API.setClearAlarmsNative(log, new AlarmRecordId[] {id(4)}, null);
        API.setDisplayAlarmsNative(log, new AlarmRecordId[] {id(4)}, new String[0]);
        long after = System.currentTimeMillis();
        AlarmRecord r = read(id(4));
        assertEquals(Boolean.TRUE, r.clearState);
        assertEquals(USER, r.clearOperator);
        assertNull(r.clearText);
        assertNow(r.clearTime, before, after);
        assertEquals(Boolean.TRUE, r.displayState);
        assertEquals(USER, r.displayOperator);
        assertNull(r.displayText);
        assertNow(r.displayTime, before, after);
        assertNull(r.ackState);

        API.setUnClearAlarmsNative(log, new AlarmRecordId[] {id(4)});
        API.setUnDisplayAlarmsNative(log, new AlarmRecordId[] {id(4)});
        r = read(id(4));
        assertNull(r.clearState);
        assertNull(r.clearOperator);
        assertNull(r.clearTime);
        assertNull(r.displayState);
        assertNull(r.displayOperator);
        assertNull(r.displayTime);
    }

    @Test
    void nullIdentifierArrayIsRefusedByAllSix() {
        AlarmDbFixture.changes(API, log, null).forEach((name, call) -> {
            if (name.startsWith("set")) {
                assertEquals("Error: NULL array of AlarmRecordId",
                        assertThrows(AlarmException.class, call).getMessage(), name);
            }
        });
    }

    @Test
    void emptyIdentifierArrayDoesNothing() throws AlarmException {
        int acked = API.getAlarmCountNative(log, where(AlarmRecordAttribute.ACK_STATE, RelationCriteria.EQUAL,
                "acked"));
        API.setAckAlarmsNative(log, new AlarmRecordId[0], new String[] {"x"});
        API.setUnClearAlarmsNative(log, new AlarmRecordId[0]);
        assertEquals(acked, API.getAlarmCountNative(log, where(AlarmRecordAttribute.ACK_STATE,
                RelationCriteria.EQUAL, "acked")));
    }

    @Test
    void unknownRecordFailsOnceAndTheOthersAreStored() throws AlarmException {
        AlarmException e = assertThrows(AlarmException.class, () -> API.setAckAlarmsNative(log,
                new AlarmRecordId[] {new AlarmRecordId(99999), id(6), new AlarmRecordId(88888)},
                new String[] {"x", "y"}));
        assertEquals("Error: operation failed for some alarms", e.getMessage());
        AlarmRecord r = read(id(6));
        assertEquals(Boolean.TRUE, r.ackState);
        assertEquals("y", r.ackText);
        assertEquals(0, API.getAlarmCountNative(log, where(AlarmRecordAttribute.LOG_RECORD_ID,
                RelationCriteria.EQUAL, 99999)), "a failed change creates no record");
    }

    @Test
    void clearRequestMarksTheAlarmCleared() throws AlarmException {
        int before = API.getAlarmCountNative(log, null);
        API.clearAlarmsNative(log, new AlarmRecordId[] {toClear});
        AlarmRecord r = read(toClear);
        assertEquals(Boolean.TRUE, r.clearState);
        assertEquals(USER, r.clearOperator);
        assertNotNull(r.clearTime);
        // The MIS logs the clearing notification as a record of its own.
        AlarmRecord[] clearing = API.getAlarmsNative(log, where(AlarmRecordAttribute.PERCEIVED_SEVERITY,
                RelationCriteria.EQUAL, com.qel.nx.api.common.NXSeverity.CLEARED), AlarmDbFixture.allAttributes());
        assertEquals(1, clearing.length);
        assertNull(clearing[0].perceivedSeverity, "cleared has no severity object");
        assertEquals(Boolean.TRUE, clearing[0].clearState);
        assertEquals(before + 1, API.getAlarmCountNative(log, null));
        assertNull(read(id(7)).clearState, "alarms of other objects stay open");
    }

    @Test
    void clearRequestFailures() {
        for (AlarmRecordId[] bad : new AlarmRecordId[][] {new AlarmRecordId[0], null,
                {new AlarmRecordId(77777)}}) {
            AlarmException e = assertThrows(AlarmException.class, () -> API.clearAlarmsNative(log, bad));
            assertEquals("Error: some alarms could not be cleared", e.getMessage());
        }
    }

    @Test
    void deleteRemovesRecordsAndReportsUnknownOnes() throws AlarmException {
        int before = API.getAlarmCountNative(log, null);
        API.deleteAlarmsNative(log, new AlarmRecordId[] {id(8), id(9)});
        assertEquals(before - 2, API.getAlarmCountNative(log, null));
        assertEquals(0, API.getAlarmsNative(log, where(AlarmRecordAttribute.LOG_RECORD_ID, RelationCriteria.EQUAL,
                id(8), id(9)), AlarmDbFixture.allAttributes()).length);

        AlarmException e = assertThrows(AlarmException.class,
                () -> API.deleteAlarmsNative(log, new AlarmRecordId[] {new AlarmRecordId(66666), id(10)}));
        assertEquals("Error: Failed to delete some alarms", e.getMessage());
        assertEquals(before - 3, API.getAlarmCountNative(log, null), "the known record is still deleted");
        e = assertThrows(AlarmException.class, () -> API.deleteAlarmsNative(log, new AlarmRecordId[0]));
        assertEquals("Error: Failed to delete some alarms", e.getMessage());
    }
}
