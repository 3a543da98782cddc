#include "nxdb/order_keys.h"

#include <vector>

#include "nxdb/interface.h"

namespace nxdb {

std::string time_order_key(const std::string& column) {
  return "COALESCE(" + column + ", '" + kNoTimeOrder + "')";
}

const std::string& severity_rank_key() {
  static const std::string key =
      "(CASE perceivedseverity WHEN 'critical' THEN 5 WHEN 'major' THEN 4 WHEN 'minor' THEN 3"
      " WHEN 'warning' THEN 2 WHEN 'indeterminate' THEN 1 WHEN 'cleared' THEN 0 ELSE -1 END)";
  return key;
}

std::string order_index_sql(const std::string& table, bool if_missing) {
  const std::string create = if_missing ? "CREATE INDEX IF NOT EXISTS " : "CREATE INDEX ";
  const std::string event = time_order_key("eventtime");
  std::string sql;
  sql += create + table + "_order_eventtime ON " + table + " (" + event + ", logrecordid);\n";
  sql += create + table + "_order_loggingtime ON " + table + " (" + time_order_key("loggingtime") +
         ", logrecordid);\n";
  sql += create + table + "_order_severity ON " + table + " (" + severity_rank_key() + ", " + event +
         ", logrecordid);\n";
  for (const char* state_time : {"acktime", "cleartime", "displaytime"}) {
    sql += create + table + "_order_" + state_time + " ON " + table + " (" + time_order_key(state_time) +
           ", logrecordid);\n";
  }
  return sql;
}

std::string clear_match_index_name(const std::string& table) { return table + "_moi_id_clearstate"; }

std::string clear_match_index_sql(const std::string& table, bool if_missing) {
  return std::string(if_missing ? "CREATE INDEX IF NOT EXISTS " : "CREATE INDEX ") +
         clear_match_index_name(table) + " ON " + table + " (moi_id, clearstate);\n";
}

bool ensure_log_indexes(NXDBInterface& connection, std::string& error) {
  Backend* db = connection.backend();
  if (db == nullptr) {
    error = connection.lastError();
    return false;
  }
  if (!db->table_exists("nxlog")) return true;
  std::vector<std::string> tables;
  {
    auto st = db->prepare(
        "SELECT nxlogname FROM nxlog WHERE nxlogrecordtype IN ('nxAlm', 'nxInt', 'NrvCt')", error);
    if (!st) return false;
    StepResult r;
    while ((r = st->step()) == StepResult::kRow) tables.emplace_back(st->cell_text(0));
    if (r == StepResult::kError) {
      error = st->error();
      return false;
    }
  }
  for (const std::string& table : tables) {
    // Directory names come from the tool, but are checked before they go
    // into DDL all the same.
    bool plain = !table.empty();
    for (char c : table) plain = plain && ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_');
    if (!plain) {
      error = "the log directory names a table that is no plain identifier: " + table;
      return false;
    }
    if (!db->table_exists(table)) continue;
    if (!db->exec_script(order_index_sql(table, true) + clear_match_index_sql(table, true) +
                             "DROP INDEX IF EXISTS " + table + "_moi_id;\n",
                         error)) {
      return false;
    }
  }
  return true;
}

}  // namespace nxdb
