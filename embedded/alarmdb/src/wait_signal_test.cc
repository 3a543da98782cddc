// A SQLite connection that waits for the write lock tells the holder so,
// and stops telling once it has the lock; one told not to announce never does.
// On PostgreSQL a writer waiting for an EXCLUSIVE lock of a table the holder
// has locked is seen; a plain insert waiting on it is not.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
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

// Two connections to a fresh database with a table t; a holds the write
// lock while b writes.
class WaitSignal : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.ok()) << scratch_.error();
    a_ = std::make_unique<NXDBInterface>(NXDBConnectInfo::at("alpha", scratch_.location()), nxdb::OpenMode::kCreate);
    b_ = std::make_unique<NXDBInterface>(NXDBConnectInfo::at("alpha", scratch_.location()),
                                         nxdb::OpenMode::kExisting);
    ASSERT_TRUE(a_->isConnected() && b_->isConnected());
    std::string error;
    ASSERT_TRUE(a_->backend()->exec_script("CREATE TABLE t (n INTEGER)", error)) << error;
  }

  // a takes the lock with `hold`; b runs `write` meanwhile, which waits for
  // it; whether a sees b waiting (looking up to 5 s when it should, 300 ms
  // when it should not), and never once a has committed.
  void expect_seen(const char* hold, const std::string& write, bool seen) {
    std::string error;
    ASSERT_TRUE(a_->backend()->exec_script(hold, error)) << error;
    EXPECT_FALSE(a_->backend()->writers_waiting());
    bool wrote = false;
    std::string b_error;
    std::thread writer([&] { wrote = b_->backend()->exec_script(write, b_error); });
    EXPECT_EQ(seen_within(*a_->backend(), std::chrono::milliseconds(seen ? 5000 : 300)), seen);
    ASSERT_TRUE(a_->backend()->exec_script("COMMIT", error)) << error;
    writer.join();
    EXPECT_TRUE(wrote) << b_error;
    EXPECT_FALSE(a_->backend()->writers_waiting());
  }

  nxdb_test::ScratchDatabase scratch_;
  std::unique_ptr<NXDBInterface> a_, b_;
};

TEST_F(WaitSignal, AWaitingWriterIsSeenUntilItHasTheLock) {
  if (scratch_.postgres()) GTEST_SKIP() << "SQLite run only";
  for (const bool announce : {true, false}) {
    SCOPED_TRACE(announce ? "announcing" : "quiet");
    // A quiet writer is never seen; one that announces is, while it waits.
    b_->backend()->announce_waits(announce);
    expect_seen("BEGIN IMMEDIATE", "INSERT INTO t VALUES (1)", announce);
  }
}

TEST_F(WaitSignal, OnPostgresAWriterWaitingForTheExclusiveTableLockIsSeen) {
  if (!scratch_.postgres()) GTEST_SKIP() << "PostgreSQL run only";
  const char* hold = "BEGIN; LOCK TABLE t IN EXCLUSIVE MODE";
  expect_seen(hold, "BEGIN; LOCK TABLE t IN EXCLUSIVE MODE; INSERT INTO t VALUES (1); COMMIT", true);
  expect_seen(hold, "INSERT INTO t VALUES (2)", false);
}

}  // namespace
