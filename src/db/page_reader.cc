#include "db/page_reader.h"

#include <algorithm>
#include <cstdlib>

#include "db/table_rows.h"
#include "db/table_specs.h"

namespace {

struct PageRow {
  std::vector<OrderValue> values;
  std::uint8_t table;
  RecordFields fields;
};

// The key values of a row as the statement selected them.
bool read_values(const NXDBRow& row, const RecordOrder& order, std::vector<OrderValue>& values) {
  const std::vector<OrderKey>& keys = order.keys();
  values.assign(keys.size(), {});
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const NXDBValue* cell = row.column(RecordOrder::value_column(i));
    if (!cell || cell->isNull()) return false;  // the expressions are never NULL
    if (keys[i].kind == OrderKind::kTime) {
      if (!order_time_digits(cell->text(), values[i].time)) return false;
      continue;
    }
    const std::string& text = cell->text();
    char* end = nullptr;
    values[i].number = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0') return false;
  }
  return true;
}

bool bind_values(nxdb::Statement& st, const RecordOrder& order, const std::vector<OrderValue>& values) {
  const std::vector<OrderKey>& keys = order.keys();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const int param = static_cast<int>(i) + 1;
    const bool ok = keys[i].kind == OrderKind::kTime ? st.bind_text(param, order_time_text(values[i].time))
                                                     : st.bind_int(param, values[i].number);
    if (!ok) return false;
  }
  return true;
}

// One connection and the log's table names, for every page of a read.
struct LogSource {
  explicit LogSource(const std::string& log_fdn) : tables(log_fdn) {
    if (!tables.connected()) return;
    for (std::uint8_t t = 0; t < kPageTables; ++t) names[t] = tables.table(*kSpecs[t]);
  }
  static constexpr const TableSpec* kSpecs[kPageTables] = {&kAlarmTable, &kInternetTable, &kNerveCenterTable};
  LogTables tables;
  std::string names[kPageTables];
};

bool read_page(LogSource& source, const std::string& condition, const RecordOrder& order,
               const PagePosition* after, std::size_t limit, const std::vector<AlarmAttributeId>& wanted,
               const FieldSink& sink, PageEnd& end) {
  end = PageEnd();
  if (limit == 0 || (after && after->values.size() != order.keys().size())) return false;
  if (!source.tables.connected()) return false;

  std::vector<PageRow> rows;
  RecordFields fields(wanted);
  for (std::uint8_t t = 0; t < kPageTables; ++t) {
    std::string where = condition.empty() ? std::string() : "(" + condition + ")";
    if (after) {
      // A record of a later table with the very same keys comes after the
      // position; one of the same or an earlier table does not.
      const std::string keyset = order.after_condition(after->values.size(), 1, t > after->table);
      where += (where.empty() ? "" : " AND ") + keyset;
    }
    const auto statement = [&](const std::string& columns, const std::string& table) {
      return select_statement(columns + ", " + order.select_list(), table, where) + " ORDER BY " +
             order.order_by() + " LIMIT " + std::to_string(limit + 1);
    };
    const auto bind = [&](nxdb::Statement& st) { return !after || bind_values(st, order, after->values); };
    bool bad_value = false;
    const auto keep = [&](const NXDBRow& row, const RecordFields& f) {
      PageRow r{{}, t, f};
      if (!read_values(row, order, r.values)) {
        bad_value = true;
        return false;
      }
      rows.push_back(std::move(r));
      return true;
    };
    const ReadResult result =
        read_table_fields(source.tables, *LogSource::kSpecs[t], source.names[t], statement, bind, fields, keep);
    // As in a whole read: the alarm record table must be there, the others
    // may be missing.
    if (bad_value || result == ReadResult::kFailed || (t == 0 && result == ReadResult::kNoTable)) return false;
  }

  // Each table's rows are in order already; a stable sort by key then table
  // merges them (a few hundred rows at most per page).
  std::stable_sort(rows.begin(), rows.end(), [&](const PageRow& a, const PageRow& b) {
    const int c = order.compare(a.values, b.values);
    return c != 0 ? c < 0 : a.table < b.table;
  });
  const std::size_t n = std::min(limit, rows.size());
  end.more = rows.size() > limit;
  for (std::size_t i = 0; i < n; ++i) {
    end.last.values = rows[i].values;
    end.last.table = rows[i].table;
    end.records = i + 1;
    if (!sink(rows[i].fields)) {
      end.more = true;
      break;
    }
  }
  return true;
}

}  // namespace

bool read_log_page(const std::string& log_fdn, const std::string& condition, const RecordOrder& order,
                   const PagePosition* after, std::size_t limit, const std::vector<AlarmAttributeId>& wanted,
                   const FieldSink& sink, PageEnd& end) {
  LogSource source(log_fdn);
  return read_page(source, condition, order, after, limit, wanted, sink, end);
}

bool read_log_ordered(const std::string& log_fdn, const std::string& condition, const RecordOrder& order,
                      const std::vector<AlarmAttributeId>& wanted, const FieldSink& sink, std::size_t round) {
  bool stopped = false;
  const FieldSink counted = [&](const RecordFields& fields) {
    if (!sink(fields)) stopped = true;
    return !stopped;
  };
  LogSource source(log_fdn);
  PageEnd end;
  PagePosition position;
  bool first = true;
  do {
    if (!read_page(source, condition, order, first ? nullptr : &position, round, wanted, counted, end)) {
      return false;
    }
    first = false;
    position = end.last;
  } while (end.more && !stopped);
  return true;
}
