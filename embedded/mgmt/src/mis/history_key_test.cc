// The history's log key: a database whose history has the earlier layout
// (indexed by the log text) is brought to the keyed one when a MIS connects
// to it, and each log reads only its own entries, even when another log's
// key is the same.
#include "mis/connect_at_once.h"
#include "mis/history_key.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "mis/mis.h"
#include "nxdb/interface.h"
#include "nxdb/schema.h"
#include "nxdb_testing/scratch_database.h"
#include "nxmp/history.h"
#include "nxmp/mis.h"

namespace {

const std::string kL1 = "/systemId=name:\"alpha\"/logId=string:\"L1\"";
const std::string kL2 = "/systemId=name:\"alpha\"/logId=string:\"L2\"";

TEST(HistoryLogKey, IsFnv1a64WithoutItsTopBit) {
  // Stored in every entry: a change of the function would hide them all.
  EXPECT_EQ(nxmp_mis::history_log_key(""), 0x4bf29ce484222325LL);
  EXPECT_EQ(nxmp_mis::history_log_key("a"), 0x2f63dc4c8601ec8cLL);
  EXPECT_NE(nxmp_mis::history_log_key(kL1), nxmp_mis::history_log_key(kL2));
  EXPECT_GE(nxmp_mis::history_log_key(kL1), 0);
}

class HistoryKey : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.ok()) << scratch_.error();
    open(nxdb::OpenMode::kCreate);
    std::string error;
    ASSERT_TRUE(nxdb::create_schema(*db_, error)) << error;
    for (const char* log : {"L1", "L2"}) ASSERT_TRUE(nxdb::create_log(*db_, log, false, error)) << error;
    nxmp_mis::shutdown();
    scratch_.export_location();
    setenv("NX_MIS_NAME", "alpha", 1);
  }
  void TearDown() override {
    nxmp_mis::shutdown();
    unsetenv("NX_ALARM_DB");
  }

  void open(nxdb::OpenMode mode = nxdb::OpenMode::kExisting) {
    db_ = std::make_unique<NXDBInterface>(NXDBConnectInfo::at("alpha", scratch_.location()), mode);
    ASSERT_TRUE(db_->isConnected()) << db_->lastError();
  }
  nxdb::Backend& db() { return *db_->backend(); }
  bool sqlite() { return db().dialect() == nxdb::Dialect::kSqlite; }

  // The history table as MIS connections made it before it had log_key,
  // with entries of record 1 and 2 in both logs.
  void make_unkeyed_history() {
    const std::string integer = db().column_type(nxdb::ColumnKind::kInteger);
    const std::string check = db().time_check("time");
    std::string error;
    ASSERT_TRUE(db().exec_script(
        "CREATE TABLE nxmis_history (seq " + db().identity_column() + ", log TEXT NOT NULL, logrecordid " +
            integer + " NOT NULL, kind TEXT NOT NULL, state_before TEXT, state_after TEXT, operator TEXT, "
            "time " + db().column_type(nxdb::ColumnKind::kTime) + " NOT NULL " + check +
            ", text TEXT, origin TEXT NOT NULL, by_record " + integer + ");\n"
            "CREATE INDEX nxmis_history_record ON nxmis_history (log, logrecordid, seq);\n"
            "CREATE INDEX nxmis_history_time ON nxmis_history (log, time);\n",
        error))
        << error;
    add_entry(kL1, 1, "created", "", "2024-05-01 10:00:00");
    add_entry(kL2, 1, "created", "", "2024-05-01 10:00:01");
    add_entry(kL1, 2, "created", "", "2024-05-01 10:00:02");
    add_entry(kL1, 1, "acked", "", "2024-05-01 10:00:03");
    add_entry(kL2, 2, "created", "", "2024-05-01 10:00:04");
    add_entry(kL2, 1, "deleted", "", "2024-05-01 10:00:05");
  }

  // An entry written in SQL; key: its log_key column (none: no such column).
  void add_entry(const std::string& log, long id, const std::string& kind, const std::string& key,
                 const std::string& time = "2024-05-02 09:00:00") {
    std::string error;
    auto st = db().prepare("INSERT INTO nxmis_history (log, logrecordid, kind, time, origin" +
                               std::string(key.empty() ? ") VALUES (?1, ?2, ?3, ?4, 'test')"
                                                       : ", log_key) VALUES (?1, ?2, ?3, ?4, 'test', ?5)"),
                           error);
    ASSERT_TRUE(st) << error;
    st->bind_text(1, log);
    st->bind_int(2, id);
    st->bind_text(3, kind);
    st->bind_text(4, time);
    if (!key.empty()) st->bind_int(5, std::stoll(key));
    ASSERT_NE(st->step(), nxdb::StepResult::kError) << st->error();
  }

  std::vector<std::string> rows(const std::string& sql) {
    std::string error;
    auto st = db().prepare(sql, error);
    EXPECT_TRUE(st) << error;
    std::vector<std::string> out;
    if (!st) return out;
    nxdb::StepResult r;
    while ((r = st->step()) == nxdb::StepResult::kRow) {
      std::string row;
      for (int i = 0; i < st->column_count(); ++i) row += (i ? "|" : "") + std::string(st->cell_text(i));
      out.push_back(row);
    }
    EXPECT_NE(r, nxdb::StepResult::kError) << st->error();
    return out;
  }

  // The history's indexes other than the primary key's, as
  // "name(column, ...)", by name.
  std::vector<std::string> indexes() {
    std::vector<std::string> out;
    const std::string names =
        sqlite() ? "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'nxmis_history' "
                   "AND name NOT LIKE 'sqlite_%' ORDER BY name"
                 : "SELECT indexname FROM pg_indexes WHERE tablename = 'nxmis_history' AND "
                   "schemaname = current_schema() AND indexname NOT LIKE '%pkey' ORDER BY indexname";
    for (const std::string& name : rows(names)) {
      const std::vector<std::string> columns =
          sqlite() ? rows("SELECT name FROM pragma_index_info('" + name + "') ORDER BY seqno")
                   : rows("SELECT pg_get_indexdef('" + name + "'::regclass, k, true) FROM generate_series(1, "
                          "(SELECT indnatts FROM pg_index WHERE indexrelid = '" + name + "'::regclass)) k");
      std::string text = name + "(";
      for (std::size_t i = 0; i < columns.size(); ++i) text += (i ? ", " : "") + columns[i];
      out.push_back(text + ")");
    }
    return out;
  }

  // A history read as "record:kind" texts; a failed read is a failure of the test.
  static std::vector<std::string> entries(const nxmp_mis::HistoryResult& r) {
    EXPECT_TRUE(r.ok) << r.error;
    std::vector<std::string> out;
    for (const nxmp_mis::HistoryEntry& e : r.entries) out.push_back(std::to_string(e.record_id) + ":" + e.kind);
    return out;
  }
  using Texts = std::vector<std::string>;

  static nxmp_mis::AlarmNotification alarm(const std::string& log) {
    nxmp_mis::AlarmNotification n;
    n.log_id = log;
    n.event_type = "communicationsAlarm";
    n.severity = "major";
    n.moi = "/systemId=name:\"alpha\"";
    n.moc = "link";
    n.probable_cause = "5";
    return n;
  }

  nxdb_test::ScratchDatabase scratch_;
  std::unique_ptr<NXDBInterface> db_;
};

TEST_F(HistoryKey, AnUnkeyedHistoryIsKeyedWhenTheMisConnectsAndReadsAsBefore) {
  make_unkeyed_history();
  // Connecting brings the layout up to date.
  EXPECT_EQ(entries(nxmp_mis::record_history(kL1, 1)), (Texts{"1:created", "1:acked"}));
  EXPECT_EQ(entries(nxmp_mis::log_history(kL2, "", 100)), (Texts{"1:created", "2:created", "1:deleted"}));
  EXPECT_EQ(entries(nxmp_mis::log_history(kL1, "20240501100002", 100)), (Texts{"2:created", "1:acked"}));

  // Every entry has its log's key; the indexes are on the key.
  const std::vector<std::string> keys = rows("SELECT DISTINCT log, log_key FROM nxmis_history ORDER BY log");
  EXPECT_EQ(keys, (std::vector<std::string>{kL1 + "|" + std::to_string(nxmp_mis::history_log_key(kL1)),
                                            kL2 + "|" + std::to_string(nxmp_mis::history_log_key(kL2))}));
  const std::string time = sqlite() ? "time" : "\"time\"";
  EXPECT_EQ(indexes(), (std::vector<std::string>{"nxmis_history_record(log_key, logrecordid, seq)",
                                                 "nxmis_history_time(log_key, " + time + ")"}));

  // New entries go with the old: the next record of L1 is not given the id
  // its history still names, and its entry is in the log's history.
  const nxmp_mis::RaiseResult raised = nxmp_mis::raise_alarm(alarm("L1"));
  ASSERT_TRUE(raised.ok) << raised.error;
  EXPECT_EQ(entries(nxmp_mis::log_history(kL1, "", 100)),
            (Texts{"1:created", "2:created", "1:acked", "3:created"}));

  // Connecting again finds nothing to do.
  nxmp_mis::shutdown();
  ASSERT_TRUE(nxmp_mis::record_history(kL1, 3).ok);
  EXPECT_EQ(rows("SELECT COUNT(*) FROM nxmis_history").front(), "7");
}

TEST_F(HistoryKey, LogsSharingRecordIdsOrAKeyReadOnlyTheirOwnEntries) {
  ASSERT_TRUE(nxmp_mis::raise_alarm(alarm("L1")).ok);
  ASSERT_TRUE(nxmp_mis::raise_alarm(alarm("L2")).ok);
  ASSERT_TRUE(nxmp_mis::raise_alarm(alarm("L2")).ok);
  // Entries of L2 with L1's key, as a collision of their keys would make.
  const std::string l1_key = std::to_string(nxmp_mis::history_log_key(kL1));
  add_entry(kL2, 1, "acked", l1_key);
  add_entry(kL2, 50, "created", l1_key);

  EXPECT_EQ(entries(nxmp_mis::record_history(kL1, 1)), (Texts{"1:created"}));
  EXPECT_EQ(entries(nxmp_mis::log_history(kL1, "", 100)), (Texts{"1:created"}));
  EXPECT_EQ(entries(nxmp_mis::log_history(kL1, "20000101000000", 100)), (Texts{"1:created"}));
  EXPECT_EQ(entries(nxmp_mis::log_history(kL2, "", 100)), (Texts{"1:created", "2:created"}));
  // Nor do L2's ids hold back L1's: its next record is 2.
  const nxmp_mis::RaiseResult next = nxmp_mis::raise_alarm(alarm("L1"));
  ASSERT_TRUE(next.ok) << next.error;
  EXPECT_EQ(rows("SELECT MAX(logrecordid) FROM nxmis_history WHERE log = '" + kL1 + "'"),
            std::vector<std::string>{"2"});
}

TEST_F(HistoryKey, ProcessesConnectingAtOnceKeyAnUnkeyedHistoryOnce) {
  make_unkeyed_history();
  EXPECT_EQ(nxmp_mis_testing::connect_at_once(4), std::vector<std::string>{});
  EXPECT_EQ(rows("SELECT COUNT(*) FROM nxmis_history WHERE log_key = " +
                 std::to_string(nxmp_mis::history_log_key(kL1)) + " AND log = '" + kL1 + "'"),
            std::vector<std::string>{"3"});
  EXPECT_EQ(indexes().size(), 2u);
}

TEST_F(HistoryKey, AReadOnlyDatabaseIsReadUnchanged) {
  if (!sqlite()) GTEST_SKIP() << "a read-only file is an SQLite matter";
  make_unkeyed_history();
  const std::string path = scratch_.location();
  db_.reset();
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  EXPECT_EQ(entries(nxmp_mis::record_history(kL2, 1)), (Texts{"1:created", "1:deleted"}));
  EXPECT_EQ(entries(nxmp_mis::log_history(kL1, "20240501100002", 100)), (Texts{"2:created", "1:acked"}));
  nxmp_mis::shutdown();
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  open();
  EXPECT_TRUE(rows("SELECT name FROM pragma_table_info('nxmis_history') WHERE name = 'log_key'").empty());
  EXPECT_EQ(indexes(), (std::vector<std::string>{"nxmis_history_record(log, logrecordid, seq)",
                                                 "nxmis_history_time(log, time)"}));
}

}  // namespace
