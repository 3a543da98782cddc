package com.qel.nx.api.alarm;

import static com.qel.nx.api.alarm.AlarmDbFixture.where;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNotSame;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.nx.api.common.MOName;
import com.qel.nx.api.common.NXSeverity;
import java.util.ArrayList;
import java.util.Date;
import java.util.HexFormat;
import java.util.List;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * Reading, counting and describing records through the natives, against a
 * database filled by the MIS: AlarmLog holds 3 major and 1 critical alarm of
 * MOI_A and 2 minor alarms of MOI_B; the numbered log 3 holds 2 warnings;
 * Quiet holds nothing.
 */
class AlarmRetrievalNativeTest {
    private static final String MOI_A = AlarmDbFixture.MOI;
    private static final String MOI_B = "/systemId=name:\"beta\"";

    private static AlarmDbFixture db;
    private static final AlarmLogImpl API = new AlarmLogImpl();
    private static LogName alarmLog;
    private static LogName numbered;
    private static LogName quiet;
    private static final List<Integer> MAJOR_IDS = new ArrayList<>();
    private static List<Integer> minorIds;
    private static List<Integer> criticalIds;
    private static long raisedFrom;
    private static long raisedTo;

    @BeforeAll
    static void fill() throws AlarmException {
        db = AlarmDbFixture.create();
        alarmLog = db.createLog("AlarmLog");
        numbered = db.createLog(3);
        quiet = db.createLog("Quiet");
        raisedFrom = System.currentTimeMillis();
        MAJOR_IDS.addAll(db.raise(alarmLog, "major", MOI_A, "5", "link down", 3));
        minorIds = db.raise(alarmLog, "minor", MOI_B, "7", "fan slow", 2);
        criticalIds = db.raise(alarmLog, "critical", 1);
        db.raise(numbered, "warning", 2);
        raisedTo = System.currentTimeMillis();
        API.init("client", alarmLog);
        API.addLogNameNative(numbered);
        API.addLogNameNative(quiet);
    }

    private static AlarmRecord byId(AlarmRecord[] records, int id) {
        for (AlarmRecord r : records) {
            if (r.logRecordId != null && r.logRecordId.intValue() == id) {
                return r;
            }
        }
        throw new AssertionError("no record " + id);
    }

    private static void assertAround(Date date, long from, long to) {
        assertNotNull(date);
        // Stored times have whole seconds.
        assertTrue(date.getTime() >= from / 1000 * 1000 && date.getTime() <= to, date + " not between raises");
    }

    @Test
    void everyRecordWithEveryAttribute() throws AlarmException {
        AlarmRecordAttributeSet all = AlarmDbFixture.allAttributes();
        AlarmRecord[] records = API.getAlarmsNative(alarmLog, null, all);
        assertEquals(6, records.length);
        for (AlarmRecord r : records) {
            assertSame(all, r.attrSet, "every record refers to the caller's set");
            assertSame(alarmLog, r.logName);
            assertEquals("communicationsAlarm", r.eventType);
            assertAround(r.eventTime, raisedFrom, raisedTo);
            assertAround(r.loggingTime, raisedFrom, raisedTo);
            assertNull(r.ackState, "unAcked sets no Boolean");
            assertNull(r.clearState);
            assertNull(r.displayState);
            assertNull(r.ackTime, "a NULL time gives null");
            assertNull(r.ackOperator);
            assertNull(r.ackText);
        }
        AlarmRecord major = byId(records, MAJOR_IDS.get(0));
        assertEquals(NXSeverity.MAJOR, major.perceivedSeverity);
        assertSame(major.perceivedSeverity, byId(records, MAJOR_IDS.get(2)).perceivedSeverity,
                "records share the severity objects");
        assertEquals(new MOName(0, MOI_A), major.managedObjectInstance);
        assertEquals("link down", major.additionalText);
        assertNotNull(major.probableCause);
        AlarmRecord minor = byId(records, minorIds.get(1));
        assertEquals(NXSeverity.MINOR, minor.perceivedSeverity);
        assertEquals(new MOName(0, MOI_B), minor.managedObjectInstance);
        assertEquals("fan slow", minor.additionalText);
        assertEquals(NXSeverity.CRITICAL, byId(records, criticalIds.get(0)).perceivedSeverity);
    }

    @Test
    void onlyTheAskedAttributesAreFilled() throws AlarmException {
        AlarmRecord[] records = API.getAlarmsNative(alarmLog, null,
                AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID));
        assertEquals(6, records.length);
        for (AlarmRecord r : records) {
            assertNotNull(r.logRecordId);
            assertNull(r.logName);
            assertNull(r.perceivedSeverity);
            assertNull(r.eventTime);
            assertNull(r.additionalText);
        }
        AlarmRecordAttributeSet none = new AlarmRecordAttributeSet();
        for (AlarmRecord r : API.getAlarmsNative(alarmLog, null, none)) {
            assertSame(none, r.attrSet);
            assertNull(r.logRecordId);
            assertNull(r.eventType);
        }
    }

    @Test
    void numberedLogAndEmptyLog() throws AlarmException {
        AlarmRecord[] records = API.getAlarmsNative(numbered, null, AlarmDbFixture.allAttributes());
        assertEquals(2, records.length);
        for (AlarmRecord r : records) {
            assertSame(numbered, r.logName);
            assertEquals(NXSeverity.WARNING, r.perceivedSeverity);
        }
        AlarmRecord[] none = API.getAlarmsNative(quiet, null, AlarmDbFixture.allAttributes());
        assertNotNull(none, "no records is an empty array, not null");
        assertEquals(0, none.length);
        assertEquals(0, API.getAlarmCountNative(quiet, null));
        assertEquals(2, API.getAlarmCountNative(numbered, null));
    }

    @Test
    void queriesSelectAndCount() throws AlarmException {
        AlarmRecordAttributeSet ids = AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID);
        GenericQuery majors = where(AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL, NXSeverity.MAJOR);
        List<Integer> got = new ArrayList<>();
        for (AlarmRecord r : API.getAlarmsNative(alarmLog, majors, ids)) {
            got.add(r.logRecordId.intValue());
        }
        got.sort(null);
        assertEquals(MAJOR_IDS, got);
        assertEquals(3, API.getAlarmCountNative(alarmLog, majors));

        GenericQuery majorOrCritical = where(AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL,
                NXSeverity.MAJOR, NXSeverity.CRITICAL);
        assertEquals(4, API.getAlarmsNative(alarmLog, majorOrCritical, ids).length);
        assertEquals(4, API.getAlarmCountNative(alarmLog, majorOrCritical));

        // A managed object named by its text is looked up to its database key.
        GenericQuery ofB = where(AlarmRecordAttribute.MANAGED_OBJECT_INSTANCE, RelationCriteria.EQUAL,
                new MOName(0, MOI_B));
        assertEquals(2, API.getAlarmCountNative(alarmLog, ofB));
        GenericQuery notMajor = new GenericQuery(LogicalCriteria.AND).add(new Filter(LogicalCriteria.AND)
                .add(new FilterItem(AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.NOT_EQUAL,
                        NXSeverity.MAJOR))
                .add(new FilterItem(AlarmRecordAttribute.MANAGED_OBJECT_INSTANCE, RelationCriteria.EQUAL,
                        new MOName(0, MOI_A))));
        assertEquals(1, API.getAlarmCountNative(alarmLog, notMajor));
        // A query without filters reads everything.
        assertEquals(6, API.getAlarmCountNative(alarmLog, new GenericQuery(LogicalCriteria.OR)));
        assertEquals(6, API.getAlarmsNative(alarmLog, new GenericQuery(LogicalCriteria.OR), ids).length);
    }

    @Test
    void quoteInAValueNeverWidensTheSelection() {
        GenericQuery q = where(AlarmRecordAttribute.ADDITIONAL_TEXT, RelationCriteria.EQUAL, "x' OR '1'='1");
        try {
            assertEquals(0, API.getAlarmsNative(alarmLog, q, AlarmDbFixture.allAttributes()).length);
            assertEquals(0, API.getAlarmCountNative(alarmLog, q));
        } catch (AlarmException refused) {
            assertNotNull(refused.getMessage());
        }
    }

    @Test
    void countsBySeverity() throws AlarmException {
        NXSeverity[] four = {NXSeverity.MAJOR, NXSeverity.MINOR, NXSeverity.CRITICAL, NXSeverity.WARNING};
        assertArrayEquals(new int[] {3, 2, 1, 0}, API.getAlarmCountBySeverityNative(alarmLog, null, four));
        assertArrayEquals(new int[] {3, 2, 1, 0},
                API.getAlarmCountBySeverityNative(alarmLog, new MOName[0], four));
        assertArrayEquals(new int[] {3, 0, 1, 0},
                API.getAlarmCountBySeverityNative(alarmLog, new MOName[] {new MOName(0, MOI_A)}, four));
        // The database key of MOI_B, given as the managed object's number.
        int keyOfB = Integer.parseInt(db.sql("SELECT DISTINCT moi_id FROM nxalm_1 WHERE moi_s = '"
                + MOI_B.replace("'", "''") + "'"));
        assertArrayEquals(new int[] {0, 2, 0, 0},
                API.getAlarmCountBySeverityNative(alarmLog, new MOName[] {new MOName(keyOfB, "")}, four));
        assertArrayEquals(new int[] {3, 2, 1, 0}, API.getAlarmCountBySeverityNative(alarmLog,
                new MOName[] {new MOName(0, MOI_A), new MOName(keyOfB, "")}, four));
        assertArrayEquals(new int[0], API.getAlarmCountBySeverityNative(alarmLog, null, new NXSeverity[0]));
        assertArrayEquals(new int[] {2}, API.getAlarmCountBySeverityNative(numbered, null,
                new NXSeverity[] {NXSeverity.WARNING}));
        AlarmException e = assertThrows(AlarmException.class, () ->
                API.getAlarmCountBySeverityNative(alarmLog, null, new NXSeverity[] {new NXSeverity(99)}));
        assertEquals("Invalid Severity", e.getMessage());
    }

    @Test
    void unknownAttributeCodeIsRefused() {
        AlarmException e = assertThrows(AlarmException.class, () ->
                API.getAlarmsNative(alarmLog, null, AlarmDbFixture.withUnknownCode()));
        assertEquals("Error: id2AttributeId", e.getMessage());
        e = assertThrows(AlarmException.class, () -> API.getAlarmsInBatchesNative(alarmLog, 10, 1, 501, null,
                AlarmDbFixture.withUnknownCode()));
        assertEquals("Error: id2AttributeId", e.getMessage());
    }

    @Test
    void sqlTexts() throws AlarmException {
        assertEquals("", API.getSqlQueryNative(null));
        assertEquals("", API.getSqlQueryNative(new GenericQuery(LogicalCriteria.AND)));
        assertEquals("perceivedSeverity = 'critical'", API.getSqlQueryNative(
                where(AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL, NXSeverity.CRITICAL)));
        GenericQuery example = new GenericQuery(LogicalCriteria.OR)
                .add(new Filter(LogicalCriteria.AND)
                        .add(new FilterItem(AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL,
                                NXSeverity.CRITICAL))
                        .add(new FilterItem(AlarmRecordAttribute.EVENT_TIME,
                                RelationCriteria.GREATER_THAN_OR_EQUAL, "20010203040506")))
                .add(new Filter(LogicalCriteria.OR).add(new FilterItem(AlarmRecordAttribute.OPEN,
                        RelationCriteria.EQUAL)));
        assertEquals("( ( perceivedSeverity = 'critical' ) AND ( eventTime >= DATETIME (2001-02-03 04:05:06) "
                + "YEAR to SECOND ) ) OR ( ( ( ackState = 'unAcked' ) AND ( clearState = 'unCleared' ) ) )",
                API.getSqlQueryNative(example));
        assertEquals("eventName NOT LIKE '%link\\_down' ESCAPE '\\'", API.getSqlQueryNative(
                where(AlarmRecordAttribute.EVENT_TYPE, RelationCriteria.NOT_EQUAL, "%link_down")));
        assertEquals("( ( perceivedSeverity = 'major' ) OR ( perceivedSeverity = 'cleared' ) )",
                API.getSqlQueryNative(where(AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL,
                        NXSeverity.MAJOR, NXSeverity.CLEARED)));
        String keyOfA = db.sql("SELECT DISTINCT moi_id FROM nxalm_1 WHERE moi_s = '" + MOI_A.replace("'", "''")
                + "'");
        assertEquals("( ( moi_id = '12' ) OR ( moi_id = '" + keyOfA + "' ) )", API.getSqlQueryNative(
                where(AlarmRecordAttribute.MANAGED_OBJECT_INSTANCE, RelationCriteria.EQUAL, new MOName(12, "x"),
                        new MOName(0, MOI_A))));
    }

    @Test
    void databaseParameters() {
        AlarmTable table = new AlarmTable();
        AlarmDatabaseInfo info = table.getDatabaseParametersNative("alpha");
        if (AlarmDbFixture.onPostgres()) {
            String uri = System.getenv("NX_ALARM_DB");
            assertEquals(uri.substring(uri.lastIndexOf('/') + 1), info.getDatabaseName());
            assertEquals("127.0.0.1", info.getHostName());
            assertEquals("postgresql", info.getProtocol());
        } else {
            assertEquals(db.path().toAbsolutePath().toString(), info.getDatabaseName());
            assertEquals("", info.getUserName());
            assertEquals("localhost", info.getHostName());
            assertEquals("sqlite", info.getProtocol());
        }
        AlarmDatabaseInfo again = table.getDatabaseParametersNative("alpha");
        assertNotSame(info, again);
        assertEquals(info, again);
    }

    @Test
    void blobValueIsTheDatabaseKeyEncoding() {
        byte[] blob = API.getBlobValueNative(new MOName(0, MOI_A));
        String stored = db.sql("SELECT " + AlarmDbFixture.hexOf("moi_ber") + " FROM nxmoid WHERE moi_id = (SELECT DISTINCT moi_id FROM nxalm_1"
                + " WHERE moi_s = '" + MOI_A.replace("'", "''") + "')");
        assertEquals(stored, HexFormat.of().withUpperCase().formatHex(blob));
        assertNull(API.getBlobValueNative(null));
    }

    @Test
    void secondInitIsRefused() throws AlarmException {
        AlarmException e = assertThrows(AlarmException.class, () -> API.init("again", alarmLog));
        assertEquals("init AlarmService already done", e.getMessage());
        e = assertThrows(AlarmException.class, () -> new AlarmLogImpl().init(null, quiet));
        assertEquals("init AlarmService already done", e.getMessage());
        assertTrue(API.getAlarmCountNative(alarmLog, null) >= 6);
    }
}
