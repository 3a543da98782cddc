// Writing the record history: one entry per change of a log record, in the
// transaction of the change (the writer connection's open transaction), so
// that a change that rolls back leaves none. See nxmp/history.h.
#pragma once

#include <string>

#include "mis/mis.h"
#include "mis/statement_source.h"
#include "nxdb/backend.h"

namespace nxmp_mis {

// The history table and its indexes, for the connection's schema script.
std::string history_ddl(nxdb::Backend& db);

// Who writes the entries of this process: the effective user's login name,
// and host/pid; looked up once per process (again after a fork).
const std::string& history_user();
const std::string& history_origin();
// A record's states as an entry names them: "ack/clear/display".
std::string history_states(const Values& values);
// The time of a change that stamps none, as digits (YYYYMMDDHHMMSS).
std::string history_now_digits();

// The writers below take their statements from a StatementSource: a Mis
// member passes the Mis (inside a unit of work its statements are prepared
// once per unit); the nxdb::Backend forms prepare one per entry.

// An update of a record's attributes: one entry per state attribute it sets
// (one "changed" entry when it sets none). before: the record as it was.
bool history_of_update(StatementSource& db, const ObjectRef& record, const Values& before,
                       const Values& changes, std::string& error);
// A record logged with these values.
bool history_of_creation(StatementSource& db, const ObjectRef& record, const Values& values,
                         std::string& error);
// A record of table cleared (just now, at time when, by op) by the clear
// notification logged as record by_record.
bool history_of_clear_by(StatementSource& db, const std::string& table, const ObjectRef& record,
                         const std::string& when, const std::string& op, long by_record,
                         std::string& error);
// A record deleted; before: the record as it was.
bool history_of_deletion(StatementSource& db, const ObjectRef& record, const Values& before,
                         std::string& error);

// Raises max_id to the highest record id the log's history still names, so
// that a new record never takes the id (and the history) of a deleted one.
bool history_keeps_ids(nxdb::Backend& db, const ObjectRef& log, long long& max_id, std::string& error);

// NX_HISTORY_DAYS: 0 (keep all) when unset or empty; false with error set
// when it is not a whole number of days.
bool history_retention_days(long& days, std::string& error);
// Drops the entries older than days days.
bool expire_history(nxdb::Backend& db, long days, std::string& error);

}  // namespace nxmp_mis
