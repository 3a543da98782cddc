// A PostgreSQL server of one test's own (tools/pg_test_server.sh), for tests
// that restart it: only in the postgres run, where NX_PG_TEST_SCRIPT names
// the script.
#pragma once

#include <string>

namespace nxdb_test {

class PrivateServer {
 public:
  PrivateServer();
  ~PrivateServer();
  PrivateServer(const PrivateServer&) = delete;
  PrivateServer& operator=(const PrivateServer&) = delete;

  bool ok() const { return !uri_.empty(); }
  const std::string& error() const { return error_; }
  // The URI of the server's maintenance database.
  const std::string& uri() const { return uri_; }
  // Stops the server and starts it again on the same port; true when it is
  // back.
  bool restart();

 private:
  std::string script_;
  std::string dir_;
  std::string uri_;
  std::string error_;
};

}  // namespace nxdb_test
