package com.qel.nx.api.alarm;

import static com.qel.nx.api.alarm.AlarmRecordAttribute.*;
import static com.qel.nx.api.alarm.RelationCriteria.*;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;

import com.qel.nx.api.common.MOName;
import com.qel.nx.api.common.NXSeverity;
import java.util.Arrays;
import java.util.Calendar;
import java.util.Collections;
import java.util.Enumeration;
import java.util.List;
import org.junit.jupiter.api.Test;

/** Filter items check and normalise their values; filters and queries keep order. */
class QueryTest {
    /** The codes the native side reads through intValue(). */
    @Test
    void criteriaCodes() {
        RelationCriteria[] relations = {RelationCriteria.EQUAL, RelationCriteria.NOT_EQUAL,
            RelationCriteria.GREATER_THAN, RelationCriteria.GREATER_THAN_OR_EQUAL, RelationCriteria.LESS_THAN,
            RelationCriteria.LESS_THAN_OR_EQUAL};
        for (int code = 0; code < relations.length; code++) {
            assertEquals(code, relations[code].intValue(), relations[code]::toString);
        }
        assertEquals(List.of(0, 1), List.of(LogicalCriteria.OR.intValue(), LogicalCriteria.AND.intValue()));
    }

    @Test
    void timeValuesBecomeLocalFourteenDigitTexts() {
        Calendar c = Calendar.getInstance();
        c.clear();
        c.set(2001, Calendar.FEBRUARY, 3, 4, 5, 6);
        FilterItem item = new FilterItem(AlarmRecordAttribute.EVENT_TIME, RelationCriteria.GREATER_THAN_OR_EQUAL,
                c.getTime(), "20001231235959");
        assertArrayEquals(new Object[] {"20010203040506", "20001231235959"}, item.getAttrValue());
        assertSame(AlarmRecordAttribute.EVENT_TIME, item.getAttrName());
        assertSame(RelationCriteria.GREATER_THAN_OR_EQUAL, item.getRelation());
    }

    @Test
    void valuesKeepTheTypeTheNativeSideReads() {
        MOName mo = new MOName(12, "");
        assertSame(mo, new FilterItem(MANAGED_OBJECT_INSTANCE, EQUAL, mo, new MOName(0, "/a=b")).getAttrValue()[0]);
        assertArrayEquals(new Object[] {NXSeverity.MAJOR, NXSeverity.CLEARED}, new FilterItem(PERCEIVED_SEVERITY, EQUAL,
                NXSeverity.MAJOR, new NXSeverity(NXSeverity.CLEARED_ID)).getAttrValue());
        assertArrayEquals(new Object[] {"77", "5", "12"},
                new FilterItem(LOG_RECORD_ID, GREATER_THAN, new AlarmRecordId(77), 5, "0012").getAttrValue());
        assertEquals(0, new FilterItem(ACKED_AND_CLEARED, NOT_EQUAL).getAttrValue().length);
        assertEquals(1, new FilterItem(EVENT_TYPE, NOT_EQUAL, "%link_down").getAttrValue().length);
    }

    @Test
    void itemsThatWouldWidenOrBreakTheQueryAreRefused() {
        Object[][] refused = {  // attribute, relation, values
            // Malformed time texts, and a number where a time text belongs.
            {ACK_TIME, LESS_THAN, "2001020304050"}, {ACK_TIME, LESS_THAN, "200102030405060"},
            {ACK_TIME, LESS_THAN, "2001-02-03 04:0"}, {ACK_TIME, LESS_THAN, ""}, {ACK_TIME, LESS_THAN, "2001O203040506"},
            {LOGGING_TIME, EQUAL, 20010203040506L},
            // Values of another type than the native side reads, or out of range.
            {MANAGED_OBJECT_INSTANCE, EQUAL, "/a=b"}, {PERCEIVED_SEVERITY, EQUAL, "major"},
            {PERCEIVED_SEVERITY, EQUAL, new NXSeverity(-40)}, {ACK_OPERATOR, EQUAL, 7},
            {LOG_RECORD_ID, EQUAL, "12 OR 1=1"}, {LOG_RECORD_ID, EQUAL, -1},
            // An item without values adds no condition, so it would select more than asked.
            {ACK_STATE, EQUAL},
            // The log name has no column to compare.
            {LOG_NAME, EQUAL, "x"},
            // Patterns only match or do not match.
            {EVENT_TYPE, LESS_THAN, "a*"}, {MANAGED_OBJECT_CLASS, GREATER_THAN, "r"},
            // State shortcuts ignore values, so values given with them would be silently lost.
            {OPEN, EQUAL, "true"}, {ACKED, GREATER_THAN},
        };
        for (Object[] c : refused) {
            Object[] values = Arrays.copyOfRange(c, 2, c.length);
            assertThrows(IllegalArgumentException.class,
                    () -> new FilterItem((AlarmRecordAttribute) c[0], (RelationCriteria) c[1], values), Arrays.toString(c));
        }
        assertThrows(NullPointerException.class, () -> new FilterItem(ACK_OPERATOR, EQUAL, "a", null));
    }

    @Test
    void itemValuesCannotBeChangedFromOutside() {
        String[] values = {"alice", "bob"};
        FilterItem item = new FilterItem(AlarmRecordAttribute.ACK_OPERATOR, RelationCriteria.EQUAL, (Object[]) values);
        values[0] = "mallory";
        item.getAttrValue()[1] = "mallory";
        assertArrayEquals(new Object[] {"alice", "bob"}, item.getAttrValue());
    }

    @Test
    void filtersAndQueriesKeepOrderAndOperators() {
        FilterItem a = new FilterItem(AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL,
                NXSeverity.CRITICAL);
        FilterItem b = new FilterItem(AlarmRecordAttribute.OPEN, RelationCriteria.EQUAL);
        Filter first = new Filter(LogicalCriteria.OR).add(a).add(b);
        Filter empty = new Filter(LogicalCriteria.AND);
        GenericQuery query = new GenericQuery(LogicalCriteria.AND).add(first).add(empty);

        assertSame(LogicalCriteria.AND, query.getLogicalCriteria());
        assertSame(LogicalCriteria.OR, first.getLogicalCriteria());
        assertEquals(List.of(first, empty), Collections.list(query.elements()));
        assertEquals(List.of(a, b), Collections.list(first.elements()));
        assertEquals(List.of(), Collections.list(empty.elements()));

        Enumeration<FilterItem> walk = first.elements();
        first.add(a);
        assertEquals(2, Collections.list(walk).size(), "an enumeration must not see later additions");
        assertThrows(NullPointerException.class, () -> first.add(null));
        assertThrows(NullPointerException.class, () -> query.add(null));
        assertThrows(NullPointerException.class, () -> new Filter(null));
    }
}
