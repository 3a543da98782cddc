package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.nx.api.common.NXSeverity;
import com.qel.nx.server.qrt.EventHandler;
import com.qel.nx.server.qrt.EventListener;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.concurrent.ConcurrentHashMap;
import java.util.concurrent.CopyOnWriteArrayList;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * Batched retrieval through the event handler: batch sizes, the closing empty
 * batch, and stopping. Log Five holds 5 records, Four holds 4 (3 major, 1
 * minor), Empty none. Every test uses its own batch id.
 */
class BatchedRetrievalNativeTest {
    private static final AlarmLogImpl API = new AlarmLogImpl();
    private static final Map<Integer, List<AlarmsBatch>> BATCHES = new ConcurrentHashMap<>();
    private static final EventListener COLLECT = (key, event) -> {
        AlarmsBatch b = (AlarmsBatch) event;
        BATCHES.computeIfAbsent(b.getBatchId(), id -> new CopyOnWriteArrayList<>()).add(b);
    };
    private static final AlarmRecordAttributeSet IDS = AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID);

    private static LogName five;
    private static LogName four;
    private static LogName empty;
    private static List<Integer> fiveIds;

    @BeforeAll
    static void fill() throws AlarmException {
        AlarmDbFixture db = AlarmDbFixture.create();
        five = db.createLog("Five");
        four = db.createLog("Four");
        empty = db.createLog("Empty");
        fiveIds = db.raise(five, "major", 5);
        db.raise(four, "major", 3);
        db.raise(four, "minor", 1);
        API.init("batches", five);
        API.addLogNameNative(four);
        API.addLogNameNative(empty);
        EventHandler.addListener(AlarmsBatch.EVENT_KEY, COLLECT);
    }

    @AfterAll
    static void unlisten() {
        EventHandler.removeListener(AlarmsBatch.EVENT_KEY, COLLECT);
    }

    /** Runs a retrieval and gives the sizes of the batches it sent, checking tag and id of each. */
    private static List<Integer> sizes(LogName log, int batchSize, int tag, int batchId, GenericQuery query)
            throws AlarmException {
        API.getAlarmsInBatchesNative(log, batchSize, tag, batchId, query, IDS);
        List<Integer> sizes = new ArrayList<>();
        for (AlarmsBatch b : BATCHES.getOrDefault(batchId, List.of())) {
            assertEquals(tag, b.getClientTag());
            assertEquals(batchId, b.getBatchId());
            sizes.add(b.size());
        }
        return sizes;
    }

    @Test
    void fullBatchesThenTheRestThenAnEmptyOne() throws AlarmException {
        assertEquals(List.of(2, 2, 1, 0), sizes(five, 2, 42, 1, null));
        List<Integer> ids = new ArrayList<>();
        for (AlarmsBatch b : BATCHES.get(1)) {
            for (AlarmRecord r : b.getRecords()) {
                assertSame(IDS, r.attrSet);
                ids.add(r.logRecordId.intValue());
            }
        }
        ids.sort(null);
        assertEquals(fiveIds, ids);
        GenericQuery majors = AlarmDbFixture.where(AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL,
                NXSeverity.MAJOR);
        GenericQuery criticals = AlarmDbFixture.where(AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL,
                NXSeverity.CRITICAL);
        // {log, batch size, query, sizes sent}: no records give two empty batches; size 0 sends each record
        // after an empty batch; a negative size means one batch.
        Object[][] cases = {
            {four, 2, null, List.of(2, 2, 0)}, {four, 3, majors, List.of(3, 0)},
            {empty, 2, null, List.of(0, 0)}, {five, 2, criticals, List.of(0, 0)},
            {five, 0, null, List.of(0, 1, 1, 1, 1, 1, 0)},
            {five, -1, null, List.of(5, 0)}, {four, Integer.MIN_VALUE, null, List.of(4, 0)},
        };
        for (int i = 0; i < cases.length; i++) {
            Object[] c = cases[i];
            assertEquals(c[3], sizes((LogName) c[0], (int) c[1], 43 + i, 10 + i, (GenericQuery) c[2]), "case " + i);
        }
    }

    @Test
    void stopBeforeStartSendsOnlyTheClosingBatch() throws AlarmException {
        API.stopGetAlarmsInBatchesNative(7);
        assertEquals(List.of(0), sizes(five, 2, 3, 7, null));
        // The stopped entry went with that retrieval: the same id runs in full again.
        BATCHES.remove(7);
        assertEquals(List.of(2, 2, 1, 0), sizes(five, 2, 3, 7, null));
    }

    @Test
    void stopFromAnotherThreadWhileTheFirstBatchIsHandled() throws Exception {
        final int id = 40;
        CountDownLatch firstBatch = new CountDownLatch(1);
        CountDownLatch stopped = new CountDownLatch(1);
        List<Integer> seen = new CopyOnWriteArrayList<>();
        EventListener blockOnFirst = (key, event) -> {
            AlarmsBatch b = (AlarmsBatch) event;
            if (b.getBatchId() != id) {
                return;
            }
            seen.add(b.size());
            if (seen.size() == 1) {
                firstBatch.countDown();
                try {
                    // The retrieval holds the process-wide lock here; stop must not need it.
                    assertTrue(stopped.await(30, TimeUnit.SECONDS), "stop did not return while a batch was out");
                } catch (InterruptedException e) {
                    Thread.currentThread().interrupt();
                }
            }
        };
        EventHandler.addListener(AlarmsBatch.EVENT_KEY, blockOnFirst);
        ExecutorService pool = Executors.newSingleThreadExecutor();
        try {
            Future<?> retrieval = pool.submit(() -> {
                API.getAlarmsInBatchesNative(five, 1, 9, id, null, IDS);
                return null;
            });
            assertTrue(firstBatch.await(30, TimeUnit.SECONDS), "no first batch");
            API.stopGetAlarmsInBatchesNative(id);
            stopped.countDown();
            retrieval.get(30, TimeUnit.SECONDS);
        } finally {
            EventHandler.removeListener(AlarmsBatch.EVENT_KEY, blockOnFirst);
            pool.shutdownNow();
        }
        assertEquals(List.of(1, 0), seen, "after the stop only the closing empty batch follows");
    }

    @Test
    void failedLoadSendsNothing() throws AlarmException {
        LogName missing = new LogName("alpha", "NoSuchLog");
        AlarmException e = assertThrows(AlarmException.class,
                () -> API.getAlarmsInBatchesNative(missing, 2, 1, 50, null, IDS));
        assertEquals("Error while loading alarms", e.getMessage());
        assertNull(BATCHES.get(50));
        // A later retrieval with the same id is not disturbed by the failed one.
        assertEquals(List.of(5, 0), sizes(five, 10, 1, 50, null));
    }
}
