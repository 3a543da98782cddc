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

TEST(AlarmRecordTest, PlainTextsAreBroughtIntoValueNotationOnce) {
  const AlarmRecord r("alpha", "log1", "17");
  ASSERT_TRUE(r.is_initialized());
  EXPECT_EQ(r.get_mis_name(), "alpha");
  EXPECT_EQ(r.get_log_name(), "string:\"log1\"");
  EXPECT_EQ(r.get_record_id(), "number:17");

  const AlarmRecord again("name:\"alpha\"", r.get_log_name(), r.get_record_id());
  EXPECT_EQ(again, r);
  EXPECT_EQ(again.get_log_name(), "string:\"log1\"");
}

TEST(AlarmRecordTest, TextsAlreadyInNotationAreKept) {
  const AlarmRecord numeric("name:\"x\"", "number:5", "number:5");
  EXPECT_EQ(numeric.get_mis_name(), "x");
  EXPECT_EQ(numeric.get_log_name(), "number:5");
  EXPECT_EQ(numeric.get_record_id(), "number:5");

  // Contains "name:" but no quotes: kept, and no MIS name can be read from it.
  const AlarmRecord unquoted("name:x", "L", "5");
  EXPECT_TRUE(unquoted.is_initialized());
  EXPECT_EQ(unquoted.get_mis_name(), "");
  EXPECT_EQ(unquoted.get_record_id(), "number:5");
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
                                     "perceivedSeverity", "additionalText"};
  const std::list<std::string> values{"major", "number:9", "x", "xxNULLyy", "20010203040506",
                                      "default : NULL", "minor", "it's down"};
  const AlarmRecord r("alpha", "log1", "17", names, values);
  ASSERT_TRUE(r.is_initialized());
  EXPECT_EQ(r.get_alarm_attribute("perceivedSeverity"), "major");
  EXPECT_EQ(r.get_alarm_attribute("clearTime"), "NULL");
  EXPECT_EQ(r.get_alarm_attribute("ackTime"), "20010203040506");
  EXPECT_EQ(r.get_alarm_attribute("displayTime"), "NULL");
  EXPECT_EQ(r.get_alarm_attribute("additionalText"), "it's down");
  EXPECT_FALSE(r.is_alarm_attribute_set("logRecordId"));
  EXPECT_FALSE(r.is_alarm_attribute_set("eventTime"));
  EXPECT_EQ(r.get_alarm_attribute("noSuchThing"), "");
  EXPECT_EQ(r.get_attribute_list().size(), 5u);
  EXPECT_EQ(r.get_record_id(), "number:17");
}

TEST(AlarmRecordTest, OnlyStateChangeTimesCollapseNull) {
  const AlarmRecord r("alpha", "log1", "17", {"eventTime", "additionalText"},
                      {"NULL-ish", "a NULL here"});
  EXPECT_EQ(r.get_alarm_attribute("eventTime"), "NULL-ish");
  EXPECT_EQ(r.get_alarm_attribute("additionalText"), "a NULL here");
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

TEST(AlarmRecordTest, CopyIsAlwaysInitialised) {
  const AlarmRecord empty;
  const AlarmRecord copy_of_empty(empty);
  EXPECT_TRUE(copy_of_empty.is_initialized());
  EXPECT_EQ(copy_of_empty.get_log_name(), "");

  const AlarmRecord source("alpha", "log1", "17", {"perceivedSeverity"}, {"major"});
  const AlarmRecord copy(source);
  EXPECT_EQ(copy, source);
  EXPECT_EQ(copy.get_alarm_attribute("perceivedSeverity"), "major");
}

TEST(AlarmRecordTest, AssignmentKeepsOwnFlag) {
  AlarmRecord target("beta", "log2", "3");
  const AlarmRecord source("alpha", "log1", "17", {"perceivedSeverity"}, {"major"});
  target = source;
  EXPECT_EQ(target, source);
  EXPECT_EQ(target.get_alarm_attribute("perceivedSeverity"), "major");

  AlarmRecord not_initialised;
  not_initialised = source;
  EXPECT_FALSE(not_initialised.is_initialized());
  EXPECT_EQ(not_initialised.get_record_id(), "number:17");

  const AlarmRecord& same = target;
  target = same;
  EXPECT_EQ(target.get_record_id(), "number:17");
}

TEST(AlarmRecordTest, EqualityComparesOnlyTheIdentifyingTexts) {
  const AlarmRecord a("alpha", "log1", "17", {"perceivedSeverity"}, {"major"});
  const AlarmRecord b("alpha", "log1", "17", {"perceivedSeverity"}, {"minor"});
  const AlarmRecord c("alpha", "log1", "18");
  const AlarmRecord d("alpha", "number:1", "17");
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a == c);
  EXPECT_FALSE(a == d);
}

TEST(AlarmRecordTest, PrintsIdentityThenAttributes) {
  const AlarmRecord r("alpha", "log1", "17", {"perceivedSeverity"}, {"major"});
  EXPECT_EQ(printed(r),
            "misname = alpha\n"
            "logname = string:\"log1\"\n"
            "logRecordId = number:17\n"
            "perceivedSeverity = major\n");
}
