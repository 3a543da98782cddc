// A fresh alarm database for one test: schema, the logs asked for, and the
// environment that points the process's MIS at it (system "alpha"). On the
// engine of the run: SQLite, or PostgreSQL when NX_TEST_PG is set.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "nxdb/interface.h"
#include "nxdb/schema.h"
#include "nxdb_testing/scratch_database.h"
#include "nxmp/mis.h"

class TestMisEnv {
 public:
  explicit TestMisEnv(const std::vector<std::string>& logs) {
    // SQLite, or PostgreSQL when NX_TEST_PG names a test server.
    if (!scratch_.ok()) {
      error_ = scratch_.error();
      return;
    }
    path_ = scratch_.location();
    {
      NXDBInterface db(NXDBConnectInfo::at("alpha", path_), nxdb::OpenMode::kCreate);
      std::string error;
      ok_ = db.isConnected() && nxdb::create_schema(db, error);
      for (const std::string& log : logs) ok_ = ok_ && nxdb::create_log(db, log, false, error);
      error_ = error;
    }
    nxmp_mis::shutdown();
    setenv("NX_ALARM_DB", path_.c_str(), 1);
    setenv("NX_MIS_NAME", "alpha", 1);
  }
  ~TestMisEnv() {
    nxmp_mis::shutdown();
  }
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }
  const std::string& path() const { return path_; }

  // Waits until this process's notifications have all been delivered.
  static bool drain(int timeout_ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (nxmp_mis::pending_events() != 0) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  static nxmp_mis::RaiseResult raise(const std::string& log, const std::string& severity,
                                     const std::string& moi = "/systemId=name:\"alpha\"",
                                     const std::string& cause = "5",
                                     const std::string& type = "communicationsAlarm") {
    nxmp_mis::AlarmNotification n;
    n.log_id = log;
    n.event_type = type;
    n.severity = severity;
    n.moi = moi;
    n.moc = "\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":system";
    n.probable_cause = cause;
    n.additional_text = "link down";
    return nxmp_mis::raise_alarm(n);
  }

 private:
  nxdb_test::ScratchDatabase scratch_;
  std::string path_;
  std::string error_;
  bool ok_ = false;
};
