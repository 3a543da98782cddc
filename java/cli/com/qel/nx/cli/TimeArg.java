package com.qel.nx.cli;

import java.time.LocalDate;
import java.time.LocalDateTime;
import java.time.format.DateTimeFormatter;
import java.time.format.ResolverStyle;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * Times given on the command line, turned into the fourteen-digit local time
 * text (yyyymmddhhmmss) the library compares. Accepted: that text itself,
 * "2024-05-01", "2024-05-01 13:45", "2024-05-01T13:45:10", "now", and an age
 * such as "90s", "15m", "2h" or "3d" meaning that long ago.
 */
final class TimeArg {
    static final DateTimeFormatter DIGITS = DateTimeFormatter.ofPattern("uuuuMMddHHmmss")
            .withResolverStyle(ResolverStyle.STRICT);
    private static final Pattern AGE = Pattern.compile("(\\d{1,6})([smhd])");
    private static final Pattern DATE_TIME =
            Pattern.compile("(\\d{4}-\\d{2}-\\d{2})(?:[ T](\\d{2}):(\\d{2})(?::(\\d{2}))?)?");

    private TimeArg() {
    }

    static String parse(String option, String text, LocalDateTime now) throws CliException {
        String t = text.trim();
        LocalDateTime when = null;
        try {
            if (t.equals("now")) {
                when = now;
            } else if (t.matches("\\d{14}")) {
                when = LocalDateTime.parse(t, DIGITS);
            } else {
                Matcher age = AGE.matcher(t);
                Matcher dt = DATE_TIME.matcher(t);
                if (age.matches()) {
                    long n = Long.parseLong(age.group(1));
                    switch (age.group(2)) {
                        case "s": when = now.minusSeconds(n); break;
                        case "m": when = now.minusMinutes(n); break;
                        case "h": when = now.minusHours(n); break;
                        default: when = now.minusDays(n); break;
                    }
                } else if (dt.matches()) {
                    LocalDate day = LocalDate.parse(dt.group(1),
                            DateTimeFormatter.ofPattern("uuuu-MM-dd").withResolverStyle(ResolverStyle.STRICT));
                    int h = dt.group(2) == null ? 0 : Integer.parseInt(dt.group(2));
                    int m = dt.group(3) == null ? 0 : Integer.parseInt(dt.group(3));
                    int s = dt.group(4) == null ? 0 : Integer.parseInt(dt.group(4));
                    when = day.atTime(h, m, s);
                }
            }
        } catch (java.time.DateTimeException e) {
            when = null;
        }
        if (when == null || when.getYear() < 1 || when.getYear() > 9999) {
            throw CliException.usage(option + ": cannot read the time \"" + text
                    + "\" (use 2024-05-01, \"2024-05-01 13:45[:10]\", 20240501134510, now, or an age like 2h or 3d)");
        }
        return when.format(DIGITS);
    }
}
