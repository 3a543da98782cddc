// Reading PostgreSQL results: the types of columns and cells, failures as
// messages, bytea values.
#pragma once

#include <libpq-fe.h>

#include <string>
#include <string_view>

#include "nxdb/backend.h"

namespace nxdb::pg {

// Type OIDs of the built-in types the schema uses (pg_type.h).
inline constexpr Oid kBoolOid = 16, kByteaOid = 17, kInt8Oid = 20, kInt2Oid = 21, kInt4Oid = 23,
                     kOidOid = 26, kFloat4Oid = 700, kFloat8Oid = 701, kTimestampOid = 1114,
                     kTimestampTzOid = 1184, kNumericOid = 1700;

// The column kind a column of the type holds.
ColumnKind kind_of_type(Oid type);

// A libpq message without its trailing newline and blanks.
std::string trimmed_message(const char* text);

// The text of a failed result. A lock wait that ran out (lock_timeout) and a
// change refused by a read-only session say so, and are noted for callers
// that only learn that something failed.
std::string result_failure(const PGresult* r, PGconn* c, int lock_wait_seconds);

// bytea's text output ("\x" and hex digits; bytea_output is set to hex).
bool decode_bytea(std::string_view text, std::string& out);

}  // namespace nxdb::pg
