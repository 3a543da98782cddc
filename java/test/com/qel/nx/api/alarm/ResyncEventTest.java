package com.qel.nx.api.alarm;

import static com.qel.nx.api.alarm.AlarmDbFixture.finish;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.nx.server.qrt.EventHandler;
import com.qel.nx.server.qrt.EventListener;
import java.io.IOException;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.concurrent.BlockingQueue;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.LinkedBlockingQueue;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * A listener that holds up this process's event thread while other processes
 * change the log and, keeping a short journal, remove the changes it has not
 * read: it is told with one RESYNC for the log, and the log read again holds
 * every change.
 */
class ResyncEventTest {
    private static final AlarmLogImpl API = new AlarmLogImpl();
    private static final BlockingQueue<AlarmLogEvent> EVENTS = new LinkedBlockingQueue<>();
    private static final CountDownLatch RELEASE = new CountDownLatch(1);
    private static final CountDownLatch HELD = new CountDownLatch(1);
    private static final EventListener SLOW = (key, event) -> {
        EVENTS.add((AlarmLogEvent) event);
        if (HELD.getCount() > 0) {
            HELD.countDown();
            try {
                RELEASE.await(90, TimeUnit.SECONDS);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
        }
    };

    private static AlarmDbFixture db;
    private static LogName log;
    private static List<Integer> ids;

    @BeforeAll
    static void start() throws AlarmException {
        db = AlarmDbFixture.create();
        log = db.createLog("AlarmLog");
        ids = db.raise(log, "major", 40);
        EventHandler.addListener(AlarmLogEvent.ALARM_EVENT_ID, SLOW);
        API.init("resync", log);
        API.setEventAttrSetNative(AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID,
                AlarmRecordAttribute.ACK_STATE));
    }

    @AfterAll
    static void stop() {
        RELEASE.countDown();
        EventHandler.removeListener(AlarmLogEvent.ALARM_EVENT_ID, SLOW);
    }

    /** The operator command line (its own JVM) on this test's database, keeping a journal of `keep` entries. */
    private static Process otherClient(String keep, String... args) throws IOException {
        return db.otherClient(Map.of("NX_JOURNAL_KEEP", keep), args);
    }

    private static List<String> ackArgs(List<Integer> which) {
        List<String> args = new ArrayList<>(List.of("ack"));
        which.forEach(id -> args.add(id.toString()));
        return args;
    }

    @Test
    void changesRemovedBeforeTheyWereReadBecomeOneResyncThenTheLogReadsComplete() throws Exception {
        // The first change holds this process's event thread in the listener.
        finish(otherClient("100000", "ack", ids.get(0).toString()));
        assertTrue(HELD.await(60, TimeUnit.SECONDS), "the first change did not arrive");

        // A watcher keeping 10 entries removes the older changes as it reads them.
        Process watcher = otherClient("10", "watch", "--for", "6");
        Thread.sleep(1500);
        finish(otherClient("100000", ackArgs(ids.subList(1, ids.size())).toArray(new String[0])));
        finish(watcher);
        RELEASE.countDown();

        List<AlarmLogEvent> after = new ArrayList<>();
        List<String> seen = new ArrayList<>();
        AlarmLogEvent resync = null;
        int last = ids.get(ids.size() - 1);
        long end = System.nanoTime() + TimeUnit.SECONDS.toNanos(60);
        while (System.nanoTime() < end) {
            AlarmLogEvent e = EVENTS.poll(1, TimeUnit.SECONDS);
            if (e == null) {
                continue;
            }
            seen.add(e.getKind() + ":" + e.getRecord().logRecordId);
            if (e.getKind() == AlarmLogEvent.RESYNC) {
                assertEquals(null, resync, "one resync for the gap");
                resync = e;
            } else if (resync != null) {
                after.add(e);
                if (e.getRecord().logRecordId != null && e.getRecord().logRecordId.intValue() == last) {
                    break;
                }
            }
        }
        assertNotNull(resync, () -> "no resync after changes were removed unread; events: " + seen);
        AlarmRecord r = resync.getRecord();
        assertEquals(log, r.logName);
        assertEquals(null, r.logRecordId, "a resync names the log only");
        assertTrue(r.attrSet.contains(AlarmRecordAttribute.LOG_NAME));
        assertTrue(!after.isEmpty() && after.size() < ids.size() - 1,
                () -> "changes after the resync: " + after.size());
        assertEquals(last, after.get(after.size() - 1).getRecord().logRecordId.intValue(),
                "the newest change still arrives, after the resync");

        AlarmRecord[] records = API.getAlarmsNative(log, new GenericQuery(LogicalCriteria.AND),
                AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID, AlarmRecordAttribute.ACK_STATE));
        assertEquals(ids.size(), records.length);
        for (AlarmRecord rec : records) {
            assertEquals(Boolean.TRUE, rec.ackState, () -> "record " + rec.logRecordId + " reads unacknowledged");
        }
    }
}
