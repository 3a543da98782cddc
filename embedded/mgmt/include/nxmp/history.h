// The record history of the embedded MIS: every change the MIS makes to a
// log record (creation, each state change, a clear by a clear notification,
// deletion) leaves one entry, written in the change's own transaction, that
// outlives the record. Read here; and purge, which deletes the records a
// condition selects in one transaction.
#pragma once

#include <string>
#include <vector>

namespace nxmp_mis {

struct HistoryEntry {
  long long seq = 0;          // order of the changes (the journal's order)
  std::string log;            // the log's object name text
  long record_id = 0;
  std::string kind;           // created, acked, unacked, cleared, ... deleted
  std::string state_before;   // "ack/clear/display" states; empty: no record
  std::string state_after;
  std::string op;             // operator
  std::string time;           // 14 digits, local time
  std::string text;
  bool has_text = false;
  std::string origin;         // host/pid of the writer
  long by_record = 0;         // clearedByNotification: the clearing record
};

struct HistoryResult {
  bool ok = false;
  std::string error;
  std::vector<HistoryEntry> entries;
};

// The entries of one record of a log (named by its object name text),
// oldest first; none for an unknown record.
HistoryResult record_history(const std::string& log_name, long record_id);

// The entries of a log at or after since (14 digits; empty: all), oldest
// first, at most limit (> 0).
HistoryResult log_history(const std::string& log_name, const std::string& since, long limit);

struct PurgeResult {
  bool ok = false;
  std::string error;
  long deleted = 0;
};

// Deletes the records of the log matching condition (an SQL condition over
// the record tables' columns as the query layer writes it; never empty) in
// one transaction: each sends its OBJECT_DESTROYED and leaves its history
// entry. Then drops history entries older than NX_HISTORY_DAYS days when
// that is set. Nothing is deleted on failure.
PurgeResult purge_records(const std::string& log_name, const std::string& condition);

}  // namespace nxmp_mis
