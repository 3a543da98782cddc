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
import java.util.Map;
import java.util.concurrent.TimeUnit;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import java.util.stream.Stream;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * bin/nxalarm end to end: each command in its own JVM, as an operator runs it,
 * against databases made here with nxalarm-db. Every run is checked for a
 * Java stack trace and for JNI check warnings, which a user mistake must never produce.
 */
class CommandLineTest {
    private static final String MIS = "alpha";
    private static final String LINK = "/systemId=name:\"alpha\"/linkId=string:\"l1\"";
    private static final String CARD = "/systemId=name:\"alpha\"/equipmentId=string:\"card-1\"";
    /** A name the platform can encode, so the database keys it and --moi can find it. */
    private static final String SYSTEM = "/systemId=name:\"alpha\"";

    private static Path top;
    private static Path build;
    private static Path work;
    /** Read only: what list, count and the errors see. */
    private static Path readDb;
    /** Changed by the state, clear, delete and watch tests, each on records of its own. */
    private static Path writeDb;

    record Run(int status, String out, String err) {
        Run expect(int wanted) {
            assertEquals(wanted, status, () -> "exit status\nstdout:\n" + out + "\nstderr:\n" + err);
            return this;
        }
    }

    @BeforeAll
    static void makeDatabases() throws Exception {
        build = Paths.get(System.getenv("NX_BUILD_DIR")).toAbsolutePath();
        top = Paths.get(System.getenv("NX_SOURCE_DIR")).toAbsolutePath();
        String base = System.getenv("NX_TEST_TMP");
        Path root = base == null || base.isEmpty() ? Paths.get(System.getProperty("java.io.tmpdir")) : Paths.get(base);
        Files.createDirectories(root);
        work = Files.createTempDirectory(root, "cli-");
        readDb = work.resolve("read.db");
        writeDb = work.resolve("write.db");
        for (Path db : List.of(readDb, writeDb)) {
            tool(db, "init");
            tool(db, "create-log", "AlarmLog");
            tool(db, "create-log", "5", "--number");
        }
        // read.db: ids 1 to 6 in AlarmLog, 2 alarms in log 5.
        raise(readDb, "AlarmLog", "communicationsAlarm", "major", LINK, "link", "link down, hard", 1);
        raise(readDb, "AlarmLog", "equipmentAlarm", "critical", CARD, "circuitPack", "card failure", 3);
        raise(readDb, "AlarmLog", "internetAlarm", "minor", SYSTEM, "snmpAgent", "linkDown trap", 1);
        raise(readDb, "AlarmLog", "nerveCenterAlarm", "warning", SYSTEM, "nodeGroup", "node unreachable", 1);
        raise(readDb, "5", "equipmentAlarm", "major", CARD, "circuitPack", "fan failure", 2);
    }

    @AfterAll
    static void removeDatabases() throws IOException {
        if (work != null) {
            try (Stream<Path> s = Files.walk(work)) {
                s.sorted(Comparator.reverseOrder()).forEach(p -> p.toFile().delete());
            }
        }
    }

    private static String tool(Path db, String... args) throws Exception {
        List<String> cmd = new ArrayList<>(List.of(build.resolve("nxalarm-db").toString(), "--db", db.toString()));
        cmd.addAll(Arrays.asList(args));
        ProcessBuilder pb = new ProcessBuilder(cmd).redirectErrorStream(true);
        pb.environment().put("NX_MIS_NAME", MIS);
        Process p = pb.start();
        String out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertEquals(0, p.waitFor(), () -> "nxalarm-db " + cmd + ":\n" + out);
        return out;
    }

    /** Raises alarms; returns their ids. */
    private static List<Integer> raise(Path db, String log, String type, String severity, String moi, String moc,
                                       String text, int count) throws Exception {
        List<String> args = new ArrayList<>(List.of("raise", "--log", log));
        if (log.matches("\\d+")) {
            args.add("--number");
        }
        args.addAll(List.of("--type", type, "--severity", severity, "--moi", moi, "--moc", moc, "--cause", "3",
                "--text", text, "--count", Integer.toString(count)));
        List<Integer> ids = new ArrayList<>();
        for (String line : tool(db, args.toArray(new String[0])).split("\n")) {
            if (!line.isBlank()) {
                ids.add(Integer.parseInt(line.trim()));
            }
        }
        assertEquals(count, ids.size());
        return ids;
    }

    private static Process start(Map<String, String> env, String... args) throws IOException {
        List<String> cmd = new ArrayList<>(List.of(top.resolve("bin/nxalarm").toString()));
        cmd.addAll(Arrays.asList(args));
        ProcessBuilder pb = new ProcessBuilder(cmd);
        Map<String, String> e = pb.environment();
        e.remove("NX_ALARM_DB");
        e.put("NX_MIS_NAME", MIS);
        e.put("NX_BUILD_DIR", build.toString());
        e.put("NX_JAVA_OPTS", "-Xcheck:jni");
        e.putAll(env);
        return pb.directory(work.toFile()).start();
    }

    private static Run finish(Process p, int seconds) throws Exception {
        // Read both streams while the process runs, so neither pipe fills up.
        var out = java.util.concurrent.CompletableFuture.supplyAsync(() -> read(p.getInputStream()));
        var err = java.util.concurrent.CompletableFuture.supplyAsync(() -> read(p.getErrorStream()));
        if (!p.waitFor(seconds, TimeUnit.SECONDS)) {
            p.destroyForcibly();
            fail("bin/nxalarm did not end within " + seconds + " s");
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

    private static Run nx(Path db, String... args) throws Exception {
        List<String> all = new ArrayList<>(List.of("--db", db.toString()));
        all.addAll(Arrays.asList(args));
        return finish(start(Map.of(), all.toArray(new String[0])), 60);
    }

    /** The ids in the first CSV column, header skipped. */
    private static List<Integer> csvIds(Run r) {
        List<Integer> ids = new ArrayList<>();
        String[] lines = r.out.split("\r\n");
        assertTrue(lines[0].startsWith("id,log,severity,"), r.out);
        for (int i = 1; i < lines.length; i++) {
            if (!lines[i].isEmpty()) {
                ids.add(Integer.parseInt(lines[i].substring(0, lines[i].indexOf(','))));
            }
        }
        ids.sort(null);
        return ids;
    }

    private static String jsonRecord(Path db, int id) throws Exception {
        Run r = nx(db, "list", "--id", Integer.toString(id), "--format", "json").expect(0);
        Matcher m = Pattern.compile("\\{\"id\": " + id + ",.*\\}").matcher(r.out);
        assertTrue(m.find(), () -> "record " + id + " not listed:\n" + r.out);
        return m.group();
    }

    @Test
    void listInEachFormat() throws Exception {
        Run table = nx(readDb, "list").expect(0);
        assertTrue(table.out.startsWith("ID  SEVERITY  STATE"), table.out);
        assertTrue(table.out.contains("6 alarms"), table.out);
        assertTrue(table.out.contains("/systemId=alpha/linkId=l1"), "names shown without notation: " + table.out);

        Run csv = nx(readDb, "list", "--format", "csv").expect(0);
        assertEquals(List.of(1, 2, 3, 4, 5, 6), csvIds(csv));
        assertTrue(csv.out.contains(",\"link down, hard\","), "a comma in a text is quoted: " + csv.out);
        assertTrue(csv.out.contains(",\"/systemId=name:\"\"alpha\"\"/linkId=string:\"\"l1\"\"\","), csv.out);

        Run json = nx(readDb, "list", "--format", "json").expect(0);
        assertEquals(6, json.out.split("\\{\"id\": ", -1).length - 1, json.out);
        assertTrue(json.out.contains("\"managedObject\": \"/systemId=name:\\\"alpha\\\"/linkId=string:\\\"l1\\\"\""),
                json.out);
        assertTrue(json.out.trim().startsWith("[") && json.out.trim().endsWith("]"), json.out);

        Run limited = nx(readDb, "list", "--limit", "2", "--batch", "1", "--progress").expect(0);
        assertTrue(limited.out.contains("2 of 6 alarms"), limited.out);
        assertTrue(limited.err.contains("100%  2/2"), "progress bar on stderr: " + limited.err);

        Run numbered = nx(readDb, "--log-number", "5", "list", "--format", "csv").expect(0);
        assertEquals(2, csvIds(numbered).size(), numbered.out);
    }

    @Test
    void listSelections() throws Exception {
        assertEquals(List.of(2, 3, 4), csvIds(nx(readDb, "list", "--severity", "critical", "--format", "csv").expect(0)));
        assertEquals(List.of(1, 2, 3, 4), csvIds(nx(readDb, "list", "--severity", "Major,critical", "--format", "csv")
                .expect(0)));
        assertEquals(List.of(1), csvIds(nx(readDb, "list", "--type", "comm*", "--format", "csv").expect(0)));
        assertEquals(List.of(2, 3, 4, 6), csvIds(nx(readDb, "list", "--moc", "circuit*", "--moc", "node*",
                "--format", "csv").expect(0)));
        assertEquals(List.of(3, 5), csvIds(nx(readDb, "list", "--id", "3,5,77", "--format", "csv").expect(0)));
        // Conditions of different options must all hold.
        assertEquals(List.of(), csvIds(nx(readDb, "list", "--severity", "critical", "--type", "comm*",
                "--format", "csv").expect(0)));
        assertEquals(List.of(1, 2, 3, 4, 5, 6), csvIds(nx(readDb, "list", "--state", "open", "--since", "1d",
                "--until", "2999-01-01", "--format", "csv").expect(0)));
        assertEquals(List.of(), csvIds(nx(readDb, "list", "--state", "acked,cleared", "--format", "csv").expect(0)));
        assertEquals(List.of(), csvIds(nx(readDb, "list", "--until", "2000-01-01", "--format", "csv").expect(0)));
        Run none = nx(readDb, "list", "--severity", "indeterminate").expect(0);
        assertTrue(none.out.startsWith("no alarms match"), none.out);
    }

    @Test
    void countTotalAndBySeverity() throws Exception {
        Run all = nx(readDb, "count", "--format", "json").expect(0);
        assertEquals("{\"total\": 6, \"bySeverity\": {\"critical\": 3, \"major\": 1, \"minor\": 1, \"warning\": 1, "
                + "\"indeterminate\": 0, \"cleared\": 0}}", all.out.trim());
        // With other conditions the counts come from one query per severity.
        Run typed = nx(readDb, "count", "--moc", "circuit*", "--format", "csv").expect(0);
        assertTrue(typed.out.contains("critical,3\r\n") && typed.out.contains("major,0\r\n")
                && typed.out.contains("total,3\r\n"), typed.out);
        Run table = nx(readDb, "count", "--moi", SYSTEM).expect(0);
        assertTrue(table.out.matches("(?s).*critical\\s+0\n.*minor\\s+1\n.*warning\\s+1\n.*total\\s+2\n.*"),
                table.out);
    }

    @Test
    void sqlOfASelection() throws Exception {
        Run r = nx(work.resolve("never-made.db"), "sql", "--severity", "critical", "--state", "open", "--type", "comm*")
                .expect(0);
        assertTrue(r.out.contains("perceivedSeverity = 'critical'"), r.out);
        assertTrue(r.out.contains("ackState = 'unAcked'") && r.out.contains("clearState = 'unCleared'"), r.out);
        assertTrue(r.out.contains("LIKE"), r.out);
        Run quote = nx(readDb, "sql", "--moc", "o'brien*").expect(0);
        assertTrue(quote.out.contains("o''brien"), "a quote in a value stays inside the literal: " + quote.out);
        assertTrue(nx(readDb, "sql").expect(0).out.contains("every record"));
    }

    @Test
    void dbParams() throws Exception {
        Run r = nx(readDb, "db-params").expect(0);
        assertTrue(r.out.contains(readDb.toString()), r.out);
        assertTrue(r.out.matches("(?s).*protocol\\s+sqlite.*"), r.out);
        assertTrue(r.out.matches("(?s).*server\\s+" + MIS + "\n.*"), r.out);
    }

    @Test
    void stateChangesAndTheirReverses() throws Exception {
        List<Integer> ids = raise(writeDb, "AlarmLog", "equipmentAlarm", "major",
                "/systemId=name:\"alpha\"/equipmentId=string:\"states\"", "circuitPack", "for state changes", 2);
        String a = ids.get(0).toString();
        String b = ids.get(1).toString();
        String[][] changes = {{"ack", "unack", "acked", "ackText"}, {"clear", "unclear", "cleared", "clearText"},
            {"display", "undisplay", "displayed", "displayText"}};
        for (String[] c : changes) {
            Run done = nx(writeDb, c[0], a, b, "--text", "seen by test").expect(0);
            assertTrue(done.out.contains(c[0] + ": 2 alarms"), done.out);
            String ra = jsonRecord(writeDb, ids.get(0));
            assertTrue(ra.contains("\"" + c[2] + "\": true"), ra);
            assertTrue(ra.contains("\"" + c[3] + "\": \"seen by test\""), ra);
            nx(writeDb, c[1], a).expect(0);
            assertTrue(jsonRecord(writeDb, ids.get(0)).contains("\"" + c[2] + "\": false"), c[1]);
            assertTrue(jsonRecord(writeDb, ids.get(1)).contains("\"" + c[2] + "\": true"), c[1] + " touched only " + a);
        }
        // One unknown id refuses the whole request.
        Run refused = nx(writeDb, "ack", a, "999999").expect(1);
        assertTrue(refused.err.contains("no record 999999") && refused.err.contains("nothing changed"), refused.err);
        assertTrue(jsonRecord(writeDb, ids.get(0)).contains("\"acked\": false"));
    }

    @Test
    void sendClearAndDelete() throws Exception {
        String moi = "/systemId=name:\"alpha\"/equipmentId=string:\"clears\"";
        List<Integer> ids = raise(writeDb, "AlarmLog", "equipmentAlarm", "critical", moi, "circuitPack", "x", 3);
        nx(writeDb, "send-clear", ids.get(0).toString()).expect(0);
        // The clear notification clears every alarm it correlates with.
        for (int id : ids) {
            assertTrue(jsonRecord(writeDb, id).contains("\"cleared\": true"), "record " + id);
        }
        String victim = ids.get(2).toString();
        Run deleted = nx(writeDb, "delete", victim).expect(0);
        assertTrue(deleted.out.startsWith("deleted 1 alarm"), deleted.out);
        assertTrue(nx(writeDb, "list", "--id", victim).expect(0).out.startsWith("no alarms match"));
        Run again = nx(writeDb, "delete", victim).expect(1);
        assertTrue(again.err.contains("no record " + victim), again.err);
    }

    @Test
    void watchPrintsEventsAsTheyCome() throws Exception {
        List<Integer> ids = raise(writeDb, "AlarmLog", "equipmentAlarm", "minor",
                "/systemId=name:\"alpha\"/equipmentId=string:\"watched\"", "circuitPack", "watched", 1);
        Process watcher = start(Map.of(), "--db", writeDb.toString(), "watch", "--max", "2", "--for", "60");
        // The watcher says so on stderr once its events are set up.
        java.io.BufferedReader err = new java.io.BufferedReader(
                new java.io.InputStreamReader(watcher.getErrorStream(), StandardCharsets.UTF_8));
        String first = err.readLine();
        assertTrue(first != null && first.startsWith("watching log \"AlarmLog\""), String.valueOf(first));
        nx(writeDb, "ack", ids.get(0).toString(), "--text", "watch me").expect(0);
        int created = raise(writeDb, "AlarmLog", "communicationsAlarm", "critical", LINK, "link", "fresh one", 1).get(0);
        assertTrue(watcher.waitFor(60, TimeUnit.SECONDS), "watch --max 2 did not end");
        String out = read(watcher.getInputStream());
        String rest = read(watcher.getErrorStream());
        assertEquals(0, watcher.exitValue(), out + rest);
        assertTrue(out.matches("(?s).*changed  #" + ids.get(0) + " [^\n]*ackState=acked.*"), out);
        assertTrue(out.matches("(?s).*changed  #" + ids.get(0) + " [^\n]*ackText=\"watch me\".*"), out);
        assertTrue(out.matches("(?s).*created  #" + created + " .*critical .*communicationsAlarm.*fresh one.*"), out);
        assertTrue(rest.contains("2 events"), rest);
    }

    @Test
    void unreachableDatabaseOrLog() throws Exception {
        Run missing = nx(work.resolve("no-such.db"), "list").expect(3);
        assertTrue(missing.err.contains("no alarm database at") && missing.err.contains("no-such.db"), missing.err);
        Path junk = work.resolve("junk.db");
        Files.writeString(junk, "not a database");
        nx(junk, "count").expect(3);
        Run log = nx(readDb, "--log", "Nope", "count").expect(3);
        assertTrue(log.err.contains("no log \"Nope\""), log.err);
        Run numbered = nx(readDb, "--log-number", "99", "ack", "1").expect(3);
        assertTrue(numbered.err.contains("no log 99 (number)"), numbered.err);
        // Without --db the library's default applies: nxalarm.db in the working directory.
        Run noDb = finish(start(Map.of(), "count"), 60).expect(3);
        assertTrue(noDb.err.contains(work.resolve("nxalarm.db").toString()), noDb.err);
        Run noBuild = finish(start(Map.of("NX_BUILD_DIR", work.resolve("nowhere").toString()), "count"), 60).expect(3);
        assertTrue(noBuild.err.contains("build first"), noBuild.err);
    }

    /** A text column of one record of AlarmLog, as upper-case hexadecimal bytes straight from the file. */
    private static String storedHex(Path db, String column, int id) throws Exception {
        String table = sqlite(db, "SELECT nxlogname FROM nxlog WHERE nxlogid = 'AlarmLog' AND nxlogrecordtype = 'nxAlm'");
        return sqlite(db, "SELECT hex(" + column + ") FROM " + table + " WHERE logrecordid = " + id);
    }

    private static String sqlite(Path db, String query) throws Exception {
        Process p = new ProcessBuilder("sqlite3", db.toString(), query).redirectErrorStream(true).start();
        String out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8).strip();
        assertEquals(0, p.waitFor(), out);
        return out;
    }

    @Test
    void textsAreKeptExactlyInEveryFormat() throws Exception {
        String face = "\uD83D\uDE00";
        // The table cuts this text at its 36th character, right after the face.
        String additional = "x".repeat(34) + face + " \"q\" back\\slash";
        List<Integer> ids = raise(writeDb, "AlarmLog", "equipmentAlarm", "minor",
                "/systemId=name:\"alpha\"/equipmentId=string:\"texts\"", "circuitPack", additional, 3);
        // Arguments reach Java through the locale's charset.
        Map<String, String> utf8 = Map.of("LC_ALL", "C.UTF-8");
        String[] texts = {"fan " + face, "\"urgent\"", "\" OR \"\"=\""};
        for (int i = 0; i < texts.length; i++) {
            List<String> args = List.of("--db", writeDb.toString(), "ack", ids.get(i).toString(), "--text", texts[i]);
            finish(start(utf8, args.toArray(new String[0])), 60).expect(0);
        }
        assertEquals("66616E20F09F9880", storedHex(writeDb, "acktext", ids.get(0)), "UTF-8, not modified UTF-8");
        assertEquals("22757267656E7422", storedHex(writeDb, "acktext", ids.get(1)), "quotes kept");
        assertEquals("22204F522022223D22", storedHex(writeDb, "acktext", ids.get(2)));

        assertTrue(jsonRecord(writeDb, ids.get(0)).contains("\"ackText\": \"fan " + face + "\""));
        assertTrue(jsonRecord(writeDb, ids.get(1)).contains("\"ackText\": \"\\\"urgent\\\"\""));
        String json = jsonRecord(writeDb, ids.get(2));
        assertTrue(json.contains("\"ackText\": \"\\\" OR \\\"\\\"=\\\"\""), json);
        assertTrue(json.contains("\"additionalText\": \"" + "x".repeat(34) + face + " \\\"q\\\" back\\\\slash\""), json);

        Run csv = nx(writeDb, "list", "--id", ids.get(1).toString(), "--format", "csv").expect(0);
        assertTrue(csv.out.contains(",\"\"\"urgent\"\"\","), csv.out);
        assertTrue(csv.out.contains(",\"" + "x".repeat(34) + face + " \"\"q\"\" back\\slash\","), csv.out);
        Run table = nx(writeDb, "list", "--id", ids.get(0).toString()).expect(0);
        assertTrue(table.out.contains("x".repeat(34) + face + "~"), table.out);
    }

    @Test
    void inputsPastTheLibrarysBoundsAreBadCommandLines() throws Exception {
        String pattern = "x".repeat(60000);
        for (String[] args : new String[][] {{"count", "--type", pattern}, {"list", "--moc", pattern},
            {"sql", "--type", pattern}}) {
            Run r = nx(readDb, args).expect(2);
            assertTrue(r.err.contains("makes a LIKE pattern of 60001 bytes")
                    && r.err.contains("longer than the 50000 bytes the database matches"), r.err);
        }
    }

    @Test
    void badFiltersAndArguments() throws Exception {
        String[][] cases = {
            {"unknown severity \"huge\"", "list", "--severity", "huge"},
            {"unknown state", "count", "--state", "closed"},
            {"cannot read the time", "list", "--since", "yesterdayish"},
            {"cannot read the time", "list", "--until", "2024-02-30"},
            {"is not before --until", "list", "--since", "2024-05-02", "--until", "2024-05-01"},
            {"needs a pattern", "list", "--moc", ""},
            {"empty value", "list", "--severity", "major,"},
            {"--id must be at least 0", "list", "--id", "-1"},
            {"no command given"},
            {"unknown command \"frob\"", "frob"},
            {"unknown option --colour", "list", "--colour"},
            {"unknown format \"xml\"", "list", "--format", "xml"},
            {"needs record identifiers", "ack"},
            {"needs a whole number, not \"abc\"", "ack", "abc"},
            {"takes no arguments", "list", "7"},
            {"--limit must be at least 1", "list", "--limit", "0"},
            {"option --severity does not apply to ack", "ack", "1", "--severity", "major"},
            {"option --text does not apply to unack", "unack", "1", "--text", "x"},
            {"not both", "--log", "AlarmLog", "--log-number", "5", "list"},
            {"option --severity needs a value", "list", "--severity"},
            {"takes no value", "list", "--quiet=yes"},
        };
        for (String[] c : cases) {
            Run r = nx(readDb, Arrays.copyOfRange(c, 1, c.length)).expect(2);
            assertTrue(r.err.contains(c[0]), () -> String.join(" ", c) + ": " + r.err);
            assertTrue(r.err.contains("nxalarm --help"), r.err);
            assertEquals("", r.out, "nothing on stdout for " + String.join(" ", c));
        }
        assertTrue(nx(readDb, "--help").expect(0).out.startsWith("usage: nxalarm"));
    }
}
