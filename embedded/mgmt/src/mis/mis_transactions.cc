// Changes as transactions: each appends its notifications to the journal
// and, once committed, tells the readers. A unit of work makes the changes
// of one thread a single transaction: one commit, one wake-up.
#include "mis/mis.h"
#include "mis/mis_constants.h"
#include "mis/sql_helpers.h"

namespace nxmp_mis {
namespace {

constexpr char kUnitFailed[] =
    "an earlier change of this unit of work failed in the database: nothing of it is stored";
// Journal entries written per statement at a commit.
constexpr std::size_t kJournalRows = 100;

std::string journal_insert(std::size_t rows) {
  std::string sql = "INSERT INTO nxmis_event (kind, objname, objclass, info) VALUES ";
  for (std::size_t i = 0; i < rows; ++i) {
    const std::size_t p = i * 4;
    sql += (i ? ", (?" : "(?") + std::to_string(p + 1) + ", ?" + std::to_string(p + 2) + ", ?" +
           std::to_string(p + 3) + ", ?" + std::to_string(p + 4) + ")";
  }
  return sql;
}

}  // namespace

void Mis::await_unit() {
  const std::thread::id self = std::this_thread::get_id();
  unit_ended_.wait(write_mu_, [&] { return unit_depth_ == 0 || unit_owner_ == self; });
}

bool Mis::begin(std::string& error) {
  await_unit();
  if (in_unit()) {
    if (!unit_failed_) return true;
    error = kUnitFailed;
    return false;
  }
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
  if (in_unit()) {
    // What the change wrote cannot be taken back alone: the unit goes.
    unit_failed_ = true;
    return;
  }
  settle_kept_statements();
  std::string ignored;
  db_->backend()->exec_script("ROLLBACK", ignored);
  uncommitted_.clear();
}

void Mis::abandon() {
  if (!in_unit()) rollback();
}

bool Mis::journal(const Notification& n, std::string& error) {
  uncommitted_.push_back(n);
  return true;
}

bool Mis::write_journal(std::string& error) {
  // Two statements at most (full chunks, and the rest).
  nxdb::Statement* full = nullptr;
  nxdb::Statement* rest = nullptr;
  std::size_t done = 0;
  while (done < uncommitted_.size()) {
    const std::size_t rows = std::min(kJournalRows, uncommitted_.size() - done);
    nxdb::Statement*& st = rows == kJournalRows ? full : rest;
    if (st != nullptr) {
      st->reset();
    } else if (!(st = kept_statement(journal_insert(rows), false, error))) {
      return false;
    }
    for (std::size_t i = 0; i < rows; ++i) {
      const Notification& n = uncommitted_[done + i];
      const int p = static_cast<int>(i) * 4;
      DataUnit ber = n.info.encoding();
      st->bind_text(p + 1, n.kind);
      st->bind_text(p + 2, n.objname);
      st->bind_text(p + 3, n.objclass);
      st->bind_blob(p + 4, ber.data(), ber.size());
    }
    if (st->step() == nxdb::StepResult::kError) {
      error = st->error();
      return false;
    }
    done += rows;
  }
  return true;
}

bool Mis::commit(std::string& error) {
  if (in_unit()) {
    // Committed at the end of the unit. Records read in the unit stay only
    // when the change kept them right.
    if (!keep_unit_records_) unit_records_.clear();
    keep_unit_records_ = false;
    return true;
  }
  nxdb::Backend& db = *db_->backend();
  // The unit's deferred changes all went through before anything commits.
  if (!db.flush_deferred(error)) {
    rollback();
    return false;
  }
  long long last = 0;
  if (!uncommitted_.empty() &&
      (!write_journal(error) || !query_long(db, "SELECT MAX(seq) FROM nxmis_event", {}, last, error))) {
    rollback();
    return false;
  }
  // Sent with the commit: wakes the readers of every process.
  if (!uncommitted_.empty() && db.dialect() == nxdb::Dialect::kPostgres &&
      !exec(db, "SELECT pg_notify(?1, ?2)", {kJournalChannel, std::to_string(last)}, error)) {
    rollback();
    return false;
  }
  // Kept statements end before the transaction does.
  settle_kept_statements();
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
    journal_wake_.signal();
  }
  uncommitted_.clear();
  return true;
}

nxdb::Statement* Mis::statement(const std::string& sql, std::unique_ptr<nxdb::Statement>& owned,
                                std::string& error) {
  return unit_statement(sql, false, owned, error);
}

nxdb::Statement* Mis::replanned_statement(const std::string& sql, std::unique_ptr<nxdb::Statement>& owned,
                                          std::string& error) {
  return unit_statement(sql, true, owned, error);
}

nxdb::Statement* Mis::unit_statement(const std::string& sql, bool replanned,
                                     std::unique_ptr<nxdb::Statement>& owned, std::string& error) {
  if (!in_unit()) {
    nxdb::Backend& db = *db_->backend();
    owned = replanned ? db.prepare_replanned(sql, error) : db.prepare(sql, error);
    return owned.get();
  }
  return kept_statement(sql, replanned, error);
}

nxdb::Statement* Mis::kept_statement(const std::string& sql, bool replanned, std::string& error) {
  auto it = kept_statements_.find(sql);
  if (it != kept_statements_.end()) {
    it->second->reset();
    return it->second.get();
  }
  nxdb::Backend& db = *db_->backend();
  auto st = replanned ? db.prepare_replanned(sql, error) : db.prepare_kept(sql, error);
  if (!st) return nullptr;
  return kept_statements_.emplace(sql, std::move(st)).first->second.get();
}

void Mis::settle_kept_statements() {
  // On SQLite they stay for the next transactions: preparing an insert into
  // a record table (a program for its dozen indexes) costs as much as
  // running it dozens of times, and a batch of alarms would prepare every
  // statement again. Each is reset, so that none keeps a read open past the
  // transaction. A server's prepared statements end with the transaction,
  // as its pipeline and its plans want.
  if (db_->backend()->dialect() != nxdb::Dialect::kSqlite || kept_statements_.size() > kMostKeptStatements) {
    kept_statements_.clear();
    return;
  }
  for (auto& kept : kept_statements_) kept.second->reset();
}

bool Mis::begin_unit(std::string& error) {
  std::lock_guard<std::mutex> lock(write_mu_);
  await_unit();
  if (in_unit()) {
    ++unit_depth_;
    return true;
  }
  if (!begin(error)) return false;
  unit_depth_ = 1;
  unit_owner_ = std::this_thread::get_id();
  unit_failed_ = false;
  return true;
}

void Mis::end_unit_state() {
  unit_depth_ = 0;
  unit_failed_ = false;
  unit_owner_ = std::thread::id();
  settle_kept_statements();
  unit_tables_.clear();
  unit_clear_indexed_.clear();
  unit_records_.clear();
  keep_unit_records_ = false;
  unit_ahead_.clear();
  unit_ahead_at_.clear();
  unit_ahead_done_ = 0;
}

bool Mis::end_unit(bool keep, std::string& error) {
  std::unique_lock<std::mutex> lock(write_mu_);
  if (!in_unit() || unit_owner_ != std::this_thread::get_id()) {
    error = "no unit of work is open on this thread";
    return false;
  }
  if (unit_depth_ > 1) {
    --unit_depth_;
    if (!keep) unit_failed_ = true;
    return true;
  }
  const bool failed = unit_failed_;
  unit_depth_ = 0;  // commit and rollback now end the transaction itself
  bool ok = true;
  if (failed || !keep) {
    rollback();
    if (keep) {
      error = kUnitFailed;
      ok = false;
    }
  } else {
    ok = commit(error);
  }
  end_unit_state();
  lock.unlock();
  unit_ended_.notify_all();
  return ok;
}

}  // namespace nxmp_mis
