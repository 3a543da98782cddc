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
// other statements run at their first step. replan: sent with its text at
// every run, so the server plans it for the tables as they are then.
std::unique_ptr<Statement> make_statement(Connection& conn, std::string sql, int parameters,
                                          ResultHandle description, unsigned long long serial,
                                          bool replan = false);

// A statement prepared under a name of its own on one server connection
// (session) and kept there for reuse. Broken once the server no longer runs
// it as prepared; then it is prepared afresh.
struct NamedStatement {
  std::string name;
  unsigned long long session = 0;
  bool broken = false;
};

// A statement that runs the kept one while the connection's server session
// is the one it was prepared on, and its own SQL otherwise.
std::unique_ptr<Statement> make_kept_statement(Connection& conn, std::shared_ptr<NamedStatement> named,
                                               std::string sql, int parameters, ResultHandle description);

// Cancel requests this process sent for streams left before their end.
unsigned long long cancel_requests();

}  // namespace nxdb::pg
