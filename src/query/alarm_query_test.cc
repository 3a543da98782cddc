#include "query/alarm_query.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

std::unique_ptr<AlarmFilter> make_filter(LogicalOpCriteria op) {
  auto f = std::make_unique<AlarmFilter>();
  f->set_logical_op(op);
  return f;
}

std::string filter_sql(const AlarmFilter& f) {
  std::string sql;
  EXPECT_TRUE(f.create_sql_all(sql));
  return sql;
}

std::string query_sql(const AlarmQuery& q) {
  std::string sql;
  EXPECT_TRUE(q.create_sql_filter(sql));
  return sql;
}

const char kOpen[] = "( ( ackState = 'unAcked' ) AND ( clearState = 'unCleared' ) )";

}  // namespace

TEST(AlarmQueryTest, WorkedExample) {
  AlarmQuery q;
  q.set_logical_op(LOG_OR);
  auto a = make_filter(LOG_AND);
  a->add_filter_criteria("perceivedSeverity", EQUAL, {"critical"});
  a->add_filter_criteria("eventTime", GREATER_THAN_OR_EQUAL, {"20010203040506"});
  auto b = make_filter(NO_LOG);
  b->add_filter_criteria("open", EQUAL, {"x"});
  EXPECT_EQ(filter_sql(*a),
            "( perceivedSeverity = 'critical' ) AND "
            "( eventTime >= DATETIME (2001-02-03 04:05:06) YEAR to SECOND )");
  EXPECT_EQ(filter_sql(*b), kOpen);
  q.add_filter(a.release());
  q.add_filter(std::move(b));

  std::string sql = "";
  ASSERT_TRUE(q.create_sql_filter(sql));
  EXPECT_EQ(sql,
            "( ( perceivedSeverity = 'critical' ) AND ( eventTime >= DATETIME "
            "(2001-02-03 04:05:06) YEAR to SECOND ) ) OR ( ( ( ackState = 'unAcked' ) AND "
            "( clearState = 'unCleared' ) ) )");
}

TEST(AlarmQueryTest, EmptyQueryAndSingleCriterionAddNoParentheses) {
  AlarmQuery empty;
  EXPECT_EQ(query_sql(empty), "");

  AlarmQuery q;
  auto f = make_filter(LOG_AND);
  f->add_filter_criteria("perceivedSeverity", EQUAL, {"major"});
  q.add_filter(std::move(f));
  EXPECT_EQ(query_sql(q), "perceivedSeverity = 'major'");
}

TEST(AlarmQueryTest, FilterJoinsWithAndUnlessOr) {
  for (auto op : {NO_LOG, LOG_AND, static_cast<LogicalOpCriteria>(7)}) {
    AlarmFilter f;
    f.set_logical_op(op);
    f.add_filter_criteria("perceivedSeverity", EQUAL, {"a", "b"});
    f.add_filter_criteria("ackState", EQUAL, {"c"});
    EXPECT_EQ(filter_sql(f),
              "( ( perceivedSeverity = 'a' ) OR ( perceivedSeverity = 'b' ) ) AND "
              "( ackState = 'c' )");
  }
  AlarmFilter f;
  f.set_logical_op(LOG_OR);
  f.add_filter_criteria("ackState", EQUAL, {"acked"});
  f.add_filter_criteria("clearState", NOT_EQUAL, {"cleared"});
  EXPECT_EQ(filter_sql(f), "( ackState = 'acked' ) OR ( clearState <> 'cleared' )");
}

TEST(AlarmQueryTest, ShortcutWithoutValueIsNotWrappedInAFilter) {
  AlarmFilter f;
  f.set_logical_op(LOG_AND);
  f.add_filter_criteria("open", EQUAL, {});
  f.add_filter_criteria("open", EQUAL, {"v"});
  EXPECT_EQ(filter_sql(f), std::string(kOpen) + " AND ( " + kOpen + " )");
}

TEST(AlarmQueryTest, QueryWithoutOperatorJoinsFiltersWithAnd) {
  AlarmQuery q;  // operator NO_LOG
  for (const char* sev : {"critical", "major"}) {
    auto f = make_filter(LOG_AND);
    f->add_filter_criteria("perceivedSeverity", EQUAL, {sev});
    q.add_filter(std::move(f));
  }
  EXPECT_EQ(query_sql(q), "( perceivedSeverity = 'critical' ) AND ( perceivedSeverity = 'major' )");
  q.set_logical_op(LOG_AND);
  EXPECT_EQ(query_sql(q), "( perceivedSeverity = 'critical' ) AND ( perceivedSeverity = 'major' )");
  q.set_logical_op(LOG_OR);
  EXPECT_EQ(query_sql(q), "( perceivedSeverity = 'critical' ) OR ( perceivedSeverity = 'major' )");
}

// Empty parts are left out with their separators: an empty part restricts
// nothing, and the order of AND or OR operands selects the same rows.
TEST(AlarmQueryTest, EmptyFiltersAnywhereAreLeftOutWithTheirSeparators) {
  AlarmQuery q;
  q.set_logical_op(LOG_OR);
  q.add_filter(make_filter(LOG_AND));  // no criteria
  auto f = make_filter(LOG_AND);
  f->add_filter_criteria("ackState", EQUAL, {"acked"});
  q.add_filter(std::move(f));
  EXPECT_EQ(query_sql(q), "( ackState = 'acked' )");

  q.add_filter(make_filter(LOG_AND));
  auto g = make_filter(LOG_AND);
  g->add_filter_criteria("clearState", EQUAL, {"cleared"});
  q.add_filter(std::move(g));
  q.add_filter(make_filter(LOG_AND));
  EXPECT_EQ(query_sql(q), "( ackState = 'acked' ) OR ( clearState = 'cleared' )");

  AlarmQuery all_empty;
  all_empty.add_filter(make_filter(LOG_AND));
  all_empty.add_filter(make_filter(LOG_OR));
  EXPECT_EQ(query_sql(all_empty), "");
}

TEST(AlarmQueryTest, EmptyCriteriaAreLeftOutWithTheirSeparators) {
  AlarmFilter f;
  f.set_logical_op(LOG_AND);
  f.add_filter_criteria("perceivedSeverity", NO_REL, {});
  f.add_filter_criteria("ackState", EQUAL, {"acked"});
  f.add_filter_criteria("managedObjectInstance", EQUAL, {"nothing"});  // value dropped
  f.add_filter_criteria("clearState", EQUAL, {"cleared"});
  f.add_filter_criteria("perceivedSeverity", EQUAL, {});
  EXPECT_EQ(filter_sql(f), "( ackState = 'acked' ) AND ( clearState = 'cleared' )");
}

TEST(AlarmQueryTest, InvalidCriterionFailsTheWholeCondition) {
  AlarmQuery q;
  q.set_logical_op(LOG_OR);
  auto good = make_filter(LOG_AND);
  good->add_filter_criteria("ackState", EQUAL, {"acked"});
  q.add_filter(std::move(good));
  auto bad = make_filter(LOG_OR);
  bad->add_filter_criteria("clearState", EQUAL, {"cleared"});
  bad->add_filter_criteria("eventTime", GREATER_THAN, {"yesterday"});
  q.add_filter(std::move(bad));

  std::string sql = "kept";
  EXPECT_FALSE(q.create_sql_filter(sql));
  EXPECT_EQ(sql, "kept");  // nothing of the good filter either

  AlarmFilter f;
  f.add_filter_criteria("ackState", EQUAL, {"acked"});
  f.add_filter_criteria("noSuchAttribute", EQUAL, {"x"});
  std::string fs;
  EXPECT_FALSE(f.create_sql_all(fs));
  EXPECT_EQ(fs, "");

  AlarmQuery single;
  auto only = make_filter(LOG_AND);
  only->add_filter_criteria("eventType", LESS_THAN, {"x"});
  single.add_filter(std::move(only));
  std::string ss;
  EXPECT_FALSE(single.create_sql_filter(ss));
  EXPECT_EQ(ss, "");
}

TEST(AlarmQueryTest, CriteriaLookupDeletionAndCount) {
  AlarmFilter f;
  EXPECT_EQ(f.get_filter_criteria("ackState"), nullptr);
  f.add_filter_criteria("ackState", EQUAL, {"first"});
  f.add_filter_criteria("clearState", EQUAL, {"x"});
  f.add_filter_criteria("ackState", EQUAL, {"second"});
  const FilterCriteria* c = f.get_filter_criteria("ackState");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->get_attrib_values().front(), "first");
  EXPECT_EQ(f.get_filter_criteria("ackstate"), nullptr);

  f.delete_filter_criteria("noSuch");
  EXPECT_EQ(f.get_number_of_criterias(), 3);
  f.delete_filter_criteria("ackState");
  EXPECT_EQ(f.get_number_of_criterias(), 2);
  EXPECT_EQ(f.get_filter_criteria("ackState")->get_attrib_values().front(), "second");
  EXPECT_EQ(f.get_criterias().front().get_attrib_name(), "clearState");
  f.destroy_all_filter_criterias();
  EXPECT_EQ(f.get_number_of_criterias(), 0);

  for (int i = 0; i < 256; ++i) f.add_filter_criteria("ackState", EQUAL, {});
  EXPECT_EQ(f.get_number_of_criterias(), 0);  // an 8-bit count wraps
  EXPECT_EQ(f.get_criterias().size(), 256u);

  AlarmQuery q;
  q.add_filter(static_cast<AlarmFilter*>(nullptr));
  q.add_filter(make_filter(LOG_AND));
  EXPECT_EQ(q.get_number_of_filters(), 1);
  q.destroy_all_filter_criterias();
  EXPECT_EQ(q.get_number_of_filters(), 0);
}

TEST(AlarmQueryTest, SizesAndPrinting) {
  AlarmQuery q;
  q.set_logical_op(LOG_OR);
  auto a = make_filter(LOG_AND);
  a->add_filter_criteria("ackState", EQUAL, {"acked"});        // 8 + 7
  a->add_filter_criteria("perceivedSeverity", NOT_EQUAL, {"a", "bb"});  // 17 + 3 + 4
  auto b = make_filter(NO_LOG);
  b->add_filter_criteria("open", EQUAL, {});                    // 4
  EXPECT_EQ(a->current_size(), (3 + 15) + (3 + 24));
  EXPECT_EQ(b->current_size(), 6 + 4);
  const int a_size = a->current_size();
  const int b_size = b->current_size();
  q.add_filter(std::move(a));
  q.add_filter(std::move(b));
  EXPECT_EQ(q.current_size(), (2 + a_size) + (2 + b_size));

  testing::internal::CaptureStdout();
  q.print();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "ackState EQUAL acked\n"
            "AND\n"
            "perceivedSeverity NOT_EQUAL a, bb\n"
            "OR\n"
            "\n");
}
