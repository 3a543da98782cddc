package com.qel.nx.cli;

import com.qel.nx.api.alarm.AlarmRecord;
import com.qel.nx.api.alarm.AlarmRecordAttribute;
import com.qel.nx.api.alarm.AlarmRecordAttributeSet;
import java.text.SimpleDateFormat;
import java.time.ZoneId;
import java.time.format.DateTimeFormatter;
import java.util.ArrayList;
import java.util.Date;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/** How records read on screen and in files: field texts, the state word, the table layout. */
public final class RecordView {
    private RecordView() {
    }

    /** Every attribute a record can carry, for retrievals that show whole records. */
    public static AlarmRecordAttributeSet allAttributes() {
        AlarmRecordAttributeSet set = new AlarmRecordAttributeSet();
        for (AlarmRecordAttribute a : AlarmRecordAttribute.values()) {
            if (a.isRecordAttribute()) {
                set.add(a);
            }
        }
        return set;
    }

    public static String time(Date d) {
        return d == null ? "" : new SimpleDateFormat("yyyy-MM-dd HH:mm:ss").format(d);
    }

    /** ISO 8601 with the offset of the zone the times were read in: 2026-12-06T15:24:16.000+00:00. */
    private static final DateTimeFormatter ISO = DateTimeFormatter.ofPattern("uuuu-MM-dd'T'HH:mm:ss.SSSxxx");

    static String isoTime(Date d) {
        return d == null ? null : ISO.format(d.toInstant().atZone(ZoneId.systemDefault()));
    }

    public static String id(AlarmRecord r) {
        return r.logRecordId == null ? "" : r.logRecordId.toString();
    }

    public static String severity(AlarmRecord r) {
        return r.perceivedSeverity == null ? "-" : r.perceivedSeverity.getName();
    }

    /** "open", "acked", "cleared" or "acked+cleared", with "+shown" when displayed. */
    public static String state(AlarmRecord r) {
        boolean acked = Boolean.TRUE.equals(r.ackState);
        boolean cleared = Boolean.TRUE.equals(r.clearState);
        String s = acked && cleared ? "acked+cleared" : acked ? "acked" : cleared ? "cleared" : "open";
        return Boolean.TRUE.equals(r.displayState) ? s + "+shown" : s;
    }

    public static String managedObject(AlarmRecord r) {
        return r.managedObjectInstance == null ? "" : r.managedObjectInstance.getMOName();
    }

    /**
     * A name without its value notation, for reading on screen:
     * /systemId=name:"paris"/linkId=string:"l1" becomes /systemId=paris/linkId=l1.
     */
    public static String compactName(String name) {
        return name.replaceAll("=(?:name|string):\"([^\"]*)\"", "=$1").replaceAll("=number:(\\d+)", "=$1");
    }

    /** An event type without its registry prefix: "...:equipmentAlarm" becomes "equipmentAlarm". */
    public static String shortType(String type) {
        if (type == null) {
            return "";
        }
        int colon = type.lastIndexOf(':');
        return colon < 0 ? type : type.substring(colon + 1).trim();
    }

    /** A text without the quotes of value notation, which events keep. */
    public static String unquoted(String s) {
        if (s == null) {
            return "";
        }
        return s.length() >= 2 && s.startsWith("\"") && s.endsWith("\"") ? s.substring(1, s.length() - 1) : s;
    }

    public static String text(String s) {
        return s == null ? "" : s;
    }

    /** A text field as a person reads it: a string value kept in its encoding becomes its text. */
    public static String readable(String s) {
        return ValueTexts.readable(s);
    }

    /** The probable cause by its standard name ("thresholdCrossed"), or its number when it has none. */
    public static String cause(AlarmRecord r) {
        return ProbableCauses.readable(r.probableCause);
    }

    /** The table of records as operators read it. */
    public static Table table(List<AlarmRecord> records) {
        Table t = new Table().number("ID").column("SEVERITY", 0).column("STATE", 0).column("EVENT TYPE", 24)
                .column("CAUSE", 24).column("MANAGED OBJECT", 50).column("EVENT TIME", 0).column("TEXT", 36);
        for (AlarmRecord r : records) {
            t.row(id(r), severity(r), state(r), text(r.eventType), text(cause(r)), compactName(managedObject(r)),
                    time(r.eventTime), text(readable(r.additionalText)));
        }
        return t;
    }

    /**
     * The record's fields by name, in a fixed order, for CSV and JSON; absent
     * fields are null. Probable causes and texts are shown readable; the record
     * itself keeps what the library stored.
     */
    static Map<String, Object> fields(AlarmRecord r) {
        Map<String, Object> m = new LinkedHashMap<>();
        m.put("id", r.logRecordId == null ? null : r.logRecordId.intValue());
        m.put("log", r.logName == null ? null : r.logName.getLogId());
        m.put("severity", r.perceivedSeverity == null ? null : r.perceivedSeverity.getName());
        m.put("eventType", r.eventType);
        m.put("probableCause", cause(r));
        m.put("managedObject", r.managedObjectInstance == null ? null : r.managedObjectInstance.getMOName());
        m.put("eventTime", isoTime(r.eventTime));
        m.put("loggingTime", isoTime(r.loggingTime));
        m.put("additionalText", readable(r.additionalText));
        m.put("acked", Boolean.TRUE.equals(r.ackState));
        m.put("ackOperator", readable(r.ackOperator));
        m.put("ackTime", isoTime(r.ackTime));
        m.put("ackText", readable(r.ackText));
        m.put("cleared", Boolean.TRUE.equals(r.clearState));
        m.put("clearOperator", readable(r.clearOperator));
        m.put("clearTime", isoTime(r.clearTime));
        m.put("clearText", readable(r.clearText));
        m.put("displayed", Boolean.TRUE.equals(r.displayState));
        m.put("displayOperator", readable(r.displayOperator));
        m.put("displayTime", isoTime(r.displayTime));
        m.put("displayText", readable(r.displayText));
        return m;
    }

    /**
     * The attributes an event carries, as "name=value" words: the record's
     * attribute set says which were given, so unset ones are not shown as cleared.
     */
    public static String changes(AlarmRecord r) {
        List<String> words = new ArrayList<>();
        Map<String, Object> f = fields(r);
        if (r.attrSet == null) {
            return "";
        }
        for (Object o : r.attrSet.toList()) {
            AlarmRecordAttribute a = (AlarmRecordAttribute) o;
            String v = eventValue(a, r, f);
            if (v != null) {
                words.add(a + "=" + v);
            }
        }
        return String.join(" ", words);
    }

    private static String eventValue(AlarmRecordAttribute a, AlarmRecord r, Map<String, Object> f) {
        switch (a) {
            case ACK_STATE: return r.ackState == null ? "unAcked" : "acked";
            case CLEAR_STATE: return r.clearState == null ? "unCleared" : "cleared";
            case DISPLAY_STATE: return r.displayState == null ? "unDisplayed" : "displayed";
            case ACK_TIME: return time(r.ackTime);
            case CLEAR_TIME: return time(r.clearTime);
            case DISPLAY_TIME: return time(r.displayTime);
            case EVENT_TIME: return time(r.eventTime);
            case LOGGING_TIME: return time(r.loggingTime);
            case LOG_RECORD_ID:
            case LOG_NAME:
                return null;
            case PERCEIVED_SEVERITY: return severity(r);
            case MANAGED_OBJECT_INSTANCE: return managedObject(r);
            case ACK_OPERATOR: return quoted(r.ackOperator);
            case ACK_TEXT: return quoted(r.ackText);
            case CLEAR_OPERATOR: return quoted(r.clearOperator);
            case CLEAR_TEXT: return quoted(r.clearText);
            case DISPLAY_OPERATOR: return quoted(r.displayOperator);
            case DISPLAY_TEXT: return quoted(r.displayText);
            case ADDITIONAL_TEXT: return quoted(readable(unquoted(r.additionalText)));
            case EVENT_TYPE: return shortType(r.eventType);
            case PROBABLE_CAUSE: return cause(r);
            default: {
                Object v = f.get(a.toString());
                return v == null ? null : v.toString();
            }
        }
    }

    private static String quoted(String s) {
        return "\"" + unquoted(s) + "\"";
    }
}
