#include "db/field_reader.h"

#include <iterator>
#include <set>
#include <utility>

#include "db/alarm_columns.h"
#include "db/log_tables.h"
#include "db/row_prefetch.h"
#include "db/row_reader.h"
#include "db/table_rows.h"
#include "db/table_specs.h"
#include "model/alarm_record.h"

namespace {

bool reads_blob(AttrRule rule) {
  return rule == AttrRule::kBlobFirst || rule == AttrRule::kBlobFirstAlways || rule == AttrRule::kInstance;
}

// Rows of one table into the wanted fields. Each wanted attribute is read
// from the first source of the row whose name maps to it and which the row
// has, as building the record's map would take it.
class FieldRows {
 public:
  FieldRows(const TableSpec& table, const std::string& mis, const std::string& log,
            RecordFields& fields)
      : FieldRows(!mis.empty() && !log.empty(), fields, layout(table, fields)) {}

  const std::string& columns() const { return columns_; }

  void operator()(const NXDBRow& row) {
    const std::string& raw_id = row_text(row, id_column_);
    // A record without identity keeps no attributes (nor a normalised id).
    const bool identified = identified_ && !raw_id.empty();
    std::string& record_id = fields_.record_id();
    if (identified && raw_id.find("number:") == std::string::npos) {
      record_id.assign("number:");
      record_id.append(raw_id);
    } else {
      record_id.assign(raw_id);
    }
    reader_.start_row(row);
    for (std::size_t i = 0; i < sources_.size(); ++i) {
      if (fields_.repeat(i)) continue;
      fields_.clear(i);
      if (!identified) continue;
      const AlarmAttributeId id = fields_.wanted()[i];
      for (const Source& source : sources_[i]) {
        // Straight into the field's text, whose storage each row reuses.
        if (reader_.read(*source.source, source.column, id, fields_.set(i))) break;
        fields_.clear(i);
      }
    }
  }

 private:
  struct Source {
    const AttrSource* source;
    int column;  // its place in the rows read
  };
  struct Layout {
    std::string columns;                        // the SELECT list
    std::vector<std::vector<Source>> sources;   // per wanted attribute
    int id_column = -1;
    int blob_column = -1;
  };

  // The sources of each wanted attribute in reading order (a repeat shares
  // the text of its first listing: read once, so it has none), and the
  // columns they come from.
  static Layout layout(const TableSpec& table, const RecordFields& fields) {
    Layout out;
    out.sources.resize(fields.wanted().size());
    bool blob = false;
    std::set<std::string> columns{CommonAttributes::logRecordId};
    for_each_source(table, [&](const AttrSource& source) {
      const AlarmAttributeId id = AlarmAttribute::get_attribute_id(source.name);
      if (id == ATTR_NONE) return;
      for (std::size_t i = 0; i < out.sources.size(); ++i) {
        if (fields.wanted()[i] != id || fields.repeat(i)) continue;
        out.sources[i].push_back(Source{&source, -1});
        columns.insert(source.column);
        blob = blob || reads_blob(source.rule);
      }
    });
    if (blob) columns.insert(CommonAttributes::blob);
    // Only the columns the wanted attributes come from: the database then
    // decodes and hands over a fraction of each row. All are constant names,
    // selected in the set's order, which gives each its place in a row.
    for (const std::string& column : columns) out.columns += (out.columns.empty() ? "" : ", ") + column;
    const auto place = [&columns](const char* column) {
      const auto it = columns.find(column);
      return it == columns.end() ? -1 : static_cast<int>(std::distance(columns.begin(), it));
    };
    for (auto& list : out.sources) {
      for (Source& source : list) source.column = place(source.source->column);
    }
    out.id_column = place(CommonAttributes::logRecordId);
    out.blob_column = place(CommonAttributes::blob);
    return out;
  }

  FieldRows(bool identified, RecordFields& fields, Layout layout)
      : identified_(identified),
        fields_(fields),
        sources_(std::move(layout.sources)),
        columns_(std::move(layout.columns)),
        id_column_(layout.id_column),
        reader_(layout.blob_column) {}

  static const std::string& row_text(const NXDBRow& row, int column) {
    static const std::string none;
    return column >= 0 && column < row.columnCount() ? row.at(column).text() : none;
  }

  const bool identified_;
  RecordFields& fields_;
  const std::vector<std::vector<Source>> sources_;
  const std::string columns_;
  const int id_column_;
  RowReader reader_;
};

// Streams the rows of one table of the log; sets stopped when sink stopped
// the read.
ReadResult read_table(LogTables& tables, const TableSpec& spec, const std::string& condition,
                      RecordFields& fields, const FieldSink& sink, bool& stopped) {
  const std::string table = tables.table(spec);
  if (table.empty()) return ReadResult::kNoTable;
  FieldRows rows(spec, tables.mis(), tables.log(), fields);
  NXDBSet set;
  if (!tables.db().executeQuery(select_statement(rows.columns(), table, condition), set)) {
    return ReadResult::kFailed;
  }
  {
    RowPrefetch prefetch(set);
    while (const NXDBRow* row = prefetch.next()) {
      rows(*row);
      if (!sink(fields)) {
        stopped = true;
        return ReadResult::kRead;
      }
    }
  }
  // A fetch that failed part way is a failed read, not a short log.
  return set.error().empty() ? ReadResult::kRead : ReadResult::kFailed;
}

}  // namespace

bool read_log_fields(const std::string& log_fdn, const std::string& condition,
                     const std::vector<AlarmAttributeId>& wanted, const FieldSink& sink) {
  LogTables tables(log_fdn);
  if (!tables.connected()) return false;
  RecordFields fields(wanted);
  bool stopped = false;
  // The alarm record table must be there; the other two may be missing, but
  // a query that fails on any of them fails the read rather than leave its
  // records out unnoticed.
  if (read_table(tables, kAlarmTable, condition, fields, sink, stopped) != ReadResult::kRead) {
    return false;
  }
  for (const TableSpec* spec : {&kInternetTable, &kNerveCenterTable}) {
    if (stopped) break;
    if (read_table(tables, *spec, condition, fields, sink, stopped) == ReadResult::kFailed) {
      return false;
    }
  }
  return true;
}

ReadResult read_table_fields(LogTables& tables, const TableSpec& spec, const std::string& table,
                             const TableStatement& statement, const TableBind& bind, RecordFields& fields,
                             const RowFieldSink& sink) {
  if (table.empty()) return ReadResult::kNoTable;
  FieldRows rows(spec, tables.mis(), tables.log(), fields);
  NXDBSet set;
  if (!tables.db().executeQuery(statement(rows.columns(), table), bind, set)) return ReadResult::kFailed;
  {
    RowPrefetch prefetch(set);
    while (const NXDBRow* row = prefetch.next()) {
      rows(*row);
      if (!sink(*row, fields)) return ReadResult::kRead;
    }
  }
  return set.error().empty() ? ReadResult::kRead : ReadResult::kFailed;
}
