package com.qel.nx.api.alarm;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;

/**
 * Runs client operations one after another, each optionally while another
 * process (nxalarm-db hold-lock) holds a lock, and prints one line per
 * operation: {@code RESULT <op> ok|fail <ms> <detail>}. Run by
 * LockWaitNativeTest in a JVM of its own, since the library reads its
 * environment (NX_LOG_MPA_DEADLOCK_TIMEOUT) once per process.
 *
 * <p>Steps: {@code init}, {@code read}, {@code count}, {@code ack}, each with
 * an optional {@code :hold} (a write transaction) or {@code :hold-readers}
 * (a lock that keeps readers out too), e.g. {@code init:hold read:hold-readers}.
 */
public final class LockProbe {
    static final int HOLD_SECONDS = 8;

    private LockProbe() {
    }

    public static void main(String[] args) throws Exception {
        LogName log = new LogName(System.getenv("NX_MIS_NAME"), "AlarmLog");
        AlarmLogImpl api = new AlarmLogImpl();
        for (String step : args) {
            String[] parts = step.split(":");
            Process holder = parts.length > 1 ? hold(parts[1].equals("hold-readers")) : null;
            long start = System.nanoTime();
            String outcome;
            try {
                outcome = "ok " + run(parts[0], api, log);
            } catch (AlarmException e) {
                outcome = "fail " + e.getMessage();
            }
            long ms = TimeUnit.NANOSECONDS.toMillis(System.nanoTime() - start);
            String[] split = outcome.split(" ", 2);
            System.out.println("RESULT " + parts[0] + " " + split[0] + " " + ms + " " + split[1]);
            System.out.flush();
            if (holder != null) {
                // Done with it: the next step may need the lock for itself.
                holder.destroy();
                holder.waitFor(30, TimeUnit.SECONDS);
            }
        }
    }

    private static String run(String op, AlarmLogImpl api, LogName log) throws AlarmException {
        switch (op) {
            case "init":
                api.init(null, log);
                return "-";
            case "read":
                AlarmRecord[] records = api.getAlarmsNative(log, new GenericQuery(LogicalCriteria.AND),
                        AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID));
                return records == null ? "null" : Integer.toString(records.length);
            case "count":
                return Integer.toString(api.getAlarmCountNative(log, null));
            case "ack":
                api.setAckAlarmsNative(log, new AlarmRecordId[] {new AlarmRecordId(1)}, new String[] {"probe"});
                return "-";
            default:
                throw new IllegalArgumentException("unknown step " + op);
        }
    }

    /** Starts the lock holder and returns once it holds the lock. */
    private static Process hold(boolean readers) throws IOException {
        List<String> cmd = new ArrayList<>(List.of(Paths.get(System.getenv("NX_BUILD_DIR"), "nxalarm-db").toString(),
                "hold-lock", Integer.toString(HOLD_SECONDS)));
        if (readers) {
            cmd.add("--readers");
        }
        Process p = new ProcessBuilder(cmd).redirectError(ProcessBuilder.Redirect.INHERIT).start();
        BufferedReader out = new BufferedReader(new InputStreamReader(p.getInputStream(), StandardCharsets.UTF_8));
        String line = out.readLine();
        if (!"held".equals(line)) {
            throw new IllegalStateException("the lock holder did not take its lock: " + line);
        }
        return p;
    }
}
