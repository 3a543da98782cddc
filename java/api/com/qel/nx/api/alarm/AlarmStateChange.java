package com.qel.nx.api.alarm;

import java.text.SimpleDateFormat;
import java.util.Date;

/**
 * One change of an alarm record as its history keeps it: what changed, the
 * record's states before and after, who made the change, when, and from where.
 *
 * <p>States read {@code ackState/clearState/displayState}, for example
 * {@code unAcked/unCleared/unDisplayed}; {@link #stateBefore} is null for a
 * creation and {@link #stateAfter} for a deletion.
 */
public final class AlarmStateChange {
    /** The record. */
    public final AlarmRecordId logRecordId;
    /**
     * {@code created}, {@code acked}, {@code unacked}, {@code cleared},
     * {@code uncleared}, {@code displayed}, {@code undisplayed},
     * {@code clearedByNotification} or {@code deleted} (or {@code changed} for
     * another attribute set on the record directly through the MIS).
     */
    public final String kind;
    /** The states before the change; null when the record did not exist. */
    public final String stateBefore;
    /** The states after the change; null when the record was deleted. */
    public final String stateAfter;
    /** Who made the change. */
    public final String operator;
    /** When: the time the change stamped on the record, or the time it was made. */
    public final Date time;
    /** The text the change gave; null when it gave none. */
    public final String text;
    /** Where the change was written from: host/process id. */
    public final String origin;
    /** For {@code clearedByNotification}: the record of the clear notification; otherwise null. */
    public final AlarmRecordId clearedBy;

    /**
     * Creates an entry (the library makes them).
     *
     * @param logRecordId the record
     * @param kind what changed
     * @param stateBefore the states before
     * @param stateAfter the states after
     * @param operator who
     * @param time when
     * @param text the text
     * @param origin host/process id
     * @param clearedBy the clearing notification's record, or null
     */
    public AlarmStateChange(AlarmRecordId logRecordId, String kind, String stateBefore, String stateAfter,
                            String operator, Date time, String text, String origin, AlarmRecordId clearedBy) {
        this.logRecordId = logRecordId;
        this.kind = kind;
        this.stateBefore = stateBefore;
        this.stateAfter = stateAfter;
        this.operator = operator;
        this.time = time;
        this.text = text;
        this.origin = origin;
        this.clearedBy = clearedBy;
    }

    @Override
    public String toString() {
        StringBuilder b = new StringBuilder();
        b.append(time == null ? "-" : new SimpleDateFormat("yyyy-MM-dd HH:mm:ss").format(time))
                .append(" #").append(logRecordId).append(' ').append(kind)
                .append(' ').append(stateBefore == null ? "-" : stateBefore)
                .append(" -> ").append(stateAfter == null ? "-" : stateAfter)
                .append(" by ").append(operator).append(" from ").append(origin);
        if (clearedBy != null) {
            b.append(" (clear notification #").append(clearedBy).append(')');
        }
        if (text != null) {
            b.append(": ").append(text);
        }
        return b.toString();
    }
}
