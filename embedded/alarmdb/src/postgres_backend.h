// The PostgreSQL engine behind the client classes (libpq).
#pragma once

#include <memory>
#include <string>

#include "nxdb/backend.h"

namespace nxdb {

// Connects to the server the URI names. Every connection gets a connect
// time-out, TCP keep-alives and a statement time-out (the URI's own settings
// win), ISO dates and UTC-free timestamps. Null with error set on failure.
std::unique_ptr<Backend> open_postgres(const std::string& uri, std::string& error);

}  // namespace nxdb
