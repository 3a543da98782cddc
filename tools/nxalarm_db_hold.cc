#include "tools/nxalarm_db_hold.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "nxdb/interface.h"

namespace {

int hold_usage() {
  std::fprintf(stderr, "usage: nxalarm-db [--db LOCATION] hold-lock SECONDS [--readers]\n");
  return 2;
}

int hold_fail(const std::string& message) {
  std::fprintf(stderr, "nxalarm-db: hold-lock: %s\n", message.c_str());
  return 1;
}

// Every table of the database, in one LOCK statement (PostgreSQL).
bool lock_all_tables(nxdb::Backend& db, const char* mode, std::string& error) {
  auto st = db.prepare(
      "SELECT quote_ident(table_name) FROM information_schema.tables "
      "WHERE table_schema = current_schema() AND table_type = 'BASE TABLE' ORDER BY table_name",
      error);
  if (!st) return false;
  std::string tables;
  while (st->step() == nxdb::StepResult::kRow) {
    tables += (tables.empty() ? "" : ", ") + std::string(st->cell_text(0));
  }
  st.reset();
  if (tables.empty()) {
    error = "the database has no tables";
    return false;
  }
  return db.exec_script("LOCK TABLE " + tables + " IN " + mode + " MODE", error);
}

}  // namespace

int hold_lock_command(const std::vector<std::string>& args, const NXDBConnectInfo& info) {
  if (args.size() < 2 || args.size() > 3) return hold_usage();
  char* end = nullptr;
  const double seconds = std::strtod(args[1].c_str(), &end);
  if (end == args[1].c_str() || *end != '\0' || seconds < 0) return hold_usage();
  bool readers = false;
  if (args.size() == 3) {
    if (args[2] != "--readers") return hold_usage();
    readers = true;
  }
  NXDBInterface conn(info);
  if (!conn.isConnected()) return hold_fail(conn.lastError());
  nxdb::Backend& db = *conn.backend();
  std::string error;
  if (db.dialect() == nxdb::Dialect::kSqlite) {
    // The write lock, or with readers kept out the whole file: in exclusive
    // locking mode a WAL database admits no other connection.
    if ((readers && !db.exec_script("PRAGMA locking_mode=EXCLUSIVE", error)) ||
        !db.exec_script(readers ? "BEGIN EXCLUSIVE" : "BEGIN IMMEDIATE", error) ||
        !db.exec_script("CREATE TABLE IF NOT EXISTS nxhold (at INTEGER); INSERT INTO nxhold VALUES (1)", error)) {
      return hold_fail(error);
    }
  } else if (!db.exec_script("BEGIN", error) ||
             !lock_all_tables(db, readers ? "ACCESS EXCLUSIVE" : "EXCLUSIVE", error)) {
    return hold_fail(error);
  }
  // Whoever waits for this line knows the lock is held.
  std::printf("held\n");
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  if (!db.exec_script("ROLLBACK", error)) return hold_fail(error);
  return 0;
}
