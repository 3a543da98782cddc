// A SQLite connection that waits for the write lock tells the holder so,
// and stops telling once it has the lock; one told not to announce never does.
// On PostgreSQL a writer waiting for an EXCLUSIVE lock of a table the holder
// has locked is seen; a plain insert waiting on it is not.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "nxdb/backend.h"
#include "nxdb/interface.h"
#include "nxdb_testing/scratch_database.h"

namespace {

using Clock = std::chrono::steady_clock;

// Whether holder sees a waiting writer within the time given.
bool seen_within(nxdb::Backend& holder, std::chrono::milliseconds limit) {
  const auto until = Clock::now() + limit;
  while (Clock::now() < until) {
    if (holder.writers_waiting()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

TEST(WaitSignal, AWaitingWriterIsSeenUntilItHasTheLock) {
  nxdb_test::ScratchDatabase scratch;
  ASSERT_TRUE(scratch.ok()) << scratch.error();
  if (scratch.postgres()) GTEST_SKIP() << "SQLite run only";
  NXDBInterface a(NXDBConnectInfo::at("alpha", scratch.location()), nxdb::OpenMode::kCreate);
  NXDBInterface b(NXDBConnectInfo::at("alpha", scratch.location()), nxdb::OpenMode::kExisting);
  ASSERT_TRUE(a.isConnected() && b.isConnected());
  std::string error;
  ASSERT_TRUE(a.backend()->exec_script("CREATE TABLE t (n INTEGER)", error)) << error;

  for (const bool announce : {true, false}) {
    SCOPED_TRACE(announce ? "announcing" : "quiet");
    b.backend()->announce_waits(announce);
    ASSERT_TRUE(a.backend()->exec_script("BEGIN IMMEDIATE", error)) << error;
    EXPECT_FALSE(a.backend()->writers_waiting());
    bool wrote = false;
    std::string b_error;
    std::thread writer([&] { wrote = b.backend()->exec_script("INSERT INTO t VALUES (1)", b_error); });
    // A quiet writer is never seen; one that announces is, while it waits.
    EXPECT_EQ(seen_within(*a.backend(), std::chrono::milliseconds(announce ? 5000 : 300)), announce);
    ASSERT_TRUE(a.backend()->exec_script("COMMIT", error)) << error;
    writer.join();
    EXPECT_TRUE(wrote) << b_error;
    EXPECT_FALSE(a.backend()->writers_waiting());
  }
}

TEST(WaitSignal, OnPostgresAWriterWaitingForTheExclusiveTableLockIsSeen) {
  nxdb_test::ScratchDatabase scratch;
  ASSERT_TRUE(scratch.ok()) << scratch.error();
  if (!scratch.postgres()) GTEST_SKIP() << "PostgreSQL run only";
  NXDBInterface a(NXDBConnectInfo::at("alpha", scratch.location()), nxdb::OpenMode::kCreate);
  NXDBInterface b(NXDBConnectInfo::at("alpha", scratch.location()), nxdb::OpenMode::kExisting);
  ASSERT_TRUE(a.isConnected() && b.isConnected());
  std::string error;
  ASSERT_TRUE(a.backend()->exec_script("CREATE TABLE t (n INTEGER)", error)) << error;

  for (const bool writer_lock : {true, false}) {
    SCOPED_TRACE(writer_lock ? "writer's table lock" : "plain insert");
    ASSERT_TRUE(a.backend()->exec_script("BEGIN; LOCK TABLE t IN EXCLUSIVE MODE", error)) << error;
    EXPECT_FALSE(a.backend()->writers_waiting());
    bool wrote = false;
    std::string b_error;
    std::thread writer([&] {
      wrote = b.backend()->exec_script(writer_lock ? "BEGIN; LOCK TABLE t IN EXCLUSIVE MODE; INSERT INTO t "
                                                     "VALUES (1); COMMIT"
                                                   : "INSERT INTO t VALUES (2)",
                                       b_error);
    });
    EXPECT_EQ(seen_within(*a.backend(), std::chrono::milliseconds(writer_lock ? 5000 : 300)), writer_lock);
    ASSERT_TRUE(a.backend()->exec_script("COMMIT", error)) << error;
    writer.join();
    EXPECT_TRUE(wrote) << b_error;
    EXPECT_FALSE(a.backend()->writers_waiting());
  }
}

}  // namespace
