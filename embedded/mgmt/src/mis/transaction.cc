#include "nxmp/transaction.h"

#include "mis/mis.h"

Transaction::Transaction(const Platform& platform) {
  std::string error;
  // Held for the unit's life, so that it ends on the connection it began on.
  mis_ = nxmp_mis::current_mis(error);
  if (!mis_ || platform.mis() != mis_.get()) {
    mis_.reset();
    fail(NOT_CONNECTED, error.empty() ? "not connected to the MIS" : error);
    return;
  }
  if (!mis_->begin_unit(error)) {
    fail(DATABASE, error);
    return;
  }
  open_ = true;
}

Transaction::~Transaction() { rollback(); }

bool Transaction::commit() {
  if (!open_) return fail(NOT_ALLOWED, "the unit of work is not open");
  open_ = false;
  std::string error;
  if (!mis_->end_unit(true, error)) return fail(DATABASE, error);
  return true;
}

void Transaction::rollback() {
  if (!open_) return;
  open_ = false;
  std::string ignored;
  mis_->end_unit(false, ignored);
}
