// Rows a batch of alarms inserts, kept back and written many to a statement:
// on PostgreSQL each statement is a round trip to the server, and a batch
// of a thousand alarms wrote two thousand of them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "mis/mis.h"
#include "mis/statement_source.h"
#include "nxdb/backend.h"

namespace nxmp_mis {

// One value of a row, as it is bound.
struct RowCell {
  enum class Kind { kNull, kText, kInt, kBlob };
  Kind kind = Kind::kNull;
  std::string bytes;  // text or blob
  long long number = 0;

  static RowCell null() { return {}; }
  static RowCell text(std::string t) { return {Kind::kText, std::move(t), 0}; }
  static RowCell integer(long long n) { return {Kind::kInt, std::string(), n}; }
  static RowCell blob(std::string b) { return {Kind::kBlob, std::move(b), 0}; }
};

// Binds cells to ?first, ?first+1, ..., in place: the cells must stay as
// they are until the statement is reset.
void bind_cells(nxdb::Statement& st, const std::vector<RowCell>& cells, int first);

// "INSERT INTO table (columns) VALUES " with the first row's marks
// "(?1, ..., ?n)" of a row of n cells.
std::string insert_head(const std::string& table, const std::string& columns);
std::string row_marks(std::size_t cells, std::size_t first);

class PendingRows {
 public:
  // A row of table with these columns (names separated by ", ").
  void add(const std::string& table, const std::string& columns, std::vector<RowCell> cells);
  bool empty() const { return rows_.empty(); }
  std::size_t size() const { return rows_.size(); }
  // Writes the kept rows in order (consecutive rows of one table and column
  // list share statements) and forgets them; false with error set when the
  // database refused one, and then nothing is kept either. many: several
  // rows to a statement (a round trip each on PostgreSQL; on SQLite one
  // kept single-row statement costs less than parsing many-row ones).
  bool flush(StatementSource& source, bool many, std::string& error);

 private:
  struct Row {
    std::size_t head;  // index into heads_
    std::vector<RowCell> cells;
  };
  struct Head {
    std::string table, columns;
    std::string sql;  // "INSERT INTO table (columns) VALUES "
  };
  std::vector<Head> heads_;
  std::vector<Row> rows_;
};

// The history entry of a record created in a batch (the row
// history_of_creation writes): states as "ack/clear/display", the logging
// time as stored. Empty in builds that write no history.
std::vector<RowCell> creation_history_row(const ObjectRef& record, const Values& values);
// The entry of a record (of these ack and display states) cleared at when,
// by op, by the clear notification logged as record by_record (the row
// history_of_clear_by writes).
std::vector<RowCell> clear_by_history_row(const ObjectRef& record, const std::string& ack_state,
                                          const std::string& display_state, const std::string& when,
                                          const std::string& op, long by_record);
extern const char kHistoryColumns[];

}  // namespace nxmp_mis
