// The seam between the client classes and a database engine: SQLite and
// PostgreSQL. An engine plugs in by implementing Backend and Statement and
// adding a case to open_backend. Nothing above this seam knows the engine,
// except for the few places that write engine-specific DDL or wake-ups.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "nxdb/connect_info.h"

namespace nxdb {

// What a column holds, as declared by the schema.
enum class ColumnKind { kText, kInteger, kTime, kBlob };

// What one cell of a fetched row holds.
enum class CellType { kNull, kInteger, kReal, kText, kBlob };

enum class StepResult { kRow, kDone, kError };

// Whether opening may create the database.
enum class OpenMode { kExisting, kCreate };

// SQL targets the Informix dialect translator knows.
enum class Dialect { kSqlite, kPostgres };

// One prepared statement. Parameters and columns are numbered from 1 and 0
// respectively, as in most client libraries.
class Statement {
 public:
  virtual ~Statement() = default;
  virtual bool bind_text(int index, std::string_view text) = 0;
  virtual bool bind_int(int index, long long value) = 0;
  virtual bool bind_blob(int index, const void* bytes, std::size_t length) = 0;
  virtual bool bind_null(int index) = 0;
  // The same as bind_text and bind_blob, for bytes the caller keeps
  // unchanged until the statement is reset: an engine may read them where
  // they are instead of copying them.
  virtual bool bind_text_in_place(int index, std::string_view text) { return bind_text(index, text); }
  virtual bool bind_blob_in_place(int index, const void* bytes, std::size_t length) {
    return bind_blob(index, bytes, length);
  }

  virtual StepResult step() = 0;
  // Runs a statement that returns no rows, perhaps later: an engine may send
  // it without waiting for its outcome (PostgreSQL: in a pipeline). kDone
  // then says only that it was sent; its failure shows at a later statement
  // of the connection or at Backend::flush_deferred, and dooms the open
  // transaction. Only for changes whose failure fails the whole transaction;
  // changes() says nothing of a deferred statement.
  virtual StepResult step_deferred() { return step(); }
  // Rewinds to run again with new bindings.
  virtual bool reset() = 0;

  virtual int column_count() const = 0;
  virtual std::string column_name(int column) const = 0;
  // kTime for columns the schema declares as times; cells of kTime columns
  // hold "YYYY-MM-DD HH:MM:SS" text.
  virtual ColumnKind column_kind(int column) const = 0;

  // Cell accessors for the current row; views stay valid until the next
  // step or reset.
  virtual CellType cell_type(int column) const = 0;
  virtual long long cell_int(int column) const = 0;
  virtual std::string_view cell_text(int column) const = 0;
  virtual std::string_view cell_blob(int column) const = 0;

  // Rows changed by the last data-changing statement of the connection.
  virtual long long changes() const = 0;
  virtual const std::string& error() const = 0;
};

class Backend {
 public:
  virtual ~Backend() = default;
  virtual Dialect dialect() const = 0;

  // How long a statement waits for another session's lock: seconds, 0 for
  // not at all, -1 for as long as it takes.
  virtual bool set_lock_wait(int seconds) = 0;

  // True when the database can be read but not changed (a read-only file).
  virtual bool read_only() const { return false; }
  // Whether another connection waits for this one's write lock (SQLite,
  // where one writer at a time holds the whole database; on PostgreSQL, an
  // EXCLUSIVE table lock this one holds); a writer holding it for many
  // changes may then commit early.
  virtual bool writers_waiting() { return false; }
  // Whether this connection's own waits are told to the holder (the
  // default); off for background writes that may as well wait.
  virtual void announce_waits(bool on) { (void)on; }

  // Prepares exactly one statement in the engine's own SQL; a text holding a
  // second statement is refused.
  virtual std::unique_ptr<Statement> prepare(std::string_view sql, std::string& error) = 0;
  // The same, for a statement its caller will run many times (writes of a
  // unit of work included): a server may keep it prepared under a name of
  // its own at once, so that other statements run between its runs do not
  // make it parsed and planned again.
  virtual std::unique_ptr<Statement> prepare_kept(std::string_view sql, std::string& error) {
    return prepare(sql, error);
  }
  // The same, for a query whose best plan depends on how big the tables it
  // reads are while they grow under it (a lookup run for each alarm of a
  // long batch): a server that caches plans plans it afresh at every run.
  virtual std::unique_ptr<Statement> prepare_replanned(std::string_view sql, std::string& error) {
    return prepare_kept(sql, error);
  }

  // Runs a script of statements in the engine's own SQL (schema set-up).
  virtual bool exec_script(std::string_view sql, std::string& error) = 0;

  virtual bool table_exists(const std::string& name) = 0;
  virtual bool index_exists(const std::string& name) = 0;

  // The outcome of the deferred statements sent so far (Statement::
  // step_deferred): false with the first failure. A ROLLBACK (exec_script)
  // forgets it.
  virtual bool flush_deferred(std::string& error) { return true; }

  // Whether another NXDBInterface may use this connection next: healthy,
  // outside any transaction, no rows pending and no session state that
  // reset_session cannot undo (channels listened to).
  virtual bool poolable() { return false; }
  // Puts the session back as a new connection has it (settings, lock
  // wait); false when that fails, and the connection is not to be used.
  virtual bool reset_session() { return false; }

  // The engine's spelling of a column's type, and of the constraint that
  // keeps a time column in the stored time form (may be empty).
  virtual std::string column_type(ColumnKind kind) const = 0;
  virtual std::string time_check(const std::string& column) const = 0;
  // The type of a column that numbers new rows itself (primary key).
  virtual std::string identity_column() const = 0;

  // Telling other connections that something changed. An engine does one of
  // the two: data_version() moves when another connection committed
  // (-1 when the engine signals instead); listen/wait_notifications deliver
  // the payloads of notifications sent on a channel.
  virtual long long data_version() { return -1; }
  virtual bool listen(const std::string& channel, std::string& error) {
    error = "this engine has no notifications";
    return false;
  }
  // Waits up to timeout_ms for notifications and appends their payloads.
  // True when woken (a notification, wake_fd readable, or a reconnection
  // after which the caller should look for what it may have missed); false
  // on time-out or failure (error set on failure). wake_fd (-1: none) is
  // only polled: the caller empties it.
  virtual bool wait_notifications(int timeout_ms, std::vector<std::string>& payloads,
                                  std::string& error, int wake_fd) {
    return false;
  }
};

// Opens the engine that the connect info names, or returns null and says why.
std::unique_ptr<Backend> open_backend(const NXDBConnectInfo& info, OpenMode mode,
                                      std::string& error);

}  // namespace nxdb
