package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.nx.api.common.MOName;
import com.qel.nx.api.common.NXSeverity;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.MethodOrderer;
import org.junit.jupiter.api.Order;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestMethodOrder;
import org.junit.jupiter.api.function.Executable;

/**
 * The library before and at its one init, in a JVM whose alarm database does
 * not exist: natives that need the service refuse to work before init, an init
 * that finds no MIS still uses up the one service, and that service then
 * refuses logs and loads.
 */
@TestMethodOrder(MethodOrderer.OrderAnnotation.class)
class InitLifecycleNativeTest {
    private static final AlarmLogImpl API = new AlarmLogImpl();
    private static final LogName ALARM_LOG = new LogName("alpha", "AlarmLog");
    private static final AlarmRecordId[] ONE = {new AlarmRecordId(1)};
    private static final String NO_MIS = "Error: the log does not exist or the MIS is not accessible";

    @Test
    @Order(1)
    void nativesThatNeedTheServiceRefuseBeforeInit() {
        AlarmRecordAttributeSet all = AlarmDbFixture.allAttributes();
        Map<String, Executable> calls = new LinkedHashMap<>();
        calls.put("addLogNameNative", () -> API.addLogNameNative(ALARM_LOG));
        calls.put("getAlarmsNative", () -> API.getAlarmsNative(ALARM_LOG, null, all));
        calls.put("getAlarmsInBatchesNative", () -> API.getAlarmsInBatchesNative(ALARM_LOG, 1, 1, 1, null, all));
        calls.put("getAlarmCountNative", () -> API.getAlarmCountNative(ALARM_LOG, null));
        calls.put("getAlarmCountBySeverityNative", () -> API.getAlarmCountBySeverityNative(ALARM_LOG,
                new MOName[0], new NXSeverity[] {NXSeverity.MAJOR}));
        calls.putAll(AlarmDbFixture.changes(API, ALARM_LOG, ONE));
        List<String> wrong = new ArrayList<>();
        calls.forEach((name, call) -> {
            try {
                call.execute();
                wrong.add(name + ": no exception");
            } catch (AlarmException e) {
                if (!e.getMessage().contains("init")) {
                    wrong.add(name + ": " + e.getMessage());
                }
            } catch (Throwable t) {
                wrong.add(name + ": " + t);
            }
        });
        assertEquals(List.of(), wrong);
    }

    @Test
    @Order(2)
    void nativesThatNeedNoServiceWorkBeforeInit() throws AlarmException {
        assertEquals(925130, API.getHashValueNative(new byte[] {'a', 'b', 'c'}));
        assertEquals("perceivedSeverity = 'minor'", API.getSqlQueryNative(AlarmDbFixture.where(
                AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL, NXSeverity.MINOR)));
        API.stopGetAlarmsInBatchesNative(5);
        API.setEventAttrSetNative(AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID));
        byte[] blob = API.getBlobValueNative(new MOName(0, AlarmDbFixture.MOI));
        assertTrue(blob.length > 0 && blob[0] == (byte) 0xA2, "an encoded distinguished name");
        AlarmDatabaseInfo info = new AlarmTable().getDatabaseParametersNative("alpha");
        String location = System.getenv("NX_ALARM_DB");
        if (AlarmDbFixture.onPostgres()) {
            assertEquals(location.substring(location.lastIndexOf('/') + 1), info.getDatabaseName());
            assertEquals("postgresql", info.getProtocol());
        } else {
            assertEquals(location, info.getDatabaseName());
            assertEquals("sqlite", info.getProtocol());
        }
    }

    @Test
    @Order(3)
    void initWithoutAReachableMisUsesUpTheService() {
        AlarmException e = assertThrows(AlarmException.class, () -> API.init("first", ALARM_LOG));
        assertEquals(NO_MIS, e.getMessage());
        e = assertThrows(AlarmException.class, () -> API.init("second", ALARM_LOG));
        assertEquals("init AlarmService already done", e.getMessage());
    }

    @Test
    @Order(4)
    void theServiceWithoutMisRefusesLogsAndLoads() throws AlarmException {
        AlarmException e = assertThrows(AlarmException.class, () -> API.addLogNameNative(ALARM_LOG));
        assertEquals(NO_MIS, e.getMessage());
        e = assertThrows(AlarmException.class,
                () -> API.getAlarmsNative(ALARM_LOG, null, AlarmDbFixture.allAttributes()));
        assertEquals("Error while loading alarms", e.getMessage());
        assertEquals(-1, API.getAlarmCountNative(ALARM_LOG, null));
        assertArrayEquals(new int[] {-1}, API.getAlarmCountBySeverityNative(ALARM_LOG, null,
                new NXSeverity[] {NXSeverity.MAJOR}));
        e = assertThrows(AlarmException.class, () -> API.deleteAlarmsNative(ALARM_LOG, ONE));
        assertEquals("Error: Failed to delete some alarms", e.getMessage());
    }
}
