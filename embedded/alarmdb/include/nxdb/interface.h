// NXDBInterface: one open connection to an alarm database. Statements are
// written in the Informix dialect and translated for the engine in use
// (see informix_dialect.h). A server connection comes from, and goes back
// to, the process's pool of idle ones (connection_pool.h): every statement
// made through an interface must be gone before the interface is.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "nxdb/backend.h"
#include "nxdb/connect_info.h"
#include "nxdb/row.h"

class NXDBInterface {
 public:
  explicit NXDBInterface(const NXDBConnectInfo& info,
                         nxdb::OpenMode mode = nxdb::OpenMode::kExisting);
  ~NXDBInterface();
  NXDBInterface(const NXDBInterface&) = delete;
  NXDBInterface& operator=(const NXDBInterface&) = delete;

  bool isConnected() const { return backend_ != nullptr; }
  // The last failure of this connection, for diagnostics.
  const std::string& lastError() const { return error_; }

  // A statement without result ("set lock mode to wait 30", DDL, DML).
  bool executeQuery(const std::string& sql);
  // A query whose first row is fetched into row; true when a row was.
  bool executeQuery(const std::string& sql, NXDBRow& row) const;
  // A query for many rows, fetched through set.getNextRow.
  bool executeQuery(const std::string& sql, NXDBSet& set) const;
  // The same with parameters (?1, ?2, ...) that bind sets on the prepared
  // statement: values never go into the SQL text. False when bind does.
  bool executeQuery(const std::string& sql, const std::function<bool(nxdb::Statement&)>& bind,
                    NXDBSet& set) const;

  // The engine, for tools that bind parameters (null when not connected).
  nxdb::Backend* backend() const { return backend_.get(); }

 private:
  std::unique_ptr<nxdb::Statement> prepare_query(const std::string& sql) const;

  std::string pool_key_;
  std::unique_ptr<nxdb::Backend> backend_;
  mutable std::string error_;
};
