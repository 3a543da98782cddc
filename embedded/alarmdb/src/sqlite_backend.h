// The SQLite engine behind the client classes.
#pragma once

#include <memory>
#include <string>

#include "nxdb/backend.h"

namespace nxdb {

// Opens (or with kCreate makes) the database file in WAL mode, with
// case-sensitive LIKE and foreign keys on. Null with error set on failure.
std::unique_ptr<Backend> open_sqlite(const std::string& path, OpenMode mode, std::string& error);

}  // namespace nxdb
