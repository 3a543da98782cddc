#include "db/database_impl.h"

#include "db/log_tables.h"
#include "db/record_counter.h"

void DatabaseImpl::set_lockmode(NXDBInterface& db) { LogTables::set_lockmode(db); }

std::string DatabaseImpl::get_ilogname(NXDBInterface& db, const std::string& log_id,
                                       const std::string& record_type) {
  return LogTables::get_ilogname(db, log_id, record_type);
}

bool DatabaseImpl::stream_log_fields(const std::string& log_fdn, const std::string& condition,
                                     const std::vector<AlarmAttributeId>& wanted,
                                     const FieldSink& sink) {
  return read_log_fields(log_fdn, condition, wanted, sink);
}

bool DatabaseImpl::get_log_count_from_database(const std::string& log_fdn, int& count,
                                               const std::string& condition) {
  return count_log_records(log_fdn, condition, count);
}
