// A write transaction on one connection, rolled back on leaving unless it
// was committed: a change that fails part way leaves nothing behind.
#pragma once

#include <string>

#include "nxdb/backend.h"

namespace nxdb {

class WriteTransaction {
 public:
  explicit WriteTransaction(Backend& db) : db_(db) {}
  ~WriteTransaction();
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;

  // SQLite takes the write lock at once (BEGIN IMMEDIATE), so that two
  // writers queue here rather than one failing at its first write. then: a
  // script run in the transaction right after it begins (a lock to take).
  bool begin(std::string& error, const std::string& then = std::string());
  bool commit(std::string& error);

 private:
  Backend& db_;
  bool open_ = false;
};

}  // namespace nxdb
