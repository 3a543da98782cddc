package com.qel.nx.bench;

import com.qel.nx.api.alarm.AlarmException;
import com.qel.nx.api.alarm.AlarmLogImpl;
import com.qel.nx.api.alarm.AlarmPage;
import com.qel.nx.api.alarm.AlarmRecordAttribute;
import com.qel.nx.api.alarm.AlarmRecordAttributeSet;
import com.qel.nx.api.alarm.Filter;
import com.qel.nx.api.alarm.FilterItem;
import com.qel.nx.api.alarm.GenericQuery;
import com.qel.nx.api.alarm.LogName;
import com.qel.nx.api.alarm.LogicalCriteria;
import com.qel.nx.api.alarm.RelationCriteria;
import java.lang.management.ManagementFactory;
import java.lang.management.ThreadMXBean;
import java.util.Arrays;

/**
 * Ordered pages of a large log, newest event first: the time of page 1 and of
 * a late page read by token (getAlarmPageNative, records made in Java), and of
 * counting the selection once.
 *
 * <pre>
 *   PageBench LOG PAGE_SIZE LATE_PAGE RUNS
 * </pre>
 * NX_ALARM_DB names the database (SQLite file or PostgreSQL URL), NX_MIS_NAME the MIS.
 */
public final class PageBench {
    private static final AlarmRecordAttributeSet ATTRIBUTES = AlarmRecordAttributeSet.of(
            AlarmRecordAttribute.LOG_RECORD_ID, AlarmRecordAttribute.EVENT_TIME,
            AlarmRecordAttribute.PERCEIVED_SEVERITY, AlarmRecordAttribute.MANAGED_OBJECT_INSTANCE,
            AlarmRecordAttribute.EVENT_TYPE, AlarmRecordAttribute.PROBABLE_CAUSE, AlarmRecordAttribute.ADDITIONAL_TEXT,
            AlarmRecordAttribute.ACK_STATE, AlarmRecordAttribute.CLEAR_STATE);

    private PageBench() {
    }

    public static void main(String[] args) throws AlarmException {
        if (args.length != 4) {
            System.err.println("usage: PageBench LOG PAGE_SIZE LATE_PAGE RUNS");
            System.exit(2);
        }
        LogName log = new LogName(System.getenv().getOrDefault("NX_MIS_NAME", "alpha"), args[0]);
        int size = Integer.parseInt(args[1]);
        int late = Integer.parseInt(args[2]);
        int runs = Integer.parseInt(args[3]);
        AlarmLogImpl api = new AlarmLogImpl();
        api.init("bench", log);
        GenericQuery newest = new GenericQuery(LogicalCriteria.AND).orderBy(AlarmRecordAttribute.EVENT_TIME, true);

        // The token of the late page: the same query's token at record
        // (late - 1) * size, reached with the largest pages.
        long skipStart = System.nanoTime();
        String token = null;
        long before = (long) (late - 1) * size;
        while (before > 0) {
            int step = (int) Math.min(before, AlarmLogImpl.MAX_PAGE_SIZE);
            token = api.getAlarmPageNative(log, newest, AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID),
                    step, token).getNextPageToken();
            before -= step;
        }
        System.out.printf("reached page %d by token in %.1f s (pages of %d)%n", late,
                (System.nanoTime() - skipStart) / 1e9, AlarmLogImpl.MAX_PAGE_SIZE);

        String lateToken = token;
        for (int warm = 0; warm < 3; warm++) {
            api.getAlarmPageNative(log, newest, ATTRIBUTES, size, null);
            api.getAlarmPageNative(log, newest, ATTRIBUTES, size, lateToken);
        }
        ThreadMXBean threads = ManagementFactory.getThreadMXBean();
        double[] first = new double[runs];
        double[] later = new double[runs];
        AlarmPage page = null;
        long cpu0 = threads.getCurrentThreadCpuTime();
        for (int i = 0; i < runs; i++) {
            long t0 = System.nanoTime();
            page = api.getAlarmPageNative(log, newest, ATTRIBUTES, size, null);
            long t1 = System.nanoTime();
            AlarmPage latePage = api.getAlarmPageNative(log, newest, ATTRIBUTES, size, lateToken);
            long t2 = System.nanoTime();
            if (page.getRecords().length != size || latePage.getRecords().length != size) {
                throw new IllegalStateException("short page");
            }
            first[i] = (t1 - t0) / 1e6;
            later[i] = (t2 - t1) / 1e6;
        }
        double pageCpu = (threads.getCurrentThreadCpuTime() - cpu0) / 1e6 / (2.0 * runs);
        long c0 = System.nanoTime();
        int total = page.getTotal();
        long c1 = System.nanoTime();

        // A count of a few records (ids 1-10): what is left is the fixed cost
        // of a read.
        GenericQuery few = new GenericQuery(LogicalCriteria.AND).add(new Filter(LogicalCriteria.AND)
                .add(new FilterItem(AlarmRecordAttribute.LOG_RECORD_ID, RelationCriteria.LESS_THAN_OR_EQUAL, 10)));
        double[] counts = new double[runs];
        int small = 0;
        for (int warm = 0; warm < 3; warm++) {
            small = api.getAlarmCountNative(log, few);
        }
        long countCpu0 = threads.getCurrentThreadCpuTime();
        for (int i = 0; i < runs; i++) {
            long t0 = System.nanoTime();
            small = api.getAlarmCountNative(log, few);
            counts[i] = (System.nanoTime() - t0) / 1e6;
        }
        double countCpu = (threads.getCurrentThreadCpuTime() - countCpu0) / 1e6 / runs;
        System.out.printf("page 1 of %d records: median %.2f ms, min %.2f, max %.2f (%d runs)%n", size,
                median(first), min(first), max(first), runs);
        System.out.printf("page %d by token: median %.2f ms, min %.2f, max %.2f%n", late, median(later),
                min(later), max(later));
        System.out.printf("CPU of the calling thread per page read: %.2f ms%n", pageCpu);
        System.out.printf("getTotal (counted once, %d records): %.1f ms%n", total, (c1 - c0) / 1e6);
        System.out.printf("getAlarmCountNative of %d records: median %.2f ms, min %.2f, max %.2f; CPU %.2f ms%n",
                small, median(counts), min(counts), max(counts), countCpu);
    }

    private static double median(double[] v) {
        double[] s = v.clone();
        Arrays.sort(s);
        return s[s.length / 2];
    }

    private static double min(double[] v) {
        return Arrays.stream(v).min().orElse(0);
    }

    private static double max(double[] v) {
        return Arrays.stream(v).max().orElse(0);
    }
}
