// Changes as transactions: each appends its notifications to the journal
// and, once committed, tells the readers.
#include "mis/mis.h"
#include "mis/mis_constants.h"
#include "mis/sql_helpers.h"

namespace nxmp_mis {

bool Mis::begin(std::string& error) {
  uncommitted_.clear();
  nxdb::Backend& db = *db_->backend();
  if (db.dialect() == nxdb::Dialect::kSqlite) return db.exec_script("BEGIN IMMEDIATE", error);
  // Changes are made one at a time, as SQLite's BEGIN IMMEDIATE does: journal
  // keys are then given in commit order, and a reader that has seen a key
  // has seen every smaller one. Readers of the journal are not blocked.
  if (!db.exec_script("BEGIN", error)) return false;
  if (!db.exec_script("LOCK TABLE nxmis_event IN EXCLUSIVE MODE", error)) {
    rollback();
    return false;
  }
  return true;
}

void Mis::rollback() {
  std::string ignored;
  db_->backend()->exec_script("ROLLBACK", ignored);
  uncommitted_.clear();
}

bool Mis::journal(const Notification& n, std::string& error) {
  auto st = db_->backend()->prepare(
      "INSERT INTO nxmis_event (kind, objname, objclass, info) VALUES (?1, ?2, ?3, ?4)", error);
  if (!st) return false;
  DataUnit ber = n.info.encoding();
  st->bind_text(1, n.kind);
  st->bind_text(2, n.objname);
  st->bind_text(3, n.objclass);
  st->bind_blob(4, ber.data(), ber.size());
  if (st->step() == nxdb::StepResult::kError) {
    error = st->error();
    return false;
  }
  uncommitted_.push_back(n);
  return true;
}

bool Mis::commit(std::string& error) {
  nxdb::Backend& db = *db_->backend();
  long long last = 0;
  if (!uncommitted_.empty() && !query_long(db, "SELECT MAX(seq) FROM nxmis_event", {}, last, error)) {
    rollback();
    return false;
  }
  // Sent with the commit: wakes the readers of every process.
  if (!uncommitted_.empty() && db.dialect() == nxdb::Dialect::kPostgres &&
      !exec(db, "SELECT pg_notify(?1, ?2)", {kJournalChannel, std::to_string(last)}, error)) {
    rollback();
    return false;
  }
  if (!db.exec_script("COMMIT", error)) {
    rollback();
    return false;
  }
  if (!uncommitted_.empty()) {
    {
      std::lock_guard<std::mutex> lock(queue_mu_);
      if (last > local_seq_) local_seq_ = last;
    }
    queue_cv_.notify_all();
  }
  uncommitted_.clear();
  return true;
}

}  // namespace nxmp_mis
