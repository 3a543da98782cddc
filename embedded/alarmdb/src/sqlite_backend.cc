#include "sqlite_backend.h"

#include <sqlite3.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <vector>

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

class SqliteStatement : public Statement {
 public:
  SqliteStatement(sqlite3* db, StmtHandle stmt) : db_(db), stmt_(std::move(stmt)) {
    const int n = sqlite3_column_count(stmt_.get());
    kinds_.reserve(n);
    for (int i = 0; i < n; ++i) kinds_.push_back(kind_of_decltype(sqlite3_column_decltype(stmt_.get(), i)));
  }

  bool bind_text(int index, std::string_view text) override {
    return check(sqlite3_bind_text64(stmt_.get(), index, text.data(), text.size(), SQLITE_TRANSIENT,
                                     SQLITE_UTF8));
  }
  bool bind_int(int index, long long value) override {
    return check(sqlite3_bind_int64(stmt_.get(), index, value));
  }
  bool bind_blob(int index, const void* bytes, std::size_t length) override {
    // A zero-length blob is stored as such, not as NULL.
    return check(length == 0 ? sqlite3_bind_zeroblob(stmt_.get(), index, 0)
                             : sqlite3_bind_blob64(stmt_.get(), index, bytes, length,
                                                   SQLITE_TRANSIENT));
  }
  bool bind_null(int index) override { return check(sqlite3_bind_null(stmt_.get(), index)); }

  StepResult step() override {
    int rc = sqlite3_step(stmt_.get());
    if (rc == SQLITE_ROW) return StepResult::kRow;
    if (rc == SQLITE_DONE) return StepResult::kDone;
    error_ = sqlite3_errmsg(db_);
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
  bool check(int rc) {
    if (rc == SQLITE_OK) return true;
    error_ = sqlite3_errmsg(db_);
    return false;
  }

  sqlite3* db_;
  StmtHandle stmt_;
  std::vector<ColumnKind> kinds_;
  std::string error_;
};

class SqliteBackend : public Backend {
 public:
  explicit SqliteBackend(DbHandle db) : db_(std::move(db)) {}

  Dialect dialect() const override { return Dialect::kSqlite; }

  bool set_lock_wait(int seconds) override {
    int ms = seconds < 0 ? INT_MAX : (seconds > INT_MAX / 1000 ? INT_MAX : seconds * 1000);
    return sqlite3_busy_timeout(db_.get(), ms) == SQLITE_OK;
  }

  std::unique_ptr<Statement> prepare(std::string_view sql, std::string& error) override {
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db_.get(), sql.data(), static_cast<int>(sql.size()), &raw, &tail);
    StmtHandle stmt(raw);
    if (rc != SQLITE_OK) {
      error = sqlite3_errmsg(db_.get());
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
    return std::make_unique<SqliteStatement>(db_.get(), std::move(stmt));
  }

  bool exec_script(std::string_view sql, std::string& error) override {
    std::string text(sql);
    char* message = nullptr;
    int rc = sqlite3_exec(db_.get(), text.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
      error = message != nullptr ? message : sqlite3_errstr(rc);
      sqlite3_free(message);
      return false;
    }
    return true;
  }

  bool table_exists(const std::string& name) override {
    if (name.empty()) return false;
    std::string error;
    auto st = prepare(
        "SELECT 1 FROM sqlite_master WHERE type IN ('table', 'view') AND name = ?1 COLLATE NOCASE",
        error);
    if (!st || !st->bind_text(1, name)) return false;
    return st->step() == StepResult::kRow;
  }

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

std::unique_ptr<Backend> open_sqlite(const std::string& path, OpenMode mode, std::string& error) {
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
  if (mode == OpenMode::kCreate) flags |= SQLITE_OPEN_CREATE;
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  DbHandle db(raw);
  if (rc != SQLITE_OK) {
    error = "cannot open alarm database " + path + ": " +
            (raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
    return nullptr;
  }
  sqlite3_extended_result_codes(db.get(), 1);
  // Waits for a writer's lock for a while until the session sets its own
  // lock mode, so that opening beside a busy writer does not fail at once.
  sqlite3_busy_timeout(db.get(), 5000);
  // Readers and one writer work side by side in WAL mode. The mode is kept
  // in the file, so a failure here (a reader without write access) still
  // leaves a usable connection.
  pragma(db.get(), "PRAGMA journal_mode=WAL");
  pragma(db.get(), "PRAGMA foreign_keys=ON");
  // Filters rely on LIKE telling upper from lower case, as the original
  // database does.
  pragma(db.get(), "PRAGMA case_sensitive_like=ON");
  // A file that is not a database shows itself on the first read.
  if (sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) !=
      SQLITE_OK) {
    error = "not an alarm database: " + path + ": " + sqlite3_errmsg(db.get());
    return nullptr;
  }
  return std::make_unique<SqliteBackend>(std::move(db));
}

}  // namespace nxdb
