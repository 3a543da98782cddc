// State changes through the service, on the MIS of a scratch database: the
// one way the natives write acknowledgements, clears and displays.
#include "service/state_changes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "service/alarm_service.h"
#include "service/operator_name.h"
#include "service/test_mis_env.h"

namespace {

const std::string kAlarmLog = "/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"";

Image booted(const std::string& id) {
  Image image{DataUnit(kAlarmLog + "/logRecordId=number:" + id), nxmp::EMPTY, Platform::def_platform};
  EXPECT_TRUE(image.boot(-12345.0)) << id << ": " << image.get_error_text();
  return image;
}

std::string value(const std::string& id, const char* attribute) {
  return booted(id).get(DataUnit(attribute), 0).str();
}

std::string local_time(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char text[64];
  std::snprintf(text, sizeof text, "%4d%02d%02d%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

// The precise clock, as the stamps are taken.
std::string now_text() {
  return local_time(std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()));
}

class StateChangeTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env_.ok()) << env_.error();
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(TestMisEnv::raise("AlarmLog", "major").ok);
    ASSERT_TRUE(service_.is_initialized());
  }
  TestMisEnv env_{{"AlarmLog"}};
  AlarmService service_;
};

TEST_F(StateChangeTest, AckOfSeveralChangesTheKnownAndReportsTheUnknown) {
  const std::string before = now_text();
  const std::vector<std::string> failed = service_.change_state(
      StateChange::ack, "alpha", "AlarmLog", {"1", "99", "number:3", "4"}, {"first", "lost", "third"});
  const std::string after = now_text();
  EXPECT_EQ(failed, std::vector<std::string>{"99"});

  ASSERT_FALSE(operator_name().empty());
  for (const char* id : {"1", "3", "4"}) {
    EXPECT_EQ(value(id, "ackState"), "acked") << id;
    EXPECT_EQ(value(id, "ackOperator"), operator_name()) << id;
    const std::string time = value(id, "ackTime");
    EXPECT_GE(time, before) << id;
    EXPECT_LE(time, after) << id;
    EXPECT_EQ(time, value("1", "ackTime")) << "one time for the whole call";
    EXPECT_EQ(value(id, "clearState"), "unCleared") << id;
    EXPECT_EQ(value(id, "displayState"), "unDisplayed") << id;
  }
  EXPECT_EQ(value("1", "ackText"), "first");
  EXPECT_EQ(value("3", "ackText"), "third");
  EXPECT_EQ(value("4", "ackText"), "") << "no text beyond the texts";
  EXPECT_EQ(value("2", "ackState"), "unAcked") << "a record not named is untouched";
}

TEST_F(StateChangeTest, EachChangeAndItsReverse) {
  ASSERT_TRUE(service_.change_state(StateChange::clear, "alpha", "AlarmLog", {"1"}, {"fixed"}).empty());
  ASSERT_TRUE(service_.change_state(StateChange::display, "alpha", "AlarmLog", {"1", "2"}, {}).empty());
  EXPECT_EQ(value("1", "clearState"), "cleared");
  EXPECT_EQ(value("1", "clearText"), "fixed");
  EXPECT_EQ(value("1", "clearOperator"), operator_name());
  EXPECT_EQ(value("1", "clearTime").size(), 14u);
  EXPECT_EQ(value("2", "displayState"), "displayed");
  EXPECT_EQ(value("2", "displayOperator"), operator_name());
  EXPECT_EQ(value("1", "ackState"), "unAcked");

  ASSERT_TRUE(service_.change_state(StateChange::ack, "alpha", "AlarmLog", {"1"}, {}).empty());
  // Reverses take no text: one given is not written.
  ASSERT_TRUE(service_.change_state(StateChange::unack, "alpha", "AlarmLog", {"1"}, {"x"}).empty());
  ASSERT_TRUE(service_.change_state(StateChange::unclear, "alpha", "AlarmLog", {"1"}, {}).empty());
  ASSERT_TRUE(service_.change_state(StateChange::undisplay, "alpha", "AlarmLog", {"2"}, {}).empty());
  const std::pair<const char*, const char*> reversed[] = {
      {"1", "ack"}, {"1", "clear"}, {"2", "display"}};
  for (const auto& [id, what] : reversed) {
    const std::string name(what);
    EXPECT_EQ(value(id, (name + "Operator").c_str()), "") << name;
    EXPECT_TRUE(booted(id).get(DataUnit(name + "Time"), 0).empty()) << name;
  }
  EXPECT_EQ(value("1", "ackState"), "unAcked");
  EXPECT_EQ(value("1", "ackText"), "");
  EXPECT_EQ(value("1", "clearState"), "unCleared");
  EXPECT_EQ(value("2", "displayState"), "unDisplayed");
  EXPECT_EQ(value("1", "displayState"), "displayed") << "only the named record is reversed";
}

TEST_F(StateChangeTest, RefusedValuesWriteNothing) {
  const std::string name = record_object_name("alpha", "AlarmLog", "1");
  EXPECT_FALSE(store_record_values(name, {{ATTR_ACK_OPERATOR, "\"carol\""}, {ATTR_ACK_STATE, "sortOfAcked"}}));
  EXPECT_EQ(value("1", "ackOperator"), "");
  EXPECT_EQ(value("1", "ackState"), "unAcked");
  EXPECT_FALSE(store_record_values("", {{ATTR_ACK_STATE, "acked"}}));
  // An id the client left empty names no record.
  EXPECT_EQ(service_.change_state(StateChange::ack, "alpha", "AlarmLog", {"", "2"}, {}),
            std::vector<std::string>{""});
  EXPECT_EQ(value("2", "ackState"), "acked");
}

TEST(StateChangeNames, PlainAndNotationTextsNameTheSameObject) {
  const std::string name = kAlarmLog + "/logRecordId=number:17";
  EXPECT_EQ(record_object_name("alpha", "AlarmLog", "17"), name);
  EXPECT_EQ(record_object_name("name:\"alpha\"", "string:\"AlarmLog\"", "number:17"), name);
  EXPECT_EQ(record_object_name("alpha", "number:2", "17"),
            "/systemId=name:\"alpha\"/logId=number:2/logRecordId=number:17");
  EXPECT_EQ(record_object_name("", "AlarmLog", "17"), "");
  EXPECT_EQ(record_object_name("alpha", "", "17"), "");
  EXPECT_EQ(record_object_name("alpha", "AlarmLog", ""), "");
}

TEST(StateChangeValues, OnlyTheSettingChangesTakeTheText) {
  const std::string text = "t";
  const AttributeValues ack = state_change_values(StateChange::ack, &text, "20240501134500", "ann");
  EXPECT_EQ(ack, (AttributeValues{{ATTR_ACK_STATE, "acked"},
                                  {ATTR_ACK_TEXT, "\"t\""},
                                  {ATTR_ACK_TIME, "timeInfo: \"20240501134500\""},
                                  {ATTR_ACK_OPERATOR, "\"ann\""}}));
  EXPECT_EQ(state_change_values(StateChange::display, nullptr, "20240501134500", "ann").size(), 3u);
  EXPECT_EQ(state_change_values(StateChange::unclear, &text, "20240501134500", "ann"),
            (AttributeValues{{ATTR_CLEAR_STATE, "unCleared"},
                             {ATTR_CLEAR_OPERATOR, "\"\""},
                             {ATTR_CLEAR_TIME, "default : NULL"}}));
}

// A client that reads the clock just before a change must never see a stamp
// from the second before. Right after a second begins is where a coarse
// clock still shows the old one.
TEST(StateChangeTime, NeverBeforeTheCallersClock) {
  for (int boundary = 0; boundary < 3; ++boundary) {
    timespec start{};
    clock_gettime(CLOCK_REALTIME, &start);
    timespec now = start;
    while (now.tv_sec == start.tv_sec) clock_gettime(CLOCK_REALTIME, &now);
    const std::string text = state_change_time();
    ASSERT_EQ(text.size(), 14u);
    EXPECT_GE(text, local_time(now.tv_sec));
  }
}

}  // namespace
