package com.qel.nx.cli;

import java.io.PrintWriter;
import java.util.ArrayList;
import java.util.List;

/**
 * A text table with aligned columns under a heading line. Cells longer than
 * their column's limit are cut with "~" so one long name cannot push the rest
 * of the row off the screen.
 */
public final class Table {
    private final List<String> headings = new ArrayList<>();
    private final List<Integer> limits = new ArrayList<>();
    private final List<Boolean> rightAligned = new ArrayList<>();
    private final List<String[]> rows = new ArrayList<>();

    /** Adds a left-aligned column; {@code limit} of 0 means no limit. */
    public Table column(String heading, int limit) {
        return column(heading, limit, false);
    }

    /** Adds a right-aligned (numeric) column. */
    public Table number(String heading) {
        return column(heading, 0, true);
    }

    private Table column(String heading, int limit, boolean right) {
        headings.add(heading);
        limits.add(limit);
        rightAligned.add(right);
        return this;
    }

    /** Adds a row; missing cells are blank, extra cells are refused. */
    public Table row(Object... cells) {
        if (cells.length > headings.size()) {
            throw new IllegalArgumentException(cells.length + " cells for " + headings.size() + " columns");
        }
        String[] r = new String[headings.size()];
        for (int i = 0; i < r.length; i++) {
            r[i] = i < cells.length && cells[i] != null ? fit(cells[i].toString(), limits.get(i)) : "";
        }
        rows.add(r);
        return this;
    }

    public int size() {
        return rows.size();
    }

    private static String fit(String s, int limit) {
        String one = s.replace('\n', ' ').replace('\r', ' ').replace('\t', ' ');
        // Counted and cut by characters: a cut inside a surrogate pair would
        // print half a character.
        if (limit > 1 && one.codePointCount(0, one.length()) > limit) {
            return one.substring(0, one.offsetByCodePoints(0, limit - 1)) + "~";
        }
        return one;
    }

    /** Writes the table with {@code indent} spaces before every line. */
    public void print(PrintWriter out, int indent) {
        int n = headings.size();
        int[] width = new int[n];
        for (int i = 0; i < n; i++) {
            width[i] = headings.get(i).length();
            for (String[] r : rows) {
                width[i] = Math.max(width[i], r[i].length());
            }
        }
        String pad = " ".repeat(indent);
        line(out, pad, headings.toArray(new String[0]), width);
        String[] rule = new String[n];
        for (int i = 0; i < n; i++) {
            rule[i] = "-".repeat(width[i]);
        }
        line(out, pad, rule, width);
        for (String[] r : rows) {
            line(out, pad, r, width);
        }
        out.flush();
    }

    private void line(PrintWriter out, String pad, String[] cells, int[] width) {
        StringBuilder sb = new StringBuilder(pad);
        for (int i = 0; i < cells.length; i++) {
            boolean last = i == cells.length - 1;
            String c = cells[i];
            if (rightAligned.get(i)) {
                sb.append(" ".repeat(width[i] - c.length())).append(c);
            } else {
                sb.append(c);
                if (!last) {
                    sb.append(" ".repeat(width[i] - c.length()));
                }
            }
            if (!last) {
                sb.append("  ");
            }
        }
        out.println(sb.toString().stripTrailing());
    }
}
