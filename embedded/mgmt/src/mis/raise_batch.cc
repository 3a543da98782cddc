// Many alarms in one unit of work: one transaction, one commit, their
// journal entries in the order given.
#include <map>
#include <mutex>
#include <set>

#include "mis/mis.h"
#include "nxmp/asn1_type.h"

namespace nxmp_mis {
namespace {

// Identities remembered per MIS connection; past this they are forgotten
// and looked up again.
constexpr std::size_t kKnownIdentities = 100000;

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
  // they would wait for it): remembered once committed, forgotten if not.
  std::set<std::string> made;
  auto forget_made = [&] {
    std::lock_guard<std::mutex> lock(identity_mu_);
    for (const std::string& moi : made) known_identities_.erase(moi);
  };
  {
    std::lock_guard<std::mutex> lock(write_mu_);
    for (PendingAlarm* a : alarms) {
      {
        std::lock_guard<std::mutex> ids(identity_mu_);
        if (known_identities_.count(a->moi) || made.count(a->moi)) continue;
      }
      Asn1Value oi = fdn2oi(DataUnit(a->moi));
      long id = -1;
      if (!oi.is_null()) {
        // Each new name once per connection: prepared as needed.
        const DataUnit ber = oi.encoding();
        auto insert = db_->backend()->prepare(
            "INSERT INTO nxmoid (moi_ber) VALUES (?1) ON CONFLICT (moi_ber) DO NOTHING", failure);
        if (!insert) break;
        insert->bind_blob(1, ber.data(), ber.size());
        if (insert->step() != nxdb::StepResult::kDone) {
          failure = insert->error();
          break;
        }
        insert.reset();
        auto select = db_->backend()->prepare("SELECT moi_id FROM nxmoid WHERE moi_ber = ?1", failure);
        if (!select) break;
        select->bind_blob(1, ber.data(), ber.size());
        if (select->step() != nxdb::StepResult::kRow) {
          failure = select->error().empty() ? "a managed object's identity could not be made" : select->error();
          break;
        }
        id = static_cast<long>(select->cell_int(0));
      }
      made.insert(a->moi);
      std::lock_guard<std::mutex> ids(identity_mu_);
      if (known_identities_.size() >= kKnownIdentities) known_identities_.clear();
      known_identities_[a->moi] = id;
    }
  }
  if (!failure.empty()) {
    forget_made();
    std::string ignored;
    end_unit(false, ignored);
    return fail_all(failure);
  }

  std::map<std::string, std::pair<long long, long long>> ids;
  std::map<std::string, bool> known_logs;
  {
    std::lock_guard<std::mutex> lock(write_mu_);
    batch_ids_ = &ids;
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
                             a->record_ids, a->error, a->event_time);
    if (!a->ok) {
      std::lock_guard<std::mutex> lock(write_mu_);
      if (unit_failed_) {
        failure = a->error;
        break;
      }
    }
  }
  {
    std::lock_guard<std::mutex> lock(write_mu_);
    batch_ids_ = nullptr;
  }
  if (!failure.empty()) {
    forget_made();
    std::string ignored;
    end_unit(false, ignored);
    return fail_all(failure);
  }
  if (!end_unit(true, error)) {
    forget_made();
    return fail_all(error);
  }
  return true;
}

}  // namespace nxmp_mis
