// The short key the record history is indexed by. Entries are selected by
// log; keyed by the log's object name text (some 50 bytes) the index was so
// wide that a bulk change, inserting all over it, dirtied most of its pages.
// The key is a hash of that text: queries filter on both the key and the
// text, so two logs whose keys collide never see each other's entries.
#pragma once

#include <string>
#include <string_view>

#include "nxdb/backend.h"

namespace nxmp_mis {

// The log_key of a log's object name text: FNV-1a 64 with the top bit
// cleared, so that it is a non-negative BIGINT on every engine. Stored in
// every entry: it must never change.
long long history_log_key(std::string_view log_text);

// The history's indexes, for the schema script (IF NOT EXISTS).
extern const char kHistoryIndexes[];

// Whether the history table has its log_key column; false with error set
// when the catalog could not be read.
bool history_has_log_key(nxdb::Backend& db, bool& has, std::string& error);

// A history table of the earlier layout (no log_key) is brought to today's
// in one transaction: the column added and filled for every log, the
// indexes on the log text replaced by those on the key. Nothing to do when
// there is no history table or it has the key. Not for a read-only
// database (its reads filter on the text alone).
bool upgrade_history_layout(nxdb::Backend& db, std::string& error);

}  // namespace nxmp_mis
