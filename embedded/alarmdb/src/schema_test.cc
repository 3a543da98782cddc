#include "nxdb/schema.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "nxdb/interface.h"
#include "nxdb/table.h"
#include "nxdb_testing/scratch_database.h"

namespace {

class SchemaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.ok()) << scratch_.error();
    db_ = std::make_unique<NXDBInterface>(NXDBConnectInfo::at("", scratch_.location()),
                                          nxdb::OpenMode::kCreate);
    ASSERT_TRUE(db_->isConnected()) << db_->lastError();
    ASSERT_TRUE(nxdb::create_schema(*db_, error_)) << error_;
  }

  // The first column of a query's rows.
  std::vector<std::string> texts(const std::string& query) {
    NXDBSet set;
    std::vector<std::string> out;
    EXPECT_TRUE(db_->executeQuery(query, set)) << db_->lastError();
    NXDBRow row;
    while (set.getNextRow(row)) {
      std::string text;
      row >> text;
      out.push_back(text);
    }
    return out;
  }

  // A table's columns in order, as "a, b, c".
  std::string columns_of(const std::string& table) {
    std::string out;
    for (const std::string& name :
         texts(nxdb_test::on_postgres() ? "SELECT column_name FROM information_schema.columns WHERE table_name = '" +
                                              table + "' ORDER BY ordinal_position"
                                        : "SELECT name FROM pragma_table_info('" + table + "')")) {
      out += (out.empty() ? "" : ", ") + name;
    }
    return out;
  }

  nxdb_test::ScratchDatabase scratch_;
  std::unique_ptr<NXDBInterface> db_;
  std::string error_;
};

TEST_F(SchemaTest, LogTablesHoldExactlyTheReadersColumns) {
  ASSERT_TRUE(nxdb::create_log(*db_, "AlarmLog", false, error_)) << error_;
  const std::string common =
      "loggingtime, eventname, moc_s, moi_s, eventtime, notificationid, correlatednotifs, "
      "additionaltext, additionalinfo_s, logrectype, logrecordid, blob";
  const std::string states =
      "ackstate, acktime, ackoperator, acktext, clearstate, cleartime, clearoperator, cleartext, "
      "displaystate, displaytime, displayoperator, displaytext";
  const std::pair<const char*, std::string> expected[] = {
      {"nxAlm", common +
                    ", probablecause_s, perceivedseverity, specificproblems, backedupstatus, "
                    "backupobject, trendindication, thresholdinfo_s, statechangedef_s, "
                    "monitoredattribs, proposedrpracts, " +
                    states + ", moi_id"},
      {"nxInt", common +
                    ", probablecause_s, attributeidlist_s, objectinstancelsts, "
                    "snmpvarbindlist_s, internettrapinfo_s, perceivedseverity, "
                    "transportdomain_s, accesscontrolinfos, " +
                    states + ", moi_id"},
      {"NrvCt", common +
                    ", probablecause_s, perceivedseverity, specificproblems_s, backedupstatus, "
                    "backupobject, trendindication, thresholdinfo_s, statechangedef_s, "
                    "monitoredattribs, proposedrpractions, " +
                    states + ", mosiseverity, mosistateid, moi_id"},
  };
  for (const auto& [code, list] : expected) {
    std::string table = nxdb::log_table_name(*db_, "AlarmLog", false, code);
    ASSERT_FALSE(table.empty()) << code;
    EXPECT_EQ(columns_of(table), list) << code;
  }
  // Only the string log exists; the same text as a number log does not.
  EXPECT_EQ(nxdb::log_table_name(*db_, "AlarmLog", true, "nxAlm"), "");
  EXPECT_EQ(nxdb::log_table_name(*db_, "AlarmLog", false, "ObCre"), "");
}

TEST_F(SchemaTest, IndexesAndTimeFormAreEnforced) {
  ASSERT_TRUE(nxdb::create_log(*db_, "5", true, error_)) << error_;
  std::string table = nxdb::log_table_name(*db_, "5", true, "nxAlm");
  const std::vector<std::string> indexes =
      texts(nxdb_test::on_postgres() ? "SELECT indexname FROM pg_indexes WHERE tablename = '" + table + "'"
                                     : "SELECT name FROM pragma_index_list('" + table + "')");
  for (const char* column :
       {"logrecordid", "perceivedseverity", "ackstate", "clearstate", "eventtime", "moi_id_clearstate"}) {
    EXPECT_NE(std::find(indexes.begin(), indexes.end(), table + "_" + column), indexes.end())
        << column;
  }
  EXPECT_EQ(std::find(indexes.begin(), indexes.end(), table + "_moi_id"), indexes.end());
  EXPECT_TRUE(db_->executeQuery("INSERT INTO " + table +
                                " (logrecordid, eventtime) VALUES (1, '2001-02-03 04:05:06')"));
  // A duplicate record id, or a time in another form, never gets in.
  EXPECT_FALSE(db_->executeQuery("INSERT INTO " + table + " (logrecordid) VALUES (1)"));
  EXPECT_FALSE(db_->executeQuery("INSERT INTO " + table +
                                 " (logrecordid, eventtime) VALUES (2, '20010203040506')"));
  // PostgreSQL's typed column takes the ISO form with a T as the same time
  // and reads it back as the fourteen digits; SQLite's text column refuses it.
  EXPECT_EQ(db_->executeQuery("INSERT INTO " + table + " (logrecordid, acktime) VALUES (3, '2001-02-03T04:05:06')"),
            nxdb_test::on_postgres());
  if (nxdb_test::on_postgres()) {
    EXPECT_EQ(texts("SELECT acktime FROM " + table + " WHERE logrecordid = 3"),
              std::vector<std::string>{"20010203040506"});
  }
  EXPECT_FALSE(db_->executeQuery("INSERT INTO " + table + " (eventtime) VALUES (NULL)"));
}

TEST_F(SchemaTest, LogIdentifiersAreCheckedAndNeverReachTableNames) {
  ASSERT_TRUE(nxdb::create_log(*db_, "Bob's \"log\"; DROP TABLE log", false, error_)) << error_;
  std::string table = nxdb::log_table_name(*db_, "Bob's \"log\"; DROP TABLE log", false, "NrvCt");
  EXPECT_EQ(table, "nrvct_1");
  EXPECT_TRUE(NXDBTable("log", *db_).tableExists());
  ASSERT_TRUE(nxdb::create_log(*db_, "Second", false, error_)) << error_;
  EXPECT_EQ(nxdb::log_table_name(*db_, "Second", false, "nxAlm"), "nxalm_2");

  EXPECT_FALSE(nxdb::create_log(*db_, "Second", false, error_));
  EXPECT_NE(error_.find("already exists"), std::string::npos) << error_;
  EXPECT_FALSE(nxdb::create_log(*db_, "Second", true, error_));  // not a number
  EXPECT_FALSE(nxdb::create_log(*db_, "", false, error_));
  EXPECT_FALSE(nxdb::create_log(*db_, "a\nb", false, error_));
  EXPECT_FALSE(nxdb::create_log(*db_, "-5", true, error_));
  ASSERT_TRUE(nxdb::create_log(*db_, "7", true, error_)) << error_;
  EXPECT_FALSE(nxdb::create_log(*db_, "7", false, error_));  // one log per identifier text
  // A refused log leaves no table behind.
  EXPECT_FALSE(NXDBTable("nxalm_4", *db_).tableExists());
}

// A log table of the layout before the clear-match index: init gives it
// that index and drops the single one on moi_id it replaces, keeping rows.
TEST_F(SchemaTest, InitBringsAnOlderLogTableToTheClearMatchIndex) {
  ASSERT_TRUE(nxdb::create_log(*db_, "Old", false, error_)) << error_;
  const std::string table = nxdb::log_table_name(*db_, "Old", false, "nxAlm");
  ASSERT_TRUE(db_->executeQuery("DROP INDEX " + table + "_moi_id_clearstate"));
  ASSERT_TRUE(db_->executeQuery("CREATE INDEX " + table + "_moi_id ON " + table + " (moi_id)"));
  ASSERT_TRUE(db_->executeQuery("INSERT INTO " + table + " (logrecordid, moi_id, clearstate) VALUES (1, 7, 'unCleared')"));
  EXPECT_FALSE(db_->backend()->index_exists(table + "_moi_id_clearstate"));

  ASSERT_TRUE(nxdb::create_schema(*db_, error_)) << error_;
  EXPECT_TRUE(db_->backend()->index_exists(table + "_moi_id_clearstate"));
  EXPECT_FALSE(db_->backend()->index_exists(table + "_moi_id"));
  EXPECT_FALSE(db_->backend()->index_exists(table + "_nothing"));
  EXPECT_EQ(texts("SELECT clearstate FROM " + table + " WHERE moi_id = 7"), std::vector<std::string>{"unCleared"});
}

TEST_F(SchemaTest, InitIsRepeatableAndCreateLogNeedsIt) {
  EXPECT_TRUE(nxdb::create_schema(*db_, error_)) << error_;
  nxdb_test::ScratchDatabase other;
  NXDBInterface bare(NXDBConnectInfo::at("", other.location()), nxdb::OpenMode::kCreate);
  EXPECT_FALSE(nxdb::create_log(bare, "AlarmLog", false, error_));
  EXPECT_NE(error_.find("init"), std::string::npos) << error_;
}

}  // namespace
