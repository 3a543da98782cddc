// One line of `nxalarm-db ingest` input: a JSON object with the fields of
// `raise`.
#pragma once

#include <string>
#include <string_view>

#include "nxmp/mis.h"

// {"log": "AlarmLog" | 42, "type": T, "severity": S, "moi": NAME, "moc": CLASS,
//  "cause": 5 | "name", "text": T (optional), "eventTime": "YYYYMMDDhhmmss" or
//  "YYYY-MM-DD hh:mm:ss" (optional)}. False, error saying why, for anything
// else: bad JSON, not an object, a field missing, of the wrong kind or unknown.
bool parse_alarm_line(std::string_view line, nxmp_mis::AlarmNotification& out, std::string& error);
