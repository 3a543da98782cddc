// The dispatcher reads the journal in blocks: a long run arrives in order,
// each entry once, in runs of at most a block; a reader whose entries were
// removed before it read them is told so once, then goes on with what is
// left; and the process's own changes wake its dispatcher, which is idle
// once they are delivered.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mis/mis.h"
#include "nxdb/interface.h"
#include "nxdb/schema.h"
#include "nxdb_testing/scratch_database.h"
#include "nxmp/mis.h"

namespace {

constexpr std::size_t kBlock = 4000;

// What a slow reader sees: record numbers of OBJECT_CREATED, -1 for
// EVENTS_LOST, 0 for the end of a run. Its first creation blocks until
// released.
struct SlowReader {
  std::mutex mu;
  std::condition_variable cv;
  std::vector<long> seen;
  bool blocked = false;
  bool released = false;

  static void on_event(void* self, void* arg) { static_cast<SlowReader*>(self)->take(*static_cast<nxmp_mis::Event*>(arg)); }

  void take(const nxmp_mis::Event& e) {
    std::unique_lock<std::mutex> lock(mu);
    if (e.kind == "EVENTS_LOST") {
      seen.push_back(-1);
    } else if (e.kind == "EVENT_RUN_END") {
      seen.push_back(0);
    } else {
      seen.push_back(std::atol(e.objname.substr(e.objname.rfind("number:") + 7).c_str()));
      if (!blocked) {
        blocked = true;
        cv.notify_all();
        cv.wait_for(lock, std::chrono::seconds(300), [&] { return released; });
      }
    }
    cv.notify_all();
  }
  bool wait_blocked() {
    std::unique_lock<std::mutex> lock(mu);
    return cv.wait_for(lock, std::chrono::seconds(30), [&] { return blocked; });
  }
  void release() {
    std::lock_guard<std::mutex> lock(mu);
    released = true;
    cv.notify_all();
  }
  // Waits until record `last` was delivered and its run ended.
  bool wait_for(long last) {
    std::unique_lock<std::mutex> lock(mu);
    return cv.wait_for(lock, std::chrono::seconds(60), [&] {
      for (std::size_t i = 0; i + 1 < seen.size(); ++i) {
        if (seen[i] == last && seen.back() == 0) return true;
      }
      return false;
    });
  }
};

class JournalBlocks : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.ok()) << scratch_.error();
    db_ = std::make_unique<NXDBInterface>(NXDBConnectInfo::at("alpha", scratch_.location()), nxdb::OpenMode::kCreate);
    std::string error;
    ASSERT_TRUE(db_->isConnected() && nxdb::create_schema(*db_, error)) << error;
    ASSERT_TRUE(nxdb::create_log(*db_, "L1", false, error)) << error;
    nxmp_mis::shutdown();
    setenv("NX_ALARM_DB", scratch_.location().c_str(), 1);
    setenv("NX_MIS_NAME", "alpha", 1);
  }
  void TearDown() override {
    if (reader_) reader_->stop();
    nxmp_mis::shutdown();
    unsetenv("NX_JOURNAL_KEEP");
  }

  // A second connection of this process, apart from the one that raises;
  // listened to at once unless told otherwise.
  void connect_reader(bool listening = true) {
    std::string error;
    reader_ = nxmp_mis::Mis::connect(error);
    ASSERT_TRUE(reader_) << error;
    if (listening) listen(*reader_);
  }
  void listen(nxmp_mis::Mis& mis) {
    for (const char* kind : {"OBJECT_CREATED", "EVENTS_LOST", "EVENT_RUN_END"}) {
      mis.subscribe(kind, Callback(&SlowReader::on_event, &slow_));
    }
  }

  // Raises n alarms; their record numbers, in order.
  std::vector<long> raise(std::size_t n) {
    nxmp_mis::AlarmNotification a;
    a.log_id = "L1";
    a.event_type = "communicationsAlarm";
    a.severity = "major";
    a.moi = "/systemId=name:\"alpha\"";
    a.moc = "link";
    a.probable_cause = "5";
    std::vector<long> ids;
    for (std::size_t i = 0; i < n; ++i) {
      const nxmp_mis::RaiseResult r = nxmp_mis::raise_alarm(a);
      EXPECT_TRUE(r.ok && r.record_ids.size() == 1) << r.error;
      if (!r.ok || r.record_ids.empty()) break;
      ids.push_back(r.record_ids[0]);
    }
    return ids;
  }

  long long count(const std::string& sql) {
    std::string error;
    auto st = db_->backend()->prepare(sql, error);
    return st && st->step() == nxdb::StepResult::kRow ? st->cell_int(0) : -1;
  }

  std::string seen_text() {
    std::lock_guard<std::mutex> lock(slow_.mu);
    std::string out;
    for (long v : slow_.seen) out += std::to_string(v) + " ";
    return out + "(journal " + std::to_string(count("SELECT COUNT(*) FROM nxmis_event")) + ", mark " +
           std::to_string(count("SELECT pruned FROM nxmis_journal")) + ")";
  }

  nxdb_test::ScratchDatabase scratch_;
  std::unique_ptr<NXDBInterface> db_;
  std::shared_ptr<nxmp_mis::Mis> reader_;
  SlowReader slow_;
};

TEST_F(JournalBlocks, ALongRunArrivesInOrderOnceInRunsOfABlock) {
  ASSERT_NO_FATAL_FAILURE(connect_reader());
  std::vector<long> written = raise(1);
  ASSERT_TRUE(slow_.wait_blocked());
  // Written while the reader waits: read afterwards in full blocks.
  const std::vector<long> more = raise(kBlock + 100);
  written.insert(written.end(), more.begin(), more.end());
  ASSERT_EQ(written.size(), kBlock + 101);
  slow_.release();
  ASSERT_TRUE(slow_.wait_for(written.back()));

  std::lock_guard<std::mutex> lock(slow_.mu);
  std::vector<long> delivered;
  std::size_t run = 0, longest = 0;
  for (long v : slow_.seen) {
    ASSERT_NE(v, -1) << "nothing was removed, nothing is lost";
    if (v == 0) {
      longest = std::max(longest, run);
      run = 0;
    } else {
      delivered.push_back(v);
      ++run;
    }
  }
  EXPECT_EQ(delivered, written) << "every entry once, in journal order";
  EXPECT_EQ(longest, kBlock) << "entries waiting are delivered a full block at a time";
}

TEST_F(JournalBlocks, EntriesRemovedUnreadAreReportedOnceThenDeliveryGoesOn) {
  setenv("NX_JOURNAL_KEEP", "20", 1);
  ASSERT_NO_FATAL_FAILURE(connect_reader());
  std::vector<long> written = raise(1);
  ASSERT_TRUE(slow_.wait_blocked());
  const std::vector<long> more = raise(300);
  ASSERT_EQ(more.size(), 300u);
  // The raising connection's own reader removes all but the newest 20.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (count("SELECT COUNT(*) FROM nxmis_event") > 40 && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_LE(count("SELECT COUNT(*) FROM nxmis_event"), 40);
  slow_.release();
  ASSERT_TRUE(slow_.wait_for(more.back())) << seen_text();

  std::lock_guard<std::mutex> lock(slow_.mu);
  std::vector<long> after_loss;
  int losses = 0;
  for (long v : slow_.seen) {
    if (v == -1) {
      ++losses;
      after_loss.clear();
    } else if (v > 0) {
      after_loss.push_back(v);
    }
  }
  EXPECT_EQ(losses, 1) << "one notice for the whole gap";
  ASSERT_FALSE(after_loss.empty());
  // What follows the notice is the newest entries, in order, each once.
  const std::vector<long> tail(more.end() - static_cast<long>(after_loss.size()), more.end());
  EXPECT_EQ(after_loss, tail);
  EXPECT_LT(after_loss.size(), more.size());
}

// A reader with no listener passes entries over unread; one that starts
// listening then gets every entry after that, in order, and at most a tail
// of those before (never one out of the middle).
TEST_F(JournalBlocks, AListenerThatComesLateGetsEverythingAfterItWithNoGap) {
  slow_.release();
  ASSERT_NO_FATAL_FAILURE(connect_reader(false));
  std::vector<long> written = raise(300);
  ASSERT_EQ(written.size(), 300u);
  // Time for the reader to pass them over.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  listen(*reader_);
  const std::vector<long> after = raise(300);
  ASSERT_EQ(after.size(), 300u);
  written.insert(written.end(), after.begin(), after.end());
  ASSERT_TRUE(slow_.wait_for(after.back())) << seen_text();

  std::lock_guard<std::mutex> lock(slow_.mu);
  std::vector<long> delivered;
  for (long v : slow_.seen) {
    if (v > 0) delivered.push_back(v);
  }
  ASSERT_GE(delivered.size(), after.size());
  const std::vector<long> tail(written.end() - static_cast<long>(delivered.size()), written.end());
  EXPECT_EQ(delivered, tail) << "a tail of the journal, in order, each once";
}

double cpu_seconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

TEST_F(JournalBlocks, OwnChangesArriveAtOnceAndTheDispatcherIsIdleAfterwards) {
  slow_.release();  // this reader never holds a run back
  std::string error;
  const std::shared_ptr<nxmp_mis::Mis> own = nxmp_mis::current_mis(error);
  ASSERT_TRUE(own) << error;
  listen(*own);
  // Each change waits for the one before: well within the dispatcher's
  // recheck of the journal (5 s), which would hide a lost wake.
  for (int i = 0; i < 10; ++i) {
    const std::vector<long> one = raise(1);
    ASSERT_EQ(one.size(), 1u);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(slow_.wait_for(one[0])) << seen_text();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << "change " << i;
  }
  // Nothing more to read: a wake that stayed pending would have the
  // dispatcher query the journal over and over.
  const double before = cpu_seconds();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  EXPECT_LT(cpu_seconds() - before, 0.2) << "CPU seconds of the process while nothing happened";
  own->unsubscribe(&slow_);
}

}  // namespace
