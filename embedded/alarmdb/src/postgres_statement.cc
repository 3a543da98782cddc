#include "postgres_statement.h"

#include <poll.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <deque>
#include <vector>

#include "postgres_results.h"
#include "postgres_statement_cache.h"

namespace nxdb::pg {
namespace {

std::atomic<unsigned long long> cancel_requests_sent{0};

// How long the rest of a stream left early may take to arrive before the
// server is asked to stop sending it.
constexpr std::chrono::milliseconds kCancelAfter{5};

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
      if (!execute()) return retry_kept() ? step() : StepResult::kError;
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
        any_row_ = true;
        return StepResult::kRow;
      }
      if (sent_kept_) note_kept_failure(r.get());
      error_ = result_failure(r.get(), conn_.get(), conn_.lock_wait_seconds_now());
      drain();
      conn_.note_failure(in_transaction_at_start_);
      if (retry_kept()) return step();
      if (!conn_.usable()) error_ = "connection to the alarm database lost: " + error_;
      return StepResult::kError;
    }
    return StepResult::kDone;
  }

  StepResult step_deferred() override {
    if (returns_rows_ || started_) return step();
    if (!conn_.begin_deferred(error_)) return StepResult::kError;
    started_ = true;
    has_rows_ = false;
    const int n = static_cast<int>(values_.size());
    std::vector<const char*> pointers;
    std::vector<int> lengths;
    parameter_arrays(pointers, lengths);
    PGconn* c = conn_.get();
    const char* kept = kept_name();
    const bool prepared = kept == nullptr && runs_unnamed();
    const char* name = kept != nullptr ? kept : "";
    const int sent = kept != nullptr || prepared
                         ? PQsendQueryPrepared(c, name, n, pointers.data(), lengths.data(), formats_.data(), 0)
                         : PQsendQueryParams(c, sql_.c_str(), n, nullptr, pointers.data(), lengths.data(),
                                             formats_.data(), 0);
    // Parsed in the pipeline's order: the name is this statement's for what
    // follows it there (a failure dooms the rest anyway).
    if (kept == nullptr && !prepared) conn_.ran_unnamed(unnamed_serial(), generation_, true);
    if (!sent) {
      error_ = trimmed_message(PQerrorMessage(c));
      return StepResult::kError;
    }
    return conn_.sent_deferred(error_) ? StepResult::kDone : StepResult::kError;
  }

  bool reset() override {
    abandon();
    started_ = false;
    any_row_ = false;
    retried_ = false;
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

  // The bound values as libpq takes them (an unbound one is NULL).
  void parameter_arrays(std::vector<const char*>& pointers, std::vector<int>& lengths) const {
    pointers.resize(values_.size());
    lengths.resize(values_.size());
    for (std::size_t i = 0; i < values_.size(); ++i) {
      pointers[i] = bound_[i] ? values_[i].data() : nullptr;
      lengths[i] = static_cast<int>(values_[i].size());
    }
  }

  bool execute() {
    conn_.settle();
    const bool was_in_transaction = conn_.in_transaction();
    if (!conn_.ensure(error_)) return false;
    started_ = true;
    const int n = static_cast<int>(values_.size());
    std::vector<const char*> pointers;
    std::vector<int> lengths;
    parameter_arrays(pointers, lengths);
    PGconn* c = conn_.get();
    if (returns_rows_) return send(c, n, pointers, lengths, was_in_transaction);
    const char* kept = kept_name();
    const bool prepared = kept == nullptr && runs_unnamed();
    ResultHandle r(kept != nullptr ? PQexecPrepared(c, kept, n, pointers.data(), lengths.data(), formats_.data(), 0)
                   : prepared
                       ? PQexecPrepared(c, "", n, pointers.data(), lengths.data(), formats_.data(), 0)
                       : PQexecParams(c, sql_.c_str(), n, nullptr, pointers.data(), lengths.data(),
                                      formats_.data(), 0));
    const ExecStatusType status = r ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
    if (kept != nullptr) note_kept_failure(r.get());
    if (kept == nullptr && !prepared) {
      conn_.ran_unnamed(unnamed_serial(), generation_, status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK);
    }
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
    const char* kept = kept_name();
    const bool prepared = kept == nullptr && runs_unnamed();
    const int sent = kept != nullptr
                         ? PQsendQueryPrepared(c, kept, n, pointers.data(), lengths.data(), formats_.data(), 0)
                     : prepared
                         ? PQsendQueryPrepared(c, "", n, pointers.data(), lengths.data(), formats_.data(), 0)
                         : PQsendQueryParams(c, sql_.c_str(), n, nullptr, pointers.data(), lengths.data(),
                                             formats_.data(), 0);
    sent_kept_ = kept != nullptr;
    in_transaction_at_start_ = was_in_transaction;
    // Whether it parses is known only with its rows: until then nobody owns
    // the name.
    if (kept == nullptr && !prepared) conn_.ran_unnamed(unnamed_serial(), generation_, false);
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
  // to stop sending (a cancel inside one would abort the transaction). A
  // cancel costs a new server connection, and so many milliseconds, while
  // the rest of a small result (a count, an existence check, a page) is
  // mostly on its way already: that rest is read instead.
  void abandon() {
    if (streaming_ && !in_transaction_at_start_ && conn_.get() != nullptr &&
        !drain_soon(kCancelAfter)) {
      if (PGcancel* cancel = PQgetCancel(conn_.get())) {
        char message[256];
        cancel_requests_sent.fetch_add(1, std::memory_order_relaxed);
        PQcancel(cancel, message, sizeof message);
        PQfreeCancel(cancel);
      }
    }
    drain();
  }

  // Reads and drops what arrives within `budget`; true when the stream ended
  // meanwhile. False at once on a connection failure, which drain() reports.
  bool drain_soon(std::chrono::milliseconds budget) {
    PGconn* c = conn_.get();
    const auto deadline = std::chrono::steady_clock::now() + budget;
    while (streaming_) {
      if (!PQconsumeInput(c)) return false;
      while (streaming_ && !PQisBusy(c)) {
        ResultHandle r(PQgetResult(c));
        if (!r) finish_stream();
      }
      if (!streaming_) break;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd fd{PQsocket(c), POLLIN, 0};
      if (fd.fd < 0 || poll(&fd, 1, static_cast<int>(left.count())) < 0) return false;
    }
    pending_.clear();
    return true;
  }

  void finish_stream() {
    streaming_ = false;
    conn_.end_stream(this);
  }

 public:
  void keep_named(std::shared_ptr<NamedStatement> named) { named_ = std::move(named); }
  // Parsed and planned at every run: the plan the server would cache fits
  // the tables as they were at the first runs.
  void replan_each_run() { replan_ = true; }

 private:
  // A kept query that found its connection gone before any row changed
  // nothing: like a preparation, it runs once more on a new connection.
  bool retry_kept() {
    // A write may have been done before the connection went: never twice.
    if (!sent_kept_ || retried_ || any_row_ || in_transaction_at_start_ || conn_.usable() ||
        !StatementCache::keeps(sql_)) {
      return false;
    }
    retried_ = true;
    started_ = false;
    sent_kept_ = false;
    error_.clear();
    return true;
  }
  // Runs as the connection's prepared unnamed statement (prepared by it
  // and not replaced since).
  bool runs_unnamed() const { return !replan_ && !named_ && conn_.owns_unnamed(serial_, generation_); }
  // Who owns the unnamed name after a one-off run: nobody when this
  // statement is planned at each run, so it never runs it as prepared.
  unsigned long long unnamed_serial() const { return replan_ ? 0 : serial_; }
  // The name the statement is kept under on this server connection; null
  // when it is not kept, or not here.
  const char* kept_name() const {
    return named_ && !named_->broken && named_->session == conn_.session() ? named_->name.c_str()
                                                                            : nullptr;
  }
  // The server no longer runs the kept statement as prepared (its result
  // would change after a table's change, or the name is gone): it fails
  // this once and is prepared afresh next time.
  void note_kept_failure(const PGresult* r) {
    const char* state = r != nullptr ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    if (state != nullptr && (std::string(state) == "0A000" || std::string(state) == "26000")) {
      named_->broken = true;
    }
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
  bool sent_kept_ = false;
  bool any_row_ = false;
  bool retried_ = false;
  std::shared_ptr<NamedStatement> named_;
  bool replan_ = false;
  int row_ = -1;
  std::string error_;
};

}  // namespace

std::unique_ptr<Statement> make_kept_statement(Connection& conn, std::shared_ptr<NamedStatement> named,
                                               std::string sql, int parameters, ResultHandle description) {
  auto st = std::make_unique<PgStatement>(conn, std::move(sql), parameters, std::move(description), 0);
  st->keep_named(std::move(named));
  return st;
}

unsigned long long cancel_requests() { return cancel_requests_sent.load(std::memory_order_relaxed); }

std::unique_ptr<Statement> make_statement(Connection& conn, std::string sql, int parameters,
                                          ResultHandle description, unsigned long long serial,
                                          bool replan) {
  auto st = std::make_unique<PgStatement>(conn, std::move(sql), parameters, std::move(description), serial);
  if (replan) st->replan_each_run();
  return st;
}

}  // namespace nxdb::pg
