#include "mis/history_key.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "nxdb/write_transaction.h"

namespace nxmp_mis {
namespace {

// The distinct log texts of the history.
bool history_logs(nxdb::Backend& db, std::vector<std::string>& logs, std::string& error) {
  auto st = db.prepare("SELECT DISTINCT log FROM nxmis_history", error);
  if (!st) return false;
  nxdb::StepResult r;
  while ((r = st->step()) == nxdb::StepResult::kRow) logs.emplace_back(st->cell_text(0));
  if (r == nxdb::StepResult::kError) {
    error = st->error();
    return false;
  }
  return true;
}

bool fill_keys(nxdb::Backend& db, std::string& error) {
  std::vector<std::string> logs;
  if (!history_logs(db, logs, error)) return false;
  auto st = db.prepare("UPDATE nxmis_history SET log_key = ?1 WHERE log = ?2", error);
  if (!st) return false;
  for (const std::string& log : logs) {
    st->bind_int(1, history_log_key(log));
    st->bind_text(2, log);
    if (st->step() == nxdb::StepResult::kError) {
      error = st->error();
      return false;
    }
    st->reset();
  }
  return true;
}

}  // namespace

const char kHistoryIndexes[] =
    "CREATE INDEX IF NOT EXISTS nxmis_history_record ON nxmis_history (log_key, logrecordid, seq);\n"
    "CREATE INDEX IF NOT EXISTS nxmis_history_time ON nxmis_history (log_key, time);\n";

long long history_log_key(std::string_view log_text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : log_text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return static_cast<long long>(hash & 0x7fffffffffffffffull);
}

bool history_has_log_key(nxdb::Backend& db, bool& has, std::string& error) {
  has = false;
  const char* sql =
      db.dialect() == nxdb::Dialect::kSqlite
          ? "SELECT 1 FROM pragma_table_info('nxmis_history') WHERE name = 'log_key' COLLATE NOCASE"
          : "SELECT 1 FROM pg_catalog.pg_attribute a JOIN pg_catalog.pg_class c ON c.oid = a.attrelid "
            "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = current_schema() "
            "AND c.relname = 'nxmis_history' AND a.attname = 'log_key' AND NOT a.attisdropped";
  auto st = db.prepare(sql, error);
  if (!st) return false;
  const nxdb::StepResult r = st->step();
  if (r == nxdb::StepResult::kError) {
    error = st->error();
    return false;
  }
  has = r == nxdb::StepResult::kRow;
  return true;
}

bool upgrade_history_layout(nxdb::Backend& db, std::string& error) {
  bool has = false;
  if (!db.table_exists("nxmis_history")) return true;
  if (!history_has_log_key(db, has, error)) return false;
  if (has) return true;
  // PostgreSQL: the lock the schema script takes, so that two processes
  // upgrading the same database queue here.
  nxdb::WriteTransaction t(db);
  if (!t.begin(error, db.dialect() == nxdb::Dialect::kSqlite ? "" : "SELECT pg_advisory_xact_lock(7236518)")) {
    return false;
  }
  // Another process may have done it while this one waited for the lock.
  if (!history_has_log_key(db, has, error)) return false;
  if (has) return t.commit(error);
  const bool sqlite = db.dialect() == nxdb::Dialect::kSqlite;
  const std::string integer = db.column_type(nxdb::ColumnKind::kInteger);
  // Filled below; a column added NOT NULL needs a default meanwhile.
  if (!db.exec_script("ALTER TABLE nxmis_history ADD COLUMN log_key " + integer + " NOT NULL DEFAULT 0", error) ||
      !fill_keys(db, error) ||
      // A writer that forgets the key then fails rather than hides its entry
      // (SQLite cannot drop a column's default).
      (!sqlite && !db.exec_script("ALTER TABLE nxmis_history ALTER COLUMN log_key DROP DEFAULT", error)) ||
      !db.exec_script("DROP INDEX IF EXISTS nxmis_history_record; DROP INDEX IF EXISTS nxmis_history_time", error) ||
      !db.exec_script(kHistoryIndexes, error)) {
    error = "cannot add log_key to the record history: " + error;
    return false;
  }
  return t.commit(error);
}

}  // namespace nxmp_mis
