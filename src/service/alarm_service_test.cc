#include "service/alarm_service.h"

#include <gtest/gtest.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "model/alarm_record.h"
#include "query/alarm_query.h"
#include "service/mis_actions.h"
#include "service/mis_impl.h"
#include "service/operator_name.h"
#include "service/test_mis_env.h"

namespace {

const std::string kAlarmLog = "/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"";
const std::string kOtherLog = "/systemId=name:\"alpha\"/logId=string:\"Other\"";

// What the record callbacks saw, in order.
struct Seen {
  std::mutex mu;
  std::vector<std::string> events;  // kind:record id:attribute of interest
  static void created(void* self, void* arg) { static_cast<Seen*>(self)->add("created", arg); }
  static void deleted(void* self, void* arg) { static_cast<Seen*>(self)->add("deleted", arg); }
  static void changed(void* self, void* arg) { static_cast<Seen*>(self)->add("changed", arg); }
  void add(const char* kind, void* arg) {
    auto* r = static_cast<AlarmRecord*>(arg);
    std::lock_guard<std::mutex> lock(mu);
    events.push_back(std::string(kind) + ":" + r->get_log_name() + ":" + r->get_record_id() + ":" +
                     r->get_alarm_attribute("perceivedSeverity") + r->get_alarm_attribute("ackState"));
  }
  std::vector<std::string> take() {
    std::lock_guard<std::mutex> lock(mu);
    return std::move(events);
  }
};

// The perceived severities of the log's records, in reading order; nullopt
// when the read fails.
std::optional<std::vector<std::string>> severities(AlarmService& service, const std::string& log) {
  std::vector<std::string> seen;
  const AlarmQuery all;
  if (!service.stream_alarm_fields(log, all, {ATTR_PERCEIVED_SEVERITY}, [&](const RecordFields& f) {
        seen.push_back(f.text(0) != nullptr ? *f.text(0) : "<none>");
        return true;
      })) {
    return std::nullopt;
  }
  return seen;
}

Image booted(const std::string& name) {
  Image image{DataUnit(name), nxmp::EMPTY, Platform::def_platform};
  EXPECT_TRUE(image.boot(-12345.0)) << image.get_error_text();
  return image;
}

TEST(AlarmServiceTest, WithoutDatabaseRefusesEverything) {
  TestMisEnv env({});
  setenv("NX_ALARM_DB", (env.path() + ".missing").c_str(), 1);
  nxmp_mis::shutdown();
  AlarmService service;
  EXPECT_FALSE(service.is_initialized());
  EXPECT_FALSE(service.add_log(kAlarmLog));
  EXPECT_EQ(service.get_alarm_record_count(), -1);
  EXPECT_EQ(service.get_alarm_record_count(kAlarmLog), -1);
  EXPECT_EQ(severities(service, kAlarmLog), std::nullopt);
  EXPECT_FALSE(service.send_clear(kAlarmLog, {"1"}));
  EXPECT_FALSE(service.delete_alarm_records(kAlarmLog, {"1"}));
  EXPECT_EQ(service.change_state(StateChange::ack, "alpha", "AlarmLog", {"1", "2"}, {}),
            (std::vector<std::string>{"1", "2"}));
  // Registrations work in either state.
  Seen seen;
  Callback cb(&Seen::created, &seen);
  service.register_add_logrecord_callback(&cb);
}

TEST(AlarmServiceTest, LoadsAndCountsOverWatchedLogs) {
  TestMisEnv env({"AlarmLog", "Other"});
  ASSERT_TRUE(env.ok()) << env.error();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(TestMisEnv::raise("AlarmLog", "major").ok);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(TestMisEnv::raise("Other", "minor").ok);
  AlarmService service;
  ASSERT_TRUE(service.is_initialized());
  EXPECT_EQ(service.get_mis_name(), "alpha");
  EXPECT_EQ(service.get_alarm_record_count(), 0);  // nothing watched yet
  ASSERT_TRUE(service.add_log(kAlarmLog));
  ASSERT_TRUE(service.add_log(kOtherLog));
  EXPECT_EQ(service.get_alarm_record_count(), 7);
  EXPECT_EQ(service.get_alarm_record_count(kAlarmLog), 3);
  EXPECT_EQ(severities(service, kAlarmLog), std::vector<std::string>(3, "major"));
  EXPECT_EQ(severities(service, kOtherLog), std::vector<std::string>(4, "minor"));
  // A watched log listed twice is read twice; one remove_log drops one entry.
  service.add_log(kAlarmLog);
  EXPECT_EQ(service.get_alarm_record_count(), 10);
  service.remove_log(kAlarmLog);
  EXPECT_EQ(service.get_alarm_record_count(), 7);
  // A log the directory does not know fails the count.
  service.add_log("/systemId=name:\"alpha\"/logId=string:\"Missing\"");
  EXPECT_EQ(service.find_logs("alpha"), (std::list<std::string>{kAlarmLog, kOtherLog}));
}

TEST(ClearInfoTest, TextOfAnAlarmWithoutAdditionalInformation) {
  auto get = [](const std::string& m, int) -> std::string {
    if (m == "probableCause") return "localValue : 5";
    if (m == "perceivedSeverity") return "major";
    if (m == "additionalText") return "\"link down\"";
    return std::string();
  };
  EXPECT_EQ(build_clear_info({"probableCause", "specificProblems", "perceivedSeverity",
                              "additionalText", "additionalInformation"},
                             get, "ann"),
            "{ probableCause localValue : 5, perceivedSeverity cleared, additionalInformation "
            "{\t{\n\t\tidentifier \"NX-ALARM\":clearOperator,\n\t\tsignificance FALSE,\n\t\t"
            "information \"ann\"\n\t}\n}}");
}

TEST(ClearInfoTest, ExistingAdditionalInformationGainsTheExtension) {
  auto get = [](const std::string& m, int) -> std::string {
    return m == "additionalInformation" ? "{ { identifier { 1 2 }, information 'AB'H } }" : "";
  };
  const std::string text = build_clear_info({"perceivedSeverity", "additionalInformation"}, get, "u");
  EXPECT_EQ(text,
            "{ perceivedSeverity cleared, additionalInformation { { identifier { 1 2 }, information "
            "'AB'H } , \t{\n\t\tidentifier \"NX-ALARM\":clearOperator,\n\t\tsignificance FALSE,\n\t\t"
            "information \"u\"\n\t}\n}}");
  EXPECT_EQ(build_clear_info({"eventTime", "additionalText"}, get, "u"), "{}");
}

TEST(AlarmServiceTest, ClearMarksTheOpenAlarmsOfTheSameObjectAndCause) {
  TestMisEnv env({"AlarmLog"});
  ASSERT_TRUE(env.ok()) << env.error();
  const std::string node = "/systemId=name:\"alpha\"";
  ASSERT_TRUE(TestMisEnv::raise("AlarmLog", "major", node, "5").ok);
  ASSERT_TRUE(TestMisEnv::raise("AlarmLog", "minor", node, "6").ok);  // another cause
  AlarmService service;
  ASSERT_TRUE(service.is_initialized());
  EXPECT_FALSE(service.send_clear(kAlarmLog, {}));
  EXPECT_FALSE(service.send_clear(kAlarmLog, {"42"}));  // no such record
  ASSERT_TRUE(service.send_clear(kAlarmLog, {"1"}));
  Image first = booted(kAlarmLog + "/logRecordId=number:1");
  EXPECT_EQ(first.get(DataUnit("clearState"), 0).str(), "cleared");
  EXPECT_EQ(first.get(DataUnit("clearOperator"), 0).str(), operator_name());
  EXPECT_EQ(first.get(DataUnit("clearTime"), 0).size(), 14u);
  EXPECT_EQ(booted(kAlarmLog + "/logRecordId=number:2").get(DataUnit("clearState"), 0).str(),
            "unCleared");
  // The clearing notification is logged like any other.
  Image clear = booted(kAlarmLog + "/logRecordId=number:3");
  EXPECT_EQ(clear.get(DataUnit("perceivedSeverity"), 0).str(), "cleared");
  EXPECT_NE(clear.get(DataUnit("additionalInformation"), 0).str().find("clearOperator"),
            std::string::npos);
}

TEST(AlarmServiceTest, DeleteRemovesTheRecord) {
  TestMisEnv env({"AlarmLog"});
  ASSERT_TRUE(env.ok()) << env.error();
  ASSERT_TRUE(TestMisEnv::raise("AlarmLog", "major").ok);
  ASSERT_TRUE(TestMisEnv::raise("AlarmLog", "major").ok);
  AlarmService service;
  ASSERT_TRUE(service.add_log(kAlarmLog));
  EXPECT_FALSE(service.delete_alarm_records(kAlarmLog, {}));
  EXPECT_TRUE(service.delete_alarm_records(kAlarmLog, {"number:1"}));
  EXPECT_EQ(service.get_alarm_record_count(kAlarmLog), 1);
  // Gone already, and unknown: both fail, the good one in between still goes.
  EXPECT_FALSE(service.delete_alarm_records(kAlarmLog, {"number:1", "number:2", "number:7"}));
  EXPECT_EQ(service.get_alarm_record_count(kAlarmLog), 0);
  EXPECT_FALSE(MisImpl::delete_alarm("not a name"));
}

TEST(AlarmServiceEventsTest, EachKindReachesItsCallbackOnceInOrder) {
  TestMisEnv env({"AlarmLog", "Other"});
  ASSERT_TRUE(env.ok()) << env.error();
  Seen seen;
  Callback created(&Seen::created, &seen), deleted(&Seen::deleted, &seen),
      changed(&Seen::changed, &seen);
  AlarmService service;
  ASSERT_TRUE(service.is_initialized());
  service.register_add_logrecord_callback(&created);
  service.register_add_logrecord_callback(&created);  // once only
  service.register_remove_logrecord_callback(&deleted);
  service.register_change_logrecord_callback(&changed);
  ASSERT_TRUE(service.add_log(kAlarmLog));

  ASSERT_TRUE(TestMisEnv::raise("Other", "minor").ok);  // unwatched log
  ASSERT_TRUE(TestMisEnv::raise("AlarmLog", "major").ok);
  ASSERT_TRUE(service.change_state(StateChange::ack, "alpha", "AlarmLog", {"1"}, {}).empty());
  ASSERT_TRUE(service.delete_alarm_records(kAlarmLog, {"number:1"}));
  ASSERT_TRUE(TestMisEnv::drain());
  EXPECT_EQ(seen.take(), (std::vector<std::string>{
                             "created:string:\"AlarmLog\":number:1:majorunAcked",
                             "changed:string:\"AlarmLog\":number:1:acked",
                             "deleted:string:\"AlarmLog\":number:1:",
                         }));
  // Changes of other classes (this application's object) run nothing.
  ASSERT_TRUE(MisImpl::set_log_object_classes());
  service.remove_log(kAlarmLog);
  ASSERT_TRUE(TestMisEnv::raise("AlarmLog", "major").ok);
  ASSERT_TRUE(TestMisEnv::drain());
  EXPECT_TRUE(seen.take().empty());
}

TEST(AlarmServiceEventsTest, CurrentEventRefusesPointersItDidNotDeliver) {
  int not_an_event = 0;
  try {
    CurrentEvent event(&not_an_event);
    FAIL() << "accepted a bad pointer";
  } catch (const InvalidX& x) {
    EXPECT_EQ(x.number(), InvalidX::EVENT_BAD_POINTER);
  }
}

}  // namespace
