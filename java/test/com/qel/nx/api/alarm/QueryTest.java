package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;

import com.qel.nx.api.common.MOName;
import com.qel.nx.api.common.NXSeverity;
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
    void malformedTimeTextsAreRefused() {
        for (String bad : new String[] {"2001020304050", "200102030405060", "2001-02-03 04:0", "", "2001O203040506"}) {
            assertThrows(IllegalArgumentException.class,
                    () -> new FilterItem(AlarmRecordAttribute.ACK_TIME, RelationCriteria.LESS_THAN, bad), bad);
        }
        assertThrows(IllegalArgumentException.class,
                () -> new FilterItem(AlarmRecordAttribute.LOGGING_TIME, RelationCriteria.EQUAL, 20010203040506L));
    }

    @Test
    void valuesMustHaveTheTypeTheNativeSideReads() {
        MOName mo = new MOName(12, "");
        FilterItem byMo = new FilterItem(AlarmRecordAttribute.MANAGED_OBJECT_INSTANCE, RelationCriteria.EQUAL,
                mo, new MOName(0, "/a=b"));
        assertSame(mo, byMo.getAttrValue()[0]);
        assertThrows(IllegalArgumentException.class,
                () -> new FilterItem(AlarmRecordAttribute.MANAGED_OBJECT_INSTANCE, RelationCriteria.EQUAL, "/a=b"));

        FilterItem bySeverity = new FilterItem(AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL,
                NXSeverity.MAJOR, new NXSeverity(NXSeverity.CLEARED_ID));
        assertArrayEquals(new Object[] {NXSeverity.MAJOR, NXSeverity.CLEARED}, bySeverity.getAttrValue());
        assertThrows(IllegalArgumentException.class,
                () -> new FilterItem(AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL, "major"));
        assertThrows(IllegalArgumentException.class,
                () -> new FilterItem(AlarmRecordAttribute.PERCEIVED_SEVERITY, RelationCriteria.EQUAL,
                        new NXSeverity(-40)));

        assertThrows(IllegalArgumentException.class,
                () -> new FilterItem(AlarmRecordAttribute.ACK_OPERATOR, RelationCriteria.EQUAL, 7));
        assertThrows(NullPointerException.class,
                () -> new FilterItem(AlarmRecordAttribute.ACK_OPERATOR, RelationCriteria.EQUAL, "a", null));
    }

    @Test
    void recordIdValuesBecomeDecimalTexts() {
        FilterItem item = new FilterItem(AlarmRecordAttribute.LOG_RECORD_ID, RelationCriteria.GREATER_THAN,
                new AlarmRecordId(77), 5, "0012");
        assertArrayEquals(new Object[] {"77", "5", "12"}, item.getAttrValue());
        assertThrows(IllegalArgumentException.class,
                () -> new FilterItem(AlarmRecordAttribute.LOG_RECORD_ID, RelationCriteria.EQUAL, "12 OR 1=1"));
        assertThrows(IllegalArgumentException.class,
                () -> new FilterItem(AlarmRecordAttribute.LOG_RECORD_ID, RelationCriteria.EQUAL, -1));
    }

    @Test
    void itemsThatWouldWidenOrBreakTheQueryAreRefused() {
        // An item without values adds no condition, so it would select more than asked.
        assertThrows(IllegalArgumentException.class,
                () -> new FilterItem(AlarmRecordAttribute.ACK_STATE, RelationCriteria.EQUAL));
        // The log name has no column to compare.
        assertThrows(IllegalArgumentException.class,
                () -> new FilterItem(AlarmRecordAttribute.LOG_NAME, RelationCriteria.EQUAL, "x"));
        // Patterns only match or do not match.
        assertThrows(IllegalArgumentException.class,
                () -> new FilterItem(AlarmRecordAttribute.EVENT_TYPE, RelationCriteria.LESS_THAN, "a*"));
        assertThrows(IllegalArgumentException.class,
                () -> new FilterItem(AlarmRecordAttribute.MANAGED_OBJECT_CLASS, RelationCriteria.GREATER_THAN, "r"));
        // State shortcuts ignore values, so values given with them would be silently lost.
        assertThrows(IllegalArgumentException.class,
                () -> new FilterItem(AlarmRecordAttribute.OPEN, RelationCriteria.EQUAL, "true"));
        assertThrows(IllegalArgumentException.class,
                () -> new FilterItem(AlarmRecordAttribute.ACKED, RelationCriteria.GREATER_THAN));
        assertEquals(0, new FilterItem(AlarmRecordAttribute.ACKED_AND_CLEARED, RelationCriteria.NOT_EQUAL)
                .getAttrValue().length);
        assertEquals(1, new FilterItem(AlarmRecordAttribute.EVENT_TYPE, RelationCriteria.NOT_EQUAL, "%link_down")
                .getAttrValue().length);
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
