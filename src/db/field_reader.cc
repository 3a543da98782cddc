#include "db/field_reader.h"

#include <set>

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
      : identified_(!mis.empty() && !log.empty()), fields_(fields), sources_(fields.wanted().size()) {
    bool blob = false;
    std::set<std::string> columns{CommonAttributes::logRecordId};
    for_each_source(table, [&](const AttrSource& source) {
      const AlarmAttributeId id = AlarmAttribute::get_attribute_id(source.name);
      if (id == ATTR_NONE) return;
      for (std::size_t i = 0; i < sources_.size(); ++i) {
        // A repeat shares the text of its first listing: read once.
        if (fields_.wanted()[i] != id || fields_.repeat(i)) continue;
        sources_[i].push_back(&source);
        columns.insert(source.column);
        blob = blob || reads_blob(source.rule);
      }
    });
    if (blob) columns.insert(CommonAttributes::blob);
    // Only the columns the wanted attributes come from: the database then
    // decodes and hands over a fraction of each row. All are constant names.
    for (const std::string& column : columns) columns_ += (columns_.empty() ? "" : ", ") + column;
  }

  const std::string& columns() const { return columns_; }

  void operator()(const NXDBRow& row) {
    std::string raw_id;
    if (const NXDBValue* id = row.column(CommonAttributes::logRecordId)) raw_id = id->text();
    // A record without identity keeps no attributes (nor a normalised id).
    const bool identified = identified_ && !raw_id.empty();
    fields_.record_id() = identified ? AlarmRecord::normalised_record_id(raw_id) : raw_id;
    reader_.start_row(row);
    for (std::size_t i = 0; i < sources_.size(); ++i) {
      if (fields_.repeat(i)) continue;
      fields_.clear(i);
      if (!identified) continue;
      for (const AttrSource* source : sources_[i]) {
        if (reader_.read(*source, text_)) {
          fields_.set(i) = AlarmRecord::map_text(fields_.wanted()[i], text_);
          break;
        }
      }
    }
  }

 private:
  const bool identified_;
  RecordFields& fields_;
  std::vector<std::vector<const AttrSource*>> sources_;
  std::string columns_;
  std::string text_;
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

ReadResult read_table_fields(LogTables& tables, const TableSpec& spec, const TableStatement& statement,
                             const TableBind& bind, RecordFields& fields, const RowFieldSink& sink) {
  const std::string table = tables.table(spec);
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
