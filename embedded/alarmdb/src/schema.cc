#include "nxdb/schema.h"

#include "nxdb/order_keys.h"

#include <cctype>

#include "nxdb/interface.h"
#include "nxdb/write_transaction.h"

namespace nxdb {
namespace {

using K = ColumnKind;

// The common event columns, in select-list order, blob last.
const std::vector<ColumnDef>& common_columns() {
  static const std::vector<ColumnDef> kColumns = {
      {"loggingtime", K::kTime},      {"eventname", K::kText},
      {"moc_s", K::kText},            {"moi_s", K::kText},
      {"eventtime", K::kTime},        {"notificationid", K::kInteger},
      {"correlatednotifs", K::kText}, {"additionaltext", K::kText},
      {"additionalinfo_s", K::kText}, {"logrectype", K::kText},
      {"logrecordid", K::kInteger},   {"blob", K::kBlob},
  };
  return kColumns;
}

// The twelve acknowledge, clear and display columns every alarm type has.
const std::vector<ColumnDef>& state_columns() {
  static const std::vector<ColumnDef> kColumns = {
      {"ackstate", K::kText},     {"acktime", K::kTime},         {"ackoperator", K::kText},
      {"acktext", K::kText},      {"clearstate", K::kText},      {"cleartime", K::kTime},
      {"clearoperator", K::kText}, {"cleartext", K::kText},      {"displaystate", K::kText},
      {"displaytime", K::kTime},  {"displayoperator", K::kText}, {"displaytext", K::kText},
  };
  return kColumns;
}

std::vector<ColumnDef> table_columns(std::vector<ColumnDef> own, bool with_states,
                                     std::vector<ColumnDef> after_states) {
  std::vector<ColumnDef> all = common_columns();
  all.insert(all.end(), own.begin(), own.end());
  if (with_states) all.insert(all.end(), state_columns().begin(), state_columns().end());
  all.insert(all.end(), after_states.begin(), after_states.end());
  // The key of the managed object (table nxmoid) that "moid" filters compare.
  all.push_back({"moi_id", K::kInteger});
  return all;
}

// Indexed columns of every per-log table; the first is unique. moi_id is
// indexed with the clear state (clear_match_index_sql).
const char* const kIndexed[] = {"logrecordid", "perceivedseverity", "ackstate", "clearstate", "eventtime"};

bool valid_log_id(const std::string& id, bool number, std::string& error) {
  if (id.empty()) {
    error = "empty log identifier";
    return false;
  }
  if (id.size() > 254) {
    error = "log identifier longer than 254 characters";
    return false;
  }
  for (char c : id) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      error = "log identifier holds a control character";
      return false;
    }
    if (number && !std::isdigit(static_cast<unsigned char>(c))) {
      error = "log number is not a decimal number: " + id;
      return false;
    }
  }
  return true;
}

// Runs one statement with text parameters; true when it completed.
bool run(Backend& db, const char* sql, std::initializer_list<std::string> params,
         std::string& error) {
  auto st = db.prepare(sql, error);
  if (!st) return false;
  int index = 1;
  for (const std::string& p : params) {
    if (!st->bind_text(index++, p)) {
      error = st->error();
      return false;
    }
  }
  StepResult r;
  while ((r = st->step()) == StepResult::kRow) {
  }
  if (r == StepResult::kError) error = st->error();
  return r == StepResult::kDone;
}

std::string create_table_sql(Backend& db, const std::string& table, const RecordType& type) {
  std::string sql = "CREATE TABLE " + table + " (\n";
  bool first = true;
  for (const ColumnDef& c : type.columns) {
    if (!first) sql += ",\n";
    first = false;
    sql += "  ";
    sql += c.name;
    sql += ' ';
    sql += db.column_type(c.kind);
    if (std::string(c.name) == "logrecordid") sql += " NOT NULL";
    if (c.kind == K::kTime) {
      std::string check = db.time_check(c.name);
      if (!check.empty()) sql += " " + check;
    }
  }
  sql += "\n);\n";
  bool unique = true;
  for (const char* column : kIndexed) {
    sql += unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ";
    sql += table + "_" + column + " ON " + table + " (" + column + ");\n";
    unique = false;
  }
  sql += clear_match_index_sql(table, false);
  sql += order_index_sql(table, false);
  return sql;
}

}  // namespace

const std::vector<RecordType>& alarm_record_types() {
  static const std::vector<RecordType> kTypes = {
      {"nxAlm", "nxalm",
       table_columns({{"probablecause_s", K::kText},
                      {"perceivedseverity", K::kText},
                      {"specificproblems", K::kText},
                      {"backedupstatus", K::kText},
                      {"backupobject", K::kText},
                      {"trendindication", K::kText},
                      {"thresholdinfo_s", K::kText},
                      {"statechangedef_s", K::kText},
                      {"monitoredattribs", K::kText},
                      {"proposedrpracts", K::kText}},
                     true, {})},
      {"nxInt", "nxint",
       table_columns({{"probablecause_s", K::kText},
                      {"attributeidlist_s", K::kText},
                      {"objectinstancelsts", K::kText},
                      {"snmpvarbindlist_s", K::kText},
                      {"internettrapinfo_s", K::kText},
                      {"perceivedseverity", K::kText},
                      {"transportdomain_s", K::kText},
                      {"accesscontrolinfos", K::kText}},
                     true, {})},
      {"NrvCt", "nrvct",
       table_columns({{"probablecause_s", K::kText},
                      {"perceivedseverity", K::kText},
                      {"specificproblems_s", K::kText},
                      {"backedupstatus", K::kText},
                      {"backupobject", K::kText},
                      {"trendindication", K::kText},
                      {"thresholdinfo_s", K::kText},
                      {"statechangedef_s", K::kText},
                      {"monitoredattribs", K::kText},
                      {"proposedrpractions", K::kText}},
                     true, {{"mosiseverity", K::kInteger}, {"mosistateid", K::kInteger}})},
  };
  return kTypes;
}

const RecordType* find_record_type(const std::string& code) {
  for (const RecordType& t : alarm_record_types()) {
    if (code == t.code) return &t;
  }
  return nullptr;
}

bool create_schema(NXDBInterface& connection, std::string& error) {
  Backend* db = connection.backend();
  if (db == nullptr) {
    error = connection.lastError();
    return false;
  }
  const std::string text = db->column_type(K::kText);
  const std::string directory =
      "CREATE TABLE IF NOT EXISTS log (\n"
      "  nxlogid " + text + " NOT NULL PRIMARY KEY,\n"
      "  logidtype " + text + " NOT NULL CHECK (logidtype IN ('string', 'integer'))\n"
      ");\n"
      "CREATE TABLE IF NOT EXISTS nxlog (\n"
      "  nxlogid " + text + " NOT NULL REFERENCES log (nxlogid),\n"
      "  nxlogname " + text + " NOT NULL UNIQUE,\n"
      "  nxlogrecordtype " + text + " NOT NULL,\n"
      "  PRIMARY KEY (nxlogid, nxlogrecordtype)\n"
      ");\n"
      "CREATE TABLE IF NOT EXISTS nxmoid (\n"
      "  moi_id " + db->identity_column() + ",\n"
      "  moi_ber " + db->column_type(K::kBlob) + " NOT NULL UNIQUE\n"
      ");\n";
  WriteTransaction tx(*db);
  if (!tx.begin(error)) return false;
  // Log tables made before their later indexes existed get them here: init
  // is how a database is brought up to date.
  return db->exec_script(directory, error) && tx.commit(error) && ensure_log_indexes(connection, error);
}

bool create_log(NXDBInterface& connection, const std::string& log_id, bool number,
                std::string& error) {
  Backend* db = connection.backend();
  if (db == nullptr) {
    error = connection.lastError();
    return false;
  }
  if (!valid_log_id(log_id, number, error)) return false;
  if (!db->table_exists("log") || !db->table_exists("nxlog")) {
    error = "the database has no log directory (run init first)";
    return false;
  }
  WriteTransaction tx(*db);
  if (!tx.begin(error)) return false;
  {
    auto st = db->prepare("SELECT logidtype FROM log WHERE nxlogid = ?1", error);
    if (!st || !st->bind_text(1, log_id)) return false;
    StepResult r = st->step();
    if (r == StepResult::kRow) {
      error = "log " + log_id + " already exists (as " + std::string(st->cell_text(0)) + ")";
      return false;
    }
    if (r == StepResult::kError) {
      error = st->error();
      return false;
    }
  }
  // Table names never come from the log identifier (which may hold any
  // character): each log gets the first free number.
  long key = 1;
  for (;; ++key) {
    bool taken = false;
    for (const RecordType& t : alarm_record_types()) {
      taken = taken || db->table_exists(std::string(t.table_prefix) + "_" + std::to_string(key));
    }
    if (!taken) break;
  }
  if (!run(*db, "INSERT INTO log (nxlogid, logidtype) VALUES (?1, ?2)",
           {log_id, number ? "integer" : "string"}, error)) {
    return false;
  }
  for (const RecordType& t : alarm_record_types()) {
    const std::string table = std::string(t.table_prefix) + "_" + std::to_string(key);
    if (!db->exec_script(create_table_sql(*db, table, t), error)) return false;
    if (!run(*db, "INSERT INTO nxlog (nxlogid, nxlogname, nxlogrecordtype) VALUES (?1, ?2, ?3)",
             {log_id, table, t.code}, error)) {
      return false;
    }
  }
  return tx.commit(error);
}

std::string log_table_name(NXDBInterface& connection, const std::string& log_id, bool number,
                           const std::string& record_type) {
  Backend* db = connection.backend();
  if (db == nullptr) return {};
  std::string error;
  auto st = db->prepare(
      "SELECT nxlogname FROM nxlog, log WHERE log.nxlogid = nxlog.nxlogid AND "
      "log.nxlogid = ?1 AND log.logidtype = ?2 AND nxlogrecordtype = ?3",
      error);
  if (!st || !st->bind_text(1, log_id) || !st->bind_text(2, number ? "integer" : "string") ||
      !st->bind_text(3, record_type)) {
    return {};
  }
  if (st->step() != StepResult::kRow) return {};
  return std::string(st->cell_text(0));
}

}  // namespace nxdb
