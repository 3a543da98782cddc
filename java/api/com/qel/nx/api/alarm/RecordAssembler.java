package com.qel.nx.api.alarm;

import com.qel.nx.api.common.MOName;
import com.qel.nx.api.common.NXSeverity;
import com.qel.nx.server.qrt.EventHandler;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;
import java.util.Date;

/**
 * Builds the records of one retrieval, or of a run of alarm-log events, from
 * the compact form the native library packs them in. Setting fields one JNI
 * call at a time costs dozens of calls per record; here a native call hands
 * over many records at once.
 *
 * <p>The native side has already decided every field (which are set, to what
 * text, which date or severity); this class only makes the objects. Each
 * record is a run of operations ended by {@link #END}; integers are four
 * bytes, big-endian.
 */
final class RecordAssembler {
    static final int END = 0;
    /** Slot, length, UTF-8 bytes: a String field. */
    static final int TEXT = 1;
    /** Slot: a Boolean field set to {@code Boolean.TRUE}. */
    static final int TRUE = 2;
    /** Slot, six ints: a Date field, made with the six-int constructor. */
    static final int DATE = 3;
    /** Slot: a Date field set to null. */
    static final int NULL = 4;
    /** Index into the shared severity objects. */
    static final int SEVERITY = 5;
    /** Int: the record identifier. */
    static final int RECORD_ID = 6;
    /** Length, UTF-8 bytes: the managed object instance, as an MOName with id 0. */
    static final int MO_NAME = 7;
    /** The log name given to the retrieval. */
    static final int LOG_NAME = 8;
    /** Attribute code: joins the attribute set of an event's record. */
    static final int MEMBER = 9;

    private final LogName logName;
    private final AlarmRecordAttributeSet attrSet;
    private final NXSeverity[] severities;
    private AlarmRecord[] records = new AlarmRecord[64];
    private int count;

    RecordAssembler(LogName logName, AlarmRecordAttributeSet attrSet, NXSeverity[] severities) {
        this.logName = logName;
        this.attrSet = attrSet;
        this.severities = severities;
    }

    /** Makes the records packed in the first length bytes of ops. */
    void add(byte[] ops, int length) {
        int at = 0;
        while (at < length) {
            AlarmRecord r = new AlarmRecord();
            at = fill(r, ops, at, logName, severities, null);
            r.attrSet = attrSet;
            if (count == records.length) {
                records = Arrays.copyOf(records, count * 2);
            }
            records[count++] = r;
        }
    }

    /**
     * Sets the fields of r from the record packed at ops[at], up to its END;
     * MEMBER operations add to members. Returns where the next record starts.
     */
    private static int fill(AlarmRecord r, byte[] ops, int at, LogName logName, NXSeverity[] severities,
            AlarmRecordAttributeSet members) {
        for (int op = ops[at++]; op != END; op = ops[at++]) {
            switch (op) {
                case TEXT: {
                    int slot = ops[at++];
                    int n = readInt(ops, at);
                    setText(r, slot, new String(ops, at + 4, n, StandardCharsets.UTF_8));
                    at += 4 + n;
                    break;
                }
                case TRUE:
                    setState(r, ops[at++]);
                    break;
                case DATE: {
                    int slot = ops[at++];
                    @SuppressWarnings("deprecation")
                    Date d = new Date(readInt(ops, at), readInt(ops, at + 4), readInt(ops, at + 8),
                            readInt(ops, at + 12), readInt(ops, at + 16), readInt(ops, at + 20));
                    setDate(r, slot, d);
                    at += 24;
                    break;
                }
                case NULL:
                    setDate(r, ops[at++], null);
                    break;
                case SEVERITY:
                    r.perceivedSeverity = severities[ops[at++]];
                    break;
                case RECORD_ID:
                    r.logRecordId = new AlarmRecordId(readInt(ops, at));
                    at += 4;
                    break;
                case MO_NAME: {
                    int n = readInt(ops, at);
                    r.managedObjectInstance = new MOName(0, new String(ops, at + 4, n, StandardCharsets.UTF_8));
                    at += 4 + n;
                    break;
                }
                case LOG_NAME:
                    r.logName = logName;
                    break;
                case MEMBER:
                    if (members == null) {
                        throw new IllegalStateException("packed record: a member outside an event");
                    }
                    members.add(AlarmRecordAttribute.fromCode(ops[at++]));
                    break;
                default:
                    throw new IllegalStateException("packed record: unknown operation " + op);
            }
        }
        return at;
    }

    /**
     * Called by the native library with a run of alarm-log events packed in
     * the first length bytes of ops: each is a kind, its log (0: the previous
     * event's; 1: mis name and identifier texts; 2: mis name text and number)
     * and its record. Each event goes to the handlers of
     * {@link AlarmLogEvent#ALARM_EVENT_ID} on its own, in order. A creation's
     * record carries eventSet as its attribute set; the others carry a set
     * of their own, of the attributes present.
     */
    static void deliverEvents(byte[] ops, int length, AlarmRecordAttributeSet eventSet, NXSeverity[] severities) {
        LogName logName = null;
        int at = 0;
        while (at < length) {
            int kind = ops[at++];
            int form = ops[at++];
            if (form != 0) {
                int n = readInt(ops, at);
                String mis = new String(ops, at + 4, n, StandardCharsets.UTF_8);
                at += 4 + n;
                if (form == 2) {
                    logName = new LogName(mis, readInt(ops, at));
                    at += 4;
                } else {
                    int m = readInt(ops, at);
                    logName = new LogName(mis, new String(ops, at + 4, m, StandardCharsets.UTF_8));
                    at += 4 + m;
                }
            } else if (logName == null) {
                throw new IllegalStateException("packed event: no log");
            }
            AlarmRecord r = new AlarmRecord();
            AlarmRecordAttributeSet members = kind == AlarmLogEvent.OBJECT_CREATED ? null : new AlarmRecordAttributeSet();
            at = fill(r, ops, at, logName, severities, members);
            r.attrSet = members != null ? members : eventSet;
            EventHandler.sendEvent(AlarmLogEvent.ALARM_EVENT_ID, new AlarmLogEvent(kind, r));
        }
    }

    /** The records made since the last call. */
    AlarmRecord[] drain() {
        AlarmRecord[] out = Arrays.copyOf(records, count);
        Arrays.fill(records, 0, count, null);
        count = 0;
        return out;
    }

    private static int readInt(byte[] b, int at) {
        return (b[at] << 24) | ((b[at + 1] & 0xff) << 16) | ((b[at + 2] & 0xff) << 8) | (b[at + 3] & 0xff);
    }

    // Slot numbers: texts, then states, then dates, in the native side's order.
    private static void setText(AlarmRecord r, int slot, String s) {
        switch (slot) {
            case 0: r.ackOperator = s; break;
            case 1: r.ackText = s; break;
            case 2: r.clearOperator = s; break;
            case 3: r.clearText = s; break;
            case 4: r.displayOperator = s; break;
            case 5: r.displayText = s; break;
            case 6: r.additionalText = s; break;
            case 7: r.eventType = s; break;
            case 8: r.probableCause = s; break;
            default: throw new IllegalStateException("packed record: no text slot " + slot);
        }
    }

    private static void setState(AlarmRecord r, int slot) {
        switch (slot) {
            case 9: r.ackState = Boolean.TRUE; break;
            case 10: r.clearState = Boolean.TRUE; break;
            case 11: r.displayState = Boolean.TRUE; break;
            default: throw new IllegalStateException("packed record: no state slot " + slot);
        }
    }

    private static void setDate(AlarmRecord r, int slot, Date d) {
        switch (slot) {
            case 12: r.ackTime = d; break;
            case 13: r.clearTime = d; break;
            case 14: r.displayTime = d; break;
            case 15: r.eventTime = d; break;
            case 16: r.loggingTime = d; break;
            default: throw new IllegalStateException("packed record: no date slot " + slot);
        }
    }
}
