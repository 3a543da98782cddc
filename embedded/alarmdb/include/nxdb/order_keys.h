// The expressions alarm records are ordered by, and the indexes that serve
// them. Readers sort by exactly these texts, so that each engine matches the
// ORDER BY and the keyset condition of a page with an index. Also the other
// indexes log tables gained after their first layout.
#pragma once

#include <string>

class NXDBInterface;

namespace nxdb {

// A time with no value orders as this time, the earliest a column takes:
// keys are never NULL, so a keyset comparison needs no NULL cases.
inline constexpr const char* kNoTimeOrder = "0001-01-01 00:00:00";

// COALESCE(column, '0001-01-01 00:00:00').
std::string time_order_key(const std::string& column);

// The severity's rank: critical 5, major 4, minor 3, warning 2,
// indeterminate 1, cleared 0, anything else (none) -1.
const std::string& severity_rank_key();

// The CREATE INDEX statements of a log table's order indexes (event time,
// logging time, severity rank then event time; each then the record id),
// ';'-terminated. if_missing: CREATE INDEX IF NOT EXISTS.
std::string order_index_sql(const std::string& table, bool if_missing);

// The index of a managed object's alarms by clear state, (moi_id,
// clearstate): a clear finds the object's open alarms in it without reading
// the object's cleared ones, and "moid" filters use its first column.
std::string clear_match_index_name(const std::string& table);
std::string clear_match_index_sql(const std::string& table, bool if_missing);

// Adds the order and clear-match indexes a log table of the directory lacks
// (databases made before they existed), and drops the single-column index
// on moi_id the clear-match index replaces. False with error set on failure.
bool ensure_log_indexes(NXDBInterface& db, std::string& error);

}  // namespace nxdb
