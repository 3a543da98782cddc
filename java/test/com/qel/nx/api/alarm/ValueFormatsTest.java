package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.nx.api.common.NXSeverity;
import java.util.HashSet;
import java.util.List;
import org.junit.jupiter.api.Test;

/** The text forms the native library reads from and builds with the value types. */
class ValueFormatsTest {
    @Test
    void logNamesInTheirNotation() {
        Object[][] cases = {
            {new LogName("alpha", "AlarmLog"), "string:\"AlarmLog\"",
                "/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"", false},
            {new LogName("mis1", 3), "number:3", "/systemId=name:\"mis1\"/logId=number:3", true},
            {new LogName("mis1", -7), "number:-7", "/systemId=name:\"mis1\"/logId=number:-7", true},
        };
        for (Object[] c : cases) {
            LogName name = (LogName) c[0];
            assertEquals(c[1], name.toString());
            assertEquals(c[2], name.getFullLogName());
            assertEquals(c[3], name.isNumeric(), name::toString);
        }
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
        assertEquals("1234", new AlarmRecordId(1234).toString());
        assertEquals("number:1234", new AlarmRecordId(1234).getAlarmFullName());
        assertEquals("number:0", new AlarmRecordId(0).getAlarmFullName());
        assertEquals(new AlarmRecordId(5), new AlarmRecordId(5));
        assertNotEquals(new AlarmRecordId(5), new AlarmRecordId(6));
    }

    @Test
    void severityIdsAreDistinctAndKnown() {
        List<Integer> ids = List.of(NXSeverity.CRITICAL_ID, NXSeverity.MAJOR_ID, NXSeverity.MINOR_ID,
                NXSeverity.WARNING_ID, NXSeverity.INDETERMINATE_ID, NXSeverity.CLEARED_ID);
        assertEquals(6, new HashSet<>(ids).size(), "severity ids must be distinct: " + ids);
        ids.forEach(id -> assertTrue(new NXSeverity(id).isKnown()));
        assertEquals("major", new NXSeverity(NXSeverity.MAJOR_ID).getName());
        assertEquals(NXSeverity.MAJOR, new NXSeverity(NXSeverity.MAJOR_ID));
    }
}
