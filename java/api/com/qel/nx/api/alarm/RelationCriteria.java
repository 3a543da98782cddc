package com.qel.nx.api.alarm;

/** How a {@link FilterItem} compares an attribute with its values. */
public enum RelationCriteria {
    /** Equal to (or, for patterns, matching) a value. */
    EQUAL(0),
    /** Not equal to (or, for patterns, not matching) a value. */
    NOT_EQUAL(1),
    /** Greater than a value. */
    GREATER_THAN(2),
    /** Greater than or equal to a value. */
    GREATER_THAN_OR_EQUAL(3),
    /** Less than a value. */
    LESS_THAN(4),
    /** Less than or equal to a value. */
    LESS_THAN_OR_EQUAL(5);

    private final int code;

    RelationCriteria(int code) {
        this.code = code;
    }

    /**
     * Returns the relation's code, read by the native library.
     *
     * @return the code (0 to 5)
     */
    public int intValue() {
        return code;
    }
}
