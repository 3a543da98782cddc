// nxalarm-db: sets up and fills the alarm-log database.
//
//   nxalarm-db [--db LOCATION] init
//   nxalarm-db [--db LOCATION] create-log <log id> [--number]
//   nxalarm-db [--db LOCATION] ingest [FILE|-] [--batch N]
//   nxalarm-db [--db LOCATION] hold-lock SECONDS [--readers]
//
// The database is the one NX_ALARM_DB names (default nxalarm.db in the
// working directory) unless --db gives another. Exit status: 0 done,
// 1 failed, 2 wrong usage.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "nxdb/connect_info.h"
#include "nxdb/interface.h"
#include "nxdb/schema.h"
#include "tools/nxalarm_db_hold.h"
#include "tools/nxalarm_db_ingest.h"
#include "tools/nxalarm_db_raise.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: nxalarm-db [--db LOCATION] init\n"
               "       nxalarm-db [--db LOCATION] create-log <log id> [--number]\n"
               "       nxalarm-db [--db LOCATION] raise --log ID --type T --severity S --moi NAME ...\n"
               "       nxalarm-db [--db LOCATION] ingest [FILE|-] [--batch N]\n"
               "       nxalarm-db [--db LOCATION] hold-lock SECONDS [--readers]\n");
  return 2;
}

int fail(const std::string& message) {
  std::fprintf(stderr, "nxalarm-db: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string location;
  bool have_location = false;
  if (args.size() >= 2 && args[0] == "--db") {
    location = args[1];
    have_location = true;
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.empty()) return usage();
  const NXDBConnectInfo info = have_location ? NXDBConnectInfo::at("", location)
                                             : NXDBConnectInfo("", NXDB_ALARM_LOG_SERVICE);
  const std::string& command = args[0];
  std::string error;

  if (command == "init") {
    if (args.size() != 1) return usage();
    NXDBInterface db(info, nxdb::OpenMode::kCreate);
    if (!db.isConnected()) return fail(db.lastError());
    if (!nxdb::create_schema(db, error)) return fail("init: " + error);
    std::printf("initialised %s\n", info.database().c_str());
    return 0;
  }

  if (command == "create-log") {
    if (args.size() < 2 || args.size() > 3) return usage();
    bool number = false;
    if (args.size() == 3) {
      if (args[2] != "--number") return usage();
      number = true;
    }
    NXDBInterface db(info);
    if (!db.isConnected()) return fail(db.lastError());
    if (!nxdb::create_log(db, args[1], number, error)) return fail("create-log: " + error);
    for (const nxdb::RecordType& type : nxdb::alarm_record_types()) {
      std::printf("%s %s: %s\n", args[1].c_str(), type.code,
                  nxdb::log_table_name(db, args[1], number, type.code).c_str());
    }
    return 0;
  }

  if (command == "raise") return raise_command(args, have_location ? &location : nullptr);
  if (command == "ingest") return ingest_command(args, have_location ? &location : nullptr);
  if (command == "hold-lock") return hold_lock_command(args, info);
  return usage();
}
