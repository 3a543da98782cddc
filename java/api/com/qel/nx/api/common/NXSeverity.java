package com.qel.nx.api.common;

/**
 * The perceived severity of an alarm.
 *
 * <p>A severity is identified by one of the six ids below. The native library
 * builds records with shared severity objects and compares {@link #id} with
 * these ids; an object holding any other id is refused by the library when used
 * in a query. Instances are immutable.
 */
public final class NXSeverity {
    /** Id of the critical severity. */
    public static final int CRITICAL_ID = 1;
    /** Id of the major severity. */
    public static final int MAJOR_ID = 2;
    /** Id of the minor severity. */
    public static final int MINOR_ID = 3;
    /** Id of the warning severity. */
    public static final int WARNING_ID = 4;
    /** Id of the indeterminate severity. */
    public static final int INDETERMINATE_ID = 5;
    /** Id of the cleared severity. */
    public static final int CLEARED_ID = 6;

    /** The critical severity. */
    public static final NXSeverity CRITICAL = new NXSeverity(CRITICAL_ID);
    /** The major severity. */
    public static final NXSeverity MAJOR = new NXSeverity(MAJOR_ID);
    /** The minor severity. */
    public static final NXSeverity MINOR = new NXSeverity(MINOR_ID);
    /** The warning severity. */
    public static final NXSeverity WARNING = new NXSeverity(WARNING_ID);
    /** The indeterminate severity. */
    public static final NXSeverity INDETERMINATE = new NXSeverity(INDETERMINATE_ID);
    /** The cleared severity. */
    public static final NXSeverity CLEARED = new NXSeverity(CLEARED_ID);

    /** The severity id; read by the native library. */
    public final int id;

    /**
     * Creates a severity. The id is not checked here so that a caller can pass
     * on whatever id it was given; use {@link #isKnown()} to check it.
     *
     * @param id one of the six severity ids
     */
    public NXSeverity(int id) {
        this.id = id;
    }

    /**
     * Tells whether the id is one of the six severity ids.
     *
     * @return true for a known severity
     */
    public boolean isKnown() {
        return id >= CRITICAL_ID && id <= CLEARED_ID;
    }

    /**
     * Returns the severity's name as the alarm database stores it.
     *
     * @return "critical", "major", "minor", "warning", "indeterminate" or
     *         "cleared"; "unknown(" followed by the id and ")" for any other id
     */
    public String getName() {
        switch (id) {
            case CRITICAL_ID: return "critical";
            case MAJOR_ID: return "major";
            case MINOR_ID: return "minor";
            case WARNING_ID: return "warning";
            case INDETERMINATE_ID: return "indeterminate";
            case CLEARED_ID: return "cleared";
            default: return "unknown(" + id + ")";
        }
    }

    @Override
    public boolean equals(Object o) {
        return o instanceof NXSeverity && ((NXSeverity) o).id == id;
    }

    @Override
    public int hashCode() {
        return id;
    }

    @Override
    public String toString() {
        return getName();
    }
}
