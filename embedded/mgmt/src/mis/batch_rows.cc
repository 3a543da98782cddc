#include "mis/batch_rows.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <utility>

#include "mis/history.h"
#include "mis/history_key.h"
#include "nxdb/value.h"

namespace nxmp_mis {
namespace {

// Bound parameters per statement: within what every supported engine takes
// (SQLite builds before 3.32 stop at 999).
constexpr std::size_t kMostParameters = 900;

std::string value_of(const Values& values, const char* name) {
  auto it = values.find(name);
  return it == values.end() ? std::string() : it->second;
}

}  // namespace

const char kHistoryColumns[] =
    "log, logrecordid, kind, state_before, state_after, operator, time, text, origin, by_record, log_key";

void bind_cells(nxdb::Statement& st, const std::vector<RowCell>& cells, int first) {
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const int index = first + static_cast<int>(i);
    const RowCell& c = cells[i];
    switch (c.kind) {
      case RowCell::Kind::kNull: st.bind_null(index); break;
      case RowCell::Kind::kText: st.bind_text_in_place(index, c.bytes); break;
      case RowCell::Kind::kInt: st.bind_int(index, c.number); break;
      case RowCell::Kind::kBlob: st.bind_blob_in_place(index, c.bytes.data(), c.bytes.size()); break;
    }
  }
}

std::string insert_head(const std::string& table, const std::string& columns) {
  return "INSERT INTO " + table + " (" + columns + ") VALUES ";
}

std::string row_marks(std::size_t cells, std::size_t first) {
  std::string marks = "(";
  for (std::size_t i = 0; i < cells; ++i) {
    marks += (i ? ", ?" : "?") + std::to_string(first + i);
  }
  return marks + ")";
}

void PendingRows::add(const std::string& table, const std::string& columns, std::vector<RowCell> cells) {
  // Rows mostly follow one of the same statement: compared by their parts,
  // the statement's text is built once per batch, not once per row.
  auto same = [&](const Head& h) { return h.table == table && h.columns == columns; };
  std::size_t at = heads_.size();
  if (!rows_.empty() && same(heads_[rows_.back().head])) {
    at = rows_.back().head;
  } else {
    auto known = std::find_if(heads_.begin(), heads_.end(), same);
    at = static_cast<std::size_t>(known - heads_.begin());
    if (known == heads_.end()) heads_.push_back({table, columns, insert_head(table, columns)});
  }
  rows_.push_back({at, std::move(cells)});
}

bool PendingRows::flush(StatementSource& source, bool many, std::string& error) {
  bool ok = true;
  // The statement of the last chunk: the next chunk of the same table, width
  // and row count runs it again without its text being built and looked up.
  std::unique_ptr<nxdb::Statement> owned;
  nxdb::Statement* st = nullptr;
  std::size_t st_head = 0, st_cells = 0, st_rows = 0;
  for (std::size_t from = 0; ok && from < rows_.size();) {
    const Row& first = rows_[from];
    const std::size_t width = std::max<std::size_t>(first.cells.size(), 1);
    const std::size_t most = many ? std::max<std::size_t>(kMostParameters / width, 1) : 1;
    std::size_t to = from + 1;
    while (to < rows_.size() && to - from < most && rows_[to].head == first.head &&
           rows_[to].cells.size() == first.cells.size()) {
      ++to;
    }
    if (st == nullptr || first.head != st_head || first.cells.size() != st_cells || to - from != st_rows) {
      std::string sql = heads_[first.head].sql;
      for (std::size_t r = 0; r < to - from; ++r) {
        sql += (r ? ", " : "") + row_marks(first.cells.size(), r * first.cells.size() + 1);
      }
      // Kept by the unit: a batch's full chunks all run the same statement.
      st = source.statement(sql, owned, error);
      if (st == nullptr) {
        ok = false;
        break;
      }
      st_head = first.head;
      st_cells = first.cells.size();
      st_rows = to - from;
    }
    for (std::size_t r = from; r < to; ++r) {
      bind_cells(*st, rows_[r].cells, static_cast<int>((r - from) * first.cells.size()) + 1);
    }
    // A unit's writes need not wait for their outcome: a failure shows by
    // the next read or the commit and fails the unit.
    if ((source.may_defer() ? st->step_deferred() : st->step()) == nxdb::StepResult::kError) {
      error = st->error();
      ok = false;
    }
    st->reset();
    from = to;
  }
  rows_.clear();
  heads_.clear();
  return ok;
}

namespace {

// An entry's cells, in the order of kHistoryColumns.
std::vector<RowCell> history_cells(const ObjectRef& record, const char* kind, std::string before, std::string after,
                                   const std::string& op, const std::string& when, long by_record) {
  std::string stored;
  nxdb::digits_to_stored_time(when, stored);
  std::string log = format_object_name(log_of(record));
  const long long key = history_log_key(log);
  std::vector<RowCell> cells;
  cells.reserve(11);
  cells.push_back(RowCell::text(std::move(log)));
  cells.push_back(RowCell::integer(record.record_id));
  cells.push_back(RowCell::text(kind));
  cells.push_back(before.empty() ? RowCell::null() : RowCell::text(std::move(before)));
  cells.push_back(RowCell::text(std::move(after)));
  cells.push_back(RowCell::text(op.empty() ? history_user() : op));
  cells.push_back(stored.empty() ? RowCell::null() : RowCell::text(std::move(stored)));
  cells.push_back(RowCell::null());
  cells.push_back(RowCell::text(history_origin()));
  cells.push_back(by_record > 0 ? RowCell::integer(by_record) : RowCell::null());
  cells.push_back(RowCell::integer(key));
  return cells;
}

}  // namespace

std::vector<RowCell> creation_history_row(const ObjectRef& record, const Values& values) {
#ifdef NX_HISTORY_OFF
  // Benchmark builds only: the same change without its entry.
  (void)record, (void)values;
  return {};
#endif
  std::string time = value_of(values, "loggingTime");
  if (time.empty()) time = history_now_digits();
  return history_cells(record, "created", std::string(), history_states(values), std::string(), time, 0);
}

std::vector<RowCell> clear_by_history_row(const ObjectRef& record, const std::string& ack_state,
                                          const std::string& display_state, const std::string& when,
                                          const std::string& op, long by_record) {
#ifdef NX_HISTORY_OFF
  (void)record, (void)ack_state, (void)display_state, (void)when, (void)op, (void)by_record;
  return {};
#endif
  return history_cells(record, "clearedByNotification", ack_state + "/unCleared/" + display_state,
                       ack_state + "/cleared/" + display_state, op, when, by_record);
}

}  // namespace nxmp_mis
