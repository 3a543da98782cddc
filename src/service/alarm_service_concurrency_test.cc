// The registries under change from a native thread while the platform
// thread delivers events to the same service.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "service/alarm_service.h"
#include "service/test_mis_env.h"

namespace {

const std::string kAlarmLog = "/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"";

std::atomic<int> g_created{0};
void count_created(void*, void*) { ++g_created; }
void nothing(void*, void*) {}

TEST(AlarmServiceConcurrencyTest, RegistriesChangeWhileEventsAreDelivered) {
  TestMisEnv env({"AlarmLog"});
  ASSERT_TRUE(env.ok()) << env.error();
  Callback created(&count_created, nullptr);
  std::vector<std::unique_ptr<Callback>> extra;
  for (int i = 0; i < 50; ++i) extra.push_back(std::make_unique<Callback>(&nothing, nullptr));
  AlarmService service;
  ASSERT_TRUE(service.is_initialized());
  service.register_add_logrecord_callback(&created);
  ASSERT_TRUE(service.add_log(kAlarmLog));
  g_created = 0;

  std::atomic<bool> done{false};
  std::thread natives([&] {
    // add_log is called without the lock by the natives; the rest with it.
    int i = 0;
    while (!done) {
      service.add_log("/systemId=name:\"alpha\"/logId=string:\"L" + std::to_string(i % 7) + "\"");
      service.remove_log("/systemId=name:\"alpha\"/logId=string:\"L" + std::to_string((i + 3) % 7) + "\"");
      HviLock hold;
      service.register_change_logrecord_callback(extra[i % extra.size()].get());
      (void)service.get_interested_logs();
      ++i;
    }
  });
  const int kAlarms = 40;
  for (int i = 0; i < kAlarms; ++i) ASSERT_TRUE(TestMisEnv::raise("AlarmLog", "minor").ok);
  for (int i = 1; i <= kAlarms; i += 4) {
    HviLock hold;
    ASSERT_TRUE(service.change_state(StateChange::ack, "alpha", "AlarmLog", {std::to_string(i)}, {}).empty());
  }
  ASSERT_TRUE(TestMisEnv::drain());
  done = true;
  natives.join();
  EXPECT_EQ(g_created.load(), kAlarms);
}

}  // namespace
