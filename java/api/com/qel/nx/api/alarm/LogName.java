package com.qel.nx.api.alarm;

import java.util.Objects;

/**
 * The name of an alarm log: the MIS that keeps it and the log's id, which is
 * either a text or a number. Instances are immutable.
 *
 * <p>The texts use the platform's value notation:
 * {@code new LogName("alpha", "AlarmLog")} has the log id
 * {@code string:"AlarmLog"} and the full name
 * {@code /systemId=name:"alpha"/logId=string:"AlarmLog"};
 * {@code new LogName("alpha", 3)} has {@code number:3} and
 * {@code /systemId=name:"alpha"/logId=number:3}.
 */
public final class LogName {
    private final String misName;
    private final String logId;
    private final boolean numeric;

    /**
     * Creates the name of a log whose id is a text.
     *
     * @param misName the name of the MIS
     * @param logId the log id
     * @throws NullPointerException if an argument is null
     * @throws IllegalArgumentException if an argument contains a double quote,
     *         which the value notation cannot hold
     */
    public LogName(String misName, String logId) {
        this.misName = checkText(misName, "misName");
        this.logId = checkText(logId, "logId");
        this.numeric = false;
    }

    /**
     * Creates the name of a log whose id is a number.
     *
     * @param misName the name of the MIS
     * @param logId the log id
     * @throws NullPointerException if {@code misName} is null
     * @throws IllegalArgumentException if {@code misName} contains a double quote
     */
    public LogName(String misName, int logId) {
        this.misName = checkText(misName, "misName");
        this.logId = Integer.toString(logId);
        this.numeric = true;
    }

    private static String checkText(String text, String what) {
        Objects.requireNonNull(text, what);
        if (text.indexOf('"') >= 0) {
            throw new IllegalArgumentException(what + " must not contain a double quote: " + text);
        }
        return text;
    }

    /**
     * Returns the name of the MIS that keeps the log.
     *
     * @return the MIS name, without notation
     */
    public String getMisName() {
        return misName;
    }

    /**
     * Returns the log id without notation.
     *
     * @return the text, or the number in decimal
     */
    public String getLogId() {
        return logId;
    }

    /**
     * Tells whether the log id is a number.
     *
     * @return true for a numeric log id
     */
    public boolean isNumeric() {
        return numeric;
    }

    /**
     * Returns the full object name of the log.
     *
     * @return {@code /systemId=name:"<mis>"/logId=} followed by the log id in value notation
     */
    public String getFullLogName() {
        return "/systemId=name:\"" + misName + "\"/logId=" + toString();
    }

    /**
     * Returns the log id in value notation.
     *
     * @return {@code string:"<id>"} or {@code number:<n>}
     */
    @Override
    public String toString() {
        return numeric ? "number:" + logId : "string:\"" + logId + "\"";
    }

    @Override
    public boolean equals(Object o) {
        if (this == o) {
            return true;
        }
        if (!(o instanceof LogName)) {
            return false;
        }
        LogName other = (LogName) o;
        return numeric == other.numeric && misName.equals(other.misName) && logId.equals(other.logId);
    }

    @Override
    public int hashCode() {
        return Objects.hash(misName, logId, numeric);
    }
}
