package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import com.qel.nx.api.common.NXSeverity;
import com.qel.nx.server.qrt.EventHandler;
import com.qel.nx.server.qrt.EventListener;
import java.io.IOException;
import java.lang.management.ManagementFactory;
import java.lang.management.MemoryPoolMXBean;
import java.lang.management.MemoryType;
import java.lang.management.MemoryUsage;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.LinkedBlockingQueue;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicLong;
import java.util.concurrent.atomic.AtomicReference;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * An alarm storm: another process ingests many alarms as fast as it can
 * while this client watches the log, reads it whole in batches again and
 * again, and acknowledges each critical alarm as its creation arrives. Every
 * creation and change must arrive once, in the order of the MIS's journal
 * (copied aside by a trigger, since the MIS prunes what its readers have
 * seen), and the client's heap must not grow with the storm.
 */
class AlarmStormTest {
    /**
     * Alarms of the storm: 100 000 (on a quiet 2-core machine, both engines
     * at once, SQLite took 40 s and PostgreSQL 101 s); NX_STORM_ALARMS
     * overrides.
     */
    private static final int ALARMS = Integer.parseInt(System.getenv().getOrDefault("NX_STORM_ALARMS",
            "100000"));
    /** Live heap after collections, at most (the events kept here take about 2 MB). */
    private static final long HEAP_BOUND = 96L << 20;
    private static final String RECORD = "logRecordId=number:";

    private static final AlarmLogImpl API = new AlarmLogImpl();
    private static AlarmDbFixture db;
    private static LogName log;

    /** Events as delivered: kind and record id, two ints each. */
    private static final IntList EVENTS = new IntList();
    private static final LinkedBlockingQueue<Integer> TO_ACK = new LinkedBlockingQueue<>();
    private static final AtomicReference<String> PROBLEM = new AtomicReference<>();
    private static final EventListener WATCH = (key, event) -> {
        AlarmLogEvent e = (AlarmLogEvent) event;
        if (e.getKind() == AlarmLogEvent.RESYNC || e.getRecord().logRecordId == null) {
            PROBLEM.compareAndSet(null, "unexpected event " + e);
            return;
        }
        int id = e.getRecord().logRecordId.intValue();
        synchronized (EVENTS) {
            EVENTS.add(e.getKind());
            EVENTS.add(id);
        }
        if (e.getKind() == AlarmLogEvent.OBJECT_CREATED && NXSeverity.CRITICAL.equals(e.getRecord().perceivedSeverity)) {
            TO_ACK.add(id);
        }
    };
    private static final AtomicLong BATCHED = new AtomicLong();
    private static final EventListener BATCHES = (key, event) -> BATCHED.addAndGet(((AlarmsBatch) event).size());

    @BeforeAll
    static void start() throws AlarmException {
        db = AlarmDbFixture.create();
        log = db.createLog("AlarmLog");
        EventHandler.addListener(AlarmLogEvent.ALARM_EVENT_ID, WATCH);
        EventHandler.addListener(AlarmsBatch.EVENT_KEY, BATCHES);
        API.init("storm", log);  // also makes the journal
        API.setEventAttrSetNative(AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID,
                AlarmRecordAttribute.PERCEIVED_SEVERITY, AlarmRecordAttribute.ACK_STATE));
        db.sql(AlarmDbFixture.onPostgres()
                ? "CREATE TABLE storm_journal (seq BIGINT, kind TEXT, objname TEXT);"
                        + "CREATE FUNCTION storm_copy() RETURNS trigger LANGUAGE plpgsql AS "
                        + "$$ BEGIN INSERT INTO storm_journal VALUES (NEW.seq, NEW.kind, NEW.objname); RETURN NULL; END $$;"
                        + "CREATE TRIGGER storm_copy AFTER INSERT ON nxmis_event FOR EACH ROW EXECUTE FUNCTION storm_copy();"
                : "CREATE TABLE storm_journal (seq INTEGER, kind TEXT, objname TEXT);"
                        + "CREATE TRIGGER storm_copy AFTER INSERT ON nxmis_event BEGIN "
                        + "INSERT INTO storm_journal VALUES (new.seq, new.kind, new.objname); END;");
    }

    @AfterAll
    static void stop() {
        EventHandler.removeListener(AlarmLogEvent.ALARM_EVENT_ID, WATCH);
        EventHandler.removeListener(AlarmsBatch.EVENT_KEY, BATCHES);
    }

    @Test
    void everyEventOnceInJournalOrderWithBoundedMemory() throws Exception {
        String tmp = System.getenv("NX_TEST_TMP");
        Path work = Files.createTempDirectory(tmp == null ? Paths.get(System.getProperty("java.io.tmpdir")) : Paths.get(tmp),
                "storm");
        try {
            storm(work);
        } finally {
            try (var files = Files.list(work)) {
                for (Path f : (Iterable<Path>) files::iterator) {
                    Files.deleteIfExists(f);
                }
            }
            Files.deleteIfExists(work);
        }
    }

    private void storm(Path work) throws Exception {
        Path input = work.resolve("storm.jsonl");
        generate(input);

        long started = System.nanoTime();
        Process ingest = new ProcessBuilder(Paths.get(System.getenv("NX_BUILD_DIR"), "nxalarm-db").toString(),
                "--db", System.getenv("NX_ALARM_DB"), "ingest", input.toString())
                .redirectErrorStream(true).redirectOutput(input.resolveSibling("ingest.out").toFile()).start();

        HeapWatch heap = new HeapWatch();
        heap.start();
        Thread acker = new Thread(AlarmStormTest::ackCriticals, "acker");
        acker.start();
        List<Integer> reads = new ArrayList<>();
        int batchId = 1;
        while (ingest.isAlive()) {
            long before = BATCHED.get();
            API.getAlarmsInBatchesNative(log, 1000, 7, batchId++, null,
                    AlarmRecordAttributeSet.of(AlarmRecordAttribute.LOG_RECORD_ID));
            reads.add((int) (BATCHED.get() - before));
        }
        assertTrue(ingest.waitFor(5, TimeUnit.MINUTES));
        String summary = Files.readString(input.resolveSibling("ingest.out"), StandardCharsets.UTF_8);
        assertEquals(0, ingest.exitValue(), summary);
        assertTrue(summary.contains("raised " + ALARMS + ","), summary);
        double seconds = (System.nanoTime() - started) / 1e9;

        // The log only grows: each whole read finds at least what the last one did.
        for (int i = 1; i < reads.size(); i++) {
            assertTrue(reads.get(i) >= reads.get(i - 1), () -> "batched reads returned " + reads);
        }

        // Every journal entry of the log's records, as this client must see it.
        int[] journal = null;
        long until = System.nanoTime() + TimeUnit.SECONDS.toNanos(120);
        while (System.nanoTime() < until) {
            journal = journalOfLog();
            int delivered;
            synchronized (EVENTS) {
                delivered = EVENTS.size();
            }
            if (TO_ACK.isEmpty() && delivered >= journal.length && !ackerBusy) {
                Thread.sleep(1000);  // stragglers, or a last acknowledgement's change
                journal = journalOfLog();
                synchronized (EVENTS) {
                    delivered = EVENTS.size();
                }
                if (delivered >= journal.length && TO_ACK.isEmpty()) {
                    break;
                }
            }
            Thread.sleep(200);
        }
        acker.interrupt();
        acker.join();
        heap.interrupt();
        heap.join();
        if (PROBLEM.get() != null) {
            fail(PROBLEM.get());
        }
        int[] delivered;
        synchronized (EVENTS) {
            delivered = EVENTS.toArray();
        }
        int creations = 0;
        int changes = 0;
        for (int i = 0; i < journal.length; i += 2) {
            if (journal[i] == AlarmLogEvent.OBJECT_CREATED) {
                creations++;
            } else {
                changes++;
            }
        }
        assertEquals(ALARMS, creations, "creations in the journal");
        assertTrue(acked > 0 && changes >= acked, "acknowledged " + acked + ", changes " + changes);
        if (!Arrays.equals(journal, delivered)) {
            int at = Arrays.mismatch(journal, delivered) / 2;
            fail("events differ from the journal at entry " + at + " of " + journal.length / 2
                    + " (delivered " + delivered.length / 2 + "): journal " + window(journal, at)
                    + ", delivered " + window(delivered, at));
        }
        assertTrue(heap.peak <= HEAP_BOUND, "live heap after collections peaked at " + (heap.peak >> 20) + " MiB");
        System.out.printf("storm: %d alarms, %d changes, %d batched reads, %.1f s, live heap peak %d MiB, %s,"
                + " events at most %d entries behind the journal%n",
                creations, changes, reads.size(), seconds, heap.peak >> 20, vmHwm(), heap.mostBehind);
    }

    /** The storm's lines, varied as a network's alarms are (tools/gen_alarms.awk). */
    private static void generate(Path input) throws IOException, InterruptedException {
        Path script = Paths.get(System.getenv("NX_SOURCE_DIR"), "tools", "gen_alarms.awk");
        Process p = new ProcessBuilder("awk", "-v", "n=" + ALARMS, "-v", "seed=7", "-f", script.toString())
                .redirectOutput(input.toFile()).redirectError(ProcessBuilder.Redirect.INHERIT).start();
        assertTrue(p.waitFor(60, TimeUnit.SECONDS));
        assertEquals(0, p.exitValue());
    }

    private static volatile boolean ackerBusy;
    private static volatile int acked;

    /** Acknowledges critical alarms as their creations arrive, up to 200 in one call. */
    private static void ackCriticals() {
        List<Integer> ids = new ArrayList<>();
        try {
            for (;;) {
                ids.clear();
                ids.add(TO_ACK.take());
                ackerBusy = true;
                TO_ACK.drainTo(ids, 199);
                AlarmRecordId[] recordIds = new AlarmRecordId[ids.size()];
                String[] texts = new String[ids.size()];
                for (int i = 0; i < recordIds.length; i++) {
                    recordIds[i] = new AlarmRecordId(ids.get(i));
                    texts[i] = "storm";
                }
                API.setAckAlarmsNative(log, recordIds, texts);
                acked += recordIds.length;
                ackerBusy = false;
            }
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        } catch (AlarmException e) {
            PROBLEM.compareAndSet(null, "acknowledging " + ids + " failed: " + e.getMessage());
        } finally {
            ackerBusy = false;
        }
    }

    /** Kinds and record ids of the journal's entries about the log's records, in journal order. */
    private static int[] journalOfLog() {
        String rows = db.sql("SELECT kind, objname FROM storm_journal ORDER BY seq");
        IntList out = new IntList();
        for (String row : rows.split("\n")) {
            int bar = row.indexOf('|');
            int at = row.indexOf(RECORD);
            if (bar < 0 || at < 0 || !row.contains("logId=string:\"AlarmLog\"")) {
                continue;
            }
            String kind = row.substring(0, bar);
            out.add(kind.equals("OBJECT_CREATED") ? AlarmLogEvent.OBJECT_CREATED
                    : kind.equals("OBJECT_DESTROYED") ? AlarmLogEvent.OBJECT_DELETED : AlarmLogEvent.ATTR_VALUE_CHANGED);
            out.add(Integer.parseInt(row.substring(at + RECORD.length()).replaceAll("[^0-9].*", "")));
        }
        return out.toArray();
    }

    private static String window(int[] events, int at) {
        StringBuilder sb = new StringBuilder("[");
        for (int i = Math.max(0, at - 2); i < Math.min(events.length / 2, at + 3); i++) {
            sb.append(i == at ? " >" : " ").append(events[2 * i]).append(':').append(events[2 * i + 1]);
        }
        return sb.append(" ]").toString();
    }

    private static String vmHwm() throws IOException {
        for (String line : Files.readAllLines(Paths.get("/proc/self/status"))) {
            if (line.startsWith("VmHWM:")) {
                return line.replaceAll("\\s+", " ");
            }
        }
        return "VmHWM: ?";
    }

    /** The largest live heap seen after a collection, and how far this client's events fell behind. */
    private static final class HeapWatch extends Thread {
        volatile long peak;
        /** The most journal entries not yet delivered, sampled each second. */
        volatile long mostBehind;

        HeapWatch() {
            super("heap-watch");
            setDaemon(true);
        }

        @Override
        public void run() {
            try {
                while (!isInterrupted()) {
                    long live = 0;
                    for (MemoryPoolMXBean pool : ManagementFactory.getMemoryPoolMXBeans()) {
                        MemoryUsage after = pool.getType() == MemoryType.HEAP ? pool.getCollectionUsage() : null;
                        if (after != null) {
                            live += after.getUsed();
                        }
                    }
                    peak = Math.max(peak, live);
                    if (++ticks % 10 == 0) {
                        sampleLag();
                    }
                    Thread.sleep(100);
                }
            } catch (InterruptedException e) {
                // done
            }
        }

        private int ticks;

        /** How far this client's events are behind the journal: how near the storm comes to RESYNC. */
        private void sampleLag() {
            try {
                long journaled = Long.parseLong(db.sql("SELECT COUNT(*) FROM storm_journal"));
                long delivered;
                synchronized (EVENTS) {
                    delivered = EVENTS.size() / 2;
                }
                mostBehind = Math.max(mostBehind, journaled - delivered);
            } catch (RuntimeException e) {
                // a figure for the report only
            }
        }
    }

    /** A growing array of ints. */
    private static final class IntList {
        private int[] items = new int[1024];
        private int size;

        void add(int v) {
            if (size == items.length) {
                items = Arrays.copyOf(items, size * 2);
            }
            items[size++] = v;
        }

        int size() {
            return size;
        }

        int[] toArray() {
            return Arrays.copyOf(items, size);
        }
    }
}
