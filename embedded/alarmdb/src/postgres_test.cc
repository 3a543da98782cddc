// PostgreSQL only: what a server that goes away and comes back does to a
// connection. Skipped on SQLite.
#include <gtest/gtest.h>

#include <chrono>

#include "nxdb/interface.h"
#include "nxdb/schema.h"
#include "nxdb_testing/private_server.h"
#include "nxdb_testing/scratch_database.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

int count_rows(NXDBInterface& db, const std::string& table, bool& ok) {
  NXDBRow row;
  ok = db.executeQuery("SELECT COUNT(*) FROM " + table, row);
  int n = -1;
  if (ok) row.at(0) >> n;
  return n;
}

class PostgresServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!nxdb_test::on_postgres()) GTEST_SKIP() << "PostgreSQL run only";
    server_ = std::make_unique<nxdb_test::PrivateServer>();
    ASSERT_TRUE(server_->ok()) << server_->error();
    db_ = std::make_unique<NXDBInterface>(NXDBConnectInfo::at("alpha", server_->uri()),
                                          nxdb::OpenMode::kCreate);
    ASSERT_TRUE(db_->isConnected()) << db_->lastError();
    std::string error;
    ASSERT_TRUE(nxdb::create_schema(*db_, error)) << error;
    ASSERT_TRUE(nxdb::create_log(*db_, "AlarmLog", false, error)) << error;
    table_ = nxdb::log_table_name(*db_, "AlarmLog", false, "nxAlm");
    ASSERT_TRUE(db_->executeQuery("set lock mode to wait 5"));
    ASSERT_TRUE(db_->executeQuery("INSERT INTO " + table_ + " (logrecordid) VALUES (1)"));
  }
  void TearDown() override { db_.reset(); }

  std::unique_ptr<nxdb_test::PrivateServer> server_;
  std::unique_ptr<NXDBInterface> db_;
  std::string table_;
};

TEST_F(PostgresServerTest, NextCallAfterARestartReconnectsOrSaysWhy) {
  ASSERT_TRUE(server_->restart());
  // The first call finds the old connection gone: it reconnects on its own
  // (a query is only prepared, never run twice) or fails saying so; the
  // call after that works. Neither waits long.
  auto start = Clock::now();
  bool ok = false;
  int n = count_rows(*db_, table_, ok);
  EXPECT_LT(seconds_since(start), 15.0);
  if (ok) {
    EXPECT_EQ(n, 1);
  } else {
    EXPECT_NE(db_->lastError().find("connection"), std::string::npos) << db_->lastError();
  }
  start = Clock::now();
  EXPECT_EQ(count_rows(*db_, table_, ok), 1);
  EXPECT_TRUE(ok) << db_->lastError();
  EXPECT_LT(seconds_since(start), 15.0);
  // The session's lock wait survived the new connection.
  NXDBRow row;
  ASSERT_TRUE(db_->executeQuery("SHOW lock_timeout", row)) << db_->lastError();
  std::string wait;
  row >> wait;
  EXPECT_EQ(wait, "5s");
}

TEST_F(PostgresServerTest, ATransactionCutByARestartIsNeverContinuedOnANewConnection) {
  nxdb::Backend& db = *db_->backend();
  std::string error;
  ASSERT_TRUE(db.exec_script("BEGIN", error)) << error;
  ASSERT_TRUE(db_->executeQuery("INSERT INTO " + table_ + " (logrecordid) VALUES (2)"));
  ASSERT_TRUE(server_->restart());
  // The rest of the transaction must not run on its own in a new session.
  EXPECT_FALSE(db_->executeQuery("INSERT INTO " + table_ + " (logrecordid) VALUES (3)"));
  EXPECT_FALSE(db_->executeQuery("INSERT INTO " + table_ + " (logrecordid) VALUES (4)"));
  EXPECT_NE(db_->lastError().find("rolled back"), std::string::npos) << db_->lastError();
  EXPECT_FALSE(db.exec_script("COMMIT", error));
  EXPECT_NE(error.find("rolled back"), std::string::npos) << error;
  // Once the transaction is ended, the connection is made again.
  bool ok = false;
  EXPECT_EQ(count_rows(*db_, table_, ok), 1);
  EXPECT_TRUE(ok) << db_->lastError();
}

TEST_F(PostgresServerTest, RollbackEndsALostTransactionQuietly) {
  nxdb::Backend& db = *db_->backend();
  std::string error;
  ASSERT_TRUE(db.exec_script("BEGIN", error)) << error;
  ASSERT_TRUE(db_->executeQuery("INSERT INTO " + table_ + " (logrecordid) VALUES (2)"));
  ASSERT_TRUE(server_->restart());
  EXPECT_FALSE(db_->executeQuery("INSERT INTO " + table_ + " (logrecordid) VALUES (3)"));
  EXPECT_TRUE(db.exec_script("ROLLBACK", error)) << error;
  // A new transaction starts on a new connection.
  ASSERT_TRUE(db.exec_script("BEGIN", error)) << error;
  ASSERT_TRUE(db_->executeQuery("INSERT INTO " + table_ + " (logrecordid) VALUES (5)"))
      << db_->lastError();
  ASSERT_TRUE(db.exec_script("COMMIT", error)) << error;
  bool ok = false;
  EXPECT_EQ(count_rows(*db_, table_, ok), 2);
}

}  // namespace
