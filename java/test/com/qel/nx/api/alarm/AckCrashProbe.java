package com.qel.nx.api.alarm;

/**
 * AckCrashTest's client: acknowledges records 1..N of a log in one call,
 * saying "acking" on standard output just before and "done" after; the test
 * kills it with SIGKILL in between. NX_ALARM_DB names the database.
 */
public final class AckCrashProbe {
    private AckCrashProbe() {
    }

    public static void main(String[] args) throws Exception {
        LogName log = new LogName(System.getenv().getOrDefault("NX_MIS_NAME", "alpha"), args[0]);
        AlarmRecordId[] ids = BulkRecords.ids(Integer.parseInt(args[1]));
        AlarmLogImpl api = new AlarmLogImpl();
        api.init("crash", log);
        System.out.println("acking");
        System.out.flush();
        long start = System.nanoTime();
        api.setAckAlarmsNative(log, ids, null);
        System.out.println("done " + (System.nanoTime() - start) / 1_000_000);
        System.out.flush();
    }
}
