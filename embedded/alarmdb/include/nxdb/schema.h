// The alarm-log database schema: the log directory, the managed-object
// identities and one table per record type of each log. docs/schema.md
// describes it for anyone writing to the database.
#pragma once

#include <string>
#include <vector>

#include "nxdb/backend.h"

class NXDBInterface;

namespace nxdb {

struct ColumnDef {
  const char* name;
  ColumnKind kind;
};

// A record type the schema keeps tables for.
struct RecordType {
  const char* code;          // the directory's nxlogrecordtype, e.g. "nxAlm"
  const char* table_prefix;  // per-log tables are <prefix>_<log key>
  std::vector<ColumnDef> columns;  // in table order, blob and moi_id included
};

// The alarm record, internet alarm and Nerve Center alarm types, in that order.
const std::vector<RecordType>& alarm_record_types();
const RecordType* find_record_type(const std::string& code);

// Creates the directory and identity tables when missing. False with error
// set on failure.
bool create_schema(NXDBInterface& db, std::string& error);

// Enters a log in the directory and creates its tables, in one transaction.
// number: the identifier is a decimal number ("integer" log), else a string.
// Refuses a log id that is already there (of either form), empty, or not a
// number when number is set.
bool create_log(NXDBInterface& db, const std::string& log_id, bool number, std::string& error);

// The table of one record type of a log, from the directory ("" if none).
std::string log_table_name(NXDBInterface& db, const std::string& log_id, bool number,
                           const std::string& record_type);

}  // namespace nxdb
