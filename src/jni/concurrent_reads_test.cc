// Retrievals that overlap: a read started while another one's worker and
// row fetcher are still going (what a batch listener that reads the log
// does), and four threads reading at once through one reader, as the
// natives do. Every read must give the bytes a lone read gives. Run under
// ThreadSanitizer by `make tsan`.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "db/database_impl.h"
#include "jni/packed_stream.h"
#include "nxdb/schema.h"
#include "nxdb_testing/scratch_database.h"

namespace nxjni {
namespace {

constexpr int kRecords = 2000;
constexpr int kBlobEvery = 10;
const char kLog[] = "/systemId=name:\"alpha\"/logId=string:\"a/b\"";

// Every attribute a Java record has, each of a kind the rows vary in.
const std::vector<AlarmAttributeId> kWanted = {
    ATTR_LOG_RECORD_ID, ATTR_EVENT_TIME,   ATTR_LOGGING_TIME,       ATTR_MANAGED_OBJECT_INSTANCE,
    ATTR_EVENT_TYPE,    ATTR_ADDITIONAL_TEXT, ATTR_PERCEIVED_SEVERITY, ATTR_ACK_STATE,
    ATTR_ACK_TIME,      ATTR_PROBABLE_CAUSE,
};

Asn1Value attribute(const char* name, const Asn1Value& value) {
  Oid oid;
  EXPECT_TRUE(OidNameRegistry::reg_n2o(name, oid)) << name;
  return Asn1Value::encode_constructed(Asn1Value::TAG_SEQ, {oid.to_value(), value});
}

class ConcurrentReads : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.ok()) << scratch_.error();
    scratch_.export_location();
    NXDBInterface db(NXDBConnectInfo("alpha", 1), nxdb::OpenMode::kCreate);
    std::string error;
    ASSERT_TRUE(nxdb::create_schema(db, error) && nxdb::create_log(db, "a/b", false, error)) << error;
    const std::string table = nxdb::log_table_name(db, "a/b", false, "nxAlm");
    // Rows whose managed object (a '/' inside its quotes), times and texts
    // all differ: a record given another's value shows.
    const std::string seconds = nxdb_test::on_postgres()
                                    ? "timestamp '2001-02-03 00:00:00' + x * interval '%d second'"
                                    : "datetime('2001-02-03 00:00:00', '+' || (x * %d) || ' seconds')";
    auto time = [&](int step) {
      std::string t = seconds;
      t.replace(t.find("%d"), 2, std::to_string(step));
      return t;
    };
    ASSERT_TRUE(db.backend()->exec_script(
        "WITH RECURSIVE g(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM g WHERE x < " + std::to_string(kRecords) +
            ") INSERT INTO " + table +
            " (logrecordid, eventtime, loggingtime, eventname, moi_s, additionaltext, perceivedseverity,"
            " probablecause_s, ackstate, acktime, clearstate) SELECT x, " +
            time(7) + ", " + time(3) +
            ", 'type ' || x, '/systemId=name:\"alpha\"/equipmentId=string:\"rack ' || x || '/slot\"', 'text ' || x,"
            " CASE x % 3 WHEN 0 THEN 'critical' WHEN 1 THEN 'major' ELSE 'minor' END, 'cause ' || x,"
            " CASE x % 2 WHEN 0 THEN 'acked' ELSE 'unAcked' END, CASE x % 2 WHEN 0 THEN " +
            time(5) + " END, 'unCleared' FROM g",
        error))
        << error;
    // Some rows carry their text and instance in the blob: the decoder's
    // buffer and the printed-name reading take part too.
    auto update = db.backend()->prepare("UPDATE " + table + " SET blob = ? WHERE logrecordid = ?", error);
    ASSERT_TRUE(update) << error;
    for (int x = kBlobEvery; x <= kRecords; x += kBlobEvery) {
      const std::string moi = "/systemId=name:\"alpha\"/equipmentId=string:\"blob " + std::to_string(x) + "/b\"";
      const std::string blob =
          Asn1Value::encode_constructed(
              Asn1Value::TAG_SET,
              {attribute("additionalText", Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, "blob " + std::to_string(x))),
               attribute("managedObjectInstance", fdn2oi(DataUnit(moi)))})
              .encoding()
              .str();
      update->reset();
      update->bind_blob(1, blob.data(), blob.size());
      update->bind_text(2, std::to_string(x));
      ASSERT_EQ(update->step(), nxdb::StepResult::kDone) << update->error();
    }
  }
  void TearDown() override { unsetenv("NX_ALARM_DB"); }

  // One whole retrieval, packed as the natives pack it; on_run (may be
  // empty) runs on the calling thread with each run, as a batch listener.
  bool read_all(std::string& bytes, const std::function<void()>& on_run = {}) {
    const FieldRead read = [&](const std::function<bool(const RecordFields&)>& sink) {
      return reader_.stream_log_fields(kLog, "", kWanted, sink);
    };
    bytes.clear();
    return stream_packed(read, 100, {}, [&](PackedRun& run) {
      bytes += run.bytes;
      if (on_run) on_run();
      return true;
    });
  }

  nxdb_test::ScratchDatabase scratch_;
  DatabaseImpl reader_;  // one reader, as the service has
};

TEST_F(ConcurrentReads, ANestedReadDuringAStreamingReadGivesTheSameRecords) {
  std::string alone;
  ASSERT_TRUE(read_all(alone));
  // The rows' own texts made it through the conversions.
  EXPECT_NE(alone.find("/systemId=name:\"alpha\"/equipmentId=string:\"rack 77/slot\""), std::string::npos);
  EXPECT_NE(alone.find("/systemId=name:\"alpha\"/equipmentId=string:\"blob 70/b\""), std::string::npos);

  int nested_reads = 0;
  int nested_wrong = 0;
  std::string outer;
  std::string nested;
  ASSERT_TRUE(read_all(outer, [&] {
    // Only a few: each is a whole read while the outer one reads ahead.
    if (nested_reads >= 6) return;
    ++nested_reads;
    if (!read_all(nested) || nested != alone) ++nested_wrong;
  }));
  EXPECT_EQ(nested_reads, 6);
  EXPECT_EQ(nested_wrong, 0);
  EXPECT_TRUE(outer == alone) << "the outer read differs from a lone read";
}

TEST_F(ConcurrentReads, FourThreadsReadingAtOnceGetTheSameRecords) {
  std::string alone;
  ASSERT_TRUE(read_all(alone));
  constexpr int kThreads = 4;
  constexpr int kRounds = 3;
  std::vector<int> wrong(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::string bytes;
      for (int round = 0; round < kRounds; ++round) {
        if (!read_all(bytes) || bytes != alone) ++wrong[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
}

}  // namespace
}  // namespace nxjni
