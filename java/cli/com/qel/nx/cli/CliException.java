package com.qel.nx.cli;

import com.qel.nx.api.alarm.AlarmException;
import com.qel.nx.api.alarm.AlarmInputException;

/** A failure the command line reports as one message and an exit status, never as a stack trace. */
final class CliException extends Exception {
    private static final long serialVersionUID = 1L;

    /** The library refused or failed the operation. */
    static final int FAILED = 1;
    /** The command line itself was wrong: unknown command or option, bad value, bad filter. */
    static final int USAGE = 2;
    /** The database or the log cannot be reached. */
    static final int UNREACHABLE = 3;

    private final int status;

    CliException(int status, String message) {
        super(message);
        this.status = status;
    }

    static CliException usage(String message) {
        return new CliException(USAGE, message);
    }

    static CliException failed(String message) {
        return new CliException(FAILED, message);
    }

    static CliException unreachable(String message) {
        return new CliException(UNREACHABLE, message);
    }

    /**
     * A failure of the library: {@link #USAGE} when it refused an input of the
     * command line (a text it cannot keep, a value past a bound), else {@link #FAILED}.
     */
    static CliException fromLibrary(String context, AlarmException e) {
        return new CliException(e instanceof AlarmInputException ? USAGE : FAILED, context + e.getMessage());
    }

    int status() {
        return status;
    }
}
