#include "db/log_tables.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "db/database_impl.h"
#include "db/table_specs.h"

namespace {

// A table name from the directory goes into FROM as it stands, so it must be
// a plain identifier.
bool plain_identifier(const std::string& name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

// Doubles single quotes so a value can never end its SQL literal early.
std::string quoted(const std::string& value) {
  std::string out = "'";
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
  return out;
}

}  // namespace

LogTables::LogTables(const std::string& log_fdn) {
  DatabaseImpl::get_mis_and_log_from_fdn(log_fdn, mis_, log_);
  auto db = std::make_unique<NXDBInterface>(NXDBConnectInfo(mis_, 1));
  if (db->isConnected()) db_ = std::move(db);
}

std::string LogTables::table(const TableSpec& spec) {
  if (!looked_up_) {
    // The lock wait is the session's: set once for all the log's tables.
    set_lockmode(*db_);
    present_ = get_present_ilognames(*db_, log_);
    looked_up_ = true;
  }
  auto it = present_.find(spec.code);
  if (it == present_.end() || !plain_identifier(it->second)) return {};
  return it->second;
}

std::string select_statement(const std::string& what, const std::string& table,
                             const std::string& condition) {
  std::string statement = "SELECT " + what + " FROM " + table;
  if (!condition.empty()) statement += " WHERE " + condition;
  return statement;
}

void LogTables::set_lockmode(NXDBInterface& db) {
  const char* wait = Installation::getenv("NX_LOG_MPA_DEADLOCK_TIMEOUT");
  std::string seconds = wait != nullptr ? wait : "120";
  db.executeQuery("set lock mode to wait " + seconds);
}

namespace {

// The directory's condition for the log log_id; false when the id is
// refused (then no table matches).
bool log_condition(const std::string& log_id, std::string& condition) {
  std::string value;
  std::string type;
  const std::string::size_type colon = log_id.find(':');
  if (colon == std::string::npos) {
    value = log_id;
    type = "string";
  } else {
    value = log_id.substr(colon + 1);
    if (log_id.compare(0, colon, "string") == 0) {
      type = "string";
      // A quote at one end only means the name was cut; such a name could
      // match another log, so it matches none.
      const bool open = !value.empty() && value.front() == '"';
      const bool close = value.size() >= 2 && value.back() == '"';
      if (open != close || (value.size() == 1 && value[0] == '"')) return false;
      if (open) value = value.substr(1, value.size() - 2);
    } else {
      type = "integer";
    }
  }
  condition = "log.nxlogid = nxlog.nxlogid AND log.nxlogid = " + quoted(value) +
              " AND log.logidtype = " + quoted(type);
  return true;
}

void debug_print(const std::string& statement) {
  const char* debug = std::getenv("NX_DB_DEBUG");
  if (debug != nullptr && *debug != '\0' && std::string(debug) != "0") {
    std::printf("%s\n", statement.c_str());
    std::fflush(stdout);
  }
}

}  // namespace

std::string LogTables::get_ilogname(NXDBInterface& db, const std::string& log_id,
                                    const std::string& record_type) {
  std::string condition;
  if (!log_condition(log_id, condition)) return {};
  const std::string statement = "SELECT nxlogname FROM nxlog , log WHERE " + condition +
                                " AND nxlogrecordtype = " + quoted(record_type) + ";";
  debug_print(statement);
  std::string table;
  NXDBRow row;
  if (db.executeQuery(statement, row)) row >> table;
  return table;
}

std::map<std::string, std::string> LogTables::get_present_ilognames(NXDBInterface& db,
                                                                    const std::string& log_id) {
  std::map<std::string, std::string> names;
  std::string condition;
  const std::string exists = NXDBTable::existsCondition(db, "nxlogname");
  if (exists.empty() || !log_condition(log_id, condition)) return names;
  // Whether each table is there comes with its name: one round trip for
  // the whole directory, not one more per table.
  const std::string statement = "SELECT nxlogrecordtype, nxlogname FROM nxlog , log WHERE " +
                                condition + " AND " + exists + ";";
  debug_print(statement);
  NXDBSet set;
  if (!db.executeQuery(statement, set)) return names;
  NXDBRow row;
  while (set.getNextRow(row)) {
    std::string type;
    std::string table;
    row.at(0) >> type;
    row.at(1) >> table;
    names.emplace(type, table);
  }
  return names;
}
