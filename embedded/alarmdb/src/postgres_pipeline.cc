// Deferred statements: a unit of work's writes go out in pipeline mode, so
// that thousands of them cost a round trip per batch instead of one each.
#include <libpq-fe.h>

#include "postgres_connection.h"
#include "postgres_results.h"

namespace nxdb::pg {
namespace {

// Statements sent before their outcomes are read: their results must fit
// the socket buffers, or server and client would wait for each other.
constexpr int kDeferredBatch = 256;

}  // namespace

bool Connection::begin_deferred(std::string& error) {
  settle();
  if (!deferred_error_.empty()) {
    error = deferred_error_;
    return false;
  }
  if (broken_transaction_) {
    error = kLostInTransaction;
    return false;
  }
  if (!usable()) {
    // Never reconnected here: a deferred statement runs inside a transaction.
    error = "connection to the alarm database lost";
    return false;
  }
  if (PQpipelineStatus(conn_.get()) == PQ_PIPELINE_OFF && PQenterPipelineMode(conn_.get()) != 1) {
    error = trimmed_message(PQerrorMessage(conn_.get()));
    return false;
  }
  return true;
}

bool Connection::sent_deferred(std::string& error) {
  ++deferred_;
  return deferred_ < kDeferredBatch || collect_deferred(error);
}

bool Connection::collect_deferred(std::string& error) {
  if (conn_ && PQpipelineStatus(conn_.get()) != PQ_PIPELINE_OFF) {
    PGconn* c = conn_.get();
    const bool was_in_transaction = true;
    if (PQpipelineSync(c) != 1) {
      if (deferred_error_.empty()) deferred_error_ = trimmed_message(PQerrorMessage(c));
    } else {
      // Each statement's results end with a null; the sync's result ends
      // them all. A connection gone gives nulls only.
      int nulls = 0;
      while (nulls <= deferred_ + 1) {
        ResultHandle r(PQgetResult(c));
        if (!r) {
          ++nulls;
          if (PQstatus(c) == CONNECTION_BAD) break;
          continue;
        }
        nulls = 0;
        const ExecStatusType status = PQresultStatus(r.get());
        if (status == PGRES_PIPELINE_SYNC) break;
        if (status == PGRES_FATAL_ERROR && deferred_error_.empty()) {
          deferred_error_ = result_failure(r.get(), c, lock_wait_seconds_);
        }
      }
    }
    if (PQexitPipelineMode(c) != 1) {
      // Results the connection still owes: it cannot be used again, and the
      // transaction is lost with it.
      if (deferred_error_.empty()) deferred_error_ = trimmed_message(PQerrorMessage(c));
      conn_.reset();
      broken_transaction_ = true;
    }
    if (!deferred_error_.empty()) {
      // What the unnamed statement holds is not known after a failure.
      unnamed_owner_ = 0;
      note_failure(was_in_transaction);
      if (!usable()) deferred_error_ = "connection to the alarm database lost: " + deferred_error_;
    }
  }
  deferred_ = 0;
  if (deferred_error_.empty()) return true;
  error = deferred_error_;
  return false;
}

void Connection::drop_deferred() {
  std::string ignored;
  collect_deferred(ignored);
  deferred_error_.clear();
}

}  // namespace nxdb::pg
