// The pool of idle server connections: reuse, what is never handed out
// again, the bound, and threads taking and handing back at once. The server
// cases run on PostgreSQL only (SQLite connections are not kept).
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "nxdb/connection_pool.h"
#include "nxdb/interface.h"
#include "nxdb_testing/scratch_database.h"

namespace {

using nxdb::ConnectionPool;

long backend_pid(const NXDBInterface& db) {
  NXDBRow row;
  if (!db.executeQuery("SELECT pg_backend_pid()", row)) return -1;
  long pid = -1;
  row.at(0) >> pid;
  return pid;
}

std::string show(const NXDBInterface& db, const std::string& setting) {
  NXDBRow row;
  std::string value;
  if (db.executeQuery("SHOW " + setting, row)) row >> value;
  return value;
}

TEST(ConnectionPoolFile, SqliteConnectionsAreNotKept) {
  nxdb_test::ScratchDatabase scratch;
  ASSERT_TRUE(scratch.ok()) << scratch.error();
  if (scratch.postgres()) GTEST_SKIP() << "SQLite run only";
  const NXDBConnectInfo info = NXDBConnectInfo::at("alpha", scratch.location());
  EXPECT_EQ(ConnectionPool::key(info, nxdb::OpenMode::kCreate), "");
  { NXDBInterface db(info, nxdb::OpenMode::kCreate); ASSERT_TRUE(db.isConnected()); }
  { NXDBInterface db(info, nxdb::OpenMode::kCreate); EXPECT_TRUE(db.isConnected()); }
}

class ConnectionPoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!nxdb_test::on_postgres()) GTEST_SKIP() << "PostgreSQL run only";
    ASSERT_TRUE(scratch_.ok()) << scratch_.error();
    ConnectionPool::instance().clear();
    key_ = ConnectionPool::key(info_, nxdb::OpenMode::kExisting);
    ASSERT_FALSE(key_.empty());
  }
  void TearDown() override { ConnectionPool::instance().clear(); }

  std::unique_ptr<NXDBInterface> open() {
    auto db = std::make_unique<NXDBInterface>(info_);
    EXPECT_TRUE(db->isConnected()) << db->lastError();
    return db;
  }

  nxdb_test::ScratchDatabase scratch_;
  NXDBConnectInfo info_ = NXDBConnectInfo::at("alpha", scratch_.location());
  std::string key_;
};

TEST_F(ConnectionPoolTest, AConnectionHandedBackServesTheNextInterfaceWithAFreshSession) {
  long first = -1;
  {
    auto db = open();
    first = backend_pid(*db);
    ASSERT_GT(first, 0);
    // Session state the next user must not see.
    ASSERT_TRUE(db->executeQuery("set lock mode to wait 3"));
    std::string error;
    ASSERT_TRUE(db->backend()->exec_script("SET search_path TO pg_catalog", error)) << error;
    ASSERT_TRUE(db->backend()->exec_script("SET statement_timeout = 1234", error)) << error;
  }
  EXPECT_EQ(ConnectionPool::instance().idle(key_), 1u);
  auto db = open();
  EXPECT_EQ(ConnectionPool::instance().idle(key_), 0u);
  EXPECT_EQ(backend_pid(*db), first);
  EXPECT_EQ(show(*db, "lock_timeout"), "2min");
  EXPECT_EQ(show(*db, "search_path"), "\"$user\", public");
  EXPECT_EQ(show(*db, "statement_timeout"), "5min");
  // The session's own lock wait still takes effect on a reused connection.
  ASSERT_TRUE(db->executeQuery("set lock mode to wait 7"));
  EXPECT_EQ(show(*db, "lock_timeout"), "7s");
}

TEST_F(ConnectionPoolTest, AConnectionInsideATransactionIsNeverHandedOutAgain) {
  long first = -1;
  {
    auto db = open();
    first = backend_pid(*db);
    std::string error;
    ASSERT_TRUE(db->backend()->exec_script("BEGIN", error)) << error;
    ASSERT_TRUE(db->backend()->exec_script("CREATE TABLE half_done (n INTEGER)", error)) << error;
  }
  EXPECT_EQ(ConnectionPool::instance().idle(key_), 0u);
  auto db = open();
  EXPECT_NE(backend_pid(*db), first);
  // The transaction was rolled back with its connection.
  NXDBRow row;
  ASSERT_TRUE(db->executeQuery("SELECT count(*) FROM pg_class WHERE relname = 'half_done'", row));
  int tables = -1;
  row.at(0) >> tables;
  EXPECT_EQ(tables, 0);
}

TEST_F(ConnectionPoolTest, AConnectionTheServerEndedIsNeverHandedOutAgain) {
  // Opened first, so that it is not the connection it ends.
  auto killer = open();
  std::string error;
  ASSERT_TRUE(killer->backend()->exec_script("BEGIN", error)) << error;
  long first = -1;
  {
    auto db = open();
    first = backend_pid(*db);
  }
  ASSERT_EQ(ConnectionPool::instance().idle(key_), 1u);
  NXDBRow row;
  ASSERT_TRUE(killer->executeQuery(
      "SELECT pg_terminate_backend(" + std::to_string(first) + ", 10000)", row))
      << killer->lastError();
  // killer goes inside its transaction: closed, not kept.
  killer.reset();
  EXPECT_EQ(ConnectionPool::instance().take(key_), nullptr);
  EXPECT_EQ(ConnectionPool::instance().idle(key_), 0u);
}

TEST_F(ConnectionPoolTest, NoMoreThanTheBoundAreKept) {
  const std::size_t opened = ConnectionPool::kMaxIdlePerTarget + 3;
  std::vector<std::unique_ptr<NXDBInterface>> held;
  std::set<long> pids;
  for (std::size_t i = 0; i < opened; ++i) {
    held.push_back(open());
    pids.insert(backend_pid(*held.back()));
  }
  EXPECT_EQ(pids.size(), opened);
  held.clear();
  EXPECT_EQ(ConnectionPool::instance().idle(key_), ConnectionPool::kMaxIdlePerTarget);
  // The ones not kept are closed, not left open on the server.
  auto db = open();
  NXDBRow row;
  ASSERT_TRUE(db->executeQuery(
      "SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
      "AND application_name = 'nxalarm'",
      row));
  int connected = 0;
  row.at(0) >> connected;
  // Closing is asynchronous on the server side: wait briefly for it.
  for (int i = 0; i < 50 && connected > static_cast<int>(ConnectionPool::kMaxIdlePerTarget); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(db->executeQuery(
        "SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
        "AND application_name = 'nxalarm'",
        row));
    row.at(0) >> connected;
  }
  EXPECT_EQ(connected, static_cast<int>(ConnectionPool::kMaxIdlePerTarget));
}

TEST_F(ConnectionPoolTest, ThreadsTakingAtOnceNeverShareAConnection) {
  constexpr int kThreads = 6;
  constexpr int kRounds = 15;
  std::mutex mutex;
  std::set<long> in_use;
  std::set<long> seen;
  int shared = 0;
  int failed = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        NXDBInterface db(info_);
        const long pid = backend_pid(db);
        {
          std::lock_guard<std::mutex> lock(mutex);
          if (pid <= 0) ++failed;
          else if (!in_use.insert(pid).second) ++shared;
          seen.insert(pid);
        }
        std::this_thread::yield();
        // Still the same connection after the others had their turn.
        const long again = backend_pid(db);
        std::lock_guard<std::mutex> lock(mutex);
        if (again != pid) ++shared;
        in_use.erase(pid);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(shared, 0);
  // Connections were reused, not opened afresh each round.
  EXPECT_LE(seen.size(), static_cast<std::size_t>(kThreads) + ConnectionPool::kMaxIdlePerTarget);
  EXPECT_LE(ConnectionPool::instance().idle(key_), ConnectionPool::kMaxIdlePerTarget);
}

}  // namespace
