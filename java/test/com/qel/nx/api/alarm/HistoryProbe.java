package com.qel.nx.api.alarm;

/**
 * Changes the same records over and over from a process of its own, for
 * HistoryConcurrencyNativeTest: {@code ack} acknowledges and takes it back,
 * {@code display} displays and takes it back, {@code rounds} times, all the
 * records given in one call each time. Prints {@code DONE} at the end.
 */
public final class HistoryProbe {
    private HistoryProbe() {
    }

    public static void main(String[] args) throws Exception {
        LogName log = new LogName(System.getenv("NX_MIS_NAME"), "AlarmLog");
        AlarmLogImpl api = new AlarmLogImpl();
        api.init(null, log);
        boolean ack = args[0].equals("ack");
        int rounds = Integer.parseInt(args[1]);
        AlarmRecordId[] ids = new AlarmRecordId[args.length - 2];
        for (int i = 2; i < args.length; i++) {
            ids[i - 2] = new AlarmRecordId(Integer.parseInt(args[i]));
        }
        for (int r = 0; r < rounds; r++) {
            String[] texts = new String[ids.length];
            java.util.Arrays.fill(texts, args[0] + " " + r);
            if (ack) {
                api.setAckAlarmsNative(log, ids, texts);
                api.setUnAckAlarmsNative(log, ids);
            } else {
                api.setDisplayAlarmsNative(log, ids, texts);
                api.setUnDisplayAlarmsNative(log, ids);
            }
        }
        System.out.println("DONE");
    }
}
