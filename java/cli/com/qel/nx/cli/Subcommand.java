package com.qel.nx.cli;

import java.io.PrintWriter;
import picocli.CommandLine.Model.CommandSpec;
import picocli.CommandLine.ParentCommand;
import picocli.CommandLine.Spec;

/** A command of the command line: its options are read into it, then {@link #run()} does the work. */
abstract class Subcommand {
    @ParentCommand
    Main main;

    @Spec
    CommandSpec spec;

    /** Does the command; returns the exit status. */
    abstract int run() throws CliException;

    String name() {
        return spec.name();
    }

    PrintWriter out() {
        return main.out;
    }

    /** Whether the option was given on the command line (a default is not). */
    boolean given(String option) {
        return spec.commandLine().getParseResult().hasMatchedOption(option);
    }

    String logText() {
        return AlarmLogSession.describe(main.log);
    }
}
