// Reading ahead the records a unit of work is about to change: a chunk of
// them at a time, one statement per record table and log, instead of one
// read per record (and a read per table for a record not in the first).
#include <algorithm>
#include <map>

#include "mis/mis.h"
#include "nxdb/schema.h"

namespace nxmp_mis {
namespace {

// Records per chunk: bounds the statement's parameters and the records
// kept in memory.
constexpr std::size_t kChunk = 500;

std::string select_in(const std::string& table, std::size_t ids) {
  std::string sql = "SELECT * FROM " + table + " WHERE logrecordid IN (";
  for (std::size_t i = 0; i < ids; ++i) sql += (i ? ", ?" : "?") + std::to_string(i + 1);
  return sql + ")";
}

int id_column(const nxdb::Statement& st) {
  for (int i = 0; i < st.column_count(); ++i) {
    if (st.column_name(i) == "logrecordid") return i;
  }
  return -1;
}

}  // namespace

void Mis::read_ahead(const std::vector<ObjectRef>& records) {
  std::lock_guard<std::mutex> lock(write_mu_);
  if (!in_unit() || unit_owner_ != std::this_thread::get_id()) return;
  unit_ahead_.clear();
  unit_ahead_at_.clear();
  unit_ahead_done_ = 0;
  for (const ObjectRef& ref : records) {
    if (ref.kind != ObjectRef::Kind::kRecord || ref.system != system_) continue;
    unit_ahead_at_.emplace(record_key(ref), unit_ahead_.size());
    unit_ahead_.push_back(ref);
  }
}

bool Mis::read_chunk(std::size_t at, std::string& error) {
  // Records of the chunk before are let go: one named again is read again,
  // with its change.
  unit_records_.clear();
  const std::size_t end = std::min(unit_ahead_.size(), at + kChunk);
  unit_ahead_done_ = end;
  std::map<std::string, std::vector<const ObjectRef*>> by_log;
  for (std::size_t i = at; i < end; ++i) {
    const ObjectRef& ref = unit_ahead_[i];
    by_log[ref.log_id + '\n' + (ref.log_is_number ? "1" : "0")].push_back(&ref);
  }
  for (auto& [log, left] : by_log) {
    bool every_table = true;
    for (const nxdb::RecordType& type : nxdb::alarm_record_types()) {
      if (left.empty()) break;
      RecordLocation where;
      where.type = &type;
      if (!locate(*left.front(), type, where.table, error)) {
        // Left to each change, which says so for itself.
        error.clear();
        every_table = false;
        break;
      }
      std::unique_ptr<nxdb::Statement> owned;
      nxdb::Statement* st = statement(select_in(where.table, left.size()), owned, error);
      if (st == nullptr) return false;
      for (std::size_t i = 0; i < left.size(); ++i) st->bind_int(static_cast<int>(i) + 1, left[i]->record_id);
      const int id = id_column(*st);
      if (id < 0) {
        error = "the record table " + where.table + " has no logrecordid";
        return false;
      }
      ObjectRef found = *left.front();
      nxdb::StepResult r;
      while ((r = st->step()) == nxdb::StepResult::kRow) {
        found.record_id = static_cast<long>(st->cell_int(id));
        ReadRecord& read = unit_records_[record_key(found)];
        read.where = where;
        read_columns(*st, type, read.values);
      }
      if (r == nxdb::StepResult::kError) {
        error = st->error();
        return false;
      }
      left.erase(std::remove_if(left.begin(), left.end(),
                                [&](const ObjectRef* ref) { return unit_records_.count(record_key(*ref)) > 0; }),
                 left.end());
    }
    if (!every_table) continue;
    for (const ObjectRef* ref : left) unit_records_[record_key(*ref)] = ReadRecord{RecordLocation(), Values(), false};
  }
  return true;
}

}  // namespace nxmp_mis
