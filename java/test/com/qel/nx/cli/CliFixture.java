package com.qel.nx.cli;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import com.fasterxml.jackson.core.JsonProcessingException;
import com.fasterxml.jackson.core.StreamReadFeature;
import com.fasterxml.jackson.databind.DeserializationFeature;
import com.fasterxml.jackson.databind.JsonNode;
import com.fasterxml.jackson.databind.ObjectMapper;
import com.fasterxml.jackson.databind.json.JsonMapper;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.List;
import java.util.Map;
import java.util.concurrent.CompletableFuture;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;

/**
 * What the command-line tests share: a work folder, databases filled with
 * nxalarm-db, bin/nxalarm run in its own JVM as an operator runs it, and its
 * output read back. Every run is checked for a Java stack trace and for JNI
 * check warnings, which a user mistake must never produce.
 */
final class CliFixture implements AutoCloseable {
    static final String MIS = "alpha";

    /** Strict: trailing text and a name twice in one object are errors. */
    private static final ObjectMapper JSON = JsonMapper.builder()
            .enable(DeserializationFeature.FAIL_ON_TRAILING_TOKENS)
            .enable(StreamReadFeature.STRICT_DUPLICATE_DETECTION)
            .build();

    final Path top;
    final Path build;
    final Path work;
    /** Given to every run of bin/nxalarm, before a run's own. */
    private final Map<String, String> env;

    /** What one run printed, and its exit status. */
    record Run(int status, String out, String err) {
        Run expect(int wanted) {
            assertEquals(wanted, status, () -> "exit status\nstdout:\n" + out + "\nstderr:\n" + err);
            return this;
        }

        /** Standard output as one JSON value. */
        JsonNode json() {
            return parse(out);
        }

        /** Each line of standard output as a JSON object; fails on any line that is not one. */
        List<JsonNode> ndjson() {
            assertTrue(out.isEmpty() || out.endsWith("\n"), "every line ends: " + out);
            List<JsonNode> objects = new ArrayList<>();
            for (String line : out.split("\n", -1)) {
                if (!line.isEmpty()) {
                    JsonNode o = parse(line);
                    assertTrue(o.isObject(), "not an object: " + line);
                    objects.add(o);
                }
            }
            return objects;
        }

        /** The ids in the first CSV column, in the order printed; the header is checked and skipped. */
        List<Integer> csvIds() {
            List<Integer> ids = new ArrayList<>();
            String[] lines = out.split("\r\n");
            assertTrue(lines[0].startsWith("id,log,severity,"), out);
            for (int i = 1; i < lines.length; i++) {
                if (!lines[i].isEmpty()) {
                    ids.add(Integer.parseInt(lines[i].substring(0, lines[i].indexOf(','))));
                }
            }
            return ids;
        }
    }

    /** A fresh work folder named after {@code prefix}; {@code env} goes to every run. */
    CliFixture(String prefix, Map<String, String> env) throws IOException {
        build = Paths.get(System.getenv("NX_BUILD_DIR")).toAbsolutePath();
        top = Paths.get(System.getenv("NX_SOURCE_DIR")).toAbsolutePath();
        String base = System.getenv("NX_TEST_TMP");
        Path root = base == null || base.isEmpty() ? Paths.get(System.getProperty("java.io.tmpdir")) : Paths.get(base);
        Files.createDirectories(root);
        work = Files.createTempDirectory(root, prefix);
        this.env = env;
    }

    static JsonNode parse(String text) {
        try {
            return JSON.readTree(text);
        } catch (JsonProcessingException e) {
            return fail("not JSON (" + e.getOriginalMessage() + "):\n" + text);
        }
    }

    /** The record objects of a JSON array, each checked to carry an integer id. */
    static List<JsonNode> records(JsonNode array) {
        assertTrue(array.isArray(), "not an array: " + array);
        List<JsonNode> out = new ArrayList<>();
        array.forEach(out::add);
        out.forEach(CliFixture::id);
        return out;
    }

    /** A record's id, which must be a JSON integer. */
    static int id(JsonNode record) {
        JsonNode id = record.get("id");
        assertTrue(id != null && id.isInt(), "id not an integer: " + record);
        return id.intValue();
    }

    /** Runs nxalarm-db on a database (a file or a postgresql:// URL); returns what it printed. */
    String tool(String db, String... args) throws Exception {
        List<String> cmd = new ArrayList<>(List.of(build.resolve("nxalarm-db").toString(), "--db", db));
        cmd.addAll(Arrays.asList(args));
        ProcessBuilder pb = new ProcessBuilder(cmd).redirectErrorStream(true);
        pb.environment().put("NX_MIS_NAME", MIS);
        Process p = pb.start();
        String out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertEquals(0, p.waitFor(), () -> "nxalarm-db " + cmd + ":\n" + out);
        return out;
    }

    /** One statement through the engine's own client (sqlite3, or psql for a postgresql:// URL); its output. */
    static String sql(String db, String statement) throws Exception {
        List<String> cmd = db.contains("://")
                ? List.of("psql", "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-d", db, "-c", statement)
                : List.of("sqlite3", db, statement);
        Process p = new ProcessBuilder(cmd).redirectErrorStream(true).start();
        String out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8).strip();
        assertEquals(0, p.waitFor(), () -> statement + ":\n" + out);
        return out;
    }

    /** The alarm record table of a log. */
    static String table(String db, String log) throws Exception {
        return sql(db, "SELECT nxlogname FROM nxlog WHERE nxlogid = '" + log + "' AND nxlogrecordtype = 'nxAlm'");
    }

    /** Makes a database with the logs given (a number for a number log). */
    void makeDatabase(String db, String... logs) throws Exception {
        tool(db, "init");
        for (String log : logs) {
            if (log.matches("\\d+")) {
                tool(db, "create-log", log, "--number");
            } else {
                tool(db, "create-log", log);
            }
        }
    }

    /** Raises {@code count} alarms; returns their ids. */
    List<Integer> raise(String db, String log, String type, String severity, String moi, String moc, int cause,
                        String text, int count) throws Exception {
        List<String> args = new ArrayList<>(List.of("raise", "--log", log));
        if (log.matches("\\d+")) {
            args.add("--number");
        }
        args.addAll(List.of("--type", type, "--severity", severity, "--moi", moi, "--moc", moc, "--cause",
                Integer.toString(cause), "--text", text, "--count", Integer.toString(count)));
        List<Integer> ids = new ArrayList<>();
        for (String word : tool(db, args.toArray(new String[0])).trim().split("\\s+")) {
            if (!word.isEmpty()) {
                ids.add(Integer.parseInt(word));
            }
        }
        assertEquals(count, ids.size());
        return ids;
    }

    /** Starts bin/nxalarm with exactly these words, in the work folder, with no NX_ALARM_DB of its own. */
    Process start(Map<String, String> runEnv, String... args) throws IOException {
        List<String> cmd = new ArrayList<>(List.of(top.resolve("bin/nxalarm").toString()));
        cmd.addAll(Arrays.asList(args));
        ProcessBuilder pb = new ProcessBuilder(cmd);
        Map<String, String> e = pb.environment();
        e.remove("NX_ALARM_DB");
        e.put("NX_MIS_NAME", MIS);
        e.put("NX_BUILD_DIR", build.toString());
        // The client compiler alone and one GC thread: each run is short, and
        // most of its time would go to starting the JVM's own threads and JIT.
        e.put("NX_JAVA_OPTS", "-Xcheck:jni -XX:TieredStopAtLevel=1 -XX:+UseSerialGC");
        e.putAll(env);
        e.putAll(runEnv);
        return pb.directory(work.toFile()).start();
    }

    /** Waits for a run, reading both streams meanwhile so neither pipe fills up. */
    static Run finish(Process p, int seconds) throws Exception {
        CompletableFuture<String> out = CompletableFuture.supplyAsync(() -> read(p.getInputStream()));
        CompletableFuture<String> err = CompletableFuture.supplyAsync(() -> read(p.getErrorStream()));
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

    /** bin/nxalarm --db DB ARGS..., within a minute. */
    Run nx(String db, Map<String, String> runEnv, String... args) throws Exception {
        List<String> all = new ArrayList<>(List.of("--db", db));
        all.addAll(Arrays.asList(args));
        return finish(start(runEnv, all.toArray(new String[0])), 60);
    }

    Run nx(String db, String... args) throws Exception {
        return nx(db, Map.of(), args);
    }

    /**
     * Runs the command line in this JVM: for words it must refuse before it
     * touches the library, which then cost no JVM start of their own.
     */
    static Run inThisJvm(String... args) {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        ByteArrayOutputStream err = new ByteArrayOutputStream();
        int status = Main.run(args, new PrintStream(out, true, StandardCharsets.UTF_8),
                new PrintStream(err, true, StandardCharsets.UTF_8));
        return new Run(status, out.toString(StandardCharsets.UTF_8), err.toString(StandardCharsets.UTF_8));
    }

    static String read(InputStream in) {
        try {
            return new String(in.readAllBytes(), StandardCharsets.UTF_8);
        } catch (IOException e) {
            return "<" + e + ">";
        }
    }

    /** Removes the work folder and what the runs left in it. */
    @Override
    public void close() throws IOException {
        try (Stream<Path> s = Files.walk(work)) {
            s.sorted(Comparator.reverseOrder()).forEach(p -> p.toFile().delete());
        }
    }
}
