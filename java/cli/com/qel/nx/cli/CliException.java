package com.qel.nx.cli;

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

    int status() {
        return status;
    }
}
