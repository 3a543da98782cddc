// Small statement runners the MIS uses on its connections.
#pragma once

#include <string>
#include <vector>

#include "nxdb/backend.h"

namespace nxmp_mis {

// Runs a statement to its end; rows are ignored.
bool exec(nxdb::Backend& db, const std::string& sql, const std::vector<std::string>& params,
          std::string& error);

// One integer of a query's first row (0 when NULL or no row).
bool query_long(nxdb::Backend& db, const std::string& sql, const std::vector<std::string>& params,
                long long& out, std::string& error);

// A name that can be put into SQL as it is: letters, digits and '_'.
bool safe_identifier(const std::string& name);

}  // namespace nxmp_mis
