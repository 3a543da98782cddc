package com.qel.nx.cli;

/** Whole-number values of options and arguments, with the message an operator reads when one is wrong. */
final class WholeNumber {
    private WholeNumber() {
    }

    static int parse(String what, String text, int min) throws CliException {
        int v;
        try {
            v = Integer.parseInt(text.trim());
        } catch (NumberFormatException e) {
            throw CliException.usage(what + " needs a whole number, not \"" + text + "\"");
        }
        if (v < min) {
            throw CliException.usage(what + " must be at least " + min + ", not " + v);
        }
        return v;
    }
}
