package com.qel.nx.api.alarm;

import com.qel.nx.api.common.MOName;
import com.qel.nx.api.common.NXSeverity;
import java.util.Date;

/**
 * An alarm record as the native library returns it. Only the attributes that were
 * requested (see {@link #attrSet}) and present in the record are set; the others
 * stay null. States are {@link Boolean#TRUE} when acknowledged, cleared or
 * displayed and null otherwise.
 *
 * <p>The fields are public because the native library fills them by name.
 */
public class AlarmRecord {
    /** Operator who acknowledged the alarm. */
    public String ackOperator;
    /** Text given with the acknowledgement. */
    public String ackText;
    /** Operator who cleared the alarm. */
    public String clearOperator;
    /** Text given with the clearing. */
    public String clearText;
    /** Operator who displayed the alarm. */
    public String displayOperator;
    /** Text given with the display. */
    public String displayText;
    /** Additional text of the alarm. */
    public String additionalText;
    /** Type of the event that raised the alarm. */
    public String eventType;
    /** Probable cause of the alarm. */
    public String probableCause;
    /** TRUE when acknowledged. */
    public Boolean ackState;
    /** TRUE when cleared. */
    public Boolean clearState;
    /** TRUE when displayed. */
    public Boolean displayState;
    /** Time of the acknowledgement. */
    public Date ackTime;
    /** Time of the clearing. */
    public Date clearTime;
    /** Time of the display. */
    public Date displayTime;
    /** Time of the event. */
    public Date eventTime;
    /** Time the record was logged. */
    public Date loggingTime;
    /** The log the record belongs to. */
    public LogName logName;
    /** Identifier of the record within its log. */
    public AlarmRecordId logRecordId;
    /** The managed object that raised the alarm. */
    public MOName managedObjectInstance;
    /** Perceived severity; null when cleared or not known. */
    public NXSeverity perceivedSeverity;
    /** The attributes that were requested, or that an event carries. */
    public AlarmRecordAttributeSet attrSet;

    /** Creates a record with no attribute set. */
    public AlarmRecord() {
    }

    @Override
    public String toString() {
        StringBuilder sb = new StringBuilder("AlarmRecord{");
        int start = sb.length();
        append(sb, "logName", logName);
        append(sb, "logRecordId", logRecordId);
        append(sb, "managedObjectInstance", managedObjectInstance);
        append(sb, "perceivedSeverity", perceivedSeverity);
        append(sb, "eventType", eventType);
        append(sb, "probableCause", probableCause);
        append(sb, "eventTime", eventTime);
        append(sb, "loggingTime", loggingTime);
        append(sb, "additionalText", additionalText);
        append(sb, "ackState", ackState);
        append(sb, "ackOperator", ackOperator);
        append(sb, "ackText", ackText);
        append(sb, "ackTime", ackTime);
        append(sb, "clearState", clearState);
        append(sb, "clearOperator", clearOperator);
        append(sb, "clearText", clearText);
        append(sb, "clearTime", clearTime);
        append(sb, "displayState", displayState);
        append(sb, "displayOperator", displayOperator);
        append(sb, "displayText", displayText);
        append(sb, "displayTime", displayTime);
        if (sb.length() > start) {
            sb.setLength(sb.length() - 2);
        }
        return sb.append('}').toString();
    }

    private static void append(StringBuilder sb, String name, Object value) {
        if (value != null) {
            sb.append(name).append('=').append(value).append(", ");
        }
    }
}
