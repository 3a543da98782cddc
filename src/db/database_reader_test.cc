#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <vector>

#include "db/attr_decoder.h"
#include "db/blob_scratch.h"
#include "db/database_impl.h"
#include "model/alarm_record.h"
#include "model/object_name.h"
// Fixtures write the database the way a logging server would: through the
// client library's schema and bound statements.
#include "nxdb/schema.h"
#include "nxdb_testing/scratch_database.h"

namespace {

// A column value for an insert: text, integer text, NULL or blob bytes.
struct Cell {
  std::optional<std::string> value;
  bool blob = false;
};
Cell text(std::string v) { return {std::move(v), false}; }
Cell null() { return {std::nullopt, false}; }
Cell bytes(std::string v) { return {std::move(v), true}; }

Asn1Value attribute(const char* name, const Asn1Value& value) {
  Oid oid;
  EXPECT_TRUE(OidNameRegistry::reg_n2o(name, oid)) << name;
  return Asn1Value::encode_constructed(Asn1Value::TAG_SEQ, {oid.to_value(), value});
}
std::string blob_of(const std::vector<Asn1Value>& attributes) {
  return Asn1Value::encode_constructed(Asn1Value::TAG_SET, attributes).encoding().str();
}
// What the reader makes of a blob value: the decoder's text for the short name.
std::string decoded(const char* name, const Asn1Value& value) {
  Oid oid;
  OidNameRegistry::reg_n2o(name, oid);
  std::vector<char> buffer(BlobScratch::kBufferSize, '\0');
  AttrDecoder::decode_attr(name, value, buffer.data(), oid, 1);
  return buffer.data();
}

const char kLog[] = "/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"";
const char kQuoteLog[] = "/systemId=name:\"alpha\"/logId=string:\"Bob's log\"";
const char kNumberLog[] = "/systemId=name:\"alpha\"/logId=number:5";

class ReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A fresh database on the engine of this run (SQLite, or PostgreSQL
    // when NX_TEST_PG names a test server).
    scratch_ = std::make_unique<nxdb_test::ScratchDatabase>();
    ASSERT_TRUE(scratch_->ok()) << scratch_->error();
    dir_ = scratch_->dir();
    scratch_->export_location();
    unsetenv("NX_DB_DEBUG");
    db_ = std::make_unique<NXDBInterface>(NXDBConnectInfo("alpha", 1), nxdb::OpenMode::kCreate);
    ASSERT_TRUE(db_->isConnected()) << db_->lastError();
    std::string error;
    ASSERT_TRUE(nxdb::create_schema(*db_, error)) << error;
  }

  void TearDown() override {
    db_.reset();
    scratch_.reset();
    unsetenv("NX_ALARM_DB");
  }

  std::string make_log(const std::string& id, bool number, const char* type) {
    std::string error;
    if (nxdb::log_table_name(*db_, id, number, type).empty()) {
      EXPECT_TRUE(nxdb::create_log(*db_, id, number, error)) << error;
    }
    return nxdb::log_table_name(*db_, id, number, type);
  }

  void insert(const std::string& table, const std::map<std::string, Cell>& cells) {
    std::string columns, marks;
    for (const auto& [name, cell] : cells) {
      columns += (columns.empty() ? "" : ", ") + name;
      marks += std::string(marks.empty() ? "" : ", ") + "?";
    }
    std::string error;
    auto st = db_->backend()->prepare(
        "INSERT INTO " + table + " (" + columns + ") VALUES (" + marks + ")", error);
    ASSERT_TRUE(st) << error;
    int i = 1;
    for (const auto& [name, cell] : cells) {
      if (!cell.value) {
        st->bind_null(i++);
      } else if (cell.blob) {
        st->bind_blob(i++, cell.value->data(), cell.value->size());
      } else {
        st->bind_text(i++, *cell.value);
      }
    }
    ASSERT_EQ(st->step(), nxdb::StepResult::kDone) << st->error();
  }

  // AlarmLog: two alarm rows (full blob, then none), one internet alarm,
  // one Nerve Center alarm.
  void fill_alarm_log() {
    const std::string alm = make_log("AlarmLog", false, "nxAlm");
    const std::string inet = make_log("AlarmLog", false, "nxInt");
    const std::string nrv = make_log("AlarmLog", false, "NrvCt");
    severity_value_ = Asn1Value::encode_int(1, Asn1Value::TAG_ENUM);
    insert(alm, {{"logrecordid", text("1")},
                 {"loggingtime", text("2001-02-03 04:05:07")},
                 {"eventtime", text("2001-02-03 04:05:06")},
                 {"notificationid", text("11")},
                 {"eventname", text("communicationsAlarm")},
                 {"moc_s", text("router")},
                 {"moi_s", text("/systemId=name:\"alpha\"/equipmentId=string:\"r1\"")},
                 {"additionaltext", text("from column")},
                 {"perceivedseverity", text("major")},
                 {"ackstate", text("unAcked")},
                 {"acktime", null()},
                 {"ackoperator", null()},
                 {"clearstate", text("unCleared")},
                 {"probablecause_s", text("cause")},
                 {"blob", bytes(blob_of({
                              attribute("perceivedSeverity", severity_value_),
                              attribute("additionalText",
                                        Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, "from blob")),
                          }))}});
    insert(alm, {{"logrecordid", text("2")},
                 {"eventtime", text("2001-02-04 00:00:00")},
                 {"notificationid", null()},
                 {"perceivedseverity", text("critical")},
                 {"additionaltext", null()},
                 {"ackstate", text("acked")},
                 {"acktime", text("2001-02-04 01:02:03")},
                 {"ackoperator", text("ops")},
                 {"clearstate", text("unCleared")},
                 {"blob", null()}});
    insert(inet, {{"logrecordid", text("3")},
                  {"eventtime", text("2001-02-05 00:00:00")},
                  {"perceivedseverity", text("minor")},
                  {"snmpvarbindlist_s", text("vb")},
                  {"ackstate", text("unAcked")},
                  {"clearstate", text("unCleared")},
                  {"blob", bytes("")}});
    insert(nrv, {{"logrecordid", text("4")},
                 {"eventtime", text("2001-02-06 00:00:00")},
                 {"perceivedseverity", text("critical")},
                 {"mosiseverity", text("3")},
                 {"mosistateid", null()},
                 {"ackstate", text("unAcked")},
                 {"clearstate", text("cleared")},
                 {"blob", null()}});
  }

  std::unique_ptr<nxdb_test::ScratchDatabase> scratch_;
  std::string dir_;
  std::unique_ptr<NXDBInterface> db_;
  Asn1Value severity_value_;
};

// One record as the field reader hands it over: its id and the text of
// every attribute it holds, by name.
struct Read {
  std::string id;
  std::map<std::string, std::string> texts;
  bool has(const std::string& name) const { return texts.count(name) != 0; }
  std::string at(const std::string& name) const {
    const auto it = texts.find(name);
    return it == texts.end() ? "<absent>" : it->second;
  }
};

// Every attribute of the log's records matching condition, in reading order;
// nullopt when the read fails.
std::optional<std::vector<Read>> read_all(const std::string& log, const std::string& condition = "") {
  std::vector<AlarmAttributeId> wanted;
  for (int id = ATTR_NONE + 1; id < ALARM_ATTRIBUTE_ID_COUNT; ++id) {
    wanted.push_back(static_cast<AlarmAttributeId>(id));
  }
  std::vector<Read> reads;
  DatabaseImpl reader;
  const bool ok = reader.stream_log_fields(log, condition, wanted, [&](const RecordFields& fields) {
    Read read{fields.record_id(), {}};
    for (std::size_t i = 0; i < wanted.size(); ++i) {
      if (fields.text(i) != nullptr) read.texts[AlarmAttribute::get_attribute_name(wanted[i])] = *fields.text(i);
    }
    reads.push_back(std::move(read));
    return true;
  });
  if (!ok) return std::nullopt;
  return reads;
}

const Read* find(const std::vector<Read>& reads, const std::string& id) {
  for (const Read& r : reads) {
    if (r.id == "number:" + id) return &r;
  }
  return nullptr;
}

TEST_F(ReaderTest, ReadsAllThreeTablesWithColumnAndBlobRules) {
  fill_alarm_log();
  const std::optional<std::vector<Read>> reads = read_all(kLog);
  ASSERT_TRUE(reads);
  // Table order: alarm, internet, Nerve Center. Which column each attribute
  // comes from is EveryAttributeComesFromItsOwnColumn's; here, blobs and NULLs.
  std::vector<std::string> order;
  for (const Read& r : *reads) order.push_back(r.id);
  EXPECT_EQ(order, (std::vector<std::string>{"number:1", "number:2", "number:3", "number:4"}));

  const Read& full = *find(*reads, "1");
  // Blob first: the blob's values win over the columns.
  EXPECT_EQ(full.at("perceivedSeverity"), decoded("perceivedSeverity", severity_value_));
  EXPECT_NE(full.at("perceivedSeverity"), "major");
  EXPECT_EQ(full.at("additionalText"), "from blob");
  EXPECT_EQ(full.at("ackTime"), "NULL");
  EXPECT_EQ(full.at("ackOperator"), "");  // always present, empty without column text
  EXPECT_EQ(full.at("probableCause"), "cause");
  EXPECT_FALSE(full.has("backedUpStatus"));  // empty column, no blob entry

  // After a row with a blob, a row without one reads its own columns.
  const Read& plain = *find(*reads, "2");
  EXPECT_EQ(plain.at("perceivedSeverity"), "critical");
  EXPECT_FALSE(plain.has("additionalText"));
  EXPECT_FALSE(plain.has("managedObjectInstance"));
  EXPECT_EQ(plain.at("loggingTime"), "NULL");
  EXPECT_EQ(plain.at("notificationId"), "0");
  EXPECT_EQ(plain.at("ackTime"), "20010204010203");
  EXPECT_EQ(plain.at("ackOperator"), "ops");

  const Read& inet = *find(*reads, "3");
  EXPECT_EQ(inet.at("perceivedSeverity"), "minor");
  EXPECT_EQ(inet.at("snmpVarBindList"), "vb");
  EXPECT_FALSE(inet.has("mosiSeverity"));

  const Read& nrv = *find(*reads, "4");
  EXPECT_EQ(nrv.at("mosiSeverity"), "3");
  EXPECT_EQ(nrv.at("mosiStateID"), "0");
  EXPECT_EQ(nrv.at("clearState"), "cleared");
}

TEST_F(ReaderTest, CountsWithAndWithoutConditions) {
  fill_alarm_log();
  DatabaseImpl reader;
  const std::pair<const char*, int> counts[] = {
      {"", 4},
      {"perceivedSeverity = 'critical'", 2},  // one alarm, one Nerve Center
      {"eventTime >= DATETIME (2001-02-04 00:00:00) YEAR to SECOND", 3},
      {"perceivedSeverity = 'none'", 0}};
  for (const auto& [condition, expected] : counts) {
    int count = -1;
    EXPECT_TRUE(reader.get_log_count_from_database(kLog, count, condition)) << condition;
    EXPECT_EQ(count, expected) << condition;
  }

  const auto open = read_all(kLog, "( ( ackState = 'unAcked' ) AND ( clearState = 'unCleared' ) )");
  ASSERT_TRUE(open);
  ASSERT_EQ(open->size(), 2u);
  EXPECT_TRUE(find(*open, "1") && find(*open, "3"));
  // The reader stops when the callback says so, and that is no failure.
  std::size_t seen = 0;
  EXPECT_TRUE(reader.stream_log_fields(kLog, "", {ATTR_PERCEIVED_SEVERITY},
                                       [&](const RecordFields&) { return ++seen < 2; }));
  EXPECT_EQ(seen, 2u);
}

TEST_F(ReaderTest, FailuresAreNotEmptyResults) {
  fill_alarm_log();
  DatabaseImpl reader;
  int count = -1;
  // A log the directory does not know: the read fails, the count is 0.
  EXPECT_EQ(read_all("/systemId=name:\"alpha\"/logId=string:\"Ghost\""), std::nullopt);
  EXPECT_TRUE(reader.get_log_count_from_database("/systemId=name:\"alpha\"/logId=string:\"Ghost\"",
                                                 count, ""));
  EXPECT_EQ(count, 0);
  // The same text as a number names another log.
  EXPECT_EQ(read_all("/systemId=name:\"alpha\"/logId=number:AlarmLog"), std::nullopt);
  // A condition the database rejects fails the read instead of counting 0.
  EXPECT_EQ(read_all(kLog, "nosuchcolumn = 'x'"), std::nullopt);
  EXPECT_FALSE(reader.get_log_count_from_database(kLog, count, "nosuchcolumn = 'x'"));
  EXPECT_FALSE(reader.get_log_count_from_database(kLog, count, "1 = 1; DELETE FROM log"));
  EXPECT_TRUE(NXDBTable("log", *db_).tableExists());
  // No database at all.
  setenv("NX_ALARM_DB", (dir_ + "/missing.db").c_str(), 1);
  EXPECT_EQ(read_all(kLog), std::nullopt);
  EXPECT_FALSE(reader.get_log_count_from_database(kLog, count, ""));
}

TEST_F(ReaderTest, AlarmTableMissingButOthersPresent) {
  fill_alarm_log();
  std::string alm = nxdb::log_table_name(*db_, "AlarmLog", false, "nxAlm");
  ASSERT_TRUE(db_->executeQuery("DROP TABLE " + alm));
  DatabaseImpl reader;
  std::size_t seen = 0;
  // The other tables are not read.
  EXPECT_FALSE(reader.stream_log_fields(kLog, "", {ATTR_PERCEIVED_SEVERITY}, [&](const RecordFields&) {
    ++seen;
    return true;
  }));
  EXPECT_EQ(seen, 0u);
  int count = -1;
  EXPECT_TRUE(reader.get_log_count_from_database(kLog, count, ""));
  EXPECT_EQ(count, 0);
}

TEST_F(ReaderTest, LogIdentifiersWithQuotesAndNumbers) {
  const std::string quote = make_log("Bob's log", false, "nxAlm");
  insert(quote, {{"logrecordid", text("9")}, {"perceivedseverity", text("minor")}});
  const std::string number = make_log("5", true, "nxAlm");
  insert(number, {{"logrecordid", text("10")}});
  insert(number, {{"logrecordid", text("11")}});
  DatabaseImpl reader;
  const auto quoted = read_all(kQuoteLog);
  ASSERT_TRUE(quoted);
  ASSERT_EQ(quoted->size(), 1u);
  EXPECT_EQ(quoted->front().at("perceivedSeverity"), "minor");
  int count = -1;
  EXPECT_TRUE(reader.get_log_count_from_database(kNumberLog, count, ""));
  EXPECT_EQ(count, 2);
  // Directory lookups with the identifier forms.
  EXPECT_EQ(reader.get_ilogname(*db_, "string:\"Bob's log\"", "nxAlm"), quote);
  EXPECT_EQ(reader.get_ilogname(*db_, "number:5", "nxAlm"), number);
  EXPECT_EQ(reader.get_ilogname(*db_, "name:5", "nxAlm"), number);  // other prefixes: integer
  EXPECT_EQ(reader.get_ilogname(*db_, "string:5", "nxAlm"), "");
  EXPECT_EQ(reader.get_ilogname(*db_, "string:\"Bob's", "nxAlm"), "");  // cut name
  EXPECT_EQ(reader.get_ilogname(*db_, "5' OR '1'='1", "nxAlm"), "");
}

TEST_F(ReaderTest, DirectoryQueryIsPrintedOnlyWhenDebugging) {
  make_log("AlarmLog", false, "nxAlm");
  DatabaseImpl reader;
  testing::internal::CaptureStdout();
  std::string table = reader.get_ilogname(*db_, "string:\"AlarmLog\"", "nxAlm");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(table.empty());
  setenv("NX_DB_DEBUG", "1", 1);
  testing::internal::CaptureStdout();
  reader.get_ilogname(*db_, "string:\"AlarmLog\"", "nxAlm");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "SELECT nxlogname FROM nxlog , log WHERE log.nxlogid = nxlog.nxlogid AND "
            "log.nxlogid = 'AlarmLog' AND log.logidtype = 'string' AND nxlogrecordtype = "
            "'nxAlm';\n");
  unsetenv("NX_DB_DEBUG");
}

TEST_F(ReaderTest, LockWaitComesFromTheInstallation) {
  DatabaseImpl reader;
  setenv("NX_LOG_MPA_DEADLOCK_TIMEOUT", "not-a-number", 1);
  reader.set_lockmode(*db_);  // refused by the database, the session carries on
  EXPECT_NE(db_->lastError().find("not a whole number"), std::string::npos) << db_->lastError();
  setenv("NX_LOG_MPA_DEADLOCK_TIMEOUT", "30", 1);
  reader.set_lockmode(*db_);
  NXDBRow row;
  EXPECT_TRUE(db_->executeQuery("SELECT 1", row));
  unsetenv("NX_LOG_MPA_DEADLOCK_TIMEOUT");
}

// Where each attribute is stored in the alarm, internet and Nerve Center
// tables ("" where a table has none), and how: 'B' blob first, 'E' blob
// first and always present, 'T' time, 'I' integer, 'N' instance.
struct Placement {
  const char* attribute;
  char rule;
  const char* columns[3];
};
const Placement kPlacements[] = {
    {"loggingTime", 'T', {"loggingtime", "loggingtime", "loggingtime"}},
    {"eventType", 'B', {"eventname", "eventname", "eventname"}},
    {"eventTime", 'T', {"eventtime", "eventtime", "eventtime"}},
    {"notificationId", 'I', {"notificationid", "notificationid", "notificationid"}},
    {"managedObjectClass", 'B', {"moc_s", "moc_s", "moc_s"}},
    {"managedObjectInstance", 'N', {"moi_s", "moi_s", "moi_s"}},
    {"correlatedNotifications", 'B', {"correlatednotifs", "correlatednotifs", "correlatednotifs"}},
    {"additionalText", 'B', {"additionaltext", "additionaltext", "additionaltext"}},
    {"additionalInformation", 'B', {"additionalinfo_s", "additionalinfo_s", "additionalinfo_s"}},
    {"perceivedSeverity", 'B', {"perceivedseverity", "perceivedseverity", "perceivedseverity"}},
    {"backedUpStatus", 'B', {"backedupstatus", "", "backedupstatus"}},
    {"backUpObject", 'B', {"backupobject", "", "backupobject"}},
    {"trendIndication", 'B', {"trendindication", "", "trendindication"}},
    {"ackState", 'B', {"ackstate", "ackstate", "ackstate"}},
    {"ackTime", 'T', {"acktime", "acktime", "acktime"}},
    {"ackOperator", 'E', {"ackoperator", "ackoperator", "ackoperator"}},
    {"ackText", 'E', {"acktext", "acktext", "acktext"}},
    {"clearState", 'B', {"clearstate", "clearstate", "clearstate"}},
    {"clearTime", 'T', {"cleartime", "cleartime", "cleartime"}},
    {"clearOperator", 'E', {"clearoperator", "clearoperator", "clearoperator"}},
    {"clearText", 'E', {"cleartext", "cleartext", "cleartext"}},
    {"displayState", 'B', {"displaystate", "displaystate", "displaystate"}},
    {"displayTime", 'T', {"displaytime", "displaytime", "displaytime"}},
    {"displayOperator", 'E', {"displayoperator", "displayoperator", "displayoperator"}},
    {"displayText", 'E', {"displaytext", "displaytext", "displaytext"}},
    {"mosiSeverity", 'I', {"", "", "mosiseverity"}},
    {"mosiStateID", 'I', {"", "", "mosistateid"}},
    {"probableCause", 'B', {"probablecause_s", "probablecause_s", "probablecause_s"}},
    {"specificProblems", 'B', {"specificproblems", "", "specificproblems_s"}},
    {"thresholdInfo", 'B', {"thresholdinfo_s", "", "thresholdinfo_s"}},
    {"stateChangeDefinition", 'B', {"statechangedef_s", "", "statechangedef_s"}},
    {"monitoredAttributes", 'B', {"monitoredattribs", "", "monitoredattribs"}},
    {"proposedRepairActions", 'B', {"proposedrpracts", "", "proposedrpractions"}},
    {"attributeIdentifierList", 'B', {"", "attributeidlist_s", ""}},
    {"objectInstanceList", 'B', {"", "objectinstancelsts", ""}},
    {"snmpVarBindList", 'B', {"", "snmpvarbindlist_s", ""}},
    {"internetTrapInfo", 'B', {"", "internettrapinfo_s", ""}},
    {"transportDomain", 'B', {"", "transportdomain_s", ""}},
    {"accessControlInfo", 'B', {"", "accesscontrolinfos", ""}},
};

// Every column of every table holds a value of its own, so an attribute read
// from a wrong column, or converted the wrong way, shows.
TEST_F(ReaderTest, EveryAttributeComesFromItsOwnColumn) {
  const std::vector<nxdb::RecordType>& types = nxdb::alarm_record_types();
  ASSERT_EQ(types.size(), 3u);
  std::vector<std::map<std::string, std::string>> expected(types.size());
  for (std::size_t t = 0; t < types.size(); ++t) {
    const std::string table = make_log("AlarmLog", false, types[t].code);
    std::map<std::string, Cell> cells;
    std::map<std::string, std::string> read_as;  // column -> the text it reads as
    int n = 0;
    for (const nxdb::ColumnDef& column : types[t].columns) {
      const std::string name = column.name;
      ++n;
      if (name == "blob" || name == "moi_id" || name == "logrectype") continue;
      if (name == "logrecordid") {
        cells[name] = text(std::to_string(t + 1));
      } else if (name == "moi_s") {
        const std::string instance = "/systemId=name:\"alpha\"/equipmentId=string:\"" + name + std::to_string(t) + "\"";
        cells[name] = text(instance);
        read_as[name] = instance;
      } else if (column.kind == nxdb::ColumnKind::kTime) {
        const std::string second = (n < 10 ? "0" : "") + std::to_string(n);
        cells[name] = text("2001-02-0" + std::to_string(t + 1) + " 10:20:" + second);
        read_as[name] = "2001020" + std::to_string(t + 1) + "1020" + second;
      } else if (column.kind == nxdb::ColumnKind::kInteger) {
        cells[name] = text(std::to_string(100 * (t + 1) + n));
        read_as[name] = std::to_string(100 * (t + 1) + n);
      } else {
        cells[name] = text(name + " of " + types[t].code);
        read_as[name] = name + " of " + types[t].code;
      }
    }
    insert(table, cells);
    for (const Placement& p : kPlacements) {
      const std::string column = p.columns[t];
      if (column.empty()) continue;
      ASSERT_EQ(read_as.count(column), 1u) << column << " is no column of " << types[t].code;
      expected[t][p.attribute] = read_as[column];
    }
  }

  const std::optional<std::vector<Read>> reads = read_all(kLog);
  ASSERT_TRUE(reads);
  ASSERT_EQ(reads->size(), types.size());
  for (std::size_t t = 0; t < types.size(); ++t) {
    const Read& read = (*reads)[t];
    EXPECT_EQ(read.id, "number:" + std::to_string(t + 1));
    EXPECT_EQ(read.texts, expected[t]) << types[t].code;
  }
}

// Blob values win over columns; repeated and unknown wanted identifiers read
// as their first listing and as nothing.
TEST_F(ReaderTest, BlobValuesWinAndRepeatsShareTheirText) {
  const std::string alm = make_log("AlarmLog", false, "nxAlm");
  const Asn1Value instance = fdn2oi(DataUnit("/systemId=name:\"beta\"/equipmentId=string:\"b7\""));
  ASSERT_FALSE(instance.is_null());
  const Asn1Value problems = Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, "blob problems");
  insert(alm, {{"logrecordid", text("5")},
               {"eventtime", text("2001-02-07 00:00:00")},
               {"eventname", text("column type")},
               {"moi_s", text("/systemId=name:\"alpha\"")},
               {"ackstate", text("unAcked")},
               {"specificproblems", text("column problems")},
               {"displaystate", text("displayed")},
               {"blob", bytes(blob_of({
                            attribute("eventType", Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, "blob type")),
                            attribute("managedObjectInstance", instance),
                            attribute("ackState", Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, "acked")),
                            attribute("specificProblems", problems),
                        }))}});
  const std::optional<std::vector<Read>> reads = read_all(kLog);
  ASSERT_TRUE(reads);
  ASSERT_EQ(reads->size(), 1u);
  const Read& blobbed = reads->front();
  EXPECT_EQ(blobbed.at("eventType"), "blob type");
  EXPECT_EQ(blobbed.at("ackState"), "acked");
  EXPECT_EQ(blobbed.at("specificProblems"), decoded("specificProblems", problems));
  EXPECT_EQ(blobbed.at("managedObjectInstance"), "/systemId=name:\"beta\"/equipmentId=string:\"b7\"");
  EXPECT_EQ(blobbed.at("displayState"), "displayed");  // no blob entry: the column

  const std::vector<AlarmAttributeId> wanted = {ATTR_ACK_STATE, ATTR_NONE, ATTR_MANAGED_OBJECT_INSTANCE,
                                                ATTR_ACK_STATE, ATTR_LOG_NAME, ATTR_MANAGED_OBJECT_INSTANCE};
  DatabaseImpl reader;
  std::size_t seen = 0;
  ASSERT_TRUE(reader.stream_log_fields(kLog, "", wanted, [&](const RecordFields& f) {
    ++seen;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
      const std::string name = AlarmAttribute::get_attribute_name(wanted[i]);
      if (!blobbed.has(name)) {
        EXPECT_EQ(f.text(i), nullptr) << i;
      } else if (f.text(i) == nullptr) {
        ADD_FAILURE() << "no text for wanted " << i;
      } else {
        EXPECT_EQ(*f.text(i), blobbed.at(name)) << i;
      }
    }
    return true;
  }));
  EXPECT_EQ(seen, 1u);
}

// Managed-object names in the column read as a record keeps them (printed,
// then read back), whatever else is selected beside them; a name that does
// not parse leaves the record without an instance.
TEST_F(ReaderTest, ColumnNamesAndTimesReadAsRecordsKeepThem) {
  const std::string alm = make_log("AlarmLog", false, "nxAlm");
  const std::vector<std::string> names = {
      "/systemId=name:\"alpha\"/equipmentId=name:\"rack 7\"/portId=number:3",
      "/systemId=name:\"alpha\"/equipmentId=name:\"rack \"\"12\"\"\"",
      "/systemId=name:\"alpha\"/cardId={ slot 3 }",
      "/",
      "/systemId=name:\"alpha\"//portId=number:3",
      "/systemId=name:\"open",
      "/a=" + std::string(ObjectName::kMaxText - 100, 'x'),
  };
  for (std::size_t i = 0; i < names.size(); ++i) {
    insert(alm, {{"logrecordid", text(std::to_string(i + 1))},
                 {"moi_s", text(names[i])},
                 {"eventtime", text("2001-02-03 04:05:06")},
                 {"acktime", i % 2 ? null() : text("2001-02-03 04:05:07")},
                 {"ackstate", text("acked")}});
  }
  const std::vector<std::vector<AlarmAttributeId>> selections = {
      {ATTR_MANAGED_OBJECT_INSTANCE},
      {ATTR_ACK_TIME, ATTR_EVENT_TIME, ATTR_MANAGED_OBJECT_INSTANCE},
      {ATTR_ACK_STATE, ATTR_MANAGED_OBJECT_INSTANCE, ATTR_ADDITIONAL_TEXT, ATTR_EVENT_TIME, ATTR_ACK_TIME}};
  for (const std::vector<AlarmAttributeId>& wanted : selections) {
    std::size_t row = 0;
    ASSERT_TRUE(DatabaseImpl().stream_log_fields(kLog, "", wanted, [&](const RecordFields& f) {
      const std::string& name = names.at(row);
      EXPECT_EQ(f.record_id(), "number:" + std::to_string(row + 1));
      for (std::size_t i = 0; i < wanted.size(); ++i) {
        const std::string* got = f.text(i);
        if (wanted[i] == ATTR_MANAGED_OBJECT_INSTANCE) {
          const std::string printed = DatabaseImpl::my_fdn2oi(name.c_str());
          if (printed.empty()) {
            EXPECT_EQ(got, nullptr) << name;
          } else {
            EXPECT_EQ(got ? *got : "<absent>", AlarmRecord::map_text(ATTR_MANAGED_OBJECT_INSTANCE, printed))
                << name;
          }
        } else if (wanted[i] == ATTR_ACK_TIME || wanted[i] == ATTR_EVENT_TIME) {
          const bool ack = wanted[i] == ATTR_ACK_TIME;
          EXPECT_EQ(got ? *got : "<absent>", !ack ? "20010203040506" : row % 2 ? "NULL" : "20010203040507");
        } else if (wanted[i] == ATTR_ACK_STATE) {
          EXPECT_NE(got, nullptr);
        }
      }
      ++row;
      return true;
    }));
    EXPECT_EQ(row, names.size());
  }
  // The names that parse: four read back, the rest leave no instance.
  EXPECT_EQ(AlarmRecord::map_text(ATTR_MANAGED_OBJECT_INSTANCE, DatabaseImpl::my_fdn2oi(names[1].c_str())),
            names[1]);
  EXPECT_EQ(DatabaseImpl::my_fdn2oi(names[4].c_str()), "");
}

TEST_F(ReaderTest, ManagedObjectIdentitiesAreStable) {
  const std::string name = "/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"";
  const int id = DatabaseImpl::get_unique_moid("alpha", name);
  EXPECT_GT(id, 0);
  EXPECT_EQ(DatabaseImpl::get_unique_moid("alpha", name), id);
  const int other = DatabaseImpl::get_unique_moid("alpha", name + "/logRecordId=number:1");
  EXPECT_GT(other, 0);
  EXPECT_NE(other, id);
}

}  // namespace
