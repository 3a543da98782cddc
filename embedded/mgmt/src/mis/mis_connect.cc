// Opening the MIS connection: the writer and reader connections, the
// journal tables and the dispatcher thread.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <ctime>

#include "mis/history.h"
#include "mis/history_key.h"
#include "mis/mis.h"
#include "mis/mis_constants.h"
#include "mis/sql_helpers.h"

namespace nxmp_mis {
namespace {

std::string local_system_name() {
  const char* configured = std::getenv("NX_MIS_NAME");
  if (configured != nullptr && configured[0] != '\0') return configured;
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) return "localhost";
  return host;
}

}  // namespace

std::shared_ptr<Mis> Mis::connect(std::string& error) {
  std::shared_ptr<Mis> mis(new Mis);
  mis->system_ = local_system_name();
  mis->application_ = "nxalarm-" + std::to_string(static_cast<long>(getpid()));
  NXDBConnectInfo info(mis->system_, NXDB_ALARM_LOG_SERVICE);
  mis->db_ = std::make_unique<NXDBInterface>(info, nxdb::OpenMode::kExisting);
  if (!mis->db_->isConnected()) {
    error = "cannot open the alarm database: " + mis->db_->lastError();
    return nullptr;
  }
  nxdb::Backend& db = *mis->db_->backend();
  if (!db.table_exists("log") || !db.table_exists("nxlog")) {
    error = "the alarm database has no log directory (run nxalarm-db init)";
    return nullptr;
  }
  const bool sqlite = db.dialect() == nxdb::Dialect::kSqlite;
  const std::string blob = db.column_type(nxdb::ColumnKind::kBlob);
  // PostgreSQL's CREATE TABLE IF NOT EXISTS is not safe against another
  // session creating the same table at the same moment (processes starting
  // together on a new database): a transaction-scoped advisory lock, taken
  // first in the one implicit transaction of this script, makes them queue.
  std::string ddl = std::string(sqlite ? "" : "SELECT pg_advisory_xact_lock(7236518);\n") +
                    "CREATE TABLE IF NOT EXISTS nxmis_event (\n  seq " +
                    (sqlite ? "INTEGER PRIMARY KEY AUTOINCREMENT" : "BIGSERIAL PRIMARY KEY") +
                    ",\n  kind TEXT NOT NULL,\n  objname TEXT NOT NULL,\n  objclass TEXT NOT NULL,\n"
                    "  info " + blob + "\n);\n"
                    "CREATE TABLE IF NOT EXISTS nxmis_app (\n  name TEXT NOT NULL PRIMARY KEY,\n"
                    "  special_events TEXT\n);\n"
                    "CREATE TABLE IF NOT EXISTS nxmis_reader (\n  name TEXT NOT NULL PRIMARY KEY,\n"
                    "  seq " + db.column_type(nxdb::ColumnKind::kInteger) + " NOT NULL,\n"
                    "  seen " + db.column_type(nxdb::ColumnKind::kInteger) + " NOT NULL\n);\n"
                    // The journal's mark: every entry up to `pruned` has been removed.
                    "CREATE TABLE IF NOT EXISTS nxmis_journal (\n  id INTEGER NOT NULL PRIMARY KEY,\n"
                    "  pruned " + db.column_type(nxdb::ColumnKind::kInteger) + " NOT NULL\n);\n"
                    "INSERT INTO nxmis_journal (id, pruned) VALUES (1, 0) ON CONFLICT (id) DO NOTHING;\n" +
                    history_ddl(db);
  // A read-only database is read as it is: with no journal (never written
  // through a MIS) there is nothing to deliver.
  mis->read_only_ = db.read_only();
  const bool journaled = !mis->read_only_ || db.table_exists("nxmis_event");
  // A history of the earlier layout first: the script's indexes name its key.
  if (!mis->read_only_ && (!upgrade_history_layout(db, error) || !db.exec_script(ddl, error))) return nullptr;
  // A batch of a thousand alarms dirties more pages than SQLite's default
  // cache (2 MiB) holds: they would be spilled and read back mid-transaction.
  // Memory is taken only as pages are used. The write-ahead log is copied
  // back less often (every 16 MiB, not 4): pages a run of batches changes
  // again and again are then copied once.
  std::string ignored;
  if (sqlite && !mis->read_only_) {
    db.exec_script("PRAGMA cache_size = -65536; PRAGMA wal_autocheckpoint = 4000", ignored);
  }
  if (pipe(mis->wake_fd_) != 0) {
    error = "cannot make the connection's pipe";
    return nullptr;
  }
  fcntl(mis->wake_fd_[0], F_SETFD, FD_CLOEXEC);
  fcntl(mis->wake_fd_[1], F_SETFD, FD_CLOEXEC);
  if (!journaled) return mis;
  mis->reader_ = std::make_unique<NXDBInterface>(info, nxdb::OpenMode::kExisting);
  if (!mis->reader_->isConnected()) {
    error = "cannot open the alarm database: " + mis->reader_->lastError();
    return nullptr;
  }
  if (!sqlite && !mis->reader_->backend()->listen(kJournalChannel, error)) return nullptr;
  // Its writes (how far this process read, the journal's pruning) can wait
  // for a writer's batch without asking it to commit early.
  mis->reader_->backend()->announce_waits(false);
  long long last = 0;
  if (!query_long(db, "SELECT MAX(seq) FROM nxmis_event", {}, last, error)) return nullptr;
  mis->delivered_seq_ = mis->local_seq_ = last;
  // Known to the pruning before the first entry is read, so that nothing
  // after `last` is removed before this process has seen it.
  // Each connection of the process its own reader, also within one second.
  static std::atomic<unsigned> connections{0};
  mis->reader_name_ = mis->system_ + "/" + mis->application_ + "/" +
                      std::to_string(static_cast<long long>(std::time(nullptr))) + "/" +
                      std::to_string(++connections);
  if (!mis->read_only_ && !mis->record_progress(last, error)) return nullptr;
  mis->dispatcher_ = std::thread([m = mis.get()] { m->run_dispatcher(); });
  return mis;
}

Mis::~Mis() {
  stop();
  for (int& fd : wake_fd_) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

int Mis::connection_fd() const {
  std::lock_guard<std::mutex> lock(queue_mu_);
  return stopping_ ? 0 : wake_fd_[0];
}

std::string Mis::system_object_name() const {
  ObjectRef ref;
  ref.system = system_;
  return format_object_name(ref);
}

std::string Mis::application_object_name() const {
  ObjectRef ref;
  ref.kind = ObjectRef::Kind::kApplication;
  ref.system = system_;
  ref.application = application_;
  return format_object_name(ref);
}

}  // namespace nxmp_mis
