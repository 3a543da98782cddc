package com.qel.nx.cli;

import java.io.PrintWriter;
import picocli.CommandLine.ParentCommand;
import picocli.CommandLine.ParseResult;

/** A command of the command line: its options are read into it, then {@link #run()} does the work. */
abstract class Subcommand {
    @ParentCommand
    Main main;

    /** What the command line gave this command; set before {@link #run()}. */
    ParseResult parsed;

    /** Does the command; returns the exit status. */
    abstract int run() throws CliException;

    String name() {
        return parsed.commandSpec().name();
    }

    PrintWriter out() {
        return main.out;
    }

    /** Whether the option was given on the command line (a default is not). */
    boolean given(String option) {
        return parsed.hasMatchedOption(option);
    }

    String logText() {
        return AlarmLogSession.describe(main.log);
    }
}
