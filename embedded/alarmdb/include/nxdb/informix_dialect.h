// Translation of the Informix SQL this system writes into what another
// engine speaks. Only these forms are rewritten; everything else, and every
// string literal, passes through byte for byte:
//   DATETIME (yyyy-mm-dd hh:mm:ss) YEAR TO SECOND   a time literal
//   SET LOCK MODE TO WAIT [n] | SET LOCK MODE TO NOT WAIT
//                                                   a session lock wait
// Case-sensitive LIKE with ESCAPE is kept as written; engines make LIKE
// case-sensitive on their side (SQLite: per connection).
// A form that starts like one of these but is malformed is an error: the
// statement is refused rather than run with a different meaning.
#pragma once

#include <string>
#include <string_view>

#include "nxdb/backend.h"

namespace nxdb {

struct Translation {
  enum class Kind { kStatement, kLockWait, kError };
  Kind kind = Kind::kError;
  std::string sql;            // kStatement: the engine's SQL
  int lock_wait_seconds = 0;  // kLockWait: seconds, 0 no wait, -1 forever
  std::string error;          // kError: what was wrong
};

Translation translate_informix(std::string_view sql, Dialect target);

}  // namespace nxdb
