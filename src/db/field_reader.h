// The field reader: the wanted attributes of a log's records, streamed one
// record at a time, selecting only the columns they come from.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "db/record_fields.h"
#include "model/alarm_attribute.h"

// Called with each record's fields as they are read; returning false stops
// the read (which then still succeeds: what was delivered is complete).
using FieldSink = std::function<bool(const RecordFields& fields)>;

// Reads the log's records matching condition (empty: all) from its alarm
// record table, then its internet and Nerve Center alarm tables, handing
// each to sink with the texts its attribute map would hold for wanted.
// False when the database cannot be opened, the alarm record table is
// missing, or any query or fetch fails (the other two tables may be missing).
bool read_log_fields(const std::string& log_fdn, const std::string& condition,
                     const std::vector<AlarmAttributeId>& wanted, const FieldSink& sink);
