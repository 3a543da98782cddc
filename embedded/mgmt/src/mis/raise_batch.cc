// Many alarms in one unit of work: one transaction, one commit, their
// journal entries in the order given.
#include <map>
#include <mutex>

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

}  // namespace

bool Mis::log_alarms(const std::vector<PendingAlarm*>& alarms, std::string& error) {
  auto fail_all = [&](const std::string& why) {
    for (PendingAlarm* a : alarms) {
      a->ok = false;
      a->error = why;
      a->record_ids.clear();
    }
    error = why;
    return false;
  };
  if (alarms.empty()) return true;
  // One batch at a time: the batch's identities and ids are the MIS's.
  static std::mutex batches;
  std::lock_guard<std::mutex> one_batch(batches);
  if (!begin_unit(error)) return fail_all(error);

  std::string failure;  // a failure of the database: it ends the unit
  // New identities are made in the unit itself (on their own connection
  // they would wait for it), and remembered only once it has committed.
  std::map<std::string, long> made;
  std::map<std::string, std::pair<long long, long long>> ids;
  std::map<std::string, bool> known_logs;
  PendingRows records, history;
  {
    std::lock_guard<std::mutex> lock(write_mu_);
    batch_ids_ = &ids;
    batch_identities_ = &made;
    batch_records_ = &records;
    batch_history_ = &history;
  }
  for (PendingAlarm* a : alarms) {
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
    return fail_all(failure);
  }
  if (!end_unit(true, error)) return fail_all(error);
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

}  // namespace nxmp_mis
