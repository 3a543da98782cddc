// Parameter markers of the client's SQL ("?", "?N") in PostgreSQL's form
// ("$N"). Markers inside string literals, quoted identifiers and comments are
// left alone.
#pragma once

#include <string>
#include <string_view>

namespace nxdb {

// False with error set for an unterminated literal or comment, or a marker
// number out of range. parameters: the highest parameter number used.
bool postgres_placeholders(std::string_view sql, std::string& out, int& parameters,
                           std::string& error);

}  // namespace nxdb
