#include "model/alarm_attribute.h"

#include <gtest/gtest.h>

#include <unordered_set>

TEST(AlarmAttributeTest, NamesAndIdsRoundTripForEveryAttributeButTheRecordId) {
  for (int n = 1; n <= 40; ++n) {
    const auto id = static_cast<AlarmAttributeId>(n);
    const std::string name = AlarmAttribute::get_attribute_name(id);
    ASSERT_FALSE(name.empty()) << n;
    EXPECT_EQ(AlarmAttribute::get_attribute_id(name), n == 24 ? ATTR_NONE : id) << name;
  }
  // No name outside 1..40.
  for (int n : {static_cast<int>(ATTR_NONE), static_cast<int>(ATTR_LOG_NAME), -1, 42}) {
    EXPECT_EQ(AlarmAttribute::get_attribute_name(static_cast<AlarmAttributeId>(n)), "") << n;
  }
}

TEST(AlarmAttributeTest, TableOrderIsFixed) {
  // The Java binding and other callers rely on these numbers.
  EXPECT_EQ(AlarmAttribute::get_attribute_name(ATTR_BACK_UP_OBJECT), "backUpObject");
  EXPECT_EQ(AlarmAttribute::get_attribute_name(static_cast<AlarmAttributeId>(10)), "backedUpStatus");
  EXPECT_EQ(AlarmAttribute::get_attribute_name(static_cast<AlarmAttributeId>(23)), "loggingTime");
  EXPECT_EQ(AlarmAttribute::get_attribute_name(static_cast<AlarmAttributeId>(24)), "logRecordId");
  EXPECT_EQ(AlarmAttribute::get_attribute_name(static_cast<AlarmAttributeId>(26)),
            "managedObjectInstance");
  EXPECT_EQ(AlarmAttribute::get_attribute_name(static_cast<AlarmAttributeId>(40)), "trendIndication");
  EXPECT_EQ(AlarmAttribute::get_attribute_id("perceivedSeverity"), 32);
}

TEST(AlarmAttributeTest, NameLookupIsCaseSensitiveOccurrence) {
  EXPECT_EQ(AlarmAttribute::get_attribute_id(""), ATTR_NONE);
  EXPECT_EQ(AlarmAttribute::get_attribute_id("AckState"), ATTR_NONE);
  EXPECT_EQ(AlarmAttribute::get_attribute_id("logRecordId"), ATTR_NONE);
  EXPECT_EQ(AlarmAttribute::get_attribute_id("\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":clearTime"),
            ATTR_CLEAR_TIME);
  EXPECT_EQ(AlarmAttribute::get_attribute_id("doc:ackState"), ATTR_ACK_STATE);
}

TEST(AlarmAttributeTest, EqualityAndHashingGoByTheId) {
  EXPECT_EQ(AlarmAttribute(std::string("noSuchAttribute")), AlarmAttribute(ATTR_NONE));
  const AlarmAttribute b(std::string("clearState"));
  EXPECT_NE(AlarmAttribute(ATTR_ACK_STATE), b);
  EXPECT_EQ(b.get_attribute_nameid(), ATTR_CLEAR_STATE);
  EXPECT_EQ(std::hash<AlarmAttribute>()(b), static_cast<std::size_t>(ATTR_CLEAR_STATE));

  std::unordered_set<AlarmAttribute> set;
  set.insert(AlarmAttribute(ATTR_ACK_STATE));
  set.insert(AlarmAttribute(std::string("ackState")));
  set.insert(AlarmAttribute(ATTR_ACK_TIME));
  EXPECT_EQ(set.size(), 2u);
}
