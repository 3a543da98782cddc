package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.nx.api.common.NXSeverity;
import java.util.HashSet;
import java.util.List;
import java.util.Set;
import org.junit.jupiter.api.Test;

/** The text forms the native library reads from and builds with the value types. */
class ValueFormatsTest {
    @Test
    void logNameWithTextId() {
        LogName name = new LogName("alpha", "AlarmLog");
        assertEquals("alpha", name.getMisName());
        assertEquals("string:\"AlarmLog\"", name.toString());
        assertEquals("/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"", name.getFullLogName());
        assertFalse(name.isNumeric());
        assertEquals("AlarmLog", name.getLogId());
    }

    @Test
    void logNameWithNumberId() {
        LogName name = new LogName("mis1", 3);
        assertEquals("mis1", name.getMisName());
        assertEquals("number:3", name.toString());
        assertEquals("/systemId=name:\"mis1\"/logId=number:3", name.getFullLogName());
        assertTrue(name.isNumeric());
        assertEquals("number:-7", new LogName("mis1", -7).toString());
    }

    @Test
    void logNameEqualityKeepsTextAndNumberIdsApart() {
        assertEquals(new LogName("m", 3), new LogName("m", 3));
        assertEquals(new LogName("m", 3).hashCode(), new LogName("m", 3).hashCode());
        assertEquals(new LogName("m", "x"), new LogName("m", "x"));
        assertNotEquals(new LogName("m", 3), new LogName("m", "3"));
        assertNotEquals(new LogName("m", "x"), new LogName("n", "x"));
    }

    @Test
    void logNameRefusesTextsTheNotationCannotHold() {
        assertThrows(IllegalArgumentException.class, () -> new LogName("a\"b", "log"));
        assertThrows(IllegalArgumentException.class, () -> new LogName("mis", "lo\"g"));
        assertThrows(IllegalArgumentException.class, () -> new LogName("a\"", 1));
        assertThrows(NullPointerException.class, () -> new LogName(null, "log"));
        assertThrows(NullPointerException.class, () -> new LogName("mis", (String) null));
    }

    @Test
    void recordIdForms() {
        AlarmRecordId id = new AlarmRecordId(1234);
        assertEquals("1234", id.toString());
        assertEquals("number:1234", id.getAlarmFullName());
        assertEquals(1234, id.intValue());
        assertEquals("number:0", new AlarmRecordId(0).getAlarmFullName());
        assertEquals(new AlarmRecordId(5), new AlarmRecordId(5));
        assertNotEquals(new AlarmRecordId(5), new AlarmRecordId(6));
    }

    @Test
    void severityIdsAreDistinctAndNamed() {
        List<Integer> ids = List.of(NXSeverity.CRITICAL_ID, NXSeverity.MAJOR_ID, NXSeverity.MINOR_ID,
                NXSeverity.WARNING_ID, NXSeverity.INDETERMINATE_ID, NXSeverity.CLEARED_ID);
        Set<Integer> distinct = new HashSet<>(ids);
        assertEquals(6, distinct.size(), "severity ids must be distinct: " + ids);

        assertEquals("major", new NXSeverity(NXSeverity.MAJOR_ID).getName());
        assertEquals(NXSeverity.MAJOR, new NXSeverity(NXSeverity.MAJOR_ID));
        for (int id : ids) {
            assertTrue(new NXSeverity(id).isKnown());
        }
    }
}
