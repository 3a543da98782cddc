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

void Transaction::read_ahead(const std::vector<std::string>& object_names) {
  if (!open_) return;
  std::vector<nxmp_mis::ObjectRef> records;
  records.reserve(object_names.size());
  for (const std::string& name : object_names) {
    std::optional<nxmp_mis::ObjectRef> ref = nxmp_mis::parse_object_name(name);
    if (ref && ref->kind == nxmp_mis::ObjectRef::Kind::kRecord) records.push_back(std::move(*ref));
  }
  mis_->read_ahead(records);
}

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
