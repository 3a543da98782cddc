package com.qel.nx.api.alarm;

import com.qel.nx.api.common.NXObjectAttribute;

/**
 * The attributes of an alarm record that the client API knows, with the codes the
 * native library translates.
 *
 * <p>Codes 0 to 20 are record attributes: they can be requested in an
 * {@link AlarmRecordAttributeSet} and used in a {@link FilterItem} (except
 * {@link #LOG_NAME}, which names the log a record came from and has no column to
 * filter on). Codes 21 and above exist only in filters: {@link #MANAGED_OBJECT_CLASS}
 * and the state shortcuts {@link #OPEN}, {@link #ACKED}, {@link #CLEARED} and
 * {@link #ACKED_AND_CLEARED}.
 *
 * <p>{@link #toString()} gives the attribute's name text as the native library
 * and the alarm database use it.
 */
public enum AlarmRecordAttribute implements NXObjectAttribute {
    /** Operator who acknowledged the alarm. */
    ACK_OPERATOR(0, "ackOperator", ValueKind.TEXT),
    /** Acknowledge state ("acked" or "unAcked"). */
    ACK_STATE(1, "ackState", ValueKind.TEXT),
    /** Text given with the acknowledgement. */
    ACK_TEXT(2, "ackText", ValueKind.TEXT),
    /** Time of the acknowledgement. */
    ACK_TIME(3, "ackTime", ValueKind.TIME),
    /** Operator who cleared the alarm. */
    CLEAR_OPERATOR(4, "clearOperator", ValueKind.TEXT),
    /** Clear state ("cleared" or "unCleared"). */
    CLEAR_STATE(5, "clearState", ValueKind.TEXT),
    /** Text given with the clearing. */
    CLEAR_TEXT(6, "clearText", ValueKind.TEXT),
    /** Time of the clearing. */
    CLEAR_TIME(7, "clearTime", ValueKind.TIME),
    /** Operator who displayed the alarm. */
    DISPLAY_OPERATOR(8, "displayOperator", ValueKind.TEXT),
    /** Display state ("displayed" or "unDisplayed"). */
    DISPLAY_STATE(9, "displayState", ValueKind.TEXT),
    /** Text given with the display. */
    DISPLAY_TEXT(10, "displayText", ValueKind.TEXT),
    /** Time of the display. */
    DISPLAY_TIME(11, "displayTime", ValueKind.TIME),
    /** Time of the event that raised the alarm. */
    EVENT_TIME(12, "eventTime", ValueKind.TIME),
    /** Type of the event; filter values are patterns ({@code *} matches any text). */
    EVENT_TYPE(13, "eventType", ValueKind.PATTERN),
    /** Time the record was logged. */
    LOGGING_TIME(14, "loggingTime", ValueKind.TIME),
    /** Identifier of the record within its log. */
    LOG_RECORD_ID(15, "logRecordId", ValueKind.RECORD_ID),
    /** The managed object that raised the alarm. */
    MANAGED_OBJECT_INSTANCE(16, "managedObjectInstance", ValueKind.MO_NAME),
    /** Perceived severity of the alarm. */
    PERCEIVED_SEVERITY(17, "perceivedSeverity", ValueKind.SEVERITY),
    /** Probable cause of the alarm. */
    PROBABLE_CAUSE(18, "probableCause", ValueKind.TEXT),
    /** Additional text of the alarm. */
    ADDITIONAL_TEXT(19, "additionalText", ValueKind.TEXT),
    /** The log the record belongs to; requested in attribute sets, not filterable. */
    LOG_NAME(20, "logName", ValueKind.NONE),
    /** Filter only: class of the managed object; values are patterns. */
    MANAGED_OBJECT_CLASS(21, "managedObjectClass", ValueKind.PATTERN),
    /** Filter only: neither acknowledged nor cleared. */
    OPEN(22, "open", ValueKind.STATE),
    /** Filter only: acknowledged and not cleared. */
    ACKED(23, "acked", ValueKind.STATE),
    /** Filter only: cleared and not acknowledged. */
    CLEARED(24, "cleared", ValueKind.STATE),
    /** Filter only: acknowledged and cleared. */
    ACKED_AND_CLEARED(25, "acked_and_cleared", ValueKind.STATE);

    /** What a filter on the attribute takes as values. */
    enum ValueKind {
        /** Strings compared as they are. */
        TEXT,
        /** Times: {@link java.util.Date} or fourteen-digit local time text. */
        TIME,
        /** Strings with {@code *} wildcards; only EQUAL and NOT_EQUAL. */
        PATTERN,
        /** {@link AlarmRecordId}, a non-negative number or its decimal text. */
        RECORD_ID,
        /** {@link com.qel.nx.api.common.MOName}. */
        MO_NAME,
        /** {@link com.qel.nx.api.common.NXSeverity}. */
        SEVERITY,
        /** No values; only EQUAL and NOT_EQUAL. */
        STATE,
        /** Not filterable. */
        NONE
    }

    private static final AlarmRecordAttribute[] BY_CODE = values();

    private final int code;
    private final String text;
    private final ValueKind valueKind;

    AlarmRecordAttribute(int code, String text, ValueKind valueKind) {
        this.code = code;
        this.text = text;
        this.valueKind = valueKind;
    }

    /**
     * Returns the attribute's code.
     *
     * @return the code (0 to 25)
     */
    @Override
    public int intValue() {
        return code;
    }

    /**
     * Tells whether the attribute can be requested in an
     * {@link AlarmRecordAttributeSet}.
     *
     * @return true for codes 0 to 20
     */
    public boolean isRecordAttribute() {
        return code <= LOG_NAME.code;
    }

    /**
     * Tells whether the attribute can be used in a {@link FilterItem}.
     *
     * @return false only for {@link #LOG_NAME}
     */
    public boolean isFilterable() {
        return valueKind != ValueKind.NONE;
    }

    ValueKind valueKind() {
        return valueKind;
    }

    /**
     * Returns the attribute with a code.
     *
     * @param code an attribute code
     * @return the attribute
     * @throws IllegalArgumentException if no attribute has that code
     */
    public static AlarmRecordAttribute fromCode(int code) {
        if (code < 0 || code >= BY_CODE.length || BY_CODE[code].code != code) {
            throw new IllegalArgumentException("no alarm record attribute has code " + code);
        }
        return BY_CODE[code];
    }

    /**
     * Returns the attribute with a name text.
     *
     * @param text an attribute name text, such as "ackState"
     * @return the attribute
     * @throws IllegalArgumentException if no attribute has that name
     */
    public static AlarmRecordAttribute fromText(String text) {
        for (AlarmRecordAttribute a : BY_CODE) {
            if (a.text.equals(text)) {
                return a;
            }
        }
        throw new IllegalArgumentException("no alarm record attribute is named \"" + text + "\"");
    }

    /**
     * Returns the attribute's name text.
     *
     * @return the name, such as "ackState" or "open"
     */
    @Override
    public String toString() {
        return text;
    }
}
