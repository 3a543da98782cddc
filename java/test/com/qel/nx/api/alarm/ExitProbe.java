package com.qel.nx.api.alarm;

import com.qel.nx.server.qrt.EventHandler;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicInteger;

/**
 * A program that ends while events flow in and eight threads are inside the
 * natives: {@code exit} ends it with System.exit, {@code return} by main
 * returning. Run by tools/exit_test.sh, which times the end: the line
 * {@code ENDING <epoch ms> <events>} is the last thing it prints.
 */
public final class ExitProbe {
    private ExitProbe() {
    }

    public static void main(String[] args) throws Exception {
        boolean exit = args.length > 0 && args[0].equals("exit");
        String mis = System.getenv("NX_MIS_NAME");
        LogName log = new LogName(mis, "AlarmLog");
        AlarmLogImpl api = new AlarmLogImpl();
        AtomicInteger events = new AtomicInteger();
        // A handler that takes a moment, as real ones do: the event thread is
        // then mostly inside the VM when the program ends.
        EventHandler.addListener(AlarmLogEvent.ALARM_EVENT_ID, (key, event) -> {
            events.incrementAndGet();
            try {
                Thread.sleep(2);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
        });
        api.init(null, log);
        api.setEventAttrSetNative(AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID,
                AlarmRecordAttribute.PERCEIVED_SEVERITY));
        GenericQuery first = AlarmDbFixture.where(AlarmRecordAttribute.LOG_RECORD_ID, RelationCriteria.EQUAL, 1);
        AlarmRecordAttributeSet ids = AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID);
        for (int i = 0; i < 8; i++) {
            final boolean count = i % 2 == 0;
            Thread t = new Thread(() -> {
                try {
                    for (;;) {
                        if (count) {
                            api.getAlarmCountNative(log, null);
                        } else {
                            api.getAlarmsNative(log, first, ids);
                        }
                        Thread.sleep(1);
                    }
                } catch (AlarmException e) {
                    System.err.println("native failed: " + e.getMessage());
                } catch (InterruptedException e) {
                    Thread.currentThread().interrupt();
                }
            }, "caller-" + i);
            t.setDaemon(true);
            t.start();
        }
        long until = System.nanoTime() + TimeUnit.SECONDS.toNanos(5);
        while (events.get() < 20 && System.nanoTime() < until) {
            Thread.sleep(10);
        }
        System.out.println("ENDING " + System.currentTimeMillis() + " " + events.get());
        System.out.flush();
        if (exit) {
            System.exit(0);
        }
    }
}
