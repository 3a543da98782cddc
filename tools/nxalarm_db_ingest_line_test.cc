// Input lines of nxalarm-db ingest: what becomes an alarm, and every way a
// line is refused.
#include "tools/nxalarm_db_ingest_line.h"

#include <gtest/gtest.h>

namespace {

const std::string kRest = R"("type":"equipmentAlarm","severity":"major","moi":"/systemId=name:\"a\"","moc":"card")";

std::string line(const std::string& fields) { return "{" + fields + "," + kRest + "}"; }

TEST(IngestLine, FieldsBecomeTheAlarm) {
  nxmp_mis::AlarmNotification n;
  std::string error;
  ASSERT_TRUE(parse_alarm_line(line(R"("log":42,"cause":51,"text":"fan \"2\"","eventTime":"2024-05-01T13:45:09")"), n,
                               error))
      << error;
  EXPECT_EQ(n.log_id, "42");
  EXPECT_TRUE(n.log_is_number);
  EXPECT_EQ(n.event_type, "equipmentAlarm");
  EXPECT_EQ(n.severity, "major");
  EXPECT_EQ(n.moi, "/systemId=name:\"a\"");
  EXPECT_EQ(n.moc, "card");
  EXPECT_EQ(n.probable_cause, "51");
  EXPECT_EQ(n.additional_text, "fan \"2\"");
  EXPECT_EQ(n.event_time, "20240501134509");

  ASSERT_TRUE(parse_alarm_line(line(R"("log":"7","cause":"{ 2 9 3 2 0 0 }","eventTime":"20240501134509")"), n, error))
      << error;
  EXPECT_EQ(n.log_id, "7");
  EXPECT_FALSE(n.log_is_number);
  EXPECT_EQ(n.probable_cause, "{ 2 9 3 2 0 0 }");
  EXPECT_EQ(n.additional_text, "");
  EXPECT_EQ(n.event_time, "20240501134509");
}

TEST(IngestLine, RefusesWhatIsNotAnAlarmLine) {
  const struct {
    std::string text;
    std::string why;
  } cases[] = {
      {"{\"log\":\"L\"", "not valid JSON"},
      {"[1,2]", "not a JSON object"},
      {"{" + kRest + ",\"cause\":1}", "missing field \"log\""},
      {line(R"("log":"L")"), "missing field \"cause\""},
      {line(R"("log":-1,"cause":1)"), "field \"log\" is neither"},
      {line(R"("log":1.5,"cause":1)"), "field \"log\" is neither"},
      {line(R"("log":"","cause":1)"), "field \"log\" is not a log id"},
      {line(R"("log":"L","cause":-3)"), "field \"cause\" is neither"},
      {line(R"("log":"L","cause":18446744073709551616)"), "more than 64 bits"},
      {line(R"("log":"L","cause":1.0)"), "field \"cause\" is neither"},
      {line(R"("log":"L","cause":1,"text":"\ud83d")"), "not valid JSON"},
      {line(R"("log":"L","cause":1,"text":null)"), "field \"text\" is not a text"},
      {line(R"("log":"L","cause":1,"text":5)"), "field \"text\" is not a text"},
      {line(R"("log":"L","cause":1,"text":"a\u0000b")"), "NUL"},
      {line(R"("log":"L","cause":1,"eventTime":"2024-05-01")"), "field \"eventTime\""},
      {line(R"("log":"L","cause":1,"eventTime":20240501134509)"), "field \"eventTime\" is not a text"},
      {line(R"("log":"L","cause":1,"Severity":"minor")"), "unknown field \"Severity\""},
      {R"({"log":"L","cause":1,"type":"equipmentAlarm","severity":"major","moi":"","moc":"card"})",
       "field \"moi\" is empty"},
  };
  for (const auto& c : cases) {
    nxmp_mis::AlarmNotification n;
    n.log_id = "untouched";
    std::string error;
    EXPECT_FALSE(parse_alarm_line(c.text, n, error)) << c.text;
    EXPECT_NE(error.find(c.why), std::string::npos) << c.text << " gave: " << error;
    EXPECT_EQ(n.log_id, "untouched") << c.text;
  }
}

}  // namespace
