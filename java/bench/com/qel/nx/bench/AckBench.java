package com.qel.nx.bench;

import com.qel.nx.api.alarm.AlarmException;
import com.qel.nx.api.alarm.AlarmLogImpl;
import com.qel.nx.api.alarm.AlarmRecordAttribute;
import com.qel.nx.api.alarm.AlarmRecordId;
import com.qel.nx.api.alarm.Filter;
import com.qel.nx.api.alarm.FilterItem;
import com.qel.nx.api.alarm.GenericQuery;
import com.qel.nx.api.alarm.LogName;
import com.qel.nx.api.alarm.LogicalCriteria;
import com.qel.nx.api.alarm.RelationCriteria;
import java.lang.management.ManagementFactory;
import java.lang.management.ThreadMXBean;
import java.util.Arrays;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.concurrent.atomic.AtomicLong;

/**
 * Bulk state changes: one setAckAlarmsNative over records 1..N of a log
 * (each with a text), timed to its return, which comes after the commit;
 * then setUnAckAlarmsNative over the same records. Meanwhile another thread
 * calls getAlarmCountNative without a pause: the longest of those calls that
 * overlapped the acknowledge is how long a reader waited for it.
 *
 * <pre>
 *   AckBench LOG N ROUNDS
 * </pre>
 * NX_ALARM_DB names the database (the log must hold records 1..N, none
 * acknowledged), NX_MIS_NAME the MIS.
 */
public final class AckBench {
    private static final String MIS = System.getenv().getOrDefault("NX_MIS_NAME", "alpha");

    private AckBench() {
    }

    public static void main(String[] args) throws Exception {
        if (args.length != 3) {
            System.err.println("usage: AckBench LOG N ROUNDS");
            System.exit(2);
        }
        LogName log = new LogName(MIS, args[0]);
        int n = Integer.parseInt(args[1]);
        int rounds = Integer.parseInt(args[2]);
        AlarmLogImpl api = new AlarmLogImpl();
        api.init("ackbench", log);
        AlarmRecordId[] ids = new AlarmRecordId[n];
        String[] texts = new String[n];
        for (int i = 0; i < n; i++) {
            ids[i] = new AlarmRecordId(i + 1);
            texts[i] = "seen by the night shift, ticket " + (40000 + i);
        }
        GenericQuery acked = new GenericQuery(LogicalCriteria.AND).add(new Filter(LogicalCriteria.AND)
                .add(new FilterItem(AlarmRecordAttribute.ACK_STATE, RelationCriteria.EQUAL, "acked")));
        double[] ackRates = new double[rounds];
        double[] unackRates = new double[rounds];
        long[] waits = new long[rounds];
        double[] cpuRates = new double[rounds];
        // The calling thread's CPU time: a figure that a busy machine does not
        // change as much as the wall clock.
        ThreadMXBean threads = ManagementFactory.getThreadMXBean();
        for (int r = 0; r < rounds; r++) {
            expect(api.getAlarmCountNative(log, acked), 0, "acknowledged before round " + r);
            Reader reader = new Reader(api, log);
            reader.start();
            reader.awaitFirst();
            long cpuStart = threads.getCurrentThreadCpuTime();
            long start = System.nanoTime();
            reader.ackStart.set(start);
            api.setAckAlarmsNative(log, ids, texts);
            long end = System.nanoTime();
            long cpu = threads.getCurrentThreadCpuTime() - cpuStart;
            cpuRates[r] = n / (cpu / 1e9);
            reader.ackEnd.set(end);
            reader.stopAndJoin();
            expect(api.getAlarmCountNative(log, acked), n, "acknowledged after round " + r);
            long unackStart = System.nanoTime();
            api.setUnAckAlarmsNative(log, ids);
            long unackEnd = System.nanoTime();
            expect(api.getAlarmCountNative(log, acked), 0, "acknowledged after the unack of round " + r);
            ackRates[r] = n / ((end - start) / 1e9);
            unackRates[r] = n / ((unackEnd - unackStart) / 1e9);
            waits[r] = reader.longestOverlap.get() / 1_000_000;
            System.out.printf("round %d: ack %d records %.0f ms (%.0f changes/s; %.0f ms CPU of the calling thread),"
                    + " unack %.0f ms (%.0f/s); %d counts meanwhile, the longest %d ms%n", r, n, (end - start) / 1e6,
                    ackRates[r], cpu / 1e6,
                    (unackEnd - unackStart) / 1e6, unackRates[r], reader.overlapping.get(), waits[r]);
        }
        Arrays.sort(ackRates);
        Arrays.sort(unackRates);
        Arrays.sort(waits);
        Arrays.sort(cpuRates);
        System.out.printf("ack of %d records in one call: median %.0f changes/s (best %.0f; %.0f per CPU second of"
                + " the calling thread); unack median %.0f/s; getAlarmCountNative during it waited at most %d ms"
                + " (median of rounds)%n", n, ackRates[rounds / 2], ackRates[rounds - 1], cpuRates[rounds / 2],
                unackRates[rounds / 2], waits[rounds / 2]);
    }

    private static void expect(int got, int want, String what) {
        if (got != want) {
            throw new IllegalStateException(what + ": " + got + " records, expected " + want);
        }
    }

    /** Counts without a pause; keeps the longest call that overlapped the acknowledge. */
    private static final class Reader extends Thread {
        final AtomicLong ackStart = new AtomicLong(Long.MAX_VALUE);
        final AtomicLong ackEnd = new AtomicLong(Long.MAX_VALUE);
        final AtomicLong longestOverlap = new AtomicLong();
        final AtomicLong overlapping = new AtomicLong();
        private final AlarmLogImpl api;
        private final LogName log;
        private final AtomicBoolean stop = new AtomicBoolean();
        private final GenericQuery all = new GenericQuery(LogicalCriteria.AND);
        private final java.util.concurrent.CountDownLatch first = new java.util.concurrent.CountDownLatch(1);
        private volatile Exception failure;

        Reader(AlarmLogImpl api, LogName log) {
            this.api = api;
            this.log = log;
            setDaemon(true);
        }

        @Override
        public void run() {
            try {
                while (!stop.get()) {
                    long s = System.nanoTime();
                    api.getAlarmCountNative(log, all);
                    long e = System.nanoTime();
                    first.countDown();
                    if (s < ackEnd.get() && e > ackStart.get()) {
                        overlapping.incrementAndGet();
                        longestOverlap.accumulateAndGet(e - s, Math::max);
                    }
                }
            } catch (AlarmException ex) {
                failure = ex;
                first.countDown();
            }
        }

        void awaitFirst() throws InterruptedException {
            first.await();
        }

        void stopAndJoin() throws Exception {
            stop.set(true);
            join();
            if (failure != null) {
                throw failure;
            }
        }
    }
}
