package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.nx.api.common.NXSeverity;
import com.qel.nx.server.qrt.EventHandler;
import com.qel.nx.server.qrt.EventListener;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Set;
import java.util.concurrent.BlockingQueue;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.LinkedBlockingQueue;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicBoolean;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.MethodOrderer;
import org.junit.jupiter.api.Order;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestMethodOrder;

/**
 * Alarm-log events on the MIS's own thread: records created by another
 * process (the raise tool), changed and deleted by this one, in a named log
 * and a numbered one. Ordered, since the event attributes are process-wide.
 */
@TestMethodOrder(MethodOrderer.OrderAnnotation.class)
class EventDeliveryNativeTest {
    private static final AlarmLogImpl API = new AlarmLogImpl();
    private static final BlockingQueue<AlarmLogEvent> EVENTS = new LinkedBlockingQueue<>();
    private static final Set<String> THREADS = java.util.concurrent.ConcurrentHashMap.newKeySet();
    private static final EventListener COLLECT = (key, event) -> {
        THREADS.add(Thread.currentThread().getName());
        EVENTS.add((AlarmLogEvent) event);
    };
    private static final AlarmRecordAttributeSet CARRIED = AlarmRecordAttributeSet.of(
            AlarmRecordAttribute.LOG_RECORD_ID, AlarmRecordAttribute.PERCEIVED_SEVERITY,
            AlarmRecordAttribute.ACK_STATE, AlarmRecordAttribute.ACK_TEXT, AlarmRecordAttribute.ADDITIONAL_TEXT,
            AlarmRecordAttribute.LOG_NAME);

    private static AlarmDbFixture db;
    private static LogName named;
    private static LogName numbered;

    @BeforeAll
    static void start() throws AlarmException {
        db = AlarmDbFixture.create();
        named = db.createLog("AlarmLog");
        numbered = db.createLog(3);
        EventHandler.addListener(AlarmLogEvent.ALARM_EVENT_ID, COLLECT);
        API.init("events", named);
        API.addLogNameNative(numbered);
    }

    @AfterAll
    static void stop() {
        EventHandler.removeListener(AlarmLogEvent.ALARM_EVENT_ID, COLLECT);
    }

    /** The first event of a kind about a record, skipping others; fails after 30 s. */
    private static AlarmLogEvent await(int kind, LogName log, int recordId) throws InterruptedException {
        return AlarmDbFixture.await(EVENTS, e -> e.getKind() == kind && log.equals(e.getRecord().logName)
                && e.getRecord().logRecordId != null && e.getRecord().logRecordId.intValue() == recordId,
                kind + " of " + log + " record " + recordId);
    }

    @Test
    @Order(1)
    void withoutEventAttributesNothingIsSent() throws InterruptedException, AlarmException {
        API.setEventAttrSetNative(new AlarmRecordAttributeSet());
        db.raise(named, "major", 1);
        // Notifications are polled every 50 ms; a second is plenty to see one sent by mistake.
        assertNull(EVENTS.poll(1500, TimeUnit.MILLISECONDS));
    }

    @Test
    @Order(2)
    void unknownAttributeCodeIsRefused() {
        AlarmException e = assertThrows(AlarmException.class,
                () -> API.setEventAttrSetNative(AlarmDbFixture.withUnknownCode()));
        assertEquals("Error: id2AttributeId", e.getMessage());
    }

    @Test
    @Order(3)
    void creationInANamedLog() throws Exception {
        API.setEventAttrSetNative(CARRIED);
        int id = db.raise(named, "critical", AlarmDbFixture.MOI, "5", "power lost", 1).get(0);
        AlarmRecord r = await(AlarmLogEvent.OBJECT_CREATED, new LogName(db.misName(), "AlarmLog"), id).getRecord();
        assertFalse(r.logName.isNumeric());
        assertSame(CARRIED, r.attrSet, "created records carry the set given to setEventAttrSetNative");
        assertEquals(NXSeverity.CRITICAL, r.perceivedSeverity);
        // Events carry the attribute decoder's form of additionalText, in double quotes.
        assertEquals("\"power lost\"", r.additionalText);
        assertNull(r.ackState);
        assertNull(r.eventType, "not among the carried attributes");
        assertFalse(THREADS.contains(Thread.currentThread().getName()));
    }

    @Test
    @Order(4)
    void creationInANumberedLog() throws Exception {
        int id = db.raise(numbered, "minor", 1).get(0);
        AlarmRecord r = await(AlarmLogEvent.OBJECT_CREATED, new LogName(db.misName(), 3), id).getRecord();
        assertTrue(r.logName.isNumeric());
        assertEquals("3", r.logName.getLogId());
        assertEquals(NXSeverity.MINOR, r.perceivedSeverity);
    }

    @Test
    @Order(5)
    void changeAndDeletionMadeHere() throws Exception {
        int id = db.raise(named, "major", 1).get(0);
        await(AlarmLogEvent.OBJECT_CREATED, named, id);
        API.setAckAlarmsNative(named, new AlarmRecordId[] {new AlarmRecordId(id)}, new String[] {"seen"});
        AlarmRecord changed = await(AlarmLogEvent.ATTR_VALUE_CHANGED, named, id).getRecord();
        assertEquals(Boolean.TRUE, changed.ackState);
        assertEquals("seen", changed.ackText);
        assertNull(changed.additionalText, "only changed attributes come with a change");
        // A change's set names what it carries; severities have no member.
        assertEquals(Set.of(AlarmRecordAttribute.ACK_STATE, AlarmRecordAttribute.ACK_TEXT,
                AlarmRecordAttribute.LOG_RECORD_ID, AlarmRecordAttribute.LOG_NAME),
                new HashSet<>(changed.attrSet.toList()));

        API.deleteAlarmsNative(named, new AlarmRecordId[] {new AlarmRecordId(id)});
        AlarmRecord deleted = await(AlarmLogEvent.OBJECT_DELETED, named, id).getRecord();
        // A deletion names the record and carries no attributes.
        assertEquals(Set.of(AlarmRecordAttribute.LOG_RECORD_ID, AlarmRecordAttribute.LOG_NAME),
                new HashSet<>(deleted.attrSet.toList()));
        assertNull(deleted.perceivedSeverity);
        assertNull(deleted.ackState);
    }

    @Test
    @Order(6)
    void eventsArriveWhileAnotherThreadQueries() throws Exception {
        final int alarms = 25;
        AtomicBoolean done = new AtomicBoolean();
        ExecutorService pool = Executors.newSingleThreadExecutor();
        Future<Integer> queries = pool.submit(() -> {
            int rounds = 0;
            AlarmRecordAttributeSet all = AlarmDbFixture.allAttributes();
            while (!done.get() || rounds < 3) {
                AlarmRecord[] records = API.getAlarmsNative(named, null, all);
                int count = API.getAlarmCountNative(named, null);
                if (count < records.length) {
                    throw new AssertionError("count " + count + " below " + records.length + " records read before");
                }
                rounds++;
            }
            return rounds;
        });
        try {
            List<Integer> ids = db.raise(numbered, "warning", AlarmDbFixture.MOI, "5", "burst", alarms);
            for (int id : ids) {
                AlarmRecord r = await(AlarmLogEvent.OBJECT_CREATED, numbered, id).getRecord();
                assertEquals("\"burst\"", r.additionalText);
            }
        } finally {
            done.set(true);
            pool.shutdown();
        }
        assertTrue(queries.get(60, TimeUnit.SECONDS) >= 3);
    }
}
