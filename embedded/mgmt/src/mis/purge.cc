// Purge: the records of a log that a condition selects, deleted in one
// transaction, each with its OBJECT_DESTROYED and its history entry.
#include <memory>
#include <optional>

#include "mis/history.h"
#include "mis/mis.h"
#include "mis/notification_info.h"
#include "mis/sql_helpers.h"
#include "nxdb/informix_dialect.h"
#include "nxmp/history.h"

namespace nxmp_mis {

bool Mis::purge(const ObjectRef& log, const std::string& condition, long& deleted,
                std::string& error) {
  std::lock_guard<std::mutex> lock(write_mu_);
  deleted = 0;
  // Everything is purged only by a condition that says so.
  if (condition.empty()) {
    error = "a purge needs a condition";
    return false;
  }
  if (log.system != system_) {
    error = "not an object of this MIS: " + format_object_name(log);
    return false;
  }
  long days = 0;
  if (!history_retention_days(days, error)) return false;
  nxdb::Backend& db = *db_->backend();
  if (!begin(error)) return false;
  long count = 0;
  for (const nxdb::RecordType& type : nxdb::alarm_record_types()) {
    RecordLocation where;
    where.type = &type;
    if (!locate(log, type, where.table, error)) {
      rollback();
      return false;
    }
    // The condition is the query layer's, in the dialect the reads use.
    nxdb::Translation t = nxdb::translate_informix(
        "SELECT logrecordid FROM " + where.table + " WHERE " + condition, db.dialect());
    if (t.kind != nxdb::Translation::Kind::kStatement) {
      error = t.kind == nxdb::Translation::Kind::kError ? t.error : "not a condition: " + condition;
      rollback();
      return false;
    }
    std::vector<long> ids;
    {
      auto st = db.prepare(t.sql, error);
      if (!st) {
        rollback();
        return false;
      }
      nxdb::StepResult r;
      while ((r = st->step()) == nxdb::StepResult::kRow) ids.push_back(static_cast<long>(st->cell_int(0)));
      if (r == nxdb::StepResult::kError) {
        error = st->error();
        rollback();
        return false;
      }
    }
    for (long id : ids) {
      ObjectRef rec = log_of(log);
      rec.kind = ObjectRef::Kind::kRecord;
      rec.record_id = id;
      Values before;
      bool found = false;
      if (!read_row(where, id, before, found, error) ||
          !exec(db, "DELETE FROM " + where.table + " WHERE logrecordid = ?1", {std::to_string(id)}, error) ||
          !history_of_deletion(*this, rec, before, error) ||
          !journal({"OBJECT_DESTROYED", format_object_name(rec), record_class(type),
                    attribute_list_info(before)},
                   error)) {
        rollback();
        return false;
      }
      ++count;
    }
  }
  if (days > 0 && !expire_history(db, days, error)) {
    rollback();
    return false;
  }
  if (!commit(error)) return false;
  deleted = count;
  return true;
}

PurgeResult purge_records(const std::string& log_name, const std::string& condition) {
  PurgeResult result;
  std::optional<ObjectRef> log = parse_object_name(log_name);
  if (!log || log->kind != ObjectRef::Kind::kLog) {
    result.error = "not a log name: " + log_name;
    return result;
  }
  std::shared_ptr<Mis> mis = current_mis(result.error);
  if (!mis) return result;
  result.ok = mis->purge(*log, condition, result.deleted, result.error);
  return result;
}

}  // namespace nxmp_mis
