package com.qel.nx.api.alarm;

/** Raised by the native library when an alarm-log operation fails. */
public class AlarmException extends Exception {
    private static final long serialVersionUID = 1L;

    /**
     * Creates the exception.
     *
     * @param message what failed
     */
    public AlarmException(String message) {
        super(message);
    }
}
