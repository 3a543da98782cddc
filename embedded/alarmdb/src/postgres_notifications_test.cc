// PostgreSQL only: a wait for notifications also ends when the caller's
// wake descriptor becomes readable, which the wait leaves for the caller to
// empty, and notifications that came meanwhile are not lost.
#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "nxdb/interface.h"
#include "nxdb_testing/scratch_database.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kChannel = "nx_wait_test";

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

class NotificationWait : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!nxdb_test::on_postgres()) GTEST_SKIP() << "PostgreSQL run only";
    ASSERT_TRUE(scratch_.ok()) << scratch_.error();
    listener_ = std::make_unique<NXDBInterface>(NXDBConnectInfo::at("alpha", scratch_.location()),
                                                nxdb::OpenMode::kCreate);
    sender_ = std::make_unique<NXDBInterface>(NXDBConnectInfo::at("alpha", scratch_.location()),
                                              nxdb::OpenMode::kCreate);
    ASSERT_TRUE(listener_->isConnected()) << listener_->lastError();
    ASSERT_TRUE(sender_->isConnected()) << sender_->lastError();
    std::string error;
    ASSERT_TRUE(listener_->backend()->listen(kChannel, error)) << error;
    ASSERT_GE(wake_, 0);
  }
  void TearDown() override {
    if (wake_ >= 0) close(wake_);
  }

  void signal() {
    const std::uint64_t one = 1;
    ASSERT_EQ(write(wake_, &one, sizeof one), static_cast<ssize_t>(sizeof one));
  }
  void notify(const std::string& payload) {
    std::string error;
    ASSERT_TRUE(sender_->backend()->exec_script(
        std::string("NOTIFY ") + kChannel + ", '" + payload + "'", error))
        << error;
  }

  nxdb_test::ScratchDatabase scratch_;
  std::unique_ptr<NXDBInterface> listener_;
  std::unique_ptr<NXDBInterface> sender_;
  int wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
};

TEST_F(NotificationWait, TheWakeDescriptorEndsTheWaitAndStaysForTheCallerToEmpty) {
  std::thread waker([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    signal();
  });
  std::vector<std::string> payloads;
  std::string error;
  const auto start = Clock::now();
  const bool woken = listener_->backend()->wait_notifications(20000, payloads, error, wake_);
  const double took = seconds_since(start);
  waker.join();
  EXPECT_TRUE(woken) << error;
  EXPECT_TRUE(payloads.empty());
  EXPECT_LT(took, 10.0) << "woken by the descriptor, not by the time-out";

  // Not emptied by the wait: the next one ends at once too.
  EXPECT_TRUE(listener_->backend()->wait_notifications(20000, payloads, error, wake_));
  std::uint64_t count = 0;
  ASSERT_EQ(read(wake_, &count, sizeof count), static_cast<ssize_t>(sizeof count));
  // Emptied, with nothing sent: the wait runs to its time-out.
  const auto idle = Clock::now();
  EXPECT_FALSE(listener_->backend()->wait_notifications(300, payloads, error, wake_));
  EXPECT_TRUE(error.empty()) << error;
  EXPECT_GE(seconds_since(idle), 0.25);
}

TEST_F(NotificationWait, NotificationsThatComeWithAWakeAreReturned) {
  notify("41");
  notify("42");
  signal();
  // The descriptor may be seen before the notifications arrive; they come
  // with one of the next waits.
  std::vector<std::string> payloads;
  std::string error;
  const auto start = Clock::now();
  while (std::find(payloads.begin(), payloads.end(), "42") == payloads.end() && seconds_since(start) < 10) {
    ASSERT_TRUE(listener_->backend()->wait_notifications(1000, payloads, error, wake_)) << error;
  }
  EXPECT_EQ(payloads, (std::vector<std::string>{"41", "42"}));
}

TEST_F(NotificationWait, WithoutADescriptorOnlyNotificationsWake) {
  signal();  // not the wait's to see
  std::vector<std::string> payloads;
  std::string error;
  const auto start = Clock::now();
  EXPECT_FALSE(listener_->backend()->wait_notifications(300, payloads, error, -1));
  EXPECT_GE(seconds_since(start), 0.25);
  notify("7");
  EXPECT_TRUE(listener_->backend()->wait_notifications(10000, payloads, error, -1)) << error;
  EXPECT_EQ(payloads, std::vector<std::string>{"7"});
}

}  // namespace
