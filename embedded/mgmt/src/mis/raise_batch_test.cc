// Batched and concurrent raising: record ids, journal order, identities,
// and what a failing alarm or a failing database leaves behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "nxdb/interface.h"
#include "nxdb/schema.h"
#include "nxdb_testing/scratch_database.h"
#include "nxmp/mis.h"

namespace {

class RaiseBatch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.ok()) << scratch_.error();
    db_ = std::make_unique<NXDBInterface>(NXDBConnectInfo::at("alpha", scratch_.location()),
                                          nxdb::OpenMode::kCreate);
    std::string error;
    ASSERT_TRUE(db_->isConnected() && nxdb::create_schema(*db_, error)) << error;
    for (const char* log : {"L1", "L2"}) ASSERT_TRUE(nxdb::create_log(*db_, log, false, error)) << error;
    nxmp_mis::shutdown();
    setenv("NX_ALARM_DB", scratch_.location().c_str(), 1);
    setenv("NX_MIS_NAME", "alpha", 1);
    // A reader that has seen nothing and never goes: the MIS then prunes
    // none of the journal the tests compare with, however slow the run.
    ASSERT_TRUE(nxmp_mis::raise_alarms({}).ok);  // connects, making the journal
    ASSERT_TRUE(db_->backend()->exec_script(
        "INSERT INTO nxmis_reader (name, seq, seen) VALUES ('raise-batch-test', 0, 99999999999)", error))
        << error;
  }
  void TearDown() override { nxmp_mis::shutdown(); }

  static nxmp_mis::AlarmNotification alarm(const std::string& log, const std::string& severity,
                                           const std::string& moi = "/systemId=name:\"alpha\"") {
    nxmp_mis::AlarmNotification n;
    n.log_id = log;
    n.event_type = "communicationsAlarm";
    n.severity = severity;
    n.moi = moi;
    n.moc = "link";
    n.probable_cause = "5";
    n.additional_text = "link down";
    return n;
  }

  std::string table(const std::string& log) { return nxdb::log_table_name(*db_, log, false, "nxAlm"); }

  // Rows of a query as texts joined by '|'.
  std::vector<std::string> rows(const std::string& sql) {
    std::string error;
    auto st = db_->backend()->prepare(sql, error);
    EXPECT_TRUE(st) << error;
    std::vector<std::string> out;
    if (!st) return out;
    while (st->step() == nxdb::StepResult::kRow) {
      std::string row;
      for (int i = 0; i < st->column_count(); ++i) {
        row += (i ? "|" : "") + std::string(st->cell_type(i) == nxdb::CellType::kNull ? "NULL" : st->cell_text(i));
      }
      out.push_back(row);
    }
    return out;
  }

  // The records whose creation the journal holds, in journal order.
  std::vector<std::string> created() {
    std::vector<std::string> out;
    for (const std::string& name :
         rows("SELECT objname FROM nxmis_event WHERE kind = 'OBJECT_CREATED' ORDER BY seq")) {
      const auto log = name.find("logId=string:\"");
      out.push_back(name.substr(log + 14, 2) + "/" + name.substr(name.rfind("number:") + 7));
    }
    return out;
  }

  const std::string a = "/systemId=name:\"alpha\"/linkId=string:\"a\"";
  const std::string b = "/systemId=name:\"alpha\"/linkId=string:\"b\"";
  nxdb_test::ScratchDatabase scratch_;
  std::unique_ptr<NXDBInterface> db_;
};

TEST_F(RaiseBatch, LogsInTheOrderGivenAndFailsBadAlarmsAlone) {
  std::vector<nxmp_mis::AlarmNotification> batch = {alarm("L1", "major"), alarm("L1", "bogus"),
                                                    alarm("Nope", "minor"), alarm("L2", "critical"),
                                                    alarm("L1", "warning")};
  batch[4].event_time = "20240501134500";
  const nxmp_mis::BatchRaiseResult r = nxmp_mis::raise_alarms(batch);
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.results.size(), 5u);
  EXPECT_TRUE(r.results[0].ok);
  EXPECT_FALSE(r.results[1].ok);
  EXPECT_NE(r.results[1].error.find("not a valid alarm"), std::string::npos) << r.results[1].error;
  EXPECT_FALSE(r.results[2].ok);
  EXPECT_NE(r.results[2].error.find("no such log"), std::string::npos) << r.results[2].error;
  EXPECT_TRUE(r.results[3].ok);
  EXPECT_TRUE(r.results[4].ok);
  EXPECT_EQ(r.results[0].record_ids, std::vector<long>{1});
  EXPECT_EQ(r.results[3].record_ids, std::vector<long>{1});
  EXPECT_EQ(r.results[4].record_ids, std::vector<long>{2});
  EXPECT_EQ(created(), (std::vector<std::string>{"L1/1", "L2/1", "L1/2"}));
  EXPECT_EQ(rows("SELECT logrecordid, notificationid, perceivedseverity FROM " + table("L1") +
                 " ORDER BY logrecordid"),
            (std::vector<std::string>{"1|1|major", "2|2|warning"}));
  EXPECT_EQ(rows("SELECT eventtime FROM " + table("L1") + " WHERE logrecordid = 2"),
            std::vector<std::string>{"2024-05-01 13:45:00"});

  // Ids go on from what is stored, also after a single raise in between.
  ASSERT_TRUE(nxmp_mis::raise_alarm(alarm("L1", "minor")).ok);
  const nxmp_mis::BatchRaiseResult next = nxmp_mis::raise_alarms({alarm("L1", "minor"), alarm("L1", "major")});
  ASSERT_TRUE(next.ok) << next.error;
  EXPECT_EQ(next.results[0].record_ids, std::vector<long>{4});
  EXPECT_EQ(next.results[1].record_ids, std::vector<long>{5});
  EXPECT_EQ(created(), (std::vector<std::string>{"L1/1", "L2/1", "L1/2", "L1/3", "L1/4", "L1/5"}));
}

TEST_F(RaiseBatch, AClearInTheBatchClearsAnAlarmOfTheSameBatch) {
  const nxmp_mis::BatchRaiseResult r = nxmp_mis::raise_alarms({alarm("L1", "major"), alarm("L1", "cleared")});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(rows("SELECT logrecordid, clearstate FROM " + table("L1") + " ORDER BY logrecordid"),
            (std::vector<std::string>{"1|cleared", "2|cleared"}));
  EXPECT_EQ(rows("SELECT kind FROM nxmis_event ORDER BY seq"),
            (std::vector<std::string>{"OBJECT_CREATED", "ATTR_CHANGED", "OBJECT_CREATED"}));
}

// A clear of many open alarms updates them a few statements at a time:
// every one of them, across the statements' ends, and no other object's.
TEST_F(RaiseBatch, AClearOfManyAlarmsClearsEachOnceAndNoOther) {
  std::vector<nxmp_mis::AlarmNotification> alarms;
  for (int i = 0; i < 130; ++i) alarms.push_back(alarm("L1", i % 2 ? "minor" : "major", a));
  alarms.push_back(alarm("L1", "major", b));
  alarms.push_back(alarm("L1", "cleared", a));
  const nxmp_mis::BatchRaiseResult r = nxmp_mis::raise_alarms(alarms);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(rows("SELECT clearstate, COUNT(*), MIN(logrecordid), MAX(logrecordid) FROM " + table("L1") +
                 " GROUP BY clearstate ORDER BY clearstate"),
            (std::vector<std::string>{"cleared|131|1|132", "unCleared|1|131|131"}));
  EXPECT_EQ(rows("SELECT COUNT(*), COUNT(DISTINCT logrecordid), MAX(logrecordid), MIN(by_record) FROM nxmis_history "
                 "WHERE kind = 'clearedByNotification'"),
            std::vector<std::string>{"130|130|130|132"});
  EXPECT_EQ(rows("SELECT kind, COUNT(*) FROM nxmis_event GROUP BY kind ORDER BY kind"),
            (std::vector<std::string>{"ATTR_CHANGED|130", "OBJECT_CREATED|132"}));
}

// A clear finds its object's open alarms by the object's identity, and also
// those stored without one (moi_id NULL), in the order they were logged;
// the same on a table of the earlier layout, without the clear-match index.
TEST_F(RaiseBatch, AClearFindsTheObjectsOpenAlarmsWithOrWithoutTheirIdentity) {
  for (const std::string log : {"L1", "L2"}) {
    SCOPED_TRACE(log);
    const std::string t = table(log);
    std::string error;
    if (log == "L2") {
      ASSERT_TRUE(db_->backend()->exec_script("DROP INDEX " + t + "_moi_id_clearstate; CREATE INDEX " + t +
                                                  "_moi_id ON " + t + " (moi_id)",
                                              error))
          << error;
    }
    ASSERT_TRUE(nxmp_mis::raise_alarms({alarm(log, "major", a), alarm(log, "minor", a), alarm(log, "major", b),
                                        alarm(log, "critical", a)})
                    .ok);
    ASSERT_TRUE(db_->backend()->exec_script("UPDATE " + t + " SET moi_id = NULL WHERE logrecordid = 2", error))
        << error;
    ASSERT_TRUE(nxmp_mis::raise_alarms({alarm(log, "cleared", a)}).ok);
    EXPECT_EQ(rows("SELECT logrecordid, clearstate FROM " + t + " ORDER BY logrecordid"),
              (std::vector<std::string>{"1|cleared", "2|cleared", "3|unCleared", "4|cleared", "5|cleared"}));
    std::vector<std::string> changed;
    for (const std::string& name : rows("SELECT objname FROM nxmis_event WHERE kind = 'ATTR_CHANGED' AND objname LIKE '%\"" +
                                        log + "\"%' ORDER BY seq")) {
      changed.push_back(name.substr(name.rfind("number:") + 7));
    }
    EXPECT_EQ(changed, (std::vector<std::string>{"1", "2", "4"}));
  }
}

// A batch keeps its records and history entries back and writes them many
// at a time: the entries must still be those of each change, in the order
// the changes were made (a clear's entries after the alarms it clears and
// before its own), in every log the batch writes to.
TEST_F(RaiseBatch, HistoryEntriesOfABatchAreThoseOfEachChangeInOrder) {
  const nxmp_mis::BatchRaiseResult r = nxmp_mis::raise_alarms(
      {alarm("L1", "major", a), alarm("L2", "minor", a), alarm("L1", "minor", a), alarm("L1", "major", b),
       alarm("L1", "cleared", a), alarm("L1", "warning", b), alarm("L2", "cleared", a),
       alarm("L1", "cleared", b), alarm("L1", "critical", a)});
  ASSERT_TRUE(r.ok) << r.error;
  const std::string open = "unAcked/unCleared/unDisplayed", shut = "unAcked/cleared/unDisplayed";
  EXPECT_EQ(rows("SELECT log, logrecordid, kind, COALESCE(state_before, '-'), state_after, "
                 "COALESCE(by_record, 0), CASE WHEN text IS NULL THEN 1 ELSE 0 END FROM nxmis_history ORDER BY seq"),
            (std::vector<std::string>{
                "/systemId=name:\"alpha\"/logId=string:\"L1\"|1|created|-|" + open + "|0|1",
                "/systemId=name:\"alpha\"/logId=string:\"L2\"|1|created|-|" + open + "|0|1",
                "/systemId=name:\"alpha\"/logId=string:\"L1\"|2|created|-|" + open + "|0|1",
                "/systemId=name:\"alpha\"/logId=string:\"L1\"|3|created|-|" + open + "|0|1",
                "/systemId=name:\"alpha\"/logId=string:\"L1\"|1|clearedByNotification|" + open + "|" + shut + "|4|1",
                "/systemId=name:\"alpha\"/logId=string:\"L1\"|2|clearedByNotification|" + open + "|" + shut + "|4|1",
                "/systemId=name:\"alpha\"/logId=string:\"L1\"|4|created|-|" + shut + "|0|1",
                "/systemId=name:\"alpha\"/logId=string:\"L1\"|5|created|-|" + open + "|0|1",
                "/systemId=name:\"alpha\"/logId=string:\"L2\"|1|clearedByNotification|" + open + "|" + shut + "|2|1",
                "/systemId=name:\"alpha\"/logId=string:\"L2\"|2|created|-|" + shut + "|0|1",
                "/systemId=name:\"alpha\"/logId=string:\"L1\"|3|clearedByNotification|" + open + "|" + shut + "|6|1",
                "/systemId=name:\"alpha\"/logId=string:\"L1\"|5|clearedByNotification|" + open + "|" + shut + "|6|1",
                "/systemId=name:\"alpha\"/logId=string:\"L1\"|6|created|-|" + shut + "|0|1",
                "/systemId=name:\"alpha\"/logId=string:\"L1\"|7|created|-|" + open + "|0|1"}));
  // Every entry names its writer and a time; a creation's time is its record's logging time.
  EXPECT_EQ(rows("SELECT COUNT(*) FROM nxmis_history WHERE operator IS NULL OR operator = '' OR origin NOT LIKE "
                 "'%/%' OR time IS NULL"),
            std::vector<std::string>{"0"});
  EXPECT_EQ(rows("SELECT COUNT(*) FROM nxmis_history h JOIN " + table("L1") +
                 " t ON t.logrecordid = h.logrecordid WHERE h.kind = 'created' AND h.log LIKE '%L1%' AND "
                 "h.time = t.loggingtime"),
            std::vector<std::string>{"7"});
  // The records as each change left them: the clears cleared exactly the open alarms they matched.
  EXPECT_EQ(rows("SELECT logrecordid, perceivedseverity, clearstate FROM " + table("L1") + " ORDER BY logrecordid"),
            (std::vector<std::string>{"1|major|cleared", "2|minor|cleared", "3|major|cleared", "4|cleared|cleared",
                                      "5|warning|cleared", "6|cleared|cleared", "7|critical|unCleared"}));
  EXPECT_EQ(rows("SELECT logrecordid, clearstate FROM " + table("L2") + " ORDER BY logrecordid"),
            (std::vector<std::string>{"1|cleared", "2|cleared"}));
}

TEST_F(RaiseBatch, ManagedObjectsGetOneIdentityEach) {
  ASSERT_TRUE(nxmp_mis::raise_alarms({alarm("L1", "major", a), alarm("L1", "minor", b), alarm("L1", "minor", a)}).ok);
  ASSERT_TRUE(nxmp_mis::raise_alarm(alarm("L1", "minor", b)).ok);
  nxmp_mis::shutdown();  // a new connection knows no identity yet
  ASSERT_TRUE(nxmp_mis::raise_alarms({alarm("L1", "major", a)}).ok);
  const auto ids = rows("SELECT moi_id FROM " + table("L1") + " ORDER BY logrecordid");
  ASSERT_EQ(ids.size(), 5u);
  EXPECT_NE(ids[0], "NULL");
  EXPECT_NE(ids[0], ids[1]);
  EXPECT_EQ(ids[0], ids[2]);
  EXPECT_EQ(ids[1], ids[3]);
  EXPECT_EQ(ids[0], ids[4]);
  EXPECT_EQ(rows("SELECT COUNT(*) FROM nxmoid"), std::vector<std::string>{"2"});
}

TEST_F(RaiseBatch, ABatchSeesWhatAnotherConnectionCommittedSinceTheLast) {
  // The writer keeps its statements between batches: none may keep reading
  // what the database held before.
  ASSERT_TRUE(nxmp_mis::raise_alarms({alarm("L1", "major"), alarm("L1", "minor")}).ok);
  std::string error;
  ASSERT_TRUE(db_->backend()->exec_script("CREATE TEMP TABLE copied AS SELECT * FROM " + table("L1") +
                                              " WHERE logrecordid = 1;"
                                              "UPDATE copied SET logrecordid = 50, notificationid = 50;"
                                              "INSERT INTO " + table("L1") + " SELECT * FROM copied;",
                                          error))
      << error;
  const nxmp_mis::BatchRaiseResult r = nxmp_mis::raise_alarms({alarm("L1", "cleared"), alarm("L1", "major")});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(rows("SELECT logrecordid, clearstate FROM " + table("L1") + " ORDER BY logrecordid"),
            (std::vector<std::string>{"1|cleared", "2|cleared", "50|cleared", "51|cleared", "52|unCleared"}));
}

TEST_F(RaiseBatch, AlarmsThatShareCauseAndSeverityKeepTheirOwnTexts) {
  // The information of a cause and severity seen before is reused, with
  // each alarm's own text; so are its fields, the text stored as given
  // (blank runs, line breaks and quotes are not notation's to change).
  const std::vector<std::string> texts = {"",         "say \"hi\" }", "fan \xF0\x9F\x98\x80", "", "{ a, b }", "x",
                                          "  two  blanks  ", "line\nbreak\ttab", "\"\"", "a,b"};
  std::vector<nxmp_mis::AlarmNotification> alarms;
  for (const std::string& t : texts) {
    alarms.push_back(alarm("L1", "minor"));
    alarms.back().additional_text = t;
  }
  alarms.push_back(alarm("L1", "no-such-severity"));
  const nxmp_mis::BatchRaiseResult r = nxmp_mis::raise_alarms(alarms);
  for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_TRUE(r.results[i].ok) << i << ": " << r.results[i].error;
  EXPECT_FALSE(r.results.back().ok);
  std::vector<std::string> expected;
  for (const std::string& t : texts) expected.push_back("minor|localValue : 5|" + (t.empty() ? "NULL" : t));
  EXPECT_EQ(rows("SELECT perceivedseverity, probablecause_s, additionaltext FROM " + table("L1") +
                 " ORDER BY logrecordid"),
            expected);
}

// Says "a writer waits" to the MIS for as long as it lives, as a waiting
// connection would (a shared lock on byte 0 of the database's "-wait" file).
class PretendWaiter {
 public:
  explicit PretendWaiter(const std::string& database) {
    fd_ = ::open((database + "-wait").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    struct flock lock = {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_len = 1;
    held_ = fd_ >= 0 && fcntl(fd_, F_OFD_SETLK, &lock) == 0;
  }
  ~PretendWaiter() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool held() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
};

TEST_F(RaiseBatch, WithAWriterWaitingABatchCommitsInPartsAndKeepsThoseBeforeAFailure) {
  if (scratch_.postgres()) GTEST_SKIP() << "SQLite run only: PostgreSQL has no one writer";
  PretendWaiter waiter(scratch_.location());
  ASSERT_TRUE(waiter.held());
  std::string error;
  ASSERT_TRUE(db_->backend()->exec_script(
      "CREATE TRIGGER poison BEFORE INSERT ON " + table("L1") +
          " WHEN new.additionaltext = 'poison' BEGIN SELECT RAISE(ABORT, 'poisoned'); END",
      error))
      << error;
  // Parts of 250: the first two commit, the third holds the poisoned alarm.
  std::vector<nxmp_mis::AlarmNotification> alarms(700, alarm("L1", "minor"));
  alarms[620].additional_text = "poison";
  const nxmp_mis::BatchRaiseResult r = nxmp_mis::raise_alarms(alarms);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("poisoned"), std::string::npos) << r.error;
  for (std::size_t i = 0; i < alarms.size(); ++i) {
    ASSERT_EQ(r.results[i].ok, i < 500) << i << ": " << r.results[i].error;
    if (i < 500) {
      EXPECT_EQ(r.results[i].record_ids, std::vector<long>{static_cast<long>(i) + 1}) << i;
    }
  }
  EXPECT_EQ(rows("SELECT COUNT(*), MIN(logrecordid), MAX(logrecordid) FROM " + table("L1")),
            std::vector<std::string>{"500|1|500"});
  std::vector<std::string> expected;
  for (int i = 1; i <= 500; ++i) expected.push_back("L1/" + std::to_string(i));
  EXPECT_EQ(created(), expected);
  // The rest raised again: numbered on from the parts kept, once each.
  alarms[620].additional_text = "no poison";
  const std::vector<nxmp_mis::AlarmNotification> rest(alarms.begin() + 500, alarms.end());
  ASSERT_TRUE(nxmp_mis::raise_alarms(rest).ok);
  for (int i = 501; i <= 700; ++i) expected.push_back("L1/" + std::to_string(i));
  EXPECT_EQ(created(), expected);
}

TEST_F(RaiseBatch, AFailureOfTheDatabaseLogsNoneOfTheBatch) {
  const std::string gone = table("L2");
  std::string error;
  ASSERT_TRUE(db_->backend()->exec_script("DROP TABLE " + gone, error)) << error;
  const std::string moi = "/systemId=name:\"alpha\"/linkId=string:\"new\"";
  const nxmp_mis::BatchRaiseResult r =
      nxmp_mis::raise_alarms({alarm("L1", "major", moi), alarm("L2", "major"), alarm("L1", "minor")});
  EXPECT_FALSE(r.ok);
  for (const auto& one : r.results) EXPECT_FALSE(one.ok);
  EXPECT_TRUE(rows("SELECT logrecordid FROM " + table("L1")).empty());
  EXPECT_TRUE(rows("SELECT seq FROM nxmis_event").empty());
  // The identity made in the undone batch is not taken for given.
  ASSERT_TRUE(nxmp_mis::raise_alarms({alarm("L1", "major", moi)}).ok);
  const auto id = rows("SELECT moi_id FROM " + table("L1"));
  EXPECT_EQ(id, rows("SELECT moi_id FROM nxmoid"));
}

TEST_F(RaiseBatch, ThreadsRaisingAtOnceShareCommitsAndLoseNothing) {
  constexpr int kThreads = 6, kEach = 150;
  std::vector<std::vector<long>> ids(kThreads);
  std::vector<std::string> errors(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        const auto r = nxmp_mis::raise_alarm(
            alarm("L1", "major", "/systemId=name:\"alpha\"/linkId=string:\"t" + std::to_string(t) + "\""));
        if (!r.ok || r.record_ids.size() != 1) {
          errors[t] = r.error.empty() ? "no record id" : r.error;
          return;
        }
        ids[t].push_back(r.record_ids[0]);
      }
    });
  }
  for (auto& th : threads) th.join();
  std::vector<long> all;
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(errors[t], "") << "thread " << t;
    // Each caller's alarms are committed in the order it raised them.
    EXPECT_TRUE(std::is_sorted(ids[t].begin(), ids[t].end()));
    all.insert(all.end(), ids[t].begin(), ids[t].end());
  }
  std::sort(all.begin(), all.end());
  ASSERT_EQ(all.size(), static_cast<std::size_t>(kThreads * kEach));
  for (std::size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i], static_cast<long>(i + 1));
  // The journal names each record once, in the order of the ids.
  const auto journal = created();
  ASSERT_EQ(journal.size(), all.size());
  for (std::size_t i = 0; i < journal.size(); ++i) ASSERT_EQ(journal[i], "L1/" + std::to_string(i + 1));
}

}  // namespace
