// Logging a notification: a record in each log that takes it (clearing the
// alarms a clear matches), and its OBJECT_CREATED in the journal.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string_view>

#include "metadata.h"
#include "mis/batch_rows.h"
#include "mis/history.h"
#include "mis/mis.h"
#include "mis/notification_info.h"
#include "mis/record_attributes.h"
#include "mis/sql_helpers.h"
#include "nxdb/order_keys.h"
#include "nxdb/unique_mo.h"
#include "nxdb/value.h"
#include "nxmp/asn1_type.h"
#include "nxmp/oid.h"

namespace nxmp_mis {
namespace {

std::string now_digits() {
  // The precise clock: time() reads a coarse one that can lag a few
  // milliseconds behind the clock clients compare with.
  std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d%H%M%S", &tm);
  return buf;
}

std::string bare(const std::string& name) {
  std::size_t colon = name.rfind(':');
  return colon == std::string::npos ? name : name.substr(colon + 1);
}

// The clearing user named by a clearOperator extension of additional
// information: the quoted text after "information".
std::string clear_operator_of(const std::string& additional_information) {
  std::size_t at = additional_information.find("clearOperator");
  if (at == std::string::npos) return {};
  at = additional_information.find("information", at);
  if (at == std::string::npos) return {};
  std::size_t open = additional_information.find('"', at);
  if (open == std::string::npos) return {};
  std::size_t close = open + 1;
  while (close < additional_information.size()) {
    if (additional_information[close] == '"') {
      if (close + 1 < additional_information.size() && additional_information[close + 1] == '"') {
        close += 2;
        continue;
      }
      break;
    }
    ++close;
  }
  if (close >= additional_information.size()) return {};
  auto text = unquote(additional_information.substr(open, close - open + 1));
  return text ? *text : std::string();
}

const nxdb::RecordType& record_type_for(const std::string& event_bare) {
  const auto& types = nxdb::alarm_record_types();
  if (event_bare == "internetAlarm") return types[1];
  if (event_bare == "nerveCenterAlarm") return types[2];
  return types[0];
}

}  // namespace

bool Mis::clear_matching(const ObjectRef& log, const std::string& moi, const std::string& event_type,
                         const std::string& cause, const std::string& when, const std::string& op,
                         long by_record, long moi_id, std::vector<Notification>& out, std::string& error) {
  std::string stored_when;
  nxdb::digits_to_stored_time(when, stored_when);
  // Records of an event type are kept in that type's table only.
  {
    const nxdb::RecordType& type = record_type_for(event_type);
    std::string table;
    if (!locate(log, type, table, error)) return false;
    // A record of the same object text has its identity, or none. The
    // clear-match index (moi_id, clearstate) holds the object's open alarms
    // together: a clear reads those alone, however many cleared ones the
    // object has. On SQLite each branch is its own lookup (its planner takes
    // the clear state's index for an OR of the two); PostgreSQL plans the OR
    // as two lookups of that index, and sooner than the union (it plans at
    // every run). A table without the index (made before it, until the next
    // init) is read through its moi_id index: all the object's alarms, the
    // clear state's index kept out of SQLite's choice by the concatenation.
    // Either way the alarms are cleared in the order they were logged.
    // Kept for the unit (a batch runs it for every clear it logs), and
    // planned at each run: a plan made while a batch's table was nearly
    // empty reads the whole table once it has grown.
    std::string sql;
    const std::string columns = "SELECT logrecordid, cleartime, clearoperator, ackstate, displaystate FROM " + table;
    const std::string same = " AND moi_s = ?1 AND eventname = ?2 AND probablecause_s = ?3";
    const std::string still_open = " clearstate = 'unCleared'" + same;
    if (moi_id > 0 && clear_indexed(table)) {
      sql = db_->backend()->dialect() == nxdb::Dialect::kSqlite
                ? columns + " WHERE moi_id = ?4 AND" + still_open + " UNION ALL " + columns +
                      " WHERE moi_id IS NULL AND" + still_open + " ORDER BY 1"
                : columns + " WHERE (moi_id = ?4 OR moi_id IS NULL) AND" + still_open + " ORDER BY logrecordid";
    } else {
      sql = columns + " WHERE" +
            (moi_id > 0 ? " (moi_id = ?4 OR moi_id IS NULL) AND clearstate || '' = 'unCleared'" + same : still_open) +
            " ORDER BY logrecordid";
    }
    std::unique_ptr<nxdb::Statement> owned;
    nxdb::Statement* st = replanned_statement(sql, owned, error);
    if (st == nullptr) return false;
    if (moi_id > 0) st->bind_int(4, moi_id);
    st->bind_text(1, moi);
    st->bind_text(2, event_type);
    st->bind_text(3, cause);
    struct Match {
      long id;
      Values old;
      std::string ack, display;  // states the clear leaves as they are
    };
    std::vector<Match> matches;
    nxdb::StepResult step;
    while ((step = st->step()) == nxdb::StepResult::kRow) {
      Values old{{"clearState", "unCleared"}};
      if (st->cell_type(1) != nxdb::CellType::kNull) {
        old["clearTime"] = nxdb::stored_time_to_digits(st->cell_text(1));
      }
      if (st->cell_type(2) != nxdb::CellType::kNull) old["clearOperator"] = std::string(st->cell_text(2));
      matches.push_back({static_cast<long>(st->cell_int(0)), old, std::string(st->cell_text(3)),
                         std::string(st->cell_text(4))});
    }
    if (step == nxdb::StepResult::kError) {
      error = st->error();
      return false;
    }
    st->reset();
    for (const auto& [id, old, ack, display] : matches) {
      std::unique_ptr<nxdb::Statement> owned_update;
      nxdb::Statement* update = statement(
          "UPDATE " + table + " SET clearstate = ?1, cleartime = ?2, clearoperator = ?3 WHERE logrecordid = ?4",
          owned_update, error);
      if (update == nullptr) return false;
      update->bind_text(1, "cleared");
      update->bind_text(2, stored_when);
      update->bind_text(3, op);
      update->bind_int(4, id);
      // Inside a unit its outcome may wait for the next read or the commit.
      if ((may_defer() ? update->step_deferred() : update->step()) == nxdb::StepResult::kError) {
        error = update->error();
        return false;
      }
      update->reset();
      ObjectRef rec = log_of(log);
      rec.kind = ObjectRef::Kind::kRecord;
      rec.record_id = id;
      if (batch_history_ != nullptr) {
        // In a batch: written with the batch's other entries, in order.
        std::vector<RowCell> entry = clear_by_history_row(rec, ack, display, when, op, by_record);
        if (!entry.empty()) batch_history_->add("nxmis_history", kHistoryColumns, std::move(entry));
      } else if (!history_of_clear_by(*this, table, rec, when, op, by_record, error)) {
        return false;
      }
      Values now{{"clearState", "cleared"}, {"clearTime", when}, {"clearOperator", op}};
      out.push_back({"ATTR_CHANGED", format_object_name(rec), record_class(type),
                     value_change_info(old, now)});
    }
  }
  return true;
}

bool Mis::clear_indexed(const std::string& table) {
  if (in_unit()) {
    auto known = unit_clear_indexed_.find(table);
    if (known != unit_clear_indexed_.end()) return known->second;
  }
  const bool indexed = db_->backend()->index_exists(nxdb::clear_match_index_name(table));
  if (in_unit()) unit_clear_indexed_.emplace(table, indexed);
  return indexed;
}

long Mis::identity_of(const std::string& moi) {
  std::lock_guard<std::mutex> lock(identity_mu_);
  auto known = known_identities_.find(moi);
  if (known != known_identities_.end()) return known->second;
  Asn1Value oi = fdn2oi(DataUnit(moi));
  if (oi.is_null()) return -1;
  // One identity connection per process: opening one per alarm costs a
  // server session each time on PostgreSQL.
  if (!identities_) {
    identities_ = std::make_unique<UniqueMO>(NXDBConnectInfo(system_, NXDB_ALARM_LOG_SERVICE), true, 1000);
  }
  long id = identities_->get_unique_id(oi.encoding());
  // Made again next time: the database may have been unreachable.
  if (id < 0) identities_.reset();
  return id;
}

bool Mis::flush_batch_rows(std::string& error) {
  // Records before their entries: the history names them.
  const bool many = db_->backend()->dialect() == nxdb::Dialect::kPostgres;
  if (batch_records_ != nullptr && !batch_records_->flush(*this, many, error)) return false;
  if (batch_history_ != nullptr && !batch_history_->flush(*this, many, error)) return false;
  return true;
}

bool Mis::identity_in_unit(const std::string& moi, long& id, std::string& error) {
  {
    std::lock_guard<std::mutex> lock(identity_mu_);
    auto known = known_identities_.find(moi);
    if (known != known_identities_.end()) {
      id = known->second;
      return true;
    }
  }
  if (batch_identities_ != nullptr) {
    auto made = batch_identities_->find(moi);
    if (made != batch_identities_->end()) {
      id = made->second;
      return true;
    }
  }
  id = -1;
  Asn1Value oi = fdn2oi(DataUnit(moi));
  if (!oi.is_null()) {
    std::unique_ptr<nxdb::Statement> owned_select, owned_insert;
    nxdb::Statement* select = statement(nxdb::kIdentitySelect, owned_select, error);
    nxdb::Statement* insert = select ? statement(nxdb::kIdentityInsert, owned_insert, error) : nullptr;
    if (insert == nullptr || !nxdb::identity_through(*select, insert, oi.encoding(), id, error)) return false;
    if (id < 0) {
      error = "a managed object's identity could not be made: " + moi;
      return false;
    }
  }
  if (batch_identities_ != nullptr) batch_identities_->emplace(moi, id);
  return true;
}

bool Mis::log_notification(const std::string& event_type, const Asn1Value& info,
                           const std::string& moi, const std::string& moc,
                           const ObjectRef* log_filter, std::vector<long>& record_ids,
                           std::string& error, const std::string& event_time, const KnownInfo* known) {
  const nxmp_meta::Entry* entry = nxmp_meta::find(std::string_view(event_type));
  if (entry == nullptr || entry->kind != nxmp_meta::EntryKind::Notification) {
    error = "unknown event type: " + event_type;
    return false;
  }
  const std::string event_bare = bare(entry->name);
  // The information's fields: known for alarms of a cause and severity
  // seen before (formatting and splitting it was a tenth of an alarm's
  // cost), or from its notation.
  InfoFields split;
  const InfoFields* fields = known != nullptr ? known->fields.get() : nullptr;
  if (fields == nullptr) {
    Asn1Type syntax = Asn1Type::lookup_type("eventInfo", "eventType", entry->oid.to_value());
    std::string notation;
    if (!syntax || info.is_null() || !syntax.format(info, notation)) {
      error = "the information is not of the syntax of " + event_bare;
      return false;
    }
    split = split_fields(notation);
    fields = &split;
  }
  const nxdb::RecordType& type = record_type_for(event_bare);
  const std::string now = now_digits();
  // Made in place: a list of pairs would copy every name and text twice.
  Values row;
  row.emplace("eventType", event_bare);
  row.emplace("managedObjectClass", moc);
  row.emplace("managedObjectInstance", moi);
  row.emplace("eventTime", event_time.empty() ? now : event_time);
  row.emplace("loggingTime", now);
  row.emplace("ackState", "unAcked");
  row.emplace("clearState", "unCleared");
  row.emplace("displayState", "unDisplayed");
  std::vector<Asn1Value> blob_items;
  static const std::string kTextField = "additionalText";
  const bool known_text = fields != &split && !known->text.empty();
  const std::size_t field_count = fields->size() + (known_text ? 1 : 0);
  for (std::size_t i = 0; i < field_count; ++i) {
    const bool bare_text = i == fields->size();  // known->text, not notation
    const std::string& field = bare_text ? kTextField : (*fields)[i].first;
    const std::string& value = bare_text ? known->text : (*fields)[i].second;
    const RecordAttribute* a = find_record_attribute(field);
    if (field == "notificationIdentifier") continue;  // the MIS numbers notifications
    if (a != nullptr && column_of(*a, type) != nullptr) {
      if (bare_text) {
        row[field] = value;
      } else if (a->form == Form::kText) {
        // The formatted information quotes every text: unquoted once, and
        // anything else refused rather than stored as notation.
        auto text = unquote(value);
        if (!text) {
          error = "the " + field + " of the information is not a quoted text";
          return false;
        }
        row[field] = *text;
      } else {
        row[field] = value;
      }
      continue;
    }
    // No column: kept, encoded, in the row's blob.
    const nxmp_meta::Entry* attr = nxmp_meta::find(std::string_view(field));
    if (attr == nullptr) continue;
    Asn1Type attr_type = Asn1Type::lookup_type("attributeValue", "attributeId", attr->oid.to_value());
    Asn1Value encoded = attr_type ? attr_type.parse(bare_text ? quote(value) : value) : Asn1Value();
    if (!encoded.is_null()) blob_items.push_back(attribute_item(field, encoded));
  }
  const std::string cause = row.count("probableCause") ? row["probableCause"] : std::string();
  const bool clearing = row.count("perceivedSeverity") && row["perceivedSeverity"] == "cleared";
  std::string clear_op;
  if (clearing) {
    clear_op = clear_operator_of(row.count("additionalInformation") ? row["additionalInformation"] : "");
    row["clearState"] = "cleared";
    row["clearTime"] = now;
    row["clearOperator"] = clear_op;
  }
  const Asn1Value blob =
      blob_items.empty() ? Asn1Value() : Asn1Value::encode_constructed(Asn1Value::TAG_SEQ, blob_items);
  // The object's identity: outside a unit of this thread it is kept by its
  // own connection (before the writer is taken: that connection would wait
  // for our transaction); inside one it is made in the unit, as the unit's
  // transaction would hold that connection up until its end. Only this
  // thread ends its unit, so what is seen here holds until then.
  bool own_unit = false;
  {
    std::lock_guard<std::mutex> lock(write_mu_);
    own_unit = in_unit() && unit_owner_ == std::this_thread::get_id();
  }
  long moi_id = own_unit ? -1 : identity_of(moi);

  std::lock_guard<std::mutex> lock(write_mu_);
  std::vector<ObjectRef> logs;
  if (log_filter != nullptr) {
    logs.push_back(log_of(*log_filter));
  } else if (!list_logs(logs, error)) {
    return false;
  }
  if (logs.empty()) {
    error = "the MIS has no log to take the notification";
    return false;
  }
  if (!begin(error)) return false;
  if (own_unit && !identity_in_unit(moi, moi_id, error)) {
    rollback();
    return false;
  }
  std::vector<long> ids;
  for (const ObjectRef& log : logs) {
    std::string table;
    if (log.system != system_ || !locate(log, type, table, error)) {
      if (error.empty()) error = "not a log of this MIS: " + format_object_name(log);
      rollback();
      return false;
    }
    // Record and notification ids are unique within the log, over its tables.
    // In a batch the writer is held throughout: the log's maxima are read
    // once and then counted on.
    long long max_id = 0, max_notification = 0;
    std::pair<long long, long long>* last = nullptr;
    if (batch_ids_ != nullptr) last = &batch_ids_->try_emplace(format_object_name(log_of(log)), -1, -1).first->second;
    if (last != nullptr && last->first >= 0) {
      max_id = last->first;
      max_notification = last->second;
    } else {
      std::vector<std::string> tables;
      for (const nxdb::RecordType& t : nxdb::alarm_record_types()) {
        std::string other;
        long long id = 0;
        if (!locate(log, t, other, error) ||
            !query_long(*db_->backend(), "SELECT MAX(logrecordid) FROM " + other, {}, id, error)) {
          rollback();
          return false;
        }
        max_id = std::max(max_id, id);
        tables.push_back(other);
      }
      if (!history_keeps_ids(*db_->backend(), log, max_id, error)) return rollback(), false;
      // Record and notification ids are given together: while the highest
      // record id is the one this connection committed last, so is the
      // highest notification id (a deletion since only leaves a gap).
      auto committed = committed_ids_.find(format_object_name(log_of(log)));
      if (last != nullptr && committed != committed_ids_.end() && committed->second.first == max_id) {
        max_notification = committed->second.second;
      } else {
        for (const std::string& other : tables) {
          long long notification = 0;
          if (!query_long(*db_->backend(), "SELECT MAX(notificationid) FROM " + other, {}, notification,
                          error)) {
            rollback();
            return false;
          }
          max_notification = std::max(max_notification, notification);
        }
      }
    }
    if (last != nullptr) *last = {max_id + 1, max_notification + 1};
    std::vector<Notification> cleared;
    // A clear reads the alarms it matches: those kept back are written first
    // (their entries may wait: they keep their order among themselves).
    if (clearing && batch_records_ != nullptr &&
        !batch_records_->flush(*this, db_->backend()->dialect() == nxdb::Dialect::kPostgres, error)) {
      rollback();
      return false;
    }
    if (clearing && !clear_matching(log, moi, event_bare, cause, now, clear_op, max_id + 1, moi_id, cleared, error)) {
      rollback();
      return false;
    }
    // The last log takes the row itself: copying it cost a node and a text
    // per attribute.
    Values record = &log == &logs.back() ? std::move(row) : row;
    record["logRecordId"] = std::to_string(max_id + 1);
    record["notificationIdentifier"] = std::to_string(max_notification + 1);
    std::string columns;
    columns.reserve(512);
    std::vector<RowCell> cells;
    cells.reserve(record.size() + 3);
    for (const auto& [name, text] : record) {
      const RecordAttribute* a = find_record_attribute(name);
      const nxdb::ColumnDef* def = a ? record_column(*a, type) : nullptr;
      if (def == nullptr) continue;
      if (!cells.empty()) columns += ", ";
      columns += def->name;
      switch (def->kind) {
        case nxdb::ColumnKind::kTime: {
          std::string stored;
          if (!text.empty() && nxdb::digits_to_stored_time(text, stored)) {
            cells.push_back(RowCell::text(std::move(stored)));
          } else {
            cells.push_back(RowCell::null());
          }
          break;
        }
        case nxdb::ColumnKind::kInteger:
          cells.push_back(RowCell::integer(std::atoll(text.c_str())));
          break;
        default:
          cells.push_back(RowCell::text(text));
      }
    }
    columns += ", logrectype, blob, moi_id";
    cells.push_back(RowCell::text(type.code));
    cells.push_back(blob.is_null() ? RowCell::null() : RowCell::blob(blob.encoding().str()));
    cells.push_back(moi_id > 0 ? RowCell::integer(moi_id) : RowCell::null());
    ObjectRef rec = log_of(log);
    rec.kind = ObjectRef::Kind::kRecord;
    rec.record_id = static_cast<long>(max_id + 1);
    if (batch_records_ != nullptr) {
      // In a batch: written with the next ones (checked there).
      batch_records_->add(table, columns, std::move(cells));
      std::vector<RowCell> entry = creation_history_row(rec, record);
      if (!entry.empty()) batch_history_->add("nxmis_history", kHistoryColumns, std::move(entry));
    } else {
      // Kept for the unit's next alarm of the same columns.
      std::unique_ptr<nxdb::Statement> owned;
      nxdb::Statement* st =
          statement(insert_head(table, columns) + row_marks(cells.size(), 1), owned, error);
      if (st == nullptr) {
        rollback();
        return false;
      }
      bind_cells(*st, cells, 1);
      const bool stored = st->step() != nxdb::StepResult::kError;
      if (!stored) error = st->error();
      st->reset();  // before the cells it points at go
      if (!stored) {
        rollback();
        return false;
      }
      if (!history_of_creation(*this, rec, record, error)) return rollback(), false;
    }
    for (const Notification& c : cleared) {
      if (!journal(c, error)) {
        rollback();
        return false;
      }
    }
    if (!journal({"OBJECT_CREATED", format_object_name(rec), record_class(type),
                  attribute_list_info(record)},
                 error)) {
      rollback();
      return false;
    }
    ids.push_back(rec.record_id);
  }
  if (!commit(error)) return false;
  record_ids = ids;
  return true;
}

}  // namespace nxmp_mis
