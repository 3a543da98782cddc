import com.qel.nx.api.alarm.AlarmLogEvent;
import com.qel.nx.api.alarm.AlarmLogImpl;
import com.qel.nx.api.alarm.AlarmRecordAttribute;
import com.qel.nx.api.alarm.AlarmRecordAttributeSet;
import com.qel.nx.api.alarm.AlarmRecordId;
import com.qel.nx.api.alarm.LogName;
import com.qel.nx.server.qrt.EventHandler;
import java.util.Arrays;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.concurrent.atomic.AtomicLong;

/**
 * Events reaching a Java listener. "same N": this process acknowledges
 * records 1..N in one call and times the listener's N change events from
 * the call; "unack N" takes that back (in another process); "watch N":
 * counts N change events made by another process and prints the time from
 * the first to the last; "latency R": R single
 * acknowledgements, each timed from the call to its event.
 */
public final class EventsBench {
    static final AtomicInteger COUNT = new AtomicInteger();
    static final AtomicLong FIRST = new AtomicLong();
    static final AtomicLong LAST = new AtomicLong();

    public static void main(String[] args) throws Exception {
        LogName log = new LogName(System.getenv("NX_MIS_NAME"), "AlarmLog");
        AlarmLogImpl api = new AlarmLogImpl();
        EventHandler.addListener(AlarmLogEvent.ALARM_EVENT_ID, (key, event) -> {
            if (((AlarmLogEvent) event).getKind() != AlarmLogEvent.ATTR_VALUE_CHANGED) {
                return;
            }
            long now = System.nanoTime();
            FIRST.compareAndSet(0, now);
            LAST.set(now);
            COUNT.incrementAndGet();
        });
        api.init(null, log);
        api.setEventAttrSetNative(AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID,
                AlarmRecordAttribute.ACK_STATE, AlarmRecordAttribute.ACK_TEXT, AlarmRecordAttribute.ACK_OPERATOR,
                AlarmRecordAttribute.ACK_TIME, AlarmRecordAttribute.LOG_NAME));
        int n = Integer.parseInt(args[1]);
        switch (args[0]) {
            case "same": {
                AlarmRecordId[] ids = new AlarmRecordId[n];
                for (int i = 0; i < n; i++) {
                    ids[i] = new AlarmRecordId(i + 1);
                }
                long start = System.nanoTime();
                api.setAckAlarmsNative(log, ids, new String[0]);
                long stored = System.nanoTime();
                await(n, 120);
                System.out.printf("same process: %d events; the call stored them in %.0f ms, the listener had"
                        + " them all %.0f ms after the call; first to last event %.0f ms: %.0f events/s%n",
                        COUNT.get(), (stored - start) / 1e6, (LAST.get() - start) / 1e6,
                        (LAST.get() - FIRST.get()) / 1e6, COUNT.get() / ((LAST.get() - FIRST.get()) / 1e9));
                break;
            }
            case "unack": {
                AlarmRecordId[] ids = new AlarmRecordId[n];
                for (int i = 0; i < n; i++) {
                    ids[i] = new AlarmRecordId(i + 1);
                }
                long start = System.nanoTime();
                api.setUnAckAlarmsNative(log, ids);
                System.out.printf("other process: %d changes stored in %.0f ms%n", n, (System.nanoTime() - start) / 1e6);
                break;
            }
            case "watch": {
                System.out.println("ready");
                System.out.flush();
                await(n, 300);
                System.out.printf("across processes: %d events, first to last %.0f ms: %.0f events/s%n", COUNT.get(),
                        (LAST.get() - FIRST.get()) / 1e6, COUNT.get() / ((LAST.get() - FIRST.get()) / 1e9));
                break;
            }
            default: {
                long[] took = new long[n];
                // The call alone (the store), and its return to the event.
                long[] call = new long[n];
                long[] after = new long[n];
                for (int i = 0; i < n; i++) {
                    AlarmRecordId[] one = {new AlarmRecordId(i % 1000 + 1)};
                    int before = COUNT.get();
                    long start = System.nanoTime();
                    if (i % 2000 < 1000) {
                        api.setAckAlarmsNative(log, one, new String[0]);
                    } else {
                        api.setUnAckAlarmsNative(log, one);
                    }
                    long returned = System.nanoTime();
                    while (COUNT.get() == before) {
                        Thread.onSpinWait();
                    }
                    took[i] = LAST.get() - start;
                    call[i] = returned - start;
                    after[i] = Math.max(0, LAST.get() - returned);
                }
                Arrays.sort(took);
                Arrays.sort(call);
                Arrays.sort(after);
                System.out.printf("single change to listener: p50 %.2f ms, p90 %.2f ms, max %.2f ms (%d changes);"
                        + " the call itself p50 %.2f ms, p90 %.2f; its return to the event p50 %.2f ms, p90 %.2f%n",
                        took[n / 2] / 1e6, took[n * 9 / 10] / 1e6, took[n - 1] / 1e6, n,
                        call[n / 2] / 1e6, call[n * 9 / 10] / 1e6, after[n / 2] / 1e6, after[n * 9 / 10] / 1e6);
            }
        }
        System.exit(0);
    }

    static void await(int n, int seconds) throws InterruptedException {
        long end = System.nanoTime() + seconds * 1_000_000_000L;
        while (COUNT.get() < n && System.nanoTime() < end) {
            Thread.sleep(1);
        }
    }
}
