package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.qel.nx.server.qrt.EventHandler;
import com.qel.nx.server.qrt.EventListener;
import java.io.IOException;
import java.lang.reflect.Field;
import java.lang.reflect.Modifier;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * Wanted attributes are a set: an attribute set that lists an attribute many
 * times (as a forged one can) asks for the same records as the set without the
 * repeats, and costs no more to read.
 */
class AttributeSetRepeatsNativeTest {
    private static final AlarmLogImpl API = new AlarmLogImpl();
    private static final int TEXT_BYTES = 512 * 1024;
    private static LogName log;

    @BeforeAll
    static void fill() throws AlarmException {
        AlarmDbFixture db = AlarmDbFixture.create();
        log = db.createLog("AlarmLog");
        List<Integer> ids = db.raise(log, "major", 3);
        API.init("client", log);
        char[] text = new char[TEXT_BYTES];
        Arrays.fill(text, 'a');
        API.setAckAlarmsNative(log, new AlarmRecordId[] {new AlarmRecordId(ids.get(1))},
                new String[] {new String(text)});
    }

    /** Every field of a record but its set, as text. */
    private static String fields(AlarmRecord r) {
        StringBuilder b = new StringBuilder();
        for (Field f : AlarmRecord.class.getFields()) {
            if (Modifier.isStatic(f.getModifiers()) || f.getName().equals("attrSet")) {
                continue;
            }
            try {
                Object v = f.get(r);
                b.append(f.getName()).append('=').append(v instanceof String ? ((String) v).length() + ":"
                        + ((String) v).hashCode() : v).append(' ');
            } catch (IllegalAccessException e) {
                throw new AssertionError(e);
            }
        }
        return b.toString();
    }

    private static List<String> fieldsOf(AlarmRecord[] records, AlarmRecordAttributeSet set) {
        List<String> out = new ArrayList<>();
        for (AlarmRecord r : records) {
            assertSame(set, r.attrSet);
            out.add(fields(r));
        }
        return out;
    }

    private static List<String> batched(AlarmRecordAttributeSet set) throws AlarmException {
        List<AlarmRecord> records = new ArrayList<>();
        EventListener take = (key, event) -> records.addAll(Arrays.asList(((AlarmsBatch) event).getRecords()));
        EventHandler.addListener(AlarmsBatch.EVENT_KEY, take);
        try {
            API.getAlarmsInBatchesNative(log, 2, 1, 77, null, set);
        } finally {
            EventHandler.removeListener(AlarmsBatch.EVENT_KEY, take);
        }
        return fieldsOf(records.toArray(new AlarmRecord[0]), set);
    }

    @Test
    void repeatsGiveTheRecordsOfTheSetWithout() throws AlarmException {
        AlarmRecordAttributeSet once = AlarmRecordAttributeSet.of(AlarmRecordAttribute.ACK_TEXT,
                AlarmRecordAttribute.LOG_RECORD_ID, AlarmRecordAttribute.LOG_NAME,
                AlarmRecordAttribute.MANAGED_OBJECT_INSTANCE, AlarmRecordAttribute.PERCEIVED_SEVERITY,
                AlarmRecordAttribute.ACK_STATE, AlarmRecordAttribute.EVENT_TIME);
        List<Object> listed = new ArrayList<>(once.toList());
        for (int i = 0; i < 40; i++) {
            listed.addAll(once.toList());
        }
        listed.add(AlarmRecordAttribute.LOG_RECORD_ID);
        AlarmRecordAttributeSet repeated = Forged.setListing(listed.toArray());

        List<String> expected = fieldsOf(API.getAlarmsNative(log, null, once), once);
        assertEquals(3, expected.size());
        assertEquals(expected, fieldsOf(API.getAlarmsNative(log, null, repeated), repeated));
        assertEquals(expected, batched(repeated));
    }

    private static long peakKiB() throws IOException {
        for (String line : Files.readAllLines(Paths.get("/proc/self/status"))) {
            if (line.startsWith("VmHWM:")) {
                return Long.parseLong(line.replaceAll("[^0-9]", ""));
            }
        }
        throw new IOException("no VmHWM in /proc/self/status");
    }

    @Test
    void aLongTextListedManyTimesIsReadOnce() throws AlarmException, IOException {
        AlarmRecordAttributeSet repeated =
                Forged.setListing(Collections.nCopies(300, AlarmRecordAttribute.ACK_TEXT).toArray());
        API.getAlarmsNative(log, null, repeated);  // warm up the code paths
        boolean reset;
        try {
            Files.write(Paths.get("/proc/self/clear_refs"), "5".getBytes(StandardCharsets.US_ASCII));
            reset = true;
        } catch (IOException e) {
            reset = false;
        }
        assumeTrue(reset, "the peak resident size cannot be reset here");
        long before = peakKiB();
        AlarmRecord[] records = API.getAlarmsNative(log, null, repeated);
        long grown = peakKiB() - before;
        int texts = 0;
        for (AlarmRecord r : records) {
            texts += r.ackText == null ? 0 : 1;
        }
        assertEquals(1, texts);
        // One copy is half a MiB; one per listing was 150 MiB in each of the
        // reader, the packed run and the Java strings.
        assertTrue(grown < 48 * 1024, "peak resident size grew by " + grown / 1024 + " MiB");
    }
}
