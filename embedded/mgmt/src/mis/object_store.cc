// The MIS's objects: the system, application objects, logs and log records
// read, changed and deleted.
#include <map>
#include <string_view>
#include <unordered_map>

#include "metadata.h"
#include "mis/history.h"
#include "mis/mis.h"
#include "mis/notification_info.h"
#include "mis/record_attributes.h"
#include "mis/sql_helpers.h"
#include "nxdb/value.h"

namespace nxmp_mis {
namespace {

std::string registry_name(const char* item, const char* fallback) {
  const nxmp_meta::Entry* e = nxmp_meta::find(std::string_view(item));
  return e ? e->name : fallback;
}

using ColumnAttributes = std::unordered_map<std::string, const RecordAttribute*>;

// The attribute each column of a record table holds (the first attribute
// that names it), made once per table type: a row is read per record of
// every change, and matching names column by column cost more than the read.
const ColumnAttributes& column_attributes(const nxdb::RecordType& type) {
  static const auto* index = [] {
    auto* m = new std::map<const nxdb::RecordType*, ColumnAttributes>;
    for (const nxdb::RecordType& t : nxdb::alarm_record_types()) {
      ColumnAttributes& columns = (*m)[&t];
      for (const RecordAttribute& a : record_attributes()) {
        if (const char* c = column_of(a, t)) columns.emplace(c, &a);
      }
    }
    return m;
  }();
  static const ColumnAttributes none;
  auto it = index->find(&type);
  return it == index->end() ? none : it->second;
}

}  // namespace

std::string Mis::record_class(const nxdb::RecordType& type) {
  std::string code = type.code;
  if (code == "nxInt") return registry_name("nxInternetAlarmRecord", "\"NX-ALARM\":nxInternetAlarmRecord");
  if (code == "NrvCt") {
    return registry_name("nerveCenterAlarmRecord", "\"NX Nerve Center\":nerveCenterAlarmRecord");
  }
  return registry_name("nxAlarmRecord", "\"NX-ALARM\":nxAlarmRecord");
}

bool Mis::locate(const ObjectRef& log, const nxdb::RecordType& type, std::string& table,
                 std::string& error) {
  // Within a unit the directory cannot change under the writer.
  const std::string key = log.log_id + '\n' + (log.log_is_number ? "1" : "0") + type.code;
  if (in_unit()) {
    auto kept = unit_tables_.find(key);
    if (kept != unit_tables_.end()) {
      table = kept->second;
      return true;
    }
  }
  table = nxdb::log_table_name(*db_, log.log_id, log.log_is_number, type.code);
  if (table.empty()) {
    error = "no such log: " + format_object_name(log_of(log));
    return false;
  }
  if (!safe_identifier(table)) {
    error = "the log directory names an unusable table: " + table;
    return false;
  }
  if (in_unit()) unit_tables_.emplace(key, table);
  return true;
}

Mis::Lookup Mis::find_record(const ObjectRef& ref, RecordLocation& where, Values& values,
                             std::string& error) {
  values.clear();
  if (ref.system != system_) {
    error = "not an object of this MIS: " + format_object_name(ref);
    return Lookup::kMissing;
  }
  const std::string key = record_key(ref);
  if (in_unit()) {
    auto kept = unit_records_.find(key);
    if (kept == unit_records_.end()) {
      // A record named to read ahead: its chunk comes in at once.
      auto ahead = unit_ahead_at_.find(key);
      if (ahead != unit_ahead_at_.end() && ahead->second >= unit_ahead_done_) {
        if (!read_chunk(ahead->second, error)) return Lookup::kFailed;
        kept = unit_records_.find(key);
      }
    }
    if (kept != unit_records_.end()) {
      if (!kept->second.found) {
        error = "no such object: " + format_object_name(ref);
        return Lookup::kMissing;
      }
      where = kept->second.where;
      values = kept->second.values;
      return Lookup::kFound;
    }
  }
  for (const nxdb::RecordType& type : nxdb::alarm_record_types()) {
    RecordLocation candidate;
    candidate.type = &type;
    if (!locate(ref, type, candidate.table, error)) return Lookup::kMissing;
    bool found = false;
    if (!read_row(candidate, ref.record_id, values, found, error)) return Lookup::kFailed;
    if (found) {
      where = candidate;
      if (in_unit()) unit_records_[key] = ReadRecord{where, values, true};
      return Lookup::kFound;
    }
  }
  error = "no such object: " + format_object_name(ref);
  return Lookup::kMissing;
}

std::string Mis::record_key(const ObjectRef& ref) {
  return ref.log_id + '\n' + (ref.log_is_number ? "1" : "0") + std::to_string(ref.record_id);
}

void Mis::read_columns(const nxdb::Statement& st, const nxdb::RecordType& type, Values& out) {
  const ColumnAttributes& attributes = column_attributes(type);
  for (int i = 0; i < st.column_count(); ++i) {
    auto it = attributes.find(st.column_name(i));
    if (it == attributes.end()) continue;
    const RecordAttribute& a = *it->second;
    switch (st.cell_type(i)) {
      case nxdb::CellType::kNull:
      case nxdb::CellType::kBlob:
        break;
      case nxdb::CellType::kInteger:
        out[a.name] = std::to_string(st.cell_int(i));
        break;
      default:
        out[a.name] = st.column_kind(i) == nxdb::ColumnKind::kTime
                          ? nxdb::stored_time_to_digits(st.cell_text(i))
                          : std::string(st.cell_text(i));
    }
  }
}

void Mis::keep_updated(const std::string& key, const Values& changes) {
  auto kept = unit_records_.find(key);
  if (kept == unit_records_.end()) return;
  Values& values = kept->second.values;
  for (const auto& [name, text] : changes) {
    const RecordAttribute* a = find_record_attribute(name);
    const nxdb::ColumnDef* def = a ? record_column(*a, *kept->second.where.type) : nullptr;
    std::string stored;
    if (def != nullptr && def->kind == nxdb::ColumnKind::kText) {
      values[a->name] = text;
    } else if (def != nullptr && def->kind == nxdb::ColumnKind::kTime && text.empty()) {
      values.erase(a->name);  // NULL, which a read leaves out
    } else if (def != nullptr && def->kind == nxdb::ColumnKind::kTime &&
               nxdb::digits_to_stored_time(text, stored)) {
      values[a->name] = nxdb::stored_time_to_digits(stored);
    } else {
      // Read back as the engine keeps it, when next named.
      unit_records_.erase(kept);
      return;
    }
  }
}

bool Mis::read_row(const RecordLocation& where, long record_id, Values& out, bool& found,
                   std::string& error) {
  std::unique_ptr<nxdb::Statement> owned;
  nxdb::Statement* st = statement("SELECT * FROM " + where.table + " WHERE logrecordid = ?1", owned, error);
  if (st == nullptr) return false;
  st->bind_int(1, record_id);
  nxdb::StepResult r = st->step();
  if (r == nxdb::StepResult::kError) {
    error = st->error();
    return false;
  }
  found = r == nxdb::StepResult::kRow;
  if (found) read_columns(*st, *where.type, out);
  return true;
}

bool Mis::load(const ObjectRef& ref, Values& out, std::string& objclass, std::string& error) {
  std::lock_guard<std::mutex> lock(write_mu_);
  await_unit();
  out.clear();
  if (ref.system != system_) {
    error = "not an object of this MIS: " + format_object_name(ref);
    return false;
  }
  switch (ref.kind) {
    case ObjectRef::Kind::kSystem:
      out["systemId"] = "name : " + quote(system_);
      objclass = registry_name("system", "system");
      return true;
    case ObjectRef::Kind::kApplication: {
      if (auto kept = read_only_apps_.find(ref.application); kept != read_only_apps_.end()) {
        out["nxSpecialEvents"] = kept->second;
        objclass = "application";
        return true;
      }
      auto st = db_->backend()->prepare("SELECT special_events FROM nxmis_app WHERE name = ?1", error);
      if (!st) return false;
      st->bind_text(1, ref.application);
      nxdb::StepResult r = st->step();
      if (r == nxdb::StepResult::kError) {
        error = st->error();
        return false;
      }
      if (r == nxdb::StepResult::kRow && st->cell_type(0) != nxdb::CellType::kNull) {
        out["nxSpecialEvents"] = std::string(st->cell_text(0));
      }
      objclass = "application";
      return true;
    }
    case ObjectRef::Kind::kLog: {
      std::string table;
      if (!locate(ref, nxdb::alarm_record_types()[0], table, error)) return false;
      out["logId"] = ref.log_is_number ? "number : " + ref.log_id : "string : " + quote(ref.log_id);
      objclass = registry_name("log", "log");
      return true;
    }
    case ObjectRef::Kind::kRecord: {
      RecordLocation where;
      switch (find_record(ref, where, out, error)) {
        case Lookup::kFound:
          objclass = record_class(*where.type);
          return true;
        case Lookup::kMissing:
          return false;
        case Lookup::kFailed:
          // A unit must not go on as if the record were merely unknown.
          if (in_unit()) rollback();
          return false;
      }
      return false;
    }
  }
  return false;
}

bool Mis::update(const ObjectRef& ref, const Values& changes, std::string& error) {
  std::lock_guard<std::mutex> lock(write_mu_);
  await_unit();
  if (ref.system != system_) {
    error = "not an object of this MIS: " + format_object_name(ref);
    return false;
  }
  if (ref.kind == ObjectRef::Kind::kApplication && read_only_) {
    // A client of a read-only database still says what it wants to hear;
    // no other process can be told, so it is kept here.
    auto it = changes.find("nxSpecialEvents");
    if (changes.size() != 1 || it == changes.end()) {
      error = "an application object has only nxSpecialEvents";
      return false;
    }
    read_only_apps_[ref.application] = it->second;
    return true;
  }
  if (!begin(error)) return false;
  if (ref.kind == ObjectRef::Kind::kApplication) {
    auto it = changes.find("nxSpecialEvents");
    if (changes.size() != 1 || it == changes.end()) {
      abandon();
      error = "an application object has only nxSpecialEvents";
      return false;
    }
    if (!exec(*db_->backend(),
              "INSERT INTO nxmis_app (name, special_events) VALUES (?1, ?2) "
              "ON CONFLICT (name) DO UPDATE SET special_events = excluded.special_events",
              {ref.application, it->second}, error) ||
        !journal({"ATTR_CHANGED", format_object_name(ref), "application", Asn1Value()}, error)) {
      rollback();
      return false;
    }
    return commit(error);
  }
  if (ref.kind != ObjectRef::Kind::kRecord) {
    abandon();
    error = "only log records and application objects can be changed";
    return false;
  }
  RecordLocation where;
  Values before;
  switch (find_record(ref, where, before, error)) {
    case Lookup::kFound:
      break;
    case Lookup::kMissing:
      abandon();
      return false;
    case Lookup::kFailed:
      rollback();
      return false;
  }
  std::string sql = "UPDATE " + where.table + " SET ";
  std::vector<std::pair<const nxdb::ColumnDef*, std::string>> sets;
  Values old_values, new_values;
  for (const auto& [name, text] : changes) {
    const RecordAttribute* a = find_record_attribute(name);
    const nxdb::ColumnDef* def = a ? record_column(*a, *where.type) : nullptr;
    if (def == nullptr || !a->settable) {
      abandon();
      error = "attribute " + name + " cannot be set on " + format_object_name(ref);
      return false;
    }
    if (!sets.empty()) sql += ", ";
    sql += std::string(def->name) + " = ?" + std::to_string(sets.size() + 1);
    sets.emplace_back(def, text);
    auto old = before.find(name);
    if (old != before.end()) old_values[name] = old->second;
    if (old == before.end() || old->second != text) new_values[name] = text;
  }
  sql += " WHERE logrecordid = ?" + std::to_string(sets.size() + 1);
  std::unique_ptr<nxdb::Statement> owned;
  nxdb::Statement* st = statement(sql, owned, error);
  if (st == nullptr) {
    rollback();
    return false;
  }
  for (std::size_t i = 0; i < sets.size(); ++i) {
    const int index = static_cast<int>(i) + 1;
    const std::string& text = sets[i].second;
    if (sets[i].first->kind == nxdb::ColumnKind::kTime) {
      std::string stored;
      if (text.empty()) {
        st->bind_null(index);
      } else if (nxdb::digits_to_stored_time(text, stored)) {
        st->bind_text(index, stored);
      } else {
        abandon();
        error = "not a time: " + text;
        return false;
      }
    } else {
      st->bind_text(index, text);
    }
  }
  st->bind_int(static_cast<int>(sets.size()) + 1, ref.record_id);
  if ((in_unit() ? st->step_deferred() : st->step()) == nxdb::StepResult::kError) {
    error = st->error();
    rollback();
    return false;
  }
  if (!history_of_update(*this, ref, before, changes, error)) return rollback(), false;
  if (!new_values.empty() &&
      !journal({"ATTR_CHANGED", format_object_name(ref), record_class(*where.type),
                value_change_info(old_values, new_values)},
               error)) {
    rollback();
    return false;
  }
  if (in_unit()) {
    keep_updated(record_key(ref), changes);
    keep_unit_records_ = true;
  }
  return commit(error);
}

bool Mis::destroy(const ObjectRef& ref, std::string& error) {
  std::lock_guard<std::mutex> lock(write_mu_);
  if (ref.kind != ObjectRef::Kind::kRecord) {
    error = "only log records can be deleted";
    return false;
  }
  if (!begin(error)) return false;
  RecordLocation where;
  Values before;
  switch (find_record(ref, where, before, error)) {
    case Lookup::kFound:
      break;
    case Lookup::kMissing:
      abandon();
      return false;
    case Lookup::kFailed:
      rollback();
      return false;
  }
  std::unique_ptr<nxdb::Statement> owned;
  nxdb::Statement* st =
      statement("DELETE FROM " + where.table + " WHERE logrecordid = ?1", owned, error);
  bool deleted = st != nullptr;
  if (deleted) {
    st->bind_int(1, ref.record_id);
    if ((in_unit() ? st->step_deferred() : st->step()) == nxdb::StepResult::kError) {
      error = st->error();
      deleted = false;
    }
  }
  if (!deleted ||
      !history_of_deletion(*this, ref, before, error) ||
      !journal({"OBJECT_DESTROYED", format_object_name(ref), record_class(*where.type),
                attribute_list_info(before)},
               error)) {
    rollback();
    return false;
  }
  if (in_unit()) {
    unit_records_[record_key(ref)] = ReadRecord{where, Values(), false};
    keep_unit_records_ = true;
  }
  return commit(error);
}

bool Mis::list_logs(std::vector<ObjectRef>& out, std::string& error) {
  auto st = db_->backend()->prepare("SELECT nxlogid, logidtype FROM log ORDER BY nxlogid", error);
  if (!st) return false;
  nxdb::StepResult r;
  while ((r = st->step()) == nxdb::StepResult::kRow) {
    ObjectRef log;
    log.kind = ObjectRef::Kind::kLog;
    log.system = system_;
    log.log_id = std::string(st->cell_text(0));
    log.log_is_number = st->cell_text(1) == "integer";
    out.push_back(log);
  }
  if (r == nxdb::StepResult::kError) {
    error = st->error();
    return false;
  }
  return true;
}

bool Mis::list_records(const ObjectRef& log,
                       std::vector<std::pair<ObjectRef, std::string>>& out, std::string& error) {
  std::lock_guard<std::mutex> lock(write_mu_);
  await_unit();
  for (const nxdb::RecordType& type : nxdb::alarm_record_types()) {
    std::string table;
    if (!locate(log, type, table, error)) return false;
    auto st = db_->backend()->prepare("SELECT logrecordid FROM " + table + " ORDER BY logrecordid",
                                      error);
    if (!st) return false;
    while (st->step() == nxdb::StepResult::kRow) {
      ObjectRef rec = log_of(log);
      rec.kind = ObjectRef::Kind::kRecord;
      rec.record_id = static_cast<long>(st->cell_int(0));
      out.emplace_back(rec, record_class(type));
    }
  }
  return true;
}

}  // namespace nxmp_mis
