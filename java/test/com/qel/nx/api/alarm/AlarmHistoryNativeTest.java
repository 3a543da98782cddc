package com.qel.nx.api.alarm;

import static com.qel.nx.api.alarm.AlarmDbFixture.where;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.Date;
import java.util.HashSet;
import java.util.List;
import java.util.Set;
import java.util.concurrent.BlockingQueue;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * The history of records: one entry per change, with the states before and
 * after, operator, time, text and origin; none for a change that failed;
 * kept after the record is deleted. Purge: counts, refusals, events, and all
 * or nothing. Each test works on alarms of its own.
 */
class AlarmHistoryNativeTest {
    private static final AlarmLogImpl API = new AlarmLogImpl();
    private static final String USER = System.getProperty("user.name");
    private static final String PID = "/" + ProcessHandle.current().pid();
    private static final String OPEN = "unAcked/unCleared/unDisplayed";
    private static final BlockingQueue<AlarmLogEvent> EVENTS = AlarmDbFixture.listen();

    private static AlarmDbFixture db;
    private static LogName log;

    @BeforeAll
    static void fill() throws AlarmException {
        db = AlarmDbFixture.create();
        log = db.createLog("AlarmLog");
        API.init("history", log);
        API.setEventAttrSetNative(AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID));
    }

    private static AlarmRecordId raise(String moi, String text) {
        return new AlarmRecordId(db.raise(log, "major", moi, "5", text, 1).get(0));
    }

    private static AlarmRecordId[] ids(AlarmRecordId... ids) {
        return ids;
    }

    private static AlarmRecord read(AlarmRecordId id) throws AlarmException {
        return AlarmDbFixture.readOne(API, log, id);
    }

    private static void assertEntry(AlarmStateChange e, AlarmRecordId id, String kind, String before, String after,
                                    String text) {
        assertEquals(id, e.logRecordId, e.toString());
        assertEquals(kind, e.kind, e.toString());
        assertEquals(before, e.stateBefore, e.toString());
        assertEquals(after, e.stateAfter, e.toString());
        assertEquals(text, e.text, e.toString());
        assertNotNull(e.time, e.toString());
    }

    private static void assertThisProcess(AlarmStateChange e, long from, long to) {
        assertEquals(USER, e.operator, e.toString());
        assertTrue(e.origin.endsWith(PID), e.toString());
        assertTrue(e.time.getTime() >= from / 1000 * 1000 && e.time.getTime() <= to, e + " not in " + from + ".." + to);
    }

    @Test
    void everyChangeLeavesOneEntryThatOutlivesTheRecord() throws AlarmException {
        AlarmRecordId id = raise("/systemId=name:\"one\"", "every change");
        long start = System.currentTimeMillis();
        API.setAckAlarmsNative(log, ids(id), new String[] {"on it"});
        Date acked = read(id).ackTime;
        API.setUnAckAlarmsNative(log, ids(id));
        API.setClearAlarmsNative(log, ids(id), new String[] {"fixed \"it\""});
        Date cleared = read(id).clearTime;
        API.setUnClearAlarmsNative(log, ids(id));
        API.setDisplayAlarmsNative(log, ids(id), new String[] {"seen"});
        API.setUnDisplayAlarmsNative(log, ids(id));
        API.deleteAlarmsNative(log, ids(id));
        long end = System.currentTimeMillis();

        AlarmStateChange[] h = API.getAlarmHistoryNative(log, id);
        assertEquals(8, h.length, Arrays.toString(h));
        assertEntry(h[0], id, "created", null, OPEN, null);
        assertTrue(!h[0].origin.endsWith(PID), "created by the raising tool: " + h[0]);
        assertEntry(h[1], id, "acked", OPEN, "acked/unCleared/unDisplayed", "on it");
        assertEquals(acked, h[1].time, "the time the ack stamped");
        assertEntry(h[2], id, "unacked", "acked/unCleared/unDisplayed", OPEN, null);
        assertEntry(h[3], id, "cleared", OPEN, "unAcked/cleared/unDisplayed", "fixed \"it\"");
        assertEquals(cleared, h[3].time, "the time the clear stamped");
        assertEntry(h[4], id, "uncleared", "unAcked/cleared/unDisplayed", OPEN, null);
        assertEntry(h[5], id, "displayed", OPEN, "unAcked/unCleared/displayed", "seen");
        assertEntry(h[6], id, "undisplayed", "unAcked/unCleared/displayed", OPEN, null);
        assertEntry(h[7], id, "deleted", OPEN, null, null);
        for (int i = 1; i < h.length; i++) {
            assertThisProcess(h[i], start, end);
            assertNull(h[i].clearedBy);
        }
        assertTrue(h[7].toString().contains("deleted"), h[7].toString());
        assertEquals(0, API.getAlarmHistoryNative(log, new AlarmRecordId(999999)).length, "an unknown record");
    }

    @Test
    void aClearNotificationLeavesAnEntryNamingItsRecord() throws AlarmException {
        String moi = "/systemId=name:\"two\"";
        AlarmRecordId first = raise(moi, "first");
        AlarmRecordId second = raise(moi, "second");
        API.setAckAlarmsNative(log, ids(second), null);
        API.clearAlarmsNative(log, ids(first));
        for (AlarmRecordId id : ids(first, second)) {
            AlarmStateChange[] h = API.getAlarmHistoryNative(log, id);
            AlarmStateChange last = h[h.length - 1];
            String acked = id.equals(second) ? "acked" : "unAcked";
            assertEntry(last, id, "clearedByNotification", acked + "/unCleared/unDisplayed",
                    acked + "/cleared/unDisplayed", null);
            assertNotNull(last.clearedBy, last.toString());
            assertTrue(last.clearedBy.intValue() > second.intValue(), last.toString());
            assertTrue(last.toString().contains("#" + last.clearedBy), last.toString());
            AlarmStateChange[] notification = API.getAlarmHistoryNative(log, last.clearedBy);
            assertEquals(1, notification.length, Arrays.toString(notification));
            assertEntry(notification[0], last.clearedBy, "created", null, "unAcked/cleared/unDisplayed", null);
        }
    }

    /** Runs SQL per alarm table of AlarmLog, the table's name in place of {t}. */
    private static void onEachTable(String sqliteSql, String postgresSql) {
        for (String table : db.sql("SELECT nxlogname FROM nxlog WHERE nxlogid = 'AlarmLog'").split("\n")) {
            db.sql((AlarmDbFixture.onPostgres() ? postgresSql : sqliteSql).replace("{t}", table.strip()));
        }
    }

    @Test
    void aChangeTheDatabaseRefusesLeavesNoEntry() throws AlarmException {
        AlarmRecordId id = raise("/systemId=name:\"three\"", "refused");
        onEachTable("CREATE TRIGGER refuse_{t} BEFORE UPDATE ON {t} WHEN NEW.acktext = 'no' "
                        + "BEGIN SELECT RAISE(ABORT, 'refused by the test'); END",
                "CREATE OR REPLACE FUNCTION refuse_ack() RETURNS trigger AS $$ BEGIN "
                        + "IF NEW.acktext = 'no' THEN RAISE EXCEPTION 'refused by the test'; END IF; RETURN NEW; END "
                        + "$$ LANGUAGE plpgsql; CREATE TRIGGER refuse_{t} BEFORE UPDATE ON {t} FOR EACH ROW "
                        + "EXECUTE FUNCTION refuse_ack()");
        try {
            assertThrows(AlarmException.class, () -> API.setAckAlarmsNative(log, ids(id), new String[] {"no"}));
            AlarmStateChange[] h = API.getAlarmHistoryNative(log, id);
            assertEquals(1, h.length, Arrays.toString(h));
            assertEquals("created", h[0].kind);
            assertNull(read(id).ackState, "the ack did not happen");
            API.setAckAlarmsNative(log, ids(id), new String[] {"yes"});
            assertEquals(2, API.getAlarmHistoryNative(log, id).length);
        } finally {
            onEachTable("DROP TRIGGER refuse_{t}", "DROP TRIGGER refuse_{t} ON {t}");
        }
    }

    private static GenericQuery byText(String text) {
        return where(AlarmRecordAttribute.ADDITIONAL_TEXT, RelationCriteria.EQUAL, text);
    }

    @Test
    void purgeDeletesWhatTheQuerySelectsWithEventsAndHistory() throws Exception {
        List<Integer> raised = db.raise(log, "warning", "/systemId=name:\"four\"", "5", "purge me", 4);
        AlarmRecordId kept = raise("/systemId=name:\"four\"", "keep me");
        EVENTS.clear();
        assertEquals(4, API.purgeAlarmsNative(log, byText("purge me")));
        assertEquals(0, API.getAlarmCountNative(log, byText("purge me")));
        assertEquals(1, API.getAlarmCountNative(log, byText("keep me")));
        Set<Integer> deleted = new HashSet<>();
        long end = System.nanoTime() + TimeUnit.SECONDS.toNanos(30);
        while (deleted.size() < raised.size() && System.nanoTime() < end) {
            AlarmLogEvent e = EVENTS.poll(100, TimeUnit.MILLISECONDS);
            if (e != null && e.getKind() == AlarmLogEvent.OBJECT_DELETED) {
                deleted.add(e.getRecord().logRecordId.intValue());
            }
        }
        assertEquals(new HashSet<>(raised), deleted, "one deletion event per purged record");
        for (int id : raised) {
            AlarmStateChange[] h = API.getAlarmHistoryNative(log, new AlarmRecordId(id));
            assertEquals(2, h.length, Arrays.toString(h));
            assertEntry(h[1], new AlarmRecordId(id), "deleted", OPEN, null, null);
        }
        assertEquals(1, API.getAlarmHistoryNative(log, kept).length);
        assertEquals(0, API.purgeAlarmsNative(log, byText("purge me")), "nothing left to select");
    }

    @Test
    void purgeRefusesQueriesThatSelectNothingExplicitly() throws AlarmException {
        raise("/systemId=name:\"five\"", "still here");
        int before = API.getAlarmCountNative(log, new GenericQuery(LogicalCriteria.AND));
        AlarmException none = assertThrows(AlarmException.class, () -> API.purgeAlarmsNative(log, null));
        assertTrue(none.getMessage().contains("filter"), none.getMessage());
        assertThrows(AlarmException.class, () -> API.purgeAlarmsNative(log, new GenericQuery(LogicalCriteria.AND)));
        assertThrows(AlarmException.class, () -> API.purgeAlarmsNative(null, byText("still here")));
        assertEquals(before, API.getAlarmCountNative(log, new GenericQuery(LogicalCriteria.AND)));
    }

    @Test
    void aPurgeThatFailsPartWayDeletesNothing() throws AlarmException {
        List<Integer> raised = db.raise(log, "minor", "/systemId=name:\"six\"", "5", "all or none", 3);
        db.raise(log, "minor", "/systemId=name:\"six\"", "5", "all or none!", 1);
        onEachTable("CREATE TRIGGER keep_{t} BEFORE DELETE ON {t} WHEN OLD.additionaltext = 'all or none!' "
                        + "BEGIN SELECT RAISE(ABORT, 'kept by the test'); END",
                "CREATE OR REPLACE FUNCTION keep_row() RETURNS trigger AS $$ BEGIN "
                        + "IF OLD.additionaltext = 'all or none!' THEN RAISE EXCEPTION 'kept by the test'; END IF; "
                        + "RETURN OLD; END $$ LANGUAGE plpgsql; CREATE TRIGGER keep_{t} BEFORE DELETE ON {t} "
                        + "FOR EACH ROW EXECUTE FUNCTION keep_row()");
        GenericQuery both = where(AlarmRecordAttribute.ADDITIONAL_TEXT, RelationCriteria.EQUAL, "all or none",
                "all or none!");
        try {
            AlarmException e = assertThrows(AlarmException.class, () -> API.purgeAlarmsNative(log, both));
            assertTrue(e.getMessage().contains("kept by the test"), e.getMessage());
            assertEquals(4, API.getAlarmCountNative(log, both));
            for (int id : raised) {
                assertEquals(1, API.getAlarmHistoryNative(log, new AlarmRecordId(id)).length);
            }
        } finally {
            onEachTable("DROP TRIGGER keep_{t}", "DROP TRIGGER keep_{t} ON {t}");
        }
        assertEquals(4, API.purgeAlarmsNative(log, both));
    }

    @Test
    void logHistoryIsOldestFirstSinceATimeUpToALimit() throws Exception {
        assertThrows(AlarmException.class, () -> API.getLogHistoryNative(null, null, 10));
        assertThrows(AlarmException.class, () -> API.getLogHistoryNative(log, null, 0));
        assertThrows(AlarmException.class, () -> API.getLogHistoryNative(log, null, -1));
        // Entries of the second before the mark are not wanted.
        Thread.sleep(1100);
        Date mark = new Date(System.currentTimeMillis() / 1000 * 1000);
        AlarmRecordId a = raise("/systemId=name:\"seven\"", "a");
        AlarmRecordId b = raise("/systemId=name:\"seven\"", "b");
        API.setAckAlarmsNative(log, ids(b, a), null);
        AlarmStateChange[] since = API.getLogHistoryNative(log, mark, 1000);
        List<String> seen = new ArrayList<>();
        for (AlarmStateChange e : since) {
            if (e.logRecordId.equals(a) || e.logRecordId.equals(b)) {
                seen.add(e.kind + " " + e.logRecordId);
            }
            assertTrue(!e.time.before(mark), e + " is before " + mark);
        }
        assertEquals(List.of("created " + a, "created " + b, "acked " + b, "acked " + a), seen);
        AlarmStateChange[] two = API.getLogHistoryNative(log, mark, 2);
        assertEquals(2, two.length);
        assertEquals(since[0].toString(), two[0].toString());
        assertEquals(since[1].toString(), two[1].toString());
        assertEquals(0, API.getLogHistoryNative(log, new Date(System.currentTimeMillis() + 3_600_000L), 10).length);
        assertTrue(API.getLogHistoryNative(log, null, 100_000).length > since.length, "all of the log's entries");
        assertArrayEquals(new AlarmStateChange[0], API.getLogHistoryNative(new LogName(db.misName(), "NoSuchLog"),
                null, 10));
    }
}
