// One PostgreSQL server connection and the session state a reconnection
// must restore: the lock wait and the channels listened to.
#pragma once

#include <string>
#include <vector>

#include "postgres_handles.h"

namespace nxdb::pg {

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
  explicit Connection(std::string uri);

  int lock_wait_seconds_now() const { return lock_wait_seconds_; }

  bool open(std::string& error);

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
  bool ensure(std::string& error);
  bool broken_transaction() const { return broken_transaction_; }
  void forget_broken_transaction() { broken_transaction_ = false; }

  // Healthy, idle outside a transaction, no rows pending, nothing listened
  // to and no lost transaction to report: fit to be kept for reuse.
  bool poolable() const {
    return stream_ == nullptr && !broken_transaction_ && channels_.empty() && deferred_ == 0 &&
           deferred_error_.empty() && conn_ &&
           PQstatus(conn_.get()) == CONNECTION_OK &&
           PQtransactionStatus(conn_.get()) == PQTRANS_IDLE;
  }
  // Back to the session a new connection has: every setting reset and the
  // installation's lock wait, in one round trip. False (connection closed)
  // when the server does not answer. A session nothing changed (see
  // note_settings_changed) costs no round trip, unless the server sent
  // something meanwhile (such as the notice that it closes the connection).
  bool reset_session(std::string& error);
  // Said of SQL that may change a setting of the session (SET, RESET,
  // set_config, DISCARD): the next reset_session resets for real.
  void note_settings_changed() { settings_changed_ = true; }

  // Changes with each new server connection: what the server kept for the
  // previous one (named prepared statements) is gone.
  unsigned long long session() const { return session_; }

  bool set_lock_wait(int seconds, std::string& error);
  bool listen(const std::string& channel, std::string& error);

  // Statements prepared under the unnamed name; a statement may execute the
  // prepared form only while no later one replaced it.
  unsigned long long take_unnamed() { return unnamed_owner_ = ++serial_; }
  bool owns_unnamed(unsigned long long serial, unsigned long long generation) const {
    return unnamed_owner_ == serial && generation_ == generation;
  }
  unsigned long long generation() const { return generation_; }
  // A one-off execution (PQexecParams and its kin) parses into the unnamed
  // name too: the statement that ran it owns the name from then on, or,
  // when it failed, nobody does.
  void ran_unnamed(unsigned long long serial, unsigned long long generation, bool parsed) {
    unnamed_owner_ = parsed && generation == generation_ ? serial : 0;
  }

  long long changes = 0;

  // Deferred statements (postgres_pipeline.cc): sent in pipeline mode
  // without waiting for their outcome, which is read a batch at a time, and
  // at the latest when anything else needs the connection (ensure). A
  // failure among them stays the connection's error, refusing everything
  // but ROLLBACK (drop_deferred) until then.
  // Before sending one: false (error set) when the connection cannot take it.
  bool begin_deferred(std::string& error);
  // After sending one: reads the outcomes once a batch is out.
  bool sent_deferred(std::string& error);
  // Reads the outcome of every deferred statement: false with the first
  // failure.
  bool collect_deferred(std::string& error);
  // Before a ROLLBACK: the outcomes are read and any failure forgotten.
  void drop_deferred();

  // The URI without its password, for messages.
  std::string shown_uri() const;

  static constexpr const char* kLostInTransaction =
      "the connection to the alarm database was lost inside a transaction; the transaction "
      "was rolled back";

 private:
  bool simple(const std::string& sql, std::string& error);
  bool apply_lock_wait(std::string& error);
  bool run_listen(const std::string& channel, std::string& error);
  // Nothing from the server waits on the socket.
  bool nothing_arrived() const;

  std::string uri_;
  ConnHandle conn_;
  RowStream* stream_ = nullptr;
  int lock_wait_seconds_;
  long lock_wait_ms_;
  std::vector<std::string> channels_;
  bool broken_transaction_ = false;
  unsigned long long serial_ = 0;
  int deferred_ = 0;            // sent, outcome not read
  std::string deferred_error_;  // the first failure among them
  unsigned long long unnamed_owner_ = 0;
  unsigned long long generation_ = 0;
  unsigned long long session_ = 0;
  bool settings_changed_ = false;
  long applied_lock_ms_ = -1;  // the session's lock_timeout as last set; -1 unknown
};

}  // namespace nxdb::pg
