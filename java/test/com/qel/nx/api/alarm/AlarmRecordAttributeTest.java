package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.nx.api.common.NXObjectAttribute;
import java.util.Collections;
import java.util.HashSet;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import org.junit.jupiter.api.Test;

/** Attribute codes and texts (which the native library translates) and attribute sets. */
class AlarmRecordAttributeTest {
    /** Code to name text as the native translation table expects them. */
    private static final Map<String, Integer> RECORD_CODES = new LinkedHashMap<>();

    static {
        String[] names = {"ackOperator", "ackState", "ackText", "ackTime", "clearOperator", "clearState",
            "clearText", "clearTime", "displayOperator", "displayState", "displayText", "displayTime",
            "eventTime", "eventType", "loggingTime", "logRecordId", "managedObjectInstance",
            "perceivedSeverity", "probableCause", "additionalText"};
        for (int i = 0; i < names.length; i++) {
            RECORD_CODES.put(names[i], i);
        }
    }

    @Test
    void recordAttributeCodesMatchTheNativeTable() {
        for (Map.Entry<String, Integer> e : RECORD_CODES.entrySet()) {
            AlarmRecordAttribute a = AlarmRecordAttribute.fromText(e.getKey());
            assertEquals((int) e.getValue(), a.intValue(), e.getKey());
            assertTrue(a.isRecordAttribute());
            assertTrue(a.isFilterable());
        }
        assertEquals(20, AlarmRecordAttribute.LOG_NAME.intValue());
        assertTrue(AlarmRecordAttribute.LOG_NAME.isRecordAttribute());
        assertFalse(AlarmRecordAttribute.LOG_NAME.isFilterable());
    }

    @Test
    void filterOnlyAttributesUseTheTextsTheSqlBuilderKnows() {
        Map<AlarmRecordAttribute, String> texts = Map.of(AlarmRecordAttribute.MANAGED_OBJECT_CLASS,
                "managedObjectClass", AlarmRecordAttribute.OPEN, "open", AlarmRecordAttribute.ACKED, "acked",
                AlarmRecordAttribute.CLEARED, "cleared", AlarmRecordAttribute.ACKED_AND_CLEARED, "acked_and_cleared");
        texts.forEach((a, text) -> {
            assertEquals(text, a.toString());
            assertTrue(a.intValue() >= 21, a + " must not collide with a record attribute code");
            assertFalse(a.isRecordAttribute());
            assertTrue(a.isFilterable());
        });
    }

    @Test
    void codesAndTextsAreUniqueAndRoundTrip() {
        Set<Integer> codes = new HashSet<>();
        Set<String> texts = new HashSet<>();
        for (AlarmRecordAttribute a : AlarmRecordAttribute.values()) {
            assertTrue(codes.add(a.intValue()), "duplicate code " + a.intValue());
            assertTrue(texts.add(a.toString()), "duplicate text " + a);
            assertSame(a, AlarmRecordAttribute.fromCode(a.intValue()));
            assertSame(a, AlarmRecordAttribute.fromText(a.toString()));
        }
        assertThrows(IllegalArgumentException.class, () -> AlarmRecordAttribute.fromCode(-1));
        assertThrows(IllegalArgumentException.class,
                () -> AlarmRecordAttribute.fromCode(AlarmRecordAttribute.values().length));
        assertThrows(IllegalArgumentException.class, () -> AlarmRecordAttribute.fromText("AckState"));
    }

    @Test
    void attributeSetKeepsFirstInsertionOrderWithoutDuplicates() {
        AlarmRecordAttributeSet set = new AlarmRecordAttributeSet();
        set.add(AlarmRecordAttribute.LOG_RECORD_ID);
        set.add(AlarmRecordAttribute.ACK_STATE);
        set.add(AlarmRecordAttribute.LOG_RECORD_ID);
        set.add(AlarmRecordAttribute.LOG_NAME);
        assertEquals(List.of(AlarmRecordAttribute.LOG_RECORD_ID, AlarmRecordAttribute.ACK_STATE,
                AlarmRecordAttribute.LOG_NAME), Collections.list(set.elements()));
        assertEquals(3, set.size());
        assertTrue(set.contains(AlarmRecordAttribute.ACK_STATE));
        assertFalse(set.contains(AlarmRecordAttribute.ACK_TEXT));
        assertFalse(set.contains(null));
        assertTrue(set.remove(AlarmRecordAttribute.ACK_STATE));
        assertEquals(List.of(AlarmRecordAttribute.LOG_RECORD_ID, AlarmRecordAttribute.LOG_NAME), set.toList());
    }

    @Test
    void attributeSetRefusesWhatRecordsCannotCarry() {
        AlarmRecordAttributeSet set = new AlarmRecordAttributeSet();
        assertThrows(IllegalArgumentException.class, () -> set.add(AlarmRecordAttribute.OPEN));
        assertThrows(IllegalArgumentException.class, () -> set.add(AlarmRecordAttribute.MANAGED_OBJECT_CLASS));
        NXObjectAttribute foreign = () -> 3;
        assertThrows(IllegalArgumentException.class, () -> set.add(foreign));
        assertThrows(NullPointerException.class, () -> set.add(null));
        assertTrue(set.isEmpty());
        assertThrows(IllegalArgumentException.class,
                () -> AlarmRecordAttributeSet.of(AlarmRecordAttribute.ACK_STATE, AlarmRecordAttribute.CLEARED));
    }
}
