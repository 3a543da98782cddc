// Rows fetched ahead on another thread: all of them, in order, also when the
// reader stops early. Run under ThreadSanitizer by `make tsan`.
#include "db/row_prefetch.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "nxdb_testing/scratch_database.h"

namespace {

class RowPrefetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = std::make_unique<nxdb_test::ScratchDatabase>();
    ASSERT_TRUE(scratch_->ok()) << scratch_->error();
    scratch_->export_location();
    db_ = std::make_unique<NXDBInterface>(NXDBConnectInfo("alpha", 1), nxdb::OpenMode::kCreate);
    ASSERT_TRUE(db_->isConnected()) << db_->lastError();
    std::string error;
    ASSERT_TRUE(db_->backend()->exec_script("CREATE TABLE numbers (n INTEGER, word TEXT)", error)) << error;
  }
  void TearDown() override {
    db_.reset();
    scratch_.reset();
    unsetenv("NX_ALARM_DB");
  }

  // Adds the rows first..last.
  void fill(int first, int last) {
    std::string error;
    ASSERT_TRUE(db_->backend()->exec_script(
        "WITH RECURSIVE g(x) AS (SELECT " + std::to_string(first) + " UNION ALL SELECT x + 1 FROM g WHERE x < " +
            std::to_string(last) + ") INSERT INTO numbers (n, word) SELECT x, 'w' || x FROM g",
        error))
        << error;
  }

  // Reads up to limit rows; checks they come as 1, 2, 3, ...
  int read(int limit) {
    NXDBSet set;
    EXPECT_TRUE(db_->executeQuery("SELECT n, word FROM numbers ORDER BY n", set)) << db_->lastError();
    RowPrefetch rows(set);
    int seen = 0;
    while (seen < limit) {
      const NXDBRow* row = rows.next();
      if (!row) break;
      ++seen;
      long n = 0;
      row->at(0) >> n;
      EXPECT_EQ(n, seen);
      std::string word;
      row->at(1) >> word;
      EXPECT_EQ(word, "w" + std::to_string(seen));
      if (n != seen) break;
    }
    EXPECT_TRUE(set.error().empty()) << set.error();
    return seen;
  }

  std::unique_ptr<nxdb_test::ScratchDatabase> scratch_;
  std::unique_ptr<NXDBInterface> db_;
};

TEST_F(RowPrefetchTest, ShortAndLongResultsComeWholeAndInOrder) {
  EXPECT_EQ(read(1 << 30), 0);
  const int inline_rows = static_cast<int>(RowPrefetch::kInlineRows);
  const int block = static_cast<int>(RowPrefetch::kBlockRows);
  int total = 0;
  // Around every boundary: the rows read inline, whole blocks, many blocks.
  for (int rows : {1, inline_rows - 1, inline_rows, inline_rows + 1, inline_rows + block, inline_rows + block + 1,
                   20000}) {
    fill(total + 1, rows);
    total = rows;
    EXPECT_EQ(read(1 << 30), rows);
  }
}

TEST_F(RowPrefetchTest, AReaderThatStopsEarlyLeavesNoThreadBehind) {
  fill(1, 20000);
  for (int limit : {10, 300, 1000, 19999}) EXPECT_EQ(read(limit), limit);
  // The connection serves the next query as usual.
  EXPECT_EQ(read(1 << 30), 20000);
}

}  // namespace
