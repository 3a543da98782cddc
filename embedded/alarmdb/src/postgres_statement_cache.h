// Statements kept prepared on one PostgreSQL server connection, by their
// SQL. A read that runs again what an earlier read ran (a page, a count, a
// log's table lookup) then sends each statement in one round trip, where
// preparing and describing it first takes two more. The connection's pool
// keeps the cache with the connection, and its session reset (RESET ALL)
// keeps the server's prepared statements.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "postgres_connection.h"
#include "postgres_handles.h"
#include "postgres_statement.h"

namespace nxdb::pg {

class StatementCache {
 public:
  // Statements kept per connection; when full, the least recently used
  // half not in use is dropped in one round trip.
  static constexpr std::size_t kMaxKept = 64;

  // Queries only (SELECT, WITH): what readers run again and again.
  static bool keeps(std::string_view sql);

  // A statement running the kept one of sql; null when sql is not kept.
  std::unique_ptr<Statement> find(Connection& conn, const std::string& sql);
  // The name to prepare sql under, the second time it is prepared on this
  // connection (a statement run once is not worth a name); null when it is
  // to be prepared unnamed.
  // at_once: the caller runs it many times, so it is named the first time.
  std::shared_ptr<NamedStatement> name_for(Connection& conn, const std::string& sql,
                                           bool at_once = false);
  // Keeps sql, prepared on the server as named, and returns a statement
  // running it.
  std::unique_ptr<Statement> keep(Connection& conn, const std::string& sql,
                                  std::shared_ptr<NamedStatement> named, int parameters,
                                  ResultHandle description);
  // The server dropped its prepared statements (DISCARD, DEALLOCATE).
  void forget_all();

  std::size_t size() const { return kept_.size(); }

 private:
  struct Entry {
    std::shared_ptr<NamedStatement> named;
    ResultHandle description;
    int parameters = 0;
    unsigned long long used = 0;
  };
  // A new server connection has none of the kept statements.
  void follow(Connection& conn);
  // Drops the older half of the statements no live statement runs.
  bool make_room(Connection& conn);

  std::map<std::string, Entry, std::less<>> kept_;
  std::set<std::string, std::less<>> seen_;
  unsigned long long session_ = 0;
  unsigned long long clock_ = 0;
  unsigned long long names_ = 0;
};

}  // namespace nxdb::pg
