#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <vector>

#include "db/attr_decoder.h"
#include "db/database_impl.h"
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
  std::vector<char> buffer(DatabaseImpl::DECODE_BUFFER_SIZE, '\0');
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

const AlarmRecord* find(const std::list<AlarmRecord>& records, const std::string& id) {
  for (const AlarmRecord& r : records) {
    if (r.get_record_id().find(id) != std::string::npos) return &r;
  }
  return nullptr;
}

TEST_F(ReaderTest, LoadsAllThreeTablesWithColumnAndBlobRules) {
  fill_alarm_log();
  DatabaseImpl reader;
  std::list<AlarmRecord> records;
  int count = 0;
  ASSERT_TRUE(reader.init_log_from_database(kLog, records, count, ""));
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(count, 4);
  // Table order: alarm, internet, Nerve Center.
  std::vector<std::string> order;
  for (const AlarmRecord& r : records) order.push_back(r.get_record_id());
  EXPECT_NE(order[0].find('1'), std::string::npos);
  EXPECT_NE(order[2].find('3'), std::string::npos);
  EXPECT_NE(order[3].find('4'), std::string::npos);

  const AlarmRecord& full = *find(records, "1");
  EXPECT_TRUE(full.is_initialized());
  EXPECT_EQ(full.get_mis_name(), "alpha");
  // Blob first: the blob's values win over the columns.
  EXPECT_EQ(full.get_alarm_attribute("perceivedSeverity"),
            decoded("perceivedSeverity", severity_value_));
  EXPECT_NE(full.get_alarm_attribute("perceivedSeverity"), "major");
  EXPECT_EQ(full.get_alarm_attribute("additionalText"), "from blob");
  EXPECT_EQ(full.get_alarm_attribute("eventTime"), "20010203040506");
  EXPECT_EQ(full.get_alarm_attribute("loggingTime"), "20010203040507");
  EXPECT_EQ(full.get_alarm_attribute("notificationId"), "11");
  EXPECT_EQ(full.get_alarm_attribute("eventType"), "communicationsAlarm");
  EXPECT_EQ(full.get_alarm_attribute("managedObjectClass"), "router");
  // The instance travels as value notation and comes back as the name.
  EXPECT_EQ(full.get_alarm_attribute("managedObjectInstance"),
            "/systemId=name:\"alpha\"/equipmentId=string:\"r1\"");
  EXPECT_EQ(full.get_alarm_attribute("ackTime"), "NULL");
  EXPECT_TRUE(full.is_alarm_attribute_set("ackOperator"));
  EXPECT_EQ(full.get_alarm_attribute("ackOperator"), "");
  EXPECT_EQ(full.get_alarm_attribute("probableCause"), "cause");
  EXPECT_FALSE(full.is_alarm_attribute_set("backedUpStatus"));  // empty column, no blob entry

  // After a row with a blob, a row without one reads its own columns.
  const AlarmRecord& plain = *find(records, "2");
  EXPECT_EQ(plain.get_alarm_attribute("perceivedSeverity"), "critical");
  EXPECT_FALSE(plain.is_alarm_attribute_set("additionalText"));
  EXPECT_FALSE(plain.is_alarm_attribute_set("managedObjectInstance"));
  EXPECT_EQ(plain.get_alarm_attribute("loggingTime"), "NULL");
  EXPECT_EQ(plain.get_alarm_attribute("notificationId"), "0");
  EXPECT_EQ(plain.get_alarm_attribute("ackTime"), "20010204010203");
  EXPECT_EQ(plain.get_alarm_attribute("ackOperator"), "ops");

  const AlarmRecord& inet = *find(records, "3");
  EXPECT_EQ(inet.get_alarm_attribute("perceivedSeverity"), "minor");
  EXPECT_EQ(inet.get_alarm_attribute("snmpVarBindList"), "vb");
  EXPECT_FALSE(inet.is_alarm_attribute_set("mosiSeverity"));

  const AlarmRecord& nrv = *find(records, "4");
  EXPECT_EQ(nrv.get_alarm_attribute("mosiSeverity"), "3");
  EXPECT_EQ(nrv.get_alarm_attribute("mosiStateID"), "0");
  EXPECT_EQ(nrv.get_alarm_attribute("clearState"), "cleared");
}

TEST_F(ReaderTest, CountsWithAndWithoutConditions) {
  fill_alarm_log();
  DatabaseImpl reader;
  int count = -1;
  EXPECT_TRUE(reader.get_log_count_from_database(kLog, count, ""));
  EXPECT_EQ(count, 4);
  EXPECT_TRUE(reader.get_log_count_from_database(kLog, count, "perceivedSeverity = 'critical'"));
  EXPECT_EQ(count, 2);  // one alarm, one Nerve Center
  EXPECT_TRUE(reader.get_log_count_from_database(
      kLog, count, "eventTime >= DATETIME (2001-02-04 00:00:00) YEAR to SECOND"));
  EXPECT_EQ(count, 3);
  EXPECT_TRUE(reader.get_log_count_from_database(kLog, count, "perceivedSeverity = 'none'"));
  EXPECT_EQ(count, 0);

  std::list<AlarmRecord> records;
  int loaded = 0;
  ASSERT_TRUE(reader.init_log_from_database(
      kLog, records, loaded, "( ( ackState = 'unAcked' ) AND ( clearState = 'unCleared' ) )"));
  EXPECT_EQ(loaded, 2);
  EXPECT_TRUE(find(records, "1") && find(records, "3"));
}

TEST_F(ReaderTest, FailuresAreNotEmptyResults) {
  fill_alarm_log();
  DatabaseImpl reader;
  std::list<AlarmRecord> records;
  int count = 0;
  // A log the directory does not know: nothing loaded, counted 0.
  EXPECT_FALSE(reader.init_log_from_database("/systemId=name:\"alpha\"/logId=string:\"Ghost\"",
                                             records, count, ""));
  EXPECT_TRUE(records.empty());
  EXPECT_TRUE(reader.get_log_count_from_database("/systemId=name:\"alpha\"/logId=string:\"Ghost\"",
                                                 count, ""));
  EXPECT_EQ(count, 0);
  // The same text as a number names another log.
  EXPECT_FALSE(reader.init_log_from_database("/systemId=name:\"alpha\"/logId=number:AlarmLog",
                                             records, count, ""));
  // A condition the database rejects fails the read instead of counting 0.
  EXPECT_FALSE(reader.init_log_from_database(kLog, records, count, "nosuchcolumn = 'x'"));
  EXPECT_FALSE(reader.get_log_count_from_database(kLog, count, "nosuchcolumn = 'x'"));
  EXPECT_FALSE(reader.get_log_count_from_database(kLog, count, "1 = 1; DELETE FROM log"));
  EXPECT_TRUE(NXDBTable("log", *db_).tableExists());
  // No database at all.
  setenv("NX_ALARM_DB", (dir_ + "/missing.db").c_str(), 1);
  EXPECT_FALSE(reader.init_log_from_database(kLog, records, count, ""));
  EXPECT_FALSE(reader.get_log_count_from_database(kLog, count, ""));
}

TEST_F(ReaderTest, AlarmTableMissingButOthersPresent) {
  fill_alarm_log();
  std::string alm = nxdb::log_table_name(*db_, "AlarmLog", false, "nxAlm");
  ASSERT_TRUE(db_->executeQuery("DROP TABLE " + alm));
  DatabaseImpl reader;
  std::list<AlarmRecord> records;
  int count = 0;
  EXPECT_FALSE(reader.init_log_from_database(kLog, records, count, ""));
  EXPECT_TRUE(records.empty());  // the other tables are not read
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
  std::list<AlarmRecord> records;
  int count = 0;
  ASSERT_TRUE(reader.init_log_from_database(kQuoteLog, records, count, ""));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records.front().get_alarm_attribute("perceivedSeverity"), "minor");
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

TEST_F(ReaderTest, StreamingStopsWhenTheSinkSaysSo) {
  fill_alarm_log();
  DatabaseImpl reader;
  std::vector<std::string> seen;
  EXPECT_TRUE(reader.stream_log_from_database(kLog, "", [&](AlarmRecord& r) {
    seen.push_back(r.get_record_id());
    return seen.size() < 2;
  }));
  EXPECT_EQ(seen.size(), 2u);
}

// Reading only some attributes must give exactly what whole records hold
// for them: blob or column, the first of two sources, converted instances,
// "NULL" times, attributes a table lacks, records of every table.
TEST_F(ReaderTest, FieldsAgreeWithWholeRecords) {
  fill_alarm_log();
  const std::string alm = make_log("AlarmLog", false, "nxAlm");
  const Asn1Value instance = fdn2oi(DataUnit("/systemId=name:\"beta\"/equipmentId=string:\"b7\""));
  ASSERT_FALSE(instance.is_null());
  insert(alm, {{"logrecordid", text("5")},
               {"eventtime", text("2001-02-07 00:00:00")},
               {"eventname", text("column type")},
               {"moi_s", text("/systemId=name:\"alpha\"")},
               {"ackstate", text("unAcked")},
               {"displaystate", text("displayed")},
               {"blob", bytes(blob_of({
                            attribute("eventType", Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, "blob type")),
                            attribute("managedObjectInstance", instance),
                            attribute("ackState", Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, "acked")),
                        }))}});
  DatabaseImpl reader;
  std::list<AlarmRecord> records;
  int count = 0;
  ASSERT_TRUE(reader.init_log_from_database(kLog, records, count, ""));
  ASSERT_EQ(records.size(), 5u);

  // Every identifier, some twice, in no particular order.
  std::vector<AlarmAttributeId> wanted;
  for (int id = ATTR_LOG_NAME; id >= ATTR_NONE; --id) wanted.push_back(static_cast<AlarmAttributeId>(id));
  wanted.push_back(ATTR_PERCEIVED_SEVERITY);
  wanted.push_back(ATTR_MANAGED_OBJECT_INSTANCE);

  auto record = records.begin();
  std::size_t seen = 0;
  ASSERT_TRUE(reader.stream_log_fields(kLog, "", wanted, [&](const RecordFields& fields) {
    EXPECT_NE(record, records.end());
    if (record == records.end()) return false;
    EXPECT_EQ(fields.record_id(), record->get_record_id());
    const AlarmAttributeMap& map = record->get_attribute_list();
    for (std::size_t i = 0; i < wanted.size(); ++i) {
      const auto it = map.find(AlarmAttribute(wanted[i]));
      const std::string* text = fields.text(i);
      if (it == map.end()) {
        EXPECT_EQ(text, nullptr) << record->get_record_id() << " attribute " << wanted[i] << ": " << *text;
      } else {
        EXPECT_NE(text, nullptr) << record->get_record_id() << " attribute " << wanted[i];
        if (text) {
          EXPECT_EQ(*text, it->second) << record->get_record_id() << " attribute " << wanted[i];
        }
      }
    }
    ++record;
    ++seen;
    return true;
  }));
  EXPECT_EQ(seen, 5u);

  // The row with the blob: blob values win, the instance comes back as a name.
  const AlarmRecord& blobbed = *find(records, "5");
  EXPECT_EQ(blobbed.get_alarm_attribute("eventType"), "blob type");
  EXPECT_EQ(blobbed.get_alarm_attribute("ackState"), "acked");
  EXPECT_EQ(blobbed.get_alarm_attribute("managedObjectInstance"),
            "/systemId=name:\"beta\"/equipmentId=string:\"b7\"");
}

TEST_F(ReaderTest, FieldsFollowTheConditionAndStopWhenAsked) {
  fill_alarm_log();
  DatabaseImpl reader;
  const std::vector<AlarmAttributeId> wanted = {ATTR_PERCEIVED_SEVERITY};
  std::vector<std::string> severities;
  ASSERT_TRUE(reader.stream_log_fields(kLog, "perceivedseverity = 'critical'", wanted,
                                       [&](const RecordFields& f) {
                                         severities.push_back(f.text(0) ? *f.text(0) : "-");
                                         return true;
                                       }));
  EXPECT_EQ(severities, (std::vector<std::string>{"critical", "critical"}));

  std::size_t seen = 0;
  EXPECT_TRUE(reader.stream_log_fields(kLog, "", wanted, [&](const RecordFields&) { return ++seen < 2; }));
  EXPECT_EQ(seen, 2u);
  // A query that fails is a failed read, not an empty one.
  EXPECT_FALSE(reader.stream_log_fields(kLog, "no_such_column = 1", wanted, [](const RecordFields&) { return true; }));
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

TEST_F(ReaderTest, LoadsALargeLog) {
  const std::string alm = make_log("AlarmLog", false, "nxAlm");
  constexpr int kRecords = 100000;
  std::string error;
  ASSERT_TRUE(db_->backend()->exec_script("BEGIN", error)) << error;
  auto st = db_->backend()->prepare(
      "INSERT INTO " + alm +
          " (logrecordid, eventtime, perceivedseverity, ackstate, clearstate, moc_s, blob)"
          " VALUES (?1, '2001-02-03 04:05:06', 'major', 'unAcked', 'unCleared', 'router', ?2)",
      error);
  ASSERT_TRUE(st) << error;
  const std::string blob = blob_of({attribute(
      "additionalText", Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, "text in blob"))});
  for (int i = 1; i <= kRecords; ++i) {
    st->reset();
    st->bind_int(1, i);
    st->bind_blob(2, blob.data(), blob.size());
    ASSERT_EQ(st->step(), nxdb::StepResult::kDone) << st->error();
  }
  ASSERT_TRUE(db_->backend()->exec_script("COMMIT", error)) << error;

  DatabaseImpl reader;
  std::list<AlarmRecord> records;
  int count = 0;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(reader.init_log_from_database(kLog, records, count, ""));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(records.size(), static_cast<std::size_t>(kRecords));
  EXPECT_EQ(count, kRecords);
  EXPECT_EQ(records.back().get_alarm_attribute("additionalText"), "text in blob");
  EXPECT_NE(records.back().get_record_id().find("100000"), std::string::npos);
  RecordProperty("load_seconds", std::to_string(seconds));
  std::printf("loaded %d records in %.2f s\n", kRecords, seconds);
}

}  // namespace
