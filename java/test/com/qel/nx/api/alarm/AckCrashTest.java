package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.BufferedReader;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.List;
import java.util.Random;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * A process killed (SIGKILL) in the middle of acknowledging 10 000 records
 * in one call leaves all of them acknowledged or none, and the database
 * whole. Each round is an AckCrashProbe JVM, killed at a random point of
 * the call (the first round runs to its end to time it).
 */
class AckCrashTest {
    private static final int RECORDS = 10000;
    private static final int KILLED_ROUNDS = 4;

    private static AlarmDbFixture db;
    private static LogName log;
    private static String table;
    private static Path build;

    @BeforeAll
    static void fill() {
        db = AlarmDbFixture.create();
        log = db.createLog("AlarmLog");
        BulkRecords.fill(db, log, RECORDS);
        table = db.table(log);
        build = Paths.get(System.getenv("NX_BUILD_DIR"));
    }

    private static int acked() {
        return Integer.parseInt(db.sql("SELECT count(*) FROM " + table + " WHERE ackstate = 'acked'"));
    }

    /** Runs a probe; kills it killAfterMs after it says "acking" (never when negative). Its call's ms, or -1. */
    private static long probe(long killAfterMs) throws Exception {
        ProcessBuilder pb = new ProcessBuilder("java", "-Djava.library.path=" + build, "-cp",
                build.resolve("java/nxalarm-api.jar") + ":" + build.resolve("java/nxalarm-tests.jar"),
                AckCrashProbe.class.getName(), log.getLogId(), Integer.toString(RECORDS))
                .redirectError(ProcessBuilder.Redirect.INHERIT);
        Process p = pb.start();
        try (BufferedReader out = new BufferedReader(new InputStreamReader(p.getInputStream(),
                StandardCharsets.UTF_8))) {
            assertEquals("acking", out.readLine(), "the probe did not start its call");
            if (killAfterMs >= 0) {
                Thread.sleep(killAfterMs);
                p.destroyForcibly();
                assertTrue(p.waitFor(30, TimeUnit.SECONDS), "the probe did not die");
                return -1;
            }
            String done = out.readLine();
            assertNotNull(done, "the probe ended before its call returned");
            // Its exit status is not looked at: a JVM that exits with the
            // call's events still queued may end its event thread hard.
            assertTrue(p.waitFor(60, TimeUnit.SECONDS), "the probe did not end");
            return Long.parseLong(done.substring("done ".length()));
        } finally {
            p.destroyForcibly();
        }
    }

    private static void assertWhole() {
        if (!AlarmDbFixture.onPostgres()) {
            assertEquals("ok", db.sql("PRAGMA integrity_check"));
        }
    }

    @Test
    void aKilledBulkAcknowledgeLeavesAllOrNothing() throws Exception {
        long callMs = probe(-1);
        assertEquals(RECORDS, acked(), "a call that ran to its end acknowledged everything");
        Random random = new Random();
        int none = 0;
        // Fewer on PostgreSQL, where each round's call takes longer.
        int rounds = AlarmDbFixture.onPostgres() ? 2 : KILLED_ROUNDS;
        for (int round = 0; round < rounds; round++) {
            db.sql("UPDATE " + table + " SET ackstate = 'unAcked', acktime = NULL, ackoperator = NULL");
            // Somewhere in the call (start-up of the call included).
            long at = (long) (callMs * (0.1 + 0.8 * random.nextDouble()));
            probe(at);
            int n = acked();
            System.out.println("killed " + at + " ms into a call of about " + callMs + " ms: " + n + " acknowledged");
            assertTrue(n == 0 || n == RECORDS, () -> n + " of " + RECORDS + " records acknowledged");
            assertWhole();
            if (n == 0) {
                none++;
            }
        }
        // A kill well inside the call leaves nothing: at least one must have.
        assertTrue(none > 0, "no kill landed before the commit");
    }
}
