#include "nxdb/backend.h"

#include "sqlite_backend.h"

namespace nxdb {

std::unique_ptr<Backend> open_backend(const NXDBConnectInfo& info, OpenMode mode,
                                      std::string& error) {
  switch (info.backend()) {
    case BackendKind::kSqlite:
      return open_sqlite(info.database(), mode, error);
    case BackendKind::kPostgres:
      error = "PostgreSQL alarm databases are not supported by this build (" + info.location() +
              "); set NX_ALARM_DB to a SQLite file";
      return nullptr;
    case BackendKind::kInvalid:
      break;
  }
  error = info.error().empty() ? "no alarm database location" : info.error();
  return nullptr;
}

}  // namespace nxdb
