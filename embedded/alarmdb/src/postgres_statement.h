// Statements on a PostgreSQL connection.
#pragma once

#include <memory>
#include <string>

#include "nxdb/backend.h"
#include "postgres_connection.h"
#include "postgres_handles.h"

namespace nxdb::pg {

// A statement prepared under the unnamed name as `serial`, described by
// `description`. Queries stream their rows one at a time (single-row mode);
// other statements run at their first step.
std::unique_ptr<Statement> make_statement(Connection& conn, std::string sql, int parameters,
                                          ResultHandle description, unsigned long long serial);

// Cancel requests this process sent for streams left before their end.
unsigned long long cancel_requests();

}  // namespace nxdb::pg
