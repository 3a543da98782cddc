package com.qel.nx.cli;

import java.util.ArrayList;
import java.util.List;

/**
 * A cursor over the command-line words. Options take their value as the next
 * word or after '='; a value is never taken past the last word.
 */
final class Args {
    private final String[] words;
    private int pos;
    private String pendingValue;

    Args(String[] words) {
        this.words = words.clone();
    }

    boolean hasNext() {
        return pos < words.length;
    }

    String peek() {
        return hasNext() ? words[pos] : null;
    }

    /** The next word; the caller checked {@link #hasNext()}. */
    String next() {
        if (!hasNext()) {
            throw new IllegalStateException("no more words");
        }
        return words[pos++];
    }

    /**
     * Takes the next word as an option name. For "--name=value" the value is
     * kept for {@link #value(String)}.
     */
    String option() {
        String word = next();
        pendingValue = null;
        int eq = word.indexOf('=');
        if (word.startsWith("--") && eq > 2) {
            pendingValue = word.substring(eq + 1);
            return word.substring(0, eq);
        }
        return word;
    }

    /** The value of the option just taken. */
    String value(String option) throws CliException {
        if (pendingValue != null) {
            String v = pendingValue;
            pendingValue = null;
            return v;
        }
        if (!hasNext()) {
            throw CliException.usage("option " + option + " needs a value");
        }
        return words[pos++];
    }

    /** Refuses a "--name=value" given to an option that takes no value. */
    void noValue(String option) throws CliException {
        if (pendingValue != null) {
            throw CliException.usage("option " + option + " takes no value");
        }
    }

    /** The words not yet taken. */
    List<String> rest() {
        List<String> out = new ArrayList<>();
        while (hasNext()) {
            out.add(next());
        }
        return out;
    }

    static int parseInt(String option, String text, int min) throws CliException {
        int v;
        try {
            v = Integer.parseInt(text.trim());
        } catch (NumberFormatException e) {
            throw CliException.usage(option + " needs a whole number, not \"" + text + "\"");
        }
        if (v < min) {
            throw CliException.usage(option + " must be at least " + min + ", not " + v);
        }
        return v;
    }
}
