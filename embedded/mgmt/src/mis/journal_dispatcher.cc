// The dispatcher: reads the journal in order on its own connection, hands
// each entry to delivery, records how far it got and prunes what every
// reader has seen; and stopping it, at a shutdown or at the process's exit.
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "mis/mis.h"
#include "mis/mis_constants.h"
#include "mis/sql_helpers.h"

namespace nxmp_mis {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(50);
constexpr int kJournalBatch = 512;
// Even when woken by notifications, a reader looks at the journal this often
// (a writer that could not notify, a notification lost with a connection).
constexpr auto kJournalRecheck = std::chrono::seconds(5);
// Every reader records how far it got this often; entries that every live
// reader has seen are then removed. A reader not heard of for kReaderAlive
// no longer holds entries back, and the journal never keeps more than
// kJournalKeep entries.
constexpr auto kReaderHeartbeat = std::chrono::seconds(10);
constexpr long long kReaderAliveSeconds = 600;
constexpr long long kJournalKeep = 100000;

}  // namespace

void Mis::stop() {
  {
    std::lock_guard<std::mutex> lock(queue_mu_);
    stopping_ = true;
  }
  queue_cv_.notify_all();
  if (dispatcher_.joinable()) {
    // A handler that ends the process runs on the dispatcher itself.
    if (dispatcher_.get_id() == std::this_thread::get_id()) {
      dispatcher_.detach();
    } else {
      dispatcher_.join();
      // Gone readers hold no journal entries back.
      std::string ignored;
      if (!read_only_) {
        exec(*reader_->backend(), "DELETE FROM nxmis_reader WHERE name = ?1", {reader_name_}, ignored);
      }
    }
  }
}

void Mis::stop_at_exit() {
  std::unique_lock<std::mutex> lock(queue_mu_);
  stopping_ = true;
  queue_cv_.notify_all();
  if (!dispatcher_.joinable()) return;
  if (dispatcher_.get_id() == std::this_thread::get_id()) {
    dispatcher_.detach();
    return;
  }
  const bool done = queue_cv_.wait_for(lock, kExitWait, [&] { return dispatcher_done_; });
  lock.unlock();
  // Never joined: the thread may still have the VM's detach or its own end
  // to go through, and either may wait on the exiting VM.
  dispatcher_.detach();
  if (!done || read_only_) return;
  // The reader connection is free again. Gone readers hold no journal
  // entries back; the exit does not wait for a lock to say so.
  std::string ignored;
  reader_->backend()->set_lock_wait(0);
  exec(*reader_->backend(), "DELETE FROM nxmis_reader WHERE name = ?1", {reader_name_}, ignored);
}

std::size_t Mis::pending() const {
  std::lock_guard<std::mutex> lock(queue_mu_);
  return local_seq_ > delivered_seq_ ? static_cast<std::size_t>(local_seq_ - delivered_seq_) : 0;
}

bool Mis::record_progress(long long seq, std::string& error) {
  return exec(*reader_->backend(),
              "INSERT INTO nxmis_reader (name, seq, seen) VALUES (?1, ?2, ?3) "
              "ON CONFLICT (name) DO UPDATE SET seq = excluded.seq, seen = excluded.seen",
              {reader_name_, std::to_string(seq), std::to_string(static_cast<long long>(std::time(nullptr)))},
              error);
}

void Mis::prune_journal() {
  nxdb::Backend& db = *reader_->backend();
  std::string error;
  const std::string alive =
      std::to_string(static_cast<long long>(std::time(nullptr)) - kReaderAliveSeconds);
  // Seen by every live reader, or beyond the bound; readers long gone are
  // forgotten.
  exec(db,
       "DELETE FROM nxmis_event WHERE seq <= (SELECT MIN(seq) FROM nxmis_reader WHERE seen >= ?1) "
       "OR seq <= (SELECT MAX(seq) FROM nxmis_event) - ?2",
       {alive, std::to_string(kJournalKeep)}, error);
  exec(db, "DELETE FROM nxmis_reader WHERE seen < ?1", {alive}, error);
}

bool Mis::wait_for_journal(long long& version, std::chrono::steady_clock::time_point& recheck) {
  nxdb::Backend& db = *reader_->backend();
  {
    std::unique_lock<std::mutex> lock(queue_mu_);
    if (stopping_) return false;
    // This process's own entries: read at once.
    if (local_seq_ > delivered_seq_) return true;
    if (db.dialect() == nxdb::Dialect::kSqlite) {
      queue_cv_.wait_for(lock, kPollInterval, [&] { return stopping_ || local_seq_ > delivered_seq_; });
      if (stopping_) return false;
      if (local_seq_ > delivered_seq_) return true;
    }
  }
  const auto now = std::chrono::steady_clock::now();
  if (now >= recheck) {
    recheck = now + kJournalRecheck;
    return true;
  }
  if (db.dialect() == nxdb::Dialect::kSqlite) {
    // Another connection committed: the only case worth a query.
    long long v = db.data_version();
    if (v == version && v >= 0) return false;
    version = v;
    return true;
  }
  std::vector<std::string> payloads;
  std::string error;
  if (!db.wait_notifications(static_cast<int>(kPollInterval.count()), payloads, error)) {
    // No server: wait before trying again rather than spin.
    if (!error.empty()) std::this_thread::sleep_for(kPollInterval);
    return false;
  }
  if (payloads.empty()) return true;  // reconnected: look for what was missed
  std::lock_guard<std::mutex> lock(queue_mu_);
  for (const std::string& p : payloads) {
    if (std::atoll(p.c_str()) > delivered_seq_) return true;
  }
  return false;
}

void Mis::run_dispatcher() {
  // Set however the loop ends, for an exit that waits a bounded time.
  struct Done {
    Mis* mis;
    ~Done() {
      std::lock_guard<std::mutex> lock(mis->queue_mu_);
      mis->dispatcher_done_ = true;
      mis->queue_cv_.notify_all();
    }
  } done{this};
  std::string error;
  long long version = -1;
  auto recheck = std::chrono::steady_clock::now() + kJournalRecheck;
  auto heartbeat = std::chrono::steady_clock::now() + kReaderHeartbeat;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(queue_mu_);
      if (stopping_) return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= heartbeat && !read_only_) {
      long long seen;
      {
        std::lock_guard<std::mutex> lock(queue_mu_);
        seen = delivered_seq_;
      }
      heartbeat = now + kReaderHeartbeat;
      record_progress(seen, error);
      prune_journal();
    }
    if (!wait_for_journal(version, recheck)) continue;
    long long after;
    {
      std::lock_guard<std::mutex> lock(queue_mu_);
      if (stopping_) return;
      after = delivered_seq_;
    }
    auto st = reader_->backend()->prepare(
        "SELECT seq, kind, objname, objclass, info FROM nxmis_event WHERE seq > ?1 ORDER BY seq "
        "LIMIT " + std::to_string(kJournalBatch),
        error);
    if (!st) {
      std::this_thread::sleep_for(kPollInterval);
      continue;
    }
    st->bind_int(1, after);
    std::vector<std::pair<long long, std::shared_ptr<Event>>> batch;
    while (st->step() == nxdb::StepResult::kRow) {
      auto e = std::make_shared<Event>();
      e->magic = kLiveMagic;
      e->kind = std::string(st->cell_text(1));
      e->objname = std::string(st->cell_text(2));
      e->objclass = std::string(st->cell_text(3));
      std::string_view ber = st->cell_blob(4);
      if (!ber.empty()) e->info = Asn1Value::decode(ber.data(), ber.size());
      batch.emplace_back(st->cell_int(0), std::move(e));
    }
    st.reset();
    for (auto& [seq, event] : batch) {
      deliver(*event);
      std::lock_guard<std::mutex> lock(queue_mu_);
      if (stopping_) return;
      delivered_seq_ = seq;
    }
    if (!batch.empty()) {
      queue_cv_.notify_all();
      // A full batch: more may follow at once.
      if (batch.size() == static_cast<std::size_t>(kJournalBatch)) recheck = {};
    }
  }
}

}  // namespace nxmp_mis
