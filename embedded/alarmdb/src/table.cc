#include "nxdb/table.h"

#include "nxdb/interface.h"

bool NXDBTable::tableExists() const {
  nxdb::Backend* backend = connection_.backend();
  return backend != nullptr && !name_.empty() && backend->table_exists(name_);
}
