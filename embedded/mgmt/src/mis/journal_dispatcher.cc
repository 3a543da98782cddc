// The dispatcher: reads the journal in blocks on its own connection, hands
// each block to delivery in order, records how far it got and prunes what
// every reader has seen; and stopping it, at a shutdown or at the process's
// exit.
#include <algorithm>
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
// Entries read and delivered at once: one query and one turn at the
// process-wide lock for the whole block. A client that calls natives back
// to back leaves the delivery about one turn per call; blocks of 1 000 then
// fell behind a storm (a block per whole-log read, some 14 000 entries a
// second). A block of 4 000 holds the lock some 30 ms.
constexpr int kJournalBlock = 4000;
// Even when woken by notifications, a reader looks at the journal this often
// (a writer that could not notify, a notification lost with a connection).
constexpr auto kJournalRecheck = std::chrono::seconds(5);
// Every reader records how far it got this often, and each time it has read
// half the journal's bound; entries that every live reader has seen are then
// removed. A reader not heard of for kReaderAlive no longer holds entries
// back, and the journal never keeps more than NX_JOURNAL_KEEP entries.
constexpr auto kReaderHeartbeat = std::chrono::seconds(10);
constexpr long long kReaderAliveSeconds = 600;
constexpr long long kJournalKeepDefault = 100000;

long long journal_keep() {
  const char* text = std::getenv("NX_JOURNAL_KEEP");
  if (text == nullptr || *text == '\0') return kJournalKeepDefault;
  char* end = nullptr;
  const long long n = std::strtoll(text, &end, 10);
  return *end == '\0' && n > 0 ? n : kJournalKeepDefault;
}

}  // namespace

void Mis::stop() {
  {
    std::lock_guard<std::mutex> lock(queue_mu_);
    stopping_ = true;
  }
  queue_cv_.notify_all();
  journal_wake_.signal();
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
  journal_wake_.signal();
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

void Mis::prune_journal(long long keep) {
  nxdb::Backend& db = *reader_->backend();
  std::string error;
  const std::string alive =
      std::to_string(static_cast<long long>(std::time(nullptr)) - kReaderAliveSeconds);
  // Seen by every live reader, or beyond the bound. The mark moves in the
  // same transaction as the removal, so that a reader that sees the entries
  // gone also sees that they were removed.
  if (!db.exec_script("BEGIN", error)) return;
  const bool done =
      exec(db,
           "UPDATE nxmis_journal SET pruned = (SELECT MAX(b) FROM ("
           "SELECT MIN(seq) AS b FROM nxmis_reader WHERE seen >= ?1 "
           "UNION ALL SELECT MAX(seq) - ?2 AS b FROM nxmis_event) AS bounds) "
           "WHERE pruned < (SELECT MAX(b) FROM ("
           "SELECT MIN(seq) AS b FROM nxmis_reader WHERE seen >= ?1 "
           "UNION ALL SELECT MAX(seq) - ?2 AS b FROM nxmis_event) AS bounds)",
           {alive, std::to_string(keep)}, error) &&
      exec(db, "DELETE FROM nxmis_event WHERE seq <= (SELECT pruned FROM nxmis_journal)", {}, error) &&
      // Readers long gone are forgotten.
      exec(db, "DELETE FROM nxmis_reader WHERE seen < ?1", {alive}, error);
  if (!done || !db.exec_script("COMMIT", error)) db.exec_script("ROLLBACK", error);
}

bool Mis::wait_for_journal(long long& version, std::chrono::steady_clock::time_point& recheck) {
  nxdb::Backend& db = *reader_->backend();
  const bool sqlite = db.dialect() == nxdb::Dialect::kSqlite;
  // Emptied before looking: a commit after the look leaves it readable for
  // the wait below.
  if (!sqlite) journal_wake_.drain();
  {
    std::unique_lock<std::mutex> lock(queue_mu_);
    if (stopping_) return false;
    // This process's own entries: read at once.
    if (local_seq_ > delivered_seq_) return true;
    // After a full block, the next is read at once too: a pause per block
    // held another process's entries to a block every poll interval.
    if (sqlite && std::chrono::steady_clock::now() < recheck) {
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
  if (sqlite) {
    // Another connection committed: the only case worth a query.
    long long v = db.data_version();
    if (v == version && v >= 0) return false;
    version = v;
    return true;
  }
  std::vector<std::string> payloads;
  std::string error;
  if (!db.wait_notifications(static_cast<int>(kPollInterval.count()), payloads, error, journal_wake_.fd())) {
    // No server: wait before trying again rather than spin.
    if (!error.empty()) std::this_thread::sleep_for(kPollInterval);
    return false;
  }
  // Woken by this process, or reconnected: look for what was missed; what
  // was removed meanwhile is told by the journal's mark.
  if (payloads.empty()) return true;
  std::lock_guard<std::mutex> lock(queue_mu_);
  for (const std::string& p : payloads) {
    if (std::atoll(p.c_str()) > delivered_seq_) return true;
  }
  return false;
}

bool Mis::read_block(long long after, bool marked, std::unique_ptr<nxdb::Statement>& query, JournalBlock& out,
                     std::string& error) {
  out.events.clear();
  out.pruned = 0;
  if (!query) {
    // The mark and the entries in one statement: one snapshot of both. The
    // mark is a row of its own (seq NULL) and the entries a range of the
    // journal's key: a join of the two costs the server a scan and sort of
    // the whole journal on every block.
    const std::string entries = "SELECT 0, seq, kind, objname, objclass, info FROM nxmis_event WHERE seq > ?1 "
                                "ORDER BY seq LIMIT " + std::to_string(kJournalBlock);
    query = reader_->backend()->prepare(
        marked ? "SELECT pruned, NULL AS seq, NULL AS kind, NULL AS objname, NULL AS objclass, NULL AS info "
                 "FROM nxmis_journal WHERE id = 1 UNION ALL SELECT * FROM (" + entries + ") AS e"
               : entries,
        error);
    if (!query) return false;
  }
  nxdb::Statement& st = *query;
  st.bind_int(1, after);
  nxdb::StepResult step;
  while ((step = st.step()) == nxdb::StepResult::kRow) {
    if (st.cell_type(1) == nxdb::CellType::kNull) {
      out.pruned = std::max(out.pruned, st.cell_int(0));
      continue;
    }
    auto e = std::make_shared<Event>();
    e->magic = kLiveMagic;
    e->kind = std::string(st.cell_text(2));
    e->objname = std::string(st.cell_text(3));
    e->objclass = std::string(st.cell_text(4));
    std::string_view ber = st.cell_blob(5);
    if (!ber.empty()) e->info = Asn1Value::decode(ber.data(), ber.size());
    out.events.emplace_back(st.cell_int(1), std::move(e));
  }
  if (step == nxdb::StepResult::kError) {
    error = st.error();
    query.reset();  // prepared afresh next time
    return false;
  }
  // Kept for the next block, holding nothing of the database meanwhile.
  st.reset();
  // The order of a union's branches is the engine's choice; entries come
  // in journal order either way.
  if (!std::is_sorted(out.events.begin(), out.events.end(),
                      [](const auto& a, const auto& b) { return a.first < b.first; })) {
    std::stable_sort(out.events.begin(), out.events.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
  }
  return true;
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
  const long long keep = journal_keep();
  // A database written before the mark existed, opened read-only, has none:
  // its removals cannot be seen.
  const bool marked = reader_->backend()->table_exists("nxmis_journal");
  bool first = true;
  long long pruned_at = 0;
  {
    std::lock_guard<std::mutex> lock(queue_mu_);
    pruned_at = delivered_seq_;
  }
  JournalBlock block;
  std::unique_ptr<nxdb::Statement> block_query;  // prepared once, run for every block
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(queue_mu_);
      if (stopping_) return;
    }
    const auto now = std::chrono::steady_clock::now();
    long long seen;
    {
      std::lock_guard<std::mutex> lock(queue_mu_);
      seen = delivered_seq_;
    }
    if (!read_only_ && (now >= heartbeat || seen - pruned_at >= std::max(1LL, keep / 2))) {
      heartbeat = now + kReaderHeartbeat;
      pruned_at = seen;
      record_progress(seen, error);
      prune_journal(keep);
    }
    if (!wait_for_journal(version, recheck)) continue;
    long long after;
    {
      std::lock_guard<std::mutex> lock(queue_mu_);
      if (stopping_) return;
      after = delivered_seq_;
    }
    // Nobody listens (a process that only writes): the entries are passed
    // over unread. The end of the journal is taken before looking, so that
    // a listener who comes after the look is owed only what follows it.
    long long end = 0;
    if (!has_subscribers() && query_long(*reader_->backend(), "SELECT MAX(seq) FROM nxmis_event", {}, end, error) &&
        !has_subscribers()) {
      std::lock_guard<std::mutex> lock(queue_mu_);
      if (stopping_) return;
      delivered_seq_ = std::max(delivered_seq_, end);
      first = false;
      continue;
    }
    if (!read_block(after, marked, block_query, block, error)) {
      std::this_thread::sleep_for(kPollInterval);
      continue;
    }
    // Entries after the last delivered one were removed unread. What was
    // removed before this process first looked was never its to deliver.
    const bool lost = block.pruned > after && !first;
    first = false;
    if (!block.events.empty() || lost) {
      if (!deliver_block(block.events, lost)) return;
    }
    long long last = std::max(after, block.pruned);
    if (!block.events.empty()) last = std::max(last, block.events.back().first);
    {
      std::lock_guard<std::mutex> lock(queue_mu_);
      if (stopping_) return;
      delivered_seq_ = last;
    }
    if (!block.events.empty()) {
      queue_cv_.notify_all();
      // A full block: more may follow at once.
      if (block.events.size() == static_cast<std::size_t>(kJournalBlock)) recheck = {};
    }
  }
}

}  // namespace nxmp_mis
