// Reading only the wanted attributes of a log's records.
#include <set>
#include <string>
#include <vector>

#include "db/database_impl.h"
#include "db/row_reader.h"
#include "db/table_specs.h"
#include "query/alarm_columns.h"

namespace {

bool reads_blob(AttrRule rule) {
  return rule == AttrRule::kBlobFirst || rule == AttrRule::kBlobFirstAlways || rule == AttrRule::kInstance;
}

// Rows of one table into the wanted fields. Each wanted attribute is read
// from the first source of the row whose name maps to it and which the row
// has, as building the record's map would take it.
class FieldRows {
 public:
  FieldRows(DatabaseImpl& db, const DatabaseImpl::TableSpec& table, const std::string& mis,
            const std::string& log, RecordFields& fields)
      : identified_(!mis.empty() && !log.empty()),
        fields_(fields),
        sources_(fields.wanted().size()),
        reader_(db) {
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

}  // namespace

bool DatabaseImpl::stream_log_fields(const std::string& log_fdn, const std::string& condition,
                                     const std::vector<AlarmAttributeId>& wanted,
                                     const FieldSink& sink) {
  RecordFields fields(wanted);
  int count = 0;
  return read_log(log_fdn, condition,
                  [&](NXDBInterface& db, const TableSpec& table, const std::string& mis,
                      const std::string& log, bool& stopped) {
                    FieldRows rows(*this, table, mis, log, fields);
                    return read_table(
                        db, table, log, count, condition, false,
                        [&](const NXDBRow& row) {
                          rows(row);
                          stopped = !sink(fields);
                          return !stopped;
                        },
                        rows.columns());
                  });
}
