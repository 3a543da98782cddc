// A fresh, empty alarm database for one test, dropped at the end: a SQLite
// file in a temporary directory or, when NX_TEST_PG names a throwaway
// PostgreSQL server (postgresql://user@host:port/db), a new database on it.
// The same test then runs unchanged on either engine.
#pragma once

#include <string>

namespace nxdb_test {

// Whether this run is against PostgreSQL (NX_TEST_PG set).
bool on_postgres();

class ScratchDatabase {
 public:
  ScratchDatabase();
  ~ScratchDatabase();
  ScratchDatabase(const ScratchDatabase&) = delete;
  ScratchDatabase& operator=(const ScratchDatabase&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  // For NX_ALARM_DB and NXDBConnectInfo::at: a file path or a URI.
  const std::string& location() const { return location_; }
  // A temporary directory of this test for any other files.
  const std::string& dir() const { return dir_; }
  bool postgres() const { return !database_.empty(); }
  // Exports location() as NX_ALARM_DB.
  void export_location() const;

 private:
  std::string dir_;
  std::string location_;
  std::string database_;  // PostgreSQL: the database made for the test
  std::string admin_uri_;
  std::string error_;
};

// The URI of another database on the server that uri names.
std::string with_database(const std::string& uri, const std::string& database);

}  // namespace nxdb_test
