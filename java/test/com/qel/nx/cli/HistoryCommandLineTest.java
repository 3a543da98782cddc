package com.qel.nx.cli;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.List;
import java.util.concurrent.CompletableFuture;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/** bin/nxalarm history, changes and purge, each run in its own JVM against a database made here. */
class HistoryCommandLineTest {
    private static final String MIS = "alpha";
    private static final String SYSTEM = "/systemId=name:\"alpha\"";

    private static Path top;
    private static Path build;
    private static Path work;
    private static Path db;

    record Run(int status, String out, String err) {
        Run expect(int wanted) {
            assertEquals(wanted, status, () -> "exit status\nstdout:\n" + out + "\nstderr:\n" + err);
            return this;
        }
    }

    @BeforeAll
    static void makeDatabase() throws Exception {
        build = Paths.get(System.getenv("NX_BUILD_DIR")).toAbsolutePath();
        top = Paths.get(System.getenv("NX_SOURCE_DIR")).toAbsolutePath();
        String base = System.getenv("NX_TEST_TMP");
        Path root = base == null || base.isEmpty() ? Paths.get(System.getProperty("java.io.tmpdir")) : Paths.get(base);
        Files.createDirectories(root);
        work = Files.createTempDirectory(root, "cli-history-");
        db = work.resolve("history.db");
        tool("init");
        tool("create-log", "AlarmLog");
    }

    @AfterAll
    static void removeDatabase() throws IOException {
        if (work != null) {
            try (Stream<Path> s = Files.walk(work)) {
                s.sorted(Comparator.reverseOrder()).forEach(p -> p.toFile().delete());
            }
        }
    }

    private static String tool(String... args) throws Exception {
        List<String> cmd = new ArrayList<>(List.of(build.resolve("nxalarm-db").toString(), "--db", db.toString()));
        cmd.addAll(Arrays.asList(args));
        ProcessBuilder pb = new ProcessBuilder(cmd).redirectErrorStream(true);
        pb.environment().put("NX_MIS_NAME", MIS);
        Process p = pb.start();
        String out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertEquals(0, p.waitFor(), () -> "nxalarm-db " + cmd + ":\n" + out);
        return out;
    }

    private static List<Integer> raise(String severity, String text, int count) throws Exception {
        List<Integer> ids = new ArrayList<>();
        for (String line : tool("raise", "--log", "AlarmLog", "--type", "communicationsAlarm", "--severity", severity,
                "--moi", SYSTEM, "--moc", "system", "--cause", "3", "--text", text, "--count",
                Integer.toString(count)).split("\n")) {
            if (!line.isBlank()) {
                ids.add(Integer.parseInt(line.trim()));
            }
        }
        assertEquals(count, ids.size());
        return ids;
    }

    private static Run nx(String... args) throws Exception {
        List<String> cmd = new ArrayList<>(List.of(top.resolve("bin/nxalarm").toString(), "--db", db.toString()));
        cmd.addAll(Arrays.asList(args));
        ProcessBuilder pb = new ProcessBuilder(cmd);
        pb.environment().remove("NX_ALARM_DB");
        pb.environment().put("NX_MIS_NAME", MIS);
        pb.environment().put("NX_BUILD_DIR", build.toString());
        pb.environment().put("NX_JAVA_OPTS", "-Xcheck:jni");
        Process p = pb.directory(work.toFile()).start();
        CompletableFuture<String> out = CompletableFuture.supplyAsync(() -> read(p.getInputStream()));
        CompletableFuture<String> err = CompletableFuture.supplyAsync(() -> read(p.getErrorStream()));
        if (!p.waitFor(60, TimeUnit.SECONDS)) {
            p.destroyForcibly();
            fail("bin/nxalarm did not end within 60 s");
        }
        Run r = new Run(p.exitValue(), out.get(), err.get());
        String all = r.out + r.err;
        assertFalse(all.contains("Exception") || all.contains("\tat ") || all.contains("WARNING in native method"),
                () -> "stack trace or JNI warning:\n" + all);
        return r;
    }

    private static String read(java.io.InputStream in) {
        try {
            return new String(in.readAllBytes(), StandardCharsets.UTF_8);
        } catch (IOException e) {
            return "<" + e + ">";
        }
    }

    @Test
    void historyOfARecordInEachFormat() throws Exception {
        int id = raise("major", "history", 1).get(0);
        nx("ack", Integer.toString(id), "--text", "on it, \"really\"").expect(0);
        nx("delete", Integer.toString(id)).expect(0);

        Run table = nx("history", Integer.toString(id)).expect(0);
        String[] lines = table.out.split("\n");
        assertTrue(lines[0].startsWith("TIME") && lines[0].contains("CHANGE"), table.out);
        assertTrue(lines[2].contains("created") && lines[3].contains("acked") && lines[4].contains("deleted"),
                table.out);
        assertTrue(lines[3].contains("unAcked/unCleared/unDisplayed") && lines[3].contains("on it"), table.out);
        assertTrue(table.out.contains("3 changes of record " + id), table.out);

        Run csv = nx("history", Integer.toString(id), "--format", "csv").expect(0);
        String[] rows = csv.out.split("\r\n");
        assertEquals(String.join(",", HistoryCommands.FIELDS), rows[0]);
        assertEquals(4, rows.length, csv.out);
        assertTrue(rows[2].contains(",acked,unAcked/unCleared/unDisplayed,acked/unCleared/unDisplayed,")
                && rows[2].endsWith(",\"on it, \"\"really\"\"\""), rows[2]);

        Run json = nx("history", Integer.toString(id), "--format", "json").expect(0);
        assertTrue(json.out.contains("\"kind\": \"deleted\"") && json.out.contains("\"stateAfter\": null")
                && json.out.contains("\"text\": \"on it, \\\"really\\\"\""), json.out);

        Run none = nx("history", "999999").expect(1);
        assertTrue(none.err.contains("no history of record 999999"), none.err);
        nx("history").expect(2);
        nx("history", "1", "2").expect(2);
    }

    @Test
    void changesSinceATimeUpToALimit() throws Exception {
        nx("changes").expect(2);
        nx("changes", "--since", "1h", "--severity", "major").expect(2);
        List<Integer> ids = raise("minor", "changes", 2);
        nx("display", Integer.toString(ids.get(0)), Integer.toString(ids.get(1))).expect(0);
        Run all = nx("changes", "--since", "1h", "--format", "csv").expect(0);
        String display0 = ",displayed,";
        assertTrue(all.out.contains(ids.get(0) + display0) && all.out.contains(ids.get(1) + display0), all.out);
        String[] rows = all.out.split("\r\n");
        Run two = nx("changes", "--since", "1h", "--limit", "2", "--format", "csv").expect(0);
        assertEquals(List.of(rows[0], rows[1], rows[2]), Arrays.asList(two.out.split("\r\n")), "the oldest two");
        Run later = nx("changes", "--since", "2099-01-01").expect(0);
        assertTrue(later.out.startsWith("no changes in log"), later.out);
    }

    @Test
    void purgeSaysHowManyWithoutYesAndDeletesWithIt() throws Exception {
        List<Integer> ids = raise("warning", "to purge", 3);
        nx("purge", "--yes").expect(2);
        Run dry = nx("purge", "--severity", "warning").expect(0);
        assertTrue(dry.out.startsWith("3 alarms in log") && dry.out.contains("nothing changed"), dry.out);
        assertTrue(nx("count", "--severity", "warning", "--format", "csv").expect(0).out.contains("total,3"));
        Run done = nx("purge", "--severity", "warning", "--yes").expect(0);
        assertTrue(done.out.startsWith("purged 3 alarms"), done.out);
        assertTrue(nx("count", "--severity", "warning", "--format", "csv").expect(0).out.contains("total,0"));
        Run kept = nx("history", Integer.toString(ids.get(2)), "--format", "csv").expect(0);
        assertTrue(kept.out.contains(",deleted,"), kept.out);
    }
}
