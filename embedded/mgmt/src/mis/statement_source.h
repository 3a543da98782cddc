// Where a writer of the MIS gets its statements: inside a unit of work the
// unit keeps each one prepared for the whole unit (a bulk change writes the
// same statements thousands of times); outside one, one is prepared per use.
#pragma once

#include <memory>
#include <string>

#include "nxdb/backend.h"

namespace nxmp_mis {

class StatementSource {
 public:
  // A statement for sql, reset for new bindings: kept by the source, or
  // held by owned. Null with error set when it cannot be prepared.
  virtual nxdb::Statement* statement(const std::string& sql, std::unique_ptr<nxdb::Statement>& owned,
                                     std::string& error) = 0;
  // Whether a change may be sent without waiting for its outcome
  // (nxdb::Statement::step_deferred): inside a unit of work, whose failure
  // shows by its commit at the latest and undoes all of it.
  virtual bool may_defer() const { return false; }

 protected:
  ~StatementSource() = default;
};

}  // namespace nxmp_mis
