// The three alarm table readers, loads and counts.
#include <cctype>

#include "db/database_impl.h"
#include "db/row_prefetch.h"
#include "db/row_reader.h"
#include "db/table_specs.h"
#include "query/alarm_columns.h"

namespace {

// A table name from the directory goes into FROM as it stands, so it must be
// a plain identifier.
bool plain_identifier(const std::string& name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

}  // namespace

namespace {

DatabaseImpl::RecordSink append_to(std::list<AlarmRecord>& records) {
  return [&records](AlarmRecord& record) {
    records.push_back(std::move(record));
    return true;
  };
}

// Rows of one table into whole records: every attribute of the row, in
// reading order, as the record's name and value lists.
class RecordRows {
 public:
  RecordRows(DatabaseImpl& db, const DatabaseImpl::TableSpec& table, const std::string& mis,
             const std::string& log, const DatabaseImpl::RecordSink& sink)
      : table_(table), mis_(mis), log_(log), sink_(sink), reader_(db) {}

  bool operator()(const NXDBRow& row) {
    names_.clear();
    values_.clear();
    std::string record_id;
    if (const NXDBValue* id = row.column(CommonAttributes::logRecordId)) *id >> record_id;
    reader_.start_row(row);
    for_each_source(table_, [this](const AttrSource& source) {
      if (reader_.read(source, text_)) {
        names_.emplace_back(source.name);
        values_.push_back(text_);
      }
    });
    AlarmRecord record(mis_, log_, record_id, names_, values_);
    return sink_(record);
  }

 private:
  const DatabaseImpl::TableSpec& table_;
  const std::string& mis_;
  const std::string& log_;
  const DatabaseImpl::RecordSink& sink_;
  std::list<std::string> names_;
  std::list<std::string> values_;
  std::string text_;
  RowReader reader_;
};

}  // namespace

DatabaseImpl::ReadResult DatabaseImpl::read_table(NXDBInterface& db, const TableSpec& table_spec,
                                                  const std::string& log, int& count,
                                                  const std::string& condition, bool count_only,
                                                  const RowHandler& on_row, const std::string& columns) {
  set_lockmode(db);
  const std::string table = get_ilogname(db, log, table_spec.code);
  if (!plain_identifier(table) || !NXDBTable(table, db).tableExists()) return ReadResult::kNoTable;

  std::string statement = "SELECT ";
  if (count_only) {
    statement += " COUNT(*) ";
  } else if (!columns.empty()) {
    statement += columns;
  } else {
    statement += CommonAttributes::common_list;
    statement += ", ";
    statement += table_spec.attr_list;
  }
  statement += " FROM " + table;
  if (!condition.empty()) statement += " WHERE " + condition;

  NXDBSet set;
  if (db.executeQuery(statement, set) != true) return ReadResult::kFailed;
  NXDBRow row;
  if (count_only) {
    if (!set.getNextRow(row)) return ReadResult::kFailed;
    int rows = 0;
    row.at(0) >> rows;
    count += rows;
    return ReadResult::kRead;
  }
  {
    RowPrefetch rows(set);
    while (const NXDBRow* fetched = rows.next()) {
      ++count;
      if (!on_row(*fetched)) return ReadResult::kRead;
    }
  }
  // A fetch that failed part way is a failed read, not a short log.
  return set.error().empty() ? ReadResult::kRead : ReadResult::kFailed;
}

DatabaseImpl::ReadResult DatabaseImpl::read_records(NXDBInterface& db, const TableSpec& table,
                                                    const std::string& mis, const std::string& log,
                                                    int& count, const std::string& condition,
                                                    bool count_only, const RecordSink& sink) {
  RecordRows rows(*this, table, mis, log, sink);
  return read_table(db, table, log, count, condition, count_only,
                    [&rows](const NXDBRow& row) { return rows(row); });
}

bool DatabaseImpl::read_nxAlarmRecords(NXDBInterface& db, std::string mis, std::string log,
                                       std::list<AlarmRecord>& records, int& count,
                                       std::string condition, bool count_only) {
  return read_records(db, kAlarmTable, mis, log, count, condition, count_only,
                      append_to(records)) == ReadResult::kRead;
}

bool DatabaseImpl::read_nxInternetAlarm(NXDBInterface& db, std::string mis, std::string log,
                                        std::list<AlarmRecord>& records, int& count,
                                        std::string condition, bool count_only) {
  return read_records(db, kInternetTable, mis, log, count, condition, count_only,
                      append_to(records)) == ReadResult::kRead;
}

bool DatabaseImpl::read_nerveCenterAlarm(NXDBInterface& db, std::string mis, std::string log,
                                         std::list<AlarmRecord>& records, int& count,
                                         std::string condition, bool count_only) {
  return read_records(db, kNerveCenterTable, mis, log, count, condition, count_only,
                      append_to(records)) == ReadResult::kRead;
}

std::unique_ptr<NXDBInterface> DatabaseImpl::connect(const std::string& log_fdn, std::string& mis,
                                                     std::string& log) {
  get_mis_and_log_from_fdn(log_fdn, mis, log);
  NXDBConnectInfo info(mis, 1);
  auto db = std::make_unique<NXDBInterface>(info);
  if (!db->isConnected()) return nullptr;
  return db;
}

bool DatabaseImpl::read_log(const std::string& log_fdn, const std::string& condition,
                            const TableReader& read) {
  std::string mis;
  std::string log;
  auto db = connect(log_fdn, mis, log);
  if (!db) return false;
  bool stopped = false;
  // The alarm record table must be there; the other two may be missing, but
  // a query that fails on any of them fails the load rather than leave its
  // records out unnoticed.
  if (read(*db, kAlarmTable, mis, log, stopped) != ReadResult::kRead) return false;
  for (const TableSpec* table : {&kInternetTable, &kNerveCenterTable}) {
    if (stopped) break;
    if (read(*db, *table, mis, log, stopped) == ReadResult::kFailed) return false;
  }
  return true;
}

bool DatabaseImpl::stream_log_from_database(const std::string& log_fdn,
                                            const std::string& condition,
                                            const RecordSink& sink) {
  int count = 0;
  return read_log(log_fdn, condition,
                  [&](NXDBInterface& db, const TableSpec& table, const std::string& mis,
                      const std::string& log, bool& stopped) {
                    const RecordSink watched = [&](AlarmRecord& record) {
                      stopped = !sink(record);
                      return !stopped;
                    };
                    return read_records(db, table, mis, log, count, condition, false, watched);
                  });
}

bool DatabaseImpl::init_log_from_database(const std::string& log_fdn,
                                          std::list<AlarmRecord>& records, int& count,
                                          std::string condition) {
  const RecordSink sink = append_to(records);
  return read_log(log_fdn, condition,
                  [&](NXDBInterface& db, const TableSpec& table, const std::string& mis,
                      const std::string& log, bool&) {
                    return read_records(db, table, mis, log, count, condition, false, sink);
                  });
}

bool DatabaseImpl::get_log_count_from_database(const std::string& log_fdn, int& count,
                                               std::string condition) {
  count = 0;
  std::string mis;
  std::string log;
  auto db = connect(log_fdn, mis, log);
  // A database that cannot be opened is a failure, not an empty log.
  if (!db) return false;
  const RowHandler none = [](const NXDBRow&) { return true; };
  int table_count = 0;
  ReadResult r = read_table(*db, kAlarmTable, log, table_count, condition, true, none);
  if (r == ReadResult::kFailed) return false;
  if (r == ReadResult::kNoTable) return true;  // a log without alarm table counts 0
  count += table_count;
  for (const TableSpec* table : {&kInternetTable, &kNerveCenterTable}) {
    table_count = 0;
    r = read_table(*db, *table, log, table_count, condition, true, none);
    if (r == ReadResult::kFailed) return false;
    count += table_count;
  }
  return true;
}
