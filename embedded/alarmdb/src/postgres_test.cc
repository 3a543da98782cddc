// PostgreSQL only: what a server that goes away and comes back does to a
// connection. Skipped on SQLite.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

#include "nxdb/interface.h"
#include "nxdb/schema.h"
#include "nxdb_testing/private_server.h"
#include "nxdb_testing/scratch_database.h"
#include "postgres_statement.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// -1 when the query fails.
int count_rows(NXDBInterface& db, const std::string& table) {
  NXDBRow row;
  int n = -1;
  if (db.executeQuery("SELECT COUNT(*) FROM " + table, row)) row.at(0) >> n;
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

  // A transaction that wrote a row, cut by a restart; the next write fails.
  void lose_a_transaction() {
    std::string error;
    ASSERT_TRUE(db_->backend()->exec_script("BEGIN", error)) << error;
    ASSERT_TRUE(db_->executeQuery("INSERT INTO " + table_ + " (logrecordid) VALUES (2)"));
    ASSERT_TRUE(server_->restart());
    EXPECT_FALSE(db_->executeQuery("INSERT INTO " + table_ + " (logrecordid) VALUES (3)"));
  }

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
  const int n = count_rows(*db_, table_);
  EXPECT_LT(seconds_since(start), 15.0);
  if (n >= 0) {
    EXPECT_EQ(n, 1);
  } else {
    EXPECT_NE(db_->lastError().find("connection"), std::string::npos) << db_->lastError();
  }
  start = Clock::now();
  EXPECT_EQ(count_rows(*db_, table_), 1) << db_->lastError();
  EXPECT_LT(seconds_since(start), 15.0);
  // The session's lock wait survived the new connection.
  NXDBRow row;
  ASSERT_TRUE(db_->executeQuery("SHOW lock_timeout", row)) << db_->lastError();
  std::string wait;
  row >> wait;
  EXPECT_EQ(wait, "5s");
}

TEST_F(PostgresServerTest, ATransactionCutByARestartIsNeverContinuedOnANewConnection) {
  // The rest of the transaction must not run on its own in a new session.
  ASSERT_NO_FATAL_FAILURE(lose_a_transaction());
  EXPECT_FALSE(db_->executeQuery("INSERT INTO " + table_ + " (logrecordid) VALUES (4)"));
  EXPECT_NE(db_->lastError().find("rolled back"), std::string::npos) << db_->lastError();
  std::string error;
  EXPECT_FALSE(db_->backend()->exec_script("COMMIT", error));
  EXPECT_NE(error.find("rolled back"), std::string::npos) << error;
  // Once the transaction is ended, the connection is made again.
  EXPECT_EQ(count_rows(*db_, table_), 1) << db_->lastError();
}

TEST_F(PostgresServerTest, RollbackEndsALostTransactionQuietly) {
  ASSERT_NO_FATAL_FAILURE(lose_a_transaction());
  nxdb::Backend& db = *db_->backend();
  std::string error;
  EXPECT_TRUE(db.exec_script("ROLLBACK", error)) << error;
  // A new transaction starts on a new connection.
  ASSERT_TRUE(db.exec_script("BEGIN", error)) << error;
  ASSERT_TRUE(db_->executeQuery("INSERT INTO " + table_ + " (logrecordid) VALUES (5)"))
      << db_->lastError();
  ASSERT_TRUE(db.exec_script("COMMIT", error)) << error;
  EXPECT_EQ(count_rows(*db_, table_), 2) << db_->lastError();
}

}  // namespace

// Rows of a query come one at a time. Whatever else uses the connection
// meanwhile must neither lose nor repeat a row, and a query left half-read
// must leave the connection fit for the next statement.
class PostgresStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!nxdb_test::on_postgres()) GTEST_SKIP() << "PostgreSQL run only";
    ASSERT_TRUE(scratch_.ok()) << scratch_.error();
    db_ = std::make_unique<NXDBInterface>(NXDBConnectInfo::at("alpha", scratch_.location()),
                                          nxdb::OpenMode::kCreate);
    ASSERT_TRUE(db_->isConnected()) << db_->lastError();
    ASSERT_TRUE(db_->executeQuery("CREATE TABLE numbers (n BIGINT)")) << db_->lastError();
    ASSERT_TRUE(db_->executeQuery("INSERT INTO numbers SELECT generate_series(1, 5000)")) << db_->lastError();
  }

  nxdb_test::ScratchDatabase scratch_;
  std::unique_ptr<NXDBInterface> db_;
};

TEST_F(PostgresStreamTest, OtherStatementsDuringAStreamLoseNoRow) {
  NXDBSet set;
  ASSERT_TRUE(db_->executeQuery("SELECT n FROM numbers ORDER BY n", set)) << db_->lastError();
  NXDBRow row;
  long expected = 1, seen = 0;
  while (set.getNextRow(row)) {
    long n = 0;
    row.at(0) >> n;
    ASSERT_EQ(n, expected) << "rows out of order or lost";
    ++expected;
    ++seen;
    if (seen == 10) {
      // A query and a change on the same connection mid-stream.
      EXPECT_EQ(count_rows(*db_, "numbers"), 5000) << db_->lastError();
      EXPECT_TRUE(db_->executeQuery("INSERT INTO numbers VALUES (0)")) << db_->lastError();
    }
  }
  EXPECT_EQ(seen, 5000);
}

TEST_F(PostgresStreamTest, AHalfReadQueryLeavesTheConnectionUsable) {
  for (int round = 0; round < 3; ++round) {
    NXDBSet set;
    ASSERT_TRUE(db_->executeQuery("SELECT n FROM numbers ORDER BY n", set)) << db_->lastError();
    NXDBRow row;
    ASSERT_TRUE(set.getNextRow(row));
  }  // each set dropped after one row
  EXPECT_EQ(count_rows(*db_, "numbers"), 5000) << db_->lastError();
  // Inside a transaction the half-read query is read to its end instead of
  // cancelled, so the transaction goes on.
  std::string error;
  ASSERT_TRUE(db_->backend()->exec_script("BEGIN", error)) << error;
  {
    NXDBSet set;
    ASSERT_TRUE(db_->executeQuery("SELECT n FROM numbers", set)) << db_->lastError();
    NXDBRow row;
    ASSERT_TRUE(set.getNextRow(row));
  }
  EXPECT_TRUE(db_->executeQuery("INSERT INTO numbers VALUES (-1)")) << db_->lastError();
  ASSERT_TRUE(db_->backend()->exec_script("COMMIT", error)) << error;
  EXPECT_EQ(count_rows(*db_, "numbers"), 5001) << db_->lastError();
}

// Dropping a query after the rows it was asked for is what every reader
// does (a count, an existence check, a page). Asking the server to cancel
// costs a new server connection each time, so it is kept for results whose
// rest does not arrive at once.
TEST_F(PostgresStreamTest, ASmallResultLeftEarlyIsReadNotCancelled) {
  const unsigned long long before = nxdb::pg::cancel_requests();
  for (int round = 0; round < 20; ++round) {
    NXDBSet set;
    ASSERT_TRUE(db_->executeQuery("SELECT COUNT(*) FROM numbers", set)) << db_->lastError();
    NXDBRow row;
    ASSERT_TRUE(set.getNextRow(row));
  }
  EXPECT_EQ(nxdb::pg::cancel_requests() - before, 0u);
  EXPECT_EQ(count_rows(*db_, "numbers"), 5000) << db_->lastError();
}

TEST_F(PostgresStreamTest, ASlowResultLeftEarlyIsStillCancelled) {
  // Ten seconds of rows if read to the end; rows wider than the server's
  // output buffer leave it one by one.
  const unsigned long long before = nxdb::pg::cancel_requests();
  const auto start = Clock::now();
  {
    NXDBSet set;
    ASSERT_TRUE(db_->executeQuery(
        "SELECT n, repeat('x', 10000), pg_sleep(0.01) FROM numbers WHERE n <= 1000", set))
        << db_->lastError();
    NXDBRow row;
    ASSERT_TRUE(set.getNextRow(row));
  }
  EXPECT_LT(seconds_since(start), 5.0);
  EXPECT_EQ(nxdb::pg::cancel_requests() - before, 1u);
  EXPECT_EQ(count_rows(*db_, "numbers"), 5000) << db_->lastError();
}

namespace {
// Resident set size of this process in KiB, from /proc.
long resident_kib() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}
}  // namespace

TEST_F(PostgresStreamTest, MemoryDoesNotGrowWithTheResult) {
  // About 120 MB of rows: held whole, they would show in the process size.
  ASSERT_TRUE(db_->executeQuery("CREATE TABLE wide AS SELECT g AS n, repeat('x', 1200) AS t "
                                "FROM generate_series(1, 100000) AS g"))
      << db_->lastError();
  NXDBSet set;
  ASSERT_TRUE(db_->executeQuery("SELECT n, t FROM wide", set)) << db_->lastError();
  NXDBRow row;
  const long before = resident_kib();
  long peak = before, rows = 0;
  while (set.getNextRow(row)) {
    if (++rows % 1000 == 0) peak = std::max(peak, resident_kib());
  }
  EXPECT_EQ(rows, 100000);
  EXPECT_LT(peak - before, 40 * 1024) << "KiB grown while reading";
}
