// Ordered and paged reads over a log of three tables, on the engine of the
// run (SQLite, or PostgreSQL under the pg suite).
#include "db/page_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/alarm_database.h"
#include "nxdb/schema.h"
#include "nxdb_testing/scratch_database.h"

namespace {

const char kLog[] = "/systemId=name:\"alpha\"/logId=string:\"Paged\"";

struct Row {
  long long id;
  std::string event;  // "" for NULL
  std::string severity;
};

class PageReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = std::make_unique<nxdb_test::ScratchDatabase>();
    ASSERT_TRUE(scratch_->ok()) << scratch_->error();
    scratch_->export_location();
    db_ = std::make_unique<NXDBInterface>(NXDBConnectInfo("alpha", 1), nxdb::OpenMode::kCreate);
    ASSERT_TRUE(db_->isConnected()) << db_->lastError();
    std::string error;
    ASSERT_TRUE(nxdb::create_schema(*db_, error)) << error;
    ASSERT_TRUE(nxdb::create_log(*db_, "Paged", false, error)) << error;
  }
  void TearDown() override {
    db_.reset();
    scratch_.reset();
    unsetenv("NX_ALARM_DB");
  }

  void insert(const char* type, const Row& r) {
    const std::string table = nxdb::log_table_name(*db_, "Paged", false, type);
    const std::string event = r.event.empty() ? "NULL" : "'" + r.event + "'";
    const std::string severity = r.severity.empty() ? "NULL" : "'" + r.severity + "'";
    ASSERT_TRUE(db_->executeQuery("INSERT INTO " + table +
                                  " (loggingtime, eventname, moi_s, eventtime, logrecordid, perceivedseverity)"
                                  " VALUES ('2024-01-01 00:00:00', 'communicationsAlarm', '/systemId=name:\"alpha\"', " +
                                  event + ", " + std::to_string(r.id) + ", " + severity + ")"))
        << db_->lastError();
  }

  // Every page of limit records; the ids in order.
  std::vector<std::string> pages(const RecordOrder& order, std::size_t limit, const std::string& condition = "") {
    std::vector<std::string> ids;
    PagePosition position;
    PageEnd end;
    bool first = true;
    int rounds = 0;
    do {
      const auto sink = [&](const RecordFields& f) {
        ids.push_back(f.record_id());
        return true;
      };
      EXPECT_TRUE(read_log_page(kLog, condition, order, first ? nullptr : &position, limit,
                                {ATTR_LOG_RECORD_ID}, sink, end));
      EXPECT_LE(end.records, limit);
      if (end.more) {
        EXPECT_EQ(limit, end.records);
      }
      position = end.last;
      first = false;
    } while (end.more && ++rounds < 1000);
    return ids;
  }

  // The whole read in rounds of one size; all sizes must give one order.
  std::vector<std::string> whole(const RecordOrder& order) {
    std::vector<std::string> first;
    for (std::size_t round : {kOrderedRound, std::size_t{1}, std::size_t{2}, std::size_t{3}}) {
      std::vector<std::string> ids;
      EXPECT_TRUE(read_log_ordered(kLog, "", order, {ATTR_LOG_RECORD_ID}, [&](const RecordFields& f) {
        ids.push_back(f.record_id());
        return true;
      }, round));
      if (round == kOrderedRound) {
        first = ids;
      } else {
        EXPECT_EQ(first, ids) << "rounds of " << round;
      }
    }
    return first;
  }

  std::unique_ptr<nxdb_test::ScratchDatabase> scratch_;
  std::unique_ptr<NXDBInterface> db_;
};

std::vector<std::string> texts(std::initializer_list<int> ids) {
  std::vector<std::string> out;
  for (int i : ids) out.push_back("number:" + std::to_string(i));
  return out;
}

TEST_F(PageReaderTest, PagesMergeTheTablesInOrderWithTiesAndMissingTimes) {
  insert("nxAlm", {1, "2024-01-01 10:00:00", "major"});
  insert("nxAlm", {2, "2024-01-01 12:00:00", "critical"});
  insert("nxAlm", {3, "", "minor"});
  insert("nxAlm", {4, "2024-01-01 10:00:00", ""});
  insert("nxAlm", {5, "2024-01-01 11:00:00", "cleared"});
  insert("nxInt", {6, "2024-01-01 11:30:00", "warning"});
  insert("nxInt", {4, "2024-01-01 10:00:00", "major"});  // same keys as alarm record 4
  insert("NrvCt", {7, "", "critical"});

  RecordOrder newest;
  ASSERT_TRUE(newest.add("eventTime", true));
  // Ties on time go by id, descending; the internet record 4 after the alarm
  // record 4; no time last.
  const auto expected = texts({2, 6, 5, 4, 4, 1, 7, 3});
  EXPECT_EQ(expected, whole(newest));
  for (std::size_t limit : {1u, 2u, 3u, 7u, 8u, 50u}) EXPECT_EQ(expected, pages(newest, limit)) << limit;

  RecordOrder severity;
  ASSERT_TRUE(severity.add("perceivedSeverity", true));
  ASSERT_TRUE(severity.add("eventTime", false));
  // critical (no time first), major (a tie on time: the id descending, as
  // the first key), minor, warning, cleared, none.
  const auto by_rank = texts({7, 2, 4, 1, 3, 6, 5, 4});
  EXPECT_EQ(by_rank, whole(severity));
  for (std::size_t limit : {1u, 3u, 5u}) EXPECT_EQ(by_rank, pages(severity, limit)) << limit;

  // The condition holds on every page.
  EXPECT_EQ(texts({7, 2}), pages(severity, 1, "perceivedSeverity = 'critical'"));
}

TEST_F(PageReaderTest, AFollowingPageStartsAfterTheLastRecordWhateverWasAdded) {
  for (int i = 1; i <= 10; ++i) insert("nxAlm", {i, "2024-01-01 10:00:0" + std::to_string(i % 10), "major"});
  RecordOrder order;
  ASSERT_TRUE(order.add("eventTime", false));
  std::vector<std::string> ids;
  PageEnd end;
  ASSERT_TRUE(read_log_page(kLog, "", order, nullptr, 4, {ATTR_LOG_RECORD_ID},
                            [&](const RecordFields& f) { ids.push_back(f.record_id()); return true; }, end));
  EXPECT_EQ(texts({10, 1, 2, 3}), ids);
  ASSERT_TRUE(end.more);
  // One record before the position, one after it.
  insert("nxAlm", {11, "2024-01-01 09:00:00", "major"});
  insert("nxAlm", {12, "2024-01-01 10:00:03", "major"});
  ids.clear();
  const PagePosition at = end.last;
  ASSERT_TRUE(read_log_page(kLog, "", order, &at, 100, {ATTR_LOG_RECORD_ID},
                            [&](const RecordFields& f) { ids.push_back(f.record_id()); return true; }, end));
  EXPECT_EQ(texts({12, 4, 5, 6, 7, 8, 9}), ids);
  EXPECT_FALSE(end.more);
}

TEST_F(PageReaderTest, ReadsFailRatherThanGuess) {
  RecordOrder order;
  PageEnd end;
  const auto sink = [](const RecordFields&) { return true; };
  EXPECT_FALSE(read_log_page(kLog, "", order, nullptr, 0, {ATTR_LOG_RECORD_ID}, sink, end));
  PagePosition wrong;  // no values for the order's one key
  EXPECT_FALSE(read_log_page(kLog, "", order, &wrong, 5, {ATTR_LOG_RECORD_ID}, sink, end));
  EXPECT_FALSE(read_log_page(kLog, "nosuchcolumn = 1", order, nullptr, 5, {ATTR_LOG_RECORD_ID}, sink, end));
  EXPECT_FALSE(read_log_page("/systemId=name:\"alpha\"/logId=string:\"None\"", "", order, nullptr, 5,
                             {ATTR_LOG_RECORD_ID}, sink, end));
}

// The expressions the reader sorts by are those the indexes hold: the
// newest-first page, first or late, is read from the index, not sorted.
TEST_F(PageReaderTest, OrderIndexesServeTheOrderAndInitRestoresThem) {
  const std::string table = nxdb::log_table_name(*db_, "Paged", false, "nxAlm");
  RecordOrder order;
  ASSERT_TRUE(order.add("eventTime", true));
  const char* location = std::getenv("NX_ALARM_DB");
  const bool postgres = location && std::string(location).rfind("postgresql://", 0) == 0;
  const auto plan = [&]() {
    std::string text;
    NXDBSet set;
    const std::string sql = "SELECT logrecordid FROM " + table + " WHERE " + order.after_condition(2, 1, false) +
                            " ORDER BY " + order.order_by() + " LIMIT 101";
    const bool ok = postgres
        ? db_->executeQuery("EXPLAIN " + sql, [](nxdb::Statement& st) {
            return st.bind_text(1, "2024-01-01 10:00:00") && st.bind_int(2, 5);
          }, set)
        : db_->executeQuery("EXPLAIN QUERY PLAN " + sql, [](nxdb::Statement&) { return true; }, set);
    EXPECT_TRUE(ok) << db_->lastError();
    NXDBRow row;
    while (set.getNextRow(row)) {
      for (int i = 0; i < row.columnCount(); ++i) text += row.at(i).text() + " ";
    }
    return text;
  };
  if (postgres) {
    // An empty table is read by any plan; only the index's use is asked for.
    ASSERT_TRUE(db_->executeQuery("SET enable_seqscan = off"));
    ASSERT_TRUE(db_->executeQuery("SET enable_sort = off"));
  }
  EXPECT_NE(std::string::npos, plan().find(table + "_order_eventtime")) << plan();
  if (!postgres) {
    EXPECT_EQ(std::string::npos, plan().find("TEMP B-TREE")) << plan();
  }

  // A database made before the order indexes: init adds what is missing.
  ASSERT_TRUE(db_->executeQuery("DROP INDEX " + table + "_order_eventtime"));
  EXPECT_EQ(std::string::npos, plan().find(table + "_order_eventtime"));
  std::string error;
  ASSERT_TRUE(nxdb::create_schema(*db_, error)) << error;
  ASSERT_TRUE(nxdb::create_schema(*db_, error)) << error;  // and again: nothing to do
  EXPECT_NE(std::string::npos, plan().find(table + "_order_eventtime")) << plan();
}

}  // namespace
