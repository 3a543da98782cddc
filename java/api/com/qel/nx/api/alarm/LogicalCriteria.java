package com.qel.nx.api.alarm;

/** How the items of a {@link Filter}, or the filters of a {@link GenericQuery}, are joined. */
public enum LogicalCriteria {
    /** Any one must hold. */
    OR(0),
    /** All must hold. */
    AND(1);

    private final int code;

    LogicalCriteria(int code) {
        this.code = code;
    }

    /**
     * Returns the operator's code, read by the native library.
     *
     * @return 0 for OR, 1 for AND
     */
    public int intValue() {
        return code;
    }
}
