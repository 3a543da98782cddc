package com.qel.nx.cli;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.fasterxml.jackson.databind.JsonNode;
import com.fasterxml.jackson.databind.node.TextNode;
import com.qel.nx.cli.CliFixture.Run;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/** bin/nxalarm history, changes and purge, each run in its own JVM against a database made here. */
class HistoryCommandLineTest {
    private static CliFixture cli;
    private static String db;

    @BeforeAll
    static void makeDatabase() throws Exception {
        cli = new CliFixture("cli-history-", Map.of());
        db = cli.work.resolve("history.db").toString();
        cli.makeDatabase(db, "AlarmLog");
    }

    @AfterAll
    static void removeDatabase() throws Exception {
        if (cli != null) {
            cli.close();
        }
    }

    private static List<Integer> raise(String severity, String text, int count) throws Exception {
        return cli.raise(db, "AlarmLog", "communicationsAlarm", severity, "/systemId=name:\"alpha\"", "system", 3,
                text, count);
    }

    private static Run nx(String... args) throws Exception {
        return cli.nx(db, args);
    }

    @Test
    void historyOfARecordInEachFormat() throws Exception {
        int id = raise("major", "history", 1).get(0);
        nx("ack", Integer.toString(id), "--text", "on it, \"really\"").expect(0);
        nx("delete", Integer.toString(id)).expect(0);

        Run table = nx("history", Integer.toString(id)).expect(0);
        String[] lines = table.out().split("\n");
        assertTrue(lines[0].startsWith("TIME") && lines[0].contains("CHANGE"), table.out());
        assertTrue(lines[2].contains("created") && lines[3].contains("acked") && lines[4].contains("deleted"),
                table.out());
        assertTrue(lines[3].contains("unAcked/unCleared/unDisplayed") && lines[3].contains("on it"), table.out());
        assertTrue(table.out().contains("3 changes of record " + id), table.out());

        Run csv = nx("history", Integer.toString(id), "--format", "csv").expect(0);
        String[] rows = csv.out().split("\r\n");
        assertEquals(String.join(",", HistoryCommands.FIELDS), rows[0]);
        assertEquals(4, rows.length, csv.out());
        assertTrue(rows[2].contains(",acked,unAcked/unCleared/unDisplayed,acked/unCleared/unDisplayed,")
                && rows[2].endsWith(",\"on it, \"\"really\"\"\""), rows[2]);

        Run json = nx("history", Integer.toString(id), "--format", "json").expect(0);
        List<JsonNode> changes = new ArrayList<>();
        json.json().forEach(changes::add);
        assertEquals(3, changes.size(), json.out());
        for (JsonNode c : changes) {
            List<String> fields = new ArrayList<>();
            c.fieldNames().forEachRemaining(fields::add);
            assertEquals(HistoryCommands.FIELDS, fields, c.toString());
            assertEquals(id, c.get("logRecordId").intValue(), c.toString());
            assertTrue(c.get("logRecordId").isInt() && c.get("time").isTextual(), c.toString());
        }
        assertEquals(TextNode.valueOf("acked"), changes.get(1).get("kind"));
        assertEquals(TextNode.valueOf("on it, \"really\""), changes.get(1).get("text"));
        assertEquals(TextNode.valueOf("deleted"), changes.get(2).get("kind"));
        assertTrue(changes.get(2).get("stateAfter").isNull(), json.out());

        Run ndjson = nx("history", Integer.toString(id), "--format", "ndjson").expect(0);
        assertEquals(changes, ndjson.ndjson(), "ndjson: the same changes, one a line");

        Run none = nx("history", "999999").expect(1);
        assertTrue(none.err().contains("no history of record 999999"), none.err());
        // Refused before the library is touched: run in this JVM.
        CliFixture.inThisJvm("history").expect(2);
        CliFixture.inThisJvm("history", "1", "2").expect(2);
    }

    @Test
    void changesSinceATimeUpToALimit() throws Exception {
        CliFixture.inThisJvm("changes").expect(2);
        CliFixture.inThisJvm("changes", "--since", "1h", "--severity", "major").expect(2);
        List<Integer> ids = raise("minor", "changes", 2);
        nx("display", Integer.toString(ids.get(0)), Integer.toString(ids.get(1))).expect(0);
        Run all = nx("changes", "--since", "1h", "--format", "csv").expect(0);
        String display0 = ",displayed,";
        assertTrue(all.out().contains(ids.get(0) + display0) && all.out().contains(ids.get(1) + display0), all.out());
        String[] rows = all.out().split("\r\n");
        Run two = nx("changes", "--since", "1h", "--limit", "2", "--format", "csv").expect(0);
        assertEquals(List.of(rows[0], rows[1], rows[2]), Arrays.asList(two.out().split("\r\n")), "the oldest two");
        Run later = nx("changes", "--since", "2099-01-01").expect(0);
        assertTrue(later.out().startsWith("no changes in log"), later.out());
    }

    @Test
    void purgeSaysHowManyWithoutYesAndDeletesWithIt() throws Exception {
        List<Integer> ids = raise("warning", "to purge", 3);
        CliFixture.inThisJvm("purge", "--yes").expect(2);
        Run dry = nx("purge", "--severity", "warning").expect(0);
        assertTrue(dry.out().startsWith("3 alarms in log") && dry.out().contains("nothing changed"), dry.out());
        assertTrue(nx("count", "--severity", "warning", "--format", "csv").expect(0).out().contains("total,3"));
        Run done = nx("purge", "--severity", "warning", "--yes").expect(0);
        assertTrue(done.out().startsWith("purged 3 alarms"), done.out());
        assertTrue(nx("count", "--severity", "warning", "--format", "csv").expect(0).out().contains("total,0"));
        Run kept = nx("history", Integer.toString(ids.get(2)), "--format", "csv").expect(0);
        assertTrue(kept.out().contains(",deleted,"), kept.out());
    }
}
