// Rows read per second (wall clock: the reader fetches rows ahead on a thread
// of its own) by the field reader, next to a plain SQLite scan
// of the same table (the floor any reader pays). With NX_TEST_PG set (a
// throwaway PostgreSQL server) the reader runs against that server instead.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "db/database_impl.h"
#include "nxdb/schema.h"
#include "nxdb_testing/scratch_database.h"
#include "db/alarm_columns.h"

namespace {

constexpr int kRecords = 20000;
const char kLog[] = "/systemId=name:\"bench\"/logId=string:\"BenchLog\"";

// One database for the whole run, removed at exit.
class BenchDatabase {
 public:
  BenchDatabase() {
    if (!scratch_.ok()) {
      std::fprintf(stderr, "bench set-up: %s\n", scratch_.error().c_str());
      std::abort();
    }
    path_ = scratch_.location();
    scratch_.export_location();
    NXDBInterface db(NXDBConnectInfo("bench", 1), nxdb::OpenMode::kCreate);
    std::string error;
    if (!nxdb::create_schema(db, error) || !nxdb::create_log(db, "BenchLog", false, error)) {
      std::fprintf(stderr, "bench set-up: %s\n", error.c_str());
      std::abort();
    }
    table_ = nxdb::log_table_name(db, "BenchLog", false, "nxAlm");
    Oid text_oid;
    OidNameRegistry::reg_n2o("additionalText", text_oid);
    const std::string blob =
        Asn1Value::encode_constructed(
            Asn1Value::TAG_SET,
            {Asn1Value::encode_constructed(
                Asn1Value::TAG_SEQ,
                {text_oid.to_value(),
                 Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, "link down on port 7")})})
            .encoding()
            .str();
    db.backend()->exec_script("BEGIN", error);
    auto st = db.backend()->prepare(
        "INSERT INTO " + table_ +
            " (logrecordid, loggingtime, eventtime, notificationid, eventname, moc_s, moi_s,"
            " perceivedseverity, ackstate, clearstate, displaystate, probablecause_s, blob)"
            " VALUES (?1, '2001-02-03 04:05:07', '2001-02-03 04:05:06', ?1, 'communicationsAlarm',"
            " 'router', '/systemId=name:\"bench\"/logId=string:\"r1\"', 'major', 'unAcked',"
            " 'unCleared', 'unDisplayed', 'cause', ?2)",
        error);
    for (int i = 1; i <= kRecords; ++i) {
      st->reset();
      st->bind_int(1, i);
      st->bind_blob(2, blob.data(), blob.size());
      st->step();
    }
    db.backend()->exec_script("COMMIT", error);
  }
  const std::string& path() const { return path_; }
  bool postgres() const { return scratch_.postgres(); }
  const std::string& table() const { return table_; }

 private:
  nxdb_test::ScratchDatabase scratch_;
  std::string path_;
  std::string table_;
};

const BenchDatabase& database() {
  static BenchDatabase db;
  return db;
}

// Every attribute a record can hold: the most the field reader is asked.
void BM_StreamAllFields(benchmark::State& state) {
  database();
  DatabaseImpl reader;
  std::vector<AlarmAttributeId> wanted;
  for (int id = ATTR_NONE + 1; id < ALARM_ATTRIBUTE_ID_COUNT; ++id) {
    wanted.push_back(static_cast<AlarmAttributeId>(id));
  }
  for (auto _ : state) {
    std::size_t seen = 0;
    if (!reader.stream_log_fields(kLog, "", wanted, [&](const RecordFields& f) {
          for (std::size_t i = 0; i < wanted.size(); ++i) seen += f.text(i) != nullptr;
          return true;
        })) {
      state.SkipWithError("read failed");
    }
    benchmark::DoNotOptimize(seen);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_StreamAllFields)->Unit(benchmark::kMillisecond)->UseRealTime();

// Only the attributes a Java record has fields for, as a retrieval reads them.
void BM_StreamLogFields(benchmark::State& state) {
  database();
  DatabaseImpl reader;
  const std::vector<AlarmAttributeId> wanted = {
      ATTR_LOG_NAME, ATTR_LOG_RECORD_ID, ATTR_MANAGED_OBJECT_INSTANCE, ATTR_PERCEIVED_SEVERITY,
      ATTR_EVENT_TYPE, ATTR_PROBABLE_CAUSE, ATTR_EVENT_TIME, ATTR_LOGGING_TIME, ATTR_ADDITIONAL_TEXT,
      ATTR_ACK_STATE, ATTR_ACK_OPERATOR, ATTR_ACK_TEXT, ATTR_ACK_TIME, ATTR_CLEAR_STATE,
      ATTR_CLEAR_OPERATOR, ATTR_CLEAR_TEXT, ATTR_CLEAR_TIME, ATTR_DISPLAY_STATE,
      ATTR_DISPLAY_OPERATOR, ATTR_DISPLAY_TEXT, ATTR_DISPLAY_TIME};
  for (auto _ : state) {
    std::size_t seen = 0;
    reader.stream_log_fields(kLog, "", wanted, [&](const RecordFields& f) {
      seen += f.text(2) ? f.text(2)->size() : 0;
      return true;
    });
    benchmark::DoNotOptimize(seen);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_StreamLogFields)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same SELECT through sqlite3 directly, every column's bytes touched.
void BM_PlainSqliteScan(benchmark::State& state) {
  const BenchDatabase& db = database();
  if (db.postgres()) {
    state.SkipWithError("SQLite only");
    return;
  }
  sqlite3* handle = nullptr;
  sqlite3_open_v2(db.path().c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
  const std::string sql = std::string("SELECT ") + CommonAttributes::common_list + ", " +
                          NxAlm::attr_list + " FROM " + db.table();
  for (auto _ : state) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(handle, sql.c_str(), -1, &st, nullptr);
    std::size_t bytes = 0;
    const int columns = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
      for (int c = 0; c < columns; ++c) {
        sqlite3_column_blob(st, c);
        bytes += static_cast<std::size_t>(sqlite3_column_bytes(st, c));
      }
    }
    sqlite3_finalize(st);
    benchmark::DoNotOptimize(bytes);
  }
  sqlite3_close_v2(handle);
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_PlainSqliteScan)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
