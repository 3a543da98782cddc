// The worker that reads and packs while the caller hands runs to Java: order,
// batch boundaries, stopping from either side, failures. Run under
// ThreadSanitizer by `make tsan`.
#include "jni/packed_stream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/database_impl.h"
#include "jni/record_packer.h"
#include "nxdb/schema.h"
#include "nxdb_testing/scratch_database.h"

namespace nxjni {
namespace {

// A read of n records whose event types are their numbers, each padded to
// pad bytes; counts the records its sink took.
struct FakeRead {
  int n;
  std::size_t pad = 0;
  bool fail = false;
  bool throws = false;
  std::atomic<int> offered{0};
  std::atomic<bool> sink_said_stop{false};

  FieldRead as_read() {
    return [this](const std::function<bool(const RecordFields&)>& sink) {
      RecordFields fields({ATTR_EVENT_TYPE});
      fields.record_id() = "number:1";
      for (int i = 0; i < n; ++i) {
        if (throws && i == n / 2) throw std::runtime_error("read broke");
        std::string& text = fields.set(0);
        text = std::to_string(i);
        text.resize(std::max(pad, text.size()), ' ');
        ++offered;
        if (!sink(fields)) {
          sink_said_stop = true;
          return true;  // a stopped read has succeeded
        }
      }
      return !fail;
    };
  }
};

// Event types of the packed records of a run, in order.
std::vector<std::string> texts_in(const PackedRun& run) {
  std::vector<std::string> out;
  const std::string& b = run.bytes;
  std::size_t at = 0;
  while (at < b.size()) {
    EXPECT_EQ(b[at], static_cast<char>(kOpText));
    at += 2;  // op, slot
    const std::size_t n = (static_cast<unsigned char>(b[at]) << 24) | (static_cast<unsigned char>(b[at + 1]) << 16) |
                          (static_cast<unsigned char>(b[at + 2]) << 8) | static_cast<unsigned char>(b[at + 3]);
    out.push_back(b.substr(at + 4, n));
    at += 4 + n;
    EXPECT_EQ(b[at], static_cast<char>(kOpEnd));
    ++at;
  }
  return out;
}

std::vector<int> numbers_in(const PackedRun& run) {
  std::vector<int> out;
  for (const std::string& text : texts_in(run)) out.push_back(std::stoi(text));
  return out;
}

TEST(PackedStream, EveryRecordArrivesOnceInOrderAcrossManyRuns) {
  FakeRead read{5000, 1000};  // about 5 MB: far more runs than are packed ahead
  std::vector<int> seen;
  std::size_t runs = 0;
  ASSERT_TRUE(stream_packed(read.as_read(), kNoBatches, {}, [&](PackedRun& run) {
    const std::vector<int> numbers = numbers_in(run);
    EXPECT_EQ(numbers.size(), run.records);
    EXPECT_FALSE(run.batch_end);
    seen.insert(seen.end(), numbers.begin(), numbers.end());
    ++runs;
    return true;
  }));
  ASSERT_EQ(seen.size(), 5000u);
  for (int i = 0; i < 5000; ++i) ASSERT_EQ(seen[i], i);
  EXPECT_GT(runs, 20u);
}

// What the caller would send: the records of each batch, closed by batch_end.
std::vector<std::size_t> batches_of(int records, std::size_t limit) {
  FakeRead read{records};
  std::vector<std::size_t> batches{0};
  EXPECT_TRUE(stream_packed(read.as_read(), limit, {}, [&](PackedRun& run) {
    batches.back() += run.records;
    if (run.batch_end) batches.push_back(0);
    return true;
  }));
  return batches;  // the last entry is what is left for the final batch
}

TEST(PackedStream, BatchesCloseBeforeTheRecordThatWouldOverfillThem) {
  EXPECT_EQ(batches_of(5, 2), (std::vector<std::size_t>{2, 2, 1}));
  EXPECT_EQ(batches_of(4, 2), (std::vector<std::size_t>{2, 2}));
  // Size 0: an empty batch first, then one batch per record.
  EXPECT_EQ(batches_of(3, 0), (std::vector<std::size_t>{0, 1, 1, 1}));
  EXPECT_EQ(batches_of(0, 2), (std::vector<std::size_t>{0}));
  EXPECT_EQ(batches_of(3, kNoBatches), (std::vector<std::size_t>{3}));
}

TEST(PackedStream, ACallerThatStopsTakingEndsTheReadSoon) {
  FakeRead read{100000, 1000};
  int runs = 0;
  EXPECT_TRUE(stream_packed(read.as_read(), kNoBatches, {}, [&](PackedRun&) { return ++runs < 2; }));
  EXPECT_EQ(runs, 2);
  EXPECT_TRUE(read.sink_said_stop);
  // Only what fits in the runs packed ahead was read, not the whole log.
  EXPECT_LT(read.offered.load(), 1000);
}

TEST(PackedStream, AStopRequestEndsTheRead) {
  FakeRead read{100000};
  std::atomic<bool> stop{false};
  std::size_t records = 0;
  EXPECT_TRUE(stream_packed(
      read.as_read(), 10, [&] { return stop.load(); },
      [&](PackedRun& run) {
        records += run.records;
        if (records >= 30) stop = true;  // as stopGetAlarmsInBatchesNative would, from elsewhere
        return true;
      }));
  EXPECT_TRUE(read.sink_said_stop);
  EXPECT_LT(read.offered.load(), 100000);
}

TEST(PackedStream, FailedOrBrokenReadsFail) {
  FakeRead failing{10};
  failing.fail = true;
  std::size_t records = 0;
  EXPECT_FALSE(stream_packed(failing.as_read(), kNoBatches, {}, [&](PackedRun& run) {
    records += run.records;
    return true;
  }));
  EXPECT_EQ(records, 0u);  // a failed read hands over no final run

  FakeRead throwing{10};
  throwing.throws = true;
  EXPECT_FALSE(stream_packed(throwing.as_read(), kNoBatches, {}, [](PackedRun&) { return true; }));
}

// The whole composition: rows fetched ahead on one thread, read and packed on
// the worker, runs taken on this one.
TEST(PackedStream, ReadsARealLogThroughAllThreeThreads) {
  nxdb_test::ScratchDatabase scratch;
  ASSERT_TRUE(scratch.ok()) << scratch.error();
  scratch.export_location();
  constexpr int kRecords = 5000;
  {
    NXDBInterface db(NXDBConnectInfo("alpha", 1), nxdb::OpenMode::kCreate);
    std::string error;
    ASSERT_TRUE(nxdb::create_schema(db, error) && nxdb::create_log(db, "AlarmLog", false, error)) << error;
    const std::string table = nxdb::log_table_name(db, "AlarmLog", false, "nxAlm");
    ASSERT_TRUE(db.backend()->exec_script(
        "WITH RECURSIVE g(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM g WHERE x < " + std::to_string(kRecords) +
            ") INSERT INTO " + table +
            " (logrecordid, eventtime, eventname, ackstate, clearstate) SELECT x, '2001-02-03 04:05:06', "
            "'type ' || x, 'unAcked', 'unCleared' FROM g",
        error))
        << error;
  }
  DatabaseImpl reader;
  const FieldRead read = [&](const std::function<bool(const RecordFields&)>& sink) {
    return reader.stream_log_fields("/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"", "",
                                    {ATTR_EVENT_TYPE}, sink);
  };
  std::vector<std::string> types;
  ASSERT_TRUE(stream_packed(read, kNoBatches, {}, [&](PackedRun& run) {
    const std::vector<std::string> texts = texts_in(run);
    types.insert(types.end(), texts.begin(), texts.end());
    return true;
  }));
  ASSERT_EQ(types.size(), static_cast<std::size_t>(kRecords));
  for (int i = 0; i < kRecords; ++i) ASSERT_EQ(types[i], "type " + std::to_string(i + 1));
  unsetenv("NX_ALARM_DB");
}

}  // namespace
}  // namespace nxjni
