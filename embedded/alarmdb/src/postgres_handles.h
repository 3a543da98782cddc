// Owners of what libpq hands out: connections, results, notifications.
#pragma once

#include <libpq-fe.h>

#include <memory>

namespace nxdb::pg {

struct ConnCloser {
  void operator()(PGconn* c) const { PQfinish(c); }
};
struct ResultClearer {
  void operator()(PGresult* r) const { PQclear(r); }
};
using ConnHandle = std::unique_ptr<PGconn, ConnCloser>;
using ResultHandle = std::unique_ptr<PGresult, ResultClearer>;

struct NotifyFreer {
  void operator()(PGnotify* n) const { PQfreemem(n); }
};

}  // namespace nxdb::pg
