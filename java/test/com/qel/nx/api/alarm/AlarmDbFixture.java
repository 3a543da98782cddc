package com.qel.nx.api.alarm;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.BlockingQueue;
import java.util.concurrent.CompletableFuture;
import java.util.concurrent.LinkedBlockingQueue;
import java.util.concurrent.TimeUnit;
import java.util.function.Predicate;
import com.qel.nx.server.qrt.EventHandler;
import org.junit.jupiter.api.function.Executable;

/**
 * The alarm database of one test JVM, made and filled with the build's
 * nxalarm-db tool. run-junit.sh puts a fresh location into NX_ALARM_DB before
 * the JVM starts, since the library reads its environment once per process:
 * a file path, or in the PostgreSQL run the URI of a new, empty database.
 */
final class AlarmDbFixture {
    static final String MOI = "/systemId=name:\"alpha\"";
    static final String MOC = "\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":system";

    private final Path tool;
    private final String location;
    private final String mis;

    private AlarmDbFixture(Path tool, String location, String mis) {
        this.tool = tool;
        this.location = location;
        this.mis = mis;
    }

    /** Whether NX_ALARM_DB names a PostgreSQL database rather than a SQLite file. */
    static boolean onPostgres() {
        String location = System.getenv("NX_ALARM_DB");
        return location != null && location.startsWith("postgresql://");
    }

    /** Creates the database of NX_ALARM_DB with its directory tables. */
    static AlarmDbFixture create() {
        String location = System.getenv("NX_ALARM_DB");
        String build = System.getenv("NX_BUILD_DIR");
        if (location == null || location.isEmpty() || build == null) {
            throw new IllegalStateException("NX_ALARM_DB and NX_BUILD_DIR must be set: run through java/run-junit.sh");
        }
        if (!onPostgres() && Files.exists(Paths.get(location))) {
            throw new IllegalStateException(location + " exists already; each test class needs a fresh database");
        }
        String mis = System.getenv("NX_MIS_NAME");
        AlarmDbFixture f = new AlarmDbFixture(Paths.get(build, "nxalarm-db"), location,
                mis == null ? "alpha" : mis);
        f.run("init");
        return f;
    }

    String misName() {
        return mis;
    }

    /**
     * Starts the operator command line (another client, in its own JVM) on
     * this database, with env added to its environment; stderr goes with stdout.
     */
    Process otherClient(Map<String, String> env, String... args) throws IOException {
        List<String> cmd = new ArrayList<>(List.of(Paths.get(System.getenv("NX_SOURCE_DIR"), "bin/nxalarm")
                .toAbsolutePath().toString(), "--db", location, "--mis", mis));
        cmd.addAll(Arrays.asList(args));
        ProcessBuilder pb = new ProcessBuilder(cmd).redirectErrorStream(true);
        pb.environment().put("NX_BUILD_DIR", System.getenv("NX_BUILD_DIR"));
        pb.environment().putAll(env);
        return pb.start();
    }

    /** Waits up to two minutes for another client; fails unless it exits 0. Returns what it printed. */
    static String finish(Process p) throws InterruptedException {
        return finish(p, 0);
    }

    /** As finish(p), for a client that must exit with status. */
    static String finish(Process p, int status) throws InterruptedException {
        CompletableFuture<String> out = CompletableFuture.supplyAsync(() -> {
            try (InputStream in = p.getInputStream()) {
                return new String(in.readAllBytes(), StandardCharsets.UTF_8);
            } catch (IOException e) {
                return e.toString();
            }
        });
        if (!p.waitFor(120, TimeUnit.SECONDS)) {
            p.destroyForcibly();
            throw new AssertionError("the other client did not finish");
        }
        String text = out.join();
        if (p.exitValue() != status) {
            throw new AssertionError("the other client failed (exit " + p.exitValue() + "): " + text);
        }
        return text;
    }

    /** The SQLite file (not for the PostgreSQL run). */
    Path path() {
        return Paths.get(location);
    }

    LogName createLog(String id) {
        run("create-log", id);
        return new LogName(mis, id);
    }

    LogName createLog(int id) {
        run("create-log", Integer.toString(id), "--number");
        return new LogName(mis, id);
    }

    /** Raises alarms in a log through the MIS; returns their record ids. */
    List<Integer> raise(LogName log, String severity, String moi, String cause, String text, int count) {
        List<String> args = new ArrayList<>(Arrays.asList("raise", "--log", log.getLogId()));
        if (log.isNumeric()) {
            args.add("--number");
        }
        args.addAll(Arrays.asList("--type", "communicationsAlarm", "--severity", severity, "--moi", moi,
                "--moc", MOC, "--cause", cause, "--text", text, "--count", Integer.toString(count)));
        List<Integer> ids = new ArrayList<>();
        for (String line : run(args.toArray(new String[0])).split("\n")) {
            if (!line.isBlank()) {
                ids.add(Integer.parseInt(line.trim()));
            }
        }
        if (ids.size() != count) {
            throw new IllegalStateException("raise gave " + ids + " for " + count + " alarms");
        }
        return ids;
    }

    List<Integer> raise(LogName log, String severity, int count) {
        return raise(log, severity, MOI, "5", "link down", count);
    }

    /** A query of one filter of one item. */
    static GenericQuery where(AlarmRecordAttribute attribute, RelationCriteria relation, Object... values) {
        return new GenericQuery(LogicalCriteria.AND)
                .add(new Filter(LogicalCriteria.AND).add(new FilterItem(attribute, relation, values)));
    }

    /** The eight natives that change records, each called on log and ids (texts null), by name. */
    static Map<String, Executable> changes(AlarmLogImpl api, LogName log, AlarmRecordId[] ids) {
        Map<String, Executable> calls = new LinkedHashMap<>();
        calls.put("setAckAlarmsNative", () -> api.setAckAlarmsNative(log, ids, null));
        calls.put("setClearAlarmsNative", () -> api.setClearAlarmsNative(log, ids, null));
        calls.put("setDisplayAlarmsNative", () -> api.setDisplayAlarmsNative(log, ids, null));
        calls.put("setUnAckAlarmsNative", () -> api.setUnAckAlarmsNative(log, ids));
        calls.put("setUnClearAlarmsNative", () -> api.setUnClearAlarmsNative(log, ids));
        calls.put("setUnDisplayAlarmsNative", () -> api.setUnDisplayAlarmsNative(log, ids));
        calls.put("clearAlarmsNative", () -> api.clearAlarmsNative(log, ids));
        calls.put("deleteAlarmsNative", () -> api.deleteAlarmsNative(log, ids));
        return calls;
    }

    /** The log's alarm record table. */
    String table(LogName log) {
        return sql("SELECT nxlogname FROM nxlog WHERE nxlogid = '" + log.getLogId()
                + "' AND nxlogrecordtype = 'nxAlm'");
    }

    /** The one record of an id, with every attribute. */
    static AlarmRecord readOne(AlarmLogImpl api, LogName log, AlarmRecordId id) throws AlarmException {
        AlarmRecord[] r = api.getAlarmsNative(log,
                where(AlarmRecordAttribute.LOG_RECORD_ID, RelationCriteria.EQUAL, id), allAttributes());
        if (r.length != 1) {
            throw new AssertionError(r.length + " records of id " + id);
        }
        return r[0];
    }

    /** Every alarm-log event from now on; the listener stays for the JVM, which runs one test class. */
    static BlockingQueue<AlarmLogEvent> listen() {
        BlockingQueue<AlarmLogEvent> events = new LinkedBlockingQueue<>();
        EventHandler.addListener(AlarmLogEvent.ALARM_EVENT_ID, (key, event) -> events.add((AlarmLogEvent) event));
        return events;
    }

    /** The first event that is wanted, skipping others; fails after 30 s. */
    static AlarmLogEvent await(BlockingQueue<AlarmLogEvent> events, Predicate<AlarmLogEvent> wanted, String what)
            throws InterruptedException {
        long end = System.nanoTime() + TimeUnit.SECONDS.toNanos(30);
        List<AlarmLogEvent> skipped = new ArrayList<>();
        for (long left; (left = end - System.nanoTime()) > 0; ) {
            AlarmLogEvent e = events.poll(left, TimeUnit.NANOSECONDS);
            if (e != null && wanted.test(e)) {
                return e;
            }
            if (e != null) {
                skipped.add(e);
            }
        }
        throw new AssertionError("no event " + what + "; got " + skipped);
    }

    /**
     * Ids of the change events of records first..last, in delivery order,
     * until want of them came (60 s at most), then any that follow within
     * half a second: a repeat would come right behind.
     */
    static List<Integer> changesDelivered(BlockingQueue<AlarmLogEvent> events, int first, int last, int want)
            throws InterruptedException {
        List<Integer> ids = new ArrayList<>();
        long end = System.nanoTime() + TimeUnit.SECONDS.toNanos(60);
        while (ids.size() < want && System.nanoTime() < end) {
            addChange(events.poll(100, TimeUnit.MILLISECONDS), first, last, ids);
        }
        for (AlarmLogEvent e; (e = events.poll(500, TimeUnit.MILLISECONDS)) != null; ) {
            addChange(e, first, last, ids);
        }
        return ids;
    }

    private static void addChange(AlarmLogEvent e, int first, int last, List<Integer> into) {
        if (e != null && e.getKind() == AlarmLogEvent.ATTR_VALUE_CHANGED && e.getRecord().logRecordId != null) {
            int id = e.getRecord().logRecordId.intValue();
            if (id >= first && id <= last) {
                into.add(id);
            }
        }
    }

    /** The set of every attribute a record can be asked for. */
    static AlarmRecordAttributeSet allAttributes() {
        AlarmRecordAttributeSet set = new AlarmRecordAttributeSet();
        for (AlarmRecordAttribute a : AlarmRecordAttribute.values()) {
            if (a.isRecordAttribute()) {
                set.add(a);
            }
        }
        return set;
    }

    /**
     * A set that hands the library an attribute code it does not know
     * ("managedObjectClass", which the Java set itself refuses to hold).
     */
    static AlarmRecordAttributeSet withUnknownCode() {
        return Forged.setListing(AlarmRecordAttribute.LOG_RECORD_ID, AlarmRecordAttribute.MANAGED_OBJECT_CLASS);
    }

    /** One query through the engine's shell, rows as lines, columns separated by '|'. */
    String sql(String query) {
        if (onPostgres()) {
            return exec(List.of("psql", "-X", "-q", "-A", "-t", "-F", "|", "-v", "ON_ERROR_STOP=1",
                    "-d", location, "-c", query)).strip();
        }
        return exec(List.of("sqlite3", location, query)).strip();
    }

    /** The engine's SQL for the upper-case hexadecimal text of a binary column. */
    static String hexOf(String column) {
        return onPostgres() ? "upper(encode(" + column + ", 'hex'))" : "hex(" + column + ")";
    }

    private String run(String... args) {
        List<String> command = new ArrayList<>();
        command.add(tool.toString());
        command.add("--db");
        command.add(location);
        command.addAll(Arrays.asList(args));
        return exec(command);
    }

    private static String exec(List<String> command) {
        try {
            ProcessBuilder pb = new ProcessBuilder(command);
            pb.redirectError(ProcessBuilder.Redirect.INHERIT);
            Process p = pb.start();
            String out;
            try (InputStream in = p.getInputStream()) {
                ByteArrayOutputStream buffer = new ByteArrayOutputStream();
                in.transferTo(buffer);
                out = buffer.toString(StandardCharsets.UTF_8);
            }
            if (!p.waitFor(120, TimeUnit.SECONDS)) {
                p.destroyForcibly();
                throw new IllegalStateException("timed out: " + command);
            }
            if (p.exitValue() != 0) {
                throw new IllegalStateException("exit " + p.exitValue() + ": " + command);
            }
            return out;
        } catch (IOException e) {
            throw new IllegalStateException("cannot run " + command, e);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
            throw new IllegalStateException("interrupted: " + command, e);
        }
    }
}
