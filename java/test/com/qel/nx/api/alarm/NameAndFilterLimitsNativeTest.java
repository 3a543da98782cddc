package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertEquals;

import com.qel.nx.api.common.NXSeverity;
import com.qel.nx.server.qrt.EventHandler;
import com.qel.nx.server.qrt.EventListener;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.BlockingQueue;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * Queries with more filters, criteria or values than an 8-bit count holds
 * select what they say; a log whose name holds a '/' is named whole in its
 * events. Log a/b holds 3 critical and 4 major alarms.
 */
class NameAndFilterLimitsNativeTest {
    private static final AlarmLogImpl API = new AlarmLogImpl();
    private static final BlockingQueue<AlarmLogEvent> EVENTS = AlarmDbFixture.listen();
    private static final AlarmRecordAttributeSet IDS = AlarmRecordAttributeSet.of(
            AlarmRecordAttribute.LOG_RECORD_ID, AlarmRecordAttribute.PERCEIVED_SEVERITY);

    private static AlarmDbFixture db;
    private static LogName slashed;
    private static List<Integer> critical;

    @BeforeAll
    static void fill() throws AlarmException {
        db = AlarmDbFixture.create();
        slashed = db.createLog("a/b");
        critical = db.raise(slashed, "critical", 3);
        db.raise(slashed, "major", 4);
        API.init("limits", slashed);
    }

    private static FilterItem isCritical() {
        return new FilterItem(AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL, NXSeverity.CRITICAL);
    }

    /** filters filters of criteria criteria each, all "perceivedSeverity = critical", joined by AND. */
    private static GenericQuery allCritical(int filters, int criteria) {
        GenericQuery q = new GenericQuery(LogicalCriteria.AND);
        for (int f = 0; f < filters; ++f) {
            Filter filter = new Filter(LogicalCriteria.AND);
            for (int c = 0; c < criteria; ++c) {
                filter.add(isCritical());
            }
            q.add(filter);
        }
        return q;
    }

    private static List<Integer> ids(AlarmRecord[] records) {
        List<Integer> out = new ArrayList<>();
        for (AlarmRecord r : records) {
            out.add(r.logRecordId.intValue());
        }
        out.sort(null);
        return out;
    }

    @Test
    void countsAndReadsNeverWidenPastAnEightBitCount() throws AlarmException {
        assertEquals(7, API.getAlarmCountNative(slashed, null));
        for (int n : new int[] {1, 255, 256, 257, 512}) {
            assertEquals(3, API.getAlarmCountNative(slashed, allCritical(n, 1)), n + " filters");
            assertEquals(3, API.getAlarmCountNative(slashed, allCritical(1, n)), n + " criteria");
            assertEquals(critical, ids(API.getAlarmsNative(slashed, allCritical(n, 1), IDS)), n + " filters");
            assertEquals(critical, ids(API.getAlarmsNative(slashed, allCritical(1, n), IDS)), n + " criteria");
        }
        // 256 values of one criterion: still the critical ones only.
        Object[] values = new Object[256];
        java.util.Arrays.fill(values, NXSeverity.CRITICAL);
        GenericQuery manyValues = AlarmDbFixture.where(AlarmRecordAttribute.PERCEIVED_SEVERITY,
                RelationCriteria.EQUAL, values);
        assertEquals(3, API.getAlarmCountNative(slashed, manyValues));
        assertEquals(critical, ids(API.getAlarmsNative(slashed, manyValues, IDS)));
        String where = API.getSqlQueryNative(allCritical(256, 1));
        assertEquals(256, where.split("'critical'", -1).length - 1, where);
    }

    @Test
    void batchesOfAQueryOf256FiltersHoldOnlyItsRecords() throws AlarmException {
        List<AlarmRecord> got = new ArrayList<>();
        final int batchId = 256;
        EventListener take = (key, event) -> {
            AlarmsBatch b = (AlarmsBatch) event;
            if (b.getBatchId() == batchId) {
                got.addAll(List.of(b.getRecords()));
            }
        };
        EventHandler.addListener(AlarmsBatch.EVENT_KEY, take);
        try {
            API.getAlarmsInBatchesNative(slashed, 2, 1, batchId, allCritical(256, 1), IDS);
        } finally {
            EventHandler.removeListener(AlarmsBatch.EVENT_KEY, take);
        }
        assertEquals(critical, ids(got.toArray(new AlarmRecord[0])));
    }

    @Test
    void eventsOfALogWithASlashNameThatLog() throws Exception {
        API.setEventAttrSetNative(IDS);
        int id = critical.get(0);
        API.setAckAlarmsNative(slashed, new AlarmRecordId[] {new AlarmRecordId(id)}, new String[] {"seen"});
        AlarmRecord r = AlarmDbFixture.await(EVENTS, e -> e.getKind() == AlarmLogEvent.ATTR_VALUE_CHANGED,
                "change of log a/b").getRecord();
        assertEquals(new LogName(db.misName(), "a/b"), r.logName, "event " + r);
        assertEquals(id, r.logRecordId.intValue());
    }
}
