#include "db/record_counter.h"

#include "db/log_tables.h"
#include "db/table_specs.h"

namespace {

// Adds the matching rows of one table of the log to count.
ReadResult count_table(LogTables& tables, const TableSpec& spec, const std::string& condition,
                       int& count) {
  const std::string table = tables.table(spec);
  if (table.empty()) return ReadResult::kNoTable;
  NXDBSet set;
  if (!tables.db().executeQuery(select_statement("COUNT(*)", table, condition), set)) {
    return ReadResult::kFailed;
  }
  NXDBRow row;
  if (!set.getNextRow(row)) return ReadResult::kFailed;
  int rows = 0;
  row.at(0) >> rows;
  count += rows;
  return ReadResult::kRead;
}

}  // namespace

bool count_log_records(const std::string& log_fdn, const std::string& condition, int& count) {
  count = 0;
  LogTables tables(log_fdn);
  if (!tables.connected()) return false;
  int alarms = 0;
  const ReadResult alarm_table = count_table(tables, kAlarmTable, condition, alarms);
  if (alarm_table == ReadResult::kFailed) return false;
  if (alarm_table == ReadResult::kNoTable) return true;
  int total = alarms;
  for (const TableSpec* spec : {&kInternetTable, &kNerveCenterTable}) {
    if (count_table(tables, *spec, condition, total) == ReadResult::kFailed) return false;
  }
  count = total;
  return true;
}
