// Units of work: the changes made through Image while a Transaction is open
// are committed once, all together, or not at all; on the engine of the run.
#include "nxmp/transaction.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "nxdb/interface.h"
#include "nxdb/schema.h"
#include "nxdb_testing/scratch_database.h"
#include "nxmp/image.h"
#include "nxmp/mis.h"
#include "nxmp/platform.h"

namespace {

constexpr double kTimeout = -12345.0;
constexpr int kRecords = 4;

class UnitOfWork : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.ok()) << scratch_.error();
    {
      NXDBInterface db(NXDBConnectInfo::at("alpha", scratch_.location()), nxdb::OpenMode::kCreate);
      std::string error;
      ASSERT_TRUE(db.isConnected() && nxdb::create_schema(db, error) &&
                  nxdb::create_log(db, "AlarmLog", false, error))
          << error;
    }
    nxmp_mis::shutdown();
    setenv("NX_ALARM_DB", scratch_.location().c_str(), 1);
    setenv("NX_MIS_NAME", "alpha", 1);
    for (int i = 0; i < kRecords; ++i) {
      nxmp_mis::AlarmNotification n;
      n.log_id = "AlarmLog";
      n.event_type = "communicationsAlarm";
      n.severity = "major";
      n.moi = "/systemId=name:\"alpha\"";
      n.moc = "\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":system";
      n.probable_cause = "5";
      n.additional_text = "link down";
      nxmp_mis::RaiseResult r = nxmp_mis::raise_alarm(n);
      ASSERT_TRUE(r.ok) << r.error;
    }
    reader_ = std::make_unique<NXDBInterface>(NXDBConnectInfo::at("alpha", scratch_.location()),
                                              nxdb::OpenMode::kExisting);
    table_ = nxdb::log_table_name(*reader_, "AlarmLog", false, "nxAlm");
    ASSERT_FALSE(table_.empty());
    journal_before_ = journal_entries();
  }
  void TearDown() override {
    reader_.reset();
    nxmp_mis::shutdown();
  }

  static std::string name(int record) {
    return "/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"/logRecordId=number:" + std::to_string(record);
  }

  // Boot, set and store, as the service does per record.
  static bool ack(int record) {
    Image image(DataUnit(name(record)), DataUnit(), Platform::def_platform);
    return image.boot(kTimeout) &&
           image.set_str(DataUnit("ackState"), DataUnit("acked"), DataUnit("REPLACE"), 0) &&
           image.store(kTimeout);
  }

  // What another connection sees: the acknowledged records, in id order.
  std::vector<long> acked() {
    std::vector<long> ids;
    std::string error;
    auto st = reader_->backend()->prepare(
        "SELECT logrecordid FROM " + table_ + " WHERE ackstate = 'acked' ORDER BY logrecordid", error);
    EXPECT_TRUE(st) << error;
    while (st && st->step() == nxdb::StepResult::kRow) ids.push_back(static_cast<long>(st->cell_int(0)));
    return ids;
  }

  // The journal's entries (kind and object name), in order.
  std::vector<std::string> journal_entries() {
    std::vector<std::string> out;
    std::string error;
    auto st = reader_->backend()->prepare("SELECT kind, objname FROM nxmis_event ORDER BY seq", error);
    EXPECT_TRUE(st) << error;
    while (st && st->step() == nxdb::StepResult::kRow) {
      out.push_back(std::string(st->cell_text(0)) + " " + std::string(st->cell_text(1)));
    }
    return out;
  }
  std::vector<std::string> new_journal_entries() {
    std::vector<std::string> all = journal_entries();
    return std::vector<std::string>(all.begin() + static_cast<long>(journal_before_.size()), all.end());
  }

  // A trigger that refuses the acknowledge of one record.
  void refuse_ack_of(int record) {
    std::string error;
    const std::string id = std::to_string(record);
    const bool ok =
        scratch_.postgres()
            ? reader_->backend()->exec_script(
                  "CREATE FUNCTION nx_refuse() RETURNS trigger AS $$ BEGIN RAISE EXCEPTION 'refused'; END $$ "
                  "LANGUAGE plpgsql; CREATE TRIGGER nx_refuse BEFORE UPDATE ON " + table_ +
                      " FOR EACH ROW WHEN (NEW.logrecordid = " + id + ") EXECUTE FUNCTION nx_refuse()",
                  error)
            : reader_->backend()->exec_script("CREATE TRIGGER nx_refuse BEFORE UPDATE ON " + table_ +
                                                  " WHEN NEW.logrecordid = " + id +
                                                  " BEGIN SELECT RAISE(ABORT, 'refused'); END",
                                              error);
    ASSERT_TRUE(ok) << error;
  }

  nxdb_test::ScratchDatabase scratch_;
  std::unique_ptr<NXDBInterface> reader_;
  std::string table_;
  std::vector<std::string> journal_before_;
};

TEST_F(UnitOfWork, CommitsEveryChangeOnceAndJournalsThemInOrder) {
  Transaction unit(Platform::def_platform);
  ASSERT_TRUE(unit.is_open()) << unit.get_error_text();
  ASSERT_TRUE(ack(3));
  ASSERT_TRUE(ack(1));
  ASSERT_TRUE(ack(2));
  EXPECT_EQ(acked(), std::vector<long>{}) << "seen before the commit";
  EXPECT_EQ(new_journal_entries(), std::vector<std::string>{});
  ASSERT_TRUE(unit.commit()) << unit.get_error_text();
  EXPECT_EQ(acked(), (std::vector<long>{1, 2, 3}));
  EXPECT_EQ(new_journal_entries(),
            (std::vector<std::string>{"ATTR_CHANGED " + name(3), "ATTR_CHANGED " + name(1),
                                      "ATTR_CHANGED " + name(2)}));
}

TEST_F(UnitOfWork, ADatabaseFailureMidwayUndoesEveryChange) {
  refuse_ack_of(2);
  Transaction unit(Platform::def_platform);
  ASSERT_TRUE(unit.is_open()) << unit.get_error_text();
  EXPECT_TRUE(ack(1));
  // PostgreSQL sends a unit's writes without waiting: the refusal shows at
  // the next read, the record's boot.
  const bool refused = !ack(2);
  if (!scratch_.postgres()) {
    EXPECT_TRUE(refused);
  }
  EXPECT_FALSE(ack(3)) << "a failed unit takes no more changes";
  EXPECT_FALSE(unit.commit());
  EXPECT_NE(unit.get_error_type(), 0);
  EXPECT_EQ(acked(), std::vector<long>{});
  EXPECT_EQ(new_journal_entries(), std::vector<std::string>{});
  // The connection is usable again.
  EXPECT_TRUE(ack(4));
  EXPECT_EQ(acked(), std::vector<long>{4});
}

TEST_F(UnitOfWork, AnUnknownRecordFailsAloneAndTheOthersAreCommitted) {
  Transaction unit(Platform::def_platform);
  EXPECT_TRUE(ack(1));
  EXPECT_FALSE(ack(999));
  Image gone(DataUnit(name(998)), DataUnit(), Platform::def_platform);
  EXPECT_FALSE(gone.destroy(kTimeout));
  EXPECT_TRUE(ack(2));
  ASSERT_TRUE(unit.commit()) << unit.get_error_text();
  EXPECT_EQ(acked(), (std::vector<long>{1, 2}));
  EXPECT_EQ(new_journal_entries().size(), 2u);
}

TEST_F(UnitOfWork, EndingWithoutCommitUndoesChangesAndDeletions) {
  {
    Transaction unit(Platform::def_platform);
    EXPECT_TRUE(ack(1));
    Image doomed(DataUnit(name(2)), DataUnit(), Platform::def_platform);
    EXPECT_TRUE(doomed.destroy(kTimeout));
  }
  EXPECT_EQ(acked(), std::vector<long>{});
  Image still(DataUnit(name(2)), DataUnit(), Platform::def_platform);
  EXPECT_TRUE(still.boot(kTimeout)) << "the deletion was undone";
  EXPECT_EQ(new_journal_entries(), std::vector<std::string>{});
}

TEST_F(UnitOfWork, NestedUnitsJoinTheOutermost) {
  {
    Transaction outer(Platform::def_platform);
    {
      Transaction inner(Platform::def_platform);
      ASSERT_TRUE(inner.is_open());
      EXPECT_TRUE(ack(1));
      EXPECT_TRUE(inner.commit());
    }
    EXPECT_EQ(acked(), std::vector<long>{}) << "the inner commit is the outer one's";
    EXPECT_TRUE(ack(2));
    EXPECT_TRUE(outer.commit());
  }
  EXPECT_EQ(acked(), (std::vector<long>{1, 2}));

  // An inner unit given up fails the whole unit.
  Transaction outer(Platform::def_platform);
  EXPECT_TRUE(ack(3));
  { Transaction inner(Platform::def_platform); }
  EXPECT_FALSE(ack(4));
  EXPECT_FALSE(outer.commit());
  EXPECT_EQ(acked(), (std::vector<long>{1, 2}));
}

// Records read ahead a chunk at a time: a record named twice sees its own
// change, in the chunk it was read in and in a later one (past 500 names),
// and a name of no record fails alone.
TEST_F(UnitOfWork, RecordsReadAheadSeeTheUnitsOwnChanges) {
  std::vector<std::string> names{name(1), name(2), name(1)};
  for (int missing = 1000; missing < 1600; ++missing) names.push_back(name(missing));
  names.push_back(name(3));
  names.push_back(name(2));
  Transaction unit(Platform::def_platform);
  ASSERT_TRUE(unit.is_open()) << unit.get_error_text();
  unit.read_ahead(names);
  ASSERT_TRUE(ack(1));
  ASSERT_TRUE(ack(2));
  ASSERT_TRUE(ack(1)) << "acknowledged again: changes nothing";
  EXPECT_FALSE(ack(1000));
  ASSERT_TRUE(ack(3));
  ASSERT_TRUE(ack(2)) << "read again in the next chunk";
  ASSERT_TRUE(unit.commit()) << unit.get_error_text();
  EXPECT_EQ(acked(), (std::vector<long>{1, 2, 3}));
  EXPECT_EQ(new_journal_entries(),
            (std::vector<std::string>{"ATTR_CHANGED " + name(1), "ATTR_CHANGED " + name(2),
                                      "ATTR_CHANGED " + name(3)}));
  // Each second acknowledge's entry starts where the first left the record.
  std::string error;
  auto st = reader_->backend()->prepare(
      "SELECT logrecordid, state_before, state_after FROM nxmis_history WHERE kind = 'acked' "
      "ORDER BY seq",
      error);
  ASSERT_TRUE(st) << error;
  std::vector<std::string> entries;
  while (st->step() == nxdb::StepResult::kRow) {
    entries.push_back(std::to_string(st->cell_int(0)) + " " + std::string(st->cell_text(1)) + " -> " +
                      std::string(st->cell_text(2)));
  }
  const std::string fresh = "unAcked/unCleared/unDisplayed", done = "acked/unCleared/unDisplayed";
  EXPECT_EQ(entries, (std::vector<std::string>{"1 " + fresh + " -> " + done, "2 " + fresh + " -> " + done,
                                               "1 " + done + " -> " + done, "3 " + fresh + " -> " + done,
                                               "2 " + done + " -> " + done}));
}

// Read ahead, the changes of a unit read nothing until its commit: a write
// refused by the database must still fail the commit and store nothing.
TEST_F(UnitOfWork, AWriteRefusedUnseenUntilTheCommitFailsIt) {
  refuse_ack_of(2);
  {
    Transaction unit(Platform::def_platform);
    ASSERT_TRUE(unit.is_open()) << unit.get_error_text();
    unit.read_ahead({name(1), name(2), name(3)});
    EXPECT_TRUE(ack(1));
    const bool second = ack(2);
    const bool third = ack(3);
    if (!scratch_.postgres()) {
      EXPECT_FALSE(second || third);
    }
    EXPECT_FALSE(unit.commit());
    EXPECT_NE(unit.get_error_type(), 0);
  }
  EXPECT_EQ(acked(), std::vector<long>{});
  EXPECT_EQ(new_journal_entries(), std::vector<std::string>{});
  // The writer connection takes the next unit.
  Transaction next(Platform::def_platform);
  ASSERT_TRUE(next.is_open()) << next.get_error_text();
  next.read_ahead({name(3), name(4)});
  EXPECT_TRUE(ack(3));
  EXPECT_TRUE(ack(4));
  ASSERT_TRUE(next.commit()) << next.get_error_text();
  EXPECT_EQ(acked(), (std::vector<long>{3, 4}));
}

TEST_F(UnitOfWork, AnotherThreadsChangeWaitsForTheEndOfTheUnit) {
  std::atomic<bool> stored{false};
  std::thread other;
  {
    Transaction unit(Platform::def_platform);
    EXPECT_TRUE(ack(1));
    other = std::thread([&] { stored = ack(4); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(stored.load()) << "joined a unit of another thread";
    EXPECT_TRUE(ack(2));
    EXPECT_TRUE(unit.commit());
  }
  other.join();
  EXPECT_TRUE(stored.load());
  EXPECT_EQ(acked(), (std::vector<long>{1, 2, 4}));
  EXPECT_EQ(new_journal_entries(),
            (std::vector<std::string>{"ATTR_CHANGED " + name(1), "ATTR_CHANGED " + name(2),
                                      "ATTR_CHANGED " + name(4)}));
}

}  // namespace
