package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.util.Set;
import org.junit.jupiter.api.Test;

/** AlarmsBatch, AlarmLogEvent and AlarmRecord as the native library builds them. */
class EventsAndBatchesTest {
    @Test
    void batchWithRecordsKeepsTagIdAndOrder() {
        AlarmRecord r1 = new AlarmRecord();
        AlarmRecord r2 = new AlarmRecord();
        AlarmRecord[] input = {r1, r2};
        AlarmsBatch batch = new AlarmsBatch(input, 42, 7);
        assertEquals(42, batch.getClientTag());
        assertEquals(7, batch.getBatchId());
        assertEquals(2, batch.size());
        input[0] = null;
        AlarmRecord[] out = batch.getRecords();
        assertSame(r1, out[0]);
        assertSame(r2, out[1]);
        out[1] = null;
        assertSame(r2, batch.getRecords()[1]);
    }

    @Test
    void emptyBatchForms() {
        AlarmsBatch twoInts = new AlarmsBatch(5, 9);
        assertEquals(0, twoInts.getRecords().length);
        assertEquals(5, twoInts.getClientTag());
        assertEquals(9, twoInts.getBatchId());
        assertEquals(0, new AlarmsBatch(new AlarmRecord[0], 1, 2).getRecords().length);
        assertThrows(NullPointerException.class, () -> new AlarmsBatch(null, 1, 2));
        assertNotEquals(AlarmsBatch.EVENT_KEY, AlarmLogEvent.ALARM_EVENT_ID,
                "a listener must be able to tell batches from log events by key");
    }

    @Test
    void eventKindsAreDistinctAndCreatedIsOne() {
        // The native side takes the full attribute set path for kind 1 only.
        assertEquals(1, AlarmLogEvent.OBJECT_CREATED);
        assertEquals(3, Set.of(AlarmLogEvent.OBJECT_CREATED, AlarmLogEvent.OBJECT_DELETED,
                AlarmLogEvent.ATTR_VALUE_CHANGED).size());
        AlarmRecord r = new AlarmRecord();
        AlarmLogEvent e = new AlarmLogEvent(AlarmLogEvent.ATTR_VALUE_CHANGED, r);
        assertEquals(AlarmLogEvent.ATTR_VALUE_CHANGED, e.getKind());
        assertSame(r, e.getRecord());
        assertThrows(IllegalArgumentException.class, () -> new AlarmLogEvent(0, r));
        assertThrows(NullPointerException.class, () -> new AlarmLogEvent(AlarmLogEvent.OBJECT_DELETED, null));
    }
}
