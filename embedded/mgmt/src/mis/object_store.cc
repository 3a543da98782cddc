// The MIS's objects: the system, application objects, logs and log records
// read, changed and deleted.
#include <string_view>

#include "metadata.h"
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
  table = nxdb::log_table_name(*db_, log.log_id, log.log_is_number, type.code);
  if (table.empty()) {
    error = "no such log: " + format_object_name(log_of(log));
    return false;
  }
  if (!safe_identifier(table)) {
    error = "the log directory names an unusable table: " + table;
    return false;
  }
  return true;
}

bool Mis::find_record(const ObjectRef& ref, RecordLocation& where, std::string& error) {
  if (ref.system != system_) {
    error = "not an object of this MIS: " + format_object_name(ref);
    return false;
  }
  for (const nxdb::RecordType& type : nxdb::alarm_record_types()) {
    std::string table;
    if (!locate(ref, type, table, error)) return false;
    long long n = 0;
    if (!query_long(*db_->backend(), "SELECT COUNT(*) FROM " + table + " WHERE logrecordid = ?1",
                    {std::to_string(ref.record_id)}, n, error)) {
      return false;
    }
    if (n > 0) {
      where.type = &type;
      where.table = table;
      return true;
    }
  }
  error = "no such object: " + format_object_name(ref);
  return false;
}

bool Mis::read_row(const RecordLocation& where, long record_id, Values& out, bool& found,
                   std::string& error) {
  auto st = db_->backend()->prepare("SELECT * FROM " + where.table + " WHERE logrecordid = ?1", error);
  if (!st) return false;
  st->bind_int(1, record_id);
  nxdb::StepResult r = st->step();
  if (r == nxdb::StepResult::kError) {
    error = st->error();
    return false;
  }
  found = r == nxdb::StepResult::kRow;
  if (!found) return true;
  for (int i = 0; i < st->column_count(); ++i) {
    const std::string column = st->column_name(i);
    for (const RecordAttribute& a : record_attributes()) {
      const char* c = column_of(a, *where.type);
      if (c == nullptr || column != c) continue;
      switch (st->cell_type(i)) {
        case nxdb::CellType::kNull:
        case nxdb::CellType::kBlob:
          break;
        case nxdb::CellType::kInteger:
          out[a.name] = std::to_string(st->cell_int(i));
          break;
        default:
          out[a.name] = st->column_kind(i) == nxdb::ColumnKind::kTime
                            ? nxdb::stored_time_to_digits(st->cell_text(i))
                            : std::string(st->cell_text(i));
      }
      break;
    }
  }
  return true;
}

bool Mis::load(const ObjectRef& ref, Values& out, std::string& objclass, std::string& error) {
  std::lock_guard<std::mutex> lock(write_mu_);
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
      bool found = false;
      if (!find_record(ref, where, error) || !read_row(where, ref.record_id, out, found, error)) {
        return false;
      }
      if (!found) {
        error = "no such object: " + format_object_name(ref);
        return false;
      }
      objclass = record_class(*where.type);
      return true;
    }
  }
  return false;
}

bool Mis::update(const ObjectRef& ref, const Values& changes, std::string& error) {
  std::lock_guard<std::mutex> lock(write_mu_);
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
      rollback();
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
    rollback();
    error = "only log records and application objects can be changed";
    return false;
  }
  RecordLocation where;
  Values before;
  bool found = false;
  if (!find_record(ref, where, error) || !read_row(where, ref.record_id, before, found, error)) {
    rollback();
    return false;
  }
  std::string sql = "UPDATE " + where.table + " SET ";
  std::vector<std::pair<const nxdb::ColumnDef*, std::string>> sets;
  Values old_values, new_values;
  for (const auto& [name, text] : changes) {
    const RecordAttribute* a = find_record_attribute(name);
    const char* column = a ? column_of(*a, *where.type) : nullptr;
    if (column == nullptr || !a->settable) {
      rollback();
      error = "attribute " + name + " cannot be set on " + format_object_name(ref);
      return false;
    }
    if (!sets.empty()) sql += ", ";
    sql += std::string(column) + " = ?" + std::to_string(sets.size() + 1);
    sets.emplace_back(column_def(*where.type, column), text);
    auto old = before.find(name);
    if (old != before.end()) old_values[name] = old->second;
    if (old == before.end() || old->second != text) new_values[name] = text;
  }
  sql += " WHERE logrecordid = ?" + std::to_string(sets.size() + 1);
  auto st = db_->backend()->prepare(sql, error);
  if (!st) {
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
        rollback();
        error = "not a time: " + text;
        return false;
      }
    } else {
      st->bind_text(index, text);
    }
  }
  st->bind_int(static_cast<int>(sets.size()) + 1, ref.record_id);
  if (st->step() == nxdb::StepResult::kError) {
    error = st->error();
    rollback();
    return false;
  }
  if (!new_values.empty() &&
      !journal({"ATTR_CHANGED", format_object_name(ref), record_class(*where.type),
                value_change_info(old_values, new_values)},
               error)) {
    rollback();
    return false;
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
  bool found = false;
  if (!find_record(ref, where, error) || !read_row(where, ref.record_id, before, found, error) ||
      !exec(*db_->backend(), "DELETE FROM " + where.table + " WHERE logrecordid = ?1",
            {std::to_string(ref.record_id)}, error) ||
      !journal({"OBJECT_DESTROYED", format_object_name(ref), record_class(*where.type),
                attribute_list_info(before)},
               error)) {
    rollback();
    return false;
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
