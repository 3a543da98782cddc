#include "model/alarm_record.h"

#include <gtest/gtest.h>

#include <list>
#include <string>

namespace {

std::string printed(const AlarmRecord& record) {
  testing::internal::CaptureStdout();
  record.print_alarm_record();
  return testing::internal::GetCapturedStdout();
}

}  // namespace

// Plain texts are brought into value notation once; texts already in it are
// kept (a "name:" without quotes too, though no MIS name reads from it).
TEST(AlarmRecordTest, IdentifyingTextsInValueNotation) {
  const struct {
    const char *mis, *log, *id, *want_mis, *want_log, *want_id;
  } cases[] = {
      {"alpha", "log1", "17", "alpha", "string:\"log1\"", "number:17"},
      {"name:\"alpha\"", "string:\"log1\"", "number:17", "alpha", "string:\"log1\"", "number:17"},
      {"name:\"x\"", "number:5", "number:5", "x", "number:5", "number:5"},
      {"name:x", "L", "5", "", "string:\"L\"", "number:5"},
  };
  for (const auto& c : cases) {
    const AlarmRecord r(c.mis, c.log, c.id);
    EXPECT_TRUE(r.is_initialized()) << c.mis;
    EXPECT_EQ(r.get_mis_name(), c.want_mis) << c.mis;
    EXPECT_EQ(r.get_log_name(), c.want_log) << c.log;
    EXPECT_EQ(r.get_record_id(), c.want_id) << c.id;
  }
}

TEST(AlarmRecordTest, MisNameSkipsLeadingAndRepeatedQuotes) {
  AlarmRecord r("a", "b", "c");
  r.set_mis_name("name:\"\"beta\"\"");
  EXPECT_EQ(r.get_mis_name(), "beta");
  r.set_mis_name("\"gamma\"");  // only one token after the leading quote
  EXPECT_EQ(r.get_mis_name(), "");
  r.set_mis_name("name:\"open");
  EXPECT_EQ(r.get_mis_name(), "open");
}

TEST(AlarmRecordTest, EmptyIdentifyingTextLeavesRecordNotInitialised) {
  AlarmAttributeMap map;
  map.emplace(ATTR_PERCEIVED_SEVERITY, "major");
  for (const AlarmRecord& r : {AlarmRecord("alpha", "", "1"), AlarmRecord("", "L", "1"),
                               AlarmRecord("alpha", "L", "")}) {
    EXPECT_FALSE(r.is_initialized());
    EXPECT_EQ(r.get_mis_name(), "");
    EXPECT_EQ(r.get_log_name(), "");
    EXPECT_EQ(r.get_record_id(), "");
  }
  AlarmRecord with_map("alpha", "", "1", map);
  EXPECT_FALSE(with_map.is_initialized());
  EXPECT_EQ(with_map.get_log_name(), "");
  EXPECT_EQ(with_map.get_attribute_list().size(), 1u);  // copied all the same
  EXPECT_EQ(with_map.get_alarm_attribute("perceivedSeverity"), "");
  EXPECT_FALSE(with_map.is_alarm_attribute_set("perceivedSeverity"));

  AlarmRecord with_map_ok("alpha", "L", "1", map);
  EXPECT_TRUE(with_map_ok.is_initialized());
  EXPECT_EQ(with_map_ok.get_alarm_attribute("perceivedSeverity"), "major");
}

TEST(AlarmRecordTest, ListsBuildTheMapAndTheFirstValueWins) {
  const std::list<std::string> names{"perceivedSeverity", "logRecordId", "noSuchThing",
                                     "doc:clearTime",     "ackTime",     "displayTime",
                                     "perceivedSeverity", "additionalText", "eventTime"};
  const std::list<std::string> values{"major", "number:9", "x", "xxNULLyy", "20010203040506",
                                      "default : NULL", "minor", "a NULL here", "NULL-ish"};
  const AlarmRecord r("alpha", "log1", "17", names, values);
  ASSERT_TRUE(r.is_initialized());
  EXPECT_EQ(r.get_alarm_attribute("perceivedSeverity"), "major");
  EXPECT_EQ(r.get_alarm_attribute("clearTime"), "NULL");
  EXPECT_EQ(r.get_alarm_attribute("ackTime"), "20010203040506");
  EXPECT_EQ(r.get_alarm_attribute("displayTime"), "NULL");
  // Only state-change times collapse a NULL.
  EXPECT_EQ(r.get_alarm_attribute("additionalText"), "a NULL here");
  EXPECT_EQ(r.get_alarm_attribute("eventTime"), "NULL-ish");
  EXPECT_FALSE(r.is_alarm_attribute_set("logRecordId"));
  EXPECT_FALSE(r.is_alarm_attribute_set("ackState"));
  EXPECT_EQ(r.get_alarm_attribute("noSuchThing"), "");
  EXPECT_EQ(r.get_attribute_list().size(), 6u);
  EXPECT_EQ(r.get_record_id(), "number:17");
}

TEST(AlarmRecordTest, ManagedObjectInstanceIsStoredAsNameText) {
  const std::string printed_name =
      "distinguishedName:\n{\n\t{\n\t\t{\n\t\tattributeId systemId,attributeValue "
      "name:\"alpha\"\n\t\t}\n\t},\n\t{\n\t\t{\n\t\tattributeId "
      "logId,attributeValue string:\"AlarmLog\"\n\t\t}\n\t}\n}";
  const AlarmRecord r("alpha", "log1", "17", {"managedObjectInstance"}, {printed_name});
  EXPECT_EQ(r.get_alarm_attribute("managedObjectInstance"),
            "/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"");
}

TEST(AlarmRecordTest, ListsOfDifferentLengthsOrEmptyTextsGiveNothing) {
  const AlarmRecord uneven("alpha", "log1", "17", {"ackState", "clearState", "displayState"},
                           {"acked", "cleared"});
  EXPECT_FALSE(uneven.is_initialized());
  EXPECT_TRUE(uneven.get_attribute_list().empty());
  EXPECT_EQ(uneven.get_mis_name(), "");

  const AlarmRecord no_id("alpha", "log1", "", {"ackState"}, {"acked"});
  EXPECT_FALSE(no_id.is_initialized());
  EXPECT_TRUE(no_id.get_attribute_list().empty());
}

// A copy is always initialised; an assignment keeps the target's flag.
// Equality compares only the identifying texts.
TEST(AlarmRecordTest, CopyAssignmentAndEquality) {
  const AlarmRecord empty;
  EXPECT_TRUE(AlarmRecord(empty).is_initialized());
  const AlarmRecord source("alpha", "log1", "17", {"perceivedSeverity"}, {"major"});
  const AlarmRecord copy(source);
  EXPECT_EQ(copy.get_alarm_attribute("perceivedSeverity"), "major");

  AlarmRecord target("beta", "log2", "3");
  target = source;
  EXPECT_EQ(target.get_alarm_attribute("perceivedSeverity"), "major");
  const AlarmRecord& same = target;
  target = same;
  EXPECT_EQ(target.get_record_id(), "number:17");
  AlarmRecord not_initialised;
  not_initialised = source;
  EXPECT_FALSE(not_initialised.is_initialized());
  EXPECT_EQ(not_initialised.get_record_id(), "number:17");

  EXPECT_TRUE(copy == source && target == source && not_initialised == source);
  EXPECT_TRUE(source == AlarmRecord("alpha", "log1", "17", {"perceivedSeverity"}, {"minor"}));
  EXPECT_FALSE(source == AlarmRecord("alpha", "log1", "18"));
  EXPECT_FALSE(source == AlarmRecord("alpha", "number:1", "17"));
}

TEST(AlarmRecordTest, PrintsIdentityThenAttributes) {
  const AlarmRecord r("alpha", "log1", "17", {"perceivedSeverity"}, {"major"});
  EXPECT_EQ(printed(r),
            "misname = alpha\n"
            "logname = string:\"log1\"\n"
            "logRecordId = number:17\n"
            "perceivedSeverity = major\n");
}
