#include "nxdb/interface.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "nxdb/schema.h"
#include "nxdb/table.h"
#include "nxdb/unique_mo.h"
#include "nxdb_testing/scratch_database.h"
#include "test_tmp_dir.h"

namespace {

using nxdb_test::TempDir;

class ConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.ok()) << scratch_.error();
    info_ = std::make_unique<NXDBConnectInfo>(NXDBConnectInfo::at("alpha", scratch_.location()));
    NXDBInterface db(*info_, nxdb::OpenMode::kCreate);
    ASSERT_TRUE(db.isConnected()) << db.lastError();
    std::string error;
    ASSERT_TRUE(nxdb::create_schema(db, error)) << error;
    ASSERT_TRUE(nxdb::create_log(db, "AlarmLog", false, error)) << error;
    table_ = nxdb::log_table_name(db, "AlarmLog", false, "nxAlm");
    ASSERT_FALSE(table_.empty());
    auto insert = db.backend()->prepare(
        "INSERT INTO " + table_ +
            " (logrecordid, eventtime, loggingtime, moc_s, additionaltext, notificationid, blob)"
            " VALUES (?1, ?2, NULL, ?3, ?4, ?5, ?6)",
        error);
    ASSERT_TRUE(insert) << error;
    struct Row {
      int id;
      const char* time;
      const char* moc;
      const char* text;
      const char* blob;
    };
    const Row rows[] = {
        {1, "2001-02-03 04:05:06", "router_a", "it's down", "\x30\x00"},
        {2, "2001-02-04 00:00:00", "Router_b", nullptr, nullptr},
        {3, "2002-01-01 12:00:00", "routerXa", "%", ""},
    };
    for (const Row& r : rows) {
      ASSERT_TRUE(insert->reset());
      insert->bind_int(1, r.id);
      insert->bind_text(2, r.time);
      insert->bind_text(3, r.moc);
      r.text ? insert->bind_text(4, r.text) : insert->bind_null(4);
      insert->bind_int(5, r.id * 10);
      r.blob ? insert->bind_blob(6, r.blob, r.blob[0] ? 2 : 0) : insert->bind_null(6);
      ASSERT_EQ(insert->step(), nxdb::StepResult::kDone) << insert->error();
    }
  }

  // Record ids the condition selects, in table order.
  std::vector<int> ids(const std::string& condition) {
    NXDBInterface db(*info_);
    NXDBSet set;
    std::vector<int> out;
    EXPECT_TRUE(db.executeQuery("SELECT logrecordid FROM " + table_ + " WHERE " + condition +
                                    " ORDER BY logrecordid",
                                set))
        << db.lastError();
    NXDBRow row;
    while (set.getNextRow(row)) {
      int id = 0;
      row.at(0) >> id;
      out.push_back(id);
    }
    EXPECT_TRUE(set.error().empty()) << set.error();
    return out;
  }

  nxdb_test::ScratchDatabase scratch_;
  std::unique_ptr<NXDBConnectInfo> info_;
  std::string table_;
};

TEST_F(ConnectionTest, ColumnsReadBackAsTheCallersExpect) {
  NXDBInterface db(*info_);
  NXDBRow row;
  ASSERT_TRUE(db.executeQuery("SELECT logrecordid, eventtime, loggingtime, additionaltext, blob, "
                              "notificationid FROM " + table_ + " WHERE logrecordid = 1",
                              row))
      << db.lastError();
  std::string text;
  row >> text;
  EXPECT_EQ(text, "1");  // first column as text
  NXDBValue v;
  auto text_of = [&](const char* column) {
    EXPECT_TRUE(row.getColumnVal(column, v)) << column;
    std::string out;
    v >> out;
    return out;
  };
  EXPECT_EQ(text_of("EventTime"), "20010203040506");  // time columns as fourteen digits
  EXPECT_EQ(text_of("loggingtime"), "");               // NULL as empty text
  EXPECT_TRUE(v.isNull());
  EXPECT_EQ(text_of("additionaltext"), "it's down");
  NXDBBlob blob;
  ASSERT_TRUE(row.getColumnVal("Blob", v));  // selected as blob, asked as Blob
  v >> blob;
  ASSERT_EQ(blob.length(), 2u);
  EXPECT_EQ(blob.data()[0], 0x30);
  EXPECT_EQ(blob.data()[1], 0x00);  // binary bytes survive
  long number = 0;
  ASSERT_TRUE(row.getColumnVal("notificationid", v));
  v >> number;
  EXPECT_EQ(number, 10);
  EXPECT_FALSE(row.getColumnVal("nosuchcolumn", v));
  // NULL and empty blobs have length zero.
  for (int id : {2, 3}) {
    ASSERT_TRUE(db.executeQuery("SELECT blob FROM " + table_ + " WHERE logrecordid = " + std::to_string(id), row));
    blob = NXDBBlob("x", 1);
    row.at(0) >> blob;
    EXPECT_EQ(blob.length(), 0u) << id;
  }
}

// Names are remembered by where they are stored; a name buffer reused for
// another name must still find that other column, on every row.
TEST_F(ConnectionTest, ColumnsByNameFollowTheTextNotTheAddress) {
  NXDBInterface db(*info_);
  NXDBSet set;
  ASSERT_TRUE(db.executeQuery("SELECT logrecordid, additionaltext, blob, notificationid FROM " + table_ +
                                  " ORDER BY logrecordid",
                              set))
      << db.lastError();
  NXDBRow row;
  char name[32];
  int rows = 0;
  while (set.getNextRow(row)) {
    ++rows;
    std::snprintf(name, sizeof name, "%s", "notificationid");
    const NXDBValue* notification = row.column(name);
    std::snprintf(name, sizeof name, "%s", "logrecordid");
    const NXDBValue* id = row.column(name);
    ASSERT_NE(notification, nullptr);
    ASSERT_NE(id, nullptr);
    EXPECT_NE(notification, id);
    EXPECT_EQ(id->text(), std::to_string(rows));
    std::snprintf(name, sizeof name, "%s", "LogRecordId");  // any case
    EXPECT_EQ(row.column(name), id);
    std::snprintf(name, sizeof name, "%s", "logrecordi");  // a prefix is another name
    EXPECT_EQ(row.column(name), nullptr);
    std::snprintf(name, sizeof name, "%s", "logrecordidx");
    EXPECT_EQ(row.column(name), nullptr);
    EXPECT_EQ(row.column("Blob"), row.column(std::string_view("blob")));
  }
  EXPECT_EQ(rows, 3);
}

TEST_F(ConnectionTest, InformixConditionsSelectTheRightRows) {
  const std::pair<const char*, std::vector<int>> cases[] = {
      {"eventtime >= DATETIME (2001-02-04 00:00:00) YEAR to SECOND", {2, 3}},
      {"eventTime < DATETIME (2001-02-04 00:00:00) YEAR to SECOND", {1}},
      // LIKE tells case apart and honours the escaped underscore.
      {"MOC_s LIKE '%router%' ESCAPE '\\'", {1, 3}},
      {"MOC_s LIKE '%router\\_a' ESCAPE '\\'", {1}},
      {"MOC_s NOT LIKE '%router%' ESCAPE '\\'", {2}},
      // Quoted numbers compare with integer columns; quotes in values stay values.
      {"notificationId = '20'", {2}},
      {"additionalText = 'it''s down'", {1}},
  };
  for (const auto& [condition, expected] : cases) EXPECT_EQ(ids(condition), expected) << condition;
}

TEST_F(ConnectionTest, RowSetStreamsInDatabaseOrderAndCounts) {
  NXDBInterface db(*info_);
  NXDBRow row;
  ASSERT_TRUE(db.executeQuery("SELECT  COUNT(*)  FROM " + table_, row));
  int count = 0;
  row.at(0) >> count;
  EXPECT_EQ(count, 3);
  NXDBSet set;
  ASSERT_TRUE(db.executeQuery("SELECT moc_s FROM " + table_ + " WHERE logrecordid > 5", set));
  EXPECT_FALSE(set.getNextRow(row));
  EXPECT_FALSE(set.getNextRow(row));  // stays finished
  EXPECT_TRUE(set.error().empty());
}

TEST_F(ConnectionTest, FailuresAreReportedNotRun) {
  NXDBInterface db(*info_);
  NXDBRow row;
  NXDBSet set;
  EXPECT_FALSE(db.executeQuery("SELECT * FROM nosuchtable", set));
  EXPECT_FALSE(db.lastError().empty());
  // One call runs one statement: a second one is never executed.
  EXPECT_FALSE(db.executeQuery("SELECT 1 FROM log; DROP TABLE log", row));
  EXPECT_FALSE(db.executeQuery("DELETE FROM log; DELETE FROM nxlog"));
  EXPECT_TRUE(NXDBTable("log", db).tableExists());
  EXPECT_FALSE(db.executeQuery("SELECT 1 FROM log WHERE nxlogid = 'x", row));
  EXPECT_FALSE(db.executeQuery(
      "SELECT 1 FROM " + table_ + " WHERE eventtime > DATETIME (2001-02-30 99:00:00) YEAR to SECOND",
      set));
  // A statement with a trailing semicolon or comment is still one statement.
  EXPECT_TRUE(db.executeQuery("SELECT nxlogid FROM log;", row));
  EXPECT_TRUE(db.executeQuery("SELECT nxlogid FROM log; -- done", row));
}

TEST_F(ConnectionTest, LockModeStatementsAreAccepted) {
  NXDBInterface db(*info_);
  EXPECT_TRUE(db.executeQuery("set lock mode to wait 120"));
  EXPECT_TRUE(db.executeQuery("set lock mode to not wait"));
  EXPECT_FALSE(db.executeQuery("set lock mode to wait soon"));
}

TEST_F(ConnectionTest, TableExistence) {
  NXDBInterface db(*info_);
  EXPECT_TRUE(NXDBTable(table_, db).tableExists());
  EXPECT_TRUE(NXDBTable("NXLOG", db).tableExists());
  EXPECT_FALSE(NXDBTable("", db).tableExists());
  EXPECT_FALSE(NXDBTable("nxalm_99", db).tableExists());
  EXPECT_FALSE(NXDBTable("x' OR '1'='1", db).tableExists());
}

TEST_F(ConnectionTest, UniqueIdentitiesAreStableAndDistinct) {
  UniqueMO mo(*info_, true, 1000);
  const DataUnit a("\x30\x03\x02\x01\x01", 5);
  const DataUnit b("\x30\x03\x02\x01\x02", 5);
  long ia = mo.get_unique_id(a);
  long ib = mo.get_unique_id(b);
  EXPECT_GT(ia, 0) << mo.lastError();
  EXPECT_GT(ib, 0);
  EXPECT_NE(ia, ib);
  EXPECT_EQ(mo.get_unique_id(a), ia);
  // Another session, no cache, sees the same identities.
  UniqueMO other(*info_, false, 0);
  EXPECT_EQ(other.get_unique_id(b), ib);
  EXPECT_EQ(other.get_unique_id(DataUnit("\x30\x00", 2)), -1);  // unknown, not created
  EXPECT_EQ(other.get_unique_id(DataUnit()), -1);
}

TEST(Connection, MissingDatabaseFileIsNotCreatedByReaders) {
  TempDir tmp;
  NXDBInterface db(NXDBConnectInfo::at("", tmp.file("none.db")));
  EXPECT_FALSE(db.isConnected());
  EXPECT_NE(db.lastError().find("none.db"), std::string::npos) << db.lastError();
  NXDBRow row;
  EXPECT_FALSE(db.executeQuery("SELECT 1", row));
  EXPECT_FALSE(NXDBTable("log", db).tableExists());
  EXPECT_EQ(UniqueMO(NXDBConnectInfo::at("", tmp.file("none.db")), true, 10)
                .get_unique_id(DataUnit("\x30\x00", 2)),
            -1);
}

TEST(Connection, NewFilesGetLargePagesAndOldOnesKeepTheirs) {
  TempDir tmp;
  auto page_size = [](NXDBInterface& db) {
    NXDBRow row;
    EXPECT_TRUE(db.executeQuery("PRAGMA page_size", row)) << db.lastError();
    std::string size;
    row >> size;
    return size;
  };
  {
    NXDBInterface made(NXDBConnectInfo::at("", tmp.file("new.db")), nxdb::OpenMode::kCreate);
    ASSERT_TRUE(made.isConnected()) << made.lastError();
    std::string error;
    ASSERT_TRUE(nxdb::create_schema(made, error)) << error;
    EXPECT_EQ(page_size(made), "8192");
  }
  // A file of another size, as an older release made it, is opened as it is.
  {
    NXDBInterface old(NXDBConnectInfo::at("", tmp.file("old.db")), nxdb::OpenMode::kCreate);
    ASSERT_TRUE(old.isConnected()) << old.lastError();
    std::string error;
    ASSERT_TRUE(old.backend()->exec_script("PRAGMA journal_mode=DELETE; PRAGMA page_size=4096; VACUUM;", error))
        << error;
  }
  NXDBInterface reopened(NXDBConnectInfo::at("", tmp.file("old.db")), nxdb::OpenMode::kCreate);
  ASSERT_TRUE(reopened.isConnected()) << reopened.lastError();
  EXPECT_EQ(page_size(reopened), "4096");
}

}  // namespace
