// The history of alarm records and purge, for the natives: the entries the
// MIS wrote for every change of a record, read by record or by log, and the
// deletion of the records a query selects.
#pragma once

#include <string>
#include <vector>

#include "platform/mis_history.h"

class AlarmQuery;

// The record id of a client's text ("17" or "number:17"); 0 when it names
// no record.
long history_record_id(const std::string& text);

// The entries of one record of a log (named by its full name), oldest first;
// none for an unknown record. False with error set when they cannot be read.
bool alarm_history(const std::string& log_name, long record_id, std::vector<StateChangeEntry>& out,
                   std::string& error);

// The entries of a log since a time (14 digits; empty: all), oldest first,
// at most limit. A limit below 1 is refused.
bool log_history(const std::string& log_name, const std::string& since, long limit,
                 std::vector<StateChangeEntry>& out, std::string& error);

enum class PurgeOutcome { kDone, kNoSelection, kBadQuery, kFailed };

// Deletes the records of the log that the query selects, in one
// transaction. A query that selects without a condition (no filters) is
// refused: purging every record must be asked for by filters that say so.
PurgeOutcome purge_alarms(const std::string& log_name, const AlarmQuery& query, long& deleted,
                          std::string& error);
