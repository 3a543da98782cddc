#include "query/filter_criteria.h"

#include <gtest/gtest.h>

#include <string>


namespace {

// The fragment of one criterion, or "<invalid>" when it is refused.
std::string sql_of(const std::string& name, RelationOpCriteria rel,
                   const std::list<std::string>& values) {
  std::string sql = "prefix:";
  if (!FilterCriteria(name, rel, values).create_sql_filter(sql)) {
    EXPECT_EQ(sql, "prefix:") << "a refused criterion must append nothing";
    return "<invalid>";
  }
  EXPECT_EQ(sql.compare(0, 7, "prefix:"), 0) << "text before the fragment must stay";
  return sql.substr(7);
}

}  // namespace

// Accepted criteria: their column, operator, OR of several values, LIKE
// patterns and times.
TEST(FilterCriteriaTest, AcceptedCriteriaAndTheirFragments) {
  const struct {
    const char* name;
    RelationOpCriteria rel;
    std::list<std::string> values;
    std::string sql;
  } cases[] = {
      {"perceivedSeverity", EQUAL, {"critical"}, "perceivedSeverity = 'critical'"},
      {"perceivedSeverity", NOT_EQUAL, {"major"}, "perceivedSeverity <> 'major'"},
      {"notificationId", GREATER_THAN, {"5"}, "notificationId > '5'"},
      {"notificationId", LESS_THAN, {"5"}, "notificationId < '5'"},
      {"notificationId", LESS_THAN_OR_EQUAL, {"5"}, "notificationId <= '5'"},
      {"probableCause", EQUAL, {"x"}, "probableCause_s = 'x'"},
      {"moid", EQUAL, {"12"}, "moi_id = '12'"},
      // Several values are always joined by OR.
      {"perceivedSeverity", EQUAL, {"critical", "major"},
       "( ( perceivedSeverity = 'critical' ) OR ( perceivedSeverity = 'major' ) )"},
      {"moid", NOT_EQUAL, {"1", "2", "3"}, "( ( moi_id <> '1' ) OR ( moi_id <> '2' ) OR ( moi_id <> '3' ) )"},
      // Patterns: '*' is '%', a literal '%' stays a wildcard, '_' is escaped.
      {"managedObjectClass", EQUAL, {"router*"}, "MOC_s LIKE '%router%' ESCAPE '\\'"},
      {"eventType", NOT_EQUAL, {"%link_down"}, "eventName NOT LIKE '%link\\_down' ESCAPE '\\'"},
      {"eventType", EQUAL, {""}, "eventName LIKE '%' ESCAPE '\\'"},
      {"eventType", EQUAL, {"*a*b"}, "eventName LIKE '%a%b' ESCAPE '\\'"},
      {"eventTime", GREATER_THAN_OR_EQUAL, {"20010203040506"},
       "eventTime >= DATETIME (2001-02-03 04:05:06) YEAR to SECOND"},
      {"clearTime", LESS_THAN, {"19991231235959"}, "clearTime < DATETIME (1999-12-31 23:59:59) YEAR to SECOND"},
      {"loggingTime", EQUAL, {"20010203040506", "20020203040506"},
       "( ( loggingTime = DATETIME (2001-02-03 04:05:06) YEAR to SECOND ) OR "
       "( loggingTime = DATETIME (2002-02-03 04:05:06) YEAR to SECOND ) )"},
  };
  for (const auto& c : cases) EXPECT_EQ(sql_of(c.name, c.rel, c.values), c.sql) << c.name;
}

TEST(FilterCriteriaTest, QuotesInValuesAreDoubled) {
  EXPECT_EQ(sql_of("additionalText", EQUAL, {"it's"}), "additionalText = 'it''s'");
  // An attempt to close the literal and add a condition stays inside it.
  EXPECT_EQ(sql_of("ackOperator", EQUAL, {"x' OR '1'='1"}),
            "ackOperator = 'x'' OR ''1''=''1'");
  EXPECT_EQ(sql_of("eventType", EQUAL, {"o'k*"}), "eventName LIKE '%o''k%' ESCAPE '\\'");
  EXPECT_EQ(sql_of("managedObjectInstance", EQUAL, {"a='b'*"}),
            "MOI_s LIKE 'a=''b''%' ESCAPE '\\' ");
}

TEST(FilterCriteriaTest, StateShortcutsIgnoreTheirValues) {
  const std::string open = "( ( ackState = 'unAcked' ) AND ( clearState = 'unCleared' ) )";
  EXPECT_EQ(sql_of("open", EQUAL, {}), open);
  EXPECT_EQ(sql_of("open", EQUAL, {"a", "b", "c"}), open);
  EXPECT_EQ(sql_of("acked", EQUAL, {}), "( ( ackState = 'acked' ) AND ( clearState = 'unCleared' ) )");
  EXPECT_EQ(sql_of("cleared", NOT_EQUAL, {}),
            "( ( ackState <> 'unAcked' ) OR ( clearState <> 'cleared' ) )");
  EXPECT_EQ(sql_of("acked_and_cleared", NOT_EQUAL, {"x"}),
            "( ( ackState <> 'acked' ) OR ( clearState <> 'cleared' ) )");
  EXPECT_EQ(sql_of("acked_and_cleared", EQUAL, {}),
            "( ( ackState = 'acked' ) AND ( clearState = 'cleared' ) )");
  // Ordered comparisons of a state make no sense: no column, so refused.
  EXPECT_EQ(sql_of("open", GREATER_THAN, {"x"}), "<invalid>");
}

TEST(FilterCriteriaTest, PatternAttributesRefuseOrderedRelations) {
  for (auto rel : {GREATER_THAN, GREATER_THAN_OR_EQUAL, LESS_THAN, LESS_THAN_OR_EQUAL}) {
    EXPECT_EQ(sql_of("managedObjectClass", rel, {"x"}), "<invalid>");
    EXPECT_EQ(sql_of("eventType", rel, {}), "<invalid>");
  }
}

TEST(FilterCriteriaTest, ManagedObjectInstanceDropsValuesItCannotMatch) {
  EXPECT_EQ(sql_of("managedObjectInstance", EQUAL, {"a=b/c=d*"}),
            "MOI_s LIKE 'a=b/c=d%' ESCAPE '\\' ");
  EXPECT_EQ(sql_of("managedObjectInstance", NOT_EQUAL, {"a=b*"}),
            "MOI_s NOT LIKE 'a=b%' ESCAPE '\\' ");
  // Every relation but EQUAL means NOT LIKE here.
  EXPECT_EQ(sql_of("managedObjectInstance", GREATER_THAN, {"a=b"}),
            "MOI_s NOT LIKE 'a=b' ESCAPE '\\' ");
  EXPECT_EQ(sql_of("managedObjectInstance", EQUAL, {"x=a_b"}),
            "MOI_s LIKE 'x=a\\_b' ESCAPE '\\' ");
  EXPECT_EQ(sql_of("managedObjectInstance", EQUAL, {"abc"}), "");   // no name text
  EXPECT_EQ(sql_of("managedObjectInstance", EQUAL, {"a*b"}), "");   // wildcard inside
  EXPECT_EQ(sql_of("managedObjectInstance", EQUAL, {"a=%b"}), "");  // literal % inside
  EXPECT_EQ(sql_of("managedObjectInstance", EQUAL, {"x*"}), "MOI_s LIKE 'x%' ESCAPE '\\' ");
  // One value left: no outer parentheses.
  EXPECT_EQ(sql_of("managedObjectInstance", EQUAL, {"a=b", "xyz"}),
            "MOI_s LIKE 'a=b' ESCAPE '\\' ");
  EXPECT_EQ(sql_of("managedObjectInstance", EQUAL, {"a=b", "xyz", "c=d"}),
            "( ( MOI_s LIKE 'a=b' ESCAPE '\\'  ) OR ( MOI_s LIKE 'c=d' ESCAPE '\\'  ) )");
}

TEST(FilterCriteriaTest, ManagedObjectInstanceLengthLimit) {
  const std::string longest = "a=" + std::string(252, 'b');
  ASSERT_EQ(longest.size(), 254u);
  EXPECT_EQ(sql_of("managedObjectInstance", EQUAL, {longest}),
            "MOI_s LIKE '" + longest + "' ESCAPE '\\' ");
  EXPECT_EQ(sql_of("managedObjectInstance", EQUAL, {longest + "b"}), "");
}

TEST(FilterCriteriaTest, TimesThatAreNotFourteenDigitsAreRefused) {
  // A time goes into the text unquoted, so anything but digits is refused.
  for (const char* bad : {"2001020304050", "200102030405067", "", "2001020304050x",
                          "2001) OR (1=1"}) {
    EXPECT_EQ(sql_of("ackTime", EQUAL, {bad}), "<invalid>") << bad;
  }
  // One bad value refuses the whole criterion, not just that value.
  EXPECT_EQ(sql_of("displayTime", EQUAL, {"20010203040506", "bad"}), "<invalid>");
}

TEST(FilterCriteriaTest, UnknownAttributeIsRefused) {
  EXPECT_EQ(sql_of("noSuchAttribute", EQUAL, {"x"}), "<invalid>");
  EXPECT_EQ(sql_of("noSuchAttribute", EQUAL, {}), "<invalid>");
  EXPECT_EQ(sql_of("PerceivedSeverity", EQUAL, {"major"}), "<invalid>");
}

TEST(FilterCriteriaTest, NoValuesGivesNoTextButAnUnknownRelationIsRefused) {
  EXPECT_EQ(sql_of("open", NO_REL, {}), "");
  EXPECT_EQ(sql_of("perceivedSeverity", EQUAL, {}), "");
  // Values under a relation that is none of the six would otherwise drop
  // out of the condition and select more than asked.
  EXPECT_EQ(sql_of("perceivedSeverity", NO_REL, {"major"}), "<invalid>");
  EXPECT_EQ(sql_of("perceivedSeverity", static_cast<RelationOpCriteria>(7), {"major"}), "<invalid>");
  EXPECT_EQ(sql_of("perceivedSeverity", static_cast<RelationOpCriteria>(-4), {"major"}), "<invalid>");
}

TEST(FilterCriteriaTest, SizeAndPrint) {
  const FilterCriteria c("perceivedSeverity", EQUAL, {"critical", "major"});
  EXPECT_EQ(c.current_size(), 17 + (8 + 2) + (5 + 2));
  const FilterCriteria empty;
  EXPECT_EQ(empty.current_size(), 0);

  testing::internal::CaptureStdout();
  c.print();
  FilterCriteria("eventTime", LESS_THAN_OR_EQUAL, {"20010203040506"}).print();
  FilterCriteria("x", static_cast<RelationOpCriteria>(9), {"v"}).print();
  empty.print();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "perceivedSeverity EQUAL critical, major\n"
            "eventTime LESS_THAN_OR_EQUAL 20010203040506\n"
            "x  v\n"
            "\n");
}
