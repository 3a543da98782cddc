// Session set-up and the log-directory lookup.
#include <cstdio>
#include <cstdlib>

#include "db/database_impl.h"

namespace {

// Doubles single quotes so a value can never end its SQL literal early.
std::string quoted(const std::string& value) {
  std::string out = "'";
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
  return out;
}

}  // namespace

void DatabaseImpl::set_lockmode(NXDBInterface& db) {
  const char* wait = Installation::getenv("NX_LOG_MPA_DEADLOCK_TIMEOUT");
  std::string seconds = wait != nullptr ? wait : "120";
  db.executeQuery("set lock mode to wait " + seconds);
}

std::string DatabaseImpl::get_ilogname(NXDBInterface& db, std::string log_id,
                                       const std::string& record_type) {
  std::string value;
  std::string type;
  const std::string::size_type colon = log_id.find(':');
  if (colon == std::string::npos) {
    value = log_id;
    type = "string";
  } else {
    value = log_id.substr(colon + 1);
    if (log_id.compare(0, colon, "string") == 0) {
      type = "string";
      // A quote at one end only means the name was cut; such a name could
      // match another log, so it matches none.
      const bool open = !value.empty() && value.front() == '"';
      const bool close = value.size() >= 2 && value.back() == '"';
      if (open != close || (value.size() == 1 && value[0] == '"')) return {};
      if (open) value = value.substr(1, value.size() - 2);
    } else {
      type = "integer";
    }
  }
  const std::string statement =
      "SELECT nxlogname FROM nxlog , log WHERE log.nxlogid = nxlog.nxlogid AND log.nxlogid = " +
      quoted(value) + " AND log.logidtype = " + quoted(type) +
      " AND nxlogrecordtype = " + quoted(record_type) + ";";
  const char* debug = std::getenv("NX_DB_DEBUG");
  if (debug != nullptr && *debug != '\0' && std::string(debug) != "0") {
    std::printf("%s\n", statement.c_str());
    std::fflush(stdout);
  }
  std::string table;
  NXDBRow row;
  if (db.executeQuery(statement, row)) row >> table;
  return table;
}
