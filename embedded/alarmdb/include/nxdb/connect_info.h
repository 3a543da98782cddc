// NXDBConnectInfo: where one management server's alarm database is and how
// to reach it.
//
// The location comes from the environment variable NX_ALARM_DB:
//   - unset or empty: the SQLite file "nxalarm.db" in the working directory;
//   - a path: that SQLite file;
//   - a "postgresql://" (or "postgres://") URI: a PostgreSQL server; the
//     database must exist (nxalarm-db init creates the tables in it).
//
// The six text fields, numbered 1 to 6 (field(n)); the database-parameter
// native hands fields 2, 5, 3, 4 to Java in that order:
//   1 server   the management server's system name this info was made for
//   2 database SQLite: the absolute path of the database file;
//              PostgreSQL: the database name of the URI
//   3 host     SQLite: "localhost" (the file is local); PostgreSQL: the host
//   4 protocol "sqlite" or "postgresql"
//   5 user     SQLite: empty (no accounts); PostgreSQL: the user of the URI
//   6 location the configured location as given (path or URI without its
//              password), for diagnostics
// No field ever holds a password.
#pragma once

#include <string>

// The only service the system asks for is the alarm-log database (1).
using ConnServices = int;
constexpr ConnServices NXDB_ALARM_LOG_SERVICE = 1;

namespace nxdb {
enum class BackendKind { kSqlite, kPostgres, kInvalid };
}  // namespace nxdb

class NXDBConnectInfo {
 public:
  NXDBConnectInfo(const std::string& server_name, ConnServices services);

  // Field n (1 to 6); the empty text for any other n.
  const std::string& field(int n) const;

  const std::string& server() const { return fields_[0]; }
  const std::string& database() const { return fields_[1]; }
  const std::string& host() const { return fields_[2]; }
  const std::string& protocol() const { return fields_[3]; }
  const std::string& user() const { return fields_[4]; }
  const std::string& location() const { return fields_[5]; }

  nxdb::BackendKind backend() const { return kind_; }
  ConnServices services() const { return services_; }
  // Why the location could not be used (kInvalid), else empty.
  const std::string& error() const { return error_; }
  // What the engine connects with: the path, or the URI as configured
  // (which may hold a password, so it is not one of the fields).
  const std::string& connect_uri() const { return uri_; }

  // Builds the info from an explicit location instead of NX_ALARM_DB (tools
  // and tests).
  static NXDBConnectInfo at(const std::string& server_name, const std::string& location);

 private:
  NXDBConnectInfo(const std::string& server_name, ConnServices services,
                  const std::string& location);
  void parse_location(const std::string& location);

  std::string fields_[6];
  nxdb::BackendKind kind_ = nxdb::BackendKind::kInvalid;
  ConnServices services_;
  std::string error_;
  std::string uri_;
};
