package com.qel.nx.api.alarm;

import static com.qel.nx.api.alarm.AlarmDbFixture.where;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.nx.api.common.MOName;
import com.qel.nx.api.common.NXObjectAttribute;
import com.qel.nx.api.common.NXSeverity;
import com.qel.nx.server.qrt.EventHandler;
import com.qel.nx.server.qrt.EventListener;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;

/**
 * Every native handed objects of another class than it expects, wherever they
 * can hide: an item's values, a query's or filter's elements, a set's members,
 * array elements, and (planted past the type system) the arguments themselves.
 * Each must raise AlarmException naming what was expected, change nothing and
 * leave -Xcheck:jni quiet; none may crash the VM.
 */
class WrongTypesNativeTest {
    private static final AlarmLogImpl API = new AlarmLogImpl();
    private static AlarmDbFixture db;
    private static LogName log;
    private static List<Integer> ids;
    private static final List<Object> BATCHES = new ArrayList<>();
    private static final EventListener BATCH_LISTENER = (key, event) -> BATCHES.add(event);

    /** Not an AlarmRecordAttribute, with the code of logRecordId. */
    private enum Foreign implements NXObjectAttribute {
        RECORD_ID;

        @Override
        public int intValue() {
            return 15;
        }
    }

    @BeforeAll
    static void fill() throws AlarmException {
        db = AlarmDbFixture.create();
        log = db.createLog("AlarmLog");
        ids = db.raise(log, "major", 2);
        db.raise(log, "indeterminate", 1);
        // A refused init must leave no service behind: the real one follows.
        assertRefused("log name is not a LogName", () -> API.init("client",
                Forged.planted(new LogName[1], 0, "AlarmLog")[0]));
        assertRefused("init's first argument is not a String", () -> API.init(
                Forged.planted(new String[1], 0, 7)[0], log));
        API.init("client", log);
        EventHandler.addListener(AlarmsBatch.EVENT_KEY, BATCH_LISTENER);
    }

    @AfterAll
    static void quiet() {
        EventHandler.removeListener(AlarmsBatch.EVENT_KEY, BATCH_LISTENER);
    }

    private static void assertRefused(String message, Executable call) {
        AlarmException e = assertThrows(AlarmException.class, call);
        assertEquals(message, e.getMessage());
    }

    private static AlarmRecordAttributeSet idsOnly() {
        return AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID, AlarmRecordAttribute.ACK_STATE);
    }

    /** Queries each holding one object of the wrong class, with the message it must give. */
    private static List<Object[]> badQueries() {
        List<Object[]> cases = new ArrayList<>();
        cases.add(new Object[] {"filter value for managedObjectInstance is not an MOName", where(
                AlarmRecordAttribute.MANAGED_OBJECT_INSTANCE, RelationCriteria.EQUAL, new MOName(0, AlarmDbFixture.MOI)),
                0, AlarmDbFixture.MOI});
        // An Integer 5 once read as the id of "indeterminate".
        cases.add(new Object[] {"filter value for perceivedSeverity is not an NXSeverity", where(
                AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL, NXSeverity.MAJOR), 0, 5});
        cases.add(new Object[] {"filter value for probableCause is not a String", where(
                AlarmRecordAttribute.PROBABLE_CAUSE, RelationCriteria.EQUAL, "5"), 0,
                new MOName(5, "5")});
        cases.add(new Object[] {"query element is not a Filter",
                Forged.withFilter(new GenericQuery(LogicalCriteria.AND), "filter"), -1, null});
        cases.add(new Object[] {"filter element is not a FilterItem", new GenericQuery(LogicalCriteria.OR)
                .add(Forged.withItem(new Filter(LogicalCriteria.AND), NXSeverity.MAJOR)), -1, null});
        for (Object[] c : cases) {
            if ((int) c[2] >= 0) {
                GenericQuery q = (GenericQuery) c[1];
                FilterItem item = q.getFilters().get(0).getItems().get(0);
                Forged.withValue(item, (int) c[2], c[3]);
            }
        }
        return cases;
    }

    @Test
    void queriesOfWrongClassesAreRefusedByEveryQueryNative() {
        List<Object[]> cases = badQueries();
        // Read from a GenericQuery[] slot (a cast would check it), a Filter has the static type of a query.
        cases.add(new Object[] {"query is not a GenericQuery",
                Forged.planted(new GenericQuery[1], 0, new Filter(LogicalCriteria.AND))});
        for (Object[] c : cases) {
            String message = (String) c[0];
            GenericQuery query = c[1] instanceof GenericQuery[] slot ? slot[0] : (GenericQuery) c[1];
            assertRefused(message, () -> API.getSqlQueryNative(query));
            assertRefused(message, () -> API.getAlarmCountNative(log, query));
            assertRefused(message, () -> API.getAlarmsNative(log, query, idsOnly()));
            assertRefused(message, () -> API.getAlarmsInBatchesNative(log, 10, 1, 901, query, idsOnly()));
        }
        assertTrue(BATCHES.isEmpty(), "a refused retrieval sent " + BATCHES);
    }

    @Test
    void attributeSetsOfWrongClassesAreRefused() throws AlarmException {
        String element = "attribute set element is not an AlarmRecordAttribute";
        Object[][] cases = {  // message, the set in a slot of its own (a cast would check it)
            {element, new AlarmRecordAttributeSet[] {
                Forged.setListing(AlarmRecordAttribute.ACK_STATE, Foreign.RECORD_ID)}},
            {element, new AlarmRecordAttributeSet[] {Forged.setListing(AlarmRecordAttribute.ACK_STATE, "logRecordId")}},
            {"attribute set is not an AlarmRecordAttributeSet",
                Forged.planted(new AlarmRecordAttributeSet[1], 0, new GenericQuery(LogicalCriteria.AND))},
        };
        for (Object[] c : cases) {
            String message = (String) c[0];
            AlarmRecordAttributeSet set = ((AlarmRecordAttributeSet[]) c[1])[0];
            assertRefused(message, () -> API.getAlarmsNative(log, null, set));
            assertRefused(message, () -> API.getAlarmsInBatchesNative(log, 10, 1, 902, null, set));
            assertRefused(message, () -> API.setEventAttrSetNative(set));
        }
        assertTrue(BATCHES.isEmpty(), "a refused retrieval sent " + BATCHES);
        // The set of a record is still one the library can read.
        assertEquals(3, API.getAlarmsNative(log, null, idsOnly()).length);
    }

    @Test
    void logNamesOfAnotherClassAreRefusedEverywhere() {
        LogName[] slot = Forged.planted(new LogName[1], 0, new MOName(0, "AlarmLog"));
        LogName wrong = slot[0];
        AlarmRecordId[] one = {new AlarmRecordId(ids.get(0))};
        String m = "log name is not a LogName";
        assertRefused(m, () -> API.addLogNameNative(wrong));
        assertRefused(m, () -> API.getAlarmsNative(wrong, null, idsOnly()));
        assertRefused(m, () -> API.getAlarmsInBatchesNative(wrong, 10, 1, 903, null, idsOnly()));
        assertRefused(m, () -> API.getAlarmCountNative(wrong, null));
        assertRefused(m, () -> API.getAlarmCountBySeverityNative(wrong, null, new NXSeverity[] {NXSeverity.MAJOR}));
        assertRefused(m, () -> API.setAckAlarmsNative(wrong, one, new String[] {"t"}));
        AlarmDbFixture.changes(API, wrong, one).values().forEach(call -> assertRefused(m, call));
        assertTrue(BATCHES.isEmpty(), "a refused retrieval sent " + BATCHES);
    }

    @Test
    void countBySeverityChecksItsArraysAndTheirElements() throws AlarmException {
        NXSeverity[] majors = {NXSeverity.MAJOR};
        assertRefused("managed object name is not an MOName", () -> API.getAlarmCountBySeverityNative(log,
                Forged.planted(new MOName[] {new MOName(0, AlarmDbFixture.MOI), null}, 1, AlarmDbFixture.MOI), majors));
        assertRefused("severity is not an NXSeverity", () -> API.getAlarmCountBySeverityNative(log, null,
                Forged.planted(new NXSeverity[] {NXSeverity.MAJOR, null}, 1, 5)));
        assertRefused("managed object name array is not an MOName[]", () -> API.getAlarmCountBySeverityNative(log,
                Forged.planted(new MOName[1][], 0, "names")[0], majors));
        assertRefused("severity array is not an NXSeverity[]", () -> API.getAlarmCountBySeverityNative(log, null,
                Forged.planted(new NXSeverity[1][], 0, NXSeverity.MAJOR)[0]));
        assertEquals(2, API.getAlarmCountBySeverityNative(log, null, majors)[0]);
    }

    @Test
    void stateChangesWithAWrongIdOrTextChangeNothing() throws AlarmException {
        AlarmRecordId first = new AlarmRecordId(ids.get(0));
        AlarmRecordId[] idThenString = Forged.planted(new AlarmRecordId[] {first, null}, 1, "12");
        AlarmRecordId[] two = {first, new AlarmRecordId(ids.get(1))};
        String[] textThenNumber = Forged.planted(new String[] {"on it", null}, 1, 12);
        String id = "record id is not an AlarmRecordId";
        AlarmDbFixture.changes(API, log, idThenString).values().forEach(call -> assertRefused(id, call));
        assertRefused("text is not a String", () -> API.setAckAlarmsNative(log, two, textThenNumber));
        assertRefused("record id array is not an AlarmRecordId[]", () -> API.setAckAlarmsNative(log,
                Forged.planted(new AlarmRecordId[1][], 0, first)[0], null));
        assertRefused("record id array is not an AlarmRecordId[]", () -> API.deleteAlarmsNative(log,
                Forged.planted(new AlarmRecordId[1][], 0, first)[0]));
        assertRefused("text array is not a String[]", () -> API.setAckAlarmsNative(log, two,
                Forged.planted(new String[1][], 0, "on it")[0]));

        // The valid id before the wrong one was neither changed nor deleted.
        AlarmRecord[] records = API.getAlarmsNative(log, where(AlarmRecordAttribute.LOG_RECORD_ID,
                RelationCriteria.EQUAL, first), AlarmDbFixture.allAttributes());
        assertEquals(1, records.length);
        assertNull(records[0].ackState);
        assertNull(records[0].clearState);
        assertNull(records[0].displayState);
        assertNull(records[0].ackText);
    }

    @Test
    void theNativesOfMoNamesBytesAndServersCheckTheirArgument() throws AlarmException {
        assertRefused("managed object name is not an MOName",
                () -> API.getBlobValueNative(Forged.planted(new MOName[1], 0, AlarmDbFixture.MOI)[0]));
        assertRefused("hash input is not a byte[]",
                () -> API.getHashValueNative(Forged.planted(new byte[1][], 0, new int[] {1, 2})[0]));
        assertRefused("server name is not a String",
                () -> new AlarmTable().getDatabaseParametersNative(
                        Forged.planted(new String[1], 0, new StringBuilder("alpha"))[0]));
        // Nulls keep their documented empty results.
        assertNull(API.getBlobValueNative(null));
        assertEquals(0, API.getHashValueNative(null));
    }
}
