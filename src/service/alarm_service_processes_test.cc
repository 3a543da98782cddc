// Events across processes: changes made by one client process reach the
// watching service of another as the same notifications, none lost or
// doubled, while a third process writes at the same time. Runs on SQLite,
// and on PostgreSQL in the postgres run.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "model/alarm_record.h"
#include "nxdb_testing/private_server.h"
#include "nxdb_testing/scratch_database.h"
#include "service/alarm_service.h"
#include "service/test_mis_env.h"

namespace {

const std::string kAlarmLog = "/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"";
constexpr int kParentAlarms = 60;
constexpr int kWriterAlarms = 140;

struct Seen {
  std::mutex mu;
  std::vector<std::string> events;
  std::chrono::steady_clock::time_point first, last;
  static void created(void* self, void* arg) { static_cast<Seen*>(self)->add("created", arg); }
  static void deleted(void* self, void* arg) { static_cast<Seen*>(self)->add("deleted", arg); }
  static void changed(void* self, void* arg) { static_cast<Seen*>(self)->add("changed", arg); }
  void add(const char* kind, void* arg) {
    auto* r = static_cast<AlarmRecord*>(arg);
    std::lock_guard<std::mutex> lock(mu);
    last = std::chrono::steady_clock::now();
    if (events.empty()) first = last;
    events.push_back(std::string(kind) + " " + r->get_record_id() + " " +
                     r->get_alarm_attribute("perceivedSeverity") + " " +
                     r->get_alarm_attribute("ackState") + " " +
                     r->get_alarm_attribute("clearState"));
  }
  std::size_t size() {
    std::lock_guard<std::mutex> lock(mu);
    return events.size();
  }
};

// A watching service with the three record callbacks on the log.
struct Watcher {
  Seen seen;
  Callback created{&Seen::created, &seen}, deleted{&Seen::deleted, &seen},
      changed{&Seen::changed, &seen};
  AlarmService service;
  bool start() {
    service.register_add_logrecord_callback(&created);
    service.register_remove_logrecord_callback(&deleted);
    service.register_change_logrecord_callback(&changed);
    return service.is_initialized() && service.add_log(kAlarmLog);
  }
};

bool write_all(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string read_line(int fd) {
  std::string line;
  char c;
  while (read(fd, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

std::string read_all(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
  return text;
}

struct Pipe {
  int fd[2] = {-1, -1};
  Pipe() {
    if (pipe(fd) != 0) fd[0] = fd[1] = -1;
  }
  ~Pipe() {
    for (int f : fd) {
      if (f >= 0) close(f);
    }
  }
};

// Child: watches the log, reports readiness, then, once told how many
// events to expect, waits for them (and a little longer, to catch doubles)
// and writes them back one per line.
[[noreturn]] void run_watcher(int ready_fd, int count_fd, int out_fd) {
  Watcher w;
  if (!w.start()) {
    write_all(ready_fd, "failed\n");
    _exit(2);
  }
  write_all(ready_fd, "ready\n");
  const std::size_t expected = std::stoul("0" + read_line(count_fd));
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (w.seen.size() < expected && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  std::string text;
  {
    std::lock_guard<std::mutex> lock(w.seen.mu);
    const double seconds = std::chrono::duration<double>(w.seen.last - w.seen.first).count();
    text = "rate " + std::to_string(seconds > 0 ? (w.seen.events.size() - 1) / seconds : 0.0) + "\n";
    for (const std::string& e : w.seen.events) text += e + "\n";
  }
  write_all(out_fd, text);
  _exit(0);
}

// Child: raises alarms once told to start.
[[noreturn]] void run_writer(int go_fd) {
  read_line(go_fd);
  for (int i = 0; i < kWriterAlarms; ++i) {
    if (!TestMisEnv::raise("AlarmLog", "major").ok) _exit(3);
  }
  _exit(0);
}

TEST(AlarmServiceProcessesTest, EveryChangeReachesTheOtherProcessOnceInOrder) {
  TestMisEnv env({"AlarmLog"});
  ASSERT_TRUE(env.ok()) << env.error();
  Pipe ready, count, out, go;
  ASSERT_GE(ready.fd[0], 0);
  ASSERT_GE(go.fd[0], 0);
  // Both children are made before this process starts any thread.
  const pid_t watcher = fork();
  ASSERT_GE(watcher, 0);
  if (watcher == 0) run_watcher(ready.fd[1], count.fd[0], out.fd[1]);
  const pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) run_writer(go.fd[0]);
  close(out.fd[1]);
  out.fd[1] = -1;
  ASSERT_EQ(read_line(ready.fd[0]), "ready");

  Watcher here;
  ASSERT_TRUE(here.start());
  write_all(go.fd[1], "go\n");
  for (int i = 0; i < kParentAlarms; ++i) ASSERT_TRUE(TestMisEnv::raise("AlarmLog", "minor").ok);
  int status = 0;
  ASSERT_EQ(waitpid(writer, &status, 0), writer);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  // State changes, a clear and deletions, on records of both writers.
  for (int id = 1; id <= kParentAlarms + kWriterAlarms; id += 7) {
    HviLock hold;
    ASSERT_TRUE(
        here.service.change_state(StateChange::ack, "alpha", "AlarmLog", {std::to_string(id)}, {}).empty());
  }
  ASSERT_TRUE(here.service.send_clear(kAlarmLog, {"2"}));
  ASSERT_TRUE(here.service.delete_alarm_records(kAlarmLog, {"number:3", "number:150"}));
  ASSERT_TRUE(TestMisEnv::drain());
  // Entries of the other writer are not this process's own: wait for them.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  std::size_t seen_here = 0;
  while (std::chrono::steady_clock::now() < end) {
    seen_here = here.seen.size();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (here.seen.size() == seen_here) break;
  }
  write_all(count.fd[1], std::to_string(seen_here) + "\n");
  const std::string report = read_all(out.fd[0]);
  ASSERT_EQ(waitpid(watcher, &status, 0), watcher);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  std::vector<std::string> there;
  std::string rate;
  std::istringstream lines(report);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("rate ", 0) == 0) {
      rate = line.substr(5);
    } else {
      there.push_back(line);
    }
  }
  std::vector<std::string> mine;
  {
    std::lock_guard<std::mutex> lock(here.seen.mu);
    mine = here.seen.events;
  }
  // The same notifications, in the same order, in both processes.
  EXPECT_EQ(there, mine);
  std::set<std::string> created;
  int changed = 0, deleted = 0;
  for (const std::string& e : mine) {
    const std::string id = e.substr(e.find(' ') + 1, e.find(' ', e.find(' ') + 1) - e.find(' ') - 1);
    if (e.rfind("created ", 0) == 0) {
      EXPECT_TRUE(created.insert(id).second) << "twice: " << e;
    }
    if (e.rfind("changed ", 0) == 0) ++changed;
    if (e.rfind("deleted ", 0) == 0) ++deleted;
  }
  // Every alarm of both writers, plus the clear notification's own record.
  EXPECT_EQ(created.size(), static_cast<std::size_t>(kParentAlarms + kWriterAlarms + 1));
  // The acknowledgements, and the clear of every uncleared alarm of the
  // object (all of them).
  EXPECT_EQ(changed, (kParentAlarms + kWriterAlarms + 6) / 7 + kParentAlarms + kWriterAlarms);
  EXPECT_EQ(deleted, 2);
  std::printf("events across processes: %zu delivered, %s per second in the watching process (%s)\n",
              there.size(), rate.c_str(), std::getenv("NX_TEST_PG") ? "PostgreSQL" : "SQLite");
}

// The server goes away and comes back while a service watches: writes
// after the restart succeed, and their events arrive, each once.
TEST(AlarmServiceRestartTest, EventsContinueAfterTheServerRestarts) {
  if (!nxdb_test::on_postgres()) GTEST_SKIP() << "PostgreSQL run only";
  nxdb_test::PrivateServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  const std::string shared = std::getenv("NX_TEST_PG");
  setenv("NX_TEST_PG", server.uri().c_str(), 1);
  TestMisEnv env({"AlarmLog"});
  setenv("NX_TEST_PG", shared.c_str(), 1);
  ASSERT_TRUE(env.ok()) << env.error();
  Watcher here;
  ASSERT_TRUE(here.start());
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(TestMisEnv::raise("AlarmLog", "minor").ok);
  ASSERT_TRUE(TestMisEnv::drain());
  ASSERT_EQ(here.seen.size(), 3u);

  ASSERT_TRUE(server.restart());
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 3; ++i) {
    nxmp_mis::RaiseResult r = TestMisEnv::raise("AlarmLog", "major");
    ASSERT_TRUE(r.ok) << r.error;
  }
  ASSERT_TRUE(TestMisEnv::drain(15000));
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 15.0);
  std::lock_guard<std::mutex> lock(here.seen.mu);
  ASSERT_EQ(here.seen.events.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(here.seen.events[i].rfind("created number:" + std::to_string(i + 1) + " ", 0), 0u)
        << here.seen.events[i];
  }
}

}  // namespace
