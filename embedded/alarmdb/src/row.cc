#include "nxdb/row.h"

#include <cstdint>
#include <cstring>


namespace {
char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// Column names are SQL identifiers: ASCII case folding is the right one.
bool same_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}
}  // namespace

namespace nxdb {

namespace {
// FNV-1a over the ASCII-lowered bytes, so names match without regard to case.
std::size_t folded_hash(std::string_view name) {
  std::size_t h = 1469598103934665603ull;
  for (unsigned char c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
    h = (h ^ c) * 1099511628211ull;
  }
  return h;
}
}  // namespace

ColumnIndex::ColumnIndex(const Statement& statement) {
  const int n = statement.column_count();
  names_.reserve(n);
  kinds_.reserve(n);
  for (int i = 0; i < n; ++i) {
    names_.push_back(statement.column_name(i));
    kinds_.push_back(statement.column_kind(i));
  }
  std::size_t size = 8;
  while (size < 2 * static_cast<std::size_t>(n)) size *= 2;
  slots_.assign(size, -1);
  for (int i = 0; i < n; ++i) {
    std::size_t s = folded_hash(names_[i]) & (size - 1);
    bool duplicate = false;
    while (slots_[s] >= 0) {
      // The first of equal names wins: a later duplicate takes no slot.
      if (same_ignoring_case(names_[slots_[s]], names_[i])) {
        duplicate = true;
        break;
      }
      s = (s + 1) & (size - 1);
    }
    if (!duplicate) slots_[s] = i;
  }
}

int ColumnIndex::find(std::string_view name) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t s = folded_hash(name) & mask; slots_[s] >= 0; s = (s + 1) & mask) {
    if (same_ignoring_case(names_[slots_[s]], name)) return slots_[s];
  }
  return -1;
}

bool ColumnIndex::is_named(int i, const char* name) const {
  const std::string& column = names_[i];
  // Mostly the very bytes: no folding needed.
  if (std::strncmp(column.c_str(), name, column.size() + 1) == 0) return true;
  for (std::size_t k = 0; k < column.size(); ++k) {
    if (name[k] == '\0' || ascii_lower(name[k]) != ascii_lower(column[k])) return false;
  }
  return name[column.size()] == '\0';
}

}  // namespace nxdb

const NXDBValue* NXDBRow::column(const char* name) const {
  if (!columns_ || name == nullptr) return nullptr;
  // Open addressing by pointer; a full run of probes just skips the memo.
  const auto key = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(name));
  std::size_t slot = (key * 0x9E3779B97F4A7C15ull) >> 58;
  Found* free_slot = nullptr;
  for (std::size_t probe = 0; probe < kFoundProbes; ++probe, slot = (slot + 1) % kFoundSlots) {
    Found& found = found_[slot];
    if (found.name == nullptr) {
      free_slot = &found;
      break;
    }
    if (found.name == name) {
      if (columns_->is_named(found.index, name)) return &values_[found.index];
      free_slot = &found;  // same address, other text now: find it again
      break;
    }
  }
  const int i = columns_->find(name);
  if (i < 0) return nullptr;
  if (free_slot) *free_slot = {name, i};
  return &values_[i];
}

const NXDBValue* NXDBRow::column(std::string_view name) const {
  if (!columns_) return nullptr;
  int i = columns_->find(name);
  return i < 0 ? nullptr : &values_[i];
}

bool NXDBRow::getColumnVal(const std::string& name, NXDBValue& out) const {
  const NXDBValue* value = column(name);
  if (value == nullptr) return false;
  out = *value;
  return true;
}

const NXDBRow& NXDBRow::operator>>(std::string& out) const {
  if (values_.empty()) {
    out.clear();
  } else {
    values_[0] >> out;
  }
  return *this;
}

void NXDBRow::load(const nxdb::Statement& statement,
                   const std::shared_ptr<const nxdb::ColumnIndex>& columns) {
  if (columns_ != columns) found_.fill(Found());
  columns_ = columns;
  const int n = columns->size();
  values_.resize(n);  // keeps the storage of a previous row of the same shape
  for (int i = 0; i < n; ++i) {
    NXDBValue& v = values_[i];
    switch (statement.cell_type(i)) {
      case nxdb::CellType::kNull:
        v.assign_null();
        break;
      case nxdb::CellType::kInteger:
        v.assign_int(statement.cell_int(i));
        break;
      case nxdb::CellType::kBlob:
        v.assign_blob(statement.cell_blob(i));
        break;
      case nxdb::CellType::kReal:
      case nxdb::CellType::kText:
        v.assign_text(statement.cell_text(i), columns->kind(i));
        break;
    }
  }
}

void NXDBSet::open(std::unique_ptr<nxdb::Statement> statement) {
  statement_ = std::move(statement);
  columns_ = statement_ ? std::make_shared<nxdb::ColumnIndex>(*statement_) : nullptr;
  error_.clear();
  done_ = statement_ == nullptr;
}

bool NXDBSet::getNextRow(NXDBRow& row) {
  if (done_) return false;
  switch (statement_->step()) {
    case nxdb::StepResult::kRow:
      row.load(*statement_, columns_);
      return true;
    case nxdb::StepResult::kDone:
      done_ = true;
      return false;
    case nxdb::StepResult::kError:
      error_ = statement_->error();
      done_ = true;
      return false;
  }
  return false;
}
