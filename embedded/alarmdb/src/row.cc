#include "nxdb/row.h"

#include <cctype>

namespace {
std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}
}  // namespace

namespace nxdb {

ColumnIndex::ColumnIndex(const Statement& statement) {
  const int n = statement.column_count();
  names_.reserve(n);
  kinds_.reserve(n);
  for (int i = 0; i < n; ++i) {
    names_.push_back(statement.column_name(i));
    kinds_.push_back(statement.column_kind(i));
    // The first of two equally named columns wins, as a reader would expect.
    by_lower_name_.emplace(lower(names_.back()), i);
  }
}

int ColumnIndex::find(const std::string& name) const {
  auto it = by_lower_name_.find(lower(name));
  return it == by_lower_name_.end() ? -1 : it->second;
}

}  // namespace nxdb

const NXDBValue* NXDBRow::column(const std::string& name) const {
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
