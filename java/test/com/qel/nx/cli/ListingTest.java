package com.qel.nx.cli;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.fasterxml.jackson.databind.JsonNode;
import com.fasterxml.jackson.databind.node.TextNode;
import com.qel.nx.cli.CliFixture.Run;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.stream.Collectors;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * bin/nxalarm list as a person and a script read it: causes by name, texts
 * decoded, times with their offset, newline-delimited JSON, orders and pages.
 * Runs on the database the suite gives the class (an SQLite file or a
 * PostgreSQL database), so both engines are covered.
 */
class ListingTest {
    private static final String[] SEVERITY_RANK = {"critical", "major", "minor", "warning", "indeterminate"};

    private static CliFixture cli;
    private static String db;
    private static boolean postgres;

    /** What each record was raised with: id to {severity, cause number, event time}. */
    private static final Map<Integer, String[]> RAISED = new HashMap<>();

    @BeforeAll
    static void makeLog() throws Exception {
        cli = new CliFixture("listing-", Map.of("TZ", "UTC"));
        db = System.getenv("NX_ALARM_DB");
        assertNotNull(db, "run-junit.sh gives each class a database");
        postgres = db.contains("://");
        cli.makeDatabase(db, "AlarmLog");
        // Event times are set below, out of id order and with ties, so orders show.
        raise("major", 51, "link down", "2026-01-01 10:00:05", "2026-01-01 10:00:01");
        raise("critical", 1, "adapter gone", "2026-01-01 10:00:05", "2026-01-01 10:00:03");
        raise("minor", 900, "no such cause", "2026-01-01 10:00:01");
        raise("warning", 15, "fan slow", "2026-01-01 10:00:07");
        raise("critical", 3, "to be replaced", "2026-01-01 10:00:03");
        // Record 7's text comes from its blob, held as a PrintableString, which
        // the platform's metadata does not expect for additionalText.
        String table = CliFixture.table(db, "AlarmLog");
        String blob = "301430120605590302070713097072696E7461626C65";
        CliFixture.sql(db, "UPDATE " + table + " SET additionaltext = NULL, blob = "
                + (postgres ? "decode('" + blob + "', 'hex')" : "X'" + blob + "'") + " WHERE logrecordid = 7");
        for (Map.Entry<Integer, String[]> e : RAISED.entrySet()) {
            CliFixture.sql(db, "UPDATE " + table + " SET eventtime = '" + e.getValue()[2] + "' WHERE logrecordid = "
                    + e.getKey());
        }
    }

    @AfterAll
    static void removeWork() throws Exception {
        if (cli != null) {
            cli.close();
        }
    }

    /** Raises one alarm per event time given. */
    private static void raise(String severity, int cause, String text, String... eventTimes) throws Exception {
        List<Integer> ids = cli.raise(db, "AlarmLog", "equipmentAlarm", severity, "/systemId=name:\"alpha\"",
                "circuitPack", cause, text, eventTimes.length);
        for (int i = 0; i < ids.size(); i++) {
            RAISED.put(ids.get(i), new String[] {severity, Integer.toString(cause), eventTimes[i]});
        }
    }

    private static Run nx(Map<String, String> env, String... args) throws Exception {
        return cli.nx(db, env, args);
    }

    private static Run nx(String... args) throws Exception {
        return nx(Map.of(), args);
    }

    private static List<Integer> ids(List<JsonNode> records) {
        return records.stream().map(CliFixture::id).collect(Collectors.toList());
    }

    private static int rank(int id) {
        return Arrays.asList(SEVERITY_RANK).indexOf(RAISED.get(id)[0]);
    }

    private static String time(int id) {
        return RAISED.get(id)[2];
    }

    /** Every id in the order of --sort -eventTime,severity: latest first, then least severe, then id down. */
    private static List<Integer> latestFirstThenLeastSevere() {
        return RAISED.keySet().stream().sorted(Comparator.comparing(ListingTest::time).reversed()
                .thenComparing(Comparator.comparing(ListingTest::rank).reversed())
                .thenComparing(Comparator.<Integer>reverseOrder())).collect(Collectors.toList());
    }

    @Test
    void causesTextsAndTimesReadable() throws Exception {
        Run json = nx("list", "--format", "json").expect(0);
        Map<Integer, JsonNode> byId = new HashMap<>();
        for (JsonNode r : CliFixture.records(json.json())) {
            byId.put(CliFixture.id(r), r);
        }
        assertEquals(RAISED.keySet(), byId.keySet(), json.out());
        // An array of records, one a line, so a person or grep can read it too.
        String[] lines = json.out().split("\n");
        assertEquals(RAISED.size() + 2, lines.length, json.out());
        for (int i = 1; i <= RAISED.size(); i++) {
            assertTrue(CliFixture.parse(lines[i].replaceFirst(",$", "")).isObject(), lines[i]);
        }
        String[] names = {null, "adapterError", null, "bandwidthReduced"};
        for (int id : RAISED.keySet()) {
            int cause = Integer.parseInt(RAISED.get(id)[1]);
            String want = cause == 51 ? "thresholdCrossed" : cause == 15 ? "equipmentMalfunction"
                    : cause == 900 ? "900" : names[cause];
            assertEquals(TextNode.valueOf(want), byId.get(id).get("probableCause"), "record " + id);
            // The stored digits in the zone the command runs in, with that zone's offset.
            assertEquals(TextNode.valueOf(time(id).replace(' ', 'T') + ".000+00:00"), byId.get(id).get("eventTime"),
                    "record " + id);
        }
        assertEquals(TextNode.valueOf("printable"), byId.get(7).get("additionalText"));
        assertEquals(TextNode.valueOf("link down"), byId.get(1).get("additionalText"));

        Run kolkata = nx(Map.of("TZ", "Asia/Kolkata"), "list", "--id", "4", "--format", "json").expect(0);
        assertEquals(TextNode.valueOf(time(4).replace(' ', 'T') + ".000+05:30"),
                CliFixture.records(kolkata.json()).get(0).get("eventTime"), kolkata.out());

        int unknown = RAISED.entrySet().stream().filter(e -> e.getValue()[1].equals("900")).findFirst().get().getKey();
        int adapter = RAISED.entrySet().stream().filter(e -> e.getValue()[1].equals("1")).findFirst().get().getKey();
        Run csv = nx("list", "--id", "7," + unknown, "--format", "csv").expect(0);
        assertTrue(csv.out().contains(",bandwidthReduced,") && csv.out().contains("," + time(7).replace(' ', 'T')
                + ".000+00:00,"), csv.out());
        assertTrue(csv.out().contains(",900,") && csv.out().contains(",printable,"), csv.out());
        Run table = nx("list", "--id", "7," + adapter).expect(0);
        String rows = "(?s).*\n +" + adapter + " .*adapterError .*\n 7 .*bandwidthReduced .* printable\n.*";
        assertTrue(table.out().matches(rows), table.out());
        assertFalse(table.out().contains("'H") || table.out().contains("localValue"), table.out());
    }

    @Test
    void ndjsonIsOneObjectPerLine() throws Exception {
        Run all = nx("list", "--format", "ndjson", "--batch", "2").expect(0);
        List<JsonNode> records = all.ndjson();
        assertEquals(RAISED.keySet(), Set.copyOf(ids(records)), all.out());
        assertEquals(RAISED.size(), records.size(), "no record twice: " + all.out());
        for (JsonNode r : records) {
            assertEquals(21, r.size(), "every field, null where absent: " + r);
            assertTrue(r.get("eventTime").isTextual() && r.get("eventTime").asText().endsWith("+00:00"), r.toString());
            assertTrue(r.get("acked").isBoolean() && r.get("ackTime").isNull(), r.toString());
        }
        assertEquals(3, nx("list", "--format", "ndjson", "--batch", "2", "--limit", "3").expect(0).ndjson().size());
        assertEquals("", nx("list", "--format", "ndjson", "--severity", "indeterminate").expect(0).out(),
                "no records, no lines");
    }

    @Test
    void sortOrders() throws Exception {
        // Ascending keys are seen in -eventTime,severity below.
        List<Integer> down = new ArrayList<>(RAISED.keySet());
        down.sort(Comparator.reverseOrder());
        assertEquals(down, nx("list", "--sort", "-recordId", "--format", "csv").expect(0).csvIds());
        assertEquals(latestFirstThenLeastSevere(),
                nx("list", "--sort", "-eventTime,severity", "--format", "csv", "--batch", "2").expect(0).csvIds());
        // -severity: critical first; equal severities by id in the same direction.
        List<Integer> severeFirst = RAISED.keySet().stream().sorted(Comparator.comparing(ListingTest::rank)
                .thenComparing(Comparator.<Integer>reverseOrder())).collect(Collectors.toList());
        assertEquals(severeFirst, nx("list", "--sort", "-severity", "--format", "csv").expect(0).csvIds());
    }

    @Test
    void pagesWalkTheWholeOrderOnce() throws Exception {
        List<Integer> seen = new ArrayList<>();
        List<String> tokens = new ArrayList<>();
        do {
            List<String> args = new ArrayList<>(List.of("list", "--sort", "-eventTime,severity", "--page-size", "3",
                    "--format", "csv"));
            if (!tokens.isEmpty()) {
                args.addAll(List.of("--after", tokens.get(tokens.size() - 1)));
            }
            Run page = nx(args.toArray(new String[0])).expect(0);
            List<Integer> ids = page.csvIds();
            assertTrue(ids.size() <= 3, page.out());
            seen.addAll(ids);
            String err = page.err().strip();
            assertFalse(err.contains("\n"), "the token alone on stderr: " + page.err());
            tokens.add(err);
            assertTrue(tokens.size() <= 3, "7 records in pages of 3 take 3 pages: " + seen);
        } while (!tokens.get(tokens.size() - 1).isEmpty());
        assertEquals(latestFirstThenLeastSevere(), seen, "every record once, in order");
        // A page in another format is the same page, with the same token.
        Run ndjson = nx("list", "--sort", "-eventTime,severity", "--page-size", "3", "--format", "ndjson",
                "--after", tokens.get(0)).expect(0);
        assertEquals(seen.subList(3, 6), ids(ndjson.ndjson()), ndjson.out());
        assertEquals(tokens.get(1), ndjson.err().strip());
        Run table = nx("list", "--page-size", "5").expect(0);
        assertTrue(table.out().contains("5 alarms on this page"), table.out());
        String next = table.err().strip();
        Run last = nx("list", "--page-size", "5", "--after", next).expect(0);
        assertTrue(last.out().contains("2 alarms on this page (the last)"), last.out());
        assertEquals("", last.err(), "no token after the last page");

        // A token is bound to its selection and order; a garbled one is refused.
        Run other = nx("list", "--page-size", "5", "--sort", "-severity", "--after", next).expect(2);
        assertTrue(other.err().contains("--after"), other.err());
        Set<String> garbled = new HashSet<>(List.of("not-a-token", next.substring(0, next.length() / 2),
                next.substring(1) + "A"));
        for (String bad : garbled) {
            Run r = nx("list", "--page-size", "5", "--after", bad).expect(2);
            assertTrue(r.err().contains("--after"), bad + ": " + r.err());
            assertEquals("", r.out(), bad);
        }
    }

    @Test
    void badOrdersAndPagesRefused() throws Exception {
        String[][] cases = {
            {"unknown sort key \"colour\"", "list", "--sort", "colour"},
            {"unknown sort key \"EventTime\"", "list", "--sort", "EventTime"},
            {"unknown sort key \"additionalText\"", "list", "--sort", "-eventTime,additionalText"},
            {"empty key", "list", "--sort", "eventTime,"},
            {"empty key", "list", "--sort", "-"},
            {"given twice", "list", "--sort", "eventTime,-eventTime"},
            {"option --sort needs a value", "list", "--sort"},
            {"--page-size must be at least 1", "list", "--page-size", "0"},
            {"--page-size must be at most 10000", "list", "--page-size", "10001"},
            {"--after needs --page-size", "list", "--after", "abc"},
            {"--limit does not apply to a page", "list", "--page-size", "2", "--limit", "3"},
            {"option --sort does not apply to count", "count", "--sort", "eventTime"},
        };
        for (String[] c : cases) {
            // Refused before the library is touched: run in this JVM.
            Run r = CliFixture.inThisJvm(Arrays.copyOfRange(c, 1, c.length)).expect(2);
            assertTrue(r.err().contains(c[0]), () -> String.join(" ", c) + ": " + r.err());
            assertEquals("", r.out(), "nothing on stdout for " + String.join(" ", c));
        }
    }
}
