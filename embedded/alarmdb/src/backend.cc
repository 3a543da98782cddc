#include "nxdb/backend.h"

#include "postgres_backend.h"
#include "sqlite_backend.h"

namespace nxdb {

std::unique_ptr<Backend> open_backend(const NXDBConnectInfo& info, OpenMode mode,
                                      std::string& error) {
  switch (info.backend()) {
    case BackendKind::kSqlite:
      return open_sqlite(info.database(), mode, error);
    case BackendKind::kPostgres:
      // A server database is made by its administrator, never by a client:
      // kCreate only makes the tables (create_schema).
      return open_postgres(info.connect_uri(), error);
    case BackendKind::kInvalid:
      break;
  }
  error = info.error().empty() ? "no alarm database location" : info.error();
  return nullptr;
}

}  // namespace nxdb
