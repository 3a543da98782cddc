#include "nxdb/interface.h"

#include "nxdb/connection_pool.h"
#include "nxdb/informix_dialect.h"

NXDBInterface::NXDBInterface(const NXDBConnectInfo& info, nxdb::OpenMode mode)
    : pool_key_(nxdb::ConnectionPool::key(info, mode)) {
  backend_ = nxdb::ConnectionPool::instance().take(pool_key_);
  if (!backend_) backend_ = nxdb::open_backend(info, mode, error_);
}

NXDBInterface::~NXDBInterface() {
  if (backend_) nxdb::ConnectionPool::instance().give_back(pool_key_, std::move(backend_));
}

std::unique_ptr<nxdb::Statement> NXDBInterface::prepare_query(const std::string& sql) const {
  if (!backend_) {
    if (error_.empty()) error_ = "not connected";
    return nullptr;
  }
  nxdb::Translation t = nxdb::translate_informix(sql, backend_->dialect());
  if (t.kind != nxdb::Translation::Kind::kStatement) {
    error_ = t.kind == nxdb::Translation::Kind::kError ? t.error : "not a query: " + sql;
    return nullptr;
  }
  return backend_->prepare(t.sql, error_);
}

bool NXDBInterface::executeQuery(const std::string& sql) {
  if (!backend_) {
    if (error_.empty()) error_ = "not connected";
    return false;
  }
  nxdb::Translation t = nxdb::translate_informix(sql, backend_->dialect());
  switch (t.kind) {
    case nxdb::Translation::Kind::kError:
      error_ = t.error;
      return false;
    case nxdb::Translation::Kind::kLockWait:
      if (!backend_->set_lock_wait(t.lock_wait_seconds)) {
        error_ = "cannot set the lock wait";
        return false;
      }
      return true;
    case nxdb::Translation::Kind::kStatement:
      break;
  }
  auto st = backend_->prepare(t.sql, error_);
  if (!st) return false;
  for (;;) {
    switch (st->step()) {
      case nxdb::StepResult::kRow:
        continue;
      case nxdb::StepResult::kDone:
        return true;
      case nxdb::StepResult::kError:
        error_ = st->error();
        return false;
    }
  }
}

bool NXDBInterface::executeQuery(const std::string& sql, NXDBRow& row) const {
  auto st = prepare_query(sql);
  if (!st) return false;
  switch (st->step()) {
    case nxdb::StepResult::kRow:
      row.load(*st, std::make_shared<nxdb::ColumnIndex>(*st));
      return true;
    case nxdb::StepResult::kDone:
      return false;
    case nxdb::StepResult::kError:
      error_ = st->error();
      return false;
  }
  return false;
}

bool NXDBInterface::executeQuery(const std::string& sql, NXDBSet& set) const {
  auto st = prepare_query(sql);
  if (!st) return false;
  set.open(std::move(st));
  return true;
}

bool NXDBInterface::executeQuery(const std::string& sql, const std::function<bool(nxdb::Statement&)>& bind,
                                 NXDBSet& set) const {
  auto st = prepare_query(sql);
  if (!st) return false;
  if (!bind(*st)) {
    error_ = st->error().empty() ? "a parameter could not be bound" : st->error();
    return false;
  }
  set.open(std::move(st));
  return true;
}
