#include "nxdb/table.h"

#include "nxdb/interface.h"

bool NXDBTable::tableExists() const {
  nxdb::Backend* backend = connection_.backend();
  return backend != nullptr && !name_.empty() && backend->table_exists(name_);
}

std::string NXDBTable::existsCondition(const NXDBInterface& connection, const std::string& name_sql) {
  nxdb::Backend* backend = connection.backend();
  if (backend == nullptr) return {};
  // The same catalogs and name matching as the engines' table_exists.
  if (backend->dialect() == nxdb::Dialect::kPostgres) {
    return "EXISTS (SELECT 1 FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n "
           "ON n.oid = c.relnamespace WHERE n.nspname = current_schema() "
           "AND c.relkind IN ('r', 'p', 'v', 'f') AND lower(c.relname) = lower(" +
           name_sql + "))";
  }
  return "EXISTS (SELECT 1 FROM sqlite_master WHERE type IN ('table', 'view') AND name = " + name_sql +
         " COLLATE NOCASE)";
}
