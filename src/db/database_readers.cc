// The three alarm table readers, loads and counts.
#include <cctype>

#include "db/database_impl.h"
#include "db/database_row.h"
#include "query/alarm_columns.h"

namespace {

// How an attribute is read: B blob first, E blob first and always present
// (empty text by default), T a time column, I an integer column.
enum class Rule { B, E, T, I };

struct AttrRule {
  const char* name;
  Rule rule;
  const char* column;
};

#define NX_STATE_RULES(ns)                          \
  {"ackState", Rule::B, ns::ackState},              \
  {"ackTime", Rule::T, ns::ackTime},                \
  {"ackOperator", Rule::E, ns::ackOperator},        \
  {"ackText", Rule::E, ns::ackText},                \
  {"clearState", Rule::B, ns::clearState},          \
  {"clearTime", Rule::T, ns::clearTime},            \
  {"clearOperator", Rule::E, ns::clearOperator},    \
  {"clearText", Rule::E, ns::clearText},            \
  {"displayState", Rule::B, ns::displayState},      \
  {"displayTime", Rule::T, ns::displayTime},        \
  {"displayOperator", Rule::E, ns::displayOperator}, \
  {"displayText", Rule::E, ns::displayText}

const AttrRule kAlarmRules[] = {
    {"perceivedSeverity", Rule::B, NxAlm::perceivedSeverity},
    {"backedUpStatus", Rule::B, NxAlm::backedUpStatus},
    {"backUpObject", Rule::B, NxAlm::backUpObject},
    {"trendIndication", Rule::B, NxAlm::trendIndication},
    NX_STATE_RULES(NxAlm),
    {"probableCause", Rule::B, NxAlm::probableCause_s},
    {"specificProblems", Rule::B, NxAlm::specificProblems_s},
    {"thresholdInfo", Rule::B, NxAlm::thresholdInfo_s},
    {"stateChangeDefinition", Rule::B, NxAlm::stateChangeDef_s},
    {"monitoredAttributes", Rule::B, NxAlm::monitoredAttributes_s},
    {"proposedRepairActions", Rule::B, NxAlm::proposedRepairActions_s},
};

const AttrRule kInternetRules[] = {
    {"perceivedSeverity", Rule::B, NxInt::perceivedSeverity},
    NX_STATE_RULES(NxInt),
    {"probableCause", Rule::B, NxInt::probableCause_s},
    {"attributeIdentifierList", Rule::B, NxInt::attributeIdList_s},
    {"objectInstanceList", Rule::B, NxInt::objectInstanceList_s},
    {"snmpVarBindList", Rule::B, NxInt::snmpVarBindList_s},
    {"internetTrapInfo", Rule::B, NxInt::internetTrapInfo_s},
    {"transportDomain", Rule::B, NxInt::transportDomain_s},
    {"accessControlInfo", Rule::B, NxInt::accessControlInfo_s},
};

const AttrRule kNerveCenterRules[] = {
    {"perceivedSeverity", Rule::B, NxNrvCt::perceivedSeverity},
    {"backedUpStatus", Rule::B, NxNrvCt::backedUpStatus},
    {"backUpObject", Rule::B, NxNrvCt::backUpObject},
    {"trendIndication", Rule::B, NxNrvCt::trendIndication},
    NX_STATE_RULES(NxNrvCt),
    {"mosiSeverity", Rule::I, NxNrvCt::mosiSeverity},
    {"mosiStateID", Rule::I, NxNrvCt::mosiStateID},
    {"probableCause", Rule::B, NxNrvCt::probableCause_s},
    {"specificProblems", Rule::B, NxNrvCt::specificProblems_s},
    {"thresholdInfo", Rule::B, NxNrvCt::thresholdInfo_s},
    {"stateChangeDefinition", Rule::B, NxNrvCt::stateChangeDef_s},
    {"monitoredAttributes", Rule::B, NxNrvCt::monitoredAttributes_s},
    {"proposedRepairActions", Rule::B, NxNrvCt::proposedRepairActions_s},
};

#undef NX_STATE_RULES

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

struct DatabaseImpl::TableSpec {
  const char* code;
  const char* attr_list;
  const AttrRule* rules;
  std::size_t rule_count;
};

namespace {
template <std::size_t N>
DatabaseImpl::TableSpec spec(const char* code, const char* attr_list, const AttrRule (&rules)[N]) {
  return {code, attr_list, rules, N};
}
const DatabaseImpl::TableSpec kAlarmTable = spec(DatabaseImpl::NX_ALARM, NxAlm::attr_list, kAlarmRules);
const DatabaseImpl::TableSpec kInternetTable =
    spec(DatabaseImpl::NX_INTERNET_ALARM, NxInt::attr_list, kInternetRules);
const DatabaseImpl::TableSpec kNerveCenterTable =
    spec(DatabaseImpl::NERVE_CENTER_ALARM, NxNrvCt::attr_list, kNerveCenterRules);

DatabaseImpl::RecordSink append_to(std::list<AlarmRecord>& records) {
  return [&records](AlarmRecord& record) {
    records.push_back(std::move(record));
    return true;
  };
}
}  // namespace

DatabaseImpl::ReadResult DatabaseImpl::read_table(NXDBInterface& db, const TableSpec& table_spec, const std::string& mis,
                              const std::string& log, int& count, const std::string& condition,
                              bool count_only, const RecordSink& sink) {
  set_lockmode(db);
  const std::string table = get_ilogname(db, log, table_spec.code);
  if (!plain_identifier(table) || !NXDBTable(table, db).tableExists()) return ReadResult::kNoTable;

  std::string statement = "SELECT ";
  if (count_only) {
    statement += " COUNT(*) ";
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

  // Row state; the blob arrays and list storage carry over from row to row.
  std::list<std::string> names;
  std::list<std::string> values;
  OidArray ids;
  Asn1ValueArray blob_values;
  while (set.getNextRow(row)) {
    names.clear();
    values.clear();
    int attributes = 0;
    int blob_parsed = 0;
    std::string record_id;
    if (const NXDBValue* id = row.column(CommonAttributes::logRecordId)) *id >> record_id;
    read_common_event_attrs(row, attributes, names, values, blob_parsed, ids, blob_values);
    for (std::size_t i = 0; i < table_spec.rule_count; ++i) {
      const AttrRule& r = table_spec.rules[i];
      switch (r.rule) {
        case Rule::B:
        case Rule::E:
          nx_db_blob_first(*this, row, r.name, r.column, attributes, names, values, blob_parsed,
                           ids, blob_values, r.rule == Rule::E);
          break;
        case Rule::T: {
          std::string text;
          if (const NXDBValue* v = row.column(r.column)) *v >> text;
          names.emplace_back(r.name);
          values.emplace_back(alarm_convert_to_gen_time(text.c_str()));
          ++attributes;
          break;
        }
        case Rule::I: {
          int number = 0;
          if (const NXDBValue* v = row.column(r.column)) *v >> number;
          names.emplace_back(r.name);
          values.push_back(std::to_string(number));
          ++attributes;
          break;
        }
      }
    }
    AlarmRecord record(mis, log, record_id, names, values);
    ++count;
    if (!sink(record)) return ReadResult::kRead;
  }
  // A fetch that failed part way is a failed read, not a short log.
  return set.error().empty() ? ReadResult::kRead : ReadResult::kFailed;
}

bool DatabaseImpl::read_nxAlarmRecords(NXDBInterface& db, std::string mis, std::string log,
                                       std::list<AlarmRecord>& records, int& count,
                                       std::string condition, bool count_only) {
  return read_table(db, kAlarmTable, mis, log, count, condition, count_only,
                    append_to(records)) == ReadResult::kRead;
}

bool DatabaseImpl::read_nxInternetAlarm(NXDBInterface& db, std::string mis, std::string log,
                                        std::list<AlarmRecord>& records, int& count,
                                        std::string condition, bool count_only) {
  return read_table(db, kInternetTable, mis, log, count, condition, count_only,
                    append_to(records)) == ReadResult::kRead;
}

bool DatabaseImpl::read_nerveCenterAlarm(NXDBInterface& db, std::string mis, std::string log,
                                         std::list<AlarmRecord>& records, int& count,
                                         std::string condition, bool count_only) {
  return read_table(db, kNerveCenterTable, mis, log, count, condition, count_only,
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

bool DatabaseImpl::stream_log_from_database(const std::string& log_fdn,
                                            const std::string& condition,
                                            const RecordSink& sink) {
  std::string mis;
  std::string log;
  auto db = connect(log_fdn, mis, log);
  if (!db) return false;
  bool stopped = false;
  RecordSink watched = [&](AlarmRecord& record) {
    stopped = !sink(record);
    return !stopped;
  };
  int count = 0;
  // The alarm record table must be there; the other two may be missing, but
  // a query that fails on any of them fails the load rather than leave its
  // records out unnoticed.
  if (read_table(*db, kAlarmTable, mis, log, count, condition, false, watched) != ReadResult::kRead) {
    return false;
  }
  for (const TableSpec* table : {&kInternetTable, &kNerveCenterTable}) {
    if (stopped) break;
    if (read_table(*db, *table, mis, log, count, condition, false, watched) == ReadResult::kFailed) {
      return false;
    }
  }
  return true;
}

bool DatabaseImpl::init_log_from_database(const std::string& log_fdn,
                                          std::list<AlarmRecord>& records, int& count,
                                          std::string condition) {
  std::string mis;
  std::string log;
  auto db = connect(log_fdn, mis, log);
  if (!db) return false;
  const RecordSink sink = append_to(records);
  if (read_table(*db, kAlarmTable, mis, log, count, condition, false, sink) != ReadResult::kRead) {
    return false;
  }
  for (const TableSpec* table : {&kInternetTable, &kNerveCenterTable}) {
    if (read_table(*db, *table, mis, log, count, condition, false, sink) == ReadResult::kFailed) {
      return false;
    }
  }
  return true;
}

bool DatabaseImpl::get_log_count_from_database(const std::string& log_fdn, int& count,
                                               std::string condition) {
  count = 0;
  std::string mis;
  std::string log;
  auto db = connect(log_fdn, mis, log);
  // A database that cannot be opened is a failure, not an empty log.
  if (!db) return false;
  const RecordSink none = [](AlarmRecord&) { return true; };
  int table_count = 0;
  ReadResult r = read_table(*db, kAlarmTable, mis, log, table_count, condition, true, none);
  if (r == ReadResult::kFailed) return false;
  if (r == ReadResult::kNoTable) return true;  // a log without alarm table counts 0
  count += table_count;
  for (const TableSpec* table : {&kInternetTable, &kNerveCenterTable}) {
    table_count = 0;
    r = read_table(*db, *table, mis, log, table_count, condition, true, none);
    if (r == ReadResult::kFailed) return false;
    count += table_count;
  }
  return true;
}
