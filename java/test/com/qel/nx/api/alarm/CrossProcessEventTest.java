package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.concurrent.BlockingQueue;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * Two clients in two JVMs on one alarm database: what the other client
 * changes (acknowledgements, a deletion) reaches this one as events, each
 * exactly once.
 */
class CrossProcessEventTest {
    private static final AlarmLogImpl API = new AlarmLogImpl();
    private static final BlockingQueue<AlarmLogEvent> EVENTS = AlarmDbFixture.listen();

    private static AlarmDbFixture db;
    private static LogName log;
    private static List<Integer> ids;

    @BeforeAll
    static void start() throws AlarmException {
        db = AlarmDbFixture.create();
        log = db.createLog("AlarmLog");
        ids = db.raise(log, "major", 4);
        API.init("cross-process", log);
        API.setEventAttrSetNative(AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID,
                AlarmRecordAttribute.ACK_STATE, AlarmRecordAttribute.ACK_TEXT));
    }

    private static void otherClient(String... args) throws Exception {
        AlarmDbFixture.finish(db.otherClient(Map.of(), args));
    }

    /** Events of one kind, by record id, until every wanted id came or 30 s passed; then 2 s for stragglers. */
    private static Map<Integer, List<AlarmLogEvent>> collect(int kind, List<Integer> wanted) throws InterruptedException {
        Map<Integer, List<AlarmLogEvent>> byId = new TreeMap<>();
        long end = System.nanoTime() + TimeUnit.SECONDS.toNanos(30);
        long quietUntil = Long.MAX_VALUE;
        for (long now; (now = System.nanoTime()) < Math.min(end, quietUntil); ) {
            AlarmLogEvent e = EVENTS.poll(Math.min(end, quietUntil) - now, TimeUnit.NANOSECONDS);
            if (e == null || e.getKind() != kind || e.getRecord().logRecordId == null) {
                continue;
            }
            byId.computeIfAbsent(e.getRecord().logRecordId.intValue(), k -> new ArrayList<>()).add(e);
            if (quietUntil == Long.MAX_VALUE && byId.keySet().containsAll(wanted)) {
                quietUntil = System.nanoTime() + TimeUnit.SECONDS.toNanos(2);
            }
        }
        return byId;
    }

    @Test
    void changesOfAnotherClientArriveOnceEach() throws Exception {
        List<Integer> acked = ids.subList(0, 3);
        List<String> args = new ArrayList<>(List.of("ack"));
        acked.forEach(id -> args.add(id.toString()));
        args.addAll(List.of("--text", "from the other client"));
        otherClient(args.toArray(new String[0]));

        Map<Integer, List<AlarmLogEvent>> changed = collect(AlarmLogEvent.ATTR_VALUE_CHANGED, acked);
        assertEquals(acked, new ArrayList<>(changed.keySet()), "one change event per acknowledged record");
        for (List<AlarmLogEvent> events : changed.values()) {
            assertEquals(1, events.size(), () -> "delivered more than once: " + events);
            AlarmRecord r = events.get(0).getRecord();
            assertEquals(Boolean.TRUE, r.ackState);
            assertTrue(r.ackText != null && r.ackText.contains("from the other client"), r.ackText);
            assertEquals(log, r.logName);
        }

        int deleted = ids.get(3);
        otherClient("delete", Integer.toString(deleted));
        Map<Integer, List<AlarmLogEvent>> gone = collect(AlarmLogEvent.OBJECT_DELETED, List.of(deleted));
        assertEquals(List.of(deleted), new ArrayList<>(gone.keySet()));
        assertEquals(1, gone.get(deleted).size());
    }
}
