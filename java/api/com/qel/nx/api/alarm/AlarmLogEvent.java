package com.qel.nx.api.alarm;

import java.util.Objects;

/**
 * A change in a watched alarm log, delivered through
 * {@link com.qel.nx.server.qrt.EventHandler} under the key {@link #ALARM_EVENT_ID}.
 * Only the attributes chosen with {@code setEventAttrSetNative} are set in the
 * record.
 *
 * <p>Events of each watched log arrive in the order the changes were made,
 * each once. A process whose event thread falls so far behind that the MIS
 * removes changes before they were delivered (the journal keeps at most
 * {@code NX_JOURNAL_KEEP} of them, and forgets a reader not heard of for 10
 * minutes) receives one {@link #RESYNC} event per watched log instead of
 * the changes lost: its record holds the log name only, and the log should
 * be read again. Events after it continue the order.
 */
public final class AlarmLogEvent {
    /** A record was created in the log. */
    public static final int OBJECT_CREATED = 1;
    /** A record was deleted from the log. */
    public static final int OBJECT_DELETED = 2;
    /** Attribute values of a record changed. */
    public static final int ATTR_VALUE_CHANGED = 3;
    /**
     * Events of the record's log were lost: read the log again. The record
     * holds only the log name.
     */
    public static final int RESYNC = 4;
    /** The event handler key under which alarm-log events are sent. */
    public static final String ALARM_EVENT_ID = "AlarmLogEvent";

    private final int kind;
    private final AlarmRecord record;

    /**
     * Creates an event.
     *
     * @param kind {@link #OBJECT_CREATED}, {@link #OBJECT_DELETED}, {@link #ATTR_VALUE_CHANGED}
     *        or {@link #RESYNC}
     * @param record the record concerned
     * @throws IllegalArgumentException if the kind is none of the four
     * @throws NullPointerException if {@code record} is null
     */
    public AlarmLogEvent(int kind, AlarmRecord record) {
        if (kind != OBJECT_CREATED && kind != OBJECT_DELETED && kind != ATTR_VALUE_CHANGED && kind != RESYNC) {
            throw new IllegalArgumentException("unknown alarm-log event kind " + kind);
        }
        this.kind = kind;
        this.record = Objects.requireNonNull(record, "record");
    }

    /**
     * Returns what happened.
     *
     * @return one of the four kind constants
     */
    public int getKind() {
        return kind;
    }

    /**
     * Returns the record concerned.
     *
     * @return the record, never null
     */
    public AlarmRecord getRecord() {
        return record;
    }

    @Override
    public String toString() {
        String name = kind == OBJECT_CREATED ? "OBJECT_CREATED"
                : kind == OBJECT_DELETED ? "OBJECT_DELETED"
                : kind == RESYNC ? "RESYNC" : "ATTR_VALUE_CHANGED";
        return name + " " + record;
    }
}
