#include "sqlite_backend.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <vector>

#include "nxdb/lock_wait.h"
#include "wait_signal.h"

namespace nxdb {
namespace {

struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StmtFinalizer {
  void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using DbHandle = std::unique_ptr<sqlite3, DbCloser>;
using StmtHandle = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

ColumnKind kind_of_decltype(const char* decl) {
  if (decl == nullptr) return ColumnKind::kText;
  std::string upper(decl);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper.find("DATETIME") != std::string::npos) return ColumnKind::kTime;
  if (upper.find("INT") != std::string::npos) return ColumnKind::kInteger;
  if (upper.find("BLOB") != std::string::npos) return ColumnKind::kBlob;
  return ColumnKind::kText;
}

std::string pragma(sqlite3* db, const char* sql);

// The text of a failed call. A lock wait that ran out and a change refused
// by a read-only database say so, and are noted for callers that only learn
// that something failed.
std::string failure(sqlite3* db, int rc, int lock_wait_seconds) {
  const int code = sqlite3_extended_errcode(db);
  std::string message;
  if ((rc & 0xff) == SQLITE_BUSY && code != SQLITE_BUSY_SNAPSHOT) {
    message = busy_message(lock_wait_seconds);
  } else if ((rc & 0xff) == SQLITE_READONLY) {
    message = read_only_message(sqlite3_errmsg(db));
  } else {
    return sqlite3_errmsg(db);
  }
  note_failure(message);
  return message;
}

// The lock wait of a connection, shared with its statements: how long, and
// the signal it raises while it waits (lowered when the call returns).
struct LockWait {
  int seconds = kDefaultLockWaitSeconds;
  std::unique_ptr<WaitSignal> signal;
  bool announce = true;
  void done() {
    if (signal) signal->lower();
  }
};

class SqliteStatement : public Statement {
 public:
  SqliteStatement(sqlite3* db, StmtHandle stmt, LockWait& wait)
      : db_(db), stmt_(std::move(stmt)), wait_(wait) {
    const int n = sqlite3_column_count(stmt_.get());
    kinds_.reserve(n);
    for (int i = 0; i < n; ++i) kinds_.push_back(kind_of_decltype(sqlite3_column_decltype(stmt_.get(), i)));
  }

  bool bind_text(int index, std::string_view text) override { return bind_text_as(index, text, SQLITE_TRANSIENT); }
  bool bind_int(int index, long long value) override {
    return check(sqlite3_bind_int64(stmt_.get(), index, value));
  }
  bool bind_blob(int index, const void* bytes, std::size_t length) override {
    return bind_blob_as(index, bytes, length, SQLITE_TRANSIENT);
  }
  bool bind_null(int index) override { return check(sqlite3_bind_null(stmt_.get(), index)); }
  // reset() clears the bindings, so nothing points at the bytes after it.
  bool bind_text_in_place(int index, std::string_view text) override {
    return bind_text_as(index, text, SQLITE_STATIC);
  }
  bool bind_blob_in_place(int index, const void* bytes, std::size_t length) override {
    return bind_blob_as(index, bytes, length, SQLITE_STATIC);
  }

  StepResult step() override {
    int rc = sqlite3_step(stmt_.get());
    wait_.done();
    if (rc == SQLITE_ROW) return StepResult::kRow;
    if (rc == SQLITE_DONE) return StepResult::kDone;
    error_ = failure(db_, rc, wait_.seconds);
    return StepResult::kError;
  }
  bool reset() override {
    sqlite3_reset(stmt_.get());
    return check(sqlite3_clear_bindings(stmt_.get()));
  }

  int column_count() const override { return static_cast<int>(kinds_.size()); }
  std::string column_name(int column) const override {
    const char* name = sqlite3_column_name(stmt_.get(), column);
    return name == nullptr ? std::string() : std::string(name);
  }
  ColumnKind column_kind(int column) const override { return kinds_.at(column); }

  CellType cell_type(int column) const override {
    switch (sqlite3_column_type(stmt_.get(), column)) {
      case SQLITE_INTEGER: return CellType::kInteger;
      case SQLITE_FLOAT: return CellType::kReal;
      case SQLITE_TEXT: return CellType::kText;
      case SQLITE_BLOB: return CellType::kBlob;
      default: return CellType::kNull;
    }
  }
  long long cell_int(int column) const override {
    return sqlite3_column_int64(stmt_.get(), column);
  }
  std::string_view cell_text(int column) const override {
    const unsigned char* text = sqlite3_column_text(stmt_.get(), column);
    if (text == nullptr) return {};
    return {reinterpret_cast<const char*>(text),
            static_cast<std::size_t>(sqlite3_column_bytes(stmt_.get(), column))};
  }
  std::string_view cell_blob(int column) const override {
    const void* bytes = sqlite3_column_blob(stmt_.get(), column);
    if (bytes == nullptr) return {};
    return {static_cast<const char*>(bytes),
            static_cast<std::size_t>(sqlite3_column_bytes(stmt_.get(), column))};
  }
  long long changes() const override { return sqlite3_changes64(db_); }
  const std::string& error() const override { return error_; }

 private:
  // SQLITE_TRANSIENT: SQLite copies the bytes; SQLITE_STATIC: it reads them
  // where they are until the bindings are cleared.
  bool bind_text_as(int index, std::string_view text, sqlite3_destructor_type keep) {
    return check(sqlite3_bind_text64(stmt_.get(), index, text.data(), text.size(), keep, SQLITE_UTF8));
  }
  bool bind_blob_as(int index, const void* bytes, std::size_t length, sqlite3_destructor_type keep) {
    // A zero-length blob is stored as such, not as NULL.
    return check(length == 0 ? sqlite3_bind_zeroblob(stmt_.get(), index, 0)
                             : sqlite3_bind_blob64(stmt_.get(), index, bytes, length, keep));
  }
  bool check(int rc) {
    if (rc == SQLITE_OK) return true;
    error_ = sqlite3_errmsg(db_);
    return false;
  }

  sqlite3* db_;
  StmtHandle stmt_;
  LockWait& wait_;
  std::vector<ColumnKind> kinds_;
  std::string error_;
};

// Waits for a lock by trying again every millisecond until `ms` have gone
// by. SQLite's own busy timeout backs off to 100 ms between tries, so a
// process that commits back to back (a raiser in a storm) nearly always took
// the lock first and others waited far past their turn.
int retry_within(long long ms, int count) {
  thread_local std::chrono::steady_clock::time_point started;
  const auto now = std::chrono::steady_clock::now();
  if (count == 0) started = now;
  if (now - started >= std::chrono::milliseconds(ms)) return 0;
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return 1;
}

// A lock wait's seconds in milliseconds: -1 (or too many) for as long as it takes.
long long wait_ms(int seconds) { return seconds < 0 || seconds > INT_MAX / 1000 ? INT_MAX : seconds * 1000LL; }

int retry_every_millisecond(void* ms, int count) {
  return retry_within(static_cast<long long>(reinterpret_cast<std::intptr_t>(ms)), count);
}

// The same for a connection of a backend, raising its wait signal first.
int retry_and_signal(void* wait, int count) {
  auto* w = static_cast<LockWait*>(wait);
  if (count == 0 && w->signal && w->announce) w->signal->raise();
  return retry_within(wait_ms(w->seconds), count);
}

bool wait_for_locks(sqlite3* db, int seconds) {
  return sqlite3_busy_handler(db, retry_every_millisecond,
                              reinterpret_cast<void*>(static_cast<std::intptr_t>(wait_ms(seconds)))) == SQLITE_OK;
}

class SqliteBackend : public Backend {
 public:
  SqliteBackend(DbHandle db, int lock_wait_seconds) : db_(std::move(db)) {
    wait_.seconds = lock_wait_seconds;
    const char* file = sqlite3_db_filename(db_.get(), "main");
    wait_.signal = std::make_unique<WaitSignal>(file != nullptr ? file : "");
    sqlite3_busy_handler(db_.get(), retry_and_signal, &wait_);
  }

  Dialect dialect() const override { return Dialect::kSqlite; }

  bool set_lock_wait(int seconds) override {
    wait_.seconds = seconds;
    return true;
  }

  bool writers_waiting() override { return wait_.signal->others_wait(); }
  void announce_waits(bool on) override { wait_.announce = on; }

  bool read_only() const override { return sqlite3_db_readonly(db_.get(), "main") == 1; }

  std::unique_ptr<Statement> prepare(std::string_view sql, std::string& error) override {
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db_.get(), sql.data(), static_cast<int>(sql.size()), &raw, &tail);
    wait_.done();
    StmtHandle stmt(raw);
    if (rc != SQLITE_OK) {
      // Reading the schema may wait for a lock too.
      error = failure(db_.get(), rc, wait_.seconds);
      return nullptr;
    }
    if (!stmt) {
      error = "empty statement";
      return nullptr;
    }
    // Whatever follows must be blank: one call runs one statement.
    const char* end = sql.data() + sql.size();
    while (tail != nullptr && tail < end) {
      sqlite3_stmt* extra = nullptr;
      const char* next = nullptr;
      rc = sqlite3_prepare_v2(db_.get(), tail, static_cast<int>(end - tail), &extra, &next);
      StmtHandle extra_handle(extra);
      if (rc != SQLITE_OK || extra_handle) {
        error = "more than one statement in one call";
        return nullptr;
      }
      if (next == tail) break;
      tail = next;
    }
    return std::make_unique<SqliteStatement>(db_.get(), std::move(stmt), wait_);
  }

  bool exec_script(std::string_view sql, std::string& error) override {
    std::string text(sql);
    char* message = nullptr;
    int rc = sqlite3_exec(db_.get(), text.c_str(), nullptr, nullptr, &message);
    wait_.done();
    if (rc != SQLITE_OK) {
      const int primary = rc & 0xff;
      error = primary == SQLITE_BUSY || primary == SQLITE_READONLY
                  ? failure(db_.get(), rc, wait_.seconds)
                  : (message != nullptr ? message : sqlite3_errstr(rc));
      sqlite3_free(message);
      return false;
    }
    return true;
  }

  bool table_exists(const std::string& name) override { return schema_has(name, "'table', 'view'"); }
  bool index_exists(const std::string& name) override { return schema_has(name, "'index'"); }

  std::string column_type(ColumnKind kind) const override {
    switch (kind) {
      case ColumnKind::kInteger: return "INTEGER";
      case ColumnKind::kTime: return "DATETIME";
      case ColumnKind::kBlob: return "BLOB";
      case ColumnKind::kText: break;
    }
    return "TEXT";
  }

  std::string identity_column() const override { return "INTEGER PRIMARY KEY"; }

  // Cheap: no table is read. Moves when any other connection commits.
  long long data_version() override {
    std::string text = pragma(db_.get(), "PRAGMA data_version");
    return text.empty() ? -1 : std::atoll(text.c_str());
  }

  std::string time_check(const std::string& column) const override {
    return "CHECK (" + column + " IS NULL OR " + column +
           " GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]')";
  }

 private:
  DbHandle db_;
  // An object of one of these types in the schema, by name.
  bool schema_has(const std::string& name, const char* types) {
    if (name.empty()) return false;
    std::string error;
    auto st = prepare(std::string("SELECT 1 FROM sqlite_master WHERE type IN (") + types +
                          ") AND name = ?1 COLLATE NOCASE",
                      error);
    if (!st || !st->bind_text(1, name)) return false;
    return st->step() == StepResult::kRow;
  }

  LockWait wait_;
};

// Runs a pragma and returns its first result column as text ("" if none).
std::string pragma(sqlite3* db, const char* sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) return {};
  StmtHandle st(raw);
  if (sqlite3_step(st.get()) != SQLITE_ROW) return {};
  const unsigned char* text = sqlite3_column_text(st.get(), 0);
  return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
}

}  // namespace

namespace {

// A file, or the folder it is in, that cannot be written or is marked
// read-only (no write permission bit, which holds even for root): such a
// database is opened read-only, so reads work and changes fail saying so.
bool marked_read_only(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;  // missing: opening says so
  if ((st.st_mode & 0222) == 0 || access(path.c_str(), W_OK) != 0) return true;
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  return stat(dir.c_str(), &st) == 0 && ((st.st_mode & 0222) == 0 || access(dir.c_str(), W_OK) != 0);
}

// True when a write-ahead log with content lies beside the file: it holds
// committed changes, so the file alone is not the database.
bool has_wal_content(const std::string& path) {
  struct stat st {};
  return stat((path + "-wal").c_str(), &st) == 0 && st.st_size > 0;
}

std::string file_uri(const std::string& path, const char* query) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = "file:";
  for (unsigned char c : path) {
    if (std::isalnum(c) || c == '/' || c == '.' || c == '-' || c == '_') {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri + "?" + query;
}

DbHandle open_handle(const std::string& name, int flags, std::string& error) {
  // Before SQLite's first use in the process: no count of its memory, which
  // took a process-wide mutex at every one of its allocations (a hundred per
  // alarm logged). Too late when something else started SQLite first.
  static const bool counting_off = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
  (void)counting_off;
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(name.c_str(), &raw, flags, nullptr);
  DbHandle db(raw);
  if (rc != SQLITE_OK) {
    error = raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
    return nullptr;
  }
  return db;
}

}  // namespace

std::unique_ptr<Backend> open_sqlite(const std::string& path, OpenMode mode, std::string& error) {
  const bool read_only = mode == OpenMode::kExisting && marked_read_only(path);
  int flags = (read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
  if (mode == OpenMode::kCreate) flags |= SQLITE_OPEN_CREATE;
  std::string why;
  DbHandle db = open_handle(path, flags, why);
  if (!db) {
    error = "cannot open alarm database " + path + ": " + why;
    return nullptr;
  }
  const int wait = lock_wait_seconds();
  auto configure = [wait](sqlite3* handle) {
    sqlite3_extended_result_codes(handle, 1);
    wait_for_locks(handle, wait);
  };
  configure(db.get());
  // A file made here gets pages of 8 KiB: an alarm's record and its dozen
  // index entries dirty fewer pages, and a batch writes half the frames to
  // the log (two system calls each). Only an empty file takes it; others
  // keep the size they were made with.
  if (mode == OpenMode::kCreate && !read_only) pragma(db.get(), "PRAGMA page_size=8192");
  // Readers and one writer work side by side in WAL mode. The mode is kept
  // in the file, so a failure here (a reader without write access) still
  // leaves a usable connection.
  if (!read_only) pragma(db.get(), "PRAGMA journal_mode=WAL");
  // A file that is not a database shows itself on the first read.
  int rc = sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK && read_only && (rc & 0xff) != SQLITE_BUSY && !has_wal_content(path)) {
    // Reading a WAL database needs its shared-memory file, which a read-only
    // folder may not let us make; with no pending log the file is the whole
    // database and can be read as unchanging.
    DbHandle fixed = open_handle(file_uri(path, "immutable=1"),
                                 SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI, why);
    if (fixed) {
      configure(fixed.get());
      db = std::move(fixed);
      rc = sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
  }
  if (rc != SQLITE_OK) {
    error = (rc & 0xff) == SQLITE_BUSY
                ? "cannot open alarm database " + path + ": " + failure(db.get(), rc, wait)
                : "not an alarm database: " + path + ": " + sqlite3_errmsg(db.get());
    return nullptr;
  }
  pragma(db.get(), "PRAGMA foreign_keys=ON");
  // Filters rely on LIKE telling upper from lower case, as the original
  // database does.
  pragma(db.get(), "PRAGMA case_sensitive_like=ON");
  return std::make_unique<SqliteBackend>(std::move(db), wait);
}

}  // namespace nxdb
