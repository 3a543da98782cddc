package com.qel.nx.bench;

import com.qel.nx.api.alarm.AlarmLogImpl;
import com.qel.nx.api.alarm.AlarmRecordId;
import com.qel.nx.api.alarm.LogName;
import java.lang.management.ManagementFactory;
import java.lang.management.ThreadMXBean;
import java.util.Arrays;

/**
 * What the record history costs a bulk change: one setAckAlarmsNative over
 * records 1..N (each with a text) and one setUnAckAlarmsNative over them,
 * ROUNDS times, timed to their return (after the commit). Run against a
 * library built with and without history entries (tools/bench_history.sh).
 *
 * <pre>
 *   HistoryBench LOG N ROUNDS
 * </pre>
 * Prints one line: {@code ack <median ms> unack <median ms> cpu ack <median
 * ms> unack <median ms>}, the CPU time being the calling thread's (the
 * change runs in it), which swings less than the wall time on a busy machine.
 */
public final class HistoryBench {
    private HistoryBench() {
    }

    public static void main(String[] args) throws Exception {
        LogName log = new LogName(System.getenv().getOrDefault("NX_MIS_NAME", "alpha"), args[0]);
        int n = Integer.parseInt(args[1]);
        int rounds = Integer.parseInt(args[2]);
        AlarmLogImpl api = new AlarmLogImpl();
        api.init("historybench", log);
        AlarmRecordId[] ids = new AlarmRecordId[n];
        String[] texts = new String[n];
        for (int i = 0; i < n; i++) {
            ids[i] = new AlarmRecordId(i + 1);
            texts[i] = "seen by the night shift, ticket " + (40000 + i);
        }
        double[] ack = new double[rounds];
        double[] unack = new double[rounds];
        double[] ackCpu = new double[rounds];
        double[] unackCpu = new double[rounds];
        ThreadMXBean threads = ManagementFactory.getThreadMXBean();
        for (int r = 0; r < rounds; r++) {
            long c0 = threads.getCurrentThreadCpuTime();
            long t0 = System.nanoTime();
            api.setAckAlarmsNative(log, ids, texts);
            long t1 = System.nanoTime();
            long c1 = threads.getCurrentThreadCpuTime();
            api.setUnAckAlarmsNative(log, ids);
            long t2 = System.nanoTime();
            long c2 = threads.getCurrentThreadCpuTime();
            ack[r] = (t1 - t0) / 1e6;
            unack[r] = (t2 - t1) / 1e6;
            ackCpu[r] = (c1 - c0) / 1e6;
            unackCpu[r] = (c2 - c1) / 1e6;
            // Each round on standard error: the medians hide a trend over
            // the rounds (the history and the page cache grow).
            System.err.printf("round %d: ack %.0f unack %.0f cpu ack %.0f unack %.0f%n", r, ack[r], unack[r],
                    ackCpu[r], unackCpu[r]);
        }
        System.out.printf("ack %.0f unack %.0f cpu ack %.0f unack %.0f%n", median(ack), median(unack),
                median(ackCpu), median(unackCpu));
    }

    private static double median(double[] values) {
        double[] v = values.clone();
        Arrays.sort(v);
        return v[v.length / 2];
    }
}
