package com.qel.nx.api.alarm;

/**
 * Many records in a log at once: one alarm raised through the tool, then
 * copied in SQL with new record and notification ids (raising thousands
 * one by one would take most of a test's time). None is acknowledged.
 */
final class BulkRecords {
    private BulkRecords() {
    }

    /** Fills an empty log with records 1..count. */
    static void fill(AlarmDbFixture db, LogName log, int count) {
        db.raise(log, "major", 1);
        String table = db.table(log);
        String columns = AlarmDbFixture.onPostgres()
                ? db.sql("SELECT string_agg(column_name, ',' ORDER BY ordinal_position)"
                        + " FROM information_schema.columns WHERE table_name = '" + table + "'")
                : db.sql("SELECT group_concat(name, ',') FROM pragma_table_info('" + table + "')");
        StringBuilder select = new StringBuilder();
        for (String c : columns.split(",")) {
            select.append(select.length() == 0 ? "" : ",")
                    .append(c.equals("logrecordid") || c.equals("notificationid") ? "n.i" : "t." + c);
        }
        String copy = "INSERT INTO " + table + " (" + columns + ") SELECT " + select + " FROM "
                + (AlarmDbFixture.onPostgres() ? "generate_series(2, " + count + ") AS n(i)" : "n")
                + ", (SELECT * FROM " + table + " WHERE logrecordid = 1) AS t";
        db.sql(AlarmDbFixture.onPostgres() ? copy
                : "WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < " + count + ") " + copy);
    }

    /** Record ids 1..count. */
    static AlarmRecordId[] ids(int count) {
        AlarmRecordId[] ids = new AlarmRecordId[count];
        for (int i = 0; i < count; i++) {
            ids[i] = new AlarmRecordId(i + 1);
        }
        return ids;
    }

    /** A trigger that fails every change (update or delete) of one record. */
    static void refuse(AlarmDbFixture db, LogName log, String change, int recordId) {
        String table = db.table(log);
        String when = (change.equals("DELETE") ? "OLD" : "NEW") + ".logrecordid = " + recordId;
        if (AlarmDbFixture.onPostgres()) {
            db.sql("CREATE OR REPLACE FUNCTION nx_refuse() RETURNS trigger AS $$ BEGIN"
                    + " RAISE EXCEPTION 'refused by the test'; END $$ LANGUAGE plpgsql");
            db.sql("CREATE TRIGGER nx_refuse_" + change.toLowerCase() + " BEFORE " + change + " ON " + table
                    + " FOR EACH ROW WHEN (" + when + ") EXECUTE FUNCTION nx_refuse()");
        } else {
            db.sql("CREATE TRIGGER nx_refuse_" + change.toLowerCase() + " BEFORE " + change + " ON " + table
                    + " WHEN " + when + " BEGIN SELECT RAISE(ABORT, 'refused by the test'); END");
        }
    }

    static void allow(AlarmDbFixture db, LogName log, String change) {
        db.sql("DROP TRIGGER nx_refuse_" + change.toLowerCase()
                + (AlarmDbFixture.onPostgres() ? " ON " + db.table(log) : ""));
    }
}
