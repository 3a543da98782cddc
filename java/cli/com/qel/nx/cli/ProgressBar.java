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
    private boolean live;
    private long done;
    private int shown = -1;

    /**
     * @param live redraw as work advances; otherwise (output to a file or pipe)
     *        draw only the finished bar, once
     */
    public ProgressBar(PrintStream out, String label, long total, boolean live) {
        this.out = out;
        this.live = live;
        this.label = label;
        this.total = Math.max(total, 0);
    }

    public void advance(long n) {
        done += n;
        int pct = total == 0 ? 100 : (int) Math.min(100, done * 100 / total);
        if (pct != shown && live) {
            shown = pct;
            int filled = pct * WIDTH / 100;
            out.print("\r" + label + " [" + "#".repeat(filled) + ".".repeat(WIDTH - filled) + "] "
                    + String.format("%3d%%  %d/%d", pct, done, total));
            out.flush();
        }
    }

    /** Ends the bar's line. */
    public void finish() {
        if (!live) {
            live = true;
            advance(0);
        }
        if (shown >= 0) {
            out.println();
            out.flush();
        }
    }
}
