// NXDBRow: one fetched row; NXDBSet: the rows of a query, fetched one at a
// time so that memory does not grow with the result.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "nxdb/backend.h"
#include "nxdb/value.h"

namespace nxdb {
// The column names of a result, matched without regard to case.
class ColumnIndex {
 public:
  explicit ColumnIndex(const Statement& statement);
  int find(std::string_view name) const;  // -1 when absent
  // Whether column i is called name (NUL-terminated), ignoring case.
  bool is_named(int i, const char* name) const;
  int size() const { return static_cast<int>(names_.size()); }
  const std::string& name(int i) const { return names_[i]; }
  ColumnKind kind(int i) const { return kinds_[i]; }

 private:
  std::vector<std::string> names_;
  std::vector<ColumnKind> kinds_;
  // Open-addressed table of column indexes by case-folded name hash (-1:
  // free slot): readers ask for a few dozen columns of every row by name.
  std::vector<int> slots_;
};
}  // namespace nxdb

class NXDBRow {
 public:
  NXDBRow() = default;

  int columnCount() const { return static_cast<int>(values_.size()); }
  // Copies the named column into out; false (out untouched) when the row has
  // no such column.
  bool getColumnVal(const std::string& name, NXDBValue& out) const;
  // The named column, or null; no copy.
  const NXDBValue* column(std::string_view name) const;
  // The same for a NUL-terminated name. Readers ask for the same constant
  // names on every row, so where a name pointer was found is remembered
  // (and the name checked again on each use). Like the set that fills it, a
  // row belongs to one thread at a time.
  const NXDBValue* column(const char* name) const;
  const NXDBValue& at(int index) const { return values_.at(index); }

  // The first column as text (empty when the row has none).
  const NXDBRow& operator>>(std::string& out) const;

  // Loads the statement's current row (used by the fetching classes).
  void load(const nxdb::Statement& statement,
            const std::shared_ptr<const nxdb::ColumnIndex>& columns);

 private:
  struct Found {
    const char* name = nullptr;
    int index = -1;
  };
  static constexpr std::size_t kFoundSlots = 64;  // the hash takes 6 bits
  static constexpr std::size_t kFoundProbes = 8;

  std::shared_ptr<const nxdb::ColumnIndex> columns_;
  std::vector<NXDBValue> values_;
  mutable std::array<Found, kFoundSlots> found_{};
};

class NXDBSet {
 public:
  NXDBSet() = default;
  NXDBSet(const NXDBSet&) = delete;
  NXDBSet& operator=(const NXDBSet&) = delete;

  // Fetches the next row in the order the database returns them; false when
  // none is left or the fetch failed (error() tells which).
  bool getNextRow(NXDBRow& row);
  const std::string& error() const { return error_; }

  // Takes over a prepared, bound statement (used by NXDBInterface).
  void open(std::unique_ptr<nxdb::Statement> statement);

 private:
  std::unique_ptr<nxdb::Statement> statement_;
  std::shared_ptr<const nxdb::ColumnIndex> columns_;
  std::string error_;
  bool done_ = true;
};
