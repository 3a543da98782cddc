#include "postgres_backend.h"

#include <libpq-fe.h>

#include <cctype>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "postgres_connection.h"
#include "postgres_handles.h"
#include "postgres_notifications.h"
#include "postgres_placeholders.h"
#include "postgres_results.h"
#include "postgres_statement.h"
#include "postgres_statement_cache.h"

namespace nxdb {
namespace {

using pg::Connection;
using pg::ResultHandle;
using pg::result_failure;

bool is_word(std::string_view sql, const char* word) {
  std::size_t i = 0;
  while (i < sql.size() && (sql[i] == ' ' || sql[i] == '\n' || sql[i] == '\t')) ++i;
  std::size_t k = 0;
  for (; word[k] != '\0'; ++k, ++i) {
    if (i >= sql.size() || std::toupper(static_cast<unsigned char>(sql[i])) != word[k]) return false;
  }
  while (i < sql.size() && (sql[i] == ' ' || sql[i] == '\n' || sql[i] == '\t' || sql[i] == ';')) ++i;
  return i == sql.size();
}

// The words of a text, lower case, with whether each begins a statement
// (first of the text or after a ';'). Comments and literals are not told
// apart: a word found in one only makes the answer more careful.
template <typename F>
void each_word(std::string_view sql, F&& f) {
  bool first = true;
  std::size_t i = 0;
  while (i < sql.size()) {
    const unsigned char c = static_cast<unsigned char>(sql[i]);
    if (std::isalnum(c) || c == '_' || c == '$') {
      std::string word;
      while (i < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '_' ||
                                sql[i] == '$')) {
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(sql[i])));
        ++i;
      }
      f(word, first);
      first = false;
      continue;
    }
    if (c == ';') first = true;
    ++i;
  }
}

// What a text may do to the session beyond its own run.
struct SessionEffects {
  bool settings = false;        // a setting may change
  bool drops_prepared = false;  // prepared statements may be dropped
};

// One statement (what prepare takes): only its first word counts, and
// set_config anywhere. A script: any such word anywhere.
SessionEffects session_effects(std::string_view sql, bool script) {
  SessionEffects e;
  each_word(sql, [&](const std::string& w, bool first) {
    if (w == "set_config") e.settings = true;
    if (!first && !script) return;
    if (w == "set" || w == "reset" || w == "discard") e.settings = true;
    if (w == "discard" || w == "deallocate") e.drops_prepared = true;
  });
  return e;
}

class PgBackend : public Backend {
 public:
  explicit PgBackend(std::unique_ptr<Connection> conn) : conn_(std::move(conn)) {}

  Dialect dialect() const override { return Dialect::kPostgres; }

  // A writer's unit takes its table lock in EXCLUSIVE mode before it
  // changes anything: another connection waiting for such a lock on a
  // table this one holds is a writer waiting for it. Background writes
  // (the journal's pruning, a reader's progress) take weaker locks.
  bool writers_waiting() override {
    std::string error;
    auto st = prepare(
        "SELECT 1 FROM pg_catalog.pg_locks w JOIN pg_catalog.pg_locks h ON h.locktype = 'relation' "
        "AND h.database = w.database AND h.relation = w.relation AND h.granted "
        "AND h.pid = pg_catalog.pg_backend_pid() "
        "WHERE w.locktype = 'relation' AND NOT w.granted AND w.mode = 'ExclusiveLock' LIMIT 1",
        error);
    return st && st->step() == StepResult::kRow;
  }

  bool set_lock_wait(int seconds) override {
    std::string error;
    return conn_->set_lock_wait(seconds, error);
  }

  std::unique_ptr<Statement> prepare(std::string_view sql, std::string& error) override {
    return prepare_statement(sql, false, error);
  }

  std::unique_ptr<Statement> prepare_kept(std::string_view sql, std::string& error) override {
    return prepare_statement(sql, true, error);
  }

  std::unique_ptr<Statement> prepare_replanned(std::string_view sql, std::string& error) override {
    return prepare_statement(sql, false, error, true);
  }

  std::unique_ptr<Statement> prepare_statement(std::string_view sql, bool many, std::string& error,
                                               bool replan = false) {
    std::string converted;
    int parameters = 0;
    if (!postgres_placeholders(sql, converted, parameters, error)) return nullptr;
    note_effects(session_effects(converted, false));
    // A write is kept only when its caller asks: a kept query may run again
    // on a new connection when its own was lost, a write never may, and
    // only callers inside a transaction ask.
    const bool keepable = !replan && (many || pg::StatementCache::keeps(converted));
    // Preparing has no effect on data, so a connection found dead on the way
    // is replaced and the preparation tried once more.
    conn_->settle();
    for (int attempt = 0; attempt < 2; ++attempt) {
      const bool was_in_transaction = conn_->in_transaction();
      if (!conn_->ensure(error)) return nullptr;
      std::shared_ptr<pg::NamedStatement> named;
      if (keepable) {
        if (auto st = kept_.find(*conn_, converted)) return st;
        named = kept_.name_for(*conn_, converted, many);
      }
      const char* name = named ? named->name.c_str() : "";
      PGconn* c = conn_->get();
      ResultHandle prepared(PQprepare(c, name, converted.c_str(), 0, nullptr));
      if (prepared && PQresultStatus(prepared.get()) == PGRES_COMMAND_OK) {
        ResultHandle description(PQdescribePrepared(c, name));
        if (description && PQresultStatus(description.get()) == PGRES_COMMAND_OK) {
          if (PQnparams(description.get()) > parameters) parameters = PQnparams(description.get());
          if (named) {
            return kept_.keep(*conn_, converted, std::move(named), parameters, std::move(description));
          }
          const unsigned long long serial = conn_->take_unnamed();
          return pg::make_statement(*conn_, std::move(converted), parameters,
                                    std::move(description), serial, replan);
        }
        prepared = std::move(description);
      }
      // Parsing takes locks on the tables named, so it may wait too.
      error = result_failure(prepared.get(), c, conn_->lock_wait_seconds_now());
      conn_->note_failure(was_in_transaction);
      if (conn_->usable() || was_in_transaction) break;
    }
    if (!conn_->usable()) error = "connection to the alarm database lost: " + error;
    return nullptr;
  }

  bool exec_script(std::string_view sql, std::string& error) override {
    // A rollback ends whatever a failed deferred statement left behind.
    if (is_word(sql, "ROLLBACK")) conn_->drop_deferred();
    if (conn_->broken_transaction()) {
      // Ending the lost transaction is all that is left to do; anything
      // else reports that it was rolled back.
      if (is_word(sql, "ROLLBACK")) {
        conn_->forget_broken_transaction();
        return true;
      }
      if (is_word(sql, "COMMIT")) conn_->forget_broken_transaction();
      error = Connection::kLostInTransaction;
      return false;
    }
    note_effects(session_effects(sql, true));
    conn_->settle();
    const std::string text(sql);
    // BEGIN changes nothing: on a connection found dead it is run again on a
    // new one.
    const int attempts = is_word(sql, "BEGIN") ? 2 : 1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
      const bool was_in_transaction = conn_->in_transaction();
      if (!conn_->ensure(error)) return false;
      ResultHandle r(PQexec(conn_->get(), text.c_str()));
      const ExecStatusType status = r ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
      if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY) {
        return true;
      }
      error = result_failure(r.get(), conn_->get(), conn_->lock_wait_seconds_now());
      conn_->note_failure(was_in_transaction);
      if (conn_->usable()) return false;
    }
    if (!conn_->usable()) error = "connection to the alarm database lost: " + error;
    return false;
  }

  bool flush_deferred(std::string& error) override { return conn_->collect_deferred(error); }

  bool table_exists(const std::string& name) override { return relation_exists(name, "'r', 'p', 'v', 'f'"); }
  bool index_exists(const std::string& name) override { return relation_exists(name, "'i', 'I'"); }

  bool poolable() override { return conn_->poolable(); }
  bool reset_session() override {
    std::string error;
    return conn_->reset_session(error);
  }

  std::string column_type(ColumnKind kind) const override {
    switch (kind) {
      case ColumnKind::kInteger: return "BIGINT";
      // Whole seconds, as the time texts have.
      case ColumnKind::kTime: return "TIMESTAMP(0)";
      case ColumnKind::kBlob: return "BYTEA";
      case ColumnKind::kText: break;
    }
    return "TEXT";
  }
  // The column type keeps times valid.
  std::string time_check(const std::string&) const override { return {}; }
  std::string identity_column() const override {
    return "BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY";
  }

  bool listen(const std::string& channel, std::string& error) override {
    return conn_->listen(channel, error);
  }

  bool wait_notifications(int timeout_ms, std::vector<std::string>& payloads, std::string& error,
                          int wake_fd) override {
    return pg::wait_notifications(*conn_, timeout_ms, payloads, error, wake_fd);
  }

 private:
  void note_effects(const SessionEffects& e) {
    if (e.settings) conn_->note_settings_changed();
    if (e.drops_prepared) kept_.forget_all();
  }

  // A relation of one of these kinds, by name, in the current schema. The
  // catalog itself, not the information_schema view: that view costs
  // milliseconds to plan, and every read asks for its tables.
  bool relation_exists(const std::string& name, const char* kinds) {
    if (name.empty()) return false;
    std::string error;
    auto st = prepare(std::string("SELECT 1 FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n "
                                  "ON n.oid = c.relnamespace WHERE n.nspname = current_schema() "
                                  "AND c.relkind IN (") +
                          kinds + ") AND lower(c.relname) = lower(?1)",
                      error);
    if (!st || !st->bind_text(1, name)) return false;
    return st->step() == StepResult::kRow;
  }

  std::unique_ptr<Connection> conn_;
  pg::StatementCache kept_;
};

}  // namespace

std::unique_ptr<Backend> open_postgres(const std::string& uri, std::string& error) {
  auto conn = std::make_unique<Connection>(uri);
  if (!conn->open(error)) return nullptr;
  return std::make_unique<PgBackend>(std::move(conn));
}

}  // namespace nxdb
