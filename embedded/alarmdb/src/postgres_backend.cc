#include "postgres_backend.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <cctype>
#include <deque>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "nxdb/lock_wait.h"
#include "postgres_placeholders.h"

namespace nxdb {
namespace {

struct ConnCloser {
  void operator()(PGconn* c) const { PQfinish(c); }
};
struct ResultClearer {
  void operator()(PGresult* r) const { PQclear(r); }
};
using ConnHandle = std::unique_ptr<PGconn, ConnCloser>;
using ResultHandle = std::unique_ptr<PGresult, ResultClearer>;

struct NotifyFreer {
  void operator()(PGnotify* n) const { PQfreemem(n); }
};

// Type OIDs of the built-in types the schema uses (pg_type.h).
constexpr Oid kBoolOid = 16, kByteaOid = 17, kInt8Oid = 20, kInt2Oid = 21, kInt4Oid = 23,
              kOidOid = 26, kFloat4Oid = 700, kFloat8Oid = 701, kTimestampOid = 1114,
              kTimestampTzOid = 1184, kNumericOid = 1700;

ColumnKind kind_of_type(Oid type) {
  switch (type) {
    case kInt2Oid: case kInt4Oid: case kInt8Oid: case kOidOid: return ColumnKind::kInteger;
    case kTimestampOid: case kTimestampTzOid: return ColumnKind::kTime;
    case kByteaOid: return ColumnKind::kBlob;
    default: return ColumnKind::kText;
  }
}

std::string trimmed_message(const char* text) {
  std::string m = text != nullptr ? text : "";
  while (!m.empty() && (m.back() == '\n' || m.back() == ' ')) m.pop_back();
  return m;
}

// The text of a failed result. A lock wait that ran out (lock_timeout) and a
// change refused by a read-only session say so, and are noted for callers
// that only learn that something failed.
std::string result_failure(const PGresult* r, PGconn* c, int lock_wait_seconds) {
  if (r == nullptr) return trimmed_message(PQerrorMessage(c));
  const char* state = PQresultErrorField(r, PG_DIAG_SQLSTATE);
  const std::string code = state != nullptr ? state : "";
  std::string message;
  if (code == "55P03") {
    message = busy_message(lock_wait_seconds);
  } else if (code == "25006") {
    message = read_only_message(trimmed_message(PQresultErrorMessage(r)));
  } else {
    return trimmed_message(PQresultErrorMessage(r));
  }
  note_failure(message);
  return message;
}

// lock_timeout in milliseconds: 0 waits for ever, so "no wait" is the
// shortest wait there is.
long lock_timeout_ms(int seconds) {
  return seconds < 0 ? 0 : (seconds == 0 ? 1 : static_cast<long>(seconds) * 1000);
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// bytea's text output ("\x" and hex digits; bytea_output is set to hex).
bool decode_bytea(std::string_view text, std::string& out) {
  out.clear();
  if (text.size() < 2 || text[0] != '\\' || text[1] != 'x' || text.size() % 2 != 0) return false;
  out.reserve((text.size() - 2) / 2);
  for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
    const int hi = hex_value(text[i]), lo = hex_value(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
  }
  return true;
}

// A statement whose rows are still arriving on the connection.
class RowStream {
 public:
  virtual ~RowStream() = default;
  // Takes the rest of the rows off the connection, keeping them.
  virtual void buffer_rest() = 0;
};

// One server connection with what a reconnection must restore.
class Connection {
 public:
  // Rows of a query come one at a time, so a large result never sits in
  // memory whole. Anything else that needs the connection first settles
  // the stream: its remaining rows are buffered for it, none are lost.
  void set_stream(RowStream* stream) { stream_ = stream; }
  void end_stream(RowStream* stream) {
    if (stream_ == stream) stream_ = nullptr;
  }
  void settle() {
    if (RowStream* s = stream_) {
      stream_ = nullptr;
      s->buffer_rest();
    }
  }

  // Every connection waits the installation's time for a lock until its
  // session sets another.
  explicit Connection(std::string uri)
      : uri_(std::move(uri)), lock_wait_seconds_(lock_wait_seconds()),
        lock_wait_ms_(lock_timeout_ms(lock_wait_seconds_)) {}

  int lock_wait_seconds_now() const { return lock_wait_seconds_; }

  bool open(std::string& error) {
    // A statement may run no shorter than a lock may be waited for.
    const long statement_ms = std::max(300000L, lock_wait_ms_ + 60000L);
    const std::string options = "-c statement_timeout=" + std::to_string(statement_ms) +
                                " -c DateStyle=ISO,YMD -c bytea_output=hex "
                                "-c standard_conforming_strings=on -c client_encoding=UTF8 "
                                "-c client_min_messages=warning";
    // Ours first: settings in the URI come later and win.
    const char* const keys[] = {"connect_timeout", "keepalives", "keepalives_idle",
                                "keepalives_interval", "keepalives_count", "tcp_user_timeout",
                                "options", "application_name", "dbname", nullptr};
    const char* const values[] = {"10", "1", "10", "5", "3", "30000", options.c_str(),
                                  "nxalarm", uri_.c_str(), nullptr};
    ConnHandle conn(PQconnectdbParams(keys, values, 1));
    if (!conn || PQstatus(conn.get()) != CONNECTION_OK) {
      error = "cannot connect to the PostgreSQL alarm database " + shown_uri() + ": " +
              (conn ? trimmed_message(PQerrorMessage(conn.get())) : std::string("out of memory"));
      return false;
    }
    // Server notices (such as "already exists, skipping") are not errors
    // and never reach standard error.
    PQsetNoticeProcessor(conn.get(), [](void*, const char*) {}, nullptr);
    conn_ = std::move(conn);
    ++generation_;
    unnamed_owner_ = 0;
    if (!apply_lock_wait(error)) return false;
    for (const std::string& channel : channels_) {
      if (!run_listen(channel, error)) return false;
    }
    return true;
  }

  PGconn* get() const { return conn_.get(); }
  bool usable() const { return conn_ && PQstatus(conn_.get()) == CONNECTION_OK; }
  bool in_transaction() const {
    if (!conn_) return false;
    PGTransactionStatusType s = PQtransactionStatus(conn_.get());
    return s == PQTRANS_INTRANS || s == PQTRANS_INERROR || s == PQTRANS_ACTIVE;
  }

  // Notes a failure: a connection lost inside a transaction must not be
  // replaced silently, or the rest of the transaction would run on its own.
  void note_failure(bool was_in_transaction) {
    if (conn_ && PQstatus(conn_.get()) == CONNECTION_BAD) {
      conn_.reset();
      if (was_in_transaction) broken_transaction_ = true;
    }
  }

  // Makes sure a connection is there, reconnecting after a loss. Refuses
  // while a lost transaction has not been ended by ROLLBACK.
  bool ensure(std::string& error) {
    settle();
    if (broken_transaction_) {
      error = kLostInTransaction;
      return false;
    }
    if (usable()) return true;
    conn_.reset();
    return open(error);
  }
  bool broken_transaction() const { return broken_transaction_; }
  void forget_broken_transaction() { broken_transaction_ = false; }

  bool set_lock_wait(int seconds, std::string& error) {
    settle();
    lock_wait_seconds_ = seconds;
    lock_wait_ms_ = lock_timeout_ms(seconds);
    return ensure(error) && apply_lock_wait(error);
  }

  bool listen(const std::string& channel, std::string& error) {
    settle();
    for (const std::string& c : channels_) {
      if (c == channel) return ensure(error);
    }
    channels_.push_back(channel);
    return ensure(error) && run_listen(channel, error);
  }

  // Statements prepared under the unnamed name; a statement may execute the
  // prepared form only while no later one replaced it.
  unsigned long long take_unnamed() { return unnamed_owner_ = ++serial_; }
  bool owns_unnamed(unsigned long long serial, unsigned long long generation) const {
    return unnamed_owner_ == serial && generation_ == generation;
  }
  unsigned long long generation() const { return generation_; }

  long long changes = 0;

  std::string shown_uri() const {
    // Never show a password.
    std::string shown = uri_;
    std::size_t scheme = shown.find("://");
    std::size_t at = shown.find('@');
    if (scheme != std::string::npos && at != std::string::npos && at > scheme) {
      std::size_t colon = shown.find(':', scheme + 3);
      if (colon != std::string::npos && colon < at) shown.erase(colon, at - colon);
    }
    return shown;
  }

  static constexpr const char* kLostInTransaction =
      "the connection to the alarm database was lost inside a transaction; the transaction "
      "was rolled back";

 private:
  bool simple(const std::string& sql, std::string& error) {
    ResultHandle r(PQexec(conn_.get(), sql.c_str()));
    if (!r || PQresultStatus(r.get()) != PGRES_COMMAND_OK) {
      error = trimmed_message(PQerrorMessage(conn_.get()));
      note_failure(false);
      return false;
    }
    return true;
  }
  bool apply_lock_wait(std::string& error) {
    return simple("SET lock_timeout = " + std::to_string(lock_wait_ms_), error);
  }
  bool run_listen(const std::string& channel, std::string& error) {
    char* quoted = PQescapeIdentifier(conn_.get(), channel.c_str(), channel.size());
    if (quoted == nullptr) {
      error = trimmed_message(PQerrorMessage(conn_.get()));
      return false;
    }
    std::string sql = std::string("LISTEN ") + quoted;
    PQfreemem(quoted);
    return simple(sql, error);
  }

  std::string uri_;
  ConnHandle conn_;
  RowStream* stream_ = nullptr;
  int lock_wait_seconds_;
  long lock_wait_ms_;
  std::vector<std::string> channels_;
  bool broken_transaction_ = false;
  unsigned long long serial_ = 0;
  unsigned long long unnamed_owner_ = 0;
  unsigned long long generation_ = 0;
};

class PgStatement : public Statement, private RowStream {
 public:
  PgStatement(Connection& conn, std::string sql, int parameters, ResultHandle description,
              unsigned long long serial)
      : conn_(conn),
        sql_(std::move(sql)),
        description_(std::move(description)),
        serial_(serial),
        generation_(conn.generation()),
        values_(parameters),
        bound_(parameters, false),
        formats_(parameters, 0) {
    const int n = PQnfields(description_.get());
    kinds_.reserve(n);
    types_.reserve(n);
    for (int i = 0; i < n; ++i) {
      types_.push_back(PQftype(description_.get(), i));
      kinds_.push_back(kind_of_type(types_.back()));
    }
    blobs_.resize(n);
    returns_rows_ = n > 0;
  }
  ~PgStatement() override { abandon(); }

  bool bind_text(int index, std::string_view text) override {
    if (!slot(index)) return false;
    values_[index - 1].assign(text.data(), text.size());
    // The server takes text values up to the first NUL; refuse rather than
    // store a shorter value.
    if (values_[index - 1].find('\0') != std::string::npos) {
      error_ = "text parameter holds a NUL byte";
      return false;
    }
    bound_[index - 1] = true;
    formats_[index - 1] = 0;
    return true;
  }
  bool bind_int(int index, long long value) override {
    if (!slot(index)) return false;
    values_[index - 1] = std::to_string(value);
    bound_[index - 1] = true;
    formats_[index - 1] = 0;
    return true;
  }
  bool bind_blob(int index, const void* bytes, std::size_t length) override {
    if (!slot(index)) return false;
    if (length > static_cast<std::size_t>(INT_MAX)) {
      error_ = "blob too large";
      return false;
    }
    values_[index - 1].assign(static_cast<const char*>(bytes), length);
    bound_[index - 1] = true;
    formats_[index - 1] = 1;  // binary: the bytes as they are
    return true;
  }
  bool bind_null(int index) override {
    if (!slot(index)) return false;
    values_[index - 1].clear();
    bound_[index - 1] = false;
    formats_[index - 1] = 0;
    return true;
  }

  StepResult step() override {
    if (!started_) {
      if (!execute()) return StepResult::kError;
    }
    if (!has_rows_) return StepResult::kDone;
    ++row_;
    for (auto& b : blobs_) b.valid = false;
    if (result_ && row_ < PQntuples(result_.get())) return StepResult::kRow;
    // The next result of the stream: one row each in single-row mode.
    result_.reset();
    row_ = 0;
    while (ResultHandle r = next_result()) {
      const ExecStatusType status = PQresultStatus(r.get());
      if (status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK) {
        if (PQntuples(r.get()) == 0) continue;  // the closing result
        result_ = std::move(r);
        return StepResult::kRow;
      }
      error_ = result_failure(r.get(), conn_.get(), conn_.lock_wait_seconds_now());
      drain();
      conn_.note_failure(in_transaction_at_start_);
      if (!conn_.usable()) error_ = "connection to the alarm database lost: " + error_;
      return StepResult::kError;
    }
    return StepResult::kDone;
  }

  bool reset() override {
    abandon();
    started_ = false;
    result_.reset();
    row_ = -1;
    for (std::size_t i = 0; i < values_.size(); ++i) {
      values_[i].clear();
      bound_[i] = false;
      formats_[i] = 0;
    }
    return true;
  }

  int column_count() const override { return static_cast<int>(kinds_.size()); }
  std::string column_name(int column) const override {
    const char* name = PQfname(description_.get(), column);
    return name == nullptr ? std::string() : std::string(name);
  }
  ColumnKind column_kind(int column) const override { return kinds_.at(column); }

  CellType cell_type(int column) const override {
    if (!on_row(column) || PQgetisnull(result_.get(), row_, column)) return CellType::kNull;
    switch (types_[column]) {
      case kInt2Oid: case kInt4Oid: case kInt8Oid: case kOidOid: case kBoolOid:
        return CellType::kInteger;
      case kFloat4Oid: case kFloat8Oid: case kNumericOid:
        return CellType::kReal;
      case kByteaOid:
        return CellType::kBlob;
      default:
        return CellType::kText;
    }
  }
  long long cell_int(int column) const override {
    if (!on_row(column) || PQgetisnull(result_.get(), row_, column)) return 0;
    const char* text = PQgetvalue(result_.get(), row_, column);
    if (types_[column] == kBoolOid) return text[0] == 't' ? 1 : 0;
    return std::strtoll(text, nullptr, 10);
  }
  std::string_view cell_text(int column) const override {
    if (!on_row(column) || PQgetisnull(result_.get(), row_, column)) return {};
    if (types_[column] == kByteaOid) return cell_blob(column);
    return {PQgetvalue(result_.get(), row_, column),
            static_cast<std::size_t>(PQgetlength(result_.get(), row_, column))};
  }
  std::string_view cell_blob(int column) const override {
    if (!on_row(column) || PQgetisnull(result_.get(), row_, column)) return {};
    std::string_view raw(PQgetvalue(result_.get(), row_, column),
                         static_cast<std::size_t>(PQgetlength(result_.get(), row_, column)));
    if (types_[column] != kByteaOid) return raw;
    Blob& b = blobs_[column];
    if (!b.valid) {
      if (!decode_bytea(raw, b.bytes)) b.bytes.clear();
      b.valid = true;
    }
    return b.bytes;
  }

  long long changes() const override { return conn_.changes; }
  const std::string& error() const override { return error_; }

 private:
  struct Blob {
    std::string bytes;
    bool valid = false;
  };

  bool slot(int index) {
    if (index < 1 || index > static_cast<int>(values_.size())) {
      error_ = "parameter index out of range: " + std::to_string(index);
      return false;
    }
    return true;
  }
  bool on_row(int column) const {
    return result_ && has_rows_ && row_ >= 0 && row_ < PQntuples(result_.get()) && column >= 0 &&
           column < static_cast<int>(types_.size());
  }

  bool execute() {
    conn_.settle();
    const bool was_in_transaction = conn_.in_transaction();
    if (!conn_.ensure(error_)) return false;
    started_ = true;
    const int n = static_cast<int>(values_.size());
    std::vector<const char*> pointers(n);
    std::vector<int> lengths(n);
    for (int i = 0; i < n; ++i) {
      pointers[i] = bound_[i] ? values_[i].data() : nullptr;
      lengths[i] = static_cast<int>(values_[i].size());
    }
    PGconn* c = conn_.get();
    if (returns_rows_) return send(c, n, pointers, lengths, was_in_transaction);
    ResultHandle r(conn_.owns_unnamed(serial_, generation_)
                       ? PQexecPrepared(c, "", n, pointers.data(), lengths.data(), formats_.data(), 0)
                       : PQexecParams(c, sql_.c_str(), n, nullptr, pointers.data(), lengths.data(),
                                      formats_.data(), 0));
    const ExecStatusType status = r ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
    if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) {
      has_rows_ = status == PGRES_TUPLES_OK;
      if (!has_rows_) {
        const char* count = PQcmdTuples(r.get());
        conn_.changes = count != nullptr && *count != '\0' ? std::atoll(count) : 0;
      }
      result_ = std::move(r);
      row_ = -1;
      return true;
    }
    error_ = result_failure(r.get(), c, conn_.lock_wait_seconds_now());
    conn_.note_failure(was_in_transaction);
    if (!conn_.usable()) error_ = "connection to the alarm database lost: " + error_;
    return false;
  }

  // Sends the query and asks for its rows one at a time.
  bool send(PGconn* c, int n, const std::vector<const char*>& pointers, const std::vector<int>& lengths,
            bool was_in_transaction) {
    const int sent = conn_.owns_unnamed(serial_, generation_)
                         ? PQsendQueryPrepared(c, "", n, pointers.data(), lengths.data(), formats_.data(), 0)
                         : PQsendQueryParams(c, sql_.c_str(), n, nullptr, pointers.data(), lengths.data(),
                                             formats_.data(), 0);
    if (!sent) {
      error_ = trimmed_message(PQerrorMessage(c));
      conn_.note_failure(was_in_transaction);
      if (!conn_.usable()) error_ = "connection to the alarm database lost: " + error_;
      return false;
    }
    // Without single-row mode the rows still come, as one result.
    PQsetSingleRowMode(c);
    in_transaction_at_start_ = was_in_transaction;
    streaming_ = true;
    has_rows_ = true;
    result_.reset();
    row_ = -1;
    conn_.set_stream(this);
    return true;
  }

  // The next result: buffered ones first, then from the connection.
  ResultHandle next_result() {
    if (!pending_.empty()) {
      ResultHandle r = std::move(pending_.front());
      pending_.pop_front();
      return r;
    }
    if (!streaming_) return nullptr;
    ResultHandle r(PQgetResult(conn_.get()));
    if (!r) finish_stream();
    return r;
  }

  void buffer_rest() override {
    while (streaming_) {
      ResultHandle r(PQgetResult(conn_.get()));
      if (!r) {
        finish_stream();
        break;
      }
      pending_.push_back(std::move(r));
    }
  }

  // Reads and drops what is left of the stream.
  void drain() {
    while (streaming_) {
      ResultHandle r(PQgetResult(conn_.get()));
      if (!r) finish_stream();
    }
    pending_.clear();
  }

  // A stream left before its end: outside a transaction the server is asked
  // to stop sending (a cancel inside one would abort the transaction).
  void abandon() {
    if (streaming_ && !in_transaction_at_start_ && conn_.get() != nullptr) {
      if (PGcancel* cancel = PQgetCancel(conn_.get())) {
        char message[256];
        PQcancel(cancel, message, sizeof message);
        PQfreeCancel(cancel);
      }
    }
    drain();
  }

  void finish_stream() {
    streaming_ = false;
    conn_.end_stream(this);
  }

  Connection& conn_;
  std::string sql_;
  ResultHandle description_;
  unsigned long long serial_;
  unsigned long long generation_;
  std::vector<std::string> values_;
  std::vector<bool> bound_;
  std::vector<int> formats_;
  std::vector<ColumnKind> kinds_;
  std::vector<Oid> types_;
  mutable std::vector<Blob> blobs_;
  ResultHandle result_;
  std::deque<ResultHandle> pending_;
  bool returns_rows_ = false;
  bool started_ = false;
  bool streaming_ = false;
  bool in_transaction_at_start_ = false;
  bool has_rows_ = false;
  int row_ = -1;
  std::string error_;
};

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

class PgBackend : public Backend {
 public:
  explicit PgBackend(std::unique_ptr<Connection> conn) : conn_(std::move(conn)) {}

  Dialect dialect() const override { return Dialect::kPostgres; }

  bool set_lock_wait(int seconds) override {
    std::string error;
    return conn_->set_lock_wait(seconds, error);
  }

  std::unique_ptr<Statement> prepare(std::string_view sql, std::string& error) override {
    std::string converted;
    int parameters = 0;
    if (!postgres_placeholders(sql, converted, parameters, error)) return nullptr;
    // Preparing has no effect on data, so a connection found dead on the way
    // is replaced and the preparation tried once more.
    conn_->settle();
    for (int attempt = 0; attempt < 2; ++attempt) {
      const bool was_in_transaction = conn_->in_transaction();
      if (!conn_->ensure(error)) return nullptr;
      PGconn* c = conn_->get();
      ResultHandle prepared(PQprepare(c, "", converted.c_str(), 0, nullptr));
      if (prepared && PQresultStatus(prepared.get()) == PGRES_COMMAND_OK) {
        ResultHandle description(PQdescribePrepared(c, ""));
        if (description && PQresultStatus(description.get()) == PGRES_COMMAND_OK) {
          if (PQnparams(description.get()) > parameters) parameters = PQnparams(description.get());
          const unsigned long long serial = conn_->take_unnamed();
          return std::make_unique<PgStatement>(*conn_, std::move(converted), parameters,
                                               std::move(description), serial);
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

  bool table_exists(const std::string& name) override {
    if (name.empty()) return false;
    std::string error;
    auto st = prepare(
        "SELECT 1 FROM information_schema.tables WHERE table_schema = current_schema() "
        "AND lower(table_name) = lower(?1)",
        error);
    if (!st || !st->bind_text(1, name)) return false;
    return st->step() == StepResult::kRow;
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

  bool wait_notifications(int timeout_ms, std::vector<std::string>& payloads,
                          std::string& error) override {
    conn_->settle();
    if (!conn_->usable()) {
      // A reconnection re-subscribes; what was sent meanwhile is for the
      // caller to look up.
      return conn_->ensure(error);
    }
    PGconn* c = conn_->get();
    if (collect(c, payloads)) return true;
    pollfd fd{PQsocket(c), POLLIN, 0};
    int rc = poll(&fd, 1, timeout_ms);
    if (rc < 0) {
      if (errno != EINTR) error = std::strerror(errno);
      return false;
    }
    if (rc == 0) return false;
    if (!PQconsumeInput(c)) {
      error = "connection to the alarm database lost: " + trimmed_message(PQerrorMessage(c));
      conn_->note_failure(false);
      return false;
    }
    return collect(c, payloads);
  }

 private:
  static bool collect(PGconn* c, std::vector<std::string>& payloads) {
    bool any = false;
    PQconsumeInput(c);
    while (std::unique_ptr<PGnotify, NotifyFreer> n{PQnotifies(c)}) {
      payloads.emplace_back(n->extra != nullptr ? n->extra : "");
      any = true;
    }
    return any;
  }

  std::unique_ptr<Connection> conn_;
};

}  // namespace

std::unique_ptr<Backend> open_postgres(const std::string& uri, std::string& error) {
  auto conn = std::make_unique<Connection>(uri);
  if (!conn->open(error)) return nullptr;
  return std::make_unique<PgBackend>(std::move(conn));
}

}  // namespace nxdb
