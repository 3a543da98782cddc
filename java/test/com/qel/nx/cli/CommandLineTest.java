package com.qel.nx.cli;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.fasterxml.jackson.databind.JsonNode;
import com.fasterxml.jackson.databind.node.BooleanNode;
import com.fasterxml.jackson.databind.node.TextNode;
import com.qel.nx.cli.CliFixture.Run;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * bin/nxalarm end to end: each command in its own JVM, as an operator runs it,
 * against databases made here with nxalarm-db.
 */
class CommandLineTest {
    private static final String LINK = "/systemId=name:\"alpha\"/linkId=string:\"l1\"";
    private static final String CARD = "/systemId=name:\"alpha\"/equipmentId=string:\"card-1\"";
    /** A name the platform can encode, so the database keys it and --moi can find it. */
    private static final String SYSTEM = "/systemId=name:\"alpha\"";

    private static CliFixture cli;
    /** Read only: what list, count and the errors see. */
    private static String readDb;
    /** Changed by the state, clear, delete and watch tests, each on records of its own. */
    private static String writeDb;

    @BeforeAll
    static void makeDatabases() throws Exception {
        cli = new CliFixture("cli-", Map.of());
        readDb = cli.work.resolve("read.db").toString();
        writeDb = cli.work.resolve("write.db").toString();
        for (String db : List.of(readDb, writeDb)) {
            cli.makeDatabase(db, "AlarmLog", "5");
        }
        // read.db: ids 1 to 6 in AlarmLog, 2 alarms in log 5.
        raise(readDb, "AlarmLog", "communicationsAlarm", "major", LINK, "link", "link down, hard", 1);
        raise(readDb, "AlarmLog", "equipmentAlarm", "critical", CARD, "circuitPack", "card failure", 3);
        raise(readDb, "AlarmLog", "internetAlarm", "minor", SYSTEM, "snmpAgent", "linkDown trap", 1);
        raise(readDb, "AlarmLog", "nerveCenterAlarm", "warning", SYSTEM, "nodeGroup", "node unreachable", 1);
        raise(readDb, "5", "equipmentAlarm", "major", CARD, "circuitPack", "fan failure", 2);
    }

    @AfterAll
    static void removeDatabases() throws Exception {
        if (cli != null) {
            cli.close();
        }
    }

    /** Raises alarms of probable cause 3; returns their ids. */
    private static List<Integer> raise(String db, String log, String type, String severity, String moi, String moc,
                                       String text, int count) throws Exception {
        return cli.raise(db, log, type, severity, moi, moc, 3, text, count);
    }

    private static Run nx(String db, String... args) throws Exception {
        return cli.nx(db, args);
    }

    /** The ids of a CSV listing, in increasing order. */
    private static List<Integer> csvIds(Run r) {
        List<Integer> ids = r.csvIds();
        ids.sort(null);
        return ids;
    }

    /** Records as list --format json shows them, by id; each asked for must be listed once. */
    private static Map<Integer, JsonNode> jsonRecords(String db, List<Integer> ids) throws Exception {
        List<String> wanted = ids.stream().map(String::valueOf).toList();
        Run r = nx(db, "list", "--id", String.join(",", wanted), "--format", "json").expect(0);
        Map<Integer, JsonNode> byId = new java.util.TreeMap<>();
        CliFixture.records(r.json()).forEach(record -> byId.put(CliFixture.id(record), record));
        assertEquals(new java.util.TreeSet<>(ids), byId.keySet(), r.out());
        return byId;
    }

    @Test
    void listInEachFormat() throws Exception {
        Run table = nx(readDb, "list").expect(0);
        assertTrue(table.out().startsWith("ID  SEVERITY  STATE"), table.out());
        assertTrue(table.out().contains("6 alarms"), table.out());
        assertTrue(table.out().contains("/systemId=alpha/linkId=l1"), "names shown without notation: " + table.out());

        Run csv = nx(readDb, "list", "--format", "csv").expect(0);
        assertEquals(List.of(1, 2, 3, 4, 5, 6), csvIds(csv));
        assertTrue(csv.out().contains(",\"link down, hard\","), "a comma in a text is quoted: " + csv.out());
        assertTrue(csv.out().contains(",\"/systemId=name:\"\"alpha\"\"/linkId=string:\"\"l1\"\"\","), csv.out());

        Run json = nx(readDb, "list", "--format", "json").expect(0);
        List<JsonNode> records = CliFixture.records(json.json());
        assertEquals(List.of(1, 2, 3, 4, 5, 6), records.stream().map(CliFixture::id).sorted().toList(), json.out());
        JsonNode link = records.stream().filter(r -> CliFixture.id(r) == 1).findFirst().get();
        assertEquals(TextNode.valueOf(LINK), link.get("managedObject"), "names in json keep their notation");

        Run limited = nx(readDb, "list", "--limit", "2", "--batch", "1", "--progress").expect(0);
        assertTrue(limited.out().contains("2 of 6 alarms"), limited.out());
        assertTrue(limited.err().contains("100%  2/2"), "progress bar on stderr: " + limited.err());

        Run numbered = nx(readDb, "--log-number", "5", "list", "--format", "csv").expect(0);
        assertEquals(2, csvIds(numbered).size(), numbered.out());
        // The global options may also follow the command.
        assertEquals(numbered.out(), nx(readDb, "list", "--format", "csv", "--log-number", "5").expect(0).out());
    }

    @Test
    void listSelections() throws Exception {
        Object[][] cases = {  // the ids listed, the selection
            {List.of(2, 3, 4), new String[] {"--severity", "critical"}},
            {List.of(1, 2, 3, 4), new String[] {"--severity", "Major,critical"}},
            {List.of(1), new String[] {"--type", "comm*"}},
            {List.of(2, 3, 4, 6), new String[] {"--moc", "circuit*", "--moc", "node*"}},
            {List.of(3, 5), new String[] {"--id", "3,5,77"}},
            // Conditions of different options must all hold.
            {List.of(), new String[] {"--severity", "critical", "--type", "comm*"}},
            {List.of(1, 2, 3, 4, 5, 6), new String[] {"--state", "open", "--since", "1d", "--until", "2999-01-01"}},
            {List.of(), new String[] {"--state", "acked,cleared"}},
            {List.of(), new String[] {"--until", "2000-01-01"}},
        };
        for (Object[] c : cases) {
            List<String> args = new ArrayList<>(List.of("list", "--format", "csv"));
            args.addAll(Arrays.asList((String[]) c[1]));
            assertEquals(c[0], csvIds(nx(readDb, args.toArray(new String[0])).expect(0)), args::toString);
        }
        Run none = nx(readDb, "list", "--severity", "indeterminate").expect(0);
        assertTrue(none.out().startsWith("no alarms match"), none.out());
    }

    @Test
    void countTotalAndBySeverity() throws Exception {
        JsonNode counted = CliFixture.parse("{\"total\": 6, \"bySeverity\": {\"critical\": 3, \"major\": 1, "
                + "\"minor\": 1, \"warning\": 1, \"indeterminate\": 0, \"cleared\": 0}}");
        for (String format : new String[] {"json", "ndjson"}) {
            Run all = nx(readDb, "count", "--format", format).expect(0);
            assertEquals(List.of(counted), all.ndjson(), format + ": one object on one line");
            List<String> order = new ArrayList<>();
            all.json().get("bySeverity").fieldNames().forEachRemaining(order::add);
            assertEquals(List.of("critical", "major", "minor", "warning", "indeterminate", "cleared"), order,
                    "most severe first");
        }
        // With other conditions the counts come from one query per severity.
        Run typed = nx(readDb, "count", "--moc", "circuit*", "--format", "csv").expect(0);
        assertTrue(typed.out().contains("critical,3\r\n") && typed.out().contains("major,0\r\n")
                && typed.out().contains("total,3\r\n"), typed.out());
        Run table = nx(readDb, "count", "--moi", SYSTEM).expect(0);
        assertTrue(table.out().matches("(?s).*critical\\s+0\n.*minor\\s+1\n.*warning\\s+1\n.*total\\s+2\n.*"),
                table.out());
    }

    @Test
    void sqlOfASelection() throws Exception {
        // sql reads no database: run in this JVM, with the library loaded here.
        Run r = CliFixture.inThisJvm("sql", "--severity", "critical", "--state", "open", "--type", "comm*").expect(0);
        assertTrue(r.out().contains("perceivedSeverity = 'critical'"), r.out());
        assertTrue(r.out().contains("ackState = 'unAcked'") && r.out().contains("clearState = 'unCleared'"), r.out());
        assertTrue(r.out().contains("LIKE"), r.out());
        Run quote = CliFixture.inThisJvm("sql", "--moc", "o'brien*").expect(0);
        assertTrue(quote.out().contains("o''brien"), "a quote in a value stays inside the literal: " + quote.out());
        assertTrue(CliFixture.inThisJvm("sql").expect(0).out().contains("every record"));
    }

    @Test
    void dbParams() throws Exception {
        Run r = nx(readDb, "db-params").expect(0);
        assertTrue(r.out().contains(readDb.toString()), r.out());
        assertTrue(r.out().matches("(?s).*protocol\\s+sqlite.*"), r.out());
        assertTrue(r.out().matches("(?s).*server\\s+" + CliFixture.MIS + "\n.*"), r.out());
    }

    @Test
    void stateChangesAndTheirReverses() throws Exception {
        List<Integer> ids = raise(writeDb, "AlarmLog", "equipmentAlarm", "major",
                "/systemId=name:\"alpha\"/equipmentId=string:\"states\"", "circuitPack", "for state changes", 2);
        String a = ids.get(0).toString();
        String b = ids.get(1).toString();
        String[][] changes = {{"ack", "unack", "acked", "ackText"}, {"clear", "unclear", "cleared", "clearText"},
            {"display", "undisplay", "displayed", "displayText"}};
        // Every change on both records, then every reverse on the first only.
        for (String[] c : changes) {
            Run done = nx(writeDb, c[0], a, b, "--text", "seen by " + c[0]).expect(0);
            assertTrue(done.out().contains(c[0] + ": 2 alarms"), done.out());
        }
        for (JsonNode r : jsonRecords(writeDb, ids).values()) {
            for (String[] c : changes) {
                assertEquals(BooleanNode.TRUE, r.get(c[2]), c[0] + ": " + r);
                assertEquals(TextNode.valueOf("seen by " + c[0]), r.get(c[3]), c[0] + ": " + r);
            }
        }
        for (String[] c : changes) {
            nx(writeDb, c[1], a).expect(0);
        }
        // One unknown id refuses the whole request.
        Run refused = nx(writeDb, "ack", a, "999999").expect(1);
        assertTrue(refused.err().contains("no record 999999") && refused.err().contains("nothing changed"), refused.err());
        Map<Integer, JsonNode> after = jsonRecords(writeDb, ids);
        for (String[] c : changes) {
            assertEquals(BooleanNode.FALSE, after.get(ids.get(0)).get(c[2]), c[1] + ", and no ack of a refused request");
            assertEquals(BooleanNode.TRUE, after.get(ids.get(1)).get(c[2]), c[1] + " touched only " + a);
        }
    }

    @Test
    void sendClearAndDelete() throws Exception {
        String moi = "/systemId=name:\"alpha\"/equipmentId=string:\"clears\"";
        List<Integer> ids = raise(writeDb, "AlarmLog", "equipmentAlarm", "critical", moi, "circuitPack", "x", 3);
        nx(writeDb, "send-clear", ids.get(0).toString()).expect(0);
        // The clear notification clears every alarm it correlates with.
        for (JsonNode r : jsonRecords(writeDb, ids).values()) {
            assertEquals(BooleanNode.TRUE, r.get("cleared"), r.toString());
        }
        String victim = ids.get(2).toString();
        Run deleted = nx(writeDb, "delete", victim).expect(0);
        assertTrue(deleted.out().startsWith("deleted 1 alarm"), deleted.out());
        Run again = nx(writeDb, "delete", victim).expect(1);
        assertTrue(again.err().contains("no record " + victim), again.err());
    }

    @Test
    void watchPrintsEventsAsTheyCome() throws Exception {
        List<Integer> ids = raise(writeDb, "AlarmLog", "equipmentAlarm", "minor",
                "/systemId=name:\"alpha\"/equipmentId=string:\"watched\"", "circuitPack", "watched", 1);
        Process watcher = cli.start(Map.of(), "--db", writeDb, "watch", "--max", "2", "--for", "60");
        // The watcher says so on stderr once its events are set up.
        java.io.BufferedReader err = new java.io.BufferedReader(
                new java.io.InputStreamReader(watcher.getErrorStream(), StandardCharsets.UTF_8));
        String first = err.readLine();
        assertTrue(first != null && first.startsWith("watching log \"AlarmLog\""), String.valueOf(first));
        nx(writeDb, "ack", ids.get(0).toString(), "--text", "watch me").expect(0);
        int created = raise(writeDb, "AlarmLog", "communicationsAlarm", "critical", LINK, "link", "fresh one", 1).get(0);
        assertTrue(watcher.waitFor(60, TimeUnit.SECONDS), "watch --max 2 did not end");
        String out = CliFixture.read(watcher.getInputStream());
        String rest = CliFixture.read(watcher.getErrorStream());
        assertEquals(0, watcher.exitValue(), out + rest);
        assertTrue(out.matches("(?s).*changed  #" + ids.get(0) + " [^\n]*ackState=acked.*"), out);
        assertTrue(out.matches("(?s).*changed  #" + ids.get(0) + " [^\n]*ackText=\"watch me\".*"), out);
        assertTrue(out.matches("(?s).*created  #" + created + " .*critical .*communicationsAlarm.*fresh one.*"), out);
        assertTrue(rest.contains("2 events"), rest);
    }

    @Test
    void unreachableDatabaseOrLog() throws Exception {
        Run missing = nx(cli.work.resolve("no-such.db").toString(), "list").expect(3);
        assertTrue(missing.err().contains("no alarm database at") && missing.err().contains("no-such.db"), missing.err());
        Path junk = cli.work.resolve("junk.db");
        Files.writeString(junk, "not a database");
        nx(junk.toString(), "count").expect(3);
        Run log = nx(readDb, "--log", "Nope", "count").expect(3);
        assertTrue(log.err().contains("no log \"Nope\""), log.err());
        Run numbered = nx(readDb, "--log-number", "99", "ack", "1").expect(3);
        assertTrue(numbered.err().contains("no log 99 (number)"), numbered.err());
        // Without --db the library's default applies: nxalarm.db in the working directory.
        Run noDb = CliFixture.finish(cli.start(Map.of(), "count"), 60).expect(3);
        assertTrue(noDb.err().contains(cli.work.resolve("nxalarm.db").toString()), noDb.err());
        Run noBuild = CliFixture.finish(cli.start(Map.of("NX_BUILD_DIR", cli.work.resolve("nowhere").toString()),
                "count"), 60).expect(3);
        assertTrue(noBuild.err().contains("build first"), noBuild.err());
    }

    /** A text column of one record of AlarmLog, as upper-case hexadecimal bytes straight from the file. */
    private static String storedHex(String db, String column, int id) throws Exception {
        return CliFixture.sql(db, "SELECT hex(" + column + ") FROM " + CliFixture.table(db, "AlarmLog")
                + " WHERE logrecordid = " + id);
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
            List<String> args = List.of("--db", writeDb, "ack", ids.get(i).toString(), "--text", texts[i]);
            CliFixture.finish(cli.start(utf8, args.toArray(new String[0])), 60).expect(0);
        }
        assertEquals("66616E20F09F9880", storedHex(writeDb, "acktext", ids.get(0)), "UTF-8, not modified UTF-8");
        assertEquals("22757267656E7422", storedHex(writeDb, "acktext", ids.get(1)), "quotes kept");
        assertEquals("22204F522022223D22", storedHex(writeDb, "acktext", ids.get(2)));

        Map<Integer, JsonNode> json = jsonRecords(writeDb, ids);
        for (int i = 0; i < texts.length; i++) {
            assertEquals(TextNode.valueOf(texts[i]), json.get(ids.get(i)).get("ackText"), texts[i]);
        }
        assertEquals(TextNode.valueOf(additional), json.get(ids.get(2)).get("additionalText"));
        // A character outside the BMP is written as its UTF-8 bytes, not as escaped surrogates.
        Run raw = nx(writeDb, "list", "--id", ids.get(0).toString(), "--format", "ndjson").expect(0);
        assertTrue(raw.out().contains("\"fan " + face + "\""), raw.out());

        Run csv = nx(writeDb, "list", "--id", ids.get(1).toString(), "--format", "csv").expect(0);
        assertTrue(csv.out().contains(",\"\"\"urgent\"\"\","), csv.out());
        assertTrue(csv.out().contains(",\"" + "x".repeat(34) + face + " \"\"q\"\" back\\slash\","), csv.out());
        Run table = nx(writeDb, "list", "--id", ids.get(0).toString()).expect(0);
        assertTrue(table.out().contains("x".repeat(34) + face + "~"), table.out());
    }

    @Test
    void inputsPastTheLibrarysBoundsAreBadCommandLines() throws Exception {
        String pattern = "x".repeat(60000);
        for (String[] args : new String[][] {{"count", "--type", pattern}, {"list", "--moc", pattern},
            {"sql", "--type", pattern}}) {
            Run r = (args[0].equals("sql") ? CliFixture.inThisJvm(args) : nx(readDb, args)).expect(2);
            assertTrue(r.err().contains("makes a LIKE pattern of 60001 bytes")
                    && r.err().contains("longer than the 50000 bytes the database matches"), r.err());
        }
    }

    @Test
    void onlyTheCommandRunIsBuiltWhenTheWordsBeforeItAreCommonOptions() {
        assertEquals(Commands.Count.class, Main.commandNamed(new String[] {"--db", "count", "count"}));
        assertEquals(Commands.ListRecords.class,
                Main.commandNamed(new String[] {"--log=x", "--log-number", "7", "-h", "list", "--limit", "3"}));
        assertEquals(HistoryCommands.Purge.class, Main.commandNamed(new String[] {"purge", "--yes"}));
        // Anything else is read with every command known.
        assertEquals(null, Main.commandNamed(new String[] {"--severity", "major", "list"}));
        assertEquals(null, Main.commandNamed(new String[] {"frob"}));
        assertEquals(null, Main.commandNamed(new String[] {"--db"}));
        assertEquals(null, Main.commandNamed(new String[0]));
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
            {"option --quiet takes no value", "list", "--quiet=yes"},
            {"option --progress takes no value", "list", "--progress=true"},
            {"option --severity belongs after the command", "--severity", "major", "list"},
        };
        // Refused before the library is touched, so run in this JVM; the first
        // goes through bin/nxalarm to see the launcher pass the words on alike.
        for (int i = 0; i < cases.length; i++) {
            String[] c = cases[i];
            String[] args = Arrays.copyOfRange(c, 1, c.length);
            Run r = (i == 0 ? nx(readDb, args) : CliFixture.inThisJvm(args)).expect(2);
            assertTrue(r.err().contains(c[0]), () -> String.join(" ", c) + ": " + r.err());
            assertTrue(r.err().contains("nxalarm --help"), r.err());
            assertEquals("", r.out(), "nothing on stdout for " + String.join(" ", c));
        }
        Run help = CliFixture.inThisJvm("--help").expect(0);
        assertTrue(help.out().startsWith("usage: nxalarm"), help.out());
        for (String command : new String[] {"list", "count", "ack", "unack", "send-clear", "delete", "watch", "sql",
            "db-params", "history", "changes", "purge"}) {
            assertTrue(help.out().contains("\n  " + command + " "), "--help names " + command + ": " + help.out());
        }
        // A command's help lists its own options, those of the selection and the global ones.
        Run list = CliFixture.inThisJvm("list", "--help").expect(0);
        assertTrue(list.out().startsWith("usage: nxalarm list "), list.out());
        for (String option : new String[] {"--page-size", "--after", "--severity", "--until", "--format", "--log"}) {
            assertTrue(list.out().contains(option), option + " in " + list.out());
        }
        assertEquals("", list.err());
    }
}
