#include "mis/sql_helpers.h"

#include <cctype>

namespace nxmp_mis {

bool safe_identifier(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  }
  return true;
}

bool exec(nxdb::Backend& db, const std::string& sql, const std::vector<std::string>& params,
          std::string& error) {
  auto st = db.prepare(sql, error);
  if (!st) return false;
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (!st->bind_text(static_cast<int>(i) + 1, params[i])) {
      error = st->error();
      return false;
    }
  }
  nxdb::StepResult r;
  while ((r = st->step()) == nxdb::StepResult::kRow) {
  }
  if (r == nxdb::StepResult::kError) {
    error = st->error();
    return false;
  }
  return true;
}

// One integer of a query's first row (0 when NULL or no row).
bool query_long(nxdb::Backend& db, const std::string& sql, const std::vector<std::string>& params,
                long long& out, std::string& error) {
  auto st = db.prepare(sql, error);
  if (!st) return false;
  for (std::size_t i = 0; i < params.size(); ++i) st->bind_text(static_cast<int>(i) + 1, params[i]);
  nxdb::StepResult r = st->step();
  if (r == nxdb::StepResult::kError) {
    error = st->error();
    return false;
  }
  out = (r == nxdb::StepResult::kRow && st->cell_type(0) != nxdb::CellType::kNull) ? st->cell_int(0)
                                                                                  : 0;
  return true;
}

}  // namespace nxmp_mis
