// Statements kept prepared and run in turns, as a unit of work keeps them:
// each must run its own SQL whatever ran in between. On PostgreSQL every
// statement is prepared under the one unnamed name, which any later
// preparation or one-off execution replaces on the server.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "nxdb/interface.h"
#include "nxdb_testing/scratch_database.h"

namespace {

class KeptStatementsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.ok()) << scratch_.error();
    db_ = std::make_unique<NXDBInterface>(NXDBConnectInfo::at("alpha", scratch_.location()),
                                          nxdb::OpenMode::kCreate);
    ASSERT_TRUE(db_->isConnected()) << db_->lastError();
    ASSERT_TRUE(db_->executeQuery("CREATE TABLE kept (n BIGINT, tag TEXT)")) << db_->lastError();
  }

  nxdb::Backend& backend() { return *db_->backend(); }

  long count(const std::string& where) {
    NXDBRow row;
    EXPECT_TRUE(db_->executeQuery("SELECT COUNT(*) FROM kept WHERE " + where, row)) << db_->lastError();
    long n = -1;
    row.at(0) >> n;
    return n;
  }

  nxdb_test::ScratchDatabase scratch_;
  std::unique_ptr<NXDBInterface> db_;
};

TEST_F(KeptStatementsTest, EachRunsItsOwnSqlWhateverRanBetween) {
  std::string error;
  auto insert = backend().prepare("INSERT INTO kept (n, tag) VALUES (?1, 'inserted')", error);
  ASSERT_TRUE(insert) << error;
  auto select = backend().prepare("SELECT n FROM kept WHERE n = ?1", error);
  ASSERT_TRUE(select) << error;
  auto update = backend().prepare("UPDATE kept SET tag = 'updated' WHERE n = ?1", error);
  ASSERT_TRUE(update) << error;
  // Rounds in the order a bulk change runs them: the one prepared last runs
  // after the other two ran again.
  for (int n = 1; n <= 3; ++n) {
    insert->reset();
    insert->bind_int(1, n);
    ASSERT_EQ(insert->step(), nxdb::StepResult::kDone) << insert->error();
    select->reset();
    select->bind_int(1, n);
    ASSERT_EQ(select->step(), nxdb::StepResult::kRow) << "round " << n << ": " << select->error();
    EXPECT_EQ(select->cell_int(0), n);
    select->reset();
    update->reset();
    update->bind_int(1, n);
    ASSERT_EQ(update->step(), nxdb::StepResult::kDone) << update->error();
  }
  EXPECT_EQ(count("tag = 'updated'"), 3);
  EXPECT_EQ(count("tag = 'inserted'"), 0);
}

// A lookup run for each alarm of a batch while the batch fills its table:
// each run sees the rows as they are, and on PostgreSQL it is never kept
// under a name, whose cached plan would be the one made for the nearly
// empty table.
TEST_F(KeptStatementsTest, AReplannedQueryIsNeverKeptAndSeesTheTableGrow) {
  const std::string lookup = "SELECT COUNT(*) FROM kept WHERE n <= ?1";
  const std::string kept_lookup = "SELECT COUNT(*) FROM kept WHERE n >= ?1";
  std::string error;
  auto insert = backend().prepare_kept("INSERT INTO kept (n, tag) VALUES (?1, 'row')", error);
  ASSERT_TRUE(insert) << error;
  auto replanned = backend().prepare_replanned(lookup, error);
  ASSERT_TRUE(replanned) << error;
  auto kept = backend().prepare_kept(kept_lookup, error);
  ASSERT_TRUE(kept) << error;
  for (int n = 1; n <= 12; ++n) {
    insert->reset();
    insert->bind_int(1, n);
    ASSERT_EQ(insert->step(), nxdb::StepResult::kDone) << insert->error();
    replanned->reset();
    replanned->bind_int(1, n);
    ASSERT_EQ(replanned->step(), nxdb::StepResult::kRow) << replanned->error();
    EXPECT_EQ(replanned->cell_int(0), n);
    replanned->reset();
    kept->reset();
    kept->bind_int(1, 1);
    ASSERT_EQ(kept->step(), nxdb::StepResult::kRow) << kept->error();
    EXPECT_EQ(kept->cell_int(0), n);
    kept->reset();
  }
  if (backend().dialect() != nxdb::Dialect::kPostgres) return;
  auto named = [&](const std::string& sql) {
    NXDBRow row;
    EXPECT_TRUE(db_->executeQuery("SELECT COUNT(*) FROM pg_prepared_statements WHERE statement = '" +
                                      sql.substr(0, sql.find('?')) + "$1'",
                                  row))
        << db_->lastError();
    long n = -1;
    row.at(0) >> n;
    return n;
  };
  EXPECT_EQ(named(kept_lookup), 1) << "the kept query, as the check's own control";
  EXPECT_EQ(named(lookup), 0);
}

}  // namespace
