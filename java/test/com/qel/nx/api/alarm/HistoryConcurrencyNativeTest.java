package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;

/**
 * Two processes changing the same records at once: the history holds every
 * change once, in the order of the MIS journal. The journal is pruned once
 * read, so a trigger keeps a copy of each journal entry with the newest
 * history entry at the moment it was written.
 */
class HistoryConcurrencyNativeTest {
    private static final int ROUNDS = 8;

    private static Process probe(Path build, String mode, List<Integer> ids) throws Exception {
        List<String> cmd = new ArrayList<>(List.of("java", "-Xcheck:jni", "-Djava.library.path=" + build,
                "-cp", build.resolve("java/nxalarm-api.jar") + ":" + build.resolve("java/nxalarm-tests.jar"),
                HistoryProbe.class.getName(), mode, Integer.toString(ROUNDS)));
        for (int id : ids) {
            cmd.add(Integer.toString(id));
        }
        return new ProcessBuilder(cmd).redirectErrorStream(true).start();
    }

    private static void finish(Process p) throws Exception {
        String out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertTrue(p.waitFor(120, TimeUnit.SECONDS), "the probe did not end");
        assertEquals(0, p.exitValue(), () -> "the probe failed:\n" + out);
        assertTrue(out.contains("DONE"), out);
        assertFalse(out.contains("WARNING in native method"), out);
    }

    @Test
    void twoWritersLeaveTheHistoryInJournalOrder() throws Exception {
        AlarmDbFixture db = AlarmDbFixture.create();
        LogName log = db.createLog("AlarmLog");
        List<Integer> ids = db.raise(log, "major", 4);
        if (AlarmDbFixture.onPostgres()) {
            db.sql("CREATE TABLE journal_copy (seq BIGINT, kind TEXT, objname TEXT, history BIGINT); "
                    + "CREATE FUNCTION copy_journal() RETURNS trigger AS $$ BEGIN INSERT INTO journal_copy VALUES "
                    + "(NEW.seq, NEW.kind, NEW.objname, (SELECT MAX(seq) FROM nxmis_history)); RETURN NEW; END $$ "
                    + "LANGUAGE plpgsql; CREATE TRIGGER copy_journal AFTER INSERT ON nxmis_event FOR EACH ROW "
                    + "EXECUTE FUNCTION copy_journal()");
        } else {
            db.sql("CREATE TABLE journal_copy (seq INTEGER, kind TEXT, objname TEXT, history INTEGER); "
                    + "CREATE TRIGGER copy_journal AFTER INSERT ON nxmis_event BEGIN INSERT INTO journal_copy "
                    + "VALUES (NEW.seq, NEW.kind, NEW.objname, (SELECT MAX(seq) FROM nxmis_history)); END");
        }
        Path build = Paths.get(System.getenv("NX_BUILD_DIR"));
        Process acks = probe(build, "ack", ids);
        Process displays = probe(build, "display", ids);
        finish(acks);
        finish(displays);

        // The history's changes (not the creations) and the journal's, oldest first.
        String[] history = db.sql("SELECT seq, logrecordid FROM nxmis_history WHERE kind <> 'created' ORDER BY seq")
                .split("\n");
        String[] journal = db.sql("SELECT history, objname FROM journal_copy WHERE kind = 'ATTR_CHANGED' "
                + "AND objname LIKE '%/logRecordId=%' ORDER BY seq").split("\n");
        int expected = 2 * 2 * ROUNDS * ids.size();
        assertEquals(expected, history.length, "history entries");
        assertEquals(expected, journal.length, "journal entries");
        AlarmLogImpl api = new AlarmLogImpl();
        api.init("concurrency", log);
        List<Integer> byApi = new ArrayList<>();
        for (AlarmStateChange c : api.getLogHistoryNative(log, null, 100_000)) {
            if (!c.kind.equals("created")) {
                byApi.add(c.logRecordId.intValue());
            }
        }
        long lastMark = 0;
        for (int i = 0; i < expected; i++) {
            String[] h = history[i].split("\\|");
            String[] j = journal[i].split("\\|");
            long seq = Long.parseLong(h[0]);
            long mark = Long.parseLong(j[0]);
            String where = "change " + i + ": history " + history[i] + ", journal " + journal[i];
            assertTrue(j[1].endsWith("logRecordId=number:" + h[1]), where);
            // The change's entry was written in the journal entry's transaction, or before it.
            assertTrue(mark >= seq, where);
            assertTrue(mark >= lastMark, where);
            lastMark = mark;
            assertEquals(Integer.parseInt(h[1]), byApi.get(i), "the API reads the history in the same order");
        }
    }
}
