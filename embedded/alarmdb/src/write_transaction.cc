#include "nxdb/write_transaction.h"

namespace nxdb {

WriteTransaction::~WriteTransaction() {
  if (!open_) return;
  std::string ignored;
  db_.exec_script("ROLLBACK", ignored);
}

bool WriteTransaction::begin(std::string& error, const std::string& then) {
  open_ = db_.exec_script(db_.dialect() == Dialect::kSqlite ? "BEGIN IMMEDIATE" : "BEGIN", error);
  return open_ && (then.empty() || db_.exec_script(then, error));
}

bool WriteTransaction::commit(std::string& error) {
  if (!db_.exec_script("COMMIT", error)) return false;
  open_ = false;
  return true;
}

}  // namespace nxdb
