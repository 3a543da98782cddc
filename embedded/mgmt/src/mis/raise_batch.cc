// Many alarms in one unit of work: one transaction, one commit, their
// journal entries in the order given; in parts, each its own unit, when
// another connection waits for the database meanwhile.
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "mis/batch_rows.h"
#include "mis/mis.h"
#include "nxmp/asn1_type.h"

namespace nxmp_mis {
namespace {

// Identities remembered per MIS connection; past this they are forgotten
// and looked up again.
constexpr std::size_t kKnownIdentities = 100000;
// Records kept back at most before they are written.
constexpr std::size_t kKeptRows = 1000;
// Alarms logged between looks for a connection that waits for the database,
// and at least before a part is committed for it. A look is a lock-file
// test on SQLite and a round trip on PostgreSQL (which also waits for the
// statements sent ahead): fewer looks there.
constexpr std::size_t kWaitersLookedForEvery = 50;
constexpr std::size_t kWaitersLookedForEveryOnServer = 250;
constexpr std::size_t kPartAtLeast = 250;
// How long a part's commit leaves the database to a waiting connection.
constexpr auto kGiveWayAtMost = std::chrono::milliseconds(5);

}  // namespace

bool Mis::log_alarms(const std::vector<PendingAlarm*>& alarms, std::string& error) {
  if (alarms.empty()) return true;
  // One batch at a time: the batch's identities and ids are the MIS's.
  static std::mutex batches;
  std::lock_guard<std::mutex> one_batch(batches);
  // Logs known to be there (or not): the same through all parts.
  std::map<std::string, bool> known_logs;
  std::size_t next = 0;
  while (next < alarms.size()) {
    const std::size_t from = next;
    if (!log_part(alarms, next, known_logs, error)) {
      // What the parts before committed stays.
      for (std::size_t i = from; i < alarms.size(); ++i) {
        alarms[i]->ok = false;
        alarms[i]->error = error;
        alarms[i]->record_ids.clear();
      }
      return false;
    }
    if (next < alarms.size()) give_way();
  }
  return true;
}

bool Mis::log_part(const std::vector<PendingAlarm*>& alarms, std::size_t& next,
                   std::map<std::string, bool>& known_logs, std::string& error) {
  if (!begin_unit(error)) return false;
  std::string failure;  // a failure of the database: it ends the unit
  // New identities are made in the unit itself (on their own connection
  // they would wait for it), and remembered only once it has committed.
  std::map<std::string, long> made;
  std::map<std::string, std::pair<long long, long long>> ids;
  PendingRows records, history;
  {
    std::lock_guard<std::mutex> lock(write_mu_);
    batch_ids_ = &ids;
    batch_identities_ = &made;
    batch_records_ = &records;
    batch_history_ = &history;
  }
  const std::size_t first = next;
  const std::size_t look_every = db_->backend()->dialect() == nxdb::Dialect::kSqlite
                                     ? kWaitersLookedForEvery
                                     : kWaitersLookedForEveryOnServer;
  for (; next < alarms.size(); ++next) {
    // Another connection waits for the database: what is logged so far is
    // committed, so that it waits for a part and not for the whole batch.
    if (next - first >= kPartAtLeast && (next - first) % look_every == 0 &&
        db_->backend()->writers_waiting()) {
      break;
    }
    PendingAlarm* a = alarms[next];
    a->ok = false;
    a->record_ids.clear();
    if (a->log) {
      // An unknown log fails this alarm alone, before it writes anything.
      const std::string key = format_object_name(log_of(*a->log));
      auto known = known_logs.find(key);
      if (known == known_logs.end()) {
        std::lock_guard<std::mutex> lock(write_mu_);
        std::string table, why;
        const bool here = a->log->system == system_ &&
                          locate(*a->log, nxdb::alarm_record_types()[0], table, why);
        known = known_logs.emplace(key, here).first;
      }
      if (!known->second) {
        a->error = "no such log: " + key;
        continue;
      }
    }
    a->error.clear();
    a->ok = log_notification(a->event_type, a->info, a->moi, a->moc, a->log ? &*a->log : nullptr,
                             a->record_ids, a->error, a->event_time, &a->known);
    if (!a->ok) {
      std::lock_guard<std::mutex> lock(write_mu_);
      if (unit_failed_) {
        failure = a->error;
        break;
      }
    }
    if (records.size() >= kKeptRows) {
      std::lock_guard<std::mutex> lock(write_mu_);
      if (!flush_batch_rows(failure)) break;
    }
  }
  {
    std::lock_guard<std::mutex> lock(write_mu_);
    if (failure.empty() && !flush_batch_rows(failure) && failure.empty()) {
      failure = "the batch's records could not be written";
    }
    batch_ids_ = nullptr;
    batch_identities_ = nullptr;
    batch_records_ = nullptr;
    batch_history_ = nullptr;
  }
  if (!failure.empty()) {
    std::string ignored;
    end_unit(false, ignored);
    error = failure;
    next = first;
    return false;
  }
  if (!end_unit(true, error)) {
    next = first;
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(write_mu_);
    for (const auto& [log, last] : ids) {
      if (last.first >= 0) committed_ids_[log] = last;
    }
  }
  std::lock_guard<std::mutex> lock(identity_mu_);
  for (const auto& [moi, id] : made) {
    if (known_identities_.size() >= kKnownIdentities) known_identities_.clear();
    known_identities_[moi] = id;
  }
  return true;
}

void Mis::give_way() {
  // The waiter tries again every millisecond; its signal goes once it has
  // the lock. Not longer than a few tries: it may be waiting for another.
  const auto until = std::chrono::steady_clock::now() + kGiveWayAtMost;
  do {
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  } while (db_->backend()->writers_waiting() && std::chrono::steady_clock::now() < until);
}

}  // namespace nxmp_mis
