package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.util.Set;
import org.junit.jupiter.api.Test;

/** AlarmsBatch, AlarmLogEvent and AlarmRecord as the native library builds them. */
class EventsAndBatchesTest {
    @Test
    void batchesKeepTheirRecordsWhateverTheCallerDoesWithTheArrays() {
        AlarmRecord r1 = new AlarmRecord();
        AlarmRecord r2 = new AlarmRecord();
        AlarmRecord[] input = {r1, r2};
        AlarmsBatch batch = new AlarmsBatch(input, 42, 7);
        assertEquals(2, batch.size());
        input[0] = null;
        batch.getRecords()[1] = null;
        assertArrayEquals(new AlarmRecord[] {r1, r2}, batch.getRecords());

        AlarmsBatch empty = new AlarmsBatch(5, 9);
        assertEquals(0, empty.getRecords().length);
        assertEquals(9, empty.getBatchId());
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
        assertSame(r, new AlarmLogEvent(AlarmLogEvent.ATTR_VALUE_CHANGED, r).getRecord());
        assertThrows(IllegalArgumentException.class, () -> new AlarmLogEvent(0, r));
        assertThrows(NullPointerException.class, () -> new AlarmLogEvent(AlarmLogEvent.OBJECT_DELETED, null));
    }
}
