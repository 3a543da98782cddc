// The counter: how many of a log's records match a condition, over its
// alarm record, internet alarm and Nerve Center alarm tables.
#pragma once

#include <string>

// Sets count to the number of the log's records matching condition (empty:
// all). True unless the database cannot be opened or a query fails; a log
// without alarm record table counts 0, a missing other table adds nothing.
bool count_log_records(const std::string& log_fdn, const std::string& condition, int& count);
