package com.qel.nx.cli;

import java.io.PrintStream;

/**
 * A one-line progress bar redrawn in place on a terminal stream. Redraws only
 * when the shown percentage changes, so a fast retrieval costs few writes.
 */
public final class ProgressBar {
    private static final int WIDTH = 30;

    private final PrintStream out;
    private final String label;
    private final long total;
    private long done;
    private int shown = -1;

    public ProgressBar(PrintStream out, String label, long total) {
        this.out = out;
        this.label = label;
        this.total = Math.max(total, 0);
    }

    public void advance(long n) {
        done += n;
        int pct = total == 0 ? 100 : (int) Math.min(100, done * 100 / total);
        if (pct != shown) {
            shown = pct;
            int filled = pct * WIDTH / 100;
            out.print("\r" + label + " [" + "#".repeat(filled) + ".".repeat(WIDTH - filled) + "] "
                    + String.format("%3d%%  %d/%d", pct, done, total));
            out.flush();
        }
    }

    /** Ends the bar's line. */
    public void finish() {
        if (shown >= 0) {
            out.println();
            out.flush();
        }
    }
}
