package com.qel.nx.api.alarm;

/**
 * Raised by the native library when it refuses an argument rather than fail
 * the operation: a text it cannot keep exactly (one holding a NUL character
 * or an unpaired surrogate), or an input past one of the bounds listed in
 * {@link AlarmLogImpl}. The message names the input and the reason; nothing
 * was read or changed.
 */
public class AlarmInputException extends AlarmException {
    private static final long serialVersionUID = 1L;

    /**
     * Creates the exception.
     *
     * @param message which input was refused, and why
     */
    public AlarmInputException(String message) {
        super(message);
    }
}
