package com.qel.nx.api.alarm;

/** The identifier of an alarm record within its log. Instances are immutable. */
public final class AlarmRecordId {
    private final int id;

    /**
     * Creates a record identifier.
     *
     * @param id the record number
     */
    public AlarmRecordId(int id) {
        this.id = id;
    }

    /**
     * Returns the record number.
     *
     * @return the number
     */
    public int intValue() {
        return id;
    }

    /**
     * Returns the identifier in value notation.
     *
     * @return {@code number:<n>}
     */
    public String getAlarmFullName() {
        return "number:" + id;
    }

    /**
     * Returns the record number in decimal.
     *
     * @return the decimal text
     */
    @Override
    public String toString() {
        return Integer.toString(id);
    }

    @Override
    public boolean equals(Object o) {
        return o instanceof AlarmRecordId && ((AlarmRecordId) o).id == id;
    }

    @Override
    public int hashCode() {
        return Integer.hashCode(id);
    }
}
