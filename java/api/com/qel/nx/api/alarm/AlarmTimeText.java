package com.qel.nx.api.alarm;

import java.util.Calendar;
import java.util.Date;

/** The fourteen-digit local time text (yyyymmddhhmmss) that the native library compares. */
final class AlarmTimeText {
    private AlarmTimeText() {
    }

    static String format(Date date) {
        Calendar c = Calendar.getInstance();
        c.setTime(date);
        int year = c.get(Calendar.YEAR);
        if (c.get(Calendar.ERA) != java.util.GregorianCalendar.AD || year > 9999) {
            throw new IllegalArgumentException("time out of the range of years 1 to 9999: " + date);
        }
        return String.format("%04d%02d%02d%02d%02d%02d", year, c.get(Calendar.MONTH) + 1,
                c.get(Calendar.DAY_OF_MONTH), c.get(Calendar.HOUR_OF_DAY), c.get(Calendar.MINUTE),
                c.get(Calendar.SECOND));
    }

    static boolean isTimeText(String s) {
        if (s.length() != 14) {
            return false;
        }
        for (int i = 0; i < s.length(); i++) {
            char ch = s.charAt(i);
            if (ch < '0' || ch > '9') {
                return false;
            }
        }
        return true;
    }
}
