package com.qel.nx.api.alarm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeFalse;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * Lock waits keep to NX_LOG_MPA_DEADLOCK_TIMEOUT on every connection, and a
 * lock held past it is reported as a busy database; a read-only database can
 * be read. Each client is a LockProbe JVM of its own (the setting is read
 * once per process) while nxalarm-db hold-lock holds a lock for 8 s.
 */
class LockWaitNativeTest {
    private static final String BUSY_2 = "the alarm database is busy: a lock was held for more than 2 s";

    private static AlarmDbFixture db;
    private static Path build;

    @BeforeAll
    static void fill() {
        db = AlarmDbFixture.create();
        db.raise(db.createLog("AlarmLog"), "major", 3);
        build = Paths.get(System.getenv("NX_BUILD_DIR"));
    }

    /** One probe step's outcome, from its line "RESULT step ok|fail ms detail". */
    private record Outcome(String step, boolean ok, long ms, String detail) {
        static Outcome of(String[] f) {
            return new Outcome(f[1], f[2].equals("ok"), Long.parseLong(f[3]), f.length > 4 ? f[4] : "");
        }
    }

    /** Runs a LockProbe JVM with the lock wait setting and database given; its outcomes in step order. */
    private static List<Outcome> probe(String setting, String location, String... steps) throws Exception {
        List<String> cmd = new ArrayList<>(List.of("java", "-Xcheck:jni", "-Djava.library.path=" + build,
                "-cp", build.resolve("java/nxalarm-api.jar") + ":" + build.resolve("java/nxalarm-tests.jar"),
                LockProbe.class.getName()));
        cmd.addAll(Arrays.asList(steps));
        ProcessBuilder pb = new ProcessBuilder(cmd).redirectErrorStream(true);
        if (setting != null) {
            pb.environment().put("NX_LOG_MPA_DEADLOCK_TIMEOUT", setting);
        }
        pb.environment().put("NX_ALARM_DB", location);
        Process p = pb.start();
        String out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertTrue(p.waitFor(120, TimeUnit.SECONDS), "the probe did not end");
        assertEquals(0, p.exitValue(), () -> "the probe failed:\n" + out);
        assertFalse(out.contains("WARNING in native method") || out.contains("FATAL ERROR"), out);
        List<Outcome> results = new ArrayList<>();
        for (String line : out.split("\n")) {
            String[] f = line.split(" ", 5);
            if (f[0].equals("RESULT")) {
                results.add(Outcome.of(f));
            }
        }
        assertEquals(steps.length, results.size(), () -> "not every step ran:\n" + out);
        return results;
    }

    private static void assertWaitedAndSucceeded(Outcome o) {
        assertTrue(o.ok(), o::toString);
        // The holder had the lock for 8 s when the step began.
        assertTrue(o.ms() >= 4000, () -> "did not wait for the lock: " + o);
    }

    private static void assertBusyAfterTheSetting(Outcome o) {
        assertFalse(o.ok(), () -> "succeeded under the lock: " + o);
        assertTrue(o.ms() >= 1500 && o.ms() <= 6000, () -> "gave up at the wrong time: " + o);
        assertTrue(o.detail().contains(BUSY_2), o::toString);
    }

    /**
     * A read under a lock: on PostgreSQL one that keeps readers out, which a
     * read waits for like any other; SQLite's readers never wait for a
     * writer (write-ahead log), and no connection can keep them out while a
     * client has the database open, so there it is a write lock, and the
     * read must not wait at all.
     */
    private static String readUnderLock() {
        return AlarmDbFixture.onPostgres() ? "read:hold-readers" : "read:hold";
    }

    private static void assertReadUnderLock(Outcome o, boolean pastTheSetting) {
        if (!AlarmDbFixture.onPostgres()) {
            assertTrue(o.ok() && o.ms() < 4000, () -> "a reader waited for a writer: " + o);
            assertEquals("3", o.detail(), o::toString);
        } else if (pastTheSetting) {
            assertBusyAfterTheSetting(o);
        } else {
            assertWaitedAndSucceeded(o);
            assertEquals("3", o.detail(), o::toString);
        }
    }

    @Test
    void withinTheSettingInitReadAndAckWaitForTheLock() throws Exception {
        List<Outcome> r = probe("20", System.getenv("NX_ALARM_DB"), "init:hold", readUnderLock(), "ack:hold");
        assertWaitedAndSucceeded(r.get(0));
        assertReadUnderLock(r.get(1), false);
        assertWaitedAndSucceeded(r.get(2));
    }

    @Test
    void pastTheSettingEachFailsSayingTheDatabaseIsBusy() throws Exception {
        String location = System.getenv("NX_ALARM_DB");
        assertBusyAfterTheSetting(probe("2", location, "init:hold").get(0));
        List<Outcome> r = probe("2", location, "init", readUnderLock(), "ack:hold", "count");
        assertTrue(r.get(0).ok(), r.get(0)::toString);
        assertReadUnderLock(r.get(1), true);
        assertBusyAfterTheSetting(r.get(2));
        // Nothing was left half done: the log is whole.
        assertEquals("3", r.get(3).detail(), r.get(3)::toString);
    }

    /** nxalarm-db on another database file. */
    private static void tool(Path file, String... args) throws IOException, InterruptedException {
        List<String> cmd = new ArrayList<>(List.of(build.resolve("nxalarm-db").toString(), "--db", file.toString()));
        cmd.addAll(Arrays.asList(args));
        Process p = new ProcessBuilder(cmd).redirectErrorStream(true).start();
        String out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertTrue(p.waitFor(60, TimeUnit.SECONDS) && p.exitValue() == 0, () -> "nxalarm-db " + cmd + ": " + out);
    }

    private static void assertReadableNotWritable(Path file) throws Exception {
        List<Outcome> r = probe(null, file.toString(), "init", "read", "count", "ack", "read");
        assertTrue(r.get(0).ok(), r.get(0)::toString);
        assertEquals("3", r.get(1).detail(), r.get(1)::toString);
        assertEquals("3", r.get(2).detail(), r.get(2)::toString);
        Outcome ack = r.get(3);
        assertFalse(ack.ok(), ack::toString);
        assertTrue(ack.detail().contains("the alarm database is read-only"), ack::toString);
        assertEquals("3", r.get(4).detail(), r.get(4)::toString);
    }

    @Test
    void aReadOnlyDatabaseCanBeReadAndRefusesChanges() throws Exception {
        assumeFalse(AlarmDbFixture.onPostgres(), "a read-only file is an SQLite matter");
        Path dir = Files.createTempDirectory(db.path().getParent(), "readonly");
        Path file = dir.resolve("alarms.db");
        tool(file, "init");
        tool(file, "create-log", "AlarmLog");
        tool(file, "raise", "--log", "AlarmLog", "--type", "communicationsAlarm", "--severity", "major",
                "--moi", AlarmDbFixture.MOI, "--moc", AlarmDbFixture.MOC, "--cause", "5", "--count", "3");
        try {
            Files.setPosixFilePermissions(file, PosixFilePermissions.fromString("r--r--r--"));
            assertReadableNotWritable(file);
            Files.setPosixFilePermissions(file, PosixFilePermissions.fromString("rw-r--r--"));
            Files.setPosixFilePermissions(dir, PosixFilePermissions.fromString("r-xr-xr-x"));
            assertReadableNotWritable(file);
        } finally {
            Files.setPosixFilePermissions(dir, PosixFilePermissions.fromString("rwxr-xr-x"));
        }
    }

    @Test
    void theCommandLineNamesTheBusyDatabase() throws Exception {
        assumeFalse(AlarmDbFixture.onPostgres(), "the command line's tests run on SQLite");
        Process holder = new ProcessBuilder(build.resolve("nxalarm-db").toString(), "hold-lock", "8")
                .redirectError(ProcessBuilder.Redirect.INHERIT).start();
        try {
            byte[] held = holder.getInputStream().readNBytes(5);
            assertEquals("held\n", new String(held, StandardCharsets.UTF_8));
            Process cli = db.otherClient(Map.of("NX_LOG_MPA_DEADLOCK_TIMEOUT", "2"), "count");
            String out = AlarmDbFixture.finish(cli, 1);
            assertTrue(out.contains(BUSY_2), out);
            assertFalse(out.contains("no such log"), out);
        } finally {
            holder.destroy();
            holder.waitFor(30, TimeUnit.SECONDS);
        }
    }
}
