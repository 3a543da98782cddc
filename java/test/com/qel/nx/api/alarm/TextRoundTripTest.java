package com.qel.nx.api.alarm;

import static com.qel.nx.api.alarm.AlarmDbFixture.where;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.qel.nx.api.common.MOName;
import com.qel.nx.api.common.NXSeverity;
import java.nio.charset.StandardCharsets;
import java.util.HexFormat;
import java.util.List;
import java.util.concurrent.BlockingQueue;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * Texts cross the library exactly: what Java hands in is stored as standard
 * UTF-8 and comes back as the same String through records, events and the
 * SQL text; what cannot be kept exactly (NUL, a half surrogate pair) or is
 * past its bound is refused with AlarmInputException, and nothing changes.
 * AlarmLog holds 12 major alarms, one minor alarm whose additional text holds
 * a 4-byte character, quotes and a backslash, and one warning of an object
 * whose name holds one.
 */
class TextRoundTripTest {
    private static final AlarmLogImpl API = new AlarmLogImpl();
    private static final String FACE = "\uD83D\uDE00";  // U+1F600, outside the Basic Multilingual Plane
    private static final String ADDITIONAL = "fan " + FACE + " \"hot\" c:\\temp 'x'";
    private static final String ODD_MOI = "/systemId=name:\"\u00fc" + FACE + "\"";
    /** Texts an operator may write, each to be stored and read back as written. */
    private static final String[] TEXTS = {
        "fan " + FACE, "\"urgent\"", "\" OR \"\"=\"", "back\\slash \\\" \\\\", "caf\u00e9 \u20ac \uDBFF\uDFFF", "",
    };
    private static final BlockingQueue<AlarmLogEvent> EVENTS = AlarmDbFixture.listen();

    private static AlarmDbFixture db;
    private static LogName log;
    private static String table;
    private static List<Integer> ids;
    private static int additional;
    private static int oddObject;
    private static int nextId;

    @BeforeAll
    static void fill() throws AlarmException {
        db = AlarmDbFixture.create();
        log = db.createLog("AlarmLog");
        ids = db.raise(log, "major", 12);
        additional = db.raise(log, "minor", AlarmDbFixture.MOI, "5", ADDITIONAL, 1).get(0);
        oddObject = db.raise(log, "warning", ODD_MOI, "5", "odd object", 1).get(0);
        table = db.table(log);
        API.init("texts", log);
    }

    /** A record of its own for each use, so that tests do not see each other's changes. */
    private static AlarmRecordId fresh() {
        return new AlarmRecordId(ids.get(nextId++));
    }

    private static AlarmRecord read(AlarmRecordId id) throws AlarmException {
        return AlarmDbFixture.readOne(API, log, id);
    }

    /** The upper-case hexadecimal bytes of a column of one record, as the database holds them. */
    private static String storedHex(String column, AlarmRecordId id) {
        return db.sql("SELECT " + textHexOf(column) + " FROM " + table + " WHERE logrecordid = " + id.intValue());
    }

    /** The engine's SQL for the upper-case hexadecimal bytes of a text column. */
    private static String textHexOf(String column) {
        return AlarmDbFixture.onPostgres() ? "upper(encode(convert_to(" + column + ", 'UTF8'), 'hex'))"
                : "hex(" + column + ")";
    }

    private static String hex(String text) {
        return HexFormat.of().withUpperCase().formatHex(text.getBytes(StandardCharsets.UTF_8));
    }

    /** assertEquals for texts too long to print whole: says where they part. */
    private static void assertSameText(String expected, String actual) {
        if (expected.equals(actual)) {
            return;
        }
        int at = 0;
        while (actual != null && at < Math.min(expected.length(), actual.length())
                && expected.charAt(at) == actual.charAt(at)) {
            at++;
        }
        assertTrue(false, "texts of " + expected.length() + " and " + (actual == null ? "no" : actual.length())
                + " characters part at " + at);
    }

    private static AlarmInputException refused(String reason, org.junit.jupiter.api.function.Executable call) {
        AlarmInputException e = assertThrows(AlarmInputException.class, call);
        assertTrue(e.getMessage().contains(reason), e.getMessage());
        return e;
    }

    @Test
    void operatorTextsAreStoredAsUtf8AndReadBackAsWritten() throws AlarmException {
        for (String text : TEXTS) {
            AlarmRecordId a = fresh();
            API.setAckAlarmsNative(log, new AlarmRecordId[] {a}, new String[] {text});
            API.setClearAlarmsNative(log, new AlarmRecordId[] {a}, new String[] {text + "c"});
            API.setDisplayAlarmsNative(log, new AlarmRecordId[] {a}, new String[] {text + "d"});
            AlarmRecord r = read(a);
            // An empty text reads as no text at all.
            assertEquals(text.isEmpty() ? null : text, r.ackText, text);
            assertEquals(text + "c", r.clearText);
            assertEquals(text + "d", r.displayText);
            assertEquals(hex(text), storedHex("acktext", a), text);
            assertEquals(hex(text + "d"), storedHex("displaytext", a), text);
            assertEquals(Boolean.TRUE, r.ackState);
        }
        assertEquals("66616E20F09F9880", hex(TEXTS[0]), "the 4-byte form, not two 3-byte halves");
    }

    @Test
    void megabyteTextsAreStoredWhole() throws AlarmException {
        StringBuilder sb = new StringBuilder();
        while (sb.length() < 1 << 20) {
            sb.append(FACE).append(" \"q\" \\ ' \u00e9 ");
        }
        String big = sb.toString();
        AlarmRecordId a = fresh();
        API.setAckAlarmsNative(log, new AlarmRecordId[] {a}, new String[] {big});
        API.setDisplayAlarmsNative(log, new AlarmRecordId[] {a}, new String[] {big + "!"});
        AlarmRecord r = read(a);
        assertSameText(big, r.ackText);
        assertSameText(big + "!", r.displayText);
        String octets = AlarmDbFixture.onPostgres() ? "octet_length(acktext)" : "length(CAST(acktext AS BLOB))";
        assertEquals(Integer.toString(big.getBytes(StandardCharsets.UTF_8).length),
                db.sql("SELECT " + octets + " FROM " + table + " WHERE logrecordid = " + a.intValue()));
    }

    @Test
    void unkeepableTextsAreRefusedAndChangeNothing() throws AlarmException {
        AlarmRecordId a = fresh();
        String[] bad = {"ack\u0000more", "half \uD83D", "\uDE00 low first", FACE.substring(1) + FACE.substring(0, 1)};
        for (String text : bad) {
            String reason = text.indexOf('\u0000') >= 0 ? "holds a NUL character" : "holds an unpaired surrogate";
            refused("an ack, clear or display text " + reason,
                    () -> API.setAckAlarmsNative(log, new AlarmRecordId[] {a}, new String[] {text}));
            refused(reason, () -> API.setClearAlarmsNative(log, new AlarmRecordId[] {a}, new String[] {text}));
            refused(reason, () -> API.setDisplayAlarmsNative(log, new AlarmRecordId[] {a}, new String[] {text}));
            GenericQuery q = where(AlarmRecordAttribute.ADDITIONAL_TEXT, RelationCriteria.EQUAL, text);
            refused("a filter value " + reason, () -> API.getAlarmsNative(log, q, AlarmDbFixture.allAttributes()));
            refused(reason, () -> API.getAlarmCountNative(log, q));
            refused(reason, () -> API.getSqlQueryNative(q));
            refused("a log name " + reason, () -> API.getAlarmCountNative(new LogName(db.misName(), text), null));
            refused("a MIS name " + reason, () -> API.setUnAckAlarmsNative(new LogName(text, "AlarmLog"),
                    new AlarmRecordId[] {a}));
            refused("a managed object name " + reason, () -> API.getAlarmCountBySeverityNative(log,
                    new MOName[] {new MOName(0, text)}, new NXSeverity[] {NXSeverity.MAJOR}));
        }
        // A refused text anywhere in the call changes none of its records.
        AlarmRecordId b = fresh();
        refused("holds a NUL character", () -> API.setAckAlarmsNative(log, new AlarmRecordId[] {b, a},
                new String[] {"fine", "not\u0000fine"}));
        assertNull(read(a).ackState);
        assertNull(read(b).ackState);
        assertEquals("", storedHex("acktext", b));
    }

    @Test
    void filtersFindTextsOutsideTheBasicPlaneAndTheSqlShowsThem() throws AlarmException {
        AlarmRecord[] found = API.getAlarmsNative(log, where(AlarmRecordAttribute.ADDITIONAL_TEXT,
                RelationCriteria.EQUAL, ADDITIONAL), AlarmDbFixture.allAttributes());
        assertEquals(1, found.length);
        assertEquals(additional, found[0].logRecordId.intValue());
        assertEquals(ADDITIONAL, found[0].additionalText);
        assertEquals(1, API.getAlarmCountNative(log, where(AlarmRecordAttribute.ADDITIONAL_TEXT,
                RelationCriteria.EQUAL, ADDITIONAL)));
        String sql = API.getSqlQueryNative(where(AlarmRecordAttribute.ADDITIONAL_TEXT, RelationCriteria.EQUAL,
                ADDITIONAL));
        assertEquals("additionalText = '" + ADDITIONAL.replace("'", "''") + "'", sql);
        String pattern = API.getSqlQueryNative(where(AlarmRecordAttribute.EVENT_TYPE, RelationCriteria.EQUAL,
                FACE + "*"));
        assertTrue(pattern.contains("'%" + FACE + "%'"), pattern);

        // A managed object named with one, by its name.
        int[] counts = API.getAlarmCountBySeverityNative(log, new MOName[] {new MOName(0, ODD_MOI)},
                new NXSeverity[] {NXSeverity.WARNING});
        assertEquals(1, counts[0]);
        AlarmRecord[] odd = API.getAlarmsNative(log, where(AlarmRecordAttribute.MANAGED_OBJECT_INSTANCE,
                RelationCriteria.EQUAL, new MOName(0, ODD_MOI)), AlarmDbFixture.allAttributes());
        assertEquals(1, odd.length);
        assertEquals(oddObject, odd[0].logRecordId.intValue());
        assertEquals(ODD_MOI, odd[0].managedObjectInstance.getMOName());
        assertEquals(hex(ODD_MOI), db.sql("SELECT DISTINCT " + textHexOf("moi_s") + " FROM " + table
                + " WHERE logrecordid = " + oddObject));
    }

    @Test
    void anAcksEventCarriesTheTextAsWritten() throws Exception {
        API.setEventAttrSetNative(AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID,
                AlarmRecordAttribute.ACK_TEXT, AlarmRecordAttribute.ACK_OPERATOR));
        AlarmRecordId a = fresh();
        String text = "\"seen " + FACE + " \\n\"";
        API.setAckAlarmsNative(log, new AlarmRecordId[] {a}, new String[] {text});
        AlarmRecord r = AlarmDbFixture.await(EVENTS, e -> e.getKind() == AlarmLogEvent.ATTR_VALUE_CHANGED
                && e.getRecord().logRecordId != null && e.getRecord().logRecordId.equals(a), "change of " + a)
                .getRecord();
        assertEquals(text, r.ackText);
        assertEquals(System.getProperty("user.name"), r.ackOperator);
    }

    @Test
    void inputsPastTheirBoundsAreRefusedNamingTheBound() throws AlarmException {
        String pattern = "x".repeat(60000);
        GenericQuery q = where(AlarmRecordAttribute.EVENT_TYPE, RelationCriteria.EQUAL, pattern);
        String bound = "a filter pattern on eventType makes a LIKE pattern of 60001 bytes";
        refused(bound, () -> API.getAlarmCountNative(log, q));
        refused("longer than the 50000 bytes the database matches", () -> API.getAlarmsNative(log, q,
                AlarmDbFixture.allAttributes()));
        refused(bound, () -> API.getSqlQueryNative(q));
        // Just within: the database takes it (and finds nothing).
        assertEquals(0, API.getAlarmCountNative(log, where(AlarmRecordAttribute.EVENT_TYPE, RelationCriteria.EQUAL,
                "*" + "x".repeat(49999))));

        AlarmRecordId a = fresh();
        String huge = "y".repeat((8 << 20) + 1);
        refused("an ack, clear or display text of 8388609 bytes (UTF-8) is longer than the 8388608 bytes allowed",
                () -> API.setAckAlarmsNative(log, new AlarmRecordId[] {a}, new String[] {huge}));
        LogName longLog = new LogName(db.misName(), "z".repeat(65535));
        refused("a log name of " + longLog.getFullLogName().length() + " bytes (UTF-8) is longer than the 65534",
                () -> API.getAlarmCountNative(longLog, null));
        assertNull(read(a).ackState);
    }
}
